// The simulated control as the DDE front sees it: what it answers, which writes
// it refuses, its commands and modes, and its store.
#include "server/ServerTiming.h"
#include "server/SimulatedControl.h"

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

void RunTicks(TSimulatedControl& control, int ticks)
{
    for (int i = 0; i < ticks; ++i)
        control.Tick();
}

QString Text(const TSimulatedControl& control, const char* name)
{
    return control.Request(QString::fromLatin1(name)).value_or(QStringLiteral("<none>"));
}

} // namespace

Q_DECLARE_METATYPE(TSimulatedControl::TPokeResult)

class TestSimulatedControl : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    int m_storeNumber = 0;

    QString Write(const QString& name, const QByteArray& text)
    {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(text);
        return path;
    }

    // A control with the test database and a store of its own.
    TControlDefinition Definition(const QString& configuration = {})
    {
        TControlDefinition definition;
        definition.id = QStringLiteral("Test");
        definition.databases = {Write(QStringLiteral("test.items"), Database)};
        definition.store = m_folder.filePath(QStringLiteral("store-%1").arg(++m_storeNumber));
        definition.configuration = configuration;
        return definition;
    }

    std::unique_ptr<TSimulatedControl> Create(const TControlDefinition& definition)
    {
        QString error;
        auto control = TSimulatedControl::Create(definition, &error);
        if (!control)
            qWarning("%s", qPrintable(error));
        return control;
    }

    // Runs a command to its result.
    static QString Command(TSimulatedControl& control, const char* command)
    {
        const QString word = QString::fromLatin1(command).remove(u'[').remove(u']');
        const QString resultItem = word + QStringLiteral(".Result");
        if (!control.Execute(QString::fromLatin1(command)))
            return QStringLiteral("<refused>");
        if (control.Request(resultItem) != QString())
            return QStringLiteral("<result not cleared>");
        RunTicks(control, ServerTiming::CommandResultTicks);
        // Value, not Request: a reset control stops answering right after its result.
        return control.Value(resultItem).value_or(QStringLiteral("<none>"));
    }

private slots:
    void initTestCase() { QVERIFY(m_folder.isValid()); }

    void pokes_data()
    {
        QTest::addColumn<bool>("configureMode");
        QTest::addColumn<bool>("rangeChecking");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("value");
        QTest::addColumn<TPokeResult>("result");
        QTest::addColumn<QString>("after");

        QTest::newRow("tunable") << false << true << "t.real.tune" << "55.5" << TPokeResult::Accepted << "55.5";
        QTest::newRow("tunable decimal comma") << false << true << "T.REAL.TUNE" << "7,5" << TPokeResult::Accepted
                                               << "7.5";
        QTest::newRow("boolean true from the program") << false << true << "T.FLAG.IN" << "-1"
                                                        << TPokeResult::Accepted << "1";
        QTest::newRow("string") << false << true << "T.NAME.IN" << "Plant 7" << TPokeResult::Accepted << "Plant 7";
        QTest::newRow("monitor") << false << true << "M.MON.A" << "6" << TPokeResult::ReadOnly << "5";
        QTest::newRow("monitor in configure mode") << true << true << "M.MON.A" << "6" << TPokeResult::ReadOnly
                                                   << "5";
        QTest::newRow("configure item while running") << false << true << "C.TYPE.IN" << "3"
                                                       << TPokeResult::NotInConfigureMode << "1";
        QTest::newRow("configure item in configure mode") << true << true << "C.TYPE.IN" << "3"
                                                           << TPokeResult::Accepted << "3";
        QTest::newRow("not a number") << false << true << "T.REAL.TUNE" << "fast" << TPokeResult::BadValue << "10";
        QTest::newRow("no number at all") << false << false << "T.REAL.TUNE" << "" << TPokeResult::BadValue
                                          << "10";
        QTest::newRow("above the maximum") << false << true << "T.REAL.TUNE" << "100.1" << TPokeResult::OutOfLimits
                                           << "10";
        QTest::newRow("enum beyond its list") << true << true << "C.TYPE.IN" << "6" << TPokeResult::OutOfLimits
                                              << "1";
        QTest::newRow("beyond limits without range checking") << false << false << "T.REAL.TUNE" << "150"
                                                               << TPokeResult::Accepted << "150";
        QTest::newRow("fraction to an enum without range checking") << true << false << "C.TYPE.IN" << "2.5"
                                                                     << TPokeResult::BadValue << "1";
        QTest::newRow("unknown item") << false << true << "T.NONE.IN" << "1" << TPokeResult::UnknownItem
                                      << "<none>";
        QTest::newRow("status word") << false << true << "Run Mode" << "1" << TPokeResult::ReadOnly << "0";
        QTest::newRow("result item") << false << true << "Reset.Result" << "0" << TPokeResult::ReadOnly << "";
        QTest::newRow("system identification") << false << true << "System ID" << "x" << TPokeResult::ReadOnly
                                               << "<unchanged>";
    }

    void pokes()
    {
        QFETCH(bool, configureMode);
        QFETCH(bool, rangeChecking);
        QFETCH(QString, item);
        QFETCH(QString, value);
        QFETCH(TPokeResult, result);
        QFETCH(QString, after);

        auto control = Create(Definition());
        QVERIFY(control);
        if (configureMode)
            QCOMPARE(Command(*control, "Shutdown"), QStringLiteral("0"));
        if (!rangeChecking)
            QCOMPARE(control->Poke(QStringLiteral("Enable RG Blocks"), QStringLiteral("0")), TPokeResult::Accepted);
        const QString before = control->Request(item).value_or(QString());

        QStringList reported;
        control->valueChanged = [&](const QString& name) { reported.append(name); };
        QCOMPARE(control->Poke(item, value), result);
        if (after == QLatin1String("<unchanged>"))
            QCOMPARE(control->Request(item).value_or(QString()), before);
        else
            QCOMPARE(control->Request(item).value_or(QStringLiteral("<none>")), after);
        // An accepted write is advised back; a refused one is not.
        QCOMPARE(reported.contains(item.toUpper()), result == TPokeResult::Accepted);
    }

    void answersItsOwnWords()
    {
        auto control = Create(Definition());
        QVERIFY(control);
        QCOMPARE(Text(*control, "Run Mode"), QStringLiteral("0"));
        QCOMPARE(Text(*control, "CONTROL STATUS"), QStringLiteral("1"));
        QCOMPARE(Text(*control, "Enable RG Blocks"), QStringLiteral("1"));
        QCOMPARE(Text(*control, "Shutdown.Result"), QString());
        QVERIFY(Text(*control, "Application ID").startsWith(QStringLiteral("test.items  ")));
        QVERIFY(!Text(*control, "System ID").isEmpty());
        // Changeable items only, in database order.
        QCOMPARE(Text(*control, "MutableItemList"),
                 QStringLiteral("T.REAL.TUNE\tT.FLAG.IN\tC.TYPE.IN\tT.NAME.IN\tC_X.HOLD_RATE.CTRL"));
        QCOMPARE(Text(*control, "Configuration ID"), QString());
        QCOMPARE(control->Poke(QStringLiteral("Configuration ID"), QStringLiteral("Unit3")), TPokeResult::Accepted);
        QCOMPARE(Text(*control, "Configuration ID"), QStringLiteral("Unit3"));
        QCOMPARE(control->Request(QStringLiteral("NOT.AN.ITEM")), std::nullopt);
    }

    void symbolInformation_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("tunable real") << "T.REAL.TUNE" << QByteArray("\x02\x20" "0\0" "100\0", 8);
        QTest::newRow("configure enum") << "c.type.in" << QByteArray("\x03\x03" "1\0" "5\0", 6);
        QTest::newRow("monitor real") << "M.MON.A" << QByteArray("\x01\x20" "0\0" "100\0", 8);
        QTest::newRow("range checking switch") << "Enable RG Blocks" << QByteArray("\x02\x01" "0\0" "1\0", 6);
        QTest::newRow("configuration name") << "Configuration ID" << QByteArray("\x02\x50\0\0", 4);
        QTest::newRow("status") << "Control Status" << QByteArray("\x01\x01" "0\0" "1\0", 6);
    }

    void symbolInformation()
    {
        QFETCH(QString, item);
        QFETCH(QByteArray, bytes);
        auto control = Create(Definition());
        QVERIFY(control);
        QCOMPARE(control->SymbolInfo(item), std::optional<QByteArray>(bytes));
        QCOMPARE(control->SymbolInfo(QStringLiteral("NOT.AN.ITEM")), std::nullopt);
    }

    void commandResults()
    {
        auto control = Create(Definition());
        QVERIFY(control);
        QVERIFY(!control->Execute(QStringLiteral("Explode")));
        // Reset only from configure mode.
        QCOMPARE(Command(*control, "Reset"), QStringLiteral("1"));
        QCOMPARE(control->Mode(), TSimulatedControl::TMode::Running);
        QCOMPARE(Command(*control, "[Shutdown]"), QStringLiteral("0"));
        QCOMPARE(control->Mode(), TSimulatedControl::TMode::Configure);
        QCOMPARE(Text(*control, "Run Mode"), QStringLiteral("1"));
        // Shutdown again in configure mode changes nothing.
        QCOMPARE(Command(*control, "shutdown"), QStringLiteral("0"));
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("0"));
    }

    void resetComesBackWithTheStoredValues()
    {
        auto control = Create(Definition());
        QVERIFY(control);
        QCOMPARE(control->Poke(QStringLiteral("T.REAL.TUNE"), QStringLiteral("20")), TPokeResult::Accepted);
        QCOMPARE(control->Poke(QStringLiteral("Configuration ID"), QStringLiteral("Saved")), TPokeResult::Accepted);
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("0"));
        QCOMPARE(control->Poke(QStringLiteral("T.REAL.TUNE"), QStringLiteral("30")), TPokeResult::Accepted);
        QCOMPARE(control->Poke(QStringLiteral("Enable RG Blocks"), QStringLiteral("0")), TPokeResult::Accepted);
        QCOMPARE(Command(*control, "Shutdown"), QStringLiteral("0"));
        QCOMPARE(control->Poke(QStringLiteral("C.TYPE.IN"), QStringLiteral("4")), TPokeResult::Accepted);

        bool everything = false;
        control->valueChanged = [&](const QString& name) { everything = everything || name.isEmpty(); };
        QCOMPARE(Command(*control, "Reset"), QStringLiteral("0"));
        // While resetting the control answers nothing.
        QCOMPARE(control->Mode(), TSimulatedControl::TMode::Resetting);
        QCOMPARE(control->Request(QStringLiteral("Control Status")), std::nullopt);
        QCOMPARE(control->Request(QStringLiteral("T.REAL.TUNE")), std::nullopt);
        QCOMPARE(control->Poke(QStringLiteral("T.REAL.TUNE"), QStringLiteral("1")), TPokeResult::NotAnswering);
        QVERIFY(!control->Execute(QStringLiteral("Shutdown")));
        QVERIFY(!control->CanAdvise(QStringLiteral("T.REAL.TUNE")));

        RunTicks(*control, ServerTiming::ResetTicks);
        QCOMPARE(control->Mode(), TSimulatedControl::TMode::Running);
        QVERIFY(everything);
        QCOMPARE(Text(*control, "Control Status"), QStringLiteral("1"));
        QCOMPARE(Text(*control, "Run Mode"), QStringLiteral("0"));
        QCOMPARE(Text(*control, "T.REAL.TUNE"), QStringLiteral("20"));
        QCOMPARE(Text(*control, "C.TYPE.IN"), QStringLiteral("1"));
        QCOMPARE(Text(*control, "Configuration ID"), QStringLiteral("Saved"));
        QCOMPARE(Text(*control, "Enable RG Blocks"), QStringLiteral("1"));
    }

    void storeIsReadAtStart()
    {
        const TControlDefinition definition = Definition();
        {
            auto control = Create(definition);
            QVERIFY(control);
            QCOMPARE(control->Poke(QStringLiteral("T.NAME.IN"), QStringLiteral("Kept\tname")), TPokeResult::Accepted);
            QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("0"));
        }
        auto again = Create(definition);
        QVERIFY(again);
        QCOMPARE(Text(*again, "T.NAME.IN"), QStringLiteral("Kept\tname"));
    }

    void saveValuesClearsHoldItems()
    {
        auto control = Create(Definition());
        QVERIFY(control);
        QCOMPARE(control->Poke(QStringLiteral("C_X.HOLD_RATE.CTRL"), QStringLiteral("-1")), TPokeResult::Accepted);
        QCOMPARE(control->Poke(QStringLiteral("T.FLAG.IN"), QStringLiteral("1")), TPokeResult::Accepted);
        QStringList reported;
        control->valueChanged = [&](const QString& name) { reported.append(name); };
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("0"));
        QCOMPARE(Text(*control, "C_X.HOLD_RATE.CTRL"), QStringLiteral("0"));
        QVERIFY(reported.contains(QStringLiteral("C_X.HOLD_RATE.CTRL")));
        // Ordinary booleans stay as they are.
        QCOMPARE(Text(*control, "T.FLAG.IN"), QStringLiteral("1"));
    }

    void holdItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("tunableBoolean");
        QTest::addColumn<bool>("hold");
        QTest::newRow("HOLD_") << "C_SPDSETPT.HOLD_FAST.CTRL" << true << true;
        QTest::newRow("HLD_") << "C_ANIN1.HLD_ALM_HI.CTRL" << true << true;
        QTest::newRow("H_") << "C_AUX.H_AUX_SET.CTRL" << true << true;
        QTest::newRow("alarm control") << "Y_ALARMS.TRIP_ALM.CTRL" << true << false;
        QTest::newRow("other suffix") << "C_SPDSETPT.HOLD_FAST.IN" << true << false;
        QTest::newRow("not a tunable boolean") << "C_SPDSETPT.HOLD_FAST.CTRL" << false << false;
    }

    void holdItems()
    {
        QFETCH(QString, name);
        QFETCH(bool, tunableBoolean);
        QFETCH(bool, hold);
        TItemDefinition item;
        item.name = name;
        item.itemClass = tunableBoolean ? TItemClass::Tunable : TItemClass::Monitor;
        item.type = TItemType::Boolean;
        QCOMPARE(TSimulatedControl::IsHoldItem(item), hold);
    }

    void controlWithoutStoreCannotSave()
    {
        TControlDefinition definition = Definition();
        definition.store.clear();
        auto control = Create(definition);
        QVERIFY(control);
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("255"));
    }

    void unwritableStoreIsAMemoryError()
    {
        TControlDefinition definition = Definition();
        // A folder where the store file should be cannot be replaced by a file.
        QVERIFY(QDir().mkpath(definition.store));
        auto control = Create(definition);
        QVERIFY(control);
        QString reported;
        control->report = [&](const QString& message) { reported = message; };
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("1"));
        QVERIFY(!reported.isEmpty());
    }

    void damagedStoreStartsFromDefaults()
    {
        TControlDefinition definition = Definition();
        Write(QFileInfo(definition.store).fileName(), "TURVISTA-STORE 1\nID\tx\nV\tT.REAL.TUNE\t50\n");
        QString error;
        QString warning;
        auto control = TSimulatedControl::Create(definition, &error, &warning);
        QVERIFY2(control, qPrintable(error));
        QVERIFY2(warning.contains(definition.store), qPrintable(warning));
        QCOMPARE(Text(*control, "T.REAL.TUNE"), QStringLiteral("10"));
    }

    void startingConfigurationGivesTheFirstValues()
    {
        const QString configuration = Write(QStringLiteral("plant.cfg"), "T.REAL.TUNE\t42\r\n\r\nC.TYPE.IN\t3\r\n");
        const TControlDefinition definition = Definition(configuration);
        auto control = Create(definition);
        QVERIFY(control);
        QCOMPARE(Text(*control, "T.REAL.TUNE"), QStringLiteral("42"));
        QCOMPARE(Text(*control, "C.TYPE.IN"), QStringLiteral("3"));
        QCOMPARE(Text(*control, "Configuration ID"), QStringLiteral("plant"));

        // Saved values take precedence once there are any.
        QCOMPARE(control->Poke(QStringLiteral("T.REAL.TUNE"), QStringLiteral("43")), TPokeResult::Accepted);
        QCOMPARE(Command(*control, "SaveValues"), QStringLiteral("0"));
        auto again = Create(definition);
        QVERIFY(again);
        QCOMPARE(Text(*again, "T.REAL.TUNE"), QStringLiteral("43"));
    }

    void badStartingConfigurationIsRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("no TAB") << QByteArray("T.REAL.TUNE 42\n") << ":1: expected NAME";
        QTest::newRow("monitor item") << QByteArray("T.REAL.TUNE\t1\nM.MON.A\t1\n") << ":2: M.MON.A is no tunable";
        QTest::newRow("unknown item") << QByteArray("X.Y.Z\t1\n") << ":1: X.Y.Z is no tunable";
        QTest::newRow("value outside limits") << QByteArray("T.REAL.TUNE\t500\n") << ":1: \"500\" is no valid value";
    }

    void badStartingConfigurationIsRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        const QString configuration = Write(QStringLiteral("bad.cfg"), text);
        QString error;
        QVERIFY(!TSimulatedControl::Create(Definition(configuration), &error));
        QVERIFY2(error.startsWith(configuration + message), qPrintable(error));
    }

    void modelWritesAreAdvisedOnlyWhenTheyChangeSomething()
    {
        auto control = Create(Definition());
        QVERIFY(control);
        QStringList reported;
        control->valueChanged = [&](const QString& name) { reported.append(name); };
        control->SetNumber(QStringLiteral("m.mon.a"), 5.0);
        QVERIFY(reported.isEmpty());
        control->SetNumber(QStringLiteral("M.MON.A"), 12.345);
        QCOMPARE(reported, QStringList{QStringLiteral("M.MON.A")});
        QCOMPARE(control->Text(QStringLiteral("M.MON.A")), QStringLiteral("12.345"));
        QCOMPARE(control->Number(QStringLiteral("M.MON.A")), 12.345);
        control->SetNumber(QStringLiteral("C.TYPE.IN"), 2.6);
        QCOMPARE(control->Text(QStringLiteral("C.TYPE.IN")), QStringLiteral("3"));
        control->SetFlag(QStringLiteral("T.FLAG.IN"), true);
        QVERIFY(control->Flag(QStringLiteral("T.FLAG.IN")));
        // Writes to items the database lacks go nowhere.
        control->SetText(QStringLiteral("NOT.AN.ITEM"), QStringLiteral("1"));
        QVERIFY(!control->Has(QStringLiteral("NOT.AN.ITEM")));
    }
};

QTEST_GUILESS_MAIN(TestSimulatedControl)
#include "tst_simulatedcontrol.moc"
