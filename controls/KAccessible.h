// What assistive technology is told about the bound indicators, and the
// accessible name of bound controls that use Qt's own accessible interfaces.
#pragma once

#include <QAccessible>
#include <QString>

class QWidget;

// Implemented by display widgets that describe themselves: an indicator is
// read (name, role, value) but has nothing to press.
class TKAccessibleIndicator {
public:
    virtual ~TKAccessibleIndicator() = default;
    // The name when no accessible name is set (normally the item name).
    virtual QString AccessibleFallbackName() const = 0;
    virtual QString AccessibleValue() const = 0;
    virtual QAccessible::Role AccessibleRole() const { return QAccessible::StaticText; }

protected:
    // Call from the widget's constructor.
    static void InstallAccessibility();
    // Tells assistive technology that the value changed.
    static void ValueChanged(QWidget* widget);
};

// Names the widget after its item unless it has a name of its own (the caption
// of its label). A name given earlier the same way follows the item.
void NameAfterItem(QWidget* widget, const QString& previousItem, const QString& item);
