// Tests force values and raise alarms through the System item "Simulate" of the
// real server; clients of the control topic see the result as from the control.
#include "tests/support/ServerProcess.h"
#include "tests/support/ServerTest.h"
#include "tests/support/TestDdeClient.h"

#include <QTest>

#include <memory>

namespace {

const QString Own = QStringLiteral("URQVDatorel");
constexpr int Patience = 20000; // how long a wait for an advise may last on a loaded machine

} // namespace

class TestSimulateThroughDde : public ServerTest {
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

    void forcedValueIsAdvised()
    {
        const QString item = QStringLiteral("I_STRK_V1.ACT1_MSG.MSG_SEL");
        QVERIFY(m_control->StartAdvise(item));
        QVERIFY(m_server->Simulate(QStringLiteral("set I_STRK_V1.ACT1_MSG.MSG_SEL=5")));
        QTRY_COMPARE_WITH_TIMEOUT(m_control->LastAdvised(item).value_or(QString()), QStringLiteral("5"), Patience);
        QCOMPARE(Text(*m_control, item), QStringLiteral("5"));
        QVERIFY(m_control->StopAdvise(item));
    }

    void configureItemIsForcedWhileRunning()
    {
        QVERIFY(m_server->Simulate(QStringLiteral("set C_APPL.TURB_TYPE.IN=3")));
        QCOMPARE(Text(*m_control, QStringLiteral("C_APPL.TURB_TYPE.IN")), QStringLiteral("3"));
        QCOMPARE(Text(*m_control, QStringLiteral("Run Mode")), QStringLiteral("0"));
        // The program itself still may not write it.
        QVERIFY(!m_control->Poke(QStringLiteral("C_APPL.TURB_TYPE.IN"), QStringLiteral("1")));
        QVERIFY(m_server->Simulate(QStringLiteral("set C_APPL.TURB_TYPE.IN=1")));
    }

    void alarmAndTripReachTheLists()
    {
        const QString count = QStringLiteral("Y_ALARMS.ALARMS.NUM_EVENTS");
        QVERIFY(m_control->StartAdvise(count));
        const int before = Text(*m_control, count).toInt();
        QVERIFY(m_server->Simulate(QStringLiteral("alarm Lube Oil Pressure Low")));
        QTRY_COMPARE_WITH_TIMEOUT(m_control->LastAdvised(count).value_or(QString()), QString::number(before + 1), Patience);
        QCOMPARE(Text(*m_control, QStringLiteral("Y_ALARMS.ALARMS.MSG_O_1")), QStringLiteral("Lube Oil Pressure Low"));
        QCOMPARE(Text(*m_control, QStringLiteral("X_EVENTLOG.A.MESG_O_1")), QStringLiteral("Lube Oil Pressure Low"));

        QVERIFY(m_server->Simulate(QStringLiteral("trip Low Hydraulic Pressure")));
        QCOMPARE(Text(*m_control, QStringLiteral("X_ELOG.T.MESG_O_1")), QStringLiteral("Low Hydraulic Pressure"));
        QVERIFY(!Text(*m_control, QStringLiteral("X_ELOG.T.EV_TM_1")).isEmpty());
        QCOMPARE(Text(*m_control, QStringLiteral("Y_ALARMS.ALARMS.MSG_O_1")), QStringLiteral("Low Hydraulic Pressure"));

        QVERIFY(m_server->Simulate(QStringLiteral("clear")));
        QTRY_COMPARE_WITH_TIMEOUT(m_control->LastAdvised(count).value_or(QString()), QStringLiteral("0"), Patience);
        QVERIFY(m_control->StopAdvise(count));
    }

    void refusedCommandFailsThePoke_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("unknown verb") << "explode";
        QTest::newRow("unknown item") << "set NO.SUCH.ITEM=1";
        QTest::newRow("bad number") << "set AA_MONITOR.SPEED.A_NAME=fast";
        QTest::newRow("alarm without text") << "alarm";
    }

    void refusedCommandFailsThePoke()
    {
        QFETCH(QString, command);
        TestDdeClient system(Own, QStringLiteral("System"));
        QVERIFY(system.Connected());
        QVERIFY(!system.Poke(QStringLiteral("Simulate"), command));
        QCOMPARE(system.LastError(), UINT(DMLERR_NOTPROCESSED));
    }

    void linkServiceTakesItToo()
    {
        TestDdeClient link(QStringLiteral("Datorel"), QStringLiteral("System"));
        QVERIFY(link.Connected());
        QVERIFY(link.Poke(QStringLiteral("Simulate"), QStringLiteral("set J_MISC.FSP.A_NAME=123.5")));
        QCOMPARE(Text(*m_control, QStringLiteral("J_MISC.FSP.A_NAME")), QStringLiteral("123.5"));
    }
};

QTEST_MAIN(TestSimulateThroughDde)
#include "tst_simulate.moc"
