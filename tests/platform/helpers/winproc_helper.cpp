// Child program for the process tests; see WinprocHelper.h.
#include "platform/process/winproc.h"
#include "tests/platform/helpers/WinprocHelper.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <unistd.h>

namespace {

int HoldWindow(int argc, char** argv)
{
    if (argc != 4)
        return WinprocHelper::FailedExitCode;
    QCoreApplication app(argc, argv);
    const TWindowMarker window(argv[2], argv[3]);
    if (!window.Handle())
        return WinprocHelper::FailedExitCode;
    InstallCloseHandler([] { QCoreApplication::exit(WinprocHelper::ClosedExitCode); });
    return app.exec();
}

int Report(int argc, char** argv)
{
    if (argc != 3)
        return WinprocHelper::FailedExitCode;
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    const std::string show =
        (startup.dwFlags & STARTF_USESHOWWINDOW) ? std::to_string(startup.wShowWindow) : std::string("none");

    char folder[4096] = {};
    if (!::getcwd(folder, sizeof folder))
        return WinprocHelper::FailedExitCode;

    // Listed before the report file is opened, so that it is not among them.
    std::string descriptors;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return WinprocHelper::FailedExitCode;
    while (const dirent* entry = ::readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] == '.' || fd <= STDERR_FILENO || fd == ::dirfd(dir))
            continue;
        descriptors += (descriptors.empty() ? "" : ",") + std::string(entry->d_name);
    }
    ::closedir(dir);

    FILE* out = std::fopen(argv[2], "w");
    if (!out)
        return WinprocHelper::FailedExitCode;
    std::fprintf(out, "show=%s\nfolder=%s\ndescriptors=%s\n", show.c_str(), folder, descriptors.c_str());
    return std::fclose(out) == 0 ? 0 : WinprocHelper::FailedExitCode;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], WinprocHelper::WindowMode) == 0)
        return HoldWindow(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], WinprocHelper::ReportMode) == 0)
        return Report(argc, argv);
    return WinprocHelper::FailedExitCode;
}
