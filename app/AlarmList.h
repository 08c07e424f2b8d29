// One alarm list of Run mode: a list box refilled a line per timer tick from
// its restart on, each line "time<TAB>message" read from the control, the
// message in a column of its own under the list's heading.
#pragma once

#include <QString>

class QLabel;
class QListWidget;
class TKQDevice;

class TAlarmList {
public:
    // The list's items: timePrefix + n and messagePrefix + n for line n; a
    // fixedLimit of 0 takes as many lines as the control counts alarms.
    struct TItems {
        const char* timePrefix;
        const char* messagePrefix;
        int fixedLimit;
    };

    // Lines the headings' words up with the list's columns.
    TAlarmList(QListWidget* list, QLabel* timeHeading, QLabel* titleHeading, TItems items);

    // The next fill starts again at the first line.
    void Restart() { restart = true; }
    // Adds at most the next line.
    void Fill(TKQDevice* device);

private:
    QListWidget* list;
    TItems items;
    bool restart = true;
    int index = 0;
};
