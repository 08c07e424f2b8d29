// The turbine model's monitor values, status texts and the flags the control
// derives from its configuration, as the Run mode window reads them.
#include "server/ControlValues.h"
#include "server/DerivedSettings.h"
#include "server/RelayOutputs.h"
#include "server/TurbineModelPrivate.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace {

using namespace Turbine;

constexpr double FirstStageAtFullFlow = 600.0;   // psig

const QString TimeOfDayFormat = QStringLiteral("hh:mm:ss");

// Analog input functions that the Run mode panels depend on.
constexpr int AnalogInputs = 8;
constexpr int SynchronizingInput = 3;
constexpr int FirstLoadShareInput = 4, LastLoadShareInput = 6;
constexpr int FirstStagePressureInput = 22;

QString IdleRatedText(TIdleRated state)
{
    switch (state) {
    case TIdleRated::Idle: return QStringLiteral("Idle Selected");
    case TIdleRated::ToIdle: return QStringLiteral("Ramping To Idle");
    case TIdleRated::ToRated: return QStringLiteral("Ramping To Rated");
    case TIdleRated::Rated: return QStringLiteral("At Rated");
    case TIdleRated::Halted: return QStringLiteral("Idle/Rated Halted");
    case TIdleRated::IdleRefused: return QStringLiteral("Idle Not Permitted");
    }
    return {};
}

QString AutoSeqText(TAutoSeq state)
{
    switch (state) {
    case TAutoSeq::NotStarted: return QStringLiteral("Auto Seq Not Started");
    case TAutoSeq::ToLowIdle: return QStringLiteral("Ramping To Low Idle");
    case TAutoSeq::ToHighIdle: return QStringLiteral("Ramping To High Idle");
    case TAutoSeq::ToRated: return QStringLiteral("Ramping To Rated");
    case TAutoSeq::Complete: return QStringLiteral("Auto Seq Complete");
    case TAutoSeq::Halted: return QStringLiteral("Auto Seq Halted");
    case TAutoSeq::LowHold: return QStringLiteral("Holding At Low Idle");
    case TAutoSeq::HighHold: return QStringLiteral("Holding At High Idle");
    case TAutoSeq::HaltedHigh: return QStringLiteral("Halted At High Idle");
    case TAutoSeq::HaltedLow: return QStringLiteral("Halted At Low Idle");
    }
    return {};
}

QString StrokeText(TStroke state)
{
    switch (state) {
    case TStroke::Disabled: return QStringLiteral("Stroking Disabled");
    case TStroke::Enabled: return QStringLiteral("Stroking Enabled");
    case TStroke::Manual: return QStringLiteral("At Manual Position");
    case TStroke::Minimum: return QStringLiteral("At Minimum");
    case TStroke::Maximum: return QStringLiteral("At Maximum");
    case TStroke::NotShutDown: return QStringLiteral("Trip Turbine To Stroke");
    case TStroke::NotUsed: return QStringLiteral("Valve Not Used");
    }
    return {};
}

} // namespace

namespace Turbine {

QString TModel::LoopName() const
{
    switch (config.turbineType) {
    case 4: return QStringLiteral("Admission");
    case 5: return QStringLiteral("Extr/Adm");
    default: return QStringLiteral("Extraction");
    }
}

QString TModel::LoopStatus(const TLoop& loop, bool configured) const
{
    if (!configured)
        return QStringLiteral("Not Used");
    return loop.enabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled");
}

// A valve sent to a position reads "Stroking Enabled" until it gets there.
TStroke TModel::StrokeShown(int valve, double position) const
{
    const TValve& v = valves[valve];
    double target = 0;
    switch (v.state) {
    case TStroke::Manual:
        target = Clamp(values.Number(Name(ValveItems[valve].stroke) + QStringLiteral(".MANL_HOLD.TUNE")), 0, 100);
        break;
    case TStroke::Minimum: target = 0; break;
    case TStroke::Maximum: target = 100; break;
    default: return v.state;
    }
    return std::abs(position - target) <= StrokeArrival ? v.state : TStroke::Enabled;
}

QString TModel::ControlMessage() const
{
    if (tripped)
        return QStringLiteral("Turbine Shutdown");
    if (!started)
        return QStringLiteral("Ready To Start");
    if (controlledShutdown)
        return QStringLiteral("Controlled Shutdown");
    if (overspeedTest != TOverspeedTest::Off)
        return QStringLiteral("Overspeed Test");
    if (limiterInControl)
        return QStringLiteral("Valve Limiter In Control");
    if (auxiliaryInControl)
        return config.auxiliary == 3 ? QStringLiteral("Auxiliary Limiter In Control") : QStringLiteral("Auxiliary Control");
    if (cascade.enabled)
        return QStringLiteral("Cascade Control");
    if (remoteSpeed)
        return QStringLiteral("Remote Speed Control");
    if (syncEnabled)
        return QStringLiteral("Synchronizing");
    if (autoSeq != TAutoSeq::NotStarted && autoSeq != TAutoSeq::Complete)
        return QStringLiteral("Auto Start Sequence");
    if (Online())
        return QStringLiteral("Speed/Load Control");
    return QStringLiteral("Speed Control");
}

void TModel::Publish()
{
    auto item = [](const char* name) { return Name(name); };

    // Status strip and start page.
    const QString message = ControlMessage();
    out.Text(item("J_CONTROL.CNTRL_MESS.B_TO_STR"), message);
    out.Text(item("J_CONTROL.LINE1_CTRL.B_TO_STR"), message);
    out.Text(item("J_CONTROL.LINE2_CTRL.B_TO_STR"),
             LoopName() + (extraction.enabled ? QStringLiteral(" Control") : QStringLiteral(" Disabled")));
    out.Number(item("AA_MONITOR.SPEED.A_NAME"), speed, 0.1);
    out.Number(item("AA_MONITOR.SPD_SETPT.A_NAME"), setpoint, 0.1);
    out.Number(item("AA_MONITOR.SPD_REF.A_NAME"), speedReference, 0.1);
    out.Number(item("AA_MONITOR.HP_LIMITER.A_NAME"), hpLimiter);
    out.Number(item("AA_MONITOR.LP_LIMITER.A_NAME"), lpLimiter);
    out.Number(item("AA_MONITOR.HP_DEMAND.A_NAME"), hpDemand);
    out.Number(item("AA_MONITOR.LP_DEMAND.A_NAME"), lpDemand);
    out.Number(item("AA_MONITOR.SPD_PID.A_NAME"), Clamp(speedPid.output, 0, 100));
    // "Start" is offered to a reset turbine only; a tripped one must be reset first.
    out.Flag(item("I_START.NOT_STRTD.NOT"), !started && !tripped);
    out.Flag(item("I_V1_LMTR.VLV_RAMP.P_LIM_1"), startRamp != TStartRamp::AtInitial);
    out.Text(item("C_IDLE_RTD.IDL_RTD.B_TO_STR"), IdleRatedText(idleRated));
    out.Number(item("C_IDLE_RTD.IDL_RTD.MSG_SEL"), int(idleRated), 1);
    out.Text(item("D_AUTOSTAT.AUTO_STRT.B_TO_STR"), AutoSeqText(autoSeq));
    out.Number(item("D_AUTOSTAT.AUTO_STRT.MSG_SEL"), int(autoSeq), 1);
    // The sequence's enable latch: "Halt" shown while set, "Continue" while cleared.
    out.Flag(item("D_AUTOENBL.AUTO_STRT.LATCH_R"), sequenceLatch);
    const bool low = autoSeq == TAutoSeq::LowHold || autoSeq == TAutoSeq::HaltedLow;
    const bool high = autoSeq == TAutoSeq::HighHold || autoSeq == TAutoSeq::HaltedHigh;
    const bool sequenceStarted = autoSeq != TAutoSeq::NotStarted;
    out.Number(item("D_AUTOSTRT.LO_DLY_MIN.MULTIPLY"), sequenceStarted ? lowDelay / 60.0 : ByStandstill(config.lowDelay));
    out.Number(item("D_AUTOSTRT.HI_DLY_MIN.MULTIPLY"), sequenceStarted ? highDelay / 60.0 : ByStandstill(config.highDelay));
    out.Number(item("D_IFACE_O.DLY_LO.A_NAME"), low ? holdLeft / 60.0 : 0.0);
    out.Number(item("D_IFACE_O.DLY_HI.A_NAME"), high ? holdLeft / 60.0 : 0.0);
    out.Number(item("D_IFACE_O.RATE_LO.A_NAME"), sequenceStarted ? highRate : ByStandstill(config.highRate));
    out.Number(item("D_IFACE_O.RATE_HI.A_NAME"), sequenceStarted ? ratedRate : ByStandstill(config.ratedRate));
    out.Number(item("D_IFACE_O.HRS_TRIPPD.A_NAME"), tripped ? (elapsed - lastTripAt) / 3600.0 : 0.0);
    out.Flag(item("J_CTRLSTOP.ACK_STP_L.LATCH"), controlledShutdown);
    out.Text(item("J_CTRLSTOP.CSTOP_STAT.B_TO_STR"), shutdownStatus);
    out.Flag(item("J_RMT_LCL.RMT_SEL.LATCH"), remoteMode && config.useLocalRemote);

    // Speed control page.
    out.Number(item("AA_MONITOR.RMT_SPEED.A_NAME"), remoteSpeedValue, 0.1);
    out.Text(item("J_MESSAGE.F_RMT.B_TO_STR"), remoteSpeed ? QStringLiteral("Enabled") : remoteStatus);
    // With droop taken from the actuator position the box shows the valve demand instead of the load.
    if (config.droopFromValve)
        out.Number(item("J_MESSAGE.KW_DRP_SW.A_SW"), Online() ? hpDemand : 0.0);
    else
        out.Number(item("J_MESSAGE.KW_DRP_SW.A_SW"), load * config.maxLoad, 1);
    out.Number(item("J_MISC.FSP.A_NAME"), tripped ? 0.0 : FirstStageAtFullFlow * hpValve / 100.0, 0.1);
    QString share = QStringLiteral("Disabled");
    if (syncEnabled)
        share = QStringLiteral("Sync Enabled");
    else if (Online())
        share = values.Flag(QStringLiteral("CONF_VAL_1.USE_LD_SHR.B_NAME")) ? QStringLiteral("Load Share Active")
                                                                            : QStringLiteral("Breaker Closed");
    out.Text(item("J_MESSAGE.F_LD_SHARE.B_TO_STR"), share);
    out.Number(item("AA_MONITOR.SYNC_LDSHR.A_NAME"), syncEnabled ? config.rated * (1 + SyncSlip) - speed : 0.0, 0.1);
    out.Text(item("J_MESSAGE.F_FREQ.B_TO_STR"), frequencyArmed ? QStringLiteral("Armed") : QStringLiteral("Disarmed"));
    out.Flag(item("D_SPD_CTRL.SW_DYN.B_SW"), OnLineDynamics());

    // Process loops.
    out.Number(item("AA_MONITOR.RMT_EXTR.A_NAME"), extraction.remoteValue);
    out.Number(item("AA_MONITOR.EXTR_INPUT.A_NAME"), extraction.input);
    out.Number(item("AA_MONITOR.EXTR_SETPT.A_NAME"), extraction.setpoint);
    out.Number(item("AA_MONITOR.EXTR_PID.A_NAME"), extraction.enabled ? extraction.pid.output : 0.0);
    out.Number(item("AA_MONITOR.MANL_DMND.A_NAME"), manualDemand);
    out.Text(item("J_MESSAGE.F_EXTR.B_TO_STR"), LoopStatus(extraction, config.turbineType >= 3));
    out.Text(item("J_MESSAGE.F_RMT_EXTR.B_TO_STR"), extraction.remote ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
    out.Text(item("J_MESSAGE.PRIORITY.B_TO_STR"), extractionPriority ? LoopName() : QStringLiteral("Speed"));
    out.Number(item("AA_MONITOR.RMT_CASC.A_NAME"), cascade.remoteValue);
    out.Number(item("AA_MONITOR.CASC_INPUT.A_NAME"), cascade.input);
    out.Number(item("AA_MONITOR.CASC_SETPT.A_NAME"), cascade.setpoint);
    out.Number(item("AA_MONITOR.CASC_PID.A_NAME"), cascade.enabled ? cascade.pid.output : 0.0);
    out.Text(item("J_MESSAGE.F_CASC.B_TO_STR"), LoopStatus(cascade, config.cascade));
    out.Text(item("J_MESSAGE.F_RMT_CASC.B_TO_STR"), cascade.remote ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
    out.Number(item("AA_MONITOR.RMT_AUX.A_NAME"), auxiliary.remoteValue);
    out.Number(item("AA_MONITOR.AUX_INPUT.A_NAME"), auxiliary.input);
    out.Number(item("AA_MONITOR.AUX_SETPT.A_NAME"), auxiliary.setpoint);
    out.Number(item("AA_MONITOR.AUX_PID.A_NAME"), auxiliary.enabled ? Clamp(auxiliary.pid.output, 0, 100) : 0.0);
    out.Text(item("J_MESSAGE.F_AUX.B_TO_STR"), LoopStatus(auxiliary, config.auxiliary >= 2));
    out.Text(item("J_MESSAGE.F_RMT_AUX.B_TO_STR"), auxiliary.remote ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
    DerivedSettings::Publish(values, out);

    // Valves.
    const double position[2] = {hpValve, lpValve};
    for (int valve = 0; valve < 2; ++valve) {
        const TValveItems& names = ValveItems[valve];
        const TValve& v = valves[valve];
        const QString stroke = Name(names.stroke) + QLatin1Char('.') + Name(names.message);
        const TStroke shown = StrokeShown(valve, position[valve]);
        out.Text(stroke + QStringLiteral(".B_TO_STR"), StrokeText(shown));
        out.Number(stroke + QStringLiteral(".MSG_SEL"), int(shown), 1);
        out.Number(Name(names.limiter), position[valve]);
        out.Number(Name(names.readback), v.minCurrent + (v.maxCurrent - v.minCurrent) * position[valve] / 100.0, 0.001);
        out.Number(Name(names.scale) + QStringLiteral(".SEL_MAX.A_SW"), v.maxCurrent, 0.001);
        out.Number(Name(names.scale) + QStringLiteral(".SEL_MIN.A_SW"), v.minCurrent, 0.001);
    }

    // Overspeed test.
    out.Text(item("D_OSPD_EN.TST_STATUS.B_TO_STR"), overspeedStatus);
    out.Number(item("D_MPU.SPEED_HOLD.A_MAX"), peakSpeed, 0.1);

    // Alarms, clock, shutdown state.
    // Up long enough for every advise loop to hear it, whatever the tick.
    out.Flag(item("X_RESET.CLR_EVNT_L.B_SW"), clearMarkLeft > 0);
    out.Flag(item("Y_ALARMS.MAJOR_ALM.OR"), logs.AlarmCount() > 0);
    out.Text(item("MAIN.SYS_TIME.T_NAME"), QLocale::c().toString(Clock(), TimeOfDayFormat));
    out.Flag(item("X_TRIPS.NOT_SD.NOT"), !tripped);
    out.Flag(item("Z_CPU_COM.EN_CONFIG.OR"), ShutDown());

    // Flags the control derives from its configuration for the Run mode window.
    auto mirror = [this](const char* source, const char* flag) {
        const QString name = Name(source);
        if (values.Has(name))
            out.Flag(Name(flag), values.Flag(name));
    };
    mirror("C_COMM.USERQVTRIP.IN", "C_COMM.USERQVTRIP.B_NAME");
    mirror("C_START.USE_INITV1.IN", "I_V1_STRT.USE_INITV1.B_NAME");
    mirror("C_RMT_SPD.USE_RMTSPD.IN", "C_RMT_SPD.USE_RMTSPD.B_NAME");
    mirror("C_EXTR.USE_RMTXTR.IN", "C_EXTR.USE_RMTXTR.B_NAME");
    mirror("C_RMT_CAS.USE_RMTCAS.IN", "C_RMT_CAS.USE_RMTCAS.B_NAME");
    mirror("C_AUX.USE_RMTAUX.IN", "C_AUX.USE_RMTAUX.B_NAME");
    if (values.Has(QStringLiteral("C_GENLOGIC.USE_ARM.IN")))
        out.Flag(item("CONF_VAL_1.ARM_DISARM.AND"), config.generator && values.Flag(QStringLiteral("C_GENLOGIC.USE_ARM.IN")));
    if (values.Has(QStringLiteral("C_ANIN1.ANIN_CONF.IN"))) {
        bool sync = false, loadShare = false, firstStage = false;
        for (int input = 1; input <= AnalogInputs; ++input) {
            const int function = int(values.Number(QStringLiteral("C_ANIN%1.ANIN_CONF.IN").arg(input)));
            sync = sync || function == SynchronizingInput;
            loadShare = loadShare || (function >= FirstLoadShareInput && function <= LastLoadShareInput);
            firstStage = firstStage || function == FirstStagePressureInput;
        }
        out.Flag(item("CONF_VAL_1.USE_SYNC.B_NAME"), sync && config.generator);
        out.Flag(item("CONF_VAL_1.USE_LD_SHR.B_NAME"), loadShare && config.generator);
        out.Flag(item("CONF_VAL_1.SYNC_LDSHR.OR"), (sync || loadShare) && config.generator);
        out.Flag(item("CONF_VAL_1.USE_FSP.B_NAME"), firstStage);
    }
    // Last: the relays follow the trip and alarm state written above.
    RelayOutputs::Publish(values, out);
}

} // namespace Turbine
