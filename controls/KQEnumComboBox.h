// The enumerated combo box bound to an integer item. A choice is written once
// and holds (further choices snap back) until the device's next value comes in;
// what the box shows follows the item.
#pragma once

#include "controls/KComponent.h"
#include "controls/KEnumComboBox.h"
#include "controls/KQBoundControl.h"

class TKQEnumComboBox : public TKEnumComboBox, public TKComponent, public TKQBoundControl {
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE SetValue)
    TKQ_BOUND_WRITING_PROPERTIES
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
public:
    Q_INVOKABLE explicit TKQEnumComboBox(QWidget* parent = nullptr);

    int Value() const { return EnumValue(); }
    // Writes the code to the item unless loading or monitor-only. Until the
    // next value comes in, choices are not written.
    void SetValue(int value);
    // Shows the code; a code the user chose is written.
    void SetEnumValue(int value) override;

    bool IsMonitorOnly() const { return isMonitorOnly; }
    // Monitor-only boxes cannot be opened.
    void SetIsMonitorOnly(bool monitorOnly);
    void SwitchViewOnly(bool monitorOnly) override { SetIsMonitorOnly(monitorOnly); }
    bool Visible() const { return ownVisible; }
    // Shows or hides the box; the subscription follows.
    void SetVisible(bool visible);
    bool Enabled() const { return ownEnabled; }
    // Enables or disables the box (unless monitor-only); the subscription follows.
    void SetEnabled(bool enabled);
    bool HasValue() const { return binding.HasValue(); }

    void Loaded() override;
    QString AccessibleFallbackName() const override { return ItemName(); }

signals:
    void OnValueChange(QObject* sender);

private:
    TKQBinding& Binding() override { return binding; }
    void TakeOver();

    TKQBinding binding;
    // Set from creation until the first value, and from each write until the next.
    bool updating = true;
    bool isMonitorOnly = false;
    bool ownVisible = true;
    bool ownEnabled = true;
};

// Makes the unit's classes known to the form loader.
void RegisterKQEnumComboBoxClasses();
