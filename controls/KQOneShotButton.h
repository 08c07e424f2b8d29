// The one-shot button bound to a boolean item: a press writes the command value
// (the negation of ControlDefaultValue), and the rest value follows once the
// pulse time is over and the command has come back from the device.
// TKQDAOneShotButton asks for confirmation first.
#pragma once

#include "controls/KComponent.h"
#include "controls/KOneShotButton.h"
#include "controls/KQPulseLink.h"

class TKQOneShotButton : public TKOneShotButton, public TKComponent {
    Q_OBJECT
    Q_PROPERTY(bool ControlDefaultValue READ ControlDefaultValue WRITE SetControlDefaultValue)
    Q_PROPERTY(bool Value READ Value WRITE SetValue)
    Q_PROPERTY(QObject* Device READ Device WRITE SetDevice)
    Q_PROPERTY(QString ItemName READ ItemName WRITE SetItemName)
    Q_PROPERTY(bool IsMonitorOnly READ IsMonitorOnly WRITE SetIsMonitorOnly)
public:
    Q_INVOKABLE explicit TKQOneShotButton(QWidget* parent = nullptr);

    bool ControlDefaultValue() const { return link.controlDefaultValue; }
    void SetControlDefaultValue(bool value) { link.controlDefaultValue = value; }
    // The item's value.
    bool Value() const { return link.Value(); }
    // Written to the item unless loading or monitor-only; a failed write is discarded.
    void SetValue(bool value) { link.Write(value); }
    QObject* Device() const { return link.binding.Device(); }
    void SetDevice(QObject* device) { link.binding.SetDevice(device); }
    QString ItemName() const { return link.binding.ItemName(); }
    void SetItemName(const QString& name) { link.binding.SetItemName(name); }
    bool IsMonitorOnly() const { return link.RequestedMonitorOnly(); }
    // Raises Exception during a pulse.
    void SetIsMonitorOnly(bool value);

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
