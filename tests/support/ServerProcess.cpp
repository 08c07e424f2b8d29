#include "tests/support/ServerProcess.h"

#include "tests/support/TestDdeClient.h"
#include "tests/support/Wait.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>

#include <csignal>

namespace {

constexpr int StartTimeoutMs = 15000; // a loaded machine may be slow to start a process
constexpr int StartPollMs = 20;
constexpr int StopTimeoutMs = 10000;

// One private DDE folder for every server and client of this test process.
const QString& RuntimeFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/turvista-test-XXXXXX"));
    static const bool exported = [] {
        qputenv("TURVISTA_DDE_DIR", (folder.path() + QStringLiteral("/dde")).toLocal8Bit());
        QDir(folder.path()).mkdir(QStringLiteral("dde"));
        QFile::setPermissions(folder.path() + QStringLiteral("/dde"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return true;
    }();
    Q_UNUSED(exported);
    static const QString path = folder.path();
    return path;
}

bool ServiceAnswers(const QString& service)
{
    TestDdeClient client(service, QStringLiteral("System"));
    return client.Connected();
}

} // namespace

ServerProcess::ServerProcess()
    : ServerProcess(Options())
{
}

ServerProcess::ServerProcess(const Options& options)
    : m_options(options)
    , m_folder(QDir::tempPath() + QStringLiteral("/turvista-server-XXXXXX"))
{
    RuntimeFolder();
    QDir(m_folder.path()).mkpath(QStringLiteral("state"));
    QDir(m_folder.path()).mkpath(QStringLiteral("work"));
}

ServerProcess::~ServerProcess()
{
    if (IsRunning() && !Stop())
        Kill();
}

QString ServerProcess::ServerExecutable()
{
    return QStringLiteral(TURVISTA_SERVER_EXE);
}

QString ServerProcess::DefaultNetwork()
{
    return QFileInfo(ServerExecutable()).absolutePath() + QStringLiteral("/4812.net");
}

QString ServerProcess::Topic()
{
    return QStringLiteral("4812.net(Dflt Control ID)");
}

QString ServerProcess::StateFolder() const
{
    return m_folder.path() + QStringLiteral("/state");
}

QString ServerProcess::WorkFolder() const
{
    return m_folder.path() + QStringLiteral("/work");
}

bool ServerProcess::Start()
{
    if (IsRunning())
        return true;
    m_output.clear();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // Started in its own folder, as the program starts it.
    m_process->setWorkingDirectory(QFileInfo(ServerExecutable()).absolutePath());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TURVISTA_DDE_DIR"), RuntimeFolder() + QStringLiteral("/dde"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), RuntimeFolder());
    environment.insert(QStringLiteral("XDG_STATE_HOME"), StateFolder());
    m_process->setProcessEnvironment(environment);

    QStringList arguments{QStringLiteral("--tick"), QString::number(m_options.tickMs), QStringLiteral("--state-dir"),
                          StateFolder(), QStringLiteral("--test-faults")};
    if (!m_options.faults.isEmpty())
        arguments << QStringLiteral("--faults") << m_options.faults;
    arguments += m_options.arguments;
    if (m_options.openDefaultNetwork)
        arguments << DefaultNetwork();
    m_process->start(ServerExecutable(), arguments);
    if (!m_process->waitForStarted(StartTimeoutMs)) {
        m_output = QStringLiteral("cannot start %1: %2").arg(ServerExecutable(), m_process->errorString());
        return false;
    }

    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running) {
            Output();
            m_output += QStringLiteral("\n(the server ended with code %1)").arg(m_process->exitCode());
            return false;
        }
        // The link service is offered last.
        if (ServiceAnswers(QStringLiteral("URQVDatorel")) && ServiceAnswers(QStringLiteral("Datorel")))
            return true;
        Harness::Wait(StartPollMs);
    }
    Output();
    m_output += QStringLiteral("\n(the server's services did not answer)");
    return false;
}

bool ServerProcess::Stop()
{
    if (!IsRunning())
        return true;
    // What posting WM_CLOSE to the server's window sends.
    ::kill(pid_t(m_process->processId()), SIGTERM);
    const bool ended = m_process->waitForFinished(StopTimeoutMs);
    Output();
    return ended && m_process->exitStatus() == QProcess::NormalExit;
}

void ServerProcess::Kill()
{
    if (!IsRunning())
        return;
    m_process->kill();
    m_process->waitForFinished(StopTimeoutMs);
    Output();
}

bool ServerProcess::WaitForExit()
{
    if (!m_process)
        return true;
    const bool ended = m_process->state() == QProcess::NotRunning || m_process->waitForFinished(StopTimeoutMs);
    Output();
    return ended;
}

bool ServerProcess::IsRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

int ServerProcess::ExitCode() const
{
    return m_process ? m_process->exitCode() : 0;
}

bool ServerProcess::Crashed() const
{
    return m_process && m_process->exitStatus() == QProcess::CrashExit;
}

bool ServerProcess::SetFaults(const QString& rules)
{
    TestDdeClient system(QStringLiteral("URQVDatorel"), QStringLiteral("System"));
    return system.Poke(QStringLiteral("Faults"), rules);
}

bool ServerProcess::Simulate(const QString& command)
{
    TestDdeClient system(QStringLiteral("URQVDatorel"), QStringLiteral("System"));
    return system.Poke(QStringLiteral("Simulate"), command);
}

QString ServerProcess::Output()
{
    if (m_process)
        m_output += QString::fromLocal8Bit(m_process->readAll());
    return m_output;
}
