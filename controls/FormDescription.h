// What the root of a form names for the whole form: the parameters its window
// fills in, the value lists its enumerated controls name, the defaults of its
// components and the templates of its repeated groups. The form loader asks it
// for each entry as it is to be built.
#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QSet>
#include <QString>
#include <QStringList>

struct QMetaObject;

// Raises EAssertionFailed "Form <form>, component <who>: <text>".
[[noreturn]] void RefuseForm(const QString& formName, const QString& who, const QString& text);
// A JSON number without fraction.
bool IsIntegral(const QJsonValue& value);

class TFormDescription {
public:
    // rootWho names the root in refusals; parameters are the window's values.
    TFormDescription(const QString& formName, const QString& rootWho, const QJsonObject& root,
                     const QHash<QString, QString>& parameters);

    // The root entry with the parameters filled in.
    const QJsonObject& Form() const { return form; }
    // A child that uses a template becomes the template's entry with its
    // placeholders filled in from "with", its place, name and properties from
    // the child; used collects the templates it came from. Templates may use
    // other templates, but not themselves (templatesInUse: those of the entries around it).
    QJsonObject Expand(QJsonObject entry, const QString& container, QStringList& used,
                       const QStringList& templatesInUse) const;
    // A placeholder left in an entry after its template and the form's
    // parameters were filled in. Only texts that came from a template or a form
    // with parameters can hold one: the rest is not searched (large forms load faster).
    void CheckFilled(const QJsonObject& entry, const QString& who, bool fromTemplate) const;
    // The entry's own properties over its classes' defaults over the form's property defaults.
    QJsonValue WithDefaults(const QMetaObject* meta, const QJsonValue& own, const QString& who);
    // A default that nothing took is most likely misspelt.
    void CheckDefaultsUsed() const;
    // The named list as the text/value pairs a control takes.
    QJsonValue NamedList(const QString& name, const QString& who) const;

private:
    [[noreturn]] void Refuse(const QString& who, const QString& text) const;
    QJsonObject FillParameters(const QJsonObject& root) const;
    void ReadLists(const QJsonValue& table);
    QJsonArray ResolveList(const QString& name, const QJsonObject& given, QStringList chain);
    QJsonArray ListPairs(const QString& name, const QJsonArray& list) const;
    void ReadDefaults(const QJsonValue& table);

    QString formName;
    QString rootWho;
    QHash<QString, QString> parameters;
    QJsonObject form;
    QHash<QString, QJsonArray> lists;
    QJsonObject generalDefaults;
    QHash<QString, QJsonObject> classDefaults;
    QSet<QString> usedDefaults;
    QJsonObject templates;
};
