// The simulated turbine where the operator's windows do not take it: trips of
// a coasting rotor, and the items it uses. Driven through the control's values as the
// server drives it: a command is written, then reported as written; time
// advances in ticks of the server.

#include "server/TurbineModel.h"
#include "tests/server/FakeControlValues.h"

#include <QTest>

#include <cmath>
#include <functional>

namespace {

constexpr double Tick = 0.1; // control seconds per server tick

// The program's side: writes, one-shot pulses, held momentary buttons, ticks.
class TDriver {
public:
    // The database defaults: a generator on a single valve turbine, automatic start, idle 1000 and rated 3600 rpm.
    TDriver() : model(values) { values.Set({"C_IDLE_RTD.IDLRTDRATE.TUNE=100"}); }

    void Write(const QString& name, double value)
    {
        values.SetNumber(name, value);
        model.Written(name);
    }
    void Hold(const QString& name, double seconds)
    {
        Write(name, 1);
        Run(seconds);
        Write(name, 0);
    }
    void Pulse(const QString& name) { Hold(name, Tick); }
    void Run(double seconds)
    {
        for (double t = 0; t < seconds - 1e-9; t += Tick)
            model.Step(Tick);
    }
    // Runs until the condition holds, at most the given control time; false when it never did.
    bool RunUntil(const std::function<bool()>& condition, double seconds)
    {
        for (double t = 0; t < seconds && !condition(); t += Tick)
            model.Step(Tick);
        return condition();
    }
    double Number(const QString& name) const { return values.Number(name); }
    QString Text(const QString& name) const { return values.Text(name); }
    double Speed() const { return Number("AA_MONITOR.SPEED.A_NAME"); }
    bool Tripped() const { return Text("J_CONTROL.CNTRL_MESS.B_TO_STR") == QLatin1String("Turbine Shutdown"); }
    void ResetAndStart()
    {
        model.Start();
        Pulse("X_RESET.RQV.IN_1");
        Pulse("I_START.RQV_EN.TRIGGER");
    }
    // Reset, start, idle, rated; false when rated speed is not reached.
    bool ToRated()
    {
        ResetAndStart();
        RunUntil([this] { return std::abs(Speed() - 1000) < 2; }, 120);
        Pulse("D_IDLE_RTD.RQV_EN.TRIGGER");
        return RunUntil([this] { return std::abs(Speed() - 3600) < 1; }, 200);
    }

    TFakeControlValues values;
    TTurbineModel model;
};

} // namespace

class TestTurbineModel : public QObject {
    Q_OBJECT

private slots:
    void aCoastingRotorKeepsTheTrip()
    {
        TDriver t;
        QVERIFY(t.ToRated());
        t.Pulse("X_TRIPS.RQV.IN_1");
        t.Run(10);
        QVERIFY(t.Speed() > 1000);
        t.Pulse("X_RESET.RQV.IN_1");
        // The alarms are acknowledged, the trip stays until the rotor stands.
        QCOMPARE(t.Number("Y_ALARMS.ALARMS.NUM_EVENTS"), 0.0);
        QVERIFY(t.Tripped());
        QCOMPARE(t.Text("I_START.NOT_STRTD.NOT"), QStringLiteral("0"));
        QVERIFY(t.RunUntil([&] { return t.model.IsShutDown(); }, 300));
        t.Pulse("X_RESET.RQV.IN_1");
        QCOMPARE(t.Text("J_CONTROL.CNTRL_MESS.B_TO_STR"), QStringLiteral("Ready To Start"));
        QCOMPARE(t.Text("I_START.NOT_STRTD.NOT"), QStringLiteral("1"));
    }

    void everyItemUsedIsInTheControlDatabase()
    {
        TDriver t;
        t.values.Set({"C_APPL.TURB_TYPE.IN=5", "C_APPL.CASC_CONF.IN=2", "C_APPL.AUX_CONF.IN=3"});
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
        QSet<QString> unknown = t.values.unknown;
        for (const char* probe : {"Y_ALARMS.ALARMS.MSG_O_101", "X_EVENTLOG.A.MESG_O_101", "X_ELOG.T.MESG_O_21"})
            unknown.remove(QString::fromLatin1(probe));
        QVERIFY2(unknown.isEmpty(), qPrintable(QStringList(unknown.values()).join(u' ')));
    }
};

QTEST_GUILESS_MAIN(TestTurbineModel)
#include "tst_turbinemodel.moc"
