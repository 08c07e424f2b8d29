// ddeq against the real server: what each verb prints, and how it fails.
#include "tests/support/ServerProcess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int RunTimeoutMs = 15000;

const QString Own = QStringLiteral("URQVDatorel");
const QString RampRate = QStringLiteral("C_START.RT_TO_MIN.IN");

struct Result {
    int status = -1;
    QString out;
    QString err;
};

QString Ddeq()
{
    return QStringLiteral(TURVISTA_BINARY_DIR "/tools/ddeq");
}

// Runs ddeq to its end; the private DDE folder reaches it through the environment.
Result Run(const QStringList& arguments)
{
    QProcess process;
    process.start(Ddeq(), arguments);
    Result result;
    if (!process.waitForFinished(RunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("<ddeq did not end>");
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

// ddeq on the default control's topic.
Result Control(const QStringList& verbAndArguments)
{
    return Run(QStringList{Own, ServerProcess::Topic()} + verbAndArguments);
}

} // namespace

class TestDdeq : public QObject {
    Q_OBJECT

private:
    ServerProcess server;

private slots:
    void initTestCase() { QVERIFY2(server.Start(), qPrintable(server.Output())); }

    void requestPrintsTheValue()
    {
        const Result result = Run({"Datorel", "System", "request", "Conversation Count"});
        QCOMPARE(result.status, 0);
        QVERIFY2(QRegularExpression("^\\d+\\n$").match(result.out).hasMatch(), qPrintable(result.out));
        QCOMPARE(Control({"request", "Run Mode"}).out, QString("0\n"));
    }

    // A value may start with "-": the program writes true as -1.
    void pokeThenRequest_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("stored");
        QTest::newRow("real") << RampRate << "42.5" << "42.5";
        QTest::newRow("true as -1") << "C_START.USE_INITV1.IN" << "-1" << "1";
    }
    void pokeThenRequest()
    {
        QFETCH(QString, item);
        QFETCH(QString, value);
        const Result poke = Control({"poke", item, value});
        QCOMPARE(poke.status, 0);
        QCOMPARE(poke.out, QString());
        QFETCH(QString, stored);
        QCOMPARE(Control({"request", item}).out, stored + "\n");
    }

    // Symbol information: class monitor, type boolean, limits "0" and "1", each ended by a zero byte.
    void requestBinaryPrintsHexBytes()
    {
        const Result result = Control({"request-binary", "Z_CPU_COM.EN_CONFIG.OR"});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QString("01 01 30 00 31 00\n"));
    }

    void executeThenResult()
    {
        QCOMPARE(Control({"execute", "Shutdown"}).status, 0);
        QTRY_COMPARE(Control({"request", "Shutdown.Result"}).out, QString("0\n"));
        QCOMPARE(Control({"request", "Run Mode"}).out, QString("1\n"));
    }

    void itemsPrintsOneNamePerLine()
    {
        const Result result = Control({"items"});
        QCOMPARE(result.status, 0);
        const QStringList names = result.out.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(names.size() > 100);
        QVERIFY(names.contains(RampRate));
        QVERIFY(!result.out.contains(u'\t'));
    }

    void advisePrintsEachValue()
    {
        QProcess advise;
        advise.start(Ddeq(), {Own, ServerProcess::Topic(), "advise", RampRate, "--count", "3"});
        QVERIFY(advise.waitForStarted(RunTimeoutMs));
        // The first line is the current value; then each change.
        QTRY_VERIFY_WITH_TIMEOUT(advise.canReadLine(), RunTimeoutMs);
        QCOMPARE(Control({"poke", RampRate, "31"}).status, 0);
        QCOMPARE(Control({"poke", RampRate, "32"}).status, 0);
        QVERIFY(advise.waitForFinished(RunTimeoutMs));
        QCOMPARE(advise.exitCode(), 0);
        const QStringList lines = QString::fromLocal8Bit(advise.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.mid(1), QStringList({"31", "32"}));
    }

    void adviseStopsAfterItsTime()
    {
        const Result result = Control({"advise", "Run Mode", "--seconds", "0.2"});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.startsWith("0\n") || result.out.startsWith("1\n"), qPrintable(result.out));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QStringList control{Own, ServerProcess::Topic()};
        QTest::newRow("refused poke") << control + QStringList{"poke", RampRate, "fast"} << 1
                                      << "poke of \"C_START.RT_TO_MIN.IN\" failed";
        QTest::newRow("unknown item") << control + QStringList{"request", "NO.SUCH.ITEM"} << 1 << "the server refused it";
        QTest::newRow("unknown command") << control + QStringList{"execute", "Explode"} << 1
                                         << "execute of \"Explode\" failed";
        QTest::newRow("no such topic") << QStringList{Own, "none.net(X)", "items"} << 3
                                       << "cannot connect to URQVDatorel / none.net(X)";
        QTest::newRow("no such service") << QStringList{"Nobody", "System", "items"} << 3 << "cannot connect";
        QTest::newRow("unknown verb") << control + QStringList{"fetch", RampRate} << 2 << "unknown verb \"fetch\"";
        QTest::newRow("missing value") << control + QStringList{"poke", RampRate} << 2 << "poke takes 2 argument(s)";
        QTest::newRow("too few words") << QStringList{Own} << 2 << "usage: ddeq";
        QTest::newRow("bad count") << control + QStringList{"advise", RampRate, "--count", "none"} << 2 << "--count";
        QTest::newRow("unknown option") << control + QStringList{"--colour", "items"} << 2 << "colour";
    }

    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Result result = Run(arguments);
        QTEST(result.status, "status");
        QCOMPARE(result.out, QString());
        QVERIFY2(result.err.startsWith("ddeq: ") && result.err.contains(message), qPrintable(result.err));
    }
};

QTEST_GUILESS_MAIN(TestDdeq)
#include "tst_ddeq.moc"
