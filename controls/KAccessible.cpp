#include "controls/KAccessible.h"

#include "datalink/KQItem.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace {

// Indicators and boxes are read as text; spin boxes by their value alone.
bool ReadAsText(QAccessible::Role role)
{
    return role == QAccessible::StaticText || role == QAccessible::EditableText;
}
bool ReadAsNumber(QAccessible::Role role)
{
    return ReadAsText(role) || role == QAccessible::SpinBox;
}

// The value is read as a text (with its unit) and, when it is a number, as a
// value. Nothing is written through either: the control's own keys and buttons
// do that, with the checks they make.
class TKAccessible : public QAccessibleWidget, public QAccessibleTextInterface, public QAccessibleValueInterface {
public:
    TKAccessible(QWidget* widget, TKAccessibleControl* control)
        : QAccessibleWidget(widget, control->AccessibleRole()), control(control)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface && ReadAsText(role()))
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::ValueInterface && Number())
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return Shown();
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty())
            text = control->AccessibleFallbackName();
        return text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = control->AccessibleActions().isEmpty() && !control->AccessibleRange();
        control->AddAccessibleState(state);
        return state;
    }

    QStringList actionNames() const override
    {
        return control->AccessibleActions() + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (!control->AccessibleActions().contains(action)) {
            QAccessibleWidget::doAction(action);
            return;
        }
        TKAccessibleControl* target = control;
        DoAccessibleActionLater(widget(), [target, action] { target->DoAccessibleAction(action); });
    }

    int childCount() const override { return Entries() ? 1 : QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override
    {
        if (QWidget* entries = Entries())
            return index == 0 ? QAccessible::queryAccessibleInterface(entries) : nullptr;
        return QAccessibleWidget::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (QWidget* entries = Entries())
            return child && child->object() == entries ? 0 : -1;
        return QAccessibleWidget::indexOfChild(child);
    }

    // ---- text: the shown value, read only
    QString text(int start, int end) const override { return Shown().mid(start, end - start); }
    int characterCount() const override { return int(Shown().size()); }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

    // ---- value: the number shown, and the limits where the control sets one
    QVariant currentValue() const override { return Number().value_or(0); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return Range().maximum; }
    QVariant minimumValue() const override { return Range().minimum; }
    QVariant minimumStepSize() const override { return Range().step; }

private:
    QString Shown() const
    {
        const QString value = control->AccessibleValue();
        const QString unit = control->AccessibleUnit();
        return unit.isEmpty() || value.isEmpty() ? value : value + u' ' + unit;
    }
    std::optional<double> Number() const
    {
        return ReadAsNumber(role()) ? ParseNumber(control->AccessibleValue()) : std::nullopt;
    }
    TKAccessibleRange Range() const
    {
        const double number = Number().value_or(0);
        return control->AccessibleRange().value_or(TKAccessibleRange{number, number, 0});
    }
    QWidget* Entries() const { return control->AccessibleEntries(); }

    TKAccessibleControl* control;
};

// Qt's own would press a hidden button, and name a button in a group box after the box.
class TKPushButtonAccessible : public QAccessibleWidget {
public:
    explicit TKPushButtonAccessible(QPushButton* button) : QAccessibleWidget(button, QAccessible::PushButton) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && Button()->accessibleName().isEmpty() && !Button()->text().isEmpty())
            return WithoutMnemonic(Button()->text());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = Button()->isDown();
        state.checkable = Button()->isCheckable();
        state.checked = Button()->isChecked();
        state.defaultButton = Button()->isDefault();
        return state;
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override
    {
        if (action != pressAction())
            QAccessibleWidget::doAction(action);
        else
            DoAccessibleActionLater(Button(), [button = Button()] { button->click(); });
    }

private:
    QPushButton* Button() const { return static_cast<QPushButton*>(widget()); }
};

QAccessibleInterface* ButtonFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QPushButton") && object && object->isWidgetType())
        return new TKPushButtonAccessible(static_cast<QPushButton*>(object));
    return nullptr;
}

constexpr const char* RoleProperty = "turvistaAccessibleRole";

QAccessibleInterface* RoleFactory(const QString&, QObject* object)
{
    const QVariant role = object && object->isWidgetType() ? object->property(RoleProperty) : QVariant();
    return role.isValid() ? new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Role(role.toInt()))
                          : nullptr;
}

QAccessibleInterface* AccessibleFactory(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    auto* control = dynamic_cast<TKAccessibleControl*>(object);
    return widget && control ? new TKAccessible(widget, control) : nullptr;
}

} // namespace

QWindow* TKAccessiblePart::window() const
{
    return owner ? owner->window()->windowHandle() : nullptr;
}

void* TKAccessiblePart::interface_cast(QAccessible::InterfaceType type)
{
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
}

QRect TKAccessiblePart::OnScreen(const QRect& local) const
{
    return owner ? QRect(owner->mapToGlobal(local.topLeft()), local.size()) : QRect();
}

void TKAccessibleControl::InstallAccessibility()
{
    InstallAccessibleFactory(AccessibleFactory);
}

void TKAccessibleControl::AccessibleValueChanged(QWidget* widget)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    QAccessibleValueInterface* value = accessible ? accessible->valueInterface() : nullptr;
    QAccessibleValueChangeEvent event(widget, value ? value->currentValue() : QVariant());
    QAccessible::updateAccessibility(&event);
    if (QAccessibleTextInterface* text = accessible ? accessible->textInterface() : nullptr) {
        QAccessibleTextUpdateEvent update(widget, 0, QString(), text->text(0, text->characterCount()));
        QAccessible::updateAccessibility(&update);
    }
}

void NameAfterItem(QWidget* widget, const QString& previousItem, const QString& item)
{
    const QString name = widget->accessibleName();
    if (name.isEmpty() || (!previousItem.isEmpty() && name == previousItem))
        widget->setAccessibleName(item);
}

void InstallAccessibleFactory(QAccessible::InterfaceFactory factory)
{
    static QList<QAccessible::InterfaceFactory> installed;
    if (installed.contains(factory))
        return;
    installed << factory;
    QAccessible::installFactory(factory);
}

QString WithoutMnemonic(const QString& text)
{
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

void DoAccessibleActionLater(QWidget* widget, std::function<void()> action)
{
    QTimer::singleShot(0, widget, [widget, action = std::move(action)] {
        if (widget->isVisible() && widget->isEnabled())
            action();
    });
}

void InstallButtonAccessibility()
{
    InstallAccessibleFactory(ButtonFactory);
}

void SetAccessibleRole(QWidget* widget, QAccessible::Role role)
{
    InstallAccessibleFactory(RoleFactory);
    widget->setProperty(RoleProperty, int(role));
}

void LinkLabel(QLabel* label, QWidget* widget)
{
    label->setBuddy(widget);
    // A control of Qt's own is named by its accessible name, which holds its
    // item's name until a label gives one; the others ask their label.
    if (dynamic_cast<TKAccessibleControl*>(widget))
        return;
    const QString name = widget->accessibleName();
    if (name.isEmpty() || name == widget->property("ItemName").toString())
        widget->setAccessibleName(label->text());
}
