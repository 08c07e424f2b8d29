// The DDE conversation layer against a server in the same process, over the
// real sockets of the DDE work-alike.
#include "datalink/KQDde.h"
#include "datalink/Synchro.h"
#include "platform/Assert.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDdeServer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Result {
    bool arrived = false;
    bool failed = false;
    QByteArray data;
    QString error;
};

TDdeCallBack Into(Result& result)
{
    return [&result](const QByteArray* data, const EDdeError* error) {
        result.arrived = true;
        result.failed = error != nullptr;
        if (data)
            result.data = *data;
        if (error)
            result.error = error->Message();
    };
}

constexpr int ReplyWait = 5000;

} // namespace

class TestKQDde : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void requestDeliversTextUpToItsZero();
    void binaryRequestKeepsEveryByte();
    void pokeAsynchronousAndSynchronous();
    void executeReachesTheServer();
    void adviseStartDataAndStop();
    void failedTransactionReachesDialogAndCallBack();
    void failedTransactionGoesToOnDdeErrorWhenAssigned();
    void failedPokeWithoutCallBackStillReportsPoke();
    void failedSynchronousPokeRaises();
    void twoConversationsAreRoutedByHandle();
    void transactionsOnAClosedConversationAreAssertions();
    void openLinkFailsQuietlyWithoutServer();
    void closeLinkFiresOnCloseAndForgetsNames();
    void errorTexts_data();
    void errorTexts();

private:
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<TKQDdeMgr> manager;
    std::unique_ptr<TestDdeServer> server;
};

void TestKQDde::init()
{
    folder = std::make_unique<QTemporaryDir>();
    qputenv("TURVISTA_DDE_DIR", folder->path().toLocal8Bit());
    server = std::make_unique<TestDdeServer>("TestService", "Plant");
    QVERIFY(server->Registered());
    manager = std::make_unique<TKQDdeMgr>();
    TKQDdeMgr::SetCurrent(manager.get());
}

void TestKQDde::cleanup()
{
    manager.reset();
    server.reset();
    folder.reset();
}

void TestKQDde::requestDeliversTextUpToItsZero()
{
    server->SetItem("SPEED.PV.OUT", "3600.0");
    TKQDdeClientConv conv;
    QVERIFY(conv.SetLink("testservice", "plant")); // names without regard to case
    Result result;
    conv.Request("speed.pv.out", Into(result));
    QTRY_VERIFY_WITH_TIMEOUT(result.arrived, ReplyWait);
    QVERIFY(!result.failed);
    QCOMPARE(result.data, QByteArray("3600.0"));
}

void TestKQDde::binaryRequestKeepsEveryByte()
{
    const QByteArray symbol("\x02\x20" "0.0\0" "100.0\0", 13);
    server->SetBinary("GAIN.IN", symbol);
    server->SetItem("GAIN.IN", "5");
    TKQDdeClientConv conv;
    QVERIFY(conv.SetLink("TestService", "Plant"));
    Result binary;
    conv.RequestBinary("GAIN.IN", Into(binary));
    QTRY_VERIFY_WITH_TIMEOUT(binary.arrived, ReplyWait);
    QCOMPARE(binary.data, symbol);
    QCOMPARE(binary.data.size(), 13);
}

void TestKQDde::pokeAsynchronousAndSynchronous()
{
    server->SetItem("SETPOINT.IN", "0");
    TKQDdeClientConv conv;
    QVERIFY(conv.SetLink("TestService", "Plant"));
    Result poke;
    conv.Poke("SETPOINT.IN", "1234.5", Into(poke));
    QTRY_VERIFY_WITH_TIMEOUT(poke.arrived, ReplyWait);
    QVERIFY(!poke.failed);
    QVERIFY(poke.data.isEmpty());
    QCOMPARE(server->Item("SETPOINT.IN"), QByteArray("1234.5"));

    conv.PokeSync("SETPOINT.IN", "42");
    QCOMPARE(server->Item("SETPOINT.IN"), QByteArray("42")); // acknowledged before the call returns
    QCOMPARE(server->pokes, QStringList({"SETPOINT.IN=1234.5", "SETPOINT.IN=42"}));
}

void TestKQDde::executeReachesTheServer()
{
    TKQDdeClientConv conv;
    QVERIFY(conv.SetLink("TestService", "Plant"));
    Result done;
    conv.Execute("[open(\"/tmp/a.net\")]", Into(done));
    conv.Execute("Reset"); // no call-back
    QTRY_VERIFY_WITH_TIMEOUT(done.arrived, ReplyWait);
    QVERIFY(!done.failed);
    QTRY_COMPARE_WITH_TIMEOUT(server->executes, QStringList({"[open(\"/tmp/a.net\")]", "Reset"}), ReplyWait);
}

void TestKQDde::adviseStartDataAndStop()
{
    server->SetItem("ALARM.COUNT", "0");
    TKQDdeClientConv conv;
    QVERIFY(conv.SetLink("TestService", "Plant"));
    QList<QByteArray> values;
    const HSZ handle = conv.StartAdvise("Alarm.Count", [&values](const QByteArray* data, const EDdeError*) {
        values << (data ? *data : QByteArray("<error>"));
    });
    QVERIFY(handle != nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(values, QList<QByteArray>({"0"}), ReplyWait); // current value first
    server->SetItem("ALARM.COUNT", "1");
    server->SetItem("ALARM.COUNT", "2");
    QTRY_COMPARE_WITH_TIMEOUT(values, QList<QByteArray>({"0", "1", "2"}), ReplyWait);

    conv.StopAdvise(handle);
    QTRY_VERIFY_WITH_TIMEOUT(!server->advised.contains("ALARM.COUNT"), ReplyWait);
    server->SetItem("ALARM.COUNT", "3");
    Result probe; // a round trip, so that any stray advise would have arrived
    conv.Request("ALARM.COUNT", Into(probe));
    QTRY_VERIFY_WITH_TIMEOUT(probe.arrived, ReplyWait);
    QCOMPARE(values.size(), 3);
}

void TestKQDde::failedTransactionReachesDialogAndCallBack()
{
    TScriptedDialogs dialogs;
    TKQDdeClientConv conv;
    QVERIFY(conv.SetLink("TestService", "Plant"));
    Result result;
    conv.Request("NO.SUCH.ITEM", Into(result));
    QTRY_VERIFY_WITH_TIMEOUT(result.arrived, ReplyWait);
    QVERIFY(result.failed);
    QCOMPARE(result.error, QString("Message was not processed."));
    QCOMPARE(dialogs.texts(), QStringList({"DDE Error: Request on Plant: NO.SUCH.ITEM failed; verify item name."}));
    QCOMPARE(dialogs.messages().first().type, TMsgDlgType::mtError);

    server->SetItem("KNOWN", "1");
    Result advise;
    conv.StartAdvise("UNKNOWN.ITEM", Into(advise));
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts().size(), 2, ReplyWait);
    QCOMPARE(dialogs.texts().last(), QString("DDE Error: Start Advise on Plant: UNKNOWN.ITEM failed; verify item name."));
}

void TestKQDde::failedTransactionGoesToOnDdeErrorWhenAssigned()
{
    TScriptedDialogs dialogs;
    QStringList reported;
    manager->OnDdeError = [&reported](const QString& name, const QString& topic, const QString& item) {
        reported << name + "|" + topic + "|" + item;
    };
    server->refused.insert("LOCKED.IN");
    server->SetItem("LOCKED.IN", "0");
    TKQDdeClientConv conv;
    QVERIFY(conv.SetLink("TestService", "Plant"));
    Result result;
    conv.Poke("LOCKED.IN", "1", Into(result));
    QTRY_VERIFY_WITH_TIMEOUT(result.arrived, ReplyWait);
    QVERIFY(result.failed);
    QCOMPARE(reported, QStringList({"Poke|Plant|LOCKED.IN"}));
    QVERIFY(dialogs.texts().isEmpty());
}

void TestKQDde::failedPokeWithoutCallBackStillReportsPoke()
{
    TScriptedDialogs dialogs;
    server->refused.insert("LOCKED.IN");
    TKQDdeClientConv conv;
    QVERIFY(conv.SetLink("TestService", "Plant"));
    conv.Poke("LOCKED.IN", "1");
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts(), QStringList({"DDE Error: Poke on Plant: LOCKED.IN failed; verify item name."}),
                              ReplyWait);
}

void TestKQDde::failedSynchronousPokeRaises()
{
    server->refused.insert("LOCKED.IN");
    TKQDdeClientConv conv;
    QVERIFY(conv.SetLink("TestService", "Plant"));
    try {
        conv.PokeSync("LOCKED.IN", "1");
        QFAIL("a refused synchronous poke must raise");
    } catch (const EDdeError& error) {
        QCOMPARE(error.Message(), QString("Message was not processed."));
    }
}

void TestKQDde::twoConversationsAreRoutedByHandle()
{
    TestDdeServer second("OtherService", "Line");
    QVERIFY(second.Registered());
    server->SetItem("VALUE", "plant");
    second.SetItem("VALUE", "line");
    TKQDdeClientConv a;
    TKQDdeClientConv b;
    QVERIFY(a.SetLink("TestService", "Plant"));
    QVERIFY(b.SetLink("OtherService", "Line"));
    QVERIFY(a.Handle() != b.Handle());
    QCOMPARE(manager->Lookup(a.Handle()), &a);
    QCOMPARE(manager->Lookup(b.Handle()), &b);
    QByteArray fromA, fromB;
    a.StartAdvise("VALUE", [&fromA](const QByteArray* data, const EDdeError*) { fromA = *data; });
    b.StartAdvise("VALUE", [&fromB](const QByteArray* data, const EDdeError*) { fromB = *data; });
    QTRY_COMPARE_WITH_TIMEOUT(fromA, QByteArray("plant"), ReplyWait);
    QTRY_COMPARE_WITH_TIMEOUT(fromB, QByteArray("line"), ReplyWait);
    second.SetItem("VALUE", "line 2");
    QTRY_COMPARE_WITH_TIMEOUT(fromB, QByteArray("line 2"), ReplyWait);
    QCOMPARE(fromA, QByteArray("plant"));
}

void TestKQDde::transactionsOnAClosedConversationAreAssertions()
{
    TKQDdeClientConv conv;
    for (auto send : {+[](TKQDdeClientConv& c) { c.Request("X", {}); },
                      +[](TKQDdeClientConv& c) { c.Poke("X", "1"); },
                      +[](TKQDdeClientConv& c) { c.Execute("Reset"); },
                      +[](TKQDdeClientConv& c) { c.StartAdvise("X", {}); }}) {
        try {
            send(conv);
            QFAIL("a transaction on a closed conversation must raise");
        } catch (const EAssertionFailed& error) {
            QCOMPARE(error.Message(), QString("Assertion failure"));
        }
    }
    QVERIFY(conv.SetLink("TestService", "Plant"));
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, conv.StartAdvise("", {}));
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, conv.OpenLink());
}

void TestKQDde::openLinkFailsQuietlyWithoutServer()
{
    TScriptedDialogs dialogs;
    TKQDdeClientConv conv;
    QVERIFY(!conv.SetLink("NobodyHere", "System"));
    QVERIFY(!conv.SetLink("TestService", "UnknownTopic"));
    QVERIFY(!conv.Connected());
    QVERIFY(dialogs.texts().isEmpty());
}

void TestKQDde::closeLinkFiresOnCloseAndForgetsNames()
{
    TKQDdeClientConv conv;
    QVERIFY(conv.SetLink("TestService", "Plant"));
    const HCONV handle = conv.Handle();
    bool connectedDuringClose = false;
    int closes = 0;
    conv.OnClose = [&](TObject*) {
        ++closes;
        connectedDuringClose = conv.Connected();
    };
    conv.CloseLink();
    QCOMPARE(closes, 1);
    QVERIFY(connectedDuringClose);
    QVERIFY(!conv.Connected());
    QVERIFY(conv.Service().isEmpty() && conv.Topic().isEmpty());
    QCOMPARE(manager->Lookup(handle), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(server->disconnects, 1, ReplyWait);
}

void TestKQDde::errorTexts_data()
{
    QTest::addColumn<uint>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0u << "No error found.";
    QTest::newRow("advack") << 0x4000u << "Start advise ack timeout.";
    QTest::newRow("busy") << 0x4001u << "Busy.";
    QTest::newRow("dataack") << 0x4002u << "Data ack timeout.";
    QTest::newRow("notinit") << 0x4003u << "Dll was not initialized.";
    QTest::newRow("usage") << 0x4004u << "Dll usage incorrect.";
    QTest::newRow("execack") << 0x4005u << "Execute ack timeout.";
    QTest::newRow("param") << 0x4006u << "Invalid parameter.";
    QTest::newRow("low") << 0x4007u << "Memory is low.";
    QTest::newRow("memory") << 0x4008u << "Memory error.";
    QTest::newRow("notprocessed") << 0x4009u << "Message was not processed.";
    QTest::newRow("noconv") << 0x400Au << "No conversation was established.";
    QTest::newRow("pokeack") << 0x400Bu << "Poke ack timeout.";
    QTest::newRow("postmsg") << 0x400Cu << "Post message failed.";
    QTest::newRow("reentrancy") << 0x400Du << "Re entrancy.";
    QTest::newRow("died") << 0x400Eu << "Server died.";
    QTest::newRow("sys") << 0x400Fu << "System error.";
    QTest::newRow("unadv") << 0x4010u << "Unadvise ack timeout.";
    QTest::newRow("queue") << 0x4011u << "Unfound queue id.";
    QTest::newRow("other") << 0x4012u << "Error code not in list of error values.";
}

void TestKQDde::errorTexts()
{
    QFETCH(uint, code);
    QFETCH(QString, text);
    QCOMPARE(DdeErrorText(code), text);
}

QTEST_MAIN(TestKQDde)
#include "tst_kqdde.moc"
