// The control's current alarm list and its alarm and trip histories. Each list
// is published as numbered time and message items, newest entry first; entries
// beyond the list's length read empty.
#pragma once

#include <QList>
#include <QString>

class TControlValues;

class TTurbineLogs {
public:
    explicit TTurbineLogs(TControlValues& values);

    // The control (re)starts: the current alarms go, the histories stay and
    // every list is written out again.
    void Start();

    // An alarm enters the current list (unless it is there already) and the alarm history.
    void Alarm(const QString& stamp, const QString& message);
    // A trip enters the current list, the alarm history and the trip history.
    void Trip(const QString& stamp, const QString& message);
    // "Reset Alarms": the current list is emptied.
    void ResetAlarms();

    int AlarmCount() const;

private:
    struct TEvent {
        QString stamp;
        QString message;
    };
    struct TList {
        QString countItem; // empty when the list has no count item
        QString timePrefix;
        QString messagePrefix;
        int longest = 0; // most entries the control keeps
        int length = 0;  // entries the control database has items for
        QList<TEvent> events;
    };

    void Add(TList& list, const QString& stamp, const QString& message);
    void Publish(const TList& list);
    void MeasureLength(TList& list);

    TControlValues& values;
    TList current;
    TList alarmHistory;
    TList tripHistory;
};
