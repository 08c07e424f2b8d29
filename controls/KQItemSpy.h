// A non-visual component that watches one item of one device and fires
// OnValueChange whenever a new value arrives. It holds its subscription only
// while its owner (a bound container) is shown and enabled, unless
// LockOnAdvise keeps it subscribed whatever the owner's state.
#pragma once

#include "controls/KComponent.h"
#include "controls/KQForms.h"
#include "datalink/KContainer.h"
#include "datalink/KQDevice.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class TKQItem;

class TKQItemSpy : public QObject, public TKComponent, public TObject {
    Q_OBJECT
    Q_PROPERTY(TKQDevice* Device READ Device WRITE SetDevice)
    Q_PROPERTY(QString ItemName READ ItemName WRITE SetItemName)
    Q_PROPERTY(bool LockOnAdvise READ LockOnAdvise WRITE SetLockOnAdvise)
public:
    explicit TKQItemSpy(QObject* owner = nullptr);
    ~TKQItemSpy() override;
    // A spy made at run time that follows the item from now on, whatever is
    // shown; its owner is the window (or container) it belongs to.
    static TKQItemSpy* Following(QObject* owner, TKQDevice* device, const QString& item);

    TKQDevice* Device() const { return device; }
    void SetDevice(TKQDevice* value) { device = value; }
    const QString& ItemName() const { return itemName; }
    // While loading only the name is stored. At run time the spy gives its old
    // item back and takes the new one, keeps the subscription it had, and fires
    // OnValueChange once at once.
    void SetItemName(const QString& name);
    bool LockOnAdvise() const { return lockOnAdvise; }
    void SetLockOnAdvise(bool value);

    // The item's value; empty without an item. Test HasValue first: reading a
    // value that has not arrived asks the server and waits.
    QVariant Value() const;
    // A value has arrived for the item; false without an item.
    bool HasValue() const;
    TKQItem* Item() const { return HeldItem(); }

    // Takes the item and registers with the owner.
    void Loaded() override;
    // The owner's state: subscribed while shown and enabled, or always with LockOnAdvise.
    void ParentStateChanged(TStateFlags flags);

signals:
    void OnValueChange(QObject* sender);

private:
    // The item's notification, Sender = the item.
    void ItemValueChanged(TObject* sender);
    void Acquire();
    void Subscribe();
    void Unsubscribe();
    bool Subscribed() const;
    // The item, while the device that gave it still exists.
    TKQItem* HeldItem() const { return itemDevice ? item : nullptr; }

    QString itemName;
    TKQItem* item = nullptr;
    QPointer<TKQDevice> device;
    QPointer<TKQDevice> itemDevice; // the device the item came from
    bool active = true;
    bool lockOnAdvise = false;
};
