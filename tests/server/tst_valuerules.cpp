// How the simulated control parses, limits and describes values.
#include "server/ValueRules.h"

#include <QTest>

namespace {

TItemDefinition Item(TItemType type, const QString& min, const QString& max, TItemClass itemClass = TItemClass::Tunable)
{
    TItemDefinition item;
    item.itemClass = itemClass;
    item.type = type;
    item.min = min;
    item.max = max;
    return item;
}

} // namespace

Q_DECLARE_METATYPE(TItemType)

class TestValueRules : public QObject {
    Q_OBJECT

private slots:
    void normalize_data()
    {
        QTest::addColumn<TItemType>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");

        // The program writes true as -1; the control answers 1.
        QTest::newRow("boolean -1") << TItemType::Boolean << "-1" << "1";
        QTest::newRow("boolean TRUE") << TItemType::Boolean << "True" << "1";
        QTest::newRow("boolean FALSE") << TItemType::Boolean << "FALSE" << "0";
        QTest::newRow("boolean word") << TItemType::Boolean << "yes" << "<refused>";
        QTest::newRow("integer") << TItemType::Integer << " 42 " << "42";
        QTest::newRow("integer written as real") << TItemType::Integer << "42.0" << "42";
        QTest::newRow("integer fraction") << TItemType::Integer << "42.5" << "<refused>";
        QTest::newRow("real") << TItemType::Real << "3600.50" << "3600.5";
        QTest::newRow("real decimal comma") << TItemType::Real << "12,25" << "12.25";
        QTest::newRow("real infinite") << TItemType::Real << "inf" << "<refused>";
        QTest::newRow("string kept as is") << TItemType::String << " Unit 3 " << " Unit 3 ";
        QTest::newRow("time of day") << TItemType::Time << "12:30:05" << "12:30:05";
        QTest::newRow("time words") << TItemType::Time << "noon" << "<refused>";
    }

    void normalize()
    {
        QFETCH(TItemType, type);
        QFETCH(QString, text);
        QTEST(ValueRules::Normalize(type, text).value_or(QStringLiteral("<refused>")), "stored");
    }

    void limits_data()
    {
        QTest::addColumn<TItemType>("type");
        QTest::addColumn<QString>("min");
        QTest::addColumn<QString>("max");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("within");

        QTest::newRow("on the minimum") << TItemType::Real << "0" << "100" << "0" << true;
        QTest::newRow("on the maximum") << TItemType::Real << "0" << "100.5" << "100.5" << true;
        QTest::newRow("below") << TItemType::Real << "0" << "100" << "-0.1" << false;
        QTest::newRow("above") << TItemType::Integer << "-50" << "50" << "51" << false;
        QTest::newRow("no minimum") << TItemType::Integer << "" << "50" << "-99999" << true;
        QTest::newRow("strings have no limits") << TItemType::String << "0" << "1" << "long text" << true;
    }

    void limits()
    {
        QFETCH(TItemType, type);
        QFETCH(QString, min);
        QFETCH(QString, max);
        QFETCH(QString, value);
        QTEST(ValueRules::WithinLimits(Item(type, min, max), value), "within");
    }

    void symbolInfoLayout_data()
    {
        QTest::addColumn<TItemType>("type");
        QTest::addColumn<int>("itemClass");
        QTest::addColumn<QString>("min");
        QTest::addColumn<QString>("max");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("tunable real") << TItemType::Real << 2 << "0.0" << "100.0" << QByteArray("\x02\x20" "0.0\0" "100.0\0", 12);
        QTest::newRow("configure enum") << TItemType::Enum << 3 << "1" << "5" << QByteArray("\x03\x03" "1\0" "5\0", 6);
        QTest::newRow("string without limits") << TItemType::String << 2 << "" << "" << QByteArray("\x02\x50\0\0", 4);
        QTest::newRow("time") << TItemType::Time << 1 << "" << "" << QByteArray("\x01\x40\0\0", 4);
        QTest::newRow("timer") << TItemType::Timer << 1 << "" << "" << QByteArray("\x01\x42\0\0", 4);
    }

    void symbolInfoLayout()
    {
        QFETCH(TItemType, type);
        QFETCH(int, itemClass);
        QFETCH(QString, min);
        QFETCH(QString, max);
        QTEST(ValueRules::SymbolInfo(Item(type, min, max, static_cast<TItemClass>(itemClass))), "bytes");
    }
};

QTEST_GUILESS_MAIN(TestValueRules)
#include "tst_valuerules.moc"
