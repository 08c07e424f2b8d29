#include "app/Application.h"

#include "app/About.h"
#include "app/RQV_pwd.h"
#include "app/Rqv_main.h"
#include "app/Working.h"
#include "controls/FormClasses.h"
#include "platform/dialogs/Dialogs.h"

#include <QApplication>

TFWorking* FWorking = nullptr;
TAboutBox* AboutBox = nullptr;

namespace Application {

void CreateStartWindows()
{
    RegisterAllFormClasses();
    QApplication::setApplicationName(QStringLiteral("4812 Turvista"));
    QApplication::setApplicationDisplayName(QStringLiteral("4812 Turvista"));
    new TFMain;
    Dialogs::SetParentWidget(FMain);
    FWorking = new TFWorking(FMain);
    FWorking->OnUserClose = [] {
        if (FMain)
            FMain->NormalStatus();
    };
    fPassword = new TfPassword(FMain);
    Dialogs::SetPasswordPrompt([](const QString&, const QString&, QString& password) {
        return fPassword->Execute(password);
    });
    AboutBox = new TAboutBox(FMain);
}

void FreeStartWindows()
{
    Dialogs::SetPasswordPrompt({});
    delete FMain; // the other three are its children
    FWorking = nullptr;
    fPassword = nullptr;
    AboutBox = nullptr;
}

} // namespace Application
