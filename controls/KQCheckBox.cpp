#include "controls/KQCheckBox.h"

#include "controls/FormClasses.h"
#include "controls/KAccessible.h"
#include "datalink/KQItem.h"

TKQCheckBox::TKQCheckBox(QWidget* parent)
    : QCheckBox(parent), binding(this, this, TItemLookup::Device, [this] { TakeOver(); })
{
}

void TKQCheckBox::SetItemName(const QString& name)
{
    const QString previous = binding.ItemName();
    binding.SetItemName(name);
    if (!Loading() && text().isEmpty())
        NameAfterItem(this, previous, name);
}

void TKQCheckBox::SetIsMonitorOnly(bool monitorOnly)
{
    isMonitorOnly = monitorOnly;
    if (!Loading())
        setEnabled(!monitorOnly);
}

void TKQCheckBox::SetChecked(bool checked)
{
    setChecked(checked);
    Send();
}

void TKQCheckBox::SetVisible(bool visible)
{
    ownVisible = visible;
    setVisible(visible);
    visible ? binding.Subscribe() : binding.Unsubscribe();
}

void TKQCheckBox::Loaded()
{
    TKComponent::Loaded();
    binding.Loaded();
    // The caption names the box; without one its item does.
    if (text().isEmpty())
        NameAfterItem(this, QString(), ItemName());
}

void TKQCheckBox::TakeOver()
{
    setChecked(VariantToBool(binding.Read()));
    emit OnValueChange(this);
    setEnabled(!isMonitorOnly);
    ready = true;
}

void TKQCheckBox::nextCheckState()
{
    if (isMonitorOnly)
        return;
    QCheckBox::nextCheckState();
    emit OnClick(this);
    Send();
}

void TKQCheckBox::Send()
{
    if (Loading() || !ready || isMonitorOnly || !binding.HasValue())
        return;
    bool itemValue = false;
    try {
        itemValue = VariantToBool(binding.Read());
    } catch (const std::exception&) {
        return;
    }
    if (isChecked() == itemValue)
        return;
    ready = false;
    setEnabled(false);
    // A failed write leaves the box disabled until the next value.
    binding.Write(isChecked());
}

void RegisterKQCheckBoxClasses()
{
    FormClasses::Register<TKQCheckBox>();
}
