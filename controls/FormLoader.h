// Builds a window from its stored form description (JSON, see
// docs/form-format.md): creates the components, sets their properties through
// Qt's property system, connects their events to the window's slots, lays them
// out, and once the whole tree exists gives every component its end-of-loading
// call in creation order.
//
// A form may name defaults, value lists and templates once at its root and take
// parameters from the window that loads it.
//
// A description that names an unknown class, property, event, reference, list or
// template, a handler the window lacks, or an item without a device is a
// programming error: Load raises EAssertionFailed with a text that names the form
// and the component.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

// Components of other windows a form may refer to by name, such as the main
// window's control device: {"KQDatorelControl1", device}.
using TFormReferences = QHash<QString, QObject*>;

struct TFormLoadOptions {
    // The values of the form's parameters ("parameters" at its root): each
    // "%NAME%" in the form becomes the value given for NAME.
    QHash<QString, QString> parameters;

    // For tools and checks that build a window's form without the window's class:
    // The root entry may name any class; the given window stands in for it.
    bool anyRootClass = false;
    // When set, a handler the window lacks is listed here ("Component.Event:
    // Handler(QObject*)") and its event left unconnected, instead of refusing the form.
    QStringList* missingHandlers = nullptr;
    // When set, each control whose value list the form names ("EnumList": "E31")
    // is entered here with the list's name.
    QHash<const QObject*, QString>* listNames = nullptr;
};

class TFormLoader {
public:
    // Where the form of a window unit is stored in the program: ":/forms/<name>.json".
    static QString ResourcePath(const QString& formName);
    // The names of the forms stored in the program.
    static QStringList StoredForms();

    // Loads the description at path (a resource or a file) into window, which
    // is the root component. Returns the components created, in creation order.
    static QList<QObject*> Load(const QString& path, QWidget* window, const TFormReferences& references = {},
                                const TFormLoadOptions& options = {});
    // The same from a description in memory; formName names it in refusals.
    static QList<QObject*> LoadJson(const QByteArray& json, const QString& formName, QWidget* window,
                                    const TFormReferences& references = {}, const TFormLoadOptions& options = {});
};
