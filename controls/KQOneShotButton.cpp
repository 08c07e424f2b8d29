#include "controls/KQOneShotButton.h"

#include "controls/FormClasses.h"
#include "controls/KConfirmOneShotdlg.h"

TKQOneShotButton::TKQOneShotButton(QWidget* parent)
    : TKOneShotButton(parent), link(this, this, [this] { TakeOverValue(); }, TPulseState::Idle)
{
}

void TKQOneShotButton::SetIsMonitorOnly(bool value)
{
    link.SetMonitorOnly(value, link.state == TPulseState::Idle);
}

void TKQOneShotButton::Loaded()
{
    TKComponent::Loaded();
    link.binding.Loaded([this](TStateFlags flags) { ParentStateChanged(flags); });
}

void TKQOneShotButton::ParentStateChanged(TStateFlags flags)
{
    Subscription(flags == sfShownEnabled);
}

void TKQOneShotButton::SetVisible(bool visible)
{
    TKOneShotButton::SetVisible(visible);
    Subscription(visible);
}

void TKQOneShotButton::Subscription(bool wanted)
{
    // Subscribing again while a client keeps a pending unsubscribe pending.
    if (wanted)
        link.binding.Subscribe();
    else
        link.LetGo(link.state == TPulseState::Idle);
}

void TKQOneShotButton::Press(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    if (!TakeFocus())
        return;
    // A monitor-only button never writes, so it starts no pulse either.
    if (button != Qt::LeftButton || link.state != TPulseState::Idle || link.isMonitorOnly)
        return;
    TKOneShotButton::MouseDown(button, shift, at);
    link.WriteCommand();
    link.state = TPulseState::ActiveSent;
}

void TKQOneShotButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at)
{
    Press(button, shift, at);
}

void TKQOneShotButton::Timer()
{
    StopPulseTimer();
    switch (link.state) {
    case TPulseState::ActiveConfirmed:
        TKOneShotButton::Timer();
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

void TKQOneShotButton::TakeOverValue()
{
    const bool value = link.Value();
    if (!link.initialised) {
        link.Initialise(value);
        return;
    }
    switch (link.state) {
    case TPulseState::RestDue:
        if (link.WriteRest())
            link.state = TPulseState::RestSent;
        break;
    case TPulseState::RestSent:
        link.state = TPulseState::Idle;
        SetButtonOn(value != link.controlDefaultValue);
        link.EndPulse();
        break;
    case TPulseState::ActiveSent:
        link.state = TPulseState::ActiveConfirmed;
        break;
    default:
        break;
    }
    emit OnValueChange(this);
}

QString TKQOneShotButton::AccessibleFallbackName() const
{
    return CaptionOr(ItemName());
}

// ---- with confirmation -------------------------------------------------------------------

TKQDAOneShotButton::TKQDAOneShotButton(QWidget* parent) : TKQOneShotButton(parent) {}

void TKQDAOneShotButton::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint&)
{
    TKConfirmOneShotdlg dialog(this);
    dialog.exec();
}

void RegisterKQOneShotButtonClasses()
{
    FormClasses::Register<TKQOneShotButton>();
    FormClasses::Register<TKQDAOneShotButton>();
}
