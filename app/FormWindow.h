// What every window built from a stored form shares: it loads its form once,
// looks up then the parts its rules use (a missing part fails at once, not
// when a rule first needs it), and writes its rules with the helpers below.
#pragma once

#include "controls/FormLoader.h"

#include <QHash>
#include <QString>

#include <functional>

class QObject;
class QWidget;

class TFormWindow {
public:
    TFormWindow(const TFormWindow&) = delete;
    TFormWindow& operator=(const TFormWindow&) = delete;

    const QString& FormName() const { return formName; }
    // The part of the loaded form with that name; raises EAssertionFailed when
    // the form has none of that class.
    template <class T>
    T* Part(const QString& name) const
    {
        T* found = qobject_cast<T*>(parts.value(name));
        RequirePart(found != nullptr, name);
        return found;
    }

    // Shows or hides a part by its own Visible where it has one (so that a bound
    // part's subscription follows), a tab sheet by its tab; a caption follows its field.
    static void Show(QObject* part, bool shown);
    // A spy's value as a whole number (NotANumber when it is none), as a
    // switch (false when it is none) and as text.
    static constexpr int NotANumber = 99;
    static int SpyInt(const QObject* spy);
    static bool SpyBool(const QObject* spy);
    static QString SpyText(const QObject* spy);
    static bool SpyHoldsValue(const QObject* spy);
    // Runs an operator command or a reaction to the control; a failure is shown.
    template <class F>
    static void Guarded(F&& f)
    {
        try {
            f();
        } catch (const std::exception& error) {
            ShowFailure(error);
        }
    }
    // Runs a rule on every value the sender reports, guarded. A spy that holds
    // a value already (one made at run time hears its first value at once)
    // has the rule applied now, as it will not report that value again.
    template <class Sender, class Signal>
    static void Follow(QObject* context, Sender* sender, Signal signal, std::function<void()> rule)
    {
        QObject::connect(sender, signal, context, [rule] { Guarded(rule); });
        if (SpyHoldsValue(sender))
            Guarded(rule);
    }

protected:
    explicit TFormWindow(QWidget* window) : window(window) {}
    ~TFormWindow() = default;

    // Builds the window from the form stored under name.
    void LoadForm(const QString& name, const TFormReferences& references = {},
                  const TFormLoadOptions& options = {});
    // Moves the window to the centre of the screen it is on (or its owner's).
    void CentreOnScreen() const;

    // Set while a rule of the window runs that its own changes would call back
    // into; the rule that finds it set leaves them alone.
    class TReentranceGuard {
    public:
        explicit TReentranceGuard(bool& busy) : busy(busy), entered(!busy) { busy = true; }
        ~TReentranceGuard()
        {
            if (entered)
                busy = false;
        }
        TReentranceGuard(const TReentranceGuard&) = delete;
        TReentranceGuard& operator=(const TReentranceGuard&) = delete;
        // False when the rule was already running.
        bool Entered() const { return entered; }

    private:
        bool& busy;
        bool entered;
    };

private:
    void RequirePart(bool found, const QString& name) const;
    void KeepParts(const QList<QObject*>& created);
    static void ShowFailure(const std::exception& error);

    QWidget* window;
    QString formName;
    QHash<QString, QObject*> parts;
};

// A form window names the parts its rules use once, in a list
//     #define RUN_PARTS(X) X(TKQItemSpy, KSpySync) X(QLabel, LValve1) ...
// and declares them with RUN_PARTS(FORM_PART_MEMBER) among its members and
// looks them up with RUN_PARTS(FORM_PART_FIND) once its form is loaded.
#define FORM_PART_MEMBER(Class, name) Class* name = nullptr;
#define FORM_PART_FIND(Class, name) name = Part<Class>(QStringLiteral(#name));
