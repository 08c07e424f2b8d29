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

    QString Run(const QString& command)
    {
        return RaisedText([&] {
            if (command == "Shutdown")
                control->Shutdown();
            else if (command == "SaveValues")
                control->SaveValues();
            else
                control->Reset();
        });
    }
};

} // namespace

class TestConnectPoll : public QObject {
    Q_OBJECT

    std::unique_ptr<Plant> plant;

private slots:
    void init()
    {
        plant = std::make_unique<Plant>();
        QVERIFY(plant->opened);
    }
    void cleanup() { plant.reset(); }

    void failureInsideATickIsShownNotThrown()
    {
        plant->control->SetOnCommunicating([](TObject*) { throw Exception(QStringLiteral("Window could not open.")); });
        plant->Connect();
        QCOMPARE(plant->dialogs.texts(), QStringList({"Window could not open."}));
    }

    // A control that refuses is polled on (the integration tests prove it); one
    // that cannot be asked at all is given up after the poll's tries.
    void failedStatusQueriesAndAPollThatGivesUp()
    {
        plant->control->ConversationReady(plant->Conv());
        plant->server->refused = {"CONTROL STATUS", "RUN MODE"};
        QCOMPARE(plant->control->ControlStatus(), false); // the server refused: no
        QCOMPARE(RaisedText([&] { plant->control->IsRunMode(); }), QString("Message was not processed."));
        plant->conversation->CloseLink(); // every request now fails at once
        QCOMPARE(RaisedText([&] { plant->control->IsRunMode(); }), QString("Request of Run Mode failed."));
        QCOMPARE(RaisedText([&] { plant->control->ControlStatus(); }), QString("Request of control status failed."));

        const QString notResponding = QStringLiteral("Control is not responding to request of connection");
        for (int tick = 0; tick <= Timing::ConnectPollTries; ++tick) {
            QCOMPARE(plant->dialogs.texts().count(notResponding), 0);
            plant->control->ConnectPollTimer();
        }
        QVERIFY(!plant->control->IsConnectPolling());
        QCOMPARE(plant->dialogs.texts().last(), notResponding);
        QCOMPARE(plant->dialogs.texts().count(notResponding), 1);
    }
};

// ---------------------------------------------------------------------------

class TestCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<Plant> plant;

private slots:
    void init()
    {
        plant = std::make_unique<Plant>();
        QVERIFY(plant->opened);
        plant->Connect();
        QVERIFY(plant->control->IsConnected());
    }
    void cleanup() { plant.reset(); }

    // "gone": the conversation is closed after a successful shutdown, whose
    // result "0" must not count for the next command.
    void results_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QString>("raised");
        QTest::addColumn<QString>("status"); // when answered
        QTest::addColumn<QString>("dialog"); // when gone

        const QString saving = QStringLiteral("Saving values in control ...");
        const QString noServer = QStringLiteral(" Server is not responding.");
        QTest::newRow("shutdown 0") << "Shutdown" << QByteArray("0") << "" << "Control is in configure mode." << "";
        QTest::newRow("shutdown 3") << "Shutdown" << QByteArray("3") << "TKQDatorelControl.Shutdown: Shutdown Failed"
                                    << "Shutting down control ..." << "";
        QTest::newRow("save 0") << "SaveValues" << QByteArray("0") << "" << "Active." << "";
        QTest::newRow("save 1") << "SaveValues" << QByteArray("1") << "TKQDatorelControl.SaveValues: Memory Error" << saving << "";
        QTest::newRow("save 255") << "SaveValues" << QByteArray("255")
                                  << "TKQDatorelControl.SaveValues: Unsupported Function" << saving << "";
        QTest::newRow("save not a number") << "SaveValues" << QByteArray("done")
                                           << "'done' is not a valid floating point value" << saving << "";
        QTest::newRow("reset 1") << "Reset" << QByteArray("1")
                                 << "Error resetting control:  The control is not in configure mode" << "Resetting control ..." << "";
        QTest::newRow("shutdown gone") << "Shutdown" << QByteArray("gone") << "TKQDatorelControl.Shutdown: Shutdown Failed" << ""
                                       << "Error occured while attempting to enter configure mode." + noServer;
        QTest::newRow("save gone") << "SaveValues" << QByteArray("gone") << "TKQDatorelControl.SaveValues: SaveValues Failed"
                                   << "" << "Error occured during SaveValues." + noServer;
        QTest::newRow("reset gone") << "Reset" << QByteArray("gone") << "TKQDatorelControl.Reset: Reset Failed" << ""
                                    << "Error occured during reset." + noServer;
    }

    void results()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, result);
        QFETCH(QString, raised);
        QFETCH(QString, status);
        QFETCH(QString, dialog);

        const bool gone = result == "gone";
        if (gone) {
            plant->control->Shutdown();
            plant->conversation->CloseLink();
        }
        // The server first sends an empty result, which the control ignores.
        plant->answers->results[command] = result;
        bool pendingMeanwhile = false;
        plant->answers->beforeResult = [&](const QString&) { pendingMeanwhile = plant->control->ResultPending(); };
        QCOMPARE(plant->Run(command), raised);
        QCOMPARE(plant->server->executes, QStringList({gone ? "Shutdown" : command}));
        QCOMPARE(pendingMeanwhile, !gone);
        QVERIFY(!plant->control->ResultPending());
        // A reset that got no answer may have happened all the same: it is watched too.
        QCOMPARE(plant->control->IsResetPolling(), command == "Reset" && gone);
        QTRY_VERIFY_WITH_TIMEOUT(plant->server->advised.isEmpty(), ReplyWait); // the result loop is stopped
        QCOMPARE(plant->dialogs.texts(), gone ? QStringList{dialog} : QStringList());
        if (gone)
            QCOMPARE(plant->dialogs.messages().first().type, TMsgDlgType::mtError);
        else
            QCOMPARE(plant->Status(), status);
    }

    void resetWatchesTheControlAndReAdvisesAfterTwoAnswers()
    {
        TKQDatorelControl& control = *plant->control;
        plant->server->SetItem("SPEED.PV.OUT", "3600");
        QStringList log;
        Client client(log);
        control.GetItem("SPEED.PV.OUT")->Advise(client.Event());
        QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"3600"}), ReplyWait);
        QList<TObject*> completed;
        control.OnResetComplete = [&](TObject* sender) { completed << sender; };

        plant->server->SetItem("Control Status", "0");
        control.Reset();
        QCOMPARE(pauses, QList<int>({int(Timing::ConversationLostPause), int(Timing::ResetPrePause)}));
        QCOMPARE(control.State(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!plant->server->advised.contains("SPEED.PV.OUT"), ReplyWait);
        control.ResetPollTimer(); // still restarting
        QVERIFY(control.IsResetPolling() && completed.isEmpty());

        plant->server->SetItem("SPEED.PV.OUT", "0");
        plant->server->SetItem("Control Status", "1");
        control.ResetPollTimer(); // back: the connect poll takes over
        QCOMPARE(completed, QList<TObject*>({&control}));
        QVERIFY(!control.OnResetComplete);
        QVERIFY(!control.IsResetPolling() && control.IsConnectPolling());
        QVERIFY(!plant->server->advised.contains("SPEED.PV.OUT"));
        control.ConnectPollTimer();
        QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"3600", "0"}), ReplyWait);
        QVERIFY(plant->dialogs.texts().isEmpty());
    }

    // A control that refuses requests while it resets is no error to show; one
    // whose reset result never came gives the items their conversation back.
    void resetPollIsQuietAndFollowsAnUnansweredReset()
    {
        // The result time-out is read when the control is made: a fresh one, on a fast clock.
        Timing::SetScale(0.01);
        const auto restore = qScopeGuard([] { Timing::SetScale(TestTimeScale); });
        Plant fast;
        fast.Connect();
        TKQDatorelControl& control = *fast.control;
        fast.server->SetItem("SPEED.PV.OUT", "3600");
        QStringList log;
        Client client(log);
        control.GetItem("SPEED.PV.OUT")->Advise(client.Event());
        QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"3600"}), ReplyWait);

        fast.server->unanswered.insert("RESET.RESULT");
        QCOMPARE(fast.Run("Reset"), QString("TKQDatorelControl.Reset: Reset Failed"));
        QCOMPARE(fast.dialogs.texts(), QStringList({"Error occured during reset. Server is not responding."}));
        QVERIFY(control.IsResetPolling());

        fast.server->refused.insert("CONTROL STATUS");
        control.ResetPollTimer();
        QVERIFY(control.IsResetPolling());
        QCOMPARE(fast.dialogs.texts().size(), 1);

        fast.server->refused.clear();
        fast.server->SetItem("SPEED.PV.OUT", "0");
        fast.server->SetItem("Control Status", "1");
        control.ResetPollTimer();
        control.ConnectPollTimer();
        QTRY_COMPARE_WITH_TIMEOUT(log, QStringList({"3600", "0"}), ReplyWait);
        QCOMPARE(fast.dialogs.texts().size(), 1);
    }

    void resetPollGivesUpAfterItsTries()
    {
        plant->server->SetItem("Control Status", "0");
        int completed = 0;
        plant->control->OnResetComplete = [&](TObject*) { ++completed; };
        plant->control->Reset();
        for (int tick = 0; tick < Timing::ResetPollTries; ++tick)
            plant->control->ResetPollTimer();
        QVERIFY(plant->control->IsResetPolling());
        QVERIFY(plant->dialogs.texts().isEmpty());
        plant->control->ResetPollTimer();
        QVERIFY(!plant->control->IsResetPolling());
        QCOMPARE(plant->dialogs.texts(), QStringList({"Control reset timeout"}));
        QCOMPARE(completed, 0);
    }

    void timedOutResultWaitRecoversWhenTheControlAnswersAgain()
    {
        // The result time-out is read when the control is made: a fresh one, on a fast clock.
        Timing::SetScale(0.01);
        const auto restore = qScopeGuard([] { Timing::SetScale(TestTimeScale); });
        Plant fast;
        fast.Connect();
        fast.server->unanswered.insert("SHUTDOWN.RESULT");
        QCOMPARE(fast.Run("Shutdown"), QString("TKQDatorelControl.Shutdown: Shutdown Failed"));
        QVERIFY(fast.control->ResultPending());

        // The timed-out wait stays locked: the next command fails at once.
        QCOMPARE(fast.Run("SaveValues"), QString("TKQDatorelControl.SaveValues: SaveValues Failed"));
        QCOMPARE(fast.dialogs.texts(),
                 QStringList({"Error occured while attempting to enter configure mode. Server is not responding.",
                              "Error occured during SaveValues. Server is not responding."}));

        Timing::SetScale(TestTimeScale); // the rest waits for answers that come
        fast.Connect(); // the control answers the connect poll again
        QVERIFY(!fast.control->ResultPending());
        fast.control->SaveValues();
        QCOMPARE(fast.Status(), QString("Active."));
    }
};

// ---------------------------------------------------------------------------

class TestSymbolInformation : public QObject {
    Q_OBJECT

    std::unique_ptr<Plant> plant;

private slots:
    void init()
    {
        plant = std::make_unique<Plant>();
        QVERIFY(plant->opened);
    }
    void cleanup() { plant.reset(); }

    void codesAskedForOnce_data()
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
        QTest::newRow("monitor boolean") << reply(1, 0x01, "0", "1") << int(vctMonitor) << int(vdtBoolean) << "0" << "1" << "";
        QTest::newRow("class 7 counts as monitor") << reply(7, 0x03, "", "") << int(vctMonitor) << int(vdtInteger) << "" << "" << "";
        QTest::newRow("timer") << reply(1, 0x42, "", "") << int(vctMonitor) << int(vdtTimer) << "" << "" << "";
        QTest::newRow("unknown type 0x22") << reply(2, 0x22, "a", "z") << int(vctTunable) << int(vdtString) << "a" << "z" << "";
        QTest::newRow("bytes after the maximum") << reply(2, 0x20, "0", "9") + "junk" << int(vctTunable) << int(vdtReal)
                                                 << "0" << "9" << "";
        QTest::newRow("no bytes") << QByteArray() << 0 << 0 << "" << "" << empty;
        QTest::newRow("zero first") << reply(0, 0x20, "1", "2") << 0 << 0 << "" << "" << empty;
        QTest::newRow("refused") << QByteArray("refused") << 0 << 0 << "" << "" << "Message was not processed.";
    }

    void codesAskedForOnce()
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
        QCOMPARE(int(item.ClassType()), classType);
        QCOMPARE(int(item.DataType()), dataType);
        QCOMPARE(item.MinValue().toString(), minimum);
        QCOMPARE(item.MaxValue().toString(), maximum);
    }

};

TURVISTA_TEST_MAIN(TestConnectPoll, TestCommands, TestSymbolInformation)

#include "tst_kqdatorelcontrol.moc"
