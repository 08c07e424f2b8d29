// What every bound control publishes the same way: its device and item name,
// kept by its TKQBinding, and the switch between view-only and operable that
// the mode windows apply to whole pages.
#pragma once

#include "controls/KQBinding.h"

class QWidget;

// The published properties, for the class body of a bound control (after Q_OBJECT).
#define TKQ_BOUND_PROPERTIES                                                                                           \
    Q_PROPERTY(QObject* Device READ Device WRITE SetDevice)                                                            \
    Q_PROPERTY(QString ItemName READ ItemName WRITE SetItemName)
// The same for controls that write, which can be made monitor-only.
#define TKQ_BOUND_WRITING_PROPERTIES                                                                                   \
    TKQ_BOUND_PROPERTIES                                                                                               \
    Q_PROPERTY(bool IsMonitorOnly READ IsMonitorOnly WRITE SetIsMonitorOnly)

class TKQBoundControl {
public:
    virtual ~TKQBoundControl() = default;

    QObject* Device() const { return Bound().Device(); }
    void SetDevice(QObject* device) { Binding().SetDevice(device); }
    QString ItemName() const { return Bound().ItemName(); }
    virtual void SetItemName(const QString& name) { Binding().SetItemName(name); }

    // Makes the control view-only or operable; controls the mode windows leave
    // alone (indicators, plain edits) do nothing.
    virtual void SwitchViewOnly(bool monitorOnly) = 0;

protected:
    virtual TKQBinding& Binding() = 0;

private:
    const TKQBinding& Bound() const { return const_cast<TKQBoundControl*>(this)->Binding(); }
};

// The configuration lock: a control whose Tag carries all of these bits, and
// all it holds, is made view-only but never operable.
constexpr int ConfigurationLock = 0xDC00;

// Switches the view-only state of every bound control under parent, in order,
// through the widgets around them, minding the configuration lock.
void UpdateChildrensMonStatus(QWidget* parent, bool monitorOnly);
