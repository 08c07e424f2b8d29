#include "platform/dialogs/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct ButtonMapping {
    TMsgDlgBtn button;
    QMessageBox::StandardButton standard;
    TModalResult result;
};

// Buttons in the order they appear.
constexpr ButtonMapping buttonTable[] = {
    {mbYes, QMessageBox::Yes, mrYes},
    {mbNo, QMessageBox::No, mrNo},
    {mbOK, QMessageBox::Ok, mrOk},
    {mbCancel, QMessageBox::Cancel, mrCancel},
    {mbAbort, QMessageBox::Abort, mrAbort},
    {mbRetry, QMessageBox::Retry, mrRetry},
    {mbIgnore, QMessageBox::Ignore, mrIgnore},
};

QMessageBox::StandardButton StandardButton(TMsgDlgBtn button)
{
    for (const auto& entry : buttonTable) {
        if (entry.button == button)
            return entry.standard;
    }
    return QMessageBox::NoButton;
}

TMsgDlgBtn FirstOffered(TMsgDlgButtons buttons, std::initializer_list<TMsgDlgBtn> candidates)
{
    for (TMsgDlgBtn candidate : candidates) {
        if (buttons & candidate)
            return candidate;
    }
    return TMsgDlgBtn(0);
}

QString Caption(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning: return QStringLiteral("Warning");
    case TMsgDlgType::mtError: return QStringLiteral("Error");
    case TMsgDlgType::mtInformation: return QStringLiteral("Information");
    case TMsgDlgType::mtConfirmation: return QStringLiteral("Confirm");
    case TMsgDlgType::mtCustom: break;
    }
    return QApplication::applicationDisplayName();
}

QMessageBox::Icon Icon(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning: return QMessageBox::Warning;
    case TMsgDlgType::mtError: return QMessageBox::Critical;
    case TMsgDlgType::mtInformation: return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation: return QMessageBox::Question;
    case TMsgDlgType::mtCustom: break;
    }
    return QMessageBox::NoIcon;
}

void PrepareFileDialog(QFileDialog& dialog, const TFileDialogRequest& request)
{
    dialog.setWindowTitle(request.title);
    if (!request.initialDir.isEmpty())
        dialog.setDirectory(request.initialDir);
    if (!request.filters.isEmpty()) {
        dialog.setNameFilters(request.filters);
        dialog.selectNameFilter(request.filters.value(request.filterIndex - 1, request.filters.constFirst()));
    }
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
}

bool RunFileDialog(QFileDialog& dialog, TFileDialogRequest& request)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    request.fileName = dialog.selectedFiles().constFirst();
    return true;
}

// Keys of a list's search box: Enter and Down go into the list (on its first
// item shown) instead of accepting the dialog with nothing chosen.
class TSearchKeys final : public QObject {
public:
    explicit TSearchKeys(QListWidget* list) : list(list) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return QObject::eventFilter(watched, event);
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Down)
            return QObject::eventFilter(watched, event);
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept(); // the key comes here, not to the dialog's default button
            return true;
        }
        for (int row = 0; row < list->count(); ++row) {
            if (!list->item(row)->isHidden()) {
                if (list->currentItem() == nullptr || list->currentItem()->isHidden())
                    list->setCurrentRow(row);
                break;
            }
        }
        list->setFocus();
        return true;
    }

private:
    QListWidget* list;
};

class TInteractiveDialogs final : public TDialogService {
public:
    int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override
    {
        if (buttons == 0)
            buttons = mbOK;

        QMessageBox box(Icon(type), Caption(type), text, QMessageBox::NoButton, Dialogs::ParentWidget());
        // The icon says what kind of message this is; a screen reader says it in words.
        if (auto* icon = box.findChild<QWidget*>(QStringLiteral("qt_msgboxex_icon_label")))
            icon->setAccessibleName(Caption(type));
        for (const auto& entry : buttonTable) {
            if (buttons & entry.button)
                box.addButton(entry.standard);
        }
        // Enter takes OK, else Yes, else Retry; Escape takes Cancel, else No, else OK.
        if (TMsgDlgBtn def = FirstOffered(buttons, {mbOK, mbYes, mbRetry}))
            box.setDefaultButton(StandardButton(def));
        if (TMsgDlgBtn esc = FirstOffered(buttons, {mbCancel, mbNo, mbOK}))
            box.setEscapeButton(StandardButton(esc));

        box.exec();
        const auto clicked = box.standardButton(box.clickedButton());
        for (const auto& entry : buttonTable) {
            if (entry.standard == clicked)
                return entry.result;
        }
        return mrCancel;
    }

    bool OpenFile(TFileDialogRequest& request) override
    {
        QFileDialog dialog(Dialogs::ParentWidget());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        PrepareFileDialog(dialog, request);
        return RunFileDialog(dialog, request);
    }

    bool SaveFile(TFileDialogRequest& request) override
    {
        QFileDialog dialog(Dialogs::ParentWidget());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        PrepareFileDialog(dialog, request);
        return RunFileDialog(dialog, request);
    }

    bool Password(const QString& caption, const QString& prompt, QString& password) override
    {
        if (passwordPrompt)
            return passwordPrompt(caption, prompt, password);
        bool ok = false;
        const QString text = QInputDialog::getText(Dialogs::ParentWidget(), caption, prompt,
                                                   QLineEdit::Password, QString(), &ok);
        if (ok)
            password = text;
        return ok;
    }

    bool PrintSetup(QPrinter& printer) override
    {
        QPrintDialog dialog(&printer, Dialogs::ParentWidget());
        return dialog.exec() == QDialog::Accepted;
    }

    bool Choose(TChoiceRequest& request) override
    {
        QDialog dialog(Dialogs::ParentWidget());
        dialog.setWindowTitle(request.title);
        auto* column = new QVBoxLayout(&dialog);
        auto* prompt = new QLabel(request.prompt, &dialog);
        auto* search = new QLineEdit(&dialog);
        search->setPlaceholderText(QStringLiteral("Search"));
        search->setAccessibleName(QStringLiteral("Search"));
        search->setClearButtonEnabled(true);
        prompt->setBuddy(search);
        auto* list = new QListWidget(&dialog);
        list->setAccessibleName(request.prompt);
        list->setSelectionMode(request.most > 1 ? QAbstractItemView::ExtendedSelection
                                                : QAbstractItemView::SingleSelection);
        list->addItems(request.choices);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        column->addWidget(prompt);
        column->addWidget(search);
        column->addWidget(list, 1);
        column->addWidget(buttons);
        dialog.resize(480, 420);
        QObject::connect(search, &QLineEdit::textChanged, list, [list](const QString& text) {
            const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
            for (int row = 0; row < list->count(); ++row) {
                QListWidgetItem* item = list->item(row);
                item->setHidden(!std::all_of(words.begin(), words.end(), [item](const QString& word) {
                    return item->text().contains(word, Qt::CaseInsensitive);
                }));
            }
        });
        // Enter or Down in the search goes into the list, on its first item shown.
        TSearchKeys keys(list);
        search->installEventFilter(&keys);
        QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        request.chosen.clear();
        for (int row = 0; row < list->count() && request.chosen.size() < request.most; ++row) {
            if (list->item(row)->isSelected() && !list->item(row)->isHidden())
                request.chosen << row;
        }
        return !request.chosen.isEmpty();
    }

    TPasswordPrompt passwordPrompt;
};

TInteractiveDialogs& Interactive()
{
    static TInteractiveDialogs service;
    return service;
}

TDialogService* installed = nullptr;
QPointer<QWidget> parentWidget;

} // namespace

namespace Dialogs {

TDialogService& Current()
{
    return installed ? *installed : Interactive();
}

void SetPasswordPrompt(TPasswordPrompt prompt)
{
    Interactive().passwordPrompt = std::move(prompt);
}

void Install(TDialogService* service)
{
    installed = service;
}

TDialogService* Installed()
{
    return installed;
}

void SetParentWidget(QWidget* parent)
{
    parentWidget = parent;
}

QWidget* ParentWidget()
{
    return parentWidget.data();
}

} // namespace Dialogs

int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons)
{
    return Dialogs::Current().MessageDlg(text, type, buttons);
}

void ShowMessage(const QString& text)
{
    Dialogs::Current().MessageDlg(text, TMsgDlgType::mtInformation, mbOK);
}
