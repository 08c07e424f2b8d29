// The command buttons: what each drawn kind does with presses and releases of
// the mouse and the Enter key and what assistive technology sees; bound to a
// control device over a DDE server in the same process, the one-shot pulse and
// the momentary command with prompt and late echoes, bringing the device to
// rest on first sight, letting go of the item only after a command, the
// toggle, and the two confirmation dialogs.
#include "controls/KConfirmMomentarydlg.h"
#include "controls/KConfirmOneShotdlg.h"
#include "controls/KQMomentaryButton.h"
#include "controls/KQOneShotButton.h"
#include "controls/KQToggleButton.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/RaisedText.h"
#include "tests/support/TestRunner.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QPushButton>
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
const QString Item = QStringLiteral("CMD.PULSE.IN");

// A command item at rest.
struct Plant : TControlPlant {
    Plant() { Define(Item, "0"); }
    template <class T>
    T* Make(const QString& name, QWidget* parent = nullptr)
    {
        return TControlPlant::Make<T>(name, Item, {}, parent);
    }
    QStringList Pokes() const { return TControlPlant::Pokes(Item); }
    void Hold() { TControlPlant::Hold(Item); }
    void Echo() { TControlPlant::Echo(Item); }
    bool Advised() { return TControlPlant::Advised(Item); }
};

const QStringList Command{"-1"};
const QStringList CommandThenRest{"-1", "0"};

// Every test on a fresh plant, and none leaves a message behind.
class PlantTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        plant = std::make_unique<Plant>();
        QVERIFY(plant->opened);
    }
    void cleanup()
    {
        const QStringList shown = plant->dialogs.texts();
        plant.reset();
        QCOMPARE(shown, QStringList());
    }

protected:
    std::unique_ptr<Plant> plant;
};

} // namespace

// ---------------------------------------------------------------------------

class TestDrawnButtons : public QObject {
    Q_OBJECT
private slots:
    void pressAndRelease_data();
    void pressAndRelease();
    void oneShotPulseEndsAfterItsPeriod();
    void disabledButtonsStayOff();
    void bothCaptionsFit();
    void roleNameAndValue_data();
    void roleNameAndValue();
    void pressActionPresses();
};

void TestDrawnButtons::pressAndRelease_data()
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

void TestDrawnButtons::pressAndRelease()
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
    if (pressReported && input == EnterKey) {
        // Enter acts as the left button at (1, 1).
        QCOMPARE(downs.first().at(1).value<Qt::MouseButton>(), Qt::LeftButton);
        QCOMPARE(downs.first().at(3).toInt(), 1);
        QCOMPARE(downs.first().at(4).toInt(), 1);
    }
}

void TestDrawnButtons::oneShotPulseEndsAfterItsPeriod()
{
    TKOneShotButton button;
    button.SetOneShotPeriod(TestPeriod);
    QSignalSpy changes(&button, &TKDrawnButton::OnButtonStateChange);
    QTest::mouseClick(&button, Qt::LeftButton);
    QVERIFY(button.PulseRunning());
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::keyClick(&button, Qt::Key_Return);
    QCOMPARE(changes.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!button.PulseRunning(), ReplyWait);
    QVERIFY(!button.ButtonOn());
    QCOMPARE(changes.count(), 2);
    QCOMPARE(changes.last().first().value<QObject*>(), &button);
}

void TestDrawnButtons::disabledButtonsStayOff()
{
    for (int kind : {OneShot, Momentary, Toggle}) {
        std::unique_ptr<TKDrawnButton> button = MakeButton(kind);
        button->SetEnabled(false);
        QVERIFY(!button->Enabled());
        button->Click();
        QVERIFY(!button->ButtonOn());
    }
}

void TestDrawnButtons::bothCaptionsFit()
{
    for (const auto& [off, on] : {std::pair{"Reset Alarms", "On"}, std::pair{"Off", "Calibration enabled"}}) {
        TKToggleButton button;
        button.SetOffText(off);
        button.SetOnText(on);
        button.show();
        const QFontMetrics metrics(button.font());
        QVERIFY(button.width() > metrics.horizontalAdvance(off));
        QVERIFY(button.width() > metrics.horizontalAdvance(on));
        QVERIFY(button.height() > metrics.height());
    }
}

void TestDrawnButtons::roleNameAndValue_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("name");
    QTest::newRow("one-shot with caption") << int(OneShot) << int(QAccessible::PushButton) << "Reset Alarms"
                                           << "Reset Alarms";
    QTest::newRow("momentary without caption") << int(Momentary) << int(QAccessible::PushButton) << ""
                                               << "TheButton";
    QTest::newRow("toggle") << int(Toggle) << int(QAccessible::CheckBox) << "Calibrate" << "Calibrate";
}

void TestDrawnButtons::roleNameAndValue()
{
    QFETCH(int, kind);
    QFETCH(int, role);
    QFETCH(QString, caption);
    QFETCH(QString, name);
    std::unique_ptr<TKDrawnButton> button = MakeButton(kind);
    button->setObjectName("TheButton");
    button->SetOffText(caption);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button.get());
    QVERIFY(accessible);
    QCOMPARE(int(accessible->role()), role);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QCOMPARE(accessible->text(QAccessible::Value), QString("Off"));
    button->SetButtonOn(true);
    QCOMPARE(accessible->text(QAccessible::Value), QString("On"));
    if (role == QAccessible::CheckBox)
        QVERIFY(accessible->state().checked);
    else
        QVERIFY(accessible->state().pressed);
    button->setAccessibleName("Named");
    QCOMPARE(accessible->text(QAccessible::Name), QString("Named"));
}

void TestDrawnButtons::pressActionPresses()
{
    TKToggleButton toggle;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&toggle);
    QAccessibleActionInterface* actions = accessible->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(toggle.ButtonOn());

    TKMomentaryButton momentary;
    QSignalSpy changes(&momentary, &TKDrawnButton::OnButtonStateChange);
    QAccessible::queryAccessibleInterface(&momentary)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    // Pressed and released.
    QCOMPARE(changes.count(), 2);
    QVERIFY(!momentary.ButtonOn());
}

// ---------------------------------------------------------------------------

class TestOneShotPulse : public PlantTest {
    Q_OBJECT
private slots:
    void promptEchoRestsAfterThePeriod();
    void lateEchoRestsAsSoonAsItArrives();
    void restValueIsTheNegatedCommand();
    void firstSightOfACommandBringsTheDeviceToRest();
    void hidingDuringAPulseLetsGoAtItsEnd();
    void monitorOnlyIsRefusedDuringAPulse();

private:
    TKQOneShotButton* Button(unsigned period = TestPeriod)
    {
        auto* button = plant->Make<TKQOneShotButton>("ResetButton");
        button->SetOffText("Reset");
        button->SetOneShotPeriod(period);
        return button;
    }
};

void TestOneShotPulse::promptEchoRestsAfterThePeriod()
{
    TKQOneShotButton* button = Button(EndlessPeriod);
    QSignalSpy changes(button, &TKQOneShotButton::OnValueChange);
    plant->Show();
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(button->ButtonOn());
    plant->Settle();
    // The command came back; the rest value waits for the end of the period.
    QCOMPARE(button->PulseState(), TPulseState::ActiveConfirmed);
    QCOMPARE(plant->Pokes(), Command);
    QVERIFY(button->ButtonOn());

    button->SetOneShotPeriod(1);
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
    QCOMPARE(plant->Pokes(), CommandThenRest);
    QVERIFY(!button->ButtonOn());
    QCOMPARE(changes.count(), 2);
    QCOMPARE(changes.first().first().value<QObject*>(), button);
}

void TestOneShotPulse::lateEchoRestsAsSoonAsItArrives()
{
    TKQOneShotButton* button = Button();
    plant->Show();
    plant->Hold();
    QTest::keyClick(button, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::RestDue, ReplyWait);
    QVERIFY(!button->ButtonOn());
    QCOMPARE(plant->Pokes(), Command);

    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::RestSent, ReplyWait);
    plant->Settle();
    QCOMPARE(plant->Pokes(), CommandThenRest);
    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
    QCOMPARE(plant->Pokes(), CommandThenRest);
}

void TestOneShotPulse::restValueIsTheNegatedCommand()
{
    plant->server->SetItem(Item, "-1");
    TKQOneShotButton* button = Button();
    button->SetControlDefaultValue(true);
    plant->Show();
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
    QCOMPARE(plant->Pokes(), QStringList({"0", "-1"}));
    QVERIFY(!button->ButtonOn());
}

void TestOneShotPulse::firstSightOfACommandBringsTheDeviceToRest()
{
    plant->server->SetItem(Item, "-1");
    plant->Hold();
    TKQOneShotButton* button = Button();
    QSignalSpy changes(button, &TKQOneShotButton::OnValueChange);
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(), QStringList({"0"}), ReplyWait);
    // Not at rest yet: another command value is answered with the rest value again.
    plant->server->SetItem(Item, "-1");
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(), QStringList({"0", "0"}), ReplyWait);
    QCOMPARE(changes.count(), 0);

    plant->Echo();
    plant->Settle();
    QCOMPARE(changes.count(), 0);
    // Initialised: a value now is shown and answered with nothing.
    plant->server->SetItem(Item, "-1");
    QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 1, ReplyWait);
    plant->Settle();
    QCOMPARE(plant->Pokes(), QStringList({"0", "0"}));
    QCOMPARE(button->PulseState(), TPulseState::Idle);
}

void TestOneShotPulse::hidingDuringAPulseLetsGoAtItsEnd()
{
    TKQOneShotButton* button = Button();
    plant->Show();
    QVERIFY(plant->Advised());
    plant->Hold();
    QTest::mouseClick(button, Qt::LeftButton);
    button->SetVisible(false);
    QVERIFY(plant->Advised());
    // Shown again before the end: the unsubscribe still waits for the end.
    button->SetVisible(true);
    QVERIFY(plant->Advised());
    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::RestSent, ReplyWait);
    QVERIFY(plant->Advised());
    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
    QVERIFY(!plant->Advised());
    QCOMPARE(plant->Pokes(), CommandThenRest);

    button->SetVisible(true);
    QVERIFY(plant->Advised());
    button->SetVisible(false);
    QVERIFY(!plant->Advised());
}

void TestOneShotPulse::monitorOnlyIsRefusedDuringAPulse()
{
    TKQOneShotButton* button = Button();
    plant->Show();
    plant->Hold();
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(RaisedText([&] { button->SetIsMonitorOnly(true); }),
             QString("ResetButton _SetIsMonitorOnly change failed. Incorrect State."));
    QVERIFY(!button->IsMonitorOnly());
    QVERIFY(button->isEnabled());

    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::RestSent, ReplyWait);
    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
    QCOMPARE(RaisedText([&] { button->SetIsMonitorOnly(true); }), QString());
    QVERIFY(!button->isEnabled());
}

// ---------------------------------------------------------------------------

class TestMomentaryCommand : public PlantTest {
    Q_OBJECT
private slots:
    void heldButtonRepeatsTheCommandAfterEachEcho();
    void noRepeatWithoutAnEcho();
    void releaseBeforeTheEchoRestsWhenItArrives();
    void pressesWaitForTheFirstValue();
    void firstSightOfACommandBringsTheDeviceToRest();
    void hidingThePanelDuringACommandLetsGoAtItsEnd();
    void monitorOnlyFromTheFormIsAppliedAtTheEndOfLoading();

private:
    TKQMomentaryButton* Button(QWidget* parent = nullptr)
    {
        auto* button = plant->Make<TKQMomentaryButton>("RaiseButton", parent);
        button->SetOffText("Raise");
        button->SetBetweenPulsePeriod(TestPeriod);
        return button;
    }
    // Shown, and at rest after its first value.
    TKQMomentaryButton* ReadyButton(QWidget* parent = nullptr)
    {
        TKQMomentaryButton* button = Button(parent);
        plant->Show();
        plant->server->SetItem(Item, "0");
        plant->Settle();
        return button;
    }
};

void TestMomentaryCommand::heldButtonRepeatsTheCommandAfterEachEcho()
{
    TKQMomentaryButton* button = ReadyButton();
    QCOMPARE(button->PulseState(), TPulseState::Idle);
    QTest::mousePress(button, Qt::LeftButton);
    QVERIFY(button->ButtonOn());
    QTRY_VERIFY_WITH_TIMEOUT(plant->Pokes().size() >= 3, ReplyWait);
    QTest::mouseRelease(button, Qt::LeftButton);
    QVERIFY(!button->ButtonOn());
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
    plant->Settle();
    QStringList pokes = plant->Pokes();
    QCOMPARE(pokes.takeLast(), QString("0"));
    QCOMPARE(pokes, QStringList(pokes.size(), "-1"));
}

void TestMomentaryCommand::noRepeatWithoutAnEcho()
{
    TKQMomentaryButton* button = ReadyButton();
    plant->Hold();
    QTest::keyPress(button, Qt::Key_Return);
    plant->Settle();
    // Unconfirmed: no repeat is timed.
    QCOMPARE(button->PulseState(), TPulseState::ActiveSent);
    QCOMPARE(plant->Pokes(), Command);
    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(), QStringList({"-1", "-1"}), ReplyWait);
    QTest::keyRelease(button, Qt::Key_Return);
    QCOMPARE(button->PulseState(), TPulseState::RestDue);
    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(), QStringList({"-1", "-1", "0"}), ReplyWait);
}

void TestMomentaryCommand::releaseBeforeTheEchoRestsWhenItArrives()
{
    TKQMomentaryButton* button = ReadyButton();
    plant->Hold();
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
    QCOMPARE(button->PulseState(), TPulseState::RestDue);
    QVERIFY(!button->ButtonOn());
    plant->Settle();
    QCOMPARE(plant->Pokes(), Command);
    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::RestSent, ReplyWait);
    plant->Settle();
    QCOMPARE(plant->Pokes(), CommandThenRest);
    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
}

void TestMomentaryCommand::pressesWaitForTheFirstValue()
{
    TKQMomentaryButton* button = ReadyButton();
    button->SetVisible(false);
    QVERIFY(!plant->Advised());
    button->SetVisible(true);
    QCOMPARE(button->PulseState(), TPulseState::AwaitingFirstValue);
    button->Click();
    QVERIFY(!button->ButtonOn());
    plant->Settle();
    QCOMPARE(button->PulseState(), TPulseState::Idle);
    QCOMPARE(plant->Pokes(), QStringList());

    // Another holder keeps the item's value: the value delivered while
    // subscribing does not end the wait, the next one does.
    auto* toggle = new TKQToggleButton(plant->form.get());
    toggle->SetDevice(plant->device.get());
    toggle->SetItemName(Item);
    toggle->SetEnabled(true);
    QTRY_VERIFY_WITH_TIMEOUT(toggle->HasValue(), ReplyWait);
    button->SetVisible(false);
    button->SetVisible(true);
    QCOMPARE(button->PulseState(), TPulseState::AwaitingFirstValue);
    plant->Settle();
    QCOMPARE(button->PulseState(), TPulseState::AwaitingFirstValue);
    button->Click();
    plant->server->SetItem(Item, "0");
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
    QCOMPARE(plant->Pokes(), QStringList());
    button->Click();
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(), CommandThenRest, ReplyWait);
}

void TestMomentaryCommand::firstSightOfACommandBringsTheDeviceToRest()
{
    plant->server->SetItem(Item, "-1");
    plant->Hold();
    TKQMomentaryButton* button = Button();
    QSignalSpy changes(button, &TKQMomentaryButton::OnValueChange);
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(), QStringList({"0"}), ReplyWait);
    // Not at rest yet: no command can start.
    QTest::mouseClick(button, Qt::LeftButton);
    plant->Settle();
    QCOMPARE(plant->Pokes(), QStringList({"0"}));
    plant->Echo();
    plant->Settle();
    QCOMPARE(changes.count(), 0);
    QCOMPARE(button->PulseState(), TPulseState::Idle);
    plant->server->held.clear();
    button->Click();
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(), QStringList({"0", "-1", "0"}), ReplyWait);
}

void TestMomentaryCommand::hidingThePanelDuringACommandLetsGoAtItsEnd()
{
    auto* panel = plant->Make<TKQPanel>("Panel");
    TKQMomentaryButton* button = ReadyButton(panel);
    QVERIFY(plant->Advised());
    plant->Hold();
    QTest::mousePress(button, Qt::LeftButton);
    panel->SetVisible(false);
    QVERIFY(plant->Advised());
    button->MouseUp(Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    panel->SetVisible(true);
    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::RestSent, ReplyWait);
    QVERIFY(plant->Advised());
    plant->Echo();
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
    QVERIFY(!plant->Advised());
    QCOMPARE(plant->Pokes(), CommandThenRest);

    panel->SetVisible(false);
    panel->SetVisible(true);
    QCOMPARE(button->PulseState(), TPulseState::AwaitingFirstValue);
    QVERIFY(plant->Advised());
}

void TestMomentaryCommand::monitorOnlyFromTheFormIsAppliedAtTheEndOfLoading()
{
    TKQMomentaryButton* button = Button();
    button->SetIsMonitorOnly(true);
    QVERIFY(button->isEnabled());
    plant->Show();
    QVERIFY(!button->isEnabled());
    button->SetIsMonitorOnly(false);
    QVERIFY(button->isEnabled());
}

// ---------------------------------------------------------------------------

class TestToggle : public PlantTest {
    Q_OBJECT
private slots:
    void clickShowsAtOnceAndWrites();
    void echoOfTheOtherValueFlipsBack();
    void monitorOnlyDisablesAtRunTimeOnly();

private:
    TKQToggleButton* Toggle()
    {
        auto* toggle = plant->Make<TKQToggleButton>("CalibrateToggle");
        toggle->SetOffText("Off");
        toggle->SetOnText("On");
        return toggle;
    }
};

void TestToggle::clickShowsAtOnceAndWrites()
{
    TKQToggleButton* toggle = Toggle();
    plant->Show();
    plant->Hold();
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(toggle->ButtonOn());
    QVERIFY(toggle->Value());
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(!toggle->ButtonOn());
    QTest::keyClick(toggle, Qt::Key_Return);
    plant->Settle();
    QCOMPARE(plant->Pokes(), QStringList({"-1", "0"}));
}

void TestToggle::echoOfTheOtherValueFlipsBack()
{
    TKQToggleButton* toggle = Toggle();
    QSignalSpy changes(toggle, &TKQToggleButton::OnValueChange);
    plant->Show();
    QTRY_VERIFY_WITH_TIMEOUT(toggle->HasValue(), ReplyWait);
    plant->Hold();
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(toggle->ButtonOn());
    const int before = int(changes.count());
    plant->server->SetItem(Item, "0");
    QTRY_COMPARE_WITH_TIMEOUT(int(changes.count()), before + 1, ReplyWait);
    QVERIFY(!toggle->ButtonOn());
}

void TestToggle::monitorOnlyDisablesAtRunTimeOnly()
{
    TKQToggleButton* toggle = Toggle();
    toggle->SetIsMonitorOnly(true);
    plant->Show();
    // Enabled from the form, yet a click does not turn it on.
    QVERIFY(toggle->isEnabled());
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(!toggle->ButtonOn());
    toggle->SetIsMonitorOnly(false);
    QVERIFY(toggle->isEnabled());
    toggle->SetIsMonitorOnly(true);
    QVERIFY(!toggle->isEnabled());
}

// ---------------------------------------------------------------------------

class TestConfirmation : public PlantTest {
    Q_OBJECT
private slots:
    void oneShotDialogLooksLikeItsButtonAndCancels();
    void confirmingAOneShotPulses();
    void momentaryDialogStandsInForTheButtonUntilCancelled();

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

void TestConfirmation::oneShotDialogLooksLikeItsButtonAndCancels()
{
    auto* button = plant->Make<TKQDAOneShotButton>("ShutdownButton");
    button->SetOffText("Shutdown");
    button->SetOnText("Shutting down");
    button->SetOffColor(Qt::yellow);
    button->SetOnTextColor(Qt::red);
    plant->Show();
    bool seen = false;
    WhenOpen([&](TKConfirmDialog* dialog) {
        auto* confirm = qobject_cast<TKConfirmOneShotdlg*>(dialog);
        QVERIFY(confirm);
        QCOMPARE(confirm, TKConfirmOneShotdlg::Current());
        QCOMPARE(confirm->windowTitle(), QString("Confirm"));
        QCOMPARE(confirm->Label()->text(), QString("Confirm Action"));
        QCOMPARE(confirm->CancelButton()->text(), QString("Cancel"));
        TKOneShotButton* copy = confirm->Button();
        QCOMPARE(copy->objectName(), QString("KOneShotButton1"));
        QCOMPARE(copy->OffText(), QString("Shutdown"));
        QCOMPARE(copy->OnText(), QString("Shutting down"));
        QCOMPARE(copy->OffColor(), QColor(Qt::yellow));
        QCOMPARE(copy->OnTextColor(), QColor(Qt::red));
        QVERIFY(copy->isVisible());
        // A right press on the dialog's button confirms nothing.
        QTest::mouseClick(copy, Qt::RightButton);
        QVERIFY(dialog->isVisible());
        seen = true;
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::keyClick(button, Qt::Key_Return);
    QVERIFY(seen);
    QCOMPARE(TKConfirmOneShotdlg::Current(), nullptr);
    plant->Settle();
    QCOMPARE(plant->Pokes(), QStringList());
    QCOMPARE(button->PulseState(), TPulseState::Idle);
}

void TestConfirmation::confirmingAOneShotPulses()
{
    auto* button = plant->Make<TKQDAOneShotButton>("ShutdownButton");
    button->SetOneShotPeriod(TestPeriod);
    plant->Show();
    WhenOpen([](TKConfirmDialog* dialog) {
        QTest::mouseClick(static_cast<TKConfirmOneShotdlg*>(dialog)->Button(), Qt::LeftButton);
    });
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(TKConfirmOneShotdlg::Current(), nullptr);
    QCOMPARE(button->PulseState(), TPulseState::ActiveSent);
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
    QCOMPARE(plant->Pokes(), CommandThenRest);
}

void TestConfirmation::momentaryDialogStandsInForTheButtonUntilCancelled()
{
    auto* button = plant->Make<TKQDAMomentaryButton>("LowerButton");
    button->SetBetweenPulsePeriod(EndlessPeriod);
    plant->Show();
    plant->server->SetItem(Item, "0");
    QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
    bool seen = false;
    WhenOpen([&](TKConfirmDialog* dialog) {
        TKMomentaryButton* held = static_cast<TKConfirmMomentarydlg*>(dialog)->Button();
        QCOMPARE(held->objectName(), QString("KMomentaryButton1"));
        QTest::mousePress(held, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::ActiveConfirmed, ReplyWait);
        // Releasing the bound button itself does nothing.
        button->MouseUp(Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
        QCOMPARE(button->PulseState(), TPulseState::ActiveConfirmed);
        QTest::mouseRelease(held, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(button->PulseState(), TPulseState::Idle, ReplyWait);
        QVERIFY(dialog->isVisible());
        QTest::mouseClick(held, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(), QStringList({"-1", "0", "-1", "0"}), ReplyWait);
        seen = true;
        static_cast<TKConfirmMomentarydlg*>(dialog)->CancelButton()->click();
    });
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
    QVERIFY(seen);
    QCOMPARE(TKConfirmMomentarydlg::Current(), nullptr);
    QCOMPARE(plant->Pokes(), QStringList({"-1", "0", "-1", "0"}));
}

// ---------------------------------------------------------------------------

TURVISTA_TEST_MAIN(TestDrawnButtons, TestOneShotPulse, TestMomentaryCommand, TestToggle, TestConfirmation)

#include "tst_buttons.moc"
