// Registry look-ups over the INI store, and the build's registration of servers.
#include "platform/registry/winreg.h"
#include "tests/support/TestRunner.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int CMakeRunTimeout = 120000;
const QByteArray ServersKey = "SOFTWARE\\Veltrane\\DDE Servers";

// Points the store at a fresh folder for as long as it lives.
class TStoreFolder {
public:
    // Only the first folder holds the store.
    TStoreFolder() { qputenv("XDG_CONFIG_DIRS", (m_dir.path() + QStringLiteral(":/nonexistent")).toLocal8Bit()); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

LSTATUS SetString(const QByteArray& subKey, const char* name, const QByteArray& value)
{
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.constData(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.constData()),
                            DWORD(value.size() + 1));
    RegCloseKey(key);
    return status;
}

// A value of a key below HKEY_LOCAL_MACHINE (the default one without name), or
// the error on the way, with the size it reported.
LSTATUS Read(const QByteArray& subKey, const char* name, QByteArray& value, DWORD* reported = nullptr)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.constData(), 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return key ? ERROR_INVALID_HANDLE : status; // a failed open leaves no handle
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    DWORD type = REG_NONE;
    status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && (type != REG_SZ || size != DWORD(qstrlen(buffer) + 1)))
        return ERROR_INVALID_PARAMETER;
    value = buffer;
    if (reported)
        *reported = size;
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
        QCOMPARE(SetString(ServersKey + "\\URQVDatorel", nullptr, "/opt/urqv/urqvdatorel"), ERROR_SUCCESS);
        QCOMPARE(SetString(ServersKey + "\\Other Server", "", "/opt/other, the server"), ERROR_SUCCESS);
        QCOMPARE(SetString(ServersKey + "\\alpha", "Path", "/alpha"), ERROR_SUCCESS);
        QCOMPARE(QString::fromStdString(winreg::StoreFile()), m_store->path() + QStringLiteral("/Turvista/registry.ini"));
    }

    void cleanup() { m_store.reset(); }

    void lookups_data()
    {
        QTest::addColumn<QByteArray>("subKey");
        QTest::addColumn<QByteArray>("name"); // null: the default value
        QTest::addColumn<LSTATUS>("status");
        QTest::addColumn<QByteArray>("value");
        const QByteArray urqv = "/opt/urqv/urqvdatorel";
        QTest::newRow("as stored") << ServersKey + "\\URQVDatorel" << QByteArray() << ERROR_SUCCESS << urqv;
        QTest::newRow("lower case") << QByteArray("software\\veltrane\\dde servers\\urqvdatorel") << QByteArray()
                                    << ERROR_SUCCESS << urqv;
        QTest::newRow("mixed case") << QByteArray("Software\\VELTRANE\\Dde Servers\\UrqvDatorel") << QByteArray()
                                    << ERROR_SUCCESS << urqv;
        QTest::newRow("default by empty name") << ServersKey + "\\URQVDatorel" << QByteArray("") << ERROR_SUCCESS << urqv;
        QTest::newRow("comma and blank") << ServersKey + "\\other server" << QByteArray() << ERROR_SUCCESS
                                         << QByteArray("/opt/other, the server");
        QTest::newRow("named value, other case") << ServersKey + "\\alpha" << QByteArray("PATH") << ERROR_SUCCESS
                                                 << QByteArray("/alpha");
        QTest::newRow("no default value") << ServersKey + "\\alpha" << QByteArray() << ERROR_FILE_NOT_FOUND << QByteArray();
        QTest::newRow("no such value") << ServersKey + "\\URQVDatorel" << QByteArray("Path") << ERROR_FILE_NOT_FOUND
                                       << QByteArray();
        QTest::newRow("unknown maker") << QByteArray("SOFTWARE\\Nobody") << QByteArray() << ERROR_FILE_NOT_FOUND << QByteArray();
        QTest::newRow("part of a name") << QByteArray("SOFTWARE\\Veltrane\\DDE") << QByteArray() << ERROR_FILE_NOT_FOUND
                                        << QByteArray();
        QTest::newRow("below a server") << ServersKey + "\\URQVDatorel\\More" << QByteArray() << ERROR_FILE_NOT_FOUND
                                        << QByteArray();
        QTest::newRow("value name as key") << ServersKey + "\\alpha\\Path" << QByteArray() << ERROR_FILE_NOT_FOUND
                                           << QByteArray();
    }

    void lookups()
    {
        QFETCH(QByteArray, subKey);
        QFETCH(QByteArray, name);
        QFETCH(LSTATUS, status);
        QFETCH(QByteArray, value);
        QByteArray read;
        QCOMPARE(Read(subKey, name.isNull() ? nullptr : name.constData(), read), status);
        QCOMPARE(read, value);
    }

    void subKeysAreEnumeratedInOrder()
    {
        // Creating a key that exists in another case opens it.
        HKEY key = nullptr;
        DWORD disposition = 0;
        QCOMPARE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\veltrane\\dde servers\\URQVDATOREL", 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
                 ERROR_SUCCESS);
        QCOMPARE(disposition, REG_OPENED_EXISTING_KEY);
        const BYTE path[] = "/usr/lib/turvista/urqvdatorel";
        QCOMPARE(RegSetValueExA(key, "DEFAULT", 0, REG_SZ, path, sizeof path), ERROR_SUCCESS);
        QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);
        QByteArray value;
        QCOMPARE(Read(ServersKey + "\\URQVDatorel", nullptr, value), ERROR_SUCCESS);
        QCOMPARE(value, QByteArray("/usr/lib/turvista/urqvdatorel"));

        // Opened step by step from a connected root.
        HKEY hklm = nullptr, software = nullptr, veltrane = nullptr, servers = nullptr;
        QCOMPARE(RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &hklm), ERROR_SUCCESS);
        QCOMPARE(RegOpenKeyExA(hklm, "SOFTWARE", 0, KEY_READ, &software), ERROR_SUCCESS);
        QCOMPARE(RegOpenKeyExA(software, "Veltrane", 0, KEY_QUERY_VALUE, &veltrane), ERROR_SUCCESS);
        QCOMPARE(RegOpenKeyExA(veltrane, "DDE Servers", 0, KEY_ENUMERATE_SUB_KEYS, &servers), ERROR_SUCCESS);
        QCOMPARE(SubKeys(servers), QStringList({"alpha", "Other Server", "URQVDatorel"}));
        QCOMPARE(SubKeys(hklm), QStringList({"SOFTWARE"}));
        for (HKEY opened : {servers, veltrane, software, hklm})
            QCOMPARE(RegCloseKey(opened), ERROR_SUCCESS);
        QCOMPARE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, ServersKey + "\\New", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_WRITE, nullptr, &key, &disposition),
                 ERROR_SUCCESS);
        QCOMPARE(disposition, REG_CREATED_NEW_KEY);
        QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);
    }

    void accessIsChecked_data()
    {
        QTest::addColumn<REGSAM>("access");
        QTest::addColumn<LSTATUS>("enumerate");
        QTest::addColumn<LSTATUS>("query");
        QTest::addColumn<LSTATUS>("set");
        QTest::newRow("query only") << KEY_QUERY_VALUE << ERROR_ACCESS_DENIED << ERROR_FILE_NOT_FOUND
                                    << ERROR_ACCESS_DENIED;
        QTest::newRow("enumerate only") << KEY_ENUMERATE_SUB_KEYS << ERROR_SUCCESS << ERROR_ACCESS_DENIED
                                        << ERROR_ACCESS_DENIED;
        QTest::newRow("read") << KEY_READ << ERROR_SUCCESS << ERROR_FILE_NOT_FOUND << ERROR_ACCESS_DENIED;
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
        QCOMPARE(RegQueryValueExA(key, "Anything", nullptr, nullptr, nullptr, &size), query);
        const BYTE text[] = "x";
        QCOMPARE(RegSetValueExA(key, "Note", 0, REG_SZ, text, sizeof text), set);
        QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);
    }

    void badHandlesAndMachinesAreRefused()
    {
        HKEY key = reinterpret_cast<HKEY>(1);
        QCOMPARE(RegConnectRegistryA("\\\\elsewhere", HKEY_LOCAL_MACHINE, &key), ERROR_BAD_NETPATH);
        QCOMPARE(key, HKEY(nullptr));
        QCOMPARE(RegConnectRegistryA("", HKEY_LOCAL_MACHINE, &key), ERROR_SUCCESS);
        QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);
        QCOMPARE(RegCloseKey(key), ERROR_INVALID_HANDLE); // closed once, the handle is gone
        HKEY sub = nullptr;
        QCOMPARE(RegOpenKeyExA(key, "SOFTWARE", 0, KEY_READ, &sub), ERROR_INVALID_HANDLE);
        QCOMPARE(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
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
    void registeredServersAreFound()
    {
        const int result = configure("turvista_register_dde_server(NAME URQVDatorel TARGET urqv)\n"
                                     "turvista_register_dde_server(NAME \"My Server 2%\" TARGET other)\n");
        QVERIFY2(result == 0, m_output.constData());
        qputenv("XDG_CONFIG_DIRS", (m_project.path() + QStringLiteral("/build/xdg")).toLocal8Bit());
        QByteArray value;
        QCOMPARE(Read(ServersKey + "\\urqvdatorel", nullptr, value), ERROR_SUCCESS);
        QCOMPARE(value, QByteArray("/opt/turvista/urqvdatorel"));
        QCOMPARE(Read(ServersKey + "\\MY SERVER 2%", nullptr, value), ERROR_SUCCESS);
        QCOMPARE(value, QByteArray("/opt/with blank/a,b/server"));
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
