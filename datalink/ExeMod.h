// Starting the communication server program and closing it again.
//
// TExeModule starts the server hidden (or as asked) unless one is running
// already, and calls back on the user-interface thread once the started
// process has had its time to come up. Only TExeModuleThread runs elsewhere: it
// does nothing but wait on the process handle.
#pragma once

#include "datalink/KContainer.h"
#include "platform/Exception.h"
#include "platform/Timing.h"
#include "platform/process/winproc.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

class ExeModuleException : public Exception {
public:
    using Exception::Exception;
};

// What the server program shows to the system.
namespace DatorelServer {
// Class of the top-level window that a running server owns.
constexpr const char* WindowClass = "Datorel Server";
// Service and topic through which the server's link to the controls answers.
constexpr const char* LinkService = "Datorel";
constexpr const char* SystemTopic = "System";
} // namespace DatorelServer

// Waits on a started process: at most a number of rounds of a fixed length,
// ending early when the process ends. Its end is reported by WaitEnded, which
// the module receives queued, on its own thread.
class TExeModuleThread : public QThread {
    Q_OBJECT
public:
    explicit TExeModuleThread(QObject* parent = nullptr);
    ~TExeModuleThread() override;

    // Prepares one wait; only while the thread does not run.
    void Arm(HANDLE process, int rounds, int roundMilliseconds, quint64 serial);
    // Ends the wait after the current round, without reporting it.
    void Abort();

signals:
    void WaitEnded(quint64 serial);

protected:
    void run() override;

private:
    HANDLE process = nullptr;
    int rounds = 0;
    int roundMilliseconds = 0;
    quint64 serial = 0;
    std::atomic<bool> aborted {false};
};

class TExeModule : public QObject, public TObject {
    Q_OBJECT
public:
    enum class TState { Running = 0, NotRunning = 1, Starting = 2 };
    // Sender = the module.
    using TStartedCallBack = std::function<void(TObject* sender)>;

    explicit TExeModule(QObject* parent = nullptr);
    ~TExeModule() override;

    // Makes sure the server at path runs. A server that is already running
    // (its window exists and its link service answers) is used as it is and
    // callBack runs at once; otherwise the program is started in its own folder
    // with the show mode (SW_...) and callBack runs on the user-interface thread
    // when the process has ended or its time to come up is over. While a start
    // is under way a second one only waits for the first. Raises
    // ExeModuleException with the system's text when the process cannot be made.
    void Start(const QString& path, WORD showMode, TStartedCallBack callBack);
    // The first half of Start: uses a server that is already running, registered
    // or not; false when none answers.
    bool UseRunningServer(TStartedCallBack& callBack);
    // Asks a server that this module started to close (WM_CLOSE to every window
    // of its main thread); a server that was running before is left alone.
    void Close();

    TState State() const { return state; }
    // True while the server in use is one that this module started.
    bool StartedServer() const;
    const PROCESS_INFORMATION& ProcessInformation() const { return processInformation; }

private:
    void WaitEnded(quint64 serial);
    bool ServerAnswers() const;
    void CloseProcessHandles();

    TStartedCallBack startedCallBack;
    TState state = TState::NotRunning;
    PROCESS_INFORMATION processInformation {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, 0, 0};
    HWND serverWindow = nullptr;
    quint64 startSerial = 0;
    std::unique_ptr<TExeModuleThread> thread;
};
