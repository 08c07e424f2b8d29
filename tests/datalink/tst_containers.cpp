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
    return object ? static_cast<Named*>(object)->name : QString();
}

QStringList Walk(const TKListOfObject& list, bool backwards = false)
{
    QStringList names;
    for (auto it = backwards ? list.Last() : list.First(); it.IsValid(); backwards ? it.Previous() : it.Next())
        names << NameOf(it.GetObject());
    return names;
}

} // namespace

class TestContainers : public QObject {
    Q_OBJECT

private slots:
    void bucketOfKey_data()
    {
        QTest::addColumn<QVariant>("key"); // an int or a string
        QTest::addColumn<int>("hash");     // string keys: before reduction to a bucket
        QTest::addColumn<int>("bucket");

        QTest::newRow("97 wraps") << QVariant(97) << 0 << 0;
        QTest::newRow("-1") << QVariant(-1) << 0 << 96;
        QTest::newRow("minimum") << QVariant(int(INT32_MIN)) << 0 << 31; // -2^31 = -22139007 * 97 + 31
        QTest::newRow("empty text") << QVariant(QString()) << 0 << 0;
        QTest::newRow("ab") << QVariant(QString("ab")) << 3299 << 1;
        // 2211 * 33 + 67 = 73030, kept to 16 bits: 7494
        QTest::newRow("ABC wraps") << QVariant(QString("ABC")) << 7494 << 25;
        // Latin-1 characters count as their byte, not as a signed char.
        QTest::newRow("e acute") << QVariant(QString(QChar(0xE9))) << 233 << 39;
    }

    void bucketOfKey()
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

    void listRemovalKeepsOtherIterators_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QString>("movedOnTo");
        QTest::newRow("first") << 0 << QStringList{"b", "c"} << "b";
        QTest::newRow("middle") << 1 << QStringList{"a", "c"} << "c";
        QTest::newRow("last") << 2 << QStringList{"a", "b"} << "";
    }

    void listRemovalKeepsOtherIterators()
    {
        QFETCH(int, index);
        QFETCH(QStringList, remaining);
        QFETCH(QString, movedOnTo);

        Named a("a"), b("b"), c("c");
        TKListOfObject list;
        QList<TKListIteratorObj> on;
        for (Named* object : {&a, &b, &c}) {
            list.Add(object);
            on << list.Last();
        }
        TKListIteratorObj position = on[index];
        list.Remove(position);

        QCOMPARE(Walk(list), remaining);
        QCOMPARE(Walk(list, true), QStringList(remaining.rbegin(), remaining.rend()));
        QCOMPARE(position.IsValid() ? NameOf(position.GetObject()) : QString(), movedOnTo);
        // Iterators on the other nodes still stand on them and step across the gap.
        for (int other = 0; other < 3; ++other) {
            if (other == index)
                continue;
            const QString name = NameOf(on[other].GetObject());
            QCOMPARE(name, QString(QChar('a' + other)));
            on[other].Next();
            QCOMPARE(on[other].IsValid() ? NameOf(on[other].GetObject()) : QString(),
                     remaining.value(remaining.indexOf(name) + 1));
        }
    }

    // A walk may step on and then remove the entry it left; keys that share a
    // bucket are walked in the order they were inserted.
    void mapWalkSurvivesRemoval()
    {
        Named five("5"), two("2"), ninetyNine("99"), first("7 first"), second("7 second");
        TKMapLongIntKey map;
        map.Insert(5, &five);
        map.Insert(99, &ninetyNine); // bucket 2, before key 2
        map.Insert(2, &two);
        map.Insert(7, &first);
        map.Insert(7, &second);
        QCOMPARE(map.Find(7), &first);
        QStringList visited;
        for (auto it = map.First(); it.IsValid();) {
            const qint32 key = static_cast<const TKLongIntKey&>(it.GetKey()).Value();
            visited << NameOf(it.GetObject());
            it.Next();
            QVERIFY(map.Remove(key));
        }
        QCOMPARE(visited, QStringList({"99", "2", "5", "7 first", "7 second"}));
        QVERIFY(map.IsEmpty());

        TKMapStringKey names;
        names.Insert("C_START.RT_TO_MIN.IN", &first);
        QCOMPARE(names.Find("c_start.rt_to_min.in"), nullptr); // keys keep their case
        QCOMPARE(names.Remove("C_START.RT_TO_MIN.IN"), &first);
    }

    void misuseIsAnAssertion_data()
    {
        QTest::addColumn<int>("misuse");
        QTest::addColumn<QString>("text");
        QTest::newRow("remove from an empty list") << 0 << "TKListOfObject.Remove: List is empty";
        QTest::newRow("remove another list's node") << 1 << "TKListOfObject.Remove: invalid argument";
        QTest::newRow("object past the list's end") << 2 << "TKListIteratorObj.GetObject";
        QTest::newRow("key past the map's end") << 3 << "TKMapIteratorObj.GetKey";
        QTest::newRow("negative vector index") << 4 << "TKVectorOfObject.Get: index out of range";
        QTest::newRow("insert past the end") << 5 << "TKVectorOfObject.Insert: index out of range";
    }

    // Raised before anything changes.
    void misuseIsAnAssertion()
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
            [&] { empty.Remove(none); }, [&] { list.Remove(foreign); },    [&] { none.GetObject(); },
            [&] { map.First().GetKey(); }, [&] { vector.Get(-1); }, [&] { vector.Insert(3, &a); },
        };
        QCOMPARE(RaisedText(misuses[misuse]), text);
        QCOMPARE(Walk(list) + Walk(other), QStringList({"a", "b"}));
        QCOMPARE(NameOf(vector.Get(0)) + NameOf(vector.Get(1)), QString("ba"));
    }
};

QTEST_GUILESS_MAIN(TestContainers)
#include "tst_containers.moc"
