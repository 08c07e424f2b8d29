// The control's commands through the real server: configure mode, saving into
// the non-volatile store, reset, and the store across restarts and crashes.
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDdeClient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTest>

#include <memory>

namespace {

const QString Own = QStringLiteral("URQVDatorel");
const QString FastRate = QStringLiteral("C_SPDSETPT.F_SPD_RATE.TUNE"); // tunable real, 0.1 .. 2000
const QString FastRateHold = QStringLiteral("C_SPDSETPT.HOLD_FAST.CTRL");
const QString TurbineType = QStringLiteral("C_APPL.TURB_TYPE.IN"); // configure enum 1 .. 5

constexpr int CommandPollMs = 5;

// Runs a command the way the program does: execute, then watch the result item
// until it turns into a number.
QString RunCommand(TestDdeClient& control, const QString& command)
{
    const QString result = command + QStringLiteral(".Result");
    control.ForgetAdvised(result);
    if (!control.Execute(command))
        return QStringLiteral("<refused>");
    if (!control.StartAdvise(result))
        return QStringLiteral("<no advise>");
    const QDeadlineTimer deadline(TestDdeClient::DefaultTimeoutMs);
    while (control.LastAdvised(result).value_or(QString()).isEmpty() && !deadline.hasExpired())
        QTest::qWait(CommandPollMs);
    control.StopAdvise(result);
    return Last(control, result);
}

} // namespace

class TestServerCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ServerProcess> m_server;
    std::unique_ptr<TestDdeClient> m_control;

    bool Connect()
    {
        m_control = std::make_unique<TestDdeClient>(Own, ServerProcess::Topic());
        return m_control->Connected();
    }

private slots:
    void init()
    {
        m_server = std::make_unique<ServerProcess>();
        QVERIFY2(m_server->Start(), qPrintable(m_server->Output()));
        QVERIFY(Connect());
    }

    void cleanup()
    {
        m_control.reset();
        m_server.reset();
    }

    void shutdownEntersConfigureMode()
    {
        QVERIFY(!m_control->Poke(TurbineType, QStringLiteral("2")));
        QCOMPARE(RunCommand(*m_control, QStringLiteral("Shutdown")), QStringLiteral("0"));
        QCOMPARE(Text(*m_control, QStringLiteral("Run Mode")), QStringLiteral("1"));
        QCOMPARE(Text(*m_control, QStringLiteral("Control Status")), QStringLiteral("1"));
        QVERIFY(m_control->Poke(TurbineType, QStringLiteral("2")));
        QCOMPARE(Text(*m_control, TurbineType), QStringLiteral("2"));
    }

    void resultItemReadsEmptyUntilTheCommandIsDone()
    {
        const QString result = QStringLiteral("Shutdown.Result");
        QVERIFY(m_control->StartAdvise(result));
        QTRY_COMPARE(Last(*m_control, result), QString());
        QVERIFY(m_control->Execute(QStringLiteral("Shutdown")));
        QTRY_COMPARE(Last(*m_control, result), QStringLiteral("0"));
        // A second command clears the earlier result before giving its own.
        QVERIFY(m_control->Execute(QStringLiteral("Shutdown")));
        QTRY_COMPARE(m_control->Advised(result).size(), 4);
        QCOMPARE(m_control->Advised(result), QStringList({QString(), QStringLiteral("0"), QString(), QStringLiteral("0")}));
    }

    void resetOnlyFromConfigureMode()
    {
        QCOMPARE(RunCommand(*m_control, QStringLiteral("Reset")), QStringLiteral("1"));
        QCOMPARE(Text(*m_control, QStringLiteral("Control Status")), QStringLiteral("1"));
        QCOMPARE(Text(*m_control, QStringLiteral("Run Mode")), QStringLiteral("0"));
    }

    void saveValuesClearsTheHoldItems()
    {
        QVERIFY(m_control->StartAdvise(FastRateHold));
        QVERIFY(m_control->Poke(FastRate, QStringLiteral("75")));
        QVERIFY(m_control->Poke(FastRateHold, QStringLiteral("-1")));
        QTRY_COMPARE(Last(*m_control, FastRateHold), QStringLiteral("1"));
        QCOMPARE(RunCommand(*m_control, QStringLiteral("SaveValues")), QStringLiteral("0"));
        QTRY_COMPARE(Last(*m_control, FastRateHold), QStringLiteral("0"));
        QCOMPARE(Text(*m_control, FastRate), QStringLiteral("75"));
        QVERIFY(!QDir(m_server->StateFolder()).entryList(QDir::Files).isEmpty());
    }

    void resetComesBackWithTheSavedValues()
    {
        QVERIFY(m_control->Poke(FastRate, QStringLiteral("60")));
        QVERIFY(m_control->Poke(QStringLiteral("Configuration ID"), QStringLiteral("Saved")));
        QCOMPARE(RunCommand(*m_control, QStringLiteral("SaveValues")), QStringLiteral("0"));
        QVERIFY(m_control->Poke(FastRate, QStringLiteral("70")));
        QCOMPARE(RunCommand(*m_control, QStringLiteral("Shutdown")), QStringLiteral("0"));
        QVERIFY(m_control->Poke(TurbineType, QStringLiteral("3")));
        QVERIFY(m_control->Poke(QStringLiteral("Enable RG Blocks"), QStringLiteral("0")));

        const QString status = QStringLiteral("Control Status");
        QVERIFY(m_control->StartAdvise(FastRate));
        QVERIFY(m_control->StartAdvise(status));
        QCOMPARE(RunCommand(*m_control, QStringLiteral("Reset")), QStringLiteral("0"));
        // The control stops answering for a while, then comes back as it was saved.
        QTRY_COMPARE(m_control->Advised(status), QStringList({QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("1")}));
        QCOMPARE(Text(*m_control, QStringLiteral("Run Mode")), QStringLiteral("0"));
        QCOMPARE(Text(*m_control, FastRate), QStringLiteral("60"));
        QCOMPARE(Text(*m_control, TurbineType), QStringLiteral("1"));
        QCOMPARE(Text(*m_control, QStringLiteral("Configuration ID")), QStringLiteral("Saved"));
        QCOMPARE(Text(*m_control, QStringLiteral("Enable RG Blocks")), QStringLiteral("1"));
        // Advise loops that outlived the reset hear the restored value.
        QTRY_COMPARE(Last(*m_control, FastRate), QStringLiteral("60"));
    }

    void storeSurvivesARestart()
    {
        QVERIFY(m_control->Poke(FastRate, QStringLiteral("80")));
        QCOMPARE(RunCommand(*m_control, QStringLiteral("SaveValues")), QStringLiteral("0"));
        QVERIFY(m_control->Poke(FastRate, QStringLiteral("90"))); // not saved
        m_control.reset();
        QVERIFY2(m_server->Stop(), qPrintable(m_server->Output()));

        QVERIFY2(m_server->Start(), qPrintable(m_server->Output()));
        QVERIFY(Connect());
        QCOMPARE(Text(*m_control, FastRate), QStringLiteral("80"));
    }

    void crashWhileSavingKeepsTheOldStore()
    {
        QVERIFY(m_control->Poke(FastRate, QStringLiteral("11")));
        QCOMPARE(RunCommand(*m_control, QStringLiteral("SaveValues")), QStringLiteral("0"));
        QVERIFY(m_control->Poke(FastRate, QStringLiteral("22")));
        QVERIFY(m_server->SetFaults(QStringLiteral("die-in-store")));
        QVERIFY(m_control->Execute(QStringLiteral("SaveValues")));
        QVERIFY(m_server->WaitForExit());
        QVERIFY(m_server->Crashed());
        QTRY_VERIFY(m_control->Disconnected());

        QVERIFY2(m_server->Start(), qPrintable(m_server->Output()));
        QVERIFY(Connect());
        QCOMPARE(Text(*m_control, FastRate), QStringLiteral("11"));
        // And the store can be written again.
        QVERIFY(m_control->Poke(FastRate, QStringLiteral("33")));
        QCOMPARE(RunCommand(*m_control, QStringLiteral("SaveValues")), QStringLiteral("0"));
        m_control.reset();
        QVERIFY(m_server->Stop());
        QVERIFY2(m_server->Start(), qPrintable(m_server->Output()));
        QVERIFY(Connect());
        QCOMPARE(Text(*m_control, FastRate), QStringLiteral("33"));
    }
};

QTEST_GUILESS_MAIN(TestServerCommands)
#include "tst_server_commands.moc"
