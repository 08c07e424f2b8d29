// The momentary button bound to a boolean item: while the left button (or
// Enter) is held the command value (the negation of ControlDefaultValue) is
// written, again BetweenPulsePeriod milliseconds after each echo; the release
// writes the rest value once the command has come back.
// TKQDAMomentaryButton asks for confirmation first and is then held in its dialog.
#pragma once

#include "controls/KComponent.h"
#include "controls/KMomentaryButton.h"
#include "controls/KQBoundControl.h"
#include "controls/KQPulseLink.h"

#include <QTimer>

class TKQMomentaryButton : public TKMomentaryButton, public TKComponent, public TKQBoundControl {
    Q_OBJECT
    Q_PROPERTY(bool ControlDefaultValue READ ControlDefaultValue WRITE SetControlDefaultValue)
    Q_PROPERTY(uint BetweenPulsePeriod READ BetweenPulsePeriod WRITE SetBetweenPulsePeriod)
    Q_PROPERTY(bool Value READ Value WRITE SetValue)
    TKQ_BOUND_WRITING_PROPERTIES
public:
    static constexpr unsigned DefaultBetweenPulsePeriod = 1000;

    Q_INVOKABLE explicit TKQMomentaryButton(QWidget* parent = nullptr);

    bool ControlDefaultValue() const { return link.controlDefaultValue; }
    void SetControlDefaultValue(bool value) { link.controlDefaultValue = value; }
    unsigned BetweenPulsePeriod() const { return betweenPulsePeriod; }
    void SetBetweenPulsePeriod(unsigned period);
    // The item's value.
    bool Value() const { return link.Value(); }
    // Written to the item unless loading or monitor-only; a failed write is discarded.
    void SetValue(bool value) { link.Write(value); }
    bool IsMonitorOnly() const { return link.RequestedMonitorOnly(); }
    // Raises Exception while a command runs.
    void SetIsMonitorOnly(bool value);
    void SwitchViewOnly(bool monitorOnly) override { SetIsMonitorOnly(monitorOnly); }

    TPulseState PulseState() const { return link.state; }
    bool Subscribed() const { return link.binding.Subscribed(); }

    void Loaded() override;
    void ParentStateChanged(TStateFlags flags);
    // Show or hide, enable or disable; the subscription follows (letting go
    // waits for the end of a command).
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;

    // Takes the focus; a left press at rest starts the command.
    void Press(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at);
    // Ends the command.
    void Release(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at);
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
    QString AccessibleFallbackName() const override;

signals:
    void OnValueChange(QObject* sender);

private:
    TKQBinding& Binding() override { return link.binding; }
    void TakeOverValue();
    void PulseTimer();
    void Subscription(bool wanted);

    TKQPulseLink link;
    QTimer pulseTimer;
    unsigned betweenPulsePeriod = DefaultBetweenPulsePeriod;
};

class TKQDAMomentaryButton : public TKQMomentaryButton {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TKQDAMomentaryButton(QWidget* parent = nullptr);

    // Any press (or Enter) opens TKConfirmMomentarydlg, whose button is then
    // held instead of this one.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
};

// Makes the unit's classes known to the form loader.
void RegisterKQMomentaryButtonClasses();
