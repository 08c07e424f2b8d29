// One item of the control database: what the control knows about a value.
#pragma once

#include <QString>

// The numbers are the class codes of the symbol information.
enum class TItemClass { Monitor = 1, Tunable = 2, Configure = 3 };

enum class TItemType { Boolean, Integer, Real, String, Time, Timer, Enum };

struct TItemDefinition {
    QString name;         // upper case
    TItemClass itemClass = TItemClass::Monitor;
    TItemType type = TItemType::String;
    QString min;          // decimal text; empty for no limit
    QString max;
    QString defaultValue; // normalised for the type
    QString comment;
    QString file;         // where it was defined, for messages
    int line = 0;

    bool IsNumeric() const
    {
        return type == TItemType::Boolean || type == TItemType::Integer || type == TItemType::Real
            || type == TItemType::Enum;
    }
    bool IsChangeable() const { return itemClass != TItemClass::Monitor; }
};
