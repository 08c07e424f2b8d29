// The server connection against DDE servers in this process that stand in for
// the communication server's two services, with a small shell program entered
// in the registry as the server program. The program only notes where and how
// it was started, in started.log beside itself, and ends.
#include "datalink/ExeMod.h"
#include "datalink/KQServer.h"
#include "datalink/KQStatusPanel.h"
#include "platform/Assert.h"
#include "platform/process/winproc.h"
#include "platform/registry/winreg.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDdeServer.h"
#include "tests/support/TestRunner.h"

#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>

namespace {

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

    QString ProgramFolder() const { return QDir(programs.path()).canonicalPath(); }

    void StartLinkService()
    {
        link = std::make_unique<TestDdeServer>(QStringLiteral("Datorel"), QStringLiteral("System"));
        QVERIFY(link->Registered());
    }

    // The server's own service; topics opens the control topics at once.
    void StartServerService(const QStringList& topics = {Topic}, const QByteArray& count = "2")
    {
        system = std::make_unique<TestDdeServer>(ServerName, QStringLiteral("System"));
        QVERIFY(system->Registered());
        system->moreTopics = topics;
        if (!count.isNull())
            system->SetItem(QStringLiteral("Conversation Count"), count);
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
    void MakeServer(bool loaded, TKRunMode mode = TKRunMode::Hidden)
    {
        server = std::make_unique<TKQServer>();
        server->SetRunMode(mode);
        server->StatusPanel()->SetStatusBar(&bar);
        server->OnConnect = [this](TObject* sender) { connects << sender; };
        if (loaded)
            server->Loaded();
        server->SetServerName(ServerName);
    }

    TConvCallBack Into(const QString& who)
    {
        return [this, who](TKQDdeClientConv* conversation) {
            deliveries << Delivery{who, conversation, conversation && conversation->Connected(),
                                   conversation ? conversation->Topic() : QString()};
        };
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
    plant.MakeServer(false);
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("device")));
    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
    QVERIFY(plant.deliveries[0].connected);
}

} // namespace

// ---------------------------------------------------------------------------

class TestGoingOnLine : public QObject {
    Q_OBJECT

private slots:
    void asTheMainWindowDoes();
    void startedInItsOwnFolderWithTheRunMode_data();
    void startedInItsOwnFolderWithTheRunMode();
    void requestsBeforeTheServerRunsAreServedInOrder();
    void runningServerIsUsedWithoutStartingAnother();
    void windowWithoutLinkServiceIsNoRunningServer();
};

void TestGoingOnLine::asTheMainWindowDoes()
{
    Plant plant;
    plant.InstallProgram();
    plant.StartServices({});
    plant.OpenTopicWithNetworkFile();
    plant.MakeServer(true);
    QCOMPARE(plant.Status(), QStringLiteral("Starting server ..."));
    plant.server->NetworkDefFiles() << NetworkFile;
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("device")));

    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
    QVERIFY(plant.deliveries[0].connected);
    QCOMPARE(plant.deliveries[0].topic, Topic);
    QCOMPARE(plant.link->executes, QStringList{OpenNetworkFile});
    QCOMPARE(plant.connects, QList<TObject*>{plant.server.get()});
    QCOMPARE(plant.Starts().size(), 1);
    QCOMPARE(plant.dialogs.texts(), QStringList());

    plant.server->ReleaseConversation(Topic);
    QCOMPARE(plant.Status(), QStringLiteral("Not Active."));
}

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
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("device")));

    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
    QCOMPARE(plant.Starts(), QStringList{plant.ProgramFolder() + u' ' + showMode});
}

void TestGoingOnLine::requestsBeforeTheServerRunsAreServedInOrder()
{
    Plant plant;
    plant.InstallProgram();
    plant.StartServices({Topic, OtherTopic});
    plant.MakeServer(false);
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("first")));
    plant.server->RequestConversation(OtherTopic, plant.Into(QStringLiteral("second")));
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("third")));
    QCOMPARE(plant.deliveries.size(), 0);

    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 3, Patience);
    QCOMPARE(plant.deliveries[0].who, QStringLiteral("first"));
    QCOMPARE(plant.deliveries[1].who, QStringLiteral("second"));
    QCOMPARE(plant.deliveries[2].who, QStringLiteral("third"));
    QCOMPARE(plant.deliveries[1].topic, OtherTopic);
    QVERIFY(plant.deliveries[0].connected && plant.deliveries[1].connected);
    QCOMPARE(plant.deliveries[2].conversation, plant.deliveries[0].conversation);
    QCOMPARE(plant.Starts().size(), 1);
}

void TestGoingOnLine::runningServerIsUsedWithoutStartingAnother()
{
    Plant plant;
    plant.InstallProgram();
    plant.StartServices();
    // This process holds the running server's window, so posting WM_CLOSE to it
    // would end the test.
    const TWindowMarker window(DatorelServer::WindowClass);
    QVERIFY(window.Handle());
    plant.MakeServer(false);

    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("device")));
    // Served before the request returns: nothing was started to wait for.
    QCOMPARE(plant.deliveries.size(), 1);
    QVERIFY(plant.deliveries[0].connected);

    plant.server->ReleaseConversation(Topic);
    plant.server->StopServer();
    plant.server.reset();
    QCOMPARE(plant.Starts(), QStringList());
}

void TestGoingOnLine::windowWithoutLinkServiceIsNoRunningServer()
{
    Plant plant;
    plant.InstallProgram();
    const TWindowMarker window(DatorelServer::WindowClass);
    plant.MakeServer(false);
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("device")));

    QTRY_COMPARE_WITH_TIMEOUT(plant.Starts().size(), 1, Patience);
    // The link service comes up while the server component retries it.
    plant.StartServices();
    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
    QVERIFY(plant.deliveries[0].connected);
    QCOMPARE(plant.dialogs.texts(), QStringList());
}

// ---------------------------------------------------------------------------

class TestServerFailures : public QObject {
    Q_OBJECT

private slots:
    void notRegisteredKeepsRequestsWaiting();
    void registryKeyMatchesWithoutRegardToCase_data();
    void registryKeyMatchesWithoutRegardToCase();
    void programThatCannotStart();
    void linkServiceNeverAnswers();
    void serverServiceDoesNotAnswer();
    void topicThatNeverOpens();
};

void TestServerFailures::notRegisteredKeepsRequestsWaiting()
{
    Plant plant;
    plant.StartServices({Topic, OtherTopic});
    plant.MakeServer(false);
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("first")));

    QCOMPARE(plant.dialogs.texts(), QStringList{QStringLiteral("URQVDatorel has not been registered.")});
    QCOMPARE(plant.deliveries.size(), 0);
    QCOMPARE(plant.Starts(), QStringList());

    plant.InstallProgram();
    plant.server->RequestConversation(OtherTopic, plant.Into(QStringLiteral("second")));
    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
    QCOMPARE(plant.deliveries[0].who, QStringLiteral("first"));
    QCOMPARE(plant.deliveries[0].topic, Topic);
    QCOMPARE(plant.deliveries[1].topic, OtherTopic);
    QCOMPARE(plant.dialogs.texts().size(), 1);
}

void TestServerFailures::registryKeyMatchesWithoutRegardToCase_data()
{
    QTest::addColumn<QString>("keyName");
    QTest::addColumn<bool>("found");

    QTest::newRow("same") << "URQVDatorel" << true;
    QTest::newRow("lower") << "urqvdatorel" << true;
    QTest::newRow("mixed") << "uRqVdAtOrEl" << true;
    QTest::newRow("longer") << "URQVDatorel2" << false;
    QTest::newRow("shorter") << "URQVDatore" << false;
}

void TestServerFailures::registryKeyMatchesWithoutRegardToCase()
{
    QFETCH(QString, keyName);
    QFETCH(bool, found);

    Plant plant;
    // Other servers around it must not disturb the search.
    Plant::Register(QStringLiteral("AAA Server"), QStringLiteral("/nowhere/aaa"));
    plant.InstallProgram(keyName);
    Plant::Register(QStringLiteral("ZZZ Server"), QStringLiteral("/nowhere/zzz"));
    plant.StartServices();
    plant.MakeServer(false);
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("device")));

    if (found) {
        QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
        QCOMPARE(plant.Starts().size(), 1);
        QCOMPARE(plant.dialogs.texts(), QStringList());
    } else {
        QCOMPARE(plant.dialogs.texts(), QStringList{QStringLiteral("URQVDatorel has not been registered.")});
    }
}

void TestServerFailures::programThatCannotStart()
{
    Plant plant;
    Plant::Register(ServerName, plant.programs.filePath(QStringLiteral("missing/urqvdatorel")));
    plant.StartServices();
    plant.MakeServer(false);
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("device")));

    const QString reason = QString::fromStdString(SystemErrorMessage(ENOENT));
    QVERIFY(!reason.isEmpty());
    QCOMPARE(plant.dialogs.texts(), QStringList{QStringLiteral("Could not start server.") + reason});
    QCOMPARE(plant.Status(), QStringLiteral("Not Active."));
    QCOMPARE(plant.deliveries.size(), 1);
    QVERIFY(!plant.deliveries[0].conversation);
}

void TestServerFailures::linkServiceNeverAnswers()
{
    Plant plant;
    plant.InstallProgram();
    plant.StartServerService();
    plant.MakeServer(false);
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("device")));

    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
    QVERIFY(!plant.deliveries[0].conversation);
    QCOMPARE(plant.dialogs.texts(), QStringList{QStringLiteral("Unable to establish communication with server")});
    QCOMPARE(plant.Status(), QStringLiteral("NotActive"));
    QCOMPARE(plant.connects.size(), 0);
}

void TestServerFailures::serverServiceDoesNotAnswer()
{
    Plant plant;
    plant.InstallProgram();
    plant.StartLinkService();
    plant.MakeServer(false);
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("device")));

    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 1, Patience);
    QVERIFY(!plant.deliveries[0].conversation);
    QCOMPARE(plant.dialogs.texts(), QStringList{QStringLiteral("Unable to establish communication with server")});
    QCOMPARE(plant.connects.size(), 0);
}

void TestServerFailures::topicThatNeverOpens()
{
    Plant plant;
    plant.InstallProgram();
    plant.StartServices({});
    plant.MakeServer(false);
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("first")));
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("second")));

    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
    QCOMPARE(plant.deliveries[0].who, QStringLiteral("first"));
    QCOMPARE(plant.deliveries[1].who, QStringLiteral("second"));
    QVERIFY(!plant.deliveries[0].conversation && !plant.deliveries[1].conversation);
    QCOMPARE(plant.dialogs.texts(), QStringList{QStringLiteral("Could not open topic: ") + Topic});
    QCOMPARE(plant.Status(), QStringLiteral("Not Active."));
    QCOMPARE(plant.connects.size(), 1);
}

// ---------------------------------------------------------------------------

class TestConversationSharing : public QObject {
    Q_OBJECT

private slots:
    void oneConversationPerTopicClosedWithTheLastRelease();
    void topicOpenedOnRetryIsSharedAndClosedByRelease();
    void networkFilesAreOpenedOnTheLinkConversation();
    void networkFilesNeedTheLinkConversation();
};

void TestConversationSharing::oneConversationPerTopicClosedWithTheLastRelease()
{
    Plant plant;
    GoOnLine(plant);
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("spy")));
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

void TestConversationSharing::topicOpenedOnRetryIsSharedAndClosedByRelease()
{
    Plant plant;
    plant.InstallProgram();
    plant.StartServices({});
    plant.OpenTopicWithNetworkFile();
    plant.MakeServer(false);
    plant.server->NetworkDefFiles() << NetworkFile;
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("first")));
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("second")));

    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
    QCOMPARE(plant.deliveries[0].who, QStringLiteral("first"));
    QCOMPARE(plant.deliveries[1].who, QStringLiteral("second"));
    QVERIFY(plant.deliveries[0].connected);
    QCOMPARE(plant.deliveries[1].conversation, plant.deliveries[0].conversation);
    const int disconnects = plant.system->disconnects;

    plant.server->ReleaseConversation(Topic);
    QVERIFY(plant.deliveries[0].conversation->Connected());
    plant.server->ReleaseConversation(Topic);
    QTRY_COMPARE_WITH_TIMEOUT(plant.system->disconnects, disconnects + 1, Patience);
    QCOMPARE(plant.Status(), QStringLiteral("Not Active."));
}

void TestConversationSharing::networkFilesAreOpenedOnTheLinkConversation()
{
    Plant plant;
    GoOnLine(plant);
    plant.server->SetNetworkDefFiles({QStringLiteral("/a/one.net"), QStringLiteral("/b/two.net")});

    const QStringList expected {QStringLiteral("[open(\"/a/one.net\")]"), QStringLiteral("[open(\"/b/two.net\")]")};
    QTRY_COMPARE_WITH_TIMEOUT(plant.link->executes, expected, Patience);
    QCOMPARE(plant.server->NetworkDefFiles(), QStringList({QStringLiteral("/a/one.net"), QStringLiteral("/b/two.net")}));
}

void TestConversationSharing::networkFilesNeedTheLinkConversation()
{
    Plant plant;
    plant.MakeServer(false);
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, plant.server->SetNetworkDefFiles({NetworkFile}));
}

// ---------------------------------------------------------------------------

class TestStopServer : public QObject {
    Q_OBJECT

private slots:
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
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("again")));

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
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("again")));

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
    plant.server->RequestConversation(Topic, plant.Into(QStringLiteral("again")));
    QTRY_COMPARE_WITH_TIMEOUT(plant.deliveries.size(), 2, Patience);
    QCOMPARE(plant.Starts().size(), 2);
}

TURVISTA_TEST_MAIN(TestGoingOnLine, TestServerFailures, TestConversationSharing, TestStopServer)

#include "tst_kqserver.moc"
