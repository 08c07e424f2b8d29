// The one place through which every operator-facing dialog is shown.
//
// Message boxes, questions, file dialogs, print dialogs and password prompts all
// go through the current TDialogService. The program installs the interactive
// one (Qt dialogs); tests install a scripted responder that records each text and
// returns scripted answers.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class QWidget;

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons, as a set of flags.
enum TMsgDlgBtn : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
};
using TMsgDlgButtons = unsigned;

// What the user chose.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
};

struct TFileDialogRequest {
    QString title;
    QString initialDir;
    QString fileName;      // proposed name; the chosen path on return
    QStringList filters;   // "Network files (*.net)" ...
    QString defaultSuffix; // without the dot
    int filterIndex = 1;   // the filter selected at first, from 1
};

// A choice from a list that the user may narrow down by typing.
struct TChoiceRequest {
    QString title;
    QString prompt;
    QStringList choices;
    int most = 1;          // how many may be chosen at once
    QList<int> chosen;     // on return: the indices chosen, in list order
};

class TDialogService {
public:
    virtual ~TDialogService() = default;
    virtual int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) = 0;
    virtual bool OpenFile(TFileDialogRequest& request) = 0;
    virtual bool SaveFile(TFileDialogRequest& request) = 0;
    // Asks for a password; false when cancelled.
    virtual bool Password(const QString& caption, const QString& prompt, QString& password) = 0;
    // The print dialog: chooses and sets up the printer; false when cancelled.
    virtual bool PrintSetup(QPrinter& printer) = 0;
    // False when cancelled or nothing was chosen.
    virtual bool Choose(TChoiceRequest& request) = 0;
};

// The program's own password window, shown by the interactive service. It
// returns only once the user entered an accepted password or cancelled.
using TPasswordPrompt = std::function<bool(const QString& caption, const QString& prompt, QString& password)>;

namespace Dialogs {
// The service in use; the interactive one unless a test installed its own.
TDialogService& Current();
// Installs a service (not owned); nullptr puts the interactive one back.
void Install(TDialogService* service);
// The service installed by Install, or nullptr while the interactive one is used.
TDialogService* Installed();
// Parent for interactive dialogs (the main window, once it exists).
void SetParentWidget(QWidget* parent);
QWidget* ParentWidget();
// The window the interactive service asks passwords with; empty: a plain prompt.
void SetPasswordPrompt(TPasswordPrompt prompt);
}

// Shorthands used throughout the program.
int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons);
void ShowMessage(const QString& text);
