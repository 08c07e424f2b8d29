#include "controls/KMomentaryButton.h"

#include "controls/FormClasses.h"

TKMomentaryButton::TKMomentaryButton(QWidget* parent) : TKDrawnButton(parent, true) {}

void TKMomentaryButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    TKDrawnButton::MouseDown(button, shift, at);
    if (button == Qt::LeftButton && isEnabled())
        SetButtonOn(!ButtonOn());
}

void TKMomentaryButton::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    if (button == Qt::LeftButton && isEnabled())
        SetButtonOn(!ButtonOn());
    TKDrawnButton::MouseUp(button, shift, at);
}

void RegisterKMomentaryButtonClasses()
{
    FormClasses::Register<TKMomentaryButton>();
}
