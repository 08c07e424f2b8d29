// Inside the turbine model: its state, the tables it works from and the helpers
// its parts share. Included only by the model's own units (TurbineModel,
// TurbineCommands, TurbinePlant, TurbinePublish).
#pragma once

#include "server/TurbineLogs.h"
#include "server/TurbineOutputs.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <algorithm>
#include <functional>
#include <utility>

class QDateTime;
class TControlValues;

namespace Turbine {

constexpr double StoppedSpeed = 0.5;             // rpm; below this the rotor stands still
constexpr double InitialHoursTripped = 100.0;     // a control that has just been powered starts cold
constexpr double SyncSlip = 0.001;               // of rated speed, the synchroniser runs this much above the bus
constexpr double DerivativeTime = 1.0;           // s, scales the derivative ratio
constexpr double GainSlowRate = 0.2;             // gains change by this share per second
constexpr double GainFastRate = 1.0;
constexpr double LeastGain = 0.01;
constexpr double ClearMarkTime = 1.0;            // s the alarm/trip clear mark stays up after a reset
constexpr double StrokeArrival = 0.05;           // %; a stroked valve this close to its target is "At" it

enum class TStartRoutine { Manual = 1, Semiautomatic = 2, Automatic = 3 };
enum class TIdleToRated { NoIdle = 1, ManualOnly = 2, IdleRated = 3, AutoSequence = 4 };

// Idle/rated states, as the control numbers and names them.
enum class TIdleRated { Idle = 1, ToIdle = 2, ToRated = 3, Rated = 4, Halted = 5, IdleRefused = 6 };

// Automatic start sequence states; 7 and 10 hold at low idle, 8 and 9 at high idle.
enum class TAutoSeq {
    NotStarted = 0, ToLowIdle = 1, ToHighIdle = 2, ToRated = 3, Complete = 4, Halted = 5,
    LowHold = 7, HighHold = 8, HaltedHigh = 9, HaltedLow = 10
};

// Valve stroking states; 0, 5 and 6 leave the Go buttons inoperable.
enum class TStroke { Disabled = 0, Enabled = 1, Manual = 2, Minimum = 3, Maximum = 4, NotShutDown = 5, NotUsed = 6 };

enum class TOverspeedTest { Off, Internal, External };

enum class TStartRamp { None, ToInitial, AtInitial, ToFull };

// Who moves the speed setpoint along a ramp.
enum class TRampOwner { Start, Entered, IdleRated, AutoSeq, Shutdown };

// Trip and alarm texts.
inline const QString PowerUpTrip = QStringLiteral("Power Up Trip");
inline const QString OverspeedTrip = QStringLiteral("Overspeed Trip");
inline const QString ExternalOverspeedTrip = QStringLiteral("External Overspeed Trip");
inline const QString OverspeedTestLimitTrip = QStringLiteral("Overspeed Test Limit Trip");
inline const QString RunModeShutdown = QStringLiteral("RQV Shutdown Command");
inline const QString ControlledShutdownTrip = QStringLiteral("Controlled Shutdown Complete");
inline const QString OverspeedAlarm = QStringLiteral("Overspeed Alarm");
inline const QString CriticalBandAlarm = QStringLiteral("Stuck In Critical Band");
inline const QString OverspeedTestTimedOut = QStringLiteral("Overspeed Test Timed Out");
inline const QString BreakerOpened = QStringLiteral("Generator Breaker Open");
// Overspeed test states that the test window shows and a reset acknowledges.
inline const QString OverspeedTestOff = QStringLiteral("Test Disabled");
inline const QString OverspeedTestRefused = QStringLiteral("Test Not Permitted");
inline const QString OverspeedTestEnded = QStringLiteral("Test Timed Out");

// Momentary commands of the Run mode window that several parts read.
inline const QString RaiseSpeedItem = QStringLiteral("D_SPD_R_L.RQV.IN_1");
inline const QString LowerSpeedItem = QStringLiteral("D_SPD_R_L.RQV.IN_2");
inline const QString RaiseHpLimiterItem = QStringLiteral("I_V1_LMTR.RQV.IN_2");
inline const QString LowerHpLimiterItem = QStringLiteral("I_V1_LMTR.RQV.IN_1");
inline const QString RaiseLpLimiterItem = QStringLiteral("I_V2LMT_RL.RQV.IN_2");
inline const QString LowerLpLimiterItem = QStringLiteral("I_V2LMT_RL.RQV.IN_1");
inline const QString RaiseDemandItem = QStringLiteral("E_MAN_DMND.RQV.IN_2");
inline const QString LowerDemandItem = QStringLiteral("E_MAN_DMND.RQV.IN_1");

// One gain of a dynamics window: its value, its four buttons (lower, fast
// lower, fast raise, raise, numbered from the first input), the initial
// value it takes when the control starts, and the highest value it may take.
struct TGain {
    const char* value;
    const char* buttons;
    int firstInput;
    const char* initial;
    double most;
};

inline constexpr TGain Gains[] = {
    {"D_SPD_DYN.P_GAIN_OFF.RAMP", "D_SPD_DYN.RQV_OFF_LN.IN_", 1, "D_SPD_DYN.P_OFF_INIT.TUNE", 100},
    {"D_SPD_DYN.I_GAIN_OF.RAMP", "D_SPD_DYN.RQV_OFF_LN.IN_", 5, "D_SPD_DYN.I_OF_INIT.TUNE", 50},
    {"D_SPD_DYN.D_GAIN_OF.RAMP", "D_SPD_DYN.RQV_OFF_LN.IN_", 9, "D_SPD_DYN.D_OF_INIT.TUNE", 100},
    {"D_SPD_DYN.P_GAIN_ON.RAMP", "D_SPD_DYN.RQV_ON_LN.IN_", 1, "D_SPD_DYN.P_ON_INIT.TUNE", 100},
    {"D_SPD_DYN.I_GAIN_ON.RAMP", "D_SPD_DYN.RQV_ON_LN.IN_", 5, "D_SPD_DYN.I_ON_INIT.TUNE", 50},
    {"D_SPD_DYN.D_GAIN_ON.RAMP", "D_SPD_DYN.RQV_ON_LN.IN_", 9, "D_SPD_DYN.D_ON_INIT.TUNE", 100},
    {"EXTR_DYN.P_GAIN.RAMP", "EXTR_DYN.RQV_P_GAIN.IN_", 1, "EXTR_DYN.P_INIT.TUNE", 100},
    {"EXTR_DYN.I_GAIN.RAMP", "EXTR_DYN.RQV_I_GAIN.IN_", 1, "EXTR_DYN.I_INIT.TUNE", 50},
    {"EXTR_DYN.D_GAIN.RAMP", "EXTR_DYN.RQV_D_GAIN.IN_", 1, "EXTR_DYN.D_INIT.TUNE", 100},
    {"F_CAS_DYN.P_GAIN.RAMP", "F_CAS_DYN.RQV_P_GAIN.IN_", 1, "F_CAS_DYN.P_INIT.TUNE", 100},
    {"F_CAS_DYN.I_GAIN.RAMP", "F_CAS_DYN.RQV_I_GAIN.IN_", 1, "F_CAS_DYN.I_INIT.TUNE", 50},
    {"F_CAS_DYN.D_GAIN.RAMP", "F_CAS_DYN.RQV_D_GAIN.IN_", 1, "F_CAS_DYN.D_INIT.TUNE", 100},
    {"G_AUX_DYN.P_GAIN.RAMP", "G_AUX_DYN.RQV_P_GAIN.IN_", 1, "G_AUX_DYN.P_INIT.TUNE", 100},
    {"G_AUX_DYN.I_GAIN.RAMP", "G_AUX_DYN.RQV_I_GAIN.IN_", 1, "G_AUX_DYN.I_INIT.TUNE", 50},
    {"G_AUX_DYN.D_GAIN.RAMP", "G_AUX_DYN.RQV_D_GAIN.IN_", 1, "G_AUX_DYN.D_INIT.TUNE", 100},
};

// Button offsets from a gain's first input and the share per second each moves the gain.
inline constexpr struct {
    int offset;
    double rate = 0;
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

inline constexpr TValveItems ValveItems[2] = {
    {"I_STRK_V1", "ACT1_MSG", "I_V1_SCALE", "I_V1DRIVER.ACTR_LMTR.A_LIMITER", "A_HP_ACT.ACT_RM.RDBK_MA", "C_DRIVER.ACT1_CONF.IN"},
    {"I_STRK_V2", "ACT2_MSG", "I_V2_SCALE", "I_V2DRIVER.ACTR_LMTR.A_LIMITER", "A_LP_ACT.ACT_RM.RDBK_MA", "C_DRIVER.ACT2_CONF.IN"},
};

inline QString Name(const char* text)
{
    return QString::fromLatin1(text);
}

inline double Clamp(double value, double low, double high)
{
    return std::max(low, std::min(value, high));
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

// The whole model; TTurbineModel holds one.
struct TModel {
    explicit TModel(TControlValues& controlValues);

    struct TColdHot {
        double hot = 0, cold = 0;
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
        double initialV1 = 0;
        double rated = 0, idle = 0, idleRatedRate = 0;
        double rateToMin = 0, limiterRate = 0;
        double minGovernor = 0, maxGovernor = 0;
        double overspeedTrip = 0, overspeedLimit = 0;
        double overspeedAlarm = 0;
        bool tripAtTestLimit = true;
        double overspeedTestTime = 0;
        double slowRate = 0, fastRate = 0, fastDelay = 0;
        double enteredRate = 0;
        bool band[2] = {true, false};
        double bandMin[2] = {}, bandMax[2] = {};
        double criticalRate = 0;
        double droop = 0, maxLoad = 0;
        bool droopFromValve = false;
        double remoteRate = 0, remoteMin = 0, remoteMax = 0;
        bool autoHalt = false;
        double lowIdle = 0, highIdle = 0, autoRated = 0;
        // Hot and cold values; the hours the turbine stood choose between them.
        double hotHours = 0, coldHours = 0;
        TColdHot lowDelay{}, highDelay{};  // min
        TColdHot highRate{}, ratedRate{};  // rpm/s
        double lpLimiterRate = 0, demandRate = 0;
        double extractionPermissive = 0;
        bool speedPriorityOnly = false;
        double cascadeSpeedMin = 0, cascadeSpeedMax = 0;
        double cascadeSpeedRate = 0;
    };

    // Limits and rates of one process loop.
    struct TLoopConfig {
        double min = 0, max = 0, rate = 0, fastRate = 0;
        double fastDelay = 0, enteredRate = 0;
        double remoteMin = 0, remoteMax = 0, remoteRate = 0;
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
    void LeaveIdleOrRated();
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
    // The governor's speed follows the rotor's.
    void SenseSpeed(double h);
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
    TStroke StrokeShown(int valve, double position) const;

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
        double rate = 0;
        double most = 0;
    };
    QList<TGainButton> gainButtons;

    double elapsed = 0;         // control time since construction, s
    qint64 clockAtZero = 0;     // the control clock at elapsed 0, ms since the epoch (naive local time)
    double lastTripAt = -InitialHoursTripped * 3600;

    // Turbine
    bool tripped = true;
    bool started = false;
    double speed = 0;
    double sensedSpeed = 0;     // the speed as the governor sees it
    double steamFlow = 0;       // %, reaching the rotor
    double acceleration = 0;
    double peakSpeed = 0;
    double setpoint = 0;
    double speedReference = 0;  // the setpoint less the droop: what the speed PID holds the speed to
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
    // The operator's Halt/Continue latch. It outlives a sequence: cleared before a
    // start, it makes the start wait at its first step until Continue.
    bool sequenceLatch = true;
    double holdLeft = 0;          // s
    double lowDelay = 0, highDelay = 0;   // s, fixed when the sequence starts
    double highRate = 0, ratedRate = 0;   // rpm/s
    bool controlledShutdown = false;
    QString shutdownStatus = QStringLiteral("Not Active");

    // Overspeed test
    TOverspeedTest overspeedTest = TOverspeedTest::Off;
    double overspeedTestFor = 0;
    QString overspeedStatus = OverspeedTestOff;

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

    double clearMarkLeft = 0;   // s; the clear mark is up while this runs
    bool configChanged = true;
    double configReadAt = 0;
};

} // namespace Turbine
