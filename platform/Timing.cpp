#include "platform/Timing.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace Timing {

namespace {
std::atomic<double> scale {1.0};
PauseFunction pauseFunction = nullptr;
}

void SetScale(double factor)
{
    scale = factor > 0 ? factor : 1.0;
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
