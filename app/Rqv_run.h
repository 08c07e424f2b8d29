// The Run mode window: the operator's window for a running turbine. Its pages and
// panels follow the control's configuration through item spies; it holds the
// setpoint entry panels, fills the alarm lists line by line, guards the
// dynamics gains and valve calibration behind a security lock, and opens the
// run-mode dialogs.
#pragma once

#include "app/FormWindow.h"
#include "app/ModeWindow.h"

#include <QString>

#include <array>
#include <memory>
#include <vector>

class QLabel;
class TAlarmList;
class QListWidget;
class QPushButton;
class QTimer;
class TFAuxiliaryDynamics;
class TFCascadeDynamics;
class TFDynamics;
class TFExtAdmDynamics;
class TFSpeedDynamics;
class TK4812SpinTune;
class TKQBoxLabel;
class TKQDAOneShotButton;
class TKQDevice;
class TKQItemSpy;
class TKQMomentaryButton;
class TKQPageControl;
class TKQPanel;
class TKQTabSheet;

// The parts of the form the window's rules use.
#define RUN_MODE_PARTS(X) \
    X(TKQPageControl, PageControl1) \
    X(TKQTabSheet, KPStartTurbine) \
    X(TKQTabSheet, KPExtrAdmCntrl) \
    X(TKQTabSheet, KPCascadeControl) \
    X(TKQTabSheet, KPAuxiliaryControl) \
    X(TKQTabSheet, KPCurrentAlarms) \
    X(TKQItemSpy, KSpyTurbineType) \
    X(TKQItemSpy, KSpyIdleToRatedRoutine) \
    X(TKQItemSpy, KSpySync) \
    X(TKQItemSpy, KSpyLoadshare) \
    X(TKQItemSpy, KSpyHPLimiter) \
    X(TKQItemSpy, KSpyHPRampLimit) \
    X(TKQItemSpy, KSpyAlarmNum) \
    X(TKQItemSpy, KSpyExtractionStr1) \
    X(TKQItemSpy, KSpyExtractionStr2) \
    X(QLabel, LExtAdmInput) \
    X(QLabel, LExtractionType) \
    X(QLabel, LNonExtractionType) \
    X(QLabel, LSyncOrLoadshare) \
    X(QLabel, LShutdownStatus) \
    X(QPushButton, BCurrentAlarms) \
    X(QPushButton, BSetTimeDate) \
    X(TKQDAOneShotButton, BSaveSettings) \
    X(TKQMomentaryButton, KExtractionButton) \
    X(TKQMomentaryButton, BLocal) \
    X(TKQMomentaryButton, BRemote) \
    X(QWidget, BHalt) \
    X(QWidget, BContinue) \
    X(QWidget, BControlledShutdown) \
    X(QWidget, BAbort) \
    X(QWidget, KShutdownStatus) \
    X(QWidget, KRunButton) \
    X(QWidget, BOpenLimiter) \
    X(QWidget, BSecurityLock) \
    X(QWidget, BSecurityUnlock) \
    X(QWidget, BSyncEnable) \
    X(QWidget, BSyncDisable) \
    X(QWidget, KPDemand) \
    X(QWidget, KPFSP) \
    X(QWidget, KPFreqControl) \
    X(QWidget, KPGenerator) \
    X(QWidget, KPLowHoldTime) \
    X(QWidget, KPHighHoldTime) \
    X(QWidget, KPIdleRatedPanel) \
    X(QWidget, KPStartSeqPanel) \
    X(QWidget, KPRemoteSpeedSetpoint) \
    X(QWidget, KPRemoteExtAdmSetpoint) \
    X(QWidget, KPRemoteCascadeSetpoint) \
    X(QWidget, KPRemoteAuxiliarySetpoint) \
    X(QWidget, KPSyncLoadshare) \
    X(QWidget, KPValve1) \
    X(QWidget, KPValve2) \
    X(QWidget, KPValveCalibrate) \
    X(QWidget, KPValveMiddle) \
    X(QWidget, KPValveBottom) \
    X(QWidget, PCurrentAlarmsButton) \
    X(QWidget, POverspeedTestButton) \
    X(QWidget, PResetAlarmsButton) \
    X(QWidget, PSecurityButton) \
    X(QWidget, PSetTimeDateButton) \
    X(QWidget, PLocalRemoteButton) \
    X(QWidget, PShutdownButton)

class TFRunMode : public TModeWindow, public TFormWindow {
    Q_OBJECT
public:
    explicit TFRunMode(TModeHost& host);
    ~TFRunMode() override;

    // "Run Mode - " and the active page's caption.
    void UpdateFormCaption() override;
    QWidget* PageControlWidget() const override;

    // The turbine type and the idle-to-rated routine decide pages and panels.
    void ExtAdmSet();
    void IdleToRatedSet();
    // Locks (true) or unlocks the dynamics gains, valve calibration and time setting.
    void Security(bool locked);
    bool SecurityLocked() const { return securityLocked; }
    // Each adds at most the next line of its list.
    void FillCurrentAlarms();
    void FillAlarmHistory();
    void FillTripHistory();

    TFSpeedDynamics* SpeedDynamics() const { return speedDynamics; }
    TFExtAdmDynamics* ExtAdmDynamics() const { return extAdmDynamics; }
    TFCascadeDynamics* CascadeDynamics() const { return cascadeDynamics; }
    TFAuxiliaryDynamics* AuxiliaryDynamics() const { return auxiliaryDynamics; }
    void WindowActivated() override;

    QTimer* tRunTimer = nullptr;
    RUN_MODE_PARTS(FORM_PART_MEMBER)

public slots:
    void tRunTimerTimer();
    void PageControl1Changing(QObject* sender);
    void PageControl1Change(QObject* sender);

    void BCurrentAlarmsClick();
    void BTrendClick();
    void BOverspeedTestClick();
    void BSetTimeDateClick();
    void BSecurityUnlockClick();
    void BSecurityLockClick();
    void BSpeedDynamicsClick();
    void BExtAdmDynamicsClick();
    void BCascadeDynamicsClick();
    void BAuxiliaryDynamicsClick();
    void BCalibrateClick();
    void BCloseCalibrateClick();
    void GoButtonStateChange(QObject* sender);
    void ValveEnableMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

    void KSpyTurbineTypeChange(QObject* sender);
    void KSpyIdleToRatedRoutineChange(QObject* sender);
    void KSpyApplicationTypeChange(QObject* sender);
    void KSpyAuxiliaryTypeChange(QObject* sender);
    void KSpyCascadeTypeChange(QObject* sender);
    void KSpyRemoteSpeedChange(QObject* sender);
    void KSpyRemoteExtAdmChange(QObject* sender);
    void KSpyRemoteCascadeChange(QObject* sender);
    void KSpyRemoteAuxiliaryChange(QObject* sender);
    void KSpyUseFSPChange(QObject* sender);
    void KSpySyncChange(QObject* sender);
    void KSpyFreqControlChange(QObject* sender);
    void KSpyControlledShutdownChange(QObject* sender);
    void KSpyHaltVisibleChange(QObject* sender);
    void KSpyStartHoldChange(QObject* sender);
    void KSpyNotRunningChange(QObject* sender);
    void KSpyHPLimiterChange(QObject* sender);
    void KSpyAlarmNumChange(QObject* sender);
    void KSpyAlarmTripClearChange(QObject* sender);
    void KSpyUseLocalRemoteChange(QObject* sender);
    void KSpyLocalRemoteChange(QObject* sender);
    void KSpyUseShutdownChange(QObject* sender);
    void KSpyNonExtractionStrChange(QObject* sender);
    void KSpyExtractionStrChange(QObject* sender);
    void SpyAct_MsgChange(QObject* sender);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // An alarm list and the page that shows it.
    struct TPageList {
        QString page;
        std::unique_ptr<TAlarmList> list;
    };
    // The calibration controls of one valve.
    struct TValve {
        QWidget* readouts = nullptr;
        QWidget* calibration = nullptr;
        QLabel* stripLabel = nullptr;
        TKQItemSpy* messageSpy = nullptr;
        std::array<TKQMomentaryButton*, 3> go{};
        std::array<TKQMomentaryButton*, 6> lockedButtons{}; // current raise/lower, Enable, Disable
        std::array<TKQBoxLabel*, 2> currents{};
        std::array<TK4812SpinTune*, 2> tunes{};
    };

    // A setpoint entry: its button opens its panel, whose cancel button closes it.
    struct TEntry {
        QWidget* open = nullptr;
        QWidget* panel = nullptr;
        QWidget* editor = nullptr;
    };

    void RestartAlarmLists();
    void ShowAlarmsPageButtons();
    void ShowValveGoButtons(const TValve& valve);
    void ApplyGoButtons(const TValve& valve);
    void ShowDynamics(QWidget* window);
    void OpenEntry(size_t entry);
    void CloseEntry(size_t entry);
    void SetUpAlarmLists();
    TValve* ValveOf(QObject* control);

    TKQDevice* device = nullptr;
    TFSpeedDynamics* speedDynamics = nullptr;
    TFExtAdmDynamics* extAdmDynamics = nullptr;
    TFCascadeDynamics* cascadeDynamics = nullptr;
    TFAuxiliaryDynamics* auxiliaryDynamics = nullptr;
    bool securityLocked = true;
    bool keepAlarmList = false; // the Alarms button keeps the list as it is

    std::array<TEntry, 7> entries;
    std::vector<TPageList> alarmLists;
    std::array<TValve, 2> valves;
};
