// The mode windows as children of the main window's MDI area: placing them in
// frames, showing them the way the main window opens them, arranging them as
// the operator chose last, and freeing them with their frames.
#pragma once

#include <initializer_list>

class QMdiArea;
class TModeWindow;

class TChildWindows {
public:
    explicit TChildWindows(QMdiArea* area) : area(area) {}

    // Puts the window in a frame of its own and records its sizes.
    void Place(TModeWindow* window);
    // Maximised when it is the only one shown, in front.
    void Show(TModeWindow* window, bool othersShown);
    // Restores every shown window but one from maximised; true when there was any.
    static bool UnMaximizeOthers(std::initializer_list<TModeWindow*> windows, TModeWindow* except);
    static bool AnyMaximized(std::initializer_list<TModeWindow*> windows);
    static void Free(TModeWindow* window);

    void Cascade();
    // One above the other (horizontal) or side by side.
    void Tile(bool horizontal);
    // Lays the windows out again as the operator arranged them last.
    void Arrange();

private:
    QMdiArea* area;
    bool tileLayout = false;
    bool tileHorizontally = false;
};
