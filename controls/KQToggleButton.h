// The toggle button bound to a boolean item: a click shows the new state at
// once and writes it; what the item then says is drawn.
#pragma once

#include "controls/KComponent.h"
#include "controls/KQBoundControl.h"
#include "controls/KToggleButton.h"

class TKQToggleButton : public TKToggleButton, public TKComponent, public TKQBoundControl {
    Q_OBJECT
    Q_PROPERTY(bool Value READ Value WRITE SetValue)
    TKQ_BOUND_WRITING_PROPERTIES
public:
    Q_INVOKABLE explicit TKQToggleButton(QWidget* parent = nullptr);

    // The drawn state.
    bool Value() const { return ButtonOn(); }
    // Written to the item unless loading or monitor-only; a failed write is discarded.
    void SetValue(bool value);
    bool IsMonitorOnly() const { return isMonitorOnly; }
    void SetIsMonitorOnly(bool value);
    void SwitchViewOnly(bool monitorOnly) override { SetIsMonitorOnly(monitorOnly); }
    bool HasValue() const { return binding.HasValue(); }
    bool Subscribed() const { return binding.Subscribed(); }

    void Loaded() override;
    // Enables or disables the button; the subscription follows.
    void SetEnabled(bool enabled) override;

    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
    QString AccessibleFallbackName() const override { return CaptionOr(ItemName()); }

signals:
    void OnValueChange(QObject* sender);

private:
    TKQBinding& Binding() override { return binding; }
    void TakeOverValue();

    TKQBinding binding;
    bool isMonitorOnly = false;
};

// Makes the unit's classes known to the form loader.
void RegisterKQToggleButtonClasses();
