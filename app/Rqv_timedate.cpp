#include "app/Rqv_timedate.h"

TFTimeDate::TFTimeDate(QWidget* owner, TKQDevice* device) : TRunDialog(owner, device)
{
    LoadForm(QStringLiteral("TimeDate"));
}

void TFTimeDate::CancelButtonClick()
{
    close();
}
