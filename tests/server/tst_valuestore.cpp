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

    QTemporaryDir m_folder;

private slots:
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
        const QString path = m_folder.filePath(QStringLiteral("damaged.store"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        TStoreContents loaded;
        QString error;
        QCOMPARE(TValueStore(path).Load(&loaded, &error), TValueStore::TLoadResult::Damaged);
        QVERIFY2(error.startsWith(path) && error.contains(why), qPrintable(error));
        QVERIFY(loaded.values.isEmpty());
    }

    // A process that dies half-way through a save leaves the old store whole; the
    // next load removes what it left, and the next save still works.
    void crashWhileSavingKeepsTheOldStore()
    {
        const QString path = m_folder.filePath(QStringLiteral("sub/folder/crash.store"));
        TValueStore store(path);
        TStoreContents loaded;
        QString error;
        QCOMPARE(store.Load(&loaded, &error), TValueStore::TLoadResult::Missing);
        const TStoreContents old = Contents(QStringLiteral("10"), QStringLiteral("old"));
        QVERIFY2(store.Save(old, &error), qPrintable(error));

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
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 9); // died in the middle

        QCOMPARE(store.Load(&loaded, &error), TValueStore::TLoadResult::Loaded);
        QCOMPARE(loaded.configurationId, old.configurationId);
        QCOMPARE(loaded.values, old.values);
        const QDir folder(m_folder.filePath(QStringLiteral("sub/folder")));
        QCOMPARE(folder.entryList(QDir::Files), QStringList{QStringLiteral("crash.store")}); // the half-written one is gone

        QVERIFY(store.Save(Contents(QStringLiteral("30"), QStringLiteral("newer")), &error));
        QCOMPARE(store.Load(&loaded, &error), TValueStore::TLoadResult::Loaded);
        QCOMPARE(loaded.values.first().second, QStringLiteral("30"));
        QCOMPARE(folder.entryList(QDir::Files), QStringList{QStringLiteral("crash.store")});
    }
};

QTEST_GUILESS_MAIN(TestValueStore)
#include "tst_valuestore.moc"
