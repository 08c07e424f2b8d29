#include "controls/KStatusText.h"

#include "controls/FormClasses.h"
#include "controls/KLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

TKStatusText::TKStatusText(QWidget* parent)
    : QWidget(parent), boxOnText(QStringLiteral("1")), boxOffText(QStringLiteral("0")), boxOnTextColor(Qt::black),
      boxOffTextColor(Qt::black), boxOnColor(DefaultOnColor()), boxOffColor(palette().color(QPalette::Button))
{
    InstallAccessibility();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setMinimumHeight(MinimumHeight);
    resize(DefaultWidth, DefaultHeight);
    FitWidth();
}

void TKStatusText::SetCtl3D(bool on)
{
    if (on == ctl3D)
        return;
    ctl3D = on;
    update();
}

void TKStatusText::SetBoxOnText(const QString& text)
{
    if (text == boxOnText)
        return;
    boxOnText = text;
    FitWidth();
    update();
}

void TKStatusText::SetBoxOffText(const QString& text)
{
    if (text == boxOffText)
        return;
    boxOffText = text;
    FitWidth();
    update();
}

void TKStatusText::SetBoxOnTextColor(const QColor& color)
{
    if (color == boxOnTextColor)
        return;
    boxOnTextColor = color;
    update();
}

void TKStatusText::SetBoxOffTextColor(const QColor& color)
{
    if (color == boxOffTextColor)
        return;
    boxOffTextColor = color;
    update();
}

void TKStatusText::SetBoxOnColor(const QColor& color)
{
    if (color == boxOnColor)
        return;
    boxOnColor = color;
    update();
}

void TKStatusText::SetBoxOffColor(const QColor& color)
{
    if (color == boxOffColor)
        return;
    boxOffColor = color;
    update();
}

void TKStatusText::SetValue(bool on)
{
    if (on == value)
        return;
    value = on;
    update();
    AccessibleValueChanged(this);
}

// ---- size ------------------------------------------------------------------------------

QFont TKStatusText::BoxFont() const
{
    // The whole line (ascent and descent) fits the height less the margin.
    const int lineHeight = std::max(1, height() - FontHeightMargin);
    QFont boxFont = font();
    boxFont.setPixelSize(lineHeight);
    const int measured = QFontMetrics(boxFont).height();
    if (measured > lineHeight)
        boxFont.setPixelSize(std::max(1, lineHeight * lineHeight / measured));
    return boxFont;
}

int TKStatusText::BoxWidth() const
{
    const QString& longer = boxOnText.size() > boxOffText.size() ? boxOnText : boxOffText;
    return QFontMetrics(BoxFont()).horizontalAdvance(longer) + TextMarginWidth;
}

void TKStatusText::FitWidth()
{
    const int width = BoxWidth();
    if (minimumWidth() != width || maximumWidth() != width)
        setFixedWidth(width);
    updateGeometry();
}

QSize TKStatusText::sizeHint() const
{
    return QSize(BoxWidth(), std::max(height(), MinimumHeight));
}

QSize TKStatusText::minimumSizeHint() const
{
    return QSize(BoxWidth(), MinimumHeight);
}

void TKStatusText::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FitWidth();
}

void TKStatusText::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitWidth();
}

// ---- painting --------------------------------------------------------------------------

void TKStatusText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintFace(painter);
}

void TKStatusText::PaintFace(QPainter& painter)
{
    painter.fillRect(rect(), palette().color(QPalette::Active, QPalette::Button));
    painter.fillRect(rect(), value ? boxOnColor : boxOffColor);

    const QFont boxFont = BoxFont();
    const QFontMetrics metrics(boxFont);
    // Both texts stand on the same line, centred by the off text's height.
    const int top = (height() - metrics.height()) / 2;
    painter.setFont(boxFont);
    painter.setPen(value ? boxOnTextColor : boxOffTextColor);
    painter.drawText(QRect(0, top, width(), metrics.height()), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                     Text());

    if (ctl3D)
        Frame3D(painter, rect(), palette(), TFrameStyle::fsSunken);
}

void RegisterKStatusTextClasses()
{
    FormClasses::Register<TKStatusText>();
}
