// The control's check of its configuration, which Program mode's "Save To
// Control" starts: the main window polls it to its end, lists the errors found
// with the page or control to correct, or, when it passed and the engineer
// agrees, stores the values in the control, resets it and leaves Program mode.
// Every way the check ends gives the status poll and the advises back.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;
class TFProgramMode;
class TKQDatorelControl;
class TfErrors;

// What the check asks of the main window.
class TCheckHost {
public:
    virtual TKQDatorelControl* ControlDevice() const = 0;
    // The Program mode window; null once it is gone.
    virtual TFProgramMode* CheckedWindow() const = 0;
    virtual void RestartOtherAdvises() = 0;
    virtual void SetCheckStatus(const QString& text) = 0;
    // The status poll stops while the engineer is taken to a control, and starts again.
    virtual void HoldStatusPoll(bool held) = 0;
    // Stores the values in the control, then resets it and lets Program mode go;
    // raises (and keeps the window) when storing fails.
    virtual void ReinitializeControl() = 0;

protected:
    ~TCheckHost() = default;
};

class TConfigurationCheck : public QObject {
    Q_OBJECT
public:
    // timer: the main window's CCheckTimer.
    TConfigurationCheck(TCheckHost& host, QTimer* timer, QObject* parent);

    // The check item was written: polls from now on.
    void Start();
    void CCheckTimerTimer();
    void PassCCheck();
    void ReportCCheckErrors();

    // Time already waited for the result.
    int CCheckElapsed = 0;
    TfErrors* ErrorList() const;

private:
    // Ends the check on the control (when the item can be had).
    void EndCheck();
    void Branch(QObject* target);

    TCheckHost& host;
    QTimer* timer;
    QPointer<TfErrors> fErrors;
};
