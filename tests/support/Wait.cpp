#include "tests/support/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QThread>

namespace Harness {

namespace {
constexpr int Slice = 5;

void Pump(const QDeadlineTimer& deadline)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, int(qMin<qint64>(Slice, deadline.remainingTime())));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThread::msleep(1);
}
} // namespace

bool WaitFor(const std::function<bool()>& condition, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        Pump(deadline);
    }
    return true;
}

void Wait(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        Pump(deadline);
}

} // namespace Harness
