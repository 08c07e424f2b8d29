// What every bound control shares: its device and item name, the item it holds
// one reference to, its subscription, and the guards on writing. A control owns
// one TKQBinding and tells it how to take over a value.
#pragma once

#include "controls/KQForms.h"
#include "datalink/KContainer.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

class TKQItem;
class TKQDevice;

// How the control gets its item: through the device's item factory, or through
// the control device's own look-up (the device must then be a control device).
enum class TItemLookup { Device, ControlDevice };

class TKQBinding : public TObject {
public:
    // takeOver reads the item's value, shows it and fires the control's
    // OnValueChange; whatever it raises is swallowed (the control keeps what it showed).
    TKQBinding(QObject* control, TKComponent* component, TItemLookup lookup, std::function<void()> takeOver);
    ~TKQBinding() override;
    TKQBinding(const TKQBinding&) = delete;
    TKQBinding& operator=(const TKQBinding&) = delete;

    QObject* Device() const { return device; }
    void SetDevice(QObject* device);
    const QString& ItemName() const { return itemName; }
    // While loading only the name is stored; at run time the subscription moves
    // to the new item and its value is taken over at once.
    void SetItemName(const QString& name);
    // The item, or nullptr when there is none or its device is gone.
    TKQItem* Item() const { return itemOwner ? item : nullptr; }
    bool HasValue() const;

    // End of loading: gets the item and registers the handler with the container
    // (or this binding's own ParentStateChanged when none is given).
    void Loaded(TStateHandler handler = {});

    void ParentStateChanged(TStateFlags flags);
    void Subscribe();
    void Unsubscribe();
    bool Subscribed() const;

    // The item's value (may wait for the server).
    QVariant Read() const;
    // Writes unless loading; false when the write failed. Monitor-only and
    // has-value guards are the control's, as they differ between controls.
    bool Write(const QVariant& value) const;

    // The notify method subscribed to the item.
    void ItemValueChanged(TObject* sender);

private:
    void Acquire();
    void Release();

    QObject* control;
    TKComponent* component;
    TItemLookup lookup;
    std::function<void()> takeOver;
    QPointer<QObject> device;
    QString itemName;
    TKQItem* item = nullptr;
    QPointer<QObject> itemOwner; // the device the item came from
};
