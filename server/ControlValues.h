// Access to the values of the simulated control from the parts that give it life
// (turbine model, configuration check, logs). Names are item names as the program
// knows them, compared in upper case. Writes through this interface bypass the
// class and limit checks that apply to the program's pokes, and advise the new
// value to every client that watches the item.
#pragma once

#include <QString>

class TControlValues {
public:
    virtual ~TControlValues() = default;

    virtual bool Has(const QString& name) const = 0;
    virtual QString Text(const QString& name) const = 0;
    // Number of the value; 0 for a value that is no number.
    virtual double Number(const QString& name) const = 0;
    // Boolean of the value: a non-zero number or "TRUE" reads true.
    virtual bool Flag(const QString& name) const = 0;

    virtual void SetText(const QString& name, const QString& text) = 0;
    // Reals are written with up to six significant decimals, integers as digits.
    virtual void SetNumber(const QString& name, double value) = 0;
    // Booleans are written as "1" and "0".
    virtual void SetFlag(const QString& name, bool value) = 0;
};
