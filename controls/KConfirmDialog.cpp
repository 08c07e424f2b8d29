#include "controls/KConfirmDialog.h"

#include "controls/KDrawnButton.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

namespace {
QPointer<TKConfirmDialog> openDialog;
}

TKConfirmDialog::TKConfirmDialog(TKDrawnButton* button, const QString& buttonName, const TKDrawnButton& bound)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      drawnButton(button), label(new QLabel(QStringLiteral("Confirm Action"), this)),
      cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    openDialog = this;
    setWindowTitle(QStringLiteral("Confirm"));
    setFixedSize(ClientWidth, ClientHeight);

    QFont large = label->font();
    large.setPixelSize(LabelFontHeight);
    label->setFont(large);
    label->move(Margin, Margin);
    label->adjustSize();

    cancel->setGeometry(ClientWidth - Margin - CancelWidth, ClientHeight - Margin - ButtonHeight, CancelWidth,
                        ButtonHeight);
    cancel->setAutoDefault(true);
    cancel->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    button->setParent(this);
    button->setObjectName(buttonName);
    button->SetButtonOn(bound.ButtonOn());
    button->SetOffText(bound.OffText());
    button->SetOnText(bound.OnText());
    button->SetOffTextColor(bound.OffTextColor());
    button->SetOnTextColor(bound.OnTextColor());
    button->SetOffColor(bound.OffColor());
    button->SetOnColor(bound.OnColor());
    QFont font = button->font();
    font.setFamily(bound.font().family());
    button->setFont(font);
    const int width = std::max(bound.width(), button->minimumWidth());
    button->setGeometry(cancel->x() - ButtonGap - width, cancel->y(), width, ButtonHeight);
    button->show();
    setTabOrder(button, cancel);
    cancel->setFocus();
    // Read as the action it confirms, not only "Confirm Action".
    setAccessibleName(QStringLiteral("Confirm Action: %1").arg(bound.CaptionOr(buttonName)));
}

TKConfirmDialog::~TKConfirmDialog() = default;

TKConfirmDialog* TKConfirmDialog::Open()
{
    return openDialog;
}

void TKConfirmDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}
