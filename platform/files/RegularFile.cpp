#include "platform/files/RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString SystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Closes the descriptor however the read ends.
class TDescriptor {
public:
    explicit TDescriptor(int fd) : fd(fd) {}
    ~TDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    const int fd;
};

} // namespace

std::optional<QByteArray> RegularFile::Read(const QString& path, qint64 limit, QString* error)
{
    // Resources are built into the program.
    if (path.startsWith(u':')) {
        QFile resource(path);
        if (!resource.open(QIODevice::ReadOnly)) {
            *error = resource.errorString();
            return std::nullopt;
        }
        return resource.readAll();
    }
    // Non-blocking, so that opening a FIFO with no writer returns at once.
    const TDescriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.fd < 0) {
        *error = SystemError();
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        *error = SystemError();
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        *error = S_ISDIR(info.st_mode) ? QStringLiteral("it is a folder, not a file") : QStringLiteral("it is not a regular file");
        return std::nullopt;
    }
    if (info.st_size > limit) {
        *error = QStringLiteral("the file is larger than %1 bytes").arg(limit);
        return std::nullopt;
    }
    // A file that grows while it is read is read up to the limit and refused past it.
    QByteArray bytes;
    bytes.reserve(qsizetype(info.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(file.fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *error = SystemError();
            return std::nullopt;
        }
        if (got == 0)
            break;
        if (bytes.size() + got > limit) {
            *error = QStringLiteral("the file is larger than %1 bytes").arg(limit);
            return std::nullopt;
        }
        bytes.append(chunk, qsizetype(got));
    }
    return bytes;
}
