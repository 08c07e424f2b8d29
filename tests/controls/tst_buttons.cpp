// The command buttons: what each drawn kind does with presses and releases of
// the mouse and the Enter key and what assistive technology sees; bound to a
// control device over a DDE server in the same process, the one-shot pulse and
// the momentary command with prompt and late echoes, bringing the device to
// rest on first sight, letting go of the item only after a command, and the two
// confirmation dialogs.
#include "controls/KConfirmMomentarydlg.h"
#include "controls/KConfirmOneShotdlg.h"
#include "controls/KAccessible.h"
#include "controls/KQMomentaryButton.h"
#include "controls/KQOneShotButton.h"
#include "controls/KQToggleButton.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/RaisedText.h"
#include "tests/support/TestRunner.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QGroupBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>

namespace {

enum Kind { OneShot, Momentary, Toggle };
enum Input { LeftMouse, RightMouse, EnterKey };

std::unique_ptr<TKDrawnButton> MakeButton(int kind)
{
    switch (kind) {
    case OneShot: return std::make_unique<TKOneShotButton>();
    case Momentary: return std::make_unique<TKMomentaryButton>();
    default: return std::make_unique<TKToggleButton>();
    }
}

void Press(TKDrawnButton* button, int input)
{
    if (input == EnterKey)
        QTest::keyPress(button, Qt::Key_Return);
    else
        QTest::mousePress(button, input == LeftMouse ? Qt::LeftButton : Qt::RightButton);
}

void Release(TKDrawnButton* button, int input)
{
    if (input == EnterKey)
        QTest::keyRelease(button, Qt::Key_Return);
    else
        QTest::mouseRelease(button, input == LeftMouse ? Qt::LeftButton : Qt::RightButton);
}

// Short enough for tests, long enough that a settled echo is never overtaken.
constexpr unsigned TestPeriod = 50;
// So long that it never ends within a test unless shortened.
constexpr unsigned EndlessPeriod = 600000;

QString StateName(TPulseState state)
{
    static const char* const names[] = {"Idle", "RestDue", "RestSent", "ActiveConfirmed", "ActiveSent", "Awaiting"};
    return names[int(state)];
}
const QString Item = QStringLiteral("CMD.PULSE.IN");

// A command item at rest.
struct Plant : TControlPlant {
    Plant() { Define(Item, "0"); }
};

const QStringList CommandThenRest{"-1", "0"};

} // namespace

// ---------------------------------------------------------------------------

class TestDrawnButtons : public QObject {
    Q_OBJECT
private slots:
    void pressAndRelease_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("input");
        QTest::addColumn<bool>("onWhilePressed");
        QTest::addColumn<bool>("onAfterRelease");

        QTest::newRow("one-shot, left") << int(OneShot) << int(LeftMouse) << true << true;
        QTest::newRow("one-shot, right") << int(OneShot) << int(RightMouse) << false << false;
        QTest::newRow("one-shot, Enter") << int(OneShot) << int(EnterKey) << true << true;
        QTest::newRow("momentary, left") << int(Momentary) << int(LeftMouse) << true << false;
        QTest::newRow("momentary, right") << int(Momentary) << int(RightMouse) << false << false;
        QTest::newRow("momentary, Enter") << int(Momentary) << int(EnterKey) << true << false;
        QTest::newRow("toggle, left") << int(Toggle) << int(LeftMouse) << true << true;
        QTest::newRow("toggle, right") << int(Toggle) << int(RightMouse) << true << true;
        QTest::newRow("toggle, Enter") << int(Toggle) << int(EnterKey) << false << false;
    }

    void pressAndRelease()
    {
        QFETCH(int, kind);
        QFETCH(int, input);
        QFETCH(bool, onWhilePressed);
        QFETCH(bool, onAfterRelease);
        std::unique_ptr<TKDrawnButton> button = MakeButton(kind);
        QSignalSpy changes(button.get(), &TKDrawnButton::OnButtonStateChange);
        QSignalSpy downs(button.get(), &TKDrawnButton::OnMouseDown);
        QSignalSpy ups(button.get(), &TKDrawnButton::OnMouseUp);
        Press(button.get(), input);
        QCOMPARE(button->ButtonOn(), onWhilePressed);
        Release(button.get(), input);
        QCOMPARE(button->ButtonOn(), onAfterRelease);
        QCOMPARE(changes.count(), int(onWhilePressed) + int(onWhilePressed != onAfterRelease));
        const bool pressReported = input != EnterKey || kind != Toggle;
        QCOMPARE(downs.count(), int(pressReported));
        QCOMPARE(ups.count(), int(pressReported));
        if (pressReported) // Enter acts as the left button
            QCOMPARE(downs.first().at(1).value<Qt::MouseButton>(), input == RightMouse ? Qt::RightButton : Qt::LeftButton);
    }

    void accessible_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("onAfterPress");
        QTest::newRow("one-shot with caption") << int(OneShot) << int(QAccessible::PushButton) << "Reset Alarms"
                                               << "Reset Alarms" << true;
        QTest::newRow("momentary without caption") << int(Momentary) << int(QAccessible::PushButton) << ""
                                                   << "TheButton" << false;
        QTest::newRow("toggle") << int(Toggle) << int(QAccessible::CheckBox) << "Calibrate" << "Calibrate" << true;
    }

    // Role, name (the caption, else the object's name) and value; the press action
    // presses and releases, never on a hidden button.
    void accessible()
    {
        QFETCH(int, kind);
        QFETCH(int, role);
        QFETCH(QString, caption);
        QFETCH(QString, name);
        QFETCH(bool, onAfterPress);
        std::unique_ptr<TKDrawnButton> button = MakeButton(kind);
        button->setObjectName("TheButton");
        button->SetOffText(caption);
        button->show();
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button.get());
        QCOMPARE(int(accessible->role()), role);
        QCOMPARE(accessible->text(QAccessible::Name), name);
        QCOMPARE(accessible->text(QAccessible::Value), QString("Off"));
        QSignalSpy changes(button.get(), &TKDrawnButton::OnButtonStateChange);
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(changes.count(), onAfterPress ? 1 : 2); // once the request has been answered
        QCOMPARE(button->ButtonOn(), onAfterPress);
        QCOMPARE(accessible->text(QAccessible::Value), QString(onAfterPress ? "On" : "Off"));
        if (onAfterPress)
            QVERIFY(role == QAccessible::CheckBox ? accessible->state().checked : accessible->state().pressed);
        button->hide();
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents();
        QCOMPARE(changes.count(), onAfterPress ? 1 : 2);
    }

    // A push button of a form is named by its text (not by its group box) and
    // pressed only while it is shown.
    void pushButtonIsPressedOnlyWhileShown()
    {
        InstallButtonAccessibility();
        QGroupBox group("Start");
        auto* button = new QPushButton("&Set", &group);
        QSignalSpy clicks(button, &QPushButton::clicked);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        QCOMPARE(accessible->text(QAccessible::Name), QString("Set"));
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents();
        QCOMPARE(clicks.count(), 0);
        group.show();
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(clicks.count(), 1);
    }
};

// ---------------------------------------------------------------------------

// The bound pulse buttons, each case a script of steps read left to right:
//   show, hold (pokes are stored but not advised back), echo (advise what was
//   poked), free (stop holding), set / rest (the device shows the command or the
//   rest value), settle, keeper (another control takes the item), hide / unhide
//   (the button's panel), click, press, release, enter (Return key), default
//   (the rest value is true), endless / period (one-shot period: endless, 1 ms),
//   monitor:later (IsMonitorOnly set during a pulse: no error, still enabled); locked (disabled);
// and checks: =State, on / off, advised / !advised, pokes:a,b (all pokes so
// far), changes:n (OnValueChange so far).
class TestPulseButtons : public QObject, public PlantFixture<Plant> {
    Q_OBJECT
private slots:
    void init() { Start(); }
    void cleanup() { Stop(); }

    void scripts_data()
    {
        QTest::addColumn<bool>("momentary");
        QTest::addColumn<QByteArray>("initial");
        QTest::addColumn<QString>("script");
        const auto row = [](const char* name, bool momentary, const char* initial, const char* script) {
            QTest::newRow(name) << momentary << QByteArray(initial) << QString(script);
        };
        // One-shot: the command goes out at once, the rest value after the
        // period once the command has come back.
        row("one-shot, prompt echo rests after the period", false, "0",
            "endless show click on settle =ActiveConfirmed pokes:-1 on period =Idle pokes:-1,0 off changes:2");
        row("one-shot, late echo rests as soon as it arrives", false, "0",
            "show hold enter =RestDue off pokes:-1 echo =RestSent pokes:-1,0 echo =Idle pokes:-1,0");
        row("one-shot, rest value is the negated command", false, "-1", "default show click =Idle pokes:0,-1 off");
        // Until the device has shown the rest value, every command value seen
        // is answered with the rest value and not shown.
        row("one-shot, first sight of a command brings the device to rest", false, "-1",
            "hold show pokes:0 set pokes:0,0 changes:0 echo settle changes:0 set changes:1 pokes:0,0 =Idle");
        // Monitor-only asked for during a pulse takes effect at its end; the
        // pulse still writes its rest value.
        row("one-shot, monitor-only during a pulse waits for its end", false, "0",
            "show hold click monitor:later echo =RestSent pokes:-1,0 echo =Idle locked");
        // Hidden during a command, the button lets go of the item at its end,
        // even when shown again meanwhile.
        row("one-shot, hiding lets go at the end", false, "0",
            "show rest settle advised hold click hide advised unhide echo =RestSent advised echo =Idle !advised pokes:-1,0 "
            "hide unhide =Idle advised");
        // Momentary: the command is repeated while held, each time after its echo.
        row("momentary, held repeats after each echo only", true, "0",
            "show rest settle hold press on settle =ActiveSent pokes:-1 echo pokes:-1,-1 release off =RestDue echo "
            "pokes:-1,-1,0 echo =Idle");
        row("momentary, release before the echo rests when it arrives", true, "0",
            "show rest settle hold press release =RestDue off pokes:-1 echo =RestSent pokes:-1,0 echo =Idle");
        row("momentary, monitor-only during a command waits for its end", true, "0",
            "show rest settle hold press monitor:later release echo =RestSent pokes:-1,0 echo =Idle locked");
        // After each subscription presses wait for a value; one delivered while
        // subscribing (another control holds the item) does not count.
        row("momentary, presses wait for the first value", true, "0",
            "show rest hide !advised unhide =Awaiting click off settle =Idle pokes: "
            "keeper hide unhide settle =Awaiting click rest =Idle pokes: click pokes:-1,0");
        row("momentary, first sight of a command brings the device to rest", true, "-1",
            "hold show pokes:0 click pokes:0 echo settle changes:0 =Idle free click pokes:0,-1,0");
    }

    void scripts()
    {
        QFETCH(bool, momentary);
        QFETCH(QByteArray, initial);
        QFETCH(QString, script);
        plant->Define(Item, initial);
        auto* panel = plant->Make<TKQPanel>("Panel", Item);
        TKQMomentaryButton* held = nullptr;
        TKQOneShotButton* oneShot = nullptr;
        TKDrawnButton* button = nullptr;
        if (momentary) {
            button = held = plant->Make<TKQMomentaryButton>("RaiseButton", Item, {}, panel);
            held->SetBetweenPulsePeriod(TestPeriod);
        } else {
            button = oneShot = plant->Make<TKQOneShotButton>("ResetButton", Item, {}, panel);
            oneShot->SetOneShotPeriod(TestPeriod);
        }
        QSignalSpy changes(button, SIGNAL(OnValueChange(QObject*)));
        const auto state = [&] { return StateName(held ? held->PulseState() : oneShot->PulseState()); };
        const auto setMonitorOnly = [&] { held ? held->SetIsMonitorOnly(true) : oneShot->SetIsMonitorOnly(true); };
        const QHash<QString, std::function<void()>> actions{
            {"show", [&] { plant->Show(); }},
            {"hold", [&] { plant->Hold(Item); }},
            {"echo", [&] { plant->Echo(Item); }},
            {"free", [&] { plant->server->held.clear(); }},
            {"set", [&] { plant->server->SetItem(Item, "-1"); }},
            {"rest", [&] { plant->server->SetItem(Item, "0"); }},
            {"settle", [&] { plant->Settle(); }},
            {"hide", [&] { panel->SetVisible(false); }},
            {"unhide", [&] { panel->SetVisible(true); }},
            {"click", [&] { QTest::mouseClick(button, Qt::LeftButton); }},
            {"press", [&] { QTest::mousePress(button, Qt::LeftButton); }},
            {"release", [&] { QTest::mouseRelease(button, Qt::LeftButton); }},
            {"enter", [&] { QTest::keyClick(button, Qt::Key_Return); }},
            {"default", [&] { button->setProperty("ControlDefaultValue", true); }},
            {"endless", [&] { oneShot->SetOneShotPeriod(EndlessPeriod); }},
            {"period", [&] { oneShot->SetOneShotPeriod(1); }},
            {"keeper", [&] {
                 auto* keeper = new TKQToggleButton(plant->form.get());
                 keeper->SetDevice(plant->device.get());
                 keeper->SetItemName(Item);
                 keeper->SetEnabled(true);
                 QTRY_VERIFY_WITH_TIMEOUT(keeper->HasValue(), ReplyWait);
             }},
        };
        int at = 0;
        const QStringList steps = script.split(' ', Qt::SkipEmptyParts);
        const auto where = qScopeGuard([&] {
            if (QTest::currentTestFailed())
                qWarning("failed at step %d, %s", at + 1, qPrintable(steps.value(at)));
        });
        for (; at < steps.size(); ++at) {
            const QString& step = steps[at];
            const QString arg = step.section(':', 1);
            if (actions.contains(step))
                actions[step]();
            else if (step == "monitor:later") {
                QCOMPARE(RaisedText(setMonitorOnly), QString());
                QVERIFY(button->isEnabled());
            } else if (step == "locked") {
                QVERIFY(!button->isEnabled());
            } else if (step.startsWith('='))
                QTRY_COMPARE_WITH_TIMEOUT(state(), step.mid(1), ReplyWait);
            else if (step == "on" || step == "off")
                QCOMPARE(button->ButtonOn(), step == "on");
            else if (step == "advised" || step == "!advised")
                QCOMPARE(plant->Advised(Item), step == "advised");
            else if (step.startsWith("pokes:")) {
                plant->Settle();
                QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(Item), arg.split(',', Qt::SkipEmptyParts), ReplyWait);
            } else if (step.startsWith("changes:"))
                QTRY_COMPARE_WITH_TIMEOUT(int(changes.count()), arg.toInt(), ReplyWait);
            else
                QFAIL("unknown step");
            if (QTest::currentTestFailed())
                return;
        }
    }
};

// ---------------------------------------------------------------------------

class TestConfirmation : public QObject, public PlantFixture<Plant> {
    Q_OBJECT
private slots:
    void init() { Start(); }
    void cleanup() { Stop(); }

    // The dialog shows a copy of the button; a right press on it or Escape confirms nothing.
    void oneShotDialogShowsItsButtonAndCancels()
    {
        auto* button = plant->Make<TKQDAOneShotButton>("ShutdownButton", Item);
        button->SetOffText("Shutdown");
        button->SetOffColor(Qt::yellow);
        plant->Show();
        bool seen = false;
        WhenOpen([&](TKConfirmDialog* dialog) {
            TKOneShotButton* copy = qobject_cast<TKConfirmOneShotdlg*>(dialog)->Button();
            QCOMPARE(copy->OffText(), QString("Shutdown"));
            QCOMPARE(copy->OffColor(), QColor(Qt::yellow));
            QTest::mouseClick(copy, Qt::RightButton);
            QVERIFY(dialog->isVisible());
            seen = true;
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QTest::keyClick(button, Qt::Key_Return);
        QVERIFY(seen);
        QCOMPARE(TKConfirmOneShotdlg::Current(), nullptr);
        plant->Settle();
        QCOMPARE(plant->Pokes(Item), QStringList());
    }

    void momentaryDialogStandsInForTheButtonUntilCancelled()
    {
        auto* button = plant->Make<TKQDAMomentaryButton>("LowerButton", Item);
        button->SetBetweenPulsePeriod(EndlessPeriod);
        plant->Show();
        plant->server->SetItem(Item, "0");
        QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
        bool seen = false;
        WhenOpen([&](TKConfirmDialog* dialog) {
            TKMomentaryButton* held = static_cast<TKConfirmMomentarydlg*>(dialog)->Button();
            QTest::mousePress(held, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::ActiveConfirmed, ReplyWait);
            // Releasing the bound button itself does nothing.
            button->MouseUp(Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
            QCOMPARE(button->PulseState(), TPulseState::ActiveConfirmed);
            QTest::mouseRelease(held, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
            QVERIFY(dialog->isVisible());
            QTest::mouseClick(held, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(Item), QStringList({"-1", "0", "-1", "0"}), ReplyWait);
            seen = true;
            static_cast<TKConfirmMomentarydlg*>(dialog)->CancelButton()->click();
        });
        QTest::mousePress(button, Qt::LeftButton);
        QTest::mouseRelease(button, Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(TKConfirmMomentarydlg::Current(), nullptr);
        QCOMPARE(plant->Pokes(Item), QStringList({"-1", "0", "-1", "0"}));
    }

private:
    // Runs f once the next confirmation dialog is open.
    static void WhenOpen(std::function<void(TKConfirmDialog*)> f)
    {
        QTimer::singleShot(0, [f] {
            TKConfirmDialog* dialog = TKConfirmDialog::Open();
            QVERIFY(dialog);
            f(dialog);
            // A dialog left open by a failing test would never return.
            if (dialog->isVisible() && QTest::currentTestFailed())
                dialog->reject();
        });
    }
};

// ---------------------------------------------------------------------------

TURVISTA_TEST_MAIN(TestDrawnButtons, TestPulseButtons, TestConfirmation)

#include "tst_buttons.moc"
