// The one-shot button bound to a boolean item: a press writes the command value
// (the negation of ControlDefaultValue), and the rest value follows once the
// pulse time is over and the command has come back from the device.
// TKQDAOneShotButton asks for confirmation first.
#pragma once

#include "controls/KComponent.h"
#include "controls/KOneShotButton.h"
#include "controls/KQBoundControl.h"
#include "controls/KQPulseLink.h"

class TKQOneShotButton : public TKOneShotButton, public TKComponent, public TKQBoundControl {
    Q_OBJECT
    Q_PROPERTY(bool ControlDefaultValue READ ControlDefaultValue WRITE SetControlDefaultValue)
    Q_PROPERTY(bool Value READ Value WRITE SetValue)
    TKQ_BOUND_WRITING_PROPERTIES
public:
    Q_INVOKABLE explicit TKQOneShotButton(QWidget* parent = nullptr);

    bool ControlDefaultValue() const { return link.controlDefaultValue; }
    void SetControlDefaultValue(bool value) { link.controlDefaultValue = value; }
    // The item's value.
    bool Value() const { return link.Value(); }
    // Written to the item unless loading or monitor-only; a failed write is discarded.
    void SetValue(bool value) { link.Write(value); }
    bool IsMonitorOnly() const { return link.RequestedMonitorOnly(); }
    // Raises Exception during a pulse.
    void SetIsMonitorOnly(bool value);
    void SwitchViewOnly(bool monitorOnly) override { SetIsMonitorOnly(monitorOnly); }

    TPulseState PulseState() const { return link.state; }
    bool Subscribed() const { return link.binding.Subscribed(); }

    void Loaded() override;
    void ParentStateChanged(TStateFlags flags);
    // Shows or hides the button; the subscription follows (hiding waits for
    // the end of a pulse).
    void SetVisible(bool visible) override;

    // Takes the focus; a left press at rest starts a pulse.
    void Press(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at);
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
    QString AccessibleFallbackName() const override;

signals:
    void OnValueChange(QObject* sender);

protected:
    void Timer() override;

private:
    TKQBinding& Binding() override { return link.binding; }
    void TakeOverValue();
    void Subscription(bool wanted);

    TKQPulseLink link;
};

class TKQDAOneShotButton : public TKQOneShotButton {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TKQDAOneShotButton(QWidget* parent = nullptr);

    // Any press (or Enter) asks for confirmation in TKConfirmOneShotdlg.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
};

// Makes the unit's classes known to the form loader.
void RegisterKQOneShotButtonClasses();
