#include "controls/KQItemSpy.h"

#include "datalink/KQItem.h"
#include "platform/Assert.h"

TKQItemSpy::TKQItemSpy(QObject* owner) : QObject(owner) { }

TKQItemSpy* TKQItemSpy::Following(QObject* owner, TKQDevice* device, const QString& item)
{
    auto* spy = new TKQItemSpy(owner);
    spy->BeginLoading();
    spy->SetDevice(device);
    spy->SetItemName(item);
    spy->SetLockOnAdvise(true);
    spy->Loaded();
    return spy;
}

TKQItemSpy::~TKQItemSpy()
{
    active = false;
    try {
        SetItemName(QString());
    } catch (const std::exception&) {
        // The item is given back whatever its conversation says.
    }
}

void TKQItemSpy::Acquire()
{
    Assert(device != nullptr, "Assertion failure");
    item = device->GetItem(itemName);
    itemDevice = device;
}

void TKQItemSpy::Loaded()
{
    TKComponent::Loaded();
    if (itemName.isEmpty() || HeldItem())
        return;
    Acquire();
    RegisterBoundChild(BoundParentOf(this), [this](TStateFlags flags) { ParentStateChanged(flags); }, this);
}

void TKQItemSpy::ParentStateChanged(TStateFlags flags)
{
    // A name cleared at run time leaves the registration behind, with nothing to subscribe.
    if (itemName.isEmpty())
        return;
    Assert(HeldItem() != nullptr, "TKQItemSpy.Item = nil");
    if (lockOnAdvise || flags == sfShownEnabled)
        Subscribe();
    else
        Unsubscribe();
}

void TKQItemSpy::SetItemName(const QString& name)
{
    if (Loading()) {
        itemName = name;
        return;
    }
    bool wasSubscribed = false;
    if (!itemName.isEmpty() && HeldItem()) {
        wasSubscribed = Subscribed();
        if (wasSubscribed)
            Unsubscribe();
        itemDevice->ReleaseItem(item->ItemName());
    }
    item = nullptr;
    itemDevice = nullptr;
    itemName = name;
    if (itemName.isEmpty())
        return;
    Acquire();
    if (wasSubscribed || lockOnAdvise)
        Subscribe();
    if (active)
        emit OnValueChange(this);
}

void TKQItemSpy::SetLockOnAdvise(bool value)
{
    if (value == lockOnAdvise)
        return;
    lockOnAdvise = value;
    if (!HeldItem())
        return;
    if (lockOnAdvise)
        Subscribe();
    else
        Unsubscribe();
}

QVariant TKQItemSpy::Value() const
{
    TKQItem* held = HeldItem();
    return held ? held->Value() : QVariant();
}

bool TKQItemSpy::HasValue() const
{
    TKQItem* held = HeldItem();
    return held && held->HasValue();
}

void TKQItemSpy::ItemValueChanged(TObject*)
{
    if (HeldItem() && active)
        emit OnValueChange(this);
}

void TKQItemSpy::Subscribe()
{
    if (TKQItem* held = HeldItem())
        held->Advise(TNotifyEvent(this, &TKQItemSpy::ItemValueChanged));
}

void TKQItemSpy::Unsubscribe()
{
    if (TKQItem* held = HeldItem())
        held->Unadvise(TNotifyEvent(this, &TKQItemSpy::ItemValueChanged));
}

bool TKQItemSpy::Subscribed() const
{
    TKQItem* held = HeldItem();
    return held && held->IsClient(TNotifyEvent(const_cast<TKQItemSpy*>(this), &TKQItemSpy::ItemValueChanged));
}
