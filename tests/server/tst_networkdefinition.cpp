// Network definition files: controls, where their files are found, and refusals
// that name the file and line.
#include "server/NetworkDefinition.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestNetworkDefinition : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    TNetworkDefinition::TFolders m_folders;

    QString Folder(const QString& name) const { return m_folder.filePath(name); }

    void Touch(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        m_folders.serverFolder = Folder(QStringLiteral("server"));
        m_folders.stateFolder = Folder(QStringLiteral("state"));
        Touch(Folder(QStringLiteral("net/db/run.items")));
        Touch(Folder(QStringLiteral("server/db/config.items")));
        Touch(Folder(QStringLiteral("server/db/run.items")));
        Touch(Folder(QStringLiteral("net/start.cfg")));
    }

    void readsControlsAndResolvesPaths()
    {
        TNetworkDefinition network;
        QString error;
        const QString text = QStringLiteral(
            "# two controls\n"
            "[control Dflt Control ID]\n"
            "database = db/run.items\n"
            "Database=db/config.items\n"
            "store = unit1.store\n"
            "configuration = \"start.cfg\"\n"
            "\n"
            "[Control Unit 2]\n"
            "; another comment\n"
            "database = %1\n"
            "store = none\n")
                                 .arg(Folder(QStringLiteral("server/db/run.items")));
        QVERIFY2(network.Parse(text, Folder(QStringLiteral("net/plant.net")), m_folders, &error), qPrintable(error));

        QCOMPARE(network.FileName(), QStringLiteral("plant.net"));
        QCOMPARE(network.Controls().size(), 2);
        const TControlDefinition& first = network.Controls()[0];
        QCOMPARE(first.id, QStringLiteral("Dflt Control ID"));
        QCOMPARE(network.Topic(first), QStringLiteral("plant.net(Dflt Control ID)"));
        // Beside the network file first, then in the server's folder.
        QCOMPARE(first.databases, QStringList({Folder(QStringLiteral("net/db/run.items")),
                                               Folder(QStringLiteral("server/db/config.items"))}));
        QCOMPARE(first.store, Folder(QStringLiteral("state/unit1.store")));
        QCOMPARE(first.configuration, Folder(QStringLiteral("net/start.cfg")));

        const TControlDefinition& second = network.Controls()[1];
        QCOMPARE(second.id, QStringLiteral("Unit 2"));
        QCOMPARE(second.line, 8);
        QVERIFY(second.store.isEmpty());
        QVERIFY(second.configuration.isEmpty());
    }

    void refusesMalformedFiles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("message");

        const QString control = QStringLiteral("[control A]\ndatabase = db/run.items\nstore = a.store\n");
        QTest::newRow("setting before any control") << "store = x\n" << 1 << "before the first";
        QTest::newRow("unknown section") << "[network]\n" << 1 << "unknown section";
        QTest::newRow("unclosed header") << "[control A\n" << 1 << "ends with ]";
        QTest::newRow("no identifier") << "[control]\n" << 1 << "no identifier";
        QTest::newRow("parenthesis in identifier") << "[control A(1)]\n" << 1 << "parentheses";
        QTest::newRow("not a setting") << control + "speed\n" << 4 << "expected";
        QTest::newRow("unknown setting") << control + "colour = red\n" << 4 << "unknown setting";
        QTest::newRow("empty value") << control + "configuration =\n" << 4 << "no value";
        QTest::newRow("missing database") << "[control A]\ndatabase = db/none.items\n" << 2 << "not found";
        QTest::newRow("missing configuration") << control + "configuration = none.cfg\n" << 4 << "not found";
        QTest::newRow("second store") << control + "store = b.store\n" << 4 << "already has a store";
        QTest::newRow("no database") << "[control A]\nstore = a.store\n[control B]\n" << 1 << "names no database";
        QTest::newRow("no store") << "[control A]\ndatabase = db/run.items\n" << 1 << "names no store";
        QTest::newRow("same identifier") << control + "[control a]\n" << 4 << "already defined on line 1";
        QTest::newRow("shared store") << control + "[control B]\ndatabase = db/run.items\nstore = a.store\n" << 6
                                      << "already uses this store";
    }

    void refusesMalformedFiles()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(QString, message);
        const QString path = Folder(QStringLiteral("net/bad.net"));
        TNetworkDefinition network;
        QString error;
        QVERIFY(!network.Parse(text, path, m_folders, &error));
        QVERIFY2(error.startsWith(path + u':' + QString::number(line) + QStringLiteral(": ")), qPrintable(error));
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY(network.Controls().isEmpty());
    }

    void refusesAFileWithoutControls()
    {
        TNetworkDefinition network;
        QString error;
        QVERIFY(!network.Parse(QStringLiteral("# nothing\n"), QStringLiteral("empty.net"), m_folders, &error));
        QCOMPARE(error, QStringLiteral("empty.net: defines no control"));
    }

    void bundledNetworkNamesTheDefaultControl()
    {
        TNetworkDefinition network;
        QString error;
        const TNetworkDefinition::TFolders folders{QStringLiteral(TURVISTA_SOURCE_DIR "/server"),
                                                   Folder(QStringLiteral("state"))};
        QVERIFY2(network.Load(QStringLiteral(TURVISTA_SOURCE_DIR "/server/4812.net"), folders, &error),
                 qPrintable(error));
        QCOMPARE(network.Controls().size(), 1);
        QCOMPARE(network.Topic(network.Controls()[0]), QStringLiteral("4812.net(Dflt Control ID)"));
        QVERIFY(network.Controls()[0].store.startsWith(Folder(QStringLiteral("state/"))));
    }
};

QTEST_GUILESS_MAIN(TestNetworkDefinition)
#include "tst_networkdefinition.moc"
