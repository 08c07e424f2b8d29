// The Run mode window and the small windows it opens, against the real server:
// pages and panels follow the control's configuration, the alarm lists fill a
// line per tick, page changes show the strip's buttons, setpoint entry panels
// open and close, the security lock guards the gains, valve calibration and the
// clock, and each small window reaches the control and closes by hiding.
#include "app/Rqv_dynamics.h"
#include "app/Rqv_ospd.h"
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
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTest>

namespace {

constexpr int Patience = TAppFixture::Patience;
TAppFixture* app = nullptr;

TFRunMode* Run()
{
    return FMain->FRunMode;
}

template <class T = QWidget>
T* Find(QObject* in, const QString& name)
{
    T* found = in->findChild<T*>(name);
    if (!found)
        qFatal("no %s", qPrintable(name));
    return found;
}
template <class T = QWidget>
T* Find(const QString& name)
{
    return Find<T>(Run(), name);
}
QString Box(QObject* in, const char* name) { return Find<TKQBoxLabel>(in, name)->text(); }

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
    void turbineTypeDecidesPagesAndValves_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("tab"); // null: tab hidden
        QTest::addColumn<int>("stripValves");
        QTest::addColumn<QString>("label1");
        QTest::addColumn<QString>("label2"); // null: not checked
        QTest::addColumn<int>("pageValves");
        QTest::addColumn<bool>("demand");
        QTest::addColumn<bool>("extractionLine");
        QTest::newRow("0 keeps the valve groups") << "2" << "0" << QString() << 0 << "V1" << "V2" << 2 << false << false;
        QTest::newRow("1 single valve") << "3" << "1" << QString() << 1 << "V1" << "LP" << 1 << false << false;
        QTest::newRow("2 split range") << "3" << "2" << QString() << 2 << "V1" << "V2" << 2 << false << false;
        QTest::newRow("3 extraction") << "2" << "3" << "Extraction" << 2 << "HP" << "LP" << 2 << false << true;
        QTest::newRow("4 admission") << "2" << "4" << "Admission" << 2 << "HP" << "LP" << 2 << true << true;
        QTest::newRow("5 extraction/admission") << "2" << "5" << "Ext/Adm" << 2 << "HP" << "LP" << 2 << true << true;
        QTest::newRow("other: status line only") << "1" << "9" << QString() << 1 << "V1" << QString() << 1 << false << true;
    }
    void turbineTypeDecidesPagesAndValves()
    {
        QFETCH(QString, before);
        QFETCH(QString, type);
        QFETCH(QString, tab);
        QFETCH(int, stripValves);
        QFETCH(QString, label1);
        QFETCH(QString, label2);
        QFETCH(int, pageValves);
        QVERIFY(Force("C_APPL.TURB_TYPE.IN", before));
        QVERIFY(Force("C_APPL.TURB_TYPE.IN", type));

        QCOMPARE(Shown("KPExtrAdmCntrl"), !tab.isNull());
        if (!tab.isNull()) {
            QCOMPARE(Find<TKQTabSheet>("KPExtrAdmCntrl")->Caption(), tab + " Control");
            QCOMPARE(Find<QLabel>("LExtAdmInput")->text(), tab);
            QCOMPARE(Find<TKQMomentaryButton>("KExtractionButton")->OffText(), tab);
        }
        const QString labels[] = {label1, label2};
        for (int v = 0; v < 2; ++v) {
            const QString n = QString::number(v + 1);
            QCOMPARE(Shown("KPValve" + n), stripValves > v);
            QCOMPARE(Shown("KPValve" + n + "Val"), pageValves > v);
            QCOMPARE(Shown("KPValve" + n + "Cnf"), pageValves > v);
            if (labels[v].isNull())
                continue;
            QCOMPARE(Find<QLabel>("LValve" + n)->text(), labels[v]);
            QCOMPARE(Find("KPValve" + n + "Val")->property("Caption").toString(), labels[v] + " Valve");
        }
        QTEST(Shown("KPDemand"), "demand");
        QTEST(Shown("LExtractionType"), "extractionLine");
        QCOMPARE(Shown("LNonExtractionType"), !Shown("LExtractionType"));
    }

    void idleToRatedRoutineShowsItsPanel_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("routine");
        QTest::addColumn<bool>("idleRated");
        QTest::addColumn<bool>("startSequence");
        QTest::newRow("1 no idle") << "4" << "1" << false << false;
        QTest::newRow("2 manual") << "3" << "2" << false << false;
        QTest::newRow("3 idle/rated") << "4" << "3" << true << false;
        QTest::newRow("4 start sequence") << "3" << "4" << false << true;
        QTest::newRow("other keeps the panels") << "3" << "7" << true << false;
    }
    void idleToRatedRoutineShowsItsPanel()
    {
        QFETCH(QString, before);
        QFETCH(QString, routine);
        QVERIFY(Force("C_START.TO_RATED.IN", before));
        QVERIFY(Force("C_START.TO_RATED.IN", routine));
        QTEST(Shown("KPIdleRatedPanel"), "idleRated");
        QTEST(Shown("KPStartSeqPanel"), "startSequence");
    }

    void configurationShowsPanels_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("component");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("shown");
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

    void statusStripShowsTheControlsStatusLines()
    {
        QVERIFY(Force("J_CONTROL.CNTRL_MESS.B_TO_STR", "Speed Control Active"));
        QCOMPARE(Find<QLabel>("LNonExtractionType")->text(), QString("Speed Control Active"));
        QVERIFY(Force("J_CONTROL.LINE1_CTRL.B_TO_STR", "Speed Control"));
        QVERIFY(Force("J_CONTROL.LINE2_CTRL.B_TO_STR", "Extraction Enabled"));
        QCOMPARE(Find<QLabel>("LExtractionType")->text(), QString("Speed Control Extraction Enabled"));
    }
};

// ---------------------------------------------------------------------------

// The lists are driven tick by tick here; the operator's shift sees the timer fill them.
class TestRunAlarmLists : public QObject {
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
        QVERIFY(Shown("PCurrentAlarmsButton"));
        Click("BCurrentAlarms");
        QCOMPARE(Run()->PageControl1->ActivePageName(), QString("KPCurrentAlarms"));
        Run()->FillCurrentAlarms();
        QCOMPARE(Current()->count(), 3);
        QVERIFY(Shown("PResetAlarmsButton") && Shown("PSetTimeDateButton") && !Shown("PCurrentAlarmsButton"));

        GoTo("KPSpeedControl");
        GoTo("KPCurrentAlarms");
        Run()->FillCurrentAlarms();
        QCOMPARE(Current()->count(), 1);

        // No alarms left: the button goes.
        GoTo("KPSpeedControl");
        QVERIFY(app->server.Simulate("clear"));
        QTRY_VERIFY_WITH_TIMEOUT(!Shown("PCurrentAlarmsButton"), Patience);
        QVERIFY(!Find("BCurrentAlarms")->isEnabled());
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

class TestRunPages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Configure()); }

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
        QTest::newRow("extraction") << "KPExtrAdmCntrl" << "Extraction Control" << false << true << false << false;
        QTest::newRow("cascade") << "KPCascadeControl" << "Cascade Control" << false << true << false << false;
        QTest::newRow("auxiliary") << "KPAuxiliaryControl" << "Auxiliary Control" << false << true << false << false;
        QTest::newRow("valves") << "KPValves" << "Valves" << false << true << false << false;
        QTest::newRow("alarms") << "KPCurrentAlarms" << "Alarms" << false << true << true << true;
        QTest::newRow("alarm history") << "KPAlarmHistory" << "Alarm History" << false << false << true << false;
        QTest::newRow("trip history") << "KPTripHistory" << "Trip History" << false << false << true << false;
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

    void setOpensTheEntryPanelCloseHidesIt_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("entry");
        QTest::newRow("start HP limiter") << "KPStartTurbine" << "HP";
        QTest::newRow("speed setpoint") << "KPSpeedControl" << "Setpoint";
        QTest::newRow("extraction") << "KPExtrAdmCntrl" << "ExtAdm";
        QTest::newRow("LP limiter") << "KPExtrAdmCntrl" << "LP";
        QTest::newRow("cascade") << "KPCascadeControl" << "Cascade";
        QTest::newRow("auxiliary") << "KPAuxiliaryControl" << "Auxiliary";
    }
    void setOpensTheEntryPanelCloseHidesIt()
    {
        QFETCH(QString, page);
        QFETCH(QString, entry);
        GoTo(page);
        auto* set = Find("BSet" + entry);
        QVERIFY(!Shown("KPSet" + entry));
        Click(set);
        QVERIFY(Shown("KPSet" + entry) && set->isHidden());
        QCOMPARE(Run()->window()->focusWidget(), Find("ESet" + entry));
        Click("BSet" + entry + "Cancel");
        QVERIFY(!Shown("KPSet" + entry) && !set->isHidden());
    }
};

// ---------------------------------------------------------------------------

class TestRunSecurity : public QObject {
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
    void cleanup() { Lock(); }

    void onlyTheRunPasswordUnlocks_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("unlocked");
        QTest::newRow("run password") << "4309" << true;
        QTest::newRow("program password") << "4177" << false;
        QTest::newRow("empty") << "" << false;
    }
    void onlyTheRunPasswordUnlocks()
    {
        QFETCH(QString, password);
        QFETCH(bool, unlocked);
        QVERIFY(CalibrationLocked(true));
        app->dialogs.addPassword(password);
        Click("BSecurityUnlock");
        QCOMPARE(app->dialogs.passwordPrompts().value(0).prompt, QString("Enter password for Run mode:"));
        QCOMPARE(Run()->SecurityLocked(), !unlocked);
        QCOMPARE(Shown("BSecurityLock"), unlocked);
        QCOMPARE(Shown("BSecurityUnlock"), !unlocked);
        QVERIFY(CalibrationLocked(!unlocked));
    }

    void lockingAsksFirst()
    {
        QVERIFY(Unlock());
        app->dialogs.addAnswer(mrCancel);
        Click("BSecurityLock");
        QVERIFY(!Run()->SecurityLocked());
        app->dialogs.addAnswer(mrOk);
        Click("BSecurityLock");
        QVERIFY(Run()->SecurityLocked() && Shown("BSecurityUnlock") && CalibrationLocked(true));
        QCOMPARE(app->dialogs.texts(), QStringList({"Lock Security?", "Lock Security?"}));
        const TShownMessage asked = app->dialogs.messages().constFirst();
        QVERIFY(asked.type == TMsgDlgType::mtConfirmation && asked.buttons == TMsgDlgButtons(mbOK | mbCancel));
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
        QVERIFY(!Shown("KPValveMiddle") && !Shown("KPValveBottom") && Shown("KPValveCalibrate"));
        QVERIFY(goMin->Visible());
        Click("BCalibrate");
        QVERIFY(Shown("KPValveMiddle") && Shown("KPValveBottom") && !Shown("KPValveCalibrate"));
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

    void dynamicsFollowTheLockButSaveSettingsDoesNot()
    {
        QWidget* windows[] = {Run()->SpeedDynamics(), Run()->ExtAdmDynamics(), Run()->CascadeDynamics(),
                              Run()->AuxiliaryDynamics()};
        for (QWidget* window : windows)
            QVERIFY(GainButtonsMonitorOnly(window, true));
        // Save Settings still stores the tuned gain as the initial one.
        TRunDialog* speed = Open("KPSpeedControl", "BSpeedDynamics");
        auto* save = Find<TKQOneShotButton>(speed, "SaveSettingsButton");
        QVERIFY(!save->IsMonitorOnly() && save->isEnabled());
        QVERIFY(app->control->Poke("D_SPD_DYN.P_GAIN_OFF.RAMP", "7.25"));
        QTRY_COMPARE_WITH_TIMEOUT(Box(speed, "OffPGain"), QString("7.25"), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(save->PulseState(), TPulseState::Idle, Patience);
        Click(save);
        QVERIFY(app->WaitForValue("D_SPD_DYN.P_OFF_INIT.TUNE", "7.25"));
        speed->close();

        QVERIFY(Unlock());
        for (QWidget* window : windows)
            QVERIFY(GainButtonsMonitorOnly(window, false));
        // Locked behind the window's back: pressing Dynamics applies the lock again.
        Run()->SpeedDynamics()->SetGainButtonsMonitorOnly(true);
        QCOMPARE(Open("KPSpeedControl", "BSpeedDynamics"), speed);
        QVERIFY(GainButtonsMonitorOnly(speed, false));
        Lock();
        for (QWidget* window : windows)
            QVERIFY(GainButtonsMonitorOnly(window, true));
        speed->close();
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

// The small windows the Run window opens: their values arrive, their buttons
// reach the control, and each is a centred tool window that closing hides.
class TestRunSmallWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Configure()); }
    void init() { app->dialogs.clear(); }
    void cleanup()
    {
        QCOMPARE(app->dialogs.texts(), QStringList());
        for (TRunDialog* window : SmallWindows())
            window->close();
        Lock();
    }

    // Each opens centred and on top; a gain arrives in it and its button moves the gain.
    void windowOpensCentredOnTopAndClosingHidesIt_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("box"); // null: no gain
        QTest::addColumn<QString>("valueItem");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("buttonItem");
        QTest::addColumn<int>("direction");
        QTest::newRow("speed: on-line I fast lower")
            << "KPSpeedControl" << "BSpeedDynamics" << "Speed Control Dynamics" << "OnIGain" << "D_SPD_DYN.I_GAIN_ON.RAMP"
            << "OnIFastLower" << "D_SPD_DYN.RQV_ON_LN.IN_6" << -1;
        QTest::newRow("ext./adm.: I fast raise")
            << "KPExtrAdmCntrl" << "BExtAdmDynamics" << "Ext./Adm. Control Dynamics" << "IGain" << "EXTR_DYN.I_GAIN.RAMP"
            << "IFastRaise" << "EXTR_DYN.RQV_I_GAIN.IN_3" << 1;
        QTest::newRow("cascade: DR lower")
            << "KPCascadeControl" << "BCascadeDynamics" << "Cascade Control Dynamics" << "DRGain"
            << "F_CAS_DYN.D_GAIN.RAMP" << "DRLower" << "F_CAS_DYN.RQV_D_GAIN.IN_1" << -1;
        QTest::newRow("auxiliary: P fast lower")
            << "KPAuxiliaryControl" << "BAuxiliaryDynamics" << "Auxiliary Control Dynamics" << "PGain"
            << "G_AUX_DYN.P_GAIN.RAMP" << "PFastLower" << "G_AUX_DYN.RQV_P_GAIN.IN_2" << -1;
        QTest::newRow("overspeed") << "KPSpeedControl" << "BOverspeedTest" << "Overspeed Test" << QString()
                                   << QString() << QString() << QString() << 0;
        QTest::newRow("time and date") << "KPCurrentAlarms" << "BSetTimeDate" << "Set Time and Date" << QString()
                                       << QString() << QString() << QString() << 0;
    }
    void windowOpensCentredOnTopAndClosingHidesIt()
    {
        QFETCH(QString, page);
        QFETCH(QString, opener);
        QFETCH(QString, box);
        QFETCH(QString, valueItem);
        QFETCH(QString, button);
        QFETCH(QString, buttonItem);
        QFETCH(int, direction);
        QVERIFY(Unlock());
        QPointer<TRunDialog> window = Open(page, opener);
        QTEST(window->windowTitle(), "caption");
        const Qt::WindowFlags flags = window->windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(flags.testFlags(Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint));
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint)));
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QPoint offCentre = window->frameGeometry().center() - window->screen()->availableGeometry().center();
        QVERIFY(offCentre.manhattanLength() <= 1);

        if (!box.isNull()) {
            auto* gain = Find<TKQBoxLabel>(window, box);
            auto* press = Find<TKQMomentaryButton>(window, button);
            const double before = app->Read(valueItem).toDouble();
            QTRY_COMPARE_WITH_TIMEOUT(gain->text(), QString::number(before, 'f', 2), Patience);
            QTRY_COMPARE_WITH_TIMEOUT(press->PulseState(), TPulseState::Idle, Patience);
            QTest::mousePress(press, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT((app->Read(valueItem).toDouble() - before) * direction > 0, Patience);
            QTest::mouseRelease(press, Qt::LeftButton);
            QVERIFY(app->WaitForValue(buttonItem, "0"));
            QTRY_COMPARE_WITH_TIMEOUT(gain->text(), QString::number(app->Read(valueItem).toDouble(), 'f', 2), Patience);
        }
        // Leaving an edit box sends what it shows: let the values arrive first.
        for (TKQNumberEdit* edit : window->findChildren<TKQNumberEdit*>())
            QTRY_VERIFY_WITH_TIMEOUT(!edit->text().isEmpty(), Patience);
        if (auto* closeButton = window->findChild<QWidget*>("CancelButton"))
            Click(closeButton);
        else
            QVERIFY(window->close());
        QVERIFY(window && window->isHidden());
    }

    void eachOverspeedTestIsANewWindow()
    {
        TRunDialog* first = Open("KPSpeedControl", "BOverspeedTest");
        TRunDialog* second = Open("KPSpeedControl", "BOverspeedTest");
        QVERIFY(first != second && first->isVisible());
    }

    void clockIsSetFromTheEditors()
    {
        QVERIFY(Unlock());
        TRunDialog* clock = Open("KPAlarmHistory", "BSetTimeDate");
        QVERIFY(Find(clock, "PasswordEdit")->isHidden());
        QVERIFY(Find(clock, "LPassword")->isVisible());
        // Hour and minute typed, the rest as the control has it; "Set All" sets the clock.
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
    TestRunAlarmLists alarmLists;
    failed += QTest::qExec(&alarmLists, argc, argv);
    TestRunPages pages;
    failed += QTest::qExec(&pages, argc, argv);
    TestRunSecurity security;
    failed += QTest::qExec(&security, argc, argv);
    TestRunSmallWindows smallWindows;
    failed += QTest::qExec(&smallWindows, argc, argv);
    return failed;
}

#include "tst_runmode.moc"
