#include "datalink/KContainer.h"
#include "platform/Assert.h"
#include "tests/support/TestRunner.h"

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

QStringList Walk(const TKListOfObject& list)
{
    QStringList names;
    for (auto it = list.First(); it.IsValid(); it.Next())
        names << NameOf(it.GetObject());
    return names;
}

QStringList WalkBack(const TKListOfObject& list)
{
    QStringList names;
    for (auto it = list.Last(); it.IsValid(); it.Previous())
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

// The assertion text raised by action, or an empty string when none is raised.
QString AssertionText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EAssertionFailed& e) {
        return e.Message();
    }
    return QString();
}

} // namespace

class TestListOfObject : public QObject {
    Q_OBJECT

private slots:
    void keepsOrderOfAddition()
    {
        Named a("a"), b("b"), c("c");
        TKListOfObject list;
        QVERIFY(list.IsEmpty());
        list.Add(&a);
        list.Add(&b);
        list.Add(&c);
        QCOMPARE(list.Count(), 3);
        QVERIFY(!list.IsEmpty());
        QCOMPARE(Walk(list), QStringList({"a", "b", "c"}));
        QCOMPARE(WalkBack(list), QStringList({"c", "b", "a"}));
    }

    void removeUnlinksAndMovesOn_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QString>("next");
        QTest::newRow("first") << 0 << QStringList{"b", "c"} << "b";
        QTest::newRow("middle") << 1 << QStringList{"a", "c"} << "c";
        QTest::newRow("last") << 2 << QStringList{"a", "b"} << "";
    }

    void removeUnlinksAndMovesOn()
    {
        QFETCH(int, index);
        QFETCH(QStringList, remaining);
        QFETCH(QString, next);

        Named a("a"), b("b"), c("c");
        TKListOfObject list;
        list.Add(&a);
        list.Add(&b);
        list.Add(&c);
        auto it = list.First();
        for (int i = 0; i < index; ++i)
            it.Next();
        list.Remove(it);

        QCOMPARE(list.Count(), 2);
        QCOMPARE(Walk(list), remaining);
        QCOMPARE(WalkBack(list), QStringList(remaining.rbegin(), remaining.rend()));
        QCOMPARE(it.IsValid() ? NameOf(it.GetObject()) : QString(), next);
        QCOMPARE(a.name, QString("a")); // objects are not freed
    }

    void removingOneNodeKeepsOtherIteratorsValid()
    {
        Named a("a"), b("b"), c("c");
        TKListOfObject list;
        list.Add(&a);
        list.Add(&b);
        list.Add(&c);
        auto visiting = list.First();
        visiting.Next(); // on b
        auto other = list.First(); // on a
        auto last = list.Last(); // on c
        list.Remove(visiting);

        QVERIFY(other.IsValid());
        QCOMPARE(NameOf(other.GetObject()), QString("a"));
        other.Next();
        QCOMPARE(NameOf(other.GetObject()), QString("c"));
        QVERIFY(other.Equals(last));
        last.Previous();
        QCOMPARE(NameOf(last.GetObject()), QString("a"));
    }

    void clearEmptiesTheList()
    {
        Named a("a"), b("b");
        TKListOfObject list;
        list.Add(&a);
        list.Add(&b);
        list.Clear();
        QVERIFY(list.IsEmpty());
        QVERIFY(!list.First().IsValid());
        QVERIFY(!list.Last().IsValid());
        list.Add(&a);
        QCOMPARE(WalkBack(list), QStringList{"a"});
    }

    void invalidRemovalsAreAssertions()
    {
        Named a("a");
        TKListOfObject list;
        TKListIteratorObj none;
        QCOMPARE(AssertionText([&] { list.Remove(none); }), QString("TKListOfObject.Remove: List is empty"));

        list.Add(&a);
        QCOMPARE(AssertionText([&] { list.Remove(none); }), QString("TKListOfObject.Remove: invalid argument"));

        TKListOfObject otherList;
        otherList.Add(&a);
        auto foreign = otherList.First();
        QCOMPARE(AssertionText([&] { list.Remove(foreign); }), QString("TKListOfObject.Remove: invalid argument"));
        QCOMPARE(list.Count(), 1);
        QCOMPARE(otherList.Count(), 1);
    }

    void iteratorOperations()
    {
        Named a("a"), b("b");
        TKListOfObject list;
        list.Add(&a);
        list.Add(&b);

        TKListIteratorObj it;
        QVERIFY(!it.IsValid());
        QCOMPARE(AssertionText([&] { it.GetObject(); }), QString("TKListIteratorObj.GetObject"));

        it.Assign(list.Last());
        QCOMPARE(NameOf(it.GetObject()), QString("b"));
        auto copy = it.Clone();
        QVERIFY(copy->Equals(it));
        copy->Previous();
        QVERIFY(!copy->Equals(it));
        QCOMPARE(NameOf(copy->GetObject()), QString("a"));

        it.Assign(TKListIteratorObj());
        QVERIFY(!it.IsValid());
        copy->Invalidate();
        QVERIFY(!copy->IsValid());
        copy->Next(); // stays invalid
        QVERIFY(!copy->IsValid());
        QVERIFY(copy->Equals(it));

        auto walk = list.Last();
        walk.Next();
        QVERIFY(!walk.IsValid());
    }
};

class TestVectorOfObject : public QObject {
    Q_OBJECT

private slots:
    void insertAndGet()
    {
        Named a("a"), b("b"), c("c");
        TKVectorOfObject vector;
        vector.Add(&a);
        vector.Add(&c);
        vector.Insert(1, &b);
        QCOMPARE(vector.Count(), 3);
        QCOMPARE(NameOf(vector.Get(0)), QString("a"));
        QCOMPARE(NameOf(vector.Get(1)), QString("b"));
        QCOMPARE(NameOf(vector.Get(2)), QString("c"));
        vector.Clear();
        QCOMPARE(vector.Count(), 0);
    }

    void indexOutOfRange()
    {
        Named a("a");
        TKVectorOfObject vector;
        vector.Add(&a);
        QVERIFY(!AssertionText([&] { vector.Get(1); }).isEmpty());
        QVERIFY(!AssertionText([&] { vector.Get(-1); }).isEmpty());
        QVERIFY(!AssertionText([&] { vector.Insert(2, &a); }).isEmpty());
        QCOMPARE(vector.Count(), 1);
    }
};

class TestMapLongIntKey : public QObject {
    Q_OBJECT

private slots:
    void bucketOfKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("bucket");
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("below 97") << 96 << 96;
        QTest::newRow("wraps") << 97 << 0;
        QTest::newRow("large") << 1000 << 30;
        QTest::newRow("minus one") << -1 << 96;
        QTest::newRow("minus 97") << -97 << 0;
        QTest::newRow("minimum") << int(INT32_MIN) << 31; // -2^31 = -22139007 * 97 + 31
        QTest::newRow("maximum") << int(INT32_MAX) << 65;
    }

    void bucketOfKey()
    {
        QFETCH(int, key);
        QFETCH(int, bucket);
        QCOMPARE(TKLongIntKey(key).Hash(), bucket);
    }

    void findRemoveClear()
    {
        Named one("one"), two("two"), minus("minus");
        TKMapLongIntKey map;
        QVERIFY(map.IsEmpty());
        map.Insert(1, &one);
        map.Insert(98, &two); // same bucket as 1
        map.Insert(-5, &minus);
        QVERIFY(!map.IsEmpty());

        QCOMPARE(map.Find(1), &one);
        QCOMPARE(map.Find(98), &two);
        QCOMPARE(map.Find(-5), &minus);
        QCOMPARE(map.Find(5), nullptr);
        QCOMPARE(map.Find(-1), nullptr);

        QCOMPARE(map.Remove(1), &one);
        QCOMPARE(map.Find(1), nullptr);
        QCOMPARE(map.Find(98), &two);
        QCOMPARE(map.Remove(1), nullptr);

        map.Clear();
        QVERIFY(map.IsEmpty());
        QCOMPARE(map.Find(98), nullptr);
        QCOMPARE(map.Find(-5), nullptr);
        QVERIFY(!map.First().IsValid());
    }

    void iteratesBucketsInOrder()
    {
        Named five("5"), two("2"), ninetyNine("99"), zero("0");
        TKMapLongIntKey map;
        map.Insert(5, &five);
        map.Insert(99, &ninetyNine); // bucket 2, added before key 2
        map.Insert(2, &two);
        map.Insert(0, &zero);
        QCOMPARE(Walk(map), QStringList({"0", "99", "2", "5"}));

        auto it = map.First();
        QCOMPARE(static_cast<const TKLongIntKey&>(it.GetKey()).Value(), 0);
    }

    void duplicateKeysFindTheFirstInserted()
    {
        Named first("first"), second("second");
        TKMapLongIntKey map;
        map.Insert(7, &first);
        map.Insert(7, &second);
        QCOMPARE(map.Find(7), &first);
        QCOMPARE(map.Remove(7), &first);
        QCOMPARE(map.Find(7), &second);
    }

    void removeWhileIterating()
    {
        Named a("a"), b("b"), c("c");
        TKMapLongIntKey map;
        map.Insert(3, &a);
        map.Insert(100, &b); // bucket 3 too
        map.Insert(50, &c);
        QStringList visited;
        for (auto it = map.First(); it.IsValid();) {
            const qint32 key = static_cast<const TKLongIntKey&>(it.GetKey()).Value();
            visited << NameOf(it.GetObject());
            it.Next();
            map.Remove(key);
        }
        QCOMPARE(visited, QStringList({"a", "b", "c"}));
        QVERIFY(map.IsEmpty());
    }

    void exhaustedIteratorAsserts()
    {
        TKMapLongIntKey map;
        auto it = map.First();
        QVERIFY(!it.IsValid());
        QCOMPARE(AssertionText([&] { it.GetObject(); }), QString("TKMapIteratorObj.GetObject"));
        QCOMPARE(AssertionText([&] { it.GetKey(); }), QString("TKMapIteratorObj.GetKey"));
    }
};

class TestMapStringKey : public QObject {
    Q_OBJECT

private slots:
    void hashOfText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("hash");
        QTest::addColumn<int>("bucket");
        QTest::newRow("empty") << "" << 0 << 0;
        QTest::newRow("A") << "A" << 65 << 65;
        QTest::newRow("AB") << "AB" << 2211 << 77;
        QTest::newRow("ab") << "ab" << 3299 << 1;
        // 2211 * 33 + 67 = 73030, kept to 16 bits: 7494
        QTest::newRow("ABC wraps") << "ABC" << 7494 << 25;
        // Latin-1 characters count as their byte, not as a signed char.
        QTest::newRow("e acute") << QString(QChar(0xE9)) << 233 << 39;
    }

    void hashOfText()
    {
        QFETCH(QString, text);
        QFETCH(int, hash);
        QFETCH(int, bucket);
        QCOMPARE(int(TKStringKey::HashText(text)), hash);
        QCOMPARE(TKStringKey(text).Hash(), bucket);
    }

    void keysAreCaseSensitive()
    {
        Named upper("upper"), lower("lower");
        TKMapStringKey map;
        map.Insert("C_START.RT_TO_MIN.IN", &upper);
        QCOMPARE(map.Find("c_start.rt_to_min.in"), nullptr);
        map.Insert("c_start.rt_to_min.in", &lower);
        QCOMPARE(map.Find("C_START.RT_TO_MIN.IN"), &upper);
        QCOMPARE(map.Find("c_start.rt_to_min.in"), &lower);

        QCOMPARE(map.Remove("C_START.RT_TO_MIN.IN"), &upper);
        QCOMPARE(map.Find("c_start.rt_to_min.in"), &lower);
        QCOMPARE(map.Remove("C_Start.RT_TO_MIN.IN"), nullptr);
    }

    void iteratesBucketsInOrderWhateverInsertionOrder()
    {
        // "\x05" lands in bucket 5 and "\x02" in bucket 2.
        Named five("five"), two("two");
        TKMapStringKey map;
        map.Insert(QString(QChar(5)), &five);
        map.Insert(QString(QChar(2)), &two);
        QCOMPARE(Walk(map), QStringList({"two", "five"}));
        auto it = map.First();
        QCOMPARE(static_cast<const TKStringKey&>(it.GetKey()).Value(), QString(QChar(2)));

        map.Clear();
        QVERIFY(map.IsEmpty());
        map.Insert(QString(QChar(2)), &two);
        map.Insert(QString(QChar(5)), &five);
        QCOMPARE(Walk(map), QStringList({"two", "five"}));
    }
};

TURVISTA_TEST_GUILESS_MAIN(TestListOfObject, TestVectorOfObject, TestMapLongIntKey, TestMapStringKey)

#include "tst_containers.moc"
