#include "server/ControlDatabase.h"

#include "platform/files/RegularFile.h"
#include "server/ValueRules.h"

#include <QRegularExpression>

namespace {

struct ClassWord {
    const char* word;
    TItemClass itemClass;
};
constexpr ClassWord ClassWords[] = {
    {"monitor", TItemClass::Monitor},
    {"tunable", TItemClass::Tunable},
    {"configure", TItemClass::Configure},
};

struct TypeWord {
    const char* word;
    TItemType type;
};
constexpr TypeWord TypeWords[] = {
    {"boolean", TItemType::Boolean}, {"integer", TItemType::Integer}, {"real", TItemType::Real},
    {"string", TItemType::String},   {"time", TItemType::Time},       {"timer", TItemType::Timer},
    {"enum", TItemType::Enum},
};

constexpr const char* ServerWords[] = {
    "RUN MODE", "CONTROL STATUS", "MUTABLEITEMLIST", "CONFIGURATION ID", "APPLICATION ID", "SYSTEM ID",
    "ENABLE RG BLOCKS", "RESET.RESULT", "SHUTDOWN.RESULT", "SAVEVALUES.RESULT",
};

QString Where(const QString& fileName, int line)
{
    return fileName + u':' + QString::number(line) + QStringLiteral(": ");
}

} // namespace

bool TControlDatabase::IsServerWord(const QString& name)
{
    const QString upper = name.trimmed().toUpper();
    for (const char* word : ServerWords)
        if (upper == QLatin1String(word))
            return true;
    return false;
}

bool TControlDatabase::Load(const QStringList& files, QString* error)
{
    for (const QString& fileName : files) {
        QString why;
        const std::optional<QByteArray> bytes = RegularFile::Read(fileName, RegularFile::MaxDatabaseBytes, &why);
        if (!bytes) {
            *error = fileName + QStringLiteral(": cannot read the control database: ") + why;
            m_items.clear();
            m_index.clear();
            return false;
        }
        if (!LoadText(QString::fromLatin1(*bytes), fileName, error))
            return false;
    }
    return true;
}

bool TControlDatabase::LoadText(const QString& text, const QString& fileName, QString* error)
{
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;
        if (!ParseLine(line, fileName, i + 1, error)) {
            m_items.clear();
            m_index.clear();
            return false;
        }
    }
    return true;
}

bool TControlDatabase::ParseLine(const QString& line, const QString& fileName, int lineNumber, QString* error)
{
    const QString where = Where(fileName, lineNumber);
    // The comment is the rest of the line and may itself hold '|'.
    QStringList fields = line.split(u'|');
    if (fields.size() < 6) {
        *error = where + QStringLiteral("expected NAME | CLASS | TYPE | MIN | MAX | DEFAULT | COMMENT");
        return false;
    }
    if (fields.size() > 7)
        fields[6] = fields.mid(6).join(u'|');
    for (QString& field : fields)
        field = field.trimmed();

    TItemDefinition item;
    item.name = fields[0].toUpper();
    item.min = fields[3];
    item.max = fields[4];
    item.comment = fields.size() > 6 ? fields[6] : QString();
    item.file = fileName;
    item.line = lineNumber;

    static const QRegularExpression blank(QStringLiteral("\\s"));
    if (item.name.isEmpty() || item.name.contains(blank)) {
        *error = where + QStringLiteral("item name \"%1\" is empty or holds blanks").arg(fields[0]);
        return false;
    }
    if (IsServerWord(item.name)) {
        *error = where + QStringLiteral("\"%1\" is answered by the server itself").arg(fields[0]);
        return false;
    }
    if (const auto found = m_index.constFind(item.name); found != m_index.constEnd()) {
        const TItemDefinition& first = m_items[*found];
        *error = where + QStringLiteral("item %1 is already defined at %2:%3")
                             .arg(item.name, first.file, QString::number(first.line));
        return false;
    }

    bool classKnown = false;
    for (const ClassWord& word : ClassWords)
        if (fields[1].compare(QLatin1String(word.word), Qt::CaseInsensitive) == 0) {
            item.itemClass = word.itemClass;
            classKnown = true;
        }
    if (!classKnown) {
        *error = where + QStringLiteral("unknown class \"%1\" (monitor, tunable or configure)").arg(fields[1]);
        return false;
    }
    bool typeKnown = false;
    for (const TypeWord& word : TypeWords)
        if (fields[2].compare(QLatin1String(word.word), Qt::CaseInsensitive) == 0) {
            item.type = word.type;
            typeKnown = true;
        }
    if (!typeKnown) {
        *error = where
            + QStringLiteral("unknown type \"%1\" (boolean, integer, real, string, time, timer or enum)")
                  .arg(fields[2]);
        return false;
    }

    if (item.type == TItemType::Boolean) {
        if ((!item.min.isEmpty() && item.min != QLatin1String("0"))
            || (!item.max.isEmpty() && item.max != QLatin1String("1"))) {
            *error = where + QStringLiteral("a boolean's limits are 0 and 1");
            return false;
        }
        item.min = QStringLiteral("0");
        item.max = QStringLiteral("1");
    }
    if (item.type == TItemType::Enum && (item.min.isEmpty() || item.max.isEmpty())) {
        *error = where + QStringLiteral("an enum needs the lowest and highest value of its list as limits");
        return false;
    }
    if (item.IsNumeric()) {
        const auto min = ValueRules::ParseNumber(item.min);
        const auto max = ValueRules::ParseNumber(item.max);
        if ((!item.min.isEmpty() && !min) || (!item.max.isEmpty() && !max)) {
            *error = where + QStringLiteral("limits \"%1\" and \"%2\" are not numbers").arg(item.min, item.max);
            return false;
        }
        if (min && max && *min > *max) {
            *error = where + QStringLiteral("minimum %1 is above maximum %2").arg(item.min, item.max);
            return false;
        }
    }

    const auto value = ValueRules::Normalize(item.type, fields[5]);
    if (!value || (item.IsNumeric() && value->isEmpty())) {
        *error = where + QStringLiteral("default \"%1\" is no %2 value").arg(fields[5], fields[2].toLower());
        return false;
    }
    if (!ValueRules::WithinLimits(item, *value)) {
        *error = where + QStringLiteral("default %1 lies outside %2 .. %3").arg(fields[5], item.min, item.max);
        return false;
    }
    item.defaultValue = *value;

    m_index.insert(item.name, m_items.size());
    m_items.append(item);
    return true;
}

const TItemDefinition* TControlDatabase::Find(const QString& name) const
{
    const auto found = m_index.constFind(name.toUpper());
    return found == m_index.constEnd() ? nullptr : &m_items[*found];
}
