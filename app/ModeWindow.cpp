#include "app/ModeWindow.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QResizeEvent>

TModeWindow::TModeWindow(TModeHost& host, TMode mode, const QString& closingText)
    : host(host), mode(mode), closingText(closingText)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

QMdiSubWindow* TModeWindow::SubWindow() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void TModeWindow::RecordSizes(QSize window, QSize pageControl)
{
    normalSize = window;
    pageControlSize = pageControl;
}

void TModeWindow::closeEvent(QCloseEvent* event)
{
    if (host.ProgramEnding()) {
        event->accept();
        return;
    }
    event->ignore();
    host.RequestClose(mode, closingText);
}

void TModeWindow::resizeEvent(QResizeEvent* event)
{
    TKQForm::resizeEvent(event);
    if (QMdiSubWindow* frame = SubWindow()) {
        if (frame->isMaximized()) {
            wasMaximized = true;
        } else if (frame->isMinimized()) {
            wasMaximized = false;
        } else if (!wasMaximized) {
            normalSize = frame->size();
        } else {
            // Back from maximised: the size it had before.
            wasMaximized = false;
            if (normalSize.isValid())
                frame->resize(normalSize);
        }
    }
    host.RestartMainTimer();
}
