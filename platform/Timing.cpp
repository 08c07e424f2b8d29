#include "platform/Timing.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace Timing {

namespace {
std::atomic<double> scale {1.0};
PauseFunction pauseFunction = nullptr;

// The program's clock: its reading when the scale last changed, and the real time then.
using RealClock = std::chrono::steady_clock;
struct TClock {
    long long baseMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch()).count();
    RealClock::time_point baseReal = RealClock::now();
    std::mutex lock;
};
TClock& ProgramClock()
{
    static TClock clock;
    return clock;
}
long long ClockAt(const TClock& clock, RealClock::time_point real)
{
    const double realMs = std::chrono::duration<double, std::milli>(real - clock.baseReal).count();
    return clock.baseMs + (long long)(realMs / scale.load());
}
}

void SetScale(double factor)
{
    TClock& clock = ProgramClock();
    const std::lock_guard guard(clock.lock);
    const RealClock::time_point now = RealClock::now();
    clock.baseMs = ClockAt(clock, now);
    clock.baseReal = now;
    scale = factor > 0 ? factor : 1.0;
}

long long NowMs()
{
    TClock& clock = ProgramClock();
    const std::lock_guard guard(clock.lock);
    return ClockAt(clock, RealClock::now());
}

double Scale()
{
    return scale;
}

int Scaled(int milliseconds)
{
    if (milliseconds <= 0)
        return milliseconds;
    const double scaled = std::round(milliseconds * scale.load());
    return scaled < 1 ? 1 : scaled > 0x7fffffff ? 0x7fffffff : int(scaled);
}

void Pause(int milliseconds)
{
    if (pauseFunction) {
        pauseFunction(milliseconds);
        return;
    }
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SetPauseFunction(PauseFunction function)
{
    pauseFunction = function;
}

} // namespace Timing
