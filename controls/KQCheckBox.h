// A check box bound to a boolean item. It shows what the item says; a click
// writes the new state and leaves the box disabled until the device's echo
// comes back, so that at most one write is in flight.
#pragma once

#include "controls/KComponent.h"
#include "controls/KQBinding.h"

#include <QCheckBox>

class TKQCheckBox : public QCheckBox, public TKComponent {
    Q_OBJECT
    Q_PROPERTY(QObject* Device READ Device WRITE SetDevice)
    Q_PROPERTY(QString ItemName READ ItemName WRITE SetItemName)
    Q_PROPERTY(bool IsMonitorOnly READ IsMonitorOnly WRITE SetIsMonitorOnly)
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(bool Checked READ isChecked WRITE setChecked)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
public:
    Q_INVOKABLE explicit TKQCheckBox(QWidget* parent = nullptr);

    QObject* Device() const { return binding.Device(); }
    void SetDevice(QObject* device) { binding.SetDevice(device); }
    QString ItemName() const { return binding.ItemName(); }
    void SetItemName(const QString& name);
    bool IsMonitorOnly() const { return isMonitorOnly; }
    void SetIsMonitorOnly(bool monitorOnly);
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
