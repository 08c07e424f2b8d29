// The synchronizer: waits that pump the event loop, time-outs and re-entrance.
#include "datalink/Synchro.h"

#include <QTest>
#include <QTimer>

class TestSynchronizer : public QObject {
    Q_OBJECT

private slots:
    void completeBeforeWaitReturnsAtOnce();
    void completionDuringWaitEndsIt();
    void eventsAreHandledWhileWaiting();
    void timeoutRaisesAndLocksTheSynchronizer();
    void secondBeginRaisesReentrancy();
    void outerWaitTimesOutWhileAnInnerOneRuns();
};

void TestSynchronizer::completeBeforeWaitReturnsAtOnce()
{
    Synchronizer sync;
    QVERIFY(!sync.IsBusy());
    sync.Begin();
    QVERIFY(sync.IsBusy());
    sync.Complete();
    sync.SetTimeout(1); // would raise at once if the wait were entered
    sync.Wait();
    QVERIFY(!sync.IsBusy());
}

void TestSynchronizer::completionDuringWaitEndsIt()
{
    Synchronizer sync;
    sync.SetTimeout(10000);
    sync.Begin();
    QTimer::singleShot(20, [&sync] { sync.Complete(); });
    sync.Wait();
    QVERIFY(!sync.IsBusy());
    sync.Begin(); // usable again
    sync.Complete();
}

void TestSynchronizer::eventsAreHandledWhileWaiting()
{
    Synchronizer sync;
    sync.SetTimeout(10000);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (++ticks == 3)
            sync.Complete();
    });
    ticker.start(5);
    sync.Begin();
    sync.Wait();
    QCOMPARE(ticks, 3);
}

void TestSynchronizer::timeoutRaisesAndLocksTheSynchronizer()
{
    Synchronizer sync;
    sync.SetTimeout(30);
    sync.Begin();
    try {
        sync.Wait();
        QFAIL("the wait must time out");
    } catch (const SynchronizerException& error) {
        QCOMPARE(error.Message(),
                 QString("Communications with the server failed.  You need to restart your application"));
    }
    QVERIFY(sync.IsBusy());
    QVERIFY_THROWS_EXCEPTION(SynchronizerException, sync.Begin());
    sync.Complete(); // a late completion frees it again
    sync.Begin();
    sync.Complete();
}

void TestSynchronizer::secondBeginRaisesReentrancy()
{
    Synchronizer sync;
    sync.Begin();
    try {
        sync.Begin();
        QFAIL("a second Begin must raise");
    } catch (const SynchronizerException& error) {
        QCOMPARE(error.Message(), QString("Reentrancy on a synchronous transaction."));
    }
}

void TestSynchronizer::outerWaitTimesOutWhileAnInnerOneRuns()
{
    Synchronizer outer;
    Synchronizer inner;
    outer.SetTimeout(20);
    inner.SetTimeout(10000);
    bool innerDone = false;
    QTimer::singleShot(0, [&] {
        inner.Begin();
        QTimer::singleShot(100, [&] { inner.Complete(); });
        inner.Wait();
        innerDone = true;
    });
    outer.Begin();
    QVERIFY_THROWS_EXCEPTION(SynchronizerException, outer.Wait());
    QVERIFY(innerDone);
}

QTEST_MAIN(TestSynchronizer)
#include "tst_synchronizer.moc"
