// The classes a form description may name, by class name, each with the way to
// create one. Registration is explicit: RegisterAllFormClasses() calls one
// Register<Unit>Classes() per control unit (static libraries drop static
// initialisers, so nothing registers itself).
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <type_traits>

// Creates one component. Visual components get their container widget as
// parent, non-visual ones their container object.
using TComponentFactory = std::function<QObject*(QObject* parent)>;

struct TFormClass {
    QString name;
    const QMetaObject* metaObject = nullptr;
    TComponentFactory create;
    bool visual = false; // a QWidget
};

namespace FormClasses {

// Registers a class under its name; a second registration replaces the first.
void Register(const TFormClass& formClass);
// nullptr for a name that is not registered.
const TFormClass* Find(const QString& name);
QStringList Names();

// Registers T under its Qt class name. T's constructor takes its parent.
template <class T>
void Register()
{
    TFormClass formClass;
    formClass.name = QString::fromLatin1(T::staticMetaObject.className());
    formClass.metaObject = &T::staticMetaObject;
    if constexpr (std::is_base_of_v<QWidget, T>) {
        formClass.visual = true;
        formClass.create = [](QObject* parent) -> QObject* { return new T(qobject_cast<QWidget*>(parent)); };
    } else {
        formClass.create = [](QObject* parent) -> QObject* { return new T(parent); };
    }
    Register(formClass);
}

} // namespace FormClasses

// Every class of the library; safe to call more than once.
void RegisterAllFormClasses();

// One per control unit.
void RegisterKQFormsClasses();
// Plain Qt widgets that forms use for captions, frames and buttons.
void RegisterPlainClasses();
