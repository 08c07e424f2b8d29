#include "server/TuneLimits.h"

#include "server/ControlDatabase.h"
#include "server/ControlValues.h"
#include "server/ValueRules.h"

#include <algorithm>

namespace {

const QString TuneSuffix = QStringLiteral(".TUNE");
const QString LowSuffix = QStringLiteral(".LO_LIM_OUT");
const QString HighSuffix = QStringLiteral(".HI_LIM_OUT");

constexpr const char* MinGovernor = "C_SPDSETPT.MIN_GOV_SP.TUNE";
constexpr const char* MaxGovernor = "C_SPDSETPT.MAX_GOV_SP.TUNE";

// A value that must not go below (low) or above (high) other values of the control.
struct TRelation {
    const char* tune;
    const char* low;  // nullptr: only the item's own minimum
    const char* high; // nullptr: only the item's own maximum
};

constexpr TRelation Relations[] = {
    {"C_AUTOSEQ.HOT_START.TUNE", nullptr, "C_AUTOSEQ.COLD_START.TUNE"},
    {"C_AUTOSEQ.LO_DLY_H.TUNE", nullptr, "C_AUTOSEQ.LO_DLY_C.TUNE"},
    {"C_AUTOSEQ.HI_DLY_H.TUNE", nullptr, "C_AUTOSEQ.HI_DLY_C.TUNE"},
    {"C_AUTOSEQ.HI_RATE_H.TUNE", "C_AUTOSEQ.HI_RATE_C.TUNE", nullptr},
    {"C_AUTOSEQ.RTD_RATE_H.TUNE", "C_AUTOSEQ.RTD_RATE_C.TUNE", nullptr},
    {"C_AUTOSEQ.HI_IDLE_SP.TUNE", "C_AUTOSEQ.LO_IDLE_SP.TUNE", MinGovernor},
    {"C_AUTOSEQ.RTD_SETPT.TUNE", MinGovernor, MaxGovernor},
    {"C_IDLE_RTD.RTD_SETPT.TUNE", "C_IDLE_RTD.IDLE_SETPT.TUNE", MaxGovernor},
    {"C_GENLOGIC.RATED_SP.TUNE", nullptr, MaxGovernor},
    {"C_SPDSETPT.OSPD_TRIP.TUNE", nullptr, "C_SPDSETPT.OSPD_LIMIT.TUNE"},
    {"C_SPDSETPT.MAX_GOV_SP.TUNE", nullptr, "C_SPDSETPT.OSPD_TRIP.TUNE"},
    {"C_SPDSETPT.MIN_GOV_SP.TUNE", nullptr, MaxGovernor},
    {"C_CRIT_SPD.BAND1_MIN.TUNE", "C_IDLE_RTD.IDLE_SETPT.TUNE", MinGovernor},
    {"C_CRIT_SPD.BAND1_MAX.TUNE", "C_CRIT_SPD.BAND1_MIN.TUNE", MinGovernor},
    {"C_CRIT_SPD.BAND2_MIN.TUNE", "C_CRIT_SPD.BAND1_MAX.TUNE", MinGovernor},
    {"C_CRIT_SPD.BAND2_MAX.TUNE", "C_CRIT_SPD.BAND2_MIN.TUNE", MinGovernor},
};

} // namespace

TTuneLimits::TTuneLimits(const TControlDatabase& database, TControlValues& values)
    : database(database)
    , values(values)
{
}

void TTuneLimits::Publish()
{
    for (const TItemDefinition& item : database.Items()) {
        if (!item.name.endsWith(TuneSuffix) || !item.IsNumeric())
            continue;
        const QString prefix = item.name.chopped(TuneSuffix.size());
        double low = ValueRules::ParseNumber(item.min).value_or(0);
        double high = ValueRules::ParseNumber(item.max).value_or(0);
        for (const TRelation& relation : Relations) {
            if (item.name != QLatin1String(relation.tune))
                continue;
            const QString lowFrom = QString::fromLatin1(relation.low);
            const QString highFrom = QString::fromLatin1(relation.high);
            if (relation.low && values.Has(lowFrom))
                low = std::max(low, values.Number(lowFrom));
            if (relation.high && values.Has(highFrom))
                high = std::min(high, values.Number(highFrom));
        }
        // Other values out of order leave the item's own limits rather than an empty range.
        if (low > high) {
            low = ValueRules::ParseNumber(item.min).value_or(0);
            high = ValueRules::ParseNumber(item.max).value_or(0);
        }
        if (!item.min.isEmpty() && values.Has(prefix + LowSuffix))
            values.SetNumber(prefix + LowSuffix, low);
        if (!item.max.isEmpty() && values.Has(prefix + HighSuffix))
            values.SetNumber(prefix + HighSuffix, high);
    }
}
