// urqvdatorel: the communication server with simulated 4812 controls behind it.
#include "platform/files/DataFolders.h"
#include "platform/process/winproc.h"
#include "server/DatorelServer.h"
#include "server/ServerTiming.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// Interrupting the server from its terminal closes it like WM_CLOSE does.
void OnInterrupt(int)
{
    ::kill(::getpid(), SIGTERM);
}

QString DefaultStateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/turvista");
}

int Fail(int code, const QString& message)
{
    std::fprintf(stderr, "urqvdatorel: %s\n", message.toLocal8Bit().constData());
    return code;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("urqvdatorel"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Communication server for 4812 Turvista with simulated 4812 controls.\n"
        "Offers the DDE services \"Datorel\" and \"URQVDatorel\". Each network definition file\n"
        "given (or opened later with the System command [open(\"file\")]) opens one topic per\n"
        "control, named file(control id), e.g. 4812.net(Dflt Control ID)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption tick(QStringLiteral("tick"),
                                  QStringLiteral("Real milliseconds per control tick of 100 ms (default %1; "
                                                 "smaller runs the controls faster than real time).")
                                      .arg(ServerTiming::DefaultTickMs),
                                  QStringLiteral("ms"));
    const QCommandLineOption stateDir(QStringLiteral("state-dir"),
                                      QStringLiteral("Folder of the controls' stores when a network file gives a "
                                                     "relative path (default $XDG_STATE_HOME/turvista)."),
                                      QStringLiteral("folder"));
    const QCommandLineOption service(QStringLiteral("service"),
                                     QStringLiteral("Name of the server's own DDE service (default URQVDatorel)."),
                                     QStringLiteral("name"));
    const QCommandLineOption testFaults(QStringLiteral("test-faults"),
                                        QStringLiteral("Let clients set test faults and force values, alarms "
                                                       "and trips through the System items \"Faults\" and "
                                                       "\"Simulate\" (for tests only)."));
    const QCommandLineOption faults(QStringLiteral("faults"),
                                    QStringLiteral("Start with these test faults (implies --test-faults)."),
                                    QStringLiteral("rules"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Log every transaction on the control topics."));
    parser.addOptions({tick, stateDir, service, testFaults, faults, verbose});
    parser.addPositionalArgument(QStringLiteral("network"), QStringLiteral("Network definition files to open."),
                                 QStringLiteral("[network.net...]"));
    // Wrong use exits with 2; process() would exit with 1 for an unknown option.
    if (!parser.parse(app.arguments()))
        return Fail(ExitUsage, parser.errorText());
    parser.process(app); // --help, --help-all, --version

    TDatorelServer::TSettings settings;
    settings.serverFolder = DataFolders::Bundled(QCoreApplication::applicationDirPath());
    settings.stateFolder = parser.isSet(stateDir) ? QDir(parser.value(stateDir)).absolutePath()
                                                  : DefaultStateFolder();
    if (parser.isSet(service))
        settings.serviceName = parser.value(service);
    if (parser.isSet(tick)) {
        bool ok = false;
        settings.tickMs = parser.value(tick).toInt(&ok);
        if (!ok || settings.tickMs < 1)
            return Fail(ExitUsage, QStringLiteral("--tick takes a number of milliseconds of at least 1"));
    }
    settings.testFaults = parser.isSet(testFaults) || parser.isSet(faults);
    settings.verbose = parser.isSet(verbose);

    TDatorelServer server(settings);
    if (parser.isSet(faults)) {
        QString error;
        if (!server.Faults().Set(parser.value(faults), &error))
            return Fail(ExitUsage, QStringLiteral("--faults: ") + error);
    }
    for (const QString& network : parser.positionalArguments()) {
        QString error;
        if (!server.OpenNetwork(network, &error))
            return Fail(ExitFailure, error);
    }
    QString error;
    if (!server.Start(&error))
        return Fail(ExitFailure, error);

    // Ready for a close before the window can be found: a client may close it at once.
    InstallCloseHandler([] { QCoreApplication::quit(); });
    const TWindowMarker window("Datorel Server", "Datorel Server");
    // A client that vanishes while being answered must not take the server with it.
    ::signal(SIGPIPE, SIG_IGN);
    struct sigaction interrupt {};
    interrupt.sa_handler = OnInterrupt;
    sigemptyset(&interrupt.sa_mask);
    ::sigaction(SIGINT, &interrupt, nullptr);

    return app.exec();
}
