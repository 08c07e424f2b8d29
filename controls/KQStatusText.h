// The on/off box bound to a boolean item: it shows what the item says and never
// writes.
#pragma once

#include "controls/KComponent.h"
#include "controls/KQBinding.h"
#include "controls/KStatusText.h"

class TKQStatusText : public TKStatusText, public TKComponent {
    Q_OBJECT
    Q_PROPERTY(QObject* Device READ Device WRITE SetDevice)
    Q_PROPERTY(QString ItemName READ ItemName WRITE SetItemName)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
public:
    Q_INVOKABLE explicit TKQStatusText(QWidget* parent = nullptr);

    QObject* Device() const { return binding.Device(); }
    void SetDevice(QObject* device) { binding.SetDevice(device); }
    QString ItemName() const { return binding.ItemName(); }
    void SetItemName(const QString& name) { binding.SetItemName(name); }
    bool Enabled() const { return ownEnabled; }
    // Enables or disables the box; the subscription follows.
    void SetEnabled(bool enabled);

    void Loaded() override;
    QString AccessibleFallbackName() const override { return ItemName(); }

signals:
    void OnValueChange(QObject* sender);

private:
    void TakeOver();

    TKQBinding binding;
    bool ownEnabled = true;
};

// Makes the unit's classes known to the form loader.
void RegisterKQStatusTextClasses();
