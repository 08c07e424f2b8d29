// The Working window: says what the program is busy with while the operator waits.
#pragma once

#include "app/PlainForm.h"

#include <functional>

class QLabel;

class TFWorking : public TPlainForm {
    Q_OBJECT
public:
    explicit TFWorking(QWidget* parent = nullptr);

    // Shows the window with the text in its upper line and brings it to the front.
    void ShowText(const QString& text);
    QString Text() const;
    // Called when the operator closes the window by its system menu.
    std::function<void()> OnUserClose;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QLabel* statusLine;
};
