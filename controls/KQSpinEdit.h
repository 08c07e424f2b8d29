// The spin edit bound to a real-valued item of the control device. It never
// shows its own steps: steps and typed values are written to the item, clamped
// into the item's limits, and the text follows the value that the device
// echoes. At most one write is in flight: one goes out per value received.
#pragma once

#include "controls/KComponent.h"
#include "controls/KQBoundControl.h"
#include "controls/KSpinEdit.h"

#include <optional>

class TKQDatorelControl;
class TKQDatorelItem;

class TKQSpinEdit : public TKSpinEdit, public TKComponent, public TKQBoundControl {
    Q_OBJECT
    Q_PROPERTY(double Value READ Value WRITE SetValue)
    TKQ_BOUND_WRITING_PROPERTIES
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(bool DoRangeChecking READ DoRangeChecking WRITE SetDoRangeChecking)
public:
    Q_INVOKABLE explicit TKQSpinEdit(QWidget* parent = nullptr);
    ~TKQSpinEdit() override;

    double Value() const { return SpinValue(); }
    // Clamps into the item's limits (unless both are equal) and writes it, when
    // the item has a value and this control is not monitor-only; otherwise, or
    // when the write fails, shows the item's value.
    void SetValue(double value);

    bool IsMonitorOnly() const { return isMonitorOnly; }
    void SetIsMonitorOnly(bool monitorOnly);
    // The plain bound spin edit is left as it is when a page is made view-only or operable.
    void SwitchViewOnly(bool) override {}
    bool Visible() const { return ownVisible; }
    // Shows or hides the control and subscribes or unsubscribes it.
    virtual void SetVisible(bool visible);
    bool Enabled() const { return ownEnabled; }
    // Enables or disables the control and subscribes or unsubscribes it.
    virtual void SetEnabled(bool enabled);
    bool DoRangeChecking() const { return doRangeChecking; }
    void SetDoRangeChecking(bool check) { doRangeChecking = check; }

    virtual void ParentStateChanged(TStateFlags flags);
    // The item's limits.
    virtual double GetMinValue();
    virtual double GetMaxValue();
    // The notify method subscribed to the item.
    void ItemValueChanged(TObject* sender) { binding.ItemValueChanged(sender); }
    // A value has been received for the item.
    bool HasValue() const { return binding.HasValue(); }
    // The item, while its device lives.
    TKQDatorelItem* Item() const;

    bool LimitTypedChange() override;
    bool IsIntegerMode() override;
    void BeginEdit() override;
    void Loaded() override;
    QString AccessibleFallbackName() const override { return ItemName(); }
    std::optional<TKAccessibleRange> AccessibleRange() const override;

signals:
    void OnValueChange(QObject* sender);

protected:
    // Writes the value taken from a step or a commit, once per value received.
    void Click() override;
    TKQDatorelControl* ControlDevice() const;
    TKQBinding& Binding() override { return binding; }

private:
    void TakeOver();
    void ShowItemValue();
    void ApplyEditState();

    TKQBinding binding;
    bool ownEnabled = true;
    bool ownVisible = true;
    bool valueReceived = false;
    bool isMonitorOnly = false;
    bool doRangeChecking = true;
    // The last value taken over, shown when the item cannot be read.
    std::optional<double> lastReceived;
};

// Makes the unit's classes known to the form loader.
void RegisterKQSpinEditClasses();
