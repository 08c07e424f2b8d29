#include "controls/KQPulseLink.h"

#include "controls/KDrawnButton.h"
#include "datalink/KQItem.h"

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
    if (pendingMonitorOnly) {
        const bool value = *pendingMonitorOnly;
        pendingMonitorOnly.reset();
        ApplyMonitorOnly(value);
    }
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

void TKQPulseLink::SetMonitorOnly(bool value, bool idle)
{
    if (!idle) {
        // Applied when the pulse ends, so that the pulse can still write its rest value.
        if (value == isMonitorOnly)
            pendingMonitorOnly.reset();
        else
            pendingMonitorOnly = value;
        return;
    }
    pendingMonitorOnly.reset();
    ApplyMonitorOnly(value);
}

void TKQPulseLink::ApplyMonitorOnly(bool value)
{
    isMonitorOnly = value;
    if (!component->Loading())
        button->TKDrawnButton::SetEnabled(!value);
}
