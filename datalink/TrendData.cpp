#include "datalink/TrendData.h"

#include <algorithm>

void TTrendSeries::Append(long long time, double value)
{
    if (!samples.empty() && time <= samples.back().time) {
        // One value an instant: the later one takes the place of the last sample.
        time = samples.back().time;
        samples.pop_back();
        if (!samples.empty() && samples.back().value == value)
            return; // held from before
    }
    samples.push_back({time, value});
}

void TTrendSeries::DropBefore(long long time)
{
    auto first = LowerBound(time);
    if (first == samples.begin())
        return;
    samples.erase(samples.begin(), first - 1);
}

std::deque<TTrendSample>::const_iterator TTrendSeries::LowerBound(long long time) const
{
    return std::lower_bound(samples.begin(), samples.end(), time,
                            [](const TTrendSample& sample, long long t) { return sample.time < t; });
}

std::optional<double> TTrendSeries::ValueAt(long long time) const
{
    auto after = std::upper_bound(samples.begin(), samples.end(), time,
                                  [](long long t, const TTrendSample& sample) { return t < sample.time; });
    if (after == samples.begin())
        return std::nullopt;
    return (after - 1)->value;
}

std::vector<TTrendSample> TTrendSeries::Decimate(long long from, long long to, int columns, long long holdUntil) const
{
    std::vector<TTrendSample> points;
    if (to <= from || columns < 1)
        return points;
    auto sample = LowerBound(from);
    std::optional<double> held;
    if (sample != samples.begin()) {
        held = (sample - 1)->value;
        points.push_back({from, *held});
    }
    const long long span = to - from;
    while (sample != samples.end() && sample->time <= to) {
        // One column: the samples up to its right edge (whole numbers, so that the edge lies past the sample).
        // The last column takes the span's end too.
        const long long column = (sample->time - from) * columns / span;
        const long long edge = column + 1 >= columns ? to + 1 : from + ((column + 1) * span + columns - 1) / columns;
        auto first = sample, low = sample, high = sample, last = sample;
        for (; sample != samples.end() && sample->time < edge && sample->time <= to; ++sample) {
            if (sample->value < low->value)
                low = sample;
            if (sample->value > high->value)
                high = sample;
            last = sample;
        }
        if (held && *held != first->value)
            points.push_back({first->time, *held});
        for (auto it : {first, std::min(low, high, [](auto a, auto b) { return a->time < b->time; }),
                        std::max(low, high, [](auto a, auto b) { return a->time < b->time; }), last}) {
            if (points.empty() || points.back().time != it->time || points.back().value != it->value)
                points.push_back(*it);
        }
        held = last->value;
    }
    const long long end = std::min(to, holdUntil);
    if (held && !points.empty() && points.back().time < end)
        points.push_back({end, *held});
    return points;
}

std::optional<long long> TTrendData::First() const
{
    std::optional<long long> first;
    for (const TTrendChannel& channel : channels) {
        if (!channel.series.IsEmpty())
            first = std::min(first.value_or(channel.series.Samples().front().time), channel.series.Samples().front().time);
    }
    return first;
}

std::optional<long long> TTrendData::Last() const
{
    std::optional<long long> last;
    for (const TTrendChannel& channel : channels) {
        if (!channel.series.IsEmpty())
            last = std::max(last.value_or(channel.series.Samples().back().time), channel.series.Samples().back().time);
    }
    return last;
}

void TTrendData::DropBefore(long long time)
{
    for (TTrendChannel& channel : channels)
        channel.series.DropBefore(time);
}
