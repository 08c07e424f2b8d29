#include "server/ConfigurationRules.h"

#include "server/ControlValues.h"

#include <algorithm>
#include <cstddef>

namespace {

using N = TConfigNeed;

// Enumerated values of the key configuration items.
enum Application { MechanicalDrive = 1, Generator = 2 };
enum TurbineType { SingleValve = 1, SplitRange = 2, ExtractionOnly = 3, AdmissionOnly = 4, ExtrAdm = 5 };
enum PidUse { NotUsed = 1, Controller = 2, Limiter = 3 };
enum RatioLimiterMode { DecoupledHpLp = 4 };
enum IdleToRated { NoIdle = 1, ManualRaiseLower = 2, IdleRatedRamp = 3, AutoSequence = 4 };
enum DroopType { KwDroop = 3 };
enum RelayFunction { RelayNotUsed = 1, LevelSwitch = 2, StateIndication = 3 };
constexpr int FunctionNotUsed = 1; // first entry of every input, relay and readout list

// Highest pulse frequency a speed input counts, in Hz.
constexpr double MaxSpeedProbeFrequency = 25000.0;

// Contact input functions (value 1 .. 55) and what each needs.
constexpr TConfigNeed ContactNeeds[] = {
    N::Always,        //  1 Not Used
    N::Generator,     //  2 Generator Breaker Position
    N::Generator,     //  3 Utility Tie Breaker Position
    N::Always,        //  4 Select Overspeed Test
    N::Always,        //  5 Start Command
    N::Always,        //  6 Start Permissive
    N::IdleUsed,      //  7 Select Idle/Rated Speed Setpoint
    N::AutoSequence,  //  8 Halt/Continue Auto Start Sequence
    N::Always,        //  9 Override Speed Sensor Fault
    N::Always,        // 10 Select On-Line Speed PID Dynamics
    N::LocalRemote,   // 11 Select Local/Remote Interface Mode
    N::Always,        // 12 Remote Speed Setpoint Enable (see EnableContacts)
    N::Generator,     // 13 Sync Input Enable (see EnableContacts)
    N::Always,        // 14 Select Speed Setpoint Fast Rate
    N::Generator,     // 15 Frequency Control Arm/Disarm
    N::ExtrAdm,       // 16 Extr/Adm Setpoint Raise
    N::ExtrAdm,       // 17 Extr/Adm Setpoint Lower
    N::ExtrAdm,       // 18 Extr/Adm Control Enable
    N::ExtrAdm,       // 19 Remote Extr/Adm Setpoint Enable (see EnableContacts)
    N::ExtrAdm,       // 20 Select Extr/Adm Priority
    N::Cascade,       // 21 Cascade Setpoint Raise
    N::Cascade,       // 22 Cascade Setpoint Lower
    N::Cascade,       // 23 Cascade Control Enable
    N::Cascade,       // 24 Remote Cascade Setpoint Enable (see EnableContacts)
    N::Aux,           // 25 Auxiliary Setpoint Raise
    N::Aux,           // 26 Auxiliary Setpoint Lower
    N::Aux,           // 27 Auxiliary Control Enable
    N::Aux,           // 28 Remote Auxiliary Setpoint Enable (see EnableContacts)
    N::Always,        // 29 HP Valve Limiter Raise
    N::Always,        // 30 HP Valve Limiter Lower
    N::ExtrAdm,       // 31 LP Valve Limiter Raise
    N::ExtrAdm,       // 32 LP Valve Limiter Lower
    N::ExtrAdm,       // 33 Extr/Adm Demand Raise
    N::ExtrAdm,       // 34 Extr/Adm Demand Lower
    N::Always, N::Always, N::Always, N::Always, N::Always,  // 35 .. 39 External Trip Input 2 .. 6
    N::Always, N::Always, N::Always, N::Always,             // 40 .. 43 External Trip Input 7 .. 10
    N::Always, N::Always, N::Always, N::Always, N::Always,  // 44 .. 48 External Alarm Input 1 .. 5
    N::Always, N::Always, N::Always, N::Always, N::Always,  // 49 .. 53 External Alarm Input 6 .. 10
    N::Always,        // 54 Controlled Shutdown Command
    N::Always,        // 55 Synchronize Time of Day
};

// Enable contacts of a signal that must be in use as well: error and what it needs.
struct TEnableContact {
    int function;
    TConfigNeed need;
    int error;
    const char* message;
};
constexpr TEnableContact EnableContacts[] = {
    {12, N::RemoteSpeed, 78, "Rmt Speed Setpt Enable Contact Without Rmt Speed Setpt"},
    {19, N::RemoteExtrAdm, 78, "Rmt Extr/Adm Setpt Enable Contact Without Rmt Extr/Adm Setpt"},
    {24, N::RemoteCascade, 78, "Rmt Cascade Setpt Enable Contact Without Rmt Cascade Setpt"},
    {28, N::RemoteAux, 78, "Rmt Aux Setpt Enable Contact Without Rmt Aux Setpt"},
    {13, N::SyncSignal, 79, "Sync Enable Contact Without Sync Input"},
};

// Raise and lower contacts that only work as a pair.
struct TContactPair {
    int raise;
    int lower;
    const char* name;
};
constexpr TContactPair ContactPairs[] = {
    {16, 17, "Extr/Adm Setpt"},
    {21, 22, "Cascade Setpt"},
    {25, 26, "Aux Setpt"},
    {29, 30, "HP Valve Limiter"},
    {31, 32, "LP Valve Limiter"},
    {33, 34, "Extr/Adm Demand"},
};

// Analog input functions (value 1 .. 23) and what each needs. The remote setpoints
// are checked against their "use" settings instead (errors 66, 68, 70, 71).
constexpr TConfigNeed AnalogNeeds[] = {
    N::Always,     //  1 Not Used
    N::Always,     //  2 Remote Speed Setpoint
    N::Generator,  //  3 Synchronizing Input
    N::Generator,  //  4 Sync/Load Share Input #1
    N::Generator,  //  5 Sync/Load Share Input #2
    N::Generator,  //  6 Sync/Load Share Input #3
    N::Generator,  //  7 KW/Unit Load Input #1
    N::Generator,  //  8 KW/Unit Load Input #2
    N::Generator,  //  9 KW/Unit Load Input #3
    N::ExtrAdm,    // 10 Extraction/Admission Input #1
    N::ExtrAdm,    // 11 Extraction/Admission Input #2
    N::ExtrAdm,    // 12 Extraction/Admission Input #3
    N::Always,     // 13 Remote Extr/Adm Setpoint
    N::Cascade,    // 14 Cascade Input #1
    N::Cascade,    // 15 Cascade Input #2
    N::Cascade,    // 16 Cascade Input #3
    N::Always,     // 17 Remote Cascade Setpoint
    N::Aux,        // 18 Auxiliary Input #1
    N::Aux,        // 19 Auxiliary Input #2
    N::Aux,        // 20 Auxiliary Input #3
    N::Always,     // 21 Remote Auxiliary Setpoint
    N::Always,     // 22 First Stage Pressure Input
    N::Always,     // 23 Monitor Analog Input
};

enum AnalogFunction {
    RemoteSpeedSetpoint = 2, SynchronizingInput = 3, SyncLoadShare1 = 4, KwInput1 = 7,
    ExtrAdmInput1 = 10, RemoteExtrAdmSetpoint = 13, CascadeInput1 = 14, RemoteCascadeSetpoint = 17,
    AuxInput1 = 18, RemoteAuxSetpoint = 21, FirstStagePressure = 22, MonitorAnalog = 23,
};

// Redundant analog inputs: #2 needs #1, #3 needs #2.
struct TRedundantInputs {
    int first;
    const char* name;
};
constexpr TRedundantInputs RedundantInputs[] = {
    {SyncLoadShare1, "Sync/Load Share"},
    {KwInput1, "KW/Unit Load"},
    {ExtrAdmInput1, "Extr/Adm"},
    {CascadeInput1, "Cascade"},
    {AuxInput1, "Auxiliary"},
};

// Signals a level switch relay can watch (value 1 .. 19).
constexpr TConfigNeed LevelSwitchNeeds[] = {
    N::Always,          //  1 Actual Speed
    N::Always,          //  2 Speed Setpoint
    N::KwInput,         //  3 KW Input
    N::SyncSignal,      //  4 Sync / Load Share Input
    N::ExtrAdm,         //  5 Extraction/Admission Input
    N::ExtrAdm,         //  6 Extraction/Admission Setpoint
    N::Cascade,         //  7 Cascade Input
    N::Cascade,         //  8 Cascade Setpoint
    N::Aux,             //  9 Auxiliary Input
    N::Aux,             // 10 Auxiliary Setpoint
    N::Always,          // 11 Speed/Load Demand
    N::ExtrAdm,         // 12 Extraction/Admission Demand
    N::Always,          // 13 HP Valve Limiter
    N::ExtrAdm,         // 14 LP Valve Limiter
    N::Always,          // 15 Act 1 Valve Demand Output
    N::SecondActuator,  // 16 Act 2 Valve Demand Output
    N::Always,          // 17 Actuator Demand
    N::FirstStageInput, // 18 First Stage Pressure
    N::MonitorInput,    // 19 Monitor Analog Input
};

// States a relay can indicate (value 1 .. 41).
constexpr TConfigNeed StateIndicationNeeds[] = {
    N::Always, N::Always, N::Always, N::Always,  //  1 ..  4 shutdown, trip relay, alarm, major alarm
    N::Always, N::Always, N::Always,             //  5 ..  7 overspeed trip, overspeed test, speed PID
    N::RemoteSpeed, N::RemoteSpeed,              //  8 ..  9 remote speed setpoint enabled, active
    N::Always,                                   // 10 Underspeed Switch
    N::AutoSequence,                             // 11 Auto Start Sequence Halted
    N::Always,                                   // 12 On-Line Speed PID Dynamics Mode
    N::LocalRemote,                              // 13 Local Interface Mode Selected
    N::Generator, N::Generator,                  // 14 .. 15 frequency control armed, active
    N::Generator, N::Generator, N::Generator,    // 16 .. 18 sync, sync/load share enabled, load share mode
    N::ExtrAdm, N::ExtrAdm, N::ExtrAdm,          // 19 .. 21 extr/adm enabled, active, PID in control
    N::RemoteExtrAdm, N::RemoteExtrAdm,          // 22 .. 23 remote extr/adm setpoint enabled, active
    N::Cascade, N::Cascade,                      // 24 .. 25 cascade enabled, active
    N::RemoteCascade, N::RemoteCascade,          // 26 .. 27 remote cascade setpoint enabled, active
    N::Aux, N::Aux, N::Aux,                      // 28 .. 30 auxiliary enabled, active, PID in control
    N::RemoteAux, N::RemoteAux,                  // 31 .. 32 remote auxiliary setpoint enabled, active
    N::Always,                                   // 33 HP Valve Limiter in Control
    N::ExtrAdm,                                  // 34 LP Valve Limiter in Control
    N::ExtrAdm, N::ExtrAdm, N::ExtrAdm,          // 35 .. 37 priority enabled, active, input failed
    N::ExtrAdm,                                  // 38 Controlling on a Steam Map Limit
    N::Always, N::Always, N::Always,             // 39 .. 41 Modbus relay, port failed, reset pulse
};

// Signals of the analog readouts (value 1 .. 25).
constexpr TConfigNeed ReadoutNeeds[] = {
    N::Always,          //  1 Not Used
    N::Always,          //  2 Actual Speed
    N::Always,          //  3 Speed Setpoint
    N::RemoteSpeed,     //  4 Remote Speed Setpoint
    N::LoadShareInput,  //  5 Load Share Input
    N::SyncSignal,      //  6 Sync Input
    N::KwInput,         //  7 KW Input
    N::ExtrAdm,         //  8 Extr/Adm Input
    N::ExtrAdm,         //  9 Extr/Adm Setpoint
    N::RemoteExtrAdm,   // 10 Remote Extr/Adm Setpoint
    N::Cascade,         // 11 Cascade Input
    N::Cascade,         // 12 Cascade Setpoint
    N::RemoteCascade,   // 13 Remote Cascade Setpoint
    N::Aux,             // 14 Auxiliary Input
    N::Aux,             // 15 Auxiliary Setpoint
    N::RemoteAux,       // 16 Remote Auxiliary Setpoint
    N::Always,          // 17 Speed/Load Demand
    N::ExtrAdm,         // 18 Extr/Adm Demand
    N::Always,          // 19 Act 1 (HP) Valve Limiter Setpoint
    N::ExtrAdm,         // 20 Act 2 (LP) Valve Limiter Setpoint
    N::Always,          // 21 Act 1 (HP) Valve Demand
    N::SecondActuator,  // 22 Act 2 (LP) Valve Demand
    N::Always,          // 23 Actuator Demand
    N::FirstStageInput, // 24 First Stage Pressure Input
    N::MonitorInput,    // 25 Monitor Analog Input
};

// Signals actuator 2 can read out when it drives no valve (value 1 .. 16).
constexpr TConfigNeed Act2ReadoutNeeds[] = {
    N::Always,          //  1 Actual Speed
    N::Always,          //  2 Speed Setpoint
    N::RemoteSpeed,     //  3 Remote Speed Setpoint
    N::LoadShareInput,  //  4 Load Share Input
    N::SyncSignal,      //  5 Sync Input
    N::KwInput,         //  6 KW Input
    N::Cascade,         //  7 Cascade Input
    N::Cascade,         //  8 Cascade Setpoint
    N::RemoteCascade,   //  9 Remote Cascade Setpoint
    N::Aux,             // 10 Auxiliary Input
    N::Aux,             // 11 Auxiliary Setpoint
    N::RemoteAux,       // 12 Remote Auxiliary Setpoint
    N::Always,          // 13 Act 1 Valve Limiter Setpoint
    N::Always,          // 14 Act 1 Valve Demand
    N::FirstStageInput, // 15 First Stage Pressure Input
    N::MonitorInput,    // 16 Monitor Analog Input
};

// Whether a value is in a list; a value outside it is never available.
template <std::size_t Size>
bool Listed(const TConfigNeed (&)[Size], int value)
{
    return value >= 1 && value <= int(Size);
}

template <std::size_t Size>
TConfigNeed NeedOf(const TConfigNeed (&needs)[Size], int value)
{
    return needs[value - 1];
}

QString Numbered(const char* pattern, int number, int width = 0)
{
    return QString::fromLatin1(pattern).arg(number, width, 10, QLatin1Char('0'));
}

// Items read by the rules.
const char* const ApplType = "C_APPL.APPL_TYPE.IN";
const char* const TurbType = "C_APPL.TURB_TYPE.IN";
const char* const CascConf = "C_APPL.CASC_CONF.IN";
const char* const AuxConf = "C_APPL.AUX_CONF.IN";
const char* const RlMode = "C_APPL.RL_MODE.IN";
const char* const UseLocalRemote = "C_APPL.USE_LCLRMT.IN";

const char* const StartConf = "C_START.START_CONF.IN";
const char* const ToRated = "C_START.TO_RATED.IN";
const char* const RateToMin = "C_START.RT_TO_MIN.IN";
const char* const HpLimiterRate = "C_START.SLOW_RATE.IN";
const char* const UseInitV1 = "C_START.USE_INITV1.IN";
const char* const InitV1Pos = "C_START.INIT_V1POS.IN";

const char* const UseBand1 = "C_CRIT_SPD.USE_BAND1.IN";
const char* const UseBand2 = "C_CRIT_SPD.USE_BAND2.IN";
const char* const CritRate = "C_CRIT_SPD.CRIT_RATE.TUNE";
const char* const Band1Min = "C_CRIT_SPD.BAND1_MIN.TUNE";
const char* const Band1Max = "C_CRIT_SPD.BAND1_MAX.TUNE";
const char* const Band2Min = "C_CRIT_SPD.BAND2_MIN.TUNE";
const char* const Band2Max = "C_CRIT_SPD.BAND2_MAX.TUNE";

const char* const IdleSetpt = "C_IDLE_RTD.IDLE_SETPT.TUNE";
const char* const IdleRatedRate = "C_IDLE_RTD.IDLRTDRATE.TUNE";
const char* const RatedSetpt = "C_IDLE_RTD.RTD_SETPT.TUNE";

const char* const ColdStart = "C_AUTOSEQ.COLD_START.TUNE";
const char* const HotStart = "C_AUTOSEQ.HOT_START.TUNE";
const char* const LowIdle = "C_AUTOSEQ.LO_IDLE_SP.TUNE";
const char* const LowDelayCold = "C_AUTOSEQ.LO_DLY_C.TUNE";
const char* const LowDelayHot = "C_AUTOSEQ.LO_DLY_H.TUNE";
const char* const HighRateCold = "C_AUTOSEQ.HI_RATE_C.TUNE";
const char* const HighRateHot = "C_AUTOSEQ.HI_RATE_H.TUNE";
const char* const HighDelayCold = "C_AUTOSEQ.HI_DLY_C.TUNE";
const char* const HighIdle = "C_AUTOSEQ.HI_IDLE_SP.TUNE";
const char* const HighDelayHot = "C_AUTOSEQ.HI_DLY_H.TUNE";
const char* const RatedRateCold = "C_AUTOSEQ.RTD_RATE_C.TUNE";
const char* const RatedRateHot = "C_AUTOSEQ.RTD_RATE_H.TUNE";
const char* const AutoRated = "C_AUTOSEQ.RTD_SETPT.TUNE";

const char* const DroopConf = "C_GENLOGIC.DROOP_CONF.IN";
const char* const MaxLoad = "C_GENLOGIC.KWMAX_LOAD.TUNE";
const char* const GenRated = "C_GENLOGIC.RATED_SP.TUNE";
const char* const Teeth = "C_SPD_CTRL.NUM_TEETH.IN";
const char* const GearRatio = "C_SPD_CTRL.GEAR_RATIO.IN";
const char* const SpeedInput2 = "C_SPD_CTRL.SPD_2_CONF.IN";
const char* const SpeedInput3 = "C_SPD_CTRL.SPD_3_CONF.IN";
const char* const SpeedInput4 = "C_SPD_CTRL.SPD_4_CONF.IN";

const char* const OspdLimit = "C_SPDSETPT.OSPD_LIMIT.TUNE";
const char* const OspdTrip = "C_SPDSETPT.OSPD_TRIP.TUNE";
const char* const MaxGov = "C_SPDSETPT.MAX_GOV_SP.TUNE";
const char* const MinGov = "C_SPDSETPT.MIN_GOV_SP.TUNE";
const char* const SlowRate = "C_SPDSETPT.SLOW_RATE.TUNE";
const char* const UseRemoteSpeed = "C_RMT_SPD.USE_RMTSPD.IN";
const char* const RemoteSpeedRate = "C_RMT_SPD.RMTMAXRATE.TUNE";

const char* const ExtrMinSp = "C_EXTR.MIN_SP.TUNE";
const char* const ExtrMaxSp = "C_EXTR.MAX_SP.TUNE";
const char* const ExtrRate = "C_EXTR.SETPT_RATE.TUNE";
const char* const ExtrInit = "C_EXTR.SETPT_INIT.TUNE";
const char* const ExtrRemoteRate = "C_EXTR.MAX_RMT_SP.TUNE";
const char* const UseRemoteExtr = "C_EXTR.USE_RMTXTR.IN";
const char* const ExtrPermSpeed = "C_EXTR.X_ENBL_SPD.TUNE";
const char* const ExtrTracking = "C_MAP.USE_TRACK.IN";
const char* const DemandRate = "C_MAP.DEMAND_RTE.IN";
const char* const LpLimiterRate = "C_DRIVER.LP_LMTRRTE.TUNE";

const char* const MapMaxPower = "C_MAP.MAX_POWER.IN";
const char* const MapMaxFlow = "C_MAP.MAX_FLOW.IN";
const char* const MapSA = "C_MAP.SA.IN";
const char* const MapHPA = "C_MAP.HPA.IN";
const char* const MapSB = "C_MAP.SB.IN";
const char* const MapHPB = "C_MAP.HPB.IN";
const char* const MapSC = "C_MAP.SC.IN";
const char* const MapHPC = "C_MAP.HPC.IN";
const char* const MapPA = "C_MAP.PA.IN";

const char* const CascMinSp = "C_CASC.MIN_SP.TUNE";
const char* const CascMaxSp = "C_CASC.MAX_SP.TUNE";
const char* const CascRate = "C_CASC.CAS_SP_RTE.IN";
const char* const CascInit = "C_CASC.SETPT_INIT.TUNE";
const char* const CascTracking = "C_CASC.USE_SP_TRK.IN";
const char* const CascUseKw = "C_CASC.USE_KW_IN.IN";
const char* const CascMinSpeed = "C_CASC.MIN_SPD_SP.TUNE";
const char* const CascMaxSpeed = "C_CASC.MAX_SPD_SP.TUNE";
const char* const CascSpeedRate = "C_CASC.CAS_MX_RTE.IN";
const char* const UseRemoteCasc = "C_RMT_CAS.USE_RMTCAS.IN";
const char* const CascRemoteRate = "C_RMT_CAS.MAX_RMT_SP.TUNE";

const char* const AuxMinSp = "C_AUX.MIN_SP.TUNE";
const char* const AuxMaxSp = "C_AUX.MAX_SP.TUNE";
const char* const AuxRate = "C_AUX.AUX_SP_RTE.IN";
const char* const AuxInit = "C_AUX.SETPT_INIT.TUNE";
const char* const AuxUseKw = "C_AUX.USE_KW_IN.IN";
const char* const UseRemoteAux = "C_AUX.USE_RMTAUX.IN";
const char* const AuxRemoteRate = "C_AUX.MAX_RMT_SP.TUNE";

const char* const Act2AsReadout = "C_DRIVER.ACT2_RO.IN_1";
const char* const Act2ReadoutSignal = "C_DRIVER.ACT2RO_SEL.IN";
const char* const Act2Readout4mA = "C_DRIVER.ACT2_4MA.TUNE";
const char* const Act2Readout20mA = "C_DRIVER.ACT2_20MA.TUNE";

} // namespace

TConfigurationRules::TConfigurationRules(const TControlValues& values)
    : values(values)
{
    for (int input = 1; input <= int(analogFunctions.size()); ++input)
        analogFunctions[input - 1] = Choice(Numbered("C_ANIN%1.ANIN_CONF.IN", input));
    for (int input = 5; input < 5 + int(contactFunctions.size()); ++input)
        contactFunctions[input - 5] = Choice(Numbered("C_CONT_IN.C_IN_%1.IN", input, 2));
}

QList<TConfigError> TConfigurationRules::Check()
{
    errors.clear();
    CheckSpeedSettings();
    CheckStartSettings();
    CheckCriticalSpeeds();
    CheckIdleToRated();
    CheckAutoSequence();
    CheckContactInputs();
    CheckAnalogInputs();
    CheckRemoteSetpoints();
    CheckRelays();
    CheckReadouts();
    CheckExtrAdm();
    CheckSteamMap();
    CheckCascade();
    CheckAuxiliary();
    std::stable_sort(errors.begin(), errors.end(),
                     [](const TConfigError& a, const TConfigError& b) { return a.number < b.number; });
    return errors;
}

double TConfigurationRules::Number(const QString& item) const
{
    return values.Number(item);
}

int TConfigurationRules::Choice(const QString& item) const
{
    return qRound(values.Number(item));
}

bool TConfigurationRules::Flag(const QString& item) const
{
    return values.Flag(item);
}

bool TConfigurationRules::HasAnalog(int function) const
{
    return std::find(analogFunctions.begin(), analogFunctions.end(), function) != analogFunctions.end();
}

bool TConfigurationRules::HasContact(int function) const
{
    return std::find(contactFunctions.begin(), contactFunctions.end(), function) != contactFunctions.end();
}

bool TConfigurationRules::Provides(TConfigNeed need) const
{
    const int turbine = Choice(TurbType);
    const bool generator = Choice(ApplType) == Generator;
    const bool extrAdm = turbine >= ExtractionOnly && turbine <= ExtrAdm;
    const bool cascade = Choice(CascConf) == Controller;
    const int aux = Choice(AuxConf);
    const bool auxUsed = aux == Controller || aux == Limiter;
    const int toRated = Choice(ToRated);
    switch (need) {
    case N::Always: return true;
    case N::Generator: return generator;
    case N::ExtrAdm: return extrAdm;
    case N::Cascade: return cascade;
    case N::Aux: return auxUsed;
    case N::IdleUsed: return toRated >= ManualRaiseLower && toRated <= AutoSequence;
    case N::AutoSequence: return toRated == AutoSequence;
    case N::LocalRemote: return Flag(UseLocalRemote);
    case N::RemoteSpeed: return Flag(UseRemoteSpeed);
    case N::RemoteExtrAdm: return extrAdm && Flag(UseRemoteExtr);
    case N::RemoteCascade: return cascade && Flag(UseRemoteCasc);
    case N::RemoteAux: return auxUsed && Flag(UseRemoteAux);
    case N::KwInput: return generator && HasAnalog(KwInput1);
    case N::SyncSignal: return generator && (HasAnalog(SynchronizingInput) || HasAnalog(SyncLoadShare1));
    case N::LoadShareInput: return generator && HasAnalog(SyncLoadShare1);
    case N::FirstStageInput: return HasAnalog(FirstStagePressure);
    case N::MonitorInput: return HasAnalog(MonitorAnalog);
    case N::SecondActuator: return turbine >= SplitRange && turbine <= ExtrAdm;
    }
    return false;
}

// The speed the turbine idles at before the critical speed bands.
double TConfigurationRules::IdleSpeed() const
{
    return Choice(ToRated) == AutoSequence ? Number(LowIdle) : Number(IdleSetpt);
}

void TConfigurationRules::Report(int number, const QString& message)
{
    errors.append({number, message});
}

void TConfigurationRules::CheckSpeedSettings()
{
    // 47: speed sensor and generator speed settings.
    const double teeth = Number(Teeth);
    const double ratio = Number(GearRatio);
    if (teeth < 1)
        Report(47, QStringLiteral("Speed Probe Teeth Not Configured"));
    if (ratio <= 0)
        Report(47, QStringLiteral("Speed Probe Gear Ratio Not Configured"));
    if (Number(OspdLimit) / 60.0 * teeth * ratio > MaxSpeedProbeFrequency)
        Report(47, QStringLiteral("Speed Probe Frequency Too High At Overspeed Test Limit"));
    if (Choice(ApplType) == Generator && (Number(GenRated) < Number(MinGov) || Number(GenRated) > Number(MaxGov)))
        Report(47, QStringLiteral("Generator Rated Speed Outside Governor Range"));

    // 48: speed inputs are used in order.
    if (Choice(SpeedInput3) > FunctionNotUsed && Choice(SpeedInput2) == FunctionNotUsed)
        Report(48, QStringLiteral("Speed Input #3 Used Without Speed Input #2"));
    if (Choice(SpeedInput4) > FunctionNotUsed && Choice(SpeedInput3) == FunctionNotUsed)
        Report(48, QStringLiteral("Speed Input #4 Used Without Speed Input #3"));

    // 49: min governor < max governor < overspeed trip <= overspeed test limit.
    if (Number(MinGov) <= 0)
        Report(49, QStringLiteral("Min Governor Speed Not Configured"));
    if (Number(MinGov) >= Number(MaxGov))
        Report(49, QStringLiteral("Min Governor Not Below Max Governor"));
    if (Number(MaxGov) >= Number(OspdTrip))
        Report(49, QStringLiteral("Max Governor Not Below Overspeed Trip"));
    if (Number(OspdTrip) > Number(OspdLimit))
        Report(49, QStringLiteral("Overspeed Trip Above Overspeed Test Limit"));

    // 75: speed setpoint rates.
    if (Number(SlowRate) <= 0)
        Report(75, QStringLiteral("Speed Setpt Slow Rate Not Configured"));
    if (Flag(UseRemoteSpeed) && Number(RemoteSpeedRate) <= 0)
        Report(75, QStringLiteral("Rmt Speed Setpt Max Rate Not Configured"));
}

void TConfigurationRules::CheckStartSettings()
{
    // 46: start routine.
    const int start = Choice(StartConf);
    if (start < 1 || start > 3)
        Report(46, QStringLiteral("Start Routine Not Configured"));
    else if (Flag(UseInitV1) && start != 1)
        Report(46, QStringLiteral("Initial V1 Position Needs Manual Start"));
    else if (Flag(UseInitV1) && (Number(InitV1Pos) < 0 || Number(InitV1Pos) > 100))
        Report(46, QStringLiteral("V1 Init Position Out Of Range"));

    // 53: idle to rated routine.
    const int toRated = Choice(ToRated);
    if (toRated < NoIdle || toRated > AutoSequence)
        Report(53, QStringLiteral("Idle To Rated Routine Not Configured"));
    else if (toRated == NoIdle && Flag(UseBand1))
        Report(53, QStringLiteral("Critical Speed Avoidance Needs An Idle Speed"));

    // 59: start rates.
    if (Number(RateToMin) <= 0)
        Report(59, QStringLiteral("Setpt Rate To Min Speed Not Configured"));
    if (Number(HpLimiterRate) <= 0)
        Report(59, QStringLiteral("HP Valve Limiter Rate Not Configured"));
    if (toRated == IdleRatedRamp && Number(IdleRatedRate) <= 0)
        Report(59, QStringLiteral("Idle/Rated Setpt Rate Not Configured"));
}

void TConfigurationRules::CheckCriticalSpeeds()
{
    const bool band1 = Flag(UseBand1);
    const bool band2 = Flag(UseBand2);
    if (band2 && !band1)
        Report(51, QStringLiteral("Critical Band 2 Used Without Band 1"));
    if (!band1)
        return;

    if (Number(CritRate) <= Number(SlowRate))
        Report(50, QStringLiteral("Critical Speed Rate Not Above Setpt Slow Rate"));
    if (Provides(N::IdleUsed) && Number(Band1Min) <= IdleSpeed())
        Report(52, QStringLiteral("Critical Band 1 Not Above Idle Speed"));
    if (Number(Band1Min) >= Number(Band1Max))
        Report(54, QStringLiteral("Critical Band 1 Min Not Below Max"));
    if (Number(Band1Max) >= Number(MinGov))
        Report(54, QStringLiteral("Critical Band 1 Not Below Min Governor"));
    if (!band2)
        return;
    if (Number(Band2Min) < Number(Band1Max))
        Report(55, QStringLiteral("Critical Bands 1 And 2 Overlap"));
    if (Number(Band2Min) >= Number(Band2Max))
        Report(55, QStringLiteral("Critical Band 2 Min Not Below Max"));
    if (Number(Band2Max) >= Number(MinGov))
        Report(55, QStringLiteral("Critical Band 2 Not Below Min Governor"));
}

void TConfigurationRules::CheckIdleToRated()
{
    const int toRated = Choice(ToRated);
    if (toRated != ManualRaiseLower && toRated != IdleRatedRamp)
        return;
    if (Number(IdleSetpt) >= Number(MinGov))
        Report(57, QStringLiteral("Idle Setpt Not Below Min Governor"));
    if (toRated != IdleRatedRamp)
        return;
    if (Number(IdleSetpt) >= Number(RatedSetpt))
        Report(56, QStringLiteral("Idle Setpt Not Below Rated Setpt"));
    if (Number(RatedSetpt) > Number(MaxGov))
        Report(58, QStringLiteral("Rated Setpt Above Max Governor"));
}

void TConfigurationRules::CheckAutoSequence()
{
    if (Choice(ToRated) != AutoSequence)
        return;

    // 60: cold and hot start settings of the sequence.
    if (Number(HotStart) > Number(ColdStart))
        Report(60, QStringLiteral("Hot Start Time Above Cold Start Time"));
    if (Number(LowDelayHot) > Number(LowDelayCold))
        Report(60, QStringLiteral("Low Idle Hot Delay Longer Than Cold Delay"));
    if (Number(HighDelayHot) > Number(HighDelayCold))
        Report(60, QStringLiteral("High Idle Hot Delay Longer Than Cold Delay"));
    if (Number(HighRateCold) <= 0 || Number(HighRateHot) <= 0 || Number(RatedRateCold) <= 0
        || Number(RatedRateHot) <= 0)
        Report(60, QStringLiteral("Auto Sequence Rate Not Configured"));
    if (Number(HighRateHot) < Number(HighRateCold))
        Report(60, QStringLiteral("High Idle Hot Rate Below Cold Rate"));
    if (Number(RatedRateHot) < Number(RatedRateCold))
        Report(60, QStringLiteral("Rated Hot Rate Below Cold Rate"));
    if (Number(AutoRated) < Number(MinGov) || Number(AutoRated) > Number(MaxGov))
        Report(60, QStringLiteral("Auto Sequence Rated Setpt Outside Governor Range"));

    // 61 .. 63: low idle < high idle < min governor, high idle clear of the bands.
    const double high = Number(HighIdle);
    if (high <= Number(LowIdle))
        Report(61, QStringLiteral("High Idle Setpt Not Above Low Idle"));
    const bool inBand1 = Flag(UseBand1) && high > Number(Band1Min) && high < Number(Band1Max);
    const bool inBand2 = Flag(UseBand1) && Flag(UseBand2) && high > Number(Band2Min) && high < Number(Band2Max);
    if (inBand1 || inBand2)
        Report(61, QStringLiteral("High Idle Setpt Inside Critical Speed Band"));
    if (Number(LowIdle) <= 0)
        Report(62, QStringLiteral("Low Idle Setpt Not Configured"));
    if (high >= Number(MinGov))
        Report(63, QStringLiteral("High Idle Setpt Not Below Min Governor"));
}

void TConfigurationRules::CheckContactInputs()
{
    for (int index = 0; index < int(contactFunctions.size()); ++index) {
        const int input = index + 5;
        const int function = contactFunctions[index];
        if (function == FunctionNotUsed)
            continue;
        // 82: each function on one input only.
        for (int earlier = 0; earlier < index; ++earlier)
            if (contactFunctions[earlier] == function) {
                Report(82, QStringLiteral("Contact In #%1 And #%2 Same Function").arg(earlier + 5).arg(input));
                break;
            }
        // 2 .. 21: a function of a control that is not configured.
        if (!Listed(ContactNeeds, function) || !Provides(NeedOf(ContactNeeds, function))) {
            Report(input - 3, Numbered("Contact In #%1 Function Not Available", input));
            continue;
        }
        // 78, 79: enable contacts of a signal that is not in use.
        for (const TEnableContact& enable : EnableContacts)
            if (enable.function == function && !Provides(enable.need))
                Report(enable.error, QString::fromLatin1(enable.message));
    }

    // 1: raise and lower contacts come in pairs. Contacts of a control that is not
    // configured are already reported as not available.
    for (const TContactPair& pair : ContactPairs)
        if (Provides(NeedOf(ContactNeeds, pair.raise)) && HasContact(pair.raise) != HasContact(pair.lower))
            Report(1, QStringLiteral("%1 Raise/Lower Contacts Not Paired").arg(QLatin1String(pair.name)));

    // 76, 77: a generator needs both breaker positions.
    if (Choice(ApplType) == Generator) {
        if (!HasContact(2))
            Report(76, QStringLiteral("Generator Breaker Contact Not Configured"));
        if (!HasContact(3))
            Report(77, QStringLiteral("Utility Tie Breaker Contact Not Configured"));
    }
}

void TConfigurationRules::CheckAnalogInputs()
{
    for (int index = 0; index < int(analogFunctions.size()); ++index) {
        const int input = index + 1;
        const int function = analogFunctions[index];
        if (function == FunctionNotUsed)
            continue;
        // 84: each function on one input only.
        for (int earlier = 0; earlier < index; ++earlier)
            if (analogFunctions[earlier] == function) {
                Report(84, QStringLiteral("Analog In #%1 And #%2 Same Function").arg(earlier + 1).arg(input));
                break;
            }
        // 23 .. 30: the analog input itself.
        if (!Listed(AnalogNeeds, function) || !Provides(NeedOf(AnalogNeeds, function)))
            Report(22 + input, Numbered("Analog In #%1 Function Not Available", input));
        if (Number(Numbered("C_ANIN%1.ANIN_4MA.TUNE", input)) == Number(Numbered("C_ANIN%1.ANIN_20MA.TUNE", input)))
            Report(22 + input, Numbered("Analog In #%1 4 mA Value Equals 20 mA Value", input));
    }

    // 22: one way of synchronizing.
    if (HasAnalog(SynchronizingInput) && HasAnalog(SyncLoadShare1))
        Report(22, QStringLiteral("Sync Input And Sync/Load Share Input Both Configured"));

    // 80: redundant inputs are added in order.
    for (const TRedundantInputs& group : RedundantInputs) {
        if (HasAnalog(group.first + 1) && !HasAnalog(group.first))
            Report(80, QStringLiteral("%1 Input #2 Without Input #1").arg(QLatin1String(group.name)));
        if (HasAnalog(group.first + 2) && !HasAnalog(group.first + 1))
            Report(80, QStringLiteral("%1 Input #3 Without Input #2").arg(QLatin1String(group.name)));
    }

    // 65, 67, 69: each configured control has its process input.
    if (Provides(N::ExtrAdm) && !HasAnalog(ExtrAdmInput1))
        Report(65, QStringLiteral("Extr/Adm Input Not Configured"));
    const bool generator = Choice(ApplType) == Generator;
    if (Provides(N::Cascade)) {
        if (generator && Flag(CascUseKw)) {
            if (!HasAnalog(KwInput1))
                Report(67, QStringLiteral("Cascade KW Input Not Configured"));
        } else if (!HasAnalog(CascadeInput1)) {
            Report(67, QStringLiteral("Cascade Input Not Configured"));
        }
    }
    if (Provides(N::Aux)) {
        if (generator && Flag(AuxUseKw)) {
            if (!HasAnalog(KwInput1))
                Report(69, QStringLiteral("Auxiliary KW Input Not Configured"));
        } else if (!HasAnalog(AuxInput1)) {
            Report(69, QStringLiteral("Auxiliary Input Not Configured"));
        }
    }

    // 81, 83: load droop needs the load signal and its range.
    if (generator && Choice(DroopConf) == KwDroop) {
        if (!HasAnalog(KwInput1))
            Report(81, QStringLiteral("KW Droop Without KW/Unit Load Input"));
        if (Number(MaxLoad) <= 0)
            Report(83, QStringLiteral("Maximum Load Not Configured"));
    }
}

void TConfigurationRules::CheckRemoteSetpoints()
{
    // 66, 68, 70, 71: a remote setpoint is used exactly when its analog input exists.
    struct TRemote {
        int error;
        TConfigNeed need;
        int function;
        const char* name;
    };
    static constexpr TRemote Remotes[] = {
        {66, N::RemoteExtrAdm, RemoteExtrAdmSetpoint, "Rmt Extr/Adm Setpt"},
        {68, N::RemoteCascade, RemoteCascadeSetpoint, "Rmt Cascade Setpt"},
        {70, N::RemoteAux, RemoteAuxSetpoint, "Rmt Aux Setpt"},
        {71, N::RemoteSpeed, RemoteSpeedSetpoint, "Rmt Speed Setpt"},
    };
    for (const TRemote& remote : Remotes) {
        const bool used = Provides(remote.need);
        const bool input = HasAnalog(remote.function);
        if (used && !input)
            Report(remote.error, QStringLiteral("%1 Input Not Configured").arg(QLatin1String(remote.name)));
        else if (!used && input)
            Report(remote.error, QStringLiteral("%1 Input Not Used").arg(QLatin1String(remote.name)));
    }
}

void TConfigurationRules::CheckRelays()
{
    // 31 .. 40: relays 3 to 12.
    for (int relay = 3; relay <= 12; ++relay) {
        const QString prefix = Numbered("C_RELAY%1.", relay, 2);
        const int error = 28 + relay;
        switch (Choice(prefix + QStringLiteral("RLY_CONF.IN"))) {
        case RelayNotUsed:
            break;
        case LevelSwitch: {
            const int signal = Choice(prefix + QStringLiteral("LVLSW_CONF.IN"));
            if (!Listed(LevelSwitchNeeds, signal) || !Provides(NeedOf(LevelSwitchNeeds, signal)))
                Report(error, Numbered("Relay #%1 Level Switch Signal Not Available", relay));
            if (Number(prefix + QStringLiteral("ON_LVL.TUNE")) == Number(prefix + QStringLiteral("OFF_LVL.TUNE")))
                Report(error, Numbered("Relay #%1 On Level Equals Off Level", relay));
            break;
        }
        case StateIndication: {
            const int state = Choice(prefix + QStringLiteral("STATE_CONF.IN"));
            if (!Listed(StateIndicationNeeds, state) || !Provides(NeedOf(StateIndicationNeeds, state)))
                Report(error, Numbered("Relay #%1 Indication Not Available", relay));
            break;
        }
        default:
            Report(error, Numbered("Relay #%1 Function Not Configured", relay));
            break;
        }
    }
}

void TConfigurationRules::CheckReadouts()
{
    // 41 .. 44: analog readouts 1 to 4.
    for (int readout = 1; readout <= 4; ++readout) {
        const int signal = Choice(Numbered("C_READOUT.RO%1_CONF.IN", readout));
        if (signal == FunctionNotUsed)
            continue;
        const int error = 40 + readout;
        if (!Listed(ReadoutNeeds, signal) || !Provides(NeedOf(ReadoutNeeds, signal)))
            Report(error, Numbered("Readout #%1 Signal Not Available", readout));
        if (Number(Numbered("C_READOUT.OUT%1_4MA.TUNE", readout)) == Number(Numbered("C_READOUT.OUT%1_20MA.TUNE", readout)))
            Report(error, Numbered("Readout #%1 4 mA Value Equals 20 mA Value", readout));
    }

    // 45: actuator 2 as a readout, possible only while it drives no valve.
    if (Provides(N::SecondActuator) || !Flag(Act2AsReadout))
        return;
    const int signal = Choice(Act2ReadoutSignal);
    if (!Listed(Act2ReadoutNeeds, signal) || !Provides(NeedOf(Act2ReadoutNeeds, signal)))
        Report(45, QStringLiteral("Act #2 Readout Signal Not Available"));
    if (Number(Act2Readout4mA) == Number(Act2Readout20mA))
        Report(45, QStringLiteral("Act #2 Readout 4 mA Value Equals 20 mA Value"));
}

void TConfigurationRules::CheckExtrAdm()
{
    // 72: extraction/admission control settings.
    if (!Provides(N::ExtrAdm))
        return;
    const int mode = Choice(RlMode);
    if (mode < 1 || mode > DecoupledHpLp)
        Report(72, QStringLiteral("Ratio/Limiter Mode Not Configured"));
    if (Number(ExtrMinSp) >= Number(ExtrMaxSp))
        Report(72, QStringLiteral("Extr/Adm Min Setpt Not Below Max Setpt"));
    if (Number(ExtrRate) <= 0)
        Report(72, QStringLiteral("Extr/Adm Setpt Rate Not Configured"));
    if (!Flag(ExtrTracking) && (Number(ExtrInit) < Number(ExtrMinSp) || Number(ExtrInit) > Number(ExtrMaxSp)))
        Report(72, QStringLiteral("Extr/Adm Setpt Init Value Out Of Range"));
    if (Flag(UseRemoteExtr) && Number(ExtrRemoteRate) <= 0)
        Report(72, QStringLiteral("Extr/Adm Rmt Setpt Max Rate Not Configured"));
    if (Number(ExtrPermSpeed) > Number(MaxGov))
        Report(72, QStringLiteral("Extr/Adm Permissive Speed Above Max Governor"));
    if (Number(LpLimiterRate) <= 0)
        Report(72, QStringLiteral("LP Valve Limiter Rate Not Configured"));
    if (Choice(TurbType) >= AdmissionOnly && Number(DemandRate) <= 0)
        Report(72, QStringLiteral("Extr/Adm Demand Rate Not Configured"));
}

void TConfigurationRules::CheckSteamMap()
{
    // 64: the steam map of the turbine, used unless HP and LP are decoupled.
    if (!Provides(N::ExtrAdm) || Choice(RlMode) == DecoupledHpLp)
        return;
    const int turbine = Choice(TurbType);
    const double maxPower = Number(MapMaxPower), maxFlow = Number(MapMaxFlow);
    const double sa = Number(MapSA), hpa = Number(MapHPA);
    const double sb = Number(MapSB), hpb = Number(MapHPB);
    const double sc = Number(MapSC), hpc = Number(MapHPC);

    if (maxPower <= 0 || maxFlow <= 0 || sa <= 0 || hpa <= 0 || sb <= 0 || hpb <= 0 || sc <= 0 || hpc <= 0)
        Report(64, QStringLiteral("Steam Map Value Not Configured"));
    if (turbine != ExtractionOnly && Number(MapPA) <= 0)
        Report(64, QStringLiteral("Steam Map Max Adm Flow Not Configured"));
    if (sa > maxPower || sb > maxPower || sc > maxPower)
        Report(64, QStringLiteral("Steam Map Power Above Maximum Power"));
    if (hpa > maxFlow || hpb > maxFlow || hpc > maxFlow)
        Report(64, QStringLiteral("Steam Map HP Flow Above Maximum HP Flow"));

    if (turbine == AdmissionOnly) {
        // B is the low end and C the high end of the line without admission.
        if (sb >= sc || hpb >= hpc)
            Report(64, QStringLiteral("Steam Map Points B And C Out Of Order"));
        if (sa <= sb)
            Report(64, QStringLiteral("Steam Map Point A Not Above Point B"));
    } else {
        // C and A end the line without extraction; B lies above it at low power.
        if (sc >= sa || hpc >= hpa)
            Report(64, QStringLiteral("Steam Map Points C And A Out Of Order"));
        if (hpb <= hpc || sb >= sa)
            Report(64, QStringLiteral("Steam Map Point B Out Of Order"));
    }
}

void TConfigurationRules::CheckCascade()
{
    // 73: cascade control settings.
    if (!Provides(N::Cascade))
        return;
    if (Number(CascMinSp) >= Number(CascMaxSp))
        Report(73, QStringLiteral("Cascade Min Setpt Not Below Max Setpt"));
    if (Number(CascRate) <= 0)
        Report(73, QStringLiteral("Cascade Setpt Rate Not Configured"));
    if (!Flag(CascTracking) && (Number(CascInit) < Number(CascMinSp) || Number(CascInit) > Number(CascMaxSp)))
        Report(73, QStringLiteral("Cascade Setpt Init Value Out Of Range"));
    if (Flag(UseRemoteCasc) && Number(CascRemoteRate) <= 0)
        Report(73, QStringLiteral("Cascade Rmt Setpt Max Rate Not Configured"));
    if (Number(CascMinSpeed) >= Number(CascMaxSpeed))
        Report(73, QStringLiteral("Cascade Min Spd Setpt Not Below Max Spd Setpt"));
    if (Number(CascMinSpeed) < Number(MinGov) || Number(CascMaxSpeed) > Number(MaxGov))
        Report(73, QStringLiteral("Cascade Spd Setpt Limits Outside Governor Range"));
    if (Number(CascSpeedRate) <= 0)
        Report(73, QStringLiteral("Cascade Spd Setpt Rate Not Configured"));
}

void TConfigurationRules::CheckAuxiliary()
{
    // 74: auxiliary control or limiter settings.
    const int use = Choice(AuxConf);
    if (use != Controller && use != Limiter)
        return;
    if (Number(AuxMinSp) >= Number(AuxMaxSp))
        Report(74, QStringLiteral("Aux Min Setpt Not Below Max Setpt"));
    if (Number(AuxRate) <= 0)
        Report(74, QStringLiteral("Aux Setpt Rate Not Configured"));
    if (use == Limiter && (Number(AuxInit) < Number(AuxMinSp) || Number(AuxInit) > Number(AuxMaxSp)))
        Report(74, QStringLiteral("Aux Setpt Init Value Out Of Range"));
    if (Flag(UseRemoteAux) && Number(AuxRemoteRate) <= 0)
        Report(74, QStringLiteral("Aux Rmt Setpt Max Rate Not Configured"));
}
