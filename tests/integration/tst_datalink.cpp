// The program's data link with the real urqvdatorel: the server component finds,
// starts, shares and loses the server; the control device polls for its control,
// runs its commands end to end; values files are saved and loaded, also when the
// server dies half-way.
#include "datalink/ExeMod.h"
#include "datalink/KQDatorelConfig.h"
#include "datalink/KQDatorelControl.h"
#include "datalink/KQServer.h"
#include "datalink/KQStatusPanel.h"
#include "platform/Timing.h"
#include "platform/process/winproc.h"
#include "tests/support/OnLineProgram.h"
#include "tests/support/RaisedText.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/ServerTest.h"
#include "tests/support/TestRunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>

#include <memory>

namespace {

constexpr int Patience = OnLineProgram::Patience;
// For tests that wait for the link's long time-outs and polls.
constexpr double FastTimeScale = 0.02;
const QString ServerName = QStringLiteral("URQVDatorel");
const QString RampRate = QStringLiteral("C_START.RT_TO_MIN.IN");   // tunable real 0.1 .. 1000
const QString TurbineType = QStringLiteral("C_APPL.TURB_TYPE.IN"); // configure enum 1 .. 5
const QString Site = QStringLiteral("CUSTOMSTRING_1");             // configure text

// Pauses as the program takes them, recorded.
QList<int> pauses;
void RecordPause(int milliseconds)
{
    pauses << milliseconds;
    QThread::msleep(milliseconds);
}

HWND ServerWindow()
{
    return FindWindowA(DatorelServer::WindowClass, nullptr);
}

// Records the values an item advises.
class Client : public TObject {
public:
    TNotifyEvent Event() { return TNotifyEvent(this, &Client::Changed); }
    QStringList values;

private:
    void Changed(TObject* sender) { values << static_cast<TKQItem*>(sender)->Value().toString(); }
};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The value the server keeps in its store, as it reports it after a restart.
QString StoredAfterRestart(ServerProcess& server, const QString& name)
{
    if (!server.Stop() || !server.Start())
        return QStringLiteral("<no restart>");
    TestDdeClient control(ServerName, ServerProcess::Topic());
    return Text(control, name);
}

} // namespace

// The server component and the control device going on line, with the server
// started by the component through the build's registry entry, or running already.
class TestGoingOnLine : public ServerTest {
    Q_OBJECT

    QTemporaryDir state;
    std::unique_ptr<TScriptedDialogs> dialogs;
    std::unique_ptr<OnLineProgram> program;
    TKQServer* link = nullptr;
    QList<TKQDdeClientConv*> deliveries;

    // The server component alone, as the main window sets it up.
    void MakeLink()
    {
        program = std::make_unique<OnLineProgram>();
        link = program->link.get();
        link->SetServerName(ServerName);
    }
    TConvCallBack Into()
    {
        return [this](TKQDdeClientConv* conversation) { deliveries << conversation; };
    }

private slots:
    void initTestCase()
    {
        m_server = std::make_unique<ServerProcess>(); // sets up the private DDE folder first
        // A server that the component starts keeps its stores here, not in the home folder.
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    }
    void init()
    {
        qputenv("XDG_CONFIG_DIRS", QByteArray(TURVISTA_BINARY_DIR "/xdg"));
        QVERIFY2(!ServerWindow(), "a server of an earlier test is still running");
        dialogs = std::make_unique<TScriptedDialogs>();
        deliveries.clear();
    }
    void cleanup()
    {
        program.reset();
        StopServer();
        if (const HWND window = ServerWindow()) {
            PostMessageA(window, WM_CLOSE, 0, 0);
            QTRY_VERIFY_WITH_TIMEOUT(!IsWindow(window), Patience);
        }
        Timing::SetScale(TestTimeScale);
        dialogs.reset();
    }

    void startsTheRegisteredServerAndComesOnLine()
    {
        program = std::make_unique<OnLineProgram>();
        QVERIFY(program->GoOnLine());
        QCOMPARE(program->communicating, 1);
        QCOMPARE(program->control->StatusPanel()->Text(), QString("Active."));

        // The component started the server in a process of its own, so it closes it when the program ends.
        const HWND window = ServerWindow();
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        QVERIFY(owner && owner != GetCurrentProcessId());
        program.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!IsWindow(window), Patience);
        QCOMPARE(dialogs->texts(), QStringList());
    }

    void sharesARunningServerAndLeavesItRunning()
    {
        QVERIFY2(StartServer(), qPrintable(ServerOutput()));
        TestDdeClient other(ServerName, QStringLiteral("System"));
        program = std::make_unique<OnLineProgram>();
        QVERIFY(program->GoOnLine());
        QCOMPARE(program->Read("Control Status"), QString("1"));
        // Two System conversations and one on the control topic of ours; the
        // fixture's on the control topic and the other client's.
        QTRY_COMPARE_WITH_TIMEOUT(other.RequestText("Conversation Count"), std::optional<QString>("5"), Patience);

        program.reset();
        QVERIFY(m_server->IsRunning());
        QTRY_COMPARE_WITH_TIMEOUT(other.RequestText("Conversation Count"), std::optional<QString>("2"), Patience);
        QCOMPARE(Text(*m_control, "Control Status"), QString("1"));
        QCOMPARE(dialogs->texts(), QStringList());
    }

    void unregisteredServer_data()
    {
        QTest::addColumn<bool>("running");
        QTest::newRow("none running") << false;
        QTest::newRow("one running is used") << true;
    }
    void unregisteredServer()
    {
        QFETCH(bool, running);
        if (running)
            QVERIFY2(StartServer(), qPrintable(ServerOutput()));
        QTemporaryDir emptyRegistry;
        qputenv("XDG_CONFIG_DIRS", emptyRegistry.path().toLocal8Bit());
        MakeLink();
        link->RequestConversation(ServerProcess::Topic(), Into());
        if (running) {
            QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 1, Patience);
            QVERIFY(deliveries[0] && deliveries[0]->Connected());
            QCOMPARE(dialogs->texts(), QStringList());
            return;
        }
        QCOMPARE(dialogs->texts().size(), 2);
        for (const QString& text : dialogs->texts())
            QVERIFY2(text.startsWith("URQVDatorel has not been registered.\n\nStart 4812 Turvista with scripts/run")
                         && text.contains(emptyRegistry.path()), qPrintable(text));
        QVERIFY(deliveries.isEmpty());
        QVERIFY(!ServerWindow());
    }

    void topicThatNeverOpens()
    {
        Timing::SetScale(FastTimeScale);
        QVERIFY2(StartServer(), qPrintable(ServerOutput()));
        MakeLink();
        const QString topic = QStringLiteral("missing.net(Dflt Control ID)");
        link->RequestConversation(topic, Into());
        link->RequestConversation(topic, Into());
        QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 2, Patience);
        QVERIFY(!deliveries[0] && !deliveries[1]);
        QCOMPARE(dialogs->texts(), QStringList{QStringLiteral("Could not open topic: ") + topic});
        QCOMPARE(link->StatusPanel()->Text(), QStringLiteral("Not Active."));
    }

    void serverThatDiesIsReported()
    {
        QVERIFY2(StartServer(), qPrintable(ServerOutput()));
        MakeLink();
        QList<TObject*> senders;
        link->OnDisconnect = [&senders](TObject* sender) { senders << sender; };
        link->RequestConversation(ServerProcess::Topic(), Into());
        QCOMPARE(deliveries.size(), 1);

        m_server->Kill();
        QTRY_VERIFY_WITH_TIMEOUT(!senders.isEmpty(), Patience);
        QCOMPARE(senders.first(), link);
        QVERIFY(!deliveries[0]->Connected());
    }

    void connectPollWaitsUntilTheControlAnswers()
    {
        Timing::SetScale(FastTimeScale);
        ServerProcess::Options options;
        options.faults = QStringLiteral("refuse=Control Status");
        options.arguments << QStringLiteral("--verbose");
        QVERIFY2(StartServer(options), qPrintable(ServerOutput()));

        program = std::make_unique<OnLineProgram>();
        program->Prepare();
        TKQItem* item = program->control->GetItem(RampRate);
        Client client;
        item->Advise(client.Event());

        // A control that says no is asked again, beyond the tries a silent one gets; the items wait.
        const auto refusals = [&] { return int(ServerOutput().count(QStringLiteral("\"Control Status\": failed"))); };
        QTRY_VERIFY_WITH_TIMEOUT(refusals() > Timing::ConnectPollTries + 1, Patience);
        QVERIFY(program->control->IsConnectPolling());
        QCOMPARE(program->communicating, 0);
        QVERIFY(client.values.isEmpty());

        QVERIFY(m_server->SetFaults(QString()));
        QTRY_COMPARE_WITH_TIMEOUT(program->communicating, 1, Patience);
        QTRY_VERIFY_WITH_TIMEOUT(!client.values.isEmpty(), Patience);
        item->Unadvise(client.Event());
        program->control->ReleaseItem(RampRate);
        // Each refusal is reported by the DDE layer; the control itself shows nothing.
        QVERIFY(!dialogs->texts().isEmpty());
        for (const QString& text : dialogs->texts())
            QCOMPARE(text, QString("DDE Error: Request on 4812.net(Dflt Control ID): Control Status failed; verify item name."));
    }
};

// The control's commands and values files end to end: every changeable value
// saved and loaded back, and a server that dies while the file is saved. A
// server of its own each.
class TestControlCommands : public ServerTest {
    Q_OBJECT

    std::unique_ptr<TScriptedDialogs> dialogs;
    std::unique_ptr<OnLineProgram> program;
    std::unique_ptr<TKQDatorelConfig> config;

    QString Path(const QString& name) const { return QDir(m_server->WorkFolder()).filePath(name); }
    void MakeConfig()
    {
        config = std::make_unique<TKQDatorelConfig>();
        config->SetDevice(program->control.get());
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_DIRS", QByteArray(TURVISTA_BINARY_DIR "/xdg")); }
    void init()
    {
        // A control that resets in a few milliseconds keeps the tests short.
        ServerProcess::Options options;
        options.tickMs = 1;
        QVERIFY2(StartServer(options), qPrintable(ServerOutput()));
        dialogs = std::make_unique<TScriptedDialogs>();
        pauses.clear();
        Timing::SetPauseFunction(RecordPause);
        program = std::make_unique<OnLineProgram>();
        QVERIFY(program->GoOnLine());
    }
    void cleanup()
    {
        config.reset();
        program.reset();
        Timing::SetPauseFunction(nullptr);
        Timing::SetScale(TestTimeScale);
        dialogs.reset();
        StopServer();
    }

    void shutdownSaveValuesAndResetEndToEnd()
    {
        TKQDatorelControl& control = *program->control;
        TKQItem* turbineType = control.GetItem(TurbineType);
        QVERIFY(!RaisedText([&] { turbineType->SetValueAcknowledged(2); }).isEmpty()); // running: refused

        control.Shutdown();
        QVERIFY(control.IsRunMode());
        turbineType->SetValueAcknowledged(2);
        TKQItem* rampRate = control.GetItem(RampRate);
        rampRate->SetValueAcknowledged(42);
        control.SaveValues();
        rampRate->SetValueAcknowledged(77); // not saved: lost in the reset

        Client client;
        rampRate->Advise(client.Event());
        QTRY_COMPARE_WITH_TIMEOUT(client.values.value(client.values.size() - 1), QString("77"), Patience);
        int completed = 0;
        control.OnResetComplete = [&](TObject* sender) { completed += sender == &control ? 1 : 100; };
        control.Reset();
        QTRY_COMPARE_WITH_TIMEOUT(completed, 1, Patience);
        QTRY_COMPARE_WITH_TIMEOUT(program->communicating, 2, Patience); // items back after the connect poll
        QTRY_COMPARE_WITH_TIMEOUT(client.values.last(), QString("42"), Patience);
        QCOMPARE(program->Read(TurbineType), QString("2"));
        QVERIFY(!control.IsRunMode());
        QCOMPARE(program->control->StatusPanel()->Text(), QString("Active."));

        rampRate->Unadvise(client.Event());
        control.ReleaseItem(RampRate);
        control.ReleaseItem(TurbineType);
        QCOMPARE(dialogs->texts(), QStringList());
    }

    void storeThatCannotBeWrittenIsAMemoryError()
    {
        // The server writes the store's new contents beside it first; a folder in the way stops that.
        QVERIFY(QDir(m_server->StateFolder()).mkpath("4812-Dflt Control ID.store.new/blocked"));
        program->control->Shutdown();
        QCOMPARE(RaisedText([&] { program->control->SaveValues(); }), QString("TKQDatorelControl.SaveValues: Memory Error"));
        QCOMPARE(dialogs->texts(), QStringList());
    }

    void everyChangeableValueRoundTrips()
    {
        MakeConfig();
        const QStringList list = program->control->MutableItemList();
        const QString saved = Path("plant.cfg");
        config->SaveToFile(saved);
        const QByteArray file = ReadAll(saved);
        QCOMPARE(file.count('\n'), list.size());
        const QString rampRate = program->Read(RampRate);
        const QString turbineType = program->Read(TurbineType);
        const QString site = program->Read(Site);

        // Change a few values, then load the file back.
        program->control->Shutdown();
        for (const auto& [name, value] : {std::pair{RampRate, QString("77")}, {TurbineType, QString("4")}, {Site, QString("Elsewhere")}}) {
            program->control->GetItem(name)->SetValueAcknowledged(value);
            program->control->ReleaseItem(name);
        }
        config->LoadFromFile(saved);
        QCOMPARE(dialogs->texts(), QStringList());
        QCOMPARE(pauses.last(), int(Timing::ConfigLoadPausePerValue * int(list.size())));
        QCOMPARE(program->Read(RampRate), rampRate);
        QCOMPARE(program->Read(TurbineType), turbineType);
        QCOMPARE(program->Read(Site), site);
        QCOMPARE(program->Read("Run Mode"), QString("1")); // left in configure mode
        QCOMPARE(program->control->ItemCount(), 0);

        // Saved again, the file is the same; the loaded values were stored in the control.
        config->SaveToFile(Path("again.cfg"));
        QCOMPARE(ReadAll(Path("again.cfg")), file);
        config.reset();
        program.reset();
        QCOMPARE(StoredAfterRestart(*m_server, TurbineType), turbineType);
    }

    void serverDyingWhileSavingLeavesTheOldFile()
    {
        MakeConfig();
        const QStringList list = program->control->MutableItemList();
        const QString path = Path("plant.cfg");
        config->SaveToFile(path);
        const QByteArray good = ReadAll(path);

        QVERIFY(m_server->SetFaults("die=" + list[list.size() / 2]));
        QVERIFY(!RaisedText([&] { config->SaveToFile(path); }).isEmpty());
        QVERIFY(m_server->WaitForExit());
        QCOMPARE(ReadAll(path), good);
        QCOMPARE(QDir(m_server->WorkFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{"plant.cfg"});
        QCOMPARE(program->control->ItemCount(), 0);
    }
};

TURVISTA_TEST_MAIN(TestGoingOnLine, TestControlCommands)
#include "tst_datalink.moc"
