// The drawn command button that the one-shot, momentary and toggle buttons
// share: a face in the on or off colour with a raised (off) or sunken (on)
// bevel, the on or off caption, and presses from the mouse or, where the kind
// allows it, from the Enter key.
#pragma once

#include "controls/KAccessible.h"

#include <QAccessible>
#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

class TKDrawnButton : public QWidget, public TKAccessibleControl {
    Q_OBJECT
    Q_PROPERTY(QColor OffColor READ OffColor WRITE SetOffColor)
    Q_PROPERTY(QColor OnColor READ OnColor WRITE SetOnColor)
    Q_PROPERTY(QString OffText READ OffText WRITE SetOffText)
    Q_PROPERTY(QString OnText READ OnText WRITE SetOnText)
    Q_PROPERTY(QColor OffTextColor READ OffTextColor WRITE SetOffTextColor)
    Q_PROPERTY(QColor OnTextColor READ OnTextColor WRITE SetOnTextColor)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
public:
    static constexpr int DefaultWidth = 20;
    static constexpr int DefaultHeight = 20;
    static constexpr int MinimumHeight = 17;
    // Room around the caption.
    static constexpr int TextMarginWidth = 8;
    static constexpr int TextMarginHeight = 6;
    static constexpr int FocusInset = 4;

    ~TKDrawnButton() override;

    QColor OffColor() const { return offColor; }
    void SetOffColor(const QColor& color);
    QColor OnColor() const { return onColor; }
    void SetOnColor(const QColor& color);
    QString OffText() const { return offText; }
    void SetOffText(const QString& text);
    QString OnText() const { return onText; }
    void SetOnText(const QString& text);
    QColor OffTextColor() const { return offTextColor; }
    void SetOffTextColor(const QColor& color);
    QColor OnTextColor() const { return onTextColor; }
    void SetOnTextColor(const QColor& color);
    bool ShowHint() const { return showHint; }
    void SetShowHint(bool show) { showHint = show; }

    bool ButtonOn() const { return buttonOn; }
    // Stores, repaints and reports a change of the drawn state.
    virtual void SetButtonOn(bool value);
    // The caption of the current state.
    QString Caption() const { return buttonOn ? onText : offText; }
    // The off caption, else the on caption, else fallback.
    QString CaptionOr(const QString& fallback) const;

    bool Visible() const { return !isHidden(); }
    virtual void SetVisible(bool visible);
    // The control's own enabled state, as the Enabled property sets it.
    bool Enabled() const { return ownEnabled; }
    virtual void SetEnabled(bool enabled);

    // OnButtonStateChange fires only while this is set (the normal case).
    bool StateChangeReported() const { return stateChangeReported; }
    void SetStateChangeReported(bool reported) { stateChangeReported = reported; }

    // A press and a release as the mouse (or the Enter key, at (1, 1)) gives them.
    virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at);
    virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at);

    // What assistive technology is told; the name when no accessible name is set.
    QString AccessibleFallbackName() const override;
    QString AccessibleValue() const override;
    QAccessible::Role AccessibleRole() const override { return QAccessible::PushButton; }
    void AddAccessibleState(QAccessible::State& state) const override;
    QStringList AccessibleActions() const override;
    void DoAccessibleAction(const QString& action) override;
    // The default action: a full click of the left button.
    virtual void Click();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void OnButtonStateChange(QObject* sender);
    void OnMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void OnMouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    // keyboardPresses: Enter presses and releases the button.
    TKDrawnButton(QWidget* parent, bool keyboardPresses);

    virtual void DoButtonStateChange();
    virtual void PaintFace(QPainter& painter);
    // Takes the focus as a click does; false when the control that had it kept
    // it (an entry that refused what it holds): the click then does nothing.
    bool TakeFocus();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool focusOffered = false; // during a mouse press, which Qt gave the focus to already
    // The size the captions need, or an empty size without a caption.
    QSize CaptionSize() const;
    // Grows the button to its captions; it never shrinks.
    void Fit();

    QColor offColor;
    QColor onColor;
    QString offText;
    QString onText;
    QColor offTextColor;
    QColor onTextColor;
    bool buttonOn = false;
    bool ownEnabled = true;
    bool stateChangeReported = true;
    bool keyboardPresses;
    bool showHint = false;
};
