// The main window's status poll: every few seconds it asks the control whether
// it answers and whether it is in configure mode, and says so in the status
// bar's control panel; after a long run of failed polls it tells the operator
// that communications appear to be down. Commands that talk to the control at
// length stop it first and restart it after.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QTimer;
class TKQDatorelControl;

class TStatusPoll : public QObject {
    Q_OBJECT
public:
    // panels: the status bar's data-link panel (0) and control panel (1).
    TStatusPoll(TKQDatorelControl* device, QLabel* linkPanel, QLabel* controlPanel, QObject* parent);

    // The poll's timer (tPing).
    QTimer* Timer() const { return tPing; }
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);

    // Stops the poll.
    void DisablePing();
    // Starts it again after the interval.
    void Start(int interval);
    void Start();
    // Waits until the device has no command result pending; false when it still has.
    bool WaitTillRequestReady();
    // Waits until a poll under way has finished; raises Exception when it does not.
    bool WaitTillPingDone();
    // Whether the control is in configure mode: the last poll's answer while it
    // is recent, else asked now.
    bool bInConfMode();
    // One poll (the timer's handler).
    void tPingTimer();

    bool Communicating = false;
    bool InConfMode = false;
    bool PingBusy = false;
    double LastPingTime = 0;
    int PollErrorTime = 0;

private:
    QPointer<TKQDatorelControl> device; // cleared when the program frees it on closing
    QLabel* panels[2];
    QTimer* tPing;
};
