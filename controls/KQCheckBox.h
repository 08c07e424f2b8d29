// A check box bound to a boolean item. It shows what the item says; a click
// writes the new state and leaves the box disabled until the device's echo
// comes back, so that at most one write is in flight.
#pragma once

#include "controls/KComponent.h"
#include "controls/KQBoundControl.h"

#include <QCheckBox>

class TKQCheckBox : public QCheckBox, public TKComponent, public TKQBoundControl {
    Q_OBJECT
    TKQ_BOUND_WRITING_PROPERTIES
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(bool Checked READ isChecked WRITE SetChecked)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
public:
    Q_INVOKABLE explicit TKQCheckBox(QWidget* parent = nullptr);

    void SetItemName(const QString& name) override;
    bool IsMonitorOnly() const { return isMonitorOnly; }
    void SetIsMonitorOnly(bool monitorOnly);
    void SwitchViewOnly(bool monitorOnly) override { SetIsMonitorOnly(monitorOnly); }
    // Set by the program: written to the item as a click writes it, without OnClick.
    void SetChecked(bool checked);
    bool Visible() const { return ownVisible; }
    // Shows or hides the box; the subscription follows.
    void SetVisible(bool visible);
    bool HasValue() const { return binding.HasValue(); }

    void Loaded() override;

signals:
    void OnValueChange(QObject* sender);
    // The user toggled the box (never on a monitor-only box).
    void OnClick(QObject* sender);

protected:
    // The user's toggle: monitor-only boxes refuse it.
    void nextCheckState() override;

private:
    TKQBinding& Binding() override { return binding; }
    void TakeOver();
    void Send();

    TKQBinding binding;
    bool isMonitorOnly = false;
    bool ownVisible = true;
    // A value has come in since the last write.
    bool ready = false;
};

// Makes the unit's classes known to the form loader.
void RegisterKQCheckBoxClasses();
