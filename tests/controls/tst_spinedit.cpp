// The spin edit: its steps, number formatting, typed entry through the
// keyboard and the check button, auto-repeat of held arrows and what it tells
// assistive technology; bound to a control device over a DDE server in the same
// process: values shown from the device, one write per value received,
// clamping into the item's limits, monitor-only and enabled state, and the
// tune variant's limit items.
#include "controls/K4812SpinTune.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/TestRunner.h"

#include <QAccessible>
#include <QLineEdit>
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

void RunStep(TKSpinEdit& spin, int step)
{
    switch (step) {
    case FineUp: spin.StepFineUp(); break;
    case FineDown: spin.StepFineDown(); break;
    case CoarseUp: spin.StepCoarseUp(); break;
    case CoarseDown: spin.StepCoarseDown(); break;
    }
}

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

// Shows the spin edit in a window of its own, so that it gets mouse events.
std::unique_ptr<QWidget> Host(TKSpinEdit*& spin)
{
    auto window = std::make_unique<QWidget>();
    spin = new ProbeSpin;
    spin->setParent(window.get());
    spin->setGeometry(0, 0, TKSpinEdit::DefaultWidth, TKSpinEdit::DefaultHeight);
    window->resize(spin->size() + QSize(10, 10));
    window->show();
    return window;
}

} // namespace

// ---------------------------------------------------------------------------

class TestSteps : public QObject {
    Q_OBJECT
private slots:
    void steps_data();
    void steps();
    void eachStepIsAChange();
};

void TestSteps::steps_data()
{
    QTest::addColumn<bool>("integer");
    QTest::addColumn<double>("start");
    QTest::addColumn<int>("step");
    QTest::addColumn<double>("expected");

    QTest::newRow("150 fine up") << false << 150.0 << int(FineUp) << 151.5;
    QTest::newRow("150 coarse up") << false << 150.0 << int(CoarseUp) << 165.0;
    QTest::newRow("150 fine down") << false << 150.0 << int(FineDown) << 148.5;
    QTest::newRow("150 coarse down") << false << 150.0 << int(CoarseDown) << 135.0;
    QTest::newRow("0.5 fine up") << false << 0.5 << int(FineUp) << 0.51;
    QTest::newRow("0.5 coarse up") << false << 0.5 << int(CoarseUp) << 0.55;
    QTest::newRow("0.1 coarse up") << false << 0.1 << int(CoarseUp) << 0.11;
    QTest::newRow("-150 fine up adds to the magnitude's 1 %") << false << -150.0 << int(FineUp) << -148.5;
    QTest::newRow("-150 fine down") << false << -150.0 << int(FineDown) << -151.5;
    QTest::newRow("-150 coarse up") << false << -150.0 << int(CoarseUp) << -135.0;
    QTest::newRow("1 is not above the fine limit") << false << 1.0 << int(FineUp) << 1.01;
    QTest::newRow("-1 fine down") << false << -1.0 << int(FineDown) << -1.01;
    QTest::newRow("0.2 is not above the coarse limit") << false << 0.2 << int(CoarseUp) << 0.21;
    QTest::newRow("0 fine down") << false << 0.0 << int(FineDown) << -0.01;
    QTest::newRow("int 250 fine up rounds 252.5 to even") << true << 250.0 << int(FineUp) << 252.0;
    QTest::newRow("int 350 fine up rounds 353.5 to even") << true << 350.0 << int(FineUp) << 354.0;
    QTest::newRow("int 100 fine up") << true << 100.0 << int(FineUp) << 101.0;
    QTest::newRow("int 101 fine up") << true << 101.0 << int(FineUp) << 102.0;
    QTest::newRow("int 10 coarse up") << true << 10.0 << int(CoarseUp) << 11.0;
    QTest::newRow("int 11 coarse up") << true << 11.0 << int(CoarseUp) << 12.0;
    QTest::newRow("int 150 coarse down") << true << 150.0 << int(CoarseDown) << 135.0;
    QTest::newRow("int -250 fine up") << true << -250.0 << int(FineUp) << -248.0;
    QTest::newRow("int 5 fine down") << true << 5.0 << int(FineDown) << 4.0;
}

void TestSteps::steps()
{
    QFETCH(bool, integer);
    QFETCH(double, start);
    QFETCH(int, step);
    QFETCH(double, expected);
    ProbeSpin spin;
    spin.integerMode = integer;
    spin.SetSpinValue(start);
    RunStep(spin, step);
    QCOMPARE(spin.SpinValue(), expected);
    QCOMPARE(spin.Text(), TKSpinEdit::FormatValue(expected, 2));
}

void TestSteps::eachStepIsAChange()
{
    TKSpinEdit spin;
    QSignalSpy changes(&spin, &TKSpinEdit::OnChangeValue);
    spin.SetSpinValue(10);
    QCOMPARE(changes.count(), 0); // setting the value is no user action
    for (int step : {FineUp, FineDown, CoarseUp, CoarseDown})
        RunStep(spin, step);
    QCOMPARE(changes.count(), 4);
    QCOMPARE(changes.first().first().value<QObject*>(), &spin);
}

// ---------------------------------------------------------------------------

class TestFormatting : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void format_data();
    void format();
    void decimalPlaces();
    void userLocale();
};

void TestFormatting::format_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");

    QTest::newRow("padded") << 150.0 << 2 << "150.00";
    QTest::newRow("zero") << 0.0 << 2 << "0.00";
    QTest::newRow("no decimals") << 1234.0 << 0 << "1234";
    QTest::newRow("half away from zero") << 2.5 << 0 << "3";
    QTest::newRow("negative half") << -2.5 << 0 << "-3";
    QTest::newRow("rounded at nine digits first") << 1.005 << 2 << "1.01";
    QTest::newRow("carry into a new digit") << 9.999 << 2 << "10.00";
    QTest::newRow("nine significant digits, then zeros") << 123456.789123 << 4 << "123456.7890";
    QTest::newRow("small negative rounds to unsigned zero") << -0.001 << 2 << "0.00";
    QTest::newRow("small negative rounds away") << -0.006 << 2 << "-0.01";
    QTest::newRow("far below the last decimal") << 0.0006 << 2 << "0.00";
    QTest::newRow("many decimals") << 0.000123456789 << 12 << "0.000123456789";
    QTest::newRow("more than nine integer digits") << 1234567890123.0 << 2 << "1.23456789E+12";
}

void TestFormatting::format()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(TKSpinEdit::FormatValue(value, decimals), text);
}

void TestFormatting::decimalPlaces()
{
    TKSpinEdit spin;
    QCOMPARE(spin.DecimalPlaces(), 2);
    spin.SetDecimalPlaces(3);
    QCOMPARE(spin.Text(), QString()); // nothing shown yet stays empty

    spin.SetSpinValue(1.5);
    QCOMPARE(spin.Text(), QString("1.500"));
    spin.SetDecimalPlaces(16);
    QCOMPARE(spin.DecimalPlaces(), 16);
    QCOMPARE(spin.Text(), QString("1.5000000000000000"));
    spin.SetDecimalPlaces(17);
    QCOMPARE(spin.DecimalPlaces(), 16);
    spin.setProperty("DecimalPlaces", 0);
    QCOMPARE(spin.Text(), QString("2"));
    QVERIFY(ArrowsShown(spin)); // reformatting is no typing
}

void TestFormatting::userLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ProbeSpin spin;
    spin.limitTypedChange = false;
    spin.SetSpinValue(1.5);
    QCOMPARE(spin.Text(), QString("1,50"));
    Type(spin, "2,25");
    QCOMPARE(spin.beeps, 0);
    QTest::keyClick(spin.TextBox(), Qt::Key_Return);
    QCOMPARE(spin.SpinValue(), 2.25);
    QCOMPARE(spin.Text(), QString("2,25"));
}

// ---------------------------------------------------------------------------

class TestTyping : public QObject {
    Q_OBJECT
private slots:
    void invalidCharactersBeepAndAreDropped();
    void typingSwapsArrowsForTheCheckButton();
    void equalsAndEnterCommit_data();
    void equalsAndEnterCommit();
    void commitFiresCheckClickThenChange();
    void checkButtonCommits();
    void typedChangeBand_data();
    void typedChangeBand();
    void notANumberKeepsTheValue();
    void arrowKeysStepFine();
};

void TestTyping::invalidCharactersBeepAndAreDropped()
{
    ProbeSpin spin;
    Type(spin, "12a");
    QCOMPARE(spin.Text(), QString("12"));
    QCOMPARE(spin.beeps, 1);
    Type(spin, "-1.5x+9");
    QCOMPARE(spin.Text(), QString("-1.59"));
    QCOMPARE(spin.beeps, 3);
}

void TestTyping::typingSwapsArrowsForTheCheckButton()
{
    ProbeSpin spin;
    spin.SetSpinValue(5);
    QVERIFY(ArrowsShown(spin));
    QVERIFY(!spin.Typing());
    Type(spin, "7");
    QVERIFY(spin.Typing());
    QVERIFY(spin.Button(TKSpinEdit::sbFineUp)->isHidden());
    QVERIFY(spin.Button(TKSpinEdit::sbCoarseDown)->isHidden());

    // A value set meanwhile replaces the text; the check button stays until the commit.
    spin.SetSpinValue(6);
    QCOMPARE(spin.Text(), QString("6.00"));
    QVERIFY(spin.Typing());
    spin.CommitEdit();
    QVERIFY(ArrowsShown(spin));

    // Typing without a key, as a paste does, also starts an edit.
    spin.TextBox()->insert("1");
    QVERIFY(spin.Typing());
}

void TestTyping::equalsAndEnterCommit_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("key");
    QTest::newRow("=") << "12=" << 0;
    QTest::newRow("Return") << "12" << int(Qt::Key_Return);
    QTest::newRow("Enter") << "12" << int(Qt::Key_Enter);
}

void TestTyping::equalsAndEnterCommit()
{
    QFETCH(QString, keys);
    QFETCH(int, key);
    ProbeSpin spin;
    spin.limitTypedChange = false;
    spin.SetSpinValue(3);
    Type(spin, keys);
    if (key)
        QTest::keyClick(spin.TextBox(), Qt::Key(key));
    QCOMPARE(spin.SpinValue(), 12.0);
    QCOMPARE(spin.Text(), QString("12.00")); // the "=" is not typed
    QVERIFY(ArrowsShown(spin));
    QCOMPARE(spin.beeps, 0);
}

void TestTyping::commitFiresCheckClickThenChange()
{
    ProbeSpin spin;
    spin.limitTypedChange = false;
    QStringList events;
    connect(&spin, &TKSpinEdit::OnCheckClick, &spin, [&](QObject* sender) {
        events << QString("check %1").arg(sender == &spin);
    });
    connect(&spin, &TKSpinEdit::OnChangeValue, &spin, [&](QObject* sender) {
        events << QString("change %1 %2").arg(sender == &spin).arg(spin.SpinValue());
    });
    Type(spin, "4=");
    QCOMPARE(events, QStringList({"check 1", "change 1 4"}));
}

void TestTyping::checkButtonCommits()
{
    TKSpinEdit* spin = nullptr;
    auto window = Host(spin);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    static_cast<ProbeSpin*>(spin)->limitTypedChange = false;
    Type(*spin, "42");
    TKArrowButton* check = spin->Button(TKSpinEdit::sbCheck);
    QVERIFY(check->isVisible());
    QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(spin->SpinValue(), 42.0);
    QVERIFY(ArrowsShown(*spin));
}

void TestTyping::typedChangeBand_data()
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
    QTest::newRow("current 0, typed 0") << 0.0 << "0" << 0.0;
}

// The plain spin edit limits typed changes to 10 per cent of the current value.
void TestTyping::typedChangeBand()
{
    QFETCH(double, current);
    QFETCH(QString, typed);
    QFETCH(double, result);
    TKSpinEdit spin;
    QVERIFY(spin.LimitTypedChange());
    spin.SetSpinValue(current);
    Type(spin, typed);
    QTest::keyClick(spin.TextBox(), Qt::Key_Return);
    QCOMPARE(spin.SpinValue(), result);
    QCOMPARE(spin.Text(), TKSpinEdit::FormatValue(result, 2));
}

void TestTyping::notANumberKeepsTheValue()
{
    ProbeSpin spin;
    spin.limitTypedChange = false;
    QSignalSpy changes(&spin, &TKSpinEdit::OnChangeValue);
    spin.SetSpinValue(7);
    Type(spin, "1-2");
    QTest::keyClick(spin.TextBox(), Qt::Key_Return);
    QCOMPARE(spin.SpinValue(), 7.0);
    QCOMPARE(spin.Text(), QString("7.00"));
    QVERIFY(ArrowsShown(spin));
    QCOMPARE(changes.count(), 1);
}

void TestTyping::arrowKeysStepFine()
{
    TKSpinEdit spin;
    spin.SetSpinValue(200);
    QTest::keyClick(spin.TextBox(), Qt::Key_Up);
    QCOMPARE(spin.SpinValue(), 202.0);
    QTest::keyClick(spin.TextBox(), Qt::Key_Down);
    QTest::keyClick(spin.TextBox(), Qt::Key_Down);
    QCOMPARE(spin.SpinValue(), 202.0 - 2.02 - 1.9998);
    QVERIFY(ArrowsShown(spin));

    // Only while the fine button of that direction is enabled.
    spin.SetSpinValue(200);
    spin.Button(TKSpinEdit::sbFineUp)->setEnabled(false);
    QTest::keyClick(spin.TextBox(), Qt::Key_Up);
    QCOMPARE(spin.SpinValue(), 200.0);
    QTest::keyClick(spin.TextBox(), Qt::Key_Down);
    QCOMPARE(spin.SpinValue(), 198.0);
}

// ---------------------------------------------------------------------------

class TestMouse : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { window.reset(); }
    void pressStepsAtOnceAndReleaseEndsIt();
    void holdingRepeatsUntilReleased();
    void anotherButtonEndsTheRepeat();
    void eachArrowStepsItsWay_data();
    void eachArrowStepsItsWay();

private:
    std::unique_ptr<QWidget> window;
    TKSpinEdit* spin = nullptr;
};

void TestMouse::init()
{
    window = Host(spin);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    spin->SetSpinValue(100);
}

void TestMouse::pressStepsAtOnceAndReleaseEndsIt()
{
    QStringList events;
    connect(spin, &TKSpinEdit::OnMouseDown, this, [&](QObject* s) { events << QString("down %1").arg(s == spin); });
    connect(spin, &TKSpinEdit::OnMouseUp, this, [&](QObject* s) { events << QString("up %1").arg(s == spin); });
    connect(spin, &TKSpinEdit::OnChangeValue, this, [&](QObject*) { events << "change"; });
    TKArrowButton* fineUp = spin->Button(TKSpinEdit::sbFineUp);
    QTest::mousePress(fineUp, Qt::LeftButton);
    QCOMPARE(spin->SpinValue(), 101.0);
    QVERIFY(fineUp->isDown());
    QTest::mouseRelease(fineUp, Qt::LeftButton);
    QVERIFY(!fineUp->isDown());
    // The release (and the click it makes) steps no further.
    QCOMPARE(spin->SpinValue(), 101.0);
    QCOMPARE(events, QStringList({"change", "down 1", "up 1"}));
}

void TestMouse::holdingRepeatsUntilReleased()
{
    TKArrowButton* coarseDown = spin->Button(TKSpinEdit::sbCoarseDown);
    QTest::mousePress(coarseDown, Qt::LeftButton);
    QCOMPARE(spin->SpinValue(), 90.0);
    QTRY_COMPARE(spin->SpinValue(), 81.0);
    QTRY_COMPARE(spin->SpinValue(), 72.9);
    QTest::mouseRelease(coarseDown, Qt::LeftButton);
    const double released = spin->SpinValue();
    QTest::qWait(3 * TKSpinEdit::RepeatInterval);
    QCOMPARE(spin->SpinValue(), released);
}

void TestMouse::anotherButtonEndsTheRepeat()
{
    QSignalSpy ups(spin, &TKSpinEdit::OnMouseUp);
    TKArrowButton* fineUp = spin->Button(TKSpinEdit::sbFineUp);
    QTest::mousePress(fineUp, Qt::LeftButton);
    QTRY_COMPARE(spin->SpinValue(), 102.01);
    QTest::mousePress(fineUp, Qt::RightButton);
    QCOMPARE(ups.count(), 1);
    const double stopped = spin->SpinValue();
    QTest::qWait(3 * TKSpinEdit::RepeatInterval);
    QCOMPARE(spin->SpinValue(), stopped);
    QTest::mouseRelease(fineUp, Qt::LeftButton);
}

void TestMouse::eachArrowStepsItsWay_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<double>("expected");
    QTest::newRow("fine up") << int(TKSpinEdit::sbFineUp) << 101.0;
    QTest::newRow("fine down") << int(TKSpinEdit::sbFineDown) << 99.0;
    QTest::newRow("coarse up") << int(TKSpinEdit::sbCoarseUp) << 110.0;
    QTest::newRow("coarse down") << int(TKSpinEdit::sbCoarseDown) << 90.0;
}

void TestMouse::eachArrowStepsItsWay()
{
    QFETCH(int, button);
    QFETCH(double, expected);
    QTest::mouseClick(spin->Button(TKSpinEdit::TButton(button)), Qt::LeftButton);
    QCOMPARE(spin->SpinValue(), expected);
}

// ---------------------------------------------------------------------------

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void accessibleSpinEdit();
    void accessibleButtons();
};

void TestAccessibility::accessibleSpinEdit()
{
    TKSpinEdit spin;
    spin.setObjectName("SpeedSetpoint");
    spin.SetSpinValue(150);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&spin);
    QVERIFY(face);
    QCOMPARE(face->role(), QAccessible::SpinBox);
    QCOMPARE(face->text(QAccessible::Value), QString("150.00"));
    QCOMPARE(face->text(QAccessible::Name), QString("SpeedSetpoint"));
    spin.setAccessibleName("Speed setpoint");
    QCOMPARE(face->text(QAccessible::Name), QString("Speed setpoint"));

    QAccessibleActionInterface* actions = face->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::increaseAction()));
    actions->doAction(QAccessibleActionInterface::increaseAction());
    QCOMPARE(spin.SpinValue(), 151.5);
    actions->doAction(QAccessibleActionInterface::decreaseAction());
    QCOMPARE(spin.SpinValue(), 151.5 - 1.515);
}

void TestAccessibility::accessibleButtons()
{
    TKSpinEdit spin;
    spin.SetSpinValue(100);
    const auto pressOf = [](QAbstractButton* button) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button);
        QVERIFY(face);
        QCOMPARE(face->role(), QAccessible::Button);
        QVERIFY(face->actionInterface());
        QCOMPARE(face->actionInterface()->actionNames().value(0), QAccessibleActionInterface::pressAction());
        face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    };
    QCOMPARE(QAccessible::queryAccessibleInterface(spin.Button(TKSpinEdit::sbCoarseUp))->text(QAccessible::Name),
             QString("Coarse up"));
    pressOf(spin.Button(TKSpinEdit::sbCoarseUp));
    QTRY_COMPARE(spin.SpinValue(), 110.0);
    QTest::qWait(3 * TKSpinEdit::RepeatInterval);
    QCOMPARE(spin.SpinValue(), 110.0); // one press, one step

    Type(spin, "105");
    QCOMPARE(QAccessible::queryAccessibleInterface(spin.Button(TKSpinEdit::sbCheck))->text(QAccessible::Name),
             QString("Accept"));
    pressOf(spin.Button(TKSpinEdit::sbCheck));
    QTRY_COMPARE(spin.SpinValue(), 105.0);
    QVERIFY(ArrowsShown(spin));
}

// ---------------------------------------------------------------------------

namespace {

const QString Rated = QStringLiteral("C_SPEED.RATED.IN");
const QByteArray RealTunable = TControlPlant::Symbol(2, 0x20, "0", "1000");

// A control device whose items are real tunables unless said otherwise.
struct SpinPlant : TControlPlant {
    void Define(const QString& item, const QByteArray& value, const QByteArray& symbol = RealTunable)
    {
        TControlPlant::Define(item, value, symbol);
    }
    // Loading: its properties may still be set as a form sets them.
    template <class T = TK4812SpinEdit>
    T* Add(const QString& item)
    {
        return Make<T>("Spin" + QString::number(created.size()), item);
    }
    // End of loading without showing the form.
    void Finish()
    {
        for (TKComponent* component : created)
            component->Loaded();
        created.clear();
    }
};

void TypeAndEnter(TKSpinEdit& spin, const QString& keys)
{
    Type(spin, keys);
    QTest::keyClick(spin.TextBox(), Qt::Key_Return);
}

int EnabledButtons(const TKSpinEdit& spin)
{
    int enabled = 0;
    for (auto which : {TKSpinEdit::sbCoarseUp, TKSpinEdit::sbCoarseDown, TKSpinEdit::sbFineUp,
                       TKSpinEdit::sbFineDown, TKSpinEdit::sbCheck})
        enabled += spin.Button(which)->isEnabled() ? 1 : 0;
    return enabled;
}

QColor TextColor(const TKSpinEdit& spin)
{
    return spin.TextBox()->palette().color(QPalette::Active, QPalette::Text);
}

// Every test on a fresh plant, and none leaves a message behind.
class SpinPlantTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        plant = std::make_unique<SpinPlant>();
        QVERIFY(plant->opened);
    }
    void cleanup()
    {
        const QStringList shown = plant->dialogs.texts();
        plant.reset();
        QCOMPARE(shown, QStringList());
    }

protected:
    std::unique_ptr<SpinPlant> plant;
};

} // namespace

#define WAIT_FOR_TEXT(spin, text) QTRY_COMPARE_WITH_TIMEOUT((spin)->Text(), QString(text), ReplyWait)

class TestBoundWrites : public SpinPlantTest {
    Q_OBJECT
private slots:
    void stepWaitsForTheEchoAndSendsOncePerValue();
    void nothingIsSentBeforeTheFirstValue();
    void clamping_data();
    void clamping();
    void integerItemsStepInWholeNumbers();
    void failedWriteShowsTheDeviceValue();
    void typedChangeBand_data();
    void typedChangeBand();
};

void TestBoundWrites::stepWaitsForTheEchoAndSendsOncePerValue()
{
    plant->Define(Rated, "150");
    auto* spin = plant->Add(Rated);
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

void TestBoundWrites::nothingIsSentBeforeTheFirstValue()
{
    plant->Define(Rated, "150");
    auto* spin = plant->Add(Rated);
    plant->Finish();
    spin->StepCoarseUp();
    TypeAndEnter(*spin, "10");
    QCOMPARE(spin->Text(), QString("10")); // still as typed: nothing to show from the device
    plant->form->show();
    WAIT_FOR_TEXT(spin, "150.00");
    QVERIFY(plant->server->pokes.isEmpty());
}

void TestBoundWrites::clamping_data()
{
    QTest::addColumn<QByteArray>("min");
    QTest::addColumn<QByteArray>("max");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");

    QTest::newRow("above the maximum") << QByteArray("0") << QByteArray("50") << "80" << "50";
    QTest::newRow("below the minimum") << QByteArray("0") << QByteArray("50") << "-5" << "0";
    QTest::newRow("inside") << QByteArray("0") << QByteArray("50") << "49.5" << "49.5";
    QTest::newRow("no limits: both 0") << QByteArray("0") << QByteArray("0") << "80" << "80";
    QTest::newRow("no limits: both equal") << QByteArray("10") << QByteArray("10") << "-80" << "-80";
    QTest::newRow("negative range") << QByteArray("-100.0") << QByteArray("-10.0") << "-150" << "-100";
}

void TestBoundWrites::clamping()
{
    QFETCH(QByteArray, min);
    QFETCH(QByteArray, max);
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    plant->Define("C_SPEED.MIN_GOV.IN", "20", TControlPlant::Symbol(3, 0x20, min, max));
    auto* spin = plant->Add("C_SPEED.MIN_GOV.IN");
    plant->Show();
    WAIT_FOR_TEXT(spin, "20.00");
    TypeAndEnter(*spin, typed);
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes("C_SPEED.MIN_GOV.IN"), QStringList({sent}), ReplyWait);
    WAIT_FOR_TEXT(spin, TKSpinEdit::FormatValue(sent.toDouble(), 2));
    QVERIFY(!spin->Typing());
}

void TestBoundWrites::integerItemsStepInWholeNumbers()
{
    plant->Define("C_START.TRIES.IN", "250", TControlPlant::Symbol(3, 0x03, "0", "1000"));
    auto* spin = plant->Add("C_START.TRIES.IN");
    plant->Show();
    WAIT_FOR_TEXT(spin, "250.00");
    spin->StepFineUp();
    QCOMPARE(spin->DecimalPlaces(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes("C_START.TRIES.IN"), QStringList({"252"}), ReplyWait);
    WAIT_FOR_TEXT(spin, "252");
}

void TestBoundWrites::failedWriteShowsTheDeviceValue()
{
    plant->Define(Rated, "20");
    auto* spin = plant->Add(Rated);
    plant->Show();
    WAIT_FOR_TEXT(spin, "20.00");
    QCOMPARE(spin->GetMaxValue(), 1000.0); // limits known before the conversation goes
    plant->device->ConversationLost();
    TypeAndEnter(*spin, "80");
    QCOMPARE(spin->Text(), QString("20.00"));
    QVERIFY(!spin->Typing());
    QVERIFY(plant->server->pokes.isEmpty());
}

void TestBoundWrites::typedChangeBand_data()
{
    QTest::addColumn<bool>("page");
    QTest::addColumn<bool>("rangeChecking");
    QTest::addColumn<QByteArray>("runMode");
    QTest::addColumn<QString>("sent");

    QTest::newRow("checked, configure mode: kept") << false << true << QByteArray("0") << "100";
    QTest::newRow("checked, run mode: taken") << false << true << QByteArray("1") << "150";
    QTest::newRow("not checked: taken") << false << false << QByteArray("0") << "150";
    QTest::newRow("page spin edit: taken") << true << true << QByteArray("0") << "150";
}

void TestBoundWrites::typedChangeBand()
{
    QFETCH(bool, page);
    QFETCH(bool, rangeChecking);
    QFETCH(QByteArray, runMode);
    QFETCH(QString, sent);
    plant->server->SetItem("Run Mode", runMode);
    plant->Define("S_SPEED.SETPT.IN", "100");
    TKQSpinEdit* spin = nullptr;
    if (page)
        spin = plant->Add<TK4812SpinEdit>("S_SPEED.SETPT.IN");
    else
        spin = plant->Add<TKQSpinEdit>("S_SPEED.SETPT.IN");
    spin->setProperty("DoRangeChecking", rangeChecking);
    plant->Show();
    WAIT_FOR_TEXT(spin, "100.00");
    TypeAndEnter(*spin, "150");
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes("S_SPEED.SETPT.IN"), QStringList({sent}), ReplyWait);
}

// ---------------------------------------------------------------------------

class TestBoundState : public SpinPlantTest {
    Q_OBJECT
private slots:
    void monitorOnlyAppliesAtTheEndOfLoading();
    void editingComesBackOnlyWhenEnabled();
};

void TestBoundState::monitorOnlyAppliesAtTheEndOfLoading()
{
    plant->Define(Rated, "150");
    auto* spin = plant->Add(Rated);
    spin->setProperty("IsMonitorOnly", true);
    const QColor writable = TextColor(*spin);
    QCOMPARE(EnabledButtons(*spin), 5);
    QVERIFY(!spin->TextBox()->isReadOnly());
    plant->Show();
    QCOMPARE(EnabledButtons(*spin), 0);
    QVERIFY(spin->TextBox()->isReadOnly());
    QCOMPARE(TextColor(*spin), QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text));
    QVERIFY(TextColor(*spin) != writable);
    WAIT_FOR_TEXT(spin, "150.00"); // still shows the item
}

void TestBoundState::editingComesBackOnlyWhenEnabled()
{
    plant->Define(Rated, "150");
    auto* spin = plant->Add(Rated);
    const QColor writable = TextColor(*spin);
    plant->Show();
    spin->SetEnabled(false);
    QCOMPARE(EnabledButtons(*spin), 0);
    QVERIFY(!spin->isEnabled());
    spin->SetIsMonitorOnly(true);
    spin->SetIsMonitorOnly(false);
    QCOMPARE(EnabledButtons(*spin), 0); // own Enabled is still false
    QVERIFY(spin->TextBox()->isReadOnly());
    spin->SetEnabled(true);
    QCOMPARE(EnabledButtons(*spin), 5);
    QVERIFY(!spin->TextBox()->isReadOnly());
    QCOMPARE(TextColor(*spin), writable);
}

// ---------------------------------------------------------------------------

class TestTune : public SpinPlantTest {
    Q_OBJECT
private slots:
    void limitItemsGiveTheRange();
    void otherNamesHaveNoLimitItems();
    void clampUsesTheItemsOwnLimits();

private:
    // A tunable from 0 to 100 whose limit items say 1 to 9.
    TK4812SpinTune* AddTune(const QString& item = QStringLiteral("C_SPEED.GAIN.TUNE"))
    {
        plant->Define(item, "5", TControlPlant::Symbol(2, 0x20, "0", "100"));
        plant->server->SetItem("C_SPEED.GAIN.LO_LIM_OUT", "1");
        plant->server->SetItem("C_SPEED.GAIN.HI_LIM_OUT", "9");
        return plant->Add<TK4812SpinTune>(item);
    }
};

void TestTune::limitItemsGiveTheRange()
{
    auto* spin = AddTune();
    QSignalSpy limitChanges(spin, &TK4812SpinTune::OnLimitChange);
    plant->Finish();
    QCOMPARE(plant->device->RefCount("C_SPEED.GAIN.LO_LIM_OUT"), 1);
    QCOMPARE(plant->device->RefCount("C_SPEED.GAIN.HI_LIM_OUT"), 1);
    // Without limit values: the item's own limits.
    QCOMPARE(spin->GetMinValue(), 0.0);
    QCOMPARE(spin->GetMaxValue(), 100.0);

    plant->form->show();
    WAIT_FOR_TEXT(spin, "5.00");
    QTRY_COMPARE_WITH_TIMEOUT(spin->GetMaxValue(), 9.0, ReplyWait);
    QTRY_COMPARE_WITH_TIMEOUT(spin->GetMinValue(), 1.0, ReplyWait);
    const int before = int(limitChanges.count());
    QVERIFY(before >= 2);

    plant->server->SetItem("C_SPEED.GAIN.HI_LIM_OUT", "8");
    QTRY_COMPARE_WITH_TIMEOUT(spin->GetMaxValue(), 8.0, ReplyWait);
    QCOMPARE(limitChanges.count(), before + 1);
    QCOMPARE(limitChanges.last().first().value<QObject*>(), spin);
}

void TestTune::otherNamesHaveNoLimitItems()
{
    auto* spin = AddTune("C_SPEED.GAIN.IN");
    plant->Show();
    WAIT_FOR_TEXT(spin, "5.00");
    QVERIFY(!spin->LowLimitItem());
    QVERIFY(!spin->HighLimitItem());
    QCOMPARE(plant->device->RefCount("C_SPEED.GAIN.LO_LIM_OUT"), 0);
    QCOMPARE(spin->GetMaxValue(), 100.0);
}

void TestTune::clampUsesTheItemsOwnLimits()
{
    auto* spin = AddTune();
    plant->Show();
    WAIT_FOR_TEXT(spin, "5.00");
    QTRY_COMPARE_WITH_TIMEOUT(spin->GetMaxValue(), 9.0, ReplyWait);
    TypeAndEnter(*spin, "50");
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes("C_SPEED.GAIN.TUNE"), QStringList({"50"}), ReplyWait);
    TypeAndEnter(*spin, "500"); // without a band, only the item's limits
    QTRY_COMPARE_WITH_TIMEOUT(plant->Pokes("C_SPEED.GAIN.TUNE"), QStringList({"50", "100"}), ReplyWait);
}

// ---------------------------------------------------------------------------

int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale::c());
    return RunTests<QApplication, TestSteps, TestFormatting, TestTyping, TestMouse, TestAccessibility, TestBoundWrites,
                    TestBoundState, TestTune>(argc, argv);
}

#include "tst_spinedit.moc"
