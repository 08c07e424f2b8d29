// The password dialog: asks for the four-digit password of a mode and accepts
// only the expected one.
#pragma once

#include "app/PlainForm.h"

#include <QString>

class QLabel;
class QLineEdit;

class TfPassword : public TPlainForm {
    Q_OBJECT
public:
    explicit TfPassword(QWidget* parent = nullptr);

    QString PasswordExpected;
    QString PasswordMode;

    // The prompt for the current mode.
    QString Prompt() const;
    // Whether the text is the expected password; a wrong one is told to the user.
    bool Accepts(const QString& entered) const;
    // Shows the dialog modally; true once the expected password was entered.
    bool Execute(QString& entered);

public slots:
    void OKButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* Label1;
    QLineEdit* PwdEntry;
};

extern TfPassword* fPassword;
