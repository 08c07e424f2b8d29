// One simulated 4812 control: its values, modes, commands and non-volatile
// store, with the turbine model and the configuration check giving it life.
// The DDE front asks it what to answer; it says which values changed.
#pragma once

#include "server/ControlDatabase.h"
#include "server/ControlValues.h"
#include "server/NetworkDefinition.h"
#include "server/ValueStore.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class TTurbineModel;
class TConfigurationCheck;
class TTuneLimits;

class TSimulatedControl : public TControlValues {
public:
    enum class TMode { Running, Configure, Resetting };

    enum class TPokeResult {
        Accepted,
        UnknownItem,
        ReadOnly,           // monitor items and most of the server's own words
        NotInConfigureMode, // configure items outside configure mode
        BadValue,           // does not parse for the item's type
        OutOfLimits,        // outside the limits while range checking is on
        NotAnswering,       // the control is resetting
    };

    // Builds the control: loads its databases, starting configuration and store.
    // Returns nullptr with a message naming the file and line on a problem. A
    // damaged store is not a problem: the control starts without it (warning set).
    static std::unique_ptr<TSimulatedControl> Create(const TControlDefinition& definition, QString* error,
                                                     QString* warning = nullptr);
    ~TSimulatedControl() override;

    const QString& Id() const { return m_id; }
    TMode Mode() const { return m_mode; }
    const TControlDatabase& Database() const { return m_database; }
    // The store; nullptr for a control without one.
    TValueStore* Store() { return m_store.get(); }

    // What the program sees. Nothing while the control is resetting.
    std::optional<QString> Request(const QString& name) const;
    std::optional<QByteArray> SymbolInfo(const QString& name) const;
    TPokeResult Poke(const QString& name, const QString& text);
    // "Shutdown", "SaveValues" or "Reset"; false for anything else.
    bool Execute(const QString& command);
    // A test forces what the control would see (the System item "Simulate", docs/server.md):
    //   set ITEM=VALUE   the item takes the value, whatever its class and the limits
    //   alarm TEXT       the control raises an alarm with that message
    //   trip TEXT        the turbine trips with that cause
    //   clear            the current alarm list is emptied
    //   check ...        a test switch of the configuration check (TConfigurationCheck::Simulate)
    //   sio A|B present|absent   fits or takes away an SIO module; the control keeps it so across resets
    // False, with the reason, for anything else and while the control is resetting.
    bool Simulate(const QString& command, QString* error);
    // Whether an advise loop on the name makes sense.
    bool CanAdvise(const QString& name) const;
    // The current text of an item or server word, whatever the mode (for advise data).
    std::optional<QString> Value(const QString& name) const;

    // Advances the control by one tick (ServerTiming::TickSeconds of control time).
    void Tick();

    // Called with the upper-case name of each value that changed or was written;
    // an empty name means that every value may have changed.
    std::function<void(const QString& name)> valueChanged;
    // Reports problems that no client sees (store failures), for the log.
    std::function<void(const QString& message)> report;

    // TControlValues: the model's and the check's access, without class or limit checks.
    bool Has(const QString& name) const override;
    QString Text(const QString& name) const override;
    double Number(const QString& name) const override;
    bool Flag(const QString& name) const override;
    void SetText(const QString& name, const QString& text) override;
    void SetNumber(const QString& name, double value) override;
    void SetFlag(const QString& name, bool value) override;

    // A hold item marks a changed tunable until the next SaveValues clears it.
    static bool IsHoldItem(const TItemDefinition& item);

private:
    enum class TCommand { Shutdown, SaveValues, Reset };
    struct TPending {
        TCommand command;
        int ticksLeft;
    };

    TSimulatedControl() = default;
    bool LoadStartingConfiguration(const QString& path, QString* error);
    // Values as after power-up: defaults, starting configuration, then the store.
    void PowerUp(QString* warning);
    void Changed(const QString& name);
    // Stores a value written or forced, advises it and lets the model, the check and the limits react.
    void Accept(const TItemDefinition& item, const QString& value);
    void SetResult(TCommand command, const QString& text);
    int Complete(TCommand command);
    int SaveValues();

    QString m_id;
    TControlDatabase m_database;
    QString m_mutableItemList;
    QString m_applicationId;
    QList<QPair<QString, QString>> m_startingValues;
    QString m_startingConfigurationId;
    std::unique_ptr<TValueStore> m_store;
    bool m_sioFitted[2] = {true, true}; // hardware: SIO-A, SIO-B

    QHash<QString, QString> m_values;
    QString m_configurationId;
    bool m_rangeChecking = true;
    QString m_results[3];
    TMode m_mode = TMode::Running;
    int m_resetTicksLeft = 0;
    QList<TPending> m_pending;

    std::unique_ptr<TTurbineModel> m_model;
    std::unique_ptr<TConfigurationCheck> m_check;
    std::unique_ptr<TTuneLimits> m_limits;
};
