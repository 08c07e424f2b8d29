// The trend of items of one control: each item is taken from the device and
// subscribed to like every bound control does (the shared item and its advise
// loop), and every number that arrives is kept, stamped with the program's
// clock, for a rolling span.
#pragma once

#include "datalink/KContainer.h"
#include "datalink/TrendData.h"

#include <QPointer>
#include <QString>

#include <vector>

class TKQDevice;
class TKQItem;

class TTrendRecorder : public TObject {
public:
    TTrendRecorder(TKQDevice* device, long long historyMs);
    ~TTrendRecorder() override;
    TTrendRecorder(const TTrendRecorder&) = delete;
    TTrendRecorder& operator=(const TTrendRecorder&) = delete;

    // Plots one more item; an item already plotted is not added again.
    void Add(const QString& item, const QString& name, const QString& unit);
    void Remove(int channel);
    const TTrendData& Data() const { return data; }
    TTrendData& Data() { return data; }
    int IndexOf(const QString& item) const;

private:
    void Arrived(TObject* sender);
    void Release(int channel);

    QPointer<TKQDevice> device;
    long long historyMs;
    TTrendData data;
    std::vector<TKQItem*> items; // beside data.channels
};
