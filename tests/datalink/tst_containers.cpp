// The data link's containers: where a key lands, walks that survive removals,
// and the assertions raised on misuse.
#include "datalink/KContainer.h"
#include "tests/support/RaisedText.h"

#include <QtTest>

#include <functional>

namespace {

struct Named : TObject {
    explicit Named(QString n) : name(std::move(n)) { }
    QString name;
};

QString NameOf(TObject* object)
{
    return static_cast<Named*>(object)->name;
}

QStringList Walk(const TKListOfObject& list, bool backwards = false)
{
    QStringList names;
    for (auto it = backwards ? list.Last() : list.First(); it.IsValid(); backwards ? it.Previous() : it.Next())
        names << NameOf(it.GetObject());
    return names;
}

QStringList Walk(const TKMapToObject& map)
{
    QStringList names;
    for (auto it = map.First(); it.IsValid(); it.Next())
        names << NameOf(it.GetObject());
    return names;
}

} // namespace

class TestContainers : public QObject {
    Q_OBJECT

private slots:
    void bucketOfKey_data();
    void bucketOfKey();
    void listRemovalKeepsOtherIterators_data();
    void listRemovalKeepsOtherIterators();
    void mapWalksBucketsInOrderAndSurvivesRemoval();
    void misuseIsAnAssertion_data();
    void misuseIsAnAssertion();
};

void TestContainers::bucketOfKey_data()
{
    QTest::addColumn<QVariant>("key"); // an int or a string
    QTest::addColumn<int>("hash");     // string keys: before reduction to a bucket
    QTest::addColumn<int>("bucket");

    QTest::newRow("0") << QVariant(0) << 0 << 0;
    QTest::newRow("96") << QVariant(96) << 96 << 96;
    QTest::newRow("97 wraps") << QVariant(97) << 0 << 0;
    QTest::newRow("1000") << QVariant(1000) << 0 << 30;
    QTest::newRow("-1") << QVariant(-1) << 0 << 96;
    QTest::newRow("-97") << QVariant(-97) << 0 << 0;
    QTest::newRow("minimum") << QVariant(int(INT32_MIN)) << 0 << 31; // -2^31 = -22139007 * 97 + 31
    QTest::newRow("maximum") << QVariant(int(INT32_MAX)) << 0 << 65;
    QTest::newRow("empty text") << QVariant(QString()) << 0 << 0;
    QTest::newRow("A") << QVariant(QString("A")) << 65 << 65;
    QTest::newRow("AB") << QVariant(QString("AB")) << 2211 << 77;
    QTest::newRow("ab") << QVariant(QString("ab")) << 3299 << 1;
    // 2211 * 33 + 67 = 73030, kept to 16 bits: 7494
    QTest::newRow("ABC wraps") << QVariant(QString("ABC")) << 7494 << 25;
    // Latin-1 characters count as their byte, not as a signed char.
    QTest::newRow("e acute") << QVariant(QString(QChar(0xE9))) << 233 << 39;
}

void TestContainers::bucketOfKey()
{
    QFETCH(QVariant, key);
    QFETCH(int, hash);
    QFETCH(int, bucket);
    if (key.typeId() == QMetaType::Int) {
        QCOMPARE(TKLongIntKey(key.toInt()).Hash(), bucket);
    } else {
        QCOMPARE(int(TKStringKey::HashText(key.toString())), hash);
        QCOMPARE(TKStringKey(key.toString()).Hash(), bucket);
    }
}

void TestContainers::listRemovalKeepsOtherIterators_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("movedOnTo");
    QTest::newRow("first") << 0 << QStringList{"b", "c"} << "b";
    QTest::newRow("middle") << 1 << QStringList{"a", "c"} << "c";
    QTest::newRow("last") << 2 << QStringList{"a", "b"} << "";
}

void TestContainers::listRemovalKeepsOtherIterators()
{
    QFETCH(int, index);
    QFETCH(QStringList, remaining);
    QFETCH(QString, movedOnTo);

    Named a("a"), b("b"), c("c");
    TKListOfObject list;
    for (Named* object : {&a, &b, &c})
        list.Add(object);
    QList<TKListIteratorObj> on;
    for (auto it = list.First(); it.IsValid(); it.Next())
        on << it;
    TKListIteratorObj position = on[index];
    list.Remove(position);

    QCOMPARE(list.Count(), 2);
    QCOMPARE(Walk(list), remaining);
    QCOMPARE(Walk(list, true), QStringList(remaining.rbegin(), remaining.rend()));
    QCOMPARE(position.IsValid() ? NameOf(position.GetObject()) : QString(), movedOnTo);
    // Iterators on the other nodes still stand on them and step across the gap.
    for (int other = 0; other < 3; ++other) {
        if (other == index)
            continue;
        QCOMPARE(NameOf(on[other].GetObject()), QString(QChar('a' + other)));
        TKListIteratorObj step = on[other];
        step.Next();
        QCOMPARE(step.IsValid() ? NameOf(step.GetObject()) : QString(),
                 remaining.value(remaining.indexOf(NameOf(on[other].GetObject())) + 1));
    }

    list.Clear();
    QVERIFY(list.IsEmpty());
    QVERIFY(!list.First().IsValid() && !list.Last().IsValid());
    list.Add(&a);
    QCOMPARE(Walk(list, true), QStringList{"a"});
}

void TestContainers::mapWalksBucketsInOrderAndSurvivesRemoval()
{
    Named five("5"), two("2"), ninetyNine("99"), zero("0"), first("7 first"), second("7 second");
    TKMapLongIntKey map;
    map.Insert(5, &five);
    map.Insert(99, &ninetyNine); // bucket 2, before key 2
    map.Insert(2, &two);
    map.Insert(0, &zero);
    map.Insert(7, &first);
    map.Insert(7, &second);
    QCOMPARE(Walk(map), QStringList({"0", "99", "2", "5", "7 first", "7 second"}));
    QCOMPARE(map.Find(99), &ninetyNine);
    QCOMPARE(map.Find(-2), nullptr);
    QCOMPARE(map.Find(7), &first);

    // A walk may step on and then remove the entry it left.
    QStringList visited;
    for (auto it = map.First(); it.IsValid();) {
        const qint32 key = static_cast<const TKLongIntKey&>(it.GetKey()).Value();
        visited << NameOf(it.GetObject());
        it.Next();
        QVERIFY(map.Remove(key));
    }
    QCOMPARE(visited, QStringList({"0", "99", "2", "5", "7 first", "7 second"}));
    QVERIFY(map.IsEmpty());
    QCOMPARE(map.Remove(7), nullptr);

    TKMapStringKey names;
    names.Insert(QString(QChar(5)), &five);
    names.Insert("C_START.RT_TO_MIN.IN", &first);
    names.Insert(QString(QChar(2)), &two);
    QCOMPARE(Walk(names).mid(0, 2), QStringList({"2", "5"}));
    QCOMPARE(names.Find("c_start.rt_to_min.in"), nullptr); // keys keep their case
    QCOMPARE(names.Remove("C_START.RT_TO_MIN.IN"), &first);
    names.Clear();
    QVERIFY(names.IsEmpty() && !names.First().IsValid());
}

void TestContainers::misuseIsAnAssertion_data()
{
    QTest::addColumn<int>("misuse");
    QTest::addColumn<QString>("text");
    QTest::newRow("remove from an empty list") << 0 << "TKListOfObject.Remove: List is empty";
    QTest::newRow("remove at no node") << 1 << "TKListOfObject.Remove: invalid argument";
    QTest::newRow("remove another list's node") << 2 << "TKListOfObject.Remove: invalid argument";
    QTest::newRow("object past the list's end") << 3 << "TKListIteratorObj.GetObject";
    QTest::newRow("object past the map's end") << 4 << "TKMapIteratorObj.GetObject";
    QTest::newRow("key past the map's end") << 5 << "TKMapIteratorObj.GetKey";
    QTest::newRow("vector index past the end") << 6 << "TKVectorOfObject.Get: index out of range";
    QTest::newRow("negative vector index") << 7 << "TKVectorOfObject.Get: index out of range";
    QTest::newRow("insert past the end") << 8 << "TKVectorOfObject.Insert: index out of range";
}

void TestContainers::misuseIsAnAssertion()
{
    QFETCH(int, misuse);
    QFETCH(QString, text);

    Named a("a"), b("b");
    TKListOfObject empty, list, other;
    list.Add(&a);
    other.Add(&b);
    TKMapLongIntKey map;
    TKVectorOfObject vector;
    vector.Add(&a);
    vector.Insert(0, &b);
    TKListIteratorObj none, foreign = other.First();
    const std::function<void()> misuses[] = {
        [&] { empty.Remove(none); },
        [&] { list.Remove(none); },
        [&] { list.Remove(foreign); },
        [&] { none.GetObject(); },
        [&] { map.First().GetObject(); },
        [&] { map.First().GetKey(); },
        [&] { vector.Get(2); },
        [&] { vector.Get(-1); },
        [&] { vector.Insert(3, &a); },
    };
    QCOMPARE(RaisedText(misuses[misuse]), text);
    QCOMPARE(list.Count() + other.Count(), 2);
    QCOMPARE(NameOf(vector.Get(0)) + NameOf(vector.Get(1)), QString("ba"));
}

QTEST_GUILESS_MAIN(TestContainers)
#include "tst_containers.moc"
