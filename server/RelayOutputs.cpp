#include "server/RelayOutputs.h"

#include "server/ControlValues.h"
#include "server/TurbineOutputs.h"

#include <QString>

namespace {

constexpr int Relays = 12;
constexpr int TripRelay = 1, AlarmRelay = 2;
constexpr int StateIndication = 3; // relay function

// What a state-indication relay shows, by its indication setting. The simulated
// control drives these; every other indication, and level switches, stay off.
enum TIndication { ShutdownCondition = 1, TripRelayOutput = 2, AlarmCondition = 3, MajorAlarmCondition = 4 };

bool IsOn(const TControlValues& values, const QString& name)
{
    return values.Has(name) && values.Flag(name);
}

QString RelayItem(const char* format, int relay)
{
    return QString::fromLatin1(format).arg(relay, 2, 10, QLatin1Char('0'));
}

} // namespace

namespace RelayOutputs {

void Publish(const TControlValues& values, TTurbineOutputs& out)
{
    const QString notShutDown = QStringLiteral("X_TRIPS.NOT_SD.NOT");
    if (!values.Has(notShutDown))
        return;
    const bool shutDown = !values.Flag(notShutDown);
    // Outputs may be forced only on a turbine that is shut down.
    const bool forcing = shutDown && IsOn(values, QStringLiteral("J_RELAYS.RLY_TEST.IN"));
    out.Flag(QStringLiteral("J_RELAYS.ENBL_FORCE.AND"), forcing);

    // Unless it is set to energize for a trip, the trip relay is held energized while the turbine may run.
    const bool tripRelay = IsOn(values, QStringLiteral("C_START.TRIP_ENERG.IN")) ? shutDown : !shutDown;
    const bool alarm = IsOn(values, QStringLiteral("Y_ALARMS.MAJOR_ALM.OR"));
    for (int relay = 1; relay <= Relays; ++relay) {
        bool energized = false;
        if (forcing) {
            energized = IsOn(values, QStringLiteral("J_RELAYS.OUT%1.NO").arg(relay))
                || IsOn(values, QStringLiteral("A_TEST_RLY.TEST_RLYS.IN_%1").arg(relay));
        } else if (relay == TripRelay) {
            energized = tripRelay;
        } else if (relay == AlarmRelay) {
            energized = alarm;
        } else if (values.Has(RelayItem("C_RELAY%1.RLY_CONF.IN", relay))
                   && int(values.Number(RelayItem("C_RELAY%1.RLY_CONF.IN", relay))) == StateIndication) {
            switch (int(values.Number(RelayItem("C_RELAY%1.STATE_CONF.IN", relay)))) {
            case ShutdownCondition: energized = shutDown; break;
            case TripRelayOutput: energized = tripRelay; break;
            case AlarmCondition:
            case MajorAlarmCondition: energized = alarm; break;
            default: break;
            }
        }
        out.Flag(QStringLiteral("J_RELAYS.OUT%1.B_SW").arg(relay), energized);
    }
}

} // namespace RelayOutputs
