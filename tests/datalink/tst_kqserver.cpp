// The server connection against DDE servers in this process that stand in for
// the communication server's two services, with a small shell program entered
// in the registry as the server program. The program notes where and how it
// was started, in started.log beside itself, and ends. Starting, sharing and
// closing the real server are proven by the integration tests.
#include "datalink/ExeMod.h"
#include "datalink/KQServer.h"
#include "datalink/KQStatusPanel.h"
#include "platform/Timing.h"
#include "platform/process/winproc.h"
#include "platform/registry/winreg.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDdeServer.h"
#include "tests/support/TestRunner.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTemporaryDir>

#include <cerrno>

namespace {

// Retries and waits for a started server run a hundred times faster.
constexpr double FastClock = 0.01;

const QString ServerName = QStringLiteral("URQVDatorel");
const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");
const QString OtherTopic = QStringLiteral("plant.net(Dflt Control ID)");
const QString OpenNetworkFile = QStringLiteral("[open(\"/opt/datorel/4812.net\")]");
constexpr int Patience = 20000; // how long QTRY waits for something that must come

struct Delivery {
    QString who;
    TKQDdeClientConv* conversation; // nullptr: the request failed
    bool connected;
    QString topic;
};

// Everything one test needs: private DDE and registry folders, the dialogs,
// the status bar, the two services and the component under test.
class Plant {
public:
    Plant()
    {
        qputenv("TURVISTA_DDE_DIR", dde.path().toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", config.path().toLocal8Bit());
        TKQStatusPanel::AddPanel(&bar, 200);
    }

    // The server program, entered in the registry under keyName; it runs then
    // after noting its start.
    QString InstallProgram(const QString& keyName = ServerName, const QByteArray& then = {})
    {
        const QString path = programs.filePath(QStringLiteral("urqvdatorel"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\necho \"$(pwd -P) ${TURVISTA_SHOW_WINDOW:-none}\" >> started.log\n" + then);
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
        Register(keyName, path);
        return path;
    }

    static void Register(const QString& keyName, const QString& path)
    {
        HKEY key = nullptr;
        const QByteArray subKey = "SOFTWARE\\Veltrane\\DDE Servers\\" + keyName.toLatin1();
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.constData(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr);
        const QByteArray value = path.toLocal8Bit();
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.constData()), DWORD(value.size() + 1));
        RegCloseKey(key);
    }

    // One line per start of the program: its working folder and show mode.
    QStringList Starts() const
    {
        QFile log(programs.filePath(QStringLiteral("started.log")));
        return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                             : QStringList();
    }

    void StartLinkService() { link = std::make_unique<TestDdeServer>(QStringLiteral("Datorel"), QStringLiteral("System")); }

    // The server's own service; topics opens the control topics at once.
    void StartServerService(const QStringList& topics = {Topic})
    {
        system = std::make_unique<TestDdeServer>(ServerName, QStringLiteral("System"));
        system->moreTopics = topics;
        system->SetItem(QStringLiteral("Conversation Count"), "2");
    }

    void StartServices(const QStringList& topics = {Topic})
    {
        StartLinkService();
        StartServerService(topics);
    }

    // loaded: the owner has finished setting it up, so that setting the server
    // name starts the server.
    void MakeServer(bool loaded = false, TKRunMode mode = TKRunMode::Hidden)
    {
        server = std::make_unique<TKQServer>();
        server->SetRunMode(mode);
        server->StatusPanel()->SetStatusBar(&bar);
        server->OnConnect = [this](TObject* sender) { connects << sender; };
        if (loaded)
            server->Loaded();
        server->SetServerName(ServerName);
    }

    void Request(const QString& who, const QString& topic = Topic)
    {
        server->RequestConversation(topic, [this, who](TKQDdeClientConv* conversation) {
            deliveries << Delivery{who, conversation, conversation && conversation->Connected(),
                                   conversation ? conversation->Topic() : QString()};
        });
    }

    QStringList Who() const
    {
        QStringList who;
        for (const Delivery& delivery : deliveries)
            who << delivery.who;
        return who;
    }

    QString Status() const { return server->StatusPanel()->Text(); }

    QTemporaryDir dde;
    QTemporaryDir config;
    QTemporaryDir programs;
    TScriptedDialogs dialogs;
    QStatusBar bar;
    std::unique_ptr<TestDdeServer> link;
    std::unique_ptr<TestDdeServer> system;
    std::unique_ptr<TKQServer> server; // goes first
    QList<Delivery> deliveries;
    QList<TObject*> connects;
};

// Brings a plant on line with one conversation of Topic held by "device".
void GoOnLine(Plant& plant)
{
    plant.InstallProgram();
    plant.StartServices();
    plant.MakeServer();
    plant.Request(QStringLiteral("device"));
    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
    QVERIFY(plant.deliveries[0].connected);
}

} // namespace

// ---------------------------------------------------------------------------

class TestServerConnection : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Timing::SetScale(FastClock); }
    void cleanupTestCase() { Timing::SetScale(TestTimeScale); }

    void startedInItsOwnFolderWithTheRunMode_data()
    {
        QTest::addColumn<int>("mode"); // TKRunMode
        QTest::addColumn<QString>("showMode");
        QTest::addColumn<QString>("keyName"); // found without regard to case
        QTest::newRow("minimized") << int(TKRunMode::Minimized) << "2" << "urqvdatorel";
        QTest::newRow("hidden") << int(TKRunMode::Hidden) << "0" << "URQVDatorel";
        QTest::newRow("normal") << int(TKRunMode::Normal) << "1" << "uRqVdAtOrEl";
    }

    // Requests that come before the server runs are served in order.
    void startedInItsOwnFolderWithTheRunMode()
    {
        QFETCH(int, mode);
        QFETCH(QString, showMode);
        QFETCH(QString, keyName);

        Plant plant;
        // Other servers around it must not disturb the search.
        Plant::Register(QStringLiteral("AAA Server"), QStringLiteral("/nowhere/aaa"));
        plant.InstallProgram(keyName);
        Plant::Register(QStringLiteral("ZZZ Server"), QStringLiteral("/nowhere/zzz"));
        plant.StartServices({Topic, OtherTopic});
        plant.MakeServer(false, TKRunMode(mode));
        QCOMPARE(plant.Starts(), QStringList());
        plant.Request(QStringLiteral("first"));
        plant.Request(QStringLiteral("second"), OtherTopic);
        plant.Request(QStringLiteral("third"));
        QCOMPARE(plant.deliveries.size(), 0);

        QTRY_COMPARE_WITH_TIMEOUT(plant.Who(), QStringList({"first", "second", "third"}), Patience);
        QCOMPARE(plant.Starts(), QStringList{QDir(plant.programs.path()).canonicalPath() + u' ' + showMode});
        QCOMPARE(plant.connects, QList<TObject*>{plant.server.get()});
        QCOMPARE(plant.deliveries[1].topic, OtherTopic);
        QVERIFY(plant.deliveries[0].connected && plant.deliveries[1].connected);
        QCOMPARE(plant.deliveries[2].conversation, plant.deliveries[0].conversation);
        QCOMPARE(plant.dialogs.texts(), QStringList());
    }

    // The request is answered, with no conversation, and the operator is told.
    void failures_data()
    {
        QTest::addColumn<bool>("program");       // else a missing one is registered
        QTest::addColumn<bool>("linkService");
        QTest::addColumn<bool>("serverService"); // with no topic open when it runs
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("status");     // empty: not checked

        const QString unable = QStringLiteral("Unable to establish communication with server");
        QTest::newRow("program that cannot start") << false << true << true
                                                   << "Could not start server." + QString::fromStdString(SystemErrorMessage(ENOENT))
                                                   << "Not Active.";
        QTest::newRow("link service never answers") << true << false << true << unable << "NotActive";
        QTest::newRow("server service never answers") << true << true << false << unable << "";
    }

    void failures()
    {
        QFETCH(bool, program);
        QFETCH(bool, linkService);
        QFETCH(bool, serverService);
        QFETCH(QString, shown);
        QFETCH(QString, status);

        Plant plant;
        if (program)
            plant.InstallProgram();
        else
            Plant::Register(ServerName, plant.programs.filePath(QStringLiteral("missing/urqvdatorel")));
        if (linkService)
            plant.StartLinkService();
        if (serverService)
            plant.StartServerService({});
        plant.MakeServer();
        plant.Request(QStringLiteral("first"));
        QTRY_COMPARE_WITH_TIMEOUT(plant.Who(), QStringList{"first"}, Patience);
        QVERIFY(!plant.deliveries[0].conversation);
        QCOMPARE(plant.dialogs.texts(), QStringList{shown});
        if (!status.isEmpty())
            QCOMPARE(plant.Status(), status);
        QVERIFY(plant.connects.isEmpty());
    }

    // As the main window goes on line: the topic opens once the network file is open.
    void topicOpenedOnRetryIsSharedAndClosedByRelease()
    {
        Plant plant;
        plant.InstallProgram();
        plant.StartServices({});
        plant.link->onExecute = [&](const QString& command) {
            if (command == OpenNetworkFile)
                plant.system->moreTopics << Topic;
        };
        plant.MakeServer(true);
        QCOMPARE(plant.Status(), QStringLiteral("Starting server ..."));
        plant.server->NetworkDefFiles() << QStringLiteral("/opt/datorel/4812.net");
        plant.Request(QStringLiteral("first"));
        plant.Request(QStringLiteral("second"));

        QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
        QCOMPARE(plant.Who(), QStringList({"first", "second"}));
        QVERIFY(plant.deliveries[0].connected);
        QCOMPARE(plant.deliveries[1].conversation, plant.deliveries[0].conversation);
        QCOMPARE(plant.link->executes, QStringList{OpenNetworkFile});
        QCOMPARE(plant.dialogs.texts(), QStringList());
        // Once open, the topic is shared at once.
        plant.Request(QStringLiteral("spy"));
        QCOMPARE(plant.deliveries.size(), 3);
        QCOMPARE(plant.deliveries[2].conversation, plant.deliveries[0].conversation);
        const int disconnects = plant.system->disconnects;

        // The last user's release closes it; a topic that is not held is ignored.
        for (int user = 0; user < 2; ++user)
            plant.server->ReleaseConversation(Topic);
        QVERIFY(plant.deliveries[0].conversation->Connected());
        plant.server->ReleaseConversation(Topic);
        QTRY_COMPARE_WITH_TIMEOUT(plant.system->disconnects, disconnects + 1, Patience);
        QCOMPARE(plant.Status(), QStringLiteral("Not Active."));
        plant.server->ReleaseConversation(Topic);
        plant.server->ReleaseConversation(OtherTopic);
    }

    void conversationCountDecides_data()
    {
        QTest::addColumn<QByteArray>("count");
        QTest::addColumn<QByteArray>("second"); // when asked again
        QTest::addColumn<bool>("keptRunning");
        QTest::newRow("three") << QByteArray("3") << QByteArray("3") << true;
        QTest::newRow("ten, compared as a number") << QByteArray("10") << QByteArray("10") << true;
        QTest::newRow("two") << QByteArray("2") << QByteArray("2") << false;
        QTest::newRow("no number") << QByteArray("many") << QByteArray("many") << false;
        // The server may answer the first question before it has seen a
        // conversation that was closed just before it.
        QTest::newRow("closed just before") << QByteArray("3") << QByteArray("2") << false;
    }

    // A server that is kept running serves the next request at once; a closed one
    // has to be started again.
    void conversationCountDecides()
    {
        QFETCH(QByteArray, count);
        QFETCH(QByteArray, second);
        QFETCH(bool, keptRunning);

        Plant plant;
        GoOnLine(plant);
        plant.system->SetItem(QStringLiteral("Conversation Count"), count);
        int asks = 0;
        plant.system->beforeReply = [&](const QString& item) {
            if (item == QStringLiteral("CONVERSATION COUNT") && ++asks == 2)
                plant.system->SetItem(QStringLiteral("Conversation Count"), second);
        };
        plant.server->ReleaseConversation(Topic);
        plant.server->StopServer();
        plant.system->beforeReply = nullptr;
        QCOMPARE(asks, count.toInt() > 2 ? 2 : 1);
        plant.Request(QStringLiteral("again"));
        QCOMPARE(plant.deliveries.size(), keptRunning ? 2 : 1);
        QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
        QCOMPARE(plant.Starts().size(), keptRunning ? 1 : 2);
        QVERIFY(plant.deliveries[1].connected);
        QCOMPARE(plant.dialogs.texts(), QStringList());
    }

    void changingTheServerNameStopsTheOldOne()
    {
        Plant plant;
        GoOnLine(plant);
        const int disconnects = plant.system->disconnects;
        plant.server->SetServerName(QString());

        // The topic conversation is closed and the server, asked first, is closed too.
        QTRY_VERIFY_WITH_TIMEOUT(plant.system->disconnects > disconnects, Patience);
        plant.server->SetServerName(ServerName);
        plant.Request(QStringLiteral("again"));
        QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
        QCOMPARE(plant.Starts().size(), 2);
    }

    // A server found running on a later start is still the one this program
    // started, and is closed with it.
    void ownServerFoundRunningIsClosed()
    {
        const QByteArray helper = TURVISTA_BINARY_DIR "/tests/winproc_helper";
        QVERIFY2(QFile::exists(helper), "the process tests' helper holds the server's window");
        Plant plant;
        const QString program = plant.InstallProgram(
            ServerName, "exec '" + helper + "' window '" + DatorelServer::WindowClass + "' urqvdatorel\n");
        plant.StartLinkService();
        TKQDdeMgr manager;
        TKQDdeMgr::SetCurrent(&manager);
        TExeModule module;
        int started = 0;
        module.Start(program, 0, [&](TObject*) { ++started; });
        QTRY_VERIFY_WITH_TIMEOUT(started == 1 && FindWindowA(DatorelServer::WindowClass, nullptr), Patience);
        const HWND window = FindWindowA(DatorelServer::WindowClass, nullptr);
        const auto closed = qScopeGuard([window] { PostMessageA(window, WM_CLOSE, 0, 0); });
        QVERIFY(module.StartedServer());

        module.Start(program, 0, [&](TObject*) { ++started; });
        QCOMPARE(started, 2); // running already: at once
        QVERIFY(module.StartedServer());
        module.Close();
        QTRY_VERIFY_WITH_TIMEOUT(!IsWindow(window), Patience);
        QCOMPARE(plant.Starts().size(), 1);
    }
};

TURVISTA_TEST_MAIN(TestServerConnection)

#include "tst_kqserver.moc"
