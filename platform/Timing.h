// Every interval, time-out and pause of the program, in milliseconds, and the
// one function through which the user-interface thread is paused.
#pragma once

namespace Timing {

// DDE layer.
constexpr int SynchronizerDefaultTimeout = 600000;
constexpr int PokeSyncTimeout = 5000;
constexpr int DdeConnectTimeout = 5000;

// Items and devices.
constexpr int ItemReadTimeout = 5000;
constexpr int MutableItemListTimeout = 60000;
constexpr int ConversationLostPause = 1000;

// Control device.
constexpr int ControlRequestTimeout = 10000;
constexpr int ControlResultTimeout = 20000;
constexpr int ConnectPollInterval = 1000;
constexpr int ConnectPollTries = 20;
constexpr int ResetPollInterval = 1000;
constexpr int ResetPollTries = 120;
constexpr int ResetPrePause = 4000;

// Server connection.
constexpr int ServerRetryInterval = 1000;
constexpr int ServerRetryCount = 25;
constexpr int TopicRetryInterval = 1000;
constexpr int TopicRetryTries = 60;
constexpr int ServerStartWaitRound = 200;
constexpr int ServerStartWaitRounds = 20;
constexpr int ConversationCountTimeout = 600000;
constexpr int SymbolInfoTimeout = 600000;

// Blocks the calling thread for the given time. Tests may replace the way it
// pauses (for example to scale pauses down); nullptr restores the real sleep.
void Pause(int milliseconds);
using PauseFunction = void (*)(int milliseconds);
void SetPauseFunction(PauseFunction function);

} // namespace Timing
