#include "controls/KQToggleButton.h"

#include "controls/FormClasses.h"
#include "datalink/KQItem.h"

TKQToggleButton::TKQToggleButton(QWidget* parent)
    : TKToggleButton(parent), binding(this, this, TItemLookup::Device, [this] { TakeOverValue(); })
{
}

void TKQToggleButton::SetValue(bool value)
{
    if (!isMonitorOnly)
        binding.Write(value);
}

void TKQToggleButton::SetIsMonitorOnly(bool value)
{
    isMonitorOnly = value;
    if (!Loading())
        TKToggleButton::SetEnabled(!value);
}

void TKQToggleButton::Loaded()
{
    TKComponent::Loaded();
    binding.Loaded();
}

void TKQToggleButton::SetEnabled(bool enabled)
{
    TKToggleButton::SetEnabled(enabled);
    if (enabled)
        binding.Subscribe();
    else
        binding.Unsubscribe();
}

void TKQToggleButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    if (button != Qt::LeftButton || isMonitorOnly)
        return;
    TKToggleButton::MouseDown(button, shift, at);
    SetValue(ButtonOn());
}

void TKQToggleButton::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    if (button == Qt::LeftButton && !isMonitorOnly)
        TKToggleButton::MouseUp(button, shift, at);
}

void TKQToggleButton::TakeOverValue()
{
    SetButtonOn(VariantToBool(binding.Read()));
    emit OnValueChange(this);
}

void RegisterKQToggleButtonClasses()
{
    FormClasses::Register<TKQToggleButton>();
}
