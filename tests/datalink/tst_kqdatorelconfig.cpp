// Values files against a DDE server in the same process: what a file holds
// and how it is read and written, and every way a save or a load can fail.
#include "datalink/KConfigureProgress.h"
#include "datalink/KQDatorelConfig.h"
#include "platform/files/RegularFile.h"
#include "tests/datalink/LinkFixture.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

using namespace fixture;

namespace {

const QString Before = QStringLiteral("Active.");
const QByteArray Missing = QByteArrayLiteral("<missing>");
// Files that are not read: a FIFO with no writer, a sparse file past the size limit.
const QByteArray Fifo = QByteArrayLiteral("<fifo>");
const QByteArray Large = QByteArrayLiteral("<large>");

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : Missing;
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

// A connected control device and a values file component on it.
struct Plant : ControlPlant {
    Plant() : ControlPlant(Before)
    {
        Connect();
        config.SetDevice(control.get());
        config.StatusPanel()->SetStatusBar(&bar);
    }

    // The control's list of changeable items, with their values.
    void SetItems(const QStringList& names, const QStringList& values)
    {
        for (qsizetype at = 0; at < names.size(); ++at)
            if (!names[at].isEmpty())
                server->SetItem(names[at], values[at].toLatin1());
        server->SetItem("MutableItemList", names.join('\t').toLatin1());
    }

    QString Path(const QString& name) const { return work.filePath(name); }
    QString Status() const { return config.StatusPanel()->Text(); }
    QStringList Files() const { return QDir(work.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir work;
    TKQDatorelConfig config;
};

const QString RefusedText = QStringLiteral("Configuration Error: %1 does not exist or the value being loaded is invalid.");

enum Direction { Both, ReadOnly, WriteOnly };

} // namespace

class TestValuesFile : public QObject {
    Q_OBJECT
private slots:
    void fileFormat_data();
    void fileFormat();
    void faults_data();
    void faults();
};

// Records as the control holds them ("name<TAB>value") and the file that holds
// them. Rows that only one direction produces say which.
void TestValuesFile::fileFormat_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("records");

    const QStringList two{"A.B.IN\t1", "C.D.IN\t2.5"};
    QTest::newRow("records end in CR LF") << int(Both) << QByteArray("A.B.IN\t1\r\nC.D.IN\t2.5\r\n") << two;
    QTest::newRow("in the control's order") << int(Both) << QByteArray("Z.IN\t9\r\nA.IN\t1\r\n") << QStringList{"Z.IN\t9", "A.IN\t1"};
    QTest::newRow("ANSI text") << int(Both) << QByteArray("T.\xC4\xD6.IN\t\xB5s \xE9t\xE9\r\n")
                               << QStringList{QString::fromLatin1("T.\xC4\xD6.IN\t\xB5s \xE9t\xE9")};
    QTest::newRow("nothing changeable") << int(Both) << QByteArray() << QStringList();
    QTest::newRow("emptied text") << int(Both) << QByteArray("A.B.IN\t1\r\nSITE.IN\t\r\n") << QStringList{"A.B.IN\t1", "SITE.IN\t"};
    QTest::newRow("names written in capitals") << int(WriteOnly) << QByteArray("KX.TST.IN\t1\r\n") << QStringList{"kx.tst.in\t1"};
    QTest::newRow("blank list entries skipped") << int(WriteOnly) << QByteArray("A.B.IN\t1\r\nC.D.IN\t2.5\r\n")
                                                << QStringList{"A.B.IN\t1", "", "C.D.IN\t2.5"};
    QTest::newRow("blank lines anywhere") << int(ReadOnly) << QByteArray("\r\nA.B.IN\t1\r\n\r\n\nC.D.IN\t2.5\n\r\n") << two;
    QTest::newRow("last line without line end") << int(ReadOnly) << QByteArray("A.B.IN\t1\r\nC.D.IN\t2.5") << two;
    QTest::newRow("further TABs belong to the value") << int(ReadOnly) << QByteArray("A.B.IN\tx\ty\r\n") << QStringList{"A.B.IN\tx\ty"};
    QTest::newRow("longer value cut") << int(ReadOnly) << (QByteArray("A\t") + QByteArray(256, 'v') + "WXYZ\r\nB\t2\r\n")
                                      << QStringList{"A\t" + QString(256, 'v'), "B\t2"};
    QTest::newRow("zero byte in a record") << int(ReadOnly) << QByteArray("A\0B\tv\0w\r\n", 9)
                                           << QStringList{QString::fromLatin1(QByteArray("A\0B\tv\0w", 7))};
}

void TestValuesFile::fileFormat()
{
    QFETCH(int, direction);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, records);

    QStringList names, values;
    for (const QString& record : records) {
        names << record.section('\t', 0, 0);
        values << record.section('\t', 1);
    }
    Plant plant;
    QVERIFY(plant.opened && plant.control->IsConnected());
    const QString path = plant.Path("values.cfg");
    if (direction == ReadOnly) {
        QVERIFY(WriteAll(path, file));
    } else {
        plant.SetItems(names, values);
        plant.config.SaveToFile(path);
        QCOMPARE(ReadAll(path), file);
        QCOMPARE(plant.Files(), QStringList{"values.cfg"});
        QCOMPARE(plant.control->ItemCount(), 0); // every item read is given back
    }
    if (direction != WriteOnly) {
        plant.config.SetFileName(path);
        QStringList parsedNames{"left over"}, parsedValues{"left over"};
        plant.config.Parse(parsedNames, parsedValues);
        QCOMPARE(parsedNames, names);
        QCOMPARE(parsedValues, values);
    }
    if (direction == Both) {
        // Loaded back: configure mode, every value in file order, a pause per value, then stored.
        QStringList order;
        plant.answers->onCommand = [&](const QString& command) { order << command << plant.server->pokes.join(','); };
        plant.config.LoadFromFile(path);
        QCOMPARE(order, QStringList({"Shutdown", "", "SaveValues", records.join(',').replace('\t', '=')}));
        QCOMPARE(pauses, QList<int>({int(Timing::ConfigLoadPausePerValue * int(names.size()))}));
        QCOMPARE(plant.control->ItemCount(), 0);
    }
    QCOMPARE(plant.config.FileName(), path);
    QCOMPARE(plant.Status(), Before);
    QCOMPARE(ShownProgress(), nullptr);
    QVERIFY(plant.dialogs.texts().isEmpty());
}

// Nothing a failed save or load leaves behind may harm the control or the file.
void TestValuesFile::faults_data()
{
    QTest::addColumn<bool>("save");          // else load
    QTest::addColumn<bool>("withControl");
    QTest::addColumn<QString>("name");       // of the file, in the work folder
    QTest::addColumn<QByteArray>("content"); // of the file before; Missing: none
    QTest::addColumn<QString>("fault");      // "refused=ITEM", "Shutdown=3" ...
    QTest::addColumn<int>("answer");         // to the question about a refused value
    QTest::addColumn<QString>("raised");     // the start of the message; %1: the file's path
    QTest::addColumn<QStringList>("pokes");
    QTest::addColumn<QStringList>("executes");
    QTest::addColumn<QByteArray>("after");   // the file afterwards

    const QByteArray old("A.B.IN\t0\r\nC.D.IN\t0\r\nE.F.IN\t0\r\n");
    const QByteArray three("A.B.IN\t1\r\nc.d.in\t2\r\nE.F.IN\t3\r\n");
    const QString notProcessed = QStringLiteral("Message was not processed.");
    const QStringList none;
    const QStringList shutdown{"Shutdown"};
    const QStringList both{"Shutdown", "SaveValues"};

    // Saving: the old file is replaced only once every value has been read.
    QTest::newRow("save: value refused, old file kept") << true << true << "values.cfg" << old << "refused=C.D.IN" << 0
                                                        << notProcessed << none << none << old;
    QTest::newRow("save: no such folder") << true << true << "gone/values.cfg" << Missing << "" << 0
                                          << "Cannot create file \"%1\"." << none << none << Missing;
    QTest::newRow("save without control empties") << true << false << "values.cfg" << old << "" << 0 << "" << none
                                                  << none << QByteArray();

    // Loading: nothing is sent before the whole file is read.
    auto syntax = [&](const char* tag, const QByteArray& content, int line) {
        QTest::newRow(tag) << false << true << "odd %2 name.cfg" << content << "" << 0
                           << QString("Syntax error in configuration file %1; line %2.").replace("%2", QString::number(line))
                           << none << none << content;
    };
    syntax("load: line without TAB", "A\t1\r\nB 2\r\n", 2);
    syntax("load: empty name", "A\t1\r\n\t2\r\n", 2);
    syntax("load: blank lines are counted", "\r\n\r\nA\t1\r\n\r\nB\r\n", 5);
    QTest::newRow("load: no such file") << false << true << "values.cfg" << Missing << "" << 0
                                        << "Cannot open file \"%1\"." << none << none << Missing;
    QTest::newRow("load: FIFO") << false << true << "values.cfg" << Fifo << "" << 0
                                << "Cannot open file \"%1\". It is not a regular file" << none << none << Fifo;
    QTest::newRow("load: endless device") << false << true << "/dev/zero" << Missing << "" << 0
                                          << "Cannot open file \"%1\". It is not a regular file" << none << none << Fifo;
    QTest::newRow("load: too large") << false << true << "values.cfg" << Large << "" << 0
                                     << "Cannot open file \"%1\". The file is larger than" << none << none << Large;
    // A refused value is asked about: Ignore goes on, Cancel stops in configure mode and stores nothing.
    QTest::newRow("load: refused, ignored") << false << true << "values.cfg" << three << "refused=C.D.IN" << int(mrIgnore)
                                            << "" << QStringList{"A.B.IN=1", "E.F.IN=3"} << both << three;
    QTest::newRow("load: refused, cancelled") << false << true << "values.cfg" << three << "refused=C.D.IN"
                                              << int(mrCancel) << notProcessed << QStringList{"A.B.IN=1"} << shutdown
                                              << three;
    QTest::newRow("load: configure mode refused") << false << true << "values.cfg" << three << "Shutdown=3" << 0
                                                  << "TKQDatorelControl.Shutdown: Shutdown Failed" << none << shutdown
                                                  << three;
    QTest::newRow("load: store failed") << false << true << "values.cfg" << three << "SaveValues=1" << 0
                                        << "TKQDatorelControl.SaveValues: Memory Error"
                                        << QStringList{"A.B.IN=1", "C.D.IN=2", "E.F.IN=3"} << both << three;
}

void TestValuesFile::faults()
{
    QFETCH(bool, save);
    QFETCH(bool, withControl);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, fault);
    QFETCH(int, answer);
    QFETCH(QString, raised);
    QFETCH(QStringList, pokes);
    QFETCH(QStringList, executes);
    QFETCH(QByteArray, after);

    Plant plant;
    QVERIFY(plant.opened && plant.control->IsConnected());
    plant.SetItems({"A.B.IN", "C.D.IN", "E.F.IN"}, {"1", "2", "3"});
    plant.server->pokes.clear();
    const QString path = name.isEmpty() ? plant.work.path() : QDir(plant.work.path()).filePath(name);
    if (content == Fifo)
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (content == Large)
        QVERIFY(WriteAll(path, {}) && QFile::resize(path, RegularFile::MaxValuesFileBytes + 1));
    else if (content != Missing)
        QVERIFY(WriteAll(path, content));
    const QString faultName = fault.section('=', 0, 0);
    if (faultName == "refused")
        plant.server->refused.insert(fault.section('=', 1));
    else if (!faultName.isEmpty())
        plant.answers->results[faultName] = fault.section('=', 1).toLatin1();
    if (answer)
        plant.dialogs.addAnswer(answer);
    TKQDatorelConfig bare;
    TKQDatorelConfig& config = withControl ? plant.config : bare;

    const QString shown = RaisedText([&] { save ? config.SaveToFile(path) : config.LoadFromFile(path); });
    const QString expected = raised.contains("%1") ? raised.arg(path) : raised;
    QVERIFY2(expected.isEmpty() ? shown.isEmpty() : shown.startsWith(expected), qPrintable(shown));
    QCOMPARE(plant.server->pokes, pokes);
    QCOMPARE(plant.server->executes, executes);
    // A failed read shows its DDE error too; the question is asked only about a value being loaded.
    QCOMPARE(plant.dialogs.texts().filter("Configuration Error"),
             answer ? QStringList{RefusedText.arg("c.d.in")} : QStringList());
    if (!name.isEmpty() && after != Fifo && after != Large)
        QCOMPARE(ReadAll(path), after);
    if (save) // nothing half-written stays beside it
        QCOMPARE(plant.Files(), after == Missing ? QStringList() : QStringList{"values.cfg"});
    if (executes.isEmpty())
        QCOMPARE(plant.Status(), Before);
    QCOMPARE(plant.control->ItemCount(), 0);
    QCOMPARE(ShownProgress(), nullptr);
}

TURVISTA_TEST_MAIN(TestValuesFile)

#include "tst_kqdatorelconfig.moc"
