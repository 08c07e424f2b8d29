// The non-volatile store: what is saved comes back, and a crash while saving
// leaves the previous contents whole.
#include "server/ValueStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

namespace {

TStoreContents Contents(const QString& speed, const QString& id)
{
    TStoreContents contents;
    contents.configurationId = id;
    contents.values = {{QStringLiteral("C_START.RT_TO_MIN.IN"), speed},
                       {QStringLiteral("CUSTOMSTRING_1"), QStringLiteral("Tab\there, back\\slash\nnew line")},
                       {QStringLiteral("EMPTY.ITEM.IN"), QString()}};
    return contents;
}

} // namespace

class TestValueStore : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    QString StorePath(const char* name) const { return m_folder.filePath(QString::fromLatin1(name)); }

    static void Write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

private slots:
    void savedContentsComeBack()
    {
        TValueStore store(StorePath("sub/folder/a.store"));
        QString error;
        const TStoreContents saved = Contents(QStringLiteral("30"), QStringLiteral("Unit 3"));
        QVERIFY2(store.Save(saved, &error), qPrintable(error));

        TStoreContents loaded;
        QCOMPARE(store.Load(&loaded, &error), TValueStore::TLoadResult::Loaded);
        QCOMPARE(loaded.configurationId, saved.configurationId);
        QCOMPARE(loaded.values, saved.values);
        // Nothing is left beside the store.
        QCOMPARE(QDir(StorePath("sub/folder")).entryList(QDir::Files), QStringList{QStringLiteral("a.store")});
        QCOMPARE(TValueStore(StorePath("never-saved.store")).Load(&loaded, &error), TValueStore::TLoadResult::Missing);
    }

    void damagedStoresAreRecognised_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        QTest::newRow("another file") << QByteArray("[control A]\n") << "not a control store";
        QTest::newRow("cut short") << QByteArray("TURVISTA-STORE 1\nID\tx\nV\tA.B.C\t1\n") << "ends early";
        QTest::newRow("count differs") << QByteArray("TURVISTA-STORE 1\nID\t\nV\tA.B.C\t1\nEND\t2\n")
                                       << "count does not match";
        QTest::newRow("garbage line") << QByteArray("TURVISTA-STORE 1\nID\t\nA.B.C=1\nEND\t0\n") << "unreadable";
    }

    void damagedStoresAreRecognised()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        const QString path = StorePath("damaged.store");
        Write(path, bytes);
        TValueStore store(path);
        TStoreContents loaded;
        QString error;
        QCOMPARE(store.Load(&loaded, &error), TValueStore::TLoadResult::Damaged);
        QVERIFY2(error.startsWith(path) && error.contains(why), qPrintable(error));
        QVERIFY(loaded.values.isEmpty());
    }

    // A process that dies half-way through a save leaves the old store, and the
    // next save still works.
    void crashWhileSavingKeepsTheOldStore()
    {
        const QString path = StorePath("crash.store");
        TValueStore store(path);
        QString error;
        QVERIFY(store.Save(Contents(QStringLiteral("10"), QStringLiteral("old")), &error));

        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            TValueStore dying(path);
            dying.midWriteHook = [] { ::_exit(9); };
            QString ignored;
            dying.Save(Contents(QStringLiteral("20"), QStringLiteral("new")), &ignored);
            ::_exit(0); // not reached when the hook ran
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 9);

        TStoreContents loaded;
        QCOMPARE(store.Load(&loaded, &error), TValueStore::TLoadResult::Loaded);
        QCOMPARE(loaded.configurationId, QStringLiteral("old"));
        QCOMPARE(loaded.values.first().second, QStringLiteral("10"));

        QVERIFY(store.Save(Contents(QStringLiteral("30"), QStringLiteral("newer")), &error));
        QCOMPARE(store.Load(&loaded, &error), TValueStore::TLoadResult::Loaded);
        QCOMPARE(loaded.values.first().second, QStringLiteral("30"));
    }
};

QTEST_GUILESS_MAIN(TestValueStore)
#include "tst_valuestore.moc"
