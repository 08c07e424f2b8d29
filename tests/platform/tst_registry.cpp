// Registry look-ups over the INI store. Opening key by key and enumerating
// servers are proven by the server connection's tests, the build's registration
// of the server by the integration tests, which find the server through it.
#include "platform/registry/winreg.h"
#include "tests/support/TestRunner.h"

#include <QTemporaryDir>

namespace {

const QByteArray ServersKey = "SOFTWARE\\Veltrane\\DDE Servers";

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
// the error on the way.
LSTATUS Read(const QByteArray& subKey, const char* name, QByteArray& value)
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
    return status;
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> store;

private slots:
    void init()
    {
        // Only the first folder holds the store.
        store = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_DIRS", (store->path() + QStringLiteral(":/nonexistent")).toLocal8Bit());
        QCOMPARE(SetString(ServersKey + "\\URQVDatorel", nullptr, "/opt/urqv/urqvdatorel"), ERROR_SUCCESS);
        QCOMPARE(SetString(ServersKey + "\\Other Server", "", "/opt/other, the server"), ERROR_SUCCESS);
        QCOMPARE(SetString(ServersKey + "\\alpha", "Path", "/alpha"), ERROR_SUCCESS);
        QCOMPARE(QString::fromStdString(winreg::StoreFile()), store->path() + QStringLiteral("/Turvista/registry.ini"));
    }

    void cleanup() { store.reset(); }

    void lookups_data()
    {
        QTest::addColumn<QByteArray>("subKey");
        QTest::addColumn<QByteArray>("name"); // null: the default value
        QTest::addColumn<LSTATUS>("status");
        QTest::addColumn<QByteArray>("value");
        const QByteArray urqv = "/opt/urqv/urqvdatorel";
        const QByteArray none;
        QTest::newRow("as stored") << ServersKey + "\\URQVDatorel" << none << ERROR_SUCCESS << urqv;
        QTest::newRow("other case") << QByteArray("Software\\VELTRANE\\dde servers\\UrqvDatorel") << none
                                    << ERROR_SUCCESS << urqv;
        QTest::newRow("default by empty name") << ServersKey + "\\URQVDatorel" << QByteArray("") << ERROR_SUCCESS << urqv;
        QTest::newRow("comma and blank") << ServersKey + "\\other server" << none << ERROR_SUCCESS
                                         << QByteArray("/opt/other, the server");
        QTest::newRow("named value, other case") << ServersKey + "\\alpha" << QByteArray("PATH") << ERROR_SUCCESS
                                                 << QByteArray("/alpha");
        QTest::newRow("no default value") << ServersKey + "\\alpha" << none << ERROR_FILE_NOT_FOUND << none;
        QTest::newRow("no such value") << ServersKey + "\\URQVDatorel" << QByteArray("Path") << ERROR_FILE_NOT_FOUND << none;
        QTest::newRow("part of a name") << QByteArray("SOFTWARE\\Veltrane\\DDE") << none << ERROR_FILE_NOT_FOUND << none;
        QTest::newRow("value name as key") << ServersKey + "\\alpha\\Path" << none << ERROR_FILE_NOT_FOUND << none;
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
    }
};

TURVISTA_TEST_GUILESS_MAIN(TestRegistry)

#include "tst_registry.moc"
