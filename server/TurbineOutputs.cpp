#include "server/TurbineOutputs.h"

#include "server/ControlValues.h"

#include <cmath>

TTurbineOutputs::TTurbineOutputs(TControlValues& values)
    : values(values)
{
}

void TTurbineOutputs::Number(const QString& item, double value, double resolution)
{
    const double rounded = std::round(value / resolution) * resolution;
    const auto known = numbers.constFind(item);
    if (known != numbers.constEnd() && *known == rounded)
        return;
    if (!values.Has(item))
        return;
    numbers.insert(item, rounded);
    values.SetNumber(item, rounded);
}

void TTurbineOutputs::Flag(const QString& item, bool value)
{
    const double number = value ? 1 : 0;
    const auto known = numbers.constFind(item);
    if (known != numbers.constEnd() && *known == number)
        return;
    if (!values.Has(item))
        return;
    numbers.insert(item, number);
    values.SetFlag(item, value);
}

void TTurbineOutputs::Text(const QString& item, const QString& text)
{
    const auto known = texts.constFind(item);
    if (known != texts.constEnd() && *known == text)
        return;
    if (!values.Has(item))
        return;
    texts.insert(item, text);
    values.SetText(item, text);
}

void TTurbineOutputs::Forget()
{
    numbers.clear();
    texts.clear();
}
