// Child program for the process tests; see WinprocHelper.h.
#include "platform/process/winproc.h"
#include "tests/platform/helpers/WinprocHelper.h"

#include <QCoreApplication>

#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 4 || std::strcmp(argv[1], WinprocHelper::WindowMode) != 0)
        return WinprocHelper::FailedExitCode;
    QCoreApplication app(argc, argv);
    // Ready for a close before the window can be found, as the server is.
    InstallCloseHandler([] { QCoreApplication::exit(WinprocHelper::ClosedExitCode); });
    const TWindowMarker window(argv[2], argv[3]);
    if (!window.Handle())
        return WinprocHelper::FailedExitCode;
    return app.exec();
}
