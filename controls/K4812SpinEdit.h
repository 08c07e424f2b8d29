// The bound spin edit of the program and service pages: typed values are
// limited only by the clamp into the item's limits.
#pragma once

#include "controls/KQSpinEdit.h"

class TK4812SpinEdit : public TKQSpinEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TK4812SpinEdit(QWidget* parent = nullptr) : TKQSpinEdit(parent) {}

    bool LimitTypedChange() override;
    void SwitchViewOnly(bool monitorOnly) override { SetIsMonitorOnly(monitorOnly); }
};

// Makes the unit's classes known to the form loader.
void RegisterK4812SpinEditClasses();
