// The toggle button bound to a boolean item: a click shows the new state at
// once and writes it; what the item then says is drawn.
#pragma once

#include "controls/KComponent.h"
#include "controls/KQBinding.h"
#include "controls/KToggleButton.h"

class TKQToggleButton : public TKToggleButton, public TKComponent {
    Q_OBJECT
    Q_PROPERTY(bool Value READ Value WRITE SetValue)
    Q_PROPERTY(QObject* Device READ Device WRITE SetDevice)
    Q_PROPERTY(QString ItemName READ ItemName WRITE SetItemName)
    Q_PROPERTY(bool IsMonitorOnly READ IsMonitorOnly WRITE SetIsMonitorOnly)
public:
    Q_INVOKABLE explicit TKQToggleButton(QWidget* parent = nullptr);

    // The drawn state.
    bool Value() const { return ButtonOn(); }
    // Written to the item unless loading or monitor-only; a failed write is discarded.
    void SetValue(bool value);
    QObject* Device() const { return binding.Device(); }
    void SetDevice(QObject* device) { binding.SetDevice(device); }
    QString ItemName() const { return binding.ItemName(); }
    void SetItemName(const QString& name) { binding.SetItemName(name); }
    bool IsMonitorOnly() const { return isMonitorOnly; }
    void SetIsMonitorOnly(bool value);
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
    void TakeOverValue();

    TKQBinding binding;
    bool isMonitorOnly = false;
};

// Makes the unit's classes known to the form loader.
void RegisterKQToggleButtonClasses();
