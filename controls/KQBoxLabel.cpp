#include "controls/KQBoxLabel.h"

#include "controls/FormClasses.h"
#include "controls/KFloatText.h"

TKQBoxLabel::TKQBoxLabel(QWidget* parent)
    : QLineEdit(parent), binding(this, this, TItemLookup::ControlDevice, [this] { TakeOver(); })
{
    InstallAccessibility();
    setReadOnly(true);
}

void TKQBoxLabel::SetDecimalPlaces(int places)
{
    if (places < 0 || places >= DecimalPlacesLimit)
        return;
    decimalPlaces = places;
    update();
}

void TKQBoxLabel::SetVisible(bool visible)
{
    ownVisible = visible;
    setVisible(visible);
    visible ? binding.Subscribe() : binding.Unsubscribe();
}

void TKQBoxLabel::SetEnabled(bool enabled)
{
    ownEnabled = enabled;
    setEnabled(enabled);
    enabled ? binding.Subscribe() : binding.Unsubscribe();
}

void TKQBoxLabel::Loaded()
{
    TKComponent::Loaded();
    binding.Loaded();
}

void TKQBoxLabel::TakeOver()
{
    setText(ItemValueText(binding.Read(), decimalPlaces));
    setCursorPosition(0); // a text too long for the box shows its beginning
    AccessibleValueChanged(this);
    emit OnValueChange(this);
}

void RegisterKQBoxLabelClasses()
{
    FormClasses::Register<TKQBoxLabel>();
}
