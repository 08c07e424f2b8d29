// An edit box for a text item of the control device: Enter and leaving the box
// write the whole text; what the box shows follows the item.
#pragma once

#include "controls/KQEdit.h"

#include <QColor>

class TKQStringEdit : public TKQEdit {
    Q_OBJECT
    Q_PROPERTY(int MaxLength READ maxLength WRITE setMaxLength)
public:
    Q_INVOKABLE explicit TKQStringEdit(QWidget* parent = nullptr);

    // Monitor-only: grey and read-only, also when set while loading.
    void SetIsMonitorOnly(bool monitorOnly) override;
    void SwitchViewOnly(bool monitorOnly) override { SetIsMonitorOnly(monitorOnly); }
    // Writes the text unless monitor-only; a failed write shows the item's value again.
    void Send();

protected:
    QString ItemText() override;
    void Leave() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QColor savedTextColor;
};

// Makes the unit's classes known to the form loader.
void RegisterKQStringEditClasses();
