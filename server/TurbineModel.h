// The simulated turbine behind the control: speed, setpoints, valve limiter and
// demand, start sequences, trips, alarms and logs, dynamics, calibration, clock.
#pragma once

#include <QString>

#include <memory>

class TControlValues;

class TTurbineModel {
public:
    explicit TTurbineModel(TControlValues& values);
    ~TTurbineModel();

    // The control (re)starts: the turbine is shut down and tripped, logs keep their entries.
    void Start();
    // Advances the model by the given time.
    void Step(double seconds);
    // The program wrote the item (already stored); command items react here.
    void Written(const QString& item);
    // The turbine is stopped so that the control may enter configure mode.
    bool IsShutDown() const;

    // Events a test makes happen. An alarm enters the current list (unless it is
    // there) and the alarm history; a trip trips a running turbine, and its cause
    // is logged also when the turbine was tripped already.
    void RaiseAlarm(const QString& message);
    void RaiseTrip(const QString& cause);
    // The current alarm list is emptied as by "Reset Alarms", without resetting a trip.
    void ClearAlarms();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
