// The server connection against the real urqvdatorel: found through the
// registry entry that the build writes, started and closed by the component, or
// already running and shared.
#include "datalink/ExeMod.h"
#include "datalink/KQServer.h"
#include "datalink/KQStatusPanel.h"
#include "datalink/Synchro.h"
#include "platform/Timing.h"
#include "platform/process/winproc.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDdeClient.h"

#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString ServerName = QStringLiteral("URQVDatorel");
constexpr int Patience = 60000; // a loaded machine may be slow to start the server

struct Delivery {
    TKQDdeClientConv* conversation;
    bool connected;
};

QString Request(TKQDdeClientConv* conversation, const QString& item)
{
    Synchronizer synchronizer;
    synchronizer.SetTimeout(Timing::ItemReadTimeout);
    QString reply;
    synchronizer.Begin();
    conversation->Request(item, [&](const QByteArray* data, const EDdeError*) {
        if (data)
            reply = QString::fromLatin1(*data);
        synchronizer.Complete();
    });
    synchronizer.Wait();
    return reply;
}

HWND ServerWindow()
{
    return FindWindowA(DatorelServer::WindowClass, nullptr);
}

} // namespace

class TestKQServerWithServer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsTheRegisteredServerAndClosesItAgain();
    void runningServerIsSharedAndLeftRunning();
    void notRegistered();
    void topicThatNeverOpens();
    void serverThatDiesIsReported();

private:
    // Serves every request of the component; the conversation, nullptr on failure.
    TConvCallBack Into()
    {
        return [this](TKQDdeClientConv* conversation) {
            deliveries << Delivery{conversation, conversation && conversation->Connected()};
        };
    }
    void MakeServer();

    // Made first: it sets up the private DDE folder that every server and
    // client of this process uses.
    std::unique_ptr<ServerProcess> running;
    QTemporaryDir state;
    std::unique_ptr<TScriptedDialogs> dialogs;
    std::unique_ptr<QStatusBar> bar;
    std::unique_ptr<TKQServer> server;
    QList<Delivery> deliveries;
};

void TestKQServerWithServer::initTestCase()
{
    running = std::make_unique<ServerProcess>();
    // A server that the component starts keeps its stores here, not in the home folder.
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
}

void TestKQServerWithServer::init()
{
    qputenv("XDG_CONFIG_DIRS", QByteArray(TURVISTA_BINARY_DIR "/xdg"));
    QVERIFY2(!ServerWindow(), "a server of an earlier test is still running");
    dialogs = std::make_unique<TScriptedDialogs>();
    bar = std::make_unique<QStatusBar>();
    TKQStatusPanel::AddPanel(bar.get(), 200);
    deliveries.clear();
}

void TestKQServerWithServer::cleanup()
{
    server.reset();
    running->Stop();
    // A server that a failed test left behind is closed as the component closes it.
    if (const HWND window = ServerWindow()) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!IsWindow(window), Patience);
    }
    bar.reset();
    dialogs.reset();
}

void TestKQServerWithServer::MakeServer()
{
    server = std::make_unique<TKQServer>();
    server->SetRunMode(TKRunMode::Hidden);
    server->StatusPanel()->SetStatusBar(bar.get());
    server->Loaded();
}

void TestKQServerWithServer::startsTheRegisteredServerAndClosesItAgain()
{
    QVERIFY(!ServerWindow());
    MakeServer();
    QCOMPARE(server->StatusPanel()->Text(), QStringLiteral("Not Active."));
    server->SetServerName(ServerName);
    QCOMPARE(server->StatusPanel()->Text(), QStringLiteral("Starting server ..."));
    server->NetworkDefFiles() << ServerProcess::DefaultNetwork();
    server->RequestConversation(ServerProcess::Topic(), Into());

    QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 1, Patience);
    QVERIFY(deliveries[0].connected);
    QCOMPARE(Request(deliveries[0].conversation, QStringLiteral("Control Status")), QStringLiteral("1"));
    const HWND window = ServerWindow();
    QVERIFY(window);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    QVERIFY(owner != GetCurrentProcessId());

    server->ReleaseConversation(ServerProcess::Topic());
    QCOMPARE(server->StatusPanel()->Text(), QStringLiteral("Not Active."));
    server.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!IsWindow(window), Patience);
    QCOMPARE(dialogs->texts(), QStringList());
}

void TestKQServerWithServer::runningServerIsSharedAndLeftRunning()
{
    QVERIFY2(running->Start(), qPrintable(running->Output()));
    MakeServer();
    server->SetServerName(ServerName);
    server->RequestConversation(ServerProcess::Topic(), Into());
    // Served at once: there was no process to start and wait for.
    QCOMPARE(deliveries.size(), 1);
    QVERIFY(deliveries[0].connected);
    QCOMPARE(Request(deliveries[0].conversation, QStringLiteral("Control Status")), QStringLiteral("1"));

    server->ReleaseConversation(ServerProcess::Topic());
    server->StopServer();
    server.reset();
    // Still there for its other clients.
    TestDdeClient other(ServerName, QStringLiteral("System"));
    QVERIFY(other.Connected());
    QVERIFY(running->IsRunning());
    QCOMPARE(dialogs->texts(), QStringList());
}

void TestKQServerWithServer::notRegistered()
{
    QTemporaryDir emptyRegistry;
    qputenv("XDG_CONFIG_DIRS", emptyRegistry.path().toLocal8Bit());
    MakeServer();
    server->SetServerName(ServerName);
    server->RequestConversation(ServerProcess::Topic(), Into());

    QCOMPARE(dialogs->texts(), QStringList({QStringLiteral("URQVDatorel has not been registered."),
                                            QStringLiteral("URQVDatorel has not been registered.")}));
    QCOMPARE(deliveries.size(), 0);
    QVERIFY(!ServerWindow());
}

void TestKQServerWithServer::topicThatNeverOpens()
{
    QVERIFY2(running->Start(), qPrintable(running->Output()));
    MakeServer();
    server->SetServerName(ServerName);
    const QString topic = QStringLiteral("missing.net(Dflt Control ID)");
    server->RequestConversation(topic, Into());
    server->RequestConversation(topic, Into());

    QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 2, Patience);
    QVERIFY(!deliveries[0].conversation && !deliveries[1].conversation);
    QCOMPARE(dialogs->texts(), QStringList{QStringLiteral("Could not open topic: ") + topic});
    QCOMPARE(server->StatusPanel()->Text(), QStringLiteral("Not Active."));
}

void TestKQServerWithServer::serverThatDiesIsReported()
{
    QVERIFY2(running->Start(), qPrintable(running->Output()));
    MakeServer();
    QList<TObject*> senders;
    server->OnDisconnect = [&senders](TObject* sender) { senders << sender; };
    server->SetServerName(ServerName);
    server->RequestConversation(ServerProcess::Topic(), Into());
    QCOMPARE(deliveries.size(), 1);

    running->Kill();
    QTRY_VERIFY_WITH_TIMEOUT(!senders.isEmpty(), Patience);
    QCOMPARE(senders.first(), server.get());
    QVERIFY(!deliveries[0].conversation->Connected());
}

QTEST_MAIN(TestKQServerWithServer)
#include "tst_kqserver.moc"
