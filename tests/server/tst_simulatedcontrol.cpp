// The simulated control as the DDE front sees it: which writes it refuses, its
// commands, modes and store, the limits it publishes for its tunables, and what
// the test hook "Simulate" refuses.
#include "server/ServerTiming.h"
#include "server/SimulatedControl.h"
#include "tests/server/FakeControlValues.h"

#include <QDir>
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
    if (control.Request(result) != QString())
        return QStringLiteral("<result not cleared>");
    for (int tick = 0; tick < ServerTiming::CommandResultTicks; ++tick)
        control.Tick();
    // Value, not Request: a reset control stops answering right after its result.
    return control.Value(result).value_or(QStringLiteral("<none>"));
}

// The one-shot button as the program presses it: 1, then 0.
void Pulse(TSimulatedControl& control, const QString& item)
{
    control.Poke(item, QStringLiteral("1"));
    control.Poke(item, QStringLiteral("0"));
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
        QTest::newRow("tunable decimal comma") << false << true << "T.REAL.TUNE" << "7,5" << TPokeResult::Accepted << "7.5";
        QTest::newRow("on the minimum") << false << true << "T.REAL.TUNE" << "0" << TPokeResult::Accepted << "0";
        QTest::newRow("boolean true from the program") << false << true << "T.FLAG.IN" << "-1" << TPokeResult::Accepted << "1";
        QTest::newRow("string") << false << true << "T.NAME.IN" << "Plant 7" << TPokeResult::Accepted << "Plant 7";
        QTest::newRow("monitor") << false << true << "M.MON.A" << "6" << TPokeResult::ReadOnly << "5";
        QTest::newRow("configure item while running") << false << true << "C.TYPE.IN" << "3" << TPokeResult::NotInConfigureMode << "1";
        QTest::newRow("configure item in configure mode") << true << true << "C.TYPE.IN" << "3" << TPokeResult::Accepted << "3";
        QTest::newRow("not a number") << false << true << "T.REAL.TUNE" << "fast" << TPokeResult::BadValue << "10";
        QTest::newRow("no number at all") << false << false << "T.REAL.TUNE" << "" << TPokeResult::BadValue << "10";
        QTest::newRow("above the maximum") << false << true << "T.REAL.TUNE" << "100.1" << TPokeResult::OutOfLimits << "10";
        QTest::newRow("enum beyond its list") << true << true << "C.TYPE.IN" << "6" << TPokeResult::OutOfLimits << "1";
        QTest::newRow("beyond limits without range checking") << false << false << "T.REAL.TUNE" << "150" << TPokeResult::Accepted << "150";
        QTest::newRow("fraction to an enum without range checking") << true << false << "C.TYPE.IN" << "2.5" << TPokeResult::BadValue << "1";
        QTest::newRow("unknown item") << false << true << "T.NONE.IN" << "1" << TPokeResult::UnknownItem << "<none>";
        QTest::newRow("status word") << false << true << "Run Mode" << "1" << TPokeResult::ReadOnly << "0";
        QTest::newRow("result item") << false << true << "Reset.Result" << "0" << TPokeResult::ReadOnly << "";
        QTest::newRow("configuration name") << false << true << "Configuration ID" << "Unit3" << TPokeResult::Accepted << "Unit3";
    }

    void pokes()
    {
        QFETCH(bool, configureMode);
        QFETCH(bool, rangeChecking);
        QFETCH(QString, item);
        QFETCH(QString, value);
        QFETCH(TPokeResult, result);
        QFETCH(QString, after);

        auto control = Create();
        QVERIFY(control);
        if (configureMode)
            QCOMPARE(Command(*control, "Shutdown"), QStringLiteral("0"));
        if (!rangeChecking)
            QCOMPARE(control->Poke(QStringLiteral("Enable RG Blocks"), QStringLiteral("0")), TPokeResult::Accepted);

        QStringList reported;
        control->valueChanged = [&](const QString& name) { reported.append(name); };
        QCOMPARE(control->Poke(item, value), result);
        QCOMPARE(Text(*control, item), after);
        // An accepted write is advised back; a refused one is not.
        QCOMPARE(reported.contains(item.toUpper()), result == TPokeResult::Accepted);
    }

    void shutdownResults_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("result");
        QTest::newRow("turbine tripped and standing") << QStringList() << "0";
        QTest::newRow("turbine running") << QStringList{"X_RESET.RQV.IN_1", "I_START.RQV_EN.TRIGGER"} << "2";
        QTest::newRow("configure mode not enabled") << QStringList{"set Z_CPU_COM.EN_CONFIG.OR=0"} << "3";
    }
    void shutdownResults()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, result);
        auto control = Create(Definition(true));
        QVERIFY(control);
        QString error;
        for (const QString& step : before) {
            if (step.startsWith("set "))
                QVERIFY2(control->Simulate(step, &error), qPrintable(error));
            else
                Pulse(*control, step);
        }
        control->Tick();
        QCOMPARE(Command(*control, "Shutdown"), result);
        QCOMPARE(Text(*control, "Run Mode"), result == "0" ? QStringLiteral("1") : QStringLiteral("0"));
    }

    void resetComesBackWithTheSavedValues()
    {
        auto control = Create();
        QVERIFY(control);
        QCOMPARE(control->Poke(QStringLiteral("T.REAL.TUNE"), QStringLiteral("20")), TPokeResult::Accepted);
        QCOMPARE(control->Poke(QStringLiteral("Configuration ID"), QStringLiteral("Saved")), TPokeResult::Accepted);
        QCOMPARE(control->Poke(QStringLiteral("C_X.HOLD_RATE.CTRL"), QStringLiteral("-1")), TPokeResult::Accepted);
        QCOMPARE(control->Poke(QStringLiteral("T.FLAG.IN"), QStringLiteral("1")), TPokeResult::Accepted);
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("0"));
        // Saving clears the hold boxes that mark changed tunables; other booleans stay.
        QCOMPARE(Text(*control, "C_X.HOLD_RATE.CTRL"), QStringLiteral("0"));
        QCOMPARE(Text(*control, "T.FLAG.IN"), QStringLiteral("1"));
        QCOMPARE(control->Poke(QStringLiteral("T.REAL.TUNE"), QStringLiteral("30")), TPokeResult::Accepted);
        QCOMPARE(control->Poke(QStringLiteral("Enable RG Blocks"), QStringLiteral("0")), TPokeResult::Accepted);
        QCOMPARE(Command(*control, "Shutdown"), QStringLiteral("0"));
        QCOMPARE(control->Poke(QStringLiteral("C.TYPE.IN"), QStringLiteral("4")), TPokeResult::Accepted);

        bool everything = false;
        control->valueChanged = [&](const QString& name) { everything = everything || name.isEmpty(); };
        QCOMPARE(Command(*control, "Reset"), QStringLiteral("0"));
        // While resetting the control answers nothing but that it is not ready.
        QCOMPARE(control->Request(QStringLiteral("Control Status")), QStringLiteral("0"));
        QCOMPARE(control->Request(QStringLiteral("T.REAL.TUNE")), std::nullopt);
        QCOMPARE(control->Poke(QStringLiteral("T.REAL.TUNE"), QStringLiteral("1")), TPokeResult::NotAnswering);
        QVERIFY(!control->Execute(QStringLiteral("Shutdown")));
        QVERIFY(!control->CanAdvise(QStringLiteral("T.REAL.TUNE")));
        QString error;
        QVERIFY(!control->Simulate(QStringLiteral("alarm A"), &error));

        for (int tick = 0; tick < ServerTiming::ResetTicks; ++tick)
            control->Tick();
        QCOMPARE(control->Mode(), TSimulatedControl::TMode::Running);
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

        // A folder where the store file should be cannot be replaced by a file.
        definition = Definition();
        QVERIFY(QDir().mkpath(definition.store));
        auto control = Create(definition);
        QString reported;
        control->report = [&](const QString& message) { reported = message; };
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("1"));
        QVERIFY(!reported.isEmpty());

        // A damaged store is left aside with a warning.
        definition = Definition();
        Write(QFileInfo(definition.store).fileName(), "TURVISTA-STORE 1\nID\tx\nV\tT.REAL.TUNE\t50\n");
        QString error;
        QString warning;
        control = TSimulatedControl::Create(definition, &error, &warning);
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
        QCOMPARE(control->Poke(QStringLiteral("T.REAL.TUNE"), QStringLiteral("43")), TPokeResult::Accepted);
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("0"));
        QCOMPARE(Text(*Create(definition), "T.REAL.TUNE"), QStringLiteral("43"));
    }

    // The limits the control publishes for each tunable "<prefix>.TUNE": its own
    // limits, narrowed by the values it must stay on the right side of.
    void limitsFollowTheValuesTheyDependOn_data()
    {
        QTest::addColumn<QString>("changed");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");

        QTest::newRow("hot delay not above the cold one")
            << "C_AUTOSEQ.LO_DLY_C.TUNE" << "20" << "C_AUTOSEQ.LO_DLY_H.HI_LIM_OUT" << "30" << "20";
        QTest::newRow("rated not below idle")
            << "C_IDLE_RTD.IDLE_SETPT.TUNE" << "1200" << "C_IDLE_RTD.RTD_SETPT.LO_LIM_OUT" << "1000" << "1200";
        QTest::newRow("rated not above the governor range")
            << "C_SPDSETPT.MAX_GOV_SP.TUNE" << "3700" << "C_IDLE_RTD.RTD_SETPT.HI_LIM_OUT" << "3780" << "3700";
        QTest::newRow("second band above the first")
            << "C_CRIT_SPD.BAND1_MAX.TUNE" << "2300" << "C_CRIT_SPD.BAND2_MIN.LO_LIM_OUT" << "2200" << "2300";
        QTest::newRow("values out of order leave the own limits")
            << "C_CRIT_SPD.BAND1_MAX.TUNE" << "3500" << "C_CRIT_SPD.BAND2_MIN.LO_LIM_OUT" << "2200" << "0";
        QTest::newRow("unrelated item keeps its own limits")
            << "C_SPDSETPT.MAX_GOV_SP.TUNE" << "3700" << "I_STRK_V1.MANL_HOLD.HI_LIM_OUT" << "100" << "100";
    }
    void limitsFollowTheValuesTheyDependOn()
    {
        QFETCH(QString, changed);
        QFETCH(QString, value);
        QFETCH(QString, limit);
        QFETCH(QString, before);
        QFETCH(QString, after);
        auto control = Create(Definition(true));
        QVERIFY(control);
        QCOMPARE(Text(*control, limit), before);
        QStringList advised;
        control->valueChanged = [&](const QString& name) { advised.append(name); };
        QCOMPARE(control->Poke(changed, value), TPokeResult::Accepted);
        QCOMPARE(Text(*control, limit), after);
        QCOMPARE(advised.contains(limit), before != after);
    }

    void simulateRefusesAnythingElse_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("empty") << "";
        QTest::newRow("unknown verb") << "raise X";
        QTest::newRow("set without =") << "set AA_MONITOR.SPEED.A_NAME";
        QTest::newRow("unknown item") << "set NO.SUCH.ITEM=1";
        QTest::newRow("server word") << "set Run Mode=0";
        QTest::newRow("not a number") << "set AA_MONITOR.SPEED.A_NAME=fast";
        QTest::newRow("fraction to an integer") << "set Y_ALARMS.ALARMS.NUM_EVENTS=1.5";
        QTest::newRow("alarm without text") << "alarm";
        QTest::newRow("trip without text") << "trip   ";
        QTest::newRow("clear with text") << "clear all";
    }
    // Anything but the documented commands.
    void simulateRefusesAnythingElse()
    {
        QFETCH(QString, command);
        auto control = Create(Definition(true));
        QVERIFY(control);
        const QString speed = Text(*control, "AA_MONITOR.SPEED.A_NAME");
        QString error;
        QVERIFY(!control->Simulate(command, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(Text(*control, "AA_MONITOR.SPEED.A_NAME"), speed);
        QCOMPARE(Text(*control, "Y_ALARMS.ALARMS.NUM_EVENTS"), QStringLiteral("1")); // the power-up trip only
    }
};

QTEST_GUILESS_MAIN(TestSimulatedControl)
#include "tst_simulatedcontrol.moc"
