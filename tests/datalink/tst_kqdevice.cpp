// Devices: the shared item table, handing the conversation to the items, the
// server reference and the list of changeable items.
#include "datalink/KQDevice.h"
#include "platform/Assert.h"
#include "platform/Timing.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDdeServer.h"

#include <QApplication>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int ReplyWait = 5000;
const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");

QList<int> pauses;
void RecordPause(int milliseconds)
{
    pauses << milliseconds;
}

struct Link {
    Link()
    {
        qputenv("TURVISTA_DDE_DIR", folder.path().toLocal8Bit());
        server = std::make_unique<TestDdeServer>("URQVDatorel", Topic);
        manager = std::make_unique<TKQDdeMgr>();
        TKQDdeMgr::SetCurrent(manager.get());
        conversation = std::make_unique<TKQDdeClientConv>();
        opened = server->Registered() && conversation->SetLink("URQVDatorel", Topic);
        pauses.clear();
        Timing::SetPauseFunction(RecordPause);
    }
    ~Link()
    {
        Timing::SetPauseFunction(nullptr);
        conversation.reset();
        manager.reset();
        server.reset();
    }

    TScriptedDialogs dialogs;
    QTemporaryDir folder;
    std::unique_ptr<TestDdeServer> server;
    std::unique_ptr<TKQDdeMgr> manager;
    std::unique_ptr<TKQDdeClientConv> conversation;
    bool opened = false;
};

class Client {
public:
    explicit Client(QStringList& log) : log(log) { }
    TNotifyEvent Event() { return TNotifyEvent(this, &Client::Changed); }

private:
    void Changed(TObject* sender) { log << static_cast<TKQItem*>(sender)->Value().toString(); }
    QStringList& log;
};

template <class F>
QString RaisedText(F&& f)
{
    try {
        f();
    } catch (const EAssertionFailed& error) {
        return error.Message();
    } catch (const Exception& error) {
        return error.Message();
    }
    return QStringLiteral("<nothing raised>");
}

} // namespace

// ---------------------------------------------------------------------------

class TestDeviceItemTable : public QObject {
    Q_OBJECT
private slots:
    void namesInAnyCaseShareOneItem();
    void releaseInAnyCaseGivesTheReferenceBack();
    void unknownNamesAreIgnoredOnRelease();
    void freeingAnItemStopsItsAdviseLoop();
};

void TestDeviceItemTable::namesInAnyCaseShareOneItem()
{
    TKQDevice device;
    TKQItem* lower = device.GetItem("c_start.rt_to_min.in");
    TKQItem* upper = device.GetItem("C_START.RT_TO_MIN.IN");
    QCOMPARE(lower, upper);
    QCOMPARE(upper->ItemName(), QString("C_START.RT_TO_MIN.IN"));
    QCOMPARE(device.RefCount("C_START.RT_TO_MIN.IN"), 2);
    QCOMPARE(device.ItemCount(), 1);

    device.ReleaseItem("C_START.RT_TO_MIN.IN");
    QCOMPARE(device.RefCount("C_START.RT_TO_MIN.IN"), 1);
    device.ReleaseItem(upper->ItemName());
    QCOMPARE(device.RefCount("C_START.RT_TO_MIN.IN"), 0);
    QCOMPARE(device.ItemCount(), 0);
}

void TestDeviceItemTable::releaseInAnyCaseGivesTheReferenceBack()
{
    TKQDevice device;
    device.GetItem("Kxspl.Tst_Config.In"); // as typed in a hand-edited file
    device.GetItem("Run Mode");
    QCOMPARE(device.ItemCount(), 2);
    device.ReleaseItem("Kxspl.Tst_Config.In");
    device.ReleaseItem("run mode");
    QCOMPARE(device.ItemCount(), 0);
}

void TestDeviceItemTable::unknownNamesAreIgnoredOnRelease()
{
    TKQDevice device;
    device.GetItem("A.B.C");
    device.ReleaseItem("A.B.D");
    device.ReleaseItem("");
    QCOMPARE(device.ItemCount(), 1);
    QCOMPARE(device.RefCount("A.B.C"), 1);
}

void TestDeviceItemTable::freeingAnItemStopsItsAdviseLoop()
{
    Link link;
    QVERIFY(link.opened);
    link.server->SetItem("SPEED.PV.OUT", "1");
    TKQDevice device;
    device.ConversationReady(link.conversation.get());
    QStringList log;
    Client client(log);
    device.GetItem("SPEED.PV.OUT")->Advise(client.Event());
    QTRY_VERIFY_WITH_TIMEOUT(link.server->advised.contains("SPEED.PV.OUT"), ReplyWait);
    device.ReleaseItem("SPEED.PV.OUT");
    QTRY_VERIFY_WITH_TIMEOUT(!link.server->advised.contains("SPEED.PV.OUT"), ReplyWait);
}

// ---------------------------------------------------------------------------

class TestDeviceConversation : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void conversationReachesEveryItemThenCommunicatingAndActive();
    void itemsTakenLaterGetTheHeldConversation();
    void nilConversationIsIgnored();
    void communicatingAssignedWhileConnectedRunsAtOnce();
    void conversationLostTakesLoopsAwayAndPauses();
    void freedServerIsForgottenWithItsConversation();
    void serverSetToNilKeepsTheReference();

private:
    std::unique_ptr<Link> link;
};

void TestDeviceConversation::init()
{
    link = std::make_unique<Link>();
    QVERIFY(link->opened);
}

void TestDeviceConversation::cleanup()
{
    link.reset();
}

void TestDeviceConversation::conversationReachesEveryItemThenCommunicatingAndActive()
{
    link->server->SetItem("A.B.C", "1");
    link->server->SetItem("D.E.F", "2");
    QStatusBar bar;
    TKQStatusPanel::AddPanel(&bar, 100);
    TKQDevice device;
    device.StatusPanel()->SetStatusBar(&bar);
    QStringList log;
    Client a(log), b(log);
    device.GetItem("A.B.C")->Advise(a.Event());
    device.GetItem("D.E.F")->Advise(b.Event());
    QStringList events;
    device.SetOnCommunicating([&](TObject* sender) {
        events << (sender == &device ? "device" : "other");
        events << device.StatusPanel()->Text();
    });
    QVERIFY(events.isEmpty());

    device.ConversationReady(link->conversation.get());
    QVERIFY(device.IsConnected());
    QCOMPARE(events, QStringList({"device", ""})); // "Active." comes after the event
    QCOMPARE(device.StatusPanel()->Text(), QString("Active."));
    QTRY_COMPARE_WITH_TIMEOUT(log.size(), 2, ReplyWait);
    QCOMPARE(link->server->advised, QSet<QString>({"A.B.C", "D.E.F"}));
}

void TestDeviceConversation::itemsTakenLaterGetTheHeldConversation()
{
    link->server->SetItem("CONFIGURATION ID", "7");
    TKQDevice device;
    device.ConversationReady(link->conversation.get());
    QCOMPARE(device.GetItem("Configuration ID")->Value().toString(), QString("7"));
}

void TestDeviceConversation::nilConversationIsIgnored()
{
    TKQDevice device;
    int fired = 0;
    device.SetOnCommunicating([&](TObject*) { ++fired; });
    device.ConversationReady(nullptr);
    QVERIFY(!device.IsConnected());
    QCOMPARE(fired, 0);
    QCOMPARE(RaisedText([&] { device.GetItem("A.B.C")->Value(); }),
             QString("TKQItem._GetValue: Conversation is not ready and you asked for the value"));
}

void TestDeviceConversation::communicatingAssignedWhileConnectedRunsAtOnce()
{
    TKQDevice device;
    device.ConversationReady(link->conversation.get());
    QList<TObject*> senders;
    device.SetOnCommunicating([&](TObject* sender) { senders << sender; });
    QCOMPARE(senders, QList<TObject*>({&device}));
    device.ConversationReady(link->conversation.get()); // the stored handler fires again
    QCOMPARE(senders.size(), 2);
}

void TestDeviceConversation::conversationLostTakesLoopsAwayAndPauses()
{
    link->server->SetItem("SPEED.SP", "10");
    TKQDevice device;
    device.ConversationReady(link->conversation.get());
    QStringList log;
    Client client(log);
    TKQItem* item = device.GetItem("SPEED.SP");
    item->Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"10"}), ReplyWait);

    device.ConversationLost();
    QCOMPARE(pauses, QList<int>({1000}));
    QTRY_VERIFY_WITH_TIMEOUT(link->server->advised.isEmpty(), ReplyWait);
    QVERIFY(device.IsConnected()); // the device keeps its conversation

    link->server->SetItem("SPEED.SP", "20");
    device.ConversationReady(link->conversation.get());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"10", "20"}), ReplyWait);
}

void TestDeviceConversation::freedServerIsForgottenWithItsConversation()
{
    link->server->SetItem("SPEED.SP", "10");
    auto server = std::make_unique<TKQServer>();
    TKQDdeMgr::SetCurrent(link->manager.get()); // the test's conversation uses the test's manager
    TKQDevice device;
    device.SetIdentifier(Topic);
    device.SetServer(server.get()); // still loading: no request
    device.ConversationReady(link->conversation.get());
    QStringList log;
    Client client(log);
    TKQItem* item = device.GetItem("SPEED.SP");
    item->Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log.size(), 1, ReplyWait);

    server.reset();
    QCOMPARE(device.Server(), nullptr);
    QVERIFY(!device.IsConnected());
    QCOMPARE(RaisedText([&] { item->Value(); }),
             QString("TKQItem._GetValue: Conversation is not ready and you asked for the value"));
    QCOMPARE(RaisedText([&] { device.GetItem("OTHER.ITEM")->Value(); }),
             QString("TKQItem._GetValue: Conversation is not ready and you asked for the value"));
    QCOMPARE(RaisedText([&] { device.MutableItemList(); }), QString("Control has not been connected."));
}

void TestDeviceConversation::serverSetToNilKeepsTheReference()
{
    auto server = std::make_unique<TKQServer>();
    TKQDdeMgr::SetCurrent(link->manager.get());
    TKQDevice device;
    device.SetServer(server.get());
    device.SetServer(nullptr);
    QCOMPARE(device.Server(), server.get()); // a later Identifier connects through it again
    server.reset();
    QCOMPARE(device.Server(), nullptr);
}

// ---------------------------------------------------------------------------

class TestMutableItemList : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void splitAtTabs_data();
    void splitAtTabs();
    void loadedOnce();
    void notConnected();
    void refusedListRaises();

private:
    std::unique_ptr<Link> link;
};

void TestMutableItemList::init()
{
    link = std::make_unique<Link>();
    QVERIFY(link->opened);
}

void TestMutableItemList::cleanup()
{
    link.reset();
}

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
    device.ConversationReady(link->conversation.get());
    QCOMPARE(device.MutableItemList(), entries);
}

void TestMutableItemList::loadedOnce()
{
    link->server->SetItem("MutableItemList", "A\tB");
    TKQDevice device;
    device.SetIdentifier(Topic);
    device.ConversationReady(link->conversation.get());
    QCOMPARE(device.MutableItemList(), QStringList({"A", "B"}));
    link->server->SetItem("MutableItemList", "C");
    QCOMPARE(device.MutableItemList(), QStringList({"A", "B"}));
}

void TestMutableItemList::notConnected()
{
    link->server->SetItem("MutableItemList", "A");
    TKQDevice withoutIdentifier;
    withoutIdentifier.ConversationReady(link->conversation.get());
    QCOMPARE(RaisedText([&] { withoutIdentifier.MutableItemList(); }), QString("Control has not been connected."));
    TKQDevice withoutConversation;
    withoutConversation.SetIdentifier(Topic);
    QCOMPARE(RaisedText([&] { withoutConversation.MutableItemList(); }), QString("Control has not been connected."));
}

void TestMutableItemList::refusedListRaises()
{
    link->server->SetItem("MutableItemList", "A");
    link->server->refused.insert("MUTABLEITEMLIST");
    TKQDevice device;
    device.SetIdentifier(Topic);
    device.ConversationReady(link->conversation.get());
    QCOMPARE(RaisedText([&] { device.MutableItemList(); }), QString("Message was not processed."));
    link->server->refused.clear();
    QCOMPARE(device.MutableItemList(), QStringList({"A"})); // not marked loaded by the failure
}

// ---------------------------------------------------------------------------

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failed = 0;
    {
        TestDeviceItemTable test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestDeviceConversation test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestMutableItemList test;
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}

#include "tst_kqdevice.moc"
