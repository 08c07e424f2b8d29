#include "controls/KQMomentaryButton.h"

#include "controls/FormClasses.h"
#include "controls/KConfirmMomentarydlg.h"
#include "platform/Timing.h"

TKQMomentaryButton::TKQMomentaryButton(QWidget* parent)
    : TKMomentaryButton(parent), link(this, this, [this] { TakeOverValue(); }, TPulseState::AwaitingFirstValue)
{
    SetBetweenPulsePeriod(DefaultBetweenPulsePeriod);
    connect(&pulseTimer, &QTimer::timeout, this, &TKQMomentaryButton::PulseTimer);
}

void TKQMomentaryButton::SetBetweenPulsePeriod(unsigned period)
{
    betweenPulsePeriod = period;
    pulseTimer.setInterval(Timing::Scaled(int(period)));
}

void TKQMomentaryButton::SetIsMonitorOnly(bool value)
{
    link.SetMonitorOnly(value, link.state == TPulseState::Idle || link.state == TPulseState::AwaitingFirstValue);
}

void TKQMomentaryButton::Loaded()
{
    TKComponent::Loaded();
    link.binding.Loaded([this](TStateFlags flags) { ParentStateChanged(flags); });
    // The setter does not act while loading.
    SetIsMonitorOnly(link.isMonitorOnly);
}

void TKQMomentaryButton::ParentStateChanged(TStateFlags flags)
{
    Subscription(flags == sfShownEnabled);
}

void TKQMomentaryButton::SetVisible(bool visible)
{
    TKMomentaryButton::SetVisible(visible);
    Subscription(visible);
}

void TKQMomentaryButton::SetEnabled(bool enabled)
{
    TKMomentaryButton::SetEnabled(enabled);
    Subscription(enabled);
}

void TKQMomentaryButton::Subscription(bool wanted)
{
    if (!wanted) {
        link.LetGo(link.state == TPulseState::Idle || link.state == TPulseState::AwaitingFirstValue);
        return;
    }
    // Still a client: a pending unsubscribe stays pending.
    if (link.binding.Subscribed())
        return;
    link.binding.Subscribe();
    link.unsubscribePending = false;
    // Only now: a value delivered during the subscription does not end the wait.
    link.state = TPulseState::AwaitingFirstValue;
}

void TKQMomentaryButton::Press(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    if (!TakeFocus())
        return;
    // Until the item has shown its rest value an echo could not be told from
    // the rest value; a monitor-only button never writes.
    if (button != Qt::LeftButton || link.state != TPulseState::Idle || !link.initialised || link.isMonitorOnly)
        return;
    TKMomentaryButton::MouseDown(button, shift, at);
    link.WriteCommand();
    link.state = TPulseState::ActiveSent;
}

void TKQMomentaryButton::Release(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    if (button != Qt::LeftButton)
        return;
    switch (link.state) {
    case TPulseState::ActiveConfirmed:
        pulseTimer.stop();
        TKMomentaryButton::MouseUp(button, shift, at);
        link.WriteRest();
        link.state = TPulseState::RestSent;
        SetButtonOn(false);
        break;
    case TPulseState::ActiveSent:
        // The rest value goes out when the command comes back.
        link.state = TPulseState::RestDue;
        SetButtonOn(false);
        break;
    default:
        break;
    }
}

void TKQMomentaryButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    Press(button, shift, at);
}

void TKQMomentaryButton::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    Release(button, shift, at);
}

void TKQMomentaryButton::PulseTimer()
{
    pulseTimer.stop();
    if (link.state != TPulseState::ActiveConfirmed)
        return;
    link.WriteCommand();
    link.state = TPulseState::ActiveSent;
}

void TKQMomentaryButton::TakeOverValue()
{
    const bool value = link.Value();
    if (!link.initialised) {
        link.state = TPulseState::Idle;
        link.Initialise(value);
        return;
    }
    switch (link.state) {
    case TPulseState::RestDue:
        if (link.WriteRest())
            link.state = TPulseState::RestSent;
        break;
    case TPulseState::RestSent:
        if (value == link.controlDefaultValue) {
            link.state = TPulseState::Idle;
            link.EndPulse();
        }
        break;
    case TPulseState::ActiveSent:
        link.state = TPulseState::ActiveConfirmed;
        pulseTimer.start();
        break;
    case TPulseState::AwaitingFirstValue:
        link.state = TPulseState::Idle;
        break;
    default:
        break;
    }
    emit OnValueChange(this);
}

QString TKQMomentaryButton::AccessibleFallbackName() const
{
    return CaptionOr(ItemName());
}

// ---- with confirmation -------------------------------------------------------------------

TKQDAMomentaryButton::TKQDAMomentaryButton(QWidget* parent) : TKQMomentaryButton(parent) {}

void TKQDAMomentaryButton::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint&)
{
    TKConfirmMomentarydlg dialog(this);
    dialog.exec();
}

void TKQDAMomentaryButton::MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint&) {}

void RegisterKQMomentaryButtonClasses()
{
    FormClasses::Register<TKQMomentaryButton>();
    FormClasses::Register<TKQDAMomentaryButton>();
}
