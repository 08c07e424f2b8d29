#include "server/TurbineLogs.h"

#include "server/ControlValues.h"

#include <algorithm>

namespace {

constexpr int CurrentAlarmsKept = 100;
constexpr int AlarmHistoryKept = 100;
constexpr int TripHistoryKept = 20;

QString Entry(const QString& prefix, int entry)
{
    return prefix + QString::number(entry);
}

} // namespace

TTurbineLogs::TTurbineLogs(TControlValues& values)
    : values(values)
{
    current.countItem = QStringLiteral("Y_ALARMS.ALARMS.NUM_EVENTS");
    current.timePrefix = QStringLiteral("Y_ALARMS.ALARMS.EV_TM_");
    current.messagePrefix = QStringLiteral("Y_ALARMS.ALARMS.MSG_O_");
    current.longest = CurrentAlarmsKept;
    alarmHistory.timePrefix = QStringLiteral("X_EVENTLOG.A.EV_TM_");
    alarmHistory.messagePrefix = QStringLiteral("X_EVENTLOG.A.MESG_O_");
    alarmHistory.longest = AlarmHistoryKept;
    tripHistory.timePrefix = QStringLiteral("X_ELOG.T.EV_TM_");
    tripHistory.messagePrefix = QStringLiteral("X_ELOG.T.MESG_O_");
    tripHistory.longest = TripHistoryKept;
}

void TTurbineLogs::MeasureLength(TList& list)
{
    list.length = 0;
    while (list.length < list.longest
           && values.Has(Entry(list.messagePrefix, list.length + 1)))
        ++list.length;
}

void TTurbineLogs::Start()
{
    current.events.clear();
    for (TList* list : {&current, &alarmHistory, &tripHistory}) {
        MeasureLength(*list);
        Publish(*list);
    }
}

void TTurbineLogs::Add(TList& list, const QString& stamp, const QString& message)
{
    list.events.prepend({stamp, message});
    while (list.events.size() > list.longest)
        list.events.removeLast();
    Publish(list);
}

void TTurbineLogs::Alarm(const QString& stamp, const QString& message)
{
    const bool listed = std::any_of(current.events.cbegin(), current.events.cend(),
                                    [&](const TEvent& e) { return e.message == message; });
    if (!listed)
        Add(current, stamp, message);
    Add(alarmHistory, stamp, message);
}

void TTurbineLogs::Trip(const QString& stamp, const QString& message)
{
    Add(current, stamp, message);
    Add(alarmHistory, stamp, message);
    Add(tripHistory, stamp, message);
}

void TTurbineLogs::ResetAlarms()
{
    current.events.clear();
    Publish(current);
}

int TTurbineLogs::AlarmCount() const
{
    return int(std::min<qsizetype>(current.events.size(), current.length));
}

void TTurbineLogs::Publish(const TList& list)
{
    // The entries go first and the count last: a reader that restarts on the
    // new count finds the new entries in place.
    for (int entry = 1; entry <= list.length; ++entry) {
        const bool used = entry <= list.events.size();
        const TEvent& event = used ? list.events.at(entry - 1) : TEvent{};
        const QString timeItem = Entry(list.timePrefix, entry);
        const QString messageItem = Entry(list.messagePrefix, entry);
        if (values.Text(timeItem) != event.stamp && values.Has(timeItem))
            values.SetText(timeItem, event.stamp);
        if (values.Text(messageItem) != event.message)
            values.SetText(messageItem, event.message);
    }
    if (!list.countItem.isEmpty() && values.Has(list.countItem)) {
        const int count = int(std::min<qsizetype>(list.events.size(), list.length));
        if (values.Number(list.countItem) != count || values.Text(list.countItem).isEmpty())
            values.SetNumber(list.countItem, count);
    }
}
