// The Program mode window on line against the simulated control in configure
// mode: it offers only what applies to the configured turbine, says in its
// caption whether it is open for change, and asks about a reset when closed.
#include "app/Application.h"
#include "app/ConfigurationCheck.h"
#include "app/Errors.h"
#include "app/Rqv_main.h"
#include "app/Rqv_program.h"
#include "controls/KQForms.h"
#include "tests/app/AppFixture.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

TAppFixture* app = nullptr;
constexpr int Patience = TAppFixture::Patience;

TFProgramMode* Window()
{
    return FMain->FProgramMode;
}

bool Shown(const QString& name)
{
    return Shown(Window(), name);
}

void Open(const QString& page)
{
    OpenPage(Window(), page);
}

} // namespace

class TestProgramMode : public QObject {
    Q_OBJECT
private slots:
    // Each row writes settings to the control as another client would, with the
    // page that shows them open, and names what must then be offered and not.
    void rulesOfferWhatApplies_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        const QString application = "KPApplication";
        QTest::newRow("single valve") << application
                                      << QStringList{"C_APPL.RL_MODE.IN=1", "C_APPL.TURB_TYPE.IN=1"}
                                      << QStringList{}
                                      << QStringList{"KPExtractionControl", "KPExtractionSteamMap",
                                                     "KPAdmissionControl", "KPAdmissionSteamMap", "KPExtrAdmControl",
                                                     "KPExtAdmSteamMap", "ERatioLimiterMode"};
        QTest::newRow("extraction, coupled") << application
                                             << QStringList{"C_APPL.RL_MODE.IN=1", "C_APPL.TURB_TYPE.IN=3"}
                                             << QStringList{"KPExtractionControl", "KPExtractionSteamMap",
                                                            "ERatioLimiterMode"}
                                             << QStringList{"KPAdmissionControl", "KPExtrAdmControl",
                                                            "KPExtAdmSteamMap"};
        QTest::newRow("extraction, decoupled") << application
                                               << QStringList{"C_APPL.RL_MODE.IN=4", "C_APPL.TURB_TYPE.IN=3"}
                                               << QStringList{"KPExtractionControl"}
                                               << QStringList{"KPExtractionSteamMap"};
        QTest::newRow("extraction/admission") << application
                                              << QStringList{"C_APPL.RL_MODE.IN=1", "C_APPL.TURB_TYPE.IN=5"}
                                              << QStringList{"KPExtrAdmControl", "KPExtAdmSteamMap"}
                                              << QStringList{"KPExtractionControl", "KPAdmissionControl",
                                                             "KPExtractionSteamMap"};
        QTest::newRow("cascade and aux limiter")
            << application << QStringList{"C_APPL.CASC_CONF.IN=2", "C_APPL.AUX_CONF.IN=3"}
            << QStringList{"KPCascadeControl", "KPAuxControl"} << QStringList{};
        QTest::newRow("neither cascade nor aux") << application
                                                 << QStringList{"C_APPL.CASC_CONF.IN=1", "C_APPL.AUX_CONF.IN=1"}
                                                 << QStringList{} << QStringList{"KPCascadeControl", "KPAuxControl"};
        QTest::newRow("generator") << application << QStringList{"C_APPL.APPL_TYPE.IN=2"}
                                   << QStringList{"CAuxUseKw", "CCascUseKw"} << QStringList{};
        QTest::newRow("idle/rated ramp") << "KPStartSettings" << QStringList{"C_START.TO_RATED.IN=3"}
                                         << QStringList{"GIdleRatedRamp", "PCriticalSpeed"}
                                         << QStringList{"GManualRaiseLower", "GAutoSequence"};
        QTest::newRow("no idle") << "KPStartSettings" << QStringList{"C_START.TO_RATED.IN=1"} << QStringList{}
                                 << QStringList{"GIdleRatedRamp", "PCriticalSpeed", "GManualRaiseLower"};
        QTest::newRow("relay as level switch") << "KPRelays" << QStringList{"C_RELAY03.RLY_CONF.IN=2"}
                                               << QStringList{"PRelay03Level", "PRelay03Config"}
                                               << QStringList{"PRelay03Indication"};
        QTest::newRow("relay not used") << "KPRelays" << QStringList{"C_RELAY03.RLY_CONF.IN=1"} << QStringList{}
                                        << QStringList{"PRelay03Level", "PRelay03Config", "PRelay03Indication"};
        // The CPU-A port type is read from the control although its page was never shown.
        QTest::newRow("SIO-B channel 3 Modbus #1, CPU-A port unused")
            << "KPSIOABRedundant" << QStringList{"C_COMM.PORTA_CONF.IN=1", "C_COMM.SIOB_PORT3.IN=2"}
            << QStringList{"PSioBPort3", "EDriver3B", "GModbus1General2"} << QStringList{};
        QTest::newRow("analog input used") << "KPAnalogInputs" << QStringList{"C_ANIN1.ANIN_CONF.IN=2"}
                                           << QStringList{"PAnalogInput1"} << QStringList{};
    }
    void rulesOfferWhatApplies()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, settings);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        Open(page);
        QCOMPARE(app->Set(settings), QString());
        for (const QString& name : shown)
            QTRY_VERIFY2_WITH_TIMEOUT(Shown(name), qPrintable(name + " is hidden"), Patience);
        for (const QString& name : hidden)
            QTRY_VERIFY2_WITH_TIMEOUT(!Shown(name), qPrintable(name + " is shown"), Patience);
        QCOMPARE(app->dialogs.texts(), QStringList());
    }

    // A start routine that opens the valve itself clears "Use Initial V1 Position On Startup" in the control.
    void anAutomaticStartClearsTheInitialValvePosition()
    {
        Open("KPStartSettings");
        QVERIFY(app->control->Poke("C_START.START_CONF.IN", "1"));
        QVERIFY(app->control->Poke("C_START.USE_INITV1.IN", "1"));
        QTRY_VERIFY_WITH_TIMEOUT(Shown("PInitV1"), Patience);
        QVERIFY(app->control->Poke("C_START.START_CONF.IN", "2"));
        QVERIFY(app->WaitForValue("C_START.USE_INITV1.IN", "0"));
        QTRY_VERIFY_WITH_TIMEOUT(!Shown("CUseInitV1") && !Shown("PInitV1"), Patience);
    }

    // Every page names itself, the steam maps included.
    void theCaptionNamesThePage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("caption");
        QTest::newRow("relays") << "KPRelays" << "Program Mode - Relays";
        QTest::newRow("steam map") << "KPExtAdmSteamMap" << "Program Mode - Ext/Adm Steam Map";
    }
    void theCaptionNamesThePage()
    {
        QFETCH(QString, page);
        Open(page);
        QTEST(Window()->Caption(), "caption");
    }

    // Re-shown for viewing only, the page in front is switched at once and
    // every other page when it is entered; the lock mark keeps a control
    // view-only when its page is made operable again.
    void viewOnlyReachesEveryPageEntered()
    {
        Open("KPRelays");
        const auto switchTo = [](bool change) {
            FMain->ProgramEdit->setChecked(change);
            FMain->ProgramViewOnly->setChecked(!change);
            Window()->ResetSheetMonStatus();
            Window()->UpdateMonStatus(!change);
        };
        switchTo(false);
        Find<QWidget>(Window(), "ETurbineType")->setProperty("Tag", 0xDC00);
        for (const char* page : {"KPRelays", "KPApplication"}) {
            Open(page);
            int switched = 0;
            for (QWidget* control : Find<QWidget>(Window(), page)->findChildren<QWidget*>()) {
                if (!control->inherits("TK4812SpinEdit") && !control->inherits("TKQEnumComboBox")
                    && !control->inherits("TKQCheckBox") && !control->inherits("TKQStringEdit"))
                    continue;
                QVERIFY2(control->property("IsMonitorOnly").toBool(),
                         qPrintable(control->property("ItemName").toString() + app->dialogs.texts().join("/")));
                ++switched;
            }
            QVERIFY(switched > 0);
        }
        QVERIFY(Window()->Caption().endsWith("      -      View Only"));
        switchTo(true);
        QVERIFY(Find<QWidget>(Window(), "ETurbineType")->property("IsMonitorOnly").toBool());
        QVERIFY(!Find<QWidget>(Window(), "EApplication")->property("IsMonitorOnly").toBool());
        Find<QWidget>(Window(), "ETurbineType")->setProperty("Tag", 0);
    }

    // Each row: an error the configuration check reports, which occurrence of
    // it, and the page, group (by name) or control (by item, or by name where
    // the item is bound twice) the error list opens, with its suffix and more
    // flag. Settings put the turbine first where what is shown decides.
    void errorsPointToTheirObjects_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<bool>("more");
        const auto row = [](int error, int occurrence, const QString& target, const QString& suffix = {},
                            bool more = false, const QString& page = {}, const QStringList& settings = {}) {
            QTest::addRow("%d/%d %s", error, occurrence, qPrintable(target))
                << page << settings << error << occurrence << target << suffix << more;
        };
        const auto twice = [&](int error, const QString& first, const QString& firstSuffix, const QString& later,
                               const QString& laterSuffix) {
            row(error, 1, first, firstSuffix, true);
            row(error, 2, later, laterSuffix);
        };
        const auto number = [](const char* pattern, int n, int width) {
            return QString::fromLatin1(pattern).arg(n, width, 10, QChar('0'));
        };
        const QString unknown = " (Unknown error!)";
        row(0, 1, "KPApplication", unknown);
        row(85, 1, "KPApplication", unknown);
        for (int error : {1, 76, 77, 82})
            row(error, 1, "KPContactInputs");
        for (int error : {22, 65, 67, 69, 80, 81, 84})
            row(error, 2, "KPAnalogInputs");
        for (int error = 2; error <= 21; ++error)
            row(error, 1, number("C_CONT_IN.C_IN_%1.IN", error + 3, 2));
        for (int error = 23; error <= 30; ++error)
            row(error, 1, number("C_ANIN%1.ANIN_CONF.IN", error - 22, 1));
        for (int error = 31; error <= 40; ++error)
            row(error, 1, number("C_RELAY%1.RLY_CONF.IN", error - 28, 2));
        for (int error = 41; error <= 44; ++error)
            row(error, 1, number("C_READOUT.RO%1_CONF.IN", error - 40, 1));
        row(45, 1, "C_DRIVER.ACT2RO_SEL.IN");
        row(46, 1, "C_START.START_CONF.IN");
        row(47, 1, "KPSpeedControl");
        row(48, 1, "C_SPD_CTRL.SPD_4_CONF.IN");
        row(49, 1, "GSpeedSetpoint");
        row(75, 3, "GSpeedSetpoint");
        twice(50, "C_CRIT_SPD.CRIT_RATE.TUNE", " (Check critical speed rate)", "C_SPDSETPT.SLOW_RATE.TUNE",
              " (Check slow speed setpoint)");
        row(50, 3, "C_SPDSETPT.SLOW_RATE.TUNE", " (Check slow speed setpoint)");
        row(51, 1, "C_CRIT_SPD.USE_BAND2.IN");
        row(52, 1, "C_CRIT_SPD.BAND1_MIN.TUNE");
        row(53, 1, "C_START.TO_RATED.IN");
        twice(54, "C_CRIT_SPD.BAND1_MIN.TUNE", " (Check critical band 1 minimum)", "C_CRIT_SPD.BAND1_MAX.TUNE",
              " (Check critical band 1 maximum)");
        twice(55, "C_CRIT_SPD.BAND2_MIN.TUNE", " (Check critical band 2 minimum)", "C_CRIT_SPD.BAND2_MAX.TUNE",
              " (Check critical band 2 maximum)");
        twice(56, "C_IDLE_RTD.IDLE_SETPT.TUNE", " (Check idle setpoint)", "C_IDLE_RTD.RTD_SETPT.TUNE",
              " (Check rated setpoint)");
        twice(57, "C_IDLE_RTD.IDLE_SETPT.TUNE", " (Check idle setpoint)", "C_SPDSETPT.MIN_GOV_SP.TUNE",
              " (Check minimum control speed setpoint)");
        twice(58, "C_IDLE_RTD.RTD_SETPT.TUNE", " (Check rated setpoint)", "C_SPDSETPT.MAX_GOV_SP.TUNE",
              " (Check maximum control speed setpoint)");
        row(59, 1, "KPStartSettings");
        row(60, 1, "GAutoSequence");
        row(61, 1, "C_AUTOSEQ.HI_IDLE_SP.TUNE");
        row(62, 1, "C_AUTOSEQ.LO_IDLE_SP.TUNE");
        twice(63, "C_AUTOSEQ.HI_IDLE_SP.TUNE", " (Check high idle setpoint)", "C_SPDSETPT.MIN_GOV_SP.TUNE",
              " (Check minimum control speed setpoint)");
        const QString analog = " (Check analog inputs)";
        twice(66, "KPAnalogInputs", analog, "C_EXTR.USE_RMTXTR.IN", " (Using extraction remote setpoint?)");
        twice(68, "KPAnalogInputs", analog, "C_RMT_CAS.USE_RMTCAS.IN", " (Using remote cascade setpoint?)");
        twice(70, "KPAnalogInputs", analog, "C_AUX.USE_RMTAUX.IN", " (Using remote auxiliary setpoint?)");
        twice(71, "KPAnalogInputs", analog, "C_RMT_SPD.USE_RMTSPD.IN", " (Using remote speed setpoint?)");
        row(73, 1, "KPCascadeControl");
        row(74, 1, "KPAuxControl");
        for (int error : {78, 79})
            twice(error, "KPAnalogInputs", analog, "KPContactInputs", " (Check contact inputs)");
        row(83, 1, "C_GENLOGIC.KWMAX_LOAD.TUNE");

        // What the turbine shows decides between the controls of one item and the steam map page.
        const QString application = "KPApplication";
        const QString coupled = "C_APPL.RL_MODE.IN=1";
        row(64, 1, "KPAdmissionSteamMap", {}, false, application, {coupled, "C_APPL.TURB_TYPE.IN=4"});
        row(64, 1, "KPExtractionSteamMap", {}, false, application, {coupled, "C_APPL.TURB_TYPE.IN=3"});
        row(64, 1, application, " (Cannot open Steam Map Page!)", false, application,
            {"C_APPL.RL_MODE.IN=4", "C_APPL.TURB_TYPE.IN=3"});
        row(66, 2, "CXRemote", " (Using extraction remote setpoint?)", false, application, {"C_APPL.TURB_TYPE.IN=3"});
        row(66, 2, "CXARemote", " (Using extraction remote setpoint?)", false, application, {"C_APPL.TURB_TYPE.IN=1"});
        row(72, 1, "KPExtrAdmControl", {}, false, application, {"C_APPL.TURB_TYPE.IN=1"});
        const QString idle = " (Check idle setpoint)";
        row(57, 1, "KIdleSetptManual", idle, true, "KPStartSettings", {"C_START.TO_RATED.IN=2"});
        row(57, 1, "KIdleSetpt", idle, true, "KPStartSettings", {"C_START.TO_RATED.IN=3"});
    }
    void errorsPointToTheirObjects()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, settings);
        QFETCH(int, error);
        QFETCH(int, occurrence);
        QFETCH(QString, target);
        if (!page.isEmpty())
            Open(page);
        QCOMPARE(app->Set(settings), QString());
        QString suffix = "stale";
        bool more = true;
        // A control answers to its item or its name, anything else to its name.
        const auto found = [&] {
            QObject* object = Window()->GetAssociatedErrorObject(error, occurrence, suffix, more);
            const QString item = object->property("ItemName").toString();
            return item == target ? item : object->objectName();
        };
        QTRY_COMPARE_WITH_TIMEOUT(found(), target, Patience);
        QTEST(suffix, "suffix");
        QTEST(more, "more");
    }

    // However the check ends, the engineer is told why and the program works on:
    // the main window usable, its status poll running, Program mode open.
    void everyEndingOfTheCheckGivesTheProgramBack_data()
    {
        QTest::addColumn<QString>("simulate");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("aborted by the control") << "check abort"
                                                << QStringList{"Completeness Check has been aborted by control"};
        QTest::newRow("held past its time")
            << "check hold"
            << QStringList{"Too much time has elapsed for this completeness check.  You may try again.",
                           "No errors found!"};
    }
    void everyEndingOfTheCheckGivesTheProgramBack()
    {
        QFETCH(QString, simulate);
        QFETCH(QStringList, texts);
        app->dialogs.clear();
        if (!simulate.isEmpty())
            QVERIFY(app->server.Simulate(simulate));
        app->dialogs.addAnswer(mrCancel);
        Window()->ExitProgramModeButton->click();
        QTRY_VERIFY2_WITH_TIMEOUT(app->dialogs.texts() == texts, qPrintable(app->dialogs.texts().join(" / ")), Patience);
        app->server.Simulate("check release");
        QTRY_VERIFY_WITH_TIMEOUT(FMain->tPing->isActive() && FMain->isEnabled(), Patience);
        QVERIFY(Window());
        if (TfErrors* list = FMain->ConfigurationCheck()->ErrorList())
            list->close();
        app->dialogs.clear();
    }

    // A contact input set to a function the configuration does not use fails
    // the check; the list names it and takes the engineer to it.
    void theErrorListLeadsToTheSettingToCorrect()
    {
        app->dialogs.clear();
        QCOMPARE(app->Set({"C_APPL.CASC_CONF.IN=1", "C_CONT_IN.C_IN_05.IN=21"}), QString());
        Window()->ExitProgramModeButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(FMain->ConfigurationCheck()->ErrorList()
                                     && FMain->ConfigurationCheck()->ErrorList()->Count() > 0,
                                 Patience);
        TfErrors* list = FMain->ConfigurationCheck()->ErrorList();
        int line = 0;
        while (line < list->Count() && !list->Line(line).contains("#5"))
            ++line;
        QVERIFY2(line < list->Count(), qPrintable(list->Line(0)));
        list->findChild<QListWidget*>("ListBox1")->setCurrentRow(line);
        list->BranchButtonClick();
        QCOMPARE(Find<TKQPageControl>(Window(), "PageControl1")->ActivePageName(), QString("KPContactInputs"));
        QCOMPARE(Window()->focusWidget(), Find<QWidget>(Window(), "EContactInput05"));
        list->close();
        QCOMPARE(app->Set({"C_CONT_IN.C_IN_05.IN=1"}), QString());
    }

    // Cancel keeps the window; No leaves through the End page.
    void closingAsksAboutAReset()
    {
        app->dialogs.addAnswer(mrCancel);
        Window()->close();
        QCOMPARE(app->dialogs.texts(), QStringList{"Reset control before exiting program mode?"});
        QVERIFY(Window() && Window()->isVisible());
        app->dialogs.addAnswer(mrNo);
        Window()->close();
        QTRY_VERIFY_WITH_TIMEOUT(!Window(), Patience);
    }
};

int main(int argc, char** argv)
{
    return RunOnEditor<TestProgramMode>(argc, argv, app, "4177", &TFMain::ProgramEditClick,
                                        [] { return !FMain->FProgramMode.isNull(); });
}

#include "tst_programmode.moc"
