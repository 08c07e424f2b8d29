// A read-only edit box that shows an item of the control device: a number in
// fixed notation with DecimalPlaces decimals, or the item's text when it is no
// number (units and names). It never writes.
#pragma once

#include "controls/KAccessible.h"
#include "controls/KComponent.h"
#include "controls/KQBoundControl.h"

#include <QLineEdit>

class TKQBoxLabel : public QLineEdit, public TKComponent, public TKAccessibleControl, public TKQBoundControl {
    Q_OBJECT
    TKQ_BOUND_PROPERTIES
    Q_PROPERTY(int DecimalPlaces READ DecimalPlaces WRITE SetDecimalPlaces)
    Q_PROPERTY(QString Text READ text WRITE setText)
    Q_PROPERTY(QString ComponentVersion READ ComponentVersion STORED false)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
public:
    static constexpr int DefaultDecimalPlaces = 2;
    // DecimalPlaces from this on are ignored.
    static constexpr int DecimalPlacesLimit = 5;

    Q_INVOKABLE explicit TKQBoxLabel(QWidget* parent = nullptr);

    int DecimalPlaces() const { return decimalPlaces; }
    void SetDecimalPlaces(int places);
    QString ComponentVersion() const { return QStringLiteral("Beta 1.03"); }
    bool Visible() const { return ownVisible; }
    // Shows or hides the box; the subscription follows.
    void SetVisible(bool visible);
    bool Enabled() const { return ownEnabled; }
    // Enables or disables the box; the subscription follows.
    void SetEnabled(bool enabled);

    void Loaded() override;
    void SwitchViewOnly(bool) override {}
    QString AccessibleFallbackName() const override { return ItemName(); }
    QString AccessibleValue() const override { return text(); }
    QAccessible::Role AccessibleRole() const override { return QAccessible::EditableText; }

signals:
    void OnValueChange(QObject* sender);

private:
    TKQBinding& Binding() override { return binding; }
    void TakeOver();

    TKQBinding binding;
    int decimalPlaces = DefaultDecimalPlaces;
    bool ownVisible = true;
    bool ownEnabled = true;
};

// Makes the unit's classes known to the form loader.
void RegisterKQBoxLabelClasses();
