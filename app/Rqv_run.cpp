#include "app/Rqv_run.h"

#include "app/AlarmList.h"
#include "app/Rqv_dynamics.h"
#include "app/Rqv_ospd.h"
#include "app/Rqv_timedate.h"
#include "app/TrendCatalogue.h"
#include "app/TrendWindow.h"
#include "controls/K4812SpinTune.h"
#include "controls/KQBoxLabel.h"
#include "controls/KQForms.h"
#include "controls/KQItemSpy.h"
#include "controls/KQMomentaryButton.h"
#include "controls/KQOneShotButton.h"
#include "datalink/KQDatorelControl.h"
#include "platform/Exception.h"
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

const QString RunPassword = QStringLiteral("4309");
const QString RunModeName = QStringLiteral("Run");

// The turbine type and idle-to-rated routine assumed before the control answers.
constexpr int NoValueYet = 3;

// Turbine type: extraction/admission page, valve read-outs and labels.
struct TTurbineType {
    const char* extAdmCaption; // tab caption; nullptr: the tab is hidden
    const char* extAdmLabel;   // loop label and priority button text
    int stripValves;           // valves shown in the button strip
    int pageValves;            // valves shown on the Valves page; -1: unchanged
    const char* valveLabel1;   // nullptr: unchanged
    const char* valveLabel2;
    bool demand;
};
constexpr TTurbineType TurbineTypes[] = {
    {nullptr, nullptr, 0, -1, nullptr, nullptr, false},
    {nullptr, nullptr, 1, 1, "V1", nullptr, false},
    {nullptr, nullptr, 2, 2, "V1", "V2", false},
    {"Extraction Control", "Extraction", 2, 2, "HP", "LP", false},
    {"Admission Control", "Admission", 2, 2, "HP", "LP", true},
    {"Ext/Adm Control", "Ext/Adm", 2, 2, "HP", "LP", true},
};
constexpr int FirstExtractionType = 3;

// Buttons of the strip that each page shows once it is entered.
struct TPageButtons {
    const char* page;
    bool overspeedTest;
    bool security;
    bool timeDate;
    int alarmList; // the list the page shows and restarts; -1: none
};
constexpr const char* AlarmsPage = "KPCurrentAlarms";
constexpr TPageButtons PageButtons[] = {
    {"KPSpeedControl", true, true, false, -1},
    {"KPExtrAdmCntrl", false, true, false, -1},
    {"KPCascadeControl", false, true, false, -1},
    {"KPAuxiliaryControl", false, true, false, -1},
    {"KPValves", false, true, false, -1},
    {AlarmsPage, false, true, true, 0},
    {"KPAlarmHistory", false, false, true, 1},
    {"KPTripHistory", false, false, true, 2},
};

// Alarm lists: list, page, time and message item prefixes, line limit (0: the alarm count).
struct TAlarmListRow {
    const char* list;
    const char* page;
    TAlarmList::TItems items;
};
constexpr TAlarmListRow AlarmListRows[] = {
    {"LBCurrentAlarms", AlarmsPage, {"Y_ALARMS.ALARMS.EV_TM_", "Y_ALARMS.ALARMS.MSG_O_", 0}},
    {"LBAlarmHistory", "KPAlarmHistory", {"X_EVENTLOG.A.EV_TM_", "X_EVENTLOG.A.MESG_O_", 100}},
    {"LBTripHistory", "KPTripHistory", {"X_ELOG.T.EV_TM_", "X_ELOG.T.MESG_O_", 20}},
};

// Setpoint entry pairs, by the name their components share: "BSet" + name
// opens the panel "KPSet" + name with the editor "ESet" + name, and
// "BSet" + name + "Cancel" closes it.
constexpr const char* SetpointEntries[] = {"Speed", "HP", "Setpoint", "ExtAdm", "LP", "Cascade", "Auxiliary"};

// Actuator message states in which the valve must not be moved by hand.
constexpr int GoLockedStates[] = {0, 5, 6, TFormWindow::NotANumber};

} // namespace

TFRunMode::TFRunMode(TModeHost& host)
    : TModeWindow(host, TMode::Run, QStringLiteral("Closing Run Mode")), TFormWindow(this),
      device(host.ControlDevice())
{
    LoadForm(QStringLiteral("Rqv_run"), {{QStringLiteral("KQDatorelControl1"), device}});
    RUN_MODE_PARTS(FORM_PART_FIND)
    tRunTimer = new QTimer(this);
    tRunTimer->setInterval(Timing::RunTimerInterval);
    connect(tRunTimer, &QTimer::timeout, this, &TFRunMode::tRunTimerTimer);

    for (size_t entry = 0; entry < entries.size(); ++entry) {
        const QString name = QLatin1String(SetpointEntries[entry]);
        entries[entry] = {Part<QPushButton>("BSet" + name), Part<QWidget>("KPSet" + name), Part<QWidget>("ESet" + name)};
        connect(Part<QPushButton>("BSet" + name), &QPushButton::clicked, this, [this, entry] { OpenEntry(entry); });
        connect(Part<QPushButton>("BSet" + name + "Cancel"), &QPushButton::clicked, this,
                [this, entry] { CloseEntry(entry); });
    }
    SetUpAlarmLists();
    for (int v = 0; v < 2; ++v) {
        const QString n = QString::number(v + 1);
        const QString valve = "KValve" + n;
        const QString button = "BValve" + n;
        TValve& to = valves[size_t(v)];
        to.readouts = Part<QWidget>("KPValve" + n + "Val");
        to.calibration = Part<QWidget>("KPValve" + n + "Cnf");
        to.stripLabel = Part<QLabel>("LValve" + n);
        to.messageSpy = Part<TKQItemSpy>("SpyAct" + n + "_Msg");
        to.go = {Part<TKQMomentaryButton>(button + "GoMan"), Part<TKQMomentaryButton>(button + "GoMin"),
                 Part<TKQMomentaryButton>(button + "GoMax")};
        to.lockedButtons = {Part<TKQMomentaryButton>(valve + "MaxCurrentRaise"),
                            Part<TKQMomentaryButton>(valve + "MaxCurrentLower"),
                            Part<TKQMomentaryButton>(valve + "MinCurrentRaise"),
                            Part<TKQMomentaryButton>(valve + "MinCurrentLower"),
                            Part<TKQMomentaryButton>(button + "Enable"),
                            Part<TKQMomentaryButton>(button + "Disable")};
        to.currents = {Part<TKQBoxLabel>(valve + "MaxCurrent"), Part<TKQBoxLabel>(valve + "MinCurrent")};
        to.tunes = {Part<TK4812SpinTune>(valve + "ManualPos"), Part<TK4812SpinTune>(valve + "Dither")};
    }

    // Creation.
    PageControl1->SetActivePage(KPStartTurbine);
    speedDynamics = new TFSpeedDynamics(this, device);
    extAdmDynamics = new TFExtAdmDynamics(this, device);
    cascadeDynamics = new TFCascadeDynamics(this, device);
    auxiliaryDynamics = new TFAuxiliaryDynamics(this, device);
    Show(BSecurityLock, false);
    Show(BSecurityUnlock, true);
    Security(true);
}

TFRunMode::~TFRunMode() = default;

QWidget* TFRunMode::PageControlWidget() const
{
    return PageControl1;
}

void TFRunMode::UpdateFormCaption()
{
    TKQTabSheet* page = PageControl1->ActivePage();
    SetCaption(QStringLiteral("Run Mode - ") + (page ? page->Caption() : QString()));
}

void TFRunMode::showEvent(QShowEvent* event)
{
    TModeWindow::showEvent(event);
    WindowActivated();
}

void TFRunMode::WindowActivated()
{
    Host().ModeActivated(TMode::Run);
    ExtAdmSet();
    IdleToRatedSet();
    tRunTimer->start();
}

// ---------------------------------------------------------------------------
// Configuration

void TFRunMode::ExtAdmSet()
{
    const int type = KSpyTurbineType->HasValue() ? SpyInt(KSpyTurbineType) : NoValueYet;
    Show(LNonExtractionType, type < FirstExtractionType);
    Show(LExtractionType, type >= FirstExtractionType);
    if (type < 0 || type >= int(std::size(TurbineTypes)))
        return;
    const TTurbineType& row = TurbineTypes[type];
    if (row.extAdmCaption) {
        const QString label = QLatin1String(row.extAdmLabel);
        KPExtrAdmCntrl->SetCaption(QLatin1String(row.extAdmCaption));
        LExtAdmInput->setText(label);
        KExtractionButton->SetOffText(label);
        KExtractionButton->SetOnText(label);
    }
    KPExtrAdmCntrl->SetTabVisible(row.extAdmCaption != nullptr);
    Show(KPValve1, row.stripValves >= 1);
    Show(KPValve2, row.stripValves >= 2);
    const char* labels[] = {row.valveLabel1, row.valveLabel2};
    for (int v = 0; v < 2; ++v) {
        TValve& valve = valves[size_t(v)];
        if (row.pageValves >= 0) {
            Show(valve.readouts, row.pageValves > v);
            Show(valve.calibration, row.pageValves > v);
        }
        if (labels[v]) {
            const QString label = QLatin1String(labels[v]);
            valve.stripLabel->setText(label);
            valve.readouts->setProperty("Caption", label + " Valve");
            valve.calibration->setProperty("Caption", label + " Valve");
        }
    }
    Show(KPDemand, row.demand);
    UpdateFormCaption();
}

void TFRunMode::IdleToRatedSet()
{
    const int routine = KSpyIdleToRatedRoutine->HasValue() ? SpyInt(KSpyIdleToRatedRoutine) : NoValueYet;
    if (routine < 3) {
        Show(KPIdleRatedPanel, false);
        Show(KPStartSeqPanel, false);
    } else if (routine == 3 || routine == 4) {
        Show(KPIdleRatedPanel, routine == 3);
        Show(KPStartSeqPanel, routine == 4);
    }
}

void TFRunMode::KSpyTurbineTypeChange(QObject*)
{
    Guarded([this] { ExtAdmSet(); });
}

void TFRunMode::KSpyIdleToRatedRoutineChange(QObject*)
{
    Guarded([this] { IdleToRatedSet(); });
}

void TFRunMode::KSpyApplicationTypeChange(QObject* sender)
{
    const int type = SpyInt(sender);
    if (type <= 2)
        Show(KPGenerator, type == 2);
}

void TFRunMode::KSpyAuxiliaryTypeChange(QObject* sender)
{
    const int type = SpyInt(sender);
    if (type == 2 || type == 3)
        KPAuxiliaryControl->SetCaption(type == 2 ? QStringLiteral("Auxiliary Control")
                                                 : QStringLiteral("Auxiliary Limiter"));
    if (type <= 3)
        KPAuxiliaryControl->SetTabVisible(type >= 2);
    UpdateFormCaption();
}

void TFRunMode::KSpyCascadeTypeChange(QObject* sender)
{
    const int type = SpyInt(sender);
    if (type <= 2)
        Show(KPCascadeControl, type == 2);
}

void TFRunMode::KSpyRemoteSpeedChange(QObject* sender)
{
    Show(KPRemoteSpeedSetpoint, SpyBool(sender));
}

void TFRunMode::KSpyRemoteExtAdmChange(QObject* sender)
{
    Show(KPRemoteExtAdmSetpoint, SpyBool(sender));
}

void TFRunMode::KSpyRemoteCascadeChange(QObject* sender)
{
    Show(KPRemoteCascadeSetpoint, SpyBool(sender));
}

void TFRunMode::KSpyRemoteAuxiliaryChange(QObject* sender)
{
    Show(KPRemoteAuxiliarySetpoint, SpyBool(sender));
}

void TFRunMode::KSpyUseFSPChange(QObject* sender)
{
    Show(KPFSP, SpyBool(sender));
}

void TFRunMode::KSpyFreqControlChange(QObject* sender)
{
    Show(KPFreqControl, SpyBool(sender));
}

void TFRunMode::KSpyUseLocalRemoteChange(QObject* sender)
{
    Show(PLocalRemoteButton, SpyBool(sender));
}

void TFRunMode::KSpyUseShutdownChange(QObject* sender)
{
    Show(PShutdownButton, SpyBool(sender));
}

void TFRunMode::KSpySyncChange(QObject*)
{
    if (!KSpySync->HasValue() || !KSpyLoadshare->HasValue())
        return;
    const bool useSync = SpyBool(KSpySync);
    const bool loadshare = SpyBool(KSpyLoadshare);
    if (useSync || loadshare) {
        LSyncOrLoadshare->setText(useSync ? QStringLiteral("Sync") : QStringLiteral("Loadshare"));
        Show(BSyncEnable, useSync);
        Show(BSyncDisable, useSync);
    }
    Show(KPSyncLoadshare, useSync || loadshare);
}

void TFRunMode::KSpyControlledShutdownChange(QObject* sender)
{
    const bool acknowledged = SpyBool(sender);
    Guarded([&] {
        Show(BControlledShutdown, !acknowledged);
        for (QWidget* part : {BAbort, KShutdownStatus, static_cast<QWidget*>(LShutdownStatus)})
            Show(part, acknowledged);
    });
}

void TFRunMode::KSpyHaltVisibleChange(QObject* sender)
{
    const bool running = SpyBool(sender);
    Guarded([&] {
        Show(BHalt, running);
        Show(BContinue, !running);
    });
}

void TFRunMode::KSpyNotRunningChange(QObject* sender)
{
    const bool notRunning = SpyBool(sender);
    Guarded([&] { Show(KRunButton, notRunning); });
}

void TFRunMode::KSpyHPLimiterChange(QObject*)
{
    if (KSpyHPLimiter->HasValue() && KSpyHPRampLimit->HasValue())
        Guarded([&] { Show(BOpenLimiter, SpyBool(KSpyHPLimiter) && !SpyBool(KSpyHPRampLimit)); });
}

void TFRunMode::KSpyStartHoldChange(QObject* sender)
{
    const int state = SpyInt(sender);
    Show(KPLowHoldTime, state == 7 || state == 10);
    Show(KPHighHoldTime, state == 8 || state == 9);
}

void TFRunMode::KSpyLocalRemoteChange(QObject* sender)
{
    const bool remote = SpyBool(sender);
    Guarded([&] {
        TKQMomentaryButton* shown = remote ? BLocal : BRemote;
        Show(remote ? BRemote : BLocal, false);
        shown->SetVisible(true);
        shown->SetEnabled(true);
    });
}

void TFRunMode::KSpyNonExtractionStrChange(QObject* sender)
{
    LNonExtractionType->setText(SpyText(sender));
}

void TFRunMode::KSpyExtractionStrChange(QObject*)
{
    auto* line1 = KSpyExtractionStr1;
    auto* line2 = KSpyExtractionStr2;
    if (line1->HasValue() && line2->HasValue())
        LExtractionType->setText(SpyText(line1) + ' ' + SpyText(line2));
}

// ---------------------------------------------------------------------------
// Setpoint entry

void TFRunMode::OpenEntry(size_t entry)
{
    Show(entries[entry].panel, true);
    Show(entries[entry].open, false);
    entries[entry].editor->setFocus();
}

void TFRunMode::CloseEntry(size_t entry)
{
    Show(entries[entry].panel, false);
    Show(entries[entry].open, true);
}

// ---------------------------------------------------------------------------
// Alarm lists

void TFRunMode::SetUpAlarmLists()
{
    for (const TAlarmListRow& row : AlarmListRows) {
        const QString name = QLatin1String(row.list + 2);
        alarmLists.push_back({QLatin1String(row.page),
                              std::make_unique<TAlarmList>(Part<QListWidget>(QLatin1String(row.list)),
                                                           Part<QLabel>("L" + name + "Time"),
                                                           Part<QLabel>("L" + name + "Title"), row.items)});
    }
}

void TFRunMode::FillCurrentAlarms()
{
    alarmLists[0].list->Fill(device);
}

void TFRunMode::FillAlarmHistory()
{
    alarmLists[1].list->Fill(device);
}

void TFRunMode::FillTripHistory()
{
    alarmLists[2].list->Fill(device);
}

void TFRunMode::RestartAlarmLists()
{
    for (TPageList& list : alarmLists)
        list.list->Restart();
}

void TFRunMode::tRunTimerTimer()
{
    tRunTimer->stop();
    const QString page = PageControl1->ActivePageName();
    for (TPageList& list : alarmLists) {
        if (list.page != page)
            continue;
        list.list->Fill(device);
        Show(PCurrentAlarmsButton, page != QLatin1String(AlarmsPage));
    }
    tRunTimer->start();
}

void TFRunMode::KSpyAlarmNumChange(QObject* sender)
{
    RestartAlarmLists();
    const bool alarms = SpyInt(sender) > 0;
    Show(PCurrentAlarmsButton, alarms);
    BCurrentAlarms->setEnabled(alarms);
}

void TFRunMode::KSpyAlarmTripClearChange(QObject*)
{
    RestartAlarmLists();
}

// ---------------------------------------------------------------------------
// Pages

void TFRunMode::PageControl1Changing(QObject*)
{
    Guarded([this] {
        for (QWidget* part : {POverspeedTestButton, PSetTimeDateButton, PSecurityButton})
            Show(part, false);
        for (const TValve& valve : valves)
            ShowValveGoButtons(valve);
    });
}

void TFRunMode::PageControl1Change(QObject*)
{
    UpdateFormCaption();
    Show(PResetAlarmsButton, false);
    const QString page = PageControl1->ActivePageName();
    if (page != QLatin1String(AlarmsPage) && KSpyAlarmNum->HasValue() && SpyInt(KSpyAlarmNum) > 0)
        Show(PCurrentAlarmsButton, true);
    for (const TPageButtons& row : PageButtons) {
        if (page != QLatin1String(row.page))
            continue;
        if (row.alarmList >= 0 && !(keepAlarmList && row.page == AlarmsPage))
            alarmLists[size_t(row.alarmList)].list->Restart();
        if (row.page == AlarmsPage) {
            ShowAlarmsPageButtons();
            continue;
        }
        Show(POverspeedTestButton, row.overspeedTest);
        Show(PSecurityButton, row.security);
        Show(PSetTimeDateButton, row.timeDate);
    }
}

void TFRunMode::ShowAlarmsPageButtons()
{
    Show(PCurrentAlarmsButton, false);
    Show(POverspeedTestButton, false);
    Show(PResetAlarmsButton, true);
    Show(PSecurityButton, true);
    Show(PSetTimeDateButton, true);
}

void TFRunMode::BTrendClick()
{
    TTrendWindow::ShowSet(QString::fromLatin1(TrendCatalogue::RunSet), Host().ControlDevice(), TrendCatalogue::RunItems());
}

void TFRunMode::BCurrentAlarmsClick()
{
    // Jumping to the alarms keeps the list as it is.
    {
        const TReentranceGuard keep(keepAlarmList);
        PageControl1->SetActivePage(KPCurrentAlarms);
    }
    ShowAlarmsPageButtons();
}

// ---------------------------------------------------------------------------
// Security and dialogs

void TFRunMode::Security(bool locked)
{
    securityLocked = locked;
    for (TFDynamics* window : std::initializer_list<TFDynamics*>{speedDynamics, extAdmDynamics, cascadeDynamics,
                                                                  auxiliaryDynamics})
        window->SetGainButtonsMonitorOnly(locked);
    for (const TValve& valve : valves) {
        ShowValveGoButtons(valve);
        for (TK4812SpinTune* tune : valve.tunes)
            tune->SetIsMonitorOnly(locked);
        for (TKQBoxLabel* current : valve.currents)
            current->SetEnabled(!locked);
        for (TKQMomentaryButton* button : valve.lockedButtons)
            button->SetIsMonitorOnly(locked);
        ApplyGoButtons(valve);
    }
    BSaveSettings->SetIsMonitorOnly(locked);
    BSetTimeDate->setEnabled(!locked);
}

void TFRunMode::BSecurityUnlockClick()
{
    Guarded([this] {
        if (!Host().CheckPassword(RunPassword, RunModeName))
            return;
        Show(BSecurityUnlock, false);
        Show(BSecurityLock, true);
        Security(false);
    });
}

void TFRunMode::BSecurityLockClick()
{
    Guarded([this] {
        if (MessageDlg(QStringLiteral("Lock Security?"), TMsgDlgType::mtConfirmation, mbOK | mbCancel) != mrOk)
            return;
        Show(BSecurityLock, false);
        Show(BSecurityUnlock, true);
        Security(true);
    });
}

void TFRunMode::ShowDynamics(QWidget* window)
{
    Guarded([this, window] {
        window->show();
        window->raise();
        window->activateWindow();
        Security(securityLocked);
    });
}

void TFRunMode::BSpeedDynamicsClick()
{
    ShowDynamics(speedDynamics);
}

void TFRunMode::BExtAdmDynamicsClick()
{
    ShowDynamics(extAdmDynamics);
}

void TFRunMode::BCascadeDynamicsClick()
{
    ShowDynamics(cascadeDynamics);
}

void TFRunMode::BAuxiliaryDynamicsClick()
{
    ShowDynamics(auxiliaryDynamics);
}

void TFRunMode::BOverspeedTestClick()
{
    Guarded([this] { (new TFOverspeedTest(this, device))->show(); });
}

void TFRunMode::BSetTimeDateClick()
{
    Guarded([this] { (new TFTimeDate(this, device))->show(); });
}

// ---------------------------------------------------------------------------
// Valve calibration

void TFRunMode::BCalibrateClick()
{
    Show(KPValveCalibrate, false);
    Show(KPValveMiddle, true);
    Show(KPValveBottom, true);
}

void TFRunMode::BCloseCalibrateClick()
{
    Show(KPValveMiddle, false);
    Show(KPValveBottom, false);
    Show(KPValveCalibrate, true);
    for (const TValve& valve : valves)
        ShowValveGoButtons(valve);
}

void TFRunMode::ShowValveGoButtons(const TValve& valve)
{
    for (TKQMomentaryButton* go : valve.go)
        go->SetVisible(true);
}

void TFRunMode::ApplyGoButtons(const TValve& valve)
{
    const int state = securityLocked || !valve.messageSpy->HasValue() ? NotANumber : SpyInt(valve.messageSpy);
    const bool locked = std::find(std::begin(GoLockedStates), std::end(GoLockedStates), state)
                        != std::end(GoLockedStates);
    for (TKQMomentaryButton* go : valve.go)
        go->SetIsMonitorOnly(locked);
}

TFRunMode::TValve* TFRunMode::ValveOf(QObject* control)
{
    for (TValve& valve : valves) {
        if (control == valve.messageSpy || std::find(valve.go.begin(), valve.go.end(), control) != valve.go.end()
            || std::find(valve.lockedButtons.begin(), valve.lockedButtons.end(), control) != valve.lockedButtons.end())
            return &valve;
    }
    return nullptr;
}

void TFRunMode::SpyAct_MsgChange(QObject* sender)
{
    if (const TValve* valve = ValveOf(sender))
        Guarded([&] { ApplyGoButtons(*valve); });
}

void TFRunMode::GoButtonStateChange(QObject* sender)
{
    auto* button = qobject_cast<TKQMomentaryButton*>(sender);
    const TValve* valve = ValveOf(sender);
    if (!button || !valve || button->ButtonOn())
        return;
    Guarded([&] {
        for (TKQMomentaryButton* go : valve->go)
            go->SetVisible(go != button);
    });
}

void TFRunMode::ValveEnableMouseDown(QObject* sender, Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    if (const TValve* valve = ValveOf(sender))
        Guarded([&] { ShowValveGoButtons(*valve); });
}
