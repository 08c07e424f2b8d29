#include "app/Rqv_ospd.h"

TFOverspeedTest::TFOverspeedTest(QWidget* owner, TKQDevice* device) : TRunDialog(owner, device)
{
    LoadForm(QStringLiteral("OverspeedTest"));
}
