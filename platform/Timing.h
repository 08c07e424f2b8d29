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

// Main window.
constexpr int StatusPollInterval = 5000;       // tPing between polls
constexpr int StatusPollSoon = 200;            // first poll after going on line or normal status
constexpr int StatusPollAfterAdvises = 500;    // first poll after advises restart
constexpr int StatusPollAfterFailedSave = 4000;
constexpr int PollErrorAlarmTime = 10000;      // failing polls this long raise the alarm
constexpr int ConfModeCacheTime = 5000;        // a poll's configure-mode answer stays valid this long
constexpr int DeferredActionInterval = 100;    // tMain
constexpr int ReenableMainDelay = 1000;        // main window disabled after a mode window closed
constexpr int ConfigCheckPollInterval = 2000;  // CCheckTimer
constexpr int RequestReadyWait = 50;           // WaitTillRequestReady: pause per try
constexpr int RequestReadyTries = 20;
constexpr int PingDoneWait = 50;               // WaitTillPingDone: pause per try
constexpr int PingDoneTries = 120;
constexpr int RangeCheckSettlePause = 2000;    // before range checking is switched on once more

// Run mode window: one line of an alarm list per tick.
constexpr int RunTimerInterval = 100;

// Blocks the calling thread for the given time. Tests may replace the way it
// pauses (for example to scale pauses down); nullptr restores the real sleep.
void Pause(int milliseconds);
using PauseFunction = void (*)(int milliseconds);
void SetPauseFunction(PauseFunction function);

} // namespace Timing
