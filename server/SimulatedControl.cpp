#include "server/SimulatedControl.h"

#include "platform/files/RegularFile.h"
#include "server/ConfigurationCheck.h"
#include "server/ServerTiming.h"
#include "server/TuneLimits.h"
#include "server/TurbineModel.h"
#include "server/ValueRules.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

namespace {

// Result codes of the commands.
constexpr int ResultSuccess = 0;
constexpr int ResultNotInConfigureMode = 1; // Reset outside configure mode
constexpr int ResultMemoryError = 1;        // SaveValues could not write the store
constexpr int ResultTurbineNotShutDown = 2; // Shutdown while the turbine runs
constexpr int ResultConfigureNotAllowed = 3; // Shutdown while configure mode is not enabled
constexpr int ResultUnsupported = 255;      // SaveValues on a control without a store

const QString RunMode = QStringLiteral("RUN MODE");
const QString ControlStatus = QStringLiteral("CONTROL STATUS");
const QString MutableItemList = QStringLiteral("MUTABLEITEMLIST");
const QString ConfigurationId = QStringLiteral("CONFIGURATION ID");
const QString ApplicationId = QStringLiteral("APPLICATION ID");
const QString SystemId = QStringLiteral("SYSTEM ID");
const QString EnableRgBlocks = QStringLiteral("ENABLE RG BLOCKS");
const QString ConfigureEnabled = QStringLiteral("Z_CPU_COM.EN_CONFIG.OR");

// The SIO modules the control may have fitted, and the items that report them.
struct SioModule {
    const char* letter;
    const char* item;
};
constexpr SioModule SioModules[] = {
    {"A", "Z_SIO_COM.SIO_A_OK.NOT"},
    {"B", "Z_SIO_COM.SIO_B_OK.NOT"},
};

struct CommandWord {
    const char* command;
    const char* resultItem;
};
// Indexed by TCommand.
constexpr CommandWord Commands[] = {
    {"SHUTDOWN", "SHUTDOWN.RESULT"},
    {"SAVEVALUES", "SAVEVALUES.RESULT"},
    {"RESET", "RESET.RESULT"},
};

// How the server's own words describe themselves in symbol information.
struct WordSymbol {
    const char* name;
    TItemClass itemClass;
    TItemType type;
    const char* min;
    const char* max;
};
constexpr WordSymbol WordSymbols[] = {
    {"RUN MODE", TItemClass::Monitor, TItemType::Boolean, "0", "1"},
    {"CONTROL STATUS", TItemClass::Monitor, TItemType::Boolean, "0", "1"},
    {"MUTABLEITEMLIST", TItemClass::Monitor, TItemType::String, "", ""},
    {"CONFIGURATION ID", TItemClass::Tunable, TItemType::String, "", ""},
    {"APPLICATION ID", TItemClass::Monitor, TItemType::String, "", ""},
    {"SYSTEM ID", TItemClass::Monitor, TItemType::String, "", ""},
    {"ENABLE RG BLOCKS", TItemClass::Tunable, TItemType::Boolean, "0", "1"},
    {"SHUTDOWN.RESULT", TItemClass::Monitor, TItemType::Integer, "0", "255"},
    {"SAVEVALUES.RESULT", TItemClass::Monitor, TItemType::Integer, "0", "255"},
    {"RESET.RESULT", TItemClass::Monitor, TItemType::Integer, "0", "255"},
};

// The control's application is its databases: their names and the date of the newest.
QString ApplicationIdText(const QStringList& databases)
{
    QStringList names;
    QDateTime newest;
    for (const QString& path : databases) {
        const QFileInfo info(path);
        names.append(info.fileName());
        if (!newest.isValid() || info.lastModified() > newest)
            newest = info.lastModified();
    }
    return names.join(QStringLiteral(", ")) + QStringLiteral("  ") + newest.toString(QStringLiteral("yyyy-MM-dd"));
}

QString SystemIdText()
{
    return QStringLiteral("Turvista control simulator on ") + QSysInfo::prettyProductName();
}

QString BoolText(bool value)
{
    return QString::fromLatin1(value ? "1" : "0");
}

} // namespace

std::unique_ptr<TSimulatedControl> TSimulatedControl::Create(const TControlDefinition& definition, QString* error,
                                                             QString* warning)
{
    std::unique_ptr<TSimulatedControl> control(new TSimulatedControl);
    control->m_id = definition.id;
    if (!control->m_database.Load(definition.databases, error))
        return nullptr;
    control->m_applicationId = ApplicationIdText(definition.databases);
    if (!definition.configuration.isEmpty() && !control->LoadStartingConfiguration(definition.configuration, error))
        return nullptr;
    if (!definition.store.isEmpty())
        control->m_store = std::make_unique<TValueStore>(definition.store);
    control->m_sioFitted[0] = definition.sioA;
    control->m_sioFitted[1] = definition.sioB;

    QStringList changeable;
    for (const TItemDefinition& item : control->m_database.Items())
        if (item.IsChangeable())
            changeable.append(item.name);
    control->m_mutableItemList = changeable.join(u'\t');

    control->m_model = std::make_unique<TTurbineModel>(*control);
    control->m_check = std::make_unique<TConfigurationCheck>(*control);
    control->m_limits = std::make_unique<TTuneLimits>(control->m_database, *control);
    QString storeWarning;
    control->PowerUp(&storeWarning);
    if (warning)
        *warning = storeWarning;
    return control;
}

TSimulatedControl::~TSimulatedControl() = default;

bool TSimulatedControl::LoadStartingConfiguration(const QString& path, QString* error)
{
    QString why;
    const std::optional<QByteArray> bytes = RegularFile::Read(path, RegularFile::MaxDefinitionBytes, &why);
    if (!bytes) {
        *error = path + QStringLiteral(": cannot read the starting configuration: ") + why;
        return false;
    }
    const QStringList lines = QString::fromLatin1(*bytes).split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        const QString where = path + u':' + QString::number(i + 1) + QStringLiteral(": ");
        const qsizetype tab = line.indexOf(u'\t');
        if (tab <= 0) {
            *error = where + QStringLiteral("expected NAME, a TAB and the value");
            return false;
        }
        const QString name = line.left(tab).trimmed();
        const TItemDefinition* item = m_database.Find(name);
        if (!item || !item->IsChangeable()) {
            *error = where + QStringLiteral("%1 is no tunable or configure item of the control").arg(name);
            return false;
        }
        const auto value = ValueRules::Normalize(item->type, line.mid(tab + 1));
        if (!value || !ValueRules::WithinLimits(*item, *value)) {
            *error = where + QStringLiteral("\"%1\" is no valid value of %2").arg(line.mid(tab + 1), item->name);
            return false;
        }
        m_startingValues.append({item->name, *value});
    }
    m_startingConfigurationId = QFileInfo(path).completeBaseName();
    return true;
}

void TSimulatedControl::PowerUp(QString* warning)
{
    m_values.clear();
    for (const TItemDefinition& item : m_database.Items())
        m_values.insert(item.name, item.defaultValue);
    // Hardware is not a value of the store: what is fitted stays fitted.
    for (int module = 0; module < 2; ++module)
        if (const TItemDefinition* item = m_database.Find(QLatin1String(SioModules[module].item)))
            m_values.insert(item->name, BoolText(m_sioFitted[module]));
    for (const auto& [name, value] : m_startingValues)
        m_values.insert(name, value);
    m_configurationId = m_startingConfigurationId;

    if (m_store) {
        TStoreContents contents;
        QString problem;
        switch (m_store->Load(&contents, &problem)) {
        case TValueStore::TLoadResult::Missing:
            break;
        case TValueStore::TLoadResult::Damaged:
            *warning = problem + QStringLiteral("; starting without saved values");
            break;
        case TValueStore::TLoadResult::Loaded: {
            int skipped = 0;
            for (const auto& [name, text] : contents.values) {
                const TItemDefinition* item = m_database.Find(name);
                const auto value = item && item->IsChangeable() ? ValueRules::Normalize(item->type, text)
                                                                : std::nullopt;
                if (value)
                    m_values.insert(item->name, *value);
                else
                    ++skipped;
            }
            m_configurationId = contents.configurationId;
            if (skipped > 0)
                *warning = m_store->Path()
                    + QStringLiteral(": %1 saved values no longer fit the database and were left out").arg(skipped);
            break;
        }
        }
    }

    m_rangeChecking = true;
    for (QString& result : m_results)
        result.clear();
    m_pending.clear();
    m_mode = TMode::Running;
    m_model->Start();
    m_check->Start();
    m_limits->Publish();
}

void TSimulatedControl::Changed(const QString& name)
{
    if (valueChanged)
        valueChanged(name);
}

bool TSimulatedControl::IsHoldItem(const TItemDefinition& item)
{
    static const QRegularExpression pattern(QStringLiteral("^[^.]+\\.(HOLD|HLD|H)_[^.]*\\.CTRL$"));
    return item.type == TItemType::Boolean && item.itemClass == TItemClass::Tunable
        && pattern.match(item.name).hasMatch();
}

// ---- what the program sees ---------------------------------------------------

std::optional<QString> TSimulatedControl::Value(const QString& name) const
{
    const QString upper = name.trimmed().toUpper();
    if (const auto found = m_values.constFind(upper); found != m_values.constEnd())
        return *found;
    if (upper == RunMode)
        return BoolText(m_mode == TMode::Configure);
    if (upper == ControlStatus)
        return BoolText(m_mode != TMode::Resetting);
    if (upper == MutableItemList)
        return m_mutableItemList;
    if (upper == ConfigurationId)
        return m_configurationId;
    if (upper == ApplicationId)
        return m_applicationId;
    if (upper == SystemId)
        return SystemIdText();
    if (upper == EnableRgBlocks)
        return BoolText(m_rangeChecking);
    for (int i = 0; i < 3; ++i)
        if (upper == QLatin1String(Commands[i].resultItem))
            return m_results[i];
    return std::nullopt;
}

std::optional<QString> TSimulatedControl::Request(const QString& name) const
{
    // A resetting control answers only that it is not ready.
    if (m_mode == TMode::Resetting && name.trimmed().toUpper() != ControlStatus)
        return std::nullopt;
    return Value(name);
}

bool TSimulatedControl::CanAdvise(const QString& name) const
{
    return m_mode != TMode::Resetting && Value(name).has_value();
}

std::optional<QByteArray> TSimulatedControl::SymbolInfo(const QString& name) const
{
    if (m_mode == TMode::Resetting)
        return std::nullopt;
    if (const TItemDefinition* item = m_database.Find(name.trimmed()))
        return ValueRules::SymbolInfo(*item);
    const QString upper = name.trimmed().toUpper();
    for (const WordSymbol& word : WordSymbols) {
        if (upper != QLatin1String(word.name))
            continue;
        TItemDefinition item;
        item.name = upper;
        item.itemClass = word.itemClass;
        item.type = word.type;
        item.min = QLatin1String(word.min);
        item.max = QLatin1String(word.max);
        return ValueRules::SymbolInfo(item);
    }
    return std::nullopt;
}

TSimulatedControl::TPokeResult TSimulatedControl::Poke(const QString& name, const QString& text)
{
    if (m_mode == TMode::Resetting)
        return TPokeResult::NotAnswering;
    const QString upper = name.trimmed().toUpper();
    const TItemDefinition* item = m_database.Find(upper);
    if (!item) {
        if (upper == ConfigurationId) {
            m_configurationId = text;
            Changed(upper);
            return TPokeResult::Accepted;
        }
        if (upper == EnableRgBlocks) {
            const auto value = ValueRules::Normalize(TItemType::Boolean, text);
            if (!value)
                return TPokeResult::BadValue;
            m_rangeChecking = *value == QLatin1String("1");
            Changed(upper);
            return TPokeResult::Accepted;
        }
        return Value(upper) ? TPokeResult::ReadOnly : TPokeResult::UnknownItem;
    }
    if (item->itemClass == TItemClass::Monitor)
        return TPokeResult::ReadOnly;
    if (item->itemClass == TItemClass::Configure && m_mode != TMode::Configure)
        return TPokeResult::NotInConfigureMode;
    const auto value = ValueRules::Normalize(item->type, text);
    if (!value || (item->IsNumeric() && value->isEmpty()))
        return TPokeResult::BadValue;
    if (m_rangeChecking && !ValueRules::WithinLimits(*item, *value))
        return TPokeResult::OutOfLimits;

    // Every accepted write is advised back, changed or not: editors wait for it.
    Accept(*item, *value);
    return TPokeResult::Accepted;
}

bool TSimulatedControl::Simulate(const QString& command, QString* error)
{
    if (m_mode == TMode::Resetting) {
        *error = QStringLiteral("the control is resetting");
        return false;
    }
    const QString text = command.trimmed();
    const qsizetype blank = text.indexOf(u' ');
    const QString verb = (blank < 0 ? text : text.left(blank)).toLower();
    const QString rest = blank < 0 ? QString() : text.mid(blank + 1).trimmed();

    if (verb == QLatin1String("set")) {
        const qsizetype equals = rest.indexOf(u'=');
        const TItemDefinition* item = equals > 0 ? m_database.Find(rest.left(equals).trimmed()) : nullptr;
        if (!item) {
            *error = equals > 0 ? QStringLiteral("no item %1").arg(rest.left(equals).trimmed())
                                : QStringLiteral("expected set ITEM=VALUE");
            return false;
        }
        const QString given = rest.mid(equals + 1);
        // Time stamps are the control's own texts ("17-May 09:30:04"), so time items take any text.
        const auto value = item->type == TItemType::Time || item->type == TItemType::Timer
            ? std::optional<QString>(given.trimmed())
            : ValueRules::Normalize(item->type, given);
        if (!value || (item->IsNumeric() && value->isEmpty())) {
            *error = QStringLiteral("\"%1\" is no value of %2").arg(given, item->name);
            return false;
        }
        Accept(*item, *value);
        return true;
    }
    if (verb == QLatin1String("sio")) {
        const QStringList words = rest.split(u' ', Qt::SkipEmptyParts);
        const QString state = words.value(1).toLower();
        int module = -1;
        for (int i = 0; i < 2; ++i)
            if (words.size() == 2 && words[0].compare(QLatin1String(SioModules[i].letter), Qt::CaseInsensitive) == 0)
                module = i;
        if (module < 0 || (state != QLatin1String("present") && state != QLatin1String("absent"))) {
            *error = QStringLiteral("expected sio A|B present|absent");
            return false;
        }
        const TItemDefinition* item = m_database.Find(QLatin1String(SioModules[module].item));
        if (!item) {
            *error = QStringLiteral("the control has no %1").arg(QLatin1String(SioModules[module].item));
            return false;
        }
        m_sioFitted[module] = state == QLatin1String("present");
        Accept(*item, BoolText(m_sioFitted[module]));
        return true;
    }
    if ((verb == QLatin1String("alarm") || verb == QLatin1String("trip")) && !rest.isEmpty()) {
        if (verb == QLatin1String("alarm"))
            m_model->RaiseAlarm(rest);
        else
            m_model->RaiseTrip(rest);
        return true;
    }
    if (verb == QLatin1String("clear") && rest.isEmpty()) {
        m_model->ClearAlarms();
        return true;
    }
    if (verb == QLatin1String("check"))
        return m_check->Simulate(rest, error);
    *error = QStringLiteral("expected set ITEM=VALUE, alarm TEXT, trip TEXT, clear, check ... or sio ...");
    return false;
}

void TSimulatedControl::Accept(const TItemDefinition& item, const QString& value)
{
    m_values.insert(item.name, value);
    Changed(item.name);
    m_model->Written(item.name);
    m_check->Written(item.name);
    m_limits->Publish();
}

bool TSimulatedControl::Execute(const QString& command)
{
    if (m_mode == TMode::Resetting)
        return false;
    QString word = command.trimmed();
    if (word.startsWith(u'[') && word.endsWith(u']'))
        word = word.mid(1, word.size() - 2).trimmed();
    if (word.endsWith(QLatin1String("()")))
        word.chop(2);
    word = word.trimmed().toUpper();
    for (int i = 0; i < 3; ++i) {
        if (word != QLatin1String(Commands[i].command))
            continue;
        const auto which = static_cast<TCommand>(i);
        // The result reads empty until the command is done.
        SetResult(which, QString());
        m_pending.removeIf([which](const TPending& pending) { return pending.command == which; });
        m_pending.append({which, ServerTiming::CommandResultTicks});
        return true;
    }
    return false;
}

void TSimulatedControl::SetResult(TCommand command, const QString& text)
{
    const int index = static_cast<int>(command);
    if (m_results[index] == text)
        return;
    m_results[index] = text;
    Changed(QLatin1String(Commands[index].resultItem));
}

// ---- time --------------------------------------------------------------------

void TSimulatedControl::Tick()
{
    if (m_mode == TMode::Resetting) {
        if (--m_resetTicksLeft > 0)
            return;
        QString warning;
        PowerUp(&warning);
        if (!warning.isEmpty() && report)
            report(warning);
        Changed(QString());
        return;
    }

    QList<TCommand> due;
    for (TPending& pending : m_pending)
        if (--pending.ticksLeft <= 0)
            due.append(pending.command);
    m_pending.removeIf([](const TPending& pending) { return pending.ticksLeft <= 0; });
    for (TCommand command : due) {
        SetResult(command, QString::number(Complete(command)));
        if (m_mode == TMode::Resetting)
            return;
    }

    m_model->Step(ServerTiming::TickSeconds);
    m_check->Step(ServerTiming::TickSeconds);
}

int TSimulatedControl::Complete(TCommand command)
{
    switch (command) {
    case TCommand::Shutdown:
        if (m_mode == TMode::Configure)
            return ResultSuccess;
        if (!m_model->IsShutDown())
            return ResultTurbineNotShutDown;
        if (Has(ConfigureEnabled) && !Flag(ConfigureEnabled))
            return ResultConfigureNotAllowed;
        m_mode = TMode::Configure;
        Changed(RunMode);
        return ResultSuccess;
    case TCommand::SaveValues:
        return SaveValues();
    case TCommand::Reset:
        if (m_mode != TMode::Configure)
            return ResultNotInConfigureMode;
        m_mode = TMode::Resetting;
        m_resetTicksLeft = ServerTiming::ResetTicks;
        m_pending.clear();
        // Advise loops on the status hear "0" until the control is back.
        Changed(ControlStatus);
        return ResultSuccess;
    }
    return ResultSuccess;
}

int TSimulatedControl::SaveValues()
{
    if (!m_store)
        return ResultUnsupported;
    TStoreContents contents;
    contents.configurationId = m_configurationId;
    for (const TItemDefinition& item : m_database.Items()) {
        if (IsHoldItem(item))
            SetText(item.name, QStringLiteral("0"));
        if (item.IsChangeable())
            contents.values.append({item.name, m_values.value(item.name)});
    }
    QString error;
    if (!m_store->Save(contents, &error)) {
        if (report)
            report(error);
        return ResultMemoryError;
    }
    return ResultSuccess;
}

// ---- TControlValues ----------------------------------------------------------

bool TSimulatedControl::Has(const QString& name) const
{
    return m_database.Find(name) != nullptr;
}

QString TSimulatedControl::Text(const QString& name) const
{
    return m_values.value(name.toUpper());
}

double TSimulatedControl::Number(const QString& name) const
{
    return ValueRules::ParseNumber(Text(name)).value_or(0.0);
}

bool TSimulatedControl::Flag(const QString& name) const
{
    const QString text = Text(name).trimmed();
    if (text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
        return true;
    return ValueRules::ParseNumber(text).value_or(0.0) != 0.0;
}

void TSimulatedControl::SetText(const QString& name, const QString& text)
{
    const TItemDefinition* item = m_database.Find(name);
    if (!item)
        return;
    auto found = m_values.find(item->name);
    if (*found == text)
        return;
    *found = text;
    Changed(item->name);
}

void TSimulatedControl::SetNumber(const QString& name, double value)
{
    const TItemDefinition* item = m_database.Find(name);
    if (!item)
        return;
    switch (item->type) {
    case TItemType::Boolean: SetText(item->name, BoolText(value != 0)); break;
    case TItemType::Integer:
    case TItemType::Enum: SetText(item->name, ValueRules::FormatInteger(value)); break;
    default: SetText(item->name, ValueRules::FormatReal(value)); break;
    }
}

void TSimulatedControl::SetFlag(const QString& name, bool value)
{
    SetText(name, BoolText(value));
}
