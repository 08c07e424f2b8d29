// The program's start: the application title, the form classes, and the
// windows made at start in their order (main window, Working window, password
// dialog, About box).
#pragma once

class TFWorking;
class TAboutBox;

extern TFWorking* FWorking;
extern TAboutBox* AboutBox;

namespace Application {
// Creates the start windows; the main window is FMain.
void CreateStartWindows();
// Frees them again, the main window last.
void FreeStartWindows();
}
