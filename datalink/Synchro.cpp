#include "datalink/Synchro.h"

#include <QCoreApplication>

Synchronizer::Synchronizer()
{
    timer.setInterval(Timing::SynchronizerDefaultTimeout);
    timer.setSingleShot(false);
    QObject::connect(&timer, &QTimer::timeout, [this] {
        timedOut = true;
        timer.stop();
    });
}

void Synchronizer::Begin()
{
    if (!done)
        throw SynchronizerException(QStringLiteral("Reentrancy on a synchronous transaction."));
    done = false;
}

void Synchronizer::Wait()
{
    if (done)
        return;
    timedOut = false;
    timer.start();
    while (timer.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (timedOut)
        throw SynchronizerException(
            QStringLiteral("Communications with the server failed.  You need to restart your application"));
}

void Synchronizer::Complete()
{
    done = true;
    timer.stop();
}

void Synchronizer::SetTimeout(int milliseconds)
{
    timer.setInterval(milliseconds);
}
