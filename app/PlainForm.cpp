#include "app/PlainForm.h"

#include "controls/FormLoader.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

namespace PlainForm {

void Load(QDialog* dialog, const QString& formName)
{
    TFormLoader::Load(TFormLoader::ResourcePath(formName), dialog);
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                           | Qt::WindowStaysOnTopHint);
    dialog->adjustSize();
    dialog->setFixedSize(dialog->sizeHint());
}

void Centre(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

} // namespace PlainForm
