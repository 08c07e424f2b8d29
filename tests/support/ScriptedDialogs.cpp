#include "tests/support/ScriptedDialogs.h"

#include <QPrinter>

#include <QDebug>

TScriptedDialogs::TScriptedDialogs()
    : m_previous(Dialogs::Installed())
{
    Dialogs::Install(this);
}

TScriptedDialogs::~TScriptedDialogs()
{
    Dialogs::Install(m_previous);
}

void TScriptedDialogs::addAnswer(int modalResult)
{
    m_answers.enqueue(modalResult);
}

void TScriptedDialogs::addAnswers(std::initializer_list<int> modalResults)
{
    for (int result : modalResults)
        m_answers.enqueue(result);
}

void TScriptedDialogs::addFileName(const QString& path)
{
    m_fileNames.enqueue(path);
}

void TScriptedDialogs::addFileCancel()
{
    m_fileNames.enqueue(std::nullopt);
}

void TScriptedDialogs::addPassword(const QString& password)
{
    m_passwordAnswers.enqueue(password);
}

void TScriptedDialogs::addPasswordCancel()
{
    m_passwordAnswers.enqueue(std::nullopt);
}

void TScriptedDialogs::addPrintToFile(const QString& path)
{
    m_printFiles.enqueue(path);
}

void TScriptedDialogs::addPrintCancel()
{
    m_printFiles.enqueue(std::nullopt);
}

void TScriptedDialogs::setResponder(Responder responder)
{
    m_responder = std::move(responder);
}

QStringList TScriptedDialogs::texts() const
{
    QStringList result;
    for (const auto& message : m_messages)
        result << message.text;
    return result;
}

void TScriptedDialogs::clear()
{
    m_answers.clear();
    m_fileNames.clear();
    m_passwordAnswers.clear();
    m_printFiles.clear();
    m_messages.clear();
    m_files.clear();
    m_passwords.clear();
}

namespace {

bool offers(TMsgDlgButtons buttons, int answer)
{
    switch (answer) {
    case mrOk: return buttons & mbOK;
    case mrCancel: return buttons & mbCancel;
    case mrAbort: return buttons & mbAbort;
    case mrRetry: return buttons & mbRetry;
    case mrIgnore: return buttons & mbIgnore;
    case mrYes: return buttons & mbYes;
    case mrNo: return buttons & mbNo;
    }
    return false;
}

} // namespace

int TScriptedDialogs::defaultAnswer(TMsgDlgButtons buttons)
{
    if (buttons == 0 || (buttons & mbOK))
        return mrOk;
    if (buttons & mbCancel)
        return mrCancel;
    if (buttons & mbNo)
        return mrNo;
    if (buttons & mbYes)
        return mrYes;
    if (buttons & mbAbort)
        return mrAbort;
    if (buttons & mbRetry)
        return mrRetry;
    return mrIgnore;
}

int TScriptedDialogs::MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons)
{
    int answer;
    if (buttons == mbOK || buttons == 0)
        answer = mrOk;
    else if (!m_answers.isEmpty())
        answer = m_answers.dequeue();
    else if (m_responder)
        answer = m_responder(text, type, buttons);
    else
        answer = defaultAnswer(buttons);
    if (buttons != 0 && !offers(buttons, answer))
        qWarning() << "scripted answer" << answer << "is not among the buttons offered for" << text;
    m_messages.append({text, type, buttons, answer});
    return answer;
}

bool TScriptedDialogs::answerFile(bool save, TFileDialogRequest& request)
{
    m_files.append({save, request});
    if (m_fileNames.isEmpty())
        return false;
    const auto answer = m_fileNames.dequeue();
    if (!answer)
        return false;
    request.fileName = *answer;
    return true;
}

bool TScriptedDialogs::OpenFile(TFileDialogRequest& request)
{
    return answerFile(false, request);
}

bool TScriptedDialogs::SaveFile(TFileDialogRequest& request)
{
    return answerFile(true, request);
}

bool TScriptedDialogs::Password(const QString& caption, const QString& prompt, QString& password)
{
    m_passwords.append({caption, prompt});
    if (m_passwordAnswers.isEmpty())
        return false;
    const auto answer = m_passwordAnswers.dequeue();
    if (!answer)
        return false;
    password = *answer;
    return true;
}

bool TScriptedDialogs::PrintSetup(QPrinter& printer)
{
    if (m_printFiles.isEmpty())
        return false;
    const auto answer = m_printFiles.dequeue();
    if (!answer)
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(*answer);
    return true;
}
