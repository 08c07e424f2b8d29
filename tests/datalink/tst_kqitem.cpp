// Items over a conversation with a DDE server in the same process: subscription,
// reads, writes, the conversation coming and going, and value conversion.
#include "tests/datalink/LinkFixture.h"

#include <QLocale>
#include <QTimer>

using namespace fixture;

class TestItemSubscription : public QObject {
    Q_OBJECT
private slots:
    void init() { link = std::make_unique<Link>(); QVERIFY(link->opened); }
    void cleanup() { link.reset(); }

    void clientsInSubscriptionOrderAndLateOnesAtOnce();
    void lastUnsubscribeStopsTheLoopAndForgetsTheValue();
    void loopFollowsTheConversation();
    void failedAdviseStartRaisesAndKeepsTheClient();
    void clientsMayUnsubscribeOthersOrFreeTheItemWhileNotified();

private:
    std::unique_ptr<Link> link;
};

void TestItemSubscription::clientsInSubscriptionOrderAndLateOnesAtOnce()
{
    link->server->SetItem("SPEED.PV.OUT", "100");
    TKQItem item("SPEED.PV.OUT");
    item.ConversationReady(link->Conv());
    QStringList log;
    Client second(log, "second"), first(log, "first"), late(log, "late");
    item.Advise(second.Event());
    item.Advise(first.Event());
    item.Advise(first.Event()); // held once
    QVERIFY(log.isEmpty()); // called only once the first value arrives
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"second=100", "first=100"}), ReplyWait);

    item.Advise(late.Event());
    QCOMPARE(log.last(), QString("late=100")); // at once, without waiting for a change
    link->server->SetItem("SPEED.PV.OUT", "250");
    QTRY_COMPARE_WITH_TIMEOUT(log.mid(3), QStringList({"second=250", "first=250", "late=250"}), ReplyWait);
}

void TestItemSubscription::lastUnsubscribeStopsTheLoopAndForgetsTheValue()
{
    link->server->SetItem("LOAD.SP", "5");
    TKQItem item("LOAD.SP");
    item.ConversationReady(link->Conv());
    QStringList log;
    Client a(log), b(log);
    item.Advise(a.Event());
    item.Advise(b.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log.size(), 2, ReplyWait);
    item.Unadvise(a.Event());
    QVERIFY(!item.IsClient(a.Event()));
    QVERIFY(link->server->advised.contains("LOAD.SP")); // b still listens
    item.Unadvise(b.Event());
    QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("LOAD.SP"), ReplyWait);

    // Changed while nobody listens: the read asks the server instead of using the old value.
    link->server->SetItem("LOAD.SP", "6");
    QCOMPARE(item.Value(), QVariant(QStringLiteral("6")));
    QCOMPARE(log.size(), 2);
}

void TestItemSubscription::loopFollowsTheConversation()
{
    link->server->SetItem("SPEED.SP", "1000");
    TKQItem item("SPEED.SP");
    QStringList log;
    Client client(log);
    item.Advise(client.Event()); // before the conversation: pending
    QVERIFY(link->server->advised.isEmpty());
    item.ConversationReady(link->Conv());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"1000"}), ReplyWait);

    item.ConversationLost(); // clients and value stay
    QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("SPEED.SP"), ReplyWait);
    QVERIFY(item.IsClient(client.Event()));
    QCOMPARE(RaisedText([&] { item.Value(); }),
             QString("TKQItem._GetValue: Conversation is not ready and you asked for the value"));

    link->server->SetItem("SPEED.SP", "1200");
    item.ConversationReady(link->Conv());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"1000", "1200"}), ReplyWait);
}

void TestItemSubscription::failedAdviseStartRaisesAndKeepsTheClient()
{
    TKQItem item("NOT.REACHABLE");
    item.ConversationReady(link->Conv());
    link->conversation->CloseLink(); // nothing can be sent any more
    QStringList log;
    Client client(log);
    QCOMPARE(RaisedText([&] { item.Advise(client.Event()); }),
             QString("Start Advise on Item NOT.REACHABLE failed.  Make sure Item is supported in control."));
    QVERIFY(item.IsClient(client.Event()));
}

void TestItemSubscription::clientsMayUnsubscribeOthersOrFreeTheItemWhileNotified()
{
    link->server->SetItem("TRIP.STATE", "0");
    auto item = std::make_unique<TKQItem>("TRIP.STATE");
    item->ConversationReady(link->Conv());
    QStringList log;
    Client first(log, "first"), second(log, "second"), third(log, "third");
    first.action = [&](TKQItem* sender) { sender->Unadvise(second.Event()); };
    item->Advise(first.Event());
    item->Advise(second.Event());
    item->Advise(third.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"first=0", "third=0"}), ReplyWait);

    first.action = [&](TKQItem*) { item.reset(); };
    link->server->SetItem("TRIP.STATE", "1");
    QTRY_VERIFY_WITH_TIMEOUT(!item, ReplyWait);
    QCOMPARE(log.mid(2), QStringList({"first=1"}));
    QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("TRIP.STATE"), ReplyWait);
}

// ---------------------------------------------------------------------------

class TestItemRead : public QObject {
    Q_OBJECT
private slots:
    void init() { link = std::make_unique<Link>(); QVERIFY(link->opened); }
    void cleanup() { link.reset(); }

    void readRightAfterSubscribingWaitsForTheFirstAdvisedValue();
    void refusedReadRaisesAndALaterReadStartsAfresh();
    void preconditionsAreAssertions_data();
    void preconditionsAreAssertions();
    void readInsideTheCallbackIsAnAssertion();
    void unansweredReadTimesOutAndASecondReadMeanwhileIsReentrant();

private:
    std::unique_ptr<Link> link;
};

void TestItemRead::readRightAfterSubscribingWaitsForTheFirstAdvisedValue()
{
    link->server->SetItem("SPEED.PV.OUT", "3599.5");
    TKQItem item("SPEED.PV.OUT");
    item.ConversationReady(link->Conv());
    QStringList log;
    Client client(log);
    item.Advise(client.Event());
    QCOMPARE(item.Value(), QVariant(QStringLiteral("3599.5")));
    QVERIFY(item.HasValue());
    QCOMPARE(log, QStringList({"3599.5"}));
}

void TestItemRead::refusedReadRaisesAndALaterReadStartsAfresh()
{
    link->server->SetItem("GAIN.IN", "2");
    link->server->refused.insert("GAIN.IN");
    TKQItem item("GAIN.IN");
    item.ConversationReady(link->Conv());
    QCOMPARE(RaisedText([&] { item.Value(); }), QString("Message was not processed."));
    QVERIFY(!item.HasValue());
    link->server->refused.clear();
    QString value;
    QCOMPARE(RaisedText([&] { value = item.Value().toString(); }), QString());
    QCOMPARE(value, QString("2"));
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
        item.ConversationReady(link->Conv());
    QStringList log;
    Client client(log);
    QString raised;
    try {
        switch (operation) {
        case 0: item.Value(); break;
        case 1: item.SetValue(1); break;
        case 2: item.SetValueAcknowledged(1); break;
        default: item.Advise(client.Event()); break;
        }
    } catch (const EAssertionFailed& error) {
        raised = error.Message();
    }
    QCOMPARE(raised, text);
    QVERIFY(link->server->pokes.isEmpty());
}

void TestItemRead::readInsideTheCallbackIsAnAssertion()
{
    link->server->SetItem("TRIGGER", "1");
    link->server->SetItem("OTHER", "2");
    TKQItem trigger("TRIGGER"), other("OTHER");
    trigger.ConversationReady(link->Conv());
    other.ConversationReady(link->Conv());
    QStringList log;
    QString raised;
    Client client(log);
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
    slow.ConversationReady(link->Conv());
    QString secondRead; // runs inside the first read's wait, as a user action would
    QTimer::singleShot(0, [&] { secondRead = RaisedText([&] { slow.Value(); }); });
    QCOMPARE(RaisedText([&] { slow.Value(); }),
             QString("Communications with the server failed.  You need to restart your application"));
    QCOMPARE(secondRead, QString("Reentrancy on a synchronous transaction."));
}

// ---------------------------------------------------------------------------

class TestItemWrite : public QObject {
    Q_OBJECT
private slots:
    void init() { link = std::make_unique<Link>(); QVERIFY(link->opened); }
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        link.reset();
    }

    void writtenText_data();
    void writtenText();
    void writeShowsOnlyWhenTheServerAdvisesItBack();
    void acknowledgedWriteWaitsAndRaisesOnRefusal();

private:
    std::unique_ptr<Link> link;
};

void TestItemWrite::writtenText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");

    QTest::newRow("true") << QVariant(true) << "en_US" << "-1";
    QTest::newRow("false") << QVariant(false) << "en_US" << "0";
    QTest::newRow("negative, no group separator") << QVariant(-12345) << "de_DE" << "-12345";
    QTest::newRow("real") << QVariant(1234.5) << "en_US" << "1234.5";
    QTest::newRow("real, decimal comma") << QVariant(1234.5) << "de_DE" << "1234,5";
    QTest::newRow("whole real") << QVariant(100.0) << "en_US" << "100";
    QTest::newRow("text unchanged") << QVariant(QStringLiteral(" 1.5 mA ")) << "de_DE" << " 1.5 mA ";
    QTest::newRow("unassigned") << QVariant() << "en_US" << "";
    QTest::newRow("cut at 255") << QVariant(QString(300, 'x')) << "en_US" << QString(255, 'x');
}

void TestItemWrite::writtenText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, locale);
    QFETCH(QString, text);

    QLocale::setDefault(QLocale(locale));
    link->server->SetItem("SETPOINT.IN", "initial");
    TKQItem item("SETPOINT.IN");
    item.ConversationReady(link->Conv());
    QCOMPARE(RaisedText([&] { item.SetValueAcknowledged(value); }), QString());
    QCOMPARE(link->server->pokes, QStringList({"SETPOINT.IN=" + text}));
}

void TestItemWrite::writeShowsOnlyWhenTheServerAdvisesItBack()
{
    link->server->SetItem("SETPOINT.IN", "10");
    TKQItem item("SETPOINT.IN");
    item.ConversationReady(link->Conv());
    QStringList log;
    Client client(log);
    item.Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"10"}), ReplyWait);

    item.SetValue(11);
    QCOMPARE(item.Value().toString(), QString("10")); // not changed by the write itself
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"10", "11"}), ReplyWait);
    QCOMPARE(link->server->pokes, QStringList({"SETPOINT.IN=11"}));
}

void TestItemWrite::acknowledgedWriteWaitsAndRaisesOnRefusal()
{
    link->server->SetItem("LIMIT.IN", "1");
    TKQItem item("LIMIT.IN");
    item.ConversationReady(link->Conv());
    QCOMPARE(RaisedText([&] { item.SetValueAcknowledged(2); }), QString());
    QCOMPARE(link->server->Item("LIMIT.IN"), QByteArray("2")); // acknowledged before returning

    link->server->refused.insert("LIMIT.IN");
    QCOMPARE(RaisedText([&] { item.SetValueAcknowledged(3); }), QString("Message was not processed."));
    QCOMPARE(link->server->Item("LIMIT.IN"), QByteArray("2"));
}

// ---------------------------------------------------------------------------

class TestValueConversion : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void readBack_data();
    void readBack();
};

void TestValueConversion::readBack_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("asBoolean"); // else as number
    QTest::addColumn<double>("expected");
    QTest::addColumn<QString>("error");

    QTest::newRow("point") << "en_US" << QVariant("12.5") << false << 12.5 << "";
    QTest::newRow("comma in its locale") << "de_DE" << QVariant("12,5") << false << 12.5 << "";
    QTest::newRow("server's point in a comma locale") << "de_DE" << QVariant("12.5") << false << 12.5 << "";
    QTest::newRow("blanks around") << "en_US" << QVariant(" -3 ") << false << -3.0 << "";
    QTest::newRow("unassigned") << "en_US" << QVariant() << false << 0.0 << "";
    QTest::newRow("empty text") << "en_US" << QVariant("") << false << 0.0 << "'' is not a valid floating point value";
    QTest::newRow("word") << "en_US" << QVariant("abc") << false << 0.0 << "'abc' is not a valid floating point value";
    QTest::newRow("-1 is true") << "en_US" << QVariant("-1") << true << 1.0 << "";
    QTest::newRow("0 is false") << "en_US" << QVariant("0") << true << 0.0 << "";
    QTest::newRow("True") << "en_US" << QVariant("True") << true << 1.0 << "";
    QTest::newRow("FALSE") << "en_US" << QVariant("FALSE") << true << 0.0 << "";
    QTest::newRow("yes") << "en_US" << QVariant("yes") << true << 0.0 << "'yes' is not a valid Boolean value";
}

void TestValueConversion::readBack()
{
    QFETCH(QString, locale);
    QFETCH(QVariant, value);
    QFETCH(bool, asBoolean);
    QFETCH(double, expected);
    QFETCH(QString, error);

    QLocale::setDefault(QLocale(locale));
    double result = -99;
    const QString raised = RaisedText([&] { result = asBoolean ? double(VariantToBool(value)) : VariantToFloat(value); });
    QCOMPARE(raised, error);
    if (error.isEmpty())
        QCOMPARE(result, expected);
}

TURVISTA_TEST_MAIN(TestItemSubscription, TestItemRead, TestItemWrite, TestValueConversion)

#include "tst_kqitem.moc"
