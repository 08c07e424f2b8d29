// The main window's size follows the screen: its design size is scaled by
// factors chosen from the height of a full-screen window's client area.
#pragma once

#include <QSize>

class QWidget;

namespace ScreenScaling {
// Per mille.
struct TScaleFactors {
    int width;
    int height;
};
TScaleFactors ScaleFactorsFor(int fullScreenClientHeight);
// Sizes the window to its design size scaled for its screen and centres it;
// returns the factors used.
TScaleFactors ScaleAndCentre(QWidget* window, QSize designSize);
}
