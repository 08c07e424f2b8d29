#include "app/Errors.h"

#include "platform/dialogs/Dialogs.h"

#include <QListWidget>
#include <QPushButton>

TfErrors::TfErrors(QWidget* parent) : TPlainForm(parent)
{
    LoadPlainForm(QStringLiteral("Errors"));
    ListBox1 = Part<QListWidget>(QStringLiteral("ListBox1"));
    BranchButton = Part<QPushButton>(QStringLiteral("BranchButton"));
    RemoveButton = Part<QPushButton>(QStringLiteral("RemoveButton"));
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TfErrors::ListBox1DblClick);
    connect(ListBox1, &QListWidget::itemActivated, this, &TfErrors::ListBox1DblClick);
    // The list fills a window the engineer may size.
    setMinimumSize(minimumSizeHint());
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(560, 300);
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
}

void TfErrors::Clear()
{
    ListBox1->clear();
    objects.clear();
    EnableButtons();
}

void TfErrors::Add(const QString& text, QObject* object)
{
    ListBox1->addItem(text);
    objects << QPointer<QObject>(object);
    EnableButtons();
}

int TfErrors::Count() const
{
    return ListBox1->count();
}

QString TfErrors::Line(int index) const
{
    return ListBox1->item(index)->text();
}

int TfErrors::Selected() const
{
    const int row = ListBox1->currentRow();
    if (row < 0 || !ListBox1->currentItem()->isSelected()) {
        MessageDlg(QStringLiteral("You must first make a selection"), TMsgDlgType::mtWarning, mbOK);
        return -1;
    }
    return row;
}

void TfErrors::EnableButtons()
{
    BranchButton->setEnabled(ListBox1->count() > 0);
    RemoveButton->setEnabled(ListBox1->count() > 0);
}

void TfErrors::RemoveButtonClick()
{
    const int row = Selected();
    if (row >= 0) {
        delete ListBox1->takeItem(row);
        objects.removeAt(row);
    }
    EnableButtons();
}

void TfErrors::BranchButtonClick()
{
    if (Selected() >= 0)
        ListBox1DblClick();
}

void TfErrors::ListBox1DblClick()
{
    const int row = ListBox1->currentRow();
    if (row >= 0 && row < objects.size() && OnBranch)
        OnBranch(objects[row]);
}
