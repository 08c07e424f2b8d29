// What trends know of the control's items: the monitor values worth plotting,
// each with the name and unit shown, the item sets that trend windows open
// with, and the items a trip capture keeps.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class TKQDevice;

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
// The unit shown for an entry; reads the unit item from the device.
QString Unit(const TTrendEntry& entry, TKQDevice* device);

// The trend sets, by the window they are opened from.
constexpr const char* RunSet = "Run Mode";
constexpr const char* SpeedSet = "Speed Control Dynamics";
// The default items of a set; for a loop's dynamics the loop's process value,
// setpoint and output.
QStringList DefaultItems(const QString& set);
// The set of a loop's dynamics window, by the loop's block ("EXTR_DYN" ...).
QString LoopSet(const QString& block);

// What a trip capture keeps: speed, setpoints, valve demands and positions and
// every loop's values.
QStringList TripCaptureItems();

} // namespace TrendCatalogue
