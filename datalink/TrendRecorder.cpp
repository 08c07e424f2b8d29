#include "datalink/TrendRecorder.h"

#include "datalink/KQDevice.h"
#include "platform/Timing.h"

TTrendRecorder::TTrendRecorder(TKQDevice* device, long long historyMs) : device(device), historyMs(historyMs) {}

TTrendRecorder::~TTrendRecorder()
{
    for (int channel = int(items.size()) - 1; channel >= 0; --channel)
        Release(channel);
}

int TTrendRecorder::IndexOf(const QString& item) const
{
    for (size_t channel = 0; channel < data.channels.size(); ++channel) {
        if (data.channels[channel].item.compare(item, Qt::CaseInsensitive) == 0)
            return int(channel);
    }
    return -1;
}

void TTrendRecorder::Add(const QString& item, const QString& name, const QString& unit)
{
    if (!device || IndexOf(item) >= 0)
        return;
    data.channels.push_back({item, name, unit, {}});
    items.push_back(device->GetItem(item));
    // A value at hand arrives at once.
    items.back()->Advise(TNotifyEvent(this, &TTrendRecorder::Arrived));
}

void TTrendRecorder::Remove(int channel)
{
    if (channel < 0 || channel >= int(items.size()))
        return;
    Release(channel);
    data.channels.erase(data.channels.begin() + channel);
    items.erase(items.begin() + channel);
}

void TTrendRecorder::Release(int channel)
{
    if (!device)
        return;
    items[channel]->Unadvise(TNotifyEvent(this, &TTrendRecorder::Arrived));
    device->ReleaseItem(data.channels[channel].item);
}

void TTrendRecorder::Arrived(TObject* sender)
{
    auto* item = static_cast<TKQItem*>(sender);
    const std::optional<double> value = ParseNumber(VariantToText(item->Value()));
    if (!value)
        return; // a text: nothing to plot
    const long long now = Timing::NowMs();
    for (size_t channel = 0; channel < items.size(); ++channel) {
        if (items[channel] == item)
            data.channels[channel].series.Append(now, *value);
    }
    data.DropBefore(now - historyMs);
}
