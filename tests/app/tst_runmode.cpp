// The Run mode window and the small windows it opens, against the real server:
// pages and panels follow the control's configuration, the alarm lists fill a
// line per tick, page changes show the strip's buttons, the security lock guards the gains, valve calibration and the
// clock, and each small window reaches the control and closes by hiding.
#include "app/Rqv_dynamics.h"
#include "app/Rqv_run.h"
#include "controls/K4812SpinTune.h"
#include "controls/KQBoxLabel.h"
#include "controls/KQItemSpy.h"
#include "controls/KQMomentaryButton.h"
#include "controls/KQNumberEdit.h"
#include "controls/KQOneShotButton.h"
#include "tests/app/AppFixture.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QTabBar>
#include <QTest>

namespace {

constexpr int Patience = TAppFixture::Patience;
TAppFixture* app = nullptr;

TFRunMode* Run()
{
    return FMain->FRunMode;
}

// Shown as the window's rules see it: a tab's visibility, else the component's own Visible.
bool Shown(const QString& name)
{
    QObject* object = Find<QObject>(name);
    if (auto* page = qobject_cast<TKQTabSheet*>(object))
        return page->TabVisible();
    const QVariant visible = object->property("Visible");
    return visible.isValid() ? visible.toBool() : !qobject_cast<QWidget*>(object)->isHidden();
}

// Forces an item in the control and waits until the window's spy on it has the value.
bool Force(const QString& item, const QString& value)
{
    if (!app->server.Simulate(QStringLiteral("set %1=%2").arg(item, value)))
        return false;
    for (TKQItemSpy* spy : Run()->findChildren<TKQItemSpy*>())
        if (spy->ItemName() == item)
            return QTest::qWaitFor([spy, value] { return spy->HasValue() && spy->Value().toString() == value; },
                                   Patience);
    return app->WaitForValue(item, value);
}

void GoTo(const QString& page)
{
    Run()->PageControl1->SetActivePage(Find<TKQTabSheet>(page));
}
void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }
void Click(const QString& button) { Click(Find(button)); }

// All tabs shown, a turbine with two valves, security locked.
bool Configure()
{
    return Force("C_APPL.TURB_TYPE.IN", "3") && Force("C_APPL.CASC_CONF.IN", "2") && Force("C_APPL.AUX_CONF.IN", "2");
}

bool Unlock()
{
    app->dialogs.addPassword("4309");
    Click("BSecurityUnlock");
    return !Run()->SecurityLocked();
}
void Lock()
{
    if (Run()->SecurityLocked())
        return;
    app->dialogs.addAnswer(mrOk);
    Click("BSecurityLock");
}

bool GainButtonsMonitorOnly(QWidget* window, bool monitorOnly)
{
    const auto buttons = window->findChildren<TKQMomentaryButton*>();
    return !buttons.isEmpty() && std::all_of(buttons.begin(), buttons.end(), [monitorOnly](TKQMomentaryButton* b) {
        return b->IsMonitorOnly() == monitorOnly && b->isEnabled() != monitorOnly;
    });
}

QList<TRunDialog*> SmallWindows()
{
    return Run()->findChildren<TRunDialog*>(Qt::FindDirectChildrenOnly);
}
// Presses the button that opens a small window on its page; the window it showed.
TRunDialog* Open(const QString& page, const QString& button)
{
    GoTo(page);
    QList<TRunDialog*> shownBefore;
    for (TRunDialog* window : SmallWindows())
        if (window->isVisible())
            shownBefore << window;
    Click(button);
    for (TRunDialog* window : SmallWindows())
        if (window->isVisible() && !shownBefore.contains(window))
            return window;
    qFatal("%s showed no window", qPrintable(button));
}

} // namespace

// ---------------------------------------------------------------------------

class TestRunConfiguration : public QObject {
    Q_OBJECT
private slots:
    // The rows run in order: a row that keeps a panel follows one that showed it.
    void configurationShowsPanels_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("component");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("shown");
        const char* routine = "C_START.TO_RATED.IN";
        QTest::newRow("start sequence") << routine << "KPStartSeqPanel" << "4" << true;
        QTest::newRow("idle/rated") << routine << "KPIdleRatedPanel" << "3" << true;
        QTest::newRow("idle/rated: no start sequence") << routine << "KPStartSeqPanel" << "3" << false;
        QTest::newRow("other routine keeps the panels") << routine << "KPIdleRatedPanel" << "7" << true;
        QTest::newRow("no idle") << routine << "KPIdleRatedPanel" << "1" << false;
        const char* type = "C_APPL.TURB_TYPE.IN";
        QTest::newRow("admission: its page") << type << "KPExtrAdmCntrl" << "4" << true;
        QTest::newRow("admission: demand") << type << "KPDemand" << "4" << true;
        QTest::newRow("split range: no page") << type << "KPExtrAdmCntrl" << "2" << false;
        QTest::newRow("split range: no demand") << type << "KPDemand" << "2" << false;
        QTest::newRow("split range: plain status line") << type << "LNonExtractionType" << "2" << true;
        QTest::newRow("split range: second valve") << type << "KPValve2Val" << "2" << true;
        QTest::newRow("0 keeps the valves of the page") << type << "KPValve2Val" << "0" << true;
        QTest::newRow("0: no valves in the strip") << type << "KPValve1" << "0" << false;
        QTest::newRow("single valve: in the strip") << type << "KPValve1" << "1" << true;
        QTest::newRow("single valve: one on the page") << type << "KPValve2Val" << "1" << false;
        QTest::newRow("other: extraction status line") << type << "LExtractionType" << "9" << true;
        const std::pair<const char*, const char*> booleans[] = {
            {"C_RMT_SPD.USE_RMTSPD.IN", "KPRemoteSpeedSetpoint"}, {"C_EXTR.USE_RMTXTR.IN", "KPRemoteExtAdmSetpoint"},
            {"C_RMT_CAS.USE_RMTCAS.IN", "KPRemoteCascadeSetpoint"}, {"C_AUX.USE_RMTAUX.IN", "KPRemoteAuxiliarySetpoint"},
            {"CONF_VAL_1.USE_FSP.B_NAME", "KPFSP"}, {"CONF_VAL_1.ARM_DISARM.AND", "KPFreqControl"},
            {"C_APPL.USE_LCLRMT.IN", "PLocalRemoteButton"}, {"C_COMM.USERQVTRIP.B_NAME", "PShutdownButton"},
            {"J_CTRLSTOP.ACK_STP_L.LATCH", "BAbort"}, {"J_CTRLSTOP.ACK_STP_L.LATCH", "KShutdownStatus"},
            {"D_AUTOENBL.AUTO_STRT.LATCH_R", "BHalt"}};
        for (const auto& [item, component] : booleans) {
            QTest::addRow("%s on", component) << item << component << "1" << true;
            QTest::addRow("%s off", component) << item << component << "0" << false;
        }
        QTest::newRow("shutdown acknowledged") << "J_CTRLSTOP.ACK_STP_L.LATCH" << "BControlledShutdown" << "1" << false;
        QTest::newRow("shutdown not acknowledged") << "J_CTRLSTOP.ACK_STP_L.LATCH" << "BControlledShutdown" << "0" << true;
        QTest::newRow("sequence halted") << "D_AUTOENBL.AUTO_STRT.LATCH_R" << "BContinue" << "0" << true;
        QTest::newRow("mechanical drive") << "C_APPL.APPL_TYPE.IN" << "KPGenerator" << "1" << false;
        QTest::newRow("generator") << "C_APPL.APPL_TYPE.IN" << "KPGenerator" << "2" << true;
        QTest::newRow("no cascade") << "C_APPL.CASC_CONF.IN" << "KPCascadeControl" << "1" << false;
        QTest::newRow("cascade") << "C_APPL.CASC_CONF.IN" << "KPCascadeControl" << "2" << true;
        QTest::newRow("no auxiliary") << "C_APPL.AUX_CONF.IN" << "KPAuxiliaryControl" << "1" << false;
        QTest::newRow("auxiliary") << "C_APPL.AUX_CONF.IN" << "KPAuxiliaryControl" << "3" << true;
        for (const char* state : {"7", "10"})
            QTest::addRow("low hold %s", state) << "D_AUTOSTAT.AUTO_STRT.MSG_SEL" << "KPLowHoldTime" << state << true;
        for (const char* state : {"8", "9"})
            QTest::addRow("high hold %s", state) << "D_AUTOSTAT.AUTO_STRT.MSG_SEL" << "KPHighHoldTime" << state << true;
        QTest::newRow("no hold") << "D_AUTOSTAT.AUTO_STRT.MSG_SEL" << "KPLowHoldTime" << "8" << false;
    }
    void configurationShowsPanels()
    {
        QFETCH(QString, item);
        QFETCH(QString, component);
        QFETCH(QString, value);
        QVERIFY(Force(item, value));
        QTEST(Shown(component), "shown");
    }

    void syncOrLoadshare_data()
    {
        QTest::addColumn<QString>("sync");
        QTest::addColumn<QString>("loadshare");
        QTest::addColumn<QString>("caption"); // null: panel hidden
        QTest::addColumn<bool>("buttons");
        QTest::newRow("sync") << "1" << "0" << "Sync" << true;
        QTest::newRow("both: sync wins") << "1" << "1" << "Sync" << true;
        QTest::newRow("loadshare") << "0" << "1" << "Loadshare" << false;
        QTest::newRow("neither") << "0" << "0" << QString() << false;
    }
    void syncOrLoadshare()
    {
        QFETCH(QString, sync);
        QFETCH(QString, loadshare);
        QFETCH(QString, caption);
        QVERIFY(Force("CONF_VAL_1.USE_SYNC.B_NAME", sync));
        QVERIFY(Force("CONF_VAL_1.USE_LD_SHR.B_NAME", loadshare));
        QCOMPARE(Shown("KPSyncLoadshare"), !caption.isNull());
        if (caption.isNull())
            return;
        QCOMPARE(Find<QLabel>("LSyncOrLoadshare")->text(), caption);
        QTEST(Shown("BSyncEnable"), "buttons");
        QTEST(Shown("BSyncDisable"), "buttons");
    }

    void localRemoteShowsTheOtherChoice()
    {
        QVERIFY(Force("C_APPL.USE_LCLRMT.IN", "1"));
        for (const bool remote : {true, false, true}) {
            QVERIFY(Force("J_RMT_LCL.RMT_SEL.LATCH", remote ? "1" : "0"));
            auto* offered = Find<TKQMomentaryButton>(remote ? "BLocal" : "BRemote");
            QVERIFY(offered->Visible() && offered->Enabled());
            QVERIFY(!Shown(remote ? "BRemote" : "BLocal"));
        }
    }

    void extractionStatusJoinsTheControlsTwoLines()
    {
        QVERIFY(Force("J_CONTROL.LINE1_CTRL.B_TO_STR", "Speed Control"));
        QVERIFY(Force("J_CONTROL.LINE2_CTRL.B_TO_STR", "Extraction Enabled"));
        QCOMPARE(Find<QLabel>("LExtractionType")->text(), QString("Speed Control Extraction Enabled"));
    }
};

// ---------------------------------------------------------------------------

// Page changes and the alarm lists. The lists are driven tick by tick here; the
// operator's shift sees the timer fill them.
class TestRunPagesAndAlarms : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Configure()); }
    void init()
    {
        // The clear mark goes up and down again; either change restarts the lists.
        auto* cleared = Find<TKQItemSpy>("KSpyAlarmTripClear");
        QVERIFY(app->server.Simulate("clear"));
        QTRY_COMPARE_WITH_TIMEOUT(cleared->Value().toString(), QString("1"), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(cleared->Value().toString(), QString("0"), Patience);
        QVERIFY(Alarms({}));
        GoTo("KPStartTurbine");
        Run()->tRunTimer->stop();
    }
    void cleanup() { Run()->tRunTimer->start(); }

    void aListFillsALineAtATimeUpToTheAlarmCount()
    {
        QVERIFY(Alarms({"Lube Oil Pressure Low", "Exhaust Temperature High", "Vibration High"}));
        for (int tick = 1; tick <= 5; ++tick) {
            Run()->FillCurrentAlarms();
            QCOMPARE(Current()->count(), std::min(tick, 3));
        }
        for (int line = 1; line <= 3; ++line) {
            const QString n = QString::number(line);
            QCOMPARE(Current()->item(line - 1)->text(),
                     app->Read("Y_ALARMS.ALARMS.EV_TM_" + n) + '\t' + app->Read("Y_ALARMS.ALARMS.MSG_O_" + n));
        }
        QVERIFY(Current()->item(0)->text().endsWith("\tVibration High"));

        // A new alarm changes the count: the list starts again from line 1.
        QVERIFY(Alarms({"Overspeed Alarm"}));
        Run()->FillCurrentAlarms();
        QCOMPARE(Current()->count(), 1);
        QVERIFY(Current()->item(0)->text().endsWith("\tOverspeed Alarm"));
    }

    void theAlarmsButtonKeepsTheListTheTabRestartsIt()
    {
        QVERIFY(Alarms({"First", "Second", "Third"}));
        GoTo("KPCurrentAlarms");
        for (int tick = 0; tick < 3; ++tick)
            Run()->FillCurrentAlarms();
        QCOMPARE(Current()->count(), 3);

        GoTo("KPSpeedControl");
        Click("BCurrentAlarms");
        Run()->FillCurrentAlarms();
        QCOMPARE(Current()->count(), 3);

        GoTo("KPSpeedControl");
        GoTo("KPCurrentAlarms");
        Run()->FillCurrentAlarms();
        QCOMPARE(Current()->count(), 1);
    }


    void enteringAPageShowsItsButtons_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("overspeed");
        QTest::addColumn<bool>("security");
        QTest::addColumn<bool>("timeDate");
        QTest::addColumn<bool>("resetAlarms");
        QTest::newRow("start") << "KPStartTurbine" << "Start Turbine" << false << false << false << false;
        QTest::newRow("speed") << "KPSpeedControl" << "Speed Control" << true << true << false << false;
        QTest::newRow("valves") << "KPValves" << "Valves" << false << true << false << false;
        QTest::newRow("alarms") << "KPCurrentAlarms" << "Alarms" << false << true << true << true;
        QTest::newRow("alarm history") << "KPAlarmHistory" << "Alarm History" << false << false << true << false;
    }
    void enteringAPageShowsItsButtons()
    {
        QFETCH(QString, page);
        QFETCH(QString, caption);
        // From a page that shows every button of the strip.
        GoTo(page == "KPCurrentAlarms" ? "KPSpeedControl" : "KPCurrentAlarms");
        QTabBar* tabs = Run()->PageControl1->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(Run()->PageControl1->indexOf(Find(page))).center());
        QCOMPARE(Run()->PageControl1->ActivePageName(), page);
        QCOMPARE(Run()->Caption(), "Run Mode - " + caption);
        QTEST(Shown("POverspeedTestButton"), "overspeed");
        QTEST(Shown("PSecurityButton"), "security");
        QTEST(Shown("PSetTimeDateButton"), "timeDate");
        QTEST(Shown("PResetAlarmsButton"), "resetAlarms");
    }
private:
    QListWidget* Current() const { return Find<QListWidget>("LBCurrentAlarms"); }
    // Raises alarms and waits for the window to hear the control's alarm count
    // (forcing the count would send one more change, which restarts the lists).
    bool Alarms(const QStringList& texts) const
    {
        for (const QString& text : texts)
            if (!app->server.Simulate("alarm " + text))
                return false;
        auto* spy = Find<TKQItemSpy>("KSpyAlarmNum");
        const QString count = app->Read("Y_ALARMS.ALARMS.NUM_EVENTS");
        return QTest::qWaitFor([spy, count] { return spy->HasValue() && spy->Value().toString() == count; }, Patience);
    }
};

// ---------------------------------------------------------------------------

// The security lock, and the small windows the Run window opens: closing one
// hides it.
class TestRunSecurityAndWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(Configure());
        GoTo("KPValves");
        Click("BCalibrate");
    }
    void init()
    {
        app->dialogs.clear();
        GoTo("KPValves");
    }
    void cleanup()
    {
        for (TRunDialog* window : SmallWindows())
            window->close();
        Lock();
    }

    // Only the Run password unlocks and locking asks first. The lock holds the
    // calibration, the clock and every dynamics window's gains (pressing
    // Dynamics applies it again), never a dynamics window's Save Settings.
    void onlyTheRunPasswordUnlocksAndLockingAsksFirst()
    {
        QWidget* windows[] = {Run()->SpeedDynamics(), Run()->ExtAdmDynamics(), Run()->CascadeDynamics(),
                              Run()->AuxiliaryDynamics()};
        const auto locked = [&](bool locked) {
            return Run()->SecurityLocked() == locked && Shown("BSecurityUnlock") == locked
                   && Shown("BSecurityLock") != locked && CalibrationLocked(locked)
                   && std::all_of(std::begin(windows), std::end(windows),
                                  [locked](QWidget* window) { return GainButtonsMonitorOnly(window, locked); });
        };
        app->dialogs.addPassword("4177");
        app->dialogs.addPassword("");
        Click("BSecurityUnlock");
        QCOMPARE(app->dialogs.passwordPrompts().value(0), QString("Enter password for Run mode:"));
        QCOMPARE(app->dialogs.passwordPrompts().size(), 3);
        QVERIFY(locked(true));
        TRunDialog* speed = Open("KPSpeedControl", "BSpeedDynamics");
        auto* save = Find<TKQOneShotButton>(speed, "SaveSettingsButton");
        QVERIFY(!save->IsMonitorOnly() && save->isEnabled());
        speed->close();

        QVERIFY(Unlock());
        QVERIFY(locked(false));
        Run()->SpeedDynamics()->SetGainButtonsMonitorOnly(true);
        QCOMPARE(Open("KPSpeedControl", "BSpeedDynamics"), speed);
        QVERIFY(GainButtonsMonitorOnly(speed, false));
        speed->close();

        app->dialogs.clear();
        app->dialogs.addAnswer(mrCancel);
        app->dialogs.addAnswer(mrOk);
        Click("BSecurityLock");
        QVERIFY(locked(false));
        Click("BSecurityLock");
        QVERIFY(locked(true));
        QCOMPARE(app->dialogs.texts(), QStringList({"Lock Security?", "Lock Security?"}));
    }

    void goButtonsFollowTheActuatorState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("unlock");
        QTest::addColumn<bool>("operable");
        for (const char* state : {"1", "2", "3", "4", "7"}) {
            QTest::addRow("state %s unlocked", state) << state << true << true;
            QTest::addRow("state %s locked", state) << state << false << false;
        }
        for (const char* state : {"0", "5", "6"})
            QTest::addRow("state %s unlocked", state) << state << true << false;
    }
    void goButtonsFollowTheActuatorState()
    {
        QFETCH(QString, state);
        QFETCH(bool, unlock);
        QFETCH(bool, operable);
        if (unlock)
            QVERIFY(Unlock());
        for (const QString n : {"1", "2"}) {
            QVERIFY(Force(QStringLiteral("I_STRK_V%1.ACT%1_MSG.MSG_SEL").arg(n), state));
            for (const char* go : {"GoMan", "GoMin", "GoMax"})
                QCOMPARE(Find<TKQMomentaryButton>("BValve" + n + go)->IsMonitorOnly(), !operable);
        }
    }

    // A Go button let go gives way to the other two; unlocking, a page change,
    // pressing "Enable" and closing calibration each bring it back.
    void aGoButtonLetGoComesBack()
    {
        auto* goMin = Find<TKQMomentaryButton>("BValve1GoMin");
        const auto letGo = [goMin] {
            Run()->GoButtonStateChange(goMin);
            return !goMin->Visible() && Find<TKQMomentaryButton>("BValve1GoMan")->Visible()
                   && Find<TKQMomentaryButton>("BValve1GoMax")->Visible();
        };
        QVERIFY(letGo());
        QVERIFY(Unlock());
        QVERIFY(goMin->Visible());
        QVERIFY(letGo());
        GoTo("KPSpeedControl");
        QVERIFY(goMin->Visible());
        GoTo("KPValves");
        QVERIFY(letGo());
        auto* enable = Find<TKQMomentaryButton>("BValve1Enable");
        QTRY_COMPARE_WITH_TIMEOUT(enable->PulseState(), TPulseState::Idle, Patience);
        QTest::mousePress(enable, Qt::LeftButton);
        QVERIFY(goMin->Visible());
        QTest::mouseRelease(enable, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(enable->PulseState(), TPulseState::Idle, Patience);

        QVERIFY(letGo());
        Click("BCloseCalibrate");
        QVERIFY(goMin->Visible());
        Click("BCalibrate");
    }

    // Locking while a Go button still runs its pulse locks everything else at
    // once, and the Go button when its pulse ends; nothing is reported.
    void lockDuringAPulseIsAppliedCompletely()
    {
        QVERIFY(Unlock());
        QVERIFY(Force("I_STRK_V1.ACT1_MSG.MSG_SEL", "1"));
        auto* goMax = Find<TKQMomentaryButton>("BValve1GoMax");
        QTRY_COMPARE_WITH_TIMEOUT(goMax->PulseState(), TPulseState::Idle, Patience);
        QTest::mousePress(goMax, Qt::LeftButton);
        QVERIFY(goMax->PulseState() != TPulseState::Idle);
        // The valve arrives while the button is held; the operator locks.
        QVERIFY(Force("I_STRK_V1.ACT1_MSG.MSG_SEL", "0"));
        QVERIFY(goMax->isEnabled());
        app->dialogs.addAnswer(mrOk);
        Click("BSecurityLock");
        QVERIFY(Run()->SecurityLocked() && CalibrationLocked(true) && goMax->IsMonitorOnly());
        QTest::mouseRelease(goMax, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(goMax->PulseState(), TPulseState::Idle, Patience);
        QVERIFY(!goMax->isEnabled());
        QCOMPARE(app->dialogs.texts(), QStringList({"Lock Security?"}));
        QVERIFY(Force("I_STRK_V1.ACT1_MSG.MSG_SEL", "1"));
    }

    // Closing a window only hides it, and sends nothing the operator did not enter.
    void closingAWindowHidesIt_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("caption");
        QTest::newRow("speed") << "KPSpeedControl" << "BSpeedDynamics" << "Speed Control Dynamics";
        QTest::newRow("auxiliary") << "KPAuxiliaryControl" << "BAuxiliaryDynamics" << "Auxiliary Control Dynamics";
        QTest::newRow("overspeed") << "KPSpeedControl" << "BOverspeedTest" << "Overspeed Test";
        QTest::newRow("time and date") << "KPCurrentAlarms" << "BSetTimeDate" << "Set Time and Date";
    }
    void closingAWindowHidesIt()
    {
        QFETCH(QString, page);
        QFETCH(QString, opener);
        QVERIFY(Unlock());
        QPointer<TRunDialog> window = Open(page, opener);
        QTEST(window->windowTitle(), "caption");
        // Leaving an edit box sends what it shows: let the values arrive first.
        for (TKQNumberEdit* edit : window->findChildren<TKQNumberEdit*>())
            QTRY_VERIFY_WITH_TIMEOUT(!edit->text().isEmpty(), Patience);
        if (auto* closeButton = window->findChild<QWidget*>("CancelButton"))
            Click(closeButton);
        else
            QVERIFY(window->close());
        QVERIFY(window && window->isHidden());
        QCOMPARE(app->dialogs.texts(), QStringList());
    }

    // The clock window shows its password label, not the box; "Set All" sets
    // the control's clock from the editors.
    void clockIsSetFromTheEditors()
    {
        QVERIFY(Unlock());
        TRunDialog* clock = Open("KPAlarmHistory", "BSetTimeDate");
        QVERIFY(Find(clock, "PasswordEdit")->isHidden());
        QVERIFY(Find(clock, "LPassword")->isVisible());
        for (const auto& [edit, item, number] : {std::tuple("HourEdit", "MAIN.HOUR_SW.NC", "13"),
                                                 std::tuple("MinuteEdit", "MAIN.MIN_SW.NC", "7"),
                                                 std::tuple("SecondEdit", "MAIN.SEC_SW.NC", "0")}) {
            auto* box = Find<TKQNumberEdit>(clock, edit);
            QTRY_COMPARE_WITH_TIMEOUT(box->text(), app->Read(item), Patience);
            box->selectAll();
            QTest::keyClicks(box, number);
            QTest::keyClick(box, Qt::Key_Return);
            QVERIFY(app->WaitForValue(item, number));
        }
        auto* setAll = Find<TKQOneShotButton>(clock, "SetAllButton");
        QTRY_COMPARE_WITH_TIMEOUT(setAll->PulseState(), TPulseState::Idle, Patience);
        Click(setAll);
        // Control time runs fast: a minute may have passed.
        const TKQBoxLabel* timeOfDay = Find<TKQBoxLabel>(clock, "ControlTimeOfDay");
        QTRY_VERIFY_WITH_TIMEOUT(timeOfDay->text().startsWith("13:07") || timeOfDay->text().startsWith("13:08"),
                                 Patience);
        QCOMPARE(app->dialogs.texts(), QStringList());
    }

private:
    // The calibration controls and the clock as the lock leaves them.
    static bool CalibrationLocked(bool locked)
    {
        for (const QString n : {"1", "2"}) {
            const QString valve = "KValve" + n;
            if (Find<TK4812SpinTune>(valve + "ManualPos")->IsMonitorOnly() != locked
                || Find<TK4812SpinTune>(valve + "Dither")->IsMonitorOnly() != locked
                || Find<TKQBoxLabel>(valve + "MaxCurrent")->Enabled() == locked
                || Find<TKQMomentaryButton>(valve + "MinCurrentLower")->IsMonitorOnly() != locked
                || Find<TKQMomentaryButton>("BValve" + n + "Enable")->IsMonitorOnly() != locked)
                return false;
        }
        return Find<TKQDAOneShotButton>("BSaveSettings")->IsMonitorOnly() == locked
               && Find("BSetTimeDate")->isEnabled() == !locked;
    }
};

// ---------------------------------------------------------------------------

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    TAppFixture fixture;
    app = &fixture;
    if (!fixture.Start() || !fixture.OpenRunMode() || !QTest::qWaitForWindowExposed(FMain->FRunMode)) {
        qCritical("Run mode did not open: %s %s", qPrintable(fixture.dialogs.texts().join(" / ")),
                  qPrintable(fixture.server.Output()));
        return 1;
    }
    int failed = 0;
    TestRunConfiguration configuration;
    failed += QTest::qExec(&configuration, argc, argv);
    TestRunPagesAndAlarms pagesAndAlarms;
    failed += QTest::qExec(&pagesAndAlarms, argc, argv);
    TestRunSecurityAndWindows securityAndWindows;
    failed += QTest::qExec(&securityAndWindows, argc, argv);
    return failed;
}

#include "tst_runmode.moc"
