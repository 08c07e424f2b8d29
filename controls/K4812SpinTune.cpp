#include "controls/K4812SpinTune.h"

#include "controls/FormClasses.h"
#include "datalink/KQDatorelControl.h"
#include "datalink/KQDatorelItem.h"
#include "platform/Assert.h"
#include "platform/Exception.h"

namespace {
const QString TuneSuffix = QStringLiteral(".TUNE");
const QString LowLimitSuffix = QStringLiteral(".LO_LIM_OUT");
const QString HighLimitSuffix = QStringLiteral(".HI_LIM_OUT");
}

TK4812SpinTune::TK4812SpinTune(QWidget* parent) : TK4812SpinEdit(parent) {}

TK4812SpinTune::~TK4812SpinTune()
{
    auto* device = dynamic_cast<TKQDatorelControl*>(limitOwner.data());
    if (!device)
        return;
    SubscribeLimits(false);
    device->ReleaseItem(lowLimit->ItemName());
    device->ReleaseItem(highLimit->ItemName());
}

void TK4812SpinTune::Loaded()
{
    const QString name = ItemName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && name.mid(dot).compare(TuneSuffix, Qt::CaseInsensitive) == 0) {
        TKQDatorelControl* device = ControlDevice();
        Assert(device != nullptr, "Assertion failure");
        const QString prefix = name.left(dot);
        lowLimit = device->GetItem(prefix + LowLimitSuffix);
        highLimit = device->GetItem(prefix + HighLimitSuffix);
        limitOwner = device;
    }
    TK4812SpinEdit::Loaded();
}

void TK4812SpinTune::SubscribeLimits(bool subscribe)
{
    if (!limitOwner)
        return;
    const TNotifyEvent method(this, &TK4812SpinTune::LimitChanged);
    try {
        for (TKQDatorelItem* item : {lowLimit, highLimit})
            subscribe ? item->Advise(method) : item->Unadvise(method);
    } catch (const std::exception& error) {
        // A limit the control does not know: the range falls back to the item's own.
        ShowException(error);
    }
}

void TK4812SpinTune::ParentStateChanged(TStateFlags flags)
{
    TK4812SpinEdit::ParentStateChanged(flags);
    SubscribeLimits(flags == sfShownEnabled);
}

void TK4812SpinTune::SetVisible(bool visible)
{
    TK4812SpinEdit::SetVisible(visible);
    if (!ItemName().isEmpty())
        SubscribeLimits(visible);
}

void TK4812SpinTune::SetEnabled(bool enabled)
{
    TK4812SpinEdit::SetEnabled(enabled);
    if (!ItemName().isEmpty())
        SubscribeLimits(enabled);
}

void TK4812SpinTune::LimitChanged(TObject*)
{
    if (!ItemName().isEmpty())
        emit OnLimitChange(this);
}

double TK4812SpinTune::GetMinValue()
{
    if (TKQDatorelItem* low = LowLimitItem(); low && low->HasValue())
        return VariantToFloat(low->Value());
    return TK4812SpinEdit::GetMinValue();
}

double TK4812SpinTune::GetMaxValue()
{
    if (TKQDatorelItem* high = HighLimitItem(); high && high->HasValue())
        return VariantToFloat(high->Value());
    return TK4812SpinEdit::GetMaxValue();
}

void RegisterK4812SpinTuneClasses()
{
    FormClasses::Register<TK4812SpinTune>();
}
