// What the small windows of Run mode share: a stay-on-top tool window with
// only a close box, owned by the window that opens it, centred on the screen
// when first shown, built from its stored form bound to the control device,
// and hidden, never freed, when the user closes it.
#pragma once

#include "app/FormWindow.h"
#include "controls/KQForms.h"

#include <QString>

class TKQDevice;

class TRunDialog : public TKQForm, public TFormWindow {
    Q_OBJECT
public:
    TKQDevice* Device() const { return device; }

protected:
    TRunDialog(QWidget* owner, TKQDevice* device);

    // Builds the window from the form stored under formName, bound to the device.
    void LoadForm(const QString& formName, const TFormLoadOptions& options = {});

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TKQDevice* device;
    bool centred = false;
};
