#include "controls/KFloatText.h"

#include "datalink/KQItem.h"

#include <QByteArray>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int LabelPrecision = 15;

} // namespace

QString FloatToTextFixed(double value, int precision, int digits)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    precision = std::clamp(precision, 1, 17);
    digits = std::max(digits, 0);
    if (!std::isfinite(value))
        return locale.toString(value);

    // The significant digits of |value| = 0.d1d2...dn x 10^wholeDigits.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, std::fabs(value));
    QByteArray significant(1, buffer[0]);
    significant.append(buffer + 2, precision - 1);
    int wholeDigits = std::atoi(std::strchr(buffer, 'e') + 1) + 1;
    if (value == 0)
        wholeDigits = 1;
    if (wholeDigits > precision)
        return locale.toString(value, 'E', precision - 1);

    // Round half away from zero at the last decimal shown.
    const int kept = wholeDigits + digits;
    if (kept < precision) {
        const bool roundUp = kept >= 0 && significant[kept] >= '5';
        significant.truncate(std::max(kept, 0));
        if (roundUp) {
            int at = kept - 1;
            while (at >= 0 && significant[at] == '9')
                significant[at--] = '0';
            if (at >= 0) {
                significant[at] = char(significant[at] + 1);
            } else {
                significant.prepend('1');
                ++wholeDigits;
            }
        }
    }

    // Position i of the digits stands for 10^(wholeDigits - 1 - i).
    const auto digitAt = [&](int i) { return i >= 0 && i < significant.size() ? significant[i] : '0'; };
    QString text;
    if (value < 0 && significant.count('0') != significant.size())
        text += QLatin1Char('-');
    if (wholeDigits <= 0)
        text += QLatin1Char('0');
    for (int i = 0; i < wholeDigits; ++i)
        text += QLatin1Char(digitAt(i));
    if (digits > 0) {
        text += locale.decimalPoint();
        for (int i = 0; i < digits; ++i)
            text += QLatin1Char(digitAt(wholeDigits + i));
    }
    return text;
}

std::optional<double> TextToFloat(const QString& text)
{
    try {
        return VariantToFloat(QVariant(text));
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

QString ItemValueText(const QVariant& value, int digits)
{
    const QString text = VariantToText(value);
    if (const auto number = TextToFloat(text))
        return FloatToTextFixed(*number, LabelPrecision, digits);
    return text;
}
