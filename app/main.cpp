// 4812 Turvista: the operator and engineering workstation of the 4812 turbine control.
#include "app/Application.h"
#include "app/Rqv_main.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // Desktops match the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("turvista"));
    Application::CreateStartWindows();
    FMain->show();
    const int result = application.exec();
    Application::FreeStartWindows();
    return result;
}
