#include "app/ConfigurationCheck.h"

#include "app/Errors.h"
#include "app/Rqv_program.h"
#include "controls/KQCheckBox.h"
#include "controls/KQEnumComboBox.h"
#include "controls/KQSpinEdit.h"
#include "controls/KQStringEdit.h"
#include "datalink/KQDatorelControl.h"
#include "datalink/KQItem.h"
#include "platform/Exception.h"
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"

#include <QApplication>
#include <QCursor>
#include <QTimer>

namespace {

const QString TestItem = QStringLiteral("KXSPL.TST_CONFIG.IN");
const QString ErrorsFound = QStringLiteral("CONF_CHK_1.C_ERR_SW.B_SW");
const QString Passed = QStringLiteral("CONF_CHK_1.N_ERR_DLY.DELAY");
const QString EventCount = QStringLiteral("CONF_CHK_1.ERRORS.NUM_EVENTS");
const QString MessagePrefix = QStringLiteral("CONF_CHK_1.ERRORS.MSG_O_");
const QString NumberPrefix = QStringLiteral("CONF_CHK_1.ERRORS.EV_N_");
// Lines the error list takes before the report stops.
constexpr int MostLines = 200;

QVariant Read(TKQDevice* device, const QString& name)
{
    TKQHeldItem item(device, name);
    return item->Value();
}

void Write(TKQDevice* device, const QString& name, bool value)
{
    TKQHeldItem item(device, name);
    item->SetValue(value);
}

} // namespace

TConfigurationCheck::TConfigurationCheck(TCheckHost& host, QTimer* timer, QObject* parent)
    : QObject(parent), host(host), timer(timer)
{
    timer->setSingleShot(false);
    connect(timer, &QTimer::timeout, this, &TConfigurationCheck::CCheckTimerTimer);
}

TfErrors* TConfigurationCheck::ErrorList() const
{
    return fErrors;
}

void TConfigurationCheck::Start()
{
    host.SetCheckStatus(QStringLiteral("Control is checking for configuration errors..."));
    timer->setInterval(Timing::ConfigCheckFirstPoll);
    CCheckElapsed = 0;
    timer->start();
}

void TConfigurationCheck::CCheckTimerTimer()
{
    timer->stop();
    bool finished = true;
    try {
        TKQDevice* device = host.ControlDevice();
        if (VariantToBool(Read(device, ErrorsFound))) {
            ReportCCheckErrors();
        } else if (VariantToBool(Read(device, Passed))) {
            if (fErrors)
                fErrors->close();
            PassCCheck();
        } else if (VariantToBool(Read(device, TestItem))) {
            finished = false;
        } else {
            MessageDlg(QStringLiteral("Completeness Check has been aborted by control"), TMsgDlgType::mtWarning, mbOK);
            host.RestartOtherAdvises();
        }
    } catch (const std::exception&) {
        MessageDlg(QStringLiteral("An error occurred during the error check.  Please try again."),
                   TMsgDlgType::mtWarning, mbOK);
        host.RestartOtherAdvises();
    }
    if (finished)
        return;
    CCheckElapsed += timer->interval();
    if (CCheckElapsed > Timing::ConfigCheckTimeout) {
        MessageDlg(QStringLiteral("Too much time has elapsed for this completeness check.  You may try again."),
                   TMsgDlgType::mtWarning, mbOK);
        ReportCCheckErrors();
        return;
    }
    timer->setInterval(Timing::ConfigCheckPollInterval);
    timer->start();
}

void TConfigurationCheck::EndCheck()
{
    try {
        Write(host.ControlDevice(), TestItem, false);
    } catch (const std::exception&) {
        // The control has ended the check or cannot be reached: the next poll tells.
    }
}

void TConfigurationCheck::PassCCheck()
{
    EndCheck();
    if (MessageDlg(QStringLiteral("Program Configuration has passed the error check.  Re-Initialize Control?"),
                   TMsgDlgType::mtConfirmation, mbYes | mbCancel)
        != mrYes) {
        host.RestartOtherAdvises();
        return;
    }
    try {
        host.ReinitializeControl();
    } catch (const std::exception& error) {
        ShowException(error);
        host.RestartOtherAdvises();
    }
}

void TConfigurationCheck::ReportCCheckErrors()
{
    EndCheck();
    if (fErrors) {
        fErrors->Clear();
    } else {
        fErrors = new TfErrors(QApplication::activeWindow());
        fErrors->OnBranch = [this](QObject* target) { Branch(target); };
        fErrors->CentreOnScreen();
    }
    try {
        TKQDevice* device = host.ControlDevice();
        bool ok = false;
        const int count = Read(device, EventCount).toString().trimmed().toInt(&ok);
        const int events = ok ? count : 0;
        int lines = 0;
        for (int i = 1; i <= events && lines <= MostLines; ++i) {
            const QString index = QString::number(i);
            const QString message = VariantToText(Read(device, MessagePrefix + index));
            const int number = Read(device, NumberPrefix + index).toString().trimmed().toInt();
            TFProgramMode* window = host.CheckedWindow();
            bool more = true;
            for (int occurrence = 1; more && window; ++occurrence) {
                QString suffix;
                more = false;
                QObject* target = window->GetAssociatedErrorObject(number, occurrence, suffix, more);
                fErrors->Add(message + suffix, target);
                if (++lines > MostLines) {
                    // The list stops here; the check still ends as every check does.
                    MessageDlg(QStringLiteral("Internal program error:  Too many errors."), TMsgDlgType::mtWarning,
                               mbOK);
                    break;
                }
            }
        }
        if (events > 0) {
            fErrors->show();
            fErrors->raise();
            fErrors->activateWindow();
        } else {
            MessageDlg(QStringLiteral("No errors found!"), TMsgDlgType::mtWarning, mbOK);
            fErrors->show();
        }
    } catch (const std::exception&) {
        MessageDlg(QStringLiteral("An error occurred while reporting configuration errors."), TMsgDlgType::mtWarning,
                   mbOK);
    }
    host.RestartOtherAdvises();
}

void TConfigurationCheck::Branch(QObject* target)
{
    TFProgramMode* window = host.CheckedWindow();
    if (!window) {
        QApplication::beep();
        return;
    }
    host.HoldStatusPoll(true);
    window->show();
    window->raise();
    window->activateWindow();
    if (target) {
        window->OpenPageOf(target);
        if (auto* control = qobject_cast<QWidget*>(target)) {
            const bool editing = control->inherits("TKQSpinEdit") || control->inherits("TKQEnumComboBox")
                                 || control->inherits("QCheckBox") || control->inherits("TKQStringEdit");
            if (editing && control->isVisible())
                control->setFocus();
            else if (!editing)
                QCursor::setPos(control->mapToGlobal(QPoint(control->width() / 2, control->height() / 2)));
        }
    }
    host.HoldStatusPoll(false);
}
