// Values files: parsing, saving from a control and loading into it, against a
// DDE server in the same process.
#include "datalink/KConfigureProgress.h"
#include "datalink/KQDatorelConfig.h"
#include "datalink/KQDatorelControl.h"
#include "datalink/KQStatusPanel.h"
#include "platform/Assert.h"
#include "tests/support/RaisedText.h"
#include "tests/support/TestLink.h"
#include "tests/support/TestRunner.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");
const QString Before = QStringLiteral("Active.");

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

TKConfigProgress* ShownProgress()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* progress = qobject_cast<TKConfigProgress*>(widget))
            return progress;
    return nullptr;
}

// What the progress window showed during one operation.
struct ProgressRecord {
    bool seen = false;
    bool visible = false;
    QString caption;
    QString fileName;
    int maximum = -1;
    QList<int> values;

    // Looks for the window; call from inside the operation.
    void Look()
    {
        TKConfigProgress* progress = ShownProgress();
        if (!progress || seen)
            return;
        seen = true;
        visible = progress->isVisible();
        caption = progress->windowTitle();
        fileName = progress->FileNameLabel()->text();
        maximum = progress->ProgressBar()->maximum();
        QObject::connect(progress->ProgressBar(), &QProgressBar::valueChanged, progress,
                         [this](int value) { values << value; });
    }
};

// Plays the server's part of the control's commands: once the client's advise
// loop on a command's result item runs, the result is set.
class CommandAnswers : public QObject {
public:
    explicit CommandAnswers(TestDdeServer& server) : server(server)
    {
        for (const char* command : {"Shutdown", "SaveValues"}) {
            server.SetItem(QString::fromLatin1(command) + ".Result", "");
            results[command] = "0";
        }
        server.onExecute = [this](const QString& command) {
            if (onCommand)
                onCommand(command);
            pending << command;
        };
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, this, [this] {
            for (const QString& command : QStringList(pending)) {
                const QString result = command + ".Result";
                if (!this->server.advised.contains(result.toUpper()))
                    continue;
                pending.removeAll(command);
                // A result is a change: clear it first so that equal results advise again.
                this->server.SetItem(result, "");
                this->server.SetItem(result, results.value(command, "0"));
            }
        });
        timer.start();
    }

    QMap<QString, QByteArray> results;
    std::function<void(const QString& command)> onCommand;

private:
    TestDdeServer& server;
    QStringList pending;
    QTimer timer;
};

// A server, a conversation to it and a connected control device.
struct Plant : TestLink {
    Plant() : TestLink(Topic, RecordPause)
    {
        pauses.clear();
        TKQStatusPanel::AddPanel(&bar, 200, Before);
        control = std::make_unique<TKQDatorelControl>();
        control->SetIdentifier(Topic);
        answers = std::make_unique<CommandAnswers>(*server);
        server->SetItem("Control Status", "1");
        control->ConversationReady(conversation.get());
        control->ConnectPollTimer();
        config.SetDevice(control.get());
        config.StatusPanel()->SetStatusBar(&bar);
    }
    ~Plant()
    {
        answers.reset();
        control.reset();
    }

    // Items the control lists as changeable, with their values.
    void SetItems(const QList<std::pair<QString, QByteArray>>& items)
    {
        QByteArray list;
        for (const auto& [name, value] : items) {
            server->SetItem(name, value);
            list += name.toLatin1() + '\t';
        }
        server->SetItem("MutableItemList", list);
    }

    QString Path(const QString& name) const { return work.filePath(name); }
    QString Status() const { return config.StatusPanel()->Text(); }

    QTemporaryDir work;
    QStatusBar bar;
    std::unique_ptr<TKQDatorelControl> control;
    std::unique_ptr<CommandAnswers> answers;
    TKQDatorelConfig config;
};

const QString RefusedText = QStringLiteral("Configuration Error: %1 does not exist or the value being loaded is invalid.");

} // namespace

// ---------------------------------------------------------------------------

class TestValuesFileParsing : public QObject {
    Q_OBJECT
private slots:
    void records_data();
    void records();
    void syntaxErrors_data();
    void syntaxErrors();
    void missingOrUnreadableFileRaisesInputOutputError();
    void statusTextIsPutBackAlsoAfterAnError();
};

void TestValuesFileParsing::records_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("values");

    QTest::newRow("records with CR LF") << QByteArray("A.B.IN\t1\r\nC.D.IN\t2.5\r\n") << QStringList{"A.B.IN", "C.D.IN"}
                                        << QStringList{"1", "2.5"};
    QTest::newRow("blank lines anywhere") << QByteArray("\r\nA.B.IN\t1\r\n\r\n\r\nC.D.IN\t2.5\r\n\r\n")
                                          << QStringList{"A.B.IN", "C.D.IN"} << QStringList{"1", "2.5"};
    QTest::newRow("line feeds alone") << QByteArray("A.B.IN\t1\n\nC.D.IN\t2.5\n") << QStringList{"A.B.IN", "C.D.IN"}
                                      << QStringList{"1", "2.5"};
    QTest::newRow("last line without line end") << QByteArray("A.B.IN\t1\r\nC.D.IN\t2.5")
                                                << QStringList{"A.B.IN", "C.D.IN"} << QStringList{"1", "2.5"};
    QTest::newRow("empty file") << QByteArray() << QStringList() << QStringList();
    QTest::newRow("further TABs belong to the value") << QByteArray("A.B.IN\tx\ty\r\n") << QStringList{"A.B.IN"}
                                                      << QStringList{"x\ty"};
    QTest::newRow("blanks are kept") << QByteArray(" A.B.IN\t some text \r\n") << QStringList{" A.B.IN"}
                                     << QStringList{" some text "};
    QTest::newRow("names as written, any case") << QByteArray("c_start.rt_to_min.in\t3\r\n")
                                                << QStringList{"c_start.rt_to_min.in"} << QStringList{"3"};
    QTest::newRow("value of 256 characters is kept")
        << (QByteArray("A\t") + QByteArray(256, 'v') + "\r\n") << QStringList{"A"} << QStringList{QString(256, 'v')};
    QTest::newRow("value cut at 256 characters")
        << (QByteArray("A\t") + QByteArray(256, 'v') + "WXYZ\r\nB\t2\r\n") << QStringList{"A", "B"}
        << QStringList{QString(256, 'v'), "2"};
    QTest::newRow("non-ASCII bytes read as ANSI")
        << QByteArray("TEMP.\xC4\xD6.IN\t\xB5s \xE9t\xE9\r\n") << QStringList{QString::fromLatin1("TEMP.\xC4\xD6.IN")}
        << QStringList{QString::fromLatin1("\xB5s \xE9t\xE9")};
    QTest::newRow("zero byte inside a record")
        << QByteArray("A\0B\tv\0w\r\n", 9) << QStringList{QString::fromLatin1(QByteArray("A\0B", 3))}
        << QStringList{QString::fromLatin1(QByteArray("v\0w", 3))};
    QTest::newRow("over-long name") << (QByteArray(5000, 'N') + "\t1\r\n") << QStringList{QString(5000, 'N')}
                                    << QStringList{"1"};
}

void TestValuesFileParsing::records()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, names);
    QFETCH(QStringList, values);
    QTemporaryDir folder;
    const QString path = folder.filePath("values.cfg");
    QVERIFY(WriteAll(path, content));
    TKQDatorelConfig config;
    config.SetFileName(path);
    QStringList parsedNames{"left over"};
    QStringList parsedValues{"left over"};
    config.Parse(parsedNames, parsedValues);
    QCOMPARE(parsedNames, names);
    QCOMPARE(parsedValues, values);
}

void TestValuesFileParsing::syntaxErrors_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("line");

    QTest::newRow("line without TAB") << QByteArray("A\t1\r\nB 2\r\n") << 2;
    QTest::newRow("empty name") << QByteArray("A\t1\r\n\t2\r\n") << 2;
    QTest::newRow("empty value") << QByteArray("A\t1\r\nB\t\r\n") << 2;
    QTest::newRow("TAB alone") << QByteArray("\t\r\n") << 1;
    QTest::newRow("blanks only") << QByteArray("A\t1\r\n   \r\n") << 2;
    QTest::newRow("blank lines are counted") << QByteArray("\r\n\r\nA\t1\r\n\r\nB\r\n") << 5;
    QTest::newRow("first error wins") << QByteArray("A\r\nB\r\n") << 1;
}

void TestValuesFileParsing::syntaxErrors()
{
    QFETCH(QByteArray, content);
    QFETCH(int, line);
    QTemporaryDir folder;
    // A name that a careless formatting would take for a place holder.
    const QString path = folder.filePath("odd %2 name.cfg");
    QVERIFY(WriteAll(path, content));
    TKQDatorelConfig config;
    config.SetFileName(path);
    QStringList names;
    QStringList values;
    try {
        config.Parse(names, values);
        QFAIL("no syntax error");
    } catch (const EConfigSyntaxError& error) {
        QCOMPARE(error.Message(), QString("Syntax error in configuration file %1; line %2.").arg(path, QString::number(line)));
    }
}

void TestValuesFileParsing::missingOrUnreadableFileRaisesInputOutputError()
{
    QTemporaryDir folder;
    TKQDatorelConfig config;
    QStringList names;
    QStringList values;
    for (const QString& path : {folder.filePath("missing.cfg"), folder.path()}) {
        config.SetFileName(path);
        try {
            config.Parse(names, values);
            QFAIL(qPrintable("no error for " + path));
        } catch (const EInOutError& error) {
            QVERIFY2(error.Message().contains(path), qPrintable(error.Message()));
        }
    }
}

void TestValuesFileParsing::statusTextIsPutBackAlsoAfterAnError()
{
    QStatusBar bar;
    QLabel* panel = TKQStatusPanel::AddPanel(&bar, 200, Before);
    QTemporaryDir folder;
    const QString path = folder.filePath("values.cfg");
    TKQDatorelConfig config;
    config.StatusPanel()->SetStatusBar(&bar);
    QStringList names;
    QStringList values;

    QVERIFY(WriteAll(path, "A\t1\r\n"));
    config.SetFileName(path);
    config.Parse(names, values);
    QCOMPARE(panel->text(), Before);

    QVERIFY(WriteAll(path, "A\t1\r\nbroken\r\n"));
    QVERIFY(!RaisedText([&] { config.Parse(names, values); }).isEmpty());
    QCOMPARE(panel->text(), Before);

}

// ---------------------------------------------------------------------------

class TestSaving : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void writesEveryChangeableValueInListOrder();
    void showsProgressWhileSaving();
    void withoutDeviceTheFileIsMadeEmpty();
    void failedReadLeavesTheOldFileUntouched();
    void failedListLeavesTheOldFileUntouched();
    void unwritableFolderRaisesInputOutputError();
    void lineBreaksInsideAValueStayOnOneLine();
    void blankEntriesOfTheListAreSkipped();
    void savedFileLoadsBackInTheSameOrder();

private:
    std::unique_ptr<Plant> plant;
};

void TestSaving::init()
{
    plant = std::make_unique<Plant>();
    QVERIFY(plant->opened);
    QVERIFY(plant->control->IsConnected());
}

void TestSaving::cleanup()
{
    plant.reset();
}

void TestSaving::writesEveryChangeableValueInListOrder()
{
    plant->SetItems({{"C_START.RT_TO_MIN.IN", "12.5"},
                     {"kxspl.tst_config.in", "1"},
                     {"A_NAME.TEXT.IN", "some text"},
                     {QString::fromLatin1("TEMP.\xC4.IN"), "\xB5"}});
    const QString path = plant->Path("values.cfg");
    plant->config.SaveToFile(path);

    QCOMPARE(ReadAll(path), QByteArray("C_START.RT_TO_MIN.IN\t12.5\r\n"
                                       "KXSPL.TST_CONFIG.IN\t1\r\n"
                                       "A_NAME.TEXT.IN\tsome text\r\n"
                                       "TEMP.\xC4.IN\t\xB5\r\n"));
    QCOMPARE(plant->config.FileName(), path);
    QCOMPARE(plant->control->ItemCount(), 0); // every item read is given back
    QCOMPARE(plant->Status(), Before);
    QVERIFY(plant->dialogs.texts().isEmpty());
    QCOMPARE(QDir(plant->work.path()).entryList(QDir::Files), QStringList{"values.cfg"});
}

void TestSaving::showsProgressWhileSaving()
{
    plant->SetItems({{"A.B.IN", "1"}, {"C.D.IN", "2"}, {"E.F.IN", "3"}});
    ProgressRecord record;
    QString statusWhileSaving;
    plant->server->beforeReply = [&](const QString& item) {
        if (item == "C.D.IN") {
            record.Look();
            statusWhileSaving = plant->Status();
        }
    };
    plant->config.SaveToFile(plant->Path("plant values.cfg"));

    QVERIFY(record.seen);
    QVERIFY(record.visible);
    QCOMPARE(record.caption, QString("Configure Progress"));
    QCOMPARE(record.fileName, QString("plant values.cfg"));
    QCOMPARE(record.maximum, 3);
    QCOMPARE(record.values, QList<int>({2, 3})); // one step had been taken when it was found
    QCOMPARE(statusWhileSaving, QString("Writing configuration values..."));
    QCOMPARE(ShownProgress(), nullptr);
}

void TestSaving::withoutDeviceTheFileIsMadeEmpty()
{
    TKQDatorelConfig config;
    const QString path = plant->Path("values.cfg");
    QVERIFY(WriteAll(path, "OLD.VALUE.IN\t1\r\n"));
    config.SaveToFile(path);
    QCOMPARE(ReadAll(path), QByteArray());
    config.SaveToFile(plant->Path("new.cfg"));
    QCOMPARE(ReadAll(plant->Path("new.cfg")), QByteArray());
    QCOMPARE(plant->server->connections, 1); // the plant's own conversation only
}

void TestSaving::failedReadLeavesTheOldFileUntouched()
{
    plant->SetItems({{"A.B.IN", "1"}, {"C.D.IN", "2"}, {"E.F.IN", "3"}});
    plant->server->refused.insert("C.D.IN");
    const QString path = plant->Path("values.cfg");
    const QByteArray good("A.B.IN\t0\r\nC.D.IN\t0\r\nE.F.IN\t0\r\n");
    QVERIFY(WriteAll(path, good));

    try {
        plant->config.SaveToFile(path);
        QFAIL("no error");
    } catch (const EDdeError&) {
    }
    QCOMPARE(ReadAll(path), good);
    QCOMPARE(QDir(plant->work.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"values.cfg"});
    QCOMPARE(plant->control->ItemCount(), 0);
    QCOMPARE(plant->Status(), Before);
    QCOMPARE(ShownProgress(), nullptr);

    // Nor is a new file left behind.
    const QString fresh = plant->Path("fresh.cfg");
    QVERIFY(!RaisedText([&] { plant->config.SaveToFile(fresh); }).isEmpty());
    QVERIFY(!QFile::exists(fresh));
}

void TestSaving::failedListLeavesTheOldFileUntouched()
{
    plant->server->refused.insert("MUTABLEITEMLIST");
    const QString path = plant->Path("values.cfg");
    const QByteArray good("A.B.IN\t0\r\n");
    QVERIFY(WriteAll(path, good));
    QVERIFY(!RaisedText([&] { plant->config.SaveToFile(path); }).isEmpty());
    QCOMPARE(ReadAll(path), good);
    QCOMPARE(QDir(plant->work.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"values.cfg"});
}

void TestSaving::unwritableFolderRaisesInputOutputError()
{
    plant->SetItems({{"A.B.IN", "1"}});
    const QString path = plant->Path("no such folder/values.cfg");
    try {
        plant->config.SaveToFile(path);
        QFAIL("no error");
    } catch (const EInOutError& error) {
        QVERIFY2(error.Message().contains(path), qPrintable(error.Message()));
    }
    QVERIFY(plant->server->executes.isEmpty());
}

void TestSaving::lineBreaksInsideAValueStayOnOneLine()
{
    plant->SetItems({{"A.B.IN", "two\r\nlines"}, {"C.D.IN", "2"}});
    const QString path = plant->Path("values.cfg");
    plant->config.SaveToFile(path);
    QCOMPARE(ReadAll(path), QByteArray("A.B.IN\ttwo  lines\r\nC.D.IN\t2\r\n"));
}

void TestSaving::blankEntriesOfTheListAreSkipped()
{
    plant->server->SetItem("A.B.IN", "1");
    plant->server->SetItem("C.D.IN", "2");
    plant->server->SetItem("MutableItemList", "A.B.IN\t\tC.D.IN");
    ProgressRecord record;
    plant->server->beforeReply = [&](const QString&) { record.Look(); };
    const QString path = plant->Path("values.cfg");
    plant->config.SaveToFile(path);
    QCOMPARE(ReadAll(path), QByteArray("A.B.IN\t1\r\nC.D.IN\t2\r\n"));
    QCOMPARE(record.maximum, 3);
    QCOMPARE(record.values.last(), 3);
}

void TestSaving::savedFileLoadsBackInTheSameOrder()
{
    plant->SetItems({{"Z.LAST.IN", "9"}, {"A.FIRST.IN", "1"}, {"M.MIDDLE.IN", "5.25"}});
    const QString path = plant->Path("values.cfg");
    plant->config.SaveToFile(path);
    plant->config.LoadFromFile(path);
    QCOMPARE(plant->server->pokes, QStringList({"Z.LAST.IN=9", "A.FIRST.IN=1", "M.MIDDLE.IN=5.25"}));
    QCOMPARE(plant->server->executes, QStringList({"Shutdown", "SaveValues"}));
}

// ---------------------------------------------------------------------------

class TestLoading : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void entersConfigureModeWritesInFileOrderAndStores();
    void progressReachesItsMaximum();
    void refusedValueIgnoredGoesOn();
    void refusedValueCancelledEndsWithTheWriteError();
    void oddNamesAreAskedAboutWithoutHarm();
    void syntaxErrorSendsNothing();
    void missingFileSendsNothing();
    void withoutDeviceOnlyParses();
    void failedShutdownWritesNothing();
    void failedSaveValuesPropagates();

private:
    std::unique_ptr<Plant> plant;
};

void TestLoading::init()
{
    plant = std::make_unique<Plant>();
    QVERIFY(plant->opened);
    QVERIFY(plant->control->IsConnected());
    plant->SetItems({{"A.B.IN", "0"}, {"C.D.IN", "0"}, {"E.F.IN", "0"}});
}

void TestLoading::cleanup()
{
    plant.reset();
}

void TestLoading::entersConfigureModeWritesInFileOrderAndStores()
{
    QStringList order;
    plant->answers->onCommand = [&](const QString& command) { order << command + " after " + plant->server->pokes.join(","); };
    const QString path = plant->Path("values.cfg");
    QVERIFY(WriteAll(path, "e.f.in\t3\r\n\r\nA.B.IN\t1\r\nC.D.IN\t2\r\n"));
    plant->config.LoadFromFile(path);

    QCOMPARE(plant->server->pokes, QStringList({"E.F.IN=3", "A.B.IN=1", "C.D.IN=2"}));
    QCOMPARE(order, QStringList({"Shutdown after ", "SaveValues after E.F.IN=3,A.B.IN=1,C.D.IN=2"}));
    QCOMPARE(pauses, QList<int>({3})); // one millisecond per value, before storing
    QCOMPARE(plant->control->ItemCount(), 0); // the lower-case name is given back too
    QCOMPARE(plant->Status(), Before);
    QVERIFY(plant->dialogs.texts().isEmpty());
    QCOMPARE(plant->config.FileName(), path);
    QCOMPARE(ShownProgress(), nullptr);
}

void TestLoading::progressReachesItsMaximum()
{
    ProgressRecord record;
    plant->answers->onCommand = [&](const QString& command) {
        if (command == "Shutdown")
            record.Look();
    };
    const QString path = plant->Path("saved/values.cfg");
    QVERIFY(QDir(plant->work.path()).mkdir("saved"));
    QVERIFY(WriteAll(path, "A.B.IN\t1\r\nC.D.IN\t2\r\n"));
    plant->config.LoadFromFile(path);

    QVERIFY(record.seen);
    QCOMPARE(record.caption, QString("Configure Progress"));
    QCOMPARE(record.fileName, QString("values.cfg"));
    QCOMPARE(record.maximum, 4);
    QCOMPARE(record.values, QList<int>({1, 2, 3, 4}));

    // A name without folder shows no name.
    const QString current = QDir::currentPath();
    QVERIFY(QDir::setCurrent(plant->work.filePath("saved")));
    ProgressRecord bare;
    plant->answers->onCommand = [&](const QString&) { bare.Look(); };
    plant->config.LoadFromFile("values.cfg");
    QDir::setCurrent(current);
    QVERIFY(bare.seen);
    QCOMPARE(bare.fileName, QString());
}

void TestLoading::refusedValueIgnoredGoesOn()
{
    plant->server->refused.insert("C.D.IN");
    plant->dialogs.addAnswer(mrIgnore);
    const QString path = plant->Path("values.cfg");
    QVERIFY(WriteAll(path, "A.B.IN\t1\r\nc.d.in\t2\r\nE.F.IN\t3\r\n"));
    plant->config.LoadFromFile(path);

    QCOMPARE(plant->dialogs.messages().size(), 1);
    const TShownMessage& shown = plant->dialogs.messages().first();
    QCOMPARE(shown.text, RefusedText.arg("c.d.in"));
    QCOMPARE(shown.type, TMsgDlgType::mtWarning);
    QCOMPARE(shown.buttons, TMsgDlgButtons(mbCancel | mbIgnore));
    QCOMPARE(plant->server->pokes, QStringList({"A.B.IN=1", "E.F.IN=3"}));
    QCOMPARE(plant->server->executes, QStringList({"Shutdown", "SaveValues"}));
    QCOMPARE(plant->control->ItemCount(), 0);
}

void TestLoading::refusedValueCancelledEndsWithTheWriteError()
{
    plant->server->refused.insert("C.D.IN");
    plant->dialogs.addAnswer(mrCancel);
    const QString path = plant->Path("values.cfg");
    QVERIFY(WriteAll(path, "A.B.IN\t1\r\nC.D.IN\t2\r\nE.F.IN\t3\r\n"));
    try {
        plant->config.LoadFromFile(path);
        QFAIL("no error");
    } catch (const EDdeError& error) {
        QVERIFY(!error.Message().isEmpty());
    }
    QCOMPARE(plant->dialogs.texts(), QStringList{RefusedText.arg("C.D.IN")});
    QCOMPARE(plant->server->pokes, QStringList({"A.B.IN=1"}));
    QCOMPARE(plant->server->executes, QStringList({"Shutdown"})); // stays in configure mode, nothing stored
    QCOMPARE(plant->control->ItemCount(), 0);
    QCOMPARE(ShownProgress(), nullptr);
}

void TestLoading::oddNamesAreAskedAboutWithoutHarm()
{
    const QString longName = QString(300, 'l');
    const QString latin = QString::fromLatin1("\xE4\xF6.\xE9.in");
    plant->server->refused.insert(longName.toUpper());
    plant->dialogs.addAnswer(mrIgnore);
    const QString path = plant->Path("values.cfg");
    QVERIFY(WriteAll(path, longName.toLatin1() + "\t1\r\n" + latin.toLatin1() + "\t\xB5\r\nA.B.IN\t3\r\n"));
    plant->config.LoadFromFile(path);
    QCOMPARE(plant->dialogs.texts(), QStringList{RefusedText.arg(longName)});
    QCOMPARE(plant->server->pokes,
             QStringList({QString::fromLatin1("\xC4\xD6.\xC9.IN=\xB5"), "A.B.IN=3"}));
    QCOMPARE(plant->control->ItemCount(), 0);
}

void TestLoading::syntaxErrorSendsNothing()
{
    const QString path = plant->Path("values.cfg");
    QVERIFY(WriteAll(path, "A.B.IN\t1\r\nC.D.IN\t\r\n"));
    QCOMPARE(RaisedText([&] { plant->config.LoadFromFile(path); }),
             QString("Syntax error in configuration file %1; line 2.").arg(path));
    QVERIFY(plant->server->pokes.isEmpty());
    QVERIFY(plant->server->executes.isEmpty());
    QCOMPARE(plant->Status(), Before);
    QCOMPARE(ShownProgress(), nullptr);
}

void TestLoading::missingFileSendsNothing()
{
    try {
        plant->config.LoadFromFile(plant->Path("missing.cfg"));
        QFAIL("no error");
    } catch (const EInOutError&) {
    }
    QVERIFY(plant->server->pokes.isEmpty());
    QVERIFY(plant->server->executes.isEmpty());
}

void TestLoading::withoutDeviceOnlyParses()
{
    TKQDatorelConfig config;
    const QString path = plant->Path("values.cfg");
    QVERIFY(WriteAll(path, "A.B.IN\t1\r\n"));
    config.LoadFromFile(path);
    QCOMPARE(config.FileName(), path);
    QVERIFY(WriteAll(path, "A.B.IN 1\r\n"));
    QVERIFY(!RaisedText([&] { config.LoadFromFile(path); }).isEmpty());
    QVERIFY(plant->server->pokes.isEmpty());
    QVERIFY(plant->server->executes.isEmpty());
    QVERIFY(plant->dialogs.texts().isEmpty());
}

void TestLoading::failedShutdownWritesNothing()
{
    plant->answers->results["Shutdown"] = "3";
    const QString path = plant->Path("values.cfg");
    QVERIFY(WriteAll(path, "A.B.IN\t1\r\n"));
    QCOMPARE(RaisedText([&] { plant->config.LoadFromFile(path); }),
             QString("TKQDatorelControl.Shutdown: Shutdown Failed"));
    QVERIFY(plant->server->pokes.isEmpty());
    QCOMPARE(ShownProgress(), nullptr);
}

void TestLoading::failedSaveValuesPropagates()
{
    plant->answers->results["SaveValues"] = "1";
    const QString path = plant->Path("values.cfg");
    QVERIFY(WriteAll(path, "A.B.IN\t1\r\n"));
    QCOMPARE(RaisedText([&] { plant->config.LoadFromFile(path); }),
             QString("TKQDatorelControl.SaveValues: Memory Error"));
    QCOMPARE(plant->server->pokes, QStringList({"A.B.IN=1"}));
    QCOMPARE(ShownProgress(), nullptr);
}

// ---------------------------------------------------------------------------

TURVISTA_TEST_MAIN(TestValuesFileParsing, TestSaving, TestLoading)

#include "tst_kqdatorelconfig.moc"
