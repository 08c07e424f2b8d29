// Writes the turbine model's monitor values. A value is written only when it
// changed at its display resolution, so a steady turbine advises nothing, and
// items the control database does not define are skipped.
#pragma once

#include <QHash>
#include <QString>

class TControlValues;

class TTurbineOutputs {
public:
    explicit TTurbineOutputs(TControlValues& values);

    // Rounds the value to a multiple of the resolution before comparing and writing.
    void Number(const QString& item, double value, double resolution = 0.01);
    void Flag(const QString& item, bool value);
    void Text(const QString& item, const QString& text);

    // Forgets what was written, so that every value is written again.
    void Forget();

private:
    TControlValues& values;
    QHash<QString, double> numbers;
    QHash<QString, QString> texts;
};
