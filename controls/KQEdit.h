// The edit box bound to an item of the control device that the string edit and
// the number edit share: the item's value comes in as text, Escape puts it
// back, and leaving the box (to another control of the window) sends.
#pragma once

#include "controls/KComponent.h"
#include "controls/KQBoundControl.h"

#include <QLineEdit>

class TKQDatorelItem;

class TKQEdit : public QLineEdit, public TKComponent, public TKQBoundControl {
    Q_OBJECT
    TKQ_BOUND_WRITING_PROPERTIES
    Q_PROPERTY(QString Text READ text WRITE setText)
public:
    void SetItemName(const QString& name) override;
    bool IsMonitorOnly() const { return isMonitorOnly; }
    virtual void SetIsMonitorOnly(bool monitorOnly) = 0;

    void Loaded() override;

signals:
    void OnValueChange(QObject* sender);
    // The user left the box, after what it held was sent.
    void OnExit(QObject* sender);

protected:
    explicit TKQEdit(QWidget* parent);

    // The item's value as this box shows it; raises when it cannot be read.
    virtual QString ItemText() = 0;
    // The user moved the focus to another control of the window.
    virtual void Leave() = 0;
    // Shows the item's value again; keeps the text when the item cannot be read.
    void ShowItemValue();
    TKQDatorelItem* Item() const;
    TKQBinding& Binding() override { return binding; }

    void focusOutEvent(QFocusEvent* event) override;

    TKQBinding binding;
    bool isMonitorOnly = false;

private:
    void TakeOver();
};
