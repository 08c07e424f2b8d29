// The per-user folder that holds one socket per registered service name.
#include "platform/ddeml/DdeHandles.h"

#include <QCryptographicHash>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace ddeml {

namespace {

// A folder is safe when it is ours, a real folder, and closed to everyone else.
// Empty when it is; else what is wrong with it.
std::string FolderProblem(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string("cannot be made: ") + std::strerror(errno);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return std::string("cannot be examined: ") + std::strerror(errno);
    if (S_ISLNK(info.st_mode))
        return "is a symbolic link";
    if (!S_ISDIR(info.st_mode))
        return "is not a folder";
    if (info.st_uid != ::geteuid())
        return "belongs to another user";
    if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(info.st_mode & 07777));
        return std::string("may be opened by others (mode ") + mode + ", it must be 0700)";
    }
    return {};
}

std::string ChooseFolder()
{
    if (const char* own = std::getenv("TURVISTA_DDE_DIR"); own && *own)
        return own;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return std::string(runtime) + "/turvista-dde";
    return "/tmp/turvista-dde-" + std::to_string(::geteuid());
}

} // namespace

QByteArray SocketFolderPath()
{
    // Looked up on every use: tests point the environment at private folders.
    const std::string folder = ChooseFolder();
    if (!FolderProblem(folder).empty())
        return {};
    return QByteArray::fromStdString(folder);
}

} // namespace ddeml

const char* ddeml::SocketFolder()
{
    static thread_local QByteArray folder;
    folder = SocketFolderPath();
    return folder.constData();
}

const char* ddeml::SocketFolderProblem()
{
    static thread_local std::string problem;
    const std::string folder = ChooseFolder();
    const std::string what = FolderProblem(folder);
    problem = what.empty() ? what : "the socket folder " + folder + " " + what;
    return problem.c_str();
}

const char* ddeml::ServiceSocketPath(const char* service, char* buffer, DWORD size)
{
    const QByteArray folder = SocketFolderPath();
    if (folder.isEmpty() || !service || !buffer || size == 0)
        return nullptr;
    // Service names are compared without regard to case; unusual bytes are escaped.
    QByteArray name;
    for (const char* p = service; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-')
            name.append(char(c));
        else if (c >= 'A' && c <= 'Z')
            name.append(char(c - 'A' + 'a'));
        else
            name.append('%').append(QByteArray::number(c, 16).rightJustified(2, '0'));
    }
    // Socket paths are short on Linux; long names go by their digest.
    if (folder.size() + name.size() + 8 > 100)
        name = "h-" + QCryptographicHash::hash(name, QCryptographicHash::Sha1).toHex();
    const QByteArray path = folder + "/" + name + ".dde";
    if (DWORD(path.size()) + 1 > size)
        return nullptr;
    std::memcpy(buffer, path.constData(), size_t(path.size()) + 1);
    return buffer;
}
