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

    void Hold(const QString& name, double seconds)
    {
        values.SetFlag(name, true);
        model.Written(name);
        RunUntil([] { return false; }, seconds);
        values.SetFlag(name, false);
        model.Written(name);
    }
    void Pulse(const QString& name) { Hold(name, Tick); }
    // Runs until the condition holds, at most the given control time; false when it never did.
    bool RunUntil(const std::function<bool()>& condition, double seconds)
    {
        for (double t = 0; t < seconds - 1e-9 && !condition(); t += Tick)
            model.Step(Tick);
        return condition();
    }
    double Speed() const { return values.Number("AA_MONITOR.SPEED.A_NAME"); }
    bool Tripped() const { return values.Text("J_CONTROL.CNTRL_MESS.B_TO_STR") == QLatin1String("Turbine Shutdown"); }
    // Reset, start, idle, rated; false when rated speed is not reached.
    bool ToRated()
    {
        model.Start();
        Pulse("X_RESET.RQV.IN_1");
        Pulse("I_START.RQV_EN.TRIGGER");
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
        t.RunUntil([] { return false; }, 10);
        QVERIFY(t.Speed() > 1000);
        t.Pulse("X_RESET.RQV.IN_1");
        // The alarms are acknowledged, the trip stays until the rotor stands.
        QCOMPARE(t.values.Number("Y_ALARMS.ALARMS.NUM_EVENTS"), 0.0);
        QVERIFY(t.Tripped());
        QCOMPARE(t.values.Text("I_START.NOT_STRTD.NOT"), QStringLiteral("0"));
        QVERIFY(t.RunUntil([&] { return t.model.IsShutDown(); }, 300));
        t.Pulse("X_RESET.RQV.IN_1");
        QCOMPARE(t.values.Text("J_CONTROL.CNTRL_MESS.B_TO_STR"), QStringLiteral("Ready To Start"));
        QCOMPARE(t.values.Text("I_START.NOT_STRTD.NOT"), QStringLiteral("1"));
    }

    // A step of the setpoint at rated speed: the stiffer the speed loop, the
    // sooner the speed gets there and the further it overshoots.
    void aHigherProportionalGainRespondsFasterWithMoreOvershoot()
    {
        struct TResponse {
            double rise = 0; // s to 90 % of the step
            double overshoot = 0;
        };
        auto step = [](double gain) {
            TDriver t;
            TResponse response;
            if (!t.ToRated())
                return response;
            t.values.Set({QStringLiteral("D_SPD_DYN.P_GAIN_OFF.RAMP=%1").arg(gain), "D_ENTR_SPD.PC_SMP_TUN.TUNE=3700",
                          "C_SPDSETPT.ENT_RATE.TUNE=2000"});
            t.model.Written(QStringLiteral("C_SPDSETPT.ENT_RATE.TUNE"));
            t.model.Step(Tick);
            t.Pulse("D_SPD_R_L.RQV.IN_3");
            for (double time = Tick; time < 30; time += Tick) {
                t.model.Step(Tick);
                if (response.rise == 0 && t.Speed() >= 3690)
                    response.rise = time;
                response.overshoot = std::max(response.overshoot, t.Speed() - 3700);
            }
            return response;
        };
        const TResponse soft = step(5); // the off-line P the control starts with
        const TResponse stiff = step(15);
        QVERIFY2(soft.rise > 0 && stiff.rise > 0 && stiff.rise < soft.rise,
                 qPrintable(QStringLiteral("rise %1 s, %2 s").arg(soft.rise).arg(stiff.rise)));
        QVERIFY2(soft.overshoot > 1 && stiff.overshoot > soft.overshoot + 5,
                 qPrintable(QStringLiteral("overshoot %1 rpm, %2 rpm").arg(soft.overshoot).arg(stiff.overshoot)));
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
