// Starting and waiting for processes, the window markers that stand for their
// top-level windows, and WM_CLOSE as a graceful close request.
#include "platform/process/winproc.h"
#include "tests/platform/helpers/WinprocHelper.h"
#include "tests/support/TestRunner.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <future>
#include <vector>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Upper bounds only: a healthy run never comes near them.
constexpr DWORD ChildEndTimeout = 20000;
constexpr int MarkerAppearTimeout = 20000;

struct TChild {
    PROCESS_INFORMATION info {};
    bool started = false;

    ~TChild()
    {
        if (!started)
            return;
        if (exitCode() == STILL_ACTIVE) {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, ChildEndTimeout);
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }

    bool start(LPCSTR application, QByteArray commandLine, LPCSTR folder = nullptr)
    {
        STARTUPINFOA startup {};
        startup.cb = sizeof startup;
        started = CreateProcessA(application, commandLine.isNull() ? nullptr : commandLine.data(), nullptr, nullptr,
                                 FALSE, NORMAL_PRIORITY_CLASS, nullptr, folder, &startup, &info);
        return started;
    }

    // The helper holds a marker of this class and window name (both with blanks:
    // the quoted words must reach it whole) until it is asked to close.
    bool startWindow(const QByteArray& className, const QByteArray& windowName = "Helper Window")
    {
        return start(WINPROC_HELPER, QByteArray("\"" WINPROC_HELPER "\" ") + WinprocHelper::WindowMode + " \""
                                         + className + "\" \"" + windowName + "\"")
            && QTest::qWaitFor([&] { return FindWindowA(className.constData(), windowName.constData()) != nullptr; }, MarkerAppearTimeout);
    }

    DWORD end()
    {
        return WaitForSingleObject(info.hProcess, ChildEndTimeout) == WAIT_OBJECT_0 ? exitCode() : 0xDEADu;
    }

    DWORD exitCode() const
    {
        DWORD code = 0;
        return GetExitCodeProcess(info.hProcess, &code) ? code : 0xDEADu;
    }
};

BOOL CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

} // namespace

class TestProcessStart : public QObject {
    Q_OBJECT

private slots:
    void exitCodeIsReported_data()
    {
        QTest::addColumn<QByteArray>("commandLine");
        QTest::addColumn<DWORD>("exitCode");
        QTest::newRow("success") << QByteArray("sh -c \"exit 0\"") << DWORD(0);
        QTest::newRow("failure") << QByteArray("sh -c \"exit 3\"") << DWORD(3);
        QTest::newRow("killed") << QByteArray("sh -c \"kill -KILL $$\"") << DWORD(128 + SIGKILL);
    }

    void exitCodeIsReported()
    {
        QFETCH(QByteArray, commandLine);
        QFETCH(DWORD, exitCode);
        TChild child;
        QVERIFY(child.start(nullptr, commandLine));
        QCOMPARE(child.info.dwThreadId, child.info.dwProcessId);
        QCOMPARE(child.end(), exitCode);
        // The thread handle stands for the same process.
        QCOMPARE(WaitForSingleObject(child.info.hThread, 0), WAIT_OBJECT_0);
    }

    void severalThreadsWaitOnOneChild()
    {
        TChild child;
        QVERIFY(child.start(nullptr, "sleep 600"));
        const HANDLE process = child.info.hProcess;
        QCOMPARE(WaitForSingleObject(process, 50), WAIT_TIMEOUT);
        QCOMPARE(child.exitCode(), STILL_ACTIVE);
        auto first = std::async(std::launch::async, [process] { return WaitForSingleObject(process, INFINITE); });
        auto second = std::async(std::launch::async, [process] { return WaitForSingleObject(process, INFINITE); });
        QVERIFY(TerminateProcess(process, 5));
        QCOMPARE(first.get(), WAIT_OBJECT_0);
        QCOMPARE(second.get(), WAIT_OBJECT_0);
        QCOMPARE(child.exitCode(), DWORD(5));
        QVERIFY(!TerminateProcess(process, 6));

        // Closed handles are refused.
        child.started = false;
        QVERIFY(CloseHandle(child.info.hThread));
        QVERIFY(CloseHandle(process));
        QVERIFY(!CloseHandle(process));
        QCOMPARE(GetLastError(), DWORD(EBADF));
        QCOMPARE(WaitForSingleObject(process, 0), WAIT_FAILED);
    }

    // Show modes and working folders are proven where the server is started
    // (the server connection's tests); here: what must not reach the child.
    void childGetsNeitherOurShowModeNorOurDescriptors()
    {
        qputenv(winproc::ShowWindowVariable, "3");
        const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0); // one that an exec would hand on
        QVERIFY(socket > STDERR_FILENO);
        TChild child;
        QVERIFY(child.start(nullptr, QByteArray("sh -c \"test -z $") + winproc::ShowWindowVariable
                                         + " || exit 1; test -e /proc/$$/fd/" + QByteArray::number(socket)
                                         + " && exit 2; exit 0\""));
        const DWORD code = child.end();
        ::close(socket);
        qunsetenv(winproc::ShowWindowVariable);
        QCOMPARE(code, DWORD(0)); // 1: the show mode reached it, 2: the descriptor
    }
};

class TestWindowMarkers : public QObject {
    Q_OBJECT

private slots:
    void heldMarkerIsFound_data()
    {
        QTest::addColumn<QByteArray>("className");
        QTest::addColumn<QByteArray>("windowName");
        QTest::addColumn<bool>("found");
        QTest::newRow("class, other case") << QByteArray("DATOREL server") << QByteArray() << true;
        QTest::newRow("window name") << QByteArray() << QByteArray("urqvdatorel") << true;
        QTest::newRow("both") << QByteArray("datorel server") << QByteArray("URQVDatorel") << true;
        QTest::newRow("other window name") << QByteArray("Datorel Server") << QByteArray("Other") << false;
        QTest::newRow("part of the class") << QByteArray("Datorel") << QByteArray() << false;
    }

    void heldMarkerIsFound()
    {
        QFETCH(QByteArray, className);
        QFETCH(QByteArray, windowName);
        QFETCH(bool, found);
        const auto find = [&] {
            return FindWindowA(className.isNull() ? nullptr : className.constData(),
                               windowName.isNull() ? nullptr : windowName.constData());
        };
        {
            const TWindowMarker window("Datorel Server", "urqvdatorel");
            QVERIFY(window.Handle());
            QCOMPARE(find(), found ? window.Handle() : HWND(nullptr));
        }
        QCOMPARE(find(), HWND(nullptr)); // released with the marker
    }

    void markerOfAKilledProcessIsNotFound()
    {
        TChild child;
        QVERIFY(child.startWindow("Killed Class"));
        const HWND window = FindWindowA("Killed Class", "Helper Window");
        QCOMPARE(GetWindowThreadProcessId(window, nullptr), child.info.dwProcessId);
        QCOMPARE(::kill(pid_t(child.info.dwProcessId), SIGKILL), 0);
        QCOMPARE(child.end(), DWORD(128 + SIGKILL));
        QCOMPARE(FindWindowA("Killed Class", nullptr), HWND(nullptr));
        QVERIFY(!IsWindow(window));
        QVERIFY(!PostMessageA(window, WM_CLOSE, 0, 0));
    }

    void markersLiveInAPrivateFolder()
    {
        const QByteArray own = qgetenv("TURVISTA_DDE_DIR");
        const QString folder = QString::fromStdString(winproc::WindowFolder());
        QCOMPARE(folder, QString::fromLocal8Bit(own) + QStringLiteral("/windows"));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0700));

        // A folder others may enter is not used.
        QTemporaryDir open;
        QVERIFY(::chmod(QFile::encodeName(open.path()).constData(), 0755) == 0);
        qputenv("TURVISTA_DDE_DIR", QFile::encodeName(open.path()));
        const TWindowMarker refused("Refused Class");
        qputenv("TURVISTA_DDE_DIR", own);
        QCOMPARE(refused.Handle(), HWND(nullptr));
    }
};

class TestCloseRequest : public QObject {
    Q_OBJECT

private slots:
    void closePostedToAChildEndsItGracefully()
    {
        TChild child;
        QVERIFY(child.startWindow("Datorel Server", "urqvdatorel"));
        // As a client closes the server it started: every window of its main thread.
        std::vector<HWND> windows;
        QVERIFY(EnumThreadWindows(child.info.dwThreadId, CollectWindow, reinterpret_cast<LPARAM>(&windows)));
        QCOMPARE(windows, std::vector<HWND>({FindWindowA("Datorel Server", "urqvdatorel")}));
        QVERIFY(PostMessageA(windows.front(), WM_CLOSE, 0, 0));
        QCOMPARE(child.end(), DWORD(WinprocHelper::ClosedExitCode));
        QCOMPARE(FindWindowA("Datorel Server", nullptr), HWND(nullptr));
    }

    void closeHandlerRunsOnTheMainThread()
    {
        QThread* thread = nullptr;
        InstallCloseHandler([&] { thread = QThread::currentThread(); });
        const TWindowMarker window("Own Class");
        constexpr UINT WM_QUIT = 0x0012;
        QVERIFY(!PostMessageA(window.Handle(), WM_QUIT, 0, 0)); // only a close can be posted
        QCOMPARE(GetLastError(), DWORD(EINVAL));
        QVERIFY(PostMessageA(window.Handle(), WM_CLOSE, 0, 0));
        QTRY_VERIFY_WITH_TIMEOUT(thread, MarkerAppearTimeout);
        QCOMPARE(thread, QCoreApplication::instance()->thread());
        InstallCloseHandler([] {});
    }
};

int main(int argc, char** argv)
{
    // Markers of this run stay out of everyone else's sight.
    QTemporaryDir ddeFolder;
    qputenv("TURVISTA_DDE_DIR", QFile::encodeName(ddeFolder.path()));
    return RunTests<QCoreApplication, TestProcessStart, TestWindowMarkers, TestCloseRequest>(argc, argv);
}

#include "tst_process.moc"
