// A drawn button that is on while the left button (or Enter) is held.
#pragma once

#include "controls/KDrawnButton.h"

class TKMomentaryButton : public TKDrawnButton {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TKMomentaryButton(QWidget* parent = nullptr);

    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at) override;
};

// Makes the unit's classes known to the form loader.
void RegisterKMomentaryButtonClasses();
