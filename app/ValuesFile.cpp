#include "app/ValuesFile.h"

#include "app/StatusPoll.h"
#include "datalink/KQDatorelConfig.h"
#include "datalink/KQDatorelControl.h"
#include "platform/Exception.h"
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/files/DataFolders.h"

#include <QTimer>
#include <QWidget>

#include <optional>

namespace {

const QString ConfigurationIdItem = QStringLiteral("Configuration ID");
const QString RangeCheckingItem = QStringLiteral("Enable RG Blocks");

} // namespace

QStringList TValuesFile::OpenFilters()
{
    return {QStringLiteral("4812 Configuration Files (*.cfg)"), QStringLiteral("Network Definition Files (*.net)"),
            QStringLiteral("All Files (*)")};
}

TValuesFile::TValuesFile(QWidget* window, QWidget* toolBar, TKQDatorelControl* device, TKQDatorelConfig* config,
                         TStatusPoll& poll, std::function<void()> normalStatus)
    : window(window), toolBar(toolBar), device(device), config(config), poll(poll),
      normalStatus(std::move(normalStatus))
{
}

QString TValuesFile::ExtractName(const QString& path)
{
    QString name = path;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    int separator = name.lastIndexOf(QLatin1Char('\\'));
    if (separator < 0)
        separator = name.lastIndexOf(QLatin1Char('/'));
    return separator < 0 ? name : name.mid(separator + 1);
}

void TValuesFile::EnableRangeChecking(bool enable)
{
    try {
        TKQHeldItem item(device, RangeCheckingItem);
        item->SetValue(enable);
        if (enable) {
            Timing::Pause(Timing::RangeCheckSettlePause);
            item->SetValue(true);
        }
    } catch (const std::exception&) {
        // The load's own messages tell the operator what went wrong.
    }
}

bool TValuesFile::ControlInLoadFromFileState()
{
    try {
        TKQHeldItem item(device, RangeCheckingItem);
        return item->Value().toString() != QLatin1String("1");
    } catch (const std::exception&) {
        return true;
    }
}

namespace {

// The control's "Configuration ID" as a proposed file name; empty when the
// item has no text, nullopt when it cannot be had.
std::optional<QString> ConfigurationId(TKQDevice* device)
{
    try {
        TKQHeldItem item(device, ConfigurationIdItem);
        return item->Value().toString();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void SetConfigurationId(TKQDevice* device, const QString& name)
{
    TKQHeldItem item(device, ConfigurationIdItem);
    item->SetValue(name);
}

} // namespace

void TValuesFile::Save1Click()
{
    if (MessageDlg(QStringLiteral("Saving values to file may take up to 5 minutes during which interface will be "
                                  "sluggish and the control should not be re-initialized.  Save anyway?"),
                   TMsgDlgType::mtConfirmation, mbYes | mbCancel)
        != mrYes)
        return;
    const std::optional<QString> id = ConfigurationId(device);
    if (id && !id->isEmpty())
        lastSaveFileName = *id + QStringLiteral(".cfg");
    TFileDialogRequest request;
    request.title = QStringLiteral("Save configuration values");
    request.defaultSuffix = QStringLiteral("cfg");
    request.filters = {QStringLiteral("4812 Configuration File (*.cfg)"), QStringLiteral("All Files (*)")};
    request.initialDir = DataFolders::Values();
    request.fileName = lastSaveFileName.isEmpty() ? QStringLiteral("4812.cfg") : lastSaveFileName;
    if (!Dialogs::Current().SaveFile(request))
        return;
    lastSaveFileName = request.fileName;

    window->setCursor(Qt::WaitCursor);
    poll.DisablePing();
    try {
        config->SaveToFile(request.fileName);
        const QString name = ExtractName(request.fileName);
        if (!name.isEmpty()) {
            SetConfigurationId(device, name);
            MessageDlg(request.fileName + QStringLiteral(" file save complete."), TMsgDlgType::mtInformation, mbOK);
        }
    } catch (const std::exception&) {
        poll.SetPanelText(1, QStringLiteral("Error collecting mutable values"));
        MessageDlg(QStringLiteral("Save to file failed."), TMsgDlgType::mtError, mbOK);
        poll.SetPanelText(0, QStringLiteral("Active"));
        poll.Timer()->setInterval(Timing::StatusPollAfterFailedSave);
    }
    poll.Start();
    window->unsetCursor();
}

void TValuesFile::Loadfromfile1Click()
{
    try {
        poll.WaitTillPingDone();
        if (!(device->ControlStatus() && device->IsRunMode())) {
            MessageDlg(QStringLiteral("Control must be in program mode for this command."), TMsgDlgType::mtInformation,
                       mbOK);
            return;
        }
    } catch (const std::exception& error) {
        ShowException(error);
        return;
    }
    if (MessageDlg(QStringLiteral("Loading values from file may take up to 5 minutes during which time the interface "
                                  "will be disabled.  Load anyway?"),
                   TMsgDlgType::mtConfirmation, mbYes | mbCancel)
        != mrYes)
        return;
    if (const std::optional<QString> id = ConfigurationId(device))
        lastOpenFileName = (id->isEmpty() ? QStringLiteral("Dflt Config ID") : *id) + QStringLiteral(".cfg");
    TFileDialogRequest request;
    request.defaultSuffix = QStringLiteral("cfg");
    request.filters = OpenFilters();
    request.filterIndex = ConfigurationFilter;
    request.initialDir = DataFolders::Values();
    request.title = QStringLiteral("Select 4812 configuration file");
    request.fileName = lastOpenFileName;
    if (!Dialogs::Current().OpenFile(request))
        return;
    lastOpenFileName = request.fileName;

    poll.DisablePing();
    window->setCursor(Qt::WaitCursor);
    toolBar->setEnabled(false);
    poll.SetPanelText(1, QStringLiteral("Please Wait..."));
    try {
        window->setEnabled(false);
        EnableRangeChecking(false);
        config->LoadFromFile(request.fileName);
        const QString name = ExtractName(request.fileName);
        if (!name.isEmpty())
            SetConfigurationId(device, name);
        window->setEnabled(true);
        // A file named only by its extension gives no configuration name and,
        // as when saving, no message; the window is usable again all the same.
        if (!name.isEmpty())
            MessageDlg(request.fileName + QStringLiteral(" file load complete."), TMsgDlgType::mtInformation, mbOK);
        normalStatus();
    } catch (const std::exception&) {
        poll.SetPanelText(1, QStringLiteral("Error loading multable values"));
        MessageDlg(QStringLiteral("Load from file failed! Verify file compatibility."), TMsgDlgType::mtError, mbOK);
        window->setEnabled(true);
        normalStatus();
    }
    EnableRangeChecking(true);
    poll.Start();
}
