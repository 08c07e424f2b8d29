// The rules by which a configuration editor offers only what applies to the
// configured turbine: pages, groups and controls are shown, hidden and
// relabelled as the turbine type, application, PID use, start routine, relay
// functions and port types change. Program and Service mode share them; what
// differs between the two windows is data (TEditorRuleSet).
#pragma once

#include "app/EditorWindow.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <array>
#include <vector>

class QLabel;
class QWidget;
class TKQCheckBox;
class TKQEnumComboBox;
class TKQItemSpy;
class TKQTabSheet;

// How a window applies the shared rules.
struct TEditorRuleSet {
    // Pages whose rules a window has besides those of the application, start,
    // speed, extraction/admission and steam map pages, which every editor has.
    enum TPages : unsigned {
        AuxCascadePages = 1,
        DriverPage = 2,
        InputOutputPages = 4, // analog inputs and readouts
        RelayPages = 8,
        CpuPortPages = 16, // the CPU port groups and the SIO modules' parts
        SioRedundantPage = 32, // the SIO channels standing in for CPU ports, with second Modbus settings
        AllPages = 63,
    };
    unsigned pages = AllPages;
    // The page and the parts offered while each SIO module is fitted.
    QString sioPage = QStringLiteral("KPSIOABRedundant");
    QStringList sioAParts{"EDriver3A", "LSioAPort3", "LCpuABypassed", "GSioAChannel4"};
    QStringList sioBParts{"EDriver4B", "LSioBPort3", "LCpuBBypassed", "GSioBChannel3"};
    // "Use Initial V1 Position On Startup" is cleared (written) when the start routine makes it meaningless.
    bool startRoutineClearsInitV1 = true;
    // The ratio-limiter row needs a valid turbine type to be shown.
    bool turbineTypeNeedsValue = true;
    // The ratio-limiter spy itself shows the steam map pages again.
    bool ratioLimiterShowsSteamMap = false;
    // The band 2 group needs a valid value of its check box to be shown.
    bool band2NeedsValue = true;
    // Speed inputs 2 to 4 show their settings panels (PSpeedInput<n>) with their channel rows.
    bool speedInputPanels = false;
    // The "Use 4-20 mA Remote ... Setpoint" boxes show their rate rows.
    bool remoteSetpointBoxes = true;
    // The Extraction Control page's application spy also shows the generator group of Speed Control.
    bool extractionShowsSpeedGroup = false;

    bool Has(TPages page) const { return (pages & page) != 0; }
};

class TEditorRules : public QObject {
    Q_OBJECT
public:
    // Looks up the window's parts (a missing one fails now) and follows their values.
    TEditorRules(TEditorWindow& window, const TEditorRuleSet& ruleSet);

    // What the editor's pages do on entry: the Application, Start Settings and
    // Aux pages their rules, the pages with application or turbine type rules
    // the lock of their spies.
    QList<TEditorWindow::TPageEntry> PageEntries();

    // The page entry work of the Application, Start Settings and Aux pages.
    void HandleTurbineType();
    void HandleIdleToRatedRoutine();
    void ApplyAuxConfiguration();
    void ShowSteamMap();

private:
    // The controls of one extraction/admission-like page that the rules follow.
    struct TControlPage {
        TKQItemSpy* applicationSpy;
        QWidget* breaker;
        TKQCheckBox* tracking; // nullptr: the page has none
        QWidget* setpointInit;
        TKQCheckBox* remote;
        QWidget* remoteRate;
    };
    struct TRelay {
        TKQEnumComboBox* function;
        QWidget* level;
        QWidget* indication;
        QWidget* configuration;
    };

    void SetUpApplication();
    void SetUpStartSettings();
    void SetUpSpeedControl();
    void SetUpControlPages();
    void SetUpAuxCascade();
    void SetUpDriver();
    void SetUpInputsOutputs();
    void SetUpRelays();
    void SetUpCpuPorts();
    void SetUpSioModules();
    void SetUpSioRedundant();
    // Shows or hides a part the window may lack (nullptr).
    static void ShowIf(QWidget* part, bool shown);
    template <class T = QWidget>
    T* Part(const QString& name) const;
    // A page's "Use Setpoint Tracking" (nullptr: none) and remote setpoint boxes, and the rows they show.
    void FollowSetpointRows(const char* tracking, const char* setpointInit, const char* remote, const char* remoteRate);

    void TurbineTypeChange();
    void StartRoutineChange();
    void PortBChange();
    void SioBChange();
    void SioAChange();
    void SioAPort4Change();
    void SioBPort3Change();
    void RelaysFunction(const TRelay& relay);
    void DriverTurbineType();
    void DroopTypeChange();
    void CriticalSpeedChange();
    void ShowPage(TKQTabSheet* page, bool shown);
    static bool Checked(const TKQCheckBox* box);
    // A setting that rules on other pages read: the control's own spy follows
    // it whether or not the control's page has been shown.
    TKQItemSpy* Watch(TKQEnumComboBox* combo);
    int Setting(const TKQEnumComboBox* combo) const;
    bool HasSetting(const TKQEnumComboBox* combo) const;

    TEditorWindow& window;
    TEditorRuleSet ruleSet;

    TKQEnumComboBox* turbineType = nullptr;
    TKQEnumComboBox* ratioLimiterMode = nullptr;
    TKQItemSpy* ratioLimiterSpy = nullptr;
    TKQTabSheet* extraction = nullptr;
    TKQTabSheet* extractionMap = nullptr;
    TKQTabSheet* admission = nullptr;
    TKQTabSheet* admissionMap = nullptr;
    TKQTabSheet* extrAdm = nullptr;
    TKQTabSheet* extrAdmMap = nullptr;
    TKQTabSheet* cascade = nullptr;
    TKQTabSheet* aux = nullptr;
    TKQTabSheet* sioPage = nullptr;
    TKQItemSpy* auxConfSpy = nullptr;
    QWidget* auxSetpointInit = nullptr; // on an Aux page with content
    TKQEnumComboBox* startRoutine = nullptr;
    TKQCheckBox* useInitV1 = nullptr;
    QWidget* initV1 = nullptr;
    TKQEnumComboBox* idleToRated = nullptr;
    std::array<QWidget*, 4> idleToRatedParts{}; // manual, ramp, auto sequence, critical speed
    TKQCheckBox* useBand1 = nullptr;
    TKQCheckBox* useBand2 = nullptr;
    QWidget* criticalAvoidance = nullptr;
    QWidget* band2 = nullptr;
    TKQEnumComboBox* droopType = nullptr;
    QWidget* maximumLoad = nullptr;
    QWidget* loadUnits = nullptr;
    TKQItemSpy* turbineTypeSpy = nullptr;
    QWidget* act1 = nullptr;
    QWidget* act2 = nullptr;
    QWidget* act2Readout = nullptr;
    QWidget* act2Offset = nullptr;
    TKQEnumComboBox* portA = nullptr;
    QWidget* modbus1General2 = nullptr; // the second Modbus #1 settings, on the SIOA/B page
    TKQEnumComboBox* portB = nullptr;
    std::array<QWidget*, 2> printer{}; // panel and group
    QWidget* port2Modbus = nullptr;
    QWidget* modbus2General = nullptr;
    QWidget* modbus2General2 = nullptr;
    QWidget* communications = nullptr;
    QList<QWidget*> sioBParts; // shown while the SIO-B module is fitted
    QList<QWidget*> sioAParts;
    TKQEnumComboBox* sioAPort4 = nullptr;
    QWidget* sioAPort4Settings = nullptr;
    QWidget* driver4A = nullptr;
    TKQEnumComboBox* sioBPort3 = nullptr;
    QWidget* sioBPort3Settings = nullptr;
    QWidget* driver3B = nullptr;
    TKQCheckBox* disableSioB = nullptr;
    TKQItemSpy* sioASpy = nullptr;
    TKQItemSpy* sioBSpy = nullptr;
    std::vector<TRelay> relays;
    QHash<const TKQEnumComboBox*, TKQItemSpy*> watched;
};
