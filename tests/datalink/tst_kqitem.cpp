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

    std::unique_ptr<Link> link;
    QStringList log;

    // An item on the test's conversation, with its value on the server.
    std::unique_ptr<TKQItem> Item(const QString& name, const QByteArray& value)
    {
        link->server->SetItem(name, value);
        auto item = std::make_unique<TKQItem>(name);
        item->ConversationReady(link->Conv());
        return item;
    }

private slots:
    void init()
    {
        link = std::make_unique<Link>();
        QVERIFY(link->opened);
        log.clear();
    }
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        link.reset();
    }

    void clientsInSubscriptionOrderAndLateOnesAtOnce()
    {
        auto item = Item("SPEED.PV.OUT", "100");
        Client second(log, "second"), first(log, "first"), late(log, "late");
        item->Advise(second.Event());
        item->Advise(first.Event());
        item->Advise(first.Event()); // held once
        QVERIFY(log.isEmpty()); // called only once the first value arrives
        QCOMPARE(item->Value(), QVariant(QStringLiteral("100"))); // a read right away waits for it
        QCOMPARE(log, QStringList({"second=100", "first=100"}));

        item->Advise(late.Event());
        QCOMPARE(log.last(), QString("late=100")); // at once, without waiting for a change
        link->server->SetItem("SPEED.PV.OUT", "250");
        QTRY_COMPARE_WITH_TIMEOUT(log.mid(3), QStringList({"second=250", "first=250", "late=250"}), ReplyWait);
    }

    void lastUnsubscribeStopsTheLoopAndForgetsTheValue()
    {
        auto item = Item("LOAD.SP", "5");
        Client a(log), b(log);
        item->Advise(a.Event());
        item->Advise(b.Event());
        QTRY_COMPARE_WITH_TIMEOUT(log.size(), 2, ReplyWait);
        item->Unadvise(a.Event());
        QVERIFY(!item->IsClient(a.Event()));
        QVERIFY(link->server->advised.contains("LOAD.SP")); // b still listens
        item->Unadvise(b.Event());
        QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("LOAD.SP"), ReplyWait);

        // Changed while nobody listens: the read asks the server instead of using the old value.
        link->server->SetItem("LOAD.SP", "6");
        QCOMPARE(item->Value(), QVariant(QStringLiteral("6")));
        QCOMPARE(log.size(), 2);
    }

    void clientsMayUnsubscribeOthersOrFreeTheItemWhileNotified()
    {
        auto item = Item("TRIP.STATE", "0");
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

    void unansweredReadTimesOutAndASecondReadMeanwhileIsReentrant()
    {
        link->server->unanswered.insert("SLOW.ITEM");
        Timing::SetScale(0.01); // the read time-out is read when the item is made
        const auto restore = qScopeGuard([] { Timing::SetScale(TestTimeScale); });
        auto slow = Item("SLOW.ITEM", "1");
        QString secondRead; // runs inside the first read's wait, as a user action would
        QTimer::singleShot(0, [&] { secondRead = RaisedText([&] { slow->Value(); }); });
        QCOMPARE(RaisedText([&] { slow->Value(); }),
                 QString("Communications with the server failed.  You need to restart your application"));
        QCOMPARE(secondRead, QString("Reentrancy on a synchronous transaction."));
    }

    void writtenText_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");

        QTest::newRow("true") << QVariant(true) << "en_US" << "-1";
        QTest::newRow("negative, no group separator") << QVariant(-12345) << "de_DE" << "-12345";
        QTest::newRow("real, decimal comma") << QVariant(1234.5) << "de_DE" << "1234,5";
        QTest::newRow("whole real") << QVariant(100.0) << "en_US" << "100";
        QTest::newRow("text unchanged") << QVariant(QStringLiteral(" 1.5 mA ")) << "de_DE" << " 1.5 mA ";
        QTest::newRow("cut at 255") << QVariant(QString(300, 'x')) << "en_US" << QString(255, 'x');
    }

    void writtenText()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, locale);
        QFETCH(QString, text);

        QLocale::setDefault(QLocale(locale));
        auto item = Item("SETPOINT.IN", "initial");
        QCOMPARE(RaisedText([&] { item->SetValueAcknowledged(value); }), QString());
        QCOMPARE(link->server->pokes, QStringList({"SETPOINT.IN=" + text}));
        QCOMPARE(link->server->Item("SETPOINT.IN"), text.toLatin1()); // acknowledged before returning
    }

    void writeShowsOnlyWhenTheServerAdvisesItBack()
    {
        auto item = Item("SETPOINT.IN", "10");
        Client client(log);
        item->Advise(client.Event());
        QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"10"}), ReplyWait);

        item->SetValue(11);
        QCOMPARE(item->Value().toString(), QString("10")); // not changed by the write itself
        QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"10", "11"}), ReplyWait);

        link->server->refused.insert("SETPOINT.IN");
        QCOMPARE(RaisedText([&] { item->SetValueAcknowledged(12); }), QString("Message was not processed."));
        QCOMPARE(link->server->pokes, QStringList({"SETPOINT.IN=11"}));
        QCOMPARE(item->Value().toString(), QString("11"));
    }

    void valueConversion_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("asBoolean"); // else as number
        QTest::addColumn<double>("expected");
        QTest::addColumn<QString>("error");

        QTest::newRow("comma in its locale") << "de_DE" << QVariant("12,5") << false << 12.5 << "";
        QTest::newRow("server's point in a comma locale") << "de_DE" << QVariant("12.5") << false << 12.5 << "";
        QTest::newRow("blanks around") << "en_US" << QVariant(" -3 ") << false << -3.0 << "";
        QTest::newRow("unassigned") << "en_US" << QVariant() << false << 0.0 << "";
        QTest::newRow("empty text") << "en_US" << QVariant("") << false << 0.0 << "'' is not a valid floating point value";
        QTest::newRow("-1 is true") << "en_US" << QVariant("-1") << true << 1.0 << "";
        QTest::newRow("yes") << "en_US" << QVariant("yes") << true << 0.0 << "'yes' is not a valid Boolean value";
    }

    void valueConversion()
    {
        QFETCH(QString, locale);
        QFETCH(QVariant, value);
        QFETCH(bool, asBoolean);
        QFETCH(double, expected);
        QFETCH(QString, error);

        QLocale::setDefault(QLocale(locale));
        double result = -99;
        QCOMPARE(RaisedText([&] { result = asBoolean ? double(VariantToBool(value)) : VariantToFloat(value); }), error);
        if (error.isEmpty())
            QCOMPARE(result, expected);
    }
};

// ---------------------------------------------------------------------------

class TestDevice : public QObject {
    Q_OBJECT

    std::unique_ptr<Link> link;
    QStringList log;

private slots:
    void init()
    {
        link = std::make_unique<Link>();
        QVERIFY(link->opened);
        log.clear();
    }
    void cleanup() { link.reset(); }

    void namesInAnyCaseShareOneCountedItem()
    {
        link->server->SetItem("KXSPL.TST_CONFIG.IN", "1");
        TKQDevice device;
        device.ConversationReady(link->Conv());
        TKQItem* lower = device.GetItem("kxspl.tst_config.in");
        TKQItem* upper = device.GetItem("KXSPL.TST_CONFIG.IN");
        QCOMPARE(lower, upper);
        QCOMPARE(upper->ItemName(), QString("KXSPL.TST_CONFIG.IN"));
        QCOMPARE(device.RefCount("KXSPL.TST_CONFIG.IN"), 2);
        Client client(log);
        upper->Advise(client.Event());
        QTRY_VERIFY_WITH_TIMEOUT(link->server->advised.contains("KXSPL.TST_CONFIG.IN"), ReplyWait);

        device.ReleaseItem("A.B.D"); // unknown: ignored
        device.ReleaseItem("Kxspl.Tst_Config.In"); // as typed in a hand-edited file
        QCOMPARE(device.RefCount("KXSPL.TST_CONFIG.IN"), 1);
        device.ReleaseItem(upper->ItemName());
        QCOMPARE(device.ItemCount(), 0);
        // Freeing the item stopped its advise loop.
        QTRY_VERIFY_WITH_TIMEOUT(!link->server->advised.contains("KXSPL.TST_CONFIG.IN"), ReplyWait);
    }

    // Items advised before the conversation start their loops with it; a lost
    // conversation takes the loops away, keeps the clients and pauses.
    void conversationComesAndGoes()
    {
        link->server->SetItem("A.B.C", "1");
        link->server->SetItem("CONFIGURATION ID", "7");
        QStatusBar bar;
        TKQStatusPanel::AddPanel(&bar, 100);
        TKQDevice device;
        device.StatusPanel()->SetStatusBar(&bar);
        Client client(log);
        TKQItem* item = device.GetItem("A.B.C");
        item->Advise(client.Event());
        QStringList events;
        device.SetOnCommunicating([&](TObject* sender) { events << (sender == &device ? "device" : "other") << device.StatusPanel()->Text(); });
        device.ConversationReady(nullptr); // ignored
        QVERIFY(events.isEmpty() && !device.IsConnected() && link->server->advised.isEmpty());

        device.ConversationReady(link->Conv());
        QCOMPARE(events, QStringList({"device", ""})); // "Active." follows the event
        QCOMPARE(device.StatusPanel()->Text(), QString("Active."));
        QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"1"}), ReplyWait);
        QCOMPARE(device.GetItem("Configuration ID")->Value(), QVariant(QStringLiteral("7")));

        device.ConversationLost();
        QCOMPARE(pauses, QList<int>({int(Timing::ConversationLostPause)}));
        QTRY_VERIFY_WITH_TIMEOUT(link->server->advised.isEmpty(), ReplyWait);
        QVERIFY(item->IsClient(client.Event()));
        QCOMPARE(RaisedText([&] { item->Value(); }), OffLine);
        QCOMPARE(RaisedText([&] { item->SetValue(1); }), QString("TKQItem.SetValue: Conversation is not ready"));

        link->server->SetItem("A.B.C", "2");
        device.ConversationReady(link->Conv());
        QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"1", "2"}), ReplyWait);
    }

    void freedServerIsForgottenWithItsConversation()
    {
        link->server->SetItem("SPEED.SP", "10");
        auto server = std::make_unique<TKQServer>();
        TKQDdeMgr::SetCurrent(link->manager.get()); // the test's conversation belongs to the test's manager
        TKQDevice device;
        device.SetIdentifier(Topic);
        device.SetServer(server.get()); // still loading: nothing is requested
        device.ConversationReady(link->Conv());
        TKQItem* item = device.GetItem("SPEED.SP");
        QCOMPARE(item->Value(), QVariant(QStringLiteral("10")));

        server.reset();
        QCOMPARE(device.Server(), nullptr);
        QVERIFY(!device.IsConnected());
        QCOMPARE(RaisedText([&] { item->Value(); }), OffLine);
        QCOMPARE(RaisedText([&] { device.MutableItemList(); }), QString("Control has not been connected."));
    }

    void mutableItemList_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("raised");

        QTest::newRow("empty run kept") << QByteArray("A\tB\t\tC") << Topic << QStringList({"A", "B", "", "C"}) << "";
        QTest::newRow("no trailing empty entry") << QByteArray("A\tB\t") << Topic << QStringList({"A", "B"}) << "";
        QTest::newRow("without identifier") << QByteArray("A") << "" << QStringList() << "Control has not been connected.";
        QTest::newRow("refused") << QByteArray("refused") << Topic << QStringList() << "Message was not processed.";
    }

    // Loaded once, and only on success.
    void mutableItemList()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, identifier);
        QFETCH(QStringList, entries);
        QFETCH(QString, raised);

        link->server->SetItem("MutableItemList", reply);
        if (reply == "refused")
            link->server->refused.insert("MUTABLEITEMLIST");
        TKQDevice device;
        device.SetIdentifier(identifier);
        device.ConversationReady(link->Conv());
        QStringList list;
        QCOMPARE(RaisedText([&] { list = device.MutableItemList(); }), raised);
        QCOMPARE(list, entries);

        link->server->refused.clear();
        link->server->SetItem("MutableItemList", "X\tY");
        if (!identifier.isEmpty())
            QCOMPARE(device.MutableItemList(), raised.isEmpty() ? entries : QStringList({"X", "Y"}));
    }
};

// ---------------------------------------------------------------------------

class TestStatusPanel : public QObject {
    Q_OBJECT

private slots:
    void panelByIndexForgottenWithItsBar()
    {
        TKQStatusPanel panel;
        auto bar = std::make_unique<QStatusBar>();
        TKQStatusPanel::AddPanel(bar.get(), 200, QStringLiteral("Not Active."));
        TKQStatusPanel::AddPanel(bar.get(), 300, QString());
        panel.SetStatusBar(bar.get());
        panel.SetPanelIndex(1);
        panel.SetText(QStringLiteral("Active."));
        QCOMPARE(TKQStatusPanel::Panels(bar.get())[1]->text(), QStringLiteral("Active."));
        delete TKQStatusPanel::Panels(bar.get())[1];
        QVERIFY(!panel.Panel());
        panel.SetText(QStringLiteral("Starting server ..."));
        QCOMPARE(panel.Text(), QString());

        bar.reset();
        QVERIFY(!panel.StatusBar());
        QCOMPARE(panel.PanelIndex(), 0);
        panel.SetText(QStringLiteral("Not Active."));
    }
};

TURVISTA_TEST_MAIN(TestItem, TestDevice, TestStatusPanel)

#include "tst_kqitem.moc"
