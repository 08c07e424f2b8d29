// A drawn button that flips between on and off with every press. It has no
// keyboard action.
#pragma once

#include "controls/KDrawnButton.h"

class TKToggleButton : public TKDrawnButton {
    Q_OBJECT
    Q_PROPERTY(bool ButtonOn READ ButtonOn WRITE SetButtonOn)
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)
public:
    Q_INVOKABLE explicit TKToggleButton(QWidget* parent = nullptr);

    bool TabStop() const { return focusPolicy() == Qt::StrongFocus; }
    void SetTabStop(bool stop) { setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus); }

    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
    QAccessible::Role AccessibleRole() const override { return QAccessible::CheckBox; }
};

// Makes the unit's classes known to the form loader.
void RegisterKToggleButtonClasses();
