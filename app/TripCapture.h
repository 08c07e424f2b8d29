// Trip capture: while the program is on line it keeps the last minutes of the
// capture items, and whenever the control trips (the trip history gets a new
// entry, or the turbine goes from running to shut down) it waits a minute more
// and writes the span around the trip to a CSV file in the user's data folder,
// named by the time and the first trip message. It tells what it does through
// Notice, which the main window shows in its status bar.
#pragma once

#include "datalink/TrendRecorder.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class TKQDevice;
class TKQItem;

class TTripCapture : public QObject, public TObject {
    Q_OBJECT
public:
    TTripCapture(TKQDevice* device, QObject* owner);
    // A capture still waiting for its minute after is written with what there is.
    ~TTripCapture() override;

    bool Waiting() const { return trippedAt.has_value(); }

signals:
    void Notice(const QString& text);

private:
    // The items watched, subscribed to like every bound control's.
    TKQItem* Watch(const QString& name, void (TTripCapture::*changed)(TObject*));
    void RunningChanged(TObject* sender);
    void TripHistoryChanged(TObject* sender);
    void MessageChanged(TObject*) {}
    void Tripped();
    void Write();

    TTrendRecorder recorder;
    QPointer<TKQDevice> device;
    struct TWatched {
        TKQItem* item;
        void (TTripCapture::*changed)(TObject*);
    };
    std::vector<TWatched> watched;
    TKQItem* running;
    TKQItem* newestTrip;
    TKQItem* newestTripMessage;
    std::optional<bool> wasRunning;
    std::optional<QString> newestTripTime;
    std::optional<long long> trippedAt;
    QTimer after;
};
