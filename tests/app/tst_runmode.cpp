// The Run mode window against the real server: pages and panels follow the
// control's configuration, the alarm lists fill a line per tick, page changes
// show the strip's buttons, setpoint entry panels open and close, and the
// security lock guards the dynamics gains, valve calibration and the clock.
#include "app/Rqv_dynamics.h"
#include "app/Rqv_ospd.h"
#include "app/Rqv_run.h"
#include "controls/K4812SpinTune.h"
#include "controls/KQBoxLabel.h"
#include "controls/KQItemSpy.h"
#include "controls/KQMomentaryButton.h"
#include "controls/KQOneShotButton.h"
#include "platform/Timing.h"
#include "tests/app/AppFixture.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int Patience = TAppFixture::Patience;
TAppFixture* app = nullptr;

TFRunMode* Run()
{
    return FMain->FRunMode;
}

template <class T>
T* Find(const QString& name)
{
    T* found = Run()->findChild<T*>(name);
    if (!found)
        qWarning("no %s in the Run window", qPrintable(name));
    return found;
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

void GoTo(const char* page)
{
    Run()->PageControl1->SetActivePage(Find<TKQTabSheet>(page));
}

// All tabs shown, a turbine with two valves, security locked.
bool Configure()
{
    return Force("C_APPL.TURB_TYPE.IN", "3") && Force("C_APPL.CASC_CONF.IN", "2") && Force("C_APPL.AUX_CONF.IN", "2");
}

} // namespace

// ---------------------------------------------------------------------------

class TestRunConfiguration : public QObject {
    Q_OBJECT
private slots:
    void opensOnStartTurbineWithoutSecurityOrOverspeed();
    void turbineTypeDecidesPagesAndValves_data();
    void turbineTypeDecidesPagesAndValves();
    void idleToRatedRoutineShowsItsPanel_data();
    void idleToRatedRoutineShowsItsPanel();
    void configurationShowsPanels_data();
    void configurationShowsPanels();
    void syncOrLoadshare_data();
    void syncOrLoadshare();
    void localRemoteShowsTheOtherChoice();
    void statusStripShowsTheControlsStatusLines();
};

void TestRunConfiguration::opensOnStartTurbineWithoutSecurityOrOverspeed()
{
    QCOMPARE(Run()->PageControl1->ActivePageName(), QString("KPStartTurbine"));
    QCOMPARE(Run()->Caption(), QString("Run Mode - Start Turbine"));
    QVERIFY(FMain->Run1->isChecked());
    QVERIFY(Run()->tRunTimer->isActive());
    QVERIFY(Run()->SecurityLocked());
    QVERIFY(!Shown("PSecurityButton"));
    QVERIFY(!Shown("POverspeedTestButton"));
    QVERIFY(Shown("BSecurityUnlock"));
    QVERIFY(!Shown("BSecurityLock"));
    QVERIFY(!Run()->SpeedDynamics()->isVisible());
}

void TestRunConfiguration::turbineTypeDecidesPagesAndValves_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("tab");   // null: tab hidden
    QTest::addColumn<int>("stripValves");
    QTest::addColumn<QString>("label1"); // null: not checked
    QTest::addColumn<QString>("label2");
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

void TestRunConfiguration::turbineTypeDecidesPagesAndValves()
{
    QFETCH(QString, before);
    QFETCH(QString, type);
    QFETCH(QString, tab);
    QFETCH(int, stripValves);
    QFETCH(QString, label1);
    QFETCH(QString, label2);
    QFETCH(int, pageValves);
    QFETCH(bool, demand);
    QFETCH(bool, extractionLine);
    QVERIFY(Force("C_APPL.TURB_TYPE.IN", before));
    QVERIFY(Force("C_APPL.TURB_TYPE.IN", type));

    QCOMPARE(Shown("KPExtrAdmCntrl"), !tab.isNull());
    if (!tab.isNull()) {
        QCOMPARE(Find<TKQTabSheet>("KPExtrAdmCntrl")->Caption(), tab + " Control");
        QCOMPARE(Find<QLabel>("LExtAdmInput")->text(), tab);
        QCOMPARE(Find<TKQMomentaryButton>("KExtractionButton")->OffText(), tab);
    }
    QCOMPARE(Shown("KPValve1"), stripValves >= 1);
    QCOMPARE(Shown("KPValve2"), stripValves >= 2);
    const QString labels[] = {label1, label2};
    for (int v = 0; v < 2; ++v) {
        const QString n = QString::number(v + 1);
        QCOMPARE(Shown("KPValve" + n + "Val"), pageValves > v);
        QCOMPARE(Shown("KPValve" + n + "Cnf"), pageValves > v);
        if (labels[v].isNull())
            continue;
        QCOMPARE(Find<QLabel>("LValve" + n)->text(), labels[v]);
        QCOMPARE(Find<QObject>("KPValve" + n + "Val")->property("Caption").toString(), labels[v] + " Valve");
    }
    QCOMPARE(Shown("KPDemand"), demand);
    QCOMPARE(Shown("LExtractionType"), extractionLine);
    QCOMPARE(Shown("LNonExtractionType"), !extractionLine);
}

void TestRunConfiguration::idleToRatedRoutineShowsItsPanel_data()
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

void TestRunConfiguration::idleToRatedRoutineShowsItsPanel()
{
    QFETCH(QString, before);
    QFETCH(QString, routine);
    QFETCH(bool, idleRated);
    QFETCH(bool, startSequence);
    QVERIFY(Force("C_START.TO_RATED.IN", before));
    QVERIFY(Force("C_START.TO_RATED.IN", routine));
    QCOMPARE(Shown("KPIdleRatedPanel"), idleRated);
    QCOMPARE(Shown("KPStartSeqPanel"), startSequence);
}

void TestRunConfiguration::configurationShowsPanels_data()
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

void TestRunConfiguration::configurationShowsPanels()
{
    QFETCH(QString, item);
    QFETCH(QString, component);
    QFETCH(QString, value);
    QFETCH(bool, shown);
    QVERIFY(Force(item, value));
    QCOMPARE(Shown(component), shown);
}

void TestRunConfiguration::syncOrLoadshare_data()
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

void TestRunConfiguration::syncOrLoadshare()
{
    QFETCH(QString, sync);
    QFETCH(QString, loadshare);
    QFETCH(QString, caption);
    QFETCH(bool, buttons);
    QVERIFY(Force("CONF_VAL_1.USE_SYNC.B_NAME", sync));
    QVERIFY(Force("CONF_VAL_1.USE_LD_SHR.B_NAME", loadshare));
    QCOMPARE(Shown("KPSyncLoadshare"), !caption.isNull());
    if (caption.isNull())
        return;
    QCOMPARE(Find<QLabel>("LSyncOrLoadshare")->text(), caption);
    QCOMPARE(Shown("BSyncEnable"), buttons);
    QCOMPARE(Shown("BSyncDisable"), buttons);
}

void TestRunConfiguration::localRemoteShowsTheOtherChoice()
{
    QVERIFY(Force("C_APPL.USE_LCLRMT.IN", "1"));
    for (const bool remote : {true, false, true}) {
        QVERIFY(Force("J_RMT_LCL.RMT_SEL.LATCH", remote ? "1" : "0"));
        auto* offered = Find<TKQMomentaryButton>(remote ? "BLocal" : "BRemote");
        QVERIFY(offered->Visible());
        QVERIFY(offered->Enabled());
        QVERIFY(!Shown(remote ? "BRemote" : "BLocal"));
    }
}

void TestRunConfiguration::statusStripShowsTheControlsStatusLines()
{
    QVERIFY(Force("J_CONTROL.CNTRL_MESS.B_TO_STR", "Speed Control Active"));
    QCOMPARE(Find<QLabel>("LNonExtractionType")->text(), QString("Speed Control Active"));
    QVERIFY(Force("J_CONTROL.LINE1_CTRL.B_TO_STR", "Speed Control"));
    QVERIFY(Force("J_CONTROL.LINE2_CTRL.B_TO_STR", "Extraction Enabled"));
    QCOMPARE(Find<QLabel>("LExtractionType")->text(), QString("Speed Control Extraction Enabled"));
}

// ---------------------------------------------------------------------------

class TestRunAlarmLists : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Configure()); }
    void init();
    void cleanup() { Run()->tRunTimer->start(); }

    void aListFillsALineAtATimeUpToTheAlarmCount();
    void theTimerFillsTheActivePagesList();
    void historiesRunToTheirLength_data();
    void historiesRunToTheirLength();
    void theAlarmsButtonKeepsTheListTheTabRestartsIt();
    void theAlarmCountShowsTheAlarmsButton();

private:
    QListWidget* Current() const { return Find<QListWidget>("LBCurrentAlarms"); }
    bool Alarm(const QString& text) const { return app->server.Simulate("alarm " + text); }
    // Waits for the window to hear the control's alarm count (forcing it would
    // send one more change, which restarts the lists whenever it arrives).
    static bool Counted(const QString& count)
    {
        auto* spy = Find<TKQItemSpy>("KSpyAlarmNum");
        return QTest::qWaitFor([spy, count] { return spy->HasValue() && spy->Value().toString() == count; }, Patience);
    }
    QString Line(const char* timePrefix, const char* messagePrefix, int index) const
    {
        const QString i = QString::number(index);
        return app->Read(timePrefix + i) + '\t' + app->Read(messagePrefix + i);
    }
};

void TestRunAlarmLists::init()
{
    // The clear mark goes up and down again; either change restarts the lists.
    auto* cleared = Find<TKQItemSpy>("KSpyAlarmTripClear");
    QVERIFY(app->server.Simulate("clear"));
    QTRY_COMPARE_WITH_TIMEOUT(cleared->Value().toString(), QString("1"), Patience);
    QTRY_COMPARE_WITH_TIMEOUT(cleared->Value().toString(), QString("0"), Patience);
    QVERIFY(Counted("0"));
    GoTo("KPStartTurbine");
    // The tests drive the lists tick by tick.
    Run()->tRunTimer->stop();
}

void TestRunAlarmLists::aListFillsALineAtATimeUpToTheAlarmCount()
{
    for (const char* text : {"Lube Oil Pressure Low", "Exhaust Temperature High", "Vibration High"})
        QVERIFY(Alarm(text));
    QVERIFY(Counted("3"));
    for (int tick = 1; tick <= 5; ++tick) {
        Run()->FillCurrentAlarms();
        QCOMPARE(Current()->count(), std::min(tick, 3));
    }
    for (int line = 1; line <= 3; ++line)
        QCOMPARE(Current()->item(line - 1)->text(), Line("Y_ALARMS.ALARMS.EV_TM_", "Y_ALARMS.ALARMS.MSG_O_", line));
    QVERIFY(Current()->item(0)->text().endsWith("\tVibration High"));

    // A new alarm changes the count: the list starts again from line 1.
    QVERIFY(Alarm("Overspeed Alarm"));
    QVERIFY(Counted("4"));
    Run()->FillCurrentAlarms();
    QCOMPARE(Current()->count(), 1);
    QVERIFY(Current()->item(0)->text().endsWith("\tOverspeed Alarm"));
}

void TestRunAlarmLists::theTimerFillsTheActivePagesList()
{
    for (const char* text : {"Alarm One", "Alarm Two"})
        QVERIFY(Alarm(text));
    QVERIFY(Counted("2"));
    Run()->tRunTimer->start();
    QCOMPARE(Run()->tRunTimer->interval(), Timing::RunTimerInterval);
    GoTo("KPCurrentAlarms");
    QTRY_COMPARE_WITH_TIMEOUT(Current()->count(), 2, Patience);
    QVERIFY(QRegularExpression("^\\d\\d-\\w{3} \\d\\d:\\d\\d:\\d\\d\\tAlarm Two$").match(Current()->item(0)->text()).hasMatch());
    QVERIFY(!Shown("PCurrentAlarmsButton"));
    // On a history page the Alarms button leads back.
    GoTo("KPAlarmHistory");
    QTRY_VERIFY_WITH_TIMEOUT(Find<QListWidget>("LBAlarmHistory")->count() > 0, Patience);
    QVERIFY(Shown("PCurrentAlarmsButton"));
}

void TestRunAlarmLists::historiesRunToTheirLength_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("length");
    QTest::newRow("alarm history") << "KPAlarmHistory" << "LBAlarmHistory" << 100;
    QTest::newRow("trip history") << "KPTripHistory" << "LBTripHistory" << 20;
}

void TestRunAlarmLists::historiesRunToTheirLength()
{
    QFETCH(QString, page);
    QFETCH(QString, list);
    QFETCH(int, length);
    QVERIFY(app->server.Simulate("trip Low Hydraulic Pressure"));
    QTRY_VERIFY_WITH_TIMEOUT(app->Read("X_ELOG.T.MESG_O_1") == "Low Hydraulic Pressure", Patience);
    // The trip is a current alarm too: a later change of the count would restart the list.
    auto* count = Find<TKQItemSpy>("KSpyAlarmNum");
    QTRY_COMPARE_WITH_TIMEOUT(count->Value().toString(), app->Read("Y_ALARMS.ALARMS.NUM_EVENTS"), Patience);
    GoTo(qPrintable(page));
    const bool alarms = page == "KPAlarmHistory";
    for (int tick = 0; tick < length + 2; ++tick)
        alarms ? Run()->FillAlarmHistory() : Run()->FillTripHistory();
    auto* shown = Find<QListWidget>(list);
    // Every line is there, also those of events the control has not had yet.
    QCOMPARE(shown->count(), length);
    QCOMPARE(shown->item(0)->text(), alarms ? Line("X_EVENTLOG.A.EV_TM_", "X_EVENTLOG.A.MESG_O_", 1)
                                             : Line("X_ELOG.T.EV_TM_", "X_ELOG.T.MESG_O_", 1));
    QVERIFY(shown->item(0)->text().endsWith("\tLow Hydraulic Pressure"));
}

void TestRunAlarmLists::theAlarmsButtonKeepsTheListTheTabRestartsIt()
{
    for (const char* text : {"First", "Second", "Third"})
        QVERIFY(Alarm(text));
    QVERIFY(Counted("3"));
    GoTo("KPCurrentAlarms");
    for (int tick = 0; tick < 3; ++tick)
        Run()->FillCurrentAlarms();
    QCOMPARE(Current()->count(), 3);

    GoTo("KPSpeedControl");
    QVERIFY(Shown("PCurrentAlarmsButton"));
    QVERIFY(Find<QPushButton>("BCurrentAlarms")->isEnabled());
    QTest::mouseClick(Find<QPushButton>("BCurrentAlarms"), Qt::LeftButton);
    QCOMPARE(Run()->PageControl1->ActivePageName(), QString("KPCurrentAlarms"));
    Run()->FillCurrentAlarms();
    QCOMPARE(Current()->count(), 3);
    QVERIFY(Shown("PResetAlarmsButton"));
    QVERIFY(Shown("PSetTimeDateButton"));
    QVERIFY(!Shown("PCurrentAlarmsButton"));

    GoTo("KPSpeedControl");
    GoTo("KPCurrentAlarms");
    Run()->FillCurrentAlarms();
    QCOMPARE(Current()->count(), 1);
}

void TestRunAlarmLists::theAlarmCountShowsTheAlarmsButton()
{
    QVERIFY(!Shown("PCurrentAlarmsButton"));
    QVERIFY(Alarm("Speed Probe Failed"));
    QTRY_VERIFY_WITH_TIMEOUT(Shown("PCurrentAlarmsButton"), Patience);
    QVERIFY(Find<QPushButton>("BCurrentAlarms")->isEnabled());
    QVERIFY(app->server.Simulate("clear"));
    QTRY_VERIFY_WITH_TIMEOUT(!Shown("PCurrentAlarmsButton"), Patience);
    QVERIFY(!Find<QPushButton>("BCurrentAlarms")->isEnabled());
}

// ---------------------------------------------------------------------------

class TestRunPages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Configure()); }

    void enteringAPageShowsItsButtons_data();
    void enteringAPageShowsItsButtons();
    void setOpensTheEntryPanelCloseHidesIt_data();
    void setOpensTheEntryPanelCloseHidesIt();
};

void TestRunPages::enteringAPageShowsItsButtons_data()
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

void TestRunPages::enteringAPageShowsItsButtons()
{
    QFETCH(QString, page);
    QFETCH(QString, caption);
    QFETCH(bool, overspeed);
    QFETCH(bool, security);
    QFETCH(bool, timeDate);
    QFETCH(bool, resetAlarms);
    // From a page that shows every button of the strip.
    GoTo(page == "KPCurrentAlarms" ? "KPSpeedControl" : "KPCurrentAlarms");
    QTabBar* tabs = Run()->PageControl1->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(Run()->PageControl1->indexOf(Find<QWidget>(page))).center());
    QCOMPARE(Run()->PageControl1->ActivePageName(), page);
    QCOMPARE(Run()->Caption(), "Run Mode - " + caption);
    QCOMPARE(Shown("POverspeedTestButton"), overspeed);
    QCOMPARE(Shown("PSecurityButton"), security);
    QCOMPARE(Shown("PSetTimeDateButton"), timeDate);
    QCOMPARE(Shown("PResetAlarmsButton"), resetAlarms);
}

void TestRunPages::setOpensTheEntryPanelCloseHidesIt_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("closeCaption");
    QTest::newRow("start speed") << "KPStartTurbine" << "Speed" << "&Close";
    QTest::newRow("start HP limiter") << "KPStartTurbine" << "HP" << "C&lose";
    QTest::newRow("speed setpoint") << "KPSpeedControl" << "Setpoint" << "&Close";
    QTest::newRow("extraction") << "KPExtrAdmCntrl" << "ExtAdm" << "&Close";
    QTest::newRow("LP limiter") << "KPExtrAdmCntrl" << "LP" << "C&lose";
    QTest::newRow("cascade") << "KPCascadeControl" << "Cascade" << "&Close";
    QTest::newRow("auxiliary") << "KPAuxiliaryControl" << "Auxiliary" << "&Close";
}

void TestRunPages::setOpensTheEntryPanelCloseHidesIt()
{
    QFETCH(QString, page);
    QFETCH(QString, entry);
    QFETCH(QString, closeCaption);
    GoTo(qPrintable(page));
    auto* set = Find<QPushButton>("BSet" + entry);
    QVERIFY(!Shown("KPSet" + entry));
    QTest::mouseClick(set, Qt::LeftButton);
    QVERIFY(Shown("KPSet" + entry));
    QVERIFY(set->isHidden());
    QCOMPARE(Run()->window()->focusWidget(), Find<QWidget>("ESet" + entry));
    auto* close = Find<QPushButton>("BSet" + entry + "Cancel");
    QCOMPARE(close->text(), closeCaption);
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!Shown("KPSet" + entry));
    QVERIFY(!set->isHidden());
}

// ---------------------------------------------------------------------------

class TestRunSecurity : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void onlyTheRunPasswordUnlocks_data();
    void onlyTheRunPasswordUnlocks();
    void lockingAsksFirst();
    void goButtonsFollowTheActuatorState_data();
    void goButtonsFollowTheActuatorState();
    void goButtonsComeBackOnLockPageChangeAndEnable();
    void calibrationOpensAndCloses();
    void dynamicsWindowsFollowTheLock();
    void overspeedTestOpensANewWindowEachTime();

private:
    static bool Unlock();
    static bool GainButtonsMonitorOnly(QWidget* window, bool monitorOnly);
    static bool CalibrationLocked(bool locked);
};

void TestRunSecurity::initTestCase()
{
    QVERIFY(Configure());
    GoTo("KPValves");
    QTest::mouseClick(Find<QPushButton>("BCalibrate"), Qt::LeftButton);
}

void TestRunSecurity::init()
{
    app->dialogs.clear();
    GoTo("KPValves");
}

void TestRunSecurity::cleanup()
{
    if (Run()->SecurityLocked())
        return;
    app->dialogs.addAnswer(mrOk);
    QTest::mouseClick(Find<QPushButton>("BSecurityLock"), Qt::LeftButton);
    QVERIFY(Run()->SecurityLocked());
}

bool TestRunSecurity::Unlock()
{
    app->dialogs.addPassword("4309");
    QTest::mouseClick(Find<QPushButton>("BSecurityUnlock"), Qt::LeftButton);
    return !Run()->SecurityLocked();
}

bool TestRunSecurity::GainButtonsMonitorOnly(QWidget* window, bool monitorOnly)
{
    const auto buttons = window->findChildren<TKQMomentaryButton*>();
    return !buttons.isEmpty() && std::all_of(buttons.begin(), buttons.end(), [monitorOnly](TKQMomentaryButton* b) {
        return b->IsMonitorOnly() == monitorOnly;
    });
}

// The calibration controls as the lock leaves them.
bool TestRunSecurity::CalibrationLocked(bool locked)
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
           && Find<QPushButton>("BSetTimeDate")->isEnabled() == !locked;
}

void TestRunSecurity::onlyTheRunPasswordUnlocks_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("unlocked");
    QTest::newRow("run password") << "4309" << true;
    QTest::newRow("program password") << "4177" << false;
    QTest::newRow("empty") << "" << false;
}

void TestRunSecurity::onlyTheRunPasswordUnlocks()
{
    QFETCH(QString, password);
    QFETCH(bool, unlocked);
    QVERIFY(CalibrationLocked(true));
    app->dialogs.addPassword(password);
    QTest::mouseClick(Find<QPushButton>("BSecurityUnlock"), Qt::LeftButton);
    QCOMPARE(app->dialogs.passwordPrompts().value(0).prompt, QString("Enter password for Run mode:"));
    QCOMPARE(Run()->SecurityLocked(), !unlocked);
    QCOMPARE(Shown("BSecurityLock"), unlocked);
    QCOMPARE(Shown("BSecurityUnlock"), !unlocked);
    QVERIFY(CalibrationLocked(!unlocked));
}

void TestRunSecurity::lockingAsksFirst()
{
    QVERIFY(Unlock());
    app->dialogs.addAnswer(mrCancel);
    QTest::mouseClick(Find<QPushButton>("BSecurityLock"), Qt::LeftButton);
    QVERIFY(!Run()->SecurityLocked());
    app->dialogs.addAnswer(mrOk);
    QTest::mouseClick(Find<QPushButton>("BSecurityLock"), Qt::LeftButton);
    QVERIFY(Run()->SecurityLocked());
    QVERIFY(Shown("BSecurityUnlock"));
    QVERIFY(CalibrationLocked(true));
    QCOMPARE(app->dialogs.messages().size(), 2);
    for (const TShownMessage& message : app->dialogs.messages()) {
        QCOMPARE(message.text, QString("Lock Security?"));
        QCOMPARE(message.type, TMsgDlgType::mtConfirmation);
        QCOMPARE(message.buttons, TMsgDlgButtons(mbOK | mbCancel));
    }
}

void TestRunSecurity::goButtonsFollowTheActuatorState_data()
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

void TestRunSecurity::goButtonsFollowTheActuatorState()
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

void TestRunSecurity::goButtonsComeBackOnLockPageChangeAndEnable()
{
    auto* goMin = Find<TKQMomentaryButton>("BValve1GoMin");
    const auto released = [goMin] {
        QVERIFY(!goMin->ButtonOn());
        Run()->GoButtonStateChange(goMin);
        QVERIFY(!goMin->Visible());
        QVERIFY(Find<TKQMomentaryButton>("BValve1GoMan")->Visible());
        QVERIFY(Find<TKQMomentaryButton>("BValve1GoMax")->Visible());
    };
    released();
    QVERIFY(Unlock());
    QVERIFY(goMin->Visible());
    released();
    GoTo("KPSpeedControl");
    QVERIFY(goMin->Visible());
    GoTo("KPValves");
    released();
    auto* enable = Find<TKQMomentaryButton>("BValve1Enable");
    QTRY_COMPARE_WITH_TIMEOUT(enable->PulseState(), TPulseState::Idle, Patience);
    QTest::mousePress(enable, Qt::LeftButton);
    QVERIFY(goMin->Visible());
    QTest::mouseRelease(enable, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(enable->PulseState(), TPulseState::Idle, Patience);
}

void TestRunSecurity::calibrationOpensAndCloses()
{
    QVERIFY(Shown("KPValveMiddle"));
    QVERIFY(Shown("KPValveBottom"));
    QVERIFY(!Shown("KPValveCalibrate"));
    Find<TKQMomentaryButton>("BValve2GoMax")->SetVisible(false);
    QTest::mouseClick(Find<QPushButton>("BCloseCalibrate"), Qt::LeftButton);
    QVERIFY(!Shown("KPValveMiddle"));
    QVERIFY(!Shown("KPValveBottom"));
    QVERIFY(Shown("KPValveCalibrate"));
    QVERIFY(Shown("BValve2GoMax"));
    QTest::mouseClick(Find<QPushButton>("BCalibrate"), Qt::LeftButton);
    QVERIFY(Shown("KPValveMiddle"));
}

void TestRunSecurity::dynamicsWindowsFollowTheLock()
{
    QWidget* windows[] = {Run()->SpeedDynamics(), Run()->ExtAdmDynamics(), Run()->CascadeDynamics(),
                          Run()->AuxiliaryDynamics()};
    for (QWidget* window : windows)
        QVERIFY(GainButtonsMonitorOnly(window, true));
    QVERIFY(Unlock());
    for (QWidget* window : windows)
        QVERIFY(GainButtonsMonitorOnly(window, false));

    GoTo("KPSpeedControl");
    QTest::mouseClick(Find<QPushButton>("BSpeedDynamics"), Qt::LeftButton);
    QVERIFY(Run()->SpeedDynamics()->isVisible());
    Run()->SpeedDynamics()->close();
    QVERIFY(!Run()->SpeedDynamics()->isVisible());
    // Locked behind the window's back: pressing Dynamics applies the lock again.
    Run()->SpeedDynamics()->SetGainButtonsMonitorOnly(true);
    QTest::mouseClick(Find<QPushButton>("BSpeedDynamics"), Qt::LeftButton);
    QVERIFY(Run()->SpeedDynamics()->isVisible());
    QVERIFY(GainButtonsMonitorOnly(Run()->SpeedDynamics(), false));

    app->dialogs.addAnswer(mrOk);
    QTest::mouseClick(Find<QPushButton>("BSecurityLock"), Qt::LeftButton);
    for (QWidget* window : windows)
        QVERIFY(GainButtonsMonitorOnly(window, true));
    Run()->SpeedDynamics()->close();
}

void TestRunSecurity::overspeedTestOpensANewWindowEachTime()
{
    GoTo("KPSpeedControl");
    const auto count = [] { return Run()->findChildren<TFOverspeedTest*>(Qt::FindDirectChildrenOnly).size(); };
    const auto before = count();
    QTest::mouseClick(Find<QPushButton>("BOverspeedTest"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("BOverspeedTest"), Qt::LeftButton);
    QCOMPARE(count(), before + 2);
    for (TFOverspeedTest* window : Run()->findChildren<TFOverspeedTest*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY(window->isVisible());
        window->close();
    }
}

// ---------------------------------------------------------------------------

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    TAppFixture fixture;
    app = &fixture;
    if (!fixture.Start()) {
        qCritical("the program did not start: %s", qPrintable(fixture.server.Output()));
        return 1;
    }
    if (!fixture.OpenRunMode()) {
        qCritical("Run mode did not open: %s", qPrintable(fixture.dialogs.texts().join(" / ")));
        return 1;
    }
    if (!FMain->FRunMode || !QTest::qWaitForWindowExposed(FMain->FRunMode)) {
        qCritical("the Run window did not open: %s %s", qPrintable(fixture.dialogs.texts().join(" / ")), qPrintable(fixture.server.Output()));
        return 1;
    }
    int failed = 0;
    {
        TestRunConfiguration test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestRunAlarmLists test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestRunPages test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestRunSecurity test;
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}

#include "tst_runmode.moc"
