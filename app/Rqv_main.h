// The program's main window: owns the link to the communication server and the
// control device every window binds to, takes the program on line, polls the
// control's status, opens and closes the mode windows through its deferred-action
// timer, and carries the file, print and access commands.
#pragma once

#include "app/ConfigurationCheck.h"
#include "app/ModeHost.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <initializer_list>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QMdiArea;
class QMenu;
class QPushButton;
class QTimer;
class TKQDatorelConfig;
class TKQDatorelControl;
class TKQServer;
class TKQStatusPanel;
class TFRunMode;
class TFProgramMode;
class TFServiceMode;
class TModeWindow;
class TChildWindows;
class TStatusPoll;
class TTripCapture;
class TValuesFile;

class TFMain : public QMainWindow, public TModeHost, public TCheckHost {
    Q_OBJECT
public:
    explicit TFMain(QWidget* parent = nullptr);
    ~TFMain() override;

    // Components.
    TKQServer* KQServer1 = nullptr;
    TKQDatorelControl* KQDatorelControl1 = nullptr;
    TKQDatorelConfig* KQDatorelConfig1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QWidget* MainPanel = nullptr;
    QPushButton* ProgramOnLineButton = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* RunModeButton = nullptr;
    QPushButton* ServiceModeButton = nullptr;
    QTimer* tPing = nullptr;
    QTimer* tMain = nullptr;
    QTimer* CCheckTimer = nullptr;
    QMdiArea* MdiArea = nullptr;

    // Menu items.
    QAction* Save1 = nullptr;
    QAction* Loadfromfile1 = nullptr;
    QAction* SendValuesToControl = nullptr;
    QAction* Printcurrentpage1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Program1Menu = nullptr;
    QAction* Program1 = nullptr;
    QAction* ProgramEdit = nullptr;
    QAction* ProgramViewOnly = nullptr;
    QAction* Service1 = nullptr;
    QAction* ServiceEdit = nullptr;
    QAction* ServiceViewOnly = nullptr;
    QAction* Run1 = nullptr;
    QAction* Trend1 = nullptr;

    // Writes a trend file around every trip while on line; its notices go to TripCapturePanel.
    TTripCapture* TripCapture1 = nullptr;
    QLabel* TripCapturePanel = nullptr;

    // Status bar panel texts (0: data link, 1: control status).
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);

    // Working window and status poll.
    void ShowStatus(const QString& text);
    void NormalStatus();
    void DisablePing();
    bool WaitTillPingDone();
    bool bInConfMode() override;
    void SuspendOtherAdvises() override;
    void RestartOtherAdvises() override;
    // Disables and enables tMain, so that its period begins anew.
    void RestartMainTimer() override;

    // What the mode windows ask of the main window.
    TKQDatorelControl* ControlDevice() const override { return KQDatorelControl1; }
    bool ProgramEnding() const override { return Ending; }
    void RequestClose(TMode mode, const QString& closingText) override;
    void ModeActivated(TMode mode) override;
    bool OpenForChange(TMode mode) const override;
    bool ControlInLoadFromFileState() override;
    void StartConfigurationCheck() override;

    // What the configuration check asks of the main window.
    TFProgramMode* CheckedWindow() const override;
    void SetCheckStatus(const QString& text) override { SetPanelText(1, text); }
    void HoldStatusPoll(bool held) override;
    void ReinitializeControl() override;
    TConfigurationCheck* ConfigurationCheck() const { return configurationCheck; }
    void SetMainWindowEnabled(bool enabled) override { setEnabled(enabled); }
    void SaveValuesToFile() override { Save1Click(); }
    void LoadValuesFromFile() override { Loadfromfile1Click(); }

    // Mode windows (opened by tMain only).
    void OpenRunMode();
    void OpenProgramEdit();
    void OpenServiceMode();
    // The other mode windows are restored from maximised; true when any is shown.
    bool UnMaximizeOthers(TModeWindow* except);
    // Deferred state of each mode window: see TModeState.
    int RunModeState = 0;
    int ProgramModeState = 0;
    int ServiceModeState = 0;
    QPointer<TFRunMode> FRunMode;
    QPointer<TFProgramMode> FProgramMode;
    QPointer<TFServiceMode> FServiceMode;

    // Access control.
    bool CheckPassword(const QString& password, const QString& modeName) override;

    // Screen scaling, per mille.
    int WidthFactor = 1000;
    int HeightFactor = 1000;

    // Program-wide state.
    bool Ending = false; // the program is closing: mode windows may close
    bool FirstActivate = true;
    bool OnLine = false;
    int PendingAction = 0;

public slots:
    void Save1Click();
    void Loadfromfile1Click();
    void Printcurrentpage1Click();
    void Exit1Click();
    void Program1Click();
    void ProgramEditClick();
    void ProgramViewOnlyClick();
    void ServiceEditClick();
    void ServiceViewOnlyClick();
    void Run1Click();
    void Cascade1Click();
    // Lays the child windows out again as the operator arranged them last.
    void ArrangeChildren();
    void TileHorizontalClick();
    void TileVerticalClick();
    void About1Click();
    // The trend of the Run mode set.
    void Trend1Click();
    void tPingTimer();
    void tMainTimer();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenu();
    void CreateToolBar();
    void CreateStatusBar();
    void FormActivate();
    void GetOnLine();
    void OnCommunicating(class TObject* sender);
    bool GoOnLineFirst(int action);
    bool ConfigureModePrecondition();
    // Ticks the mode's menu items and has tMain open the window.
    void RequestModeWindow(int& state, std::initializer_list<QAction*> ticks, const QString& status);
    int& StateOf(TMode mode);
    QList<QAction*> ModeItems() const;
    void RememberTicks();
    void RestoreTicks();

    QLabel* panels[2] = {nullptr, nullptr};
    TStatusPoll* statusPoll = nullptr;
    TConfigurationCheck* configurationCheck = nullptr;
    std::unique_ptr<TValuesFile> valuesFile;
    std::unique_ptr<TChildWindows> childWindows;
    QList<bool> rememberedTicks;
};

// The main window, while it exists.
extern TFMain* FMain;
