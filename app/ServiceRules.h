// What the Service mode window does beyond the editors' shared rules: settings
// that only Program mode may change stay locked, settings that must not change
// while the turbine runs lock while it does, groups follow what the control
// says is configured, and a hold box marks every tunable changed since the
// control last stored its values.
#pragma once

#include <QList>
#include <QMultiHash>
#include <QObject>

class QWidget;
class TEditorWindow;
class TKQItemSpy;
class TKQToggleButton;

class TServiceRules : public QObject {
    Q_OBJECT
public:
    // Looks up the window's parts (a missing one fails now) and follows their values.
    explicit TServiceRules(TEditorWindow& window);

    // Makes the configuration-only controls monitor-only, with the lock mark that keeps them so.
    void LockConfigurationOnly();
    // Sets (or clears) the lock mark in the control's tag.
    static void UpdateCMLock(QWidget* control, bool lock);

private:
    // Controls that lock while a spy reads a value.
    struct TStateLock {
        TKQItemSpy* spy;
        bool lockedWhen;
        QList<QWidget*> controls;
    };

    void FollowStateLocks();
    void FollowShownParts();
    void FollowHoldBoxes();
    void FollowCalibration();
    void FollowSioChannels();
    void FollowModbusScaleFactors();
    void ApplyStateLock(const TStateLock& lock);
    // A spy of the form by its name, or one made here for an item (a name with a dot).
    TKQItemSpy* Trigger(const QString& name);
    // The bound controls of the window that show the item; none fails.
    QList<QWidget*> ControlsOf(const QString& item) const;
    template <class T = QWidget>
    T* Part(const QString& name) const;

    TEditorWindow& window;
    QMultiHash<QString, QWidget*> bound; // the bound controls by item
    QList<TStateLock> stateLocks;
};
