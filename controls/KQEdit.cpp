#include "controls/KQEdit.h"

#include "controls/KAccessible.h"
#include "datalink/KQDatorelItem.h"

#include <QFocusEvent>

TKQEdit::TKQEdit(QWidget* parent)
    : QLineEdit(parent), binding(this, this, TItemLookup::ControlDevice, [this] { TakeOver(); })
{
}

void TKQEdit::SetItemName(const QString& name)
{
    const QString previous = binding.ItemName();
    binding.SetItemName(name);
    if (!Loading())
        NameAfterItem(this, previous, name);
}

void TKQEdit::Loaded()
{
    TKComponent::Loaded();
    binding.Loaded();
    NameAfterItem(this, QString(), ItemName());
}

TKQDatorelItem* TKQEdit::Item() const
{
    return binding.Device() ? dynamic_cast<TKQDatorelItem*>(binding.Item()) : nullptr;
}

void TKQEdit::TakeOver()
{
    setText(ItemText());
    emit OnValueChange(this);
}

void TKQEdit::ShowItemValue()
{
    if (!Item())
        return;
    try {
        setText(ItemText());
    } catch (const std::exception&) {
        // The item cannot be read now: the box keeps what it shows.
    }
}

void TKQEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Only the operator moving to another control leaves the box: another
    // window, a menu, or the window being disabled or closed is no confirmation.
    switch (event->reason()) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        Leave();
        break;
    default:
        break;
    }
}
