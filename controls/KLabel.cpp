#include "controls/KLabel.h"

#include <QPainter>
#include <QPalette>
#include <QRect>

namespace {

// One ring of the frame; the bottom and right lines own the corners.
void Ring(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

} // namespace

void Frame3D(QPainter& painter, const QRect& rect, const QPalette& palette, TFrameStyle style)
{
    const QColor face = palette.color(QPalette::Active, QPalette::Button);
    const QColor highlight = palette.color(QPalette::Active, QPalette::Light);
    const QColor shadow = palette.color(QPalette::Active, QPalette::Dark);
    const QColor darkShadow = palette.color(QPalette::Active, QPalette::Shadow);
    const QRect inner = rect.adjusted(1, 1, -1, -1);
    if (style == TFrameStyle::fsSunken) {
        Ring(painter, rect, shadow, highlight);
        Ring(painter, inner, darkShadow, face);
    } else {
        Ring(painter, rect, highlight, darkShadow);
        Ring(painter, inner, face, shadow);
    }
}
