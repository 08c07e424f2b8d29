// ddeq against the real server: what each verb prints, and how it fails.
#include "tests/support/ServerProcess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

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

Result Control(const QStringList& verbAndArguments)
{
    return Run(QStringList{Own, ServerProcess::Topic()} + verbAndArguments);
}

} // namespace

class TestDdeq : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ServerProcess> m_server;

private slots:
    void initTestCase()
    {
        m_server = std::make_unique<ServerProcess>();
        QVERIFY2(m_server->Start(), qPrintable(m_server->Output()));
    }

    void cleanupTestCase() { m_server.reset(); }

    void requestPrintsTheValue()
    {
        const Result result = Run({QStringLiteral("Datorel"), QStringLiteral("System"), QStringLiteral("request"),
                                   QStringLiteral("Conversation Count")});
        QCOMPARE(result.status, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\n$")).match(result.out).hasMatch(), qPrintable(result.out));
        QCOMPARE(Control({QStringLiteral("request"), QStringLiteral("Run Mode")}).out, QStringLiteral("0\n"));
    }

    void pokeThenRequest()
    {
        const Result poke = Control({QStringLiteral("poke"), RampRate, QStringLiteral("42.5")});
        QCOMPARE(poke.status, 0);
        QCOMPARE(poke.out, QString());
        QCOMPARE(Control({QStringLiteral("request"), RampRate}).out, QStringLiteral("42.5\n"));
    }

    void requestBinaryPrintsHexBytes()
    {
        const Result result = Control({QStringLiteral("request-binary"), QStringLiteral("Z_CPU_COM.EN_CONFIG.OR")});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QStringLiteral("01 01 30 00 31 00\n"));
    }

    void executeThenResult()
    {
        QCOMPARE(Control({QStringLiteral("execute"), QStringLiteral("Shutdown")}).status, 0);
        QTRY_COMPARE(Control({QStringLiteral("request"), QStringLiteral("Shutdown.Result")}).out,
                     QStringLiteral("0\n"));
        QCOMPARE(Control({QStringLiteral("request"), QStringLiteral("Run Mode")}).out, QStringLiteral("1\n"));
    }

    void itemsPrintsOneNamePerLine()
    {
        const Result result = Control({QStringLiteral("items")});
        QCOMPARE(result.status, 0);
        const QStringList names = result.out.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(names.size() > 100);
        QVERIFY(names.contains(RampRate));
        QVERIFY(!result.out.contains(u'\t'));
    }

    void advisePrintsEachValue()
    {
        QProcess advise;
        advise.start(Ddeq(), {Own, ServerProcess::Topic(), QStringLiteral("advise"), RampRate, QStringLiteral("--count"),
                              QStringLiteral("3")});
        QVERIFY(advise.waitForStarted(RunTimeoutMs));
        // The first line is the current value; then each change.
        QTRY_VERIFY_WITH_TIMEOUT(advise.canReadLine(), RunTimeoutMs);
        QCOMPARE(Control({QStringLiteral("poke"), RampRate, QStringLiteral("31")}).status, 0);
        QCOMPARE(Control({QStringLiteral("poke"), RampRate, QStringLiteral("32")}).status, 0);
        QVERIFY(advise.waitForFinished(RunTimeoutMs));
        QCOMPARE(advise.exitCode(), 0);
        const QStringList lines = QString::fromLocal8Bit(advise.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.mid(1), QStringList({QStringLiteral("31"), QStringLiteral("32")}));
    }

    void adviseStopsAfterItsTime()
    {
        const Result result = Control({QStringLiteral("advise"), QStringLiteral("Run Mode"), QStringLiteral("--seconds"),
                                       QStringLiteral("0.2")});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.startsWith(QStringLiteral("0\n")) || result.out.startsWith(QStringLiteral("1\n")),
                 qPrintable(result.out));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");

        const QStringList control{Own, ServerProcess::Topic()};
        QTest::newRow("refused poke") << control + QStringList{QStringLiteral("poke"), RampRate, QStringLiteral("fast")}
                                      << 1 << "poke of \"C_START.RT_TO_MIN.IN\" failed";
        QTest::newRow("unknown item") << control + QStringList{QStringLiteral("request"), QStringLiteral("NO.SUCH.ITEM")}
                                      << 1 << "the server refused it";
        QTest::newRow("unknown command") << control + QStringList{QStringLiteral("execute"), QStringLiteral("Explode")}
                                         << 1 << "execute of \"Explode\" failed";
        QTest::newRow("no such topic") << QStringList{Own, QStringLiteral("none.net(X)"), QStringLiteral("items")} << 3
                                       << "cannot connect to URQVDatorel / none.net(X)";
        QTest::newRow("no such service") << QStringList{QStringLiteral("Nobody"), QStringLiteral("System"),
                                                        QStringLiteral("items")}
                                         << 3 << "cannot connect";
        QTest::newRow("unknown verb") << control + QStringList{QStringLiteral("fetch"), RampRate} << 2
                                      << "unknown verb \"fetch\"";
        QTest::newRow("missing value") << control + QStringList{QStringLiteral("poke"), RampRate} << 2
                                       << "poke takes 2 argument(s)";
        QTest::newRow("too few words") << QStringList{Own} << 2 << "usage: ddeq";
        QTest::newRow("bad count") << control + QStringList{QStringLiteral("advise"), RampRate, QStringLiteral("--count"),
                                                            QStringLiteral("none")}
                                   << 2 << "--count";
    }

    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        const Result result = Run(arguments);
        QCOMPARE(result.status, status);
        QCOMPARE(result.out, QString());
        QVERIFY2(result.err.startsWith(QStringLiteral("ddeq: ")) && result.err.contains(message), qPrintable(result.err));
    }

    void helpDescribesTheVerbs()
    {
        const Result result = Run({QStringLiteral("--help")});
        QCOMPARE(result.status, 0);
        for (const char* verb : {"request ITEM", "request-binary ITEM", "poke ITEM VALUE", "execute COMMAND",
                                 "advise ITEM", "items"})
            QVERIFY2(result.out.contains(QLatin1String(verb)), verb);
    }
};

QTEST_GUILESS_MAIN(TestDdeq)
#include "tst_ddeq.moc"
