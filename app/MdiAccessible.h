// The mode windows' frames for keyboard and assistive technology: the window
// named by its caption, with its close, minimise and maximise (or restore)
// buttons, which the title bar draws, as buttons that can be pressed; and the
// keys that go from window to window and close the active one.
#pragma once

class QMainWindow;
class QMdiArea;

// Call once, before the first mode window is shown.
void InstallMdiAccessibility();
// Ctrl+F6 and Ctrl+Shift+F6 go to the next and previous window of the area,
// Ctrl+F4 closes the active one as its close box would.
void InstallMdiKeys(QMainWindow* window, QMdiArea* area);
