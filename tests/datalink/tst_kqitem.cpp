// Items and the devices that hold them, over a conversation with a DDE server
// in the same process: subscription, reads, writes, the conversation coming and
// going, value conversion, and the status panel a device shows its state in.
#include "datalink/KQDevice.h"
#include "tests/datalink/LinkFixture.h"

#include <QLocale>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTimer>

using namespace fixture;

namespace {
const QString OffLine = QStringLiteral("TKQItem._GetValue: Conversation is not ready and you asked for the value");
}

class TestItem : public QObject {
    Q_OBJECT
private slots:
    void init() { link = std::make_unique<Link>(); QVERIFY(link->opened); }
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        link.reset();
    }

    void clientsInSubscriptionOrderAndLateOnesAtOnce();
    void lastUnsubscribeStopsTheLoopAndForgetsTheValue();
    void failedAdviseStartRaisesAndKeepsTheClient();
    void clientsMayUnsubscribeOthersOrFreeTheItemWhileNotified();
    void refusedReadRaisesAndALaterReadStartsAfresh();
    void readInsideTheCallbackIsAnAssertion();
    void unansweredReadTimesOutAndASecondReadMeanwhileIsReentrant();
    void preconditionsAreAssertions_data();
    void preconditionsAreAssertions();
    void writtenText_data();
    void writtenText();
    void writeShowsOnlyWhenTheServerAdvisesItBack();
    void valueConversion_data();
    void valueConversion();

private:
    std::unique_ptr<Link> link;
};

void TestItem::clientsInSubscriptionOrderAndLateOnesAtOnce()
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
    QCOMPARE(item.Value(), QVariant(QStringLiteral("100"))); // a read right away waits for it
    QVERIFY(item.HasValue());
    QCOMPARE(log, QStringList({"second=100", "first=100"}));

    item.Advise(late.Event());
    QCOMPARE(log.last(), QString("late=100")); // at once, without waiting for a change
    link->server->SetItem("SPEED.PV.OUT", "250");
    QTRY_COMPARE_WITH_TIMEOUT(log.mid(3), QStringList({"second=250", "first=250", "late=250"}), ReplyWait);
}

void TestItem::lastUnsubscribeStopsTheLoopAndForgetsTheValue()
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

void TestItem::failedAdviseStartRaisesAndKeepsTheClient()
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

void TestItem::clientsMayUnsubscribeOthersOrFreeTheItemWhileNotified()
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

void TestItem::refusedReadRaisesAndALaterReadStartsAfresh()
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

void TestItem::readInsideTheCallbackIsAnAssertion()
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

void TestItem::unansweredReadTimesOutAndASecondReadMeanwhileIsReentrant()
{
    link->server->SetItem("SLOW.ITEM", "1");
    link->server->unanswered.insert("SLOW.ITEM");
    Timing::SetScale(0.01); // the read time-out is read when the item is made
    const auto restore = qScopeGuard([] { Timing::SetScale(TestTimeScale); });
    TKQItem slow("SLOW.ITEM");
    slow.ConversationReady(link->Conv());
    QString secondRead; // runs inside the first read's wait, as a user action would
    QTimer::singleShot(0, [&] { secondRead = RaisedText([&] { slow.Value(); }); });
    QCOMPARE(RaisedText([&] { slow.Value(); }),
             QString("Communications with the server failed.  You need to restart your application"));
    QCOMPARE(secondRead, QString("Reentrancy on a synchronous transaction."));
}

void TestItem::preconditionsAreAssertions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<int>("operation"); // 0 read, 1 write, 2 acknowledged write, 3 subscribe
    QTest::addColumn<QString>("text");

    QTest::newRow("read, blank") << "" << true << 0 << "TKQItem._GetValue: ItemName is blank";
    QTest::newRow("read, off line") << "X.Y.Z" << false << 0 << OffLine;
    QTest::newRow("write, blank") << "" << true << 1 << "TKQItem.SetValue: ItemName is blank";
    QTest::newRow("write, off line") << "X.Y.Z" << false << 1 << "TKQItem.SetValue: Conversation is not ready";
    QTest::newRow("ack write, blank") << "" << true << 2 << "TKQItem.SetValueAcknowledged: ItemName is blank";
    QTest::newRow("ack write, off line") << "X.Y.Z" << false << 2
                                         << "TKQItem.SetValueAcknowledged: Conversation is not ready";
    QTest::newRow("subscribe, blank") << "" << true << 3 << "TKQItem.Advise: ItemName is blank";
}

void TestItem::preconditionsAreAssertions()
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
    const std::function<void()> operations[] = {[&] { item.Value(); }, [&] { item.SetValue(1); },
                                                [&] { item.SetValueAcknowledged(1); },
                                                [&] { item.Advise(client.Event()); }};
    QCOMPARE(RaisedText(operations[operation]), text);
    QVERIFY(link->server->pokes.isEmpty());
}

void TestItem::writtenText_data()
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

void TestItem::writtenText()
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
    QCOMPARE(link->server->Item("SETPOINT.IN"), text.toLatin1()); // acknowledged before returning
}

void TestItem::writeShowsOnlyWhenTheServerAdvisesItBack()
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

    link->server->refused.insert("SETPOINT.IN");
    QCOMPARE(RaisedText([&] { item.SetValueAcknowledged(12); }), QString("Message was not processed."));
    QCOMPARE(link->server->pokes, QStringList({"SETPOINT.IN=11"}));
    QCOMPARE(item.Value().toString(), QString("11"));
}

void TestItem::valueConversion_data()
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

void TestItem::valueConversion()
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

// ---------------------------------------------------------------------------

class TestDevice : public QObject {
    Q_OBJECT
private slots:
    void init() { link = std::make_unique<Link>(); QVERIFY(link->opened); }
    void cleanup() { link.reset(); }

    void namesInAnyCaseShareOneCountedItem();
    void conversationReachesEveryItemThenCommunicatingAndActive();
    void conversationLostTakesLoopsAwayAndPauses();
    void freedServerIsForgottenWithItsConversation();
    void mutableItemList_data();
    void mutableItemList();
    void mutableItemListLoadedOnceAndOnlyOnSuccess();

private:
    std::unique_ptr<Link> link;
};

void TestDevice::namesInAnyCaseShareOneCountedItem()
{
    link->server->SetItem("KXSPL.TST_CONFIG.IN", "1");
    TKQDevice device;
    device.ConversationReady(link->Conv());
    TKQItem* lower = device.GetItem("kxspl.tst_config.in");
    TKQItem* upper = device.GetItem("KXSPL.TST_CONFIG.IN");
    QCOMPARE(lower, upper);
    QCOMPARE(upper->ItemName(), QString("KXSPL.TST_CONFIG.IN"));
    QCOMPARE(device.RefCount("KXSPL.TST_CONFIG.IN"), 2);
    device.GetItem("Run Mode");
    QCOMPARE(device.ItemCount(), 2);
    QStringList log;
    Client client(log);
    upper->Advise(client.Event());
    QTRY_VERIFY_WITH_TIMEOUT(link->server->advised.contains("KXSPL.TST_CONFIG.IN"), ReplyWait);

    device.ReleaseItem("A.B.D"); // unknown: ignored
    device.ReleaseItem("Kxspl.Tst_Config.In"); // as typed in a hand-edited file
    QCOMPARE(device.RefCount("KXSPL.TST_CONFIG.IN"), 1);
    device.ReleaseItem(upper->ItemName());
    device.ReleaseItem("run mode");
    QCOMPARE(device.ItemCount(), 0);
    QCOMPARE(device.RefCount("KXSPL.TST_CONFIG.IN"), 0);
    // Freeing the item stopped its advise loop.
    QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("KXSPL.TST_CONFIG.IN"), ReplyWait);
}

void TestDevice::conversationReachesEveryItemThenCommunicatingAndActive()
{
    link->server->SetItem("A.B.C", "1");
    link->server->SetItem("CONFIGURATION ID", "7");
    QStatusBar bar;
    TKQStatusPanel::AddPanel(&bar, 100);
    TKQDevice device;
    device.StatusPanel()->SetStatusBar(&bar);
    QStringList log;
    Client client(log);
    device.GetItem("A.B.C")->Advise(client.Event()); // before the conversation: pending
    QVERIFY(link->server->advised.isEmpty());
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

void TestDevice::conversationLostTakesLoopsAwayAndPauses()
{
    link->server->SetItem("SPEED.SP", "10");
    TKQDevice device;
    device.ConversationReady(link->Conv());
    QStringList log;
    Client client(log);
    TKQItem* item = device.GetItem("SPEED.SP");
    item->Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"10"}), ReplyWait);

    device.ConversationLost();
    QCOMPARE(pauses, QList<int>({int(Timing::ConversationLostPause)}));
    QTRY_VERIFY_WITH_TIMEOUT(link->server->advised.isEmpty(), ReplyWait);
    QVERIFY(device.IsConnected()); // the device keeps its conversation
    QVERIFY(item->IsClient(client.Event())); // and the item its clients
    QCOMPARE(RaisedText([&] { item->Value(); }), OffLine);

    link->server->SetItem("SPEED.SP", "20");
    device.ConversationReady(link->Conv());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"10", "20"}), ReplyWait);
}

void TestDevice::freedServerIsForgottenWithItsConversation()
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
    QCOMPARE(RaisedText([&] { item->Value(); }), OffLine);
    QCOMPARE(RaisedText([&] { device.GetItem("OTHER.ITEM")->Value(); }), OffLine);
    QCOMPARE(RaisedText([&] { device.MutableItemList(); }), QString("Control has not been connected."));
}

void TestDevice::mutableItemList_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<bool>("conversation");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("raised");

    QTest::newRow("empty run kept") << QByteArray("A\tB\t\tC") << Topic << true << QStringList({"A", "B", "", "C"}) << "";
    QTest::newRow("no trailing empty entry") << QByteArray("A\tB\t") << Topic << true << QStringList({"A", "B"}) << "";
    QTest::newRow("leading empty entry") << QByteArray("\tA") << Topic << true << QStringList({"", "A"}) << "";
    QTest::newRow("one name") << QByteArray("C_START.RT_TO_MIN.IN") << Topic << true
                              << QStringList({"C_START.RT_TO_MIN.IN"}) << "";
    QTest::newRow("nothing") << QByteArray("") << Topic << true << QStringList() << "";
    QTest::newRow("without identifier") << QByteArray("A") << "" << true << QStringList()
                                        << "Control has not been connected.";
    QTest::newRow("without conversation") << QByteArray("A") << Topic << false << QStringList()
                                          << "Control has not been connected.";
}

void TestDevice::mutableItemList()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, identifier);
    QFETCH(bool, conversation);
    QFETCH(QStringList, entries);
    QFETCH(QString, raised);

    link->server->SetItem("MutableItemList", reply);
    TKQDevice device;
    device.SetIdentifier(identifier);
    if (conversation)
        device.ConversationReady(link->Conv());
    QStringList list;
    QCOMPARE(RaisedText([&] { list = device.MutableItemList(); }), raised);
    QCOMPARE(list, entries);
}

void TestDevice::mutableItemListLoadedOnceAndOnlyOnSuccess()
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

// ---------------------------------------------------------------------------

class TestStatusPanel : public QObject {
    Q_OBJECT
private slots:
    void indexSelectsPanel_data();
    void indexSelectsPanel();
    void statusBarComesAndGoes();
};

void TestStatusPanel::indexSelectsPanel_data()
{
    QTest::addColumn<int>("panelCount");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("shownIn"); // "" when no panel shows it

    QTest::newRow("first") << 2 << 0 << "panel 0";
    QTest::newRow("second") << 2 << 1 << "panel 1";
    QTest::newRow("past the last") << 2 << 2 << "";
    QTest::newRow("negative") << 2 << -1 << "";
    QTest::newRow("bar without panels") << 0 << 0 << "";
}

void TestStatusPanel::indexSelectsPanel()
{
    QFETCH(int, panelCount);
    QFETCH(int, index);
    QFETCH(QString, shownIn);

    // Only labels count as panels: not the size grip, a passing message or other widgets.
    QStatusBar bar;
    bar.setSizeGripEnabled(true);
    bar.addWidget(new QWidget);
    for (int i = 0; i < panelCount; ++i)
        TKQStatusPanel::AddPanel(&bar, 100, QStringLiteral("panel %1").arg(i));
    bar.showMessage(QStringLiteral("a passing message"));
    QCOMPARE(TKQStatusPanel::Panels(&bar).size(), panelCount);
    TKQStatusPanel panel;
    panel.SetStatusBar(&bar);
    panel.SetPanelIndex(index);
    QCOMPARE(panel.PanelIndex(), index);
    QCOMPARE(panel.Text(), shownIn);

    panel.SetText(QStringLiteral("Active."));
    for (QLabel* label : TKQStatusPanel::Panels(&bar)) {
        QCOMPARE(label->text() == QStringLiteral("Active."), label == panel.Panel());
        QCOMPARE(label->width(), 100);
    }
    QCOMPARE(panel.Text(), shownIn.isEmpty() ? QString() : QStringLiteral("Active."));
}

void TestStatusPanel::statusBarComesAndGoes()
{
    TKQStatusPanel panel;
    panel.SetPanelIndex(1);
    QCOMPARE(panel.PanelIndex(), 0); // without a status bar
    panel.SetText(QStringLiteral("Starting server ..."));
    QCOMPARE(panel.Text(), QString());

    auto one = std::make_unique<QStatusBar>();
    QStatusBar other;
    for (QStatusBar* bar : {one.get(), &other}) {
        TKQStatusPanel::AddPanel(bar, 200, QStringLiteral("Not Active."));
        TKQStatusPanel::AddPanel(bar, 300, QString());
    }
    panel.SetStatusBar(one.get());
    panel.SetPanelIndex(1);
    panel.SetStatusBar(&other); // the same index on the new bar
    panel.SetText(QStringLiteral("Active."));
    QCOMPARE(TKQStatusPanel::Panels(&other)[1]->text(), QStringLiteral("Active."));
    QCOMPARE(TKQStatusPanel::Panels(one.get())[1]->text(), QString());

    panel.SetStatusBar(one.get());
    one.reset(); // a destroyed bar clears everything
    QVERIFY(!panel.StatusBar());
    QCOMPARE(panel.PanelIndex(), 0);
    QVERIFY(!panel.Panel());

    panel.SetStatusBar(&other);
    delete TKQStatusPanel::Panels(&other)[0]; // a destroyed panel is forgotten
    QVERIFY(!panel.Panel());
    panel.SetText(QStringLiteral("Not Active."));
    QCOMPARE(panel.Text(), QString());
}

TURVISTA_TEST_MAIN(TestItem, TestDevice, TestStatusPanel)

#include "tst_kqitem.moc"
