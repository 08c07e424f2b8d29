#include "server/Faults.h"

#include "server/ServerTiming.h"

#include <algorithm>

namespace {

struct KindWord {
    const char* word;
    TFaults::TKind kind;
};
constexpr KindWord KindWords[] = {
    {"slow", TFaults::TKind::Slow},
    {"silent", TFaults::TKind::Silent},
    {"refuse", TFaults::TKind::Refuse},
    {"die", TFaults::TKind::Die},
    {"die-in-store", TFaults::TKind::DieInStore},
};

} // namespace

bool TFaults::Set(const QString& text, QString* error)
{
    QList<TRule> rules;
    for (const QString& part : text.split(u';')) {
        const QString rule = part.trimmed();
        if (rule.isEmpty())
            continue;
        const QString word = rule.section(u'=', 0, 0).trimmed().toLower();
        const bool hasArgument = rule.contains(u'=');
        const QString argument = rule.section(u'=', 1).trimmed();

        const KindWord* kind = nullptr;
        for (const KindWord& candidate : KindWords)
            if (word == QLatin1String(candidate.word))
                kind = &candidate;
        if (!kind) {
            *error = QStringLiteral("unknown fault \"%1\"").arg(word);
            return false;
        }
        TRule parsed{kind->kind, {}, 0};
        if (kind->kind == TKind::DieInStore) {
            if (hasArgument) {
                *error = QStringLiteral("die-in-store takes no argument");
                return false;
            }
        } else if (kind->kind == TKind::Slow) {
            bool ok = false;
            parsed.delayMs = argument.section(u':', 0, 0).trimmed().toInt(&ok);
            parsed.item = argument.contains(u':') ? argument.section(u':', 1).trimmed().toUpper()
                                                  : QStringLiteral("*");
            if (!ok || parsed.delayMs < 0 || parsed.delayMs > ServerTiming::MaxFaultDelayMs
                || parsed.item.isEmpty()) {
                *error = QStringLiteral("slow takes MS or MS:ITEM, MS at most %1")
                             .arg(ServerTiming::MaxFaultDelayMs);
                return false;
            }
        } else {
            if (argument.isEmpty()) {
                *error = QStringLiteral("%1 needs an item name or *").arg(word);
                return false;
            }
            parsed.item = argument.toUpper();
        }
        rules.append(parsed);
    }
    m_rules = rules;
    m_text = text.trimmed();
    return true;
}

bool TFaults::Matches(TKind kind, const QString& item) const
{
    const QString upper = item.trimmed().toUpper();
    for (const TRule& rule : m_rules)
        if (rule.kind == kind && (rule.item == QLatin1String("*") || rule.item == upper))
            return true;
    return false;
}

int TFaults::DelayFor(const QString& item) const
{
    const QString upper = item.trimmed().toUpper();
    int delay = 0;
    for (const TRule& rule : m_rules)
        if (rule.kind == TKind::Slow && (rule.item == QLatin1String("*") || rule.item == upper))
            delay = std::max(delay, rule.delayMs);
    return delay;
}

bool TFaults::DiesInStore() const
{
    for (const TRule& rule : m_rules)
        if (rule.kind == TKind::DieInStore)
            return true;
    return false;
}
