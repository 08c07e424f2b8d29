#include "app/Rqv_dynamics.h"

#include "controls/FormLoader.h"
#include "controls/KQMomentaryButton.h"
#include "platform/Assert.h"

#include <QFile>

void TFDynamics::SetGainButtonsMonitorOnly(bool monitorOnly)
{
    // The gain buttons are the window's only momentary buttons.
    for (TKQMomentaryButton* button : findChildren<TKQMomentaryButton*>())
        button->SetIsMonitorOnly(monitorOnly);
}

TFSpeedDynamics::TFSpeedDynamics(QWidget* owner, TKQDevice* device) : TFDynamics(owner, device)
{
    LoadForm(QStringLiteral("SpeedDynamics"));
}

TFLoopDynamics::TFLoopDynamics(QWidget* owner, TKQDevice* device, const QString& block, const QString& caption)
    : TFDynamics(owner, device)
{
    const QString formName = QStringLiteral("LoopDynamics");
    QFile file(TFormLoader::ResourcePath(formName));
    Assert(file.open(QIODevice::ReadOnly), "TFLoopDynamics.Create: form LoopDynamics is not stored");
    // Item names are the only texts that begin with the block and a point.
    QByteArray json = file.readAll();
    json.replace('"' + QByteArray(FormBlock) + '.', '"' + block.toLatin1() + '.');
    LoadForm(json, formName);
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
