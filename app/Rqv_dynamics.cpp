#include "app/Rqv_dynamics.h"

#include "app/TrendCatalogue.h"
#include "app/TrendWindow.h"

#include "controls/FormLoader.h"
#include "controls/KQMomentaryButton.h"

void TFDynamics::SetGainButtonsMonitorOnly(bool monitorOnly)
{
    // The gain buttons are the window's only momentary buttons.
    for (TKQMomentaryButton* button : findChildren<TKQMomentaryButton*>())
        button->SetIsMonitorOnly(monitorOnly);
}

void TFDynamics::BTrendClick()
{
    TTrendWindow::ShowSet(windowTitle(), Device(), trendItems);
}

TFSpeedDynamics::TFSpeedDynamics(QWidget* owner, TKQDevice* device)
    : TFDynamics(owner, device, TrendCatalogue::SpeedLoopItems())
{
    LoadForm(QStringLiteral("SpeedDynamics"));
}

TFLoopDynamics::TFLoopDynamics(QWidget* owner, TKQDevice* device, const QString& block, const QString& caption)
    : TFDynamics(owner, device, TrendCatalogue::LoopItems(block))
{
    TFormLoadOptions options;
    options.parameters.insert(QString::fromLatin1(FormBlock), block);
    LoadForm(QStringLiteral("LoopDynamics"), options);
    SetCaption(caption);
}

TFExtAdmDynamics::TFExtAdmDynamics(QWidget* owner, TKQDevice* device)
    : TFLoopDynamics(owner, device, QStringLiteral("EXTR_DYN"), QStringLiteral("Ext./Adm. Control Dynamics"))
{
}

TFCascadeDynamics::TFCascadeDynamics(QWidget* owner, TKQDevice* device)
    : TFLoopDynamics(owner, device, QStringLiteral("F_CAS_DYN"), QStringLiteral("Cascade Control Dynamics"))
{
}

TFAuxiliaryDynamics::TFAuxiliaryDynamics(QWidget* owner, TKQDevice* device)
    : TFLoopDynamics(owner, device, QStringLiteral("G_AUX_DYN"), QStringLiteral("Auxiliary Control Dynamics"))
{
}
