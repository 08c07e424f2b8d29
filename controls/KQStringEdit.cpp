#include "controls/KQStringEdit.h"

#include "controls/FormClasses.h"
#include "datalink/KQItem.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPalette>

TKQStringEdit::TKQStringEdit(QWidget* parent) : TKQEdit(parent) {}

void TKQStringEdit::SetIsMonitorOnly(bool monitorOnly)
{
    if (monitorOnly == isMonitorOnly)
        return;
    isMonitorOnly = monitorOnly;
    QPalette colours = palette();
    if (monitorOnly) {
        savedTextColor = colours.color(QPalette::Active, QPalette::Text);
        colours.setColor(QPalette::Text, QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text));
    } else {
        colours.setColor(QPalette::Text, savedTextColor);
    }
    setPalette(colours);
    setReadOnly(monitorOnly);
}

QString TKQStringEdit::ItemText()
{
    return VariantToText(binding.Read());
}

void TKQStringEdit::Send()
{
    if (isMonitorOnly)
        return;
    if (!binding.Write(text()))
        ShowItemValue();
}

void TKQStringEdit::Leave()
{
    if (Item())
        Send();
    emit OnExit(this);
}

void TKQStringEdit::keyPressEvent(QKeyEvent* event)
{
    if (isMonitorOnly) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        QLineEdit::keyPressEvent(event);
        Send();
        event->accept();
        break;
    case Qt::Key_Escape:
        ShowItemValue();
        event->accept();
        break;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void RegisterKQStringEditClasses()
{
    FormClasses::Register<TKQStringEdit>();
}
