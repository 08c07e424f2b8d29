// Items over a conversation with a DDE server in the same process: subscription,
// reads, writes and the conversation coming and going.
#include "datalink/KQItem.h"
#include "platform/Assert.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDdeServer.h"

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

constexpr int ReplyWait = 5000;
const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");

// A server, a client manager and one open conversation, with scripted dialogs.
struct Link {
    Link()
    {
        qputenv("TURVISTA_DDE_DIR", folder.path().toLocal8Bit());
        server = std::make_unique<TestDdeServer>("URQVDatorel", Topic);
        manager = std::make_unique<TKQDdeMgr>();
        TKQDdeMgr::SetCurrent(manager.get());
        conversation = std::make_unique<TKQDdeClientConv>();
        opened = server->Registered() && conversation->SetLink("URQVDatorel", Topic);
    }
    ~Link()
    {
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

// A subscriber that logs "name=value" for each notification and may act on it.
class Client {
public:
    Client(QStringList& log, const QString& name) : log(log), name(name) { }
    TNotifyEvent Event() { return TNotifyEvent(this, &Client::Changed); }
    std::function<void(TKQItem*)> action;

private:
    void Changed(TObject* sender)
    {
        auto* item = dynamic_cast<TKQItem*>(sender);
        log << name + "=" + (item ? item->Value().toString() : QStringLiteral("<not an item>"));
        if (action && item)
            action(item);
    }

    QStringList& log;
    QString name;
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

class TestItemSubscription : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void clientsAreCalledInSubscriptionOrderWithTheItemAsSender();
    void lateSubscriberSeesTheCurrentValueAtOnce();
    void subscribingTwiceKeepsOneEntry();
    void lastUnsubscribeStopsTheLoopAndForgetsTheValue();
    void subscribingBeforeTheConversationStartsTheLoopWhenItArrives();
    void conversationLostKeepsClientsAndValueAndRestartsLater();
    void failedAdviseStartRaisesAndKeepsTheClient();
    void clientMayUnsubscribeAnotherDuringNotification();
    void itemMayBeFreedByItsClientDuringNotification();

private:
    std::unique_ptr<Link> link;
};

void TestItemSubscription::init()
{
    link = std::make_unique<Link>();
    QVERIFY(link->opened);
}

void TestItemSubscription::cleanup()
{
    link.reset();
}

void TestItemSubscription::clientsAreCalledInSubscriptionOrderWithTheItemAsSender()
{
    link->server->SetItem("SPEED.PV.OUT", "100");
    TKQItem item("SPEED.PV.OUT");
    item.ConversationReady(link->conversation.get());
    QStringList log;
    Client second(log, "second"), first(log, "first");
    item.Advise(second.Event());
    item.Advise(first.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"second=100", "first=100"}), ReplyWait);

    link->server->SetItem("SPEED.PV.OUT", "250");
    QTRY_COMPARE_WITH_TIMEOUT(log.size(), 4, ReplyWait);
    QCOMPARE(log.mid(2), QStringList({"second=250", "first=250"}));
    QVERIFY(item.HasValue());
    QCOMPARE(item.Value(), QVariant(QStringLiteral("250")));
}

void TestItemSubscription::lateSubscriberSeesTheCurrentValueAtOnce()
{
    link->server->SetItem("ALARM.COUNT", "3");
    TKQItem item("ALARM.COUNT");
    item.ConversationReady(link->conversation.get());
    QStringList log;
    Client early(log, "early"), late(log, "late");
    item.Advise(early.Event());
    QVERIFY(log.isEmpty()); // called only once the first value arrives
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"early=3"}), ReplyWait);

    item.Advise(late.Event());
    QCOMPARE(log, QStringList({"early=3", "late=3"})); // at once, without traffic
}

void TestItemSubscription::subscribingTwiceKeepsOneEntry()
{
    link->server->SetItem("VALVE.POS", "10");
    TKQItem item("VALVE.POS");
    item.ConversationReady(link->conversation.get());
    QStringList log;
    Client client(log, "c");
    item.Advise(client.Event());
    item.Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"c=10"}), ReplyWait);
    QVERIFY(item.IsClient(client.Event()));

    item.Unadvise(client.Event());
    QVERIFY(!item.IsClient(client.Event()));
    QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("VALVE.POS"), ReplyWait);
}

void TestItemSubscription::lastUnsubscribeStopsTheLoopAndForgetsTheValue()
{
    link->server->SetItem("LOAD.SP", "5");
    TKQItem item("LOAD.SP");
    item.ConversationReady(link->conversation.get());
    QStringList log;
    Client a(log, "a"), b(log, "b");
    item.Advise(a.Event());
    item.Advise(b.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log.size(), 2, ReplyWait);

    item.Unadvise(a.Event());
    QVERIFY(link->server->advised.contains("LOAD.SP")); // b still listens
    item.Unadvise(b.Event());
    QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("LOAD.SP"), ReplyWait);

    // Changed while nobody listens: the read must ask the server, not use the old value.
    link->server->SetItem("LOAD.SP", "6");
    QCOMPARE(item.Value(), QVariant(QStringLiteral("6")));
    QCOMPARE(log.size(), 2);
}

void TestItemSubscription::subscribingBeforeTheConversationStartsTheLoopWhenItArrives()
{
    link->server->SetItem("SPEED.SP", "3600");
    TKQItem item("SPEED.SP");
    QStringList log;
    Client client(log, "c");
    item.Advise(client.Event());
    QVERIFY(link->server->advised.isEmpty());

    item.ConversationReady(link->conversation.get());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"c=3600"}), ReplyWait);
    QVERIFY(link->server->advised.contains("SPEED.SP"));
}

void TestItemSubscription::conversationLostKeepsClientsAndValueAndRestartsLater()
{
    link->server->SetItem("SPEED.SP", "1000");
    TKQItem item("SPEED.SP");
    item.ConversationReady(link->conversation.get());
    QStringList log;
    Client client(log, "c");
    item.Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log.size(), 1, ReplyWait);

    item.ConversationLost();
    QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("SPEED.SP"), ReplyWait);
    QVERIFY(item.IsClient(client.Event()));
    QCOMPARE(RaisedText([&] { item.Value(); }),
             QString("TKQItem._GetValue: Conversation is not ready and you asked for the value"));

    link->server->SetItem("SPEED.SP", "1200");
    item.ConversationReady(link->conversation.get());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"c=1000", "c=1200"}), ReplyWait);
}

void TestItemSubscription::failedAdviseStartRaisesAndKeepsTheClient()
{
    TKQItem item("NOT.REACHABLE");
    item.ConversationReady(link->conversation.get());
    link->conversation->CloseLink(); // nothing can be sent any more
    QStringList log;
    Client client(log, "c");
    QCOMPARE(RaisedText([&] { item.Advise(client.Event()); }),
             QString("Start Advise on Item NOT.REACHABLE failed.  Make sure Item is supported in control."));
    QVERIFY(item.IsClient(client.Event()));
}

void TestItemSubscription::clientMayUnsubscribeAnotherDuringNotification()
{
    link->server->SetItem("TRIP.STATE", "0");
    TKQItem item("TRIP.STATE");
    item.ConversationReady(link->conversation.get());
    QStringList log;
    Client first(log, "first"), second(log, "second");
    first.action = [&](TKQItem* sender) { sender->Unadvise(second.Event()); };
    item.Advise(first.Event());
    item.Advise(second.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"first=0"}), ReplyWait);
    link->server->SetItem("TRIP.STATE", "1");
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"first=0", "first=1"}), ReplyWait);
}

void TestItemSubscription::itemMayBeFreedByItsClientDuringNotification()
{
    link->server->SetItem("TRIP.STATE", "0");
    auto item = std::make_unique<TKQItem>("TRIP.STATE");
    item->ConversationReady(link->conversation.get());
    QStringList log;
    Client first(log, "first"), second(log, "second");
    first.action = [&](TKQItem*) { item.reset(); };
    item->Advise(first.Event());
    item->Advise(second.Event());
    QTRY_VERIFY_WITH_TIMEOUT(!item, ReplyWait);
    QCOMPARE(log, QStringList({"first=0"}));
    QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("TRIP.STATE"), ReplyWait);
}

// ---------------------------------------------------------------------------

class TestItemRead : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void readWithoutLoopAsksTheServer();
    void readRightAfterSubscribingWaitsForTheFirstAdvisedValue();
    void refusedReadRaisesAndALaterReadStartsAfresh();
    void preconditionsAreAssertions_data();
    void preconditionsAreAssertions();
    void readInsideTheCallbackIsAnAssertion();
    void unansweredReadTimesOutAndASecondReadMeanwhileIsReentrant();

private:
    std::unique_ptr<Link> link;
};

void TestItemRead::init()
{
    link = std::make_unique<Link>();
    QVERIFY(link->opened);
}

void TestItemRead::cleanup()
{
    link.reset();
}

void TestItemRead::readWithoutLoopAsksTheServer()
{
    link->server->SetItem("CONFIGURATION ID", "A-17");
    TKQItem item("CONFIGURATION ID");
    item.ConversationReady(link->conversation.get());
    QVERIFY(!item.HasValue());
    const QVariant value = item.Value();
    QCOMPARE(value.typeId(), int(QMetaType::QString));
    QCOMPARE(value.toString(), QString("A-17"));
    QVERIFY(item.HasValue());
    link->server->SetItem("CONFIGURATION ID", "A-18");
    QCOMPARE(item.Value().toString(), QString("A-18"));
}

void TestItemRead::readRightAfterSubscribingWaitsForTheFirstAdvisedValue()
{
    link->server->SetItem("SPEED.PV.OUT", "3599.5");
    TKQItem item("SPEED.PV.OUT");
    item.ConversationReady(link->conversation.get());
    QStringList log;
    Client client(log, "c");
    item.Advise(client.Event());
    QCOMPARE(item.Value().toString(), QString("3599.5"));
    QCOMPARE(log, QStringList({"c=3599.5"}));
}

void TestItemRead::refusedReadRaisesAndALaterReadStartsAfresh()
{
    link->server->SetItem("GAIN.IN", "2");
    link->server->refused.insert("GAIN.IN");
    TKQItem item("GAIN.IN");
    item.ConversationReady(link->conversation.get());
    QCOMPARE(RaisedText([&] { item.Value(); }), QString("Message was not processed."));
    QCOMPARE(link->dialogs.texts().size(), 1); // the DDE layer's own report

    link->server->refused.clear();
    QCOMPARE(item.Value().toString(), QString("2"));
}

void TestItemRead::preconditionsAreAssertions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<int>("operation"); // 0 read, 1 write, 2 acknowledged write, 3 subscribe
    QTest::addColumn<QString>("text");

    QTest::newRow("read, blank") << "" << true << 0 << "TKQItem._GetValue: ItemName is blank";
    QTest::newRow("read, off line") << "X.Y.Z" << false << 0
                                    << "TKQItem._GetValue: Conversation is not ready and you asked for the value";
    QTest::newRow("write, blank") << "" << true << 1 << "TKQItem.SetValue: ItemName is blank";
    QTest::newRow("write, off line") << "X.Y.Z" << false << 1 << "TKQItem.SetValue: Conversation is not ready";
    QTest::newRow("ack write, blank") << "" << true << 2 << "TKQItem.SetValueAcknowledged: ItemName is blank";
    QTest::newRow("ack write, off line") << "X.Y.Z" << false << 2
                                         << "TKQItem.SetValueAcknowledged: Conversation is not ready";
    QTest::newRow("subscribe, blank") << "" << true << 3 << "TKQItem.Advise: ItemName is blank";
}

void TestItemRead::preconditionsAreAssertions()
{
    QFETCH(QString, name);
    QFETCH(bool, ready);
    QFETCH(int, operation);
    QFETCH(QString, text);

    TKQItem item(name);
    if (ready)
        item.ConversationReady(link->conversation.get());
    QStringList log;
    Client client(log, "c");
    bool assertion = false;
    try {
        switch (operation) {
        case 0: item.Value(); break;
        case 1: item.SetValue(1); break;
        case 2: item.SetValueAcknowledged(1); break;
        default: item.Advise(client.Event()); break;
        }
    } catch (const EAssertionFailed& error) {
        assertion = true;
        QCOMPARE(error.Message(), text);
    }
    QVERIFY(assertion);
    QVERIFY(link->server->pokes.isEmpty());
}

void TestItemRead::readInsideTheCallbackIsAnAssertion()
{
    link->server->SetItem("TRIGGER", "1");
    link->server->SetItem("OTHER", "2");
    TKQItem trigger("TRIGGER"), other("OTHER");
    trigger.ConversationReady(link->conversation.get());
    other.ConversationReady(link->conversation.get());
    QStringList log;
    QString raised;
    Client client(log, "c");
    client.action = [&](TKQItem*) { raised = RaisedText([&] { other.Value(); }); };
    trigger.Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log.size(), 1, ReplyWait);
    QCOMPARE(raised, QString("TKQItem._GetValue: Don't call while in callback"));
}

void TestItemRead::unansweredReadTimesOutAndASecondReadMeanwhileIsReentrant()
{
    link->server->SetItem("SLOW.ITEM", "1");
    link->server->unanswered.insert("SLOW.ITEM");
    TKQItem slow("SLOW.ITEM");
    slow.ConversationReady(link->conversation.get());
    // Runs inside the first read's wait, as a user action would.
    QString secondRead;
    QTimer::singleShot(0, [&] { secondRead = RaisedText([&] { slow.Value(); }); });
    QCOMPARE(RaisedText([&] { slow.Value(); }),
             QString("Communications with the server failed.  You need to restart your application"));
    QCOMPARE(secondRead, QString("Reentrancy on a synchronous transaction."));
}

// ---------------------------------------------------------------------------

class TestItemWrite : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void writtenText_data();
    void writtenText();
    void writeShowsOnlyWhenTheServerAdvisesItBack();
    void acknowledgedWriteWaitsAndRaisesOnRefusal();
    void failedAsynchronousWriteShowsTheDdeErrorOnly();

private:
    std::unique_ptr<Link> link;
};

void TestItemWrite::init()
{
    link = std::make_unique<Link>();
    QVERIFY(link->opened);
}

void TestItemWrite::cleanup()
{
    QLocale::setDefault(QLocale::c());
    link.reset();
}

void TestItemWrite::writtenText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");

    QTest::newRow("true") << QVariant(true) << "en_US" << "-1";
    QTest::newRow("false") << QVariant(false) << "en_US" << "0";
    QTest::newRow("integer") << QVariant(42) << "en_US" << "42";
    QTest::newRow("negative, no group separator") << QVariant(-12345) << "de_DE" << "-12345";
    QTest::newRow("real") << QVariant(1234.5) << "en_US" << "1234.5";
    QTest::newRow("real, decimal comma") << QVariant(1234.5) << "de_DE" << "1234,5";
    QTest::newRow("whole real") << QVariant(100.0) << "en_US" << "100";
    QTest::newRow("text unchanged") << QVariant(QStringLiteral(" 1.5 mA ")) << "de_DE" << " 1.5 mA ";
    QTest::newRow("unassigned") << QVariant() << "en_US" << "";
    QTest::newRow("cut at 255") << QVariant(QString(300, QLatin1Char('x'))) << "en_US" << QString(255, QLatin1Char('x'));
}

void TestItemWrite::writtenText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, locale);
    QFETCH(QString, text);

    QLocale::setDefault(QLocale(locale));
    link->server->SetItem("SETPOINT.IN", "initial");
    TKQItem item("setpoint.in"); // the item passes its name as given; devices upper-case it
    item.ConversationReady(link->conversation.get());
    item.SetValueAcknowledged(value);
    QCOMPARE(link->server->pokes, QStringList({"SETPOINT.IN=" + text}));
}

void TestItemWrite::writeShowsOnlyWhenTheServerAdvisesItBack()
{
    link->server->SetItem("SETPOINT.IN", "10");
    TKQItem item("SETPOINT.IN");
    item.ConversationReady(link->conversation.get());
    QStringList log;
    Client client(log, "c");
    item.Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"c=10"}), ReplyWait);

    item.SetValue(11);
    QCOMPARE(item.Value().toString(), QString("10")); // not changed by the write itself
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"c=10", "c=11"}), ReplyWait);
    QCOMPARE(link->server->pokes, QStringList({"SETPOINT.IN=11"}));
}

void TestItemWrite::acknowledgedWriteWaitsAndRaisesOnRefusal()
{
    link->server->SetItem("LIMIT.IN", "1");
    TKQItem item("LIMIT.IN");
    item.ConversationReady(link->conversation.get());
    item.SetValueAcknowledged(2);
    QCOMPARE(link->server->Item("LIMIT.IN"), QByteArray("2")); // acknowledged before returning

    link->server->refused.insert("LIMIT.IN");
    bool raised = false;
    try {
        item.SetValueAcknowledged(3);
    } catch (const EDdeError& error) {
        raised = true;
        QCOMPARE(error.Message(), QString("Message was not processed."));
    }
    QVERIFY(raised);
    QCOMPARE(link->server->Item("LIMIT.IN"), QByteArray("2"));
}

void TestItemWrite::failedAsynchronousWriteShowsTheDdeErrorOnly()
{
    link->server->SetItem("LOCKED.IN", "0");
    link->server->refused.insert("LOCKED.IN");
    TKQItem item("LOCKED.IN");
    item.ConversationReady(link->conversation.get());
    item.SetValue(true); // returns at once
    QTRY_COMPARE_WITH_TIMEOUT(link->dialogs.texts(),
                              QStringList({"DDE Error: Poke on " + Topic + ": LOCKED.IN failed; verify item name."}),
                              ReplyWait);
    QCOMPARE(link->server->Item("LOCKED.IN"), QByteArray("0"));
}

// ---------------------------------------------------------------------------

class TestValueConversion : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void readAsNumber_data();
    void readAsNumber();
    void readAsBoolean_data();
    void readAsBoolean();
};

void TestValueConversion::readAsNumber_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("error");

    QTest::newRow("point") << "en_US" << QVariant("12.5") << 12.5 << "";
    QTest::newRow("comma in its locale") << "de_DE" << QVariant("12,5") << 12.5 << "";
    QTest::newRow("server's point in a comma locale") << "de_DE" << QVariant("12.5") << 12.5 << "";
    QTest::newRow("blanks around") << "en_US" << QVariant(" -3 ") << -3.0 << "";
    QTest::newRow("unassigned") << "en_US" << QVariant() << 0.0 << "";
    QTest::newRow("empty text") << "en_US" << QVariant("") << 0.0 << "'' is not a valid floating point value";
    QTest::newRow("word") << "en_US" << QVariant("abc") << 0.0 << "'abc' is not a valid floating point value";
}

void TestValueConversion::readAsNumber()
{
    QFETCH(QString, locale);
    QFETCH(QVariant, value);
    QFETCH(double, number);
    QFETCH(QString, error);

    QLocale::setDefault(QLocale(locale));
    try {
        QCOMPARE(VariantToFloat(value), number);
        QVERIFY2(error.isEmpty(), "expected a conversion error");
    } catch (const EConvertError& raised) {
        QCOMPARE(raised.Message(), error);
    }
}

void TestValueConversion::readAsBoolean_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("error");

    QTest::newRow("-1") << QVariant("-1") << true << "";
    QTest::newRow("1") << QVariant("1") << true << "";
    QTest::newRow("0") << QVariant("0") << false << "";
    QTest::newRow("True") << QVariant("True") << true << "";
    QTest::newRow("FALSE") << QVariant("FALSE") << false << "";
    QTest::newRow("Boolean") << QVariant(true) << true << "";
    QTest::newRow("yes") << QVariant("yes") << false << "'yes' is not a valid Boolean value";
}

void TestValueConversion::readAsBoolean()
{
    QFETCH(QVariant, value);
    QFETCH(bool, result);
    QFETCH(QString, error);

    try {
        QCOMPARE(VariantToBool(value), result);
        QVERIFY2(error.isEmpty(), "expected a conversion error");
    } catch (const EConvertError& raised) {
        QCOMPARE(raised.Message(), error);
    }
}

// ---------------------------------------------------------------------------

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failed = 0;
    {
        TestItemSubscription test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestItemRead test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestItemWrite test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestValueConversion test;
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}

#include "tst_kqitem.moc"
