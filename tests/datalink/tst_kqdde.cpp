// The conversation layer over the real sockets of the DDE work-alike, against
// a server in the same process, and the synchronizer that its synchronous
// calls wait in. Requests, pokes, executes and advise loops are exercised
// through the items and the control device.
#include "datalink/KQDde.h"
#include "datalink/Synchro.h"
#include "tests/support/RaisedText.h"
#include "tests/support/TestLink.h"
#include "tests/support/TestRunner.h"

#include <QTimer>

#include <optional>

class TestKQDde : public QObject {
    Q_OBJECT

    std::unique_ptr<TestLink> link;
    TKQDdeClientConv* conv = nullptr;

private slots:
    void init()
    {
        link = std::make_unique<TestLink>("Plant");
        QVERIFY(link->opened);
        conv = link->Conv();
    }
    void cleanup() { link.reset(); }

    void failedTransactions_data()
    {
        QTest::addColumn<QString>("transaction");
        QTest::addColumn<bool>("handler"); // OnDdeError assigned
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("callBackError");

        const QString notProcessed = QStringLiteral("Message was not processed.");
        QTest::newRow("request") << "Request" << false
                                 << "DDE Error: Request on Plant: LOCKED.IN failed; verify item name." << notProcessed;
        QTest::newRow("poke, handler assigned") << "Poke" << true << "Poke|Plant|LOCKED.IN" << notProcessed;
        QTest::newRow("synchronous poke raises") << "PokeSync" << false << "" << notProcessed;
        QTest::newRow("request, errors quiet") << "QuietRequest" << false << "" << notProcessed;
    }

    void failedTransactions()
    {
        QFETCH(QString, transaction);
        QFETCH(bool, handler);
        QFETCH(QString, shown);
        QFETCH(QString, callBackError);

        TScriptedDialogs& dialogs = link->dialogs;
        QStringList reported;
        if (handler)
            link->manager->OnDdeError = [&reported](const QString& name, const QString& topic, const QString& item) {
                reported << name + "|" + topic + "|" + item;
            };
        link->server->refused.insert("LOCKED.IN");
        QString error;
        const TDdeCallBack callBack = [&error](const QByteArray*, const EDdeError* failed) {
            error = failed ? failed->Message() : QStringLiteral("<no error>");
        };
        std::optional<TQuietDdeErrors> quiet;
        if (transaction.startsWith("Quiet"))
            quiet.emplace();
        if (transaction.endsWith("Request"))
            conv->Request("LOCKED.IN", callBack);
        else if (transaction == "Poke")
            conv->Poke("LOCKED.IN", "1", callBack);
        else
            error = RaisedText([&] { conv->PokeSync("LOCKED.IN", "1"); });

        QTRY_COMPARE_WITH_TIMEOUT(handler ? reported : dialogs.texts(), shown.isEmpty() ? QStringList() : QStringList{shown},
                                  ReplyWait);
        QTRY_COMPARE_WITH_TIMEOUT(error, callBackError, ReplyWait);
        QVERIFY(!handler || dialogs.texts().isEmpty());
    }

    // The call-back mark ends with the call-back, also when the conversation
    // left the routing table in it: a partner that went away.
    void partnerLeavingEndsTheCallBack()
    {
        bool markedInIt = false;
        conv->OnClose = [&](TObject*) { markedInIt = conv->InCallback(); };
        link->server.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!conv->Connected(), ReplyWait);
        QVERIFY(markedInIt);
        QVERIFY(!conv->InCallback());
    }

    void linkOpensAndCloses()
    {
        TKQDdeClientConv closed;
        QVERIFY(TKQDdeClientConv().SetLink("urqvdatorel", "PLANT")); // names without regard to case
        QVERIFY(!closed.SetLink("NobodyHere", "System"));
        QVERIFY(!closed.SetLink("URQVDatorel", "UnknownTopic"));
        QVERIFY(link->dialogs.texts().isEmpty()); // quietly
        QCOMPARE(RaisedText([&] { closed.Request("X", {}); }), QString("Assertion failure"));

        const HCONV handle = conv->Handle();
        bool connectedDuringClose = false;
        int closes = 0;
        conv->OnClose = [&](TObject*) {
            ++closes;
            connectedDuringClose = conv->Connected();
        };
        conv->CloseLink();
        QCOMPARE(closes, 1);
        QVERIFY(connectedDuringClose && !conv->Connected());
        QCOMPARE(link->manager->Lookup(handle), nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(link->server->disconnects, 1, ReplyWait);
    }
};

// ---------------------------------------------------------------------------

class TestSynchronizer : public QObject {
    Q_OBJECT

private slots:
    void timeoutRaisesAndLocksUntilALateCompletion()
    {
        Synchronizer sync;
        sync.SetTimeout(30);
        sync.Begin();
        QCOMPARE(RaisedText([&] { sync.Wait(); }),
                 QString("Communications with the server failed.  You need to restart your application"));
        QVERIFY(sync.IsBusy());
        QCOMPARE(RaisedText([&] { sync.Begin(); }), QString("Reentrancy on a synchronous transaction."));
        sync.Complete(); // a late completion frees it again
        sync.Begin();
        sync.Complete();
        sync.SetTimeout(1); // would raise at once if the wait were entered
        sync.Wait();
        QVERIFY(!sync.IsBusy());
    }

    void outerWaitTimesOutWhileAnInnerOneRuns()
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
};

TURVISTA_TEST_MAIN(TestKQDde, TestSynchronizer)

#include "tst_kqdde.moc"
