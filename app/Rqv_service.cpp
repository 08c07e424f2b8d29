#include "app/Rqv_service.h"

#include "app/EditorRules.h"
#include "app/ServiceRules.h"
#include "datalink/KQDatorelControl.h"
#include "platform/dialogs/Dialogs.h"

#include <QPushButton>
#include <QScopeGuard>

namespace {

// Where Service mode applies the editors' shared rules differently.
TEditorRuleSet ServiceRuleSet()
{
    TEditorRuleSet set;
    set.pages = TEditorRuleSet::AllPages & ~TEditorRuleSet::SioRedundantPage;
    set.sioPage = QStringLiteral("KPSioCommunications");
    set.sioAParts = {"EDriver3A", "PSioA"};
    set.sioBParts = {"EDriver4B", "PSioB"};
    set.startRoutineClearsInitV1 = false;
    set.turbineTypeNeedsValue = false;
    set.ratioLimiterShowsSteamMap = true;
    set.band2NeedsValue = false;
    set.speedInputPanels = true;
    set.remoteSetpointBoxes = false;
    set.extractionShowsSpeedGroup = true;
    return set;
}

} // namespace

TFServiceMode::TFServiceMode(TModeHost& host)
    : TEditorWindow(host, TMode::Service, QStringLiteral("Closing Service Mode"), QStringLiteral("Service Mode - "))
{
    LoadForm(QStringLiteral("Rqv_service"), {{QStringLiteral("KQDatorelControl1"), host.ControlDevice()}});
    connect(Part<QPushButton>(QStringLiteral("SaveChangesButton")), &QPushButton::clicked, this,
            &TFServiceMode::SaveChangesButtonClick);
    SetUpEditor(ServiceRuleSet());
    serviceRules = new TServiceRules(*this);
}

void TFServiceMode::InitMonStatus()
{
    TEditorWindow::InitMonStatus();
    Guarded([this] { serviceRules->LockConfigurationOnly(); });
}

void TFServiceMode::UpdateCMLock(QWidget* control, bool lock)
{
    TServiceRules::UpdateCMLock(control, lock);
}

void TFServiceMode::SaveChangesButtonClick()
{
    Host().SetMainWindowEnabled(false);
    const auto enable = qScopeGuard([this] { Host().SetMainWindowEnabled(true); });
    Guarded([this] {
        Host().ControlDevice()->SaveValues();
        MessageDlg(QStringLiteral("Values saved on control."), TMsgDlgType::mtInformation, mbOK);
    });
}

void TFServiceMode::closeEvent(QCloseEvent* event)
{
    CloseThroughEndPage(event);
}
