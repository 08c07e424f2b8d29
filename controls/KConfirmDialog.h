// The layout both confirmation dialogs share: "Confirm Action" at the top left,
// and at the bottom right a copy of the bound button that asked, then Cancel.
//
// The dialogs are shown modally by the confirming buttons. Tests reach the one
// that is open through Current() of its class (for example from a zero-time
// single-shot timer started before the press) and press its Button() or CancelButton().
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TKDrawnButton;

class TKConfirmDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 263;
    static constexpr int ClientHeight = 103;
    static constexpr int Margin = 8;
    static constexpr int LabelFontHeight = 24;
    static constexpr int CancelWidth = 75;
    static constexpr int ButtonHeight = 25;
    // Between the copied button and Cancel.
    static constexpr int ButtonGap = 5;

    ~TKConfirmDialog() override;

    QLabel* Label() const { return label; }
    TKDrawnButton* DrawnButton() const { return drawnButton; }
    QPushButton* CancelButton() const { return cancel; }
    // The dialog that is open, if any.
    static TKConfirmDialog* Open();

protected:
    // button: the dialog's own drawn button, made a child here under the given
    // name and set up like bound.
    TKConfirmDialog(TKDrawnButton* button, const QString& buttonName, const TKDrawnButton& bound);

    void showEvent(QShowEvent* event) override;

private:
    TKDrawnButton* drawnButton;
    QLabel* label;
    QPushButton* cancel;
};
