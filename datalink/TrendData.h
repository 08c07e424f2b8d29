// Values of items over time, as a trend plots them: per item the samples in the
// order they arrived, stamped on the program's clock (milliseconds since the
// epoch), kept for a rolling span, and thinned to what a plot of a given width
// can show.
#pragma once

#include <QString>

#include <deque>
#include <optional>
#include <vector>

struct TTrendSample {
    long long time = 0;
    double value = 0;
    bool operator==(const TTrendSample&) const = default;
};

// One item's samples, oldest first.
class TTrendSeries {
public:
    // A sample stamped at or before the last one's time replaces it: one value an instant.
    void Append(long long time, double value);
    // Forgets the samples before the time, but the last of them: the value at
    // the time stays known.
    void DropBefore(long long time);
    // The value at a time: the last sample at or before it.
    std::optional<double> ValueAt(long long time) const;
    const std::deque<TTrendSample>& Samples() const { return samples; }
    bool IsEmpty() const { return samples.empty(); }

    // The points that draw the span [from, to] as a plot `columns` wide draws
    // it: per column its first, lowest, highest and last sample in time order.
    // A value holds until the next sample, so the drawing steps: it starts at
    // `from` with the value held then, each column begins with the value held
    // before it, and the last value runs on to `holdUntil` (at most `to`).
    std::vector<TTrendSample> Decimate(long long from, long long to, int columns, long long holdUntil) const;

    // The first sample at or after the time.
    std::deque<TTrendSample>::const_iterator LowerBound(long long time) const;

private:
    std::deque<TTrendSample> samples;
};

// One plotted item: its name in the control, the name and unit shown, its samples.
struct TTrendChannel {
    QString item;
    QString name;
    QString unit;
    TTrendSeries series;

    // "Speed (rpm)", or the name alone without a unit.
    QString Title() const { return unit.isEmpty() ? name : name + QStringLiteral(" (") + unit + u')'; }
};

// The channels of one trend.
class TTrendData {
public:
    std::vector<TTrendChannel> channels;

    // The earliest and latest sample of all channels; nothing without samples.
    std::optional<long long> First() const;
    std::optional<long long> Last() const;
    void DropBefore(long long time);
};
