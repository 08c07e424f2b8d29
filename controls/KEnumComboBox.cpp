#include "controls/KEnumComboBox.h"

#include "controls/FormClasses.h"
#include "platform/Assert.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QSignalBlocker>

#include <cmath>
#include <limits>

namespace {

bool IsCode(const QVariant& element)
{
    bool ok = false;
    const double number = element.toDouble(&ok);
    return ok && element.typeId() != QMetaType::QString && element.typeId() != QMetaType::Bool
           && number == std::floor(number) && number >= std::numeric_limits<qint32>::min()
           && number <= std::numeric_limits<qint32>::max();
}

} // namespace

// ---- list ------------------------------------------------------------------------------

void TKEnumObjectList::ReadEnumObjects(const QVariantList& stored)
{
    Assert(stored.size() % 2 == 0, "TKEnumObjectList.ReadEnumObjects: a text without its value");
    std::vector<TKEnumObject> read;
    for (qsizetype i = 0; i < stored.size(); i += 2) {
        Assert(stored[i].typeId() == QMetaType::QString,
               QStringLiteral("TKEnumObjectList.ReadEnumObjects: element %1 is not a text").arg(i));
        Assert(IsCode(stored[i + 1]),
               QStringLiteral("TKEnumObjectList.ReadEnumObjects: element %1 is not a whole number").arg(i + 1));
        read.push_back({stored[i].toString(), qint32(stored[i + 1].toDouble())});
    }
    entries = std::move(read);
}

QVariantList TKEnumObjectList::WriteEnumObjects() const
{
    QVariantList stored;
    for (const TKEnumObject& entry : entries)
        stored << entry.Text << entry.Value;
    return stored;
}

// ---- combo box -------------------------------------------------------------------------

TKEnumComboBox::TKEnumComboBox(QWidget* parent) : QComboBox(parent)
{
    InstallAccessibility();
    resize(DefaultWidth, QComboBox::sizeHint().height());
    connect(this, &QComboBox::activated, this, &TKEnumComboBox::Chosen);
}

QSize TKEnumComboBox::sizeHint() const
{
    // Wide enough for the longest text, never narrower than a new box.
    const QSize natural = QComboBox::sizeHint();
    return QSize(std::max(natural.width(), DefaultWidth), natural.height());
}

void TKEnumComboBox::SetEnumList(const TKEnumObjectList& list)
{
    enumList = list;
    if (enumList.IsEmpty())
        return;
    const QSignalBlocker quiet(this);
    QStringList texts;
    for (const TKEnumObject& entry : enumList)
        texts << entry.Text;
    clear();
    addItems(texts);
    setCurrentIndex(-1);
    // A code set before the list shows its text now.
    ShowEnumValue(enumValue);
    updateGeometry();
}

void TKEnumComboBox::SetStoredEnumList(const QVariantList& stored)
{
    TKEnumObjectList list;
    list.ReadEnumObjects(stored);
    SetEnumList(list);
}

void TKEnumComboBox::SetEnumValue(int value)
{
    ShowEnumValue(value);
}

void TKEnumComboBox::ShowEnumValue(int value)
{
    enumValue = value;
    int shown = -1;
    for (qint32 i = 0; i < enumList.Count(); ++i)
        if (enumList.Get(i).Value == value)
            shown = i;
    if (shown >= 0 && shown < count())
        setCurrentIndex(shown);
}

void TKEnumComboBox::Chosen()
{
    if (locked) {
        if (currentIndex() != lockedIndex)
            setCurrentIndex(lockedIndex);
        return;
    }
    const QString chosen = currentText();
    bool matched = false;
    for (const TKEnumObject& entry : enumList) {
        if (entry.Text != chosen)
            continue;
        SetEnumValue(entry.Value);
        locked = true;
        lockedIndex = currentIndex();
        matched = true;
    }
    if (!matched)
        ShowEnumValue(enumValue);
    emit OnChange(this);
}

void RegisterKEnumComboBoxClasses()
{
    FormClasses::Register<TKEnumComboBox>();
}

// ---- assistive technology: named by its label (not by its text, its value);
// pressing it opens the list

QStringList TKEnumComboBox::AccessibleActions() const
{
    return {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::showMenuAction()};
}

void TKEnumComboBox::DoAccessibleAction(const QString&)
{
    showPopup();
}

QWidget* TKEnumComboBox::AccessibleEntries() const
{
    return view();
}
