// appshot: pictures of the program's windows as an operator sees them, taken
// offscreen against the bundled server with the simulated turbine at rated speed.
//
//   appshot OUTDIR [--scale N]
//
// The server is found through the registry store (XDG_CONFIG_DIRS; when it is
// unset, the build tree's xdg folder beside this program's folder) and started
// here, in a private runtime folder, with its test commands, a fast tick and the
// network definition file beside it; the program then shares it. The control is
// set up as an extraction turbine with cascade and auxiliary control, reset,
// started, brought to rated speed, and given two alarms. Written to OUTDIR:
//
//   run-<page>.png        the main window with the Run window on each page
//   dialog-<name>.png     the four dynamics windows, overspeed test, time and date
//   trend-start-up.png    the Run mode trend of the start-up to rated speed
//   trend-speed-steps.png the speed loop's trend: setpoint steps at P 5, then at P 15
//   main-window.png       the main window on line with no mode window
//
// --scale N renders at N times the normal size (2 for 200 %).
#include "app/Application.h"
#include "app/Rqv_dynamics.h"
#include "app/Rqv_main.h"
#include "app/Rqv_ospd.h"
#include "app/Rqv_program.h"
#include "app/Rqv_service.h"
#include "app/Rqv_run.h"
#include "app/Rqv_timedate.h"
#include "app/TrendCatalogue.h"
#include "app/TrendWindow.h"
#include "controls/KQForms.h"
#include "controls/KSpinEdit.h"
#include "datalink/KQDatorelControl.h"
#include "datalink/KQItem.h"
#include "datalink/KQServer.h"
#include "platform/Timing.h"
#include "platform/ddeml/ddeml.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/files/DataFolders.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitNoServer = 3;

// Real milliseconds per 100 ms control tick: the turbine runs ten times faster.
constexpr int ServerTickMs = 10;
// A loaded machine may be slow to start the server and run the control.
constexpr int Patience = 60000;
constexpr int PollMs = 20;
// Time for values to arrive and be shown before a picture is taken.
constexpr int ShowTime = 1500;
// Real time for the speed loop to settle after a setpoint step.
constexpr int StepSettleMs = 1500;
// The Run window adds one alarm-list line per tick of its own timer.
constexpr int AlarmHistoryLines = 100;
constexpr int TripHistoryLines = 20;
constexpr int DdeTimeoutMs = 5000;
constexpr int StopTimeoutMs = 10000;
// The screen the pictures are taken on, in pixels at 100 %.
constexpr int ScreenWidth = 1280;
constexpr int ScreenHeight = 1024;

const QString ServerName = QStringLiteral("URQVDatorel");
const QString ProgramPassword = QStringLiteral("4177");
const QString ServicePassword = QStringLiteral("4309");

void Print(const QString& text)
{
    std::fprintf(stderr, "appshot: %s\n", qPrintable(text));
}

int Usage()
{
    std::fprintf(stderr, "usage: appshot OUTDIR [--scale N]\n");
    return ExitUsage;
}

void Settle(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, int(milliseconds - clock.elapsed()));
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = Patience)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        Settle(PollMs);
    }
    return true;
}

// Nobody is there to answer: the network file dialog gets the bundled network,
// every message is printed and answered with the non-committal choice.
class TShotDialogs final : public TDialogService {
public:
    QString network;
    QString password; // the answer to a password prompt; none when empty

    int MessageDlg(const QString& text, TMsgDlgType, TMsgDlgButtons buttons) override
    {
        Print(QStringLiteral("message: ") + text);
        if (buttons & mbOK)
            return mrOk;
        if (buttons & mbCancel)
            return mrCancel;
        return (buttons & mbNo) ? mrNo : mrNone;
    }
    bool OpenFile(TFileDialogRequest& request) override
    {
        request.fileName = network;
        return true;
    }
    bool SaveFile(TFileDialogRequest&) override { return false; }
    bool Password(const QString&, const QString&, QString& entered) override
    {
        entered = password;
        return !password.isEmpty();
    }
    bool PrintSetup(QPrinter&) override { return false; }
    bool Choose(TChoiceRequest&) override { return false; }
};

// The server's System topic, for its test command Simulate.
class TSystemTopic {
public:
    TSystemTopic()
    {
        if (DdeInitializeA(&instance, &Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
            instance = 0;
    }
    ~TSystemTopic()
    {
        if (conversation)
            DdeDisconnect(conversation);
        if (instance)
            DdeUninitialize(instance);
    }
    TSystemTopic(const TSystemTopic&) = delete;
    TSystemTopic& operator=(const TSystemTopic&) = delete;

    bool Connect()
    {
        if (!instance)
            return false;
        HSZ service = DdeCreateStringHandleA(instance, ServerName.toLatin1().constData(), CP_WINANSI);
        HSZ topic = DdeCreateStringHandleA(instance, "System", CP_WINANSI);
        conversation = DdeConnect(instance, service, topic, nullptr);
        DdeFreeStringHandle(instance, service);
        DdeFreeStringHandle(instance, topic);
        return conversation != nullptr;
    }
    bool Simulate(const QString& command)
    {
        QByteArray text = command.toLatin1();
        text.append('\0');
        HSZ item = DdeCreateStringHandleA(instance, "Simulate", CP_WINANSI);
        const HDDEDATA result = DdeClientTransaction(reinterpret_cast<LPBYTE>(text.data()), DWORD(text.size()),
                                                     conversation, item, CF_TEXT, XTYP_POKE, DdeTimeoutMs, nullptr);
        DdeFreeStringHandle(instance, item);
        if (!result)
            Print(QStringLiteral("the server refused: ") + command);
        return result != nullptr;
    }

private:
    static HDDEDATA Callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

    DWORD instance = 0;
    HCONV conversation = nullptr;
};

// The control, driven through the program's own control device as its buttons drive it.
class TControl {
public:
    explicit TControl(TKQDevice* device) : device(device) {}
    TKQDevice* Device() const { return device; }

    QString Text(const QString& name) const
    {
        TKQHeldItem item(device, name);
        return item->Value().toString();
    }
    double Number(const QString& name) const { return Text(name).toDouble(); }
    bool Write(const QString& name, int value) const
    {
        try {
            TKQHeldItem item(device, name);
            item->SetValueAcknowledged(value);
            return true;
        } catch (const std::exception& error) {
            Print(name + QStringLiteral(": ") + QString::fromUtf8(error.what()));
            return false;
        }
    }
    // A one-shot button.
    bool Pulse(const QString& name) const { return Write(name, 1) && Write(name, 0); }
    // A momentary button, held until the condition holds.
    bool HoldUntil(const QString& name, const std::function<bool()>& condition) const
    {
        if (!Write(name, 1))
            return false;
        const bool reached = WaitFor(condition);
        return Write(name, 0) && reached;
    }
    bool WaitForText(const QString& name, const QString& text) const
    {
        return WaitFor([&] { return Text(name) == text; });
    }

private:
    TKQDevice* device;
};

bool Step(bool done, const char* what)
{
    if (!done)
        Print(QStringLiteral("did not get through: ") + QLatin1String(what));
    return done;
}

// Reset, start, open the limiter, idle, rated, extraction on, two alarms.
bool BringToRatedSpeed(const TControl& control, TSystemTopic& system)
{
    const QString status = QStringLiteral("J_CONTROL.CNTRL_MESS.B_TO_STR");
    const QString speed = QStringLiteral("AA_MONITOR.SPEED.A_NAME");
    const QString limiter = QStringLiteral("AA_MONITOR.HP_LIMITER.A_NAME");
    return Step(control.Pulse(QStringLiteral("X_RESET.RQV.IN_1"))
                    && control.WaitForText(status, QStringLiteral("Ready To Start")),
                "reset")
        && Step(control.Pulse(QStringLiteral("I_START.RQV_EN.TRIGGER")), "start")
        && Step(control.HoldUntil(QStringLiteral("I_V1_LMTR.RQV.IN_2"),
                                  [&] { return control.Number(limiter) >= 100; }),
                "HP limiter open")
        && Step(WaitFor([&] { return std::abs(control.Number(speed) - 1000) < 5; }), "idle")
        && Step(control.Pulse(QStringLiteral("D_IDLE_RTD.RQV_EN.TRIGGER"))
                    && control.WaitForText(QStringLiteral("C_IDLE_RTD.IDL_RTD.B_TO_STR"), QStringLiteral("At Rated"))
                    && WaitFor([&] { return std::abs(control.Number(speed) - 3600) < 2; }),
                "rated")
        && Step(control.Pulse(QStringLiteral("EXTR_ENBL.RQV_EN.TRIGGER")), "extraction on")
        && Step(system.Simulate(QStringLiteral("alarm Lube Oil Pressure Low"))
                    && system.Simulate(QStringLiteral("alarm Exhaust Temperature High")),
                "alarms");
}

bool Save(QWidget* window, const QString& folder, const QString& name)
{
    // A picture for review shows no text cursor or focus frame.
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    Settle(PollMs);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!window->grab().save(path, "PNG")) {
        Print(QStringLiteral("cannot write ") + path);
        return false;
    }
    Print(QStringLiteral("wrote ") + path);
    return true;
}

// The speed loop's answer to setpoint steps of 50 rpm, at the off-line P the
// control starts with and at three times that.
bool ShootSpeedSteps(TFRunMode* run, const TControl& control, TSystemTopic& system, const QString& folder)
{
    const QString speed = QStringLiteral("AA_MONITOR.SPEED.A_NAME");
    auto step = [&](int setpoint) {
        return system.Simulate(QStringLiteral("set D_ENTR_SPD.PC_SMP_TUN.TUNE=%1").arg(setpoint))
               && control.Pulse(QStringLiteral("D_SPD_R_L.RQV.IN_3"))
               && WaitFor([&] { return std::abs(control.Number(speed) - setpoint) < 0.5; }) && (Settle(StepSettleMs), true);
    };
    run->SpeedDynamics()->BTrendClick();
    TTrendWindow* trend = TTrendWindow::Windows().constLast();
    trend->ZoomInClick(); // 150 s: the four steps
    const double gain = control.Number(QStringLiteral("D_SPD_DYN.P_GAIN_OFF.RAMP"));
    // The control takes a changed setting over at its next tick.
    const bool stepping = system.Simulate(QStringLiteral("set C_SPDSETPT.ENT_RATE.TUNE=2000")) && (Settle(PollMs * 5), true);
    const bool ok = Step(stepping && step(3650) && step(3600)
                             && system.Simulate(QStringLiteral("set D_SPD_DYN.P_GAIN_OFF.RAMP=%1").arg(gain * 3))
                             && step(3650) && step(3600),
                         "speed steps");
    const bool saved = ok && Save(trend, folder, QStringLiteral("trend-speed-steps"));
    trend->close();
    return system.Simulate(QStringLiteral("set D_SPD_DYN.P_GAIN_OFF.RAMP=%1").arg(gain)) && saved;
}

// "Start Turbine" -> "start-turbine".
QString FileNameOf(const QString& caption)
{
    return caption.toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

bool MainWindowSettled()
{
    return !FMain->tMain->isActive() && FMain->RunModeState == 0 && FMain->ProgramModeState == 0
           && FMain->ServiceModeState == 0 && FMain->isEnabled();
}

// Opens a panel with its button, takes the picture and closes it again.
bool ShootOpened(QWidget* page, const char* open, const char* close, const QString& folder, const QString& name)
{
    auto* opener = page->findChild<QPushButton*>(QLatin1String(open));
    auto* closer = page->findChild<QPushButton*>(QLatin1String(close));
    if (!Step(opener && closer, open))
        return false;
    opener->click();
    Settle(ShowTime);
    const bool ok = Save(FMain, folder, name);
    closer->click();
    Settle(PollMs);
    return ok;
}

bool ShootRunPages(TFRunMode* run, const QString& folder)
{
    TKQPageControl* pages = run->PageControl1;
    bool ok = true;
    for (int index = 0; index < pages->PageCount(); ++index) {
        TKQTabSheet* page = pages->Page(index);
        if (!page->TabVisible()) {
            Print(QStringLiteral("page not shown for this control: ") + page->Caption());
            continue;
        }
        // As the operator's click on the tab.
        pages->setCurrentIndex(pages->indexOf(page));
        Settle(ShowTime);
        const auto lines = page->findChildren<QListWidget*>();
        if (!lines.isEmpty()) {
            QListWidget* list = lines.first();
            int expected = 0;
            if (page->objectName() == QLatin1String("KPAlarmHistory"))
                expected = AlarmHistoryLines;
            else if (page->objectName() == QLatin1String("KPTripHistory"))
                expected = TripHistoryLines;
            else
                expected = TControl(FMain->KQDatorelControl1).Text(QStringLiteral("Y_ALARMS.ALARMS.NUM_EVENTS")).toInt();
            WaitFor([&] { return list->count() >= expected; });
        }
        const QString name = QStringLiteral("run-") + FileNameOf(page->Caption());
        ok = Save(FMain, folder, name) && ok;
        // The panels an operator opens on these pages.
        if (page->objectName() == QLatin1String("KPStartTurbine")) {
            ok = ShootOpened(page, "BSetSpeed", "BSetSpeedCancel", folder, name + QStringLiteral("-entry")) && ok;
        } else if (page->objectName() == QLatin1String("KPValves")) {
            ok = ShootOpened(page, "BCalibrate", "BCloseCalibrate", folder, name + QStringLiteral("-calibrate")) && ok;
        }
    }
    return ok;
}

bool ShootDialog(QWidget* window, const QString& folder, const QString& name)
{
    if (!window)
        return Step(false, qPrintable(name));
    Settle(ShowTime);
    const bool ok = Save(window, folder, QStringLiteral("dialog-") + name);
    window->hide();
    return ok;
}

template <class T>
T* Newest(QObject* owner)
{
    const QList<T*> windows = owner->findChildren<T*>();
    return windows.isEmpty() ? nullptr : windows.last();
}

// The operator's password of Run mode, which unlocks the gain buttons and the clock.
const QString RunPassword = QStringLiteral("4309");

bool ShootDialogs(TFRunMode* run, TShotDialogs& dialogs, const QString& folder)
{
    dialogs.password = RunPassword;
    run->BSecurityUnlockClick();
    dialogs.password.clear();
    bool ok = Step(!run->SecurityLocked(), "security unlocked");
    run->BSpeedDynamicsClick();
    ok = ShootDialog(run->SpeedDynamics(), folder, QStringLiteral("speed-dynamics")) && ok;
    run->BExtAdmDynamicsClick();
    ok = ShootDialog(run->ExtAdmDynamics(), folder, QStringLiteral("extadm-dynamics")) && ok;
    run->BCascadeDynamicsClick();
    ok = ShootDialog(run->CascadeDynamics(), folder, QStringLiteral("cascade-dynamics")) && ok;
    run->BAuxiliaryDynamicsClick();
    ok = ShootDialog(run->AuxiliaryDynamics(), folder, QStringLiteral("auxiliary-dynamics"))
         && ok;
    run->BOverspeedTestClick();
    ok = ShootDialog(Newest<TFOverspeedTest>(run), folder, QStringLiteral("overspeed-test")) && ok;
    run->BSetTimeDateClick();
    ok = ShootDialog(Newest<TFTimeDate>(run), folder, QStringLiteral("time-date")) && ok;
    return ok;
}

// Pictures of every page of an editor but the empty End page, named after the
// window and the pages' captions; a page the configuration does not offer is
// shown for its picture.
bool ShootPages(QWidget* window, const QString& prefix, const QString& folder)
{
    bool ok = true;
    auto* pages = window->findChild<TKQPageControl*>(QStringLiteral("PageControl1"));
    for (int i = 0; i < pages->PageCount(); ++i) {
        TKQTabSheet* page = pages->Page(i);
        if (page->objectName() == QLatin1String("KPEnd"))
            continue;
        const bool offered = page->TabVisible();
        page->SetTabVisible(true);
        pages->SetActivePage(page);
        Settle(ShowTime);
        ok = Save(FMain, folder, prefix + FileNameOf(page->Caption()).remove(u'/')) && ok;
        page->SetTabVisible(offered);
    }
    return ok;
}

// The turbine at rated speed, Service mode for change, every page: a tunable
// changed (its hold box ticked) and the start settings locked.
bool ShootServiceMode(TShotDialogs& dialogs, const QString& folder)
{
    dialogs.password = ServicePassword;
    FMain->ServiceEditClick();
    bool ok = Step(WaitFor([] { return FMain->FServiceMode && MainWindowSettled(); }), "Service window");
    if (!ok)
        return false;
    TFServiceMode* service = FMain->FServiceMode;
    service->findChild<TKQPageControl*>(QStringLiteral("PageControl1"))
        ->SetActivePage(service->findChild<TKQTabSheet*>(QStringLiteral("KPSpeedControl")));
    Settle(ShowTime);
    for (auto* spin : service->findChildren<TKSpinEdit*>())
        if (spin->property("ItemName").toString() == QLatin1String("C_SPDSETPT.F_SPD_RATE.TUNE")) {
            spin->StepFineDown();
            for (QWidget* box = spin; box; box = box->parentWidget())
                if (auto* scroll = qobject_cast<QScrollArea*>(box)) {
                    scroll->ensureWidgetVisible(spin, 0, 200);
                    break;
                }
        }
    ok = ShootPages(service, QStringLiteral("service-"), folder);
    service->close();
    return Step(WaitFor([] { return !FMain->FServiceMode && MainWindowSettled(); }), "Service window closed") && ok;
}

struct TArguments {
    QString folder;
    QString scale;
};

// The turbine shut down, Program mode for change on a control configured for an
// extraction/admission turbine: every page.
bool ShootProgramMode(const TControl& control, TSystemTopic& system, TShotDialogs& dialogs, const QString& folder)
{
    bool ok = Step(system.Simulate(QStringLiteral("trip Appshot"))
                       && control.WaitForText(QStringLiteral("Z_CPU_COM.EN_CONFIG.OR"), QStringLiteral("1")),
                   "shut down");
    dialogs.password = ProgramPassword;
    FMain->ProgramEditClick();
    ok = ok && Step(WaitFor([] { return FMain->FProgramMode && MainWindowSettled(); }), "Program window");
    ok = ok && Step(system.Simulate(QStringLiteral("set C_APPL.RL_MODE.IN=1"))
                        && system.Simulate(QStringLiteral("set C_APPL.TURB_TYPE.IN=5"))
                        && system.Simulate(QStringLiteral("set C_RELAY03.RLY_CONF.IN=2"))
                        && system.Simulate(QStringLiteral("set C_RELAY04.RLY_CONF.IN=3")),
                    "extraction/admission");
    return ok && ShootPages(FMain->FProgramMode, QStringLiteral("program-"), folder);
}

bool Parse(int argc, char** argv, TArguments& arguments)
{
    QStringList plain;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--scale") && i + 1 < argc)
            arguments.scale = QString::fromLocal8Bit(argv[++i]);
        else if (argument.startsWith(QLatin1String("--")))
            return false;
        else
            plain << argument;
    }
    if (plain.size() != 1)
        return false;
    arguments.folder = plain[0];
    bool ok = true;
    return arguments.scale.isEmpty() || (arguments.scale.toDouble(&ok) > 0 && ok);
}

// The control the pictures show: an extraction turbine driving a generator,
// with cascade and auxiliary control, remote setpoints, a synchronising input,
// first stage pressure and frequency arming; a start left to the operator's
// limiter, quick ramps.
const char* const Configuration[] = {
    "set C_APPL.TURB_TYPE.IN=3",
    "set C_APPL.CASC_CONF.IN=2",
    "set C_APPL.AUX_CONF.IN=2",
    "set C_RMT_SPD.USE_RMTSPD.IN=1",
    "set C_EXTR.USE_RMTXTR.IN=1",
    "set C_RMT_CAS.USE_RMTCAS.IN=1",
    "set C_AUX.USE_RMTAUX.IN=1",
    "set C_ANIN1.ANIN_CONF.IN=2",
    "set C_ANIN2.ANIN_CONF.IN=3",
    "set C_ANIN3.ANIN_CONF.IN=22",
    "set C_GENLOGIC.USE_ARM.IN=1",
    "set C_START.START_CONF.IN=2",
    "set C_START.RT_TO_MIN.IN=100",
    "set C_IDLE_RTD.IDLRTDRATE.TUNE=100",
};

} // namespace

int main(int argc, char** argv)
{
    TArguments arguments;
    if (!Parse(argc, argv, arguments))
        return Usage();
    // Server and program meet in a private runtime folder.
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/turvista-appshot-XXXXXX"));
    if (!arguments.scale.isEmpty())
        qputenv("QT_SCALE_FACTOR", arguments.scale.toLatin1());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        // One screen of the operator's size at every scale, so that the main window takes the same size.
        const double scale = arguments.scale.isEmpty() ? 1.0 : arguments.scale.toDouble();
        const QString config = runtime.path() + QStringLiteral("/screen.json");
        QFile file(config);
        if (file.open(QIODevice::WriteOnly))
            file.write(QStringLiteral(R"({"screens": [{"name": "appshot", "x": 0, "y": 0, "width": %1, "height": %2}]})")
                           .arg(qRound(ScreenWidth * scale))
                           .arg(qRound(ScreenHeight * scale))
                           .toLatin1());
        qputenv("QT_QPA_PLATFORM", QStringLiteral("offscreen:configfile=%1").arg(config).toLocal8Bit());
    }
    const QString dde = runtime.path() + QStringLiteral("/dde");
    QDir(runtime.path()).mkpath(QStringLiteral("dde"));
    QDir(runtime.path()).mkpath(QStringLiteral("state"));
    QFile::setPermissions(dde, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("TURVISTA_DDE_DIR", dde.toLocal8Bit());
    // The trend sets and trip captures of this run are not the user's.
    qputenv("XDG_CONFIG_HOME", (runtime.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (runtime.path() + QStringLiteral("/data")).toLocal8Bit());
    // The program's clocks keep pace with the control's, for the trends' time axis.
    Timing::SetScale(ServerTickMs / 100.0);

    QApplication application(argc, argv);
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_DIRS"))
        qputenv("XDG_CONFIG_DIRS", (QApplication::applicationDirPath() + QStringLiteral("/../xdg")).toLocal8Bit());
    if (!QDir().mkpath(arguments.folder)) {
        Print(QStringLiteral("cannot make ") + arguments.folder);
        return ExitFailed;
    }

    TShotDialogs dialogs;
    Dialogs::Install(&dialogs);
    Application::CreateStartWindows();
    FMain->show();

    const QString serverPath = FMain->KQServer1->FindServerExecutable(ServerName);
    if (serverPath.isEmpty()) {
        Print(QStringLiteral("the server is not registered; set XDG_CONFIG_DIRS to the build's xdg folder"));
        Application::FreeStartWindows();
        return ExitNoServer;
    }
    dialogs.network = QDir(DataFolders::Bundled(QFileInfo(serverPath).absolutePath())).filePath(QStringLiteral("4812.net"));

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.setWorkingDirectory(QFileInfo(serverPath).absolutePath());
    server.start(serverPath, {QStringLiteral("--tick"), QString::number(ServerTickMs), QStringLiteral("--state-dir"),
                              runtime.path() + QStringLiteral("/state"), QStringLiteral("--test-faults"),
                              dialogs.network});
    TSystemTopic system;
    int result = ExitOk;
    if (!server.waitForStarted(Patience) || !WaitFor([&] { return system.Connect(); })) {
        Print(QStringLiteral("the server did not start: ") + serverPath);
        result = ExitNoServer;
    }
    for (const char* command : Configuration)
        if (result == ExitOk && !system.Simulate(QString::fromLatin1(command)))
            result = ExitFailed;

    if (result == ExitOk) {
        // On line through "Run Mode", as the operator goes.
        FMain->Run1Click();
        if (!Step(WaitFor([] { return FMain->OnLine && FMain->FRunMode && MainWindowSettled(); }), "Run window"))
            result = ExitNoServer;
    }
    if (result == ExitOk) {
        TFRunMode* run = FMain->FRunMode;
        const TControl control(FMain->KQDatorelControl1);
        TTrendWindow* trend = TTrendWindow::ShowSet(QString::fromLatin1(TrendCatalogue::RunSet), control.Device(),
                                                    TrendCatalogue::RunItems());
        // The trend shows the speed settling at rated.
        if (!BringToRatedSpeed(control, system) || !(Settle(ShowTime), Save(trend, arguments.folder, QStringLiteral("trend-start-up")))
            || !ShootRunPages(run, arguments.folder) || !ShootDialogs(run, dialogs, arguments.folder)
            || !ShootSpeedSteps(run, control, system, arguments.folder))
            result = ExitFailed;
        TTrendWindow::CloseAll();
        run->close();
        if (!Step(WaitFor([] { return !FMain->FRunMode && MainWindowSettled(); }), "Run window closed"))
            result = ExitFailed;
        Settle(ShowTime);
        if (!Save(FMain, arguments.folder, QStringLiteral("main-window")))
            result = ExitFailed;
        if (!ShootServiceMode(dialogs, arguments.folder))
            result = ExitFailed;
        if (!ShootProgramMode(TControl(FMain->KQDatorelControl1), system, dialogs, arguments.folder))
            result = ExitFailed;
    }

    FMain->Ending = true;
    Application::FreeStartWindows();
    Dialogs::Install(nullptr);
    server.terminate();
    if (!server.waitForFinished(StopTimeoutMs))
        server.kill();
    return result;
}
