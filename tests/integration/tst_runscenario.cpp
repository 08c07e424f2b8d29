// The operator's day on the Run mode window, played through DDE against the real
// server with a fast tick: reset, start, limiter, idle and rated, setpoint entry,
// dynamics, overspeed test to a trip, alarms and histories, valve calibration,
// clock, controlled shutdown, local/remote and the automatic start sequence.
// Buttons are played as the program plays them: one-shot buttons write 1 and 0,
// momentary buttons hold 1 until what they move has moved.
#include "tests/support/ServerProcess.h"
#include "tests/support/ServerTest.h"
#include "tests/support/TestDdeClient.h"

#include <QTest>

#include <functional>
#include <memory>

namespace {

constexpr int Patience = 60000; // a loaded machine may run the control far slower than its tick

const QString Status = QStringLiteral("J_CONTROL.CNTRL_MESS.B_TO_STR");
const QString Speed = QStringLiteral("AA_MONITOR.SPEED.A_NAME");
const QString Setpoint = QStringLiteral("AA_MONITOR.SPD_SETPT.A_NAME");
const QString HpLimiter = QStringLiteral("AA_MONITOR.HP_LIMITER.A_NAME");
const QString IdleRated = QStringLiteral("C_IDLE_RTD.IDL_RTD.B_TO_STR");
const QString AlarmCount = QStringLiteral("Y_ALARMS.ALARMS.NUM_EVENTS");
const QString ResetButton = QStringLiteral("X_RESET.RQV.IN_1");
const QString StartButton = QStringLiteral("I_START.RQV_EN.TRIGGER");

} // namespace

class TestRunModeScenario : public ServerTest {
    Q_OBJECT

private:
    QString Text(const QString& item) { return ::Text(*m_control, item); }
    double Number(const QString& item) { return Text(item).toDouble(); }

    bool Write(const QString& item, const QString& value) { return m_control->Poke(item, value); }
    // A one-shot button.
    bool Pulse(const QString& item) { return Write(item, QStringLiteral("1")) && Write(item, QStringLiteral("0")); }
    // A momentary button, held until the condition holds; false when it never did.
    bool HoldUntil(const QString& item, const std::function<bool()>& condition)
    {
        if (!Write(item, QStringLiteral("1")))
            return false;
        const bool reached = QTest::qWaitFor(condition, Patience);
        return Write(item, QStringLiteral("0")) && reached;
    }
    bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, Patience); }
    bool WaitForText(const QString& item, const QString& text)
    {
        return WaitFor([&] { return Text(item) == text; });
    }

    // Once the rotor stands: reset, open the limiter (a semiautomatic start leaves
    // it to the operator), start and wait at idle.
    bool StartToIdle()
    {
        return WaitFor([&] { return Number(Speed) == 0; }) && Pulse(ResetButton) && WaitForText(Status, QStringLiteral("Ready To Start")) && OpenLimiter()
            && Pulse(StartButton)
            && WaitFor([&] { return std::abs(Number(Speed) - 1000) < 5 && Number(Setpoint) == 1000; });
    }
    bool OpenLimiter()
    {
        return HoldUntil(QStringLiteral("I_V1_LMTR.RQV.IN_2"), [&] { return Number(HpLimiter) == 100; });
    }
    // Waits until the control has run at least one more second of control time.
    bool ControlTimePasses()
    {
        const QString before = Text(QStringLiteral("MAIN.SYS_TIME.T_NAME"));
        return WaitFor([&] { return Text(QStringLiteral("MAIN.SYS_TIME.T_NAME")) != before; });
    }
    // A tripped turbine that stands still.
    bool TripAndStop()
    {
        if (Text(QStringLiteral("X_TRIPS.NOT_SD.NOT")) == QLatin1String("1")
            && !Pulse(QStringLiteral("X_TRIPS.RQV.IN_1")))
            return false;
        return WaitFor([&] { return Number(Speed) == 0; });
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(StartServer(), qPrintable(ServerOutput()));
        // Semiautomatic start: the limiter waits for the operator; quicker ramps keep the test short.
        QVERIFY(Write(QStringLiteral("C_START.START_CONF.IN"), QStringLiteral("2")));
        QVERIFY(Write(QStringLiteral("C_START.RT_TO_MIN.IN"), QStringLiteral("100")));
        QVERIFY(Write(QStringLiteral("C_IDLE_RTD.IDLRTDRATE.TUNE"), QStringLiteral("100")));
        // The control reads changed settings at its next tick.
        QVERIFY(ControlTimePasses());
    }

    void cleanupTestCase()
    {
        StopServer();
    }

    void resetMakesTheTurbineReady()
    {
        QCOMPARE(Text(Status), QStringLiteral("Turbine Shutdown"));
        QCOMPARE(Text(QStringLiteral("Y_ALARMS.ALARMS.MSG_O_1")), QStringLiteral("Power Up Trip"));
        QVERIFY(Pulse(ResetButton));
        QVERIFY(WaitForText(Status, QStringLiteral("Ready To Start")));
        QCOMPARE(Text(AlarmCount), QStringLiteral("0"));
        QCOMPARE(Text(QStringLiteral("I_START.NOT_STRTD.NOT")), QStringLiteral("1")); // "Start" shown
    }

    void startAndRaiseTheLimiterBringTheTurbineToIdle()
    {
        QVERIFY(Pulse(StartButton));
        QCOMPARE(Text(QStringLiteral("I_START.NOT_STRTD.NOT")), QStringLiteral("0"));
        QCOMPARE(Text(HpLimiter), QStringLiteral("0"));
        QCOMPARE(Text(Speed), QStringLiteral("0")); // no steam yet
        QVERIFY(HoldUntil(QStringLiteral("I_V1_LMTR.RQV.IN_2"), [&] { return Number(HpLimiter) >= 60; }));
        QVERIFY(WaitFor([&] { return std::abs(Number(Speed) - 1000) < 5; }));
        QCOMPARE(Text(IdleRated), QStringLiteral("Idle Selected"));
        const double limiter = Number(HpLimiter);
        QVERIFY(HoldUntil(QStringLiteral("I_V1_LMTR.RQV.IN_1"), [&] { return Number(HpLimiter) < limiter - 5; }));
        QVERIFY(HoldUntil(QStringLiteral("I_V1_LMTR.RQV.IN_2"), [&] { return Number(HpLimiter) == 100; }));
    }

    void ratedAndTheSpeedSetpoint()
    {
        QVERIFY(Pulse(QStringLiteral("D_IDLE_RTD.RQV_EN.TRIGGER")));
        QVERIFY(WaitForText(IdleRated, QStringLiteral("At Rated")));
        QVERIFY(WaitFor([&] { return std::abs(Number(Speed) - 3600) < 2; }));
        QCOMPARE(Text(Status), QStringLiteral("Speed Control"));

        QVERIFY(HoldUntil(QStringLiteral("D_SPD_R_L.RQV.IN_1"), [&] { return Number(Setpoint) > 3620; }));
        QVERIFY(WaitFor([&] { return Number(Speed) > 3615; }));
        QVERIFY(HoldUntil(QStringLiteral("D_SPD_R_L.RQV.IN_2"), [&] { return Number(Setpoint) < 3580; }));

        QVERIFY(Write(QStringLiteral("D_ENTR_SPD.PC_SMP_TUN.TUNE"), QStringLiteral("3500")));
        QVERIFY(Pulse(QStringLiteral("D_SPD_R_L.RQV.IN_3")));
        QVERIFY(WaitFor([&] { return Number(Setpoint) == 3500 && std::abs(Number(Speed) - 3500) < 2; }));
    }

    void dynamicsButtonsMoveTheirGain_data()
    {
        QTest::addColumn<QString>("gain");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("direction");

        QTest::newRow("off-line P raise") << "D_SPD_DYN.P_GAIN_OFF.RAMP" << "D_SPD_DYN.RQV_OFF_LN.IN_4" << 1;
        QTest::newRow("off-line P fast lower") << "D_SPD_DYN.P_GAIN_OFF.RAMP" << "D_SPD_DYN.RQV_OFF_LN.IN_2" << -1;
        QTest::newRow("off-line I fast raise") << "D_SPD_DYN.I_GAIN_OF.RAMP" << "D_SPD_DYN.RQV_OFF_LN.IN_7" << 1;
        QTest::newRow("on-line DR raise") << "D_SPD_DYN.D_GAIN_ON.RAMP" << "D_SPD_DYN.RQV_ON_LN.IN_12" << 1;
        QTest::newRow("on-line P lower") << "D_SPD_DYN.P_GAIN_ON.RAMP" << "D_SPD_DYN.RQV_ON_LN.IN_1" << -1;
        QTest::newRow("extraction P lower") << "EXTR_DYN.P_GAIN.RAMP" << "EXTR_DYN.RQV_P_GAIN.IN_1" << -1;
        QTest::newRow("cascade I fast raise") << "F_CAS_DYN.I_GAIN.RAMP" << "F_CAS_DYN.RQV_I_GAIN.IN_3" << 1;
        QTest::newRow("auxiliary DR raise") << "G_AUX_DYN.D_GAIN.RAMP" << "G_AUX_DYN.RQV_D_GAIN.IN_4" << 1;
    }

    void dynamicsButtonsMoveTheirGain()
    {
        QFETCH(QString, gain);
        QFETCH(QString, button);
        QFETCH(int, direction);
        const double before = Number(gain);
        QVERIFY(before > 0);
        QVERIFY(HoldUntil(button, [&] { return (Number(gain) - before) * direction > before * 0.05; }));
    }

    void overspeedTestEndsInATrip()
    {
        QVERIFY(Pulse(QStringLiteral("D_MPU.CNTL_H_RST.IN_1")));
        QVERIFY(WaitFor([&] { return Number(QStringLiteral("D_MPU.SPEED_HOLD.A_MAX")) < 3510; }));

        // Without the test the setpoint stops at the top of the governor range.
        QVERIFY(Write(QStringLiteral("D_ENTR_SPD.PC_SMP_TUN.TUNE"), QStringLiteral("3780")));
        QVERIFY(Pulse(QStringLiteral("D_SPD_R_L.RQV.IN_3")));
        QVERIFY(WaitFor([&] { return Number(Setpoint) == 3780; }));

        QVERIFY(Pulse(QStringLiteral("D_OSPD_EN.RQV_EN_E.TRIGGER")));
        QCOMPARE(Text(QStringLiteral("D_OSPD_EN.TST_STATUS.B_TO_STR")), QStringLiteral("4812 Test Enabled"));
        QCOMPARE(Text(Status), QStringLiteral("Overspeed Test"));
        QVERIFY(HoldUntil(QStringLiteral("D_SPD_R_L.RQV.IN_1"),
                          [&] { return Text(Status) == QLatin1String("Turbine Shutdown"); }));

        QVERIFY(Text(QStringLiteral("D_OSPD_EN.TST_STATUS.B_TO_STR")).startsWith(QLatin1String("Tripped At ")));
        QVERIFY(Number(QStringLiteral("D_MPU.SPEED_HOLD.A_MAX")) >= 3960);
        QCOMPARE(Text(QStringLiteral("Y_ALARMS.ALARMS.MSG_O_1")), QStringLiteral("Overspeed Trip"));
        QCOMPARE(Text(QStringLiteral("Y_ALARMS.ALARMS.MSG_O_2")), QStringLiteral("Overspeed Alarm"));
        QCOMPARE(Text(AlarmCount), QStringLiteral("2"));
        QCOMPARE(Text(QStringLiteral("X_ELOG.T.MESG_O_1")), QStringLiteral("Overspeed Trip"));
        QCOMPARE(Text(QStringLiteral("Y_ALARMS.ALARMS.EV_TM_1")), Text(QStringLiteral("X_ELOG.T.EV_TM_1")));

        // Clearing takes the peak down to the coasting speed.
        QVERIFY(WaitFor([&] { return Number(Speed) < 3900; }));
        QVERIFY(Pulse(QStringLiteral("D_MPU.CNTL_H_RST.IN_1")));
        QVERIFY(WaitFor([&] { return Number(QStringLiteral("D_MPU.SPEED_HOLD.A_MAX")) < 3900; }));
    }

    void resetAlarmsEmptiesTheListAndRestartsTheWindowsLists()
    {
        const QString clearMark = QStringLiteral("X_RESET.CLR_EVNT_L.B_SW");
        QVERIFY(m_control->StartAdvise(clearMark));
        QVERIFY(m_control->StartAdvise(AlarmCount));
        QVERIFY(Pulse(ResetButton));
        QVERIFY(WaitFor([&] { return m_control->Advised(clearMark).contains(QStringLiteral("1")); }));
        QVERIFY(WaitFor([&] { return m_control->LastAdvised(clearMark) == QStringLiteral("0"); }));
        QCOMPARE(m_control->LastAdvised(AlarmCount).value_or(QString()), QStringLiteral("0"));
        QCOMPARE(Text(QStringLiteral("Y_ALARMS.ALARMS.MSG_O_1")), QString());
        // The rotor still coasts: the trip holds, "Start" is not offered.
        QCOMPARE(Text(Status), QStringLiteral("Turbine Shutdown"));
        QCOMPARE(Text(QStringLiteral("I_START.NOT_STRTD.NOT")), QStringLiteral("0"));
        QVERIFY(m_control->StopAdvise(clearMark));
        QVERIFY(m_control->StopAdvise(AlarmCount));
    }

    void historiesReadToTheirEnd_data()
    {
        QTest::addColumn<QString>("timePrefix");
        QTest::addColumn<QString>("messagePrefix");
        QTest::addColumn<int>("length");
        QTest::addColumn<QStringList>("newest");
        QTest::newRow("alarm history") << "X_EVENTLOG.A.EV_TM_" << "X_EVENTLOG.A.MESG_O_" << 100
                                       << QStringList{"Overspeed Trip", "Overspeed Alarm", "Power Up Trip"};
        QTest::newRow("trip history") << "X_ELOG.T.EV_TM_" << "X_ELOG.T.MESG_O_" << 20
                                      << QStringList{"Overspeed Trip", "Power Up Trip"};
    }

    void historiesReadToTheirEnd()
    {
        QFETCH(QString, timePrefix);
        QFETCH(QString, messagePrefix);
        QFETCH(int, length);
        QFETCH(QStringList, newest);
        QStringList messages;
        for (int entry = 1; entry <= length; ++entry) {
            const auto time = m_control->RequestText(timePrefix + QString::number(entry));
            const auto message = m_control->RequestText(messagePrefix + QString::number(entry));
            QVERIFY2(time && message, qPrintable(QStringLiteral("entry %1 cannot be read").arg(entry)));
            QCOMPARE(time->isEmpty(), message->isEmpty());
            messages << *message;
        }
        QCOMPARE(messages.mid(0, newest.size()), newest);
        // Unused entries read empty.
        for (int entry = newest.size(); entry < length; ++entry)
            QCOMPARE(messages.at(entry), QString());
        QVERIFY(!m_control->RequestText(messagePrefix + QString::number(length + 1)));
    }

    void valveCalibrationOnlyWhileShutDown()
    {
        const QString message = QStringLiteral("I_STRK_V1.ACT1_MSG.MSG_SEL");
        const QString position = QStringLiteral("I_V1DRIVER.ACTR_LMTR.A_LIMITER");
        const QString maxCurrent = QStringLiteral("I_V1_SCALE.SEL_MAX.A_SW");
        const QString minCurrent = QStringLiteral("I_V1_SCALE.SEL_MIN.A_SW");
        QVERIFY(StartToIdle());
        QCOMPARE(Text(message), QStringLiteral("0"));
        QVERIFY(Pulse(QStringLiteral("I_STRK_V1.RQV_EN.TRIGGER")));
        QCOMPARE(Text(message), QStringLiteral("5"));
        QCOMPARE(Text(QStringLiteral("I_STRK_V1.ACT1_MSG.B_TO_STR")), QStringLiteral("Trip Turbine To Stroke"));
        QCOMPARE(Text(QStringLiteral("I_STRK_V2.ACT2_MSG.MSG_SEL")), QStringLiteral("6")); // single valve

        QVERIFY(TripAndStop());
        QVERIFY(Pulse(QStringLiteral("I_STRK_V1.RQV_EN.TRIGGER")));
        QCOMPARE(Text(message), QStringLiteral("1"));
        // A stroking valve keeps the turbine from being reset.
        QVERIFY(Pulse(ResetButton));
        QCOMPARE(Text(Status), QStringLiteral("Turbine Shutdown"));

        QVERIFY(Write(QStringLiteral("I_STRK_V1.MANL_HOLD.TUNE"), QStringLiteral("40")));
        QVERIFY(Pulse(QStringLiteral("I_STRK_V1.RQV.IN_1")));
        QVERIFY(WaitFor([&] { return Number(position) == 40; }));
        QVERIFY(WaitForText(message, QStringLiteral("2")));

        QVERIFY(Pulse(QStringLiteral("I_STRK_V1.RQV.IN_3")));
        QVERIFY(WaitFor([&] { return Number(position) == 100; }));
        QVERIFY(WaitForText(QStringLiteral("I_STRK_V1.ACT1_MSG.B_TO_STR"), QStringLiteral("At Maximum")));
        const double max = Number(maxCurrent);
        QVERIFY(HoldUntil(QStringLiteral("I_V1_SCALE.RQV.IN_4"), [&] { return Number(maxCurrent) > max + 0.2; }));
        QVERIFY(WaitFor([&] { return std::abs(Number(QStringLiteral("A_HP_ACT.ACT_RM.RDBK_MA")) - Number(maxCurrent)) < 0.01; }));
        QVERIFY(HoldUntil(QStringLiteral("I_V1_SCALE.RQV.IN_3"), [&] { return Number(maxCurrent) < max; }));

        QVERIFY(Pulse(QStringLiteral("I_STRK_V1.RQV.IN_2")));
        QVERIFY(WaitFor([&] { return Number(position) == 0; }));
        QVERIFY(WaitForText(message, QStringLiteral("3")));
        const double min = Number(minCurrent);
        QVERIFY(HoldUntil(QStringLiteral("I_V1_SCALE.RQV.IN_2"), [&] { return Number(minCurrent) > min + 0.2; }));
        QVERIFY(HoldUntil(QStringLiteral("I_V1_SCALE.RQV.IN_1"), [&] { return Number(minCurrent) < min; }));

        QVERIFY(Pulse(QStringLiteral("I_STRK_V1.RQV_DIS.TRIGGER")));
        QCOMPARE(Text(message), QStringLiteral("0"));
        // Not stroking: the current buttons do nothing.
        const QString before = Text(minCurrent);
        QVERIFY(Write(QStringLiteral("I_V1_SCALE.RQV.IN_2"), QStringLiteral("1")));
        const bool timePassed = ControlTimePasses();
        QVERIFY(Write(QStringLiteral("I_V1_SCALE.RQV.IN_2"), QStringLiteral("0")));
        QVERIFY(timePassed);
        QCOMPARE(Text(minCurrent), before);
    }

    void clockIsSetFieldByFieldOrWhole()
    {
        const struct {
            const char* editor;
            const char* value;
        } fields[] = {{"MAIN.YEAR_SW.NC", "2030"}, {"MAIN.MONTH_SW.NC", "2"}, {"MAIN.DAY_SW.NC", "28"},
                      {"MAIN.HOUR_SW.NC", "7"},    {"MAIN.MIN_SW.NC", "5"},   {"MAIN.SEC_SW.NC", "0"}};
        for (const auto& field : fields)
            QVERIFY(Write(QString::fromLatin1(field.editor), QString::fromLatin1(field.value)));
        QVERIFY(Pulse(QStringLiteral("MAIN.A_T_FLT.NC")));
        QVERIFY(WaitFor([&] { return Text(QStringLiteral("MAIN.SYS_TIME.T_NAME")).startsWith(QLatin1String("07:0")); }));
        QVERIFY(m_server->Simulate(QStringLiteral("alarm Clock Set")));
        QVERIFY(Text(QStringLiteral("Y_ALARMS.ALARMS.EV_TM_1")).startsWith(QLatin1String("28-Feb 07:0")));

        QVERIFY(Write(QStringLiteral("MAIN.HOUR_SW.NC"), QStringLiteral("19")));
        QVERIFY(Pulse(QStringLiteral("MAIN.PNL_HOURS.IN_1")));
        QVERIFY(WaitFor([&] { return Text(QStringLiteral("MAIN.SYS_TIME.T_NAME")).startsWith(QLatin1String("19:")); }));
        QVERIFY(Pulse(ResetButton));
    }

    void controlledShutdownTripsAtIdle()
    {
        const QString acknowledged = QStringLiteral("J_CTRLSTOP.ACK_STP_L.LATCH");
        const QString shutdownStatus = QStringLiteral("J_CTRLSTOP.CSTOP_STAT.B_TO_STR");
        QVERIFY(StartToIdle());
        QVERIFY(Pulse(QStringLiteral("D_IDLE_RTD.RQV_EN.TRIGGER")));
        QVERIFY(WaitForText(IdleRated, QStringLiteral("At Rated")));
        QVERIFY(m_control->StartAdvise(acknowledged));
        QVERIFY(m_control->StartAdvise(shutdownStatus));
        QVERIFY(WaitFor([&] { return m_control->LastAdvised(acknowledged) == QStringLiteral("0"); }));
        QVERIFY(Pulse(QStringLiteral("J_CTRLSTOP.RQV_EN.TRIGGER")));
        QVERIFY(WaitForText(shutdownStatus, QStringLiteral("Shutdown Complete")));
        // On the way: "Abort" shown, the shutdown under way, the setpoint down to idle.
        QCOMPARE(m_control->Advised(acknowledged), (QStringList{"0", "1", "0"}));
        QVERIFY(m_control->Advised(shutdownStatus).contains(QStringLiteral("In Progress")));
        QVERIFY(m_control->StopAdvise(acknowledged));
        QVERIFY(m_control->StopAdvise(shutdownStatus));
        QCOMPARE(Text(Status), QStringLiteral("Turbine Shutdown"));
        QCOMPARE(Text(QStringLiteral("X_ELOG.T.MESG_O_1")), QStringLiteral("Controlled Shutdown Complete"));
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

    void automaticSequenceHoldsHaltsAndContinues()
    {
        const QString state = QStringLiteral("D_AUTOSTAT.AUTO_STRT.MSG_SEL");
        const QString running = QStringLiteral("D_AUTOENBL.AUTO_STRT.LATCH_R");
        QVERIFY(TripAndStop());
        QVERIFY(Write(QStringLiteral("C_START.TO_RATED.IN"), QStringLiteral("4")));
        for (const char* delay : {"C_AUTOSEQ.LO_DLY_C.TUNE", "C_AUTOSEQ.LO_DLY_H.TUNE", "C_AUTOSEQ.HI_DLY_C.TUNE",
                                  "C_AUTOSEQ.HI_DLY_H.TUNE"})
            QVERIFY(Write(QString::fromLatin1(delay), QStringLiteral("1")));
        QVERIFY(Pulse(ResetButton));
        QVERIFY(WaitForText(Status, QStringLiteral("Ready To Start")));
        QVERIFY(WaitForText(QStringLiteral("D_AUTOSTRT.LO_DLY_MIN.MULTIPLY"), QStringLiteral("1")));
        QCOMPARE(Text(state), QStringLiteral("0"));
        QVERIFY(OpenLimiter());
        QVERIFY(m_control->StartAdvise(state));
        QVERIFY(WaitFor([&] { return m_control->LastAdvised(state) == QStringLiteral("0"); }));
        QVERIFY(Pulse(StartButton));
        QVERIFY(WaitForText(state, QStringLiteral("7")));
        // Ramping to low idle, then holding there.
        QCOMPARE(m_control->Advised(state), (QStringList{"0", "1", "7"}));
        QVERIFY(m_control->StopAdvise(state));
        QCOMPARE(Text(running), QStringLiteral("1")); // "Halt" shown
        QCOMPARE(Text(QStringLiteral("D_AUTOSTAT.AUTO_STRT.B_TO_STR")), QStringLiteral("Holding At Low Idle"));
        QVERIFY(WaitFor([&] { return Number(QStringLiteral("D_IFACE_O.DLY_LO.A_NAME")) < 1; }));
        QVERIFY(Pulse(QStringLiteral("D_AUTOENBL.RQV_DIS.TRIGGER")));
        QCOMPARE(Text(state), QStringLiteral("10"));
        QCOMPARE(Text(running), QStringLiteral("0")); // "Continue" shown
        QVERIFY(Pulse(QStringLiteral("D_AUTOENBL.RQV_EN.TRIGGER")));
        QCOMPARE(Text(state), QStringLiteral("7"));

        QVERIFY(WaitForText(state, QStringLiteral("8")));
        QVERIFY(Number(QStringLiteral("D_IFACE_O.DLY_HI.A_NAME")) > 0);
        QCOMPARE(Text(QStringLiteral("D_IFACE_O.DLY_LO.A_NAME")), QStringLiteral("0"));
        QVERIFY(Pulse(QStringLiteral("D_AUTOENBL.RQV_DIS.TRIGGER")));
        QCOMPARE(Text(state), QStringLiteral("9"));
        QVERIFY(Pulse(QStringLiteral("D_AUTOENBL.RQV_EN.TRIGGER")));
        QVERIFY(WaitForText(state, QStringLiteral("4")));
        QCOMPARE(Text(running), QStringLiteral("1")); // not halted: "Halt" is offered
        QVERIFY(WaitFor([&] { return std::abs(Number(Speed) - 3600) < 2; }));
    }
};

QTEST_MAIN(TestRunModeScenario)
#include "tst_runscenario.moc"
