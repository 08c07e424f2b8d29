#include "controls/KQSpinEdit.h"

#include "controls/FormClasses.h"
#include "datalink/KQDatorelControl.h"
#include "datalink/KQDatorelItem.h"

TKQSpinEdit::TKQSpinEdit(QWidget* parent)
    : TKSpinEdit(parent), binding(this, this, TItemLookup::ControlDevice, [this] { TakeOver(); })
{
    suppressText = true;
    SetButtonsEnabled(false);
    // Enabled and visible from the start; there is no item to subscribe yet.
    ApplyEditState();
}

TKQSpinEdit::~TKQSpinEdit()
{
    // Unsubscribes and gives the item back while this control is still whole.
    binding.SetItemName(QString());
}

TKQDatorelItem* TKQSpinEdit::Item() const
{
    return binding.Device() ? static_cast<TKQDatorelItem*>(binding.Item()) : nullptr;
}

TKQDatorelControl* TKQSpinEdit::ControlDevice() const
{
    return dynamic_cast<TKQDatorelControl*>(binding.Device());
}

void TKQSpinEdit::Loaded()
{
    TKComponent::Loaded();
    binding.Loaded([this](TStateFlags flags) { ParentStateChanged(flags); });
    ApplyEditState();
}

void TKQSpinEdit::ParentStateChanged(TStateFlags flags)
{
    binding.ParentStateChanged(flags);
}

void TKQSpinEdit::SetVisible(bool visible)
{
    ownVisible = visible;
    setVisible(visible);
    visible ? binding.Subscribe() : binding.Unsubscribe();
}

void TKQSpinEdit::SetEnabled(bool enabled)
{
    ownEnabled = enabled;
    setEnabled(enabled);
    ApplyEditState();
    enabled ? binding.Subscribe() : binding.Unsubscribe();
}

void TKQSpinEdit::SetIsMonitorOnly(bool monitorOnly)
{
    isMonitorOnly = monitorOnly;
    if (!Loading())
        ApplyEditState();
}

void TKQSpinEdit::ApplyEditState()
{
    const bool editable = !isMonitorOnly && ownEnabled;
    SetButtonsEnabled(editable);
    SetTextReadOnly(!editable);
}

void TKQSpinEdit::BeginEdit()
{
    if (!isMonitorOnly)
        TKSpinEdit::BeginEdit();
}

bool TKQSpinEdit::LimitTypedChange()
{
    if (!doRangeChecking)
        return false;
    TKQDatorelControl* control = ControlDevice();
    return !(control && control->IsRunMode());
}

bool TKQSpinEdit::IsIntegerMode()
{
    TKQDatorelItem* item = Item();
    return item && item->DataType() == vdtInteger;
}

double TKQSpinEdit::GetMinValue()
{
    TKQDatorelItem* item = Item();
    return item ? VariantToFloat(item->MinValue()) : 0;
}

std::optional<TKAccessibleRange> TKQSpinEdit::AccessibleRange() const
{
    // Never asks the control: a screen reader's question must not wait for it.
    std::optional<TKAccessibleRange> range = TKSpinEdit::AccessibleRange();
    TKQDatorelItem* item = Item();
    if (item && item->SymbolKnown()) {
        const QVariant min = item->MinValue();
        const QVariant max = item->MaxValue();
        if (!min.toString().isEmpty() && !max.toString().isEmpty() && min != max) {
            range->minimum = VariantToFloat(min);
            range->maximum = VariantToFloat(max);
        }
    }
    return range;
}

double TKQSpinEdit::GetMaxValue()
{
    TKQDatorelItem* item = Item();
    return item ? VariantToFloat(item->MaxValue()) : 0;
}

void TKQSpinEdit::Click()
{
    if (!valueReceived)
        return;
    SetValue(SpinValue());
    valueReceived = false;
}

void TKQSpinEdit::SetValue(double value)
{
    TKQDatorelItem* item = Item();
    // A value in the form description is neither written nor shown.
    if (!item || Loading())
        return;
    const double max = VariantToFloat(item->MaxValue());
    const double min = VariantToFloat(item->MinValue());
    if (IsIntegerMode())
        SetDecimalPlaces(0);
    // Equal limits mean that there are none.
    if (max != min) {
        if (value < min)
            value = min;
        else if (value > max)
            value = max;
    }
    if (!isMonitorOnly && item->HasValue()) {
        if (!binding.Write(value))
            ShowItemValue();
    } else {
        ShowItemValue();
    }
}

void TKQSpinEdit::ShowItemValue()
{
    try {
        UpdateText(VariantToFloat(binding.Read()));
    } catch (const std::exception&) {
        // The item cannot be read now (its conversation is gone): show what it last said.
        if (lastReceived)
            UpdateText(*lastReceived);
    }
}

void TKQSpinEdit::TakeOver()
{
    const double value = VariantToFloat(binding.Read());
    UpdateText(value);
    StoreSpinValue(value);
    lastReceived = value;
    emit OnValueChange(this);
    valueReceived = true;
}

void RegisterKQSpinEditClasses()
{
    FormClasses::Register<TKQSpinEdit>();
}
