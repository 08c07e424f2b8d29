// What the program's plain dialogs (Working window, password, About box) share:
// built from their stored form, centred on the screen, on top of the program,
// with a system menu only.
#pragma once

#include "app/FormWindow.h"

#include <QDialog>

class TPlainForm : public QDialog, public TFormWindow {
    Q_OBJECT
public:
    using TFormWindow::CentreOnScreen;

protected:
    explicit TPlainForm(QWidget* parent) : QDialog(parent), TFormWindow(this) {}
    // Builds the dialog from its stored form (once the window's handlers exist:
    // from the dialog's own constructor) and fixes its size to the content's.
    void LoadPlainForm(const QString& formName);
    void FitSize();
};
