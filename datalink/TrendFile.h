// Trends as CSV files: what a trend window exports and a trip capture writes,
// and what a trend window opens again.
//
//     # 4812 Turvista trend
//     # Trip: Overspeed Trip
//     # Items: AA_MONITOR.SPEED.A_NAME,AA_MONITOR.SPD_SETPT.A_NAME
//     Time,Seconds,Speed (rpm),Speed setpoint (rpm)
//     2026-12-07 17:05:03.120,-300.000,3600,3600
//
// Lines starting with '#' carry "Key: value" notes. One row per time at which
// any item changed; every cell holds the item's value at that time (empty until
// the item has one). Seconds count from the file's zero (a trip, or the span's
// start); read back, they place the rows after the first one in time.
#pragma once

#include "datalink/TrendData.h"

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

class TTrendFile {
public:
    // The time column's format (local time).
    static constexpr const char* TimeFormat = "yyyy-MM-dd HH:mm:ss.zzz";

    TTrendData data;
    // The notes after the first line, in order ("Trip", "Items" are written
    // from the data and the trip).
    QList<QPair<QString, QString>> notes;
    long long zero = 0;
    // The span of the rows read (the first and the last row's time).
    long long from = 0, to = 0;

    // The rows of [from, to]: the values held at `from` (empty cells for items
    // without a value yet), every change, and the values held at `to`.
    QString Text(long long from, long long to) const;
    // Writes the rows of [from, to]; false with the reason on failure.
    bool Write(const QString& path, long long from, long long to, QString* error) const;

    // Reads a file written by Write; the reason on failure names the line.
    static std::optional<TTrendFile> Read(const QString& path, QString* error);
    static std::optional<TTrendFile> Parse(const QString& text, QString* error);
};
