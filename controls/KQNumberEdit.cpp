#include "controls/KQNumberEdit.h"

#include "controls/FormClasses.h"
#include "controls/KFloatText.h"
#include "datalink/KQDatorelItem.h"
#include "platform/Exception.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>

#include <algorithm>

namespace {

// Values between -1 and 1 are written with at most this many decimals.
constexpr int SmallValueDecimals = 6;

// Cuts the digits beyond the last decimal kept from the value as written
// (its shortest decimal form), not from its binary approximation.
double CutDecimals(double value, int decimals)
{
    const QString written = QString::number(value, 'f', QLocale::FloatingPointShortest);
    const qsizetype point = written.indexOf(u'.');
    if (point < 0 || written.size() - point - 1 <= decimals)
        return value;
    return written.left(point + 1 + decimals).toDouble() + 0.0; // no -0
}

} // namespace

TKQNumberEdit::TKQNumberEdit(QWidget* parent) : TKQEdit(parent) {}

void TKQNumberEdit::SetDecimalPlaces(int places)
{
    if (places < 0 || places >= DecimalPlacesLimit)
        return;
    decimalPlaces = places;
    update();
}

void TKQNumberEdit::SetIsMonitorOnly(bool monitorOnly)
{
    isMonitorOnly = monitorOnly;
    if (!Loading())
        setReadOnly(monitorOnly);
}

bool TKQNumberEdit::IsValidChar(QChar key) const
{
    switch (key.unicode()) {
    case '\b':
    case '\r':
    case '\x1b':
    case '-':
    case '.':
    case '=':
        return true;
    default:
        return (key >= QLatin1Char('0') && key <= QLatin1Char('9')) || QString(key) == QLocale().decimalPoint();
    }
}

QString TKQNumberEdit::ItemText()
{
    return FloatToTextFixed(VariantToFloat(binding.Read()), Precision, decimalPlaces);
}

void TKQNumberEdit::Send(double value)
{
    TKQDatorelItem* item = Item();
    if (!item)
        return;
    const double max = VariantToFloat(item->MaxValue());
    const double min = VariantToFloat(item->MinValue());
    if (item->DataType() == vdtInteger)
        SetDecimalPlaces(0);
    // Equal limits mean that there are none.
    if (max != min)
        value = std::clamp(value, std::min(min, max), std::max(min, max));
    if (isMonitorOnly)
        return;
    if (value > -1 && value < 1)
        value = CutDecimals(value, SmallValueDecimals);
    binding.Write(value);
}

void TKQNumberEdit::Enter()
{
    if (const auto value = TextToFloat(text()))
        Send(*value);
    else
        ShowItemValue();
}

void TKQNumberEdit::Leave()
{
    if (!Item()) {
        emit OnExit(this);
        return;
    }
    try {
        // The platform's conversion error names the text.
        Send(VariantToFloat(QVariant(text())));
    } catch (const std::exception& error) {
        ShowException(error);
        // The operator stays in the box to put the entry right.
        setFocus(Qt::OtherFocusReason);
        return;
    }
    emit OnExit(this);
}

void TKQNumberEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        try {
            Enter();
        } catch (const std::exception& error) {
            ShowException(error);
        }
        event->accept();
        return;
    case Qt::Key_Escape:
        ShowItemValue();
        event->accept();
        return;
    default:
        break;
    }
    // Typed characters are checked; editing and navigation keys pass.
    const QString typed = event->text();
    const bool character = typed.size() == 1 && typed[0].isPrint()
                           && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (character && !IsValidChar(typed[0])) {
        Beep();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TKQNumberEdit::Beep()
{
    QApplication::beep();
}

void RegisterKQNumberEditClasses()
{
    FormClasses::Register<TKQNumberEdit>();
}
