#include "platform/process/winproc.h"

#include "platform/ddeml/ddeml.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// How often a wait looks at the child when the kernel cannot signal its end
// through a process descriptor.
constexpr int ProcessPollInterval = 50;

thread_local DWORD lastError = 0;

// ---------------------------------------------------------------------------
// Processes

// A started child. Both handles of PROCESS_INFORMATION refer to it.
struct ProcessObject {
    explicit ProcessObject(pid_t id) : pid(id) {}
    ~ProcessObject();

    // Collects the child if it has ended; true once it has.
    bool Collect();

    const pid_t pid;
    int pidfd = -1;
    std::mutex mutex;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    bool terminated = false;
    DWORD terminateCode = 0;
};

std::mutex handlesMutex;
std::unordered_map<HANDLE, std::shared_ptr<ProcessObject>> handles;
ULONG_PTR nextHandle = 0;

// Children whose handles were all closed while they still ran; collected later
// so that they do not linger as zombies.
std::mutex orphansMutex;
std::vector<pid_t> orphans;

bool ProcessObject::Collect()
{
    std::lock_guard lock(mutex);
    if (ended)
        return true;
    siginfo_t info {};
    const int result = ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG);
    if (result == 0 && info.si_pid == pid) {
        ended = true;
        if (info.si_code == CLD_EXITED)
            exitCode = DWORD(info.si_status);
        else if (terminated && info.si_status == SIGKILL)
            exitCode = terminateCode;
        else
            exitCode = DWORD(128 + info.si_status);
    } else if (result != 0 && errno == ECHILD) {
        // Collected by someone else; its status is lost.
        ended = true;
        exitCode = 0;
    }
    return ended;
}

ProcessObject::~ProcessObject()
{
    if (pidfd >= 0)
        ::close(pidfd);
    if (!ended) {
        std::lock_guard lock(orphansMutex);
        orphans.push_back(pid);
    }
}

void CollectOrphans()
{
    std::lock_guard lock(orphansMutex);
    std::erase_if(orphans, [](pid_t pid) {
        siginfo_t info {};
        const int result = ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG);
        return (result == 0 && info.si_pid == pid) || (result != 0 && errno == ECHILD);
    });
}

HANDLE AddHandle(const std::shared_ptr<ProcessObject>& process)
{
    std::lock_guard lock(handlesMutex);
    nextHandle += 4; // like kernel handles: never zero, never INVALID_HANDLE_VALUE
    const HANDLE handle = reinterpret_cast<HANDLE>(nextHandle);
    handles.emplace(handle, process);
    return handle;
}

std::shared_ptr<ProcessObject> FindProcess(HANDLE handle)
{
    std::lock_guard lock(handlesMutex);
    const auto found = handles.find(handle);
    return found == handles.end() ? nullptr : found->second;
}

// Windows command-line words: split at blanks and tabs, "double quotes" group,
// \" is a quote character.
std::vector<std::string> SplitCommandLine(const char* line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char* p = line; *p; ++p) {
        if (*p == '\\' && p[1] == '"') {
            word += '"';
            inWord = true;
            ++p;
        } else if (*p == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += *p;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::vector<std::string> ChildEnvironment(LPVOID block, const STARTUPINFOA* startup)
{
    std::vector<std::string> environment;
    if (block) {
        for (const char* entry = static_cast<const char*>(block); *entry; entry += std::strlen(entry) + 1)
            environment.emplace_back(entry);
    } else {
        for (char** entry = environ; *entry; ++entry)
            environment.emplace_back(*entry);
    }
    const std::string prefix = std::string(winproc::ShowWindowVariable) + '=';
    std::erase_if(environment, [&](const std::string& entry) { return entry.starts_with(prefix); });
    if (startup && (startup->dwFlags & STARTF_USESHOWWINDOW))
        environment.push_back(prefix + std::to_string(startup->wShowWindow));
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// ---------------------------------------------------------------------------
// Window markers: one file per window in the window folder, named
// "<pid>-<number>", holding the class name, a line break and the window name.
// The owner keeps an exclusive lock on it for as long as the window exists.

static_assert(sizeof(HWND) >= 8, "a window handle holds a process id and a number");

HWND MakeWindowHandle(pid_t pid, std::uint32_t number)
{
    return reinterpret_cast<HWND>((ULONG_PTR(std::uint32_t(pid)) << 32) | number);
}

std::string MarkerName(pid_t pid, std::uint32_t number)
{
    return std::to_string(pid) + '-' + std::to_string(number);
}

bool ParseMarkerName(const char* name, pid_t& pid, std::uint32_t& number)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long first = std::strtoul(name, &end, 10);
    if (end == name || *end != '-' || errno != 0 || first == 0 || first > INT_MAX)
        return false;
    const char* second = end + 1;
    const unsigned long last = std::strtoul(second, &end, 10);
    if (end == second || *end != '\0' || errno != 0 || last == 0 || last > 0xFFFFFFFFul)
        return false;
    pid = pid_t(first);
    number = std::uint32_t(last);
    return true;
}

struct Marker {
    HWND handle = nullptr;
    pid_t pid = 0;
    std::string className;
    std::string windowName;
};

// Reads the marker of that name when its owner still holds it. A marker left
// behind by a process that died is removed on the way.
bool ReadMarker(const std::string& folder, pid_t pid, std::uint32_t number, Marker& marker)
{
    const std::string path = folder + '/' + MarkerName(pid, number);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
        struct stat opened {};
        struct stat current {};
        if (::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &current) == 0 && opened.st_dev == current.st_dev
            && opened.st_ino == current.st_ino)
            ::unlink(path.c_str());
        ::close(fd);
        return false;
    }
    if (errno != EWOULDBLOCK) {
        ::close(fd);
        return false;
    }
    std::string content;
    char buffer[512];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        content.append(buffer, size_t(got));
    ::close(fd);

    const size_t lineEnd = content.find('\n');
    marker.handle = MakeWindowHandle(pid, number);
    marker.pid = pid;
    marker.className = content.substr(0, lineEnd);
    marker.windowName = lineEnd == std::string::npos ? std::string() : content.substr(lineEnd + 1);
    return true;
}

std::vector<Marker> LiveMarkers()
{
    std::vector<Marker> markers;
    const std::string folder = winproc::WindowFolder();
    if (folder.empty())
        return markers;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return markers;
    std::vector<std::pair<pid_t, std::uint32_t>> names;
    while (const dirent* entry = ::readdir(dir)) {
        pid_t pid = 0;
        std::uint32_t number = 0;
        if (ParseMarkerName(entry->d_name, pid, number))
            names.emplace_back(pid, number);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const auto& [pid, number] : names) {
        Marker marker;
        if (ReadMarker(folder, pid, number, marker))
            markers.push_back(std::move(marker));
    }
    return markers;
}

bool FindMarker(HWND handle, Marker& marker)
{
    const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(handle);
    const pid_t pid = pid_t(value >> 32);
    const std::uint32_t number = std::uint32_t(value & 0xFFFFFFFFu);
    if (pid <= 0 || number == 0)
        return false;
    const std::string folder = winproc::WindowFolder();
    return !folder.empty() && ReadMarker(folder, pid, number, marker);
}

bool NameMatches(LPCSTR wanted, const std::string& name)
{
    return !wanted
           || QString::fromUtf8(wanted).compare(QString::fromStdString(name), Qt::CaseInsensitive) == 0;
}

// ---------------------------------------------------------------------------
// Close requests

int closePipe[2] = {-1, -1};
QPointer<QSocketNotifier> closeNotifier;

std::function<void()>& CloseCallback()
{
    static std::function<void()> callback;
    return callback;
}

void OnTerminateSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(closePipe[1], &byte, 1);
    errno = saved;
}

} // namespace

DWORD GetLastError()
{
    return lastError;
}

void SetLastError(DWORD dwErrCode)
{
    lastError = dwErrCode;
}

BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL, DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                    LPSTARTUPINFOA lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation)
{
    CollectOrphans();
    if (!lpProcessInformation || (dwCreationFlags & ~(NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP))) {
        SetLastError(EINVAL);
        return FALSE;
    }
    std::vector<std::string> arguments = lpCommandLine ? SplitCommandLine(lpCommandLine) : std::vector<std::string>();
    std::string program;
    if (lpApplicationName && *lpApplicationName) {
        program = lpApplicationName;
        if (arguments.empty())
            arguments.push_back(program);
    } else if (!arguments.empty()) {
        program = arguments.front();
    } else {
        SetLastError(EINVAL);
        return FALSE;
    }
    // A bare name is looked up on PATH; any other relative path starts from our
    // own folder, not the child's.
    const bool search = (!lpApplicationName || !*lpApplicationName) && program.find('/') == std::string::npos;
    if (!search && !program.starts_with('/')) {
        char here[PATH_MAX];
        if (!::getcwd(here, sizeof here)) {
            SetLastError(errno);
            return FALSE;
        }
        program = std::string(here) + '/' + program;
    }
    std::vector<std::string> environment = ChildEnvironment(lpEnvironment, lpStartupInfo);
    std::vector<char*> argv = Pointers(arguments);
    std::vector<char*> envp = Pointers(environment);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    if (lpCurrentDirectory && *lpCurrentDirectory)
        posix_spawn_file_actions_addchdir_np(&actions, lpCurrentDirectory);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    sigset_t noSignals;
    sigemptyset(&noSignals);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    sigset_t allSignals;
    sigfillset(&allSignals);
    posix_spawnattr_setsigdefault(&attributes, &allSignals);
    if (dwCreationFlags & CREATE_NEW_PROCESS_GROUP) {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    posix_spawnattr_setflags(&attributes, flags);

    pid_t pid = 0;
    const int result = search ? ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data())
                              : ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        SetLastError(DWORD(result));
        return FALSE;
    }

    auto process = std::make_shared<ProcessObject>(pid);
    process->pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    lpProcessInformation->hProcess = AddHandle(process);
    lpProcessInformation->hThread = AddHandle(process);
    lpProcessInformation->dwProcessId = DWORD(pid);
    lpProcessInformation->dwThreadId = DWORD(pid);
    return TRUE;
}

void GetStartupInfoA(LPSTARTUPINFOA lpStartupInfo)
{
    if (!lpStartupInfo)
        return;
    *lpStartupInfo = STARTUPINFOA {};
    lpStartupInfo->cb = sizeof(STARTUPINFOA);
    const char* value = std::getenv(winproc::ShowWindowVariable);
    if (!value || !*value)
        return;
    char* end = nullptr;
    const unsigned long mode = std::strtoul(value, &end, 10);
    if (*end == '\0' && mode <= 0xFFFF) {
        lpStartupInfo->dwFlags = STARTF_USESHOWWINDOW;
        lpStartupInfo->wShowWindow = WORD(mode);
    }
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    const std::shared_ptr<ProcessObject> process = FindProcess(hHandle);
    if (!process) {
        SetLastError(EBADF);
        return WAIT_FAILED;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    for (;;) {
        if (process->Collect())
            return WAIT_OBJECT_0;
        int remaining = -1;
        if (dwMilliseconds != INFINITE) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            if (elapsed >= dwMilliseconds)
                return WAIT_TIMEOUT;
            remaining = int(std::min<long long>(dwMilliseconds - elapsed, INT_MAX));
        }
        if (process->pidfd >= 0) {
            pollfd watch {process->pidfd, POLLIN, 0};
            if (::poll(&watch, 1, remaining) < 0 && errno != EINTR) {
                SetLastError(errno);
                return WAIT_FAILED;
            }
        } else {
            const int pause = remaining < 0 ? ProcessPollInterval : std::min(remaining, ProcessPollInterval);
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        }
    }
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    const std::shared_ptr<ProcessObject> process = FindProcess(hProcess);
    if (!process || !lpExitCode) {
        SetLastError(process ? EINVAL : EBADF);
        return FALSE;
    }
    process->Collect();
    std::lock_guard lock(process->mutex);
    *lpExitCode = process->ended ? process->exitCode : STILL_ACTIVE;
    return TRUE;
}

BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode)
{
    const std::shared_ptr<ProcessObject> process = FindProcess(hProcess);
    if (!process) {
        SetLastError(EBADF);
        return FALSE;
    }
    // Under the lock the child cannot be collected, so its id cannot be reused.
    std::lock_guard lock(process->mutex);
    if (process->ended) {
        SetLastError(ESRCH);
        return FALSE;
    }
    if (::kill(process->pid, SIGKILL) != 0) {
        SetLastError(errno);
        return FALSE;
    }
    process->terminated = true;
    process->terminateCode = uExitCode;
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject)
{
    std::shared_ptr<ProcessObject> process;
    {
        std::lock_guard lock(handlesMutex);
        const auto found = handles.find(hObject);
        if (found == handles.end()) {
            SetLastError(EBADF);
            return FALSE;
        }
        process = std::move(found->second);
        handles.erase(found);
    }
    process.reset();
    CollectOrphans();
    return TRUE;
}

DWORD GetCurrentProcessId()
{
    return DWORD(::getpid());
}

DWORD GetCurrentThreadId()
{
    return DWORD(::gettid());
}

DWORD FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD nSize, va_list*)
{
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || !lpBuffer || nSize == 0) {
        SetLastError(EINVAL);
        return 0;
    }
    const std::string text = SystemErrorMessage(dwMessageId);
    const size_t length = std::min<size_t>(text.size(), nSize - 1);
    std::memcpy(lpBuffer, text.data(), length);
    lpBuffer[length] = '\0';
    return DWORD(length);
}

std::string SystemErrorMessage(DWORD error)
{
    char buffer[256];
    return ::strerror_r(int(error), buffer, sizeof buffer);
}

HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName)
{
    for (const Marker& marker : LiveMarkers()) {
        if (NameMatches(lpClassName, marker.className) && NameMatches(lpWindowName, marker.windowName))
            return marker.handle;
    }
    return nullptr;
}

BOOL IsWindow(HWND hWnd)
{
    Marker marker;
    return FindMarker(hWnd, marker) ? TRUE : FALSE;
}

BOOL EnumThreadWindows(DWORD dwThreadId, WNDENUMPROC lpfn, LPARAM lParam)
{
    if (!lpfn)
        return FALSE;
    bool any = false;
    for (const Marker& marker : LiveMarkers()) {
        if (DWORD(marker.pid) != dwThreadId)
            continue;
        any = true;
        if (!lpfn(marker.handle, lParam))
            return FALSE;
    }
    return any ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId)
{
    Marker marker;
    if (!FindMarker(hWnd, marker))
        return 0;
    if (lpdwProcessId)
        *lpdwProcessId = DWORD(marker.pid);
    return DWORD(marker.pid);
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM, LPARAM)
{
    if (Msg != WM_CLOSE) {
        SetLastError(EINVAL);
        return FALSE;
    }
    Marker marker;
    if (!FindMarker(hWnd, marker)) {
        SetLastError(ESRCH);
        return FALSE;
    }
    if (::kill(marker.pid, SIGTERM) != 0) {
        SetLastError(errno);
        return FALSE;
    }
    return TRUE;
}

TWindowMarker::TWindowMarker(LPCSTR className, LPCSTR windowName)
{
    static std::atomic<std::uint32_t> lastNumber {0};
    const std::string folder = winproc::WindowFolder();
    if (folder.empty())
        return;
    std::uint32_t number = ++lastNumber;
    if (number == 0)
        number = ++lastNumber;
    const pid_t pid = ::getpid();
    const std::string name = MarkerName(pid, number);
    const std::string path = folder + '/' + name;
    // Made under a hidden name and locked before it gets its real one, so that
    // nobody sees it unlocked.
    const std::string hidden = folder + "/." + name;
    ::unlink(hidden.c_str());
    const int fd = ::open(hidden.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        SetLastError(errno);
        return;
    }
    const std::string content = std::string(className ? className : "") + '\n' + (windowName ? windowName : "");
    bool written = ::flock(fd, LOCK_EX) == 0;
    for (size_t done = 0; written && done < content.size();) {
        const ssize_t count = ::write(fd, content.data() + done, content.size() - done);
        written = count > 0 || (count < 0 && errno == EINTR);
        done += count > 0 ? size_t(count) : 0;
    }
    if (!written || ::rename(hidden.c_str(), path.c_str()) != 0) {
        SetLastError(errno);
        ::unlink(hidden.c_str());
        ::close(fd);
        return;
    }
    m_lock = fd;
    m_path = path;
    m_handle = MakeWindowHandle(pid, number);
}

TWindowMarker::~TWindowMarker()
{
    if (m_lock < 0)
        return;
    ::unlink(m_path.c_str());
    ::close(m_lock);
}

void InstallCloseHandler(std::function<void()> onClose)
{
    CloseCallback() = std::move(onClose);
    if (closeNotifier)
        return;
    if (closePipe[0] < 0 && ::pipe2(closePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("InstallCloseHandler: no pipe: %s", std::strerror(errno));
        return;
    }
    closeNotifier = new QSocketNotifier(closePipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(closeNotifier, &QSocketNotifier::activated, [] {
        char buffer[64];
        while (::read(closePipe[0], buffer, sizeof buffer) > 0) {
        }
        // A copy: the call may install another handler.
        const std::function<void()> callback = CloseCallback();
        if (callback)
            callback();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminateSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

std::string winproc::WindowFolder()
{
    const std::string base = ddeml::SocketFolder();
    if (base.empty()) {
        SetLastError(EACCES);
        return {};
    }
    const std::string folder = base + "/windows";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        SetLastError(errno);
        return {};
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()
        || (info.st_mode & 077) != 0) {
        SetLastError(EACCES);
        return {};
    }
    return folder;
}
