#include "app/PlainForm.h"

void TPlainForm::LoadPlainForm(const QString& formName)
{
    LoadForm(formName);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::WindowStaysOnTopHint);
    adjustSize();
    FitSize();
}

void TPlainForm::FitSize()
{
    setFixedSize(sizeHint());
}
