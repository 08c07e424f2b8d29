// The rules by which a configuration editor offers only what applies to the
// configured turbine: pages, groups and controls are shown, hidden and
// relabelled as the turbine type, application, PID use, start routine, relay
// functions and port types change. Program and Service mode share them; what
// differs between the two windows is data (TEditorRuleSet).
#pragma once

#include <QHash>
#include <QObject>

#include <array>
#include <vector>

class QLabel;
class QWidget;
class TEditorWindow;
class TKQCheckBox;
class TKQEnumComboBox;
class TKQItemSpy;
class TKQTabSheet;

// How a window applies the shared rules.
struct TEditorRuleSet {
    // "Use Initial V1 Position On Startup" is cleared (written) when the start routine makes it meaningless.
    bool startRoutineClearsInitV1 = true;
    // The ratio-limiter row needs a valid turbine type to be shown.
    bool turbineTypeNeedsValue = true;
    // The ratio-limiter spy itself shows the steam map pages again.
    bool ratioLimiterShowsSteamMap = false;
};

class TEditorRules : public QObject {
    Q_OBJECT
public:
    // Looks up the window's parts (a missing one fails now) and follows their values.
    TEditorRules(TEditorWindow& window, const TEditorRuleSet& ruleSet);

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

    TEditorWindow& window;
    TEditorRuleSet ruleSet;

    TKQEnumComboBox* turbineType;
    TKQEnumComboBox* ratioLimiterMode;
    TKQItemSpy* ratioLimiterSpy;
    TKQTabSheet* extraction;
    TKQTabSheet* extractionMap;
    TKQTabSheet* admission;
    TKQTabSheet* admissionMap;
    TKQTabSheet* extrAdm;
    TKQTabSheet* extrAdmMap;
    TKQTabSheet* cascade;
    TKQTabSheet* aux;
    TKQTabSheet* sioRedundant;
    TKQItemSpy* auxConfSpy;
    QWidget* auxSetpointInit;
    TKQEnumComboBox* startRoutine;
    TKQCheckBox* useInitV1;
    QWidget* initV1;
    TKQEnumComboBox* idleToRated;
    std::array<QWidget*, 4> idleToRatedParts; // manual, ramp, auto sequence, critical speed
    TKQCheckBox* useBand1;
    TKQCheckBox* useBand2;
    QWidget* criticalAvoidance;
    QWidget* band2;
    TKQEnumComboBox* droopType;
    QWidget* maximumLoad;
    QWidget* loadUnits;
    TKQItemSpy* turbineTypeSpy;
    QWidget* act1;
    QWidget* act2;
    QWidget* act2Readout;
    QWidget* act2Offset;
    TKQEnumComboBox* portA;
    QWidget* modbus1General2; // the second Modbus #1 settings, on the SIOA/B page
    TKQEnumComboBox* portB;
    std::array<QWidget*, 2> printer; // panel and group
    QWidget* port2Modbus;
    QWidget* modbus2General;
    QWidget* modbus2General2;
    QWidget* communications;
    std::array<QWidget*, 4> sioBParts; // shown while the SIO-B module is fitted
    std::array<QWidget*, 4> sioAParts;
    TKQEnumComboBox* sioAPort4;
    QWidget* sioAPort4Settings;
    QWidget* driver4A;
    TKQEnumComboBox* sioBPort3;
    QWidget* sioBPort3Settings;
    QWidget* driver3B;
    TKQCheckBox* disableSioB;
    TKQItemSpy* sioASpy;
    TKQItemSpy* sioBSpy;
    std::vector<TRelay> relays;
    QHash<const TKQEnumComboBox*, TKQItemSpy*> watched;
};
