#include "controls/FormDescription.h"

#include "controls/FormClasses.h"
#include "platform/Assert.h"

#include <QJsonArray>
#include <QMetaObject>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// What a child that uses a template may add to the template's entry.
const QStringList UseKeys = {"name", "cell", "label", "stretch", "align", "geometry"};
const QSet<QString> DerivedListKeys = {"like", "except"};
const QRegularExpression Placeholder(QStringLiteral("%([A-Za-z_][A-Za-z0-9_]*)%"));

bool Inherits(const QMetaObject* meta, const QString& className)
{
    for (; meta; meta = meta->superClass())
        if (QString::fromLatin1(meta->className()) == className)
            return true;
    return false;
}

// A class a form may name, or one of their base classes.
bool IsFormClass(const QString& name)
{
    if (FormClasses::Find(name))
        return true;
    const QStringList names = FormClasses::Names();
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& formClass) { return Inherits(FormClasses::Find(formClass)->metaObject, name); });
}
// value with each "%NAME%" in its texts replaced by values[NAME] where given.
QJsonValue Substitute(const QJsonValue& value, const QHash<QString, QString>& values)
{
    if (value.isString()) {
        const QString text = value.toString();
        if (!text.contains(QLatin1Char('%')))
            return value;
        QString filled;
        qsizetype done = 0;
        for (QRegularExpressionMatchIterator it = Placeholder.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            const auto given = values.constFind(match.captured(1));
            if (given == values.cend())
                continue;
            filled += QStringView(text).mid(done, match.capturedStart() - done);
            filled += *given;
            done = match.capturedEnd();
        }
        filled += QStringView(text).mid(done);
        return filled;
    }
    if (value.isArray()) {
        QJsonArray filled;
        for (const QJsonValue& element : value.toArray())
            filled.append(Substitute(element, values));
        return filled;
    }
    if (value.isObject()) {
        QJsonObject filled = value.toObject();
        for (auto it = filled.begin(); it != filled.end(); ++it)
            it.value() = Substitute(it.value(), values);
        return filled;
    }
    return value;
}

// The names of the placeholders in the texts of value.
void CollectPlaceholders(const QJsonValue& value, QSet<QString>& names)
{
    if (value.isString() && value.toString().contains(QLatin1Char('%'))) {
        for (QRegularExpressionMatchIterator it = Placeholder.globalMatch(value.toString()); it.hasNext();)
            names.insert(it.next().captured(1));
    } else if (value.isArray()) {
        for (const QJsonValue& element : value.toArray())
            CollectPlaceholders(element, names);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            CollectPlaceholders(it.value(), names);
    }
}

} // namespace

void RefuseForm(const QString& formName, const QString& who, const QString& text)
{
    throw EAssertionFailed(QStringLiteral("Form %1, component %2: %3").arg(formName, who, text));
}

bool IsIntegral(const QJsonValue& value)
{
    const double number = value.toDouble();
    return value.isDouble() && std::isfinite(number) && number == std::floor(number)
        && std::fabs(number) < 0x1p63; // so that it converts to qint64
}

TFormDescription::TFormDescription(const QString& formName, const QString& rootWho, const QJsonObject& root,
                                   const QHash<QString, QString>& parameters)
    : formName(formName), rootWho(rootWho), parameters(parameters)
{
    form = FillParameters(root);
    ReadLists(form.value(QStringLiteral("lists")));
    ReadDefaults(form.value(QStringLiteral("defaults")));
    const QJsonValue templateTable = form.value(QStringLiteral("templates"));
    if (!templateTable.isUndefined() && !templateTable.isObject())
        Refuse(rootWho, QStringLiteral("templates must be an object"));
    templates = templateTable.toObject();
}

void TFormDescription::Refuse(const QString& who, const QString& text) const
{
    RefuseForm(formName, who, text);
}

// The form with its parameters filled in everywhere.
QJsonObject TFormDescription::FillParameters(const QJsonObject& root) const
{
    const QJsonValue declared = root.value(QStringLiteral("parameters"));
    QSet<QString> names;
    for (const QJsonValue& name : declared.toArray()) {
        if (!name.isString() || name.toString().isEmpty())
            Refuse(rootWho, QStringLiteral("parameters must be a list of names"));
        names.insert(name.toString());
        if (!parameters.contains(name.toString()))
            Refuse(rootWho, QStringLiteral("the parameter %1 is not given").arg(name.toString()));
    }
    if (!declared.isUndefined() && !declared.isArray())
        Refuse(rootWho, QStringLiteral("parameters must be a list of names"));
    for (auto it = parameters.begin(); it != parameters.end(); ++it)
        if (!names.contains(it.key()))
            Refuse(rootWho, QStringLiteral("the form has no parameter %1").arg(it.key()));
    if (names.isEmpty())
        return root;
    QJsonObject form = Substitute(root, parameters).toObject();
    form.remove(QStringLiteral("parameters"));
    return form;
}

void TFormDescription::CheckFilled(const QJsonObject& entry, const QString& who, bool fromTemplate) const
{
    if (!fromTemplate && parameters.isEmpty())
        return;
    QJsonObject own = entry;
    own.remove(QStringLiteral("children"));
    own.remove(QStringLiteral("templates"));
    QSet<QString> left;
    CollectPlaceholders(own, left);
    if (!left.isEmpty())
        Refuse(who, QStringLiteral("%%1% is not filled in").arg(*left.begin()));
}

// Named value lists, each as the text/value pairs a control takes.
void TFormDescription::ReadLists(const QJsonValue& table)
{
    if (table.isUndefined())
        return;
    if (!table.isObject())
        Refuse(rootWho, QStringLiteral("lists must be an object"));
    const QJsonObject given = table.toObject();
    for (auto it = given.begin(); it != given.end(); ++it)
        ResolveList(it.key(), given, {});
}

QJsonArray TFormDescription::ResolveList(const QString& name, const QJsonObject& given, QStringList chain)
{
    if (lists.contains(name))
        return lists.value(name);
    const QJsonValue list = given.value(name);
    QJsonArray pairs;
    if (list.isArray()) {
        pairs = ListPairs(name, list.toArray());
    } else if (list.isObject()) {
        // A list like another but for a few texts: {"like": "E31", "except": {"12": "..."}}.
        const QJsonObject derived = list.toObject();
        for (auto key = derived.begin(); key != derived.end(); ++key)
            if (!DerivedListKeys.contains(key.key()))
                Refuse(rootWho, QStringLiteral("unknown entry \"%1\"").arg(key.key()));
        const QString base = derived.value(QStringLiteral("like")).toString();
        if (!given.value(base).isArray() && !given.value(base).isObject())
            Refuse(rootWho, QStringLiteral("the list \"%1\" is like \"%2\", which is not a list").arg(name, base));
        chain << name;
        if (chain.contains(base))
            Refuse(rootWho, QStringLiteral("the list \"%1\" is like itself").arg(name));
        pairs = ResolveList(base, given, chain);
        const QJsonObject changes = derived.value(QStringLiteral("except")).toObject();
        for (auto it = changes.begin(); it != changes.end(); ++it) {
            bool number = false;
            const int value = it.key().toInt(&number);
            qsizetype i = 1;
            while (i < pairs.size() && pairs[i].toInt() != value)
                i += 2;
            if (!number || i >= pairs.size() || !it.value().isString())
                Refuse(rootWho, QStringLiteral("the list \"%1\" changes the text of %2, which \"%3\" has no text for")
                                    .arg(name, it.key(), base));
            pairs[i - 1] = it.value();
        }
    } else {
        Refuse(rootWho, QStringLiteral("the list \"%1\" is a list of texts or {\"like\": ..., \"except\": ...}").arg(name));
    }
    lists.insert(name, pairs);
    return pairs;
}

// Texts only stand for the values 1 to N in order; otherwise texts and values alternate.
QJsonArray TFormDescription::ListPairs(const QString& name, const QJsonArray& list) const
{
    bool textsOnly = true;
    for (const QJsonValue& element : list)
        textsOnly = textsOnly && element.isString();
    if (textsOnly) {
        QJsonArray pairs;
        for (qsizetype i = 0; i < list.size(); ++i)
            pairs << list[i] << int(i + 1);
        return pairs;
    }
    bool paired = list.size() % 2 == 0;
    for (qsizetype i = 0; paired && i < list.size(); i += 2)
        paired = list[i].isString() && IsIntegral(list[i + 1]);
    if (!paired)
        Refuse(rootWho, QStringLiteral("the list \"%1\" holds texts, or texts and values alternating").arg(name));
    return list;
}

// A property default names a property; a class default, a class and the properties it gives.
void TFormDescription::ReadDefaults(const QJsonValue& table)
{
    if (table.isUndefined())
        return;
    if (!table.isObject())
        Refuse(rootWho, QStringLiteral("defaults must be an object"));
    const QJsonObject given = table.toObject();
    for (auto it = given.begin(); it != given.end(); ++it) {
        if (!IsFormClass(it.key())) {
            generalDefaults.insert(it.key(), it.value());
            continue;
        }
        if (!it.value().isObject())
            Refuse(rootWho, QStringLiteral("the defaults of %1 must be an object").arg(it.key()));
        classDefaults.insert(it.key(), it.value().toObject());
    }
}


QJsonValue TFormDescription::WithDefaults(const QMetaObject* meta, const QJsonValue& own, const QString& who)
{
    if (generalDefaults.isEmpty() && classDefaults.isEmpty())
        return own;
    if (!own.isUndefined() && !own.isObject())
        Refuse(who, QStringLiteral("properties must be an object"));
    QJsonObject properties;
    for (auto it = generalDefaults.begin(); it != generalDefaults.end(); ++it)
        if (meta->indexOfProperty(it.key().toLatin1().constData()) >= 0) {
            properties.insert(it.key(), it.value());
            usedDefaults.insert(it.key());
        }
    QList<const QMetaObject*> classes;
    for (const QMetaObject* base = meta; base; base = base->superClass())
        classes.prepend(base);
    for (const QMetaObject* base : classes) {
        const QString className = QString::fromLatin1(base->className());
        const auto found = classDefaults.constFind(className);
        if (found == classDefaults.cend())
            continue;
        usedDefaults.insert(className);
        for (auto it = found->begin(); it != found->end(); ++it)
            properties.insert(it.key(), it.value());
    }
    const QJsonObject given = own.toObject();
    for (auto it = given.begin(); it != given.end(); ++it)
        properties.insert(it.key(), it.value());
    return properties;
}

void TFormDescription::CheckDefaultsUsed() const
{
    for (const QString& name : generalDefaults.keys() + classDefaults.keys())
        if (!usedDefaults.contains(name))
            Refuse(rootWho, QStringLiteral("the default \"%1\" applies to no component").arg(name));
}

QJsonObject TFormDescription::Expand(QJsonObject entry, const QString& container, QStringList& used,
                                     const QStringList& templatesInUse) const
{
    while (entry.contains(QStringLiteral("use"))) {
        const QString name = entry.value(QStringLiteral("use")).toString();
        const QString who = entry.value(QStringLiteral("name"))
                                .toString(QStringLiteral("(use of %1 in %2)").arg(name, container));
        for (auto it = entry.begin(); it != entry.end(); ++it)
            if (it.key() != QLatin1String("use") && it.key() != QLatin1String("with")
                && it.key() != QLatin1String("properties") && !UseKeys.contains(it.key()))
                Refuse(who, QStringLiteral("unknown entry \"%1\" of a template's use").arg(it.key()));
        const QJsonValue body = templates.value(name);
        if (!body.isObject())
            Refuse(who, QStringLiteral("unknown template \"%1\"").arg(name));
        if (used.contains(name) || templatesInUse.contains(name))
            Refuse(who, QStringLiteral("the template \"%1\" uses itself").arg(name));
        used << name;

        QSet<QString> placeholders;
        CollectPlaceholders(body, placeholders);
        const QJsonValue with = entry.value(QStringLiteral("with"));
        if (!with.isUndefined() && !with.isObject())
            Refuse(who, QStringLiteral("\"with\" must be an object"));
        QHash<QString, QString> values;
        const QJsonObject given = with.toObject();
        for (auto it = given.begin(); it != given.end(); ++it) {
            if (!placeholders.contains(it.key()))
                Refuse(who, QStringLiteral("the template \"%1\" has no %%2%").arg(name, it.key()));
            if (!it.value().isString())
                Refuse(who, QStringLiteral("the value of %1 must be a text").arg(it.key()));
            values.insert(it.key(), it.value().toString());
        }

        QJsonObject expanded = Substitute(body, values).toObject();
        for (const QString& key : UseKeys)
            if (entry.contains(key))
                expanded.insert(key, entry.value(key));
        const QJsonValue properties = entry.value(QStringLiteral("properties"));
        if (!properties.isUndefined()) {
            if (!properties.isObject())
                Refuse(who, QStringLiteral("properties must be an object"));
            QJsonObject merged = expanded.value(QStringLiteral("properties")).toObject();
            const QJsonObject own = properties.toObject();
            for (auto it = own.begin(); it != own.end(); ++it)
                merged.insert(it.key(), it.value());
            expanded.insert(QStringLiteral("properties"), merged);
        }
        entry = expanded;
    }
    return entry;
}

QJsonValue TFormDescription::NamedList(const QString& name, const QString& who) const
{
    const auto found = lists.constFind(name);
    if (found == lists.cend())
        Refuse(who, QStringLiteral("there is no list \"%1\"").arg(name));
    return *found;
}
