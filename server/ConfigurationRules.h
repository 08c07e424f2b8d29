// The rules behind the configuration check. Each group looks at one part of the
// configuration and reports error numbers that lead the operator to the page or
// setting to correct; docs/configuration-check.md lists them.
#pragma once

#include "server/ConfigurationCheck.h"

#include <array>

class TControlValues;

// What a configured function or signal needs from the rest of the configuration.
enum class TConfigNeed {
    Always,
    Generator,       // generator application
    ExtrAdm,         // extraction and/or admission turbine
    Cascade,         // cascade PID used
    Aux,             // auxiliary PID used as controller or limiter
    IdleUsed,        // an idle to rated routine with an idle speed
    AutoSequence,    // auto startup sequence
    LocalRemote,     // local/remote function used
    RemoteSpeed,     // 4-20 mA remote speed setpoint used
    RemoteExtrAdm,   // remote extraction/admission setpoint used
    RemoteCascade,   // remote cascade setpoint used
    RemoteAux,       // remote auxiliary setpoint used
    KwInput,         // KW/unit load analog input (generator)
    SyncSignal,      // synchronizing or sync/load share analog input (generator)
    LoadShareInput,  // sync/load share analog input (generator)
    FirstStageInput, // first stage pressure analog input
    MonitorInput,    // monitor analog input
    SecondActuator,  // actuator 2 drives a valve
};

class TConfigurationRules {
public:
    explicit TConfigurationRules(const TControlValues& values);

    // The errors found, ordered by error number.
    QList<TConfigError> Check();

private:
    double Number(const QString& item) const;
    int Choice(const QString& item) const;
    bool Flag(const QString& item) const;
    bool HasAnalog(int function) const;
    bool HasContact(int function) const;
    bool Provides(TConfigNeed need) const;
    double IdleSpeed() const;
    void Report(int number, const QString& message);

    void CheckSpeedSettings();
    void CheckStartSettings();
    void CheckCriticalSpeeds();
    void CheckIdleToRated();
    void CheckAutoSequence();
    void CheckContactInputs();
    void CheckAnalogInputs();
    void CheckRemoteSetpoints();
    void CheckRelays();
    void CheckReadouts();
    void CheckExtrAdm();
    void CheckSteamMap();
    void CheckCascade();
    void CheckAuxiliary();

    const TControlValues& values;
    std::array<int, 8> analogFunctions {};   // analog inputs 1 to 8
    std::array<int, 20> contactFunctions {}; // contact inputs 5 to 24
    QList<TConfigError> errors;
};
