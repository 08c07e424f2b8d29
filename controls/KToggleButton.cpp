#include "controls/KToggleButton.h"

#include "controls/FormClasses.h"

TKToggleButton::TKToggleButton(QWidget* parent) : TKDrawnButton(parent, false) {}

void TKToggleButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    TKDrawnButton::MouseDown(button, shift, at);
    if (rect().contains(at))
        setFocus(Qt::MouseFocusReason);
    SetButtonOn(!ButtonOn());
}

void RegisterKToggleButtonClasses()
{
    FormClasses::Register<TKToggleButton>();
}
