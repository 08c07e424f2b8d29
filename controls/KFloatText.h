// Numbers as the indicators and editors show them: fixed notation with a given
// number of decimals, in the user's locale, and the parse that tells a number
// from a word.
#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// The value rounded to `precision` significant digits, then (half away from
// zero) to `digits` decimals, with the locale's decimal point and no group
// separators. A value with more whole digits than `precision` is written in
// scientific notation.
QString FloatToTextFixed(double value, int precision, int digits);

// The number a text stands for (in the locale's notation, or in C notation),
// or nothing when the text is no number.
std::optional<double> TextToFloat(const QString& text);

// An item value as the labels show it: a number in fixed notation with
// precision 15 and `digits` decimals, or the text itself when it is no number.
QString ItemValueText(const QVariant& value, int digits);
