#include "server/ValueStore.h"

#include "platform/files/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char Header[] = "TURVISTA-STORE 1";
constexpr char TemporarySuffix[] = ".new";

QString Escape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '\t': out += QLatin1String("\\t"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        default: out += c;
        }
    }
    return out;
}

QString Unescape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[++i];
        switch (next.unicode()) {
        case 't': out += u'\t'; break;
        case 'n': out += u'\n'; break;
        case 'r': out += u'\r'; break;
        default: out += next;
        }
    }
    return out;
}

QString SystemError(const char* what)
{
    return QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

} // namespace

TValueStore::TValueStore(const QString& path)
    : m_path(path)
{
}

TValueStore::TLoadResult TValueStore::Load(TStoreContents* contents, QString* error) const
{
    *contents = {};
    // What a save that died part way left beside the store is of no use.
    QFile::remove(m_path + QLatin1String(TemporarySuffix));
    if (!QFileInfo::exists(m_path))
        return TLoadResult::Missing;
    QString why;
    const std::optional<QByteArray> bytes = RegularFile::Read(m_path, RegularFile::MaxDatabaseBytes, &why);
    if (!bytes) {
        *error = m_path + QStringLiteral(": ") + why;
        return TLoadResult::Damaged;
    }
    const QStringList lines = QString::fromUtf8(*bytes).split(u'\n');
    auto damaged = [&](int line, const QString& why) {
        *contents = {};
        *error = m_path + u':' + QString::number(line) + QStringLiteral(": ") + why;
        return TLoadResult::Damaged;
    };
    if (lines.isEmpty() || lines[0] != QLatin1String(Header))
        return damaged(1, QStringLiteral("not a control store"));
    for (int i = 1; i < lines.size(); ++i) {
        if (i + 1 == lines.size() && lines[i].isEmpty())
            break; // the end of the last line
        const QStringList fields = lines[i].split(u'\t');
        const QString& kind = fields[0];
        if (kind == QLatin1String("ID") && fields.size() == 2) {
            contents->configurationId = Unescape(fields[1]);
        } else if (kind == QLatin1String("V") && fields.size() == 3) {
            contents->values.append({fields[1], Unescape(fields[2])});
        } else if (kind == QLatin1String("END") && fields.size() == 2) {
            if (fields[1].toLongLong() != contents->values.size())
                return damaged(i + 1, QStringLiteral("value count does not match"));
            return TLoadResult::Loaded;
        } else {
            return damaged(i + 1, QStringLiteral("unreadable line"));
        }
    }
    return damaged(lines.size(), QStringLiteral("the store ends early"));
}

bool TValueStore::Save(const TStoreContents& contents, QString* error) const
{
    QString text = QLatin1String(Header) + u'\n';
    text += QStringLiteral("ID\t") + Escape(contents.configurationId) + u'\n';
    for (const auto& [name, value] : contents.values)
        text += QStringLiteral("V\t") + name + u'\t' + Escape(value) + u'\n';
    text += QStringLiteral("END\t") + QString::number(contents.values.size()) + u'\n';
    const QByteArray bytes = text.toUtf8();

    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = info.absolutePath() + QStringLiteral(": cannot create the folder");
        return false;
    }
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray temporary = target + TemporarySuffix;

    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = SystemError("cannot create the new store");
        return false;
    }
    const size_t half = size_t(bytes.size()) / 2;
    bool ok = WriteAll(fd, bytes.constData(), half);
    if (ok && midWriteHook)
        midWriteHook();
    ok = ok && WriteAll(fd, bytes.constData() + half, size_t(bytes.size()) - half);
    ok = ok && ::fsync(fd) == 0;
    if (!ok) {
        *error = SystemError("cannot write the new store");
        ::close(fd);
        ::unlink(temporary.constData());
        return false;
    }
    ::close(fd);
    if (::rename(temporary.constData(), target.constData()) != 0) {
        *error = SystemError("cannot replace the store");
        ::unlink(temporary.constData());
        return false;
    }
    // The rename itself must reach the disk too.
    const int folder = ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}
