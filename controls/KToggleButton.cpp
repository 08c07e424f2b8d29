#include "controls/KToggleButton.h"

#include "controls/FormClasses.h"

TKToggleButton::TKToggleButton(QWidget* parent) : TKDrawnButton(parent, false) {}

void TKToggleButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    if (rect().contains(at) && !TakeFocus())
        return;
    TKDrawnButton::MouseDown(button, shift, at);
    SetButtonOn(!ButtonOn());
}

void RegisterKToggleButtonClasses()
{
    FormClasses::Register<TKToggleButton>();
}
