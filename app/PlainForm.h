// What the program's plain dialogs (Working window, password, About box) share:
// built from their stored form, centred on the screen, on top of the program.
#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace PlainForm {
// Loads the stored form into the dialog and makes it a centred, stay-on-top
// dialog with a system menu only.
void Load(QDialog* dialog, const QString& formName);
// Moves the window to the centre of the screen it is on.
void Centre(QWidget* window);
}
