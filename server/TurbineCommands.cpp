// The operator's commands to the turbine model: reset, start, trips, sequences,
// setpoint entries, tests, enables, stroking and saving tuned values.
#include "server/ControlValues.h"
#include "server/TurbineModelPrivate.h"

#include <QDateTime>

#include <cmath>

namespace Turbine {

void TModel::Alarm(const QString& message)
{
    logs.Alarm(Stamp(), message);
}

void TModel::Trip(const QString& cause)
{
    if (tripped)
        return;
    tripped = true;
    started = false;
    lastTripAt = elapsed;
    logs.Trip(Stamp(), cause);

    if (overspeedTest != TOverspeedTest::Off)
        DisableOverspeedTest(QStringLiteral("Tripped At %1 rpm").arg(std::round(speed)));
    if (controlledShutdown)
        shutdownStatus = cause == ControlledShutdownTrip ? QStringLiteral("Shutdown Complete") : QStringLiteral("Not Active");
    controlledShutdown = false;
    rampActive = false;
    startRamp = TStartRamp::None;
    setpoint = 0;
    hpLimiter = 0;
    speedPid.Reset(0);
    aboveMinGovernor = false;
    criticalDirection = 0;
    idleRated = TIdleRated::Idle;
    autoSeq = TAutoSeq::NotStarted;
    remoteSpeed = false;
    remoteStatus = QStringLiteral("Disabled");
    syncEnabled = false;
    breakerClosed = false;
    load = 0;
    for (TLoop* loop : {&extraction, &cascade, &auxiliary}) {
        loop->enabled = false;
        loop->remote = false;
        loop->enteredRamp = false;
    }
}

void TModel::Reset()
{
    logs.ResetAlarms();
    clearMarkLeft = ClearMarkTime;
    criticalAlarmed = false;
    // A refused or timed-out test is acknowledged like an alarm.
    if (overspeedTest == TOverspeedTest::Off
        && (overspeedStatus == OverspeedTestRefused || overspeedStatus == OverspeedTestEnded))
        overspeedStatus = OverspeedTestOff;
    const bool stroking = std::any_of(std::begin(valves), std::end(valves), [](const TValve& v) {
        return v.state >= TStroke::Enabled && v.state <= TStroke::Maximum;
    });
    // The trip holds until the rotor has come to rest.
    if (!tripped || speed >= StoppedSpeed || stroking)
        return;
    tripped = false;
    started = false;
    shutdownStatus = QStringLiteral("Not Active");
    overspeedStatus = OverspeedTestOff;
}

void TModel::StartTurbine()
{
    if (tripped)
        return;
    if (started) {
        // "Open Limiter": the limiter leaves its initial position for full open.
        if (startRamp == TStartRamp::AtInitial)
            startRamp = TStartRamp::ToFull;
        return;
    }
    started = true;
    setpoint = speed;
    speedPid.Reset(0);
    criticalDirection = 0;
    aboveMinGovernor = false;

    switch (config.startRoutine) {
    case TStartRoutine::Manual:
        hpLimiter = 100;
        startRamp = TStartRamp::None;
        break;
    case TStartRoutine::Semiautomatic:
        startRamp = TStartRamp::None;
        break;
    case TStartRoutine::Automatic:
        startRamp = config.useInitialV1 ? TStartRamp::ToInitial : TStartRamp::ToFull;
        break;
    }

    switch (config.idleToRated) {
    case TIdleToRated::NoIdle:
        StartRamp(TRampOwner::Start, config.minGovernor, config.rateToMin);
        break;
    case TIdleToRated::ManualOnly:
        StartRamp(TRampOwner::Start, config.idle, config.rateToMin);
        break;
    case TIdleToRated::IdleRated:
        idleRated = TIdleRated::Idle;
        StartRamp(TRampOwner::IdleRated, config.idle, config.rateToMin);
        break;
    case TIdleToRated::AutoSequence:
        // Hold times and rates are fixed by how long the turbine stood.
        lowDelay = ByStandstill(config.lowDelay) * 60;
        highDelay = ByStandstill(config.highDelay) * 60;
        highRate = ByStandstill(config.highRate);
        ratedRate = ByStandstill(config.ratedRate);
        if (sequenceLatch) {
            autoSeq = TAutoSeq::ToLowIdle;
            StartRamp(TRampOwner::AutoSeq, config.lowIdle, config.rateToMin);
        } else {
            // Halted before the start: the setpoint waits at the speed until Continue.
            resumeTo = TAutoSeq::ToLowIdle;
            autoSeq = TAutoSeq::Halted;
        }
        break;
    }
}

void TModel::StartRamp(TRampOwner owner, double target, double rate)
{
    rampActive = true;
    rampOwner = owner;
    rampTarget = OutOfBand(Clamp(target, 0, SpeedCeiling()));
    rampRate = rate;
}

void TModel::SelectRated()
{
    if (!Running() || config.idleToRated != TIdleToRated::IdleRated || controlledShutdown || remoteSpeed || cascade.enabled)
        return;
    idleRated = TIdleRated::ToRated;
    StartRamp(TRampOwner::IdleRated, config.rated, config.idleRatedRate);
}

void TModel::SelectIdle()
{
    if (!Running() || config.idleToRated != TIdleToRated::IdleRated || controlledShutdown)
        return;
    if (Online() || remoteSpeed || cascade.enabled) {
        idleRated = TIdleRated::IdleRefused;
        return;
    }
    idleRated = TIdleRated::ToIdle;
    aboveMinGovernor = false;
    StartRamp(TRampOwner::IdleRated, config.idle, config.idleRatedRate);
}

void TModel::HaltSequence()
{
    sequenceLatch = false;
    switch (autoSeq) {
    case TAutoSeq::ToLowIdle:
    case TAutoSeq::ToHighIdle:
    case TAutoSeq::ToRated:
        resumeTo = autoSeq;
        autoSeq = TAutoSeq::Halted;
        if (rampOwner == TRampOwner::AutoSeq)
            rampActive = false;
        break;
    case TAutoSeq::LowHold: autoSeq = TAutoSeq::HaltedLow; break;
    case TAutoSeq::HighHold: autoSeq = TAutoSeq::HaltedHigh; break;
    default: break;
    }
}

void TModel::ContinueSequence()
{
    sequenceLatch = true;
    if (!Running() || controlledShutdown)
        return;
    switch (autoSeq) {
    case TAutoSeq::Halted:
        autoSeq = resumeTo;
        if (autoSeq == TAutoSeq::ToLowIdle)
            StartRamp(TRampOwner::AutoSeq, config.lowIdle, config.rateToMin);
        else if (autoSeq == TAutoSeq::ToHighIdle)
            StartRamp(TRampOwner::AutoSeq, config.highIdle, highRate);
        else
            StartRamp(TRampOwner::AutoSeq, config.autoRated, ratedRate);
        break;
    case TAutoSeq::HaltedLow: autoSeq = TAutoSeq::LowHold; break;
    case TAutoSeq::HaltedHigh: autoSeq = TAutoSeq::HighHold; break;
    default: break;
    }
}

double TModel::SpeedFloor() const
{
    return aboveMinGovernor && !controlledShutdown ? config.minGovernor : 0.0;
}

double TModel::SpeedCeiling() const
{
    return overspeedTest != TOverspeedTest::Off ? std::max(config.maxGovernor, config.overspeedLimit)
                                                : config.maxGovernor;
}

void TModel::BeginControlledShutdown()
{
    if (!Running() || controlledShutdown)
        return;
    controlledShutdown = true;
    shutdownStatus = QStringLiteral("In Progress");
    remoteSpeed = false;
    remoteStatus = QStringLiteral("Disabled");
    syncEnabled = false;
    for (TLoop* loop : {&extraction, &cascade, &auxiliary}) {
        loop->enabled = false;
        loop->remote = false;
    }
    if (autoSeq != TAutoSeq::NotStarted && autoSeq != TAutoSeq::Complete)
        autoSeq = TAutoSeq::NotStarted;
    // The shutdown ramps down to idle where the idle/rated routine is used.
    if (config.idleToRated == TIdleToRated::IdleRated)
        idleRated = TIdleRated::ToIdle;
    const double floor = config.idleToRated == TIdleToRated::NoIdle ? config.minGovernor
                         : config.idleToRated == TIdleToRated::AutoSequence ? config.lowIdle
                                                                             : config.idle;
    StartRamp(TRampOwner::Shutdown, floor, std::max(config.idleRatedRate, config.slowRate));
}

void TModel::AbortControlledShutdown()
{
    if (!controlledShutdown)
        return;
    controlledShutdown = false;
    shutdownStatus = QStringLiteral("Aborted");
    if (rampOwner == TRampOwner::Shutdown)
        rampActive = false;
    if (idleRated == TIdleRated::ToIdle)
        idleRated = TIdleRated::Halted;
    if (speed >= config.minGovernor)
        aboveMinGovernor = true;
}

void TModel::EnterSpeedSetpoint()
{
    if (!Running() || controlledShutdown || remoteSpeed || cascade.enabled)
        return;
    const double entered = values.Number(QStringLiteral("D_ENTR_SPD.PC_SMP_TUN.TUNE"));
    StartRamp(TRampOwner::Entered, Clamp(entered, SpeedFloor(), SpeedCeiling()), config.enteredRate);
    if (autoSeq != TAutoSeq::NotStarted && autoSeq != TAutoSeq::Complete)
        HaltSequence();
    if (idleRated == TIdleRated::ToIdle || idleRated == TIdleRated::ToRated)
        idleRated = TIdleRated::Halted;
    else if (rampTarget != setpoint)
        LeaveIdleOrRated();
}

// Idle and rated are fixed points: a setpoint the operator moves off them no longer is "at" them.
void TModel::LeaveIdleOrRated()
{
    if ((idleRated == TIdleRated::Idle || idleRated == TIdleRated::Rated)
        && config.idleToRated == TIdleToRated::IdleRated)
        idleRated = TIdleRated::Halted;
}

void TModel::EnterHpLimiter()
{
    if (tripped)
        return;
    hpLimiter = Clamp(values.Number(QStringLiteral("I_V1_LMTR.ENTR_SP.TUNE")), 0, 100);
    startRamp = TStartRamp::None;
}

void TModel::EnterLpLimiter()
{
    lpLimiter = Clamp(values.Number(QStringLiteral("I_V2_LMTR.ENTR_SP.TUNE")), 0, 100);
}

void TModel::EnableOverspeedTest(TOverspeedTest kind)
{
    if (!Running() || !aboveMinGovernor || Online() || controlledShutdown) {
        overspeedStatus = OverspeedTestRefused;
        return;
    }
    overspeedTest = kind;
    overspeedTestFor = 0;
    overspeedStatus = kind == TOverspeedTest::Internal ? QStringLiteral("4812 Test Enabled")
                                                        : QStringLiteral("External Test Enabled");
}

void TModel::DisableOverspeedTest(const QString& status)
{
    overspeedTest = TOverspeedTest::Off;
    overspeedStatus = status;
    setpoint = std::min(setpoint, config.maxGovernor);
    if (rampActive)
        rampTarget = std::min(rampTarget, config.maxGovernor);
}

void TModel::EnableRemoteSpeed(bool on)
{
    if (!on) {
        remoteSpeed = false;
        remoteStatus = QStringLiteral("Disabled");
        return;
    }
    if (!config.remoteSpeed)
        return;
    if (!Running() || !aboveMinGovernor || controlledShutdown || cascade.enabled) {
        remoteStatus = QStringLiteral("Not Permitted");
        return;
    }
    remoteSpeed = true;
    rampActive = false;
    remoteStatus = QStringLiteral("Enabled");
}

void TModel::EnableSync(bool on)
{
    if (!on) {
        syncEnabled = false;
        return;
    }
    if (config.generator && values.Flag(QStringLiteral("CONF_VAL_1.USE_SYNC.B_NAME")) && Running()
        && aboveMinGovernor && !Online() && !controlledShutdown) {
        syncEnabled = true;
        syncMatchedFor = 0;
        rampActive = false;
    }
}

void TModel::EnableLoop(TLoop& loop, bool on, double permissiveSpeed)
{
    if (!on) {
        loop.enabled = false;
        loop.remote = false;
        loop.enteredRamp = false;
        return;
    }
    if (!Running() || speed < permissiveSpeed || loop.enabled)
        return;
    loop.enabled = true;
    // The loop takes over where the turbine stands.
    if (&loop == &extraction)
        loop.pid.Reset(lpDemand);
    else if (&loop == &cascade)
        loop.pid.Reset(Clamp((setpoint - config.cascadeSpeedMin) / std::max(1.0, config.cascadeSpeedMax - config.cascadeSpeedMin) * 100, 0, 100));
    else
        loop.pid.Reset(hpDemand);
    if (&loop == &cascade)
        rampActive = false;
}

void TModel::EnableStroking(int valve, bool on)
{
    TValve& v = valves[valve];
    if (!on) {
        v.state = valve == 1 && config.turbineType <= 1 ? TStroke::NotUsed : TStroke::Disabled;
        return;
    }
    if (valve == 1 && config.turbineType <= 1)
        v.state = TStroke::NotUsed;
    else if (!ShutDown())
        v.state = TStroke::NotShutDown;
    else if (v.state == TStroke::Disabled || v.state == TStroke::NotShutDown)
        v.state = TStroke::Enabled;
}

void TModel::GoStroke(int valve, TStroke to)
{
    TValve& v = valves[valve];
    if (v.state >= TStroke::Enabled && v.state <= TStroke::Maximum && ShutDown())
        v.state = to;
}

void TModel::SaveSettings()
{
    // Tuned values become the values the control starts with.
    for (const TGain& gain : Gains) {
        const QString initial = Name(gain.initial);
        if (values.Has(initial))
            values.SetNumber(initial, values.Number(Name(gain.value)));
    }
    for (int valve = 0; valve < 2; ++valve) {
        const auto [atMinimum, atMaximum] = CalibrationItems(valve);
        if (values.Has(atMinimum))
            values.SetNumber(atMinimum, valves[valve].minCurrent);
        if (values.Has(atMaximum))
            values.SetNumber(atMaximum, valves[valve].maxCurrent);
    }
}

// A 20-160 mA actuator rather than a 4-20 mA one.
bool TModel::LargeActuator(int valve) const
{
    return values.Number(Name(ValveItems[valve].range)) >= 1;
}

// The configuration items that hold the valve's currents at 0% and 100% for its output range.
std::pair<QString, QString> TModel::CalibrationItems(int valve) const
{
    const QString scale = Name(ValveItems[valve].scale);
    if (LargeActuator(valve))
        return {scale + QStringLiteral(".MIN_INIT.TUNE"), scale + QStringLiteral(".MX_INIT.TUNE")};
    return {scale + QStringLiteral(".INIT_4_20.TUNE"), scale + QStringLiteral(".INIT_4_20M.TUNE")};
}

void TModel::SetMapPriority(bool toExtraction)
{
    extractionPriority = toExtraction && !config.speedPriorityOnly && config.turbineType >= 3;
}

} // namespace Turbine
