#include "server/TurbineModel.h"

#include "server/ControlValues.h"
#include "server/DerivedSettings.h"
#include "server/RelayOutputs.h"
#include "server/TurbineModelPrivate.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace {

using Turbine::Clamp;

constexpr double LongestSubstep = 0.02;             // s; Step() integrates in slices no longer than this
constexpr double ConfigurationRereadInterval = 5.0; // s; settings are read again at least this often

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
constexpr int DroopFromValve = 2, DroopFromLoad = 3; // droop types of the configuration list
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

// Everything a time stamp or clock item shows is C-locale text.
const QString StampFormat = QStringLiteral("dd-MMM hh:mm:ss");

// Linear interpolation between the hot and the cold value by the hours the turbine stood.
double ColdHot(double hours, double hotHours, double coldHours, double hot, double cold)
{
    if (coldHours <= hotHours)
        return hours >= coldHours ? cold : hot;
    const double share = Clamp((hours - hotHours) / (coldHours - hotHours), 0, 1);
    return hot + share * (cold - hot);
}

} // namespace

namespace Turbine {

TModel::TModel(TControlValues& controlValues)
    : values(controlValues)
    , out(controlValues)
    , logs(controlValues)
{
    for (const TGain& gain : Gains)
        for (const auto& button : GainButtons)
            gainButtons.append({Name(gain.buttons) + QString::number(gain.firstInput + button.offset),
                                Name(gain.value), button.rate, gain.most});
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
    on("D_OSPD_EN.RQV_DIS.TRIGGER", [this] { DisableOverspeedTest(OverspeedTestOff); });
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
    ReadConfig();
}

// ---------------------------------------------------------------------------
// Reading values

double TModel::Config(const char* item, double fallback) const
{
    const QString name = Name(item);
    if (!values.Has(name) || values.Text(name).isEmpty())
        return fallback;
    return values.Number(name);
}

double TModel::Positive(const char* item, double fallback) const
{
    const double value = Config(item, fallback);
    return value > 0 ? value : fallback;
}

bool TModel::ConfigFlag(const char* item, bool fallback) const
{
    const QString name = Name(item);
    if (!values.Has(name) || values.Text(name).isEmpty())
        return fallback;
    return values.Flag(name);
}

void TModel::ReadConfig()
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
    c.droopFromValve = int(Config("C_GENLOGIC.DROOP_CONF.IN", DroopFromLoad)) == DroopFromValve;
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

void TModel::ReadLoopConfig(TLoopConfig& loop, const char* block, const char* rateItem,
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
double TModel::ByStandstill(const TColdHot& value) const
{
    const double hours = (elapsed - lastTripAt) / 3600.0;
    return ColdHot(hours, config.hotHours, config.coldHours, value.hot, value.cold);
}

// Seconds the momentary command has been held, this slice included; negative when released.
double TModel::Held(const QString& item, double h)
{
    if (pressed.isEmpty() || !pressed.contains(item)) {
        heldFor.remove(item);
        return -1;
    }
    double& held = heldFor[item];
    held += h;
    return held;
}

bool TModel::Rising(const QString& item)
{
    const bool now = values.Flag(item);
    const bool before = commandState.value(item, false);
    commandState.insert(item, now);
    return now && !before;
}

// ---------------------------------------------------------------------------
// Clock

QDateTime TModel::Clock() const
{
    return QDateTime::fromMSecsSinceEpoch(clockAtZero + qint64(std::floor(elapsed * 1000.0)), Qt::UTC);
}

QString TModel::Stamp() const
{
    return QLocale::c().toString(Clock(), StampFormat);
}

void TModel::SetClock(const QDateTime& to)
{
    if (to.isValid())
        clockAtZero = to.toMSecsSinceEpoch() - qint64(std::floor(elapsed * 1000.0));
}

// Field 0 year, 1 month, 2 day, 3 hour, 4 minute, 5 second, from the time and date window's editors.
void TModel::SetClockField(int field)
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

void TModel::SetWholeClock()
{
    auto field = [this](const char* item) { return int(values.Number(Name(item))); };
    const QDate date(field("MAIN.YEAR_SW.NC"), field("MAIN.MONTH_SW.NC"), field("MAIN.DAY_SW.NC"));
    const QTime time(field("MAIN.HOUR_SW.NC"), field("MAIN.MIN_SW.NC"), field("MAIN.SEC_SW.NC"));
    if (date.isValid() && time.isValid())
        SetClock(QDateTime(date, time, Qt::UTC));
}

} // namespace Turbine

using namespace Turbine;

struct TTurbineModel::Private : TModel {
    using TModel::TModel;
};

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
    p.sequenceLatch = true;
    p.speed = p.sensedSpeed = p.steamFlow = 0;
    p.acceleration = 0;
    p.hpValve = p.lpValve = 0;
    p.hpDemand = p.lpDemand = 0;
    p.lpLimiter = p.values.Has(QStringLiteral("AA_MONITOR.LP_LIMITER.A_NAME"))
        ? Clamp(p.values.Number(QStringLiteral("AA_MONITOR.LP_LIMITER.A_NAME")), 0, 100) : 100.0;
    p.manualDemand = 0;
    p.overspeedTest = TOverspeedTest::Off;
    p.overspeedStatus = OverspeedTestOff;
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
        TModel::TValve& v = p.valves[valve];
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
        // What follows from a setting is seen together with its echo.
        DerivedSettings::Publish(p.values, p.out);
        RelayOutputs::Publish(p.values, p.out);
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

void TTurbineModel::RaiseAlarm(const QString& message)
{
    d->Alarm(message);
    d->Publish();
}

void TTurbineModel::RaiseTrip(const QString& cause)
{
    Private& p = *d;
    if (p.tripped)
        p.logs.Trip(p.Stamp(), cause);
    else
        p.Trip(cause);
    p.Publish();
}

void TTurbineModel::ClearAlarms()
{
    d->logs.ResetAlarms();
    d->clearMarkLeft = ClearMarkTime;
    d->Publish();
}
