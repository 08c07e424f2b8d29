#include "controls/KQBinding.h"

#include "datalink/KQDatorelControl.h"
#include "datalink/KQDevice.h"
#include "datalink/KQItem.h"
#include "platform/Assert.h"
#include "platform/Exception.h"

TKQBinding::TKQBinding(QObject* control, TKComponent* component, TItemLookup lookup, std::function<void()> takeOver)
    : control(control), component(component), lookup(lookup), takeOver(std::move(takeOver))
{
}

TKQBinding::~TKQBinding()
{
    Release();
}

void TKQBinding::SetDevice(QObject* value)
{
    device = value;
}

bool TKQBinding::HasValue() const
{
    return Item() && item->HasValue();
}

void TKQBinding::Acquire()
{
    Assert(device != nullptr, "Assertion failure");
    TKQDevice* source = nullptr;
    if (lookup == TItemLookup::ControlDevice)
        source = dynamic_cast<TKQDatorelControl*>(device.data());
    else
        source = dynamic_cast<TKQDevice*>(device.data());
    Assert(source != nullptr, "Assertion failure");
    item = source->GetItem(itemName);
    itemOwner = source;
}

void TKQBinding::Release()
{
    if (!item)
        return;
    auto* source = dynamic_cast<TKQDevice*>(itemOwner.data());
    if (source) {
        Unsubscribe();
        source->ReleaseItem(item->ItemName());
    }
    // Without its device the item is gone already.
    item = nullptr;
}

void TKQBinding::SetItemName(const QString& name)
{
    if (component->Loading() || (!item && !device)) {
        itemName = name;
        return;
    }
    bool wasClient = false;
    if (!itemName.isEmpty() && item) {
        wasClient = Subscribed();
        Release();
    }
    itemName = name;
    if (itemName.isEmpty())
        return;
    Acquire();
    if (wasClient)
        Subscribe();
    ItemValueChanged(item);
}

void TKQBinding::Loaded(TStateHandler handler)
{
    if (itemName.isEmpty())
        return;
    // A control made at run time took its item when its name was set.
    if (!item)
        Acquire();
    if (!handler)
        handler = [this](TStateFlags flags) { ParentStateChanged(flags); };
    RegisterBoundChild(BoundParentOf(control), std::move(handler), control);
}

void TKQBinding::ParentStateChanged(TStateFlags flags)
{
    if (flags == sfShownEnabled)
        Subscribe();
    else
        Unsubscribe();
}

void TKQBinding::Subscribe()
{
    if (!item || !itemOwner)
        return;
    // Subscriptions follow container broadcasts from show and enable events: a
    // failed advise start goes to the default handler, not into the event loop.
    try {
        item->Advise(TNotifyEvent(this, &TKQBinding::ItemValueChanged));
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

void TKQBinding::Unsubscribe()
{
    if (item && itemOwner)
        item->Unadvise(TNotifyEvent(this, &TKQBinding::ItemValueChanged));
}

bool TKQBinding::Subscribed() const
{
    return item && itemOwner && item->IsClient(TNotifyEvent(const_cast<TKQBinding*>(this), &TKQBinding::ItemValueChanged));
}

QVariant TKQBinding::Read() const
{
    return Item() ? item->Value() : QVariant();
}

bool TKQBinding::Write(const QVariant& value) const
{
    if (component->Loading() || !item || !itemOwner)
        return false;
    try {
        item->SetValue(value);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TKQBinding::ItemValueChanged(TObject*)
{
    if (!Item())
        return;
    try {
        takeOver();
    } catch (const std::exception&) {
        // The control keeps what it showed; the item's other clients are still told.
    }
}
