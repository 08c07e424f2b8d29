// One panel of a status bar, in which data-link components show short texts
// such as "Active.".
//
// Panels of a QStatusBar: a status bar's panels are the QLabels that are direct
// children of it, in the order they became its children. Build a status bar
// by adding one QLabel per panel, in panel order, with addWidget or
// addPermanentWidget (AddPanel does exactly that); panel 0 is the first label
// added. Nothing else of the status bar counts as a panel: its temporary
// message and its size grip are not panels. Add the panels before the status
// bar is handed to a TKQStatusPanel: the panel is looked up when StatusBar or
// PanelIndex is set.
#pragma once

#include <QLabel>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QStatusBar>
#include <QString>

class TKQStatusPanel {
public:
    // owner: the component that shows its texts here (not owned).
    explicit TKQStatusPanel(QObject* owner = nullptr);
    ~TKQStatusPanel();
    TKQStatusPanel(const TKQStatusPanel&) = delete;
    TKQStatusPanel& operator=(const TKQStatusPanel&) = delete;

    // When the status bar is destroyed, status bar, index and panel are cleared.
    QStatusBar* StatusBar() const { return statusBar; }
    void SetStatusBar(QStatusBar* bar);
    // Without a status bar the index is 0. An index that names no panel of the
    // status bar leaves the panel unresolved: texts are then dropped.
    int PanelIndex() const { return panelIndex; }
    void SetPanelIndex(int index);
    // The resolved panel, or nullptr.
    QLabel* Panel() const { return panel; }
    QObject* Owner() const { return owner; }

    // Does nothing without a panel.
    void SetText(const QString& text);
    // Empty without a panel.
    QString Text() const;

    // The panels of a status bar, panel 0 first.
    static QList<QLabel*> Panels(const QStatusBar* bar);
    // Adds a panel of the given width (0: as wide as its text) after the last one.
    static QLabel* AddPanel(QStatusBar* bar, int width, const QString& text = QString());

private:
    void Resolve();
    void StatusBarDestroyed();

    QPointer<QStatusBar> statusBar;
    int panelIndex = 0;
    QPointer<QLabel> panel;
    QObject* owner;
    QMetaObject::Connection freeNotification;
};
