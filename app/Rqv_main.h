// The program's main window: owns the link to the communication server and the
// control device every window binds to, takes the program on line, polls the
// control's status, opens and closes the mode windows through its deferred-action
// timer, and carries the file, print and access commands.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <initializer_list>

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

class TFMain : public QMainWindow {
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

    // Status bar panel texts (0: data link, 1: control status).
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);

    // Working window and status poll.
    void ShowStatus(const QString& text);
    void NormalStatus();
    void DisablePing();
    bool WaitTillPingDone();
    bool WaitTillRequestReady();
    bool bInConfMode();
    void SuspendOtherAdvises();
    void RestartOtherAdvises();
    // Disables and enables tMain, so that its period begins anew.
    void RestartMainTimer();

    // Mode windows (opened by tMain only).
    void OpenRunMode();
    void OpenProgramEdit();
    void OpenServiceMode();
    bool UnMaximizeOtherModes(TModeWindow* except);
    // Deferred state of each mode window: see TModeState.
    int RunModeState = 0;
    int ProgramModeState = 0;
    int ServiceModeState = 0;
    QPointer<TFRunMode> FRunMode;
    QPointer<TFProgramMode> FProgramMode;
    QPointer<TFServiceMode> FServiceMode;

    // Access control.
    bool CheckPassword(const QString& password, const QString& modeName);
    static void UpdateChildrensMonStatus(QWidget* parent, bool monitorOnly);

    // Values file.
    void EnableRangeChecking(bool enable);
    bool ControlInLoadFromFileState();
    static QString ExtractName(const QString& path);

    // Printing: prints one picture on one page, scaled to fit.
    void Print(const QImage& bitmap, class QPrinter& printer);
    // Size on the page of a w x h picture, fit-to-page.
    static QSize FitToPage(QSize picture, QSize page);

    // Screen scaling by the full-screen client height, per mille.
    struct TScaleFactors {
        int width;
        int height;
    };
    static TScaleFactors ScaleFactorsFor(int fullScreenClientHeight);
    int WidthFactor = 1000;
    int HeightFactor = 1000;

    // Program-wide state.
    bool Ending = false; // the program is closing: mode windows may close
    bool FirstActivate = true;
    bool Communicating = false;
    bool OnLine = false;
    int PendingAction = 0;
    bool TileLayout = false;
    // The tile direction the operator chose last.
    bool TileHorizontally = false;
    double LastPingTime = 0;
    bool InConfMode = false;
    bool PingBusy = false;
    int PollErrorTime = 0;

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
    void tPingTimer();
    void tMainTimer();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Ctrl+F4 closes the active mode window.
    bool event(QEvent* event) override;

private:
    void CreateMenu();
    // Ctrl+F6 and Ctrl+Shift+F6 go to the next and previous mode window.
    void CreateWindowKeys();
    void CreateToolBar();
    void CreateStatusBar();
    void FormActivate();
    void GetOnLine();
    void OnCommunicating(class TObject* sender);
    bool GoOnLineFirst(int action);
    bool ConfigureModePrecondition();
    // Ticks the mode's menu items and has tMain open the window.
    void RequestModeWindow(int& state, std::initializer_list<QAction*> ticks, const QString& status);
    void PlaceModeWindow(TModeWindow* window);
    QWidget* PrintTarget() const;
    QList<QAction*> ModeItems() const;
    void RememberTicks();
    void RestoreTicks();

    QLabel* panels[2] = {nullptr, nullptr};
    TKQStatusPanel* linkPanel = nullptr;
    QString lastOpenFileName;
    QString lastSaveFileName;
    QList<bool> rememberedTicks;
};

// The main window, while it exists.
extern TFMain* FMain;
