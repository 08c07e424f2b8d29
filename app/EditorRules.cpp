#include "app/EditorRules.h"

#include "app/EditorWindow.h"
#include "controls/KQCheckBox.h"
#include "controls/KQEnumComboBox.h"
#include "controls/KQForms.h"
#include "controls/KQItemSpy.h"
#include "datalink/KQDevice.h"

#include <functional>

namespace {

// Values of the enumerations the rules read.
enum : int { Generator = 2 };
enum : int { DecoupledHpLp = 4 };
enum : int { NotUsed = 1, LevelSwitch = 2, StateIndication = 3 };

} // namespace

namespace {

constexpr auto Changed = &TKQEnumComboBox::OnValueChange;
constexpr auto Ticked = &TKQCheckBox::OnValueChange;
constexpr auto Spied = &TKQItemSpy::OnValueChange;

} // namespace

TEditorRules::TEditorRules(TEditorWindow& editor, const TEditorRuleSet& rules)
    : QObject(&editor), window(editor), ruleSet(rules)
{
    SetUpApplication();
    SetUpStartSettings();
    SetUpSpeedControl();
    SetUpControlPages();
    if (rules.Has(TEditorRuleSet::AuxCascadePages))
        SetUpAuxCascade();
    if (rules.Has(TEditorRuleSet::DriverPage))
        SetUpDriver();
    if (rules.Has(TEditorRuleSet::InputOutputPages))
        SetUpInputsOutputs();
    if (rules.Has(TEditorRuleSet::RelayPages))
        SetUpRelays();
    // The SIO-A/B redundant page's groups before the CPU port rules that hide them.
    if (rules.Has(TEditorRuleSet::SioRedundantPage))
        SetUpSioRedundant();
    if (rules.Has(TEditorRuleSet::CpuPortPages)) {
        SetUpCpuPorts();
        SetUpSioModules();
    }
}

template <class T>
T* TEditorRules::Part(const QString& name) const
{
    return window.Part<T>(name);
}

QList<TEditorWindow::TPageEntry> TEditorRules::PageEntries()
{
    const auto spy = [this](const char* name) { return Part<TKQItemSpy>(QLatin1String(name)); };
    const auto page = [this](const char* name) { return Part<TKQTabSheet>(QLatin1String(name)); };
    QList<TEditorWindow::TPageEntry> entries{
        {page("KPApplication"), {}, [this] { HandleTurbineType(); }},
        {page("KPStartSettings"), {}, [this] { HandleIdleToRatedRoutine(); }},
        {page("KPAuxControl"), {spy("KSpyApplAux"), spy("KSpyAuxConf")},
         [this] { ApplyAuxConfiguration(); }},
    };
    const struct {
        const char* page;
        const char* spy;
    } lockedSpies[] = {{"KPSpeedControl", "KSpyApplSpeed"},     {"KPExtractionControl", "KSpyApplExtraction"},
                       {"KPAdmissionControl", "KSpyApplAdmission"}, {"KPExtrAdmControl", "KSpyApplExtrAdm"},
                       {"KPCascadeControl", "KSpyApplCascade"}, {"KPDriverConfig", "KSpyTurbineType"}};
    for (const auto& row : lockedSpies)
        entries.append({page(row.page), {spy(row.spy)}, {}});
    return entries;
}

void TEditorRules::SetUpApplication()
{
    // Turbine type, its pages and the steam maps.
    turbineType = Part<TKQEnumComboBox>("ETurbineType");
    ratioLimiterMode = Part<TKQEnumComboBox>("ERatioLimiterMode");
    ratioLimiterSpy = Part<TKQItemSpy>("KSpyRatioLimiter");
    extraction = Part<TKQTabSheet>("KPExtractionControl");
    extractionMap = Part<TKQTabSheet>("KPExtractionSteamMap");
    admission = Part<TKQTabSheet>("KPAdmissionControl");
    admissionMap = Part<TKQTabSheet>("KPAdmissionSteamMap");
    extrAdm = Part<TKQTabSheet>("KPExtrAdmControl");
    extrAdmMap = Part<TKQTabSheet>("KPExtAdmSteamMap");
    // The control's turbine type rules the pages whichever page is shown.
    TFormWindow::Follow(this, Watch(turbineType), Spied, [this] { TurbineTypeChange(); });
    if (ruleSet.ratioLimiterShowsSteamMap)
        TFormWindow::Follow(this, ratioLimiterSpy, Spied, [this] { ShowSteamMap(); });

    // Cascade and auxiliary PID: their pages.
    cascade = Part<TKQTabSheet>("KPCascadeControl");
    aux = Part<TKQTabSheet>("KPAuxControl");
    auto* cascadeConf = Part<TKQEnumComboBox>("ECascadeConf");
    TFormWindow::Follow(this, cascadeConf, Changed, [this, cascadeConf] {
        if (cascadeConf->HasValue())
            ShowPage(cascade, cascadeConf->Value() == 2);
    });
    auto* auxConf = Part<TKQEnumComboBox>("EAuxConf");
    auxConfSpy = Part<TKQItemSpy>("KSpyAuxConf");
    TFormWindow::Follow(this, auxConf, Changed, [this, auxConf] {
        const int use = auxConf->Value();
        if (use < 2)
            ShowPage(aux, false);
        else if (use <= 3) {
            aux->SetCaption(use == 2 ? QStringLiteral("Aux Control") : QStringLiteral("Aux Limiter"));
            ShowPage(aux, true);
        }
    });
    TFormWindow::Follow(this, auxConfSpy, Spied, [this] { ApplyAuxConfiguration(); });

    // Each control page's generator-only parts.
    struct TGeneratorParts {
        const char* spy;
        QStringList shown;
    };
    QList<TGeneratorParts> generatorParts{{"KSpyApplSpeed", {"GSpeedDroop"}},
                                          {"KSpyApplExtraction", {"PXBreaker"}},
                                          {"KSpyApplAdmission", {"PABreaker"}},
                                          {"KSpyApplExtrAdm", {"PXABreaker"}}};
    if (ruleSet.extractionShowsSpeedGroup)
        generatorParts[1].shown << QStringLiteral("GSpeedDroop");
    if (ruleSet.Has(TEditorRuleSet::AuxCascadePages))
        generatorParts << TGeneratorParts{"KSpyApplAux", {"PAuxBreaker"}}
                       << TGeneratorParts{"KSpyApplCascade", {"PCascBreaker"}};
    for (const TGeneratorParts& row : generatorParts) {
        auto* applicationSpy = Part<TKQItemSpy>(QLatin1String(row.spy));
        QList<QWidget*> shown;
        for (const QString& name : row.shown)
            shown << Part(name);
        TFormWindow::Follow(this, applicationSpy, Spied, [applicationSpy, shown] {
            for (QWidget* part : shown)
                TFormWindow::Show(part, TFormWindow::SpyInt(applicationSpy) == Generator);
        });
    }
}

void TEditorRules::SetUpStartSettings()
{
    startRoutine = Part<TKQEnumComboBox>("EStartRoutine");
    useInitV1 = Part<TKQCheckBox>("CUseInitV1");
    initV1 = Part("PInitV1");
    TFormWindow::Follow(this, startRoutine, Changed, [this] { StartRoutineChange(); });
    TFormWindow::Follow(this, useInitV1, Ticked, [this] { TFormWindow::Show(initV1, useInitV1->isChecked()); });
    idleToRated = Part<TKQEnumComboBox>("EIdleToRated");
    idleToRatedParts = {Part("GManualRaiseLower"), Part("GIdleRatedRamp"), Part("GAutoSequence"),
                        Part("PCriticalSpeed")};
    TFormWindow::Follow(this, idleToRated, Changed, [this] { HandleIdleToRatedRoutine(); });
    useBand1 = Part<TKQCheckBox>("CUseBand1");
    useBand2 = Part<TKQCheckBox>("CUseBand2");
    criticalAvoidance = Part("PCriticalAvoidance");
    band2 = Part("GBand2");
    TFormWindow::Follow(this, useBand1, Ticked, [this] { CriticalSpeedChange(); });
    TFormWindow::Follow(this, useBand2, Ticked, [this] { TFormWindow::Show(band2, useBand2->isChecked()); });
}

void TEditorRules::SetUpSpeedControl()
{
    if (ruleSet.remoteSetpointBoxes) {
        auto* remoteSpeed = Part<TKQCheckBox>("CUseRemoteSpeed");
        QWidget* remoteSpeedRate = Part("PRemoteSpeedRate");
        TFormWindow::Follow(this, remoteSpeed, Ticked,
               [remoteSpeed, remoteSpeedRate] { TFormWindow::Show(remoteSpeedRate, remoteSpeed->isChecked()); });
    }
    droopType = Part<TKQEnumComboBox>("EDroopType");
    maximumLoad = Part("PMaximumLoad");
    loadUnits = Part("LLoadUnits");
    TFormWindow::Follow(this, droopType, Changed, [this] { DroopTypeChange(); });
    for (int input = 2; input <= 4; ++input) {
        auto* speedInput = Part<TKQEnumComboBox>(QStringLiteral("ESpeedInput%1").arg(input));
        QList<QWidget*> parts{Part(QStringLiteral("PFtm%1").arg(input))};
        if (ruleSet.speedInputPanels)
            parts << Part(QStringLiteral("PSpeedInput%1").arg(input));
        TFormWindow::Follow(this, speedInput, Changed, [speedInput, parts] {
            for (QWidget* part : parts)
                TFormWindow::Show(part, speedInput->Value() >= 2);
        });
    }
}

void TEditorRules::FollowSetpointRows(const char* tracking, const char* setpointInit, const char* remote,
                                      const char* remoteRate)
{
    if (tracking) {
        auto* box = Part<TKQCheckBox>(QLatin1String(tracking));
        QWidget* shown = Part(QLatin1String(setpointInit));
        TFormWindow::Follow(this, box, Ticked, [box, shown] { TFormWindow::Show(shown, !box->isChecked()); });
    }
    if (ruleSet.remoteSetpointBoxes) {
        auto* box = Part<TKQCheckBox>(QLatin1String(remote));
        QWidget* shown = Part(QLatin1String(remoteRate));
        TFormWindow::Follow(this, box, Ticked, [box, shown] { TFormWindow::Show(shown, box->isChecked()); });
    }
}

void TEditorRules::SetUpControlPages()
{
    // The extraction/admission pages: tracking and remote setpoint rows.
    FollowSetpointRows("CXTracking", "PXSetptInit", "CXRemote", "PXRemoteRate");
    FollowSetpointRows("CATracking", "PASetptInit", "CARemote", "PARemoteRate");
    FollowSetpointRows("CXATracking", "PXASetptInit", "CXARemote", "PXARemoteRate");
}

void TEditorRules::SetUpAuxCascade()
{
    auxSetpointInit = Part("PAuxSetptInit");
    auto* application = Part<TKQEnumComboBox>("EApplication");
    QWidget* kwInputs[] = {Part("CAuxUseKw"), Part("CCascUseKw")};
    TFormWindow::Follow(this, application, Changed, [application, kwInputs] {
        if (application->Value() > Generator)
            return;
        for (QWidget* kw : kwInputs)
            TFormWindow::Show(kw, application->Value() == Generator);
    });
    FollowSetpointRows("CCascTracking", "PCascSetptInit", "CCascRemote", "PCascRemoteRate");
    FollowSetpointRows(nullptr, nullptr, "CAuxRemote", "PAuxRemoteRate");
}

void TEditorRules::SetUpDriver()
{
    turbineTypeSpy = Part<TKQItemSpy>("KSpyTurbineType");
    act1 = Part("GAct1");
    act2 = Part("GAct2");
    act2Readout = Part("GAct2Readout");
    act2Offset = Part("PAct2Offset");
    TFormWindow::Follow(this, turbineTypeSpy, Spied, [this] { DriverTurbineType(); });
    for (int actuator = 1; actuator <= 2; ++actuator) {
        auto* range = Part<TKQEnumComboBox>(QStringLiteral("EAct%1Range").arg(actuator));
        QWidget* low = Part(QStringLiteral("PAct%1Range420").arg(actuator));
        QWidget* high = Part(QStringLiteral("PAct%1Range20160").arg(actuator));
        TFormWindow::Follow(this, range, Changed, [range, low, high] {
            TFormWindow::Show(high, range->Value() != 0);
            TFormWindow::Show(low, range->Value() == 0);
        });
    }
    auto* act2AsReadout = Part<TKQCheckBox>("CAct2Readout");
    QWidget* readoutOptions = Part("PAct2ReadoutOptions");
    TFormWindow::Follow(this, act2AsReadout, Ticked,
           [act2AsReadout, readoutOptions] { TFormWindow::Show(readoutOptions, act2AsReadout->isChecked()); });
}

void TEditorRules::SetUpInputsOutputs()
{
    // The values of each used analog input and readout.
    const auto followOption = [this](const QString& option, const QString& values) {
        auto* used = Part<TKQEnumComboBox>(option);
        QWidget* shown = Part(values);
        TFormWindow::Follow(this, used, Changed, [used, shown] { TFormWindow::Show(shown, used->Value() != NotUsed); });
    };
    for (int input = 1; input <= 8; ++input)
        followOption(QStringLiteral("EAnalogInput%1").arg(input), QStringLiteral("PAnalogInput%1").arg(input));
    for (int readout = 1; readout <= 4; ++readout)
        followOption(QStringLiteral("EReadout%1").arg(readout), QStringLiteral("PReadout%1").arg(readout));
}

void TEditorRules::SetUpRelays()
{
    for (int number = 3; number <= 12; ++number) {
        const QString n = QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
        relays.push_back({Part<TKQEnumComboBox>("ERelay" + n + "Function"), Part("PRelay" + n + "Level"),
                          Part("PRelay" + n + "Indication"), Part("PRelay" + n + "Config")});
    }
    for (size_t i = 0; i < relays.size(); ++i)
        TFormWindow::Follow(this, relays[i].function, Changed, [this, i] { RelaysFunction(relays[i]); });
}

void TEditorRules::SetUpCpuPorts()
{
    portA = Part<TKQEnumComboBox>("EPortA");
    Watch(portA);
    QWidget* port1Modbus = Part("PPort1Modbus");
    QWidget* modbus1General = Part("GModbus1General");
    TFormWindow::Follow(this, portA, Changed, [this, port1Modbus, modbus1General] {
        if (portA->Value() > 2)
            return;
        TFormWindow::Show(port1Modbus, portA->Value() == 2);
        TFormWindow::Show(modbus1General, portA->Value() == 2);
        if (portA->Value() == 2)
            ShowIf(modbus1General2, false);
    });
    portB = Part<TKQEnumComboBox>("EPortB");
    Watch(portB);
    printer = {Part("PPrinter"), Part("GPrinter")};
    port2Modbus = Part("PPort2Modbus");
    modbus2General = Part("GModbus2General");
    disableSioB = Part<TKQCheckBox>("CDisableSioB");
    TFormWindow::Follow(this, portB, Changed, [this] { PortBChange(); });
    TFormWindow::Follow(this, disableSioB, Ticked, [this] {
        const bool disabled = disableSioB->isChecked();
        TFormWindow::Show(port2Modbus, !disabled);
        TFormWindow::Show(modbus2General, !disabled);
        if (!disabled)
            ShowIf(modbus2General2, false);
    });
}

void TEditorRules::SetUpSioModules()
{
    sioPage = Part<TKQTabSheet>(ruleSet.sioPage);
    for (const QString& name : ruleSet.sioAParts)
        sioAParts << Part(name);
    for (const QString& name : ruleSet.sioBParts)
        sioBParts << Part(name);
    sioASpy = Part<TKQItemSpy>("KSpySioA");
    sioBSpy = Part<TKQItemSpy>("KSpySioB");
    TFormWindow::Follow(this, sioBSpy, Spied, [this] { SioBChange(); });
    TFormWindow::Follow(this, sioASpy, Spied, [this] { SioAChange(); });
}

void TEditorRules::SetUpSioRedundant()
{
    modbus1General2 = Part("GModbus1General2");
    modbus2General2 = Part("GModbus2General2");
    communications = Part("KPCommunications");
    sioAPort4 = Part<TKQEnumComboBox>("ESioAPort4");
    sioAPort4Settings = Part("PSioAPort4");
    driver4A = Part("EDriver4A");
    sioBPort3 = Part<TKQEnumComboBox>("ESioBPort3");
    sioBPort3Settings = Part("PSioBPort3");
    driver3B = Part("EDriver3B");
    TFormWindow::Follow(this, sioAPort4, Changed, [this] { SioAPort4Change(); });
    TFormWindow::Follow(this, sioBPort3, Changed, [this] { SioBPort3Change(); });
}

void TEditorRules::ShowIf(QWidget* part, bool shown)
{
    if (part)
        TFormWindow::Show(part, shown);
}

TKQItemSpy* TEditorRules::Watch(TKQEnumComboBox* combo)
{
    auto* spy = TKQItemSpy::Following(&window, dynamic_cast<TKQDevice*>(combo->Device()), combo->ItemName());
    watched.insert(combo, spy);
    return spy;
}

int TEditorRules::Setting(const TKQEnumComboBox* combo) const
{
    // A control on a page not shown may not hold the control's value; its spy does.
    const TKQItemSpy* spy = watched.value(combo);
    return spy && spy->HasValue() ? TFormWindow::SpyInt(spy) : combo->Value();
}

bool TEditorRules::HasSetting(const TKQEnumComboBox* combo) const
{
    const TKQItemSpy* spy = watched.value(combo);
    return combo->HasValue() || (spy && spy->HasValue());
}

bool TEditorRules::Checked(const TKQCheckBox* box)
{
    return box->HasValue() && box->isChecked();
}

void TEditorRules::ShowPage(TKQTabSheet* page, bool shown)
{
    window.ShowPage(page, shown);
}

void TEditorRules::TurbineTypeChange()
{
    const int type = Setting(turbineType);
    if (type <= 5) {
        // Each turbine type offers at most one of the three control pages and its map.
        const struct {
            int type;
            TKQTabSheet* control;
            TKQTabSheet* map;
        } pages[] = {{3, extraction, extractionMap}, {4, admission, admissionMap}, {5, extrAdm, extrAdmMap}};
        for (const auto& row : pages) {
            if (row.type != type)
                ShowPage(row.map, false);
            ShowPage(row.control, row.type == type);
        }
    }
    HandleTurbineType();
    ShowSteamMap();
}

void TEditorRules::HandleTurbineType()
{
    const bool known = !ruleSet.turbineTypeNeedsValue || HasSetting(turbineType);
    TFormWindow::Show(ratioLimiterMode, known && Setting(turbineType) > 2);
}

void TEditorRules::ShowSteamMap()
{
    for (TKQTabSheet* map : {extractionMap, admissionMap, extrAdmMap})
        ShowPage(map, false);
    if (!HasSetting(turbineType) || !ratioLimiterSpy->HasValue()
        || TFormWindow::SpyInt(ratioLimiterSpy) == DecoupledHpLp)
        return;
    switch (Setting(turbineType)) {
    case 3: ShowPage(extractionMap, true); break;
    case 4: ShowPage(admissionMap, true); break;
    case 5: ShowPage(extrAdmMap, true); break;
    default: break;
    }
}

void TEditorRules::ApplyAuxConfiguration()
{
    if (!auxConfSpy->HasValue())
        return;
    const int use = TFormWindow::SpyInt(auxConfSpy);
    if (use < 2) {
        ShowPage(aux, false);
    } else if (use <= 3) {
        aux->SetCaption(use == 2 ? QStringLiteral("Aux Control") : QStringLiteral("Aux Limiter"));
        if (auxSetpointInit)
            TFormWindow::Show(auxSetpointInit, use == 3);
    }
    window.UpdateFormCaption();
}

void TEditorRules::StartRoutineChange()
{
    const int routine = startRoutine->Value();
    if (routine < 2) {
        TFormWindow::Show(useInitV1, true);
        TFormWindow::Show(initV1, Checked(useInitV1));
    } else if (routine <= 3) {
        if (ruleSet.startRoutineClearsInitV1)
            useInitV1->SetChecked(false);
        TFormWindow::Show(useInitV1, false);
        TFormWindow::Show(initV1, false);
    }
}

void TEditorRules::HandleIdleToRatedRoutine()
{
    if (!idleToRated->HasValue())
        return;
    const int routine = idleToRated->Value();
    if (routine > 4)
        return;
    // Manual raise/lower, idle/rated ramp and auto sequence each show their group and the critical speeds.
    for (int i = 0; i < 3; ++i)
        TFormWindow::Show(idleToRatedParts[size_t(i)], routine == i + 2);
    TFormWindow::Show(idleToRatedParts[3], routine >= 2);
}

void TEditorRules::CriticalSpeedChange()
{
    const bool used = useBand1->isChecked();
    TFormWindow::Show(criticalAvoidance, used);
    if (used)
        TFormWindow::Show(band2, ruleSet.band2NeedsValue ? Checked(useBand2) : useBand2->isChecked());
}

void TEditorRules::DroopTypeChange()
{
    const int droop = droopType->Value();
    if (droop > 3)
        return;
    TFormWindow::Show(maximumLoad, droop == 3);
    TFormWindow::Show(loadUnits, droop < 3);
}

void TEditorRules::DriverTurbineType()
{
    const int type = TFormWindow::SpyInt(turbineTypeSpy);
    if (type > 5)
        return;
    const bool hpLp = type >= 3;
    act1->setProperty("Caption", hpLp ? QStringLiteral("Act #1 (HP) Settings") : QStringLiteral("Act #1 Settings"));
    if (type >= 2)
        act2->setProperty("Caption", hpLp ? QStringLiteral("Act #2 (LP) Settings") : QStringLiteral("Act #2 Settings"));
    TFormWindow::Show(act2, type >= 2);
    TFormWindow::Show(act2Readout, type < 2);
    if (type >= 2)
        TFormWindow::Show(act2Offset, type == 2);
}

void TEditorRules::RelaysFunction(const TRelay& relay)
{
    if (!relay.function->HasValue())
        return;
    const int function = relay.function->Value();
    if (function > StateIndication)
        return;
    TFormWindow::Show(relay.configuration, function >= LevelSwitch);
    TFormWindow::Show(relay.level, function == LevelSwitch);
    TFormWindow::Show(relay.indication, function == StateIndication);
}

void TEditorRules::PortBChange()
{
    const int type = portB->Value();
    for (QWidget* part : printer)
        TFormWindow::Show(part, type == 3);
    if (type == 2) {
        TFormWindow::Show(disableSioB, false);
        TFormWindow::Show(port2Modbus, true);
        TFormWindow::Show(modbus2General, true);
        ShowIf(modbus2General2, false);
        return;
    }
    if (type > 3)
        return;
    if (disableSioB->isChecked() || (sioBSpy->HasValue() && !TFormWindow::SpyBool(sioBSpy))) {
        TFormWindow::Show(port2Modbus, false);
        TFormWindow::Show(modbus2General, false);
    }
    if (TFormWindow::SpyBool(sioBSpy))
        TFormWindow::Show(disableSioB, true);
}

void TEditorRules::SioBChange()
{
    const bool present = TFormWindow::SpyBool(sioBSpy);
    for (QWidget* part : sioBParts)
        TFormWindow::Show(part, present);
    TFormWindow::Show(disableSioB, present);
    if (present) {
        ShowPage(sioPage, true);
        return;
    }
    if (!TFormWindow::SpyBool(sioASpy))
        ShowPage(sioPage, false);
    if (Setting(portB) != 2) {
        TFormWindow::Show(port2Modbus, false);
        TFormWindow::Show(modbus2General, false);
    }
}

void TEditorRules::SioAChange()
{
    const bool present = TFormWindow::SpyBool(sioASpy);
    for (QWidget* part : sioAParts)
        TFormWindow::Show(part, present);
    if (present)
        ShowPage(sioPage, true);
    else if (!TFormWindow::SpyBool(sioBSpy))
        ShowPage(sioPage, false);
}

void TEditorRules::SioAPort4Change()
{
    const int type = sioAPort4->Value();
    if (type > 3)
        return;
    TFormWindow::Show(sioAPort4Settings, type == 2);
    TFormWindow::Show(driver4A, type >= 2);
    // The second Modbus #2 settings stand in only while the Communications page shows none.
    TFormWindow::Show(modbus2General2, type == 2 && !port2Modbus->isVisibleTo(communications));
}

void TEditorRules::SioBPort3Change()
{
    const int type = sioBPort3->Value();
    if (type > 3)
        return;
    TFormWindow::Show(sioBPort3Settings, type == 2);
    TFormWindow::Show(driver3B, type >= 2);
    TFormWindow::Show(modbus1General2, type == 2 && Setting(portA) == 1);
}
