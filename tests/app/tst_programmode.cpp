// The Program mode window on line against the simulated control in configure
// mode: it offers only what applies to the configured turbine, says in its
// caption whether it is open for change, and asks about a reset when closed.
#include "app/Application.h"
#include "app/Rqv_main.h"
#include "app/Rqv_program.h"
#include "controls/KQForms.h"
#include "tests/app/AppFixture.h"

#include <QApplication>
#include <QTest>

namespace {

TAppFixture* app = nullptr;
constexpr int Patience = TAppFixture::Patience;

TFProgramMode* Window()
{
    return FMain->FProgramMode;
}

// Shown: a page by its tab, anything else by not being hidden itself.
bool Shown(const QString& name)
{
    QObject* part = Window()->findChild<QObject*>(name);
    if (!part)
        qFatal("no %s", qPrintable(name));
    if (auto* page = qobject_cast<TKQTabSheet*>(part))
        return page->TabVisible();
    return !static_cast<QWidget*>(part)->isHidden();
}

void Open(const QString& page)
{
    auto* pages = Find<TKQPageControl>(Window(), "PageControl1");
    pages->SetActivePage(Find<TKQTabSheet>(Window(), page));
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
        for (const QString& setting : settings) {
            const QStringList pair = setting.split('=');
            QVERIFY2(app->control->Poke(pair[0], pair[1]), qPrintable(setting));
            QVERIFY2(app->WaitForValue(pair[0], pair[1]), qPrintable(setting));
        }
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
    QApplication application(argc, argv);
    TAppFixture fixture;
    app = &fixture;
    fixture.dialogs.addPassword("4177");
    if (!fixture.Start() || !fixture.GoOnLineWith(&TFMain::ProgramEditClick)
        || !QTest::qWaitFor([] { return FMain->FProgramMode && TAppFixture::Settled(); }, Patience)) {
        qCritical("Program mode did not open: %s %s", qPrintable(fixture.dialogs.texts().join(" / ")),
                  qPrintable(fixture.server.Output()));
        return 1;
    }
    TestProgramMode test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_programmode.moc"
