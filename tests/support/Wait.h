// Waiting with the event loop running, for the harness pieces that the
// benchmarks share with the tests (and so cannot use the test library).
#pragma once

#include <functional>

namespace Harness {

// Pumps events until the condition holds or the time (real milliseconds) is up;
// says whether it holds.
bool WaitFor(const std::function<bool()>& condition, int milliseconds);

} // namespace Harness
