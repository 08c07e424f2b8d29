// What the bound one-shot and momentary buttons share: the binding to their
// boolean item, the rest value (ControlDefaultValue; the command value is its
// negation), the pulse state, the first look at the item that brings the device
// to rest, and the unsubscribe that waits for the end of a pulse.
#pragma once

#include "controls/KQBinding.h"

#include <functional>
#include <optional>

class TKDrawnButton;

enum class TPulseState : unsigned char {
    Idle = 0,
    RestDue = 1,           // command over; the rest value waits for the command's echo
    RestSent = 2,          // rest value written, not yet back
    ActiveConfirmed = 3,   // command value came back
    ActiveSent = 4,        // command value written, not yet back
    AwaitingFirstValue = 5 // momentary only: just subscribed
};

class TKQPulseLink {
public:
    TKQPulseLink(TKDrawnButton* button, TKComponent* component, std::function<void()> takeOver, TPulseState initial);

    TKQBinding binding;
    TPulseState state;
    bool controlDefaultValue = false;
    bool isMonitorOnly = false;
    // The item has shown the rest value since the button got it.
    bool initialised = false;
    bool unsubscribePending = false;

    // The item's value as a boolean (may wait for the server).
    bool Value() const;
    // Writes unless loading or monitor-only; false when nothing was written.
    bool Write(bool value) const;
    bool WriteRest() const { return Write(controlDefaultValue); }
    bool WriteCommand() const { return Write(!controlDefaultValue); }
    // Before initialisation: marks the button initialised when the item is at
    // rest, else writes the rest value.
    void Initialise(bool value);
    // The pulse is over: a monitor-only change and an unsubscribe that waited
    // for it are carried out.
    void EndPulse();
    // Lets go of the item at once when atRest, else at the end of the pulse.
    void LetGo(bool atRest);
    // The monitor-only state asked for last; while a pulse runs it may still wait.
    bool RequestedMonitorOnly() const { return pendingMonitorOnly.value_or(isMonitorOnly); }
    // Takes effect at once when idle, else when the pulse ends; asking for the
    // state already asked for changes nothing. Disables the button unless loading.
    void SetMonitorOnly(bool value, bool idle);

private:
    void ApplyMonitorOnly(bool value);

    std::optional<bool> pendingMonitorOnly;
    TKDrawnButton* button;
    TKComponent* component;
};
