// What the three mode windows (Run, Program, Service) share: they are child
// windows of the main window, never free themselves, hand their closing over to
// the main window's deferred-action timer, and return to their recorded normal
// size when they come back from maximised.
#pragma once

#include "app/ModeHost.h"
#include "controls/KQForms.h"

#include <QSize>
#include <QString>

class QMdiSubWindow;

// Deferred action of a mode window, carried out by the main window's tMain.
enum TModeState : int {
    msNone = 0,
    msCloseRequested = 1,
    msOpenRequested = 2,
    msReenableMain = 3,
};

class TModeWindow : public TKQForm {
    Q_OBJECT
public:
    TModeWindow(TModeHost& host, TMode mode, const QString& closingText);

    TMode Mode() const { return mode; }
    // The MDI frame around the window; null before the main window places it.
    QMdiSubWindow* SubWindow() const;
    // Sizes the main window records when it creates the window: the window's
    // own and its page control's (plus the frame allowance).
    void RecordSizes(QSize window, QSize pageControl);
    // Caption from the active page; the main window calls it on opening.
    virtual void UpdateFormCaption() {}
    // The page control, whose size the window returns to; may be null.
    virtual QWidget* PageControlWidget() const { return nullptr; }
    // The main window made this window the active one.
    virtual void WindowActivated() {}

protected:
    TModeHost& Host() const { return host; }
    // The window does not close itself: it asks the main window to.
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TModeHost& host;
    TMode mode;
    QString closingText;
    QSize normalSize;
    QSize pageControlSize;
    bool wasMaximized = false;
};
