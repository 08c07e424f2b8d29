// Every item that a window of the program binds or reads is known to the
// simulated control, with a class and type that fit how the windows use it.
#include "server/ControlDatabase.h"

#include <QFile>
#include <QTest>

namespace {

const QString Source = QStringLiteral(TURVISTA_SOURCE_DIR);

QStringList Lines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith('#'))
            lines << line;
    }
    return lines;
}

} // namespace

class TestWindowItems : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyWindowItemIsInTheDatabase_data();
    void everyWindowItemIsInTheDatabase();

private:
    TControlDatabase database;
};

void TestWindowItems::initTestCase()
{
    QString error;
    QVERIFY2(database.Load({Source + "/server/db/4812-run.items", Source + "/server/db/4812-config.items"}, &error),
             qPrintable(error));
}

void TestWindowItems::everyWindowItemIsInTheDatabase_data()
{
    QTest::addColumn<QString>("list");
    QTest::newRow("main and run mode windows") << Source + "/tests/data/window-items-run.txt";
    QTest::newRow("program and service mode windows") << Source + "/tests/data/window-items-config.txt";
}

void TestWindowItems::everyWindowItemIsInTheDatabase()
{
    QFETCH(QString, list);
    const QStringList names = Lines(list);
    QVERIFY2(names.size() > 500, qPrintable(list + " is missing or short"));
    QStringList missing;
    for (const QString& name : names)
        if (!database.Find(name) && !TControlDatabase::IsServerWord(name))
            missing << name;
    QVERIFY2(missing.isEmpty(), qPrintable("not in the database: " + missing.mid(0, 20).join(", ")));
}

QTEST_MAIN(TestWindowItems)
#include "tst_windowitems.moc"
