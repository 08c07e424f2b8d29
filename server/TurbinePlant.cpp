// The turbine model's simulation: setpoints and limiters, process loops, governor
// and valves, rotor, protection and sequences, advanced in short slices.
#include "server/ControlValues.h"
#include "server/TurbineModelPrivate.h"

#include <cmath>
#include <numbers>

namespace {

// Plant: rotor, steam path, processes. Accelerations in rpm/s.

constexpr double FullSteamAcceleration = 400.0;  // rotor acceleration from full steam flow, no load
constexpr double BearingFriction = 15.0;         // deceleration while turning at any speed
constexpr double ViscousFriction = 0.01;         // deceleration per rpm, 1/s
constexpr double WindageAtRated = 70.0;          // deceleration from windage at rated speed (square law)
constexpr double DrivenMachineAtRated = 120.0;   // mechanical drive: the driven machine at rated speed (cube law)
constexpr double ActuatorLag = 0.15;             // s, valve position behind its demand
// The steam chest between the valves and the first stage, and the governor's
// speed sensing: the two lags that make a stiffer speed loop overshoot more.
constexpr double SteamLag = 0.5;                 // s, steam flow behind the valve position
constexpr double SpeedSensingLag = 0.2;          // s, the governor's speed behind the rotor's
constexpr double StrokeRate = 20.0;              // %/s, valve travel while stroking
constexpr double ProcessLag = 4.0;               // s, extraction, cascade and auxiliary inputs
constexpr double TrackingMargin = 2.0;           // %, a limiting PID out of control waits this far above the demand

// Generator on the grid.
constexpr double SyncRate = 2.0;                 // rpm/s, setpoint motion while synchronising
constexpr double SyncWindow = 1.0;               // rpm around the slip speed in which the breaker closes
constexpr double SyncDwell = 2.0;                // s inside the window before the breaker closes
constexpr double ReversePowerMargin = 3.0;       // % valve below no-load flow that counts as reverse power
constexpr double ReversePowerDelay = 5.0;        // s of reverse power before the breaker opens

// Protection and supervision.
constexpr double OverspeedAlarmHysteresis = 20.0; // rpm
constexpr double CriticalBandStuckTime = 30.0;    // s in a critical band before the alarm
constexpr double SetpointReached = 0.05;          // rpm or units: a ramp at its target
constexpr double MinGovernorTolerance = 10.0;     // rpm below the minimum governor speed that counts as reaching it

// Remote inputs: a slow swing around their mid value.
constexpr double RemoteSwingPeriod = 300.0;      // s
constexpr double RemoteSwing = 0.1;              // of the remote range

// Operator ramps.
constexpr double CurrentAdjustRate = 0.1;        // mA/s on a 4-20 mA actuator, scaled for 20-160 mA
constexpr double LeastCurrentSpan = 1.0;         // mA between the currents at 0% and 100%

// Moves value towards target by at most rate * seconds.
double Approach(double value, double target, double rate, double seconds)
{
    const double step = rate * seconds;
    if (value < target)
        return std::min(target, value + step);
    return std::max(target, value - step);
}

} // namespace

namespace Turbine {

double TModel::Drag(double rpm) const
{
    if (rpm < StoppedSpeed)
        return 0;
    const double share = rpm / config.rated;
    double drag = BearingFriction + ViscousFriction * rpm + WindageAtRated * share * share;
    if (!config.generator)
        drag += DrivenMachineAtRated * share * share * share;
    return drag;
}

// Valve demand that holds rated speed without load, %.
double TModel::NoLoadDemand() const
{
    return Clamp(Drag(config.rated) / FullSteamAcceleration * 100.0, 0, 100);
}

bool TModel::OnLineDynamics() const
{
    if (config.generator)
        return Online();
    return Running() && aboveMinGovernor;
}

int TModel::BandOf(double rpm) const
{
    for (int band = 0; band < 2; ++band)
        if (config.band[band] && config.bandMin[band] < config.bandMax[band]
            && rpm > config.bandMin[band] && rpm < config.bandMax[band])
            return band;
    return -1;
}

// A target inside a critical band moves to the band's edge on this side of it.
double TModel::OutOfBand(double target) const
{
    const int band = BandOf(target);
    if (band < 0)
        return target;
    return setpoint <= config.bandMin[band] ? config.bandMin[band] : config.bandMax[band];
}

void TModel::RampDone(TRampOwner owner)
{
    switch (owner) {
    case TRampOwner::Start:
    case TRampOwner::Entered:
        break;
    case TRampOwner::IdleRated:
        if (idleRated == TIdleRated::ToRated)
            idleRated = TIdleRated::Rated;
        else if (idleRated == TIdleRated::ToIdle)
            idleRated = TIdleRated::Idle;
        break;
    case TRampOwner::AutoSeq:
        if (autoSeq == TAutoSeq::ToLowIdle) {
            holdLeft = lowDelay;
            autoSeq = config.autoHalt ? TAutoSeq::HaltedLow : TAutoSeq::LowHold;
            sequenceLatch = !config.autoHalt;
        } else if (autoSeq == TAutoSeq::ToHighIdle) {
            holdLeft = highDelay;
            autoSeq = config.autoHalt ? TAutoSeq::HaltedHigh : TAutoSeq::HighHold;
            sequenceLatch = !config.autoHalt;
        } else if (autoSeq == TAutoSeq::ToRated) {
            autoSeq = TAutoSeq::Complete;
        }
        break;
    case TRampOwner::Shutdown:
        break;
    }
}

void TModel::MoveSpeedSetpoint(double h)
{
    if (!Running()) {
        setpoint = 0;
        return;
    }
    double wanted = setpoint;

    const double raise = Held(RaiseSpeedItem, h);
    const double lower = Held(LowerSpeedItem, h);
    const bool manual = (raise >= 0) != (lower >= 0);
    const bool ownedByLoop = remoteSpeed || cascade.enabled || (auxiliary.enabled && config.auxiliary == 2);

    if (controlledShutdown) {
        wanted = Approach(setpoint, rampTarget, rampRate, h);
    } else if (manual && !ownedByLoop && !syncEnabled) {
        // The operator takes the setpoint over from any ramp.
        if (rampActive) {
            rampActive = false;
            if (rampOwner == TRampOwner::AutoSeq)
                HaltSequence();
            if (rampOwner == TRampOwner::IdleRated)
                idleRated = TIdleRated::Halted;
        }
        if (autoSeq == TAutoSeq::LowHold || autoSeq == TAutoSeq::HighHold)
            HaltSequence();
        LeaveIdleOrRated();
        const double held = std::max(raise, lower);
        const double rate = held > config.fastDelay ? config.fastRate : config.slowRate;
        wanted = setpoint + (raise >= 0 ? rate : -rate) * h;
    } else if (remoteSpeed) {
        wanted = Approach(setpoint, Clamp(remoteSpeedValue, config.minGovernor, config.maxGovernor), config.remoteRate, h);
    } else if (cascade.enabled) {
        const double demanded = config.cascadeSpeedMin
                                + (config.cascadeSpeedMax - config.cascadeSpeedMin) * cascade.pid.output / 100.0;
        wanted = Approach(setpoint, demanded, config.cascadeSpeedRate, h);
    } else if (auxiliary.enabled && config.auxiliary == 2) {
        // The auxiliary controller drives the valve; the speed setpoint waits at the speed.
        wanted = Clamp(speed, SpeedFloor(), SpeedCeiling());
    } else if (syncEnabled) {
        wanted = Approach(setpoint, config.rated * (1 + SyncSlip), SyncRate, h);
    } else if (rampActive) {
        wanted = Approach(setpoint, rampTarget, rampRate, h);
    }

    wanted = Clamp(wanted, SpeedFloor(), SpeedCeiling());

    // Critical speed bands are crossed at the critical rate and never held in.
    if (!Online()) {
        const int band = BandOf(setpoint);
        if (band >= 0) {
            if (criticalDirection == 0)
                criticalDirection = wanted >= setpoint ? 1 : -1;
            const double edge = criticalDirection > 0 ? config.bandMax[band] : config.bandMin[band];
            wanted = Approach(setpoint, edge, std::max(config.criticalRate, std::abs(wanted - setpoint) / h), h);
        } else if (BandOf(wanted) >= 0) {
            criticalDirection = wanted > setpoint ? 1 : -1;
        } else {
            criticalDirection = 0;
        }
    }
    setpoint = wanted;

    if (rampActive && std::abs(setpoint - rampTarget) < SetpointReached && BandOf(setpoint) < 0) {
        rampActive = false;
        RampDone(rampOwner);
    }
}

void TModel::MoveLimiters(double h)
{
    if (tripped) {
        hpLimiter = 0;
    } else {
        const double raise = Held(RaiseHpLimiterItem, h);
        const double lower = Held(LowerHpLimiterItem, h);
        if ((raise >= 0) != (lower >= 0)) {
            startRamp = TStartRamp::None;
            hpLimiter += (raise >= 0 ? 1 : -1) * config.limiterRate * h;
        } else if (started && startRamp == TStartRamp::ToInitial) {
            hpLimiter = Approach(hpLimiter, config.initialV1, config.limiterRate, h);
            if (hpLimiter >= config.initialV1)
                startRamp = TStartRamp::AtInitial;
        } else if (started && startRamp == TStartRamp::ToFull) {
            hpLimiter = Approach(hpLimiter, 100, config.limiterRate, h);
            if (hpLimiter >= 100)
                startRamp = TStartRamp::None;
        }
        hpLimiter = Clamp(hpLimiter, 0, 100);
    }

    const double raiseLp = Held(RaiseLpLimiterItem, h);
    const double lowerLp = Held(LowerLpLimiterItem, h);
    if ((raiseLp >= 0) != (lowerLp >= 0))
        lpLimiter = Clamp(lpLimiter + (raiseLp >= 0 ? 1 : -1) * config.lpLimiterRate * h, 0, 100);

    const double raiseDemand = Held(RaiseDemandItem, h);
    const double lowerDemand = Held(LowerDemandItem, h);
    if ((raiseDemand >= 0) != (lowerDemand >= 0))
        manualDemand = Clamp(manualDemand + (raiseDemand >= 0 ? 1 : -1) * config.demandRate * h, 0, 100);
}

void TModel::MoveLoopSetpoint(TLoop& loop, const TLoopConfig& c, const char* raiseItem,
                                              const char* lowerItem, double h)
{
    const double raise = Held(Name(raiseItem), h);
    const double lower = Held(Name(lowerItem), h);
    if (loop.remote) {
        loop.setpoint = Approach(loop.setpoint, Clamp(loop.remoteValue, c.remoteMin, c.remoteMax), c.remoteRate, h);
    } else if ((raise >= 0) != (lower >= 0)) {
        loop.enteredRamp = false;
        const double rate = std::max(raise, lower) > c.fastDelay ? c.fastRate : c.rate;
        loop.setpoint += (raise >= 0 ? rate : -rate) * h;
    } else if (loop.enteredRamp) {
        loop.setpoint = Approach(loop.setpoint, loop.enteredTarget, c.enteredRate, h);
        loop.enteredRamp = std::abs(loop.setpoint - loop.enteredTarget) >= SetpointReached;
    }
    loop.setpoint = Clamp(loop.setpoint, c.min, c.max);
}

void TModel::MoveLoops(double h)
{
    MoveLoopSetpoint(extraction, extractionConfig, "EXTR_R_L.RQV.IN_2", "EXTR_R_L.RQV.IN_1", h);
    MoveLoopSetpoint(cascade, cascadeConfig, "F_CASC_R_L.RQV.IN_2", "F_CASC_R_L.RQV.IN_1", h);
    MoveLoopSetpoint(auxiliary, auxiliaryConfig, "G_AUX_R_L.RQV.IN_2", "G_AUX_R_L.RQV.IN_1", h);

    // The processes: extraction pressure rises with HP flow and falls as the
    // LP valve opens; cascade and auxiliary inputs rise with steam flow.
    const double steam = hpValve;
    const double present = Clamp(steam / 10.0, 0, 1);
    const double xScale = std::max(1.0, extractionConfig.max);
    const double xTarget = config.turbineType >= 3
        ? xScale * Clamp(0.45 * present + 0.8 * (hpValve - lpValve) / 100.0, 0, 1.2) : 0.0;
    const double cTarget = std::max(1.0, cascadeConfig.max) * (0.25 * present + 0.6 * steam / 100.0);
    const double aTarget = std::max(1.0, auxiliaryConfig.max) * (0.1 * present + 0.7 * steam / 100.0);
    const double lag = Clamp(h / ProcessLag, 0, 1);
    extraction.input += (xTarget - extraction.input) * lag;
    cascade.input += (cTarget - cascade.input) * lag;
    auxiliary.input += (aTarget - auxiliary.input) * lag;

    // Remote setpoints: 4-20 mA inputs that swing slowly about their mid value.
    const double swing = std::sin(2 * std::numbers::pi * elapsed / RemoteSwingPeriod);
    auto remote = [swing](double min, double max) { return (min + max) / 2 + swing * RemoteSwing * (max - min); };
    remoteSpeedValue = config.remoteSpeed ? remote(config.remoteMin, config.remoteMax) : 0.0;
    extraction.remoteValue = config.remoteExtraction ? remote(extractionConfig.remoteMin, extractionConfig.remoteMax) : 0.0;
    cascade.remoteValue = config.remoteCascade ? remote(cascadeConfig.remoteMin, cascadeConfig.remoteMax) : 0.0;
    auxiliary.remoteValue = config.remoteAuxiliary ? remote(auxiliaryConfig.remoteMin, auxiliaryConfig.remoteMax) : 0.0;

    auto gain = [this](const char* item) { return values.Number(Name(item)); };
    auto percentError = [](const TLoop& loop, const TLoopConfig& c) {
        return (loop.setpoint - loop.input) / std::max(1.0, c.max - c.min) * 100.0;
    };
    // Extraction: pressure above setpoint opens the LP valve.
    if (extraction.enabled)
        extraction.pid.Update(-percentError(extraction, extractionConfig), 0, gain("EXTR_DYN.P_GAIN.RAMP"),
                              gain("EXTR_DYN.I_GAIN.RAMP"), 0, h);
    if (cascade.enabled)
        cascade.pid.Update(percentError(cascade, cascadeConfig), 0, gain("F_CAS_DYN.P_GAIN.RAMP"),
                           gain("F_CAS_DYN.I_GAIN.RAMP"), 0, h);
    if (auxiliary.enabled)
        auxiliary.pid.Update(percentError(auxiliary, auxiliaryConfig), 0, gain("G_AUX_DYN.P_GAIN.RAMP"),
                             gain("G_AUX_DYN.I_GAIN.RAMP"), 0, h);
    for (TLoop* loop : {&extraction, &cascade, &auxiliary}) {
        if (loop->enabled && (loop->pid.output < 0 || loop->pid.output > 100))
            loop->pid.Track(Clamp(loop->pid.output, 0, 100));
        if (!loop->enabled)
            loop->pid.Reset(0);
    }
}

void TModel::MoveGains(double h)
{
    for (const TGainButton& button : gainButtons) {
        if (Held(button.item, h) < 0)
            continue;
        const double now = std::max(LeastGain, values.Number(button.value));
        values.SetNumber(button.value, Clamp(now * std::exp(button.rate * h), LeastGain, button.most));
    }
}

void TModel::MoveCurrents(double h)
{
    for (int valve = 0; valve < 2; ++valve) {
        TValve& v = valves[valve];
        if (v.state < TStroke::Enabled || v.state > TStroke::Maximum)
            continue;
        const bool large = LargeActuator(valve);
        const double rate = CurrentAdjustRate * (large ? 8.75 : 1.0);
        const double top = large ? 200.0 : 25.0;
        const QString scale = Name(ValveItems[valve].scale) + QStringLiteral(".RQV.IN_");
        // Inputs 1 and 2 lower and raise the current at 0%, 3 and 4 the current at 100%.
        if (Held(scale + QLatin1Char('1'), h) >= 0)
            v.minCurrent -= rate * h;
        if (Held(scale + QLatin1Char('2'), h) >= 0)
            v.minCurrent += rate * h;
        if (Held(scale + QLatin1Char('3'), h) >= 0)
            v.maxCurrent -= rate * h;
        if (Held(scale + QLatin1Char('4'), h) >= 0)
            v.maxCurrent += rate * h;
        v.minCurrent = Clamp(v.minCurrent, 0, top - LeastCurrentSpan);
        v.maxCurrent = Clamp(v.maxCurrent, v.minCurrent + LeastCurrentSpan, top);
    }
}

void TModel::ControlValves(double h)
{
    limiterInControl = false;
    auxiliaryInControl = false;
    const bool online = OnLineDynamics();
    auto gain = [this](const char* item) { return values.Number(Name(item)); };
    const double p = online ? gain("D_SPD_DYN.P_GAIN_ON.RAMP") : gain("D_SPD_DYN.P_GAIN_OFF.RAMP");
    const double i = online ? gain("D_SPD_DYN.I_GAIN_ON.RAMP") : gain("D_SPD_DYN.I_GAIN_OF.RAMP");
    const double dr = online ? gain("D_SPD_DYN.D_GAIN_ON.RAMP") : gain("D_SPD_DYN.D_GAIN_OF.RAMP");

    double demand = 0;
    if (Running()) {
        // Droop on the generator's load share keeps the machines on the grid apart.
        const double droop = config.generator ? config.droop / 100.0 * config.rated * load : 0.0;
        speedReference = setpoint - droop;
        const double error = SpeedPercent(speedReference - sensedSpeed);
        speedPid.Update(error, SpeedPercent(acceleration), p, i, dr, h);
        demand = speedPid.output;
        if (auxiliary.enabled && config.auxiliary == 2) {
            demand = auxiliary.pid.output;
            auxiliaryInControl = true;
        } else if (auxiliary.enabled && config.auxiliary == 3 && auxiliary.pid.output < demand) {
            demand = auxiliary.pid.output;
            auxiliaryInControl = true;
        }
        if (hpLimiter < demand) {
            demand = hpLimiter;
            limiterInControl = true;
            auxiliaryInControl = false;
        }
        demand = Clamp(demand, 0, 100);
        // A controller out of control follows the demand.
        if (auxiliaryInControl && config.auxiliary == 2)
            speedPid.Track(demand);
        else
            speedPid.Track(Clamp(speedPid.output, 0, demand));
        if (auxiliary.enabled && config.auxiliary == 3 && !auxiliaryInControl)
            auxiliary.pid.Track(std::min(auxiliary.pid.output, std::min(100.0, demand + TrackingMargin)));
    } else {
        speedReference = setpoint;
        speedPid.Reset(0);
    }

    // Split range valves share the demand; extraction turbines drive the LP valve from their own loop.
    double hp = demand;
    double lp = 0;
    switch (config.turbineType) {
    case 2:
        hp = Clamp(2 * demand, 0, 100);
        lp = Clamp(2 * demand - 100, 0, 100);
        break;
    case 3:
    case 4:
    case 5:
        if (!Running())
            lp = 0;
        else if (extraction.enabled)
            lp = extraction.pid.output;
        else if (config.turbineType == 3)
            lp = demand;
        else
            lp = manualDemand;
        lp = std::min(lp, lpLimiter);
        break;
    default:
        break;
    }
    hpDemand = hp;
    lpDemand = lp;

    // Actuators: stroking positions override the control while the turbine is shut down.
    double target[2] = {hpDemand, lpDemand};
    for (int valve = 0; valve < 2; ++valve) {
        TValve& v = valves[valve];
        switch (v.state) {
        case TStroke::Manual:
            v.position = Approach(v.position, Clamp(values.Number(Name(ValveItems[valve].stroke) + QStringLiteral(".MANL_HOLD.TUNE")), 0, 100), StrokeRate, h);
            target[valve] = v.position;
            break;
        case TStroke::Minimum:
            v.position = Approach(v.position, 0, StrokeRate, h);
            target[valve] = v.position;
            break;
        case TStroke::Maximum:
            v.position = Approach(v.position, 100, StrokeRate, h);
            target[valve] = v.position;
            break;
        case TStroke::Enabled:
            target[valve] = v.position;
            break;
        default:
            v.position = target[valve];
            break;
        }
    }
    const double lag = Clamp(h / ActuatorLag, 0, 1);
    hpValve += (target[0] - hpValve) * lag;
    lpValve += (target[1] - lpValve) * lag;
}

void TModel::TurnRotor(double h)
{
    // Steam reaches the rotor only while the turbine is not tripped: a trip shuts
    // the steam off at once, else the flow follows the valves through the steam chest.
    double steam = 0;
    if (!tripped) {
        steam = config.turbineType >= 3 ? 0.65 * hpValve + 0.35 * std::min(lpValve, hpValve) : hpValve;
        if (config.turbineType == 2)
            steam = (hpValve + lpValve) / 2;
        steam = steamFlow + (steam - steamFlow) * Clamp(h / SteamLag, 0, 1);
    }
    steamFlow = steam;
    const double drive = FullSteamAcceleration * steam / 100.0;

    if (Online()) {
        // The grid holds the speed; the steam becomes load.
        speed = config.rated;
        acceleration = 0;
        SenseSpeed(h);
        const double noLoad = NoLoadDemand();
        load = Clamp((steam - noLoad) / std::max(1.0, 100.0 - noLoad), 0, 1);
        if (steam < noLoad - ReversePowerMargin) {
            reversePowerFor += h;
            if (reversePowerFor >= ReversePowerDelay) {
                breakerClosed = false;
                load = 0;
                Alarm(BreakerOpened);
            }
        } else {
            reversePowerFor = 0;
        }
        return;
    }
    load = 0;
    reversePowerFor = 0;
    double accel = drive - Drag(speed);
    if (speed < StoppedSpeed && drive <= BearingFriction)
        accel = 0;   // standing rotor: steam does not yet break it away
    speed = std::max(0.0, speed + accel * h);
    if (speed < StoppedSpeed && accel <= 0)
        speed = 0;
    acceleration = accel;
    SenseSpeed(h);
}

void TModel::SenseSpeed(double h)
{
    sensedSpeed += (speed - sensedSpeed) * Clamp(h / SpeedSensingLag, 0, 1);
}

void TModel::Supervise(double h)
{
    peakSpeed = std::max(peakSpeed, speed);

    // "Trip Turbine To Stroke" has been done: the valve waits for Enable again.
    for (TValve& valve : valves)
        if (valve.state == TStroke::NotShutDown && ShutDown())
            valve.state = TStroke::Disabled;

    // Overspeed protection: during an external test the control's own trip
    // steps aside for the external device, which trips between the two levels.
    const double externalDevice = config.overspeedLimit > config.overspeedTrip
        ? (config.overspeedTrip + config.overspeedLimit) / 2 : config.overspeedLimit;
    if (overspeedTest == TOverspeedTest::External) {
        if (speed >= externalDevice)
            Trip(ExternalOverspeedTrip);
    } else if (speed >= config.overspeedTrip) {
        Trip(OverspeedTrip);
    }
    if (overspeedTest != TOverspeedTest::Off && config.tripAtTestLimit && speed >= config.overspeedLimit)
        Trip(OverspeedTestLimitTrip);

    if (speed >= config.overspeedAlarm && !overspeedAlarmed) {
        overspeedAlarmed = true;
        Alarm(OverspeedAlarm);
    } else if (speed < config.overspeedAlarm - OverspeedAlarmHysteresis) {
        overspeedAlarmed = false;
    }

    if (overspeedTest != TOverspeedTest::Off) {
        overspeedTestFor += h;
        if (overspeedTestFor >= config.overspeedTestTime) {
            DisableOverspeedTest(OverspeedTestEnded);
            Alarm(OverspeedTestTimedOut);
        }
    }

    // A rotor that cannot get through a critical band is alarmed once per visit.
    if (Running() && BandOf(speed) >= 0) {
        inBandFor += h;
        if (inBandFor >= CriticalBandStuckTime && !criticalAlarmed) {
            criticalAlarmed = true;
            Alarm(CriticalBandAlarm);
        }
    } else {
        inBandFor = 0;
        criticalAlarmed = false;
    }

    // Once in the governor range the setpoint stays there, unless a ramp is on its way down to idle.
    if (Running() && !aboveMinGovernor && speed >= config.minGovernor - MinGovernorTolerance
        && setpoint >= config.minGovernor && !(rampActive && rampTarget < config.minGovernor))
        aboveMinGovernor = true;

    // The synchroniser closes the breaker once the speed has matched the bus for a while.
    if (syncEnabled) {
        if (std::abs(speed - config.rated * (1 + SyncSlip)) <= SyncWindow) {
            syncMatchedFor += h;
            if (syncMatchedFor >= SyncDwell) {
                breakerClosed = true;
                syncEnabled = false;
                setpoint = std::max(setpoint, config.rated);
            }
        } else {
            syncMatchedFor = 0;
        }
    }
}

void TModel::RunSequences(double h)
{
    if (controlledShutdown && !rampActive && speed <= setpoint + 0.02 * config.rated && !Online())
        Trip(ControlledShutdownTrip);

    if (autoSeq == TAutoSeq::LowHold || autoSeq == TAutoSeq::HighHold) {
        holdLeft = std::max(0.0, holdLeft - h);
        if (holdLeft <= 0) {
            if (autoSeq == TAutoSeq::LowHold) {
                autoSeq = TAutoSeq::ToHighIdle;
                StartRamp(TRampOwner::AutoSeq, config.highIdle, highRate);
            } else {
                autoSeq = TAutoSeq::ToRated;
                StartRamp(TRampOwner::AutoSeq, config.autoRated, ratedRate);
            }
        }
    }
}

void TModel::Advance(double h)
{
    elapsed += h;
    clearMarkLeft = std::max(0.0, clearMarkLeft - h);
    MoveLimiters(h);
    MoveLoops(h);
    MoveSpeedSetpoint(h);
    MoveGains(h);
    MoveCurrents(h);
    ControlValves(h);
    TurnRotor(h);
    Supervise(h);
    RunSequences(h);
}

} // namespace Turbine
