#include "app/RQV_pwd.h"

#include "platform/dialogs/Dialogs.h"

#include <QLabel>
#include <QLineEdit>

TfPassword* fPassword = nullptr;

TfPassword::TfPassword(QWidget* parent) : TPlainForm(parent)
{
    LoadPlainForm(QStringLiteral("RQV_pwd"));
    Label1 = Part<QLabel>(QStringLiteral("Label1"));
    PwdEntry = Part<QLineEdit>(QStringLiteral("PwdEntry"));
    // Room for the longest mode name.
    Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance(QStringLiteral("Enter password for Service mode:")));
    FitSize();
}

QString TfPassword::Prompt() const
{
    return QStringLiteral("Enter password for ") + PasswordMode + QStringLiteral(" mode:");
}

bool TfPassword::Accepts(const QString& entered) const
{
    if (entered == PasswordExpected)
        return true;
    MessageDlg(QStringLiteral("Incorrect password."), TMsgDlgType::mtInformation, mbOK);
    return false;
}

bool TfPassword::Execute(QString& entered)
{
    CentreOnScreen();
    if (exec() != QDialog::Accepted)
        return false;
    entered = PwdEntry->text();
    return true;
}

void TfPassword::OKButtonClick()
{
    if (Accepts(PwdEntry->text())) {
        accept();
        return;
    }
    PwdEntry->setFocus();
    PwdEntry->selectAll();
}

void TfPassword::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Label1->setText(Prompt());
    PwdEntry->clear();
    PwdEntry->setFocus();
    PwdEntry->selectAll();
}
