// The control's values in memory, for unit tests of the parts that give the
// control life: every item of the bundled control database, read by the
// server's own parser, starts at its default. Names the database lacks are
// recorded when asked for.
#pragma once

#include "server/ControlDatabase.h"
#include "server/ControlValues.h"
#include "server/ValueRules.h"

#include <QHash>
#include <QSet>
#include <QStringList>

class TFakeControlValues : public TControlValues {
public:
    static QStringList BundledDatabases()
    {
        return {QStringLiteral(TURVISTA_SOURCE_DIR "/server/db/4812-run.items"),
                QStringLiteral(TURVISTA_SOURCE_DIR "/server/db/4812-config.items")};
    }

    TFakeControlValues()
    {
        static const TControlDatabase bundled = [] { // read once
            TControlDatabase loaded;
            QString error;
            if (!loaded.Load(BundledDatabases(), &error))
                qFatal("%s", qPrintable(error));
            return loaded;
        }();
        database = bundled;
        for (const TItemDefinition& item : database.Items())
            map.insert(item.name, item.defaultValue);
    }

    // Settings "NAME=VALUE"; false at the first item the database lacks (then in unknown).
    bool Set(const QStringList& settings)
    {
        for (const QString& setting : settings) {
            const QString name = setting.section(u'=', 0, 0);
            if (!Has(name))
                return false;
            map.insert(name.toUpper(), setting.section(u'=', 1));
        }
        return true;
    }

    bool Has(const QString& name) const override
    {
        if (database.Find(name))
            return true;
        unknown.insert(name.toUpper());
        return false;
    }
    QString Text(const QString& name) const override
    {
        Has(name);
        return map.value(name.toUpper());
    }
    double Number(const QString& name) const override { return ValueRules::ParseNumber(Text(name)).value_or(0); }
    bool Flag(const QString& name) const override
    {
        return Text(name).trimmed().compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 || Number(name) != 0;
    }
    void SetText(const QString& name, const QString& text) override
    {
        Has(name);
        map.insert(name.toUpper(), text);
        writes.append(name.toUpper());
    }
    // Written as the control writes it: integers as digits, reals with six decimals at most.
    void SetNumber(const QString& name, double value) override
    {
        const TItemDefinition* item = database.Find(name);
        const TItemType type = item ? item->type : TItemType::Real;
        if (type == TItemType::Boolean)
            SetFlag(name, value != 0);
        else if (type == TItemType::Integer || type == TItemType::Enum)
            SetText(name, ValueRules::FormatInteger(value));
        else
            SetText(name, ValueRules::FormatReal(value));
    }
    void SetFlag(const QString& name, bool value) override { SetText(name, QString::number(int(value))); }

    TControlDatabase database;
    QHash<QString, QString> map;   // upper-case name -> value
    QStringList writes;            // upper-case names, in write order
    mutable QSet<QString> unknown; // names asked for that the database lacks
};
