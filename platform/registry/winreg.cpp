#include "platform/registry/winreg.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>

// An open key: its group path in the store, as spelled there ('/' between
// levels, empty for the root), and the access it was opened with.
struct HKEY__ {
    QString path;
    REGSAM access;
};

namespace {

std::mutex keysMutex;
std::unordered_set<HKEY> openKeys;

struct KeyInfo {
    QString path;
    REGSAM access = 0;
};

bool Lookup(HKEY key, KeyInfo& info)
{
    if (key == HKEY_LOCAL_MACHINE) {
        info = {QString(), KEY_ALL_ACCESS};
        return true;
    }
    std::lock_guard lock(keysMutex);
    if (!openKeys.contains(key))
        return false;
    info = {key->path, key->access};
    return true;
}

HKEY NewKey(const QString& path, REGSAM access)
{
    HKEY key = new HKEY__{path, access};
    std::lock_guard lock(keysMutex);
    openKeys.insert(key);
    return key;
}

std::unique_ptr<QSettings> OpenStore()
{
    return std::make_unique<QSettings>(QString::fromStdString(winreg::StoreFile()), QSettings::IniFormat);
}

QString Join(const QString& parent, const QString& name)
{
    return parent.isEmpty() ? name : parent + u'/' + name;
}

QStringList Children(QSettings& store, const QString& path, bool groups)
{
    if (!path.isEmpty())
        store.beginGroup(path);
    const QStringList names = groups ? store.childGroups() : store.childKeys();
    if (!path.isEmpty())
        store.endGroup();
    return names;
}

// The stored spelling of a sub-key or value name, matched without regard to case;
// empty when there is none.
QString Find(QSettings& store, const QString& path, const QString& name, bool group)
{
    const QStringList names = Children(store, path, group);
    const auto found = std::find_if(names.begin(), names.end(), [&](const QString& candidate) {
        return candidate.compare(name, Qt::CaseInsensitive) == 0;
    });
    return found == names.end() ? QString() : *found;
}

// The levels of a sub-key path. A '/' cannot be stored in a name.
bool SplitSubKey(LPCSTR subKey, QStringList& levels)
{
    levels = subKey ? QString::fromUtf8(subKey).split(u'\\', Qt::SkipEmptyParts) : QStringList();
    return std::none_of(levels.begin(), levels.end(), [](const QString& level) { return level.contains(u'/'); });
}

QString ValueName(LPCSTR name)
{
    return name && *name ? QString::fromUtf8(name) : QString::fromLatin1(winreg::DefaultValueName);
}

} // namespace

std::string winreg::StoreFile()
{
    const QStringList folders = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_DIRS")).split(u':', Qt::SkipEmptyParts);
    const QString folder = folders.isEmpty() ? QLibraryInfo::path(QLibraryInfo::SettingsPath) : folders.first();
    return QDir::cleanPath(folder + QStringLiteral("/Turvista/registry.ini")).toStdString();
}

LSTATUS RegConnectRegistryA(LPCSTR lpMachineName, HKEY hKey, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (lpMachineName && *lpMachineName)
        return ERROR_BAD_NETPATH;
    if (hKey != HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    *phkResult = NewKey(QString(), KEY_ALL_ACCESS);
    return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    KeyInfo parent;
    if (!Lookup(hKey, parent))
        return ERROR_INVALID_HANDLE;
    QStringList levels;
    if (!SplitSubKey(lpSubKey, levels))
        return ERROR_FILE_NOT_FOUND;

    QString path = parent.path;
    if (!levels.isEmpty()) {
        const auto store = OpenStore();
        for (const QString& level : levels) {
            const QString stored = Find(*store, path, level, true);
            if (stored.isEmpty())
                return ERROR_FILE_NOT_FOUND;
            path = Join(path, stored);
        }
    }
    *phkResult = NewKey(path, samDesired);
    return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    KeyInfo key;
    if (!Lookup(hKey, key))
        return ERROR_INVALID_HANDLE;
    if (!lpName || !lpcchName || lpReserved)
        return ERROR_INVALID_PARAMETER;
    if (!(key.access & KEY_ENUMERATE_SUB_KEYS))
        return ERROR_ACCESS_DENIED;

    QStringList names = Children(*OpenStore(), key.path, true);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    // Two spellings of one name are one key.
    names.erase(std::unique(names.begin(), names.end(),
                            [](const QString& a, const QString& b) {
                                return a.compare(b, Qt::CaseInsensitive) == 0;
                            }),
                names.end());
    if (dwIndex >= DWORD(names.size()))
        return ERROR_NO_MORE_ITEMS;

    const QByteArray name = names.at(qsizetype(dwIndex)).toUtf8();
    if (DWORD(name.size()) + 1 > *lpcchName)
        return ERROR_MORE_DATA;
    std::memcpy(lpName, name.constData(), size_t(name.size()) + 1);
    *lpcchName = DWORD(name.size());
    if (lpcchClass) {
        if (lpClass && *lpcchClass > 0)
            *lpClass = '\0';
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData)
{
    KeyInfo key;
    if (!Lookup(hKey, key))
        return ERROR_INVALID_HANDLE;
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    if (!(key.access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;

    const auto store = OpenStore();
    const QString name = Find(*store, key.path, ValueName(lpValueName), false);
    if (name.isEmpty())
        return ERROR_FILE_NOT_FOUND;
    const QVariant value = store->value(Join(key.path, name));
    // An unquoted value with commas in it reads back as a list.
    const QString text = value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',')
                                                                   : value.toString();
    const QByteArray bytes = text.toUtf8();
    const DWORD size = DWORD(bytes.size()) + 1;

    if (lpType)
        *lpType = REG_SZ;
    if (!lpcbData)
        return ERROR_SUCCESS;
    if (lpData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData)
        std::memcpy(lpData, bytes.constData(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR, DWORD dwOptions, REGSAM samDesired,
                        LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    KeyInfo parent;
    if (!Lookup(hKey, parent))
        return ERROR_INVALID_HANDLE;
    QStringList levels;
    if (Reserved != 0 || dwOptions != REG_OPTION_NON_VOLATILE || !SplitSubKey(lpSubKey, levels))
        return ERROR_INVALID_PARAMETER;
    if (!levels.isEmpty() && !(parent.access & KEY_CREATE_SUB_KEY))
        return ERROR_ACCESS_DENIED;

    // Existing levels keep their stored spelling; the store gets the new ones
    // with the first value set below them.
    QString path = parent.path;
    bool created = false;
    if (!levels.isEmpty()) {
        const auto store = OpenStore();
        for (const QString& level : levels) {
            const QString stored = created ? QString() : Find(*store, path, level, true);
            created = created || stored.isEmpty();
            path = Join(path, stored.isEmpty() ? level : stored);
        }
    }
    *phkResult = NewKey(path, samDesired);
    if (lpdwDisposition)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData)
{
    KeyInfo key;
    if (!Lookup(hKey, key))
        return ERROR_INVALID_HANDLE;
    const QString wanted = ValueName(lpValueName);
    if (Reserved != 0 || dwType != REG_SZ || (!lpData && cbData > 0) || wanted.contains(u'/')
        || wanted.contains(u'\\'))
        return ERROR_INVALID_PARAMETER;
    if (!(key.access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;

    // The string ends at its terminating zero or at the end of the data.
    const char* text = reinterpret_cast<const char*>(lpData);
    const size_t length = lpData ? strnlen(text, cbData) : 0;
    const QString value = QString::fromUtf8(text, qsizetype(length));

    const QString file = QString::fromStdString(winreg::StoreFile());
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return ERROR_ACCESS_DENIED;
    const auto store = OpenStore();
    const QString stored = Find(*store, key.path, wanted, false);
    store->setValue(Join(key.path, stored.isEmpty() ? wanted : stored), value);
    store->sync();
    return store->status() == QSettings::NoError ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS RegCloseKey(HKEY hKey)
{
    if (hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    {
        std::lock_guard lock(keysMutex);
        if (openKeys.erase(hKey) == 0)
            return ERROR_INVALID_HANDLE;
    }
    delete hKey;
    return ERROR_SUCCESS;
}
