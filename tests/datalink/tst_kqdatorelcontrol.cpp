// The control device over a DDE server in the same process: the connect poll,
// the status queries, the three commands with their results, the reset poll,
// and the symbol information of its items. The end-to-end runs against the
// real server are in the integration tests.
#include "datalink/KQDatorelControl.h"
#include "tests/datalink/LinkFixture.h"

#include <QScopeGuard>

using namespace fixture;

namespace {

// A control device that shows its state in the status bar.
struct Plant : ControlPlant {
    Plant() { control->StatusPanel()->SetStatusBar(&bar); }
    QString Status() const { return control->StatusPanel()->Text(); }
};

void Run(TKQDatorelControl& control, const QString& command)
{
    if (command == "Shutdown")
        control.Shutdown();
    else if (command == "SaveValues")
        control.SaveValues();
    else
        control.Reset();
}

const QString NotRespondingToConnection = QStringLiteral("Control is not responding to request of connection");

} // namespace

class TestConnectPoll : public QObject {
    Q_OBJECT
private slots:
    void init() { plant = std::make_unique<Plant>(); QVERIFY(plant->opened); }
    void cleanup() { plant.reset(); }

    void itemsGetTheConversationOnlyOnceTheControlAnswers();
    void failureInsideATickIsShownNotThrown();
    void statusAnswers_data();
    void statusAnswers();
    void failedStatusQueriesAndAPollThatGivesUp();

private:
    std::unique_ptr<Plant> plant;
};

void TestConnectPoll::itemsGetTheConversationOnlyOnceTheControlAnswers()
{
    TKQDatorelControl& control = *plant->control;
    plant->server->SetItem("Control Status", "0");
    plant->server->SetItem("SPEED.PV.OUT", "3600");
    QStringList log;
    Client client(log);
    control.GetItem("SPEED.PV.OUT")->Advise(client.Event());
    int communicating = 0;
    control.SetOnCommunicating([&](TObject* sender) { communicating += sender == &control ? 1 : 100; });
    QCOMPARE(control.State(), 3);
    control.ConversationReady(nullptr); // ignored
    QVERIFY(!control.IsConnectPolling());

    control.ConversationReady(plant->Conv());
    QVERIFY(control.IsConnectPolling());
    control.ConnectPollTimer(); // "0": not yet
    QVERIFY(control.IsConnectPolling());
    QVERIFY(plant->server->advised.isEmpty());
    QCOMPARE(communicating, 0);

    plant->server->SetItem("Control Status", "1");
    control.ConnectPollTimer();
    QVERIFY(!control.IsConnectPolling());
    QCOMPARE(communicating, 1);
    QCOMPARE(control.State(), 0);
    QCOMPARE(plant->Status(), QString("Active."));
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"3600"}), ReplyWait);
    QVERIFY(plant->dialogs.texts().isEmpty());
}

void TestConnectPoll::failureInsideATickIsShownNotThrown()
{
    plant->control->SetOnCommunicating([](TObject*) { throw Exception(QStringLiteral("Window could not open.")); });
    plant->Connect();
    QCOMPARE(plant->dialogs.texts(), QStringList({"Window could not open."}));
}

void TestConnectPoll::statusAnswers_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("yes");

    QTest::newRow("1") << QByteArray("1") << true;
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("-1") << QByteArray("-1") << false;
    QTest::newRow("1 with blank") << QByteArray("1 ") << false;
}

void TestConnectPoll::statusAnswers()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, yes);

    plant->control->ConversationReady(plant->Conv());
    plant->server->SetItem("Run Mode", reply);
    plant->server->SetItem("Control Status", yes ? "0" : "1"); // never the same answer
    bool runMode = !yes, status = yes;
    QCOMPARE(RaisedText([&] { runMode = plant->control->IsRunMode(); }), QString());
    QCOMPARE(runMode, yes);
    QCOMPARE(plant->control->LastStatusReply(), QString::fromLatin1(reply));
    QCOMPARE(RaisedText([&] { status = plant->control->ControlStatus(); }), QString());
    QCOMPARE(status, !yes);
}

// A control that refuses is polled on (the integration tests prove it); one
// that cannot be asked at all is given up after the poll's tries.
void TestConnectPoll::failedStatusQueriesAndAPollThatGivesUp()
{
    plant->control->ConversationReady(plant->Conv());
    plant->server->refused = {"CONTROL STATUS", "RUN MODE"};
    QCOMPARE(plant->control->ControlStatus(), false); // the server refused: no
    QCOMPARE(RaisedText([&] { plant->control->IsRunMode(); }), QString("Message was not processed."));
    plant->conversation->CloseLink(); // every request now fails at once
    QCOMPARE(RaisedText([&] { plant->control->IsRunMode(); }), QString("Request of Run Mode failed."));
    QCOMPARE(RaisedText([&] { plant->control->ControlStatus(); }), QString("Request of control status failed."));

    for (int tick = 0; tick <= Timing::ConnectPollTries; ++tick) {
        QVERIFY(plant->control->IsConnectPolling());
        plant->control->ConnectPollTimer();
        QCOMPARE(plant->dialogs.texts().count(NotRespondingToConnection), tick == Timing::ConnectPollTries ? 1 : 0);
    }
    QVERIFY(!plant->control->IsConnectPolling());
    QCOMPARE(plant->dialogs.messages().last().type, TMsgDlgType::mtError);
}

// ---------------------------------------------------------------------------

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        plant = std::make_unique<Plant>();
        QVERIFY(plant->opened);
        plant->Connect();
        QVERIFY(plant->control->IsConnected());
    }
    void cleanup() { plant.reset(); }

    void results_data();
    void results();
    void notRespondingStopsTheCommand_data();
    void notRespondingStopsTheCommand();
    void resetWatchesTheControlAndReAdvisesAfterTwoAnswers();
    void resetPollGivesUpAfterItsTries();
    void timedOutResultWaitRecoversWhenTheControlAnswersAgain();

private:
    std::unique_ptr<Plant> plant;
};

void TestCommands::results_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<QString>("raised");
    QTest::addColumn<QString>("status");

    QTest::newRow("shutdown 0") << "Shutdown" << QByteArray("0") << "" << "Control is in configure mode.";
    QTest::newRow("shutdown 3") << "Shutdown" << QByteArray("3") << "TKQDatorelControl.Shutdown: Shutdown Failed"
                                << "Shutting down control ...";
    QTest::newRow("save 0") << "SaveValues" << QByteArray("0") << "" << "Active.";
    QTest::newRow("save 1") << "SaveValues" << QByteArray("1") << "TKQDatorelControl.SaveValues: Memory Error"
                            << "Saving values in control ...";
    QTest::newRow("save 255") << "SaveValues" << QByteArray("255")
                              << "TKQDatorelControl.SaveValues: Unsupported Function" << "Saving values in control ...";
    QTest::newRow("save 2") << "SaveValues" << QByteArray("2") << "TKQDatorelControl.SaveValues: SaveValues Failed"
                            << "Saving values in control ...";
    QTest::newRow("save not a number") << "SaveValues" << QByteArray("done")
                                       << "'done' is not a valid floating point value" << "Saving values in control ...";
    QTest::newRow("reset 1") << "Reset" << QByteArray("1")
                             << "Error resetting control:  The control is not in configure mode" << "Resetting control ...";
    QTest::newRow("reset 7") << "Reset" << QByteArray("7") << "TKQDatorelControl.Reset: Reset Failed"
                             << "Resetting control ...";
}

void TestCommands::results()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, result);
    QFETCH(QString, raised);
    QFETCH(QString, status);

    // The server first sends an empty result, which the control ignores.
    plant->answers->results[command] = result;
    bool pendingMeanwhile = false;
    plant->answers->beforeResult = [&](const QString&) { pendingMeanwhile = plant->control->ResultPending(); };
    QCOMPARE(RaisedText([&] { Run(*plant->control, command); }), raised);
    QCOMPARE(plant->Status(), status);
    QCOMPARE(plant->server->executes, QStringList({command}));
    QVERIFY(pendingMeanwhile);
    QVERIFY(!plant->control->ResultPending());
    QVERIFY(!plant->control->IsResetPolling()); // only a successful reset is watched
    QTRY_VERIFY_WITH_TIMEOUT(plant->server->advised.isEmpty(), ReplyWait); // the result loop is stopped
    QVERIFY(plant->dialogs.texts().isEmpty());
}

void TestCommands::notRespondingStopsTheCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("raised");

    QTest::newRow("shutdown") << "Shutdown"
                              << "Error occured while attempting to enter configure mode. Server is not responding."
                              << "TKQDatorelControl.Shutdown: Shutdown Failed";
    QTest::newRow("save") << "SaveValues" << "Error occured during SaveValues. Server is not responding."
                          << "TKQDatorelControl.SaveValues: SaveValues Failed";
    QTest::newRow("reset") << "Reset" << "Error occured during reset. Server is not responding."
                           << "TKQDatorelControl.Reset: Reset Failed";
}

void TestCommands::notRespondingStopsTheCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, dialog);
    QFETCH(QString, raised);

    // A successful earlier command leaves "0" as the result text; it must not count.
    plant->control->Shutdown();
    plant->conversation->CloseLink();
    QCOMPARE(RaisedText([&] { Run(*plant->control, command); }), raised);
    QCOMPARE(plant->dialogs.texts(), QStringList({dialog}));
    QCOMPARE(plant->dialogs.messages().first().type, TMsgDlgType::mtError);
    QVERIFY(!plant->control->IsResetPolling());
}

void TestCommands::resetWatchesTheControlAndReAdvisesAfterTwoAnswers()
{
    TKQDatorelControl& control = *plant->control;
    plant->server->SetItem("SPEED.PV.OUT", "3600");
    QStringList log;
    Client client(log);
    control.GetItem("SPEED.PV.OUT")->Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"3600"}), ReplyWait);
    int communicating = 0;
    control.SetOnCommunicating([&](TObject*) { ++communicating; });
    communicating = 0;
    QList<TObject*> completed;
    control.OnResetComplete = [&](TObject* sender) { completed << sender; };

    plant->server->SetItem("Control Status", "0");
    control.Reset();
    QCOMPARE(pauses, QList<int>({int(Timing::ConversationLostPause), int(Timing::ResetPrePause)}));
    QVERIFY(control.IsResetPolling());
    QCOMPARE(control.State(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!plant->server->advised.contains("SPEED.PV.OUT"), ReplyWait);

    control.ResetPollTimer(); // still restarting
    QVERIFY(control.IsResetPolling());
    QVERIFY(completed.isEmpty());

    plant->server->SetItem("SPEED.PV.OUT", "0");
    plant->server->SetItem("Control Status", "1");
    control.ResetPollTimer(); // back: the connect poll takes over
    QCOMPARE(completed, QList<TObject*>({&control}));
    QVERIFY(!control.OnResetComplete);
    QVERIFY(!control.IsResetPolling());
    QVERIFY(control.IsConnectPolling());
    QCOMPARE(plant->Status(), QString("Active."));
    QCOMPARE(control.State(), 0);
    QVERIFY(!plant->server->advised.contains("SPEED.PV.OUT"));
    QCOMPARE(communicating, 0);

    control.ConnectPollTimer();
    QCOMPARE(communicating, 1);
    QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"3600", "0"}), ReplyWait);
    QCOMPARE(completed.size(), 1);
    QVERIFY(plant->dialogs.texts().isEmpty());
}

void TestCommands::resetPollGivesUpAfterItsTries()
{
    plant->server->SetItem("Control Status", "0");
    int completed = 0;
    plant->control->OnResetComplete = [&](TObject*) { ++completed; };
    plant->control->Reset();
    for (int tick = 0; tick < Timing::ResetPollTries; ++tick) {
        plant->control->ResetPollTimer();
        QVERIFY(plant->control->IsResetPolling());
    }
    QVERIFY(plant->dialogs.texts().isEmpty());
    plant->control->ResetPollTimer();
    QVERIFY(!plant->control->IsResetPolling());
    QCOMPARE(plant->dialogs.texts(), QStringList({"Control reset timeout"}));
    QVERIFY(!plant->control->OnResetComplete);
    QCOMPARE(completed, 0);
}

void TestCommands::timedOutResultWaitRecoversWhenTheControlAnswersAgain()
{
    // The result time-out is read when the control is made: a fresh one, on a fast clock.
    Timing::SetScale(0.01);
    const auto restore = qScopeGuard([] { Timing::SetScale(TestTimeScale); });
    Plant fast;
    fast.Connect();
    fast.server->unanswered.insert("SHUTDOWN.RESULT");
    QCOMPARE(RaisedText([&] { fast.control->Shutdown(); }), QString("TKQDatorelControl.Shutdown: Shutdown Failed"));
    QCOMPARE(fast.dialogs.texts(),
             QStringList({"Error occured while attempting to enter configure mode. Server is not responding."}));
    QVERIFY(fast.control->ResultPending());

    // The timed-out wait stays locked: the next command fails at once.
    QCOMPARE(RaisedText([&] { fast.control->SaveValues(); }), QString("TKQDatorelControl.SaveValues: SaveValues Failed"));
    QCOMPARE(fast.dialogs.texts().last(), QString("Error occured during SaveValues. Server is not responding."));

    Timing::SetScale(TestTimeScale); // the rest waits for answers that come
    fast.Connect(); // the control answers the connect poll again
    QVERIFY(!fast.control->ResultPending());
    fast.control->SaveValues();
    QCOMPARE(fast.Status(), QString("Active."));
}

// ---------------------------------------------------------------------------

class TestSymbolInformation : public QObject {
    Q_OBJECT
private slots:
    void init() { plant = std::make_unique<Plant>(); QVERIFY(plant->opened); }
    void cleanup() { plant.reset(); }

    void codesAskedForOnce_data();
    void codesAskedForOnce();
    void withoutConversationIsAnAssertion();
    void conversationReadyCallsTheWaitingOnce();

private:
    std::unique_ptr<Plant> plant;
};

void TestSymbolInformation::codesAskedForOnce_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("classType");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<QString>("minimum");
    QTest::addColumn<QString>("maximum");
    QTest::addColumn<QString>("error");

    auto reply = [](char kind, char type, const char* min, const char* max) {
        return QByteArray(1, kind) + QByteArray(1, type) + min + QByteArray(1, '\0') + max + QByteArray(1, '\0');
    };
    const QString empty = QStringLiteral("Reply was empty C_SPEED.RATED.IN");
    QTest::newRow("tunable real") << reply(2, 0x20, "0.0", "100.0") << int(vctTunable) << int(vdtReal) << "0.0" << "100.0" << "";
    QTest::newRow("monitor boolean") << reply(1, 0x01, "0", "1") << int(vctMonitor) << int(vdtBoolean) << "0" << "1" << "";
    QTest::newRow("configure integer") << reply(3, 0x84, "-5", "5") << int(vctConfigure) << int(vdtInteger) << "-5" << "5" << "";
    QTest::newRow("class 7 counts as monitor") << reply(7, 0x03, "", "") << int(vctMonitor) << int(vdtInteger) << "" << "" << "";
    QTest::newRow("type 0x21") << reply(2, 0x21, "1", "2") << int(vctTunable) << int(vdtReal) << "1" << "2" << "";
    QTest::newRow("type 0x30") << reply(2, 0x30, "1", "2") << int(vctTunable) << int(vdtReal) << "1" << "2" << "";
    QTest::newRow("type 0x31") << reply(2, 0x31, "1", "2") << int(vctTunable) << int(vdtReal) << "1" << "2" << "";
    QTest::newRow("type 0x04") << reply(2, 0x04, "1", "2") << int(vctTunable) << int(vdtInteger) << "1" << "2" << "";
    QTest::newRow("type 0x83") << reply(2, char(0x83), "1", "2") << int(vctTunable) << int(vdtInteger) << "1" << "2" << "";
    QTest::newRow("time") << reply(1, 0x40, "", "") << int(vctMonitor) << int(vdtTime) << "" << "" << "";
    QTest::newRow("timer") << reply(1, 0x42, "", "") << int(vctMonitor) << int(vdtTimer) << "" << "" << "";
    QTest::newRow("string") << reply(1, 0x50, "", "") << int(vctMonitor) << int(vdtString) << "" << "" << "";
    QTest::newRow("unknown type 0x22") << reply(2, 0x22, "a", "z") << int(vctTunable) << int(vdtString) << "a" << "z" << "";
    QTest::newRow("bytes after the maximum") << reply(2, 0x20, "0", "9") + "junk" << int(vctTunable) << int(vdtReal)
                                             << "0" << "9" << "";
    QTest::newRow("no bytes") << QByteArray() << 0 << 0 << "" << "" << empty;
    QTest::newRow("zero first") << reply(0, 0x20, "1", "2") << 0 << 0 << "" << "" << empty;
    QTest::newRow("refused") << QByteArray("refused") << 0 << 0 << "" << "" << "Message was not processed.";
}

void TestSymbolInformation::codesAskedForOnce()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, classType);
    QFETCH(int, dataType);
    QFETCH(QString, minimum);
    QFETCH(QString, maximum);
    QFETCH(QString, error);

    if (reply == "refused")
        plant->server->refused.insert("C_SPEED.RATED.IN");
    else
        plant->server->SetBinary("C_SPEED.RATED.IN", reply);
    TKQDatorelItem item("C_SPEED.RATED.IN");
    item.ConversationReady(plant->Conv());
    QCOMPARE(RaisedText([&] { item.ClassType(); }), error);
    // Asked for once, even when that failed: later answers change nothing.
    plant->server->refused.clear();
    plant->server->SetBinary("C_SPEED.RATED.IN", QByteArray("\x03\x50" "x\0" "y\0", 6));
    QCOMPARE(RaisedText([&] { item.ClassType(); }), QString());
    QCOMPARE(int(item.ClassType()), classType);
    QCOMPARE(int(item.DataType()), dataType);
    QCOMPARE(item.MinValue().toString(), minimum);
    QCOMPARE(item.MaxValue().toString(), maximum);
}

void TestSymbolInformation::withoutConversationIsAnAssertion()
{
    TKQDatorelItem* item = plant->control->GetItem("C_SPEED.RATED.IN"); // the control is not connected
    QCOMPARE(RaisedText([&] { item->MinValue(); }), QString("TKQDatorelItem._GetSymbolInfo: Client Conversation is nil"));
    plant->control->ReleaseItem("C_SPEED.RATED.IN");
}

void TestSymbolInformation::conversationReadyCallsTheWaitingOnce()
{
    TKQDatorelItem item("A.B.C");
    QList<TObject*> called;
    struct Waiter {
        QList<TObject*>& called;
        void Ready(TObject* sender) { called << sender; }
    } waiter{called};
    item.AdviseConversationReady(TNotifyEvent(&waiter, &Waiter::Ready));
    item.AdviseConversationReady(TNotifyEvent(&waiter, &Waiter::Ready));
    item.ConversationReady(plant->Conv());
    item.ConversationReady(plant->Conv());
    QCOMPARE(called, QList<TObject*>({&item}));
}

TURVISTA_TEST_MAIN(TestConnectPoll, TestCommands, TestSymbolInformation)

#include "tst_kqdatorelcontrol.moc"
