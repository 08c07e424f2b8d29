// Reading control database files: items, and refusals that name the file and line.
#include "server/ControlDatabase.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QString ServerDb = QStringLiteral(TURVISTA_SOURCE_DIR "/server/db/");

} // namespace

class TestControlDatabase : public QObject {
    Q_OBJECT

private slots:
    void readsItemsInOrder()
    {
        TControlDatabase database;
        QString error;
        const QString text = QStringLiteral(
            "# comment\n"
            "\n"
            "c_start.rt_to_min.in | Tunable | real | 0 | 100.0 | 25.0 | Ramp rate, rpm/min | note\n"
            "  Z.SPEED.A  |monitor|integer| | | -3 |\n"
            "C_APPL.TURB_TYPE.IN | configure | enum | 1 | 5 | 2\r\n");
        QVERIFY2(database.LoadText(text, QStringLiteral("x.items"), &error), qPrintable(error));
        QCOMPARE(database.Items().size(), 3);

        const TItemDefinition* rate = database.Find(QStringLiteral("C_START.RT_TO_MIN.IN"));
        QVERIFY(rate);
        QCOMPARE(rate->name, QStringLiteral("C_START.RT_TO_MIN.IN"));
        QCOMPARE(rate->itemClass, TItemClass::Tunable);
        QCOMPARE(rate->type, TItemType::Real);
        QCOMPARE(rate->max, QStringLiteral("100.0"));
        QCOMPARE(rate->defaultValue, QStringLiteral("25"));
        // The comment is the rest of the line, '|' included.
        QCOMPARE(rate->comment, QStringLiteral("Ramp rate, rpm/min | note"));
        QCOMPARE(rate->line, 3);

        QCOMPARE(database.Find(QStringLiteral("z.speed.a"))->defaultValue, QStringLiteral("-3"));
        QCOMPARE(database.Items().at(2).name, QStringLiteral("C_APPL.TURB_TYPE.IN"));
        QVERIFY(!database.Find(QStringLiteral("C_START.RT_TO_MIN")));
    }

    void refusesMalformedLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("message");

        QTest::newRow("too few fields") << "A.B.C | tunable | real | 0 | 1" << "expected NAME";
        QTest::newRow("blank in name") << "A B.C | tunable | real | 0 | 1 | 0 |" << "holds blanks";
        QTest::newRow("empty name") << " | tunable | real | 0 | 1 | 0 |" << "is empty";
        QTest::newRow("unknown class") << "A.B.C | changeable | real | 0 | 1 | 0 |" << "unknown class";
        QTest::newRow("unknown type") << "A.B.C | tunable | float | 0 | 1 | 0 |" << "unknown type";
        QTest::newRow("limit not a number") << "A.B.C | tunable | real | zero | 1 | 0 |" << "not numbers";
        QTest::newRow("minimum above maximum") << "A.B.C | tunable | integer | 5 | 1 | 3 |" << "above maximum";
        QTest::newRow("boolean limits") << "A.B.C | tunable | boolean | 0 | 2 | 0 |" << "0 and 1";
        QTest::newRow("enum without limits") << "A.B.C | configure | enum | | | 1 |" << "lowest and highest";
        QTest::newRow("default of wrong type") << "A.B.C | tunable | integer | 0 | 9 | 1.5 |" << "no integer value";
        QTest::newRow("numeric default missing") << "A.B.C | tunable | real | 0 | 9 | |" << "no real value";
        QTest::newRow("default outside limits") << "A.B.C | tunable | real | 0 | 9 | 10 |" << "outside";
        QTest::newRow("server word") << "MutableItemList | monitor | string | | | |" << "server itself";
    }

    void refusesMalformedLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, message);
        TControlDatabase database;
        QString error;
        const QString text = QStringLiteral("# header\nGOOD.ITEM.IN | tunable | boolean | 0 | 1 | 0 |\n") + line
            + u'\n';
        QVERIFY(!database.LoadText(text, QStringLiteral("bad.items"), &error));
        QVERIFY2(error.startsWith(QStringLiteral("bad.items:3: ")), qPrintable(error));
        QVERIFY2(error.contains(message), qPrintable(error));
        // Nothing of a refused file stays.
        QVERIFY(database.Items().isEmpty());
    }

    void refusesAnItemDefinedTwiceAcrossFiles()
    {
        QTemporaryDir folder;
        QFile first(folder.filePath(QStringLiteral("a.items")));
        QVERIFY(first.open(QIODevice::WriteOnly));
        first.write("A.B.C | tunable | real | 0 | 1 | 0 |\n");
        first.close();
        QFile second(folder.filePath(QStringLiteral("b.items")));
        QVERIFY(second.open(QIODevice::WriteOnly));
        second.write("# other\nX.Y.Z | monitor | string | | | |\na.b.c | monitor | real | | | 0 |\n");
        second.close();

        TControlDatabase database;
        QString error;
        QVERIFY(!database.Load({first.fileName(), second.fileName()}, &error));
        QCOMPARE(error, second.fileName() + QStringLiteral(":3: item A.B.C is already defined at ")
                            + first.fileName() + QStringLiteral(":1"));
    }

    void refusesAMissingFile()
    {
        TControlDatabase database;
        QString error;
        QVERIFY(!database.Load({QStringLiteral("/nonexistent/x.items")}, &error));
        QVERIFY2(error.startsWith(QStringLiteral("/nonexistent/x.items: ")), qPrintable(error));
    }

    // The bundled databases load together, and describe the control the windows expect.
    void bundledDatabasesLoad()
    {
        TControlDatabase database;
        QString error;
        QVERIFY2(database.Load({ServerDb + QStringLiteral("4812-run.items"),
                                ServerDb + QStringLiteral("4812-config.items")},
                               &error),
                 qPrintable(error));
        const TItemDefinition* permission = database.Find(QStringLiteral("Z_CPU_COM.EN_CONFIG.OR"));
        QVERIFY(permission);
        QCOMPARE(permission->itemClass, TItemClass::Monitor);
        const TItemDefinition* check = database.Find(QStringLiteral("KXSPL.TST_CONFIG.IN"));
        QVERIFY(check);
        QCOMPARE(check->itemClass, TItemClass::Tunable);
        QCOMPARE(check->type, TItemType::Boolean);
        for (const TItemDefinition& item : database.Items())
            if (item.IsChangeable())
                QVERIFY2(!item.defaultValue.isEmpty(), qPrintable(item.name));
    }
};

QTEST_GUILESS_MAIN(TestControlDatabase)
#include "tst_controldatabase.moc"
