// The dynamics windows of Run mode: the P, I and derivative-ratio gains of the
// speed, extraction/admission, cascade and auxiliary loops, each shown in a box
// with raise, fast-raise, lower and fast-lower buttons held while pressed, and
// "Save Settings", which stores the tuned gains in the control.
#pragma once

#include "app/RunDialog.h"

class TFDynamics : public TRunDialog {
    Q_OBJECT
public:
    // Makes every gain button monitor-only, or operable again; "Save Settings"
    // is not affected.
    void SetGainButtonsMonitorOnly(bool monitorOnly);

public slots:
    // The trend of the loop, named by the window: its process value, setpoint and output at first.
    void BTrendClick();

protected:
    TFDynamics(QWidget* owner, TKQDevice* device, const QStringList& trendItems)
        : TRunDialog(owner, device), trendItems(trendItems)
    {
    }

private:
    QStringList trendItems;
};

class TFSpeedDynamics : public TFDynamics {
    Q_OBJECT
public:
    TFSpeedDynamics(QWidget* owner, TKQDevice* device);
};

// The three loops share one form; their items differ only in the block.
class TFLoopDynamics : public TFDynamics {
    Q_OBJECT
public:
    // The form's parameter that each window fills with its block.
    static constexpr const char* FormBlock = "BLOCK";

protected:
    TFLoopDynamics(QWidget* owner, TKQDevice* device, const QString& block, const QString& caption);
};

class TFExtAdmDynamics : public TFLoopDynamics {
    Q_OBJECT
public:
    TFExtAdmDynamics(QWidget* owner, TKQDevice* device);
};

class TFCascadeDynamics : public TFLoopDynamics {
    Q_OBJECT
public:
    TFCascadeDynamics(QWidget* owner, TKQDevice* device);
};

class TFAuxiliaryDynamics : public TFLoopDynamics {
    Q_OBJECT
public:
    TFAuxiliaryDynamics(QWidget* owner, TKQDevice* device);
};
