// Asks before a TKQDAOneShotButton pulses: pressing the dialog's button
// performs the bound button's press and closes the dialog with OK; Cancel
// closes it and nothing happens.
#pragma once

#include "controls/KConfirmDialog.h"
#include "controls/KOneShotButton.h"

#include <QPointer>

class TKQOneShotButton;

class TKConfirmOneShotdlg : public TKConfirmDialog {
    Q_OBJECT
public:
    explicit TKConfirmOneShotdlg(TKQOneShotButton* bound);

    TKOneShotButton* Button() const { return static_cast<TKOneShotButton*>(DrawnButton()); }
    // The dialog that is open, if any.
    static TKConfirmOneShotdlg* Current();

private:
    void ButtonMouseDown(Qt::MouseButton mouseButton, Qt::KeyboardModifiers shift);

    QPointer<TKQOneShotButton> bound;
};
