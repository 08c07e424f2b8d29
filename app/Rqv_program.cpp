#include "app/Rqv_program.h"

#include "app/EditorRules.h"
#include "controls/KQForms.h"
#include "controls/KQItemSpy.h"
#include "datalink/KQDatorelControl.h"
#include "platform/dialogs/Dialogs.h"

#include <QCloseEvent>
#include <QPushButton>

namespace {

const QString TestConfigurationItem = QStringLiteral("KXSPL.TST_CONFIG.IN");
// Pages whose tabs wait for the rules (or the close) to show them.
constexpr const char* HiddenAtStart[] = {"KPExtractionControl", "KPAdmissionControl", "KPExtractionSteamMap",
                                         "KPAdmissionSteamMap",  "KPExtrAdmControl",   "KPExtAdmSteamMap",
                                         "KPAuxControl",         "KPCascadeControl",   "KPEnd"};

} // namespace

TFProgramMode::TFProgramMode(TModeHost& host)
    : TEditorWindow(host, TMode::Program, QStringLiteral("Closing Program Mode"), QStringLiteral("Program Mode - "))
{
    LoadForm(QStringLiteral("Rqv_program"), {{QStringLiteral("KQDatorelControl1"), host.ControlDevice()}});
    ExitProgramModeButton = Part<QPushButton>(QStringLiteral("ExitProgramModeButton"));
    connect(ExitProgramModeButton, &QPushButton::clicked, this, &TFProgramMode::ExitProgramModeButtonClick);
    connect(Part<QPushButton>(QStringLiteral("SaveToFileButton")), &QPushButton::clicked, this,
            [this] { Host().SaveValuesToFile(); });
    connect(Part<QPushButton>(QStringLiteral("LoadFromFileButton")), &QPushButton::clicked, this,
            [this] { Host().LoadValuesFromFile(); });
    rules = new TEditorRules(*this, TEditorRuleSet{});

    auto* pageControl = Part<TKQPageControl>(QStringLiteral("PageControl1"));
    const auto page = [this](const QString& name) { return Part<TKQTabSheet>(name); };
    const auto spy = [this](const QString& name) { return Part<TKQItemSpy>(name); };
    QList<TPageEntry> entries;
    for (int i = 0; i < pageControl->PageCount(); ++i) {
        TPageEntry entry;
        // Every page names itself in the caption, the steam maps and SIOA/B
        // included, so that the caption never names a page left behind.
        entry.page = pageControl->Page(i);
        entries << entry;
    }
    const auto on = [&](const QString& name) -> TPageEntry& {
        TKQTabSheet* sheet = page(name);
        for (TPageEntry& entry : entries)
            if (entry.page == sheet)
                return entry;
        return entries.first();
    };
    on("KPApplication").onEnter = [this] { rules->HandleTurbineType(); };
    on("KPStartSettings").onEnter = [this] { rules->HandleIdleToRatedRoutine(); };
    on("KPSpeedControl").lockedSpies = {spy("KSpyApplSpeed")};
    on("KPExtractionControl").lockedSpies = {spy("KSpyApplExtraction")};
    on("KPAdmissionControl").lockedSpies = {spy("KSpyApplAdmission")};
    on("KPExtrAdmControl").lockedSpies = {spy("KSpyApplExtrAdm")};
    on("KPCascadeControl").lockedSpies = {spy("KSpyApplCascade")};
    on("KPDriverConfig").lockedSpies = {spy("KSpyTurbineType")};
    TPageEntry& aux = on("KPAuxControl");
    aux.lockedSpies = {spy("KSpyApplAux"), spy("KSpyAuxConf")};
    aux.onEnter = [this] { rules->ApplyAuxConfiguration(); };
    SetUpPages(pageControl, entries);

    // Creation.
    pageControl->SetActivePage(page("KPApplication"));
    for (const char* name : HiddenAtStart)
        page(QLatin1String(name))->SetTabVisible(false);
    ExitProgramModeButton->setEnabled(true);
}

void TFProgramMode::ExitProgramModeButtonClick()
{
    Guarded([this] {
        if (Host().ControlInLoadFromFileState()) {
            MessageDlg(QStringLiteral("Configuration error:  The control is only partially configured.  You must "
                                      "either reset the entire control or successfully download a configuration "
                                      "file to the control."),
                       TMsgDlgType::mtWarning, mbOK);
            return;
        }
        Host().SuspendOtherAdvises();
        TKQHeldItem item(Host().ControlDevice(), TestConfigurationItem);
        item->SetValue(true);
        Host().StartConfigurationCheck();
    });
}

QObject* TFProgramMode::GetAssociatedErrorObject(int, int, QString& suffix, bool& more)
{
    suffix.clear();
    more = false;
    return Part<TKQTabSheet>(QStringLiteral("KPApplication"));
}

void TFProgramMode::closeEvent(QCloseEvent* event)
{
    if (Host().ProgramEnding()) {
        event->accept();
        return;
    }
    event->ignore();
    int answer = mrNo;
    if (Host().OpenForChange(TMode::Program) && Host().bInConfMode())
        answer = MessageDlg(QStringLiteral("Reset control before exiting program mode?"), TMsgDlgType::mtConfirmation,
                            mbYes | mbNo | mbCancel);
    if (answer == mrCancel)
        return;
    if (answer == mrYes) {
        ExitProgramModeButtonClick();
        return;
    }
    Pages()->SetActivePage(Part<TKQTabSheet>(QStringLiteral("KPEnd")));
    TModeWindow::closeEvent(event);
}
