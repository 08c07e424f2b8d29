// The number editor: a text box with a fine (1 per cent) and a coarse (10 per
// cent) pair of arrow buttons on its right, and a check button that replaces
// the arrows while the user types.
#pragma once

#include "controls/KAccessible.h"
#include "platform/Timing.h"

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class QLineEdit;

// A flat speed button that draws an up or down triangle, or the check mark of
// the spin edit (two embossed bars).
//
// The arrows report the raw mouse presses and releases (auto-repeat is the spin
// edit's business) and emit clicked() only for a click that does not come from
// the mouse, such as the accessible press action. The check button is an
// ordinary button.
class TKArrowButton : public QAbstractButton {
    Q_OBJECT
public:
    enum TKind { akUp = 0, akDown = 1, akCheck = 2 };

    TKArrowButton(TKind kind, const QColor& enabledFill, const QColor& disabledFill, QWidget* parent = nullptr);

    TKind Kind() const { return kind; }
    // The fill colour of the current state.
    QColor FillColor() const { return isEnabled() ? enabledFill : disabledFill; }
    // The outline colour of the current state.
    QColor OutlineColor() const;

    QSize sizeHint() const override;

signals:
    void LeftPressed();
    void LeftReleased();
    void OtherPressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void PaintBevel(QPainter& painter) const;
    void PaintTriangle(QPainter& painter) const;
    void PaintCheck(QPainter& painter) const;

    TKind kind;
    QColor enabledFill;
    QColor disabledFill;
};

class TKSpinEdit : public QWidget, public TKAccessibleControl {
    Q_OBJECT
    Q_PROPERTY(double SpinValue READ SpinValue WRITE SetSpinValue)
    Q_PROPERTY(int DecimalPlaces READ DecimalPlaces WRITE SetDecimalPlaces)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
public:
    // Time between two steps while an arrow is held.
    static constexpr Timing::Span RepeatInterval{250};
    static constexpr int DefaultWidth = 100;
    static constexpr int DefaultHeight = 24;
    static constexpr int MinimumHeight = 20;
    static constexpr int DefaultDecimalPlaces = 2;
    // DecimalPlaces from this on are refused.
    static constexpr int DecimalPlacesLimit = 17;

    enum TButton { sbCoarseUp, sbCoarseDown, sbFineUp, sbFineDown, sbCheck };

    Q_INVOKABLE explicit TKSpinEdit(QWidget* parent = nullptr);
    ~TKSpinEdit() override;

    virtual bool LimitTypedChange();
    virtual bool IsIntegerMode();
    virtual double SpinValue() const;
    // Shows the value (unless this control leaves its text to someone else),
    // stores it and runs the click notification.
    virtual void SetSpinValue(double value);
    // The user starts typing: the check button replaces the arrows.
    virtual void BeginEdit();
    virtual bool IsValidChar(QChar key) const;
    virtual void StepFineUp();
    virtual void StepFineDown();
    virtual void StepCoarseUp();
    virtual void StepCoarseDown();
    // Takes the typed text as the new value and brings the arrows back.
    virtual void CommitEdit();

    int DecimalPlaces() const { return decimalPlaces; }
    void SetDecimalPlaces(int places);
    QFont Font() const;
    void SetFont(const QFont& font);
    bool ShowHint() const { return showHint; }
    void SetShowHint(bool show) { showHint = show; }

    // Focuses the text box.
    void SetFocus();
    // What the text box shows.
    QString Text() const;
    // The check button is shown: the user is typing.
    bool Typing() const;
    TKArrowButton* Button(TButton which) const { return buttons[which]; }
    QLineEdit* TextBox() const { return textBox; }

    // The value in fixed notation as this control shows it: rounded to nine
    // significant digits, then to the given number of decimals, in the user's locale.
    static QString FormatValue(double value, int decimals);
    QString AccessibleFallbackName() const override { return objectName(); }
    QString AccessibleValue() const override;
    QAccessible::Role AccessibleRole() const override { return QAccessible::SpinBox; }
    // The limits where they are known; the step is the last decimal shown.
    std::optional<TKAccessibleRange> AccessibleRange() const override;
    QStringList AccessibleActions() const override;
    void DoAccessibleAction(const QString& action) override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void OnChangeValue(QObject* sender);
    void OnMouseDown(QObject* sender);
    void OnMouseUp(QObject* sender);
    void OnCheckClick(QObject* sender);
    void OnDblClick(QObject* sender);

protected:
    // The click notification, run after every SpinValue write.
    virtual void Click() {}
    // Tells the user that a key was refused.
    virtual void Beep();
    // Formats value into the text box and keeps the text as snapshot.
    void UpdateText(double value);
    // Stores the value without showing it or running the click notification.
    void StoreSpinValue(double value) { spinValue = value; }
    void SetButtonsEnabled(bool enabled);
    // Read-only text is grey; writable text has the saved font colour.
    void SetTextReadOnly(bool readOnly);
    // When set, writing SpinValue leaves the text alone.
    bool suppressText = false;

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum TStep { stFineUp, stCoarseUp, stCoarseDown, stFineDown, stCount };

    void Step(TStep step);
    void RunStep(TStep step);
    void ArrowPressed(TStep step);
    void ArrowReleased(TStep step);
    void RepeatTick();
    void ShowArrows(bool arrows);
    void TextChanged();
    bool KeyPressed(QKeyEvent* event);
    void LayoutButtons();
    // Runs an operator action; what it raises is shown, not thrown into the event loop.
    template <class F>
    void Guarded(F&& action);

    QTimer repeatTimer;
    bool typedChangeLimit = true;
    int decimalPlaces = DefaultDecimalPlaces;
    QString textSnapshot;
    std::array<TKArrowButton*, 5> buttons{};
    QLineEdit* textBox = nullptr;
    double spinValue = 0;
    QColor savedTextColor;
    bool programmaticChange = false;
    std::array<bool, stCount> held{};
    bool showHint = true;
};

// Makes the unit's classes known to the form loader.
void RegisterKSpinEditClasses();
