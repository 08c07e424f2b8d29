#include "app/ModeWindow.h"

#include "app/Rqv_main.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QResizeEvent>

TModeWindow::TModeWindow(TFMain& main, int& state, const QString& closingText)
    : main(main), state(state), closingText(closingText)
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
    if (main.Ending) {
        event->accept();
        return;
    }
    // The main window releases the window on its next deferred-action tick.
    event->ignore();
    main.setEnabled(false);
    main.ShowStatus(closingText);
    state = msCloseRequested;
    main.RestartMainTimer();
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
    main.RestartMainTimer();
}
