// The Service mode window on line against the running simulated control: it
// offers what the control says is configured, keeps configuration-only and
// running-turbine settings locked, marks each tunable changed with a hold box
// until the control stores its values, and closes without asking.
#include "app/Application.h"
#include "app/Rqv_main.h"
#include "app/Rqv_service.h"
#include "controls/KQCheckBox.h"
#include "controls/KQToggleButton.h"
#include "controls/KSpinEdit.h"
#include "tests/app/AppFixture.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

namespace {

TAppFixture* app = nullptr;
constexpr int Patience = TAppFixture::Patience;

TFServiceMode* Window()
{
    return FMain->FServiceMode;
}

bool Shown(const QString& name)
{
    return Shown(Window(), name);
}

// The controls of a page bound to an item.
QList<QWidget*> Bound(const QString& page, const QString& item)
{
    QList<QWidget*> found;
    for (QWidget* control : Find<QWidget>(Window(), page)->findChildren<QWidget*>())
        if (control->property("ItemName").toString() == item)
            found << control;
    return found;
}

bool MonitorOnly(const QString& page, const QString& item)
{
    const QList<QWidget*> controls = Bound(page, item);
    if (controls.isEmpty())
        qFatal("%s shows no %s", qPrintable(page), qPrintable(item));
    return std::all_of(controls.begin(), controls.end(),
                       [](QWidget* control) { return control->property("IsMonitorOnly").toBool(); });
}

// Opens the window again for change (or for viewing only), as the main window does.
void SwitchTo(bool change)
{
    FMain->ServiceEdit->setChecked(change);
    FMain->ServiceViewOnly->setChecked(!change);
    Window()->ResetSheetMonStatus();
    Window()->UpdateMonStatus(!change);
}

} // namespace

class TestServiceMode : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        SwitchTo(true);
        app->dialogs.clear();
    }

    // Each row gives the control settings with the page that shows them open,
    // and names what must then be offered and not: Service mode's own rules and
    // where it applies the rules it shares with Program mode differently.
    void rulesOfferWhatIsConfigured_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<QStringList>("kept");
        const QStringList none;
        QTest::newRow("decoupled HP & LP alone hides the steam map")
            << "KPApplication" << QStringList{"C_APPL.RL_MODE.IN=4"}
            << QStringList{"KPExtractionControl", "ERatioLimiterMode"} << QStringList{"KPExtractionSteamMap"} << none;
        QTest::newRow("decoupled inlet") << "KPExtractionSteamMap" << QStringList{"C_APPL.RL_MODE.IN=2"}
                                         << QStringList{"GXMInlet"} << QStringList{"GXMExhaust"} << none;
        QTest::newRow("generator on extraction") << "KPExtractionControl" << QStringList{"C_APPL.APPL_TYPE.IN=2"}
                                                 << QStringList{"PXBreaker", "GSpeedDroop"} << none << none;
        QTest::newRow("remote speed setpoint and KW input")
            << "KPSpeedControl" << QStringList{"C_RMT_SPD.USE_RMTSPD.IN=1", "C_ANIN1.ANIN_CONF.IN=7"}
            << QStringList{"GRemoteSpeed", "GKwInputs"} << QStringList{"GLoadShareInputs"} << none;
        QTest::newRow("remote extraction setpoint and input")
            << "KPExtractionControl"
            << QStringList{"C_EXTR.USE_RMTXTR.IN=1", "C_ANIN1.ANIN_CONF.IN=10", "C_RMT_SPD.USE_RMTSPD.IN=0"}
            << QStringList{"GXRemote", "GXInputs"} << QStringList{"GKwInputs", "GRemoteSpeed"} << none;
        QTest::newRow("underspeed relay")
            << "KPSpeedControl" << QStringList{"C_RELAY03.RLY_CONF.IN=3", "C_RELAY03.STATE_CONF.IN=10"}
            << QStringList{"PUnderspeed"} << none << none;
        QTest::newRow("speed input 2 used") << "KPSpeedControl" << QStringList{"C_SPD_CTRL.SPD_2_CONF.IN=2"}
                                            << QStringList{"PFtm2", "PSpeedInput2"} << none << none;
        QTest::newRow("speed input 2 unused") << "KPSpeedControl" << QStringList{"C_SPD_CTRL.SPD_2_CONF.IN=1"} << none
                                              << QStringList{"PFtm2", "PSpeedInput2"} << none;
        QTest::newRow("sync rate") << "KPSpeedControl"
                                   << QStringList{"D_SPDSETPT.SYNC_RATE.IN_3=1", "C_SPD_CTRL.USE_TIMER.IN=0"}
                                   << QStringList{"PSyncRate"} << QStringList{"POverrideTime"} << none;
        QTest::newRow("override timer") << "KPSpeedControl"
                                        << QStringList{"D_SPDSETPT.SYNC_RATE.IN_3=0", "C_SPD_CTRL.USE_TIMER.IN=1"}
                                        << QStringList{"POverrideTime"} << QStringList{"PSyncRate"} << none;
        QTest::newRow("steam map test") << "KPExtractionSteamMap" << QStringList{"E_MAPPRIOR.MAP_TEST.IN_1=1"}
                                        << QStringList{"CXMPriority", "CAMPriority", "CXAMPriority"} << none << none;
        QTest::newRow("no steam map test") << "KPExtractionSteamMap" << QStringList{"E_MAPPRIOR.MAP_TEST.IN_1=0"}
                                           << none << QStringList{"CXMPriority", "CAMPriority"} << none;
        // Band 2 follows its box; the box's item is left as it was.
        QTest::newRow("semiautomatic start")
            << "KPStartSettings"
            << QStringList{"C_START.TO_RATED.IN=3", "C_CRIT_SPD.USE_BAND1.IN=1", "C_CRIT_SPD.USE_BAND2.IN=1",
                           "C_START.USE_INITV1.IN=1", "C_START.START_CONF.IN=2"}
            << QStringList{"GBand2"} << QStringList{"CUseInitV1", "PInitV1"}
            << QStringList{"C_START.USE_INITV1.IN=1"};
        QTest::newRow("relay as level switch")
            << "KPRelaySettings" << QStringList{"C_RELAY05.RLY_CONF.IN=2"}
            << QStringList{"PRelayTest05", "PRelay05Level", "PRelay05Config"} << QStringList{"PRelay05Indication"}
            << QStringList{"C_RELAY05.RLY_CONF.I_NAME=2"};
        QTest::newRow("relay not used") << "KPRelaySettings" << QStringList{"C_RELAY05.RLY_CONF.IN=1"} << none
                                        << QStringList{"PRelayTest05", "PRelay05Config", "PRelay05Level"} << none;
        QTest::newRow("contact input used, local/remote")
            << "KPContactInputs" << QStringList{"C_CONT_IN.C_IN_05.IN=2", "C_APPL.USE_LCLRMT.IN=1"}
            << QStringList{"KContactInput05", "PLocalRemoteContacts", "PLocalRemote1", "PLocalRemoteSioB3"} << none
            << none;
        QTest::newRow("contact input unused, no local/remote")
            << "KPContactInputs" << QStringList{"C_CONT_IN.C_IN_05.IN=1", "C_APPL.USE_LCLRMT.IN=0"} << none
            << QStringList{"KContactInput05", "PLocalRemoteContacts", "PLocalRemote2"} << none;
        QTest::newRow("CPU ports with Modbus")
            << "KPCpuCommunications" << QStringList{"C_COMM.PORTA_CONF.IN=2", "C_COMM.PORTB_CONF.IN=3"}
            << QStringList{"PPort1Modbus", "GModbus1General", "GModbusScale", "GPrinter"} << none << none;
        QTest::newRow("SIO-B taken away")
            << "KPSioCommunications" << QStringList{"Z_SIO_COM.SIO_B_OK.NOT=0", "C_COMM.PORTB_CONF.IN=1"}
            << QStringList{"KPSioCommunications", "PSioA"}
            << QStringList{"PSioB", "EDriver4B", "CDisableSioB", "PPort2Modbus"}
            << none;
        QTest::newRow("no SIO module") << "KPSioCommunications"
                                       << QStringList{"Z_SIO_COM.SIO_A_OK.NOT=0", "Z_SIO_COM.SIO_B_OK.NOT=0"} << none
                                       << QStringList{"KPSioCommunications", "PSioA", "EDriver3A"} << none;
        QTest::newRow("SIO channels: RQV on A4, Modbus on B3")
            << "KPSioCommunications"
            << QStringList{"Z_SIO_COM.SIO_A_OK.NOT=1", "Z_SIO_COM.SIO_B_OK.NOT=1", "C_COMM.SIOA_PORT4.IN=3",
                           "C_COMM.SIOB_PORT3.IN=2"}
            << QStringList{"PSioB", "EBaudSioA4", "PSioBPort3Modbus"} << QStringList{"PSioAPort4Modbus", "EBaudSioB3"}
            << none;
        QTest::newRow("aux limiter") << "KPAuxControl" << QStringList{"C_APPL.AUX_CONF.IN=3", "C_AUX.USE_RMTAUX.IN=1"}
                                     << QStringList{"PAuxSetptInit", "GRemoteAux"} << none << none;
        QTest::newRow("single valve hides the active extraction page")
            << "KPExtractionControl" << QStringList{"C_APPL.TURB_TYPE.IN=1"} << none
            << QStringList{"KPExtractionControl", "KPExtractionSteamMap", "ERatioLimiterMode"} << none;
    }
    void rulesOfferWhatIsConfigured()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, settings);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        QFETCH(QStringList, kept);
        QCOMPARE(app->Set({"C_APPL.TURB_TYPE.IN=3", "C_APPL.RL_MODE.IN=1"}), QString());
        QTRY_VERIFY_WITH_TIMEOUT(Shown("KPExtractionControl"), Patience);
        OpenPage(Window(), page);
        QCOMPARE(app->Set(settings), QString());
        for (const QString& name : shown)
            QTRY_VERIFY2_WITH_TIMEOUT(Shown(name), qPrintable(name + " is hidden"), Patience);
        for (const QString& name : hidden)
            QTRY_VERIFY2_WITH_TIMEOUT(!Shown(name), qPrintable(name + " is shown"), Patience);
        // A hidden page leaves the operator on Application; settings the rules hide keep their values.
        QVERIFY(Find<TKQPageControl>(Window(), "PageControl1")->ActivePage()->TabVisible());
        for (const QString& setting : kept)
            QCOMPARE(app->Read(setting.section(u'=', 0, 0)), setting.section(u'=', 1));
        QCOMPARE(app->dialogs.texts(), QStringList());
    }

    // Each row: what makes the control lock a setting, and what releases it.
    // Locked settings stay monitor-only through View Only and back to Change.
    void stateLocksFollowTheTurbine_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("lock");
        QTest::addColumn<QStringList>("release");
        const QStringList running{"X_TRIPS.NOT_SD.NOT=1"}, shutDown{"X_TRIPS.NOT_SD.NOT=0"};
        QTest::newRow("start routine") << "KPStartSettings" << "C_START.START_CONF.IN" << running << shutDown;
        QTest::newRow("idle to rated") << "KPStartSettings" << "C_START.TO_RATED.IN" << running << shutDown;
        QTest::newRow("steam map test on every map")
            << "KPExtractionSteamMap" << "E_MAPPRIOR.MAP_TEST.IN_1" << running << shutDown;
        QTest::newRow("test stroke") << "KPExtractionSteamMap" << "E_MAPPRIOR.S_STROKE.TUNE" << running << shutDown;
        QTest::newRow("relay forcing not enabled")
            << "KPRelayPositions" << "J_RELAYS.OUT5.NO" << QStringList{"X_TRIPS.NOT_SD.NOT=0", "J_RELAYS.RLY_TEST.IN=0"}
            << QStringList{"J_RELAYS.RLY_TEST.IN=1"};
        QTest::newRow("critical speed without idle")
            << "KPStartSettings" << "C_CRIT_SPD.USE_BAND1.IN" << QStringList{"C_START.TO_RATED.IN=1"}
            << QStringList{"C_START.TO_RATED.IN=3"};
    }
    void stateLocksFollowTheTurbine()
    {
        QFETCH(QString, page);
        QFETCH(QString, item);
        QFETCH(QStringList, lock);
        QFETCH(QStringList, release);
        QCOMPARE(app->Set({"C_APPL.TURB_TYPE.IN=3", "C_APPL.RL_MODE.IN=1"}), QString());
        QTRY_VERIFY_WITH_TIMEOUT(Shown(page), Patience);
        OpenPage(Window(), page);
        QCOMPARE(app->Set(lock), QString());
        QTRY_VERIFY_WITH_TIMEOUT(MonitorOnly(page, item), Patience);
        SwitchTo(false);
        SwitchTo(true);
        QVERIFY(MonitorOnly(page, item));
        QCOMPARE(app->Set(release), QString());
        QTRY_VERIFY_WITH_TIMEOUT(!MonitorOnly(page, item), Patience);
        // Released while viewing only, a setting stays view only.
        QCOMPARE(app->Set(lock), QString());
        QTRY_VERIFY_WITH_TIMEOUT(MonitorOnly(page, item), Patience);
        SwitchTo(false);
        QCOMPARE(app->Set(release), QString());
        QTRY_VERIFY_WITH_TIMEOUT((Bound(page, item)[0]->property("Tag").toInt() & 0xDC00) == 0, Patience);
        QVERIFY(MonitorOnly(page, item));
        SwitchTo(true);
        QVERIFY(!MonitorOnly(page, item));
    }

    // A readout's calibration offers its go-to buttons; pressing one releases the other.
    void calibrationGoesToOneEndAtATime()
    {
        OpenPage(Window(), "KPReadouts");
        const auto button = [](const char* item) {
            return qobject_cast<TKQToggleButton*>(Bound("KPReadouts", item)[0]);
        };
        TKQToggleButton* minimum = button("A_AN_OUT2.CALIB_MIN.IN_2");
        TKQToggleButton* maximum = button("A_AN_OUT2.CALIB_MAX.IN_2");
        QCOMPARE(app->Set({"A_AN_OUT2.CALIB_AO.IN_2=0"}), QString());
        QTRY_VERIFY_WITH_TIMEOUT(!minimum->isEnabled() && !maximum->isEnabled(), Patience);
        QCOMPARE(app->Set({"A_AN_OUT2.CALIB_AO.IN_2=1"}), QString());
        QTRY_VERIFY_WITH_TIMEOUT(minimum->isEnabled() && maximum->HasValue(), Patience);
        minimum->Click();
        QVERIFY(app->WaitForValue("A_AN_OUT2.CALIB_MIN.IN_2", "1"));
        QTRY_VERIFY_WITH_TIMEOUT(minimum->Value(), Patience);
        maximum->Click();
        QVERIFY(app->WaitForValue("A_AN_OUT2.CALIB_MAX.IN_2", "1"));
        QVERIFY(app->WaitForValue("A_AN_OUT2.CALIB_MIN.IN_2", "0"));
        QCOMPARE(app->dialogs.texts(), QStringList());
    }

    // Settings only Program mode may change never become operable here.
    void configurationOnlySettingsStayLocked()
    {
        OpenPage(Window(), "KPApplication");
        SwitchTo(false);
        SwitchTo(true);
        for (const char* item : {"C_APPL.TURB_TYPE.IN", "CUSTOMSTRING_1", "C_APPL.RL_MODE.IN"})
            QVERIFY2(MonitorOnly("KPApplication", item), item);
        QVERIFY(!MonitorOnly("KPSpeedControl", "C_SPDSETPT.F_SPD_RATE.TUNE"));
    }

    // A changed tunable gets its ticked hold box and the control holds it;
    // "Save Changes" has the control store its values and release the holds.
    void holdBoxesMarkChangedTunablesUntilSaved_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("tunable");
        QTest::addColumn<QString>("hold");
        QTest::newRow("speed setpoint fast rate") << "KPSpeedControl" << "C_SPDSETPT.F_SPD_RATE.TUNE"
                                                  << "C_SPDSETPT.HOLD_FAST.CTRL";
        QTest::newRow("extraction entered rate") << "KPExtractionControl" << "C_EXTR.ENTRD_RATE.TUNE"
                                                 << "C_EXTR.HOLD_ENTRD.CTRL";
        QTest::newRow("steam map K1") << "KPExtractionSteamMap" << "H_MAP_TUNE.K1.TUNE" << "H_MAP_TUNE.HOLD_K1.CTRL";
    }
    void holdBoxesMarkChangedTunablesUntilSaved()
    {
        QFETCH(QString, page);
        QFETCH(QString, tunable);
        QFETCH(QString, hold);
        QCOMPARE(app->Set({"C_APPL.TURB_TYPE.IN=3", "C_APPL.RL_MODE.IN=1"}), QString());
        QTRY_VERIFY_WITH_TIMEOUT(Shown(page), Patience);
        OpenPage(Window(), page);
        auto* spin = qobject_cast<TKSpinEdit*>(Bound(page, tunable).value(0));
        auto* box = qobject_cast<TKQCheckBox*>(Bound(page, hold).value(0));
        QVERIFY(spin && box);
        QTRY_VERIFY_WITH_TIMEOUT(spin->isEnabled() && box->HasValue(), Patience);
        QVERIFY(box->isHidden());
        const QString before = app->Read(tunable);
        spin->StepFineDown();
        QVERIFY(app->WaitForValue(hold, "1"));
        QVERIFY(app->Read(tunable) != before);
        QVERIFY(!box->isHidden() && box->isChecked());

        app->dialogs.addAnswer(mrOk);
        Find<QPushButton>(Window(), "SaveChangesButton")->click();
        QCOMPARE(app->dialogs.texts(), QStringList{"Values saved on control."});
        QVERIFY(app->WaitForValue(hold, "0"));
        QTRY_VERIFY_WITH_TIMEOUT(box->isHidden(), Patience);
        QVERIFY(FMain->isEnabled());
    }

    // A failed store is told, and the main window is usable again.
    void failedSaveGivesTheMainWindowBack()
    {
        QVERIFY(app->server.SetFaults("refuse=SaveValues"));
        Find<QPushButton>(Window(), "SaveChangesButton")->click();
        QVERIFY(app->server.SetFaults(""));
        const QString texts = app->dialogs.texts().join(" / ");
        QVERIFY2(texts.contains("SaveValues") && !texts.contains("Values saved"), qPrintable(texts));
        QVERIFY(FMain->isEnabled());
    }

    // Closing asks nothing: the End page shows while the main window takes the window down.
    void closingAsksNothing()
    {
        Window()->SubWindow()->close();
        QCOMPARE(Find<TKQPageControl>(Window(), "PageControl1")->ActivePage()->objectName(), QString("KPEnd"));
        QTRY_VERIFY_WITH_TIMEOUT(!FMain->FServiceMode && TAppFixture::Settled(), Patience);
        QCOMPARE(app->dialogs.texts(), QStringList());
    }
};

int main(int argc, char** argv)
{
    return RunOnEditor<TestServiceMode>(argc, argv, app, "4309", &TFMain::ServiceEditClick,
                                        [] { return !FMain->FServiceMode.isNull(); });
}

#include "tst_servicemode.moc"
