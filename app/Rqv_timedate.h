// The time and date window of Run mode: each part of the control's clock is
// entered and set on its own, or all at once, beside the control's time of day.
#pragma once

#include "app/RunDialog.h"

class TFTimeDate : public TRunDialog {
    Q_OBJECT
public:
    TFTimeDate(QWidget* owner, TKQDevice* device);

public slots:
    void CancelButtonClick();
};
