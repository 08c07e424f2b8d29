#include "datalink/TrendFile.h"

#include "platform/files/RegularFile.h"

#include <QDateTime>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

const QString FirstLine = QStringLiteral("# 4812 Turvista trend");
// Rows lie at most this far from the file's zero (a hundred years).
constexpr double MaxSeconds = 100.0 * 366 * 24 * 3600;
const QString ItemsNote = QStringLiteral("Items");

QString Field(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"'))
        return text;
    return u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

// The fields of one line; quoted fields may hold commas and doubled quotes.
QStringList Fields(const QString& line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"')
                field += line[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

QString Number(double value)
{
    return QString::number(value, 'g', 12);
}

} // namespace

QString TTrendFile::Text(long long from, long long to) const
{
    QString text = FirstLine + u'\n';
    for (const auto& [key, value] : notes)
        text += QStringLiteral("# ") + key + QStringLiteral(": ") + value + u'\n';
    QStringList items, titles{QStringLiteral("Time"), QStringLiteral("Seconds")};
    for (const TTrendChannel& channel : data.channels) {
        items << Field(channel.item);
        titles << Field(channel.Title());
    }
    text += QStringLiteral("# ") + ItemsNote + QStringLiteral(": ") + items.join(u',') + u'\n';
    text += titles.join(u',') + u'\n';

    // Merged in time order: per channel the next sample and the value held.
    struct TCursor {
        std::deque<TTrendSample>::const_iterator next, end;
        std::optional<double> held;
    };
    std::vector<TCursor> cursors;
    for (const TTrendChannel& channel : data.channels)
        cursors.push_back({channel.series.LowerBound(from), channel.series.Samples().end(), channel.series.ValueAt(from)});
    long long time = from;
    while (time <= to) {
        QStringList row{QDateTime::fromMSecsSinceEpoch(time).toString(QString::fromLatin1(TimeFormat)),
                        QString::number((time - zero) / 1000.0, 'f', 3)};
        std::optional<long long> following;
        for (TCursor& cursor : cursors) {
            for (; cursor.next != cursor.end && cursor.next->time <= time; ++cursor.next)
                cursor.held = cursor.next->value;
            row << (cursor.held ? Number(*cursor.held) : QString());
            if (cursor.next != cursor.end)
                following = std::min(following.value_or(cursor.next->time), cursor.next->time);
        }
        text += row.join(u',') + u'\n';
        // The last row tells the values held at the end of the span.
        if (time == to)
            break;
        time = following ? std::min(*following, to) : to;
    }
    return text;
}

bool TTrendFile::Write(const QString& path, long long from, long long to, QString* error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Text(from, to).toUtf8()) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

std::optional<TTrendFile> TTrendFile::Read(const QString& path, QString* error)
{
    const std::optional<QByteArray> bytes = RegularFile::Read(path, RegularFile::MaxTrendFileBytes, error);
    if (!bytes)
        return std::nullopt;
    return Parse(QString::fromUtf8(*bytes), error);
}

std::optional<TTrendFile> TTrendFile::Parse(const QString& text, QString* error)
{
    TTrendFile file;
    QStringList items;
    bool header = false;
    std::optional<long long> zero;
    const QStringList lines = text.split(u'\n');
    auto fail = [error](qsizetype index, const QString& why) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(index + 1).arg(why);
        return std::nullopt;
    };
    for (qsizetype index = 0; index < lines.size(); ++index) {
        QString line = lines[index];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        if (line.startsWith(u'#')) {
            const qsizetype colon = line.indexOf(QStringLiteral(": "));
            if (index == 0 || colon < 0)
                continue;
            const QString key = line.mid(1, colon - 1).trimmed(), value = line.mid(colon + 2);
            if (key == ItemsNote)
                items = Fields(value);
            else
                file.notes.append({key, value});
            continue;
        }
        const QStringList fields = Fields(line);
        if (!header) {
            if (fields.size() < 3 || fields[0] != QLatin1String("Time") || fields[1] != QLatin1String("Seconds"))
                return fail(index, QStringLiteral("the header must start with Time,Seconds and name an item"));
            for (qsizetype column = 2; column < fields.size(); ++column) {
                TTrendChannel channel;
                const QString& title = fields[column];
                const qsizetype open = title.lastIndexOf(QStringLiteral(" ("));
                const bool withUnit = open > 0 && title.endsWith(u')');
                channel.name = withUnit ? title.left(open) : title;
                channel.unit = withUnit ? title.mid(open + 2, title.size() - open - 3) : QString();
                channel.item = items.value(column - 2, channel.name);
                file.data.channels.push_back(channel);
            }
            header = true;
            continue;
        }
        if (fields.size() != qsizetype(file.data.channels.size()) + 2)
            return fail(index, QStringLiteral("%1 fields where the header has %2")
                                   .arg(fields.size()).arg(file.data.channels.size() + 2));
        const QDateTime time = QDateTime::fromString(fields[0], QString::fromLatin1(TimeFormat));
        if (!time.isValid())
            return fail(index, QStringLiteral("\"%1\" is not a time").arg(fields[0]));
        bool ok = false;
        const double seconds = fields[1].toDouble(&ok);
        if (!ok || !(std::abs(seconds) <= MaxSeconds))
            return fail(index, QStringLiteral("\"%1\" is not a number of seconds").arg(fields[1]));
        // The seconds carry the time line: the local time may go back an hour once a year.
        if (!zero) {
            zero = time.toMSecsSinceEpoch() - std::llround(seconds * 1000);
            file.from = time.toMSecsSinceEpoch();
        }
        const long long ms = *zero + std::llround(seconds * 1000);
        if (ms < file.from || ms < file.to)
            return fail(index, QStringLiteral("%1 seconds is before the row above it").arg(fields[1]));
        file.to = ms;
        for (size_t column = 0; column < file.data.channels.size(); ++column) {
            const QString& cell = fields[qsizetype(column) + 2];
            if (cell.isEmpty())
                continue;
            const double value = cell.toDouble(&ok);
            if (!ok || !std::isfinite(value))
                return fail(index, QStringLiteral("\"%1\" is not a number").arg(cell));
            TTrendSeries& series = file.data.channels[column].series;
            // Rows repeat the values held; only changes are samples.
            if (series.IsEmpty() || series.Samples().back().value != value)
                series.Append(ms, value);
        }
    }
    if (!header)
    {
        if (error)
            *error = QStringLiteral("no header: this is not a trend file");
        return std::nullopt;
    }
    file.zero = zero.value_or(0);
    return file;
}
