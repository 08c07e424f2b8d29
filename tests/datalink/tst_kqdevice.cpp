// Devices: the shared item table, handing the conversation to the items, the
// server reference and the list of changeable items.
#include "datalink/KQDevice.h"
#include "tests/datalink/LinkFixture.h"

#include <QStatusBar>

using namespace fixture;

class TestDeviceItems : public QObject {
    Q_OBJECT
private slots:
    void init() { link = std::make_unique<Link>(); QVERIFY(link->opened); }
    void cleanup() { link.reset(); }

    void namesInAnyCaseShareOneCountedItem();
    void freeingAnItemStopsItsAdviseLoop();
    void conversationReachesEveryItemThenCommunicatingAndActive();
    void conversationLostTakesLoopsAwayAndPauses();
    void freedServerIsForgottenWithItsConversation();

private:
    std::unique_ptr<Link> link;
};

void TestDeviceItems::namesInAnyCaseShareOneCountedItem()
{
    TKQDevice device;
    TKQItem* lower = device.GetItem("kxspl.tst_config.in");
    TKQItem* upper = device.GetItem("KXSPL.TST_CONFIG.IN");
    QCOMPARE(lower, upper);
    QCOMPARE(upper->ItemName(), QString("KXSPL.TST_CONFIG.IN"));
    QCOMPARE(device.RefCount("KXSPL.TST_CONFIG.IN"), 2);
    device.GetItem("Run Mode");
    QCOMPARE(device.ItemCount(), 2);

    device.ReleaseItem("A.B.D"); // unknown: ignored
    device.ReleaseItem("Kxspl.Tst_Config.In"); // as typed in a hand-edited file
    QCOMPARE(device.RefCount("KXSPL.TST_CONFIG.IN"), 1);
    device.ReleaseItem(upper->ItemName());
    device.ReleaseItem("run mode");
    QCOMPARE(device.ItemCount(), 0);
    QCOMPARE(device.RefCount("KXSPL.TST_CONFIG.IN"), 0);
}

void TestDeviceItems::freeingAnItemStopsItsAdviseLoop()
{
    link->server->SetItem("SPEED.PV.OUT", "1");
    TKQDevice device;
    device.ConversationReady(link->Conv());
    QStringList log;
    Client client(log);
    device.GetItem("SPEED.PV.OUT")->Advise(client.Event());
    QTRY_VERIFY_WITH_TIMEOUT(link->server->advised.contains("SPEED.PV.OUT"), ReplyWait);
    device.ReleaseItem("SPEED.PV.OUT");
    QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("SPEED.PV.OUT"), ReplyWait);
}

void TestDeviceItems::conversationReachesEveryItemThenCommunicatingAndActive()
{
    link->server->SetItem("A.B.C", "1");
    link->server->SetItem("CONFIGURATION ID", "7");
    QStatusBar bar;
    TKQStatusPanel::AddPanel(&bar, 100);
    TKQDevice device;
    device.StatusPanel()->SetStatusBar(&bar);
    QStringList log;
    Client client(log);
    device.GetItem("A.B.C")->Advise(client.Event());
    QStringList events;
    device.SetOnCommunicating([&](TObject* sender) {
        events << (sender == &device ? "device" : "other") << device.StatusPanel()->Text();
    });
    device.ConversationReady(nullptr); // ignored
    QVERIFY(events.isEmpty() && !device.IsConnected());

    device.ConversationReady(link->Conv());
    QVERIFY(device.IsConnected());
    QCOMPARE(events, QStringList({"device", ""})); // "Active." follows the event
    QCOMPARE(device.StatusPanel()->Text(), QString("Active."));
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"1"}), ReplyWait);
    // Items taken later get the held conversation.
    QCOMPARE(device.GetItem("Configuration ID")->Value(), QVariant(QStringLiteral("7")));

    int lateHandler = 0; // assigned while communicating: runs at once
    device.SetOnCommunicating([&](TObject*) { ++lateHandler; });
    QCOMPARE(lateHandler, 1);
}

void TestDeviceItems::conversationLostTakesLoopsAwayAndPauses()
{
    link->server->SetItem("SPEED.SP", "10");
    TKQDevice device;
    device.ConversationReady(link->Conv());
    QStringList log;
    Client client(log);
    device.GetItem("SPEED.SP")->Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"10"}), ReplyWait);

    device.ConversationLost();
    QCOMPARE(pauses, QList<int>({1000}));
    QTRY_VERIFY_WITH_TIMEOUT(link->server->advised.isEmpty(), ReplyWait);
    QVERIFY(device.IsConnected()); // the device keeps its conversation

    link->server->SetItem("SPEED.SP", "20");
    device.ConversationReady(link->Conv());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"10", "20"}), ReplyWait);
}

void TestDeviceItems::freedServerIsForgottenWithItsConversation()
{
    link->server->SetItem("SPEED.SP", "10");
    auto server = std::make_unique<TKQServer>();
    TKQDdeMgr::SetCurrent(link->manager.get()); // the test's conversation belongs to the test's manager
    TKQDevice device;
    device.SetIdentifier(Topic);
    device.SetServer(server.get()); // still loading: nothing is requested
    device.SetServer(nullptr);
    QCOMPARE(device.Server(), server.get()); // kept: a later Identifier connects through it again
    device.ConversationReady(link->Conv());
    QStringList log;
    Client client(log);
    TKQItem* item = device.GetItem("SPEED.SP");
    item->Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log.size(), 1, ReplyWait);

    server.reset();
    QCOMPARE(device.Server(), nullptr);
    QVERIFY(!device.IsConnected());
    const QString offLine = QStringLiteral("TKQItem._GetValue: Conversation is not ready and you asked for the value");
    QCOMPARE(RaisedText([&] { item->Value(); }), offLine);
    QCOMPARE(RaisedText([&] { device.GetItem("OTHER.ITEM")->Value(); }), offLine);
    QCOMPARE(RaisedText([&] { device.MutableItemList(); }), QString("Control has not been connected."));
}

// ---------------------------------------------------------------------------

class TestMutableItemList : public QObject {
    Q_OBJECT
private slots:
    void init() { link = std::make_unique<Link>(); QVERIFY(link->opened); }
    void cleanup() { link.reset(); }

    void splitAtTabs_data();
    void splitAtTabs();
    void loadedOnceAndOnlyOnSuccess();
    void notConnected();

private:
    std::unique_ptr<Link> link;
};

void TestMutableItemList::splitAtTabs_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("empty run kept") << QByteArray("A\tB\t\tC") << QStringList({"A", "B", "", "C"});
    QTest::newRow("no trailing empty entry") << QByteArray("A\tB\t") << QStringList({"A", "B"});
    QTest::newRow("leading empty entry") << QByteArray("\tA") << QStringList({"", "A"});
    QTest::newRow("one name") << QByteArray("C_START.RT_TO_MIN.IN") << QStringList({"C_START.RT_TO_MIN.IN"});
    QTest::newRow("nothing") << QByteArray("") << QStringList();
}

void TestMutableItemList::splitAtTabs()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, entries);

    link->server->SetItem("MutableItemList", reply);
    TKQDevice device;
    device.SetIdentifier(Topic);
    device.ConversationReady(link->Conv());
    QStringList list;
    QCOMPARE(RaisedText([&] { list = device.MutableItemList(); }), QString());
    QCOMPARE(list, entries);
}

void TestMutableItemList::loadedOnceAndOnlyOnSuccess()
{
    link->server->SetItem("MutableItemList", "A\tB");
    link->server->refused.insert("MUTABLEITEMLIST");
    TKQDevice device;
    device.SetIdentifier(Topic);
    device.ConversationReady(link->Conv());
    QCOMPARE(RaisedText([&] { device.MutableItemList(); }), QString("Message was not processed."));

    link->server->refused.clear();
    QStringList list;
    QCOMPARE(RaisedText([&] { list = device.MutableItemList(); }), QString());
    QCOMPARE(list, QStringList({"A", "B"}));
    link->server->SetItem("MutableItemList", "C");
    QCOMPARE(device.MutableItemList(), QStringList({"A", "B"}));
}

void TestMutableItemList::notConnected()
{
    link->server->SetItem("MutableItemList", "A");
    TKQDevice withoutIdentifier;
    withoutIdentifier.ConversationReady(link->Conv());
    QCOMPARE(RaisedText([&] { withoutIdentifier.MutableItemList(); }), QString("Control has not been connected."));
    TKQDevice withoutConversation;
    withoutConversation.SetIdentifier(Topic);
    QCOMPARE(RaisedText([&] { withoutConversation.MutableItemList(); }), QString("Control has not been connected."));
}

TURVISTA_TEST_MAIN(TestDeviceItems, TestMutableItemList)

#include "tst_kqdevice.moc"
