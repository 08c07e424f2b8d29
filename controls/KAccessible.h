// What assistive technology is told about the custom controls: one accessible
// interface for all of them, fed by what each control says of itself.
#pragma once

#include <QAccessible>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// The limits and the smallest step of a control that sets a number.
struct TKAccessibleRange {
    double minimum = 0;
    double maximum = 0;
    double step = 0;
};

// Implemented by the controls that describe themselves. A control is read by
// its name (its label's caption, else the fallback), its role and its value;
// the value is also its text, with the unit beside it, and a number where it
// reads as one.
class TKAccessibleControl {
public:
    virtual ~TKAccessibleControl() = default;

    virtual QAccessible::Role AccessibleRole() const { return QAccessible::StaticText; }
    // The name when no accessible name is set and no label names the control.
    virtual QString AccessibleFallbackName() const = 0;
    // What the control shows.
    virtual QString AccessibleValue() const = 0;
    // A control that sets a number tells its limits, when it knows them.
    virtual std::optional<TKAccessibleRange> AccessibleRange() const { return std::nullopt; }
    virtual void AddAccessibleState(QAccessible::State&) const {}
    // Actions for a control that is visible and enabled; none for indicators.
    virtual QStringList AccessibleActions() const { return {}; }
    virtual void DoAccessibleAction(const QString&) {}
    // The list a combo box opens, read as its entries.
    virtual QWidget* AccessibleEntries() const { return nullptr; }

    // The unit shown beside the control (the form's "unitOf" label).
    QString AccessibleUnit() const { return unit; }
    void SetAccessibleUnit(const QString& text) { unit = text; }

protected:
    // Call from the widget's constructor.
    static void InstallAccessibility();
    // Tells assistive technology that the shown value changed.
    static void AccessibleValueChanged(QWidget* widget);

private:
    QString unit;
};

// A part that a widget draws without a widget of its own (a tab, a title bar
// button): a child of the widget's accessible interface that can be pressed.
// Register it with QAccessible::registerAccessibleInterface; the widget's
// interface lists it and deletes it.
class TKAccessiblePart : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    explicit TKAccessiblePart(QWidget* owner) : owner(owner) {}

    bool isValid() const override { return owner; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(owner); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    void* interface_cast(QAccessible::InterfaceType type) override;
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

protected:
    // The owner's rectangle, on the screen.
    QRect OnScreen(const QRect& local) const;

    QPointer<QWidget> owner;
};

// Names the widget after its item unless it has a name of its own (the caption
// of its label). A name given earlier the same way follows the item.
void NameAfterItem(QWidget* widget, const QString& previousItem, const QString& item);

// Gives a plain widget the role it plays (a tool bar, a group of controls) where
// its class tells assistive technology nothing. Call it before anything else
// asks for the widget's accessible interface (setting its accessible name does).
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

// Installs the factory unless it is installed already; each widget kind calls
// this with its own factory when its first widget is made.
void InstallAccessibleFactory(QAccessible::InterfaceFactory factory);

// "&Set" reads "Set", "R&&D" reads "R&D".
QString WithoutMnemonic(const QString& text);

// Runs an action that assistive technology asked for once the request has been
// answered (the action may open a modal dialog, which would leave the screen
// reader waiting), and only if the widget is then still shown and enabled:
// what cannot be seen or used cannot be pressed either.
void DoAccessibleActionLater(QWidget* widget, std::function<void()> action);

// Push buttons are pressed through assistive technology only while they are
// shown and enabled, as a user can press them; call before any is shown.
void InstallButtonAccessibility();

// Makes label the caption of widget: the label points at it, and the widget
// takes its name from the label, also when the label's text changes.
void LinkLabel(class QLabel* label, QWidget* widget);
