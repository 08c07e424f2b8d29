#include "datalink/KQStatusPanel.h"

#include <QLabel>
#include <QStatusBar>

TKQStatusPanel::TKQStatusPanel(QObject* owner) : owner(owner) { }

TKQStatusPanel::~TKQStatusPanel()
{
    QObject::disconnect(freeNotification);
}

void TKQStatusPanel::SetStatusBar(QStatusBar* bar)
{
    if (bar == statusBar)
        return;
    QObject::disconnect(freeNotification);
    statusBar = bar;
    if (bar)
        freeNotification = QObject::connect(bar, &QObject::destroyed, [this] { StatusBarDestroyed(); });
    else
        panelIndex = 0;
    Resolve();
}

void TKQStatusPanel::SetPanelIndex(int index)
{
    panelIndex = statusBar ? index : 0;
    Resolve();
}

void TKQStatusPanel::SetText(const QString& text)
{
    if (panel)
        panel->setText(text);
}

QString TKQStatusPanel::Text() const
{
    return panel ? panel->text() : QString();
}

QList<QLabel*> TKQStatusPanel::Panels(const QStatusBar* bar)
{
    if (!bar)
        return {};
    return bar->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
}

QLabel* TKQStatusPanel::AddPanel(QStatusBar* bar, int width, const QString& text)
{
    auto* label = new QLabel(text);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    if (width > 0)
        label->setFixedWidth(width);
    bar->addWidget(label);
    return label;
}

void TKQStatusPanel::Resolve()
{
    panel = nullptr;
    const QList<QLabel*> panels = Panels(statusBar);
    if (panelIndex >= 0 && panelIndex < panels.size())
        panel = panels[panelIndex];
}

void TKQStatusPanel::StatusBarDestroyed()
{
    // Runs from QObject's destructor: the status bar is no longer a QStatusBar.
    freeNotification = {};
    statusBar = nullptr;
    panelIndex = 0;
    panel = nullptr;
}
