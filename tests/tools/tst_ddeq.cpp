// ddeq against the real server: what each verb prints, and how it fails.
#include "tests/support/RawDdeServer.h"
#include "tests/support/ServerProcess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int RunTimeoutMs = 15000;

const QString Own = QStringLiteral("URQVDatorel");
const QString RampRate = QStringLiteral("C_START.RT_TO_MIN.IN");

const QString Ddeq = QStringLiteral(TURVISTA_BINARY_DIR "/tools/ddeq");

struct Result {
    int status = -1; // -1: crashed or killed for taking too long
    QString out;
    QString err;
};

// Runs ddeq to its end; the private DDE folder reaches it through the environment.
Result Run(const QStringList& arguments)
{
    QProcess process;
    process.start(Ddeq, arguments);
    if (!process.waitForFinished(RunTimeoutMs))
        process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()), QString::fromLocal8Bit(process.readAllStandardError())};
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

    // What each verb prints; "advise" without --count runs for the time it is given.
    void prints_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("pattern");
        const QStringList control{Own, ServerProcess::Topic()};
        QTest::newRow("request on System") << QStringList{"Datorel", "System", "request", "Conversation Count"} << "^\\d+\n$";
        QTest::newRow("request") << control + QStringList{"request", "Run Mode"} << "^0\n$";
        // Symbol information: class monitor, type boolean, limits "0" and "1", each ended by a zero byte.
        QTest::newRow("request-binary as hex bytes") << control + QStringList{"request-binary", "Z_CPU_COM.EN_CONFIG.OR"}
                                                     << "^01 01 30 00 31 00\n$";
        QTest::newRow("poke prints nothing") << control + QStringList{"poke", RampRate, "42.5"} << "^$";
        // A value may start with "-": the program writes true as -1.
        QTest::newRow("poke of -1") << control + QStringList{"poke", "C_START.USE_INITV1.IN", "-1"} << "^$";
        QTest::newRow("items one per line") << control + QStringList{"items"} << "^([^\t\n]+\n){100,}$";
        QTest::newRow("advise for a time") << control + QStringList{"advise", "Run Mode", "--seconds", "0.2"} << "^[01]\n";
    }
    void prints()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, pattern);
        const Result result = Run(arguments);
        QCOMPARE(result.status, 0);
        QVERIFY2(QRegularExpression(pattern).match(result.out).hasMatch(), qPrintable(result.out));
    }

    void executeThenResult()
    {
        QCOMPARE(Control({"execute", "Shutdown"}).status, 0);
        QTRY_COMPARE(Control({"request", "Shutdown.Result"}).out, QString("0\n"));
        QCOMPARE(Control({"request", "Run Mode"}).out, QString("1\n"));
    }

    void advisePrintsEachValue()
    {
        QProcess advise;
        advise.start(Ddeq, {Own, ServerProcess::Topic(), "advise", RampRate, "--count", "3"});
        // The first line is the current value; then each change.
        QTRY_VERIFY_WITH_TIMEOUT(advise.canReadLine(), RunTimeoutMs);
        QCOMPARE(Control({"poke", RampRate, "31"}).status, 0);
        QCOMPARE(Control({"poke", RampRate, "32"}).status, 0);
        QVERIFY(advise.waitForFinished(RunTimeoutMs));
        QCOMPARE(advise.exitCode(), 0);
        const QStringList lines = QString::fromLocal8Bit(advise.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.mid(1), QStringList({"31", "32"}));
    }

    // The server answers the advise start, then sends nonsense: ddeq ends.
    void adviseEndsWhenTheServerTalksNonsense()
    {
        RawDdeServer liar("Liar");
        liar.onFrame = [&liar](const RawDdeServer::Frame& frame) {
            liar.socket->write(ddeml::wire::Encode({RawDdeServer::FrameType::ReplyAck, frame.id, 0, 1, {}, {}, {}, {}})
                               + RawDdeServer::EmptyFrame());
        };
        QProcess advise;
        advise.start(Ddeq, {"Liar", "T", "advise", RampRate});
        QTRY_VERIFY_WITH_TIMEOUT(advise.state() == QProcess::NotRunning, RunTimeoutMs);
        QCOMPARE(advise.exitCode(), 1);
        QVERIFY(QString::fromLocal8Bit(advise.readAllStandardError()).contains("the server ended the conversation"));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QStringList control{Own, ServerProcess::Topic()};
        QTest::newRow("refused poke") << control + QStringList{"poke", RampRate, "fast"} << 1
                                      << "poke of \"C_START.RT_TO_MIN.IN\" failed";
        QTest::newRow("poke outside Latin-1") << control + QStringList{"poke", RampRate, "1\u20ac"} << 1
                                              << "it holds characters outside Latin-1";
        QTest::newRow("unknown item") << control + QStringList{"request", "NO.SUCH.ITEM"} << 1 << "the server refused it";
        QTest::newRow("no such topic") << QStringList{Own, "none.net(X)", "items"} << 3
                                       << "cannot connect to URQVDatorel / none.net(X)";
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
