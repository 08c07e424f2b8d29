#include "app/StatusPoll.h"

#include "datalink/KQDatorelControl.h"
#include "platform/Exception.h"
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"

#include <QLabel>
#include <QTime>
#include <QTimer>

namespace {

// The fraction of the day, as the poll keeps its time.
double TimeOfDay()
{
    return QTime::currentTime().msecsSinceStartOfDay() / 86400000.0;
}

} // namespace

TStatusPoll::TStatusPoll(TKQDatorelControl* device, QLabel* linkPanel, QLabel* controlPanel, QObject* parent)
    : QObject(parent), device(device), panels{linkPanel, controlPanel}, tPing(new QTimer(this))
{
    tPing->setObjectName(QStringLiteral("tPing"));
    tPing->setInterval(Timing::StatusPollInterval);
    connect(tPing, &QTimer::timeout, this, &TStatusPoll::tPingTimer);
}

QString TStatusPoll::PanelText(int panel) const
{
    return panels[panel]->text();
}

void TStatusPoll::SetPanelText(int panel, const QString& text)
{
    panels[panel]->setText(text);
}

void TStatusPoll::DisablePing()
{
    PingBusy = false;
    tPing->stop();
}

void TStatusPoll::Start(int interval)
{
    tPing->setInterval(interval);
    tPing->start();
}

void TStatusPoll::Start()
{
    tPing->start();
}

bool TStatusPoll::WaitTillRequestReady()
{
    for (int i = 0; i < Timing::RequestReadyTries; ++i) {
        if (!device->ResultPending())
            return true;
        Timing::Pause(Timing::RequestReadyWait);
    }
    return false;
}

bool TStatusPoll::WaitTillPingDone()
{
    if (PingBusy)
        Start(Timing::StatusPollSoon);
    for (int i = 0; i < Timing::PingDoneTries; ++i) {
        if (!PingBusy)
            return true;
        Timing::Pause(Timing::PingDoneWait);
    }
    throw Exception(QStringLiteral("Wait for ping to finish timed out."));
}

void TStatusPoll::tPingTimer()
{
    DisablePing();
    if (!device)
        return;
    bool failed = false;
    if (!Communicating) {
        SetPanelText(1, QStringLiteral("Control Status:  Not communicating"));
    } else {
        try {
            WaitTillRequestReady();
            PingBusy = true;
            if (device->ControlStatus()) {
                InConfMode = device->IsRunMode();
                SetPanelText(1, InConfMode ? QStringLiteral("Control Status:  Program Mode")
                                           : QStringLiteral("Control Status:  Running"));
                LastPingTime = TimeOfDay();
            } else {
                SetPanelText(1, QStringLiteral("Control Status:  Not Communicating"));
            }
        } catch (const std::exception&) {
            SetPanelText(1, QStringLiteral("Communications polling error"));
            failed = true;
        }
    }
    PingBusy = false;
    if (failed) {
        PollErrorTime += tPing->interval();
        if (PollErrorTime > Timing::PollErrorAlarmTime)
            MessageDlg(QStringLiteral("Communications with the control appear to be down.  Please close the 4812 RQV "
                                      "program and restart it."),
                       TMsgDlgType::mtError, mbOK);
    } else {
        PollErrorTime = 0;
    }
    Start(Timing::StatusPollInterval);
}

bool TStatusPoll::bInConfMode()
{
    const double age = TimeOfDay() - LastPingTime;
    if (tPing->isActive() && age >= 0 && age * 86400000.0 < Timing::ConfModeCacheTime)
        return InConfMode;
    const bool pingWasEnabled = tPing->isActive();
    WaitTillPingDone();
    DisablePing();
    try {
        InConfMode = device->IsRunMode();
    } catch (const std::exception& error) {
        ShowException(error);
        InConfMode = false;
    }
    if (pingWasEnabled)
        tPing->start();
    return InConfMode;
}
