// Every interval, time-out and pause of the program, and the one function
// through which the user-interface thread is paused.
//
// Durations are Spans: they read as milliseconds through one time scale, so
// that tests can run all of the program's clocks faster at once. The program
// itself never changes the scale.
#pragma once

namespace Timing {

// Sets the factor every Span is multiplied by (1 = real time); tests only.
void SetScale(double factor);
double Scale();
// Milliseconds of the program's clock, scaled; never less than 1 for a
// positive duration, so a scaled timer never spins.
int Scaled(int milliseconds);
// The program's clock, in milliseconds since the epoch: the wall clock when the
// program started, then advancing with real time divided by the scale, so that
// it keeps pace with a control that runs as much faster. Never goes back.
long long NowMs();

class Span {
public:
    constexpr explicit Span(int milliseconds) : ms(milliseconds) {}
    operator int() const { return Scaled(ms); }
    constexpr int Unscaled() const { return ms; }
    constexpr Span operator*(int times) const { return Span(ms * times); }

private:
    int ms;
};


// DDE layer.
constexpr Span SynchronizerDefaultTimeout{600000};
constexpr Span PokeSyncTimeout{5000};
constexpr Span DdeConnectTimeout{5000};

// Items and devices.
constexpr Span ItemReadTimeout{5000};
constexpr Span MutableItemListTimeout{60000};
constexpr Span ConversationLostPause{1000};

// Control device.
constexpr Span ControlRequestTimeout{10000};
constexpr Span ControlResultTimeout{20000};
constexpr Span ConnectPollInterval{1000};
constexpr int ConnectPollTries = 20;
constexpr Span ResetPollInterval{1000};
constexpr int ResetPollTries = 120;
constexpr Span ResetPrePause{4000};

// Server connection.
constexpr Span ServerRetryInterval{1000};
constexpr int ServerRetryCount = 25;
constexpr Span TopicRetryInterval{1000};
constexpr int TopicRetryTries = 60;
constexpr Span ServerStartWaitRound{200};
constexpr int ServerStartWaitRounds = 20;
constexpr Span ConversationCountTimeout{600000};
constexpr Span SymbolInfoTimeout{600000};

// Values file: after the values are written, the control is given this long
// per value before it is told to store them.
constexpr Span ConfigLoadPausePerValue{1};

// Main window.
constexpr Span StatusPollInterval{5000};       // tPing between polls
constexpr Span StatusPollSoon{200};            // first poll after going on line or normal status
constexpr Span StatusPollAfterAdvises{500};    // first poll after advises restart
constexpr Span StatusPollAfterFailedSave{4000};
constexpr Span PollErrorAlarmTime{10000};      // failing polls this long raise the alarm
constexpr Span ConfModeCacheTime{5000};        // a poll's configure-mode answer stays valid this long
constexpr Span DeferredActionInterval{100};    // tMain
constexpr Span ReenableMainDelay{1000};        // main window disabled after a mode window closed
constexpr Span ConfigCheckFirstPoll{4500};     // CCheckTimer: the check's first look
constexpr Span ConfigCheckPollInterval{1000};  // CCheckTimer: then once a second
constexpr Span ConfigCheckTimeout{12000};      // a check still running after this long is given up
constexpr Span RequestReadyWait{50};           // WaitTillRequestReady: pause per try
constexpr int RequestReadyTries = 20;
constexpr Span PingDoneWait{50};               // WaitTillPingDone: pause per try
constexpr int PingDoneTries = 120;
constexpr Span RangeCheckSettlePause{2000};    // before range checking is switched on once more

// Run mode window: one line of an alarm list per tick.
constexpr Span RunTimerInterval{100};

// Trends: a trend window redraws at most this often, however fast values arrive.
constexpr Span TrendRedrawInterval{100};
// How far back every plotted item is kept.
constexpr Span TrendHistory{30 * 60 * 1000};
// A trip capture: the span before the trip, and the span after it that is
// waited for before the file is written.
constexpr Span TripCaptureBefore{5 * 60 * 1000};
constexpr Span TripCaptureAfter{60 * 1000};

// Blocks the calling thread for the given (already scaled) milliseconds. Tests
// may replace the way it pauses, to see the pauses asked for; nullptr restores
// the real sleep.
void Pause(int milliseconds);
using PauseFunction = void (*)(int milliseconds);
void SetPauseFunction(PauseFunction function);

} // namespace Timing
