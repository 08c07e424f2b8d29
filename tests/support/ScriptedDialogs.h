// Test stand-in for the operator: records every dialog the code under test
// shows and answers it from a script.
//
// Construct one at the start of a test: it installs itself as the dialog
// service and puts the previous one back when destroyed.
//
// A message offering OK alone is answered OK without using the script, so
// scripts list only the answers to real questions.
//
// Answers when nothing is scripted:
// - message dialogs: the responder function if one is set; otherwise OK when
//   OK is offered, else Cancel, else No, else the first button offered. This
//   is the non-committal choice, so an unscripted question never confirms.
// - file, print and password dialogs: cancelled.
#pragma once

#include "platform/dialogs/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct TShownMessage {
    QString text;
    TMsgDlgType type;
};

class TScriptedDialogs final : public TDialogService {
public:
    using Responder = std::function<int(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons)>;

    TScriptedDialogs() : m_previous(Dialogs::Installed()) { Dialogs::Install(this); }
    ~TScriptedDialogs() override { Dialogs::Install(m_previous); }
    TScriptedDialogs(const TScriptedDialogs&) = delete;
    TScriptedDialogs& operator=(const TScriptedDialogs&) = delete;

    // Script, consumed in order.
    void addAnswer(int modalResult) { m_answers.enqueue(modalResult); }
    void addFileName(const QString& path) { m_fileNames.enqueue(path); }
    void addFileCancel() { m_fileNames.enqueue(std::nullopt); }
    void addPassword(const QString& password) { m_passwordAnswers.enqueue(password); }
    void addPasswordCancel() { m_passwordAnswers.enqueue(std::nullopt); }
    // The print dialog: print into a PDF file at path, or cancel.
    void addPrintToFile(const QString& path) { m_printFiles.enqueue(path); }
    void addPrintCancel() { m_printFiles.enqueue(std::nullopt); }
    // A list choice: the choices whose texts are given (each must be offered), or cancel.
    void addChoice(const QStringList& texts) { m_choiceAnswers.enqueue(texts); }
    void addChoiceCancel() { m_choiceAnswers.enqueue(std::nullopt); }
    // Answers message dialogs once their queue is empty; empty function: defaults.
    void setResponder(Responder responder) { m_responder = std::move(responder); }

    // What was shown, in order.
    const QList<TShownMessage>& messages() const { return m_messages; }
    QStringList texts() const;
    // File dialogs as the code under test asked for them, and password prompts.
    const QList<TFileDialogRequest>& fileDialogs() const { return m_files; }
    const QStringList& passwordPrompts() const { return m_passwords; }

    // Forgets what was shown and what is still scripted.
    void clear();

    int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
    bool OpenFile(TFileDialogRequest& request) override;
    bool SaveFile(TFileDialogRequest& request) override;
    bool Password(const QString& caption, const QString& prompt, QString& password) override;
    bool PrintSetup(QPrinter& printer) override;
    bool Choose(TChoiceRequest& request) override;
    // List choices as asked for.
    const QList<TChoiceRequest>& choices() const { return m_choices; }

private:
    using Script = QQueue<std::optional<QString>>;
    // The next scripted text; false when cancelled or nothing is scripted.
    static bool Take(Script& script, QString& answer);

    TDialogService* m_previous;
    QQueue<int> m_answers;
    Script m_fileNames;
    Script m_passwordAnswers;
    Script m_printFiles;
    QQueue<std::optional<QStringList>> m_choiceAnswers;
    QList<TChoiceRequest> m_choices;
    Responder m_responder;
    QList<TShownMessage> m_messages;
    QList<TFileDialogRequest> m_files;
    QStringList m_passwords;
};
