// The overspeed test window of Run mode: enabling and disabling the control's
// or an external overspeed test, the test's status and the peak speed held.
#pragma once

#include "app/RunDialog.h"

class TFOverspeedTest : public TRunDialog {
    Q_OBJECT
public:
    TFOverspeedTest(QWidget* owner, TKQDevice* device);
};
