// The simulated control as the DDE front sees it: which writes it refuses, its
// commands, modes and store, and the limits it publishes for its tunables.
#include "server/ServerTiming.h"
#include "server/SimulatedControl.h"
#include "tests/server/FakeControlValues.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

using TPokeResult = TSimulatedControl::TPokeResult;

const char* const Database =
    "M.MON.A          | monitor   | real    | 0 | 100 | 5    |\n"
    "T.REAL.TUNE      | tunable   | real    | 0 | 100 | 10   |\n"
    "T.FLAG.IN        | tunable   | boolean | 0 | 1   | 0    |\n"
    "C.TYPE.IN        | configure | enum    | 1 | 5   | 1    |\n"
    "T.NAME.IN        | tunable   | string  |   |     | Site |\n"
    "C_X.HOLD_RATE.CTRL | tunable | boolean | 0 | 1   | 0    | hold box of T.REAL.TUNE\n";

QTemporaryDir folder;
int stores = 0;

QString Write(const QString& name, const QByteArray& text)
{
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    file.write(text);
    return file.fileName();
}

// A control with the small database above, or with the bundled ones, and a store of its own.
TControlDefinition Definition(bool bundled = false, const QString& configuration = {})
{
    TControlDefinition definition;
    definition.id = QStringLiteral("Test");
    definition.databases = bundled ? TFakeControlValues::BundledDatabases()
                                   : QStringList{Write(QStringLiteral("test.items"), Database)};
    definition.store = folder.filePath(QStringLiteral("store-%1").arg(++stores));
    definition.configuration = configuration;
    return definition;
}

std::unique_ptr<TSimulatedControl> Create(const TControlDefinition& definition = Definition())
{
    QString error;
    auto control = TSimulatedControl::Create(definition, &error);
    if (!control)
        qWarning("%s", qPrintable(error));
    return control;
}

QString Text(const TSimulatedControl& control, const QString& name)
{
    return control.Request(name).value_or(QStringLiteral("<none>"));
}

// Runs a command to its result.
QString Command(TSimulatedControl& control, const QString& command)
{
    const QString result = command + QStringLiteral(".Result");
    if (!control.Execute(command))
        return QStringLiteral("<refused>");
    for (int tick = 0; tick < ServerTiming::CommandResultTicks; ++tick)
        control.Tick();
    // Value, not Request: a reset control stops answering right after its result.
    return control.Value(result).value_or(QStringLiteral("<none>"));
}

// Runs "set ...", "sio ..." and "alarm ..." as test commands and writes "NAME=VALUE" as the program does.
bool Step(TSimulatedControl& control, const QString& step, QString* error)
{
    for (const char* verb : {"set ", "sio ", "alarm ", "clear"})
        if (step.startsWith(QLatin1String(verb)))
            return control.Simulate(step, error);
    *error = step;
    return control.Poke(step.section(u'=', 0, 0), step.section(u'=', 1)) == TSimulatedControl::TPokeResult::Accepted;
}

// Writes "NAME=VALUE" settings as the program does; false at the first refused one.
bool Poke(TSimulatedControl& control, const QStringList& settings)
{
    for (const QString& setting : settings)
        if (control.Poke(setting.section(u'=', 0, 0), setting.section(u'=', 1)) != TPokeResult::Accepted)
            return false;
    return true;
}

} // namespace

Q_DECLARE_METATYPE(TSimulatedControl::TPokeResult)

class TestSimulatedControl : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(folder.isValid()); }

    void pokes_data()
    {
        QTest::addColumn<bool>("configureMode");
        QTest::addColumn<bool>("rangeChecking");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("value");
        QTest::addColumn<TPokeResult>("result");
        QTest::addColumn<QString>("after");

        QTest::newRow("tunable") << false << true << "t.real.tune" << "55.5" << TPokeResult::Accepted << "55.5";
        QTest::newRow("boolean true from the program") << false << true << "T.FLAG.IN" << "-1" << TPokeResult::Accepted << "1";
        QTest::newRow("monitor") << false << true << "M.MON.A" << "6" << TPokeResult::ReadOnly << "5";
        QTest::newRow("configure item while running") << false << true << "C.TYPE.IN" << "3" << TPokeResult::NotInConfigureMode << "1";
        QTest::newRow("configure item in configure mode") << true << true << "C.TYPE.IN" << "3" << TPokeResult::Accepted << "3";
        QTest::newRow("above the maximum") << false << true << "T.REAL.TUNE" << "100.1" << TPokeResult::OutOfLimits << "10";
        QTest::newRow("beyond limits without range checking") << false << false << "T.REAL.TUNE" << "150" << TPokeResult::Accepted << "150";
        QTest::newRow("fraction to an enum without range checking") << true << false << "C.TYPE.IN" << "2.5" << TPokeResult::BadValue << "1";
        QTest::newRow("unknown item") << false << true << "T.NONE.IN" << "1" << TPokeResult::UnknownItem << "<none>";
        QTest::newRow("result item") << false << true << "Reset.Result" << "0" << TPokeResult::ReadOnly << "";
    }

    void pokes()
    {
        QFETCH(bool, configureMode);
        QFETCH(bool, rangeChecking);
        QFETCH(QString, item);
        QFETCH(QString, value);
        QFETCH(TPokeResult, result);

        auto control = Create();
        QVERIFY(control);
        if (configureMode)
            QCOMPARE(Command(*control, "Shutdown"), QStringLiteral("0"));
        if (!rangeChecking)
            QVERIFY(Poke(*control, {"Enable RG Blocks=0"}));

        QStringList reported;
        control->valueChanged = [&](const QString& name) { reported.append(name); };
        QCOMPARE(control->Poke(item, value), result);
        QTEST(Text(*control, item), "after");
        // An accepted write is advised back; a refused one is not.
        QCOMPARE(reported.contains(item.toUpper()), result == TPokeResult::Accepted);
    }

    void shutdownResults_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("result");
        QTest::newRow("turbine tripped and standing") << QStringList() << "0";
        // Buttons pressed as the program presses them: 1, then 0.
        QTest::newRow("turbine running")
            << QStringList{"X_RESET.RQV.IN_1=1", "X_RESET.RQV.IN_1=0", "I_START.RQV_EN.TRIGGER=1", "I_START.RQV_EN.TRIGGER=0"} << "2";
        QTest::newRow("configure mode not enabled") << QStringList{"set Z_CPU_COM.EN_CONFIG.OR=0"} << "3";
    }
    void shutdownResults()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, result);
        auto control = Create(Definition(true));
        QVERIFY(control);
        QString error;
        for (const QString& step : before)
            QVERIFY2(Step(*control, step, &error), qPrintable(error));
        control->Tick();
        QCOMPARE(Command(*control, "Shutdown"), result);
        QCOMPARE(Text(*control, "Run Mode"), result == "0" ? QStringLiteral("1") : QStringLiteral("0"));
    }

    void resetComesBackWithTheSavedValues()
    {
        auto control = Create();
        QVERIFY(control);
        QVERIFY(Poke(*control, {"T.REAL.TUNE=20", "Configuration ID=Saved", "C_X.HOLD_RATE.CTRL=-1", "T.FLAG.IN=1"}));
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("0"));
        // Saving clears the hold boxes that mark changed tunables; other booleans stay.
        QCOMPARE(Text(*control, "C_X.HOLD_RATE.CTRL"), QStringLiteral("0"));
        QCOMPARE(Text(*control, "T.FLAG.IN"), QStringLiteral("1"));
        QVERIFY(Poke(*control, {"T.REAL.TUNE=30", "Enable RG Blocks=0"}));
        QCOMPARE(Command(*control, "Reset"), QStringLiteral("1")); // not in configure mode
        QCOMPARE(Command(*control, "Shutdown"), QStringLiteral("0"));
        QVERIFY(Poke(*control, {"C.TYPE.IN=4"}));

        bool everything = false;
        control->valueChanged = [&](const QString& name) { everything = everything || name.isEmpty(); };
        QCOMPARE(Command(*control, "Reset"), QStringLiteral("0"));
        // While resetting the control answers nothing but that it is not ready.
        QCOMPARE(control->Request(QStringLiteral("Control Status")), QStringLiteral("0"));
        QCOMPARE(control->Request(QStringLiteral("T.REAL.TUNE")), std::nullopt);
        QCOMPARE(control->Poke(QStringLiteral("T.REAL.TUNE"), QStringLiteral("1")), TPokeResult::NotAnswering);

        for (int tick = 0; tick < ServerTiming::ResetTicks; ++tick)
            control->Tick();
        QVERIFY(everything);
        QCOMPARE(Text(*control, "Control Status"), QStringLiteral("1"));
        QCOMPARE(Text(*control, "T.REAL.TUNE"), QStringLiteral("20"));
        QCOMPARE(Text(*control, "C.TYPE.IN"), QStringLiteral("1"));
        QCOMPARE(Text(*control, "Configuration ID"), QStringLiteral("Saved"));
        QCOMPARE(Text(*control, "Enable RG Blocks"), QStringLiteral("1"));
    }

    void storesThatCannotBeUsed()
    {
        TControlDefinition definition = Definition();
        definition.store.clear();
        QCOMPARE(Command(*Create(definition), "SaveValues"), QStringLiteral("255"));

        // A damaged store is left aside with a warning.
        definition = Definition();
        Write(QFileInfo(definition.store).fileName(), "TURVISTA-STORE 1\nID\tx\nV\tT.REAL.TUNE\t50\n");
        QString error;
        QString warning;
        const auto control = TSimulatedControl::Create(definition, &error, &warning);
        QVERIFY2(control, qPrintable(error));
        QVERIFY2(warning.contains(definition.store), qPrintable(warning));
        QCOMPARE(Text(*control, "T.REAL.TUNE"), QStringLiteral("10"));
    }

    void startingConfigurationGivesTheFirstValues()
    {
        const TControlDefinition definition =
            Definition(false, Write(QStringLiteral("plant.cfg"), "T.REAL.TUNE\t42\r\n\r\nC.TYPE.IN\t3\r\n"));
        auto control = Create(definition);
        QVERIFY(control);
        QCOMPARE(Text(*control, "T.REAL.TUNE"), QStringLiteral("42"));
        QCOMPARE(Text(*control, "C.TYPE.IN"), QStringLiteral("3"));
        QCOMPARE(Text(*control, "Configuration ID"), QStringLiteral("plant"));

        // Saved values take precedence once there are any.
        QVERIFY(Poke(*control, {"T.REAL.TUNE=43"}));
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("0"));
        QCOMPARE(Text(*Create(definition), "T.REAL.TUNE"), QStringLiteral("43"));
    }

    // What the control computes from its settings: the limits it publishes for each
    // tunable "<prefix>.TUNE" (its own limits, narrowed by the values it must stay on the
    // right side of), units texts, mirrors and status texts. Seen and advised as soon as
    // the setting is written in configure mode; "set ..." and "sio ..." change the simulated
    // hardware. Relay outputs follow the turbine's state, or while forcing is enabled their boxes.
    void derivedValuesFollowTheirSettings_data()
    {
        QTest::addColumn<QString>("changed");
        QTest::addColumn<QString>("derived");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");

        QTest::newRow("hot delay not above the cold one")
            << "C_AUTOSEQ.LO_DLY_C.TUNE=20" << "C_AUTOSEQ.LO_DLY_H.HI_LIM_OUT" << "30" << "20";
        QTest::newRow("rated not below idle")
            << "C_IDLE_RTD.IDLE_SETPT.TUNE=1200" << "C_IDLE_RTD.RTD_SETPT.LO_LIM_OUT" << "1000" << "1200";
        QTest::newRow("second band above the first")
            << "C_CRIT_SPD.BAND1_MAX.TUNE=2300" << "C_CRIT_SPD.BAND2_MIN.LO_LIM_OUT" << "2200" << "2300";
        QTest::newRow("values out of order leave the own limits")
            << "C_CRIT_SPD.BAND1_MAX.TUNE=3500" << "C_CRIT_SPD.BAND2_MIN.LO_LIM_OUT" << "2200" << "0";
        QTest::newRow("extraction rate units")
            << "C_EXTR.EXTR_UNITS.IN=3" << "J_MESSAGE.EXTR_RATE.I_TO_STR" << "psi/s" << "bar/s";
        QTest::newRow("auxiliary units from the longer list")
            << "C_AUX.AUX_UNITS.IN=3" << "J_MESSAGE.AUX_UNITS.I_TO_STR" << "psi" << "MW";
        QTest::newRow("cascade rate units")
            << "C_CASC.CAS_UNITS.IN=13" << "J_MESSAGE.CASC_RATE.I_TO_STR" << "psi/s" << "degC/s";
        QTest::newRow("load units") << "C_GENLOGIC.LOAD_UNITS.IN=2" << "J_MESSAGE.LOAD_UNIT.B_TO_STR" << "KW" << "MW";
        QTest::newRow("relay function mirror") << "C_RELAY05.RLY_CONF.IN=3" << "C_RELAY05.RLY_CONF.I_NAME" << "1" << "3";
        QTest::newRow("relay no longer used")
            << "C_RELAY03.RLY_CONF.IN=1" << "A_RELAY03.STATUS.B_TO_STR" << "OK" << "Not Used";
        QTest::newRow("relay indicates underspeed")
            << "C_RELAY03.STATE_CONF.IN=10" << "Z_MOD_VALS.ANYUSPDRLY.OR" << "0" << "1";
        QTest::newRow("KW input configured") << "C_ANIN2.ANIN_CONF.IN=8" << "KXSPL.KW_AI2.B_NAME" << "0" << "1";
        QTest::newRow("third speed input") << "C_SPD_CTRL.SPD_3_CONF.IN=2" << "A_SPEED.NUM_GOOD.I_SW" << "2" << "3";
        QTest::newRow("no critical bands without an idle") << "C_START.TO_RATED.IN=1" << "C_CRIT_SPD.SP_OK.OR" << "1" << "0";
        QTest::newRow("no decoupling on a single valve")
            << "C_APPL.RL_MODE.IN=4" << "C_APPL.DCPL_HP.B_NAME" << "0" << "0";
        QTest::newRow("CPU-B port") << "C_COMM.PORTB_CONF.IN=3" << "C_COMM.PORT_B_MSG.I_TO_STR" << "Not Used" << "Printer";
        QTest::newRow("SIO-A channel 4")
            << "C_COMM.SIOA_PORT4.IN=3" << "C_COMM.SIO_A4_MSG.B_TO_STR" << "Not Used" << "RQV Software";
        QTest::newRow("SIO-B channel 3 mirror") << "C_COMM.SIOB_PORT3.IN=2" << "C_COMM.SIOB_PORT3.I_NAME" << "1" << "2";
        QTest::newRow("SIO-B module removed")
            << "sio b absent" << "C_COMM.SIO_B4_MSG.B_TO_STR" << "Not Used" << "Not Installed";
        QTest::newRow("relay forcing on a shut down turbine")
            << "J_RELAYS.RLY_TEST.IN=1" << "J_RELAYS.ENBL_FORCE.AND" << "0" << "1";
        QTest::newRow("no relay forcing once the trip is reset")
            << "X_RESET.RQV.IN_1=1; X_RESET.RQV.IN_1=0; J_RELAYS.RLY_TEST.IN=1" << "J_RELAYS.ENBL_FORCE.AND" << "0" << "0";
        QTest::newRow("forced relay") << "J_RELAYS.RLY_TEST.IN=1; J_RELAYS.OUT5.NO=1" << "J_RELAYS.OUT5.B_SW" << "0" << "1";
        QTest::newRow("force box without forcing") << "J_RELAYS.OUT5.NO=1" << "J_RELAYS.OUT5.B_SW" << "0" << "0";
        QTest::newRow("relay test button while forcing")
            << "J_RELAYS.RLY_TEST.IN=1; A_TEST_RLY.TEST_RLYS.IN_7=1" << "J_RELAYS.OUT7.B_SW" << "0" << "1";
        QTest::newRow("forcing replaces the shutdown indication")
            << "J_RELAYS.RLY_TEST.IN=1" << "J_RELAYS.OUT3.B_SW" << "1" << "0";
        QTest::newRow("trip relay energizes for a trip") << "C_START.TRIP_ENERG.IN=1" << "J_RELAYS.OUT1.B_SW" << "0" << "1";
        QTest::newRow("alarm relay without alarms") << "clear" << "J_RELAYS.OUT2.B_SW" << "1" << "0";
    }
    void derivedValuesFollowTheirSettings()
    {
        QFETCH(QString, changed);
        QFETCH(QString, derived);
        QFETCH(QString, before);
        QFETCH(QString, after);
        auto control = Create(Definition(true));
        QVERIFY(control);
        QCOMPARE(Command(*control, "Shutdown"), QStringLiteral("0"));
        QCOMPARE(Text(*control, derived), before);
        QStringList advised;
        control->valueChanged = [&](const QString& name) { advised.append(name); };
        QString error;
        for (const QString& step : changed.split(QStringLiteral("; ")))
            QVERIFY2(Step(*control, step, &error), qPrintable(error));
        QCOMPARE(Text(*control, derived), after);
        QCOMPARE(advised.contains(derived), before != after);
    }

    // SIO modules are hardware: the network file fits them, a test takes one away, and a reset changes neither.
    void sioModulesOutliveAReset()
    {
        TControlDefinition definition = Definition(true);
        definition.sioB = false;
        auto control = Create(definition);
        QVERIFY(control);
        QString error;
        QVERIFY(!control->Simulate(QStringLiteral("sio C absent"), &error));
        QVERIFY2(control->Simulate(QStringLiteral("sio A absent"), &error), qPrintable(error));
        QCOMPARE(Command(*control, "Shutdown"), QStringLiteral("0"));
        QCOMPARE(Command(*control, "Reset"), QStringLiteral("0"));
        for (int tick = 0; tick < ServerTiming::ResetTicks; ++tick)
            control->Tick();
        QCOMPARE(Text(*control, "Z_SIO_COM.SIO_A_OK.NOT"), QStringLiteral("0"));
        QCOMPARE(Text(*control, "Z_SIO_COM.SIO_B_OK.NOT"), QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(TestSimulatedControl)
#include "tst_simulatedcontrol.moc"
