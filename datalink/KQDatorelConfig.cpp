#include "datalink/KQDatorelConfig.h"

#include "datalink/KConfigureProgress.h"
#include "datalink/KQStatusPanel.h"
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/files/RegularFile.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <functional>

namespace {

constexpr char Separator = '\t';
const QByteArray LineEnd = QByteArrayLiteral("\r\n");

// The file name shown in the progress window: the text after the last folder
// separator, nothing when the name has no folder.
QString ShownFileName(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return slash < 0 ? QString() : path.mid(slash + 1);
}

// One field of a record as file bytes. A line break inside it would split the
// record, so it is written as a blank.
QByteArray Field(const QString& text)
{
    QByteArray bytes = text.toLatin1();
    for (char& c : bytes)
        if (c == '\r' || c == '\n')
            c = ' ';
    return bytes;
}

// Puts the remembered status text back when it goes out of scope.
class TStatusRestorer {
public:
    explicit TStatusRestorer(std::function<void()> restore) : restore(std::move(restore)) { }
    ~TStatusRestorer() { restore(); }
    TStatusRestorer(const TStatusRestorer&) = delete;
    TStatusRestorer& operator=(const TStatusRestorer&) = delete;

private:
    std::function<void()> restore;
};

} // namespace

TKQDatorelConfig::TKQDatorelConfig(QObject* owner)
    : QObject(owner), statusPanel(std::make_unique<TKQStatusPanel>(this))
{
}

TKQDatorelConfig::~TKQDatorelConfig() = default;

void TKQDatorelConfig::SetStatusText(const QString& text)
{
    savedStatusText = statusPanel->Text();
    statusPanel->SetText(text);
}

void TKQDatorelConfig::RestoreStatusText()
{
    statusPanel->SetText(savedStatusText);
}

std::unique_ptr<TKConfigProgress> TKQDatorelConfig::ShowProgress(int maximum)
{
    auto progress = std::make_unique<TKConfigProgress>(Dialogs::ParentWidget());
    progress->Setup(maximum, ShownFileName(fileName));
    progress->show();
    return progress;
}

// ---- saving ----------------------------------------------------------------------

void TKQDatorelConfig::SaveToFile(const QString& name)
{
    fileName = name;
    // The values go to a new file beside the old one, which replaces the old one
    // only once every value has been read and written.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));

    SetStatusText(QStringLiteral("Writing configuration values..."));
    const TStatusRestorer restorer([this] { RestoreStatusText(); });
    std::unique_ptr<TKConfigProgress> progress;
    if (device)
        progress = ShowProgress(int(device->MutableItemList().size()));
    WriteValues(file, progress.get());
    progress.reset();
    if (!file.commit())
        throw EInOutError(QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, file.errorString()));
}

void TKQDatorelConfig::WriteValues(QSaveFile& file, TKConfigProgress* progress)
{
    if (!device)
        return;
    const QStringList list = device->MutableItemList();
    for (const QString& entry : list) {
        // A blank entry names no item and could not be read back.
        if (!entry.isEmpty()) {
            TKQItem* item = device->GetItem(entry);
            const QString itemName = item->ItemName();
            QString text;
            try {
                text = VariantToText(item->Value());
            } catch (...) {
                device->ReleaseItem(itemName);
                throw;
            }
            device->ReleaseItem(itemName);
            file.write(Field(itemName) + Separator + Field(text) + LineEnd);
        }
        if (progress)
            progress->Step();
    }
}

// ---- loading ---------------------------------------------------------------------

void TKQDatorelConfig::LoadFromFile(const QString& name)
{
    fileName = name;
    QStringList names;
    QStringList values;
    Parse(names, values);
    if (!device)
        return;
    const std::unique_ptr<TKConfigProgress> progress = ShowProgress(int(values.size()) + 2);
    SetStatusText(QStringLiteral("Configuring control..."));
    ConfigureControl(names, values, *progress);
}

void TKQDatorelConfig::ConfigureControl(const QStringList& names, const QStringList& values,
                                        TKConfigProgress& progress)
{
    device->Shutdown();
    for (qsizetype record = 0; record < names.size(); ++record) {
        const QString& name = names[record];
        TKQItem* item = device->GetItem(name);
        const QString itemName = item->ItemName();
        try {
            item->SetValueAcknowledged(values[record]);
        } catch (const std::exception&) {
            const int answer = MessageDlg(QStringLiteral("Configuration Error: ") + name
                                              + QStringLiteral(" does not exist or the value being loaded is invalid."),
                                          TMsgDlgType::mtWarning, mbCancel | mbIgnore);
            if (answer != mrIgnore) {
                device->ReleaseItem(itemName);
                throw;
            }
        }
        device->ReleaseItem(itemName);
        progress.Step();
    }
    Timing::Pause(Timing::ConfigLoadPausePerValue * int(values.size()));
    device->SaveValues();
    progress.Step();
    RestoreStatusText();
    progress.Step();
}

void TKQDatorelConfig::Parse(QStringList& names, QStringList& values)
{
    names.clear();
    values.clear();
    QString why;
    const std::optional<QByteArray> text = RegularFile::Read(fileName, RegularFile::MaxValuesFileBytes, &why);
    if (!text) {
        why[0] = why[0].toUpper(); // a sentence of its own
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, why));
    }
    SetStatusText(QStringLiteral("Parsing configuration file..."));
    const TStatusRestorer restorer([this] { RestoreStatusText(); });

    QList<QByteArray> lines = text->split('\n');
    if (text->endsWith('\n'))
        lines.removeLast();
    for (int lineNumber = 1; lineNumber <= lines.size(); ++lineNumber) {
        QByteArray& line = lines[lineNumber - 1];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        // "NAME<TAB>" is an empty value, as an emptied text item is saved.
        const qsizetype tab = line.indexOf(Separator);
        if (tab <= 0)
            throw EConfigSyntaxError(QStringLiteral("Syntax error in configuration file %1; line %2.")
                                         .arg(fileName, QString::number(lineNumber)));
        names << QString::fromLatin1(line.left(tab));
        values << QString::fromLatin1(line.mid(tab + 1, MaxValueLength));
    }
}
