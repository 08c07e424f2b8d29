#include "app/RunDialog.h"

#include "controls/FormClasses.h"
#include "controls/FormLoader.h"
#include "datalink/KQDevice.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

namespace {

const QString DeviceReference = QStringLiteral("KQDatorelControl1");

} // namespace

TRunDialog::TRunDialog(QWidget* owner, TKQDevice* device) : TKQForm(owner), device(device)
{
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void TRunDialog::LoadForm(const QString& formName)
{
    RegisterAllFormClasses();
    TFormLoader::Load(TFormLoader::ResourcePath(formName), this, {{DeviceReference, device}});
}

void TRunDialog::LoadForm(const QByteArray& json, const QString& formName)
{
    RegisterAllFormClasses();
    TFormLoader::LoadJson(json, formName, this, {{DeviceReference, device}});
}

void TRunDialog::showEvent(QShowEvent* event)
{
    if (!centred && !event->spontaneous()) {
        centred = true;
        adjustSize();
        const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    TKQForm::showEvent(event);
}

void TRunDialog::closeEvent(QCloseEvent* event)
{
    // The owner frees the window; closing only hides it.
    event->accept();
}
