// The unbound spin edit: its steps, number formatting, typed entry through the
// keyboard and the check button, auto-repeat of held arrows, layout, drawing
// and what it tells assistive technology.
#include "controls/KSpinEdit.h"
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
std::unique_ptr<QWidget> Host(TKSpinEdit*& spin, QSize size = QSize(TKSpinEdit::DefaultWidth, TKSpinEdit::DefaultHeight))
{
    auto window = std::make_unique<QWidget>();
    spin = new ProbeSpin;
    spin->setParent(window.get());
    spin->setGeometry(QRect(QPoint(0, 0), size));
    window->resize(size + QSize(10, 10));
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

class TestLookAndAccess : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void arrowColours();
    void accessibleSpinEdit();
    void accessibleButtons();
};

void TestLookAndAccess::layout_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("arrow");
    QTest::addColumn<int>("half");
    QTest::newRow("default") << QSize(100, 24) << 20 << 12;
    QTest::newRow("double") << QSize(200, 48) << 40 << 24;
    QTest::newRow("odd height") << QSize(120, 27) << 22 << 13; // 22.5 to the even 22
}

void TestLookAndAccess::layout()
{
    QFETCH(QSize, size);
    QFETCH(int, arrow);
    QFETCH(int, half);
    TKSpinEdit spin;
    spin.resize(size);
    spin.show(); // a hidden widget gets its resize event when shown
    const int w = size.width();
    QCOMPARE(spin.Button(TKSpinEdit::sbCoarseUp)->geometry(), QRect(w - arrow, 0, arrow, half));
    QCOMPARE(spin.Button(TKSpinEdit::sbCoarseDown)->geometry(), QRect(w - arrow, half, arrow, half));
    QCOMPARE(spin.Button(TKSpinEdit::sbFineUp)->geometry(), QRect(w - 2 * arrow, 0, arrow, half));
    QCOMPARE(spin.Button(TKSpinEdit::sbFineDown)->geometry(), QRect(w - 2 * arrow, half, arrow, half));
    QCOMPARE(spin.Button(TKSpinEdit::sbCheck)->geometry(), QRect(w - 2 * arrow, 0, 2 * arrow, size.height()));
    QCOMPARE(spin.TextBox()->geometry(), QRect(0, 0, w - 2 * arrow, size.height()));
    QVERIFY(QFontMetrics(spin.Font()).height() <= size.height() - 6);
}

void TestLookAndAccess::arrowColours()
{
    TKSpinEdit spin;
    spin.show();
    // Inside the triangle of a 20 x 12 button: its tip is at (10, 3), its base at y = 8.
    const auto fillOf = [](TKArrowButton* button) { return button->grab().toImage().pixelColor(10, 6); };
    QCOMPARE(fillOf(spin.Button(TKSpinEdit::sbCoarseUp)), QColor(0, 0, 0));
    QCOMPARE(fillOf(spin.Button(TKSpinEdit::sbFineDown)), QColor(192, 192, 192));
    spin.setEnabled(false);
    QCOMPARE(fillOf(spin.Button(TKSpinEdit::sbCoarseDown)), QColor(128, 128, 128));
    QCOMPARE(fillOf(spin.Button(TKSpinEdit::sbFineUp)), QColor(192, 192, 192));
    QCOMPARE(spin.Button(TKSpinEdit::sbFineUp)->OutlineColor(), QColor(128, 128, 128));
}

void TestLookAndAccess::accessibleSpinEdit()
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

void TestLookAndAccess::accessibleButtons()
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

int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale::c());
    return RunTests<QApplication, TestSteps, TestFormatting, TestTyping, TestMouse, TestLookAndAccess>(argc, argv);
}

#include "tst_spinedit.moc"
