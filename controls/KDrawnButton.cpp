#include "controls/KDrawnButton.h"

#include <QAccessible>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScopedValueRollback>

namespace {

bool IsEnterKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// Where a key press lands on the button.
const QPoint KeyPressPoint(1, 1);

} // namespace

TKDrawnButton::TKDrawnButton(QWidget* parent, bool keyboardPresses)
    : QWidget(parent), keyboardPresses(keyboardPresses)
{
    InstallAccessibility();
    const QPalette& colours = palette();
    offColor = onColor = colours.color(QPalette::Button);
    offTextColor = onTextColor = colours.color(QPalette::ButtonText);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(DefaultWidth, DefaultHeight);
}

TKDrawnButton::~TKDrawnButton() = default;

void TKDrawnButton::SetOffColor(const QColor& color)
{
    offColor = color;
    update();
}

void TKDrawnButton::SetOnColor(const QColor& color)
{
    onColor = color;
    update();
}

void TKDrawnButton::SetOffText(const QString& text)
{
    offText = text;
    Fit();
    update();
}

void TKDrawnButton::SetOnText(const QString& text)
{
    onText = text;
    Fit();
    update();
}

void TKDrawnButton::SetOffTextColor(const QColor& color)
{
    offTextColor = color;
    update();
}

void TKDrawnButton::SetOnTextColor(const QColor& color)
{
    onTextColor = color;
    update();
}

void TKDrawnButton::SetButtonOn(bool value)
{
    if (value == buttonOn)
        return;
    buttonOn = value;
    update();
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.pressed = true;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
    DoButtonStateChange();
}

void TKDrawnButton::DoButtonStateChange()
{
    if (stateChangeReported)
        emit OnButtonStateChange(this);
}

void TKDrawnButton::SetVisible(bool visible)
{
    setVisible(visible);
}

void TKDrawnButton::SetEnabled(bool enabled)
{
    ownEnabled = enabled;
    setEnabled(enabled);
    update();
}

void TKDrawnButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    emit OnMouseDown(this, button, shift, at.x(), at.y());
}

void TKDrawnButton::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    emit OnMouseUp(this, button, shift, at.x(), at.y());
}

QString TKDrawnButton::CaptionOr(const QString& fallback) const
{
    return !offText.isEmpty() ? offText : !onText.isEmpty() ? onText : fallback;
}

QString TKDrawnButton::AccessibleFallbackName() const
{
    return CaptionOr(objectName());
}

QString TKDrawnButton::AccessibleValue() const
{
    return buttonOn ? QStringLiteral("On") : QStringLiteral("Off");
}

void TKDrawnButton::AddAccessibleState(QAccessible::State& state) const
{
    if (AccessibleRole() == QAccessible::CheckBox) {
        state.checkable = true;
        state.checked = buttonOn;
    } else {
        state.pressed = buttonOn;
    }
}

QStringList TKDrawnButton::AccessibleActions() const
{
    QStringList names{QAccessibleActionInterface::pressAction()};
    if (AccessibleRole() == QAccessible::CheckBox)
        names << QAccessibleActionInterface::toggleAction();
    return names;
}

void TKDrawnButton::DoAccessibleAction(const QString&)
{
    Click();
}

void TKDrawnButton::Click()
{
    if (!isEnabled())
        return;
    // A press may run a modal dialog during which the button goes away.
    const QPointer<TKDrawnButton> alive(this);
    MouseDown(Qt::LeftButton, Qt::NoModifier, KeyPressPoint);
    if (alive)
        MouseUp(Qt::LeftButton, Qt::NoModifier, KeyPressPoint);
}

// ---- size ------------------------------------------------------------------------------

QSize TKDrawnButton::CaptionSize() const
{
    if (offText.isEmpty() && onText.isEmpty())
        return QSize();
    const QFontMetrics metrics(font());
    const int textWidth = std::max(metrics.horizontalAdvance(offText), metrics.horizontalAdvance(onText));
    return QSize(textWidth + TextMarginWidth, std::max(metrics.height() + TextMarginHeight, MinimumHeight));
}

void TKDrawnButton::Fit()
{
    // The minimum size makes the button grow to its captions whoever sizes it.
    const QSize needed = CaptionSize();
    setMinimumSize(needed.isValid() ? needed : QSize(0, 0));
    updateGeometry();
}

QSize TKDrawnButton::sizeHint() const
{
    return QSize(DefaultWidth, DefaultHeight).expandedTo(CaptionSize());
}

QSize TKDrawnButton::minimumSizeHint() const
{
    const QSize needed = CaptionSize();
    return needed.isValid() ? needed : QSize(0, 0);
}

// ---- painting --------------------------------------------------------------------------

void TKDrawnButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintFace(painter);
}

void TKDrawnButton::PaintFace(QPainter& painter)
{
    const QPalette& colours = palette();
    const QColor buttonFace = colours.color(QPalette::Active, QPalette::Button);
    const QColor highlight = colours.color(QPalette::Active, QPalette::Light);
    const QColor shadow = colours.color(QPalette::Active, QPalette::Dark);
    const QColor darkShadow = colours.color(QPalette::Active, QPalette::Shadow);
    const bool enabled = isEnabled();
    const int w = width();
    const int h = height();

    painter.fillRect(rect(), buttonFace);
    painter.fillRect(QRect(2, 2, w - 3, h - 3), !enabled ? buttonFace : buttonOn ? onColor : offColor);

    // Raised when off, sunken when on; the bottom and right edges own the corners.
    const auto edge = [&painter](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    };
    const QRect outer = rect();
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    if (buttonOn) {
        edge(outer, shadow, highlight);
        edge(inner, darkShadow, buttonFace);
    } else {
        edge(outer, highlight, darkShadow);
        edge(inner, buttonFace, shadow);
    }

    const QString caption = Caption();
    if (!caption.isEmpty()) {
        painter.setFont(font());
        painter.setPen(!enabled ? colours.color(QPalette::Disabled, QPalette::WindowText)
                                : buttonOn ? onTextColor : offTextColor);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, caption);
    }

    if (hasFocus()) {
        QPen pen(enabled ? (buttonOn ? onTextColor : offTextColor) : colours.color(QPalette::Disabled, QPalette::WindowText));
        pen.setStyle(Qt::DotLine);
        pen.setWidth(1);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        // On the pixel centres, so that the line stays sharp at any scale.
        painter.drawRect(QRectF(rect()).adjusted(FocusInset + 0.5, FocusInset + 0.5, -FocusInset - 0.5,
                                                 -FocusInset - 0.5));
    }
}

// ---- input -------------------------------------------------------------------------------

void TKDrawnButton::mousePressEvent(QMouseEvent* event)
{
    // Qt has offered this button the focus for the click already.
    const QScopedValueRollback clicked(focusOffered, true);
    MouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void TKDrawnButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is a press like any other.
    const QScopedValueRollback clicked(focusOffered, true);
    MouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void TKDrawnButton::mouseReleaseEvent(QMouseEvent* event)
{
    MouseUp(event->button(), event->modifiers(), event->position().toPoint());
}

bool TKDrawnButton::TakeFocus()
{
    // Asked once per click: the box that refused is not asked (and shown its error) again.
    if (!focusOffered)
        setFocus(Qt::MouseFocusReason);
    return focusPolicy() == Qt::NoFocus || window()->focusWidget() == this;
}

void TKDrawnButton::keyPressEvent(QKeyEvent* event)
{
    if (!keyboardPresses || !IsEnterKey(event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat())
        MouseDown(Qt::LeftButton, event->modifiers(), KeyPressPoint);
}

void TKDrawnButton::keyReleaseEvent(QKeyEvent* event)
{
    if (!keyboardPresses || !IsEnterKey(event)) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    if (!event->isAutoRepeat())
        MouseUp(Qt::LeftButton, event->modifiers(), KeyPressPoint);
}

void TKDrawnButton::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void TKDrawnButton::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void TKDrawnButton::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        Fit();
    if (event->type() == QEvent::FontChange || event->type() == QEvent::EnabledChange
        || event->type() == QEvent::PaletteChange)
        update();
}
