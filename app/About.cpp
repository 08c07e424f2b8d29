#include "app/About.h"

#include "app/PlainForm.h"

#include <QLabel>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    PlainForm::Load(this, QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About 4812 RQV Tools"));
    findChild<QLabel*>(QStringLiteral("ProductName"))->setText(QStringLiteral("Product Name:  4812 RQV Tools"));
    findChild<QLabel*>(QStringLiteral("Version"))->setText(QStringLiteral("Version:  1.2"));
    findChild<QLabel*>(QStringLiteral("Comments"))
        ->setText(QStringLiteral("Operator and engineering workstation for the 4812 turbine control."));
    setFixedSize(sizeHint());
}
