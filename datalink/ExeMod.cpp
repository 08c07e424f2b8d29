#include "datalink/ExeMod.h"

#include "datalink/KQDde.h"

#include <QByteArray>

namespace {

constexpr DWORD MaxSystemMessage = 256;

QString SystemMessage(DWORD error)
{
    char text[MaxSystemMessage + 1] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, LANG_SYSTEM_DEFAULT,
                   text, MaxSystemMessage, nullptr);
    return QString::fromLocal8Bit(text);
}

// The program's own folder: the path up to its last separator.
QByteArray Folder(const QByteArray& path)
{
    const qsizetype last = path.lastIndexOf('/');
    return last > 0 ? path.left(last) : last == 0 ? QByteArray("/") : QByteArray();
}

BOOL PostClose(HWND window, LPARAM)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

// ---- waiting thread -------------------------------------------------------------

TExeModuleThread::TExeModuleThread(QObject* parent) : QThread(parent) { }

TExeModuleThread::~TExeModuleThread()
{
    Abort();
    wait();
}

void TExeModuleThread::Arm(HANDLE handle, int roundCount, int roundLength, quint64 startSerial)
{
    process = handle;
    rounds = roundCount;
    roundMilliseconds = roundLength;
    serial = startSerial;
    aborted = false;
}

void TExeModuleThread::Abort()
{
    aborted = true;
}

void TExeModuleThread::run()
{
    for (int round = 0; round < rounds && !aborted; ++round) {
        if (WaitForSingleObject(process, DWORD(roundMilliseconds)) != WAIT_TIMEOUT)
            break;
    }
    if (!aborted)
        emit WaitEnded(serial);
}

// ---- module -------------------------------------------------------------------

TExeModule::TExeModule(QObject* parent) : QObject(parent), thread(std::make_unique<TExeModuleThread>())
{
    connect(thread.get(), &TExeModuleThread::WaitEnded, this, &TExeModule::WaitEnded, Qt::QueuedConnection);
}

TExeModule::~TExeModule()
{
    thread->Abort();
    thread->wait();
    CloseProcessHandles();
}

bool TExeModule::StartedServer() const
{
    return state != TState::NotRunning && !serverWindow && processInformation.dwProcessId != 0;
}

bool TExeModule::ServerAnswers() const
{
    TKQDdeClientConv probe;
    return probe.SetLink(QString::fromLatin1(DatorelServer::LinkService),
                         QString::fromLatin1(DatorelServer::SystemTopic));
}

bool TExeModule::UseRunningServer(TStartedCallBack& callBack)
{
    if (state == TState::Starting)
        return true;
    const HWND window = FindWindowA(DatorelServer::WindowClass, nullptr);
    if (!window || !ServerAnswers())
        return false;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    const bool ours = StartedServer() && owner == processInformation.dwProcessId;
    if (!ours)
        serverWindow = window;
    state = TState::Running;
    if (callBack)
        callBack(this);
    return true;
}

void TExeModule::Start(const QString& path, WORD showMode, TStartedCallBack callBack)
{
    // The start under way calls back; looking for the window now could take the
    // server it is starting for a stranger's.
    if (UseRunningServer(callBack))
        return;
    serverWindow = nullptr;

    startedCallBack = std::move(callBack);
    if (state == TState::Running)
        Close();
    state = TState::Starting;

    const QByteArray program = path.toLocal8Bit();
    const QByteArray folder = Folder(program);
    STARTUPINFOA startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showMode;
    PROCESS_INFORMATION started {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, 0, 0};
    if (!CreateProcessA(program.constData(), nullptr, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        folder.isEmpty() ? nullptr : folder.constData(), &startup, &started)) {
        state = TState::NotRunning;
        throw ExeModuleException(SystemMessage(GetLastError()));
    }
    processInformation = started;

    // A previous wait may still be returning from run().
    thread->wait();
    thread->Arm(processInformation.hProcess, Timing::ServerStartWaitRounds, Timing::ServerStartWaitRound, ++startSerial);
    thread->start();
}

void TExeModule::WaitEnded(quint64 serial)
{
    if (serial != startSerial || state != TState::Starting)
        return;
    thread->wait();
    CloseProcessHandles();
    state = TState::Running;
    // Runs from the event loop: nothing may escape into it.
    try {
        if (startedCallBack)
            startedCallBack(this);
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

void TExeModule::Close()
{
    if (state == TState::NotRunning)
        return;
    if (state == TState::Starting) {
        // Stopped before it was up: the server is ours all the same.
        thread->Abort();
        thread->wait();
        CloseProcessHandles();
    }
    if (!serverWindow && processInformation.dwThreadId != 0)
        EnumThreadWindows(processInformation.dwThreadId, PostClose, 0);
    processInformation.dwProcessId = processInformation.dwThreadId = 0;
    serverWindow = nullptr;
    state = TState::NotRunning;
}

void TExeModule::CloseProcessHandles()
{
    if (processInformation.hProcess != INVALID_HANDLE_VALUE)
        CloseHandle(processInformation.hProcess);
    if (processInformation.hThread != INVALID_HANDLE_VALUE)
        CloseHandle(processInformation.hThread);
    processInformation.hProcess = processInformation.hThread = INVALID_HANDLE_VALUE;
}
