// The control's configuration completeness check. Writing true to the start item
// begins it; after a short delay the check's result items report either a pass
// or the error events found by the rules over the configuration values.
#pragma once

#include <QList>
#include <QString>

class TControlValues;

struct TConfigError {
    int number = 0;   // 1 .. 84
    QString message;  // the event's text as the program lists it
};

// Seconds of control time from the start request to the published result.
// Shorter than the program's first poll, so a check normally ends in one poll.
inline constexpr double ConfigurationCheckDelay = 2.0;

// Applies every rule to the current values.
QList<TConfigError> CheckConfiguration(const TControlValues& values);

class TConfigurationCheck {
public:
    explicit TConfigurationCheck(TControlValues& values);

    // The control (re)starts: result items go to their idle values.
    void Start();
    // The program wrote the item (already stored); the start item begins a check.
    void Written(const QString& item);
    // Advances a running check.
    void Step(double seconds);

private:
    void ClearVerdict();
    void Publish();

    TControlValues& values;
    double remaining = -1; // seconds until the result is published; < 0 when idle
};
