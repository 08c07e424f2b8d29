// What assistive technology sees of the mode windows' frames: the window named
// by its caption, with its close, minimise and maximise (or restore) buttons,
// which the title bar draws, as buttons that can be pressed.
#pragma once

// Call once, before the first mode window is shown.
void InstallMdiAccessibility();
