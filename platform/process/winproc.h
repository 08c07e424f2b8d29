// Processes and top-level windows, work-alike for Linux.
//
// The calls, types and constants keep their Windows names and meanings. A
// process handle stands for a child started by CreateProcessA. A top-level
// window is a marker that a living process holds (TWindowMarker); markers are
// found by class and window name, and posting WM_CLOSE to one asks the owning
// process to close (SIGTERM, turned into a call on the Qt main thread by
// InstallCloseHandler). Last-error values are errno codes, and
// SystemErrorMessage gives the system's text for them. See docs/process.md.
#pragma once

#include "platform/wintypes.h"

#include <cstdarg>
#include <functional>
#include <string>

struct HWND__;
using HWND = HWND__*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
using LPSTARTUPINFOA = STARTUPINFOA*;

constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;

// Show modes.
constexpr WORD SW_HIDE = 0;
constexpr WORD SW_SHOWNORMAL = 1;
constexpr WORD SW_NORMAL = 1;
constexpr WORD SW_SHOWMINIMIZED = 2;
constexpr WORD SW_SHOWMAXIMIZED = 3;
constexpr WORD SW_SHOW = 5;
constexpr WORD SW_MINIMIZE = 6;
constexpr WORD SW_SHOWDEFAULT = 10;

// Creation flags: the priority class is accepted and has no effect; a new
// process group keeps the child out of the terminal's Ctrl+C.
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr DWORD CREATE_NEW_PROCESS_GROUP = 0x00000200;

// Waiting.
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD STILL_ACTIVE = 259;

// Messages.
constexpr UINT WM_CLOSE = 0x0010;

// FormatMessageA.
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD LANG_SYSTEM_DEFAULT = 0x0800;

using WNDENUMPROC = BOOL (*)(HWND hwnd, LPARAM lParam);

// Last error of the calling thread.
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

// Starts lpApplicationName (or the first word of lpCommandLine, searched on PATH,
// when it is nullptr). lpCommandLine, when given, is the whole command line, the
// program's own name first; words are split at blanks, "double quotes" group
// them. The child inherits no descriptors besides standard input, output and
// error, whatever bInheritHandles says. With STARTF_USESHOWWINDOW the show mode
// reaches the child in $TURVISTA_SHOW_WINDOW (GetStartupInfoA reads it back).
// dwThreadId is the process identifier: a process's main thread has its id.
BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                    LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation);
void GetStartupInfoA(LPSTARTUPINFOA lpStartupInfo);
// Waits until the process ends (and collects it) or the time-out passes. Any
// number of threads may wait on one process.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
// STILL_ACTIVE while the process runs; a process ended by a signal reports 128 +
// the signal number, one ended by TerminateProcess the code given there.
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);
BOOL CloseHandle(HANDLE hObject);
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();

// Only FORMAT_MESSAGE_FROM_SYSTEM; the text is cut to fit nSize.
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                     DWORD nSize, va_list* Arguments);
// The system's text for a last-error value.
std::string SystemErrorMessage(DWORD error);

// Window class and window names are compared without regard to case; nullptr
// matches any.
HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName);
BOOL IsWindow(HWND hWnd);
BOOL EnumThreadWindows(DWORD dwThreadId, WNDENUMPROC lpfn, LPARAM lParam);
DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);
// Only WM_CLOSE: sends SIGTERM to the process that owns the window.
BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// A top-level window of this process, as other processes see it, from
// construction to destruction. When the marker cannot be made, Handle() is
// nullptr and GetLastError() tells why.
class TWindowMarker {
public:
    explicit TWindowMarker(LPCSTR className, LPCSTR windowName = "");
    ~TWindowMarker();
    TWindowMarker(const TWindowMarker&) = delete;
    TWindowMarker& operator=(const TWindowMarker&) = delete;

    HWND Handle() const { return m_handle; }

private:
    HWND m_handle = nullptr;
    int m_lock = -1;
    std::string m_path;
};

// Calls onClose on the Qt main thread when the process receives SIGTERM, which is
// what posting WM_CLOSE to one of its windows sends. Call it from the main
// thread once the application object exists; a second call replaces onClose.
void InstallCloseHandler(std::function<void()> onClose);

// Stand-in specifics, not part of the Windows interface.
namespace winproc {
// Environment variable that carries the show mode to a started process.
constexpr const char* ShowWindowVariable = "TURVISTA_SHOW_WINDOW";
// Folder of the window markers: windows/ in the DDE socket folder. Empty when no
// private folder can be had.
std::string WindowFolder();
}
