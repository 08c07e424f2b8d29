#include "controls/KOneShotButton.h"

#include "controls/FormClasses.h"

TKOneShotButton::TKOneShotButton(QWidget* parent) : TKDrawnButton(parent, true)
{
    pulseTimer.setInterval(int(DefaultOneShotPeriod));
    connect(&pulseTimer, &QTimer::timeout, this, [this] { Timer(); });
}

void TKOneShotButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    TKDrawnButton::MouseDown(button, shift, at);
    if (button != Qt::LeftButton || !isEnabled() || pulseTimer.isActive())
        return;
    SetButtonOn(!ButtonOn());
    pulseTimer.start();
}

void TKOneShotButton::Timer()
{
    if (isEnabled())
        SetButtonOn(!ButtonOn());
    pulseTimer.stop();
}

void RegisterKOneShotButtonClasses()
{
    FormClasses::Register<TKOneShotButton>();
}
