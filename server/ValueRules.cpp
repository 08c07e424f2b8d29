#include "server/ValueRules.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace ValueRules {

namespace {

struct TypeCode {
    TItemType type;
    char code;
};

// Data-type bytes of the symbol information.
constexpr TypeCode TypeCodes[] = {
    {TItemType::Boolean, 0x01}, {TItemType::Integer, 0x03}, {TItemType::Enum, 0x03},
    {TItemType::Real, 0x20},    {TItemType::Time, 0x40},    {TItemType::Timer, 0x42},
    {TItemType::String, 0x50},
};

char TypeByte(TItemType type)
{
    for (const TypeCode& entry : TypeCodes)
        if (entry.type == type)
            return entry.code;
    return 0x50;
}

// Clock times, dates and durations: digit groups joined by : / . - or blanks.
bool IsTimeText(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d+([:/.\\- ]+\\d+)*$"));
    return pattern.match(text).hasMatch();
}

} // namespace

std::optional<double> ParseNumber(const QString& text)
{
    QString number = text.trimmed();
    if (number.isEmpty())
        return std::nullopt;
    if (!number.contains(u'.') && number.count(u',') == 1)
        number.replace(u',', u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString FormatReal(double value)
{
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

QString FormatInteger(double value)
{
    return QString::number(static_cast<long long>(std::llround(value)));
}

std::optional<QString> Normalize(TItemType type, const QString& text)
{
    const QString trimmed = text.trimmed();
    switch (type) {
    case TItemType::Boolean: {
        if (trimmed.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
            return QStringLiteral("1");
        if (trimmed.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
            return QStringLiteral("0");
        const auto number = ParseNumber(trimmed);
        if (!number)
            return std::nullopt;
        return QString::fromLatin1(*number != 0 ? "1" : "0");
    }
    case TItemType::Integer:
    case TItemType::Enum: {
        const auto number = ParseNumber(trimmed);
        if (!number || *number != std::floor(*number) || std::fabs(*number) > 2147483647.0)
            return std::nullopt;
        return FormatInteger(*number);
    }
    case TItemType::Real: {
        const auto number = ParseNumber(trimmed);
        if (!number)
            return std::nullopt;
        return FormatReal(*number);
    }
    case TItemType::Time:
    case TItemType::Timer:
        if (trimmed.isEmpty() || IsTimeText(trimmed))
            return trimmed;
        return std::nullopt;
    case TItemType::String:
        return text;
    }
    return std::nullopt;
}

bool WithinLimits(const TItemDefinition& item, const QString& normalized)
{
    if (!item.IsNumeric())
        return true;
    const auto value = ParseNumber(normalized);
    if (!value)
        return false;
    if (const auto min = ParseNumber(item.min); min && *value < *min)
        return false;
    if (const auto max = ParseNumber(item.max); max && *value > *max)
        return false;
    return true;
}

QByteArray SymbolInfo(const TItemDefinition& item)
{
    QByteArray info;
    info.append(char(static_cast<int>(item.itemClass)));
    info.append(TypeByte(item.type));
    info.append(item.min.toLatin1());
    info.append('\0');
    info.append(item.max.toLatin1());
    info.append('\0');
    return info;
}

} // namespace ValueRules
