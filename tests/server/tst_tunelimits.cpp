// The limits the control publishes for each tunable "<prefix>.TUNE": its own
// limits, narrowed by the values it must stay on the right side of.
#include "server/SimulatedControl.h"

#include <QTest>

namespace {

std::unique_ptr<TSimulatedControl> BundledControl()
{
    TControlDefinition definition;
    definition.id = QStringLiteral("Dflt Control ID");
    definition.databases = {QStringLiteral(TURVISTA_SOURCE_DIR "/server/db/4812-run.items"),
                            QStringLiteral(TURVISTA_SOURCE_DIR "/server/db/4812-config.items")};
    QString error;
    auto control = TSimulatedControl::Create(definition, &error);
    if (!control)
        qWarning("%s", qPrintable(error));
    return control;
}

} // namespace

class TestTuneLimits : public QObject {
    Q_OBJECT

private slots:
    void everyTunableHasItsLimitItems()
    {
        auto control = BundledControl();
        QVERIFY(control);
        int tunables = 0;
        for (const TItemDefinition& item : control->Database().Items()) {
            if (!item.name.endsWith(QLatin1String(".TUNE")))
                continue;
            ++tunables;
            const QString prefix = item.name.chopped(5);
            for (const QString& limit : {prefix + QStringLiteral(".LO_LIM_OUT"), prefix + QStringLiteral(".HI_LIM_OUT")}) {
                const TItemDefinition* found = control->Database().Find(limit);
                QVERIFY2(found, qPrintable(limit));
                QCOMPARE(int(found->itemClass), int(TItemClass::Monitor));
            }
            // Inside the item's own limits, never an empty range.
            const double low = control->Number(prefix + QStringLiteral(".LO_LIM_OUT"));
            const double high = control->Number(prefix + QStringLiteral(".HI_LIM_OUT"));
            QVERIFY2(low >= item.min.toDouble() && high <= item.max.toDouble() && low <= high, qPrintable(item.name));
        }
        QVERIFY(tunables > 200);
    }

    void limitsFollowTheValuesTheyDependOn_data()
    {
        QTest::addColumn<QString>("changed");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");

        QTest::newRow("hot delay not above the cold one")
            << "C_AUTOSEQ.LO_DLY_C.TUNE" << "20" << "C_AUTOSEQ.LO_DLY_H.HI_LIM_OUT" << "30" << "20";
        QTest::newRow("rated not below idle") << "C_IDLE_RTD.IDLE_SETPT.TUNE" << "1200"
                                              << "C_IDLE_RTD.RTD_SETPT.LO_LIM_OUT" << "1000" << "1200";
        QTest::newRow("rated not above the governor range") << "C_SPDSETPT.MAX_GOV_SP.TUNE" << "3700"
                                                            << "C_IDLE_RTD.RTD_SETPT.HI_LIM_OUT" << "3780" << "3700";
        QTest::newRow("second band above the first") << "C_CRIT_SPD.BAND1_MAX.TUNE" << "2300"
                                                     << "C_CRIT_SPD.BAND2_MIN.LO_LIM_OUT" << "2200" << "2300";
        QTest::newRow("values out of order leave the own limits")
            << "C_CRIT_SPD.BAND1_MAX.TUNE" << "3500" << "C_CRIT_SPD.BAND2_MIN.LO_LIM_OUT" << "2200" << "0";
        QTest::newRow("unrelated item keeps its own limits") << "C_SPDSETPT.MAX_GOV_SP.TUNE" << "3700"
                                                             << "I_STRK_V1.MANL_HOLD.HI_LIM_OUT" << "100" << "100";
    }

    void limitsFollowTheValuesTheyDependOn()
    {
        QFETCH(QString, changed);
        QFETCH(QString, value);
        QFETCH(QString, limit);
        QFETCH(QString, before);
        QFETCH(QString, after);
        auto control = BundledControl();
        QVERIFY(control);
        QCOMPARE(control->Request(limit).value_or(QStringLiteral("<none>")), before);
        QStringList advised;
        control->valueChanged = [&](const QString& name) { advised.append(name); };
        QCOMPARE(control->Poke(changed, value), TSimulatedControl::TPokeResult::Accepted);
        QCOMPARE(control->Request(limit).value_or(QStringLiteral("<none>")), after);
        QCOMPARE(advised.contains(limit), before != after);
    }
};

QTEST_GUILESS_MAIN(TestTuneLimits)
#include "tst_tunelimits.moc"
