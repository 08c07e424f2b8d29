#include "controls/KQStatusText.h"

#include "controls/FormClasses.h"
#include "datalink/KQItem.h"

TKQStatusText::TKQStatusText(QWidget* parent)
    : TKStatusText(parent), binding(this, this, TItemLookup::Device, [this] { TakeOver(); })
{
}

void TKQStatusText::SetEnabled(bool enabled)
{
    ownEnabled = enabled;
    setEnabled(enabled);
    enabled ? binding.Subscribe() : binding.Unsubscribe();
}

void TKQStatusText::Loaded()
{
    TKComponent::Loaded();
    binding.Loaded();
}

void TKQStatusText::TakeOver()
{
    SetValue(VariantToBool(binding.Read()));
    emit OnValueChange(this);
}

void RegisterKQStatusTextClasses()
{
    FormClasses::Register<TKQStatusText>();
}
