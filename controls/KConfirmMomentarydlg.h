// Asks before a TKQDAMomentaryButton commands: the dialog's button then stands
// in for the bound one, so the command runs while it is held; the dialog stays
// open for further presses until Cancel.
#pragma once

#include "controls/KConfirmDialog.h"
#include "controls/KMomentaryButton.h"

#include <QPointer>

class TKQMomentaryButton;

class TKConfirmMomentarydlg : public TKConfirmDialog {
    Q_OBJECT
public:
    explicit TKConfirmMomentarydlg(TKQMomentaryButton* bound);

    TKMomentaryButton* Button() const { return static_cast<TKMomentaryButton*>(DrawnButton()); }
    // The dialog that is open, if any.
    static TKConfirmMomentarydlg* Current();

private:
    QPointer<TKQMomentaryButton> bound;
};
