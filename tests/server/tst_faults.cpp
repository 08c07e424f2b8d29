// The test-fault rules: what they match, and malformed rules refused.
#include "server/Faults.h"

#include <QTest>

class TestFaults : public QObject {
    Q_OBJECT

private slots:
    void rulesMatchTheirItems()
    {
        TFaults faults;
        QString error;
        QVERIFY2(faults.Set(QStringLiteral(" silent=Control Status ; refuse=c_start.rt_to_min.in;"
                                           "slow=250:Run Mode;slow=40;die=SaveValues"),
                            &error),
                 qPrintable(error));
        QVERIFY(faults.IsSilent(QStringLiteral("CONTROL STATUS")));
        QVERIFY(!faults.IsSilent(QStringLiteral("Run Mode")));
        QVERIFY(faults.IsRefused(QStringLiteral("C_START.RT_TO_MIN.IN")));
        QVERIFY(!faults.IsRefused(QStringLiteral("C_START.RT_TO_MIN")));
        QCOMPARE(faults.DelayFor(QStringLiteral("run mode")), 250);
        QCOMPARE(faults.DelayFor(QStringLiteral("ANY.OTHER.ITEM")), 40);
        QVERIFY(faults.DiesOn(QStringLiteral("savevalues")));
        QVERIFY(!faults.DiesOn(QStringLiteral("Reset")));
        QVERIFY(!faults.DiesInStore());
    }

    void starMatchesEverything()
    {
        TFaults faults;
        QString error;
        QVERIFY(faults.Set(QStringLiteral("refuse=*;die-in-store"), &error));
        QVERIFY(faults.IsRefused(QStringLiteral("Anything")));
        QVERIFY(faults.DiesInStore());
        QVERIFY(faults.Set(QString(), &error));
        QVERIFY(!faults.IsRefused(QStringLiteral("Anything")));
        QVERIFY(!faults.DiesInStore());
        QCOMPARE(faults.DelayFor(QStringLiteral("Anything")), 0);
    }

    void malformedRulesKeepTheOldOnes_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::newRow("unknown fault") << "explode=*";
        QTest::newRow("no item") << "silent=";
        QTest::newRow("no item, no =") << "refuse";
        QTest::newRow("delay not a number") << "slow=soon";
        QTest::newRow("negative delay") << "slow=-5";
        QTest::newRow("delay too long") << "slow=3600000";
        QTest::newRow("argument to die-in-store") << "die-in-store=now";
        QTest::newRow("one bad rule among good") << "silent=A.B.C;bogus";
    }

    void malformedRulesKeepTheOldOnes()
    {
        QFETCH(QString, rules);
        TFaults faults;
        QString error;
        QVERIFY(faults.Set(QStringLiteral("silent=Control Status"), &error));
        QVERIFY(!faults.Set(rules, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(faults.Text(), QStringLiteral("silent=Control Status"));
        QVERIFY(faults.IsSilent(QStringLiteral("Control Status")));
        QVERIFY(!faults.IsSilent(QStringLiteral("A.B.C")));
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
