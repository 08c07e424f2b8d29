#include "tests/support/ScriptedDialogs.h"

#include <QPrinter>

#include <utility>

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
    m_choiceAnswers.clear();
    m_choices.clear();
}

int TScriptedDialogs::MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons)
{
    // Without a script the non-committal choice, in this order.
    static constexpr std::pair<unsigned, int> Defaults[] = {
        {mbOK, mrOk}, {mbCancel, mrCancel}, {mbNo, mrNo}, {mbYes, mrYes}, {mbAbort, mrAbort}, {mbRetry, mrRetry}};
    int answer = mrIgnore;
    if (buttons == mbOK || buttons == 0)
        answer = mrOk;
    else if (!m_answers.isEmpty())
        answer = m_answers.dequeue();
    else if (m_responder)
        answer = m_responder(text, type, buttons);
    else
        for (const auto& [button, result] : Defaults)
            if (buttons & button) {
                answer = result;
                break;
            }
    m_messages.append({text, type});
    return answer;
}

bool TScriptedDialogs::Take(Script& script, QString& answer)
{
    if (script.isEmpty())
        return false;
    const std::optional<QString> next = script.dequeue();
    if (next)
        answer = *next;
    return next.has_value();
}

bool TScriptedDialogs::OpenFile(TFileDialogRequest& request)
{
    m_files.append(request);
    return Take(m_fileNames, request.fileName);
}

bool TScriptedDialogs::SaveFile(TFileDialogRequest& request)
{
    return OpenFile(request);
}

bool TScriptedDialogs::Password(const QString&, const QString& prompt, QString& password)
{
    m_passwords.append(prompt);
    return Take(m_passwordAnswers, password);
}

bool TScriptedDialogs::PrintSetup(QPrinter& printer)
{
    QString path;
    if (!Take(m_printFiles, path))
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return true;
}

bool TScriptedDialogs::Choose(TChoiceRequest& request)
{
    m_choices.append(request);
    const std::optional<QStringList> texts = m_choiceAnswers.isEmpty() ? std::nullopt : m_choiceAnswers.dequeue();
    if (!texts)
        return false;
    request.chosen.clear();
    for (const QString& text : *texts) {
        const int index = int(request.choices.indexOf(text));
        if (index < 0)
            qFatal("\"%s\" is not offered", qPrintable(text));
        request.chosen << index;
    }
    return !request.chosen.isEmpty();
}
