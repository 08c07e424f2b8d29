// Values files against the real urqvdatorel: every changeable value saved and
// loaded back, values the control refuses, and a server that dies half-way.
#include "datalink/KQDatorelConfig.h"
#include "datalink/KQDatorelControl.h"
#include "platform/Assert.h"
#include "platform/Timing.h"
#include "tests/support/OnLineProgram.h"
#include "tests/support/RaisedText.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDdeClient.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

namespace {

constexpr int Patience = OnLineProgram::Patience;
const QString RampRate = QStringLiteral("C_START.RT_TO_MIN.IN");   // tunable real 0.1 .. 1000
const QString TurbineType = QStringLiteral("C_APPL.TURB_TYPE.IN"); // configure enum 1 .. 5
const QString Site = QStringLiteral("CUSTOMSTRING_1");             // configure text

QList<int> pauses;
void RecordPause(int milliseconds)
{
    pauses << milliseconds;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The value of a record in the file's text, or nothing.
std::optional<QString> Recorded(const QByteArray& file, const QString& name)
{
    for (const QByteArray& line : file.split('\n')) {
        const QString text = QString::fromLatin1(line).chopped(line.endsWith('\r') ? 1 : 0);
        if (text.startsWith(name + '\t'))
            return text.mid(name.size() + 1);
    }
    return std::nullopt;
}

const QString RefusedText = QStringLiteral("Configuration Error: %1 does not exist or the value being loaded is invalid.");

} // namespace

class TestConfigurationTransfer : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void everyChangeableValueRoundTrips();
    void refusedValuesAreAskedAboutAndIgnored();
    void cancelStoresNothing();
    void serverDyingWhileSavingLeavesTheOldFile();
    void serverDyingWhileLoadingEndsTheLoad();

private:
    QString Path(const QString& name) const { return QDir(server->WorkFolder()).filePath(name); }
    void GoOnLine();
    // The value the control keeps in its store, as a freshly started server reports it.
    QString StoredAfterRestart(const QString& name);

    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<TScriptedDialogs> dialogs;
    std::unique_ptr<OnLineProgram> program;
    std::unique_ptr<TKQDatorelConfig> config;
};

void TestConfigurationTransfer::init()
{
    server = std::make_unique<ServerProcess>();
    QVERIFY2(server->Start(), qPrintable(server->Output()));
    dialogs = std::make_unique<TScriptedDialogs>();
    pauses.clear();
    Timing::SetPauseFunction(RecordPause);
    GoOnLine();
}

void TestConfigurationTransfer::GoOnLine()
{
    config.reset();
    program = std::make_unique<OnLineProgram>();
    QVERIFY(program->GoOnLine());
    config = std::make_unique<TKQDatorelConfig>();
    config->SetDevice(program->control.get());
}

void TestConfigurationTransfer::cleanup()
{
    config.reset();
    program.reset();
    Timing::SetPauseFunction(nullptr);
    dialogs.reset();
    server.reset();
}

QString TestConfigurationTransfer::StoredAfterRestart(const QString& name)
{
    config.reset();
    program.reset();
    if (!server->Stop() || !server->Start())
        return QStringLiteral("<no restart>");
    TestDdeClient control(QStringLiteral("URQVDatorel"), ServerProcess::Topic());
    return Text(control, name);
}

void TestConfigurationTransfer::everyChangeableValueRoundTrips()
{
    const QStringList list = program->control->MutableItemList();
    QVERIFY(list.size() > 500);
    const QString saved = Path("plant.cfg");
    config->SaveToFile(saved);
    const QByteArray file = ReadAll(saved);
    QVERIFY(file.endsWith("\r\n"));
    const QList<QByteArray> lines = (file + '\n').split('\n').mid(0, file.count('\n'));
    QCOMPARE(lines.size(), list.size());
    for (qsizetype at = 0; at < lines.size(); ++at) {
        // Name, TAB, a value that is not empty, CR.
        QVERIFY2(lines[at].startsWith(list[at].toUpper().toLatin1() + '\t'), lines[at].constData());
        QVERIFY2(lines[at].endsWith('\r') && lines[at].size() > list[at].size() + 2, lines[at].constData());
    }
    QCOMPARE(program->control->ItemCount(), 0);

    // Change a few values, then load the file back.
    const QString rampRate = *Recorded(file, RampRate);
    const QString turbineType = *Recorded(file, TurbineType);
    const QString site = *Recorded(file, Site);
    program->control->Shutdown();
    for (const auto& [name, value] : {std::pair{RampRate, QString("77")}, {TurbineType, QString("4")},
                                      {Site, QString("Elsewhere")}}) {
        TKQItem* item = program->control->GetItem(name);
        item->SetValueAcknowledged(value);
        program->control->ReleaseItem(name);
    }
    QCOMPARE(program->Read(RampRate), QString("77"));

    config->LoadFromFile(saved);
    QCOMPARE(dialogs->texts(), QStringList());
    QCOMPARE(pauses.last(), int(list.size()));
    QCOMPARE(program->Read(RampRate), rampRate);
    QCOMPARE(program->Read(TurbineType), turbineType);
    QCOMPARE(program->Read(Site), site);
    QCOMPARE(program->Read("Run Mode"), QString("1")); // left in configure mode
    QCOMPARE(program->control->ItemCount(), 0);

    // Saved again, the file is the same.
    const QString again = Path("again.cfg");
    config->SaveToFile(again);
    QCOMPARE(ReadAll(again), file);

    // The loaded values were stored in the control.
    QCOMPARE(StoredAfterRestart(TurbineType), turbineType);
}

void TestConfigurationTransfer::refusedValuesAreAskedAboutAndIgnored()
{
    const QString path = Path("edited.cfg");
    QVERIFY(WriteAll(path, "c_start.rt_to_min.in\t40\r\n"
                           "C_START.RT_TO_MIN.IM\t41\r\n"      // misspelt
                           "C_APPL.TURB_TYPE.IN\t9\r\n"        // out of range
                           "C_APPL.TURB_TYPE.IN\tthree\r\n"    // not a number
                           "CUSTOMSTRING_1\tNew Site\r\n"));
    dialogs->setResponder([](const QString&, TMsgDlgType, TMsgDlgButtons) { return int(mrIgnore); });
    config->LoadFromFile(path);

    QCOMPARE(dialogs->texts(), QStringList({RefusedText.arg("C_START.RT_TO_MIN.IM"),
                                            RefusedText.arg("C_APPL.TURB_TYPE.IN"),
                                            RefusedText.arg("C_APPL.TURB_TYPE.IN")}));
    QCOMPARE(program->Read(RampRate), QString("40"));
    QCOMPARE(program->Read(TurbineType), QString("1"));
    QCOMPARE(program->Read(Site), QString("New Site"));
    QCOMPARE(StoredAfterRestart(Site), QString("New Site"));
}

void TestConfigurationTransfer::cancelStoresNothing()
{
    const QString before = program->Read(Site);
    const QString path = Path("edited.cfg");
    QVERIFY(WriteAll(path, "CUSTOMSTRING_1\tNot Stored\r\nC_APPL.TURB_TYPE.IN\t9\r\nC_START.RT_TO_MIN.IN\t40\r\n"));
    dialogs->addAnswer(mrCancel);
    try {
        config->LoadFromFile(path);
        QFAIL("no error");
    } catch (const EDdeError&) {
    }
    QCOMPARE(dialogs->texts(), QStringList{RefusedText.arg("C_APPL.TURB_TYPE.IN")});
    QCOMPARE(program->Read(Site), QString("Not Stored")); // written, but never stored
    QVERIFY(program->Read(RampRate) != QString("40"));
    QCOMPARE(program->Read("Run Mode"), QString("1"));
    QCOMPARE(StoredAfterRestart(Site), before);
}

void TestConfigurationTransfer::serverDyingWhileSavingLeavesTheOldFile()
{
    const QStringList list = program->control->MutableItemList();
    const QString path = Path("plant.cfg");
    config->SaveToFile(path);
    const QByteArray good = ReadAll(path);

    QVERIFY(server->SetFaults("die=" + list[list.size() / 2]));
    QVERIFY(!RaisedText([&] { config->SaveToFile(path); }).isEmpty());
    QVERIFY(server->WaitForExit());
    QCOMPARE(ReadAll(path), good);
    QCOMPARE(QDir(server->WorkFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{"plant.cfg"});
    QCOMPARE(program->control->ItemCount(), 0);
}

void TestConfigurationTransfer::serverDyingWhileLoadingEndsTheLoad()
{
    const QString path = Path("plant.cfg");
    config->SaveToFile(path);
    const QStringList list = program->control->MutableItemList();
    const QString victim = list[list.size() / 2].toUpper();

    QVERIFY(server->SetFaults("die=" + victim));
    dialogs->addAnswer(mrCancel);
    QVERIFY(!RaisedText([&] { config->LoadFromFile(path); }).isEmpty());
    QVERIFY(server->WaitForExit());
    QCOMPARE(dialogs->texts().last(), RefusedText.arg(victim));
    QCOMPARE(program->control->ItemCount(), 0);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The server component finds the server through the build's registry entry.
    qputenv("XDG_CONFIG_DIRS", QByteArray(TURVISTA_BINARY_DIR "/xdg"));
    TestConfigurationTransfer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_datalink_config.moc"
