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

    // Test switches that reach every way a check can end (docs/server.md):
    //   hold        started checks publish nothing until release
    //   release     a held check publishes
    //   abort       the running check, or else the next one, is ended by the control
    //   errors N    the next check reports N made-up error events
    // False, with the reason, for anything else.
    bool Simulate(const QString& command, QString* error);

private:
    void ClearVerdict();
    void Publish();
    void PublishEvents(const QList<TConfigError>& errors);
    void EndByControl();

    TControlValues& values;
    double remaining = -1; // seconds until the result is published; < 0 when idle
    bool running = false;
    bool held = false;
    bool abortNext = false;
    int forcedErrors = -1; // events the next check reports instead of its own; < 0: none
};
