#include "app/Application.h"

#include "app/About.h"
#include "app/RQV_pwd.h"
#include "app/Rqv_main.h"
#include "app/Working.h"
#include "controls/FormClasses.h"
#include "platform/dialogs/Dialogs.h"

#include <QApplication>
#include <QProxyStyle>

TFWorking* FWorking = nullptr;
TAboutBox* AboutBox = nullptr;

namespace {

// The platform's style, except that password boxes show each character as "*".
class TProgramStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

} // namespace

namespace Application {

void CreateStartWindows()
{
    RegisterAllFormClasses();
    if (!dynamic_cast<TProgramStyle*>(QApplication::style()))
        QApplication::setStyle(new TProgramStyle(QApplication::style()->name()));
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
