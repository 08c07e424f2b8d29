#include "server/TurbineModel.h"

#include "server/ControlValues.h"
#include "server/TurbineLogs.h"
#include "server/TurbineOutputs.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <utility>

namespace {

// ---------------------------------------------------------------------------
// Plant: rotor, steam path, processes. Accelerations in rpm/s.

constexpr double LongestSubstep = 0.02;          // s; Step() integrates in slices no longer than this
constexpr double ConfigurationRereadInterval = 5.0; // s; settings are read again at least this often
constexpr double FullSteamAcceleration = 400.0;  // rotor acceleration from full steam flow, no load
constexpr double BearingFriction = 15.0;         // deceleration while turning at any speed
constexpr double ViscousFriction = 0.01;         // deceleration per rpm, 1/s
constexpr double WindageAtRated = 70.0;          // deceleration from windage at rated speed (square law)
constexpr double DrivenMachineAtRated = 120.0;   // mechanical drive: the driven machine at rated speed (cube law)
constexpr double ActuatorLag = 0.15;             // s, valve position behind its demand
constexpr double StrokeRate = 20.0;              // %/s, valve travel while stroking
constexpr double StoppedSpeed = 0.5;             // rpm; below this the rotor stands still
constexpr double ProcessLag = 4.0;               // s, extraction, cascade and auxiliary inputs
constexpr double FirstStageAtFullFlow = 600.0;   // psig
constexpr double DerivativeTime = 1.0;           // s, scales the derivative ratio
constexpr double TrackingMargin = 2.0;           // %, a limiting PID out of control waits this far above the demand

// Generator on the grid.
constexpr double SyncSlip = 0.001;               // of rated speed, the synchroniser runs this much above the bus
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
constexpr double InitialHoursTripped = 100.0;     // a control that has just been powered starts cold

// Remote inputs: a slow swing around their mid value.
constexpr double RemoteSwingPeriod = 300.0;      // s
constexpr double RemoteSwing = 0.1;              // of the remote range

// Operator ramps.
constexpr double GainSlowRate = 0.2;             // gains change by this share per second
constexpr double GainFastRate = 1.0;
constexpr double LeastGain = 0.01;
constexpr double CurrentAdjustRate = 0.1;        // mA/s on a 4-20 mA actuator, scaled for 20-160 mA
constexpr double LeastCurrentSpan = 1.0;         // mA between the currents at 0% and 100%

// Fallbacks for configuration values the control database does not hold.
constexpr double DefaultRated = 3600;
constexpr double DefaultIdle = 1000;
constexpr double DefaultIdleRatedRate = 25;      // rpm/s
constexpr double DefaultRateToMin = 25;          // rpm/s
constexpr double DefaultLimiterRate = 2;         // %/s
constexpr double DefaultInitialV1 = 25;          // %
constexpr double DefaultMinGovernor = 3200;
constexpr double DefaultMaxGovernor = 3780;
constexpr double DefaultOverspeedTrip = 3960;
constexpr double DefaultOverspeedLimit = 4000;
constexpr double DefaultSlowRate = 10;           // rpm/s
constexpr double DefaultFastRate = 50;           // rpm/s
constexpr double DefaultFastDelay = 3;           // s
constexpr double DefaultEnteredRate = 20;        // rpm/s
constexpr double DefaultCriticalRate = 100;      // rpm/s
constexpr double DefaultBand1Min = 1800, DefaultBand1Max = 2200;
constexpr double DefaultBand2Min = 2700, DefaultBand2Max = 2900;
constexpr double DefaultOverspeedTestMinutes = 5;
constexpr double DefaultDroop = 5;               // %
constexpr double DefaultMaxLoad = 10000;         // kW
constexpr double DefaultRemoteRate = 20;         // rpm/s
constexpr double DefaultLowIdle = 1000, DefaultHighIdle = 2500;
constexpr double DefaultLowDelayCold = 10, DefaultLowDelayHot = 1;   // min
constexpr double DefaultHighDelayCold = 15, DefaultHighDelayHot = 2; // min
constexpr double DefaultHighRateCold = 5, DefaultHighRateHot = 20;   // rpm/s
constexpr double DefaultRatedRateCold = 5, DefaultRatedRateHot = 20; // rpm/s
constexpr double DefaultColdHours = 10, DefaultHotHours = 1;
constexpr double DefaultLoopRate = 2;            // units/s, process setpoints
constexpr double DefaultLoopFastRate = 10;
constexpr double DefaultLoopDelay = 3;           // s before the fast rate
constexpr double DefaultLpLimiterRate = 2;       // %/s
constexpr double DefaultDemandRate = 2;          // %/s
constexpr double DefaultCascadeSpeedRate = 20;   // rpm/s

// ---------------------------------------------------------------------------
// Lists of the control.

// Units of the extraction/admission input, in the order of the configuration list.
constexpr const char* ExtractionUnits[] = {"None", "psi", "kPa", "bar", "atm", "t/h", "kg/hr", "kg/cm2", "#/hr", "k#/hr"};
// Units of the cascade and auxiliary inputs.
constexpr const char* ProcessUnits[] = {"None", "psi", "kPa", "MW", "KW", "bar", "atm", "t/h", "kg/hr",
                                        "kg/cm2", "#/hr", "k#/hr", "degF", "degC"};

// Analog input functions that the Run mode panels depend on.
constexpr int AnalogInputs = 8;
constexpr int SynchronizingInput = 3;
constexpr int FirstLoadShareInput = 4, LastLoadShareInput = 6;
constexpr int FirstStagePressureInput = 22;

enum class TStartRoutine { Manual = 1, Semiautomatic = 2, Automatic = 3 };
enum class TIdleToRated { NoIdle = 1, ManualOnly = 2, IdleRated = 3, AutoSequence = 4 };

// Idle/rated states, as the control numbers and names them.
enum class TIdleRated { Idle = 1, ToIdle = 2, ToRated = 3, Rated = 4, Halted = 5, IdleRefused = 6 };

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

// Automatic start sequence states; 7 and 10 hold at low idle, 8 and 9 at high idle.
enum class TAutoSeq {
    NotStarted = 0, ToLowIdle = 1, ToHighIdle = 2, ToRated = 3, Complete = 4, Halted = 5,
    LowHold = 7, HighHold = 8, HaltedHigh = 9, HaltedLow = 10
};

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

// Valve stroking states; 0, 5 and 6 leave the Go buttons inoperable.
enum class TStroke { Disabled = 0, Enabled = 1, Manual = 2, Minimum = 3, Maximum = 4, NotShutDown = 5, NotUsed = 6 };

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

enum class TOverspeedTest { Off, Internal, External };

enum class TStartRamp { None, ToInitial, AtInitial, ToFull };

// Who moves the speed setpoint along a ramp.
enum class TRampOwner { Start, Entered, IdleRated, AutoSeq, Shutdown };

// Trip and alarm texts.
const QString PowerUpTrip = QStringLiteral("Power Up Trip");
const QString OverspeedTrip = QStringLiteral("Overspeed Trip");
const QString ExternalOverspeedTrip = QStringLiteral("External Overspeed Trip");
const QString OverspeedTestLimitTrip = QStringLiteral("Overspeed Test Limit Trip");
const QString RunModeShutdown = QStringLiteral("RQV Shutdown Command");
const QString ControlledShutdownTrip = QStringLiteral("Controlled Shutdown Complete");
const QString OverspeedAlarm = QStringLiteral("Overspeed Alarm");
const QString CriticalBandAlarm = QStringLiteral("Stuck In Critical Band");
const QString OverspeedTestTimedOut = QStringLiteral("Overspeed Test Timed Out");
const QString BreakerOpened = QStringLiteral("Generator Breaker Open");

// Everything a time stamp or clock item shows is C-locale text.
const QString StampFormat = QStringLiteral("dd-MMM hh:mm:ss");
const QString TimeOfDayFormat = QStringLiteral("hh:mm:ss");

// ---------------------------------------------------------------------------
// Items that several parts of the model use.

const QString ResetItem = QStringLiteral("X_RESET.RQV.IN_1");
const QString StartItem = QStringLiteral("I_START.RQV_EN.TRIGGER");
const QString RaiseSpeedItem = QStringLiteral("D_SPD_R_L.RQV.IN_1");
const QString LowerSpeedItem = QStringLiteral("D_SPD_R_L.RQV.IN_2");
const QString RaiseHpLimiterItem = QStringLiteral("I_V1_LMTR.RQV.IN_2");
const QString LowerHpLimiterItem = QStringLiteral("I_V1_LMTR.RQV.IN_1");
const QString RaiseLpLimiterItem = QStringLiteral("I_V2LMT_RL.RQV.IN_2");
const QString LowerLpLimiterItem = QStringLiteral("I_V2LMT_RL.RQV.IN_1");
const QString RaiseDemandItem = QStringLiteral("E_MAN_DMND.RQV.IN_2");
const QString LowerDemandItem = QStringLiteral("E_MAN_DMND.RQV.IN_1");

// One gain of a dynamics window: its value, its four buttons (lower, fast
// lower, fast raise, raise, numbered from the first input) and the initial
// value it takes when the control starts.
struct TGain {
    const char* value;
    const char* buttons;
    int firstInput;
    const char* initial;
};

constexpr TGain Gains[] = {
    {"D_SPD_DYN.P_GAIN_OFF.RAMP", "D_SPD_DYN.RQV_OFF_LN.IN_", 1, "D_SPD_DYN.P_OFF_INIT.TUNE"},
    {"D_SPD_DYN.I_GAIN_OF.RAMP", "D_SPD_DYN.RQV_OFF_LN.IN_", 5, "D_SPD_DYN.I_OF_INIT.TUNE"},
    {"D_SPD_DYN.D_GAIN_OF.RAMP", "D_SPD_DYN.RQV_OFF_LN.IN_", 9, "D_SPD_DYN.D_OF_INIT.TUNE"},
    {"D_SPD_DYN.P_GAIN_ON.RAMP", "D_SPD_DYN.RQV_ON_LN.IN_", 1, "D_SPD_DYN.P_ON_INIT.TUNE"},
    {"D_SPD_DYN.I_GAIN_ON.RAMP", "D_SPD_DYN.RQV_ON_LN.IN_", 5, "D_SPD_DYN.I_ON_INIT.TUNE"},
    {"D_SPD_DYN.D_GAIN_ON.RAMP", "D_SPD_DYN.RQV_ON_LN.IN_", 9, "D_SPD_DYN.D_ON_INIT.TUNE"},
    {"EXTR_DYN.P_GAIN.RAMP", "EXTR_DYN.RQV_P_GAIN.IN_", 1, "EXTR_DYN.P_INIT.TUNE"},
    {"EXTR_DYN.I_GAIN.RAMP", "EXTR_DYN.RQV_I_GAIN.IN_", 1, "EXTR_DYN.I_INIT.TUNE"},
    {"EXTR_DYN.D_GAIN.RAMP", "EXTR_DYN.RQV_D_GAIN.IN_", 1, "EXTR_DYN.D_INIT.TUNE"},
    {"F_CAS_DYN.P_GAIN.RAMP", "F_CAS_DYN.RQV_P_GAIN.IN_", 1, "F_CAS_DYN.P_INIT.TUNE"},
    {"F_CAS_DYN.I_GAIN.RAMP", "F_CAS_DYN.RQV_I_GAIN.IN_", 1, "F_CAS_DYN.I_INIT.TUNE"},
    {"F_CAS_DYN.D_GAIN.RAMP", "F_CAS_DYN.RQV_D_GAIN.IN_", 1, "F_CAS_DYN.D_INIT.TUNE"},
    {"G_AUX_DYN.P_GAIN.RAMP", "G_AUX_DYN.RQV_P_GAIN.IN_", 1, "G_AUX_DYN.P_INIT.TUNE"},
    {"G_AUX_DYN.I_GAIN.RAMP", "G_AUX_DYN.RQV_I_GAIN.IN_", 1, "G_AUX_DYN.I_INIT.TUNE"},
    {"G_AUX_DYN.D_GAIN.RAMP", "G_AUX_DYN.RQV_D_GAIN.IN_", 1, "G_AUX_DYN.D_INIT.TUNE"},
};

// Button offsets from a gain's first input and the share per second each moves the gain.
constexpr struct {
    int offset;
    double rate;
} GainButtons[] = {{0, -GainSlowRate}, {1, -GainFastRate}, {2, GainFastRate}, {3, GainSlowRate}};

// The items of one valve actuator.
struct TValveItems {
    const char* stroke;       // stroking block, e.g. "I_STRK_V1"
    const char* message;      // its message field, e.g. "ACT1_MSG"
    const char* scale;        // current scaling block, e.g. "I_V1_SCALE"
    const char* limiter;      // actuator limiter read-out
    const char* readback;     // actuator current read-back
    const char* range;        // output range configuration (0: 4-20 mA, 1: 20-160 mA)
};

constexpr TValveItems ValveItems[2] = {
    {"I_STRK_V1", "ACT1_MSG", "I_V1_SCALE", "I_V1DRIVER.ACTR_LMTR.A_LIMITER", "A_HP_ACT.ACT_RM.RDBK_MA", "C_DRIVER.ACT1_CONF.IN"},
    {"I_STRK_V2", "ACT2_MSG", "I_V2_SCALE", "I_V2DRIVER.ACTR_LMTR.A_LIMITER", "A_LP_ACT.ACT_RM.RDBK_MA", "C_DRIVER.ACT2_CONF.IN"},
};

QString Name(const char* text)
{
    return QString::fromLatin1(text);
}

double Clamp(double value, double low, double high)
{
    return std::max(low, std::min(value, high));
}

// Moves value towards target by at most rate * seconds.
double Approach(double value, double target, double rate, double seconds)
{
    const double step = rate * seconds;
    if (value < target)
        return std::min(target, value + step);
    return std::max(target, value - step);
}

// Linear interpolation between the hot and the cold value by the hours the turbine stood.
double ColdHot(double hours, double hotHours, double coldHours, double hot, double cold)
{
    if (coldHours <= hotHours)
        return hours >= coldHours ? cold : hot;
    const double share = Clamp((hours - hotHours) / (coldHours - hotHours), 0, 1);
    return hot + share * (cold - hot);
}

// A PID controller in percent. The integral carries the controller's memory;
// tracking sets it so that the output equals a given value, which keeps a
// controller that is not in control ready to take over without a bump.
struct TPid {
    double integral = 0;
    double output = 0;

    double Update(double error, double measurementRate, double p, double i, double dr, double h)
    {
        integral += p * i * error * h;
        output = p * error + integral - p * (dr / 100.0) * DerivativeTime * measurementRate;
        return output;
    }
    void Track(double value)
    {
        integral += value - output;
        output = value;
    }
    void Reset(double value)
    {
        integral = value;
        output = value;
    }
};

// A process loop (extraction/admission, cascade, auxiliary): setpoint, input, PID, remote setpoint.
struct TLoop {
    bool enabled = false;
    bool remote = false;
    double setpoint = 0;
    double input = 0;
    double remoteValue = 0;
    bool enteredRamp = false;
    double enteredTarget = 0;
    TPid pid;
};

} // namespace

// ---------------------------------------------------------------------------

struct TTurbineModel::Private {
    explicit Private(TControlValues& controlValues);

    struct TColdHot {
        double hot, cold;
    };

    // Configuration, read again whenever the program writes a value and now and then.
    struct TConfig {
        int turbineType = 1;
        bool generator = true;
        TStartRoutine startRoutine = TStartRoutine::Automatic;
        TIdleToRated idleToRated = TIdleToRated::IdleRated;
        int auxiliary = 1;   // 1 not used, 2 controller, 3 limiter
        bool cascade = false;
        bool useLocalRemote = false;
        bool remoteSpeed = false, remoteExtraction = false, remoteCascade = false, remoteAuxiliary = false;
        bool useInitialV1 = false;
        double initialV1 = DefaultInitialV1;
        double rated = DefaultRated, idle = DefaultIdle, idleRatedRate = DefaultIdleRatedRate;
        double rateToMin = DefaultRateToMin, limiterRate = DefaultLimiterRate;
        double minGovernor = DefaultMinGovernor, maxGovernor = DefaultMaxGovernor;
        double overspeedTrip = DefaultOverspeedTrip, overspeedLimit = DefaultOverspeedLimit;
        double overspeedAlarm = 0;
        bool tripAtTestLimit = true;
        double overspeedTestTime = DefaultOverspeedTestMinutes * 60;
        double slowRate = DefaultSlowRate, fastRate = DefaultFastRate, fastDelay = DefaultFastDelay;
        double enteredRate = DefaultEnteredRate;
        bool band[2] = {true, false};
        double bandMin[2] = {DefaultBand1Min, DefaultBand2Min}, bandMax[2] = {DefaultBand1Max, DefaultBand2Max};
        double criticalRate = DefaultCriticalRate;
        double droop = DefaultDroop, maxLoad = DefaultMaxLoad;
        double remoteRate = DefaultRemoteRate, remoteMin = 0, remoteMax = 0;
        bool autoHalt = false;
        double lowIdle = DefaultLowIdle, highIdle = DefaultHighIdle, autoRated = DefaultRated;
        // Hot and cold values; the hours the turbine stood choose between them.
        double hotHours = DefaultHotHours, coldHours = DefaultColdHours;
        TColdHot lowDelay{DefaultLowDelayHot, DefaultLowDelayCold};     // min
        TColdHot highDelay{DefaultHighDelayHot, DefaultHighDelayCold};  // min
        TColdHot highRate{DefaultHighRateHot, DefaultHighRateCold};     // rpm/s
        TColdHot ratedRate{DefaultRatedRateHot, DefaultRatedRateCold};  // rpm/s
        double lpLimiterRate = DefaultLpLimiterRate, demandRate = DefaultDemandRate;
        double extractionPermissive = DefaultMinGovernor;
        bool speedPriorityOnly = false;
        double cascadeSpeedMin = DefaultMinGovernor, cascadeSpeedMax = DefaultMaxGovernor;
        double cascadeSpeedRate = DefaultCascadeSpeedRate;
    };

    // Limits and rates of one process loop.
    struct TLoopConfig {
        double min = 0, max = 0, rate = DefaultLoopRate, fastRate = DefaultLoopFastRate;
        double fastDelay = DefaultLoopDelay, enteredRate = DefaultLoopRate;
        double remoteMin = 0, remoteMax = 0, remoteRate = DefaultLoopRate;
    };

    // -- Reading values
    double Config(const char* item, double fallback) const;
    double Positive(const char* item, double fallback) const;
    bool ConfigFlag(const char* item, bool fallback) const;
    void ReadConfig();
    void ReadLoopConfig(TLoopConfig& loop, const char* block, const char* rateItem, const char* fastItem,
                        const char* enteredItem, const char* remoteBlock, const char* enteredValue,
                        double fallbackMin, double fallbackMax);
    double Held(const QString& item, double h);
    double ByStandstill(const TColdHot& value) const;
    bool Rising(const QString& item);

    // -- Clock
    QDateTime Clock() const;
    QString Stamp() const;
    void SetClock(const QDateTime& to);
    void SetClockField(int field);
    void SetWholeClock();

    // -- Commands
    void Reset();
    void StartTurbine();
    void Trip(const QString& cause);
    void Alarm(const QString& message);
    void SelectRated();
    void SelectIdle();
    void HaltSequence();
    void ContinueSequence();
    void BeginControlledShutdown();
    void AbortControlledShutdown();
    void EnterSpeedSetpoint();
    void EnterHpLimiter();
    void EnterLpLimiter();
    void EnableOverspeedTest(TOverspeedTest kind);
    void DisableOverspeedTest(const QString& status);
    void EnableRemoteSpeed(bool on);
    void EnableSync(bool on);
    void EnableLoop(TLoop& loop, bool on, double permissiveSpeed);
    void EnableStroking(int valve, bool on);
    void GoStroke(int valve, TStroke to);
    void SaveSettings();
    bool LargeActuator(int valve) const;
    std::pair<QString, QString> CalibrationItems(int valve) const;
    void SetMapPriority(bool extraction);

    // -- Simulation
    void Advance(double h);
    void MoveSpeedSetpoint(double h);
    void MoveLimiters(double h);
    void MoveLoops(double h);
    void MoveLoopSetpoint(TLoop& loop, const TLoopConfig& config, const char* raiseItem,
                          const char* lowerItem, double h);
    void MoveGains(double h);
    void MoveCurrents(double h);
    void ControlValves(double h);
    void TurnRotor(double h);
    void Supervise(double h);
    void RunSequences(double h);
    void RampDone(TRampOwner owner);
    void StartRamp(TRampOwner owner, double target, double rate);
    double SpeedFloor() const;
    double SpeedCeiling() const;
    double OutOfBand(double target) const;
    int BandOf(double speed) const;
    double Drag(double speed) const;
    double NoLoadDemand() const;
    double SpeedPercent(double rpm) const { return rpm / config.rated * 100.0; }
    bool Running() const { return !tripped && started; }
    bool Online() const { return breakerClosed; }
    bool OnLineDynamics() const;
    bool ShutDown() const { return tripped && speed < StoppedSpeed; }

    // -- Publishing
    void Publish();
    QString ControlMessage() const;
    QString LoopName() const;
    QString LoopStatus(const TLoop& loop, bool configured) const;

    TControlValues& values;
    TTurbineOutputs out;
    TTurbineLogs logs;
    TConfig config;
    TLoopConfig extractionConfig, cascadeConfig, auxiliaryConfig;
    QHash<QString, std::function<void()>> commands;
    QHash<QString, bool> commandState;
    QHash<QString, double> heldFor;
    // Commands the program holds while a button is pressed, and those now held.
    QSet<QString> momentary;
    QSet<QString> pressed;

    // Each gain button with the gain it moves and the share per second.
    struct TGainButton {
        QString item;
        QString value;
        double rate;
    };
    QList<TGainButton> gainButtons;

    double elapsed = 0;         // control time since construction, s
    qint64 clockAtZero = 0;     // the control clock at elapsed 0, ms since the epoch (naive local time)
    double lastTripAt = -InitialHoursTripped * 3600;

    // Turbine
    bool tripped = true;
    bool started = false;
    double speed = 0;
    double acceleration = 0;
    double peakSpeed = 0;
    double setpoint = 0;
    bool aboveMinGovernor = false;
    int criticalDirection = 0;
    double inBandFor = 0;
    bool criticalAlarmed = false;
    bool overspeedAlarmed = false;

    // Speed setpoint ramp
    bool rampActive = false;
    TRampOwner rampOwner = TRampOwner::Start;
    double rampTarget = 0;
    double rampRate = 0;

    // Limiters and valves
    double hpLimiter = 0;
    double lpLimiter = 100;
    double manualDemand = 0;
    TStartRamp startRamp = TStartRamp::None;
    double hpDemand = 0, lpDemand = 0;   // what the control asks of the actuators
    double hpValve = 0, lpValve = 0;     // where the valves stand
    bool limiterInControl = false;
    bool auxiliaryInControl = false;
    TPid speedPid;

    // Sequences
    TIdleRated idleRated = TIdleRated::Idle;
    TAutoSeq autoSeq = TAutoSeq::NotStarted;
    TAutoSeq resumeTo = TAutoSeq::NotStarted;
    double holdLeft = 0;          // s
    double lowDelay = 0, highDelay = 0;   // s, fixed when the sequence starts
    double highRate = 0, ratedRate = 0;   // rpm/s
    bool controlledShutdown = false;
    QString shutdownStatus = QStringLiteral("Not Active");

    // Overspeed test
    TOverspeedTest overspeedTest = TOverspeedTest::Off;
    double overspeedTestFor = 0;
    QString overspeedStatus = QStringLiteral("Test Disabled");

    // Generator, remote, modes
    bool remoteSpeed = false;
    double remoteSpeedValue = 0;
    QString remoteStatus = QStringLiteral("Disabled");
    bool syncEnabled = false;
    bool breakerClosed = false;
    double syncMatchedFor = 0;
    double reversePowerFor = 0;
    double load = 0;   // share of full load
    bool frequencyArmed = false;
    bool remoteMode = false;

    // Process loops
    TLoop extraction, cascade, auxiliary;
    bool extractionPriority = false;

    // Valve stroking
    struct TValve {
        TStroke state = TStroke::Disabled;
        double position = 0;
        double minCurrent = 4, maxCurrent = 20;
    } valves[2];

    bool listsCleared = false;
    bool configChanged = true;
    double configReadAt = 0;
};

TTurbineModel::Private::Private(TControlValues& controlValues)
    : values(controlValues)
    , out(controlValues)
    , logs(controlValues)
{
    for (const TGain& gain : Gains)
        for (const auto& button : GainButtons)
            gainButtons.append({Name(gain.buttons) + QString::number(gain.firstInput + button.offset),
                                Name(gain.value), button.rate});
    for (const TGainButton& button : gainButtons)
        momentary.insert(button.item);
    for (const QString& item : {RaiseSpeedItem, LowerSpeedItem, RaiseHpLimiterItem, LowerHpLimiterItem,
                                RaiseLpLimiterItem, LowerLpLimiterItem, RaiseDemandItem, LowerDemandItem})
        momentary.insert(item);
    for (const char* item : {"EXTR_R_L.RQV.IN_1", "EXTR_R_L.RQV.IN_2", "F_CASC_R_L.RQV.IN_1", "F_CASC_R_L.RQV.IN_2",
                             "G_AUX_R_L.RQV.IN_1", "G_AUX_R_L.RQV.IN_2"})
        momentary.insert(Name(item));
    for (const TValveItems& valve : ValveItems)
        for (int input = 1; input <= 4; ++input)
            momentary.insert(Name(valve.scale) + QStringLiteral(".RQV.IN_") + QString::number(input));

    const QDateTime now = QDateTime::currentDateTime();
    clockAtZero = QDateTime(now.date(), now.time(), Qt::UTC).toMSecsSinceEpoch();

    auto on = [this](const char* item, std::function<void()> action) {
        commands.insert(Name(item), std::move(action));
    };
    on("X_RESET.RQV.IN_1", [this] { Reset(); });
    on("I_START.RQV_EN.TRIGGER", [this] { StartTurbine(); });
    on("X_TRIPS.RQV.IN_1", [this] { Trip(RunModeShutdown); });
    on("J_RMT_LCL.RQV_DIS.TRIGGER", [this] { remoteMode = false; });
    on("J_RMT_LCL.RQV_EN.TRIGGER", [this] { remoteMode = config.useLocalRemote; });
    on("D_IDLE_RTD.RQV_EN.TRIGGER", [this] { SelectRated(); });
    on("D_IDLE_RTD.RQV_DSBL.TRIGGER", [this] { SelectIdle(); });
    on("D_AUTOENBL.RQV_DIS.TRIGGER", [this] { HaltSequence(); });
    on("D_AUTOENBL.RQV_EN.TRIGGER", [this] { ContinueSequence(); });
    on("J_CTRLSTOP.RQV_EN.TRIGGER", [this] { BeginControlledShutdown(); });
    on("J_CTRLSTOP.RQV_DIS.TRIGGER", [this] { AbortControlledShutdown(); });
    on("D_SPD_R_L.RQV.IN_3", [this] { EnterSpeedSetpoint(); });
    on("I_V1_LMTR.RQV.IN_3", [this] { EnterHpLimiter(); });
    on("I_V2LMT_RL.RQV.IN_3", [this] { EnterLpLimiter(); });
    on("D_RMT_ENBL.RQV_EN.TRIGGER", [this] { EnableRemoteSpeed(true); });
    on("D_RMT_ENBL.RQV_DIS.TRIGGER", [this] { EnableRemoteSpeed(false); });
    on("D_SYNC_SEL.RQV_EN.TRIGGER", [this] { EnableSync(true); });
    on("D_SYNC_SEL.RQV_DIS.TRIGGER", [this] { EnableSync(false); });
    on("D_FREQ.RQV_EN.TRIGGER", [this] { frequencyArmed = values.Flag(QStringLiteral("CONF_VAL_1.ARM_DISARM.AND")); });
    on("D_FREQ.RQV_DIS.TRIGGER", [this] { frequencyArmed = false; });
    on("E_RMT_EXTR.RQV_EN.TRIGGER", [this] { extraction.remote = config.remoteExtraction && extraction.enabled; });
    on("E_RMT_EXTR.RQV_DIS.TRIGGER", [this] { extraction.remote = false; });
    on("E_MAPPRIOR.RQV_DIS.TRIGGER", [this] { SetMapPriority(false); });
    on("E_MAPPRIOR.RQV_EN.TRIGGER", [this] { SetMapPriority(true); });
    on("EXTR_ENBL.RQV_EN.TRIGGER", [this] {
        if (config.turbineType >= 3)
            EnableLoop(extraction, true, config.extractionPermissive);
    });
    on("EXTR_ENBL.RQV_DIS.TRIGGER", [this] { EnableLoop(extraction, false, 0); });
    on("EXTR_R_L.RQV.IN_3", [this] {
        extraction.enteredTarget = Clamp(values.Number(QStringLiteral("EXTR_ENTRD.PC_SMP_TUN.TUNE")),
                                         extractionConfig.min, extractionConfig.max);
        extraction.enteredRamp = !extraction.remote;
    });
    on("F_RMT_CASC.RQV_EN.TRIGGER", [this] { cascade.remote = config.remoteCascade && cascade.enabled; });
    on("F_RMT_CASC.RQV_DIS.TRIGGER", [this] { cascade.remote = false; });
    on("F_CASC_EN.RQV_EN.TRIGGER", [this] {
        if (config.cascade && !remoteSpeed && !controlledShutdown)
            EnableLoop(cascade, true, config.minGovernor);
    });
    on("F_CASC_EN.RQV_DIS.TRIGGER", [this] { EnableLoop(cascade, false, 0); });
    on("F_CASC_R_L.RQV.IN_3", [this] {
        cascade.enteredTarget = Clamp(values.Number(QStringLiteral("F_CAS_ENTR.PC_SMP_TUN.TUNE")),
                                      cascadeConfig.min, cascadeConfig.max);
        cascade.enteredRamp = !cascade.remote;
    });
    on("G_RMT_AUX.RQV_EN.TRIGGER", [this] { auxiliary.remote = config.remoteAuxiliary && auxiliary.enabled; });
    on("G_RMT_AUX.RQV_DIS.TRIGGER", [this] { auxiliary.remote = false; });
    on("G_AUX_ENBL.RQV_EN.TRIGGER", [this] {
        if (config.auxiliary >= 2 && !controlledShutdown)
            EnableLoop(auxiliary, true, 0);
    });
    on("G_AUX_ENBL.RQV_DIS.TRIGGER", [this] { EnableLoop(auxiliary, false, 0); });
    on("G_AUX_R_L.RQV.IN_3", [this] {
        auxiliary.enteredTarget = Clamp(values.Number(QStringLiteral("G_AUX_ENTR.PC_SMP_TUN.TUNE")),
                                        auxiliaryConfig.min, auxiliaryConfig.max);
        auxiliary.enteredRamp = !auxiliary.remote;
    });
    on("D_OSPD_EN.RQV_EN_E.TRIGGER", [this] { EnableOverspeedTest(TOverspeedTest::Internal); });
    on("D_OSPD_EN.RQV_EN.TRIGGER", [this] { EnableOverspeedTest(TOverspeedTest::External); });
    on("D_OSPD_EN.RQV_DIS.TRIGGER", [this] { DisableOverspeedTest(QStringLiteral("Test Disabled")); });
    on("D_MPU.CNTL_H_RST.IN_1", [this] { peakSpeed = speed; });
    for (int valve = 0; valve < 2; ++valve) {
        const QString block = Name(ValveItems[valve].stroke);
        commands.insert(block + QStringLiteral(".RQV_EN.TRIGGER"), [this, valve] { EnableStroking(valve, true); });
        commands.insert(block + QStringLiteral(".RQV_DIS.TRIGGER"), [this, valve] { EnableStroking(valve, false); });
        commands.insert(block + QStringLiteral(".RQV.IN_1"), [this, valve] { GoStroke(valve, TStroke::Manual); });
        commands.insert(block + QStringLiteral(".RQV.IN_2"), [this, valve] { GoStroke(valve, TStroke::Minimum); });
        commands.insert(block + QStringLiteral(".RQV.IN_3"), [this, valve] { GoStroke(valve, TStroke::Maximum); });
    }
    on("J_SAVETUNE.RQV.IN_1", [this] { SaveSettings(); });
    on("MAIN.PNL_YEAR.IN_1", [this] { SetClockField(0); });
    on("MAIN.PNL_MONTH.IN_1", [this] { SetClockField(1); });
    on("MAIN.PNL_DAY.IN_1", [this] { SetClockField(2); });
    on("MAIN.PNL_HOURS.IN_1", [this] { SetClockField(3); });
    on("MAIN.PNL_MIN.IN_1", [this] { SetClockField(4); });
    on("MAIN.PNL_SEC.IN_1", [this] { SetClockField(5); });
    on("MAIN.A_T_FLT.NC", [this] { SetWholeClock(); });
}

// ---------------------------------------------------------------------------
// Reading values

double TTurbineModel::Private::Config(const char* item, double fallback) const
{
    const QString name = Name(item);
    if (!values.Has(name) || values.Text(name).isEmpty())
        return fallback;
    return values.Number(name);
}

double TTurbineModel::Private::Positive(const char* item, double fallback) const
{
    const double value = Config(item, fallback);
    return value > 0 ? value : fallback;
}

bool TTurbineModel::Private::ConfigFlag(const char* item, bool fallback) const
{
    const QString name = Name(item);
    if (!values.Has(name) || values.Text(name).isEmpty())
        return fallback;
    return values.Flag(name);
}

void TTurbineModel::Private::ReadConfig()
{
    TConfig& c = config;
    c.turbineType = int(Config("C_APPL.TURB_TYPE.IN", 1));
    c.generator = int(Config("C_APPL.APPL_TYPE.IN", 2)) == 2;
    c.startRoutine = TStartRoutine(int(Clamp(Config("C_START.START_CONF.IN", 3), 1, 3)));
    c.idleToRated = TIdleToRated(int(Clamp(Config("C_START.TO_RATED.IN", 3), 1, 4)));
    c.auxiliary = int(Config("C_APPL.AUX_CONF.IN", 1));
    c.cascade = int(Config("C_APPL.CASC_CONF.IN", 1)) == 2;
    c.useLocalRemote = ConfigFlag("C_APPL.USE_LCLRMT.IN", false);
    c.remoteSpeed = ConfigFlag("C_RMT_SPD.USE_RMTSPD.IN", false);
    c.remoteExtraction = ConfigFlag("C_EXTR.USE_RMTXTR.IN", false);
    c.remoteCascade = ConfigFlag("C_RMT_CAS.USE_RMTCAS.IN", false);
    c.remoteAuxiliary = ConfigFlag("C_AUX.USE_RMTAUX.IN", false);
    c.useInitialV1 = ConfigFlag("C_START.USE_INITV1.IN", values.Flag(QStringLiteral("I_V1_STRT.USE_INITV1.B_NAME")));
    c.initialV1 = Clamp(Config("C_START.INIT_V1POS.IN", DefaultInitialV1), 0, 100);

    c.rated = Positive("C_IDLE_RTD.RTD_SETPT.TUNE", Positive("C_GENLOGIC.RATED_SP.TUNE", DefaultRated));
    c.idle = Positive("C_IDLE_RTD.IDLE_SETPT.TUNE", DefaultIdle);
    c.idleRatedRate = Positive("C_IDLE_RTD.IDLRTDRATE.TUNE", DefaultIdleRatedRate);
    c.rateToMin = Positive("C_START.RT_TO_MIN.IN", DefaultRateToMin);
    c.limiterRate = Positive("C_START.SLOW_RATE.IN", DefaultLimiterRate);
    c.minGovernor = Positive("C_SPDSETPT.MIN_GOV_SP.TUNE", DefaultMinGovernor);
    c.maxGovernor = std::max(c.minGovernor, Positive("C_SPDSETPT.MAX_GOV_SP.TUNE", DefaultMaxGovernor));
    c.overspeedTrip = Positive("C_SPDSETPT.OSPD_TRIP.TUNE", DefaultOverspeedTrip);
    c.overspeedLimit = Positive("C_SPDSETPT.OSPD_LIMIT.TUNE", DefaultOverspeedLimit);
    c.overspeedAlarm = Positive("C_SPD_CTRL.OSPD_ALM.TUNE", (c.maxGovernor + c.overspeedTrip) / 2);
    c.tripAtTestLimit = ConfigFlag("D_OSPD.ATMAXOTRIP.IN_2", true);
    c.overspeedTestTime = Positive("C_OSPD.MAX_TIME.IN", DefaultOverspeedTestMinutes) * 60;
    c.slowRate = Positive("C_SPDSETPT.SLOW_RATE.TUNE", DefaultSlowRate);
    c.fastRate = Positive("C_SPDSETPT.F_SPD_RATE.TUNE", DefaultFastRate);
    c.fastDelay = Positive("C_SPDSETPT.FAST_DLY.IN", DefaultFastDelay);
    c.enteredRate = Positive("C_SPDSETPT.ENT_RATE.TUNE", DefaultEnteredRate);
    c.band[0] = ConfigFlag("C_CRIT_SPD.USE_BAND1.IN", true);
    c.band[1] = ConfigFlag("C_CRIT_SPD.USE_BAND2.IN", false);
    c.bandMin[0] = Config("C_CRIT_SPD.BAND1_MIN.TUNE", DefaultBand1Min);
    c.bandMax[0] = Config("C_CRIT_SPD.BAND1_MAX.TUNE", DefaultBand1Max);
    c.bandMin[1] = Config("C_CRIT_SPD.BAND2_MIN.TUNE", DefaultBand2Min);
    c.bandMax[1] = Config("C_CRIT_SPD.BAND2_MAX.TUNE", DefaultBand2Max);
    c.criticalRate = Positive("C_CRIT_SPD.CRIT_RATE.TUNE", DefaultCriticalRate);
    c.droop = Positive("C_GENLOGIC.DROOP_PCT.TUNE", DefaultDroop);
    c.maxLoad = Positive("C_GENLOGIC.KWMAX_LOAD.TUNE", DefaultMaxLoad);
    c.remoteRate = Positive("C_RMT_SPD.RMTMAXRATE.TUNE", DefaultRemoteRate);
    c.remoteMin = Positive("C_RMT_SPD.MIN_SPD.TUNE", c.minGovernor);
    c.remoteMax = std::max(c.remoteMin, Positive("C_RMT_SPD.MAX_SPD.TUNE", c.maxGovernor));

    c.autoHalt = ConfigFlag("C_AUTOSEQ.AUTO_HALT.IN", false);
    c.lowIdle = Positive("C_AUTOSEQ.LO_IDLE_SP.TUNE", DefaultLowIdle);
    c.highIdle = Positive("C_AUTOSEQ.HI_IDLE_SP.TUNE", DefaultHighIdle);
    c.autoRated = Positive("C_AUTOSEQ.RTD_SETPT.TUNE", c.rated);
    c.hotHours = Config("C_AUTOSEQ.HOT_START.TUNE", DefaultHotHours);
    c.coldHours = Config("C_AUTOSEQ.COLD_START.TUNE", DefaultColdHours);
    c.lowDelay = {Config("C_AUTOSEQ.LO_DLY_H.TUNE", DefaultLowDelayHot), Config("C_AUTOSEQ.LO_DLY_C.TUNE", DefaultLowDelayCold)};
    c.highDelay = {Config("C_AUTOSEQ.HI_DLY_H.TUNE", DefaultHighDelayHot), Config("C_AUTOSEQ.HI_DLY_C.TUNE", DefaultHighDelayCold)};
    c.highRate = {Positive("C_AUTOSEQ.HI_RATE_H.TUNE", DefaultHighRateHot), Positive("C_AUTOSEQ.HI_RATE_C.TUNE", DefaultHighRateCold)};
    c.ratedRate = {Positive("C_AUTOSEQ.RTD_RATE_H.TUNE", DefaultRatedRateHot), Positive("C_AUTOSEQ.RTD_RATE_C.TUNE", DefaultRatedRateCold)};

    c.lpLimiterRate = Positive("C_DRIVER.LP_LMTRRTE.TUNE", DefaultLpLimiterRate);
    c.demandRate = Positive("C_MAP.DEMAND_RTE.IN", DefaultDemandRate);
    c.extractionPermissive = Positive("C_EXTR.X_ENBL_SPD.TUNE", c.minGovernor);
    c.speedPriorityOnly = int(Config("C_MAP.PRIOR_CONF.IN", 2)) == 1;
    c.cascadeSpeedMin = Positive("C_CASC.MIN_SPD_SP.TUNE", c.minGovernor);
    c.cascadeSpeedMax = std::max(c.cascadeSpeedMin, Positive("C_CASC.MAX_SPD_SP.TUNE", c.maxGovernor));
    c.cascadeSpeedRate = Positive("C_CASC.CAS_MX_RTE.IN", DefaultCascadeSpeedRate);

    ReadLoopConfig(extractionConfig, "C_EXTR", "C_EXTR.SETPT_RATE.TUNE", "C_EXTR.FST_RATE.TUNE",
                   "C_EXTR.ENTRD_RATE.TUNE", "C_EXTR", "EXTR_ENTRD.PC_SMP_TUN.TUNE", 50, 250);
    extractionConfig.fastDelay = Positive("EXTR_R_L.XTR_FST_DL.IN", DefaultLoopDelay);
    ReadLoopConfig(cascadeConfig, "C_CASC", "C_CASC.CAS_SP_RTE.IN", "C_CASC.FST_RATE.TUNE",
                   "C_CASC.ENTRD_RATE.TUNE", "C_RMT_CAS", "F_CAS_ENTR.PC_SMP_TUN.TUNE", 100, 1000);
    ReadLoopConfig(auxiliaryConfig, "C_AUX", "C_AUX.AUX_SP_RTE.IN", "C_AUX.FST_RATE.TUNE",
                   "C_AUX.ENTR_RATE.TUNE", "C_AUX", "G_AUX_ENTR.PC_SMP_TUN.TUNE", 50, 500);
}

void TTurbineModel::Private::ReadLoopConfig(TLoopConfig& loop, const char* block, const char* rateItem,
                                            const char* fastItem, const char* enteredItem,
                                            const char* remoteBlock, const char* enteredValue,
                                            double fallbackMin, double fallbackMax)
{
    auto item = [](const char* prefix, const char* field) { return (QString::fromLatin1(prefix) + field).toLatin1(); };
    // Without configured limits the entered value, if larger, widens the range.
    const double entered = values.Number(Name(enteredValue));
    loop.min = Config(item(block, ".MIN_SP.TUNE").constData(), fallbackMin);
    loop.max = std::max(loop.min, Config(item(block, ".MAX_SP.TUNE").constData(), std::max(fallbackMax, entered)));
    loop.rate = Positive(rateItem, DefaultLoopRate);
    loop.fastRate = Positive(fastItem, DefaultLoopFastRate);
    loop.enteredRate = Positive(enteredItem, loop.rate);
    loop.remoteMin = Config(item(remoteBlock, ".RMT_MIN.TUNE").constData(), loop.min);
    loop.remoteMax = std::max(loop.remoteMin, Config(item(remoteBlock, ".RMT_MAX.TUNE").constData(), loop.max));
    loop.remoteRate = Positive(item(remoteBlock, ".MAX_RMT_SP.TUNE").constData(), loop.rate);
}

// The value for a start after the hours the turbine has stood since its last trip.
double TTurbineModel::Private::ByStandstill(const TColdHot& value) const
{
    const double hours = (elapsed - lastTripAt) / 3600.0;
    return ColdHot(hours, config.hotHours, config.coldHours, value.hot, value.cold);
}

// Seconds the momentary command has been held, this slice included; negative when released.
double TTurbineModel::Private::Held(const QString& item, double h)
{
    if (pressed.isEmpty() || !pressed.contains(item)) {
        heldFor.remove(item);
        return -1;
    }
    double& held = heldFor[item];
    held += h;
    return held;
}

bool TTurbineModel::Private::Rising(const QString& item)
{
    const bool now = values.Flag(item);
    const bool before = commandState.value(item, false);
    commandState.insert(item, now);
    return now && !before;
}

// ---------------------------------------------------------------------------
// Clock

QDateTime TTurbineModel::Private::Clock() const
{
    return QDateTime::fromMSecsSinceEpoch(clockAtZero + qint64(std::floor(elapsed * 1000.0)), Qt::UTC);
}

QString TTurbineModel::Private::Stamp() const
{
    return QLocale::c().toString(Clock(), StampFormat);
}

void TTurbineModel::Private::SetClock(const QDateTime& to)
{
    if (to.isValid())
        clockAtZero = to.toMSecsSinceEpoch() - qint64(std::floor(elapsed * 1000.0));
}

// Field 0 year, 1 month, 2 day, 3 hour, 4 minute, 5 second, from the time and date window's editors.
void TTurbineModel::Private::SetClockField(int field)
{
    static const char* const editors[] = {"MAIN.YEAR_SW.NC", "MAIN.MONTH_SW.NC", "MAIN.DAY_SW.NC",
                                          "MAIN.HOUR_SW.NC", "MAIN.MIN_SW.NC", "MAIN.SEC_SW.NC"};
    const QDateTime now = Clock();
    int parts[6] = {now.date().year(), now.date().month(), now.date().day(),
                    now.time().hour(), now.time().minute(), now.time().second()};
    parts[field] = int(values.Number(Name(editors[field])));
    // A day that the new month lacks becomes the month's last day.
    if (field != 2 && parts[1] >= 1 && parts[1] <= 12)
        parts[2] = std::min(parts[2], QDate(parts[0], parts[1], 1).daysInMonth());
    const QDate date(parts[0], parts[1], parts[2]);
    const QTime time(parts[3], parts[4], parts[5], now.time().msec());
    if (date.isValid() && time.isValid())
        SetClock(QDateTime(date, time, Qt::UTC));
}

void TTurbineModel::Private::SetWholeClock()
{
    auto field = [this](const char* item) { return int(values.Number(Name(item))); };
    const QDate date(field("MAIN.YEAR_SW.NC"), field("MAIN.MONTH_SW.NC"), field("MAIN.DAY_SW.NC"));
    const QTime time(field("MAIN.HOUR_SW.NC"), field("MAIN.MIN_SW.NC"), field("MAIN.SEC_SW.NC"));
    if (date.isValid() && time.isValid())
        SetClock(QDateTime(date, time, Qt::UTC));
}

// ---------------------------------------------------------------------------
// Commands

void TTurbineModel::Private::Alarm(const QString& message)
{
    logs.Alarm(Stamp(), message);
}

void TTurbineModel::Private::Trip(const QString& cause)
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
    syncEnabled = false;
    breakerClosed = false;
    load = 0;
    for (TLoop* loop : {&extraction, &cascade, &auxiliary}) {
        loop->enabled = false;
        loop->remote = false;
        loop->enteredRamp = false;
    }
}

void TTurbineModel::Private::Reset()
{
    logs.ResetAlarms();
    listsCleared = true;
    criticalAlarmed = false;
    const bool stroking = std::any_of(std::begin(valves), std::end(valves), [](const TValve& v) {
        return v.state >= TStroke::Enabled && v.state <= TStroke::Maximum;
    });
    if (!tripped || speed >= config.overspeedTrip || stroking)
        return;
    tripped = false;
    started = false;
    shutdownStatus = QStringLiteral("Not Active");
    if (!overspeedStatus.startsWith(QLatin1String("Test")))
        overspeedStatus = QStringLiteral("Test Disabled");
}

void TTurbineModel::Private::StartTurbine()
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
        autoSeq = TAutoSeq::ToLowIdle;
        StartRamp(TRampOwner::AutoSeq, config.lowIdle, config.rateToMin);
        break;
    }
}

void TTurbineModel::Private::StartRamp(TRampOwner owner, double target, double rate)
{
    rampActive = true;
    rampOwner = owner;
    rampTarget = OutOfBand(Clamp(target, 0, SpeedCeiling()));
    rampRate = rate;
}

void TTurbineModel::Private::SelectRated()
{
    if (!Running() || config.idleToRated != TIdleToRated::IdleRated || controlledShutdown || remoteSpeed || cascade.enabled)
        return;
    idleRated = TIdleRated::ToRated;
    StartRamp(TRampOwner::IdleRated, config.rated, config.idleRatedRate);
}

void TTurbineModel::Private::SelectIdle()
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

void TTurbineModel::Private::HaltSequence()
{
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

void TTurbineModel::Private::ContinueSequence()
{
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

double TTurbineModel::Private::SpeedFloor() const
{
    return aboveMinGovernor && !controlledShutdown ? config.minGovernor : 0.0;
}

double TTurbineModel::Private::SpeedCeiling() const
{
    return overspeedTest != TOverspeedTest::Off ? std::max(config.maxGovernor, config.overspeedLimit)
                                                : config.maxGovernor;
}

void TTurbineModel::Private::BeginControlledShutdown()
{
    if (!Running() || controlledShutdown)
        return;
    controlledShutdown = true;
    shutdownStatus = QStringLiteral("In Progress");
    remoteSpeed = false;
    syncEnabled = false;
    for (TLoop* loop : {&extraction, &cascade, &auxiliary}) {
        loop->enabled = false;
        loop->remote = false;
    }
    if (autoSeq != TAutoSeq::NotStarted && autoSeq != TAutoSeq::Complete)
        autoSeq = TAutoSeq::NotStarted;
    const double floor = config.idleToRated == TIdleToRated::NoIdle ? config.minGovernor
                         : config.idleToRated == TIdleToRated::AutoSequence ? config.lowIdle
                                                                             : config.idle;
    StartRamp(TRampOwner::Shutdown, floor, std::max(config.idleRatedRate, config.slowRate));
}

void TTurbineModel::Private::AbortControlledShutdown()
{
    if (!controlledShutdown)
        return;
    controlledShutdown = false;
    shutdownStatus = QStringLiteral("Aborted");
    if (rampOwner == TRampOwner::Shutdown)
        rampActive = false;
    if (speed >= config.minGovernor)
        aboveMinGovernor = true;
}

void TTurbineModel::Private::EnterSpeedSetpoint()
{
    if (!Running() || controlledShutdown || remoteSpeed || cascade.enabled)
        return;
    const double entered = values.Number(QStringLiteral("D_ENTR_SPD.PC_SMP_TUN.TUNE"));
    StartRamp(TRampOwner::Entered, Clamp(entered, SpeedFloor(), SpeedCeiling()), config.enteredRate);
    if (autoSeq != TAutoSeq::NotStarted && autoSeq != TAutoSeq::Complete)
        HaltSequence();
    if (idleRated == TIdleRated::ToIdle || idleRated == TIdleRated::ToRated)
        idleRated = TIdleRated::Halted;
}

void TTurbineModel::Private::EnterHpLimiter()
{
    if (tripped)
        return;
    hpLimiter = Clamp(values.Number(QStringLiteral("I_V1_LMTR.ENTR_SP.TUNE")), 0, 100);
    startRamp = TStartRamp::None;
}

void TTurbineModel::Private::EnterLpLimiter()
{
    lpLimiter = Clamp(values.Number(QStringLiteral("I_V2_LMTR.ENTR_SP.TUNE")), 0, 100);
}

void TTurbineModel::Private::EnableOverspeedTest(TOverspeedTest kind)
{
    if (!Running() || !aboveMinGovernor || Online() || controlledShutdown) {
        overspeedStatus = QStringLiteral("Test Not Permitted");
        return;
    }
    overspeedTest = kind;
    overspeedTestFor = 0;
    overspeedStatus = kind == TOverspeedTest::Internal ? QStringLiteral("4812 Test Enabled")
                                                        : QStringLiteral("External Test Enabled");
}

void TTurbineModel::Private::DisableOverspeedTest(const QString& status)
{
    overspeedTest = TOverspeedTest::Off;
    overspeedStatus = status;
    setpoint = std::min(setpoint, config.maxGovernor);
    if (rampActive)
        rampTarget = std::min(rampTarget, config.maxGovernor);
}

void TTurbineModel::Private::EnableRemoteSpeed(bool on)
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

void TTurbineModel::Private::EnableSync(bool on)
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

void TTurbineModel::Private::EnableLoop(TLoop& loop, bool on, double permissiveSpeed)
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

void TTurbineModel::Private::EnableStroking(int valve, bool on)
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

void TTurbineModel::Private::GoStroke(int valve, TStroke to)
{
    TValve& v = valves[valve];
    if (v.state >= TStroke::Enabled && v.state <= TStroke::Maximum && ShutDown())
        v.state = to;
}

void TTurbineModel::Private::SaveSettings()
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
bool TTurbineModel::Private::LargeActuator(int valve) const
{
    return values.Number(Name(ValveItems[valve].range)) >= 1;
}

// The configuration items that hold the valve's currents at 0% and 100% for its output range.
std::pair<QString, QString> TTurbineModel::Private::CalibrationItems(int valve) const
{
    const QString scale = Name(ValveItems[valve].scale);
    if (LargeActuator(valve))
        return {scale + QStringLiteral(".MIN_INIT.TUNE"), scale + QStringLiteral(".MX_INIT.TUNE")};
    return {scale + QStringLiteral(".INIT_4_20.TUNE"), scale + QStringLiteral(".INIT_4_20M.TUNE")};
}

void TTurbineModel::Private::SetMapPriority(bool toExtraction)
{
    extractionPriority = toExtraction && !config.speedPriorityOnly && config.turbineType >= 3;
}

// ---------------------------------------------------------------------------
// Simulation

double TTurbineModel::Private::Drag(double rpm) const
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
double TTurbineModel::Private::NoLoadDemand() const
{
    return Clamp(Drag(config.rated) / FullSteamAcceleration * 100.0, 0, 100);
}

bool TTurbineModel::Private::OnLineDynamics() const
{
    if (config.generator)
        return Online();
    return Running() && aboveMinGovernor;
}

int TTurbineModel::Private::BandOf(double rpm) const
{
    for (int band = 0; band < 2; ++band)
        if (config.band[band] && config.bandMin[band] < config.bandMax[band]
            && rpm > config.bandMin[band] && rpm < config.bandMax[band])
            return band;
    return -1;
}

// A target inside a critical band moves to the band's edge on this side of it.
double TTurbineModel::Private::OutOfBand(double target) const
{
    const int band = BandOf(target);
    if (band < 0)
        return target;
    return setpoint <= config.bandMin[band] ? config.bandMin[band] : config.bandMax[band];
}

void TTurbineModel::Private::RampDone(TRampOwner owner)
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
        } else if (autoSeq == TAutoSeq::ToHighIdle) {
            holdLeft = highDelay;
            autoSeq = config.autoHalt ? TAutoSeq::HaltedHigh : TAutoSeq::HighHold;
        } else if (autoSeq == TAutoSeq::ToRated) {
            autoSeq = TAutoSeq::Complete;
        }
        break;
    case TRampOwner::Shutdown:
        break;
    }
}

void TTurbineModel::Private::MoveSpeedSetpoint(double h)
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

void TTurbineModel::Private::MoveLimiters(double h)
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

void TTurbineModel::Private::MoveLoopSetpoint(TLoop& loop, const TLoopConfig& c, const char* raiseItem,
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

void TTurbineModel::Private::MoveLoops(double h)
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

void TTurbineModel::Private::MoveGains(double h)
{
    for (const TGainButton& button : gainButtons) {
        if (Held(button.item, h) < 0)
            continue;
        {
            const QString& value = button.value;
            const double now = std::max(LeastGain, values.Number(value));
            const double changed = now * std::exp(button.rate * h);
            values.SetNumber(value, std::round(std::max(LeastGain, changed) * 10000.0) / 10000.0);
        }
    }
}

void TTurbineModel::Private::MoveCurrents(double h)
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

void TTurbineModel::Private::ControlValves(double h)
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
        const double error = SpeedPercent(setpoint - speed - droop);
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

void TTurbineModel::Private::TurnRotor(double h)
{
    // Steam reaches the rotor only while the turbine is not tripped.
    double steam = 0;
    if (!tripped) {
        steam = config.turbineType >= 3 ? 0.65 * hpValve + 0.35 * std::min(lpValve, hpValve) : hpValve;
        if (config.turbineType == 2)
            steam = (hpValve + lpValve) / 2;
    }
    const double drive = FullSteamAcceleration * steam / 100.0;

    if (Online()) {
        // The grid holds the speed; the steam becomes load.
        speed = config.rated;
        acceleration = 0;
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
}

void TTurbineModel::Private::Supervise(double h)
{
    peakSpeed = std::max(peakSpeed, speed);

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
            DisableOverspeedTest(QStringLiteral("Test Timed Out"));
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

void TTurbineModel::Private::RunSequences(double h)
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

void TTurbineModel::Private::Advance(double h)
{
    elapsed += h;
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

// ---------------------------------------------------------------------------
// Publishing

QString TTurbineModel::Private::LoopName() const
{
    switch (config.turbineType) {
    case 4: return QStringLiteral("Admission");
    case 5: return QStringLiteral("Extr/Adm");
    default: return QStringLiteral("Extraction");
    }
}

QString TTurbineModel::Private::LoopStatus(const TLoop& loop, bool configured) const
{
    if (!configured)
        return QStringLiteral("Not Used");
    return loop.enabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled");
}

QString TTurbineModel::Private::ControlMessage() const
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

void TTurbineModel::Private::Publish()
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
    out.Number(item("AA_MONITOR.HP_LIMITER.A_NAME"), hpLimiter);
    out.Number(item("AA_MONITOR.LP_LIMITER.A_NAME"), lpLimiter);
    out.Number(item("AA_MONITOR.HP_DEMAND.A_NAME"), hpDemand);
    out.Number(item("AA_MONITOR.LP_DEMAND.A_NAME"), lpDemand);
    out.Number(item("AA_MONITOR.SPD_PID.A_NAME"), Clamp(speedPid.output, 0, 100));
    out.Flag(item("I_START.NOT_STRTD.NOT"), !started);
    out.Flag(item("I_V1_LMTR.VLV_RAMP.P_LIM_1"), startRamp != TStartRamp::AtInitial);
    out.Text(item("C_IDLE_RTD.IDL_RTD.B_TO_STR"), IdleRatedText(idleRated));
    out.Number(item("C_IDLE_RTD.IDL_RTD.MSG_SEL"), int(idleRated), 1);
    out.Text(item("D_AUTOSTAT.AUTO_STRT.B_TO_STR"), AutoSeqText(autoSeq));
    out.Number(item("D_AUTOSTAT.AUTO_STRT.MSG_SEL"), int(autoSeq), 1);
    const bool sequenceRuns = autoSeq == TAutoSeq::ToLowIdle || autoSeq == TAutoSeq::ToHighIdle
                              || autoSeq == TAutoSeq::ToRated || autoSeq == TAutoSeq::LowHold
                              || autoSeq == TAutoSeq::HighHold;
    out.Flag(item("D_AUTOENBL.AUTO_STRT.LATCH_R"), sequenceRuns);
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
    auto units = [this](const char* configItem, const auto& list) -> QString {
        const QString name = Name(configItem);
        if (!values.Has(name))
            return {};
        const int index = int(values.Number(name));
        return index >= 0 && index < int(std::size(list)) ? Name(list[index]) : QString();
    };
    const QString extractionUnits = units("C_EXTR.EXTR_UNITS.IN", ExtractionUnits);
    if (!extractionUnits.isNull()) {
        out.Text(item("J_MESSAGE.EXTR_UNITS.I_TO_STR"), extractionUnits);
        out.Text(item("J_MESSAGE.EXTR_RATE.I_TO_STR"), extractionUnits + QStringLiteral("/s"));
    }
    const QString cascadeUnits = units("C_CASC.CAS_UNITS.IN", ProcessUnits);
    if (!cascadeUnits.isNull())
        out.Text(item("J_MESSAGE.CASC_UNITS.I_TO_STR"), cascadeUnits);
    const QString auxiliaryUnits = units("C_AUX.AUX_UNITS.IN", ProcessUnits);
    if (!auxiliaryUnits.isNull())
        out.Text(item("J_MESSAGE.AUX_UNITS.I_TO_STR"), auxiliaryUnits);

    // Valves.
    const double position[2] = {hpValve, lpValve};
    for (int valve = 0; valve < 2; ++valve) {
        const TValveItems& names = ValveItems[valve];
        const TValve& v = valves[valve];
        const QString stroke = Name(names.stroke) + QLatin1Char('.') + Name(names.message);
        out.Text(stroke + QStringLiteral(".B_TO_STR"), StrokeText(v.state));
        out.Number(stroke + QStringLiteral(".MSG_SEL"), int(v.state), 1);
        out.Number(Name(names.limiter), position[valve]);
        out.Number(Name(names.readback), v.minCurrent + (v.maxCurrent - v.minCurrent) * position[valve] / 100.0, 0.001);
        out.Number(Name(names.scale) + QStringLiteral(".SEL_MAX.A_SW"), v.maxCurrent, 0.001);
        out.Number(Name(names.scale) + QStringLiteral(".SEL_MIN.A_SW"), v.minCurrent, 0.001);
    }

    // Overspeed test.
    out.Text(item("D_OSPD_EN.TST_STATUS.B_TO_STR"), overspeedStatus);
    out.Number(item("D_MPU.SPEED_HOLD.A_MAX"), peakSpeed, 0.1);

    // Alarms, clock, shutdown state.
    out.Flag(item("X_RESET.CLR_EVNT_L.B_SW"), listsCleared);
    listsCleared = false;
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
}

// ---------------------------------------------------------------------------

TTurbineModel::TTurbineModel(TControlValues& values)
    : d(std::make_unique<Private>(values))
{
}

TTurbineModel::~TTurbineModel() = default;

void TTurbineModel::Start()
{
    Private& p = *d;
    p.ReadConfig();
    p.configChanged = false;
    p.configReadAt = p.elapsed;
    p.commandState.clear();
    p.heldFor.clear();
    p.pressed.clear();
    p.started = false;
    p.speed = 0;
    p.acceleration = 0;
    p.hpValve = p.lpValve = 0;
    p.hpDemand = p.lpDemand = 0;
    p.lpLimiter = p.values.Has(QStringLiteral("AA_MONITOR.LP_LIMITER.A_NAME"))
        ? Clamp(p.values.Number(QStringLiteral("AA_MONITOR.LP_LIMITER.A_NAME")), 0, 100) : 100.0;
    p.manualDemand = 0;
    p.overspeedTest = TOverspeedTest::Off;
    p.overspeedStatus = QStringLiteral("Test Disabled");
    p.remoteStatus = QStringLiteral("Disabled");
    p.shutdownStatus = QStringLiteral("Not Active");
    p.frequencyArmed = false;
    p.remoteMode = false;
    p.extractionPriority = false;
    p.overspeedAlarmed = false;
    p.logs.Start();
    // A turbine that was already down keeps the hours it has stood.
    const bool wasTripped = p.tripped;
    const double trippedAt = p.lastTripAt;
    p.tripped = false;
    p.Trip(PowerUpTrip);
    if (wasTripped)
        p.lastTripAt = trippedAt;
    p.shutdownStatus = QStringLiteral("Not Active");

    // Dynamics start from their initial values where the control has them.
    for (const TGain& gain : Gains) {
        const QString initial = Name(gain.initial);
        if (p.values.Has(initial) && p.values.Has(Name(gain.value)))
            p.values.SetNumber(Name(gain.value), std::max(LeastGain, p.values.Number(initial)));
    }
    // Process setpoints start from their initial values, else from the entered ones.
    p.extraction.setpoint = p.Config("C_EXTR.SETPT_INIT.TUNE", p.values.Number(QStringLiteral("EXTR_ENTRD.PC_SMP_TUN.TUNE")));
    p.cascade.setpoint = p.Config("C_CASC.SETPT_INIT.TUNE", p.values.Number(QStringLiteral("F_CAS_ENTR.PC_SMP_TUN.TUNE")));
    p.auxiliary.setpoint = p.Config("C_AUX.SETPT_INIT.TUNE", p.values.Number(QStringLiteral("G_AUX_ENTR.PC_SMP_TUN.TUNE")));
    for (TLoop* loop : {&p.extraction, &p.cascade, &p.auxiliary})
        loop->input = 0;

    // Actuator currents from their calibration values, else the ends of the output range.
    for (int valve = 0; valve < 2; ++valve) {
        Private::TValve& v = p.valves[valve];
        const bool large = p.LargeActuator(valve);
        const auto [atMinimum, atMaximum] = p.CalibrationItems(valve);
        v.minCurrent = p.values.Has(atMinimum) ? p.values.Number(atMinimum) : (large ? 20 : 4);
        v.maxCurrent = p.values.Has(atMaximum) ? p.values.Number(atMaximum) : (large ? 160 : 20);
        v.state = valve == 1 && p.config.turbineType <= 1 ? TStroke::NotUsed : TStroke::Disabled;
        v.position = 0;
    }

    // The time and date window's editors start at the control's clock.
    const QDateTime now = p.Clock();
    const int fields[6] = {now.date().year(), now.date().month(), now.date().day(),
                           now.time().hour(), now.time().minute(), now.time().second()};
    const char* const editors[6] = {"MAIN.YEAR_SW.NC", "MAIN.MONTH_SW.NC", "MAIN.DAY_SW.NC",
                                    "MAIN.HOUR_SW.NC", "MAIN.MIN_SW.NC", "MAIN.SEC_SW.NC"};
    for (int field = 0; field < 6; ++field)
        if (p.values.Has(Name(editors[field])))
            p.values.SetNumber(Name(editors[field]), fields[field]);

    p.out.Forget();
    p.Publish();
}

void TTurbineModel::Step(double seconds)
{
    Private& p = *d;
    if (seconds <= 0)
        return;
    if (p.configChanged || p.elapsed - p.configReadAt >= ConfigurationRereadInterval) {
        p.ReadConfig();
        p.configChanged = false;
        p.configReadAt = p.elapsed;
    }
    const int slices = std::max(1, int(std::ceil(seconds / LongestSubstep)));
    for (int slice = 0; slice < slices; ++slice)
        p.Advance(seconds / slices);
    p.Publish();
}

void TTurbineModel::Written(const QString& item)
{
    Private& p = *d;
    const QString name = item.toUpper();
    if (p.momentary.contains(name)) {
        if (p.values.Flag(name))
            p.pressed.insert(name);
        else
            p.pressed.remove(name);
        return;
    }
    const auto command = p.commands.constFind(name);
    if (command == p.commands.constEnd()) {
        p.configChanged = true;   // a setting may have changed
        return;
    }
    if (!p.Rising(name))
        return;
    (*command)();
    p.Publish();
}

bool TTurbineModel::IsShutDown() const
{
    return d->ShutDown();
}
