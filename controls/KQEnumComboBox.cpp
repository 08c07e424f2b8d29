#include "controls/KQEnumComboBox.h"

#include "controls/FormClasses.h"
#include "datalink/KQItem.h"

#include <cmath>
#include <limits>

namespace {

// An item value as a code: whole numbers, and other numbers rounded.
int ToCode(const QVariant& value)
{
    const double number = std::round(VariantToFloat(value));
    if (!(number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max()))
        throw EConvertError(QLatin1Char('\'') + VariantToText(value) + QStringLiteral("' is not a valid integer value"));
    return int(number);
}

} // namespace

TKQEnumComboBox::TKQEnumComboBox(QWidget* parent)
    : TKEnumComboBox(parent), binding(this, this, TItemLookup::Device, [this] { TakeOver(); })
{
}

void TKQEnumComboBox::SetEnumValue(int value)
{
    TKEnumComboBox::SetEnumValue(value);
    if (!updating)
        SetValue(EnumValue());
}

void TKQEnumComboBox::SetValue(int value)
{
    if (Loading() || isMonitorOnly)
        return;
    updating = true;
    // A failed write is discarded; the next value ends the wait all the same.
    binding.Write(value);
}

void TKQEnumComboBox::SetIsMonitorOnly(bool monitorOnly)
{
    isMonitorOnly = monitorOnly;
    setEnabled(!monitorOnly);
}

void TKQEnumComboBox::SetVisible(bool visible)
{
    ownVisible = visible;
    setVisible(visible);
    visible ? binding.Subscribe() : binding.Unsubscribe();
}

void TKQEnumComboBox::SetEnabled(bool enabled)
{
    ownEnabled = enabled;
    if (!isMonitorOnly)
        setEnabled(enabled);
    enabled ? binding.Subscribe() : binding.Unsubscribe();
}

void TKQEnumComboBox::Loaded()
{
    TKComponent::Loaded();
    binding.Loaded();
    // Applied again now that loading is over: a box that is not monitor-only is usable.
    SetIsMonitorOnly(isMonitorOnly);
}

void TKQEnumComboBox::TakeOver()
{
    const int code = ToCode(binding.Read());
    updating = true;
    SetEnumValue(code);
    emit OnValueChange(this);
    updating = false;
    setEnabled(!isMonitorOnly);
    Unlock();
}

void RegisterKQEnumComboBoxClasses()
{
    FormClasses::Register<TKQEnumComboBox>();
}
