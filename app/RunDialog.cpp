#include "app/RunDialog.h"

#include "datalink/KQDevice.h"

#include <QCloseEvent>
#include <QShowEvent>

namespace {

const QString DeviceReference = QStringLiteral("KQDatorelControl1");

} // namespace

TRunDialog::TRunDialog(QWidget* owner, TKQDevice* device) : TKQForm(owner), TFormWindow(this), device(device)
{
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void TRunDialog::LoadForm(const QString& formName, const TFormLoadOptions& options)
{
    TFormWindow::LoadForm(formName, {{DeviceReference, device}}, options);
}

void TRunDialog::showEvent(QShowEvent* event)
{
    if (!centred && !event->spontaneous()) {
        centred = true;
        adjustSize();
        CentreOnScreen();
    }
    TKQForm::showEvent(event);
}

void TRunDialog::closeEvent(QCloseEvent* event)
{
    // The owner frees the window; closing only hides it.
    event->accept();
}
