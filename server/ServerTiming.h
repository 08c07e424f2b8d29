// Every interval and pause of the communication server and its simulated control.
#pragma once

namespace ServerTiming {

// Real time between two ticks of the simulated control, unless --tick says otherwise.
constexpr int DefaultTickMs = 100;
// Control time that one tick advances, whatever the real interval: a shorter
// tick runs the control faster than real time.
constexpr double TickSeconds = 0.1;

// Ticks between a command ("Shutdown", "SaveValues", "Reset") and its result.
constexpr int CommandResultTicks = 2;
// Ticks for which a resetting control does not answer (3 seconds of control time).
constexpr int ResetTicks = 30;

// Longest time a test fault may hold a reply back.
constexpr int MaxFaultDelayMs = 60000;

} // namespace ServerTiming
