// Turns an asynchronous transaction into a synchronous call with a time-out by
// pumping the event loop until the completion arrives or the timer runs out.
#pragma once

#include "platform/Exception.h"
#include "platform/Timing.h"

#include <QTimer>

class SynchronizerException : public Exception {
public:
    using Exception::Exception;
};

class Synchronizer {
public:
    Synchronizer();

    // Raises "Reentrancy on a synchronous transaction." while a wait is open.
    void Begin();
    // Returns when Complete was called; raises on time-out.
    void Wait();
    void Complete();
    void SetTimeout(int milliseconds);
    bool IsBusy() const { return !done; }

private:
    bool timedOut = false;
    QTimer timer;
    bool done = true;
};
