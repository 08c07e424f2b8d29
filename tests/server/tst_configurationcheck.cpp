// The configuration check: its rules over the control database's values, and the
// result items through which the program sees a check run and end.

#include "server/ConfigurationCheck.h"
#include "tests/server/FakeControlValues.h"
#include "tests/support/TestRunner.h"

#include <QtTest>

#include <memory>

namespace {

QString Describe(const QList<TConfigError>& errors)
{
    QStringList lines;
    for (const TConfigError& error : errors)
        lines.append(QStringLiteral("%1 %2").arg(error.number).arg(error.message));
    return lines.isEmpty() ? QStringLiteral("(none)") : lines.join(QStringLiteral("; "));
}

// A known-good starting point: the database defaults (a generator drive on a
// single valve turbine) with the settings the rows below build on pinned.
const QStringList Base = {
    "C_APPL.APPL_TYPE.IN=2", "C_APPL.TURB_TYPE.IN=1", "C_APPL.CASC_CONF.IN=1", "C_APPL.AUX_CONF.IN=1",
    "C_CONT_IN.C_IN_05.IN=2", "C_CONT_IN.C_IN_06.IN=3", "C_GENLOGIC.DROOP_CONF.IN=2",
    "C_GENLOGIC.RATED_SP.TUNE=3600", "C_SPDSETPT.MIN_GOV_SP.TUNE=3420", "C_SPDSETPT.MAX_GOV_SP.TUNE=3780",
    "C_SPDSETPT.OSPD_TRIP.TUNE=3960", "C_SPDSETPT.OSPD_LIMIT.TUNE=4000", "C_SPDSETPT.SLOW_RATE.TUNE=10",
    "C_SPD_CTRL.NUM_TEETH.IN=60", "C_SPD_CTRL.GEAR_RATIO.IN=1", "C_SPD_CTRL.SPD_2_CONF.IN=2",
    "C_SPD_CTRL.SPD_3_CONF.IN=1", "C_SPD_CTRL.SPD_4_CONF.IN=1", "C_START.START_CONF.IN=3",
    "C_START.USE_INITV1.IN=0", "C_START.TO_RATED.IN=3", "C_IDLE_RTD.IDLE_SETPT.TUNE=1000",
    "C_IDLE_RTD.RTD_SETPT.TUNE=3600", "C_CRIT_SPD.USE_BAND1.IN=0", "C_CRIT_SPD.USE_BAND2.IN=0",
    "C_RMT_SPD.USE_RMTSPD.IN=0", "C_DRIVER.ACT2_RO.IN_1=0",
};
const QStringList Mechanical = {"C_APPL.APPL_TYPE.IN=1", "C_CONT_IN.C_IN_05.IN=1", "C_CONT_IN.C_IN_06.IN=1"};
const QStringList KwDroop = {"C_GENLOGIC.DROOP_CONF.IN=3", "C_ANIN1.ANIN_CONF.IN=7", "C_GENLOGIC.KWMAX_LOAD.TUNE=5000"};
const QStringList Extraction = {
    "C_APPL.TURB_TYPE.IN=3", "C_APPL.RL_MODE.IN=1", "C_ANIN1.ANIN_CONF.IN=10",
    "C_MAP.MAX_POWER.IN=5000", "C_MAP.MAX_FLOW.IN=60000", "C_MAP.SA.IN=5000", "C_MAP.HPA.IN=55000",
    "C_MAP.SB.IN=1500", "C_MAP.HPB.IN=35000", "C_MAP.SC.IN=500", "C_MAP.HPC.IN=10000", "C_MAP.PA.IN=20000",
    "C_EXTR.MIN_SP.TUNE=0", "C_EXTR.MAX_SP.TUNE=200", "C_EXTR.SETPT_INIT.TUNE=100", "C_EXTR.SETPT_RATE.TUNE=5",
    "C_MAP.USE_TRACK.IN=0", "C_EXTR.USE_RMTXTR.IN=0", "C_EXTR.X_ENBL_SPD.TUNE=3420",
    "C_DRIVER.LP_LMTRRTE.TUNE=2", "C_MAP.DEMAND_RTE.IN=1",
};
const QStringList Admission = Extraction + QStringList {
    "C_APPL.TURB_TYPE.IN=4", "C_MAP.SA.IN=5000", "C_MAP.HPA.IN=30000", "C_MAP.SB.IN=500", "C_MAP.HPB.IN=5000",
    "C_MAP.SC.IN=3000", "C_MAP.HPC.IN=40000",
};
const QStringList ExtrAdm = Extraction + QStringList {"C_APPL.TURB_TYPE.IN=5"};
const QStringList Cascade = {
    "C_APPL.CASC_CONF.IN=2", "C_ANIN2.ANIN_CONF.IN=14", "C_CASC.MIN_SP.TUNE=0", "C_CASC.MAX_SP.TUNE=100",
    "C_CASC.SETPT_INIT.TUNE=50", "C_CASC.USE_SP_TRK.IN=0", "C_CASC.CAS_SP_RTE.IN=5", "C_RMT_CAS.USE_RMTCAS.IN=0",
    "C_CASC.MIN_SPD_SP.TUNE=3420", "C_CASC.MAX_SPD_SP.TUNE=3780", "C_CASC.CAS_MX_RTE.IN=20", "C_CASC.USE_KW_IN.IN=0",
};
const QStringList Auxiliary = {
    "C_APPL.AUX_CONF.IN=2", "C_ANIN3.ANIN_CONF.IN=18", "C_AUX.MIN_SP.TUNE=0", "C_AUX.MAX_SP.TUNE=100",
    "C_AUX.SETPT_INIT.TUNE=50", "C_AUX.AUX_SP_RTE.IN=5", "C_AUX.USE_RMTAUX.IN=0", "C_AUX.USE_KW_IN.IN=0",
};
const QStringList Bands = {
    "C_CRIT_SPD.USE_BAND1.IN=1", "C_CRIT_SPD.USE_BAND2.IN=1", "C_CRIT_SPD.BAND1_MIN.TUNE=1800",
    "C_CRIT_SPD.BAND1_MAX.TUNE=2200", "C_CRIT_SPD.BAND2_MIN.TUNE=2600", "C_CRIT_SPD.BAND2_MAX.TUNE=2800",
    "C_CRIT_SPD.CRIT_RATE.TUNE=50",
};
const QStringList AutoSequence = {
    "C_START.TO_RATED.IN=4", "C_AUTOSEQ.LO_IDLE_SP.TUNE=1000", "C_AUTOSEQ.HI_IDLE_SP.TUNE=2400",
    "C_AUTOSEQ.COLD_START.TUNE=10", "C_AUTOSEQ.HOT_START.TUNE=1", "C_AUTOSEQ.LO_DLY_C.TUNE=30",
    "C_AUTOSEQ.LO_DLY_H.TUNE=10", "C_AUTOSEQ.HI_DLY_C.TUNE=30", "C_AUTOSEQ.HI_DLY_H.TUNE=10",
    "C_AUTOSEQ.HI_RATE_C.TUNE=5", "C_AUTOSEQ.HI_RATE_H.TUNE=15", "C_AUTOSEQ.RTD_RATE_C.TUNE=5",
    "C_AUTOSEQ.RTD_RATE_H.TUNE=15", "C_AUTOSEQ.RTD_SETPT.TUNE=3600",
};
const QStringList RemoteSpeed = {"C_RMT_SPD.USE_RMTSPD.IN=1", "C_ANIN4.ANIN_CONF.IN=2", "C_RMT_SPD.RMTMAXRATE.TUNE=50"};

QString Contact(int input) { return QStringLiteral("C_CONT_IN.C_IN_%1.IN").arg(input, 2, 10, QLatin1Char('0')); }
QString Relay(int relay) { return QStringLiteral("C_RELAY%1.").arg(relay, 2, 10, QLatin1Char('0')); }

} // namespace

// Configurations that use the optional parts consistently pass; a setting that
// only an unused part reads is not checked. Each broken rule yields its error
// number and nothing else. Every item the rules read is one the database defines.
class TestConfigurationRules : public QObject {
    Q_OBJECT
private slots:
    void reportsItsNumber_data()
    {
        QTest::addColumn<QStringList>("scenario");
        QTest::addColumn<QStringList>("broken");
        QTest::addColumn<int>("number");

        // Consistent configurations: no error (number 0).
        const auto passes = [](const char* name, const QStringList& settings) {
            QTest::newRow(name) << settings << QStringList() << 0;
        };
        passes("redundant extr/adm inputs",
               Extraction + QStringList {"C_ANIN2.ANIN_CONF.IN=11", "C_ANIN3.ANIN_CONF.IN=12"});
        passes("remote extr/adm setpoint with enable contact",
               Extraction + QStringList {"C_EXTR.USE_RMTXTR.IN=1", "C_ANIN2.ANIN_CONF.IN=13", "C_CONT_IN.C_IN_07.IN=19"});
        passes("extr/adm raise and lower contacts",
               Extraction + QStringList {"C_CONT_IN.C_IN_07.IN=16", "C_CONT_IN.C_IN_08.IN=17"});
        passes("decoupled HP and LP use no steam map",
               Extraction + QStringList {"C_APPL.RL_MODE.IN=4", "C_MAP.SA.IN=9000"});
        passes("cascade on KW input", Cascade + QStringList {"C_CASC.USE_KW_IN.IN=1", "C_ANIN2.ANIN_CONF.IN=7"});
        passes("remote cascade setpoint with enable contact",
               Cascade + QStringList {"C_RMT_CAS.USE_RMTCAS.IN=1", "C_ANIN3.ANIN_CONF.IN=17", "C_CONT_IN.C_IN_07.IN=24"});
        passes("cascade state indication relay",
               Cascade + QStringList {Relay(5) + "RLY_CONF.IN=3", Relay(5) + "STATE_CONF.IN=24"});
        passes("remote speed setpoint, contact, readout, relay",
               RemoteSpeed + QStringList {"C_CONT_IN.C_IN_07.IN=12", "C_READOUT.RO4_CONF.IN=4", Relay(5) + "RLY_CONF.IN=3",
                                          Relay(5) + "STATE_CONF.IN=8"});
        passes("load sharing with sync enable contact, readout, level switch",
               QStringList {"C_ANIN2.ANIN_CONF.IN=4", "C_CONT_IN.C_IN_07.IN=13", "C_READOUT.RO4_CONF.IN=5",
                            Relay(6) + "RLY_CONF.IN=2", Relay(6) + "LVLSW_CONF.IN=4"});
        passes("actuator 2 drives a valve, readout settings unused",
               QStringList {"C_APPL.TURB_TYPE.IN=2", "C_DRIVER.ACT2_RO.IN_1=1", "C_DRIVER.ACT2RO_SEL.IN=7"});
        passes("cascade settings unused", QStringList {"C_CASC.MIN_SP.TUNE=600"});
        passes("auxiliary settings unused", QStringList {"C_AUX.AUX_SP_RTE.IN=0"});
        passes("steam map unused", QStringList {"C_MAP.SA.IN=90000"});
        passes("ramp settings unused by manual raise/lower",
               QStringList {"C_START.TO_RATED.IN=2", "C_IDLE_RTD.RTD_SETPT.TUNE=3900"});
        passes("auto sequence settings unused", QStringList {"C_AUTOSEQ.LO_IDLE_SP.TUNE=0"});
        passes("band 2 settings unused",
               Bands + QStringList {"C_CRIT_SPD.USE_BAND2.IN=0", "C_CRIT_SPD.BAND2_MIN.TUNE=0"});
        passes("unused analog input range", QStringList {"C_ANIN8.ANIN_20MA.TUNE=0"});
        passes("overspeed trip at the test limit", QStringList {"C_SPDSETPT.OSPD_TRIP.TUNE=4000"});

        // Contact inputs.
        QTest::newRow("raise without lower") << Extraction << QStringList {"C_CONT_IN.C_IN_07.IN=16"} << 1;
        for (int input = 5; input <= 24; ++input)
            QTest::addRow("contact input %d function not available", input)
                << Mechanical << QStringList {Contact(input) + "=23"} << input - 3;
        QTest::newRow("cascade raise on contact input 5 without cascade")
            << Mechanical << QStringList {Contact(5) + "=21"} << 2;
        QTest::newRow("generator breaker missing") << QStringList() << QStringList {"C_CONT_IN.C_IN_05.IN=1"} << 76;
        QTest::newRow("tie breaker missing") << QStringList() << QStringList {"C_CONT_IN.C_IN_06.IN=1"} << 77;
        QTest::newRow("remote speed enable contact unused") << QStringList() << QStringList {"C_CONT_IN.C_IN_07.IN=12"} << 78;
        QTest::newRow("sync enable contact without sync input") << QStringList() << QStringList {"C_CONT_IN.C_IN_07.IN=13"} << 79;
        QTest::newRow("same contact function twice")
            << QStringList() << QStringList {"C_CONT_IN.C_IN_07.IN=4", "C_CONT_IN.C_IN_09.IN=4"} << 82;

        // Analog inputs.
        QTest::newRow("sync and load share inputs")
            << QStringList() << QStringList {"C_ANIN1.ANIN_CONF.IN=3", "C_ANIN2.ANIN_CONF.IN=4"} << 22;
        for (int input = 1; input <= 8; ++input)
            QTest::addRow("analog input %d function not available", input)
                << QStringList() << QStringList {QStringLiteral("C_ANIN%1.ANIN_CONF.IN=14").arg(input)} << 22 + input;
        QTest::newRow("analog input range empty")
            << QStringList() << QStringList {"C_ANIN5.ANIN_CONF.IN=23", "C_ANIN5.ANIN_4MA.TUNE=50", "C_ANIN5.ANIN_20MA.TUNE=50"} << 27;
        QTest::newRow("extr/adm input missing") << Extraction << QStringList {"C_ANIN1.ANIN_CONF.IN=1"} << 65;
        QTest::newRow("cascade input missing") << Cascade << QStringList {"C_ANIN2.ANIN_CONF.IN=1"} << 67;
        QTest::newRow("cascade KW input missing") << Cascade << QStringList {"C_CASC.USE_KW_IN.IN=1"} << 67;
        QTest::newRow("auxiliary input missing") << Auxiliary << QStringList {"C_ANIN3.ANIN_CONF.IN=1"} << 69;
        QTest::newRow("redundant input out of order") << Extraction << QStringList {"C_ANIN2.ANIN_CONF.IN=12"} << 80;
        QTest::newRow("KW droop without KW input") << KwDroop << QStringList {"C_ANIN1.ANIN_CONF.IN=1"} << 81;
        QTest::newRow("maximum load zero") << KwDroop << QStringList {"C_GENLOGIC.KWMAX_LOAD.TUNE=0"} << 83;
        QTest::newRow("same analog function twice")
            << QStringList() << QStringList {"C_ANIN1.ANIN_CONF.IN=22", "C_ANIN4.ANIN_CONF.IN=22"} << 84;

        // Remote setpoints.
        QTest::newRow("remote extr/adm without input")
            << Extraction << QStringList {"C_EXTR.USE_RMTXTR.IN=1", "C_EXTR.MAX_RMT_SP.TUNE=10"} << 66;
        QTest::newRow("remote extr/adm input unused") << Extraction << QStringList {"C_ANIN2.ANIN_CONF.IN=13"} << 66;
        QTest::newRow("remote auxiliary without input") << Auxiliary << QStringList {"C_AUX.USE_RMTAUX.IN=1"} << 70;
        QTest::newRow("remote speed without input") << QStringList() << QStringList {"C_RMT_SPD.USE_RMTSPD.IN=1"} << 71;

        // Relays and readouts.
        for (int relay = 3; relay <= 12; ++relay)
            QTest::addRow("relay %d level switch signal not available", relay)
                << QStringList {Relay(relay) + "ON_LVL.TUNE=100", Relay(relay) + "OFF_LVL.TUNE=90"}
                << QStringList {Relay(relay) + "RLY_CONF.IN=2", Relay(relay) + "LVLSW_CONF.IN=7"} << 28 + relay;
        QTest::newRow("relay on level equals off level") << QStringList() << QStringList {Relay(4) + "ON_LVL.TUNE=3450", Relay(4) + "OFF_LVL.TUNE=3450", Relay(4) + "RLY_CONF.IN=2", Relay(4) + "LVLSW_CONF.IN=1"} << 32;
        QTest::newRow("relay indication not available")
            << QStringList() << QStringList {Relay(3) + "RLY_CONF.IN=3", Relay(3) + "STATE_CONF.IN=24"} << 31;
        for (int readout = 1; readout <= 4; ++readout)
            QTest::addRow("readout %d signal not available", readout)
                << QStringList {QStringLiteral("C_READOUT.OUT%1_4MA.TUNE=0").arg(readout), QStringLiteral("C_READOUT.OUT%1_20MA.TUNE=100").arg(readout)}
                << QStringList {QStringLiteral("C_READOUT.RO%1_CONF.IN=11").arg(readout)} << 40 + readout;
        QTest::newRow("readout range empty")
            << QStringList {"C_READOUT.RO1_CONF.IN=2", "C_READOUT.OUT1_4MA.TUNE=0"} << QStringList {"C_READOUT.OUT1_20MA.TUNE=0"} << 41;
        QTest::newRow("actuator 2 readout signal not available")
            << QStringList {"C_DRIVER.ACT2_RO.IN_1=1", "C_DRIVER.ACT2RO_SEL.IN=1"} << QStringList {"C_DRIVER.ACT2RO_SEL.IN=7"} << 45;
        QTest::newRow("actuator 2 readout range empty")
            << QStringList {"C_DRIVER.ACT2_RO.IN_1=1", "C_DRIVER.ACT2RO_SEL.IN=1", "C_DRIVER.ACT2_4MA.TUNE=0"}
            << QStringList {"C_DRIVER.ACT2_20MA.TUNE=0"} << 45;

        // Start settings.
        QTest::newRow("initial V1 position with automatic start")
            << QStringList {"C_START.START_CONF.IN=2"} << QStringList {"C_START.USE_INITV1.IN=1"} << 46;
        QTest::newRow("initial V1 position out of range")
            << QStringList {"C_START.START_CONF.IN=1", "C_START.USE_INITV1.IN=1", "C_START.INIT_V1POS.IN=20"}
            << QStringList {"C_START.INIT_V1POS.IN=150"} << 46;
        QTest::newRow("idle to rated routine invalid") << QStringList() << QStringList {"C_START.TO_RATED.IN=0"} << 53;
        QTest::newRow("critical bands without idle") << Bands << QStringList {"C_START.TO_RATED.IN=1"} << 53;
        QTest::newRow("rate to min zero") << QStringList() << QStringList {"C_START.RT_TO_MIN.IN=0"} << 59;
        QTest::newRow("HP limiter rate zero") << QStringList() << QStringList {"C_START.SLOW_RATE.IN=0"} << 59;
        QTest::newRow("idle/rated rate zero") << QStringList() << QStringList {"C_IDLE_RTD.IDLRTDRATE.TUNE=0"} << 59;

        // Speed settings.
        QTest::newRow("no probe teeth") << QStringList() << QStringList {"C_SPD_CTRL.NUM_TEETH.IN=0"} << 47;
        QTest::newRow("no gear ratio") << QStringList() << QStringList {"C_SPD_CTRL.GEAR_RATIO.IN=0"} << 47;
        QTest::newRow("probe frequency too high") << QStringList() << QStringList {"C_SPD_CTRL.NUM_TEETH.IN=400"} << 47;
        QTest::newRow("generator rated above max governor") << QStringList() << QStringList {"C_GENLOGIC.RATED_SP.TUNE=3900"} << 47;
        QTest::newRow("speed input 3 without 2")
            << QStringList() << QStringList {"C_SPD_CTRL.SPD_2_CONF.IN=1", "C_SPD_CTRL.SPD_3_CONF.IN=2"} << 48;
        QTest::newRow("speed input 4 without 3") << QStringList() << QStringList {"C_SPD_CTRL.SPD_4_CONF.IN=2"} << 48;
        const QStringList noIdle = Mechanical + QStringList {"C_START.TO_RATED.IN=1"};
        QTest::newRow("min governor not below max") << noIdle << QStringList {"C_SPDSETPT.MIN_GOV_SP.TUNE=3780"} << 49;
        QTest::newRow("max governor not below trip") << noIdle << QStringList {"C_SPDSETPT.OSPD_TRIP.TUNE=3780"} << 49;
        QTest::newRow("trip above test limit") << noIdle << QStringList {"C_SPDSETPT.OSPD_TRIP.TUNE=4100"} << 49;
        QTest::newRow("min governor zero") << noIdle << QStringList {"C_SPDSETPT.MIN_GOV_SP.TUNE=0"} << 49;
        QTest::newRow("slow rate zero") << QStringList() << QStringList {"C_SPDSETPT.SLOW_RATE.TUNE=0"} << 75;
        QTest::newRow("remote speed rate zero") << RemoteSpeed << QStringList {"C_RMT_SPD.RMTMAXRATE.TUNE=0"} << 75;

        // Critical speeds and idle.
        QTest::newRow("critical rate not above slow rate") << Bands << QStringList {"C_CRIT_SPD.CRIT_RATE.TUNE=5"} << 50;
        QTest::newRow("band 2 without band 1") << QStringList() << QStringList {"C_CRIT_SPD.USE_BAND2.IN=1"} << 51;
        QTest::newRow("band 1 not above idle") << Bands << QStringList {"C_CRIT_SPD.BAND1_MIN.TUNE=900"} << 52;
        QTest::newRow("band 1 min not below max") << Bands << QStringList {"C_CRIT_SPD.BAND1_MAX.TUNE=1700"} << 54;
        QTest::newRow("band 1 reaches min governor")
            << Bands << QStringList {"C_CRIT_SPD.USE_BAND2.IN=0", "C_CRIT_SPD.BAND1_MAX.TUNE=3500"} << 54;
        QTest::newRow("bands overlap") << Bands << QStringList {"C_CRIT_SPD.BAND2_MIN.TUNE=2100"} << 55;
        QTest::newRow("band 2 min not below max") << Bands << QStringList {"C_CRIT_SPD.BAND2_MIN.TUNE=2800"} << 55;
        QTest::newRow("band 2 reaches min governor") << Bands << QStringList {"C_CRIT_SPD.BAND2_MAX.TUNE=3500"} << 55;
        QTest::newRow("idle not below rated") << QStringList() << QStringList {"C_IDLE_RTD.RTD_SETPT.TUNE=900"} << 56;
        QTest::newRow("idle not below min governor")
            << QStringList {"C_START.TO_RATED.IN=2"} << QStringList {"C_IDLE_RTD.IDLE_SETPT.TUNE=3420"} << 57;
        QTest::newRow("rated above max governor") << QStringList() << QStringList {"C_IDLE_RTD.RTD_SETPT.TUNE=3800"} << 58;

        // Auto start sequence.
        QTest::newRow("hot start above cold start") << AutoSequence << QStringList {"C_AUTOSEQ.HOT_START.TUNE=12"} << 60;
        QTest::newRow("low idle hot delay longer") << AutoSequence << QStringList {"C_AUTOSEQ.LO_DLY_H.TUNE=40"} << 60;
        QTest::newRow("high idle hot delay longer") << AutoSequence << QStringList {"C_AUTOSEQ.HI_DLY_H.TUNE=40"} << 60;
        QTest::newRow("idle hot rate below cold") << AutoSequence << QStringList {"C_AUTOSEQ.HI_RATE_H.TUNE=4"} << 60;
        QTest::newRow("rated rate zero") << AutoSequence << QStringList {"C_AUTOSEQ.RTD_RATE_C.TUNE=0"} << 60;
        QTest::newRow("sequence rated above max governor") << AutoSequence << QStringList {"C_AUTOSEQ.RTD_SETPT.TUNE=3900"} << 60;
        QTest::newRow("high idle not above low idle") << AutoSequence << QStringList {"C_AUTOSEQ.HI_IDLE_SP.TUNE=900"} << 61;
        QTest::newRow("high idle inside band") << AutoSequence + Bands << QStringList {"C_AUTOSEQ.HI_IDLE_SP.TUNE=2000"} << 61;
        QTest::newRow("low idle zero") << AutoSequence << QStringList {"C_AUTOSEQ.LO_IDLE_SP.TUNE=0"} << 62;
        QTest::newRow("high idle not below min governor") << AutoSequence << QStringList {"C_AUTOSEQ.HI_IDLE_SP.TUNE=3420"} << 63;

        // Extraction/admission and its steam map.
        QTest::newRow("map power above maximum") << Extraction << QStringList {"C_MAP.SA.IN=6000"} << 64;
        QTest::newRow("map point B below C") << Extraction << QStringList {"C_MAP.HPB.IN=7000"} << 64;
        QTest::newRow("map maximum flow zero") << Extraction << QStringList {"C_MAP.MAX_FLOW.IN=0"} << 64;
        QTest::newRow("admission map B not below C") << Admission << QStringList {"C_MAP.SB.IN=3500"} << 64;
        QTest::newRow("admission flow zero") << ExtrAdm << QStringList {"C_MAP.PA.IN=0"} << 64;
        QTest::newRow("extr/adm min not below max") << Extraction << QStringList {"C_EXTR.MIN_SP.TUNE=300"} << 72;
        QTest::newRow("extr/adm init outside range") << Extraction << QStringList {"C_EXTR.SETPT_INIT.TUNE=300"} << 72;
        QTest::newRow("extr/adm rate zero") << Extraction << QStringList {"C_EXTR.SETPT_RATE.TUNE=0"} << 72;
        QTest::newRow("extr/adm permissive above max governor") << Extraction << QStringList {"C_EXTR.X_ENBL_SPD.TUNE=3900"} << 72;
        QTest::newRow("LP limiter rate zero") << Extraction << QStringList {"C_DRIVER.LP_LMTRRTE.TUNE=0"} << 72;
        QTest::newRow("admission demand rate zero") << Admission << QStringList {"C_MAP.DEMAND_RTE.IN=0"} << 72;
        QTest::newRow("ratio/limiter mode invalid") << Extraction << QStringList {"C_APPL.RL_MODE.IN=0"} << 72;

        // Cascade and auxiliary.
        QTest::newRow("cascade min not below max") << Cascade << QStringList {"C_CASC.MIN_SP.TUNE=100"} << 73;
        QTest::newRow("cascade init outside range") << Cascade << QStringList {"C_CASC.SETPT_INIT.TUNE=600"} << 73;
        QTest::newRow("cascade rate zero") << Cascade << QStringList {"C_CASC.CAS_SP_RTE.IN=0"} << 73;
        QTest::newRow("cascade speed limit below min governor") << Cascade << QStringList {"C_CASC.MIN_SPD_SP.TUNE=3000"} << 73;
        QTest::newRow("cascade speed rate zero") << Cascade << QStringList {"C_CASC.CAS_MX_RTE.IN=0"} << 73;
        QTest::newRow("auxiliary rate zero") << Auxiliary << QStringList {"C_AUX.AUX_SP_RTE.IN=0"} << 74;
        QTest::newRow("auxiliary min not below max") << Auxiliary << QStringList {"C_AUX.MIN_SP.TUNE=600"} << 74;
        QTest::newRow("auxiliary limiter init outside range")
            << Auxiliary + QStringList {"C_APPL.AUX_CONF.IN=3"} << QStringList {"C_AUX.SETPT_INIT.TUNE=600"} << 74;
    }

    void reportsItsNumber()
    {
        QFETCH(QStringList, scenario);
        QFETCH(QStringList, broken);
        QFETCH(int, number);
        TFakeControlValues values;
        const auto unknown = [&] { return QStringList(values.unknown.values()).join(u' '); };
        QVERIFY2(values.Set(Base + scenario), qPrintable(unknown()));
        QList<TConfigError> errors = CheckConfiguration(values);
        QVERIFY2(errors.isEmpty(), qPrintable("before: " + Describe(errors)));
        if (number != 0) {
            QVERIFY2(values.Set(broken), qPrintable(unknown()));
            errors = CheckConfiguration(values);
            QSet<int> numbers;
            for (const TConfigError& error : errors) {
                numbers.insert(error.number);
                QVERIFY2(!error.message.trimmed().isEmpty(), "empty message");
            }
            QVERIFY2(numbers == QSet<int> {number}, qPrintable(Describe(errors)));
        }
        QVERIFY2(values.unknown.isEmpty(), qPrintable(unknown()));
    }
};

// The check as the program sees it through the result items: it writes the
// start item, the control learns of it, the verdict follows after a delay.
class TestCheckItems : public QObject {
    Q_OBJECT

    const QString start = QStringLiteral("KXSPL.TST_CONFIG.IN");
    const QString foundErrors = QStringLiteral("CONF_CHK_1.C_ERR_SW.B_SW");
    const QString passed = QStringLiteral("CONF_CHK_1.N_ERR_DLY.DELAY");
    const QString count = QStringLiteral("CONF_CHK_1.ERRORS.NUM_EVENTS");
    static QString Message(int event) { return QStringLiteral("CONF_CHK_1.ERRORS.MSG_O_%1").arg(event); }
    static QString Number(int event) { return QStringLiteral("CONF_CHK_1.ERRORS.EV_N_%1").arg(event); }

    TFakeControlValues values;
    std::unique_ptr<TConfigurationCheck> check;

    void Request(bool on, const QString& item = {})
    {
        values.map.insert(start, on ? "-1" : "0");
        check->Written(item.isEmpty() ? start : item);
    }

private slots:
    void init()
    {
        values = TFakeControlValues();
        QVERIFY(values.Set(Base));
        check = std::make_unique<TConfigurationCheck>(values);
        check->Start();
    }

    void failingCheckReportsEachEventBeforeTheVerdict()
    {
        QVERIFY(values.Set({"C_SPD_CTRL.SPD_4_CONF.IN=2", Contact(7) + "=23"}));
        Request(true);
        values.writes.clear();
        check->Step(ConfigurationCheckDelay);

        QVERIFY(values.Flag(foundErrors) && !values.Flag(passed));
        QCOMPARE(values.Number(count), 2.0);
        // In number order, each naming its input.
        QCOMPARE(int(values.Number(Number(1))), 4);
        QVERIFY2(values.Text(Message(1)).contains("#7"), qPrintable(values.Text(Message(1))));
        QCOMPARE(int(values.Number(Number(2))), 48);
        for (int event = 1; event <= 2; ++event)
            QVERIFY(!values.Text(Message(event)).isEmpty()
                    && values.writes.lastIndexOf(Message(event)) < values.writes.lastIndexOf(foundErrors));
        QVERIFY(values.writes.lastIndexOf(count) < values.writes.lastIndexOf(foundErrors));
        QCOMPARE(values.Text(Message(3)), QString());

        // Ended, the check keeps its events for the report; a rerun after a fix clears them.
        Request(false);
        QVERIFY(!values.Flag(foundErrors));
        QCOMPARE(values.Number(count), 2.0);
        values.map.insert(Contact(7), "1");
        Request(true);
        QCOMPARE(values.Number(count), 0.0); // a running check holds no events
        check->Step(ConfigurationCheckDelay);
        QCOMPARE(values.Number(count), 1.0);
        QCOMPARE(int(values.Number(Number(1))), 48);
        QVERIFY(values.Text(Message(2)).isEmpty() && values.Number(Number(2)) == 0.0);
    }

    // Steps: "start" and "end" are the program's writes, "wait" lets the delay pass,
    // "half" half of it, "restart" restarts the control; "check ..." are test switches.
    void howACheckEnds_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("running"); // the start item
        QTest::addColumn<bool>("errors");
        QTest::addColumn<bool>("pass");
        QTest::addColumn<int>("events");

        QTest::newRow("passed, left to the program") << QStringList {"start", "half", "half"} << true << false << true << 0;
        QTest::newRow("not yet published") << QStringList {"start", "half"} << true << false << false << 0;
        QTest::newRow("ended by the program") << QStringList {"start", "half", "end", "wait"} << false << false << false << 0;
        QTest::newRow("control restarted") << QStringList {"start", "half", "restart", "wait"} << false << false << false << 0;
        QTest::newRow("held") << QStringList {"check hold", "start", "wait", "wait"} << true << false << false << 0;
        QTest::newRow("released") << QStringList {"check hold", "start", "wait", "check release", "half"} << true << false << true << 0;
        QTest::newRow("running one aborted") << QStringList {"start", "half", "check abort", "wait"} << false << false << false << 0;
        QTest::newRow("held one aborted") << QStringList {"check hold", "start", "wait", "check abort"} << false << false << false << 0;
        QTest::newRow("next one aborted") << QStringList {"check abort", "start", "half", "half"} << false << false << false << 0;
        QTest::newRow("abort used up") << QStringList {"check abort", "start", "wait", "start", "wait"} << true << false << true << 0;
        QTest::newRow("forced errors") << QStringList {"check errors 3", "start", "wait"} << true << true << false << 3;
        QTest::newRow("forced errors used up")
            << QStringList {"check errors 3", "start", "wait", "end", "start", "wait"} << true << false << true << 0;
        QTest::newRow("forced beyond the slots") << QStringList {"check errors 300", "start", "wait"} << true << true << false << 256;
        QTest::newRow("forced without events") << QStringList {"check errors 0", "start", "wait"} << true << true << false << 0;
        QTest::newRow("restart forgets the switches")
            << QStringList {"check hold", "check abort", "check errors 5", "restart", "start", "wait"} << true << false << true << 0;
    }
    void howACheckEnds()
    {
        QFETCH(QStringList, steps);
        for (const QString& step : steps) {
            QString error;
            if (step == "start" || step == "end")
                Request(step == "start");
            else if (step == "wait" || step == "half")
                check->Step(step == "wait" ? ConfigurationCheckDelay : ConfigurationCheckDelay / 2);
            else if (step == "restart")
                check->Start();
            else
                QVERIFY2(check->Simulate(step.mid(6), &error), qPrintable(error));
        }
        QTEST(values.Flag(start), "running");
        QTEST(values.Flag(foundErrors), "errors");
        QTEST(values.Flag(passed), "pass");
        QTEST(int(values.Number(count)), "events");
        // Made-up events cycle through the error numbers the program knows.
        for (int event = 1; event <= int(values.Number(count)); ++event) {
            QCOMPARE(values.Text(Message(event)), QStringLiteral("Forced error %1").arg(event));
            QCOMPARE(int(values.Number(Number(event))), (event - 1) % 84 + 1);
        }
    }
};

TURVISTA_TEST_GUILESS_MAIN(TestConfigurationRules, TestCheckItems)

#include "tst_configurationcheck.moc"
