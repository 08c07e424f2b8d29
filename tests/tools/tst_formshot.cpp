// formshot: pictures of stored forms at each scale, off line and bound to the
// real server's simulated control, the list of what a form binds, and its refusals.
#include "tests/support/ServerProcess.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

constexpr int RunTimeoutMs = 90000;

struct Result {
    int status = -1; // -1: crashed or killed for taking too long
    QString err;
    QString out;
};

// Runs formshot to its end; the private DDE folder and the build's registry
// reach it through the environment.
Result Run(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_DIRS", TURVISTA_BINARY_DIR "/xdg");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TURVISTA_BINARY_DIR "/tools/formshot"), arguments);
    if (!process.waitForFinished(RunTimeoutMs))
        process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError()), QString::fromLocal8Bit(process.readAllStandardOutput())};
}

// Lines formshot printed for itself (Qt's own warnings left out).
QStringList Reports(const QString& err)
{
    return err.split('\n').filter(QRegularExpression("^formshot: "));
}

} // namespace

class TestFormshot : public QObject {
    Q_OBJECT

    QTemporaryDir folder;

private slots:
    // On line, every item of the gallery exists in the control: no DDE error is reported.
    void drawsAStoredFormAtEachScaleOffAndOnLine()
    {
        const QString normal = folder.filePath("normal.png");
        const QString doubled = folder.filePath("doubled.png");
        const Result first = Run({"Gallery", normal});
        QCOMPARE(first.status, 0);
        QCOMPARE(Reports(first.err), QStringList());
        ServerProcess server;
        QVERIFY2(server.Start(), qPrintable(server.Output()));
        const Result second = Run({"Gallery", doubled, "--scale", "2", "--online", TURVISTA_SOURCE_DIR "/server/4812.net"});
        QCOMPARE(Reports(second.err), QStringList());
        QCOMPARE(second.status, 0);

        const QImage one(normal);
        const QImage two(doubled);
        QVERIFY(one.width() > 400 && one.height() > 200);
        // Twice the size give or take the rounding of text heights at each scale.
        const auto twice = [](int doubled, int single) { return qAbs(doubled - 2 * single) <= single / 10; };
        QVERIFY2(twice(two.width(), one.width()) && twice(two.height(), one.height()),
                 qPrintable(QString("%1x%2 and %3x%4").arg(one.width()).arg(one.height()).arg(two.width()).arg(two.height())));
    }

    // Templates expanded, the form's parameter filled in, each control placed by
    // its page and group boxes and with the name of its list.
    void listsTheBoundControls()
    {
        const QString path = folder.filePath("Listed.json");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"class": "TKQForm", "parameters": ["LOOP"], "defaults": {"Device": "KQDatorelControl1"},
          "lists": {"E1": ["Off", "On"]}, "templates": {"Gain": {"class": "TKQBoxLabel", "name": "%G%Gain", "properties": {"ItemName": "%LOOP%.%G%_GAIN.RAMP"}}},
          "children": [{"class": "TKQBoxLabel", "name": "Speed", "properties": {"ItemName": "AA_MONITOR.SPEED.A_NAME"}},
            {"class": "TKQPageControl", "children": [{"class": "TKQTabSheet", "properties": {"Caption": "Tuning"}, "children": [
              {"class": "QLabel", "properties": {"text": "Gains"}},
              {"class": "TKQGroupBox", "properties": {"Caption": "Loop"}, "children": [{"class": "TKQGroupBox", "properties": {"Caption": "Gains"}, "children": [
                {"use": "Gain", "with": {"G": "P"}},
                {"class": "TKQEnumComboBox", "name": "Mode", "properties": {"ItemName": "C_X.MODE.IN", "EnumList": "E1"}}]}]}]}]}]})");
        file.close();
        const Result result = Run({"--items", path, "--with", "LOOP=EXTR_DYN"});
        QCOMPARE(Reports(result.err), QStringList());
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out.split('\n', Qt::SkipEmptyParts),
                 QStringList({"\t\tTKQBoxLabel\tAA_MONITOR.SPEED.A_NAME\tSpeed\t",
                              "Tuning\tLoop/Gains\tTKQBoxLabel\tEXTR_DYN.P_GAIN.RAMP\tPGain\t",
                              "Tuning\tLoop/Gains\tTKQEnumComboBox\tC_X.MODE.IN\tMode\tE1"}));
    }

    void refusesWhatItCannotDraw_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("report");
        QTest::newRow("refused form") << R"({"class": "TKQForm", "children": [{"class": "TKQPanel", "name": "Panel1", "properties": {"Colour": 1}}]})"
                                      << QStringList() << 1
                                      << "formshot: Form Broken, component Panel1: unknown property \"Colour\" of TKQPanel";
        // Opening it must not wait for a writer.
        QTest::newRow("a FIFO") << "<fifo>" << QStringList() << 1 << "formshot: Form Broken: cannot read ";
        QTest::newRow("no such form") << QString() << QStringList() << 1 << "formshot: no form NoSuchWindow, stored forms: ";
        QTest::newRow("no picture name") << "{}" << QStringList({"--scale"}) << 2 << QString();
        QTest::newRow("unknown option") << "{}" << QStringList({"--colour", "red"}) << 2 << QString();
        QTest::newRow("a third word") << "{}" << QStringList({"more.png"}) << 2 << QString();
        QTest::newRow("a picture for a list") << "{}" << QStringList({"--items"}) << 2 << QString();
        QTest::newRow("parameter without value") << "{}" << QStringList({"--with", "BLOCK"}) << 2 << QString();
    }

    void refusesWhatItCannotDraw()
    {
        QFETCH(QString, form);
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QString, report);
        QString path = "NoSuchWindow";
        if (!form.isEmpty()) {
            path = folder.filePath("Broken.json");
            QFile::remove(path);
            QFile file(path);
            if (form == "<fifo>")
                QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            else
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(form.toUtf8()) == form.toUtf8().size());
        }
        const QString picture = folder.filePath("refused.png");
        const Result result = Run(QStringList{path, picture} + options);
        QCOMPARE(result.status, status);
        if (!report.isEmpty()) {
            const QStringList reports = Reports(result.err);
            QCOMPARE(reports.size(), 1);
            QVERIFY2(reports.first().startsWith(report), qPrintable(reports.first()));
        }
        QVERIFY(!QFile::exists(picture));
    }
};

QTEST_GUILESS_MAIN(TestFormshot)

#include "tst_formshot.moc"
