// urqvdatorel over the real transport: its services, topics and items, its
// command results and a server dying mid-transaction, as a client sees them.
#include "platform/process/winproc.h"
#include "tests/support/ServerTest.h"
#include "tests/support/TestRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Link = QStringLiteral("Datorel");
const QString Own = QStringLiteral("URQVDatorel");
const QString System = QStringLiteral("System");
const QString RampRate = QStringLiteral("C_START.RT_TO_MIN.IN"); // tunable real, 0.1 .. 1000
const QString TurbineType = QStringLiteral("C_APPL.TURB_TYPE.IN"); // configure enum 1 .. 5

bool WriteFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

class TestServerInterface : public ServerTest {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(StartServer(), qPrintable(ServerOutput())); }
    void cleanupTestCase() { StopServer(); }

    // Both services answer on System; control topics belong to the server's own service.
    void servicesAndTopics()
    {
        QVERIFY(TestDdeClient(Link, System).Connected());
        QVERIFY(TestDdeClient(QStringLiteral("urqvdatorel"), QStringLiteral("system")).Connected());
        QVERIFY(!TestDdeClient(Link, QStringLiteral("Nonsense")).Connected());
        QVERIFY(!TestDdeClient(Link, ServerProcess::Topic()).Connected());
        QVERIFY(TestDdeClient(Own, ServerProcess::Topic().toUpper()).Connected());
    }

    // Counts every client conversation, on System or on a control's topic.
    void conversationCountCountsEveryConversation()
    {
        TestDdeClient asking(Own, System);
        const auto count = [&] { return Text(asking, QStringLiteral("Conversation Count")).toInt(); };
        const int before = count(); // this one and the fixture's on the control topic
        QCOMPARE(before, 2);
        {
            TestDdeClient link(Link, System);
            QTRY_COMPARE(count(), before + 1);
            TestDdeClient control(Own, ServerProcess::Topic());
            QTRY_COMPARE(count(), before + 2);
        }
        QTRY_COMPARE(count(), before);
    }

    void openingANetworkFileOpensItsTopics()
    {
        // A copy of the bundled network: its databases are found in the server's own folder.
        const QString path = m_server->WorkFolder() + QStringLiteral("/plant.net");
        QFile bundled(ServerProcess::DefaultNetwork());
        QVERIFY(bundled.open(QIODevice::ReadOnly));
        QVERIFY(WriteFile(path, bundled.readAll().replace("store = 4812-Dflt Control ID.store", "store = plant.store")));
        const QString topic = QStringLiteral("plant.net(Dflt Control ID)");
        QVERIFY(!TestDdeClient(Own, topic).Connected());

        TestDdeClient link(Link, System);
        QVERIFY(link.Execute(QStringLiteral("[open(\"%1\")]").arg(path)));
        TestDdeClient plant(Own, topic);
        QCOMPARE(Text(plant, QStringLiteral("Control Status")), QStringLiteral("1"));
        // Opening it again changes nothing.
        QVERIFY(link.Execute(QStringLiteral("[open(\"%1\")]").arg(path)));
        TestDdeClient system(Own, System);
        const QStringList topics = Text(system, QStringLiteral("Topics")).split(u'\t');
        QCOMPARE(topics.count(topic), 1);
        QVERIFY(topics.contains(ServerProcess::Topic()));
    }

    // A file that cannot be read opens nothing, and the server never waits on
    // it: other clients are still answered.
    void unreadableNetworkFilesAreRefused_data()
    {
        QTest::addColumn<QString>("path"); // %1: a work folder holding "fifo", "big.net" and "folder"
        QTest::addColumn<QString>("logged");
        QTest::newRow("missing") << "/no/such/file.net" << "No such file";
        QTest::newRow("endless device") << "/dev/zero" << "not a regular file";
        QTest::newRow("FIFO with no writer") << "%1/fifo" << "not a regular file";
        QTest::newRow("folder") << "%1/folder" << "a folder";
        QTest::newRow("too large") << "%1/big.net" << "larger than";
        QTest::newRow("database is a FIFO") << "%1/fifo-db.net" << "fifo: cannot read the control database: it is not";
    }
    void unreadableNetworkFilesAreRefused()
    {
        QFETCH(QString, path);
        QFETCH(QString, logged);
        const QString work = m_server->WorkFolder() + QStringLiteral("/odd");
        QVERIFY(QDir().mkpath(work + QStringLiteral("/folder")));
        QVERIFY(QFile::exists(work + QStringLiteral("/fifo")) || ::mkfifo(QFile::encodeName(work + "/fifo").constData(), 0600) == 0);
        QFile big(work + QStringLiteral("/big.net"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(64 << 20)); // sparse
        QVERIFY(WriteFile(work + QStringLiteral("/fifo-db.net"), "[control X]\ndatabase = fifo\nstore = none\n"));

        TestDdeClient link(Link, System);
        QVERIFY(!link.Execute(QStringLiteral("[open(\"%1\")]").arg(path.arg(work))));
        QCOMPARE(link.LastError(), DMLERR_NOTPROCESSED);
        TestDdeClient other(Own, System);
        QVERIFY(Text(other, QStringLiteral("Conversation Count")).toInt() > 0);
        QTRY_VERIFY2(ServerOutput().contains(logged), qPrintable(ServerOutput()));
    }

    // A socket folder others could reach is never used, and the server says why.
    void unsafeSocketFolderIsNamed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("open to all") << "0755" << "may be opened by others (mode 0755, it must be 0700)";
        QTest::newRow("open to the group") << "0770" << "may be opened by others (mode 0770, it must be 0700)";
        QTest::newRow("symbolic link") << "link" << "is a symbolic link";
        QTest::newRow("another owner") << "owner" << "belongs to another user";
    }
    void unsafeSocketFolderIsNamed()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        if (kind == "owner" && ::geteuid() != 0)
            QSKIP("only the superuser can give a folder away");
        QTemporaryDir work;
        const QString folder = work.filePath("dde");
        const QByteArray name = QFile::encodeName(folder);
        QVERIFY(QDir().mkdir(kind == "link" ? work.filePath("private") : folder));
        if (kind == "link")
            QVERIFY(::chmod(QFile::encodeName(work.filePath("private")).constData(), 0700) == 0
                    && ::symlink("private", name.constData()) == 0);
        else if (kind == "owner")
            QVERIFY(::chmod(name.constData(), 0700) == 0 && ::chown(name.constData(), 65534, 65534) == 0);
        else
            QVERIFY(::chmod(name.constData(), mode_t(kind.toUInt(nullptr, 8))) == 0);

        QProcess server;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TURVISTA_DDE_DIR", folder);
        server.setProcessEnvironment(environment);
        server.start(TURVISTA_SERVER_EXE, {"--state-dir", work.filePath("state"), ServerProcess::DefaultNetwork()});
        QVERIFY(server.waitForFinished(10000));
        QVERIFY(server.exitCode() != 0);
        const QString said = QString::fromLocal8Bit(server.readAllStandardError());
        QVERIFY2(said.contains("the socket folder " + folder + " " + reason), qPrintable(said));
    }

    void valueItemsAreRequestedPokedAndAdvised()
    {
        QVERIFY(m_control->StartAdvise(RampRate));
        // A new advise loop starts with the current value.
        QTRY_COMPARE(Last(*m_control, RampRate), Text(*m_control, RampRate));
        QVERIFY(m_control->Poke(RampRate, QStringLiteral("12.5")));
        QTRY_COMPARE(Last(*m_control, RampRate), QStringLiteral("12.5"));
        QCOMPARE(Text(*m_control, RampRate.toLower()), QStringLiteral("12.5"));
        // Writing the same value again is advised again: editors wait for it.
        const qsizetype received = m_control->Advised(RampRate).size();
        QVERIFY(m_control->Poke(RampRate, QStringLiteral("12.5")));
        QTRY_COMPARE(m_control->Advised(RampRate).size(), received + 1);
        QVERIFY(m_control->StopAdvise(RampRate));

        const QStringList names = Text(*m_control, QStringLiteral("MutableItemList")).split(u'\t');
        QVERIFY(names.size() > 500);
        QVERIFY(names.contains(RampRate) && names.contains(TurbineType));
        QVERIFY(!names.contains(QStringLiteral("Z_CPU_COM.EN_CONFIG.OR")));
    }

    void refusedTransactionsFail_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("value");
        QTest::newRow("monitor") << "Z_CPU_COM.EN_CONFIG.OR" << "0";
        QTest::newRow("configure item while running") << TurbineType << "2";
        QTest::newRow("below the minimum") << RampRate << "0.05";
        QTest::newRow("unknown item") << "NO_SUCH.ITEM.IN" << "1";
    }
    void refusedTransactionsFail()
    {
        QFETCH(QString, item);
        QFETCH(QString, value);
        const QString before = Text(*m_control, item);
        QVERIFY(!m_control->Poke(item, value));
        QCOMPARE(m_control->LastError(), DMLERR_NOTPROCESSED);
        QCOMPARE(Text(*m_control, item), before);
        QCOMPARE(m_control->StartAdvise(item), before != QLatin1String("<failed>"));
        m_control->StopAdvise(item);
    }

    // Leaves the control in configure mode.
    void resultItemReadsEmptyUntilTheCommandIsDone()
    {
        const QString result = QStringLiteral("Shutdown.Result");
        QVERIFY(m_control->StartAdvise(result));
        QTRY_COMPARE(Last(*m_control, result), QString());
        QVERIFY(m_control->Execute(QStringLiteral("Shutdown")));
        QTRY_COMPARE(Last(*m_control, result), QStringLiteral("0"));
        // A second command clears the earlier result before giving its own.
        QVERIFY(m_control->Execute(QStringLiteral("Shutdown")));
        QTRY_COMPARE(m_control->Advised(result), QStringList({QString(), QStringLiteral("0"), QString(), QStringLiteral("0")}));
        QCOMPARE(Text(*m_control, QStringLiteral("Run Mode")), QStringLiteral("1"));
    }

    // The server goes away.
    void holdsItsWindowAndClosesOnWmClose()
    {
        const HWND window = FindWindowA("Datorel Server", nullptr);
        QVERIFY(window);
        QVERIFY(PostMessageA(window, WM_CLOSE, 0, 0));
        QVERIFY(m_server->WaitForExit());
        QVERIFY(!m_server->Crashed());
        QCOMPARE(m_server->ExitCode(), 0);
        QVERIFY(!FindWindowA("Datorel Server", nullptr));
        QTRY_VERIFY(m_control->Disconnected());
    }

    // On a server of its own, which dies.
    void serverDiesInTheMiddleOfATransaction()
    {
        QVERIFY2(StartServer(), qPrintable(ServerOutput()));
        QVERIFY(m_server->SetFaults(QStringLiteral("die=") + RampRate));
        QVERIFY(!m_control->Poke(RampRate, QStringLiteral("30")));
        QCOMPARE(m_control->LastError(), DMLERR_SERVER_DIED);
        QTRY_VERIFY(m_control->Disconnected());
        QVERIFY(m_server->WaitForExit());
        QVERIFY(m_server->Crashed());
        // A new server takes over the dead one's services.
        QVERIFY2(StartServer(), qPrintable(ServerOutput()));
    }
};

TURVISTA_TEST_GUILESS_MAIN(TestServerInterface)
#include "tst_server.moc"
