// The server connection against DDE servers in this process that stand in for
// the communication server's two services, with a small shell program entered
// in the registry as the server program. The program only notes where and how
// it was started, in started.log beside itself, and ends. Starting, sharing and
// closing the real server are proven by the integration tests.
#include "datalink/ExeMod.h"
#include "datalink/KQServer.h"
#include "datalink/KQStatusPanel.h"
#include "platform/Assert.h"
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
#include <memory>

namespace {

// Retries and waits for a started server run a hundred times faster.
constexpr double FastClock = 0.01;

const QString ServerName = QStringLiteral("URQVDatorel");
const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");
const QString OtherTopic = QStringLiteral("plant.net(Dflt Control ID)");
const QString NetworkFile = QStringLiteral("/opt/datorel/4812.net");
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

    ~Plant()
    {
        server.reset();
        system.reset();
        link.reset();
    }

    // The server program, entered in the registry under keyName.
    void InstallProgram(const QString& keyName = ServerName)
    {
        const QString path = programs.filePath(QStringLiteral("urqvdatorel"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\necho \"$(pwd -P) ${TURVISTA_SHOW_WINDOW:-none}\" >> started.log\n");
        file.close();
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
        Register(keyName, path);
    }

    static void Register(const QString& keyName, const QString& path)
    {
        HKEY key = nullptr;
        const QByteArray subKey = "SOFTWARE\\Veltrane\\DDE Servers\\" + keyName.toLatin1();
        QCOMPARE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.constData(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &key, nullptr),
                 ERROR_SUCCESS);
        const QByteArray value = path.toLocal8Bit();
        QCOMPARE(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.constData()),
                                DWORD(value.size() + 1)),
                 ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // One line per start of the program: its working folder and show mode.
    QStringList Starts() const
    {
        QFile log(programs.filePath(QStringLiteral("started.log")));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    void StartLinkService()
    {
        link = std::make_unique<TestDdeServer>(QStringLiteral("Datorel"), QStringLiteral("System"));
        QVERIFY(link->Registered());
    }

    // The server's own service; topics opens the control topics at once.
    void StartServerService(const QStringList& topics = {Topic})
    {
        system = std::make_unique<TestDdeServer>(ServerName, QStringLiteral("System"));
        QVERIFY(system->Registered());
        system->moreTopics = topics;
        system->SetItem(QStringLiteral("Conversation Count"), "2");
    }

    void StartServices(const QStringList& topics = {Topic})
    {
        StartLinkService();
        StartServerService(topics);
    }

    // The control topic opens only once the network file has been opened.
    void OpenTopicWithNetworkFile()
    {
        link->onExecute = [this](const QString& command) {
            if (command == OpenNetworkFile)
                system->moreTopics << Topic;
        };
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
    std::unique_ptr<TKQServer> server;
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

class TestGoingOnLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Timing::SetScale(FastClock); }
    void cleanupTestCase() { Timing::SetScale(TestTimeScale); }

    void startedInItsOwnFolderWithTheRunMode_data();
    void startedInItsOwnFolderWithTheRunMode();
    void requestsBeforeTheServerRunsAreServedInOrder();
    void windowWithoutLinkServiceIsNoRunningServer();
    void notRegisteredKeepsRequestsWaiting();
    void registryKeyMatchesWithoutRegardToCase_data();
    void registryKeyMatchesWithoutRegardToCase();
    void failures_data();
    void failures();
};

void TestGoingOnLine::startedInItsOwnFolderWithTheRunMode_data()
{
    QTest::addColumn<int>("mode"); // TKRunMode
    QTest::addColumn<QString>("showMode");

    QTest::newRow("minimized") << int(TKRunMode::Minimized) << "2";
    QTest::newRow("hidden") << int(TKRunMode::Hidden) << "0";
    QTest::newRow("normal") << int(TKRunMode::Normal) << "1";
}

void TestGoingOnLine::startedInItsOwnFolderWithTheRunMode()
{
    QFETCH(int, mode);
    QFETCH(QString, showMode);

    Plant plant;
    plant.InstallProgram();
    plant.StartServices();
    plant.MakeServer(false, TKRunMode(mode));
    QCOMPARE(plant.Starts(), QStringList());
    plant.Request(QStringLiteral("device"));

    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
    QCOMPARE(plant.Starts(), QStringList{QDir(plant.programs.path()).canonicalPath() + u' ' + showMode});
    QCOMPARE(plant.connects, QList<TObject*>{plant.server.get()});
}

void TestGoingOnLine::requestsBeforeTheServerRunsAreServedInOrder()
{
    Plant plant;
    plant.InstallProgram();
    plant.StartServices({Topic, OtherTopic});
    plant.MakeServer();
    plant.Request(QStringLiteral("first"));
    plant.Request(QStringLiteral("second"), OtherTopic);
    plant.Request(QStringLiteral("third"));
    QCOMPARE(plant.deliveries.size(), 0);

    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 3, Patience);
    QCOMPARE(plant.Who(), QStringList({"first", "second", "third"}));
    QCOMPARE(plant.deliveries[1].topic, OtherTopic);
    QVERIFY(plant.deliveries[0].connected && plant.deliveries[1].connected);
    QCOMPARE(plant.deliveries[2].conversation, plant.deliveries[0].conversation);
    QCOMPARE(plant.Starts().size(), 1);
}

void TestGoingOnLine::windowWithoutLinkServiceIsNoRunningServer()
{
    // The services come up while the server component retries them: give that time.
    Timing::SetScale(TestTimeScale);
    const auto fast = qScopeGuard([] { Timing::SetScale(FastClock); });
    Plant plant;
    plant.InstallProgram();
    const TWindowMarker window(DatorelServer::WindowClass);
    plant.MakeServer();
    plant.Request(QStringLiteral("device"));

    QTRY_COMPARE_WITH_TIMEOUT(plant.Starts().size(), 1, Patience);
    plant.StartServices();
    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
    QVERIFY(plant.deliveries[0].connected);
    QCOMPARE(plant.dialogs.texts(), QStringList());
}

void TestGoingOnLine::notRegisteredKeepsRequestsWaiting()
{
    Plant plant;
    plant.StartServices({Topic, OtherTopic});
    plant.MakeServer();
    plant.Request(QStringLiteral("first"));
    QCOMPARE(plant.dialogs.texts(), QStringList{QStringLiteral("URQVDatorel has not been registered.")});
    QCOMPARE(plant.deliveries.size(), 0);
    QCOMPARE(plant.Starts(), QStringList());

    plant.InstallProgram();
    plant.Request(QStringLiteral("second"), OtherTopic);
    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
    QCOMPARE(plant.Who(), QStringList({"first", "second"}));
    QCOMPARE(plant.deliveries[0].topic, Topic);
    QCOMPARE(plant.deliveries[1].topic, OtherTopic);
    QCOMPARE(plant.dialogs.texts().size(), 1);
}

void TestGoingOnLine::registryKeyMatchesWithoutRegardToCase_data()
{
    QTest::addColumn<QString>("keyName");
    QTest::addColumn<bool>("found");

    QTest::newRow("same") << "URQVDatorel" << true;
    QTest::newRow("lower") << "urqvdatorel" << true;
    QTest::newRow("mixed") << "uRqVdAtOrEl" << true;
    QTest::newRow("longer") << "URQVDatorel2" << false;
    QTest::newRow("shorter") << "URQVDatore" << false;
}

void TestGoingOnLine::registryKeyMatchesWithoutRegardToCase()
{
    QFETCH(QString, keyName);
    QFETCH(bool, found);

    Plant plant;
    // Other servers around it must not disturb the search.
    Plant::Register(QStringLiteral("AAA Server"), QStringLiteral("/nowhere/aaa"));
    plant.InstallProgram(keyName);
    Plant::Register(QStringLiteral("ZZZ Server"), QStringLiteral("/nowhere/zzz"));
    plant.StartServices();
    plant.MakeServer();
    plant.Request(QStringLiteral("device"));

    if (found) {
        QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
        QCOMPARE(plant.Starts().size(), 1);
        QCOMPARE(plant.dialogs.texts(), QStringList());
    } else {
        QCOMPARE(plant.dialogs.texts(), QStringList{QStringLiteral("URQVDatorel has not been registered.")});
    }
}

// Every request is answered, with no conversation, and the operator is told once.
void TestGoingOnLine::failures_data()
{
    QTest::addColumn<bool>("program");       // else a missing one is registered
    QTest::addColumn<bool>("linkService");
    QTest::addColumn<bool>("serverService"); // with no topic open when it runs
    QTest::addColumn<QStringList>("requests"); // by whom, all for the same topic
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("status");       // empty: not checked
    QTest::addColumn<int>("connects");

    const QString unable = QStringLiteral("Unable to establish communication with server");
    const QStringList one{"first"};
    QTest::newRow("program that cannot start") << false << true << true << one
                                               << "Could not start server." + QString::fromStdString(SystemErrorMessage(ENOENT))
                                               << "Not Active." << 0;
    QTest::newRow("link service never answers") << true << false << true << one << unable << "NotActive" << 0;
    QTest::newRow("server service never answers") << true << true << false << one << unable << "" << 0;
    QTest::newRow("topic never opens") << true << true << true << QStringList{"first", "second"}
                                       << "Could not open topic: " + Topic << "Not Active." << 1;
}

void TestGoingOnLine::failures()
{
    QFETCH(bool, program);
    QFETCH(bool, linkService);
    QFETCH(bool, serverService);
    QFETCH(QStringList, requests);
    QFETCH(QString, shown);
    QFETCH(QString, status);
    QFETCH(int, connects);

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
    for (const QString& who : requests)
        plant.Request(who);

    QTRY_COMPARE_WITH_TIMEOUT(plant.Who(), requests, Patience);
    for (const Delivery& delivery : plant.deliveries)
        QVERIFY(!delivery.conversation);
    QCOMPARE(plant.dialogs.texts(), QStringList{shown});
    if (!status.isEmpty())
        QCOMPARE(plant.Status(), status);
    QCOMPARE(plant.connects.size(), connects);
}

// ---------------------------------------------------------------------------

class TestConversationSharing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Timing::SetScale(FastClock); }
    void cleanupTestCase() { Timing::SetScale(TestTimeScale); }

    void oneConversationPerTopicClosedWithTheLastRelease();
    void topicOpenedOnRetryIsSharedAndClosedByRelease();
    void networkFilesAreOpenedOnTheLinkConversation();
};

void TestConversationSharing::oneConversationPerTopicClosedWithTheLastRelease()
{
    Plant plant;
    GoOnLine(plant);
    plant.Request(QStringLiteral("spy"));
    QCOMPARE(plant.deliveries.size(), 2);
    QCOMPARE(plant.deliveries[1].conversation, plant.deliveries[0].conversation);
    QVERIFY(plant.deliveries[1].connected);
    const int disconnects = plant.system->disconnects;

    plant.server->ReleaseConversation(Topic);
    QVERIFY(plant.deliveries[0].conversation->Connected());
    QCOMPARE(plant.Status(), QStringLiteral("Starting server ..."));

    plant.server->ReleaseConversation(Topic);
    QTRY_COMPARE_WITH_TIMEOUT(plant.system->disconnects, disconnects + 1, Patience);
    QCOMPARE(plant.Status(), QStringLiteral("Not Active."));

    // A topic that is not held is ignored.
    plant.server->ReleaseConversation(Topic);
    plant.server->ReleaseConversation(OtherTopic);
}

// As the main window goes on line: the topic opens once the network file is open.
void TestConversationSharing::topicOpenedOnRetryIsSharedAndClosedByRelease()
{
    Plant plant;
    plant.InstallProgram();
    plant.StartServices({});
    plant.OpenTopicWithNetworkFile();
    plant.MakeServer(true);
    QCOMPARE(plant.Status(), QStringLiteral("Starting server ..."));
    plant.server->NetworkDefFiles() << NetworkFile;
    plant.Request(QStringLiteral("first"));
    plant.Request(QStringLiteral("second"));

    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
    QCOMPARE(plant.Who(), QStringList({"first", "second"}));
    QVERIFY(plant.deliveries[0].connected);
    QCOMPARE(plant.deliveries[0].topic, Topic);
    QCOMPARE(plant.deliveries[1].conversation, plant.deliveries[0].conversation);
    QCOMPARE(plant.link->executes, QStringList{OpenNetworkFile});
    QCOMPARE(plant.Starts().size(), 1);
    QCOMPARE(plant.dialogs.texts(), QStringList());
    const int disconnects = plant.system->disconnects;

    plant.server->ReleaseConversation(Topic);
    QVERIFY(plant.deliveries[0].conversation->Connected());
    plant.server->ReleaseConversation(Topic);
    QTRY_COMPARE_WITH_TIMEOUT(plant.system->disconnects, disconnects + 1, Patience);
    QCOMPARE(plant.Status(), QStringLiteral("Not Active."));
}

void TestConversationSharing::networkFilesAreOpenedOnTheLinkConversation()
{
    {
        Plant plant;
        plant.MakeServer();
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, plant.server->SetNetworkDefFiles({NetworkFile}));
    }
    Plant plant;
    GoOnLine(plant);
    plant.server->SetNetworkDefFiles({QStringLiteral("/a/one.net"), QStringLiteral("/b/two.net")});
    const QStringList expected {QStringLiteral("[open(\"/a/one.net\")]"), QStringLiteral("[open(\"/b/two.net\")]")};
    QTRY_COMPARE_WITH_TIMEOUT(plant.link->executes, expected, Patience);
    QCOMPARE(plant.server->NetworkDefFiles(), QStringList({QStringLiteral("/a/one.net"), QStringLiteral("/b/two.net")}));
}

// ---------------------------------------------------------------------------

class TestStopServer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Timing::SetScale(FastClock); }
    void cleanupTestCase() { Timing::SetScale(TestTimeScale); }

    void conversationCountDecides_data();
    void conversationCountDecides();
    void conversationClosedJustBeforeIsNotAnotherClient();
    void changingTheServerNameStopsTheOldOne();
};

void TestStopServer::conversationCountDecides_data()
{
    QTest::addColumn<QByteArray>("count");
    QTest::addColumn<bool>("keptRunning");

    QTest::newRow("three") << QByteArray("3") << true;
    QTest::newRow("ten, compared as a number") << QByteArray("10") << true;
    QTest::newRow("two") << QByteArray("2") << false;
    QTest::newRow("one") << QByteArray("1") << false;
    QTest::newRow("no number") << QByteArray("many") << false;
}

// A server that is kept running serves the next request at once; a closed one
// has to be started again.
void TestStopServer::conversationCountDecides()
{
    QFETCH(QByteArray, count);
    QFETCH(bool, keptRunning);

    Plant plant;
    GoOnLine(plant);
    plant.system->SetItem(QStringLiteral("Conversation Count"), count);
    plant.server->ReleaseConversation(Topic);
    plant.server->StopServer();
    plant.Request(QStringLiteral("again"));

    if (keptRunning) {
        QCOMPARE(plant.deliveries.size(), 2);
        QCOMPARE(plant.Starts().size(), 1);
    } else {
        QCOMPARE(plant.deliveries.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
        QCOMPARE(plant.Starts().size(), 2);
    }
    QVERIFY(plant.deliveries[1].connected);
    QCOMPARE(plant.dialogs.texts(), QStringList());
}

// The server may answer the first question before it has seen a conversation
// that was closed just before it.
void TestStopServer::conversationClosedJustBeforeIsNotAnotherClient()
{
    Plant plant;
    GoOnLine(plant);
    plant.system->SetItem(QStringLiteral("Conversation Count"), "3");
    int asks = 0;
    plant.system->beforeReply = [&](const QString& item) {
        if (item == QStringLiteral("CONVERSATION COUNT") && ++asks == 2)
            plant.system->SetItem(QStringLiteral("Conversation Count"), "2");
    };
    plant.server->ReleaseConversation(Topic);
    plant.server->StopServer();
    plant.system->beforeReply = nullptr;
    plant.Request(QStringLiteral("again"));

    QCOMPARE(asks, 2);
    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
    QCOMPARE(plant.Starts().size(), 2);
}

void TestStopServer::changingTheServerNameStopsTheOldOne()
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

TURVISTA_TEST_MAIN(TestGoingOnLine, TestConversationSharing, TestStopServer)

#include "tst_kqserver.moc"
