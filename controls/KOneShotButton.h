// A drawn button that answers each left press with a pulse: it is drawn on
// for OneShotPeriod milliseconds, then off again; presses during the pulse are
// ignored.
#pragma once

#include "controls/KDrawnButton.h"

#include <QTimer>

class TKOneShotButton : public TKDrawnButton {
    Q_OBJECT
    Q_PROPERTY(uint OneShotPeriod READ OneShotPeriod WRITE SetOneShotPeriod)
public:
    static constexpr unsigned DefaultOneShotPeriod = 1000;

    Q_INVOKABLE explicit TKOneShotButton(QWidget* parent = nullptr);

    unsigned OneShotPeriod() const { return unsigned(pulseTimer.interval()); }
    void SetOneShotPeriod(unsigned period) { pulseTimer.setInterval(int(period)); }
    bool PulseRunning() const { return pulseTimer.isActive(); }

    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;

protected:
    // The end of the pulse.
    virtual void Timer();
    void StopPulseTimer() { pulseTimer.stop(); }

private:
    QTimer pulseTimer;
};

// Makes the unit's classes known to the form loader.
void RegisterKOneShotButtonClasses();
