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

template <class Sender>
void Follow(TEditorRules* rules, Sender* sender, void (Sender::*signal)(QObject*), std::function<void()> rule)
{
    QObject::connect(sender, signal, rules, [rule = std::move(rule)](QObject*) { TFormWindow::Guarded(rule); });
}

} // namespace

TEditorRules::TEditorRules(TEditorWindow& editor, const TEditorRuleSet& rules)
    : QObject(&editor), window(editor), ruleSet(rules)
{
    const auto part = [&editor]<class T = QWidget>(const QString& name) { return editor.Part<T>(name); };
    const auto combo = [&](const QString& name) { return part.operator()<TKQEnumComboBox>(name); };
    const auto box = [&](const QString& name) { return part.operator()<TKQCheckBox>(name); };
    const auto spy = [&](const QString& name) { return part.operator()<TKQItemSpy>(name); };
    const auto page = [&](const QString& name) { return part.operator()<TKQTabSheet>(name); };
    constexpr auto changed = &TKQEnumComboBox::OnValueChange;
    constexpr auto ticked = &TKQCheckBox::OnValueChange;
    constexpr auto spied = &TKQItemSpy::OnValueChange;

    // Turbine type, its pages and the steam maps.
    turbineType = combo("ETurbineType");
    Watch(turbineType);
    ratioLimiterMode = combo("ERatioLimiterMode");
    ratioLimiterSpy = spy("KSpyRatioLimiter");
    extraction = page("KPExtractionControl");
    extractionMap = page("KPExtractionSteamMap");
    admission = page("KPAdmissionControl");
    admissionMap = page("KPAdmissionSteamMap");
    extrAdm = page("KPExtrAdmControl");
    extrAdmMap = page("KPExtAdmSteamMap");
    cascade = page("KPCascadeControl");
    aux = page("KPAuxControl");
    sioRedundant = page("KPSIOABRedundant");
    Follow(this, turbineType, changed, [this] { TurbineTypeChange(); });
    if (rules.ratioLimiterShowsSteamMap)
        Follow(this, ratioLimiterSpy, spied, [this] { ShowSteamMap(); });

    // Cascade and auxiliary PID.
    TKQEnumComboBox* cascadeConf = combo("ECascadeConf");
    Follow(this, cascadeConf, changed, [this, cascadeConf] {
        if (cascadeConf->HasValue())
            ShowPage(cascade, cascadeConf->Value() == 2);
    });
    TKQEnumComboBox* auxConf = combo("EAuxConf");
    auxConfSpy = spy("KSpyAuxConf");
    auxSetpointInit = part("PAuxSetptInit");
    Follow(this, auxConf, changed, [this, auxConf] {
        const int use = auxConf->Value();
        if (use < 2)
            ShowPage(aux, false);
        else if (use <= 3) {
            aux->SetCaption(use == 2 ? QStringLiteral("Aux Control") : QStringLiteral("Aux Limiter"));
            ShowPage(aux, true);
        }
    });
    Follow(this, auxConfSpy, spied, [this] { ApplyAuxConfiguration(); });

    // Application: the KW inputs, and each control page's generator-only parts.
    TKQEnumComboBox* application = combo("EApplication");
    QWidget* kwInputs[] = {part("CAuxUseKw"), part("CCascUseKw")};
    Follow(this, application, changed, [application, kwInputs] {
        if (application->Value() > Generator)
            return;
        for (QWidget* kw : kwInputs)
            TFormWindow::Show(kw, application->Value() == Generator);
    });
    const struct {
        const char* spy;
        const char* shown;
    } generatorParts[] = {{"KSpyApplSpeed", "GSpeedDroop"}, {"KSpyApplExtraction", "PXBreaker"},
                          {"KSpyApplAdmission", "PABreaker"}, {"KSpyApplExtrAdm", "PXABreaker"},
                          {"KSpyApplAux", "PAuxBreaker"},     {"KSpyApplCascade", "PCascBreaker"}};
    for (const auto& row : generatorParts) {
        TKQItemSpy* applicationSpy = spy(QLatin1String(row.spy));
        QWidget* shown = part(QLatin1String(row.shown));
        Follow(this, applicationSpy, spied, [applicationSpy, shown] {
            TFormWindow::Show(shown, TFormWindow::SpyInt(applicationSpy) == Generator);
        });
    }

    // Start settings.
    startRoutine = combo("EStartRoutine");
    useInitV1 = box("CUseInitV1");
    initV1 = part("PInitV1");
    Follow(this, startRoutine, changed, [this] { StartRoutineChange(); });
    Follow(this, useInitV1, ticked, [this] { TFormWindow::Show(initV1, useInitV1->isChecked()); });
    idleToRated = combo("EIdleToRated");
    idleToRatedParts = {part("GManualRaiseLower"), part("GIdleRatedRamp"), part("GAutoSequence"),
                        part("PCriticalSpeed")};
    Follow(this, idleToRated, changed, [this] { HandleIdleToRatedRoutine(); });
    useBand1 = box("CUseBand1");
    useBand2 = box("CUseBand2");
    criticalAvoidance = part("PCriticalAvoidance");
    band2 = part("GBand2");
    Follow(this, useBand1, ticked, [this] { CriticalSpeedChange(); });
    Follow(this, useBand2, ticked, [this] { TFormWindow::Show(band2, useBand2->isChecked()); });

    // Speed control.
    TKQCheckBox* remoteSpeed = box("CUseRemoteSpeed");
    QWidget* remoteSpeedRate = part("PRemoteSpeedRate");
    Follow(this, remoteSpeed, ticked,
           [remoteSpeed, remoteSpeedRate] { TFormWindow::Show(remoteSpeedRate, remoteSpeed->isChecked()); });
    droopType = combo("EDroopType");
    maximumLoad = part("PMaximumLoad");
    loadUnits = part("LLoadUnits");
    Follow(this, droopType, changed, [this] { DroopTypeChange(); });
    for (int input = 2; input <= 4; ++input) {
        TKQEnumComboBox* speedInput = combo(QStringLiteral("ESpeedInput%1").arg(input));
        QWidget* channels = part(QStringLiteral("PFtm%1").arg(input));
        Follow(this, speedInput, changed,
               [speedInput, channels] { TFormWindow::Show(channels, speedInput->Value() >= 2); });
    }

    // The extraction/admission, auxiliary and cascade pages: tracking and remote setpoint rows.
    const struct {
        const char* tracking; // nullptr: none
        const char* setpointInit;
        const char* remote;
        const char* remoteRate;
    } controlPages[] = {{"CXTracking", "PXSetptInit", "CXRemote", "PXRemoteRate"},
                        {"CATracking", "PASetptInit", "CARemote", "PARemoteRate"},
                        {"CXATracking", "PXASetptInit", "CXARemote", "PXARemoteRate"},
                        {"CCascTracking", "PCascSetptInit", "CCascRemote", "PCascRemoteRate"},
                        {nullptr, nullptr, "CAuxRemote", "PAuxRemoteRate"}};
    for (const auto& row : controlPages) {
        if (row.tracking) {
            TKQCheckBox* tracking = box(QLatin1String(row.tracking));
            QWidget* setpointInit = part(QLatin1String(row.setpointInit));
            Follow(this, tracking, ticked,
                   [tracking, setpointInit] { TFormWindow::Show(setpointInit, !tracking->isChecked()); });
        }
        TKQCheckBox* remote = box(QLatin1String(row.remote));
        QWidget* remoteRate = part(QLatin1String(row.remoteRate));
        Follow(this, remote, ticked, [remote, remoteRate] { TFormWindow::Show(remoteRate, remote->isChecked()); });
    }

    // Driver configuration.
    turbineTypeSpy = spy("KSpyTurbineType");
    act1 = part("GAct1");
    act2 = part("GAct2");
    act2Readout = part("GAct2Readout");
    act2Offset = part("PAct2Offset");
    Follow(this, turbineTypeSpy, spied, [this] { DriverTurbineType(); });
    for (int actuator = 1; actuator <= 2; ++actuator) {
        TKQEnumComboBox* range = combo(QStringLiteral("EAct%1Range").arg(actuator));
        QWidget* low = part(QStringLiteral("PAct%1Range420").arg(actuator));
        QWidget* high = part(QStringLiteral("PAct%1Range20160").arg(actuator));
        Follow(this, range, changed, [range, low, high] {
            TFormWindow::Show(high, range->Value() != 0);
            TFormWindow::Show(low, range->Value() == 0);
        });
    }
    TKQCheckBox* act2AsReadout = box("CAct2Readout");
    QWidget* readoutOptions = part("PAct2ReadoutOptions");
    Follow(this, act2AsReadout, ticked,
           [act2AsReadout, readoutOptions] { TFormWindow::Show(readoutOptions, act2AsReadout->isChecked()); });

    // Analog inputs and readouts: the values of each used one.
    const auto followOption = [&](const QString& option, const QString& values) {
        TKQEnumComboBox* used = combo(option);
        QWidget* shown = part(values);
        Follow(this, used, changed, [used, shown] { TFormWindow::Show(shown, used->Value() != NotUsed); });
    };
    for (int input = 1; input <= 8; ++input)
        followOption(QStringLiteral("EAnalogInput%1").arg(input), QStringLiteral("PAnalogInput%1").arg(input));
    for (int readout = 1; readout <= 4; ++readout)
        followOption(QStringLiteral("EReadout%1").arg(readout), QStringLiteral("PReadout%1").arg(readout));

    // Relays 3 to 12.
    for (int number = 3; number <= 12; ++number) {
        const QString n = QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
        relays.push_back({combo("ERelay" + n + "Function"), part("PRelay" + n + "Level"),
                          part("PRelay" + n + "Indication"), part("PRelay" + n + "Config")});
    }
    for (size_t i = 0; i < relays.size(); ++i)
        Follow(this, relays[i].function, changed, [this, i] { RelaysFunction(relays[i]); });

    // Communications.
    portA = combo("EPortA");
    Watch(portA);
    QWidget* port1Modbus = part("PPort1Modbus");
    QWidget* modbus1General = part("GModbus1General");
    modbus1General2 = part("GModbus1General2");
    Follow(this, portA, changed, [this, port1Modbus, modbus1General] {
        if (portA->Value() > 2)
            return;
        TFormWindow::Show(port1Modbus, portA->Value() == 2);
        TFormWindow::Show(modbus1General, portA->Value() == 2);
        if (portA->Value() == 2)
            TFormWindow::Show(modbus1General2, false);
    });
    portB = combo("EPortB");
    Watch(portB);
    printer = {part("PPrinter"), part("GPrinter")};
    port2Modbus = part("PPort2Modbus");
    modbus2General = part("GModbus2General");
    modbus2General2 = part("GModbus2General2");
    communications = part("KPCommunications");
    sioBParts = {part("EDriver4B"), part("LSioBPort3"), part("LCpuBBypassed"), part("GSioBChannel3")};
    sioAParts = {part("EDriver3A"), part("LSioAPort3"), part("LCpuABypassed"), part("GSioAChannel4")};
    sioAPort4 = combo("ESioAPort4");
    sioAPort4Settings = part("PSioAPort4");
    driver4A = part("EDriver4A");
    sioBPort3 = combo("ESioBPort3");
    sioBPort3Settings = part("PSioBPort3");
    driver3B = part("EDriver3B");
    disableSioB = box("CDisableSioB");
    sioASpy = spy("KSpySioA");
    sioBSpy = spy("KSpySioB");
    Follow(this, portB, changed, [this] { PortBChange(); });
    Follow(this, disableSioB, ticked, [this] {
        const bool disabled = disableSioB->isChecked();
        TFormWindow::Show(port2Modbus, !disabled);
        TFormWindow::Show(modbus2General, !disabled);
        if (!disabled)
            TFormWindow::Show(modbus2General2, false);
    });
    Follow(this, sioBSpy, spied, [this] { SioBChange(); });
    Follow(this, sioASpy, spied, [this] { SioAChange(); });
    Follow(this, sioAPort4, changed, [this] { SioAPort4Change(); });
    Follow(this, sioBPort3, changed, [this] { SioBPort3Change(); });
}

TKQItemSpy* TEditorRules::Watch(TKQEnumComboBox* combo)
{
    auto* spy = new TKQItemSpy(&window);
    spy->BeginLoading();
    spy->SetDevice(dynamic_cast<TKQDevice*>(combo->Device()));
    spy->SetItemName(combo->ItemName());
    spy->SetLockOnAdvise(true);
    spy->Loaded();
    watched.insert(combo, spy);
    return spy;
}

int TEditorRules::Setting(const TKQEnumComboBox* combo) const
{
    // A control on a page not shown may not hold the control's value; its spy does.
    if (combo->isVisible() && combo->HasValue())
        return combo->Value();
    const TKQItemSpy* spy = watched.value(combo);
    return spy && spy->HasValue() ? TFormWindow::SpyInt(spy) : combo->Value();
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
    const int type = turbineType->Value();
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
    const bool known = !ruleSet.turbineTypeNeedsValue || turbineType->HasValue();
    TFormWindow::Show(ratioLimiterMode, known && turbineType->Value() > 2);
}

void TEditorRules::ShowSteamMap()
{
    for (TKQTabSheet* map : {extractionMap, admissionMap, extrAdmMap})
        ShowPage(map, false);
    const TKQItemSpy* typeSpy = watched.value(turbineType);
    if (!(turbineType->HasValue() || (typeSpy && typeSpy->HasValue())) || !ratioLimiterSpy->HasValue()
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
        TFormWindow::Show(band2, Checked(useBand2));
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
        TFormWindow::Show(modbus2General2, false);
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
        ShowPage(sioRedundant, true);
        return;
    }
    if (!TFormWindow::SpyBool(sioASpy))
        ShowPage(sioRedundant, false);
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
        ShowPage(sioRedundant, true);
    else if (!TFormWindow::SpyBool(sioBSpy))
        ShowPage(sioRedundant, false);
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
