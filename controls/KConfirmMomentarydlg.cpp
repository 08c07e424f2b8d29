#include "controls/KConfirmMomentarydlg.h"

#include "controls/KQMomentaryButton.h"

namespace {

// The dialog's button reports no state change while it copies the bound one.
TKMomentaryButton* QuietButton()
{
    auto* button = new TKMomentaryButton;
    button->SetStateChangeReported(false);
    return button;
}

} // namespace

TKConfirmMomentarydlg::TKConfirmMomentarydlg(TKQMomentaryButton* bound)
    : TKConfirmDialog(QuietButton(), QStringLiteral("KMomentaryButton1"), *bound), bound(bound)
{
    Button()->SetStateChangeReported(true);
    connect(Button(), &TKDrawnButton::OnMouseDown, this,
            [this](QObject*, Qt::MouseButton mouseButton, Qt::KeyboardModifiers shift, int x, int y) {
                if (this->bound)
                    this->bound->Press(mouseButton, shift, QPoint(x, y));
            });
    connect(Button(), &TKDrawnButton::OnMouseUp, this,
            [this](QObject*, Qt::MouseButton mouseButton, Qt::KeyboardModifiers shift, int x, int y) {
                if (this->bound)
                    this->bound->Release(mouseButton, shift, QPoint(x, y));
            });
}

TKConfirmMomentarydlg* TKConfirmMomentarydlg::Current()
{
    return qobject_cast<TKConfirmMomentarydlg*>(Open());
}
