#include "app/Working.h"

#include <QCloseEvent>
#include <QLabel>

TFWorking::TFWorking(QWidget* parent) : TPlainForm(parent)
{
    LoadPlainForm(QStringLiteral("Working"));
    setCursor(Qt::WaitCursor);
    statusLine = Part<QLabel>(QStringLiteral("StatusLine"));
    setFixedWidth(420);
}

void TFWorking::ShowText(const QString& text)
{
    statusLine->setText(text);
    if (!isVisible()) {
        show();
        CentreOnScreen();
    }
    raise();
    activateWindow();
}

QString TFWorking::Text() const
{
    return statusLine->text();
}

void TFWorking::closeEvent(QCloseEvent* event)
{
    // Hiding the window from the program does not come here; only the operator does.
    event->accept();
    if (OnUserClose)
        OnUserClose();
}

void TFWorking::reject()
{
    close();
}
