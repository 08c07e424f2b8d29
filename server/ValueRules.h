// How the control reads, checks and writes the text of a value.
#pragma once

#include "server/ItemDefinition.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace ValueRules {

// A number in decimal text; a comma is taken as the decimal separator when the
// text has no point (the program writes numbers in the user's locale).
std::optional<double> ParseNumber(const QString& text);

// Reals: fixed point, at most six decimals, trailing zeros dropped ("12.5", "3600").
QString FormatReal(double value);
// Integers: the rounded value as digits.
QString FormatInteger(double value);

// The text as the control stores a value of the type: booleans "1"/"0" (from a
// number, "-1" included, or TRUE/FALSE), integers as digits, reals as FormatReal.
// Empty when the text does not parse for the type.
std::optional<QString> Normalize(TItemType type, const QString& text);

// Whether a normalised value lies inside the item's limits (items without
// limits, and texts, always do).
bool WithinLimits(const TItemDefinition& item, const QString& normalized);

// Symbol information: class byte, type byte, minimum text, 0, maximum text, 0.
QByteArray SymbolInfo(const TItemDefinition& item);

} // namespace ValueRules
