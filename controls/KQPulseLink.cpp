#include "controls/KQPulseLink.h"

#include "controls/KDrawnButton.h"
#include "datalink/KQItem.h"
#include "platform/Exception.h"

TKQPulseLink::TKQPulseLink(TKDrawnButton* button, TKComponent* component, std::function<void()> takeOver,
                           TPulseState initial)
    : binding(button, component, TItemLookup::Device, std::move(takeOver)), state(initial), button(button),
      component(component)
{
}

bool TKQPulseLink::Value() const
{
    return VariantToBool(binding.Read());
}

bool TKQPulseLink::Write(bool value) const
{
    return !isMonitorOnly && binding.Write(value);
}

void TKQPulseLink::Initialise(bool value)
{
    if (value == controlDefaultValue)
        initialised = true;
    else
        WriteRest();
}

void TKQPulseLink::EndPulse()
{
    if (!unsubscribePending)
        return;
    unsubscribePending = false;
    binding.Unsubscribe();
}

void TKQPulseLink::LetGo(bool atRest)
{
    if (atRest)
        binding.Unsubscribe();
    else
        unsubscribePending = true;
}

void TKQPulseLink::SetMonitorOnly(bool value, bool allowed)
{
    if (!allowed)
        throw Exception(button->objectName() + QStringLiteral(" _SetIsMonitorOnly change failed. Incorrect State."));
    isMonitorOnly = value;
    if (!component->Loading())
        button->TKDrawnButton::SetEnabled(!value);
}
