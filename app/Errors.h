// The error list of the configuration check: one line per error the control
// found, each pointing at the page or control of the Program mode window to
// correct. A double click (or "Branch") goes there; "Remove" drops a line the
// engineer has dealt with. The window frees itself when closed.
#pragma once

#include "app/PlainForm.h"

#include <QList>
#include <QPointer>

#include <functional>

class QListWidget;
class QPushButton;

class TfErrors : public TPlainForm {
    Q_OBJECT
public:
    explicit TfErrors(QWidget* parent);

    // Empties the list; both buttons work again.
    void Clear();
    // Adds a line pointing at object.
    void Add(const QString& text, QObject* object);
    int Count() const;
    QString Line(int index) const;
    // Goes to the object of a line: null when it is gone.
    std::function<void(QObject*)> OnBranch;

public slots:
    void BranchButtonClick();
    void RemoveButtonClick();
    void ListBox1DblClick();

private:
    // The selected line; a warning when there is none.
    int Selected() const;
    void EnableButtons();

    QListWidget* ListBox1;
    QPushButton* BranchButton;
    QPushButton* RemoveButton;
    QList<QPointer<QObject>> objects;
};
