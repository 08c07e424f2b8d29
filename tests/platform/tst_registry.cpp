#include "platform/registry/winreg.h"
#include "tests/support/TestRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int CMakeRunTimeout = 120000;
constexpr const char* ServersKey = "SOFTWARE\\Veltrane\\DDE Servers";

// Points the store at a fresh folder for as long as it lives.
class TStoreFolder {
public:
    TStoreFolder()
    {
        // Only the first folder holds the store.
        qputenv("XDG_CONFIG_DIRS", (m_dir.path() + QStringLiteral(":/nonexistent")).toLocal8Bit());
    }
    QString storeFile() const { return m_dir.path() + QStringLiteral("/Turvista/registry.ini"); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

LSTATUS SetString(HKEY parent, const char* subKey, const char* name, const QByteArray& value)
{
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                                     nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.constData()),
                            DWORD(value.size() + 1));
    RegCloseKey(key);
    return status;
}

// The default value of a key below HKEY_LOCAL_MACHINE, or the error on the way.
LSTATUS ReadDefault(const QByteArray& subKey, QByteArray& value)
{
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.constData(), 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    DWORD type = REG_NONE;
    status = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && (type != REG_SZ || size != DWORD(qstrlen(buffer) + 1)))
        return ERROR_INVALID_PARAMETER;
    value = buffer;
    return status;
}

QStringList SubKeys(HKEY key)
{
    QStringList names;
    for (DWORD index = 0;; ++index) {
        char name[101];
        DWORD length = sizeof name;
        const LSTATUS status = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            if (status != ERROR_NO_MORE_ITEMS)
                names.append(QStringLiteral("<error %1>").arg(status));
            return names;
        }
        names.append(QString::fromUtf8(name, length));
    }
}

} // namespace

class TestRegistryLookup : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TStoreFolder> m_store;

private slots:
    void init()
    {
        m_store = std::make_unique<TStoreFolder>();
        const QByteArray servers = ServersKey;
        QCOMPARE(SetString(HKEY_LOCAL_MACHINE, servers + "\\URQVDatorel", nullptr, "/opt/urqv/urqvdatorel"),
                 ERROR_SUCCESS);
        QCOMPARE(SetString(HKEY_LOCAL_MACHINE, servers + "\\Other Server", "", "/opt/other, the server"),
                 ERROR_SUCCESS);
        QCOMPARE(SetString(HKEY_LOCAL_MACHINE, servers + "\\alpha", "Path", "/alpha"), ERROR_SUCCESS);
    }

    void cleanup() { m_store.reset(); }

    void storeIsTheFileInTheFirstConfigFolder()
    {
        QCOMPARE(QString::fromStdString(winreg::StoreFile()), m_store->storeFile());
        QVERIFY(QFile::exists(m_store->storeFile()));
    }

    void handWrittenStoreIsRead()
    {
        // The layout that the build writes for its servers.
        QFile file(m_store->storeFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[SOFTWARE]\n"
                   "Veltrane\\DDE%20Servers\\URQVDatorel\\Default=\"/build/server/urqvdatorel\"\n");
        file.close();
        QByteArray value;
        QCOMPARE(ReadDefault("SOFTWARE\\Veltrane\\DDE Servers\\URQVDatorel", value), ERROR_SUCCESS);
        QCOMPARE(value, QByteArray("/build/server/urqvdatorel"));
    }

    void keysAreFoundWithoutRegardToCase_data()
    {
        QTest::addColumn<QByteArray>("subKey");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("as stored") << QByteArray("SOFTWARE\\Veltrane\\DDE Servers\\URQVDatorel")
                                   << QByteArray("/opt/urqv/urqvdatorel");
        QTest::newRow("lower case") << QByteArray("software\\veltrane\\dde servers\\urqvdatorel")
                                    << QByteArray("/opt/urqv/urqvdatorel");
        QTest::newRow("mixed") << QByteArray("Software\\VELTRANE\\Dde Servers\\UrqvDatorel")
                               << QByteArray("/opt/urqv/urqvdatorel");
        QTest::newRow("comma and blank in value") << QByteArray("SOFTWARE\\Veltrane\\DDE Servers\\other server")
                                                  << QByteArray("/opt/other, the server");
    }

    void keysAreFoundWithoutRegardToCase()
    {
        QFETCH(QByteArray, subKey);
        QFETCH(QByteArray, value);
        QByteArray read;
        QCOMPARE(ReadDefault(subKey, read), ERROR_SUCCESS);
        QCOMPARE(read, value);
    }

    void missingKeysAreNotFound_data()
    {
        QTest::addColumn<QByteArray>("subKey");
        QTest::newRow("unknown maker") << QByteArray("SOFTWARE\\Nobody");
        QTest::newRow("part of a name") << QByteArray("SOFTWARE\\Veltrane\\DDE");
        QTest::newRow("below a server") << QByteArray("SOFTWARE\\Veltrane\\DDE Servers\\URQVDatorel\\More");
        QTest::newRow("value name as key") << QByteArray("SOFTWARE\\Veltrane\\DDE Servers\\alpha\\Path");
    }

    void missingKeysAreNotFound()
    {
        QFETCH(QByteArray, subKey);
        HKEY key = reinterpret_cast<HKEY>(1);
        QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.constData(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
        QCOMPARE(key, HKEY(nullptr));
    }

    void subKeysAreEnumeratedInOrder()
    {
        HKEY hklm = nullptr;
        QCOMPARE(RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &hklm), ERROR_SUCCESS);
        HKEY software = nullptr;
        QCOMPARE(RegOpenKeyExA(hklm, "SOFTWARE", 0, KEY_READ, &software), ERROR_SUCCESS);
        HKEY veltrane = nullptr;
        QCOMPARE(RegOpenKeyExA(software, "Veltrane", 0, KEY_QUERY_VALUE, &veltrane), ERROR_SUCCESS);
        HKEY servers = nullptr;
        QCOMPARE(RegOpenKeyExA(veltrane, "DDE Servers", 0, KEY_ENUMERATE_SUB_KEYS, &servers), ERROR_SUCCESS);

        QCOMPARE(SubKeys(servers), QStringList({"alpha", "Other Server", "URQVDatorel"}));
        QCOMPARE(SubKeys(hklm), QStringList({"SOFTWARE"}));

        for (HKEY key : {servers, veltrane, software, hklm})
            QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);
    }

    void values_data()
    {
        QTest::addColumn<QByteArray>("subKey");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<LSTATUS>("status");
        QTest::addColumn<QByteArray>("value");
        const QByteArray server = QByteArray(ServersKey) + "\\URQVDatorel";
        const QByteArray alpha = QByteArray(ServersKey) + "\\alpha";
        QTest::newRow("default by nullptr") << server << QByteArray() << ERROR_SUCCESS
                                            << QByteArray("/opt/urqv/urqvdatorel");
        QTest::newRow("default by empty name") << server << QByteArray("") << ERROR_SUCCESS
                                               << QByteArray("/opt/urqv/urqvdatorel");
        QTest::newRow("named value, other case") << alpha << QByteArray("PATH") << ERROR_SUCCESS
                                                 << QByteArray("/alpha");
        QTest::newRow("no default value") << alpha << QByteArray() << ERROR_FILE_NOT_FOUND << QByteArray();
        QTest::newRow("no such value") << server << QByteArray("Path") << ERROR_FILE_NOT_FOUND << QByteArray();
    }

    void values()
    {
        QFETCH(QByteArray, subKey);
        QFETCH(QByteArray, name);
        QFETCH(LSTATUS, status);
        QFETCH(QByteArray, value);
        HKEY key = nullptr;
        QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.constData(), 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
        char buffer[101] = {};
        DWORD size = sizeof buffer;
        QCOMPARE(RegQueryValueExA(key, name.isNull() ? nullptr : name.constData(), nullptr, nullptr,
                                  reinterpret_cast<LPBYTE>(buffer), &size),
                 status);
        if (status == ERROR_SUCCESS) {
            QCOMPARE(QByteArray(buffer), value);
            QCOMPARE(size, DWORD(value.size() + 1));
        }
        QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);
    }

    void smallBuffersAreReported()
    {
        HKEY servers = nullptr;
        QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ServersKey, 0, KEY_READ, &servers), ERROR_SUCCESS);

        // "alpha" needs six characters with its terminating zero.
        char name[16];
        DWORD length = 5;
        QCOMPARE(RegEnumKeyExA(servers, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
        length = 6;
        QCOMPARE(RegEnumKeyExA(servers, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
        QCOMPARE(length, DWORD(5));
        QCOMPARE(QByteArray(name), QByteArray("alpha"));

        HKEY server = nullptr;
        QCOMPARE(RegOpenKeyExA(servers, "URQVDatorel", 0, KEY_READ, &server), ERROR_SUCCESS);
        const DWORD needed = DWORD(qstrlen("/opt/urqv/urqvdatorel") + 1);
        DWORD size = 0;
        QCOMPARE(RegQueryValueExA(server, nullptr, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
        QCOMPARE(size, needed);
        char buffer[64] = {};
        size = needed - 1;
        QCOMPARE(RegQueryValueExA(server, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size),
                 ERROR_MORE_DATA);
        QCOMPARE(size, needed);
        QCOMPARE(RegQueryValueExA(server, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size),
                 ERROR_SUCCESS);
        QCOMPARE(QByteArray(buffer), QByteArray("/opt/urqv/urqvdatorel"));

        QCOMPARE(RegCloseKey(server), ERROR_SUCCESS);
        QCOMPARE(RegCloseKey(servers), ERROR_SUCCESS);
    }

    void accessIsChecked_data()
    {
        QTest::addColumn<REGSAM>("access");
        QTest::addColumn<LSTATUS>("enumerate");
        QTest::addColumn<LSTATUS>("query");
        QTest::addColumn<LSTATUS>("set");
        QTest::newRow("query only") << KEY_QUERY_VALUE << ERROR_ACCESS_DENIED << ERROR_SUCCESS
                                    << ERROR_ACCESS_DENIED;
        QTest::newRow("enumerate only") << KEY_ENUMERATE_SUB_KEYS << ERROR_SUCCESS << ERROR_ACCESS_DENIED
                                        << ERROR_ACCESS_DENIED;
        QTest::newRow("read") << KEY_READ << ERROR_SUCCESS << ERROR_SUCCESS << ERROR_ACCESS_DENIED;
        QTest::newRow("write") << KEY_WRITE << ERROR_ACCESS_DENIED << ERROR_ACCESS_DENIED << ERROR_SUCCESS;
    }

    void accessIsChecked()
    {
        QFETCH(REGSAM, access);
        QFETCH(LSTATUS, enumerate);
        QFETCH(LSTATUS, query);
        QFETCH(LSTATUS, set);
        HKEY key = nullptr;
        QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrane", 0, access, &key), ERROR_SUCCESS);
        char name[101];
        DWORD length = sizeof name;
        QCOMPARE(RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), enumerate);
        DWORD size = 0;
        QCOMPARE(RegQueryValueExA(key, "Anything", nullptr, nullptr, nullptr, &size),
                 query == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : query);
        const BYTE text[] = "x";
        QCOMPARE(RegSetValueExA(key, "Note", 0, REG_SZ, text, sizeof text), set);
        QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);
    }

    void creatingAnExistingKeyInOtherCaseOpensIt()
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        QCOMPARE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\veltrane\\dde servers\\URQVDATOREL", 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
                 ERROR_SUCCESS);
        QCOMPARE(disposition, REG_OPENED_EXISTING_KEY);
        const BYTE path[] = "/usr/lib/turvista/urqvdatorel";
        QCOMPARE(RegSetValueExA(key, "DEFAULT", 0, REG_SZ, path, sizeof path), ERROR_SUCCESS);
        QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);

        HKEY servers = nullptr;
        QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ServersKey, 0, KEY_READ, &servers), ERROR_SUCCESS);
        QCOMPARE(SubKeys(servers), QStringList({"alpha", "Other Server", "URQVDatorel"}));
        QCOMPARE(RegCloseKey(servers), ERROR_SUCCESS);
        QByteArray value;
        QCOMPARE(ReadDefault("SOFTWARE\\Veltrane\\DDE Servers\\URQVDatorel", value), ERROR_SUCCESS);
        QCOMPARE(value, QByteArray("/usr/lib/turvista/urqvdatorel"));

        QCOMPARE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrane\\DDE Servers\\New", 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, &disposition),
                 ERROR_SUCCESS);
        QCOMPARE(disposition, REG_CREATED_NEW_KEY);
        QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);
    }

    void badHandlesAndMachinesAreRefused()
    {
        HKEY key = reinterpret_cast<HKEY>(1);
        QCOMPARE(RegConnectRegistryA("\\\\elsewhere", HKEY_LOCAL_MACHINE, &key), ERROR_BAD_NETPATH);
        QCOMPARE(key, HKEY(nullptr));
        QCOMPARE(RegConnectRegistryA("", HKEY_LOCAL_MACHINE, &key), ERROR_SUCCESS);
        QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);
        // Closed once, the handle is gone.
        QCOMPARE(RegCloseKey(key), ERROR_INVALID_HANDLE);
        HKEY sub = nullptr;
        QCOMPARE(RegOpenKeyExA(key, "SOFTWARE", 0, KEY_READ, &sub), ERROR_INVALID_HANDLE);
        QCOMPARE(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    }

    void unwritableStoreIsReported()
    {
        // A file where the store's folder should be: not even the superuser can write there.
        m_store = std::make_unique<TStoreFolder>();
        QFile blocker(m_store->path() + QStringLiteral("/Turvista"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QCOMPARE(SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrane\\DDE Servers\\Late", nullptr, "/late"),
                 ERROR_ACCESS_DENIED);
    }
};

// The build's registration of servers, run on a small project of its own.
class TestRegisterServer : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_project;
    QByteArray m_output;

    int configure(const QByteArray& registrations)
    {
        QFile lists(m_project.path() + QStringLiteral("/CMakeLists.txt"));
        if (!lists.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return -1;
        lists.write("cmake_minimum_required(VERSION 3.21)\n"
                    "project(registration NONE)\n"
                    "include(\"" TURVISTA_SOURCE_DIR "/platform/registry/RegisterServer.cmake\")\n"
                    "add_executable(urqv IMPORTED)\n"
                    "set_target_properties(urqv PROPERTIES IMPORTED_LOCATION /opt/turvista/urqvdatorel)\n"
                    "add_executable(other IMPORTED)\n"
                    "set_target_properties(other PROPERTIES IMPORTED_LOCATION \"/opt/with blank/a,b/server\")\n"
                    + registrations);
        lists.close();
        QProcess cmake;
        cmake.setProcessChannelMode(QProcess::MergedChannels);
        cmake.start(QStringLiteral(TURVISTA_CMAKE_COMMAND),
                    {QStringLiteral("-S"), m_project.path(), QStringLiteral("-B"),
                     m_project.path() + QStringLiteral("/build"), QStringLiteral("-G"),
                     QStringLiteral(TURVISTA_CMAKE_GENERATOR)});
        if (!cmake.waitForFinished(CMakeRunTimeout) || cmake.exitStatus() != QProcess::NormalExit)
            return -1;
        m_output = cmake.readAll();
        return cmake.exitCode();
    }

private slots:
    void initTestCase()
    {
        const int result = configure("turvista_register_dde_server(NAME URQVDatorel TARGET urqv)\n"
                                     "turvista_register_dde_server(NAME \"My Server 2%\" TARGET other)\n");
        if (result != 0)
            qWarning("%s", m_output.constData());
        QCOMPARE(result, 0);
        qputenv("XDG_CONFIG_DIRS", (m_project.path() + QStringLiteral("/build/xdg")).toLocal8Bit());
    }

    void registeredServersAreFound_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("plain") << QByteArray("urqvdatorel") << QByteArray("/opt/turvista/urqvdatorel");
        QTest::newRow("blanks and percent") << QByteArray("MY SERVER 2%")
                                            << QByteArray("/opt/with blank/a,b/server");
    }

    void registeredServersAreFound()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, path);
        QByteArray value;
        QCOMPARE(ReadDefault(QByteArray(ServersKey) + '\\' + name, value), ERROR_SUCCESS);
        QCOMPARE(value, path);
    }

    void aNameRegisteredTwiceIsRefused()
    {
        QVERIFY(configure("turvista_register_dde_server(NAME URQVDatorel TARGET urqv)\n"
                          "turvista_register_dde_server(NAME urqvdatorel TARGET other)\n")
                != 0);
        QVERIFY2(m_output.contains("registered twice"), m_output.constData());
    }
};

TURVISTA_TEST_GUILESS_MAIN(TestRegistryLookup, TestRegisterServer)

#include "tst_registry.moc"
