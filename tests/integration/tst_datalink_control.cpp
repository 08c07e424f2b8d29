// The control device on line with the real urqvdatorel: going on line through
// the server component, the connect poll, the control's commands end to end,
// symbol information of real items, and the server's faults as the device sees them.
#include "datalink/ExeMod.h"
#include "datalink/KQDatorelControl.h"
#include "datalink/KQDatorelItem.h"
#include "datalink/KQServer.h"
#include "datalink/KQStatusPanel.h"
#include "platform/Assert.h"
#include "platform/Timing.h"
#include "platform/process/winproc.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/OnLineProgram.h"
#include "tests/support/RaisedText.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDdeClient.h"

#include <QApplication>
#include <QDir>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString ServerName = QStringLiteral("URQVDatorel");
constexpr int Patience = OnLineProgram::Patience;

const QString RampRate = QStringLiteral("C_START.RT_TO_MIN.IN");   // tunable real 0.1 .. 1000
const QString TurbineType = QStringLiteral("C_APPL.TURB_TYPE.IN"); // configure enum 1 .. 5

QList<int> pauses;
void RecordPause(int milliseconds)
{
    pauses << milliseconds;
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

} // namespace

// ---------------------------------------------------------------------------

class TestGoingOnLine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsTheRegisteredServerAndComesOnLine();
    void sharesARunningServerAndLeavesItRunning();
    void connectPollWaitsUntilTheControlAnswers();

private:
    std::unique_ptr<ServerProcess> running; // made first: it sets up the private DDE folder
    QTemporaryDir state;
    std::unique_ptr<TScriptedDialogs> dialogs;
};

void TestGoingOnLine::initTestCase()
{
    running = std::make_unique<ServerProcess>();
    // A server that the component starts keeps its stores here, not in the home folder.
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
}

void TestGoingOnLine::init()
{
    QVERIFY2(!ServerWindow(), "a server of an earlier test is still running");
    dialogs = std::make_unique<TScriptedDialogs>();
}

void TestGoingOnLine::cleanup()
{
    running->Stop();
    if (const HWND window = ServerWindow()) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!IsWindow(window), Patience);
    }
    dialogs.reset();
}

void TestGoingOnLine::startsTheRegisteredServerAndComesOnLine()
{
    auto program = std::make_unique<OnLineProgram>();
    QVERIFY(program->GoOnLine());
    QCOMPARE(program->communicating, 1);
    QCOMPARE(program->Status(), QString("Active."));
    QCOMPARE(program->control->State(), 0);

    // Values flow both ways.
    Client client;
    TKQItem* item = program->control->GetItem(RampRate);
    item->Advise(client.Event());
    QTRY_VERIFY_WITH_TIMEOUT(!client.values.isEmpty(), Patience);
    item->SetValueAcknowledged(33.5);
    QTRY_COMPARE_WITH_TIMEOUT(client.values.last(), QString("33.5"), Patience);
    QVERIFY(!program->control->IsRunMode());
    QVERIFY(program->control->ControlStatus());
    item->Unadvise(client.Event());
    program->control->ReleaseItem(RampRate);

    // The component started the server, so it closes it when the program ends.
    const HWND window = ServerWindow();
    QVERIFY(window);
    program.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!IsWindow(window), Patience);
    QCOMPARE(dialogs->texts(), QStringList());
}

void TestGoingOnLine::sharesARunningServerAndLeavesItRunning()
{
    ServerProcess::Options options;
    options.openDefaultNetwork = false; // the program hands the network over
    running = std::make_unique<ServerProcess>(options);
    QVERIFY2(running->Start(), qPrintable(running->Output()));
    TestDdeClient other(ServerName, QStringLiteral("System"));
    QVERIFY(other.Connected());

    auto program = std::make_unique<OnLineProgram>();
    QVERIFY(program->GoOnLine());
    QCOMPARE(program->Read("Control Status"), QString("1"));
    // Two System conversations of ours, one of the other client.
    QTRY_COMPARE_WITH_TIMEOUT(other.RequestText("Conversation Count"), std::optional<QString>("3"), Patience);

    program.reset();
    QVERIFY(running->IsRunning());
    QTRY_COMPARE_WITH_TIMEOUT(other.RequestText("Conversation Count"), std::optional<QString>("1"), Patience);
    TestDdeClient control(ServerName, ServerProcess::Topic());
    QCOMPARE(control.RequestText("Control Status"), std::optional<QString>("1"));
    QCOMPARE(dialogs->texts(), QStringList());
}

void TestGoingOnLine::connectPollWaitsUntilTheControlAnswers()
{
    ServerProcess::Options options;
    options.faults = QStringLiteral("refuse=Control Status");
    options.arguments << QStringLiteral("--verbose");
    running = std::make_unique<ServerProcess>(options);
    QVERIFY2(running->Start(), qPrintable(running->Output()));

    OnLineProgram program;
    program.Prepare();
    QTRY_VERIFY_WITH_TIMEOUT(program.control->IsConnected() || program.control->IsConnectPolling(), Patience);
    TKQItem* item = program.control->GetItem(RampRate);
    Client client;
    item->Advise(client.Event());

    // A control that says no is asked again, more often than a silent one would be; the items wait.
    const auto refusals = [&] { return int(running->Output().count(QStringLiteral("\"Control Status\": failed"))); };
    QTRY_VERIFY_WITH_TIMEOUT(refusals() > Timing::ConnectPollTries + 1, Patience * 2);
    QVERIFY(program.control->IsConnectPolling());
    QCOMPARE(program.communicating, 0);
    QVERIFY(client.values.isEmpty());

    QVERIFY(running->SetFaults(QString()));
    QTRY_COMPARE_WITH_TIMEOUT(program.communicating, 1, Patience);
    QTRY_VERIFY_WITH_TIMEOUT(!client.values.isEmpty(), Patience);
    QCOMPARE(program.control->State(), 0);
    item->Unadvise(client.Event());
    program.control->ReleaseItem(RampRate);
    // Each refusal is reported by the DDE layer; the control itself shows nothing.
    QVERIFY(!dialogs->texts().isEmpty());
    for (const QString& text : dialogs->texts())
        QCOMPARE(text, QString("DDE Error: Request on 4812.net(Dflt Control ID): Control Status failed; verify item name."));
}

// ---------------------------------------------------------------------------

class TestControlCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void shutdownSaveValuesAndResetEndToEnd();
    void resetOutsideConfigureModeIsRefused();
    void unansweredShutdownIsReported();
    void storeThatCannotBeWrittenIsAMemoryError();
    void serverDyingDuringACommandEndsIt();

private:
    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<TScriptedDialogs> dialogs;
    std::unique_ptr<OnLineProgram> program;
};

void TestControlCommands::init()
{
    server = std::make_unique<ServerProcess>();
    QVERIFY2(server->Start(), qPrintable(server->Output()));
    dialogs = std::make_unique<TScriptedDialogs>();
    pauses.clear();
    Timing::SetPauseFunction(RecordPause);
    program = std::make_unique<OnLineProgram>();
    QVERIFY(program->GoOnLine());
}

void TestControlCommands::cleanup()
{
    program.reset();
    Timing::SetPauseFunction(nullptr);
    dialogs.reset();
    server.reset();
}

void TestControlCommands::shutdownSaveValuesAndResetEndToEnd()
{
    TKQDatorelControl& control = *program->control;
    QVERIFY(!control.IsRunMode());
    TKQItem* turbineType = control.GetItem(TurbineType);
    QVERIFY(!RaisedText([&] { turbineType->SetValueAcknowledged(2); }).isEmpty()); // running: refused

    control.Shutdown();
    QCOMPARE(program->Status(), QString("Control is in configure mode."));
    QVERIFY(control.IsRunMode());
    turbineType->SetValueAcknowledged(2);
    TKQItem* rampRate = control.GetItem(RampRate);
    rampRate->SetValueAcknowledged(42);

    control.SaveValues();
    QCOMPARE(program->Status(), QString("Active."));
    rampRate->SetValueAcknowledged(77); // not saved: lost in the reset

    Client client;
    rampRate->Advise(client.Event());
    QTRY_COMPARE_WITH_TIMEOUT(client.values.value(client.values.size() - 1), QString("77"), Patience);
    int completed = 0;
    control.OnResetComplete = [&](TObject* sender) { completed += sender == &control ? 1 : 100; };
    control.Reset();
    QCOMPARE(pauses, QList<int>({Timing::ConversationLostPause, Timing::ResetPrePause}));
    QCOMPARE(program->Status(), QString("Resetting control ..."));
    QCOMPARE(control.State(), 1);

    QTRY_COMPARE_WITH_TIMEOUT(completed, 1, Patience);
    QVERIFY(!control.OnResetComplete);
    QTRY_COMPARE_WITH_TIMEOUT(program->communicating, 2, Patience); // items back after the connect poll
    QTRY_COMPARE_WITH_TIMEOUT(client.values.last(), QString("42"), Patience);
    QCOMPARE(program->Read(TurbineType), QString("2"));
    QVERIFY(!control.IsRunMode());
    QCOMPARE(control.State(), 0);
    QCOMPARE(program->Status(), QString("Active."));

    rampRate->Unadvise(client.Event());
    control.ReleaseItem(RampRate);
    control.ReleaseItem(TurbineType);
    QCOMPARE(dialogs->texts(), QStringList());
}

void TestControlCommands::resetOutsideConfigureModeIsRefused()
{
    QCOMPARE(RaisedText([&] { program->control->Reset(); }),
             QString("Error resetting control:  The control is not in configure mode"));
    QVERIFY(!program->control->IsResetPolling());
    QVERIFY(!program->control->IsRunMode());
}

void TestControlCommands::unansweredShutdownIsReported()
{
    QVERIFY(server->SetFaults("refuse=Shutdown"));
    QCOMPARE(RaisedText([&] { program->control->Shutdown(); }), QString("TKQDatorelControl.Shutdown: Shutdown Failed"));
    // The DDE layer reports the refused command, the control the missing result.
    QCOMPARE(dialogs->texts(),
             QStringList({"DDE Error: Execute on 4812.net(Dflt Control ID):  failed; verify item name.",
                          "Error occured while attempting to enter configure mode. Server is not responding."}));
    QVERIFY(!program->control->IsRunMode());
}

void TestControlCommands::storeThatCannotBeWrittenIsAMemoryError()
{
    // The server writes the store's new contents beside it first; a folder in the way stops that.
    QVERIFY(QDir(server->StateFolder()).mkpath("4812-Dflt Control ID.store.new/blocked"));
    program->control->Shutdown();
    QCOMPARE(RaisedText([&] { program->control->SaveValues(); }),
             QString("TKQDatorelControl.SaveValues: Memory Error"));
    QCOMPARE(program->Status(), QString("Saving values in control ..."));
    QCOMPARE(dialogs->texts(), QStringList());
}

void TestControlCommands::serverDyingDuringACommandEndsIt()
{
    program->control->Shutdown();
    QVERIFY(server->SetFaults("die=SaveValues"));
    QCOMPARE(RaisedText([&] { program->control->SaveValues(); }),
             QString("TKQDatorelControl.SaveValues: SaveValues Failed"));
    QCOMPARE(dialogs->texts().last(), QString("Error occured during SaveValues. Server is not responding."));
    QVERIFY(server->WaitForExit());
}

// ---------------------------------------------------------------------------

class TestSymbolInformation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void realItems_data();
    void realItems();
    void unknownItemRaisesOnceAndStaysUnassigned();

private:
    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<TScriptedDialogs> dialogs;
    std::unique_ptr<OnLineProgram> program;
};

void TestSymbolInformation::initTestCase()
{
    server = std::make_unique<ServerProcess>();
    QVERIFY2(server->Start(), qPrintable(server->Output()));
    dialogs = std::make_unique<TScriptedDialogs>();
    program = std::make_unique<OnLineProgram>();
    QVERIFY(program->GoOnLine());
}

void TestSymbolInformation::cleanupTestCase()
{
    program.reset();
    dialogs.reset();
    server.reset();
}

void TestSymbolInformation::realItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("classType");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<QString>("minimum");
    QTest::addColumn<QString>("maximum");

    QTest::newRow("tunable real") << RampRate << int(vctTunable) << int(vdtReal) << "0.1" << "1000";
    QTest::newRow("configure enumeration") << TurbineType.toLower() << int(vctConfigure) << int(vdtInteger) << "1"
                                           << "5";
    QTest::newRow("monitor boolean") << "Z_CPU_COM.EN_CONFIG.OR" << int(vctMonitor) << int(vdtBoolean) << "0" << "1";
    QTest::newRow("configure text") << "CUSTOMSTRING_1" << int(vctConfigure) << int(vdtString) << "" << "";
    QTest::newRow("monitor time") << "MAIN.SYS_TIME.T_NAME" << int(vctMonitor) << int(vdtTime) << "" << "";
    QTest::newRow("integer") << "CONF_CHK_1.ERRORS.NUM_EVENTS" << int(vctMonitor) << int(vdtInteger) << "0" << "256";
}

void TestSymbolInformation::realItems()
{
    QFETCH(QString, name);
    QFETCH(int, classType);
    QFETCH(int, dataType);
    QFETCH(QString, minimum);
    QFETCH(QString, maximum);
    TKQDatorelItem* item = program->control->GetItem(name);
    QCOMPARE(int(item->ClassType()), classType);
    QCOMPARE(int(item->DataType()), dataType);
    QCOMPARE(item->MinValue().toString(), minimum);
    QCOMPARE(item->MaxValue().toString(), maximum);
    program->control->ReleaseItem(name);
}

void TestSymbolInformation::unknownItemRaisesOnceAndStaysUnassigned()
{
    const QString name = QStringLiteral("NO_SUCH.ITEM.IN");
    TKQDatorelItem* item = program->control->GetItem(name);
    try {
        item->ClassType();
        QFAIL("no error");
    } catch (const EDdeError&) {
    }
    QCOMPARE(item->DataType(), vdtUnassigned); // asked for only once
    QVERIFY(item->MaxValue().isNull() || item->MaxValue().toString().isEmpty());
    program->control->ReleaseItem(name);
}

// ---------------------------------------------------------------------------

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The server component finds the server through the build's registry entry.
    qputenv("XDG_CONFIG_DIRS", QByteArray(TURVISTA_BINARY_DIR "/xdg"));
    int failed = 0;
    {
        TestGoingOnLine test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestControlCommands test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestSymbolInformation test;
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}

#include "tst_datalink_control.moc"
