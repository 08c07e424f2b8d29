// What the operator's shift on the Run mode window leaves out, played through DDE
// against the real server with its control running a hundred times faster than
// real time: the clock, local/remote, the automatic start sequence up to rated
// speed, and a controlled shutdown from there. Buttons are played as the program
// plays them: one-shot buttons write 1 and 0.
#include "tests/support/ServerTest.h"
#include "tests/support/TestRunner.h"

#include <QTest>

#include <functional>
#include <utility>

namespace {

constexpr int Patience = 60000; // a loaded machine may run the control far slower than its tick
constexpr int FastTick = 1;     // ms per control tick of 100 ms

const QString Status = QStringLiteral("J_CONTROL.CNTRL_MESS.B_TO_STR");
const QString Speed = QStringLiteral("AA_MONITOR.SPEED.A_NAME");
const QString ResetButton = QStringLiteral("X_RESET.RQV.IN_1");

} // namespace

class TestRunModeScenario : public ServerTest {
    Q_OBJECT

    QString Text(const QString& item) { return ::Text(*m_control, item); }
    double Number(const QString& item) { return Text(item).toDouble(); }
    bool Write(const QString& item, const QString& value) { return m_control->Poke(item, value); }
    bool Pulse(const QString& item) { return Write(item, QStringLiteral("1")) && Write(item, QStringLiteral("0")); }
    bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, Patience); }
    bool WaitForText(const QString& item, const QString& text) { return WaitFor([&] { return Text(item) == text; }); }

private slots:
    void initTestCase()
    {
        ServerProcess::Options options;
        options.tickMs = FastTick;
        QVERIFY2(StartServer(options), qPrintable(ServerOutput()));
        // A quicker ramp down to idle keeps the controlled shutdown short.
        QVERIFY(m_control->Poke(QStringLiteral("C_IDLE_RTD.IDLRTDRATE.TUNE"), QStringLiteral("100")));
    }
    void cleanupTestCase() { StopServer(); }

    void clockIsSetFieldByFieldOrWhole()
    {
        for (const auto& [editor, value] : {std::pair("MAIN.YEAR_SW.NC", "2030"), std::pair("MAIN.MONTH_SW.NC", "2"),
                                            std::pair("MAIN.DAY_SW.NC", "28"), std::pair("MAIN.HOUR_SW.NC", "7"),
                                            std::pair("MAIN.MIN_SW.NC", "5"), std::pair("MAIN.SEC_SW.NC", "0")})
            QVERIFY(Write(QString::fromLatin1(editor), QString::fromLatin1(value)));
        QVERIFY(Pulse(QStringLiteral("MAIN.A_T_FLT.NC")));
        QVERIFY(WaitFor([&] { return Text(QStringLiteral("MAIN.SYS_TIME.T_NAME")).startsWith(QLatin1String("07:")); }));
        QVERIFY(m_server->Simulate(QStringLiteral("alarm Clock Set")));
        QVERIFY(Text(QStringLiteral("Y_ALARMS.ALARMS.EV_TM_1")).startsWith(QLatin1String("28-Feb 07:")));

        QVERIFY(Write(QStringLiteral("MAIN.HOUR_SW.NC"), QStringLiteral("19")));
        QVERIFY(Pulse(QStringLiteral("MAIN.PNL_HOURS.IN_1")));
        QVERIFY(WaitFor([&] { return Text(QStringLiteral("MAIN.SYS_TIME.T_NAME")).startsWith(QLatin1String("19:")); }));
    }

    void localRemoteOnlyWhereUsed()
    {
        const QString remote = QStringLiteral("J_RMT_LCL.RMT_SEL.LATCH");
        QCOMPARE(Text(QStringLiteral("C_APPL.USE_LCLRMT.IN")), QStringLiteral("0"));
        QVERIFY(Pulse(QStringLiteral("J_RMT_LCL.RQV_EN.TRIGGER")));
        QCOMPARE(Text(remote), QStringLiteral("0"));
        QVERIFY(m_server->Simulate(QStringLiteral("set C_APPL.USE_LCLRMT.IN=1")));
        // The control reads a changed setting at its next tick.
        QVERIFY(WaitFor([&] { return Pulse(QStringLiteral("J_RMT_LCL.RQV_EN.TRIGGER")) && Text(remote) == QLatin1String("1"); }));
        QVERIFY(Pulse(QStringLiteral("J_RMT_LCL.RQV_DIS.TRIGGER")));
        QCOMPARE(Text(remote), QStringLiteral("0"));
    }

    // Ramps to low idle, holds, ramps to high idle, holds, ramps to rated; a hold
    // halts and continues at the operator's command.
    void automaticSequenceHoldsHaltsAndContinues()
    {
        const QString state = QStringLiteral("D_AUTOSTAT.AUTO_STRT.MSG_SEL");
        const QString running = QStringLiteral("D_AUTOENBL.AUTO_STRT.LATCH_R");
        const QString lowHold = QStringLiteral("D_IFACE_O.DLY_LO.A_NAME"); // minutes left
        QVERIFY(Write(QStringLiteral("C_START.TO_RATED.IN"), QStringLiteral("4")));
        // Short holds and quick ramps, for a cold or a hot start.
        for (const char* tune : {"LO_DLY_C", "LO_DLY_H", "HI_DLY_C", "HI_DLY_H", "HI_RATE_C", "HI_RATE_H", "RTD_RATE_C",
                                 "RTD_RATE_H"})
            QVERIFY(Write(QStringLiteral("C_AUTOSEQ.%1.TUNE").arg(tune), QByteArray(tune).contains("DLY") ? "2" : "50"));
        QVERIFY(Pulse(ResetButton));
        QVERIFY(WaitForText(Status, QStringLiteral("Ready To Start")));
        QVERIFY(WaitForText(QStringLiteral("D_AUTOSTRT.LO_DLY_MIN.MULTIPLY"), QStringLiteral("2")));
        QCOMPARE(Text(state), QStringLiteral("0"));
        QVERIFY(m_control->StartAdvise(state));
        QVERIFY(WaitFor([&] { return Last(*m_control, state) == QStringLiteral("0"); }));
        QVERIFY(Pulse(QStringLiteral("I_START.RQV_EN.TRIGGER")));
        QVERIFY(WaitFor([&] { return Last(*m_control, state) == QStringLiteral("7"); }));
        QCOMPARE(m_control->Advised(state).join(u' '), QStringLiteral("0 1 7"));
        QVERIFY(m_control->StopAdvise(state));
        QCOMPARE(Text(running), QStringLiteral("1")); // "Halt" shown
        QCOMPARE(Text(QStringLiteral("D_AUTOSTAT.AUTO_STRT.B_TO_STR")), QStringLiteral("Holding At Low Idle"));

        // A halted hold does not count down.
        const double left = Number(lowHold);
        QVERIFY(WaitFor([&] { return Number(lowHold) < left; }));
        QVERIFY(Pulse(QStringLiteral("D_AUTOENBL.RQV_DIS.TRIGGER")));
        QCOMPARE(Text(state), QStringLiteral("10"));
        QCOMPARE(Text(running), QStringLiteral("0")); // "Continue" shown
        const QString halted = Text(lowHold);
        const QString clock = Text(QStringLiteral("MAIN.SYS_TIME.T_NAME"));
        QVERIFY(WaitFor([&] { return Text(QStringLiteral("MAIN.SYS_TIME.T_NAME")) != clock; }));
        QCOMPARE(Text(lowHold), halted);
        QVERIFY(Pulse(QStringLiteral("D_AUTOENBL.RQV_EN.TRIGGER")));
        QCOMPARE(Text(state), QStringLiteral("7"));

        QVERIFY(WaitForText(state, QStringLiteral("8")));
        QVERIFY(Number(QStringLiteral("D_IFACE_O.DLY_HI.A_NAME")) > 0);
        QCOMPARE(Text(lowHold), QStringLiteral("0"));
        QVERIFY(Pulse(QStringLiteral("D_AUTOENBL.RQV_DIS.TRIGGER")));
        QCOMPARE(Text(state), QStringLiteral("9"));
        QVERIFY(Pulse(QStringLiteral("D_AUTOENBL.RQV_EN.TRIGGER")));
        QVERIFY(WaitForText(state, QStringLiteral("4")));
        QCOMPARE(Text(running), QStringLiteral("1")); // not halted: "Halt" is offered
        QVERIFY(WaitFor([&] { return std::abs(Number(Speed) - 3600) < 2; }));
    }

    // From rated speed the setpoint goes down to idle, then the turbine trips.
    void controlledShutdownTripsAtIdle()
    {
        const QString acknowledged = QStringLiteral("J_CTRLSTOP.ACK_STP_L.LATCH");
        const QString shutdownStatus = QStringLiteral("J_CTRLSTOP.CSTOP_STAT.B_TO_STR");
        // At rated speed, where the start sequence left the turbine settling.
        QVERIFY(WaitFor([&] { return std::abs(Number(Speed) - 3600) < 2; }));
        QVERIFY(m_control->StartAdvise(acknowledged));
        QVERIFY(m_control->StartAdvise(shutdownStatus));
        QVERIFY(WaitFor([&] { return Last(*m_control, acknowledged) == QStringLiteral("0"); }));
        QVERIFY(Pulse(QStringLiteral("J_CTRLSTOP.RQV_EN.TRIGGER")));
        QVERIFY(WaitFor([&] { return Last(*m_control, shutdownStatus) == QStringLiteral("Shutdown Complete"); }));
        // On the way: "Abort" shown, the shutdown under way.
        QVERIFY(WaitFor([&] { return Last(*m_control, acknowledged) == QStringLiteral("0"); }));
        QCOMPARE(m_control->Advised(acknowledged).join(u' '), QStringLiteral("0 1 0"));
        QVERIFY(m_control->Advised(shutdownStatus).contains(QStringLiteral("In Progress")));
        QCOMPARE(Text(Status), QStringLiteral("Turbine Shutdown"));
        QCOMPARE(Text(QStringLiteral("X_ELOG.T.MESG_O_1")), QStringLiteral("Controlled Shutdown Complete"));
    }
};

TURVISTA_TEST_GUILESS_MAIN(TestRunModeScenario)
#include "tst_runscenario.moc"
