// The server's test faults, as a client sees them: refused, unanswered and slow
// transactions, and a server that dies in the middle of one.
#include "tests/support/ServerProcess.h"
#include "tests/support/ServerTest.h"
#include "tests/support/TestDdeClient.h"

#include <QTest>

#include <memory>

namespace {

const QString Own = QStringLiteral("URQVDatorel");
const QString RampRate = QStringLiteral("C_START.RT_TO_MIN.IN");
const QString Status = QStringLiteral("Control Status");
const QString RunMode = QStringLiteral("Run Mode");

// Long enough for any answer the server gives at once, short enough to keep the test quick.
constexpr int NoAnswerWaitMs = 300;
// A reply held back this long cannot come within NoAnswerWaitMs.
constexpr int SlowReplyMs = 800;

} // namespace

class TestServerFaults : public ServerTest {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(StartServer(), qPrintable(ServerOutput()));
    }

    void cleanup()
    {
        StopServer();
    }

    void refusedItemFailsEveryTransaction()
    {
        QVERIFY(m_server->SetFaults(QStringLiteral("refuse=") + RampRate));
        QVERIFY(!m_control->RequestText(RampRate));
        QCOMPARE(m_control->LastError(), DMLERR_NOTPROCESSED);
        QVERIFY(!m_control->Poke(RampRate, QStringLiteral("30")));
        QVERIFY(!m_control->StartAdvise(RampRate));
        QVERIFY(!m_control->Request(RampRate, CF_PRIVATEFIRST));
        // Other items go on working.
        QCOMPARE(Text(*m_control, RunMode), QStringLiteral("0"));

        QVERIFY(m_server->SetFaults(QString()));
        QVERIFY(m_control->Poke(RampRate, QStringLiteral("30")));
        QCOMPARE(Text(*m_control, RampRate), QStringLiteral("30"));
    }

    void refusedCommandFails()
    {
        QVERIFY(m_server->SetFaults(QStringLiteral("refuse=SaveValues")));
        QVERIFY(!m_control->Execute(QStringLiteral("SaveValues")));
        QVERIFY(m_control->Execute(QStringLiteral("Shutdown")));
    }

    void silentControlStatusIsNeverAnswered()
    {
        QVERIFY(m_server->SetFaults(QStringLiteral("silent=Control Status")));
        QVERIFY(!m_control->RequestText(Status, NoAnswerWaitMs));
        QCOMPARE(m_control->LastError(), DMLERR_DATAACKTIMEOUT);
        // The conversation itself is fine.
        QVERIFY(!m_control->Disconnected());
        QCOMPARE(Text(*m_control, RunMode), QStringLiteral("0"));
    }

    void everythingSilent()
    {
        QVERIFY(m_server->SetFaults(QStringLiteral("silent=*")));
        QVERIFY(!m_control->Poke(RampRate, QStringLiteral("30"), NoAnswerWaitMs));
        QCOMPARE(m_control->LastError(), DMLERR_POKEACKTIMEOUT);
        QVERIFY(!m_control->Execute(QStringLiteral("Shutdown"), NoAnswerWaitMs));
        QCOMPARE(m_control->LastError(), DMLERR_EXECACKTIMEOUT);
        QVERIFY(!m_control->StartAdvise(RampRate, NoAnswerWaitMs));
        QCOMPARE(m_control->LastError(), DMLERR_ADVACKTIMEOUT);
        // The System topic is not a control topic and still answers.
        TestDdeClient system(Own, QStringLiteral("System"));
        QVERIFY(system.RequestText(QStringLiteral("Conversation Count")).has_value());
    }

    void slowRepliesComeLate()
    {
        QVERIFY(m_server->SetFaults(QStringLiteral("slow=%1:Run Mode").arg(SlowReplyMs)));
        QVERIFY(!m_control->RequestText(RunMode, NoAnswerWaitMs));
        QCOMPARE(m_control->LastError(), DMLERR_DATAACKTIMEOUT);
        // Waiting long enough gets the answer.
        QCOMPARE(Text(*m_control, RunMode), QStringLiteral("0"));
    }

    void serverDiesInTheMiddleOfATransaction()
    {
        QVERIFY(m_server->SetFaults(QStringLiteral("die=") + RampRate));
        QVERIFY(!m_control->Poke(RampRate, QStringLiteral("30")));
        QCOMPARE(m_control->LastError(), DMLERR_SERVER_DIED);
        QTRY_VERIFY(m_control->Disconnected());
        QVERIFY(m_server->WaitForExit());
        QVERIFY(m_server->Crashed());
        // A new server takes over the dead one's services.
        QVERIFY2(m_server->Start(), qPrintable(m_server->Output()));
    }

    void malformedFaultsAreRefused()
    {
        TestDdeClient system(Own, QStringLiteral("System"));
        QVERIFY(system.Poke(QStringLiteral("Faults"), QStringLiteral("silent=Run Mode")));
        QVERIFY(!system.Poke(QStringLiteral("Faults"), QStringLiteral("explode=*")));
        QCOMPARE(Text(system, QStringLiteral("Faults")), QStringLiteral("silent=Run Mode"));
    }

    void faultsFromTheCommandLine()
    {
        StopServer();
        ServerProcess::Options options;
        options.faults = QStringLiteral("refuse=Run Mode");
        QVERIFY2(StartServer(options), qPrintable(ServerOutput()));
        QVERIFY(!m_control->RequestText(RunMode));
        QCOMPARE(Text(*m_control, Status), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TestServerFaults)
#include "tst_server_faults.moc"
