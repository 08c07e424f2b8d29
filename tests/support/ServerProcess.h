// The real urqvdatorel, started for one test in private folders.
//
// All servers of a test process share one private DDE folder (set in this
// process's environment as well, so that its DDE clients find them); each
// ServerProcess has its own state folder for the controls' stores, kept across
// Stop() and Start() so that a restarted server finds what it saved. Only one
// server can run at a time. The destructor stops the server, also when a test
// fails half-way.
//
//     ServerProcess server;
//     QVERIFY2(server.Start(), qPrintable(server.Output()));
//     TestDdeClient control(QStringLiteral("URQVDatorel"), ServerProcess::Topic());
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class ServerProcess {
public:
    struct Options {
        int tickMs = 10;                // control time runs ten times faster than real time
        QString faults;                 // test faults from the start (the System item "Faults" works anyway)
        QStringList arguments;          // further command-line arguments
    };

    ServerProcess() : ServerProcess(Options()) {}
    explicit ServerProcess(const Options& options);
    ~ServerProcess();

    // Starts the server and waits until both its services answer. False when it
    // could not be started or ended early; Output() then says why.
    bool Start();
    // Asks the server to close as WM_CLOSE does and waits for it to end.
    bool Stop();
    // Ends the server at once (SIGKILL).
    void Kill();
    // Waits for a server that is expected to end by itself (a fault made it die).
    bool WaitForExit();
    bool IsRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }
    // Exit code of a server that ended by itself; Crashed() when a signal ended it.
    int ExitCode() const { return m_process ? m_process->exitCode() : 0; }
    bool Crashed() const { return m_process && m_process->exitStatus() == QProcess::CrashExit; }

    // Replaces the server's test faults (see docs/server.md).
    bool SetFaults(const QString& rules) { return PokeSystem(QStringLiteral("Faults"), rules); }
    // One command for the default control through the System item "Simulate"
    // (docs/server.md): "set ITEM=VALUE", "alarm TEXT", "trip TEXT" or "clear".
    // False when the server refused it.
    bool Simulate(const QString& command) { return PokeSystem(QStringLiteral("Simulate"), command); }

    // What the server wrote to its error output so far.
    QString Output();
    // Folder of the stores of networks with relative store paths.
    QString StateFolder() const { return m_folder.path() + QStringLiteral("/state"); }
    // A private folder for the test's own files (network files, databases ...).
    QString WorkFolder() const { return m_folder.path() + QStringLiteral("/work"); }

    // The bundled default network beside the server, and its control's topic.
    static QString DefaultNetwork();
    static QString Topic() { return QStringLiteral("4812.net(Dflt Control ID)"); }

private:
    static bool PokeSystem(const QString& item, const QString& value);

    Options m_options;
    QTemporaryDir m_folder;
    std::unique_ptr<QProcess> m_process;
    QString m_output;
};
