// What trends know of the control's items: the monitor values worth plotting,
// each with the name and unit shown, the item sets that trend windows open
// with, and the items a trip capture keeps.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class TKQDevice;
class TTrendRecorder;

struct TTrendEntry {
    QString item;
    QString name;
    QString unit;     // fixed, or
    QString unitItem; // the item whose text is the unit (the process loops' configured units)
};

namespace TrendCatalogue {

// The items known by name, in the order the item list offers them.
const std::vector<TTrendEntry>& Entries();
// A known item, or one known only by its item name.
TTrendEntry Entry(const QString& item);
// Has the recorder plot an item with its name and unit (the unit item read from the device).
void Record(TTrendRecorder& recorder, const QString& item, TKQDevice* device);

// The Run window's trend set (a set is named by the window it is opened from)
// and its items at first: speed, speed setpoint and reference, valve demands.
constexpr const char* RunSet = "Run Mode";
QStringList RunItems();
// A dynamics window's items at first: its loop's process value, setpoint and
// output; the speed loop's, or a process loop's by its block ("EXTR_DYN" ...).
QStringList SpeedLoopItems();
QStringList LoopItems(const QString& block);

// What a trip capture keeps: speed, setpoints, valve demands and positions and
// every loop's values.
QStringList TripCaptureItems();

} // namespace TrendCatalogue
