// The on/off box bound to a boolean item: it shows what the item says and never
// writes.
#pragma once

#include "controls/KComponent.h"
#include "controls/KQBoundControl.h"
#include "controls/KStatusText.h"

class TKQStatusText : public TKStatusText, public TKComponent, public TKQBoundControl {
    Q_OBJECT
    TKQ_BOUND_PROPERTIES
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
public:
    Q_INVOKABLE explicit TKQStatusText(QWidget* parent = nullptr);

    bool Enabled() const { return ownEnabled; }
    // Enables or disables the box; the subscription follows.
    void SetEnabled(bool enabled);

    void Loaded() override;
    void SwitchViewOnly(bool) override {}
    QString AccessibleFallbackName() const override { return ItemName(); }

signals:
    void OnValueChange(QObject* sender);

private:
    TKQBinding& Binding() override { return binding; }
    void TakeOver();

    TKQBinding binding;
    bool ownEnabled = true;
};

// Makes the unit's classes known to the form loader.
void RegisterKQStatusTextClasses();
