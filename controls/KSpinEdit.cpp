#include "controls/KSpinEdit.h"

#include "controls/FormClasses.h"
#include "controls/KFloatText.h"
#include "datalink/KQItem.h"
#include "platform/Exception.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

const QColor Black(0, 0, 0);
const QColor Grey(128, 128, 128);
const QColor Silver(192, 192, 192);

// A step adds factor x |v| in its direction when |v| is above the limit of the
// mode, else the small step of the mode.
struct TStepRule {
    int direction;
    double factor;
    double realLimit;
    double integerLimit;
};
constexpr double RealSmallStep = 0.01;
constexpr double IntegerSmallStep = 1;

// In the order of TKSpinEdit::TStep: fine up, coarse up, coarse down, fine down.
constexpr TStepRule StepRules[] = {
    {+1, 0.01, 1.0, 100},
    {+1, 0.10, 0.2, 10},
    {-1, 0.10, 0.2, 10},
    {-1, 0.01, 1.0, 100},
};

// The typed value must lie within this fraction of the current one, when limited.
constexpr double TypedChangeBand = 0.1;

// Significant digits kept when a value is formatted.
constexpr int FormatPrecision = 9;

} // namespace

// ---- arrow button --------------------------------------------------------------------

TKArrowButton::TKArrowButton(TKind kind, const QColor& enabledFill, const QColor& disabledFill, QWidget* parent)
    : QAbstractButton(parent), kind(kind), enabledFill(enabledFill), disabledFill(disabledFill)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_Hover);
}

QColor TKArrowButton::OutlineColor() const
{
    return isEnabled() ? Black : Grey;
}

QSize TKArrowButton::sizeHint() const
{
    return QSize(20, 12);
}

void TKArrowButton::mousePressEvent(QMouseEvent* event)
{
    if (kind == akCheck) {
        QAbstractButton::mousePressEvent(event);
        return;
    }
    event->accept();
    if (event->button() == Qt::LeftButton) {
        setDown(true);
        emit LeftPressed();
    } else {
        setDown(false);
        emit OtherPressed();
    }
}

void TKArrowButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (kind == akCheck) {
        QAbstractButton::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->button() == Qt::LeftButton && isDown()) {
        setDown(false);
        emit LeftReleased();
    }
}

void TKArrowButton::mouseMoveEvent(QMouseEvent* event)
{
    if (kind == akCheck)
        QAbstractButton::mouseMoveEvent(event);
    else
        event->accept(); // held until released, wherever the pointer goes
}

void TKArrowButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    PaintBevel(painter);
    if (isDown())
        painter.translate(1, 1);
    if (kind == akCheck)
        PaintCheck(painter);
    else
        PaintTriangle(painter);
}

// Flat: a frame only while pressed (sunken) or under the pointer (raised).
void TKArrowButton::PaintBevel(QPainter& painter) const
{
    const bool sunken = isDown();
    if (!sunken && !(underMouse() && isEnabled()))
        return;
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    const qreal right = width() - 0.5;
    const qreal bottom = height() - 0.5;
    painter.save();
    painter.setPen(QPen(sunken ? dark : light, 1));
    painter.drawLine(QPointF(0.5, bottom), QPointF(0.5, 0.5));
    painter.drawLine(QPointF(0.5, 0.5), QPointF(right, 0.5));
    painter.setPen(QPen(sunken ? light : dark, 1));
    painter.drawLine(QPointF(right, 0.5), QPointF(right, bottom));
    painter.drawLine(QPointF(right, bottom), QPointF(0.5, bottom));
    painter.restore();
}

void TKArrowButton::PaintTriangle(QPainter& painter) const
{
    const int s = (width() - 10) / 2;
    if (s <= 0)
        return;
    const int tipX = width() / 2;
    const int top = (height() - s) / 2;
    // Pixel centres, so that the outline is sharp.
    const qreal x = tipX + 0.5;
    const qreal upper = top + 0.5;
    const qreal lower = top + s + 0.5;
    QPolygonF triangle;
    if (kind == akUp)
        triangle << QPointF(x, upper) << QPointF(x + s, lower) << QPointF(x - s, lower);
    else
        triangle << QPointF(x, lower) << QPointF(x - s, upper) << QPointF(x + s, upper);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(OutlineColor(), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(FillColor());
    painter.drawPolygon(triangle);
}

// Two bars cut into the face: a dark line with a light one beneath it.
void TKArrowButton::PaintCheck(QPainter& painter) const
{
    const int h = height();
    const int w = width();
    const int pen = std::max(1, h / 20);
    const int offset = std::max(pen + 1, h / 10);
    const qreal left = w / 3;
    const qreal right = 2 * w / 3;
    const QColor light = palette().color(QPalette::Light);
    for (const int y : {h / 2 - offset, h / 2 + offset}) {
        const qreal centre = y + pen / 2.0;
        painter.setPen(QPen(light, pen, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(left + 1, centre + pen), QPointF(right + 1, centre + pen));
        painter.setPen(QPen(OutlineColor(), pen, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(left, centre), QPointF(right, centre));
    }
}

// ---- spin edit -------------------------------------------------------------------------

template <class F>
void TKSpinEdit::Guarded(F&& action)
{
    try {
        action();
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

TKSpinEdit::TKSpinEdit(QWidget* parent) : QWidget(parent)
{
    InstallAccessibility();
    repeatTimer.setInterval(RepeatInterval);
    connect(&repeatTimer, &QTimer::timeout, this, &TKSpinEdit::RepeatTick);

    buttons[sbCoarseUp] = new TKArrowButton(TKArrowButton::akUp, Black, Grey, this);
    buttons[sbCoarseDown] = new TKArrowButton(TKArrowButton::akDown, Black, Grey, this);
    buttons[sbFineUp] = new TKArrowButton(TKArrowButton::akUp, Silver, Silver, this);
    buttons[sbFineDown] = new TKArrowButton(TKArrowButton::akDown, Silver, Silver, this);
    buttons[sbCheck] = new TKArrowButton(TKArrowButton::akCheck, Black, Grey, this);
    buttons[sbCheck]->hide();

    struct TArrow {
        TButton button;
        TStep step;
        const char* name;
        const char* description;
    };
    static constexpr TArrow arrows[] = {
        {sbCoarseUp, stCoarseUp, "Coarse up", "Raises the value by 10 per cent"},
        {sbCoarseDown, stCoarseDown, "Coarse down", "Lowers the value by 10 per cent"},
        {sbFineUp, stFineUp, "Fine up", "Raises the value by 1 per cent"},
        {sbFineDown, stFineDown, "Fine down", "Lowers the value by 1 per cent"},
    };
    for (const TArrow& arrow : arrows) {
        TKArrowButton* button = buttons[arrow.button];
        const TStep step = arrow.step;
        button->setAccessibleName(QString::fromLatin1(arrow.name));
        button->setAccessibleDescription(QString::fromLatin1(arrow.description));
        connect(button, &TKArrowButton::LeftPressed, this, [this, step] { ArrowPressed(step); });
        connect(button, &TKArrowButton::LeftReleased, this, [this, step] { ArrowReleased(step); });
        connect(button, &TKArrowButton::OtherPressed, this, [this, step] { ArrowReleased(step); });
        // Only a click that did not come from the mouse, one step.
        connect(button, &QAbstractButton::clicked, this, [this, step] { Guarded([&] { RunStep(step); }); });
    }
    buttons[sbCheck]->setAccessibleName(QStringLiteral("Accept"));
    buttons[sbCheck]->setAccessibleDescription(QStringLiteral("Takes the typed value"));
    connect(buttons[sbCheck], &QAbstractButton::clicked, this, [this] { Guarded([this] { CommitEdit(); }); });

    textBox = new QLineEdit(this);
    textBox->setAccessibleName(QStringLiteral("Value")); // the spin box around it carries the caption
    textBox->installEventFilter(this);
    savedTextColor = textBox->palette().color(QPalette::Text);
    connect(textBox, &QLineEdit::textChanged, this, &TKSpinEdit::TextChanged);
    setFocusProxy(textBox);

    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMinimumHeight(MinimumHeight);
    resize(DefaultWidth, DefaultHeight);
    LayoutButtons();
}

TKSpinEdit::~TKSpinEdit() = default;

bool TKSpinEdit::LimitTypedChange()
{
    return typedChangeLimit;
}

bool TKSpinEdit::IsIntegerMode()
{
    return false;
}

double TKSpinEdit::SpinValue() const
{
    return spinValue;
}

void TKSpinEdit::SetSpinValue(double value)
{
    if (!suppressText)
        UpdateText(value);
    spinValue = value;
    Click();
}

void TKSpinEdit::BeginEdit()
{
    ShowArrows(false);
    textSnapshot = textBox->text();
}

bool TKSpinEdit::IsValidChar(QChar key) const
{
    if (key == QLatin1Char('\b') || key == QLatin1Char('\r') || key == QLatin1Char('-') || key == QLatin1Char('.')
        || key == QLatin1Char('=') || (key >= QLatin1Char('0') && key <= QLatin1Char('9')))
        return true;
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && key == point.at(0);
}

void TKSpinEdit::StepFineUp()
{
    Step(stFineUp);
}

void TKSpinEdit::StepFineDown()
{
    Step(stFineDown);
}

void TKSpinEdit::StepCoarseUp()
{
    Step(stCoarseUp);
}

void TKSpinEdit::StepCoarseDown()
{
    Step(stCoarseDown);
}

void TKSpinEdit::Step(TStep step)
{
    const TStepRule& rule = StepRules[step];
    const double v = SpinValue();
    const double magnitude = std::fabs(v);
    double next;
    if (IsIntegerMode())
        next = magnitude > rule.integerLimit ? std::nearbyint(v + rule.direction * rule.factor * magnitude)
                                             : v + rule.direction * IntegerSmallStep;
    else
        next = magnitude > rule.realLimit ? v + rule.direction * rule.factor * magnitude
                                          : v + rule.direction * RealSmallStep;
    SetSpinValue(next);
    emit OnChangeValue(this);
}

void TKSpinEdit::RunStep(TStep step)
{
    switch (step) {
    case stFineUp: StepFineUp(); break;
    case stCoarseUp: StepCoarseUp(); break;
    case stCoarseDown: StepCoarseDown(); break;
    case stFineDown: StepFineDown(); break;
    case stCount: break;
    }
}

void TKSpinEdit::CommitEdit()
{
    const double current = SpinValue();
    const double typed = ParseNumber(textBox->text()).value_or(current);
    if (!LimitTypedChange()) {
        SetSpinValue(typed);
    } else {
        const double low = std::min((1 - TypedChangeBand) * current, (1 + TypedChangeBand) * current);
        const double high = std::max((1 - TypedChangeBand) * current, (1 + TypedChangeBand) * current);
        // Both ends belong to the band, also where the products are not exact.
        const double slack = 1e-12 * std::fabs(current);
        SetSpinValue(typed >= low - slack && typed <= high + slack ? typed : current);
    }
    ShowArrows(true);
    emit OnCheckClick(this);
    emit OnChangeValue(this);
}

void TKSpinEdit::SetDecimalPlaces(int places)
{
    if (places < 0 || places >= DecimalPlacesLimit || places == decimalPlaces)
        return;
    decimalPlaces = places;
    // Nothing shown yet stays empty.
    if (!textBox->text().isEmpty())
        UpdateText(spinValue);
}

QFont TKSpinEdit::Font() const
{
    return textBox->font();
}

void TKSpinEdit::SetFont(const QFont& font)
{
    textBox->setFont(font);
    LayoutButtons(); // the height follows the control
}

void TKSpinEdit::SetFocus()
{
    textBox->setFocus();
}

QString TKSpinEdit::Text() const
{
    return textBox->text();
}

bool TKSpinEdit::Typing() const
{
    return !buttons[sbCheck]->isHidden();
}

QString TKSpinEdit::FormatValue(double value, int decimals)
{
    return FloatToTextFixed(value, FormatPrecision, decimals);
}

void TKSpinEdit::UpdateText(double value)
{
    const QString text = FormatValue(value, decimalPlaces);
    textSnapshot = text;
    if (text != textBox->text()) {
        programmaticChange = true;
        textBox->setText(text);
        textBox->setCursorPosition(0); // a number too long for the box shows its leading digits
        programmaticChange = false;
        AccessibleValueChanged(this);
    }
    update();
}

void TKSpinEdit::TextChanged()
{
    if (!programmaticChange)
        Guarded([this] { BeginEdit(); });
}

void TKSpinEdit::ShowArrows(bool arrows)
{
    for (TButton arrow : {sbCoarseUp, sbCoarseDown, sbFineUp, sbFineDown})
        buttons[arrow]->setVisible(arrows);
    buttons[sbCheck]->setVisible(!arrows);
}

void TKSpinEdit::SetButtonsEnabled(bool enabled)
{
    if (!enabled) {
        repeatTimer.stop();
        held.fill(false);
    }
    for (TKArrowButton* button : buttons)
        button->setEnabled(enabled);
}

void TKSpinEdit::SetTextReadOnly(bool readOnly)
{
    textBox->setReadOnly(readOnly);
    QPalette palette = textBox->palette();
    palette.setColor(QPalette::Text,
                     readOnly ? QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text) : savedTextColor);
    textBox->setPalette(palette);
}

void TKSpinEdit::Beep()
{
    QApplication::beep();
}

// ---- mouse and keyboard ------------------------------------------------------------------

void TKSpinEdit::ArrowPressed(TStep step)
{
    held[step] = true;
    Guarded([&] { RunStep(step); });
    repeatTimer.start();
    emit OnMouseDown(this);
}

void TKSpinEdit::ArrowReleased(TStep step)
{
    repeatTimer.stop();
    held[step] = false;
    emit OnMouseUp(this);
}

void TKSpinEdit::RepeatTick()
{
    for (TStep step : {stFineUp, stCoarseUp, stCoarseDown, stFineDown}) {
        if (held[step]) {
            Guarded([&] { RunStep(step); });
            return;
        }
    }
    repeatTimer.stop();
}

bool TKSpinEdit::KeyPressed(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        const bool up = key == Qt::Key_Up;
        if (!buttons[up ? sbFineUp : sbFineDown]->isEnabled())
            return false;
        Guarded([&] { up ? StepFineUp() : StepFineDown(); });
        return true;
    }

    QChar typed;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        typed = QLatin1Char('\r');
    } else if (key == Qt::Key_Backspace) {
        typed = QLatin1Char('\b');
    } else {
        // Shortcuts and keys that type nothing are the text box's.
        if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        const QString text = event->text();
        if (text.isEmpty() || !text.at(0).isPrint())
            return false;
        typed = text.at(0);
    }
    if (!IsValidChar(typed)) {
        Beep();
        return true;
    }
    Guarded([this] { BeginEdit(); });
    if (typed == QLatin1Char('\r') || typed == QLatin1Char('=')) {
        Guarded([this] { CommitEdit(); });
        return true;
    }
    return false;
}

bool TKSpinEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == textBox) {
        if (event->type() == QEvent::KeyPress)
            return KeyPressed(static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::MouseButtonDblClick)
            emit OnDblClick(this);
    }
    return QWidget::eventFilter(watched, event);
}

bool TKSpinEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && !showHint) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

// ---- layout ------------------------------------------------------------------------------

void TKSpinEdit::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutButtons();
}

void TKSpinEdit::LayoutButtons()
{
    const int w = width();
    const int h = std::max(height(), MinimumHeight);

    // The text's cell height is the control's height less 6.
    QFont font = textBox->font();
    const int cell = h - 6;
    font.setPixelSize(cell);
    const int lineHeight = QFontMetrics(font).height();
    if (lineHeight > cell)
        font.setPixelSize(std::max(1, cell * cell / lineHeight));
    textBox->setFont(font);

    const int arrow = int(std::nearbyint(h * 5.0 / 6.0));
    const int half = h / 2;
    buttons[sbCoarseUp]->setGeometry(w - arrow, 0, arrow, half);
    buttons[sbCoarseDown]->setGeometry(w - arrow, half, arrow, half);
    buttons[sbFineUp]->setGeometry(w - 2 * arrow, 0, arrow, half);
    buttons[sbFineDown]->setGeometry(w - 2 * arrow, half, arrow, half);
    buttons[sbCheck]->setGeometry(w - 2 * arrow, 0, 2 * arrow, h);
    textBox->setGeometry(0, 0, w - 2 * arrow, h);
}

QSize TKSpinEdit::sizeHint() const
{
    return QSize(DefaultWidth, DefaultHeight);
}

QSize TKSpinEdit::minimumSizeHint() const
{
    const int arrow = int(std::nearbyint(MinimumHeight * 5.0 / 6.0));
    return QSize(2 * arrow + MinimumHeight, MinimumHeight);
}

void RegisterKSpinEditClasses()
{
    FormClasses::Register<TKSpinEdit>();
}

// ---- assistive technology --------------------------------------------------------------

QString TKSpinEdit::AccessibleValue() const
{
    return Text();
}

std::optional<TKAccessibleRange> TKSpinEdit::AccessibleRange() const
{
    return TKAccessibleRange{std::numeric_limits<double>::lowest(), std::numeric_limits<double>::max(),
                             std::pow(10.0, -decimalPlaces)};
}

QStringList TKSpinEdit::AccessibleActions() const
{
    return {QAccessibleActionInterface::increaseAction(), QAccessibleActionInterface::decreaseAction(),
            QAccessibleActionInterface::setFocusAction()};
}

void TKSpinEdit::DoAccessibleAction(const QString& action)
{
    if (action == QAccessibleActionInterface::setFocusAction())
        SetFocus();
    else // as the fine arrow of that direction would
        Button(action == QAccessibleActionInterface::increaseAction() ? sbFineUp : sbFineDown)->click();
}
