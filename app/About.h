// The About box.
#pragma once

#include "app/PlainForm.h"

class TAboutBox : public TPlainForm {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};
