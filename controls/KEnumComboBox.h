// A drop-down list of texts that each stand for an integer code: choosing a
// text sets the code, setting the code shows its text.
#pragma once

#include "controls/KAccessible.h"

#include <QComboBox>
#include <QString>
#include <QVariantList>

#include <vector>

struct TKEnumObject {
    QString Text;
    qint32 Value = 0;
};

// The entries in order. A form stores them as one list of alternating texts and
// whole numbers: ["Not Used", 1, "Generator Breaker Position", 2].
class TKEnumObjectList {
public:
    qint32 Count() const { return qint32(entries.size()); }
    bool IsEmpty() const { return entries.empty(); }
    const TKEnumObject& Get(qint32 index) const { return entries.at(size_t(index)); }
    void Add(const QString& text, qint32 value) { entries.push_back({text, value}); }
    void Clear() { entries.clear(); }
    auto begin() const { return entries.begin(); }
    auto end() const { return entries.end(); }

    // Replaces the entries by the pairs of a stored list. A list that is not
    // made of text and whole-number pairs is a programming error (EAssertionFailed).
    void ReadEnumObjects(const QVariantList& stored);
    // The stored form, in list order; empty for an empty list.
    QVariantList WriteEnumObjects() const;

private:
    std::vector<TKEnumObject> entries;
};

class TKEnumComboBox : public QComboBox, public TKAccessibleControl {
    Q_OBJECT
    Q_PROPERTY(int DropDownCount READ DropDownCount WRITE SetDropDownCount)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(int EnumValue READ EnumValue WRITE SetEnumValue)
    Q_PROPERTY(QVariantList EnumList READ StoredEnumList WRITE SetStoredEnumList)
public:
    static constexpr int DefaultWidth = 150;
    static constexpr int DefaultHeight = 21;

    Q_INVOKABLE explicit TKEnumComboBox(QWidget* parent = nullptr);

    // Rows the open list shows at once.
    int DropDownCount() const { return maxVisibleItems(); }
    void SetDropDownCount(int count) { setMaxVisibleItems(count); }

    int EnumValue() const { return enumValue; }
    // Stores the code and shows the text of the last entry that has it; a code
    // without an entry leaves the text shown as it was.
    virtual void SetEnumValue(int value);

    const TKEnumObjectList& EnumList() const { return enumList; }
    // The list's texts become the items; an empty list leaves the items as they were.
    void SetEnumList(const TKEnumObjectList& list);
    QVariantList StoredEnumList() const { return enumList.WriteEnumObjects(); }
    void SetStoredEnumList(const QVariantList& stored);

    QString AccessibleFallbackName() const override { return objectName(); }
    QString AccessibleValue() const override { return currentText(); }
    QAccessible::Role AccessibleRole() const override { return QAccessible::ComboBox; }
    QStringList AccessibleActions() const override;
    void DoAccessibleAction(const QString& action) override;
    QWidget* AccessibleEntries() const override;

    QSize sizeHint() const override;

signals:
    // The user chose a text.
    void OnChange(QObject* sender);

protected:
    // Shows the code's text without writing it anywhere.
    void ShowEnumValue(int value);
    // The device has confirmed a choice: the user may choose again.
    void Unlock() { locked = false; }

private:
    // The user's choice: it holds (further choices snap back) until unlocked.
    void Chosen();

    TKEnumObjectList enumList;
    int enumValue = 0;
    int lockedIndex = -1;
    bool locked = false;
};

// Makes the unit's classes known to the form loader.
void RegisterKEnumComboBoxClasses();
