// The simulated turbine, driven through the control's values as the program
// and the server drive it: commands are written and then reported as written,
// time advances in ticks of the server.

#include "server/ControlValues.h"
#include "server/TurbineModel.h"
#include "tests/support/TestRunner.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTest>

#include <functional>

namespace {

constexpr double Tick = 0.1; // control seconds per server tick

// The control's values: every item of the control database with its default,
// plus the configuration a test defines.
class TFakeValues : public TControlValues {
public:
    TFakeValues()
    {
        const QDir folder(QStringLiteral(TURVISTA_SOURCE_DIR "/server/db"));
        for (const QString& file : folder.entryList({QStringLiteral("*.items")}, QDir::Files)) {
            QFile source(folder.filePath(file));
            if (!source.open(QIODevice::ReadOnly | QIODevice::Text))
                continue;
            while (!source.atEnd()) {
                const QString line = QString::fromLatin1(source.readLine()).trimmed();
                if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                    continue;
                const QStringList fields = line.split(QLatin1Char('|'));
                if (fields.size() < 6)
                    continue;
                items.insert(fields[0].trimmed().toUpper(), fields[5].trimmed());
                known.insert(fields[0].trimmed().toUpper());
            }
        }
    }

    bool Has(const QString& name) const override { return Use(name).contains(name.toUpper()); }
    QString Text(const QString& name) const override { return Use(name).value(name.toUpper()); }
    double Number(const QString& name) const override { return Text(name).toDouble(); }
    bool Flag(const QString& name) const override
    {
        const QString text = Text(name);
        return text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 || text.toDouble() != 0;
    }
    void SetText(const QString& name, const QString& text) override { Use(name).insert(name.toUpper(), text); }
    void SetNumber(const QString& name, double value) override { SetText(name, QString::number(value, 'g', 10)); }
    void SetFlag(const QString& name, bool value) override { SetText(name, value ? QStringLiteral("1") : QStringLiteral("0")); }

    // Overrides an item's value, as a configuration would.
    void Define(const QString& name, const QString& value) { items.insert(name.toUpper(), value); }

    QHash<QString, QString> items;
    QSet<QString> known;           // the control database's items
    bool recording = false;
    mutable QSet<QString> asked;   // while recording: every name the model used

private:
    QHash<QString, QString>& Use(const QString& name) const
    {
        if (recording)
            asked.insert(name.toUpper());
        return const_cast<QHash<QString, QString>&>(items);
    }
};

// The program's side: writes, one-shot pulses, held momentary buttons, ticks.
class TDriver {
public:
    TDriver()
        : model(values)
    {
        // A fixed configuration, so that the tests do not depend on database defaults.
        const std::pair<const char*, const char*> configuration[] = {
            {"C_APPL.TURB_TYPE.IN", "1"}, {"C_APPL.APPL_TYPE.IN", "2"}, {"C_START.START_CONF.IN", "3"},
            {"C_START.TO_RATED.IN", "3"}, {"C_START.RT_TO_MIN.IN", "25"}, {"C_START.SLOW_RATE.IN", "2"},
            {"C_START.USE_INITV1.IN", "0"}, {"C_IDLE_RTD.IDLE_SETPT.TUNE", "1000"},
            {"C_IDLE_RTD.RTD_SETPT.TUNE", "3600"}, {"C_IDLE_RTD.IDLRTDRATE.TUNE", "25"},
            {"C_SPDSETPT.MIN_GOV_SP.TUNE", "3200"}, {"C_SPDSETPT.MAX_GOV_SP.TUNE", "3780"},
            {"C_SPDSETPT.OSPD_TRIP.TUNE", "3960"}, {"C_SPDSETPT.OSPD_LIMIT.TUNE", "4000"},
            {"C_SPDSETPT.SLOW_RATE.TUNE", "10"}, {"C_SPDSETPT.F_SPD_RATE.TUNE", "50"},
            {"C_SPDSETPT.FAST_DLY.IN", "3"}, {"C_SPDSETPT.ENT_RATE.TUNE", "20"},
            {"C_CRIT_SPD.USE_BAND1.IN", "1"}, {"C_CRIT_SPD.USE_BAND2.IN", "0"},
            {"C_CRIT_SPD.BAND1_MIN.TUNE", "1800"}, {"C_CRIT_SPD.BAND1_MAX.TUNE", "2200"},
            {"C_CRIT_SPD.CRIT_RATE.TUNE", "100"}, {"C_SPD_CTRL.OSPD_ALM.TUNE", "3870"},
        };
        for (const auto& [name, value] : configuration)
            values.Define(QString::fromLatin1(name), QString::fromLatin1(value));
    }

    void Define(const char* name, double value) { values.Define(QString::fromLatin1(name), QString::number(value)); }
    void Write(const char* name, double value)
    {
        values.SetNumber(QString::fromLatin1(name), value);
        model.Written(QString::fromLatin1(name));
    }
    void Pulse(const char* name)
    {
        Write(name, 1);
        Run(Tick);
        Write(name, 0);
    }
    void Hold(const char* name, double seconds)
    {
        Write(name, 1);
        Run(seconds);
        Write(name, 0);
    }
    void Run(double seconds)
    {
        for (double t = 0; t < seconds - 1e-9; t += Tick)
            model.Step(Tick);
    }
    // Runs until the condition holds, at most the given control time; false when it never did.
    bool RunUntil(const std::function<bool()>& condition, double seconds)
    {
        for (double t = 0; t < seconds; t += Tick) {
            if (condition())
                return true;
            model.Step(Tick);
        }
        return condition();
    }
    double Number(const char* name) const { return values.Number(QString::fromLatin1(name)); }
    QString Text(const char* name) const { return values.Text(QString::fromLatin1(name)); }
    bool Flag(const char* name) const { return values.Flag(QString::fromLatin1(name)); }
    double Speed() const { return Number("AA_MONITOR.SPEED.A_NAME"); }
    double Setpoint() const { return Number("AA_MONITOR.SPD_SETPT.A_NAME"); }
    bool Tripped() const { return Text("J_CONTROL.CNTRL_MESS.B_TO_STR") == QLatin1String("Turbine Shutdown"); }

    // Messages of a list read as the Run mode window reads it, entry by entry.
    QStringList Entries(const QString& prefix, int count) const
    {
        QStringList messages;
        for (int entry = 1; entry <= count; ++entry)
            messages << values.Text(prefix + QString::number(entry));
        while (!messages.isEmpty() && messages.last().isEmpty())
            messages.removeLast();
        return messages;
    }
    QStringList CurrentAlarms() const
    {
        return Entries(QStringLiteral("Y_ALARMS.ALARMS.MSG_O_"), int(Number("Y_ALARMS.ALARMS.NUM_EVENTS")));
    }
    QStringList AlarmHistory() const { return Entries(QStringLiteral("X_EVENTLOG.A.MESG_O_"), 100); }
    QStringList TripHistory() const { return Entries(QStringLiteral("X_ELOG.T.MESG_O_"), 20); }

    void ResetAndStart()
    {
        model.Start();
        Pulse("X_RESET.RQV.IN_1");
        Pulse("I_START.RQV_EN.TRIGGER");
    }
    // Reset, start and settle at idle; false when idle is not reached.
    bool ToIdle()
    {
        ResetAndStart();
        const bool idle = RunUntil([this] { return std::abs(Speed() - 1000) < 2 && Setpoint() == 1000; }, 120);
        Run(20);
        return idle;
    }
    // From reset to a settled rated speed with the idle/rated command.
    bool ToRated()
    {
        if (!ToIdle())
            return false;
        Pulse("D_IDLE_RTD.RQV_EN.TRIGGER");
        const bool rated = RunUntil([this] { return Text("C_IDLE_RTD.IDL_RTD.B_TO_STR") == QLatin1String("At Rated"); }, 200);
        Run(30);
        return rated && std::abs(Speed() - 3600) < 1;
    }
    void SetClock(int year, int month, int day, int hour, int minute, int second)
    {
        Write("MAIN.YEAR_SW.NC", year);
        Write("MAIN.MONTH_SW.NC", month);
        Write("MAIN.DAY_SW.NC", day);
        Write("MAIN.HOUR_SW.NC", hour);
        Write("MAIN.MIN_SW.NC", minute);
        Write("MAIN.SEC_SW.NC", second);
        Write("MAIN.A_T_FLT.NC", 1);
        Write("MAIN.A_T_FLT.NC", 0);
    }

    TFakeValues values;
    TTurbineModel model;
};

} // namespace


// ---------------------------------------------------------------------------

class TestTurbineStart : public QObject {
    Q_OBJECT

private slots:
    void powerUpLeavesTheTurbineTripped()
    {
        TDriver t;
        t.model.Start();
        QVERIFY(t.model.IsShutDown());
        QVERIFY(t.Tripped());
        QCOMPARE(t.Text("I_START.NOT_STRTD.NOT"), QStringLiteral("0")); // "Start" waits for a reset
        QCOMPARE(t.Text("Z_CPU_COM.EN_CONFIG.OR"), QStringLiteral("1"));
        QCOMPARE(t.TripHistory().value(0), QStringLiteral("Power Up Trip"));
        QCOMPARE(t.CurrentAlarms(), QStringList{QStringLiteral("Power Up Trip")});

        // Without a reset the start command is ignored.
        t.Pulse("I_START.RQV_EN.TRIGGER");
        t.Run(20);
        QCOMPARE(t.Speed(), 0.0);
        QVERIFY(t.model.IsShutDown());
    }

    void resetAndStartReachIdleThenRated()
    {
        TDriver t;
        t.model.Start();
        t.Pulse("X_RESET.RQV.IN_1");
        QCOMPARE(t.Text("J_CONTROL.CNTRL_MESS.B_TO_STR"), QStringLiteral("Ready To Start"));
        QCOMPARE(t.Text("I_START.NOT_STRTD.NOT"), QStringLiteral("1"));
        t.Pulse("I_START.RQV_EN.TRIGGER");
        QCOMPARE(t.Text("I_START.NOT_STRTD.NOT"), QStringLiteral("0"));
        QVERIFY(!t.model.IsShutDown());

        QVERIFY(t.RunUntil([&] { return std::abs(t.Speed() - 1000) < 2 && t.Setpoint() == 1000; }, 120));
        t.Run(30);
        QVERIFY(std::abs(t.Speed() - 1000) < 1);
        QCOMPARE(t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR"), QStringLiteral("Idle Selected"));

        t.Pulse("D_IDLE_RTD.RQV_EN.TRIGGER");
        QCOMPARE(t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR"), QStringLiteral("Ramping To Rated"));
        double inBand = 0;
        QVERIFY(t.RunUntil([&] {
            if (t.Setpoint() > 1800 && t.Setpoint() < 2200)
                inBand += Tick;
            return t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR") == QLatin1String("At Rated");
        }, 200));
        // The critical band (1800 to 2200 rpm) is crossed at its rate of 100 rpm/s.
        QVERIFY2(inBand <= 5, qPrintable(QString::number(inBand)));
        t.Run(30);
        QVERIFY(std::abs(t.Speed() - 3600) < 1);
        QCOMPARE(t.Text("J_CONTROL.CNTRL_MESS.B_TO_STR"), QStringLiteral("Speed Control"));

        t.Pulse("D_IDLE_RTD.RQV_DSBL.TRIGGER");
        QVERIFY(t.RunUntil([&] { return std::abs(t.Speed() - 1000) < 2; }, 200));
        QCOMPARE(t.Setpoint(), 1000.0);
    }

    void startRoutines_data()
    {
        QTest::addColumn<int>("routine");
        QTest::addColumn<double>("limiterAfter5s");
        QTest::addColumn<bool>("turnsBeforeOperatorOpensLimiter");
        QTest::newRow("manual: limiter open at once") << 1 << 100.0 << true;
        QTest::newRow("semiautomatic: operator opens the limiter") << 2 << 0.0 << false;
        QTest::newRow("automatic: limiter ramps at 2 %/s") << 3 << 10.0 << true;
    }
    void startRoutines()
    {
        QFETCH(int, routine);
        QFETCH(double, limiterAfter5s);
        QFETCH(bool, turnsBeforeOperatorOpensLimiter);
        TDriver t;
        t.Define("C_START.START_CONF.IN", routine);
        t.ResetAndStart();
        t.Run(5 - Tick);
        QVERIFY(std::abs(t.Number("AA_MONITOR.HP_LIMITER.A_NAME") - limiterAfter5s) < 0.3);
        t.Run(20);
        QCOMPARE(t.Speed() > 100, turnsBeforeOperatorOpensLimiter);

        t.Hold("I_V1_LMTR.RQV.IN_2", 10);
        QVERIFY(t.Number("AA_MONITOR.HP_LIMITER.A_NAME") >= 20);
        QVERIFY(t.RunUntil([&] { return std::abs(t.Speed() - 1000) < 5; }, 120));
    }

    void initialValvePositionWaitsForOpenLimiter()
    {
        TDriver t;
        t.Define("C_START.USE_INITV1.IN", 1);
        t.Define("C_START.INIT_V1POS.IN", 20);
        t.ResetAndStart();
        t.Run(30);
        QCOMPARE(t.Number("AA_MONITOR.HP_LIMITER.A_NAME"), 20.0);
        QCOMPARE(t.Text("I_V1_STRT.USE_INITV1.B_NAME"), QStringLiteral("1"));
        QCOMPARE(t.Text("I_V1_LMTR.VLV_RAMP.P_LIM_1"), QStringLiteral("0")); // "Open Limiter" shown

        t.Pulse("I_START.RQV_EN.TRIGGER");
        t.Run(50);
        QCOMPARE(t.Number("AA_MONITOR.HP_LIMITER.A_NAME"), 100.0);
        QCOMPARE(t.Text("I_V1_LMTR.VLV_RAMP.P_LIM_1"), QStringLiteral("1"));
    }

    void automaticSequenceHoldsAtBothIdles()
    {
        TDriver t;
        t.Define("C_START.TO_RATED.IN", 4);
        for (const char* delay : {"C_AUTOSEQ.LO_DLY_C.TUNE", "C_AUTOSEQ.LO_DLY_H.TUNE", "C_AUTOSEQ.HI_DLY_C.TUNE", "C_AUTOSEQ.HI_DLY_H.TUNE"})
            t.Define(delay, 0.5);
        t.Define("C_AUTOSEQ.AUTO_HALT.IN", 0);
        t.ResetAndStart();
        QCOMPARE(t.Text("D_AUTOENBL.AUTO_STRT.LATCH_R"), QStringLiteral("1")); // "Halt" shown

        QList<int> states{int(t.Number("D_AUTOSTAT.AUTO_STRT.MSG_SEL"))};
        bool lowHoldCounted = false;
        QVERIFY(t.RunUntil([&] {
            const int state = int(t.Number("D_AUTOSTAT.AUTO_STRT.MSG_SEL"));
            if (state != states.last())
                states << state;
            if (state == 7 && t.Number("D_IFACE_O.DLY_LO.A_NAME") > 0 && t.Number("D_IFACE_O.DLY_LO.A_NAME") < 0.5)
                lowHoldCounted = true;
            return state == 4;
        }, 600));
        QCOMPARE(states, (QList<int>{1, 7, 2, 8, 3, 4}));
        QVERIFY(lowHoldCounted);
        QCOMPARE(t.Text("D_AUTOSTAT.AUTO_STRT.B_TO_STR"), QStringLiteral("Auto Seq Complete"));
        QCOMPARE(t.Text("D_AUTOENBL.AUTO_STRT.LATCH_R"), QStringLiteral("1")); // "Halt", for the next start
        t.Run(20);
        QVERIFY(std::abs(t.Speed() - 3600) < 2);
    }

    void idleRatedStatusFollowsTheOperator()
    {
        TDriver t;
        QVERIFY(t.ToIdle());
        QCOMPARE(t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR"), QStringLiteral("Idle Selected"));
        t.Hold("D_SPD_R_L.RQV.IN_1", 1);
        QVERIFY(t.Setpoint() > 1000);
        QCOMPARE(t.Number("C_IDLE_RTD.IDL_RTD.MSG_SEL"), 5.0); // "Idle/Rated Halted"
        t.Pulse("D_IDLE_RTD.RQV_DSBL.TRIGGER");
        QVERIFY(t.RunUntil([&] { return t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR") == QLatin1String("Idle Selected"); }, 60));
        t.Write("D_ENTR_SPD.PC_SMP_TUN.TUNE", 1200);
        t.Pulse("D_SPD_R_L.RQV.IN_3");
        QCOMPARE(t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR"), QStringLiteral("Idle/Rated Halted"));

        QVERIFY(t.ToRated());
        t.Pulse("J_CTRLSTOP.RQV_EN.TRIGGER");
        QCOMPARE(t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR"), QStringLiteral("Ramping To Idle"));
        t.Run(5);
        t.Pulse("J_CTRLSTOP.RQV_DIS.TRIGGER");
        QCOMPARE(t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR"), QStringLiteral("Idle/Rated Halted"));
    }

    void ratedStatusFollowsTheSetpoint_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<double>("entered");
        QTest::addColumn<QString>("status");
        QTest::newRow("raise") << QByteArray("D_SPD_R_L.RQV.IN_1") << 0.0 << QStringLiteral("Idle/Rated Halted");
        QTest::newRow("lower") << QByteArray("D_SPD_R_L.RQV.IN_2") << 0.0 << QStringLiteral("Idle/Rated Halted");
        QTest::newRow("enter other") << QByteArray("D_SPD_R_L.RQV.IN_3") << 3650.0 << QStringLiteral("Idle/Rated Halted");
        QTest::newRow("enter rated") << QByteArray("D_SPD_R_L.RQV.IN_3") << 3600.0 << QStringLiteral("At Rated");
    }

    void ratedStatusFollowsTheSetpoint()
    {
        QFETCH(QByteArray, command);
        QFETCH(double, entered);
        QFETCH(QString, status);
        TDriver t;
        QVERIFY(t.ToRated());
        if (entered > 0) {
            t.Write("D_ENTR_SPD.PC_SMP_TUN.TUNE", entered);
            t.Pulse(command.constData());
        } else {
            t.Hold(command.constData(), 1);
        }
        t.Run(10);
        QCOMPARE(t.Setpoint() != 3600, status != QLatin1String("At Rated"));
        QCOMPARE(t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR"), status);

        t.Pulse("D_IDLE_RTD.RQV_EN.TRIGGER");
        QVERIFY(t.RunUntil([&] { return t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR") == QLatin1String("At Rated"); }, 30));
        QCOMPARE(t.Setpoint(), 3600.0);
        QCOMPARE(t.Number("C_IDLE_RTD.IDL_RTD.MSG_SEL"), 4.0);
    }

    void haltBeforeTheStartHoldsTheStart()
    {
        TDriver t;
        t.Define("C_START.TO_RATED.IN", 4);
        t.model.Start();
        t.Pulse("X_RESET.RQV.IN_1");
        t.Pulse("D_AUTOENBL.RQV_DIS.TRIGGER");
        QCOMPARE(t.Text("D_AUTOENBL.AUTO_STRT.LATCH_R"), QStringLiteral("0")); // "Continue" shown
        QCOMPARE(t.Text("D_AUTOSTAT.AUTO_STRT.B_TO_STR"), QStringLiteral("Auto Seq Not Started"));

        t.Pulse("I_START.RQV_EN.TRIGGER");
        t.Run(30);
        QCOMPARE(t.Text("D_AUTOSTAT.AUTO_STRT.B_TO_STR"), QStringLiteral("Auto Seq Halted"));
        QCOMPARE(t.Setpoint(), 0.0);

        t.Pulse("D_AUTOENBL.RQV_EN.TRIGGER");
        QCOMPARE(t.Text("D_AUTOENBL.AUTO_STRT.LATCH_R"), QStringLiteral("1")); // "Halt" shown
        QCOMPARE(t.Text("D_AUTOSTAT.AUTO_STRT.B_TO_STR"), QStringLiteral("Ramping To Low Idle"));
        QVERIFY(t.RunUntil([&] { return t.Number("D_AUTOSTAT.AUTO_STRT.MSG_SEL") == 7; }, 120));
    }

    void haltAfterTheSequenceHoldsTheNextStart()
    {
        TDriver t;
        t.Define("C_START.TO_RATED.IN", 4);
        for (const char* delay : {"C_AUTOSEQ.LO_DLY_C.TUNE", "C_AUTOSEQ.LO_DLY_H.TUNE", "C_AUTOSEQ.HI_DLY_C.TUNE", "C_AUTOSEQ.HI_DLY_H.TUNE"})
            t.Define(delay, 0.1);
        t.ResetAndStart();
        QVERIFY(t.RunUntil([&] { return t.Number("D_AUTOSTAT.AUTO_STRT.MSG_SEL") == 4; }, 600));
        t.Pulse("D_AUTOENBL.RQV_DIS.TRIGGER");
        QCOMPARE(t.Text("D_AUTOENBL.AUTO_STRT.LATCH_R"), QStringLiteral("0"));
        QCOMPARE(t.Text("D_AUTOSTAT.AUTO_STRT.B_TO_STR"), QStringLiteral("Auto Seq Complete"));

        t.Pulse("X_TRIPS.RQV.IN_1");
        QVERIFY(t.RunUntil([&] { return t.Speed() < 0.5; }, 300));
        t.Pulse("X_RESET.RQV.IN_1");
        t.Pulse("I_START.RQV_EN.TRIGGER");
        QCOMPARE(t.Text("D_AUTOSTAT.AUTO_STRT.B_TO_STR"), QStringLiteral("Auto Seq Halted"));
        QCOMPARE(t.Text("D_AUTOENBL.AUTO_STRT.LATCH_R"), QStringLiteral("0"));
    }

    void haltAndContinueTheSequence()
    {
        TDriver t;
        t.Define("C_START.TO_RATED.IN", 4);
        t.Define("C_AUTOSEQ.LO_DLY_C.TUNE", 1);
        t.Define("C_AUTOSEQ.LO_DLY_H.TUNE", 1);
        t.ResetAndStart();
        QVERIFY(t.RunUntil([&] { return t.Number("D_AUTOSTAT.AUTO_STRT.MSG_SEL") == 7; }, 120));
        t.Pulse("D_AUTOENBL.RQV_DIS.TRIGGER");
        QCOMPARE(t.Number("D_AUTOSTAT.AUTO_STRT.MSG_SEL"), 10.0);
        QCOMPARE(t.Text("D_AUTOENBL.AUTO_STRT.LATCH_R"), QStringLiteral("0")); // "Continue" shown
        const double left = t.Number("D_IFACE_O.DLY_LO.A_NAME");
        t.Run(120);
        QCOMPARE(t.Number("D_IFACE_O.DLY_LO.A_NAME"), left); // a halted hold does not count down
        QCOMPARE(t.Setpoint(), 1000.0);

        t.Pulse("D_AUTOENBL.RQV_EN.TRIGGER");
        QCOMPARE(t.Number("D_AUTOSTAT.AUTO_STRT.MSG_SEL"), 7.0);
        QVERIFY(t.RunUntil([&] { return t.Number("D_AUTOSTAT.AUTO_STRT.MSG_SEL") == 2; }, 70));
    }
};

// ---------------------------------------------------------------------------

class TestTurbineSetpoints : public QObject {
    Q_OBJECT

private slots:
    void raiseAndLowerMoveTheSpeed()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        t.Write("D_SPD_R_L.RQV.IN_1", 1);
        t.Run(2);
        // The control leaves the command as written; the button ends it.
        QCOMPARE(t.Text("D_SPD_R_L.RQV.IN_1"), QStringLiteral("1"));
        t.Write("D_SPD_R_L.RQV.IN_1", 0);
        QVERIFY(std::abs(t.Setpoint() - 3620) < 1.1); // 10 rpm/s
        t.Run(20);
        QVERIFY(std::abs(t.Speed() - 3620) < 1);

        // Held beyond the fast delay of 3 s the setpoint moves at 50 rpm/s.
        t.Hold("D_SPD_R_L.RQV.IN_2", 4);
        QVERIFY(std::abs(t.Setpoint() - (3620 - 30 - 50)) < 6);
        t.Run(20);
        QVERIFY(t.Speed() < 3560);
    }

    void setpointStaysInTheGovernorRange()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        t.Hold("D_SPD_R_L.RQV.IN_1", 20);
        QCOMPARE(t.Setpoint(), 3780.0);
        t.Hold("D_SPD_R_L.RQV.IN_2", 30);
        QCOMPARE(t.Setpoint(), 3200.0);
        t.Run(30);
        QVERIFY(!t.Tripped());
    }

    void enteredSetpoint_data()
    {
        QTest::addColumn<double>("entered");
        QTest::addColumn<double>("reached");
        QTest::newRow("within range") << 3700.0 << 3700.0;
        QTest::newRow("above maximum governor") << 5000.0 << 3780.0;
        QTest::newRow("below minimum governor") << 500.0 << 3200.0;
    }
    void enteredSetpoint()
    {
        QFETCH(double, entered);
        QFETCH(double, reached);
        TDriver t;
        QVERIFY(t.ToRated());
        t.Write("D_ENTR_SPD.PC_SMP_TUN.TUNE", entered);
        t.Run(5);
        QCOMPARE(t.Setpoint(), 3600.0); // nothing happens before OK
        t.Pulse("D_SPD_R_L.RQV.IN_3");
        t.Run(2);
        QVERIFY(std::abs(t.Setpoint() - 3600) > 30); // ramps at 20 rpm/s
        QVERIFY(t.RunUntil([&] { return t.Setpoint() == reached; }, 60));
        t.Run(30);
        QVERIFY(std::abs(t.Speed() - reached) < 1);
    }

    void criticalBandIsNeverHeld()
    {
        TDriver t;
        QVERIFY(t.ToIdle());
        // An entered setpoint inside the band stops short of it.
        t.Write("D_ENTR_SPD.PC_SMP_TUN.TUNE", 2000);
        t.Pulse("D_SPD_R_L.RQV.IN_3");
        t.Run(60);
        QCOMPARE(t.Setpoint(), 1800.0);
        // Raising into the band carries the setpoint through it after the button is let go.
        t.Hold("D_SPD_R_L.RQV.IN_1", 0.5);
        QVERIFY(t.Setpoint() > 1800 && t.Setpoint() < 2200);
        t.Run(5);
        QCOMPARE(t.Setpoint(), 2200.0);
        t.Run(20);
        QVERIFY(std::abs(t.Speed() - 2200) < 2);
    }

    void limiterLimitsTheValveDemand()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        QVERIFY(t.Number("AA_MONITOR.HP_DEMAND.A_NAME") > 20); // rated without load needs about 30 %

        t.Write("I_V1_LMTR.ENTR_SP.TUNE", 15);
        t.Pulse("I_V1_LMTR.RQV.IN_3");
        t.Run(20);
        QVERIFY(t.Number("AA_MONITOR.HP_DEMAND.A_NAME") <= 15);
        QCOMPARE(t.Text("J_CONTROL.CNTRL_MESS.B_TO_STR"), QStringLiteral("Valve Limiter In Control"));
        QVERIFY(t.Speed() < 3400);

        t.Hold("I_V1_LMTR.RQV.IN_2", 10); // 2 %/s
        QVERIFY(std::abs(t.Number("AA_MONITOR.HP_LIMITER.A_NAME") - 35) < 0.5);
        QVERIFY(t.RunUntil([&] { return std::abs(t.Speed() - 3600) < 1; }, 60));
        QCOMPARE(t.Text("J_CONTROL.CNTRL_MESS.B_TO_STR"), QStringLiteral("Speed Control"));
        QVERIFY(t.Number("AA_MONITOR.HP_DEMAND.A_NAME") < 35);
    }
};

// ---------------------------------------------------------------------------

class TestTurbineProtection : public QObject {
    Q_OBJECT

private slots:
    void overspeedTestTripsAndIsLogged()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        t.SetClock(2024, 5, 17, 9, 30, 0);
        t.Hold("D_SPD_R_L.RQV.IN_1", 20);
        t.Pulse("D_OSPD_EN.RQV_EN_E.TRIGGER");
        QCOMPARE(t.Text("D_OSPD_EN.TST_STATUS.B_TO_STR"), QStringLiteral("4812 Test Enabled"));
        t.Write("D_SPD_R_L.RQV.IN_1", 1);
        QVERIFY(t.RunUntil([&] { return t.Tripped(); }, 60));
        t.Write("D_SPD_R_L.RQV.IN_1", 0);

        QVERIFY(t.Number("D_MPU.SPEED_HOLD.A_MAX") >= 3960);
        QVERIFY(t.Text("D_OSPD_EN.TST_STATUS.B_TO_STR").startsWith(QLatin1String("Tripped At 39")));
        QCOMPARE(t.TripHistory().value(0), QStringLiteral("Overspeed Trip"));
        QVERIFY(t.Text("X_ELOG.T.EV_TM_1").startsWith(QLatin1String("17-May 09:3")));
        QCOMPARE(t.CurrentAlarms(), (QStringList{QStringLiteral("Overspeed Trip"), QStringLiteral("Overspeed Alarm")}));
        QCOMPARE(t.AlarmHistory().mid(0, 2), (QStringList{QStringLiteral("Overspeed Trip"), QStringLiteral("Overspeed Alarm")}));
        QCOMPARE(t.Number("AA_MONITOR.HP_DEMAND.A_NAME"), 0.0);
        QVERIFY(!t.model.IsShutDown()); // still turning
    }

    void withoutTheTestSpeedStaysBelowTrip()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        t.Hold("D_SPD_R_L.RQV.IN_1", 60);
        t.Run(30);
        QVERIFY(!t.Tripped());
        QVERIFY(t.Number("D_MPU.SPEED_HOLD.A_MAX") < 3870);
        QVERIFY(!t.AlarmHistory().contains(QStringLiteral("Overspeed Alarm")));
    }

    void externalTestTripsOnTheExternalDevice()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        t.Hold("D_SPD_R_L.RQV.IN_1", 20);
        t.Pulse("D_OSPD_EN.RQV_EN.TRIGGER");
        t.Write("D_SPD_R_L.RQV.IN_1", 1);
        QVERIFY(t.RunUntil([&] { return t.Tripped(); }, 60));
        QCOMPARE(t.TripHistory().value(0), QStringLiteral("External Overspeed Trip"));
        QVERIFY(t.Number("D_MPU.SPEED_HOLD.A_MAX") > 3960);
    }

    void resetAlarmsClearsTheCurrentList()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        t.Pulse("X_TRIPS.RQV.IN_1");
        QCOMPARE(t.CurrentAlarms(), QStringList{QStringLiteral("RQV Shutdown Command")});
        const QStringList history = t.AlarmHistory();
        QCOMPARE(t.Text("I_START.NOT_STRTD.NOT"), QStringLiteral("0"));
        QVERIFY(t.RunUntil([&] { return t.model.IsShutDown(); }, 300));

        t.Write("X_RESET.RQV.IN_1", 1);
        QCOMPARE(t.Text("X_RESET.CLR_EVNT_L.B_SW"), QStringLiteral("1"));
        QCOMPARE(t.Number("Y_ALARMS.ALARMS.NUM_EVENTS"), 0.0);
        QCOMPARE(t.Text("Y_ALARMS.ALARMS.MSG_O_1"), QString());
        QCOMPARE(t.Text("Y_ALARMS.ALARMS.EV_TM_1"), QString());
        t.Run(Tick);
        t.Write("X_RESET.RQV.IN_1", 0);
        // The clear mark stays up a second, so that every advise loop hears it.
        QCOMPARE(t.Text("X_RESET.CLR_EVNT_L.B_SW"), QStringLiteral("1"));
        t.Run(1.0);
        QCOMPARE(t.Text("X_RESET.CLR_EVNT_L.B_SW"), QStringLiteral("0"));
        QCOMPARE(t.AlarmHistory(), history);
        QCOMPARE(t.TripHistory().value(0), QStringLiteral("RQV Shutdown Command"));
        QCOMPARE(t.Text("J_CONTROL.CNTRL_MESS.B_TO_STR"), QStringLiteral("Ready To Start"));
    }

    void aCoastingRotorKeepsTheTrip()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        t.Pulse("X_TRIPS.RQV.IN_1");
        t.Run(10);
        QVERIFY(t.Speed() > 1000);
        t.Pulse("X_RESET.RQV.IN_1");
        // The alarms are acknowledged, the trip stays until the rotor stands.
        QCOMPARE(t.CurrentAlarms(), QStringList());
        QVERIFY(t.Tripped());
        QCOMPARE(t.Text("I_START.NOT_STRTD.NOT"), QStringLiteral("0"));
        QVERIFY(t.RunUntil([&] { return t.model.IsShutDown(); }, 300));
        t.Pulse("X_RESET.RQV.IN_1");
        QCOMPARE(t.Text("J_CONTROL.CNTRL_MESS.B_TO_STR"), QStringLiteral("Ready To Start"));
        QCOMPARE(t.Text("I_START.NOT_STRTD.NOT"), QStringLiteral("1"));
    }

    void resetAcknowledgesTheOverspeedTestStatus()
    {
        TDriver t;
        t.Define("C_OSPD.MAX_TIME.IN", 1);
        const char* status = "D_OSPD_EN.TST_STATUS.B_TO_STR";
        QVERIFY(t.ToIdle());
        t.Pulse("D_OSPD_EN.RQV_EN_E.TRIGGER"); // below the governor range
        QCOMPARE(t.Text(status), QStringLiteral("Test Not Permitted"));
        t.Pulse("X_RESET.RQV.IN_1");
        QCOMPARE(t.Text(status), QStringLiteral("Test Disabled"));

        t.Pulse("D_IDLE_RTD.RQV_EN.TRIGGER");
        QVERIFY(t.RunUntil([&] { return t.Text("C_IDLE_RTD.IDL_RTD.B_TO_STR") == QLatin1String("At Rated"); }, 200));
        t.Run(30);
        t.Pulse("D_OSPD_EN.RQV_EN_E.TRIGGER");
        QCOMPARE(t.Text(status), QStringLiteral("4812 Test Enabled"));
        // A reset does not end a test that runs.
        t.Pulse("X_RESET.RQV.IN_1");
        QCOMPARE(t.Text(status), QStringLiteral("4812 Test Enabled"));
        QVERIFY(t.RunUntil([&] { return t.Text(status) == QLatin1String("Test Timed Out"); }, 70));
        QCOMPARE(t.CurrentAlarms().value(0), QStringLiteral("Overspeed Test Timed Out"));
        t.Pulse("X_RESET.RQV.IN_1");
        QCOMPARE(t.Text(status), QStringLiteral("Test Disabled"));
        QCOMPARE(t.Text("J_CONTROL.CNTRL_MESS.B_TO_STR"), QStringLiteral("Speed Control"));
    }

    void shutDownOnlyOnceTheRotorStands()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        QCOMPARE(t.Text("Z_CPU_COM.EN_CONFIG.OR"), QStringLiteral("0"));
        t.Pulse("X_TRIPS.RQV.IN_1");
        QVERIFY(t.Tripped());
        QVERIFY(!t.model.IsShutDown());
        QVERIFY(t.RunUntil([&] { return t.model.IsShutDown(); }, 300));
        QCOMPARE(t.Speed(), 0.0);
        QCOMPARE(t.Text("Z_CPU_COM.EN_CONFIG.OR"), QStringLiteral("1"));
    }

    void controlledShutdownEndsInATrip()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        t.Pulse("J_CTRLSTOP.RQV_EN.TRIGGER");
        QCOMPARE(t.Text("J_CTRLSTOP.ACK_STP_L.LATCH"), QStringLiteral("1"));
        QCOMPARE(t.Text("J_CTRLSTOP.CSTOP_STAT.B_TO_STR"), QStringLiteral("In Progress"));
        t.Run(20);
        QVERIFY(t.Speed() < 3450);
        QVERIFY(t.RunUntil([&] { return t.Tripped(); }, 400));
        QCOMPARE(t.TripHistory().value(0), QStringLiteral("Controlled Shutdown Complete"));
        QCOMPARE(t.Text("J_CTRLSTOP.CSTOP_STAT.B_TO_STR"), QStringLiteral("Shutdown Complete"));
        QCOMPARE(t.Text("J_CTRLSTOP.ACK_STP_L.LATCH"), QStringLiteral("0"));
    }

    void abortedShutdownKeepsRunning()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        t.Pulse("J_CTRLSTOP.RQV_EN.TRIGGER");
        t.Run(10);
        t.Pulse("J_CTRLSTOP.RQV_DIS.TRIGGER");
        const double held = t.Setpoint();
        QVERIFY(held < 3600);
        t.Run(60);
        QCOMPARE(t.Setpoint(), held);
        QVERIFY(!t.Tripped());
        QCOMPARE(t.Text("J_CTRLSTOP.CSTOP_STAT.B_TO_STR"), QStringLiteral("Aborted"));
    }

    void historiesKeepTheirLengthNewestFirst()
    {
        TDriver t;
        t.model.Start();
        for (int trip = 0; trip < 25; ++trip) {
            t.Pulse("X_RESET.RQV.IN_1");
            t.SetClock(2024, 1, 1, 0, trip, 0);
            t.Pulse("X_TRIPS.RQV.IN_1");
        }
        QCOMPARE(t.TripHistory().size(), 20);
        QVERIFY(t.Text("X_ELOG.T.EV_TM_1").startsWith(QLatin1String("01-Jan 00:24")));
        QVERIFY(t.Text("X_ELOG.T.EV_TM_20").startsWith(QLatin1String("01-Jan 00:05")));
        QCOMPARE(t.AlarmHistory().size(), 26); // with the power-up trip
        QCOMPARE(t.AlarmHistory().last(), QStringLiteral("Power Up Trip"));

        // Restarting the control keeps the histories and empties the current list.
        t.model.Start();
        QCOMPARE(t.TripHistory().value(1), QStringLiteral("RQV Shutdown Command"));
        QCOMPARE(t.CurrentAlarms(), QStringList{QStringLiteral("Power Up Trip")});
    }
};

// ---------------------------------------------------------------------------

class TestTurbineOperatorFunctions : public QObject {
    Q_OBJECT

private slots:
    void gainButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("gain");
        QTest::addColumn<double>("factorIn2s");
        // Gains change by 20 % per second of their value, 100 % when fast.
        QTest::newRow("raise off-line P") << "D_SPD_DYN.RQV_OFF_LN.IN_4" << "D_SPD_DYN.P_GAIN_OFF.RAMP" << std::exp(0.4);
        QTest::newRow("fast raise off-line P") << "D_SPD_DYN.RQV_OFF_LN.IN_3" << "D_SPD_DYN.P_GAIN_OFF.RAMP" << std::exp(2.0);
        QTest::newRow("lower off-line I") << "D_SPD_DYN.RQV_OFF_LN.IN_5" << "D_SPD_DYN.I_GAIN_OF.RAMP" << std::exp(-0.4);
        QTest::newRow("fast lower on-line DR") << "D_SPD_DYN.RQV_ON_LN.IN_10" << "D_SPD_DYN.D_GAIN_ON.RAMP" << std::exp(-2.0);
        QTest::newRow("raise on-line DR") << "D_SPD_DYN.RQV_ON_LN.IN_12" << "D_SPD_DYN.D_GAIN_ON.RAMP" << std::exp(0.4);
        QTest::newRow("raise extraction I") << "EXTR_DYN.RQV_I_GAIN.IN_4" << "EXTR_DYN.I_GAIN.RAMP" << std::exp(0.4);
        QTest::newRow("fast lower cascade P") << "F_CAS_DYN.RQV_P_GAIN.IN_2" << "F_CAS_DYN.P_GAIN.RAMP" << std::exp(-2.0);
        QTest::newRow("lower auxiliary DR") << "G_AUX_DYN.RQV_D_GAIN.IN_1" << "G_AUX_DYN.D_GAIN.RAMP" << std::exp(-0.4);
    }
    void gainButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, gain);
        QFETCH(double, factorIn2s);
        TDriver t;
        t.model.Start();
        const double before = t.values.Number(gain);
        QVERIFY(before > 0);
        t.Hold(button.toLatin1().constData(), 2);
        const double factor = t.values.Number(gain) / before;
        QVERIFY2(std::abs(factor / factorIn2s - 1) < 0.02, qPrintable(QString::number(factor)));
    }

    void gainsStayWithinTheirLimits()
    {
        TDriver t;
        t.model.Start();
        t.Hold("D_SPD_DYN.RQV_OFF_LN.IN_7", 10); // fast raise off-line I
        QCOMPARE(t.Number("D_SPD_DYN.I_GAIN_OF.RAMP"), 50.0);
        t.Hold("G_AUX_DYN.RQV_P_GAIN.IN_2", 10); // fast lower auxiliary P
        QCOMPARE(t.Number("G_AUX_DYN.P_GAIN.RAMP"), 0.01);
        t.Hold("G_AUX_DYN.RQV_P_GAIN.IN_4", 5); // and it raises again from there
        QVERIFY(t.Number("G_AUX_DYN.P_GAIN.RAMP") > 0.02);
    }

    void savedGainsSurviveARestart()
    {
        TDriver t;
        t.model.Start();
        t.Hold("D_SPD_DYN.RQV_OFF_LN.IN_4", 2);
        const double tuned = t.Number("D_SPD_DYN.P_GAIN_OFF.RAMP");
        t.model.Start();
        QVERIFY(t.Number("D_SPD_DYN.P_GAIN_OFF.RAMP") < tuned); // unsaved tuning is lost

        t.Hold("D_SPD_DYN.RQV_OFF_LN.IN_4", 2);
        t.Pulse("J_SAVETUNE.RQV.IN_1");
        t.model.Start();
        QVERIFY(std::abs(t.Number("D_SPD_DYN.P_GAIN_OFF.RAMP") - tuned) < 0.001);
    }

    void valveStrokingOnlyWhileShutDown()
    {
        TDriver t;
        QVERIFY(t.ToIdle());
        t.Pulse("I_STRK_V1.RQV_EN.TRIGGER");
        QCOMPARE(t.Number("I_STRK_V1.ACT1_MSG.MSG_SEL"), 5.0);
        t.Pulse("X_TRIPS.RQV.IN_1");
        QVERIFY(t.RunUntil([&] { return t.model.IsShutDown(); }, 200));
        // Once the turbine stands tripped the demand is met: stroking waits for Enable.
        t.Run(Tick);
        QCOMPARE(t.Text("I_STRK_V1.ACT1_MSG.B_TO_STR"), QStringLiteral("Stroking Disabled"));

        t.Pulse("I_STRK_V1.RQV_EN.TRIGGER");
        QCOMPARE(t.Number("I_STRK_V1.ACT1_MSG.MSG_SEL"), 1.0);
        QCOMPARE(t.Text("I_STRK_V1.ACT1_MSG.B_TO_STR"), QStringLiteral("Stroking Enabled"));
        t.Pulse("I_STRK_V1.RQV.IN_3"); // Go Max
        // On its way the valve is not yet "At Maximum".
        QCOMPARE(t.Text("I_STRK_V1.ACT1_MSG.B_TO_STR"), QStringLiteral("Stroking Enabled"));
        t.Run(2);
        QCOMPARE(t.Number("I_STRK_V1.ACT1_MSG.MSG_SEL"), 1.0);
        t.Run(8);
        QCOMPARE(t.Number("I_STRK_V1.ACT1_MSG.MSG_SEL"), 4.0);
        QCOMPARE(t.Number("I_V1DRIVER.ACTR_LMTR.A_LIMITER"), 100.0);
        QCOMPARE(t.Number("A_HP_ACT.ACT_RM.RDBK_MA"), 20.0);
        QCOMPARE(t.Speed(), 0.0); // no steam while tripped

        t.Hold("I_V1_SCALE.RQV.IN_4", 2); // raise the current at 100 %
        QVERIFY(std::abs(t.Number("I_V1_SCALE.SEL_MAX.A_SW") - 20.2) < 0.011);
        QCOMPARE(t.Number("A_HP_ACT.ACT_RM.RDBK_MA"), t.Number("I_V1_SCALE.SEL_MAX.A_SW"));

        // A reset does not end stroking, nor may the turbine start.
        t.Pulse("X_RESET.RQV.IN_1");
        QVERIFY(t.Tripped());

        t.Write("I_STRK_V1.MANL_HOLD.TUNE", 40);
        t.Pulse("I_STRK_V1.RQV.IN_1"); // Go Man
        QCOMPARE(t.Number("I_STRK_V1.ACT1_MSG.MSG_SEL"), 1.0);
        t.Run(10);
        QCOMPARE(t.Number("I_V1DRIVER.ACTR_LMTR.A_LIMITER"), 40.0);
        QCOMPARE(t.Text("I_STRK_V1.ACT1_MSG.B_TO_STR"), QStringLiteral("At Manual Position"));
        t.Pulse("J_SAVETUNE.RQV.IN_1");
        QVERIFY(std::abs(t.Number("I_V1_SCALE.INIT_4_20M.TUNE") - 20.2) < 0.011);

        t.Pulse("I_STRK_V1.RQV_DIS.TRIGGER");
        t.Run(2);
        QCOMPARE(t.Number("I_STRK_V1.ACT1_MSG.MSG_SEL"), 0.0);
        QCOMPARE(t.Number("I_V1DRIVER.ACTR_LMTR.A_LIMITER"), 0.0);

        // A single valve turbine has no LP valve to stroke.
        t.Pulse("I_STRK_V2.RQV_EN.TRIGGER");
        QCOMPARE(t.Number("I_STRK_V2.ACT2_MSG.MSG_SEL"), 6.0);
    }

    void clockIsSetFromTheTimeAndDateWindow()
    {
        TDriver t;
        t.model.Start();
        t.SetClock(2024, 2, 29, 23, 59, 58);
        t.Run(Tick);
        QCOMPARE(t.Text("MAIN.SYS_TIME.T_NAME"), QStringLiteral("23:59:58"));
        t.Run(3);
        QCOMPARE(t.Text("MAIN.SYS_TIME.T_NAME"), QStringLiteral("00:00:01"));
        t.Pulse("X_RESET.RQV.IN_1");
        t.Pulse("X_TRIPS.RQV.IN_1");
        QCOMPARE(t.Text("X_ELOG.T.EV_TM_1"), QStringLiteral("01-Mar 00:00:01"));

        // Fields one by one; a day the month lacks becomes its last day.
        t.SetClock(2024, 2, 29, 12, 0, 0);
        t.Write("MAIN.YEAR_SW.NC", 2025);
        t.Pulse("MAIN.PNL_YEAR.IN_1");
        t.Write("MAIN.HOUR_SW.NC", 7);
        t.Pulse("MAIN.PNL_HOURS.IN_1");
        t.Write("MAIN.MONTH_SW.NC", 13);
        t.Pulse("MAIN.PNL_MONTH.IN_1"); // no such month: ignored
        t.Pulse("X_RESET.RQV.IN_1");
        t.Pulse("X_TRIPS.RQV.IN_1");
        QCOMPARE(t.Text("X_ELOG.T.EV_TM_1"), QStringLiteral("28-Feb 07:00:00"));
    }

    void sameStepsGiveSameValues()
    {
        auto run = [](TDriver& t) {
            t.model.Start();
            t.SetClock(2024, 3, 1, 8, 0, 0);
            QVERIFY(t.ToRated());
            t.Hold("D_SPD_R_L.RQV.IN_1", 5);
            t.Pulse("X_TRIPS.RQV.IN_1");
            t.Run(10);
        };
        TDriver first, second;
        run(first);
        run(second);
        QCOMPARE(first.values.items, second.values.items);
    }

    void synchronisingClosesTheBreaker()
    {
        TDriver t;
        t.Define("C_ANIN1.ANIN_CONF.IN", 3); // synchronising input
        t.Define("C_GENLOGIC.DROOP_CONF.IN", 3); // droop on the measured load, which the box shows
        QVERIFY(t.ToRated());
        QCOMPARE(t.Text("CONF_VAL_1.USE_SYNC.B_NAME"), QStringLiteral("1"));
        QCOMPARE(t.Text("D_SPD_CTRL.SW_DYN.B_SW"), QStringLiteral("0"));
        t.Pulse("D_SYNC_SEL.RQV_EN.TRIGGER");
        QCOMPARE(t.Text("J_MESSAGE.F_LD_SHARE.B_TO_STR"), QStringLiteral("Sync Enabled"));
        QVERIFY(t.RunUntil([&] { return t.Text("J_MESSAGE.F_LD_SHARE.B_TO_STR") == QLatin1String("Breaker Closed"); }, 30));
        QCOMPARE(t.Text("D_SPD_CTRL.SW_DYN.B_SW"), QStringLiteral("1"));

        // With 5 % droop each 18 rpm of setpoint above rated is a tenth of full load.
        t.Write("D_ENTR_SPD.PC_SMP_TUN.TUNE", 3690);
        t.Pulse("D_SPD_R_L.RQV.IN_3");
        t.Run(40);
        QCOMPARE(t.Speed(), 3600.0);
        const double load = t.Number("J_MESSAGE.KW_DRP_SW.A_SW") / t.Number("C_GENLOGIC.KWMAX_LOAD.TUNE");
        QVERIFY2(std::abs(load - 0.5) < 0.02, qPrintable(QString::number(load)));

        t.Pulse("X_TRIPS.RQV.IN_1");
        QCOMPARE(t.Text("J_MESSAGE.F_LD_SHARE.B_TO_STR"), QStringLiteral("Disabled"));
        t.Run(Tick);
        QCOMPARE(t.Number("J_MESSAGE.KW_DRP_SW.A_SW"), 0.0);
        QVERIFY(t.Speed() < 3600);
    }

    void processLoopsReachTheirSetpoint_data()
    {
        QTest::addColumn<QString>("configure");   // configuration item set to 2, or the turbine type 3
        QTest::addColumn<QString>("enable");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("ok");
        QTest::addColumn<QString>("input");
        QTest::addColumn<double>("target");
        QTest::newRow("extraction") << "C_APPL.TURB_TYPE.IN" << "EXTR_ENBL.RQV_EN.TRIGGER" << "EXTR_ENTRD.PC_SMP_TUN.TUNE"
                                    << "EXTR_R_L.RQV.IN_3" << "AA_MONITOR.EXTR_INPUT.A_NAME" << 110.0;
        QTest::newRow("cascade") << "C_APPL.CASC_CONF.IN" << "F_CASC_EN.RQV_EN.TRIGGER" << "F_CAS_ENTR.PC_SMP_TUN.TUNE"
                                 << "F_CASC_R_L.RQV.IN_3" << "AA_MONITOR.CASC_INPUT.A_NAME" << 65.0;
        QTest::newRow("auxiliary controller") << "C_APPL.AUX_CONF.IN" << "G_AUX_ENBL.RQV_EN.TRIGGER" << "G_AUX_ENTR.PC_SMP_TUN.TUNE"
                                              << "G_AUX_R_L.RQV.IN_3" << "AA_MONITOR.AUX_INPUT.A_NAME" << 45.0;
    }
    void processLoopsReachTheirSetpoint()
    {
        QFETCH(QString, configure);
        QFETCH(QString, enable);
        QFETCH(QString, entry);
        QFETCH(QString, ok);
        QFETCH(QString, input);
        QFETCH(double, target);
        TDriver t;
        t.values.Define(configure, configure == QLatin1String("C_APPL.TURB_TYPE.IN") ? QStringLiteral("3") : QStringLiteral("2"));
        t.values.Define(QStringLiteral("C_APPL.APPL_TYPE.IN"), QStringLiteral("1")); // mechanical drive
        QVERIFY(t.ToRated());
        t.Pulse(enable.toLatin1().constData());
        t.values.SetNumber(entry, target);
        t.Pulse(ok.toLatin1().constData());
        t.Run(240);
        const double reached = t.values.Number(input);
        QVERIFY2(std::abs(reached - target) < 1.0, qPrintable(QString::number(reached)));
        QVERIFY(!t.Tripped());
    }

    void everyItemUsedIsInTheControlDatabase()
    {
        TDriver t;
        t.values.recording = true;
        t.Define("C_APPL.TURB_TYPE.IN", 5);
        t.Define("C_APPL.CASC_CONF.IN", 2);
        t.Define("C_APPL.AUX_CONF.IN", 3);
        QVERIFY(t.ToRated());
        for (const char* command : {"EXTR_ENBL.RQV_EN.TRIGGER", "F_CASC_EN.RQV_EN.TRIGGER", "G_AUX_ENBL.RQV_EN.TRIGGER",
                                    "E_MAPPRIOR.RQV_EN.TRIGGER", "D_RMT_ENBL.RQV_EN.TRIGGER", "D_FREQ.RQV_EN.TRIGGER",
                                    "J_RMT_LCL.RQV_EN.TRIGGER", "E_RMT_EXTR.RQV_EN.TRIGGER", "D_OSPD_EN.RQV_EN_E.TRIGGER",
                                    "D_MPU.CNTL_H_RST.IN_1", "MAIN.PNL_SEC.IN_1", "J_CTRLSTOP.RQV_EN.TRIGGER"})
            t.Pulse(command);
        t.Hold("E_MAN_DMND.RQV.IN_2", 1);
        t.Pulse("X_TRIPS.RQV.IN_1");
        t.RunUntil([&] { return t.model.IsShutDown(); }, 300);
        t.Pulse("I_STRK_V2.RQV_EN.TRIGGER");
        t.Pulse("J_SAVETUNE.RQV.IN_1");

        // Only the entry after the last one of each list is asked for and may be missing.
        const QSet<QString> probes{QStringLiteral("Y_ALARMS.ALARMS.MSG_O_101"), QStringLiteral("X_EVENTLOG.A.MESG_O_101"),
                                   QStringLiteral("X_ELOG.T.MESG_O_21")};
        QStringList unknown;
        for (const QString& name : t.values.asked)
            if (!t.values.known.contains(name) && !probes.contains(name))
                unknown << name;
        unknown.sort();
        QVERIFY2(unknown.isEmpty(), qPrintable(unknown.join(QLatin1Char(' '))));
    }
};

TURVISTA_TEST_GUILESS_MAIN(TestTurbineStart, TestTurbineSetpoints, TestTurbineProtection, TestTurbineOperatorFunctions)

#include "tst_turbinemodel.moc"
