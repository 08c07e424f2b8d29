// The conversation layer over the real sockets of the DDE work-alike, against
// a server in the same process, and the synchronizer that its synchronous
// calls wait in.
#include "datalink/KQDde.h"
#include "datalink/Synchro.h"
#include "tests/support/RaisedText.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDdeServer.h"
#include "tests/support/TestRunner.h"

#include <QTemporaryDir>
#include <QTimer>

namespace {

constexpr int ReplyWait = 5000;

struct Result {
    bool arrived = false;
    QByteArray data;
    QString error;
};

TDdeCallBack Into(Result& result)
{
    return [&result](const QByteArray* data, const EDdeError* error) {
        result.arrived = true;
        if (data)
            result.data = *data;
        if (error)
            result.error = error->Message();
    };
}

} // namespace

class TestKQDde : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void transactionsReachTheServer();
    void adviseStartDataAndStop();
    void failedTransactions_data();
    void failedTransactions();
    void twoConversationsAreRoutedByHandle();
    void linkOpensAndCloses();
    void errorTexts_data();
    void errorTexts();

private:
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<TKQDdeMgr> manager;
    std::unique_ptr<TestDdeServer> server;
    std::unique_ptr<TKQDdeClientConv> conv;
};

void TestKQDde::init()
{
    folder = std::make_unique<QTemporaryDir>();
    qputenv("TURVISTA_DDE_DIR", folder->path().toLocal8Bit());
    server = std::make_unique<TestDdeServer>("TestService", "Plant");
    QVERIFY(server->Registered());
    manager = std::make_unique<TKQDdeMgr>();
    TKQDdeMgr::SetCurrent(manager.get());
    conv = std::make_unique<TKQDdeClientConv>();
    QVERIFY(conv->SetLink("TestService", "Plant"));
}

void TestKQDde::cleanup()
{
    conv.reset();
    manager.reset();
    server.reset();
    folder.reset();
}

void TestKQDde::transactionsReachTheServer()
{
    server->SetItem("SPEED.PV.OUT", "3600.0");
    const QByteArray symbol("\x02\x20" "0.0\0" "100.0\0", 13);
    server->SetBinary("GAIN.IN", symbol);
    server->SetItem("GAIN.IN", "5");
    Result text, binary, poke, execute;
    conv->Request("speed.pv.out", Into(text));
    conv->RequestBinary("GAIN.IN", Into(binary));
    conv->Poke("SETPOINT.IN", "1234.5", Into(poke));
    conv->Execute("[open(\"/tmp/a.net\")]", Into(execute));
    conv->Execute("Reset"); // no call-back
    QTRY_VERIFY_WITH_TIMEOUT(text.arrived && binary.arrived && poke.arrived && execute.arrived, ReplyWait);
    QCOMPARE(text.data, QByteArray("3600.0")); // up to its zero
    QCOMPARE(binary.data, symbol);             // every byte
    QVERIFY(poke.data.isEmpty() && poke.error.isEmpty() && execute.error.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(server->executes, QStringList({"[open(\"/tmp/a.net\")]", "Reset"}), ReplyWait);

    conv->PokeSync("SETPOINT.IN", "42");
    QCOMPARE(server->Item("SETPOINT.IN"), QByteArray("42")); // acknowledged before the call returns
    QCOMPARE(server->pokes, QStringList({"SETPOINT.IN=1234.5", "SETPOINT.IN=42"}));
}

void TestKQDde::adviseStartDataAndStop()
{
    server->SetItem("ALARM.COUNT", "0");
    QList<QByteArray> values;
    const HSZ handle = conv->StartAdvise("Alarm.Count", [&values](const QByteArray* data, const EDdeError*) {
        values << (data ? *data : QByteArray("<error>"));
    });
    QVERIFY(handle != nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(values, QList<QByteArray>({"0"}), ReplyWait); // current value first
    server->SetItem("ALARM.COUNT", "1");
    server->SetItem("ALARM.COUNT", "2");
    QTRY_COMPARE_WITH_TIMEOUT(values, QList<QByteArray>({"0", "1", "2"}), ReplyWait);

    conv->StopAdvise(handle);
    QTRY_VERIFY_WITH_TIMEOUT(!server->advised.contains("ALARM.COUNT"), ReplyWait);
    server->SetItem("ALARM.COUNT", "3");
    Result probe; // a round trip, so that any stray advise would have arrived
    conv->Request("ALARM.COUNT", Into(probe));
    QTRY_VERIFY_WITH_TIMEOUT(probe.arrived, ReplyWait);
    QCOMPARE(values.size(), 3);
}

void TestKQDde::failedTransactions_data()
{
    QTest::addColumn<QString>("transaction");
    QTest::addColumn<bool>("handler"); // OnDdeError assigned
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("callBackError");

    const QString notProcessed = QStringLiteral("Message was not processed.");
    QTest::newRow("request") << "Request" << false
                             << "DDE Error: Request on Plant: LOCKED.IN failed; verify item name." << notProcessed;
    QTest::newRow("start advise") << "StartAdvise" << false
                                  << "DDE Error: Start Advise on Plant: LOCKED.IN failed; verify item name." << "";
    QTest::newRow("poke without call-back") << "Poke" << false
                                            << "DDE Error: Poke on Plant: LOCKED.IN failed; verify item name." << "";
    QTest::newRow("poke, handler assigned") << "Poke" << true << "Poke|Plant|LOCKED.IN" << notProcessed;
    QTest::newRow("synchronous poke raises") << "PokeSync" << false << "" << notProcessed;
}

void TestKQDde::failedTransactions()
{
    QFETCH(QString, transaction);
    QFETCH(bool, handler);
    QFETCH(QString, shown);
    QFETCH(QString, callBackError);

    TScriptedDialogs dialogs;
    QStringList reported;
    if (handler)
        manager->OnDdeError = [&reported](const QString& name, const QString& topic, const QString& item) {
            reported << name + "|" + topic + "|" + item;
        };
    server->refused.insert("LOCKED.IN");
    Result result;
    const TDdeCallBack callBack = callBackError.isEmpty() ? TDdeCallBack() : Into(result);
    if (transaction == "Request")
        conv->Request("LOCKED.IN", callBack);
    else if (transaction == "StartAdvise")
        conv->StartAdvise("LOCKED.IN", callBack);
    else if (transaction == "Poke")
        conv->Poke("LOCKED.IN", "1", callBack);
    else
        result.error = RaisedText([&] { conv->PokeSync("LOCKED.IN", "1"); });

    auto seen = [&] { return handler ? reported : dialogs.texts(); };
    QTRY_COMPARE_WITH_TIMEOUT(seen(), shown.isEmpty() ? QStringList() : QStringList{shown}, ReplyWait);
    if (!handler && !shown.isEmpty())
        QCOMPARE(dialogs.messages().first().type, TMsgDlgType::mtError);
    if (handler)
        QVERIFY(dialogs.texts().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(result.error, callBackError, ReplyWait);
}

void TestKQDde::twoConversationsAreRoutedByHandle()
{
    TestDdeServer second("OtherService", "Line");
    QVERIFY(second.Registered());
    server->SetItem("VALUE", "plant");
    second.SetItem("VALUE", "line");
    TKQDdeClientConv other;
    QVERIFY(other.SetLink("OtherService", "Line"));
    QVERIFY(conv->Handle() != other.Handle());
    QCOMPARE(manager->Lookup(conv->Handle()), conv.get());
    QCOMPARE(manager->Lookup(other.Handle()), &other);
    QByteArray fromA, fromB;
    conv->StartAdvise("VALUE", [&fromA](const QByteArray* data, const EDdeError*) { fromA = *data; });
    other.StartAdvise("VALUE", [&fromB](const QByteArray* data, const EDdeError*) { fromB = *data; });
    QTRY_COMPARE_WITH_TIMEOUT(fromA, QByteArray("plant"), ReplyWait);
    QTRY_COMPARE_WITH_TIMEOUT(fromB, QByteArray("line"), ReplyWait);
    second.SetItem("VALUE", "line 2");
    QTRY_COMPARE_WITH_TIMEOUT(fromB, QByteArray("line 2"), ReplyWait);
    QCOMPARE(fromA, QByteArray("plant"));
}

void TestKQDde::linkOpensAndCloses()
{
    TScriptedDialogs dialogs;
    TKQDdeClientConv closed;
    QVERIFY(TKQDdeClientConv().SetLink("testservice", "PLANT")); // names without regard to case
    QVERIFY(!closed.SetLink("NobodyHere", "System"));
    QVERIFY(!closed.SetLink("TestService", "UnknownTopic"));
    QVERIFY(!closed.Connected());
    QVERIFY(dialogs.texts().isEmpty()); // quietly
    for (auto send : {+[](TKQDdeClientConv& c) { c.Request("X", {}); }, +[](TKQDdeClientConv& c) { c.Poke("X", "1"); },
                      +[](TKQDdeClientConv& c) { c.Execute("Reset"); },
                      +[](TKQDdeClientConv& c) { c.StartAdvise("X", {}); }})
        QCOMPARE(RaisedText([&] { send(closed); }), QString("Assertion failure"));
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, conv->StartAdvise("", {}));
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, conv->OpenLink());

    const HCONV handle = conv->Handle();
    bool connectedDuringClose = false;
    int closes = 0;
    conv->OnClose = [&](TObject*) {
        ++closes;
        connectedDuringClose = conv->Connected();
    };
    conv->CloseLink();
    QCOMPARE(closes, 1);
    QVERIFY(connectedDuringClose);
    QVERIFY(!conv->Connected());
    QVERIFY(conv->Service().isEmpty() && conv->Topic().isEmpty());
    QCOMPARE(manager->Lookup(handle), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(server->disconnects, 1, ReplyWait);
}

void TestKQDde::errorTexts_data()
{
    QTest::addColumn<uint>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0u << "No error found.";
    QTest::newRow("first") << 0x4000u << "Start advise ack timeout.";
    QTest::newRow("not processed") << 0x4009u << "Message was not processed.";
    QTest::newRow("last") << 0x4011u << "Unfound queue id.";
    QTest::newRow("past the last") << 0x4012u << "Error code not in list of error values.";
}

void TestKQDde::errorTexts()
{
    QFETCH(uint, code);
    QFETCH(QString, text);
    QCOMPARE(DdeErrorText(code), text);
}

// ---------------------------------------------------------------------------

class TestSynchronizer : public QObject {
    Q_OBJECT

private slots:
    void waitPumpsEventsUntilComplete();
    void timeoutRaisesAndLocksUntilALateCompletion();
    void secondBeginRaisesReentrancy();
    void outerWaitTimesOutWhileAnInnerOneRuns();
};

void TestSynchronizer::waitPumpsEventsUntilComplete()
{
    Synchronizer sync;
    QVERIFY(!sync.IsBusy());
    sync.Begin();
    QVERIFY(sync.IsBusy());
    sync.Complete();
    sync.SetTimeout(1); // would raise at once if the wait were entered
    sync.Wait();
    QVERIFY(!sync.IsBusy());

    sync.SetTimeout(10000);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (++ticks == 3)
            sync.Complete();
    });
    ticker.start(1);
    sync.Begin();
    sync.Wait();
    QCOMPARE(ticks, 3);
    QVERIFY(!sync.IsBusy());
}

void TestSynchronizer::timeoutRaisesAndLocksUntilALateCompletion()
{
    Synchronizer sync;
    sync.SetTimeout(30);
    sync.Begin();
    QCOMPARE(RaisedText([&] { sync.Wait(); }),
             QString("Communications with the server failed.  You need to restart your application"));
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
    QCOMPARE(RaisedText([&] { sync.Begin(); }), QString("Reentrancy on a synchronous transaction."));
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

TURVISTA_TEST_MAIN(TestKQDde, TestSynchronizer)

#include "tst_kqdde.moc"
