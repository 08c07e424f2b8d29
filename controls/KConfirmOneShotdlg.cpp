#include "controls/KConfirmOneShotdlg.h"

#include "controls/KQOneShotButton.h"

TKConfirmOneShotdlg::TKConfirmOneShotdlg(TKQOneShotButton* bound)
    : TKConfirmDialog(new TKOneShotButton, QStringLiteral("KOneShotButton1"), *bound), bound(bound)
{
    connect(Button(), &TKDrawnButton::OnMouseDown, this,
            [this](QObject*, Qt::MouseButton mouseButton, Qt::KeyboardModifiers shift, int, int) {
                ButtonMouseDown(mouseButton, shift);
            });
}

TKConfirmOneShotdlg* TKConfirmOneShotdlg::Current()
{
    return qobject_cast<TKConfirmOneShotdlg*>(Open());
}

void TKConfirmOneShotdlg::ButtonMouseDown(Qt::MouseButton mouseButton, Qt::KeyboardModifiers shift)
{
    if (mouseButton != Qt::LeftButton || !qobject_cast<TKQDAOneShotButton*>(bound.data()))
        return;
    bound->Press(mouseButton, shift, QPoint(1, 1));
    accept();
}
