// The on/off box: a coloured box with the text of its state, as wide as the
// longer of its two texts.
#pragma once

#include "controls/KAccessible.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

class TKStatusText : public QWidget, public TKAccessibleControl {
    Q_OBJECT
    Q_PROPERTY(bool Ctl3D READ Ctl3D WRITE SetCtl3D)
    Q_PROPERTY(QString BoxOnText READ BoxOnText WRITE SetBoxOnText)
    Q_PROPERTY(QString BoxOffText READ BoxOffText WRITE SetBoxOffText)
    Q_PROPERTY(QColor BoxOnTextColor READ BoxOnTextColor WRITE SetBoxOnTextColor)
    Q_PROPERTY(QColor BoxOffTextColor READ BoxOffTextColor WRITE SetBoxOffTextColor)
    Q_PROPERTY(QColor BoxOnColor READ BoxOnColor WRITE SetBoxOnColor)
    Q_PROPERTY(QColor BoxOffColor READ BoxOffColor WRITE SetBoxOffColor)
    Q_PROPERTY(bool Value READ Value WRITE SetValue)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
public:
    static constexpr int DefaultWidth = 17;
    static constexpr int DefaultHeight = 25;
    static constexpr int MinimumHeight = 17;
    // The font's height is the control's height less this.
    static constexpr int FontHeightMargin = 5;
    // The box is its longer text's width plus this.
    static constexpr int TextMarginWidth = 8;
    // Teal.
    static QColor DefaultOnColor() { return QColor(0, 128, 128); }

    Q_INVOKABLE explicit TKStatusText(QWidget* parent = nullptr);

    bool Ctl3D() const { return ctl3D; }
    void SetCtl3D(bool value);
    QString BoxOnText() const { return boxOnText; }
    void SetBoxOnText(const QString& text);
    QString BoxOffText() const { return boxOffText; }
    void SetBoxOffText(const QString& text);
    QColor BoxOnTextColor() const { return boxOnTextColor; }
    void SetBoxOnTextColor(const QColor& color);
    QColor BoxOffTextColor() const { return boxOffTextColor; }
    void SetBoxOffTextColor(const QColor& color);
    QColor BoxOnColor() const { return boxOnColor; }
    void SetBoxOnColor(const QColor& color);
    QColor BoxOffColor() const { return boxOffColor; }
    void SetBoxOffColor(const QColor& color);
    bool ShowHint() const { return showHint; }
    void SetShowHint(bool show) { showHint = show; }

    bool Value() const { return value; }
    virtual void SetValue(bool value);
    // The text of the current state.
    QString Text() const { return value ? boxOnText : boxOffText; }
    // The font the texts are drawn in: Font, sized to the control's height.
    QFont BoxFont() const;

    QString AccessibleFallbackName() const override { return objectName(); }
    QString AccessibleValue() const override { return Text(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    virtual void PaintFace(QPainter& painter);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The width follows the longer text (by characters; the off text on a tie).
    void FitWidth();
    int BoxWidth() const;

    bool ctl3D = true;
    QString boxOnText;
    QString boxOffText;
    QColor boxOnTextColor;
    QColor boxOffTextColor;
    QColor boxOnColor;
    QColor boxOffColor;
    bool value = false;
    bool showHint = false;
};

// Makes the unit's classes known to the form loader.
void RegisterKStatusTextClasses();
