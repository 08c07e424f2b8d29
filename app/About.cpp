#include "app/About.h"

#include "BuildInfo.h"

#include <QLabel>

TAboutBox::TAboutBox(QWidget* parent) : TPlainForm(parent)
{
    LoadPlainForm(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About 4812 RQV Tools"));
    Part<QLabel>(QStringLiteral("ProductName"))->setText(QStringLiteral("Product Name:  4812 RQV Tools"));
    Part<QLabel>(QStringLiteral("Version"))->setText(QStringLiteral("Version:  " TURVISTA_VERSION));
    Part<QLabel>(QStringLiteral("Comments"))
        ->setText(QStringLiteral("Operator and engineering workstation for the 4812 turbine control."));
    FitSize();
}
