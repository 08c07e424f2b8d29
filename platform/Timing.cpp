#include "platform/Timing.h"

#include <chrono>
#include <thread>

namespace Timing {

namespace {
PauseFunction pauseFunction = nullptr;
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
