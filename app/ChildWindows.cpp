#include "app/ChildWindows.h"

#include "app/ModeWindow.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

// What the frame adds to the page control's size.
constexpr QSize FrameAllowance(8, 28);

} // namespace

void TChildWindows::Place(TModeWindow* window)
{
    QMdiSubWindow* frame = area->addSubWindow(window);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->adjustSize();
    QWidget* pages = window->PageControlWidget();
    window->RecordSizes(frame->size(), pages ? pages->size() + FrameAllowance : QSize());
}

void TChildWindows::Show(TModeWindow* window, bool othersShown)
{
    QMdiSubWindow* frame = window->SubWindow();
    if (!othersShown)
        frame->showMaximized();
    else
        frame->show();
    window->show();
    frame->raise();
    area->setActiveSubWindow(frame);
}

bool TChildWindows::UnMaximizeOthers(std::initializer_list<TModeWindow*> windows, TModeWindow* except)
{
    bool any = false;
    for (TModeWindow* window : windows) {
        if (!window || window == except || !window->SubWindow())
            continue;
        QMdiSubWindow* frame = window->SubWindow();
        if (frame->isMinimized())
            continue;
        frame->showNormal();
        any = true;
    }
    return any;
}

bool TChildWindows::AnyMaximized(std::initializer_list<TModeWindow*> windows)
{
    for (TModeWindow* window : windows) {
        if (window && window->SubWindow() && window->SubWindow()->isMaximized())
            return true;
    }
    return false;
}

void TChildWindows::Free(TModeWindow* window)
{
    if (QMdiSubWindow* frame = window->SubWindow())
        delete frame;
    else
        delete window;
}

void TChildWindows::Cascade()
{
    area->cascadeSubWindows();
    tileLayout = false;
}

void TChildWindows::Tile(bool horizontal)
{
    tileLayout = true;
    tileHorizontally = horizontal;
    QList<QMdiSubWindow*> shown;
    for (QMdiSubWindow* frame : area->subWindowList(QMdiArea::CreationOrder)) {
        if (frame->isVisible() && !frame->isMinimized())
            shown << frame;
    }
    if (shown.isEmpty())
        return;
    const QRect space = area->viewport()->rect();
    const int count = int(shown.size());
    for (int i = 0; i < count; ++i) {
        shown[i]->showNormal();
        if (horizontal) {
            const int top = space.height() * i / count;
            shown[i]->setGeometry(0, top, space.width(), space.height() * (i + 1) / count - top);
        } else {
            const int left = space.width() * i / count;
            shown[i]->setGeometry(left, 0, space.width() * (i + 1) / count - left, space.height());
        }
    }
}

void TChildWindows::Arrange()
{
    if (tileLayout)
        Tile(tileHorizontally);
    else
        Cascade();
}
