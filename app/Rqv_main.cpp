#include "app/Rqv_main.h"

#include "app/About.h"
#include "app/Application.h"
#include "app/ChildWindows.h"
#include "app/MdiAccessible.h"
#include "app/Printing.h"
#include "app/RQV_pwd.h"
#include "app/Rqv_program.h"
#include "app/Rqv_run.h"
#include "app/Rqv_service.h"
#include "app/ScreenScaling.h"
#include "app/StatusPoll.h"
#include "app/TrendCatalogue.h"
#include "app/TrendWindow.h"
#include "app/TripCapture.h"
#include "app/ValuesFile.h"
#include "app/Working.h"
#include "controls/K4812SpinEdit.h"
#include "controls/KAccessible.h"
#include "datalink/KQDatorelConfig.h"
#include "datalink/KQDatorelControl.h"
#include "datalink/KQServer.h"
#include "datalink/KQStatusPanel.h"
#include "platform/Exception.h"
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/files/DataFolders.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

TFMain* FMain = nullptr;

namespace {

const QString ServerName = QStringLiteral("URQVDatorel");
const QString DefaultNetworkFile = QStringLiteral("4812.net");
const QString DefaultControlId = QStringLiteral("Dflt Control ID");
const QString ConfigureEnabledItem = QStringLiteral("Z_CPU_COM.EN_CONFIG.OR");
const QString ProgramPassword = QStringLiteral("4177");
const QString ServicePassword = QStringLiteral("4309");

// Design size of the main window before screen scaling.
constexpr QSize DesignSize(649, 489);

enum TPendingAction { paNone = 0, paProgramChange, paProgramViewOnly, paServiceChange, paServiceViewOnly, paRun };

} // namespace

TFMain::TFMain(QWidget* parent) : QMainWindow(parent)
{
    FMain = this;
    setObjectName(QStringLiteral("FMain"));
    setWindowTitle(QStringLiteral("4812 Turvista"));

    CreateStatusBar();
    KQServer1 = new TKQServer(this);
    KQServer1->setObjectName(QStringLiteral("KQServer1"));
    KQServer1->SetRunMode(TKRunMode::Hidden);
    KQServer1->StatusPanel()->SetStatusBar(StatusBar1);
    KQServer1->Loaded();
    KQDatorelControl1 = new TKQDatorelControl(this);
    KQDatorelControl1->setObjectName(QStringLiteral("KQDatorelControl1"));
    KQDatorelControl1->StatusPanel()->SetStatusBar(StatusBar1);
    KQDatorelControl1->SetServer(KQServer1);
    KQDatorelControl1->Loaded();
    KQDatorelConfig1 = new TKQDatorelConfig(this);
    KQDatorelConfig1->setObjectName(QStringLiteral("KQDatorelConfig1"));
    KQDatorelConfig1->SetDevice(KQDatorelControl1);
    KQDatorelConfig1->StatusPanel()->SetStatusBar(StatusBar1);

    statusPoll = new TStatusPoll(KQDatorelControl1, panels[0], panels[1], this);
    tPing = statusPoll->Timer();
    tMain = new QTimer(this);
    tMain->setObjectName(QStringLiteral("tMain"));
    tMain->setInterval(Timing::DeferredActionInterval);
    connect(tMain, &QTimer::timeout, this, &TFMain::tMainTimer);
    CCheckTimer = new QTimer(this);
    CCheckTimer->setObjectName(QStringLiteral("CCheckTimer"));
    CCheckTimer->setInterval(Timing::ConfigCheckFirstPoll);
    configurationCheck = new TConfigurationCheck(*this, CCheckTimer, this);

    CreateMenu();
    auto* centre = new QWidget(this);
    auto* column = new QVBoxLayout(centre);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    CreateToolBar();
    column->addWidget(MainPanel);
    MdiArea = new QMdiArea(centre);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    childWindows = std::make_unique<TChildWindows>(MdiArea);
    InstallMdiAccessibility();
    InstallMdiKeys(this, MdiArea);
    column->addWidget(MdiArea, 1);
    setCentralWidget(centre);
    connect(MdiArea, &QMdiArea::subWindowActivated, this, [](QMdiSubWindow* frame) {
        if (auto* window = frame ? qobject_cast<TModeWindow*>(frame->widget()) : nullptr)
            window->WindowActivated();
    });
    valuesFile = std::make_unique<TValuesFile>(this, MainPanel, KQDatorelControl1, KQDatorelConfig1, *statusPoll,
                                 [this] { NormalStatus(); });

    const ScreenScaling::TScaleFactors factors = ScreenScaling::ScaleAndCentre(this, DesignSize);
    WidthFactor = factors.width;
    HeightFactor = factors.height;
}

TFMain::~TFMain()
{
    Ending = true;
    // Stopping the server waits for it with events running: no status poll then.
    statusPoll->DisablePing();
    // Windows that bind items go before the device, the device before the server.
    for (TModeWindow* window : std::initializer_list<TModeWindow*>{FRunMode, FProgramMode, FServiceMode}) {
        if (window)
            TChildWindows::Free(window);
    }
    TTrendWindow::CloseAll();
    delete TripCapture1;
    delete KQDatorelConfig1;
    delete KQDatorelControl1;
    delete KQServer1;
    if (FMain == this)
        FMain = nullptr;
}

// ---- construction ---------------------------------------------------------------------

void TFMain::CreateStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    panels[0] = TKQStatusPanel::AddPanel(StatusBar1, 200, QStringLiteral("Not Active."));
    panels[1] = TKQStatusPanel::AddPanel(StatusBar1, 300, QStringLiteral("Control Status:  Not Communicating"));
    TripCapturePanel = TKQStatusPanel::AddPanel(StatusBar1, 0, QString());
    TripCapturePanel->setObjectName(QStringLiteral("TripCapturePanel"));
    TripCapturePanel->setAccessibleName(QStringLiteral("Trip capture"));
    TripCapturePanel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    TripCapturePanel->hide(); // until there is a trip to tell of
    setStatusBar(StatusBar1);
    StatusBar1->setAccessibleName(QStringLiteral("Status bar"));
    if (auto* grip = StatusBar1->findChild<QSizeGrip*>())
        grip->setAccessibleName(QStringLiteral("Size grip"));
}

void TFMain::CreateToolBar()
{
    MainPanel = new QWidget(this);
    MainPanel->setObjectName(QStringLiteral("MainPanel"));
    SetAccessibleRole(MainPanel, QAccessible::ToolBar); // before the name, which makes its interface
    MainPanel->setAccessibleName(QStringLiteral("Tool bar"));
    auto* row = new QHBoxLayout(MainPanel);
    row->setContentsMargins(4, 4, 4, 4);
    auto button = [this, row](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, MainPanel);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumWidth(120);
        row->addWidget(b);
        return b;
    };
    ProgramOnLineButton = button("ProgramOnLineButton", QStringLiteral("Program On-Line"));
    BitBtn1 = button("BitBtn1", QStringLiteral("Program Off-Line"));
    BitBtn1->setEnabled(false);
    RunModeButton = button("RunModeButton", QStringLiteral("Run Mode"));
    ServiceModeButton = button("ServiceModeButton", QStringLiteral("Service Mode"));
    row->addStretch();
    connect(ProgramOnLineButton, &QPushButton::clicked, this, &TFMain::ProgramEditClick);
    connect(RunModeButton, &QPushButton::clicked, this, &TFMain::Run1Click);
    connect(ServiceModeButton, &QPushButton::clicked, this, &TFMain::ServiceEditClick);
}

void TFMain::CreateMenu()
{
    QMenuBar* bar = menuBar();
    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (TFMain::*handler)() = nullptr,
                       const QString& hint = QString()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setStatusTip(hint);
        if (handler)
            connect(action, &QAction::triggered, this, handler);
        else
            action->setEnabled(false);
        return action;
    };

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    Save1 = item(file, "Save1", QStringLiteral("&Save values to file"), &TFMain::Save1Click,
                 QStringLiteral("Save programmable values to a text file"));
    Loadfromfile1 = item(file, "Loadfromfile1", QStringLiteral("&Load values from file"), &TFMain::Loadfromfile1Click,
                         QStringLiteral("Load programmable values from saved file"));
    SendValuesToControl = item(file, "SendValuesToControl", QStringLiteral("S&end values to control"));
    file->addSeparator();
    Printcurrentpage1 = item(file, "Printcurrentpage1", QStringLiteral("Print &current page"),
                             &TFMain::Printcurrentpage1Click);
    file->addSeparator();
    Exit1 = item(file, "Exit1", QStringLiteral("E&xit"), &TFMain::Exit1Click);

    // Choosing a checkable item ticks it (and unticks its group); the ticks
    // record which mode window is open, so the command puts them back as they
    // were when the menu opened and sets them itself.
    auto modeItem = [this](QMenu* menu, const char* name, const QString& caption, void (TFMain::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, handler] {
            RestoreTicks();
            (this->*handler)();
        });
        return action;
    };
    auto group = [this](std::initializer_list<QAction*> actions) {
        auto* radio = new QActionGroup(this);
        radio->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        for (QAction* action : actions)
            radio->addAction(action);
    };

    QMenu* mode = bar->addMenu(QStringLiteral("&Mode"));
    connect(mode, &QMenu::aboutToShow, this, &TFMain::RememberTicks);
    Program1Menu = mode->addMenu(QStringLiteral("&Program"));
    Program1 = Program1Menu->menuAction();
    Program1->setObjectName(QStringLiteral("Program1"));
    Program1->setCheckable(true);
    connect(Program1Menu, &QMenu::aboutToShow, this, &TFMain::Program1Click);
    ProgramEdit = modeItem(Program1Menu, "ProgramEdit", QStringLiteral("&Change"), &TFMain::ProgramEditClick);
    ProgramViewOnly = modeItem(Program1Menu, "ProgramViewOnly", QStringLiteral("&View Only"),
                               &TFMain::ProgramViewOnlyClick);
    QMenu* service = mode->addMenu(QStringLiteral("&Service"));
    Service1 = service->menuAction();
    Service1->setObjectName(QStringLiteral("Service1"));
    Service1->setCheckable(true);
    ServiceEdit = modeItem(service, "ServiceEdit", QStringLiteral("&Change"), &TFMain::ServiceEditClick);
    ServiceViewOnly = modeItem(service, "ServiceViewOnly", QStringLiteral("&View Only"), &TFMain::ServiceViewOnlyClick);
    Run1 = modeItem(mode, "Run1", QStringLiteral("&Run"), &TFMain::Run1Click);
    group({Program1, Service1, Run1});
    group({ProgramEdit, ProgramViewOnly});
    group({ServiceEdit, ServiceViewOnly});

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    item(options, "ChangeProgramPassword", QStringLiteral("Change &Program mode password"));
    item(options, "ChangeRunPassword", QStringLiteral("Change &Run mode password"));
    item(options, "ChangeServicePassword", QStringLiteral("Change &Service mode password"));
    options->addSeparator();
    item(options, "ChangeAdministratorPassword", QStringLiteral("Change &Admisitrator password"));

    QMenu* windows = bar->addMenu(QStringLiteral("&Windows"));
    item(windows, "Cascade1", QStringLiteral("&Cascade"), &TFMain::Cascade1Click);
    item(windows, "TileHorizontal", QStringLiteral("Tile &Horizontal"), &TFMain::TileHorizontalClick);
    item(windows, "TileVertical", QStringLiteral("Tile &Vertical"), &TFMain::TileVerticalClick);
    windows->addSeparator();
    Trend1 = item(windows, "Trend1", QStringLiteral("&Trend"), &TFMain::Trend1Click,
                  QStringLiteral("Plot speed, setpoints and valve demands against time"));
    Trend1->setEnabled(false);

    QMenu* about = bar->addMenu(QStringLiteral("&About"));
    item(about, "About1", QStringLiteral("About 4812 RQV Tools"), &TFMain::About1Click);
}

void TFMain::Trend1Click()
{
    if (OnLine)
        TTrendWindow::ShowSet(QString::fromLatin1(TrendCatalogue::RunSet), KQDatorelControl1, TrendCatalogue::RunItems());
}

QList<QAction*> TFMain::ModeItems() const
{
    return {Program1, ProgramEdit, ProgramViewOnly, Service1, ServiceEdit, ServiceViewOnly, Run1};
}

void TFMain::RememberTicks()
{
    rememberedTicks.clear();
    for (QAction* item : ModeItems())
        rememberedTicks << item->isChecked();
}

void TFMain::RestoreTicks()
{
    const QList<QAction*> items = ModeItems();
    if (rememberedTicks.size() != items.size())
        return;
    // Unticking first, so that a group never has two ticks on the way.
    for (QAction* item : items)
        item->setChecked(false);
    for (int i = 0; i < items.size(); ++i) {
        if (rememberedTicks[i])
            items[i]->setChecked(true);
    }
}

// ---- activation and going on line -----------------------------------------------------

void TFMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormActivate();
}

void TFMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TFMain::FormActivate()
{
    if (!FirstActivate)
        return;
    FirstActivate = false;
    KQDatorelControl1->SetOnCommunicating([this](TObject* sender) { OnCommunicating(sender); });
    Save1->setEnabled(false);
    Loadfromfile1->setEnabled(false);
}

bool TFMain::GoOnLineFirst(int action)
{
    if (OnLine)
        return false;
    PendingAction = action;
    GetOnLine();
    return true;
}

void TFMain::GetOnLine()
{
    if (OnLine)
        return;
    TFileDialogRequest request;
    request.defaultSuffix = QStringLiteral("net");
    request.filters = TValuesFile::OpenFilters();
    request.filterIndex = TValuesFile::NetworkFilter;
    request.title = QStringLiteral("Select Datorel network definition file");
    // The default network is the one bundled with the server program.
    const QString server = KQServer1->FindServerExecutable(ServerName);
    request.fileName = server.isEmpty()
                           ? DefaultNetworkFile
                           : QDir(DataFolders::Bundled(QFileInfo(server).absolutePath())).filePath(DefaultNetworkFile);
    if (!Dialogs::Current().OpenFile(request))
        return;

    KQServer1->SetServerName(ServerName);
    ShowStatus(QStringLiteral("Starting Server"));
    setCursor(Qt::WaitCursor);
    KQServer1->NetworkDefFiles() = QStringList{request.fileName};

    // The control's topic: the network file's name with the default control.
    const QString entry = KQServer1->NetworkDefFiles().constFirst();
    const int separator = std::max(entry.lastIndexOf(QLatin1Char('/')), entry.lastIndexOf(QLatin1Char('\\')));
    if (separator < 0)
        return;
    const QString identifier = entry.mid(separator + 1) + QLatin1Char('(') + DefaultControlId + QLatin1Char(')');
    if (KQDatorelControl1->Identifier() == identifier)
        KQDatorelControl1->Connect(); // an earlier attempt failed: try again
    else
        KQDatorelControl1->SetIdentifier(identifier);
}

void TFMain::OnCommunicating(TObject*)
{
    DisablePing();
    statusPoll->Communicating = true;
    OnLine = true;
    Save1->setEnabled(true);
    Loadfromfile1->setEnabled(true);
    Trend1->setEnabled(true);
    if (!TripCapture1) {
        TripCapture1 = new TTripCapture(KQDatorelControl1, this);
        connect(TripCapture1, &TTripCapture::Notice, TripCapturePanel, [this](const QString& text) {
            TripCapturePanel->setText(text);
            TripCapturePanel->show();
        });
    }
    const int action = PendingAction;
    PendingAction = paNone;
    switch (action) {
    case paProgramChange: ProgramEditClick(); break;
    case paProgramViewOnly: ProgramViewOnlyClick(); break;
    case paServiceChange: ServiceEditClick(); break;
    case paServiceViewOnly: ServiceViewOnlyClick(); break;
    case paRun: Run1Click(); break;
    default: break;
    }
    // On line now, or a command that opened nothing (a password not given, a
    // refusal) as if none had been asked for: the status poll starts soon.
    if (action == paNone || (RunModeState == 0 && ProgramModeState == 0 && ServiceModeState == 0)) {
        NormalStatus();
        tMain->start();
    }
}

// ---- status bar, Working window and the status poll -----------------------------------

QString TFMain::PanelText(int panel) const
{
    return statusPoll->PanelText(panel);
}

void TFMain::SetPanelText(int panel, const QString& text)
{
    statusPoll->SetPanelText(panel, text);
}

void TFMain::ShowStatus(const QString& text)
{
    DisablePing();
    setCursor(Qt::WaitCursor);
    if (FWorking)
        FWorking->ShowText(text);
    MainPanel->setEnabled(false);
}

void TFMain::NormalStatus()
{
    if (FWorking)
        FWorking->hide();
    MainPanel->setEnabled(true);
    unsetCursor();
    if (OnLine)
        statusPoll->Start(Timing::StatusPollSoon);
}

void TFMain::DisablePing()
{
    statusPoll->DisablePing();
}

bool TFMain::WaitTillPingDone()
{
    return statusPoll->WaitTillPingDone();
}

void TFMain::tPingTimer()
{
    statusPoll->tPingTimer();
}

bool TFMain::bInConfMode()
{
    return statusPoll->bInConfMode();
}

void TFMain::SuspendOtherAdvises()
{
    setCursor(Qt::WaitCursor);
    if (FProgramMode)
        FProgramMode->setCursor(Qt::WaitCursor);
    DisablePing();
}

void TFMain::RestartOtherAdvises()
{
    unsetCursor();
    if (FProgramMode)
        FProgramMode->unsetCursor();
    tPing->setInterval(Timing::StatusPollAfterAdvises);
    if (OnLine)
        tPing->start();
    else
        tPing->stop();
}

void TFMain::RestartMainTimer()
{
    tMain->stop();
    tMain->start();
}

int& TFMain::StateOf(TMode mode)
{
    switch (mode) {
    case TMode::Program: return ProgramModeState;
    case TMode::Service: return ServiceModeState;
    case TMode::Run: break;
    }
    return RunModeState;
}

void TFMain::RequestClose(TMode mode, const QString& closingText)
{
    setEnabled(false);
    ShowStatus(closingText);
    StateOf(mode) = msCloseRequested;
    RestartMainTimer();
}

void TFMain::ModeActivated(TMode mode)
{
    if (mode == TMode::Run && Run1)
        Run1->setChecked(true);
    else if (mode == TMode::Program && Program1)
        Program1->setChecked(true);
}

bool TFMain::ControlInLoadFromFileState()
{
    return valuesFile->ControlInLoadFromFileState();
}

void TFMain::StartConfigurationCheck()
{
    configurationCheck->Start();
}

TFProgramMode* TFMain::CheckedWindow() const
{
    return FProgramMode;
}

void TFMain::HoldStatusPoll(bool held)
{
    if (held)
        DisablePing();
    else
        tPing->start();
}

void TFMain::ReinitializeControl()
{
    DisablePing();
    tMain->stop();
    // Program mode stays until the values are stored: a failed store leaves them to the engineer.
    try {
        KQDatorelControl1->SaveValues();
    } catch (const std::exception&) {
        tMain->start();
        throw;
    }
    if (FProgramMode)
        TChildWindows::Free(FProgramMode);
    SetPanelText(1, QStringLiteral("Waiting to re-establish communication"));
    ShowStatus(QStringLiteral("Performing Control Initialization"));
    ProgramModeState = msCloseRequested;
    KQDatorelControl1->Reset();
}

bool TFMain::OpenForChange(TMode mode) const
{
    switch (mode) {
    case TMode::Program: return ProgramEdit->isChecked();
    case TMode::Service: return ServiceEdit->isChecked();
    case TMode::Run: break;
    }
    return true;
}

// ---- mode commands --------------------------------------------------------------------

void TFMain::RequestModeWindow(int& state, std::initializer_list<QAction*> ticks, const QString& status)
{
    for (QAction* item : ticks)
        item->setChecked(true);
    MainPanel->hide();
    ShowStatus(status);
    state = msOpenRequested;
    RestartMainTimer();
}

void TFMain::Program1Click()
{
    bool enabled = true;
    if (FRunMode) {
        enabled = false;
    } else if (OnLine) {
        try {
            if (!bInConfMode()) {
                TKQHeldItem item(KQDatorelControl1, ConfigureEnabledItem);
                enabled = item->Value().toString() == QLatin1String("1");
            }
        } catch (const std::exception&) {
            enabled = true; // the command itself checks again
        }
    }
    ProgramEdit->setEnabled(enabled);
}

bool TFMain::ConfigureModePrecondition()
{
    try {
        TKQHeldItem item(KQDatorelControl1, ConfigureEnabledItem);
        if (item->Value().toString() != QLatin1String("1")) {
            MessageDlg(QStringLiteral("Configure mode is not enabled on the control (Control must be shut down)."),
                       TMsgDlgType::mtInformation, mbOK);
            NormalStatus();
            return false;
        }
    } catch (const std::exception&) {
        MessageDlg(QStringLiteral("Configure mode check failed!"), TMsgDlgType::mtWarning, mbOK);
    }
    if (!CheckPassword(ProgramPassword, QStringLiteral("Program"))) {
        NormalStatus();
        return false;
    }
    return true;
}

void TFMain::ProgramEditClick()
{
    if (GoOnLineFirst(paProgramChange))
        return;
    try {
        if (FRunMode) {
            MessageDlg(QStringLiteral("The Run window must be closed before entering program mode."),
                       TMsgDlgType::mtInformation, mbOK);
            NormalStatus();
            return;
        }
        if (bInConfMode()) {
            if (!CheckPassword(ProgramPassword, QStringLiteral("Program")))
                return;
        } else {
            if (!ConfigureModePrecondition())
                return;
            KQDatorelControl1->Shutdown();
            tPing->setInterval(Timing::StatusPollSoon);
        }
        RequestModeWindow(ProgramModeState, {Program1, ProgramEdit}, QStringLiteral("Opening Program Mode"));
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

void TFMain::ProgramViewOnlyClick()
{
    if (GoOnLineFirst(paProgramViewOnly))
        return;
    RequestModeWindow(ProgramModeState, {Program1, ProgramViewOnly}, QStringLiteral("Opening Program Monitor Mode"));
}

void TFMain::ServiceEditClick()
{
    if (GoOnLineFirst(paServiceChange))
        return;
    if (!CheckPassword(ServicePassword, QStringLiteral("Service")))
        return;
    RequestModeWindow(ServiceModeState, {Service1, ServiceEdit}, QStringLiteral("Opening Service Mode"));
}

void TFMain::ServiceViewOnlyClick()
{
    if (GoOnLineFirst(paServiceViewOnly))
        return;
    RequestModeWindow(ServiceModeState, {Service1, ServiceViewOnly}, QStringLiteral("Opening Service Monitor Mode"));
}

void TFMain::Run1Click()
{
    if (GoOnLineFirst(paRun))
        return;
    try {
        if (bInConfMode()) {
            MessageDlg(QStringLiteral("The control is in program mode.  You must save values from the Program Edit "
                                      "mode before running."),
                       TMsgDlgType::mtInformation, mbOK);
            NormalStatus();
            return;
        }
        RequestModeWindow(RunModeState, {}, QStringLiteral("Opening Run Mode"));
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

// ---- the mode windows' life cycle ---------------------------------------------------

bool TFMain::UnMaximizeOthers(TModeWindow* except)
{
    return TChildWindows::UnMaximizeOthers({FRunMode, FProgramMode, FServiceMode}, except);
}

void TFMain::OpenRunMode()
{
    const bool othersShown = UnMaximizeOthers(FRunMode);
    if (!FRunMode) {
        FRunMode = new TFRunMode(*this);
        childWindows->Place(FRunMode);
    }
    FRunMode->UpdateFormCaption();
    Run1->setChecked(true);
    childWindows->Show(FRunMode, othersShown);
    NormalStatus();
}

void TFMain::OpenProgramEdit()
{
    const bool othersShown = UnMaximizeOthers(FProgramMode);
    if (!FProgramMode) {
        FProgramMode = new TFProgramMode(*this);
        childWindows->Place(FProgramMode);
    } else {
        FProgramMode->ResetSheetMonStatus();
        FProgramMode->UpdateMonStatus(!ProgramEdit->isChecked());
    }
    FProgramMode->ExitProgramModeButton->setEnabled(ProgramEdit->isChecked());
    FProgramMode->UpdateFormCaption();
    childWindows->Show(FProgramMode, othersShown);
    NormalStatus();
}

void TFMain::OpenServiceMode()
{
    const bool othersShown = UnMaximizeOthers(FServiceMode);
    if (!FServiceMode) {
        FServiceMode = new TFServiceMode(*this);
        childWindows->Place(FServiceMode);
        FServiceMode->InitMonStatus();
    } else {
        FServiceMode->ResetSheetMonStatus();
        FServiceMode->UpdateMonStatus(!ServiceEdit->isChecked());
    }
    FServiceMode->UpdateFormCaption();
    childWindows->Show(FServiceMode, othersShown);
    NormalStatus();
}

void TFMain::tMainTimer()
{
    tMain->stop();
    tMain->setInterval(Timing::DeferredActionInterval);

    struct TMode {
        int& state;
        QPointer<TModeWindow> window;
        std::initializer_list<QAction*> items;
        void (TFMain::*open)();
        bool closeOnlyIfExists;
    };
    TMode modes[] = {
        {ProgramModeState, FProgramMode.data(), {ProgramEdit, ProgramViewOnly, Program1}, &TFMain::OpenProgramEdit, true},
        {ServiceModeState, FServiceMode.data(), {ServiceEdit, ServiceViewOnly, Service1}, &TFMain::OpenServiceMode, false},
        {RunModeState, FRunMode.data(), {Run1}, &TFMain::OpenRunMode, false},
    };
    bool closed = false;
    for (TMode& mode : modes) {
        switch (mode.state) {
        case msCloseRequested:
            for (QAction* item : mode.items)
                item->setChecked(false);
            if (mode.closeOnlyIfExists && !mode.window) {
                mode.state = msNone;
                break;
            }
            if (mode.window)
                TChildWindows::Free(mode.window);
            mode.state = msReenableMain;
            tMain->setInterval(Timing::ReenableMainDelay);
            tMain->start();
            closed = true;
            break;
        case msReenableMain:
            mode.state = msNone;
            setEnabled(true);
            break;
        case msOpenRequested:
            mode.state = msNone;
            try {
                (this->*mode.open)();
            } catch (const std::exception& error) {
                ShowException(error);
                NormalStatus();
            }
            break;
        default:
            break;
        }
    }
    if (closed)
        return;
    if (TChildWindows::AnyMaximized({FRunMode, FProgramMode, FServiceMode})) {
        MainPanel->hide();
    } else if (MainPanel->isHidden()) {
        MainPanel->show();
        ArrangeChildren();
    }
    NormalStatus();
}

void TFMain::ArrangeChildren()
{
    childWindows->Arrange();
}

void TFMain::Cascade1Click()
{
    childWindows->Cascade();
}

void TFMain::TileHorizontalClick()
{
    childWindows->Tile(true);
}

void TFMain::TileVerticalClick()
{
    childWindows->Tile(false);
}

void TFMain::About1Click()
{
    TAboutBox box(this);
    box.exec();
}

// ---- access control -------------------------------------------------------------------

bool TFMain::CheckPassword(const QString& password, const QString& modeName)
{
    fPassword->PasswordMode = modeName;
    fPassword->PasswordExpected = password;
    QString entered;
    while (Dialogs::Current().Password(QStringLiteral("Security"), fPassword->Prompt(), entered)) {
        if (fPassword->Accepts(entered))
            return true;
        entered.clear();
    }
    return false;
}

// ---- values file and printing -----------------------------------------------------

void TFMain::Save1Click()
{
    valuesFile->Save1Click();
}

void TFMain::Loadfromfile1Click()
{
    valuesFile->Loadfromfile1Click();
}

void TFMain::Printcurrentpage1Click()
{
    Printing::Printcurrentpage1Click(this);
}

// ---- closing --------------------------------------------------------------------------

void TFMain::Exit1Click()
{
    close();
}

void TFMain::closeEvent(QCloseEvent* event)
{
    const bool pingWasEnabled = tPing->isActive();
    if (pingWasEnabled)
        DisablePing();
    int answer = mrNo;
    try {
        if (FProgramMode && ProgramEdit->isChecked() && KQDatorelControl1->ControlStatus())
            answer = MessageDlg(QStringLiteral("Reset control before exiting program?"), TMsgDlgType::mtConfirmation,
                                mbYes | mbNo | mbCancel);
    } catch (const std::exception&) {
        answer = MessageDlg(QStringLiteral("Exit program?"), TMsgDlgType::mtConfirmation, mbYes | mbCancel) == mrYes
                     ? mrNo
                     : mrCancel;
    }
    if (answer == mrCancel || answer == mrYes) {
        event->ignore();
        if (pingWasEnabled)
            tPing->start();
        if (answer == mrYes && FProgramMode)
            FProgramMode->ExitProgramModeButtonClick();
        return;
    }
    DisablePing();
    Ending = true;
    event->accept();
}
