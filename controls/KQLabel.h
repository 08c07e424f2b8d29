// A label that shows an item: a number in fixed notation with DecimalPlaces
// decimals, or the item's text when it is no number (units and names). It never
// writes.
#pragma once

#include "controls/KAccessible.h"
#include "controls/KComponent.h"
#include "controls/KQBoundControl.h"

#include <QLabel>

class TKQLabel : public QLabel, public TKComponent, public TKAccessibleControl, public TKQBoundControl {
    Q_OBJECT
    TKQ_BOUND_PROPERTIES
    Q_PROPERTY(int DecimalPlaces READ DecimalPlaces WRITE SetDecimalPlaces)
    Q_PROPERTY(QString Value READ text WRITE setText)
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
public:
    static constexpr int DefaultDecimalPlaces = 0;
    static constexpr int MaxDecimalPlaces = 4;

    Q_INVOKABLE explicit TKQLabel(QWidget* parent = nullptr);

    int DecimalPlaces() const { return decimalPlaces; }
    // Kept within 0 to MaxDecimalPlaces.
    void SetDecimalPlaces(int places);
    bool Visible() const { return ownVisible; }
    // Shows or hides the label; the subscription follows.
    void SetVisible(bool visible);

    void Loaded() override;
    void SwitchViewOnly(bool) override {}
    QString AccessibleFallbackName() const override { return ItemName(); }
    QString AccessibleValue() const override { return text(); }

signals:
    void OnValueChange(QObject* sender);

private:
    TKQBinding& Binding() override { return binding; }
    void TakeOver();

    TKQBinding binding;
    int decimalPlaces = DefaultDecimalPlaces;
    bool ownVisible = true;
};

// Makes the unit's classes known to the form loader.
void RegisterKQLabelClasses();
