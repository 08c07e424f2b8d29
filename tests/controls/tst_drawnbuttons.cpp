// The unbound drawn buttons: what each kind does with presses and releases of
// the mouse and the Enter key, the one-shot's pulse, growing to the captions,
// the face and bevel at 100 % and 200 %, and what assistive technology sees.
#include "controls/KMomentaryButton.h"
#include "controls/KOneShotButton.h"
#include "controls/KToggleButton.h"
#include "tests/support/TestRunner.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QFontMetrics>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

constexpr int PulseWait = 5000;
constexpr unsigned TestPeriod = 50;

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

// The button drawn at the given scale.
QImage Render(TKDrawnButton& button, qreal scale)
{
    QImage image(button.size() * scale, QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::magenta);
    button.render(&image);
    return image;
}

} // namespace

// ---------------------------------------------------------------------------

class TestPresses : public QObject {
    Q_OBJECT
private slots:
    void pressAndRelease_data();
    void pressAndRelease();
    void oneShotPulseEndsAfterItsPeriod();
    void disabledButtonsStayOff();
};

void TestPresses::pressAndRelease_data()
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

void TestPresses::pressAndRelease()
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

void TestPresses::oneShotPulseEndsAfterItsPeriod()
{
    TKOneShotButton button;
    button.SetOneShotPeriod(TestPeriod);
    QSignalSpy changes(&button, &TKDrawnButton::OnButtonStateChange);
    QTest::mouseClick(&button, Qt::LeftButton);
    QVERIFY(button.PulseRunning());
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::keyClick(&button, Qt::Key_Return);
    QCOMPARE(changes.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!button.PulseRunning(), PulseWait);
    QVERIFY(!button.ButtonOn());
    QCOMPARE(changes.count(), 2);
    QCOMPARE(changes.last().first().value<QObject*>(), &button);
}

void TestPresses::disabledButtonsStayOff()
{
    for (int kind : {OneShot, Momentary, Toggle}) {
        std::unique_ptr<TKDrawnButton> button = MakeButton(kind);
        button->SetEnabled(false);
        QVERIFY(!button->Enabled());
        button->Click();
        QVERIFY(!button->ButtonOn());
    }
}

// ---------------------------------------------------------------------------

class TestSize : public QObject {
    Q_OBJECT
private slots:
    void growsToTheWiderCaption_data();
    void growsToTheWiderCaption();
    void neverShrinks();
};

void TestSize::growsToTheWiderCaption_data()
{
    QTest::addColumn<QString>("offText");
    QTest::addColumn<QString>("onText");
    QTest::newRow("off wider") << "Reset Alarms" << "On";
    QTest::newRow("on wider") << "Off" << "Calibration enabled";
    QTest::newRow("on only") << "" << "Active";
}

void TestSize::growsToTheWiderCaption()
{
    QFETCH(QString, offText);
    QFETCH(QString, onText);
    TKToggleButton button;
    QCOMPARE(button.size(), QSize(20, 20));
    button.SetOffText(offText);
    button.SetOnText(onText);
    const QFontMetrics metrics(button.font());
    const int width = std::max(metrics.horizontalAdvance(offText), metrics.horizontalAdvance(onText)) + 8;
    const int height = std::max(metrics.height() + 6, 17);
    QCOMPARE(button.minimumSize(), QSize(width, height));
    QCOMPARE(button.size(), QSize(std::max(width, 20), std::max(height, 20)));
    QFont larger = button.font();
    larger.setPixelSize(40);
    button.setFont(larger);
    QCOMPARE(button.height(), QFontMetrics(larger).height() + 6);
}

void TestSize::neverShrinks()
{
    TKOneShotButton button;
    button.resize(200, 40);
    button.SetOffText("Save Settings");
    QCOMPARE(button.size(), QSize(200, 40));
    button.resize(1, 1);
    QCOMPARE(button.size(), button.minimumSize());
    QVERIFY(button.width() > 8);
}

// ---------------------------------------------------------------------------

class TestPainting : public QObject {
    Q_OBJECT
private slots:
    void bevelAndFace_data();
    void bevelAndFace();
};

void TestPainting::bevelAndFace_data()
{
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<bool>("on");
    QTest::addColumn<bool>("enabled");
    for (qreal scale : {1.0, 2.0}) {
        const QByteArray percent = QByteArray::number(int(scale * 100)) + " %";
        QTest::newRow((percent + ", off").constData()) << scale << false << true;
        QTest::newRow((percent + ", on").constData()) << scale << true << true;
        QTest::newRow((percent + ", off, disabled").constData()) << scale << false << false;
        QTest::newRow((percent + ", on, disabled").constData()) << scale << true << false;
    }
}

void TestPainting::bevelAndFace()
{
    QFETCH(qreal, scale);
    QFETCH(bool, on);
    QFETCH(bool, enabled);
    TKToggleButton button;
    button.resize(60, 24);
    button.SetOffColor(QColor(0, 128, 0));
    button.SetOnColor(QColor(200, 0, 0));
    button.SetButtonOn(on);
    button.SetEnabled(enabled);
    const QImage image = Render(button, scale);
    const QPalette& colours = button.palette();
    const QColor highlight = colours.color(QPalette::Active, QPalette::Light);
    const QColor shadow = colours.color(QPalette::Active, QPalette::Dark);
    const QColor darkShadow = colours.color(QPalette::Active, QPalette::Shadow);
    const QColor buttonFace = colours.color(QPalette::Active, QPalette::Button);
    const QColor face = !enabled ? buttonFace : on ? QColor(200, 0, 0) : QColor(0, 128, 0);

    // Device pixel of logical pixel (x, y), taken from the last device pixel
    // it covers, so that a line of one logical pixel must be scale pixels wide.
    const auto at = [&](int x, int y) {
        const int dx = x < 0 ? image.width() + int(x * scale) : int(x * scale + scale - 1);
        const int dy = y < 0 ? image.height() + int(y * scale) : int(y * scale + scale - 1);
        return image.pixel(dx, dy);
    };
    const QColor outerTopLeft = on ? shadow : highlight;
    const QColor outerBottomRight = on ? highlight : darkShadow;
    const QColor innerTopLeft = on ? darkShadow : buttonFace;
    const QColor innerBottomRight = on ? buttonFace : shadow;
    QCOMPARE(at(10, 0), outerTopLeft.rgb());
    QCOMPARE(at(0, 10), outerTopLeft.rgb());
    QCOMPARE(at(10, -1), outerBottomRight.rgb());
    QCOMPARE(at(-1, 10), outerBottomRight.rgb());
    QCOMPARE(at(10, 1), innerTopLeft.rgb());
    QCOMPARE(at(1, 10), innerTopLeft.rgb());
    QCOMPARE(at(10, -2), innerBottomRight.rgb());
    QCOMPARE(at(-2, 10), innerBottomRight.rgb());
    QCOMPARE(at(2, 2), face.rgb());
    QCOMPARE(at(-3, -3), face.rgb());
    // The device pixel just inside the outer edge belongs to the inner one.
    QCOMPARE(image.pixel(int(scale), int(10 * scale)), innerTopLeft.rgb());
}

// ---------------------------------------------------------------------------

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void roleNameAndValue_data();
    void roleNameAndValue();
    void pressActionPresses();
};

void TestAccessibility::roleNameAndValue_data()
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

void TestAccessibility::roleNameAndValue()
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

void TestAccessibility::pressActionPresses()
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

TURVISTA_TEST_MAIN(TestPresses, TestSize, TestPainting, TestAccessibility)

#include "tst_drawnbuttons.moc"
