#include "tests/support/ServerProcess.h"

#include "tests/support/TestDdeClient.h"
#include "tests/support/Wait.h"

#include <QDir>
#include <QFileInfo>

#include <csignal>

namespace {

constexpr int StartTimeoutMs = 15000; // a loaded machine may be slow to start a process
constexpr int StopTimeoutMs = 10000;
const QString ServerExecutable = QStringLiteral(TURVISTA_SERVER_EXE);

// One private DDE folder for every server and client of this test process.
const QString& RuntimeFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/turvista-test-XXXXXX"));
    static const QString path = [] {
        const QString dde = folder.path() + QStringLiteral("/dde");
        QDir().mkdir(dde);
        QFile::setPermissions(dde, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TURVISTA_DDE_DIR", dde.toLocal8Bit());
        return folder.path();
    }();
    return path;
}

bool ServiceAnswers(const QString& service)
{
    TestDdeClient client(service, QStringLiteral("System"));
    return client.Connected();
}

} // namespace

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

QString ServerProcess::DefaultNetwork()
{
    return QFileInfo(ServerExecutable).absolutePath() + QStringLiteral("/4812.net");
}

bool ServerProcess::Start()
{
    if (IsRunning())
        return true;
    m_output.clear();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // Started in its own folder, as the program starts it.
    m_process->setWorkingDirectory(QFileInfo(ServerExecutable).absolutePath());
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
    arguments << DefaultNetwork();
    m_process->start(ServerExecutable, arguments);
    if (!m_process->waitForStarted(StartTimeoutMs)) {
        m_output = QStringLiteral("cannot start %1: %2").arg(ServerExecutable, m_process->errorString());
        return false;
    }

    // The link service is offered last.
    const bool answers = Harness::WaitFor([this] {
        return !IsRunning() || (ServiceAnswers(QStringLiteral("URQVDatorel")) && ServiceAnswers(QStringLiteral("Datorel")));
    }, StartTimeoutMs);
    Output();
    if (!IsRunning())
        m_output += QStringLiteral("\n(the server ended with code %1)").arg(m_process->exitCode());
    else if (!answers)
        m_output += QStringLiteral("\n(the server's services did not answer)");
    return IsRunning() && answers;
}

bool ServerProcess::Stop()
{
    if (!IsRunning())
        return true;
    // What posting WM_CLOSE to the server's window sends.
    ::kill(pid_t(m_process->processId()), SIGTERM);
    return WaitForExit() && m_process->exitStatus() == QProcess::NormalExit;
}

void ServerProcess::Kill()
{
    if (IsRunning())
        m_process->kill();
    WaitForExit();
}

bool ServerProcess::WaitForExit()
{
    const bool ended = !IsRunning() || m_process->waitForFinished(StopTimeoutMs);
    Output();
    return ended;
}

bool ServerProcess::PokeSystem(const QString& item, const QString& value)
{
    return TestDdeClient(QStringLiteral("URQVDatorel"), QStringLiteral("System")).Poke(item, value);
}

QString ServerProcess::Output()
{
    if (m_process)
        m_output += QString::fromLocal8Bit(m_process->readAll());
    return m_output;
}
