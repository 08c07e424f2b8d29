// The two-pixel 3-D frame drawn around boxes: sunken (the on/off box) or raised.
#pragma once

class QPainter;
class QPalette;
class QRect;

enum class TFrameStyle { fsSunken, fsRaised };

// Draws the frame on the outer two pixels of rect in the palette's 3-D colours.
// Sunken: outer top and left button shadow, inner top and left dark shadow,
// outer bottom and right highlight, inner bottom and right button face; raised
// swaps them (highlight, face, dark shadow, shadow).
void Frame3D(QPainter& painter, const QRect& rect, const QPalette& palette, TFrameStyle style);
