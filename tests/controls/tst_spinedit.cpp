// The spin edit: its steps, number formatting, typed entry through the
// keyboard and the check button, the arrows and what it tells assistive
// technology; bound to a control device over a DDE server in the same process:
// one write per value received, clamping into the item's limits and the typed
// change band, monitor-only and enabled state, and the tune variant's limit
// items.
#include "controls/K4812SpinTune.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/TestRunner.h"

#include <QAccessible>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

namespace {

// A spin edit whose modes a test chooses, and which counts its beeps.
class ProbeSpin : public TKSpinEdit {
public:
    bool integerMode = false;
    std::optional<bool> limitTypedChange;
    int beeps = 0;

    bool IsIntegerMode() override { return integerMode; }
    bool LimitTypedChange() override
    {
        return limitTypedChange ? *limitTypedChange : TKSpinEdit::LimitTypedChange();
    }

protected:
    void Beep() override { ++beeps; }
};

enum StepKind { FineUp, FineDown, CoarseUp, CoarseDown };
void (TKSpinEdit::*const Steps[])() = {&TKSpinEdit::StepFineUp, &TKSpinEdit::StepFineDown, &TKSpinEdit::StepCoarseUp,
                                       &TKSpinEdit::StepCoarseDown};

bool ArrowsShown(const TKSpinEdit& spin)
{
    return !spin.Button(TKSpinEdit::sbFineUp)->isHidden() && !spin.Button(TKSpinEdit::sbCoarseUp)->isHidden()
           && !spin.Button(TKSpinEdit::sbFineDown)->isHidden() && !spin.Button(TKSpinEdit::sbCoarseDown)->isHidden()
           && spin.Button(TKSpinEdit::sbCheck)->isHidden();
}

void Type(TKSpinEdit& spin, const QString& keys)
{
    spin.TextBox()->selectAll();
    QTest::keyClicks(spin.TextBox(), keys);
}

} // namespace

// ---------------------------------------------------------------------------

class TestUnbound : public QObject {
    Q_OBJECT
private slots:
    void steps_data()
    {
        QTest::addColumn<bool>("integer");
        QTest::addColumn<double>("start");
        QTest::addColumn<int>("step");
        QTest::addColumn<double>("expected");

        QTest::newRow("0.5 coarse up") << false << 0.5 << int(CoarseUp) << 0.55;
        QTest::newRow("-150 fine up adds to the magnitude's 1 %") << false << -150.0 << int(FineUp) << -148.5;
        QTest::newRow("1 is not above the fine limit") << false << 1.0 << int(FineUp) << 1.01;
        QTest::newRow("0.2 is not above the coarse limit") << false << 0.2 << int(CoarseUp) << 0.21;
        QTest::newRow("0 fine down") << false << 0.0 << int(FineDown) << -0.01;
        QTest::newRow("int 250 fine up rounds 252.5 to even") << true << 250.0 << int(FineUp) << 252.0;
        QTest::newRow("int 350 fine up rounds 353.5 to even") << true << 350.0 << int(FineUp) << 354.0;
        QTest::newRow("int 5 fine down") << true << 5.0 << int(FineDown) << 4.0;
    }

    // Each step is a change of the user's; setting the value is not.
    void steps()
    {
        QFETCH(bool, integer);
        QFETCH(double, start);
        QFETCH(int, step);
        QFETCH(double, expected);
        ProbeSpin spin;
        QSignalSpy changes(&spin, &TKSpinEdit::OnChangeValue);
        spin.integerMode = integer;
        spin.SetSpinValue(start);
        QCOMPARE(changes.count(), 0);
        (spin.*Steps[step])();
        QCOMPARE(spin.SpinValue(), expected);
        QCOMPARE(spin.Text(), TKSpinEdit::FormatValue(expected, 2));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.first().first().value<QObject*>(), &spin);
    }

    void userLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        ProbeSpin spin;
        spin.limitTypedChange = false;
        spin.SetSpinValue(1.5);
        QCOMPARE(spin.Text(), QString("1,50"));
        Type(spin, "2,25");
        QTest::keyClick(spin.TextBox(), Qt::Key_Return);
        QCOMPARE(spin.beeps, 0);
        QCOMPARE(spin.SpinValue(), 2.25);
    }

    void invalidCharactersBeepAndAreDropped()
    {
        ProbeSpin spin;
        Type(spin, "-1.5x+9");
        QCOMPARE(spin.Text(), QString("-1.59"));
        QCOMPARE(spin.beeps, 2);
    }

    // Typing, or a paste, shows the check button instead of the arrows until the
    // commit; a value set meanwhile replaces the text.
    void typingSwapsArrowsForTheCheckButton()
    {
        ProbeSpin spin;
        spin.TextBox()->insert("7");
        QVERIFY(spin.Typing());
        QVERIFY(spin.Button(TKSpinEdit::sbFineUp)->isHidden());
        QVERIFY(!spin.Button(TKSpinEdit::sbCheck)->isHidden());
        spin.SetSpinValue(6);
        QCOMPARE(spin.Text(), QString("6.00"));
        QVERIFY(spin.Typing());
        spin.CommitEdit();
        QVERIFY(ArrowsShown(spin));
    }

    void equalsAndEnterCommit_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("key");
        QTest::newRow("=") << "12=" << 0;
        QTest::newRow("Return") << "12" << int(Qt::Key_Return);
        QTest::newRow("Enter") << "12" << int(Qt::Key_Enter);
    }

    // A commit tells of the check click, then of the change.
    void equalsAndEnterCommit()
    {
        QFETCH(QString, keys);
        QFETCH(int, key);
        ProbeSpin spin;
        spin.limitTypedChange = false;
        spin.SetSpinValue(3);
        QStringList events;
        connect(&spin, &TKSpinEdit::OnCheckClick, &spin, [&](QObject* sender) {
            events << QString("check %1").arg(sender == &spin);
        });
        connect(&spin, &TKSpinEdit::OnChangeValue, &spin, [&](QObject* sender) {
            events << QString("change %1 %2").arg(sender == &spin).arg(spin.SpinValue());
        });
        Type(spin, keys);
        if (key)
            QTest::keyClick(spin.TextBox(), Qt::Key(key));
        QCOMPARE(events, QStringList({"check 1", "change 1 12"}));
        QCOMPARE(spin.Text(), QString("12.00")); // the "=" is not typed
        QVERIFY(ArrowsShown(spin));
        QCOMPARE(spin.beeps, 0);
    }

    void typedChangeBand_data()
    {
        QTest::addColumn<double>("current");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("result");

        QTest::newRow("111 is outside") << 100.0 << "111" << 100.0;
        QTest::newRow("110 is the upper end") << 100.0 << "110" << 110.0;
        QTest::newRow("90 is the lower end") << 100.0 << "90" << 90.0;
        QTest::newRow("89.9 is outside") << 100.0 << "89.9" << 100.0;
        QTest::newRow("negative: -110 inside") << -100.0 << "-110" << -110.0;
        QTest::newRow("negative: -89 outside") << -100.0 << "-89" << -100.0;
        QTest::newRow("current 0 takes only 0") << 0.0 << "0.01" << 0.0;
        QTest::newRow("not a number keeps the value") << 7.0 << "1-2" << 7.0;
    }

    // The plain spin edit limits typed changes to 10 per cent of the current value.
    void typedChangeBand()
    {
        QFETCH(double, current);
        QFETCH(QString, typed);
        QFETCH(double, result);
        TKSpinEdit spin;
        spin.SetSpinValue(current);
        Type(spin, typed);
        QTest::keyClick(spin.TextBox(), Qt::Key_Return);
        QCOMPARE(spin.SpinValue(), result);
        QCOMPARE(spin.Text(), TKSpinEdit::FormatValue(result, 2));
        QVERIFY(ArrowsShown(spin));
    }

    void arrowKeysStepFineWhileTheirButtonIsEnabled()
    {
        TKSpinEdit spin;
        spin.SetSpinValue(200);
        QTest::keyClick(spin.TextBox(), Qt::Key_Up);
        QCOMPARE(spin.SpinValue(), 202.0);
        spin.Button(TKSpinEdit::sbFineUp)->setEnabled(false);
        QTest::keyClick(spin.TextBox(), Qt::Key_Up);
        QCOMPARE(spin.SpinValue(), 202.0);
        QTest::keyClick(spin.TextBox(), Qt::Key_Down);
        QCOMPARE(spin.SpinValue(), 202.0 - 2.02);
    }
};

// ---------------------------------------------------------------------------

class TestMouse : public QObject {
    Q_OBJECT
private slots:
    // The spin edit in a window of its own, so that it gets mouse events.
    void init()
    {
        window = std::make_unique<QWidget>();
        spin = new ProbeSpin;
        spin->setParent(window.get());
        spin->setGeometry(0, 0, TKSpinEdit::DefaultWidth, TKSpinEdit::DefaultHeight);
        window->resize(spin->size() + QSize(10, 10));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        spin->SetSpinValue(100);
    }
    void cleanup() { window.reset(); }

    void pressStepsAtOnceAndReleaseEndsIt_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<double>("expected");
        QTest::newRow("fine up") << int(TKSpinEdit::sbFineUp) << 101.0;
        QTest::newRow("fine down") << int(TKSpinEdit::sbFineDown) << 99.0;
        QTest::newRow("coarse up") << int(TKSpinEdit::sbCoarseUp) << 110.0;
        QTest::newRow("coarse down") << int(TKSpinEdit::sbCoarseDown) << 90.0;
    }

    void pressStepsAtOnceAndReleaseEndsIt()
    {
        QFETCH(int, button);
        QFETCH(double, expected);
        QStringList events;
        connect(spin, &TKSpinEdit::OnMouseDown, this, [&](QObject* s) { events << QString("down %1").arg(s == spin); });
        connect(spin, &TKSpinEdit::OnMouseUp, this, [&](QObject* s) { events << QString("up %1").arg(s == spin); });
        connect(spin, &TKSpinEdit::OnChangeValue, this, [&](QObject*) { events << "change"; });
        TKArrowButton* arrow = spin->Button(TKSpinEdit::TButton(button));
        QTest::mousePress(arrow, Qt::LeftButton);
        QCOMPARE(spin->SpinValue(), expected);
        QVERIFY(arrow->isDown());
        QTest::mouseRelease(arrow, Qt::LeftButton);
        QVERIFY(!arrow->isDown());
        // The release (and the click it makes) steps no further.
        QCOMPARE(spin->SpinValue(), expected);
        QCOMPARE(events, QStringList({"change", "down 1", "up 1"}));
    }

    // Increase acts as the fine up arrow; each arrow and the check
    // button has a name and a press action.
    void accessibleSpinEditAndButtons()
    {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(spin);
        face->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
        QTRY_COMPARE(spin->SpinValue(), 101.0); // once the request has been answered

        const auto press = [](QAbstractButton* button, const char* name) {
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button);
            QCOMPARE(face->role(), QAccessible::Button);
            QCOMPARE(face->text(QAccessible::Name), QString(name));
            face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        };
        spin->SetSpinValue(100);
        press(spin->Button(TKSpinEdit::sbCoarseUp), "Coarse up");
        QTRY_COMPARE(spin->SpinValue(), 110.0);
        spin->limitTypedChange = false;
        Type(*spin, "42");
        press(spin->Button(TKSpinEdit::sbCheck), "Accept");
        QTRY_COMPARE(spin->SpinValue(), 42.0);
        QVERIFY(ArrowsShown(*spin));
    }

private:
    std::unique_ptr<QWidget> window;
    ProbeSpin* spin = nullptr;
};

// ---------------------------------------------------------------------------

namespace {

const QString Rated = QStringLiteral("C_SPEED.RATED.IN");
const QByteArray RealTunable = TControlPlant::Symbol(2, 0x20, "0", "1000");


void TypeAndEnter(TKSpinEdit& spin, const QString& keys)
{
    Type(spin, keys);
    QTest::keyClick(spin.TextBox(), Qt::Key_Return);
}


} // namespace

#define WAIT_FOR_TEXT(spin, text) QTRY_COMPARE_WITH_TIMEOUT((spin)->Text(), QString(text), ReplyWait)

class TestBound : public QObject, public PlantFixture<> {
    Q_OBJECT
private slots:
    void init() { Start(); }
    void cleanup() { Stop(); }

    void stepWaitsForTheEchoAndSendsOncePerValue()
    {
        plant->Define(Rated, "150", RealTunable);
        auto* spin = plant->Make<TK4812SpinEdit>("Spin", Rated);
        QSignalSpy changes(spin, &TKSpinEdit::OnChangeValue);
        plant->Show();
        WAIT_FOR_TEXT(spin, "150.00");

        spin->StepFineUp();
        QCOMPARE(spin->Text(), QString("150.00")); // not its own step
        spin->StepCoarseUp(); // before the echo: not sent
        QCOMPARE(changes.count(), 2);
        WAIT_FOR_TEXT(spin, "151.50");
        QCOMPARE(plant->Pokes(Rated), QStringList({"151.5"}));
        QCOMPARE(spin->SpinValue(), 151.5); // the echo replaced the unsent step

        spin->StepFineDown();
        WAIT_FOR_TEXT(spin, "149.99");
        QCOMPARE(plant->Pokes(Rated), QStringList({"151.5", "149.985"}));
    }

    void nothingIsSentBeforeTheFirstValue()
    {
        plant->Define(Rated, "150", RealTunable);
        auto* spin = plant->Make<TK4812SpinEdit>("Spin", Rated);
        plant->Finish();
        spin->StepCoarseUp();
        TypeAndEnter(*spin, "10");
        QCOMPARE(spin->Text(), QString("10")); // still as typed: nothing to show from the device
        plant->form->show();
        WAIT_FOR_TEXT(spin, "150.00");
        QVERIFY(plant->server->pokes.isEmpty());
    }

    // A typed value is clamped into the item's limits (equal limits are none);
    // the band of 10 per cent applies to a plain bound spin edit that checks
    // ranges while the control is in configure mode, and keeps the value.
    void typedValue_data()
    {
        QTest::addColumn<bool>("page");
        QTest::addColumn<bool>("rangeChecking");
        QTest::addColumn<QByteArray>("runMode");
        QTest::addColumn<QByteArray>("min");
        QTest::addColumn<QByteArray>("max");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        const auto row = [](const char* name, bool page, bool checking, const char* runMode, const char* min,
                            const char* max, const char* typed, const char* sent) {
            QTest::newRow(name) << page << checking << QByteArray(runMode) << QByteArray(min) << QByteArray(max)
                                << QString(typed) << QString(sent);
        };
        row("above the maximum", true, true, "0", "0", "50", "80", "50");
        row("below the minimum", true, true, "0", "0", "50", "-5", "0");
        row("inside", true, true, "0", "0", "50", "49.5", "49.5");
        row("no limits: both equal", true, true, "0", "10", "10", "-80", "-80");
        row("checked, configure mode: kept", false, true, "0", "0", "1000", "150", "100");
        row("checked, run mode: taken", false, true, "1", "0", "1000", "150", "150");
        row("not checked: taken", false, false, "0", "0", "1000", "150", "150");
        row("page spin edit: taken", true, true, "0", "0", "1000", "150", "150");
    }
    void typedValue()
    {
        QFETCH(bool, page);
        QFETCH(bool, rangeChecking);
        QFETCH(QByteArray, runMode);
        QFETCH(QByteArray, min);
        QFETCH(QByteArray, max);
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        const QString item = QStringLiteral("C_SPEED.MIN_GOV.IN");
        plant->server->SetItem("Run Mode", runMode);
        plant->Define(item, "100", TControlPlant::Symbol(3, 0x20, min, max));
        TKQSpinEdit* spin
            = page ? plant->Make<TK4812SpinEdit>("Spin", item) : plant->Make<TKQSpinEdit>("Spin", item);
        spin->setProperty("DoRangeChecking", rangeChecking);
        plant->Show();
        WAIT_FOR_TEXT(spin, "100.00");
        TypeAndEnter(*spin, typed);
        QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes(item), QStringList({sent}), ReplyWait);
        WAIT_FOR_TEXT(spin, TKSpinEdit::FormatValue(sent.toDouble(), 2));
        QVERIFY(!spin->Typing());
    }

    void integerItemsStepInWholeNumbers()
    {
        plant->Define("C_START.TRIES.IN", "250", TControlPlant::Symbol(3, 0x03, "0", "1000"));
        auto* spin = plant->Make<TK4812SpinEdit>("Spin", "C_START.TRIES.IN");
        plant->Show();
        WAIT_FOR_TEXT(spin, "250.00");
        spin->StepFineUp();
        QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes("C_START.TRIES.IN"), QStringList({"252"}), ReplyWait);
        WAIT_FOR_TEXT(spin, "252");
    }

    void failedWriteShowsTheDeviceValue()
    {
        plant->Define(Rated, "20", RealTunable);
        auto* spin = plant->Make<TK4812SpinEdit>("Spin", Rated);
        plant->Show();
        WAIT_FOR_TEXT(spin, "20.00");
        plant->device->ConversationLost();
        TypeAndEnter(*spin, "80");
        QCOMPARE(spin->Text(), QString("20.00"));
        QVERIFY(!spin->Typing());
        QVERIFY(plant->server->pokes.isEmpty());
    }

    // Monitor-only locks the arrows and the text; editing comes back only when
    // neither it nor the control's own Enabled says otherwise.
    void monitorOnlyAndEnabledLockEditing()
    {
        plant->Define(Rated, "150", RealTunable);
        auto* spin = plant->Make<TK4812SpinEdit>("Spin", Rated);
        plant->Show();
        spin->SetIsMonitorOnly(true);
        QVERIFY(!spin->Button(TKSpinEdit::sbFineUp)->isEnabled());
        QVERIFY(spin->TextBox()->isReadOnly());
        spin->SetEnabled(false);
        spin->SetIsMonitorOnly(false);
        QVERIFY(!spin->Button(TKSpinEdit::sbCoarseDown)->isEnabled());
        QVERIFY(spin->TextBox()->isReadOnly());
        spin->SetEnabled(true);
        QVERIFY(spin->Button(TKSpinEdit::sbCoarseDown)->isEnabled());
        QVERIFY(!spin->TextBox()->isReadOnly());
    }

    void limitItemsGiveTheRangeAndTheItemsOwnLimitsClamp()
    {
        auto* spin = AddTune();
        QSignalSpy limitChanges(spin, &TK4812SpinTune::OnLimitChange);
        plant->Finish();
        // Without limit values: the item's own limits.
        QCOMPARE(spin->GetMinValue(), 0.0);
        QCOMPARE(spin->GetMaxValue(), 100.0);

        plant->form->show();
        WAIT_FOR_TEXT(spin, "5.00");
        QTRY_COMPARE_WITH_TIMEOUT(spin->GetMaxValue(), 9.0, ReplyWait);
        QTRY_COMPARE_WITH_TIMEOUT(spin->GetMinValue(), 1.0, ReplyWait);
        const int before = int(limitChanges.count());
        plant->server->SetItem("C_SPEED.GAIN.HI_LIM_OUT", "8");
        QTRY_COMPARE_WITH_TIMEOUT(spin->GetMaxValue(), 8.0, ReplyWait);
        QCOMPARE(limitChanges.count(), before + 1);
        QCOMPARE(limitChanges.last().first().value<QObject*>(), spin);

        // Writes have no band and only the item's own limits.
        TypeAndEnter(*spin, "50");
        QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes("C_SPEED.GAIN.TUNE"), QStringList({"50"}), ReplyWait);
        TypeAndEnter(*spin, "500");
        QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes("C_SPEED.GAIN.TUNE"), QStringList({"50", "100"}), ReplyWait);
    }

    void otherNamesHaveNoLimitItems()
    {
        auto* spin = AddTune("C_SPEED.GAIN.IN");
        plant->Show();
        WAIT_FOR_TEXT(spin, "5.00");
        QVERIFY(!spin->LowLimitItem());
        QCOMPARE(plant->device->RefCount("C_SPEED.GAIN.LO_LIM_OUT"), 0);
        QCOMPARE(spin->GetMaxValue(), 100.0);
    }

private:
    // A tunable from 0 to 100 whose limit items say 1 to 9.
    TK4812SpinTune* AddTune(const QString& item = QStringLiteral("C_SPEED.GAIN.TUNE"))
    {
        plant->Define(item, "5", TControlPlant::Symbol(2, 0x20, "0", "100"));
        plant->server->SetItem("C_SPEED.GAIN.LO_LIM_OUT", "1");
        plant->server->SetItem("C_SPEED.GAIN.HI_LIM_OUT", "9");
        return plant->Make<TK4812SpinTune>("Spin", item);
    }
};

// ---------------------------------------------------------------------------

int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale::c());
    return RunTests<QApplication, TestUnbound, TestMouse, TestBound>(argc, argv);
}

#include "tst_spinedit.moc"
