#include "controls/KQLabel.h"

#include "controls/FormClasses.h"
#include "controls/KFloatText.h"

#include <algorithm>

TKQLabel::TKQLabel(QWidget* parent)
    : QLabel(parent), binding(this, this, TItemLookup::Device, [this] { TakeOver(); })
{
    InstallAccessibility();
    // Item texts are shown as they are, never as markup.
    setTextFormat(Qt::PlainText);
}

void TKQLabel::SetDecimalPlaces(int places)
{
    decimalPlaces = std::clamp(places, 0, MaxDecimalPlaces);
}

void TKQLabel::SetVisible(bool visible)
{
    ownVisible = visible;
    setVisible(visible);
    visible ? binding.Subscribe() : binding.Unsubscribe();
}

void TKQLabel::Loaded()
{
    TKComponent::Loaded();
    binding.Loaded();
}

void TKQLabel::TakeOver()
{
    setText(ItemValueText(binding.Read(), decimalPlaces));
    AccessibleValueChanged(this);
    emit OnValueChange(this);
}

void RegisterKQLabelClasses()
{
    FormClasses::Register<TKQLabel>();
}
