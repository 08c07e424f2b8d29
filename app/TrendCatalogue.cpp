#include "app/TrendCatalogue.h"

#include "datalink/KQDevice.h"
#include "datalink/TrendRecorder.h"

#include <QHash>

namespace TrendCatalogue {

namespace {

const QString Rpm = QStringLiteral("rpm");
const QString Percent = QStringLiteral("%");

// A process loop: its items in AA_MONITOR, the name it is shown with, its units text.
struct TLoop {
    const char* block; // dynamics block
    const char* prefix; // AA_MONITOR.<prefix>_INPUT ...
    const char* remote;
    const char* name;
    const char* units;
};
constexpr TLoop Loops[] = {
    {"EXTR_DYN", "EXTR", "RMT_EXTR", "Ext/adm", "J_MESSAGE.EXTR_UNITS.I_TO_STR"},
    {"F_CAS_DYN", "CASC", "RMT_CASC", "Cascade", "J_MESSAGE.CASC_UNITS.I_TO_STR"},
    {"G_AUX_DYN", "AUX", "RMT_AUX", "Auxiliary", "J_MESSAGE.AUX_UNITS.I_TO_STR"},
};

QString Monitor(const QString& field)
{
    return QStringLiteral("AA_MONITOR.") + field + QStringLiteral(".A_NAME");
}
QString LoopItem(const TLoop& loop, const char* what)
{
    return Monitor(QString::fromLatin1(loop.prefix) + u'_' + QString::fromLatin1(what));
}

std::vector<TTrendEntry> MakeEntries()
{
    std::vector<TTrendEntry> entries = {
        {Monitor("SPEED"), "Speed", Rpm, {}},
        {Monitor("SPD_SETPT"), "Speed setpoint", Rpm, {}},
        {Monitor("SPD_REF"), "Speed reference", Rpm, {}},
        {Monitor("RMT_SPEED"), "Remote speed setpoint", Rpm, {}},
        {Monitor("SYNC_LDSHR"), "Sync/load share bias", Rpm, {}},
        {"D_MPU.SPEED_HOLD.A_MAX", "Peak speed", Rpm, {}},
        {Monitor("SPD_PID"), "Speed PID output", Percent, {}},
        {Monitor("HP_DEMAND"), "HP valve demand", Percent, {}},
        {Monitor("LP_DEMAND"), "LP valve demand", Percent, {}},
        {"I_V1DRIVER.ACTR_LMTR.A_LIMITER", "HP valve position", Percent, {}},
        {"I_V2DRIVER.ACTR_LMTR.A_LIMITER", "LP valve position", Percent, {}},
        {Monitor("HP_LIMITER"), "HP valve limiter", Percent, {}},
        {Monitor("LP_LIMITER"), "LP valve limiter", Percent, {}},
        {"A_HP_ACT.ACT_RM.RDBK_MA", "HP actuator current", "mA", {}},
        {"A_LP_ACT.ACT_RM.RDBK_MA", "LP actuator current", "mA", {}},
        {"J_MISC.FSP.A_NAME", "First stage pressure", "psig", {}},
        {"J_MESSAGE.KW_DRP_SW.A_SW", "Generator load", "kW", {}},
        {Monitor("MANL_DMND"), "Manual ext/adm demand", Percent, {}},
    };
    for (const TLoop& loop : Loops) {
        const QString name = QString::fromLatin1(loop.name), units = QString::fromLatin1(loop.units);
        entries.push_back({LoopItem(loop, "INPUT"), name + QStringLiteral(" input"), {}, units});
        entries.push_back({LoopItem(loop, "SETPT"), name + QStringLiteral(" setpoint"), {}, units});
        entries.push_back({Monitor(loop.remote), name + QStringLiteral(" remote setpoint"), {}, units});
        entries.push_back({LoopItem(loop, "PID"), name + QStringLiteral(" PID output"), Percent, {}});
    }
    return entries;
}

QString Unit(const TTrendEntry& entry, TKQDevice* device)
{
    if (entry.unitItem.isEmpty() || !device)
        return entry.unit;
    try {
        TKQHeldItem units(device, entry.unitItem);
        return units->Value().toString().trimmed();
    } catch (const std::exception&) {
        return {}; // the control does not say: no unit
    }
}

} // namespace

const std::vector<TTrendEntry>& Entries()
{
    static const std::vector<TTrendEntry> entries = MakeEntries();
    return entries;
}

TTrendEntry Entry(const QString& item)
{
    for (const TTrendEntry& entry : Entries()) {
        if (entry.item.compare(item, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return {item.toUpper(), item.toUpper(), {}, {}};
}

void Record(TTrendRecorder& recorder, const QString& item, TKQDevice* device)
{
    const TTrendEntry entry = Entry(item);
    recorder.Add(entry.item, entry.name, Unit(entry, device));
}

QStringList RunItems()
{
    return {Monitor("SPEED"), Monitor("SPD_SETPT"), Monitor("SPD_REF"), Monitor("HP_DEMAND"), Monitor("LP_DEMAND")};
}

QStringList SpeedLoopItems()
{
    return {Monitor("SPEED"), Monitor("SPD_SETPT"), Monitor("SPD_PID")};
}

QStringList LoopItems(const QString& block)
{
    for (const TLoop& loop : Loops) {
        if (block == QLatin1String(loop.block))
            return {LoopItem(loop, "INPUT"), LoopItem(loop, "SETPT"), LoopItem(loop, "PID")};
    }
    return {};
}

QStringList TripCaptureItems()
{
    QStringList items = {Monitor("SPEED"), Monitor("SPD_SETPT"), Monitor("SPD_REF"), Monitor("SPD_PID"),
                         Monitor("HP_DEMAND"), Monitor("LP_DEMAND"), "I_V1DRIVER.ACTR_LMTR.A_LIMITER",
                         "I_V2DRIVER.ACTR_LMTR.A_LIMITER", Monitor("HP_LIMITER"), Monitor("LP_LIMITER")};
    for (const TLoop& loop : Loops)
        items << LoopItem(loop, "INPUT") << LoopItem(loop, "SETPT") << LoopItem(loop, "PID");
    return items;
}

} // namespace TrendCatalogue
