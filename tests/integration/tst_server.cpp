// urqvdatorel answers every service, topic, item and command the program relies
// on, and refuses what a control refuses.
#include "platform/process/winproc.h"
#include "platform/registry/winreg.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/ServerTest.h"
#include "tests/support/TestDdeClient.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>

#include <memory>

namespace {

const QString Link = QStringLiteral("Datorel");
const QString Own = QStringLiteral("URQVDatorel");
const QString System = QStringLiteral("System");
const QString RampRate = QStringLiteral("C_START.RT_TO_MIN.IN"); // tunable real, 0.1 .. 1000

bool WriteFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

class TestServerInterface : public ServerTest {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(StartServer(), qPrintable(ServerOutput()));
    }

    void cleanupTestCase()
    {
        StopServer();
    }

    void bothServicesAnswerOnSystem()
    {
        QVERIFY(TestDdeClient(Link, System).Connected());
        QVERIFY(TestDdeClient(Own, QStringLiteral("system")).Connected());
        QVERIFY(TestDdeClient(QStringLiteral("urqvdatorel"), System).Connected());
        QVERIFY(!TestDdeClient(Link, QStringLiteral("Nonsense")).Connected());
    }

    // Counts the System conversations: a client's two, and one more for each other client.
    void conversationCountFollowsSystemConversations()
    {
        TestDdeClient asking(Own, System);
        QTRY_COMPARE(Text(asking, QStringLiteral("Conversation Count")), QStringLiteral("1"));
        {
            TestDdeClient link(Link, System);
            QVERIFY(link.Connected());
            QTRY_COMPARE(Text(asking, QStringLiteral("Conversation Count")), QStringLiteral("2"));
            TestDdeClient control(Own, ServerProcess::Topic());
            QVERIFY(control.Connected());
            TestDdeClient other(Link, System);
            QTRY_COMPARE(Text(asking, QStringLiteral("Conversation Count")), QStringLiteral("3"));
        }
        QTRY_COMPARE(Text(asking, QStringLiteral("Conversation Count")), QStringLiteral("1"));
    }

    void controlTopicsBelongToTheServersOwnService()
    {
        QVERIFY(!TestDdeClient(Link, ServerProcess::Topic()).Connected());
        QVERIFY(TestDdeClient(Own, ServerProcess::Topic().toUpper()).Connected());
    }

    void openingANetworkFileOpensItsTopics()
    {
        const QString path = m_server->WorkFolder() + QStringLiteral("/plant.net");
        QFile::remove(path);
        QVERIFY(QFile::copy(ServerProcess::DefaultNetwork(), path));
        // The copy's databases are found in the server's own folder; give it a store of its own.
        QByteArray text;
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            text = file.readAll();
        }
        text.replace("store = 4812-Dflt Control ID.store", "store = plant.store");
        QVERIFY(WriteFile(path, text));
        const QString topic = QStringLiteral("plant.net(Dflt Control ID)");
        QVERIFY(!TestDdeClient(Own, topic).Connected());

        TestDdeClient link(Link, System);
        QVERIFY(link.Execute(QStringLiteral("[open(\"%1\")]").arg(path)));
        TestDdeClient plant(Own, topic);
        QVERIFY(plant.Connected());
        QCOMPARE(Text(plant, QStringLiteral("Control Status")), QStringLiteral("1"));
        // Opening it again changes nothing.
        QVERIFY(link.Execute(QStringLiteral("[open(\"%1\")]").arg(path)));
        TestDdeClient system(Own, System);
        const QStringList topics = Text(system, QStringLiteral("Topics")).split(u'\t');
        QCOMPARE(topics.count(topic), 1);
        QVERIFY(topics.contains(ServerProcess::Topic()));
    }

    void malformedNetworkFileIsRefusedAndOpensNothing()
    {
        const QString path = m_server->WorkFolder() + QStringLiteral("/broken.net");
        QVERIFY(WriteFile(path, "[control Good]\ndatabase = db/4812-run.items\nstore = none\n"
                                "[control Bad]\ncolour = red\n"));
        TestDdeClient link(Link, System);
        QVERIFY(!link.Execute(QStringLiteral("[open(\"%1\")]").arg(path)));
        QCOMPARE(link.LastError(), DMLERR_NOTPROCESSED);
        QVERIFY(!TestDdeClient(Own, QStringLiteral("broken.net(Good)")).Connected());
        QTRY_VERIFY(m_server->Output().contains(path + QStringLiteral(":5: unknown setting")));

        QVERIFY(!link.Execute(QStringLiteral("[open(\"/no/such/file.net\")]")));
        QVERIFY(!link.Execute(QStringLiteral("[close(\"x.net\")]")));
    }

    void valueItemsAreRequestedPokedAndAdvised()
    {
        QVERIFY(m_control->StartAdvise(RampRate));
        // A new advise loop starts with the current value.
        QTRY_VERIFY(m_control->LastAdvised(RampRate).has_value());
        QCOMPARE(Last(*m_control, RampRate), Text(*m_control, RampRate));

        QVERIFY(m_control->Poke(RampRate, QStringLiteral("12.5")));
        QTRY_COMPARE(Last(*m_control, RampRate), QStringLiteral("12.5"));
        QCOMPARE(Text(*m_control, RampRate.toLower()), QStringLiteral("12.5"));
        // Writing the same value again is advised again: editors wait for it.
        const int received = m_control->Advised(RampRate).size();
        QVERIFY(m_control->Poke(RampRate, QStringLiteral("12.5")));
        QTRY_COMPARE(m_control->Advised(RampRate).size(), received + 1);
        QVERIFY(m_control->StopAdvise(RampRate));
    }

    void mutableItemListNamesTheChangeableItems()
    {
        const auto list = m_control->RequestText(QStringLiteral("MutableItemList"));
        QVERIFY(list.has_value());
        const QStringList names = list->split(u'\t');
        QVERIFY(names.size() > 100);
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
        QVERIFY(names.contains(RampRate));
        QVERIFY(names.contains(QStringLiteral("C_APPL.TURB_TYPE.IN")));
        QVERIFY(!names.contains(QStringLiteral("Z_CPU_COM.EN_CONFIG.OR")));
        QVERIFY(!names.contains(QString()));
        // Stable order.
        QCOMPARE(Text(*m_control, QStringLiteral("MutableItemList")), *list);
    }

    void statusWordsOfARunningControl()
    {
        QCOMPARE(Text(*m_control, QStringLiteral("Run Mode")), QStringLiteral("0"));
        QCOMPARE(Text(*m_control, QStringLiteral("Control Status")), QStringLiteral("1"));
        QCOMPARE(Text(*m_control, QStringLiteral("ENABLE RG BLOCKS")), QStringLiteral("1"));
        QVERIFY(!m_control->RequestText(QStringLiteral("Application ID")).value_or(QString()).isEmpty());
        QVERIFY(!m_control->RequestText(QStringLiteral("System ID")).value_or(QString()).isEmpty());
        QVERIFY(m_control->RequestText(QStringLiteral("Configuration ID")).has_value());
    }

    void symbolInformation_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("tunable real") << RampRate << QByteArray("\x02\x20" "0.1\0" "1000\0", 11);
        QTest::newRow("configure enum") << "C_APPL.TURB_TYPE.IN" << QByteArray("\x03\x03" "1\0" "5\0", 6);
        QTest::newRow("monitor boolean") << "Z_CPU_COM.EN_CONFIG.OR" << QByteArray("\x01\x01" "0\0" "1\0", 6);
        QTest::newRow("monitor time") << "MAIN.SYS_TIME.T_NAME" << QByteArray("\x01\x40\0\0", 4);
        QTest::newRow("configure string") << "CUSTOMSTRING_1" << QByteArray("\x03\x50\0\0", 4);
    }

    void symbolInformation()
    {
        QFETCH(QString, item);
        QFETCH(QByteArray, bytes);
        QCOMPARE(m_control->Request(item, CF_PRIVATEFIRST).value_or(QByteArray("<failed>")), bytes);
    }

    void unknownItemsFail()
    {
        const QString unknown = QStringLiteral("NO_SUCH.ITEM.IN");
        QVERIFY(!m_control->RequestText(unknown));
        QCOMPARE(m_control->LastError(), DMLERR_NOTPROCESSED);
        QVERIFY(!m_control->StartAdvise(unknown));
        QVERIFY(!m_control->Poke(unknown, QStringLiteral("1")));
        QVERIFY(!m_control->Request(unknown, CF_PRIVATEFIRST));
        QVERIFY(!m_control->Execute(QStringLiteral("Explode")));
    }

    void refusedPokesLeaveTheValue_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("value");
        QTest::newRow("monitor") << "Z_CPU_COM.EN_CONFIG.OR" << "0";
        QTest::newRow("configure item while running") << "C_APPL.TURB_TYPE.IN" << "2";
        QTest::newRow("not a number") << RampRate << "fast";
        QTest::newRow("below the minimum") << RampRate << "0.05";
        QTest::newRow("enum beyond its list") << "Z_CPU_COM.BAUD_B.IN_3" << "11";
        QTest::newRow("server's status word") << "Control Status" << "0";
        QTest::newRow("result item") << "SaveValues.Result" << "0";
    }

    void refusedPokesLeaveTheValue()
    {
        QFETCH(QString, item);
        QFETCH(QString, value);
        const QString before = Text(*m_control, item);
        QVERIFY(before != QLatin1String("<failed>"));
        QVERIFY(!m_control->Poke(item, value));
        QCOMPARE(m_control->LastError(), DMLERR_NOTPROCESSED);
        QCOMPARE(Text(*m_control, item), before);
    }

    void rangeCheckingOffLetsValuesOutsideTheLimitsIn()
    {
        QVERIFY(m_control->Poke(QStringLiteral("Enable RG Blocks"), QStringLiteral("0")));
        QCOMPARE(Text(*m_control, QStringLiteral("Enable RG Blocks")), QStringLiteral("0"));
        QVERIFY(m_control->Poke(RampRate, QStringLiteral("2000")));
        QCOMPARE(Text(*m_control, RampRate), QStringLiteral("2000"));
        // The type is still checked.
        QVERIFY(!m_control->Poke(RampRate, QStringLiteral("fast")));
        QVERIFY(m_control->Poke(QStringLiteral("Enable RG Blocks"), QStringLiteral("-1")));
        QVERIFY(!m_control->Poke(RampRate, QStringLiteral("2001")));
        QVERIFY(m_control->Poke(RampRate, QStringLiteral("25")));
    }

    void configurationIdIsWritable()
    {
        QVERIFY(m_control->Poke(QStringLiteral("Configuration ID"), QStringLiteral("Unit3")));
        QCOMPARE(Text(*m_control, QStringLiteral("Configuration ID")), QStringLiteral("Unit3"));
        QVERIFY(!m_control->Poke(QStringLiteral("System ID"), QStringLiteral("x")));
    }

    void buildRegistersTheServer()
    {
        qputenv("XDG_CONFIG_DIRS", QByteArrayLiteral(TURVISTA_BINARY_DIR "/xdg"));
        HKEY key = nullptr;
        QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrane\\DDE Servers\\urqvdatorel", 0,
                               KEY_QUERY_VALUE, &key),
                 ERROR_SUCCESS);
        char path[256] = {};
        DWORD size = sizeof path;
        const LSTATUS status = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(path), &size);
        RegCloseKey(key);
        QCOMPARE(status, ERROR_SUCCESS);
        QCOMPARE(QString::fromLocal8Bit(path), ServerProcess::ServerExecutable());
    }

    // Last: the server goes away.
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
};

QTEST_GUILESS_MAIN(TestServerInterface)
#include "tst_server.moc"
