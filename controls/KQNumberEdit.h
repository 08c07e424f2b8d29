// An edit box for a number item of the control device. Enter and leaving the
// box write the typed number, clamped into the item's limits; unlike the spin
// edit it does not wait for an echo: every Enter and every leaving writes.
#pragma once

#include "controls/KQEdit.h"

class TKQNumberEdit : public TKQEdit {
    Q_OBJECT
    Q_PROPERTY(int DecimalPlaces READ DecimalPlaces WRITE SetDecimalPlaces)
public:
    static constexpr int DefaultDecimalPlaces = 2;
    // DecimalPlaces from this on are ignored.
    static constexpr int DecimalPlacesLimit = 5;
    // Significant digits shown.
    static constexpr int Precision = 9;

    Q_INVOKABLE explicit TKQNumberEdit(QWidget* parent = nullptr);

    int DecimalPlaces() const { return decimalPlaces; }
    void SetDecimalPlaces(int places);
    // Monitor-only: read-only (set at run time only).
    void SetIsMonitorOnly(bool monitorOnly) override;
    // Left as it is when a page is made view-only or operable.
    void SwitchViewOnly(bool) override {}

    // The characters that may be typed.
    virtual bool IsValidChar(QChar key) const;
    // Clamps the value into the item's limits and writes it unless monitor-only;
    // an integer item sets DecimalPlaces to 0. A failed write is discarded.
    void Send(double value);

protected:
    QString ItemText() override;
    void Leave() override;
    void keyPressEvent(QKeyEvent* event) override;
    // Tells the user that a key was refused.
    virtual void Beep();

private:
    void Enter();

    int decimalPlaces = DefaultDecimalPlaces;
};

// Makes the unit's classes known to the form loader.
void RegisterKQNumberEditClasses();
