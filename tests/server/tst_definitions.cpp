// What the server reads before it answers: control databases and network
// definitions; refusals name the file and line.
#include "server/ControlDatabase.h"
#include "server/NetworkDefinition.h"
#include "tests/server/FakeControlValues.h"
#include "tests/support/TestRunner.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Source = QStringLiteral(TURVISTA_SOURCE_DIR);

// Items of the lists the program's code reads line by line: prefix1 ... prefixN.
QStringList Numbered(const QString& prefix, int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << prefix + QString::number(i);
    return names;
}

// The item names of the bound controls of a stored form, as formshot lists them.
QStringList FormItems(const QStringList& arguments)
{
    QProcess formshot;
    formshot.start(QStringLiteral(TURVISTA_BINARY_DIR "/tools/formshot"), QStringList{QStringLiteral("--items")} + arguments);
    if (!formshot.waitForFinished() || formshot.exitCode() != 0)
        return {};
    QStringList names;
    for (const QString& line : QString::fromUtf8(formshot.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
        names << line.section(u'\t', 3, 3);
    return names;
}

} // namespace

class TestControlDatabase : public QObject {
    Q_OBJECT

private slots:
    void refusesMalformedLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("message");
        QTest::newRow("too few fields") << "A.B.C | tunable | real | 0 | 1" << "expected NAME";
        QTest::newRow("blank in name") << "A B.C | tunable | real | 0 | 1 | 0 |" << "holds blanks";
        QTest::newRow("unknown class") << "A.B.C | changeable | real | 0 | 1 | 0 |" << "unknown class";
        QTest::newRow("unknown type") << "A.B.C | tunable | float | 0 | 1 | 0 |" << "unknown type";
        QTest::newRow("limit not a number") << "A.B.C | tunable | real | zero | 1 | 0 |" << "not numbers";
        QTest::newRow("minimum above maximum") << "A.B.C | tunable | integer | 5 | 1 | 3 |" << "above maximum";
        QTest::newRow("boolean limits") << "A.B.C | tunable | boolean | 0 | 2 | 0 |" << "0 and 1";
        QTest::newRow("enum without limits") << "A.B.C | configure | enum | | | 1 |" << "lowest and highest";
        QTest::newRow("default of wrong type") << "A.B.C | tunable | integer | 0 | 9 | 1.5 |" << "no integer value";
        QTest::newRow("default outside limits") << "A.B.C | tunable | real | 0 | 9 | 10 |" << "outside";
        QTest::newRow("server word") << "MutableItemList | monitor | string | | | |" << "server itself";
        QTest::newRow("defined twice") << "good.item.in | monitor | real | | | 0 |" << "already defined at bad.items:2";
    }
    void refusesMalformedLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, message);
        TControlDatabase database;
        QString error;
        const QString text = QStringLiteral("# header\nGOOD.ITEM.IN | tunable | boolean | 0 | 1 | 0 |\n") + line + u'\n';
        QVERIFY(!database.LoadText(text, QStringLiteral("bad.items"), &error));
        QVERIFY2(error.startsWith(QStringLiteral("bad.items:3: ")) && error.contains(message), qPrintable(error));
        // Nothing of a refused file stays.
        QVERIFY(database.Items().isEmpty());
    }

    // Every item that a window of the program binds or reads is known to the
    // bundled databases; changeable items have a default.
    void bundledDatabasesHoldEveryWindowItem_data()
    {
        QTest::addColumn<QStringList>("names");
        QFile file(Source + "/tests/data/window-items-config.txt");
        const QStringList configured = file.open(QIODevice::ReadOnly | QIODevice::Text)
            ? QString::fromUtf8(file.readAll()).split(u'\n').filter(QRegularExpression("^[^#\\s]"))
            : QStringList();
        QTest::newRow("program and service mode windows") << configured;
        // The configuration check's items and its messages, and the switch that allows configure mode.
        QTest::newRow("main window") << Numbered("CONF_CHK_1.ERRORS.EV_N_", 256) + Numbered("CONF_CHK_1.ERRORS.MSG_O_", 256)
                                            + QStringList{"CONF_CHK_1.ERRORS.NUM_EVENTS", "CONF_CHK_1.C_ERR_SW.B_SW",
                                                          "CONF_CHK_1.N_ERR_DLY.DELAY", "KXSPL.TST_CONFIG.IN", "Z_CPU_COM.EN_CONFIG.OR"};
        // With the lines of the alarm lists, which its code reads.
        QTest::newRow("run mode window") << FormItems({"Rqv_run"}) + Numbered("Y_ALARMS.ALARMS.EV_TM_", 100)
                                                + Numbered("Y_ALARMS.ALARMS.MSG_O_", 100) + Numbered("X_EVENTLOG.A.EV_TM_", 100)
                                                + Numbered("X_EVENTLOG.A.MESG_O_", 100) + Numbered("X_ELOG.T.EV_TM_", 20)
                                                + Numbered("X_ELOG.T.MESG_O_", 20);
        QTest::newRow("overspeed test") << FormItems({"OverspeedTest"});
        QTest::newRow("time and date") << FormItems({"TimeDate"});
        QTest::newRow("speed dynamics") << FormItems({"SpeedDynamics"});
        QTest::newRow("program mode window") << FormItems({"Rqv_program"});
        QTest::newRow("service mode window") << FormItems({"Rqv_service"});
        for (const char* block : {"EXTR_DYN", "F_CAS_DYN", "G_AUX_DYN"})
            QTest::newRow(block) << FormItems({"LoopDynamics", "--with", QStringLiteral("BLOCK=") + block});
    }
    void bundledDatabasesHoldEveryWindowItem()
    {
        QFETCH(QStringList, names);
        const TFakeControlValues values; // loads the bundled databases
        for (const TItemDefinition& item : values.database.Items())
            QVERIFY2(!item.IsChangeable() || !item.defaultValue.isEmpty(), qPrintable(item.name));
        QVERIFY(!names.isEmpty());
        QStringList missing;
        for (const QString& name : names)
            if (!values.database.Find(name.trimmed()) && !TControlDatabase::IsServerWord(name.trimmed()))
                missing << name;
        QVERIFY2(missing.isEmpty(), qPrintable("not in the database: " + missing.mid(0, 20).join(", ")));
    }

    // Each page of the Program and Service mode windows binds exactly the
    // controls of the window's item list (tests/data/program-items.txt,
    // service-items.txt), by class and item; the order within a page is the layout's business.
    void modeWindowsBindListedControls_data()
    {
        QTest::addColumn<QStringList>("bound");
        QTest::addColumn<QStringList>("listed");
        for (const auto& [form, list] : {std::pair{"Rqv_program", "program"}, std::pair{"Rqv_service", "service"}}) {
            QMap<QString, QStringList> bound, listed;
            QProcess formshot;
            formshot.start(QStringLiteral(TURVISTA_BINARY_DIR "/tools/formshot"), {QStringLiteral("--items"), form});
            QVERIFY(formshot.waitForFinished() && formshot.exitCode() == 0);
            for (const QString& line : QString::fromUtf8(formshot.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
                const QStringList fields = line.split(u'\t');
                if (fields.value(2) != QLatin1String("TKQItemSpy"))
                    bound[fields.value(0)] << fields.value(2) + u' ' + fields.value(3);
            }
            QFile file(Source + "/tests/data/" + list + "-items.txt");
            QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
            for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
                const QStringList fields = line.split(u'\t');
                if (!line.startsWith(u'#'))
                    listed[fields.value(0)] << fields.value(1) + u' ' + fields.value(2);
            }
            QCOMPARE(bound.keys(), listed.keys());
            for (auto page = listed.cbegin(); page != listed.cend(); ++page)
                QTest::newRow(qPrintable(form + (": " + page.key()))) << bound.value(page.key()) << page.value();
        }
    }
    void modeWindowsBindListedControls()
    {
        QFETCH(QStringList, bound);
        QFETCH(QStringList, listed);
        bound.sort();
        listed.sort();
        QCOMPARE(bound, listed);
    }
};

class TestNetworkDefinition : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;
    TNetworkDefinition::TFolders m_folders;
    QString Folder(const QString& name) const { return m_folder.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        m_folders.serverFolder = Folder(QStringLiteral("server"));
        m_folders.stateFolder = Folder(QStringLiteral("state"));
        for (const char* file : {"net/db/run.items", "server/db/config.items", "server/db/run.items", "net/start.cfg"}) {
            QVERIFY(QDir().mkpath(QFileInfo(Folder(file)).absolutePath()));
            QVERIFY(QFile(Folder(file)).open(QIODevice::WriteOnly)); // an empty file is enough here
        }
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
            "sio = b\n"
            "\n"
            "[Control Unit 2]\n"
            "; another comment\n"
            "database = %1\n"
            "store = none\n").arg(Folder(QStringLiteral("server/db/run.items")));
        QVERIFY2(network.Parse(text, Folder(QStringLiteral("net/plant.net")), m_folders, &error), qPrintable(error));

        QCOMPARE(network.Controls().size(), 2);
        const TControlDefinition& first = network.Controls()[0];
        QCOMPARE(network.Topic(first), QStringLiteral("plant.net(Dflt Control ID)"));
        // Beside the network file first, then in the server's folder.
        QCOMPARE(first.databases, QStringList({Folder(QStringLiteral("net/db/run.items")),
                                               Folder(QStringLiteral("server/db/config.items"))}));
        QCOMPARE(first.store, Folder(QStringLiteral("state/unit1.store")));
        QCOMPARE(first.configuration, Folder(QStringLiteral("net/start.cfg")));
        QVERIFY(!first.sioA && first.sioB);

        const TControlDefinition& second = network.Controls()[1];
        QCOMPARE(second.id, QStringLiteral("Unit 2"));
        QVERIFY(second.store.isEmpty() && second.configuration.isEmpty());
        QVERIFY(second.sioA && second.sioB);
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
        QTest::newRow("empty value") << control + "configuration =\n" << 4 << "no value";
        QTest::newRow("missing database") << "[control A]\ndatabase = db/none.items\n" << 2 << "not found";
        QTest::newRow("second store") << control + "store = b.store\n" << 4 << "already has a store";
        QTest::newRow("unknown SIO module") << control + "sio = A, C\n" << 4 << "SIO modules are";
        QTest::newRow("no database") << "[control A]\nstore = a.store\n[control B]\n" << 1 << "names no database";
        QTest::newRow("no store") << "[control A]\ndatabase = db/run.items\n" << 1 << "names no store";
        QTest::newRow("same identifier") << control + "[control a]\n" << 4 << "already defined on line 1";
        QTest::newRow("shared store") << control + "[control B]\ndatabase = db/run.items\nstore = a.store\n" << 6
                                      << "already uses this store";
        QTest::newRow("no control") << "# nothing\n" << 0 << "defines no control";
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
        const QString where = line > 0 ? QStringLiteral("%1:%2: ").arg(path).arg(line) : path + QStringLiteral(": ");
        QVERIFY2(error.startsWith(where) && error.contains(message), qPrintable(error));
        QVERIFY(network.Controls().isEmpty());
    }

};

TURVISTA_TEST_GUILESS_MAIN(TestControlDatabase, TestNetworkDefinition)
#include "tst_definitions.moc"
