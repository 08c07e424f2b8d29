#include "server/DerivedSettings.h"

#include "server/ControlValues.h"
#include "server/TurbineOutputs.h"

#include <QString>

#include <optional>

namespace {

// Units of the extraction/admission input, by the value of its units setting (from 0).
constexpr const char* ExtractionUnits[] = {"None", "psi", "kPa", "bar", "atm", "t/h", "kg/hr", "kg/cm2", "#/hr", "k#/hr"};
// Units of the cascade and auxiliary inputs (from 0).
constexpr const char* ProcessUnits[] = {"None", "psi", "kPa", "MW", "KW", "bar", "atm", "t/h", "kg/hr",
                                        "kg/cm2", "#/hr", "k#/hr", "degF", "degC"};
// Generator load units (from 1).
constexpr const char* LoadUnits[] = {"KW", "MW"};
// What the CPU-B port and the SIO channels carry, by their type settings (from 1).
constexpr const char* CpuBPort[] = {"Not Used", "Modbus #2", "Printer"};
constexpr const char* SioAChannel4[] = {"Not Used", "Modbus #2", "RQV Software"};
constexpr const char* SioBChannel3[] = {"Not Used", "Modbus #1", "RQV Software"};

constexpr int FirstRelay = 3, LastRelay = 12;
constexpr int RelayNotUsed = 1, RelayStateIndication = 3, UnderspeedSwitch = 10;

// Analog input functions by group: the first and last input number of the group.
struct TInputGroup {
    int first, last;
    const char* configured;   // flag: an analog input has this function
    const char* status;       // status text of the group's voted input
};
constexpr TInputGroup InputGroups[] = {
    {4, 6, "KXSPL.LD_SHR_AI2.B_NAME", "D_LDSHR_AI.STATUS.B_TO_STR"},
    {7, 9, "KXSPL.KW_AI2.B_NAME", "D_KW_AI.STATUS.B_TO_STR"},
    {10, 12, "KXSPL.EXTR_AI2.B_NAME", "EXTR_INPUT.STATUS.B_TO_STR"},
    {14, 16, "KXSPL.CASC_AI2.B_NAME", "F_CASC_AI.STATUS.B_TO_STR"},
    {18, 20, "KXSPL.AUX_AI2.B_NAME", "G_AUX_AI.STATUS.B_TO_STR"},
};
constexpr int AnalogInputs = 8, Readouts = 4;

QString Status(bool used)
{
    return used ? QStringLiteral("OK") : QStringLiteral("Not Used");
}

class TDeriver {
public:
    TDeriver(const TControlValues& values, TTurbineOutputs& out) : values(values), out(out) {}

    // The setting's whole number; nothing when the control lacks it.
    std::optional<int> Setting(const QString& name) const
    {
        return values.Has(name) ? std::optional<int>(int(values.Number(name))) : std::nullopt;
    }

    // The list's text for the setting's value (the list starting at value first); null outside the list.
    template <std::size_t N>
    QString Text(const QString& setting, const char* const (&list)[N], int first) const
    {
        const auto value = Setting(setting);
        if (!value || *value < first || *value - first >= int(N))
            return {};
        return QString::fromLatin1(list[*value - first]);
    }

    void Units(const char* setting, const char* unitsItem, const char* rateItem, bool process)
    {
        const QString units = process ? Text(QLatin1String(setting), ProcessUnits, 0)
                                      : Text(QLatin1String(setting), ExtractionUnits, 0);
        if (units.isNull())
            return;
        out.Text(QLatin1String(unitsItem), units);
        out.Text(QLatin1String(rateItem), units + QStringLiteral("/s"));
    }

    void Mirror(const QString& setting, const QString& mirror)
    {
        if (const auto value = Setting(setting))
            out.Number(mirror, *value, 1);
    }

    void Relays()
    {
        bool underspeedSwitch = false;
        for (int relay = FirstRelay; relay <= LastRelay; ++relay) {
            const QString block = QStringLiteral("C_RELAY%1.").arg(relay, 2, 10, QLatin1Char('0'));
            const auto function = Setting(block + QStringLiteral("RLY_CONF.IN"));
            if (!function)
                continue;
            Mirror(block + QStringLiteral("RLY_CONF.IN"), block + QStringLiteral("RLY_CONF.I_NAME"));
            out.Text(QStringLiteral("A_RELAY%1.STATUS.B_TO_STR").arg(relay, 2, 10, QLatin1Char('0')),
                     Status(*function != RelayNotUsed));
            underspeedSwitch = underspeedSwitch
                || (*function == RelayStateIndication
                    && Setting(block + QStringLiteral("STATE_CONF.IN")) == UnderspeedSwitch);
        }
        out.Flag(QStringLiteral("Z_MOD_VALS.ANYUSPDRLY.OR"), underspeedSwitch);
    }

    void AnalogInputsAndReadouts()
    {
        int functions[AnalogInputs] = {};
        for (int input = 1; input <= AnalogInputs; ++input) {
            const auto function = Setting(QStringLiteral("C_ANIN%1.ANIN_CONF.IN").arg(input));
            if (!function)
                return;
            functions[input - 1] = *function;
            out.Text(QStringLiteral("ANIN%1.STATUS.B_TO_STR").arg(input), Status(*function > 1));
        }
        for (const TInputGroup& group : InputGroups) {
            bool used = false;
            for (int function : functions)
                used = used || (function >= group.first && function <= group.last);
            out.Flag(QLatin1String(group.configured), used);
            out.Text(QLatin1String(group.status), Status(used));
        }
        for (int readout = 1; readout <= Readouts; ++readout)
            if (const auto option = Setting(QStringLiteral("C_READOUT.RO%1_CONF.IN").arg(readout)))
                out.Text(QStringLiteral("C_READOUT.STATUS%1.B_TO_STR").arg(readout, 2, 10, QLatin1Char('0')),
                         Status(*option > 1));
    }

    void SpeedInputsAndActuators()
    {
        int used = 1;   // speed input 1 is always used
        for (int input = 2; input <= 4; ++input) {
            const auto type = Setting(QStringLiteral("C_SPD_CTRL.SPD_%1_CONF.IN").arg(input));
            if (!type)
                return;
            used += *type > 1 ? 1 : 0;
            out.Text(QStringLiteral("C_SPD_CTRL.STATUS%1.B_TO_STR").arg(input), Status(*type > 1));
        }
        out.Number(QStringLiteral("A_SPEED.NUM_GOOD.I_SW"), used, 1);
        // Critical speed bands lie between idle and the minimum control speed: without an idle there are none.
        if (const auto toRated = Setting(QStringLiteral("C_START.TO_RATED.IN")))
            out.Flag(QStringLiteral("C_CRIT_SPD.SP_OK.OR"), *toRated != 1);

        const auto turbineType = Setting(QStringLiteral("C_APPL.TURB_TYPE.IN"));
        if (!turbineType)
            return;
        const QString readout = QStringLiteral("C_DRIVER.ACT2_RO.IN_1");
        const bool secondActuator = *turbineType >= 2 || (values.Has(readout) && values.Flag(readout));
        out.Text(QStringLiteral("C_DRIVER.STATUS2.B_TO_STR"), Status(secondActuator));
        // The ratio/limiter decouples only where there are HP and LP valves.
        if (const auto mode = Setting(QStringLiteral("C_APPL.RL_MODE.IN"))) {
            const bool split = *turbineType >= 3;
            out.Flag(QStringLiteral("C_APPL.DCPL_HP.B_NAME"), split && (*mode == 2 || *mode == 4));
            out.Flag(QStringLiteral("C_APPL.DCPL_LP.B_NAME"), split && (*mode == 3 || *mode == 4));
        }
    }

    void Ports()
    {
        Mirror(QStringLiteral("C_COMM.SIOA_PORT4.IN"), QStringLiteral("C_COMM.SIOA_PORT4.I_NAME"));
        Mirror(QStringLiteral("C_COMM.SIOB_PORT3.IN"), QStringLiteral("C_COMM.SIOB_PORT3.I_NAME"));
        const QString cpuB = Text(QStringLiteral("C_COMM.PORTB_CONF.IN"), CpuBPort, 1);
        if (!cpuB.isNull())
            out.Text(QStringLiteral("C_COMM.PORT_B_MSG.I_TO_STR"), cpuB);

        const QString sioA = QStringLiteral("Z_SIO_COM.SIO_A_OK.NOT"), sioB = QStringLiteral("Z_SIO_COM.SIO_B_OK.NOT");
        if (!values.Has(sioA) || !values.Has(sioB))
            return;
        const QString missing = QStringLiteral("Not Installed");
        const bool hasA = values.Flag(sioA), hasB = values.Flag(sioB);
        // Modbus #1 on SIO-A channel 3 and Modbus #2 on SIO-B channel 4, the ports that stand in for CPU-A and CPU-B.
        const bool modbus1 = Setting(QStringLiteral("C_COMM.PORTA_CONF.IN")) == 2;
        const bool modbus2 = Setting(QStringLiteral("C_COMM.PORTB_CONF.IN")) == 2
            && !(values.Has(QStringLiteral("C_COMM.DIS_SIOB.IN")) && values.Flag(QStringLiteral("C_COMM.DIS_SIOB.IN")));
        out.Text(QStringLiteral("C_COMM.SIO_A3_MSG.B_TO_STR"),
                 !hasA ? missing : modbus1 ? QStringLiteral("Modbus #1") : QStringLiteral("Not Used"));
        out.Text(QStringLiteral("C_COMM.SIO_B4_MSG.B_TO_STR"),
                 !hasB ? missing : modbus2 ? QStringLiteral("Modbus #2") : QStringLiteral("Not Used"));
        const QString channelA4 = Text(QStringLiteral("C_COMM.SIOA_PORT4.IN"), SioAChannel4, 1);
        if (!channelA4.isNull())
            out.Text(QStringLiteral("C_COMM.SIO_A4_MSG.B_TO_STR"), hasA ? channelA4 : missing);
        const QString channelB3 = Text(QStringLiteral("C_COMM.SIOB_PORT3.IN"), SioBChannel3, 1);
        if (!channelB3.isNull())
            out.Text(QStringLiteral("C_COMM.SIO_B3_MSG.B_TO_STR"), hasB ? channelB3 : missing);
    }

    const TControlValues& values;
    TTurbineOutputs& out;
};

} // namespace

namespace DerivedSettings {

void Publish(const TControlValues& values, TTurbineOutputs& out)
{
    TDeriver d(values, out);
    d.Units("C_EXTR.EXTR_UNITS.IN", "J_MESSAGE.EXTR_UNITS.I_TO_STR", "J_MESSAGE.EXTR_RATE.I_TO_STR", false);
    d.Units("C_CASC.CAS_UNITS.IN", "J_MESSAGE.CASC_UNITS.I_TO_STR", "J_MESSAGE.CASC_RATE.I_TO_STR", true);
    d.Units("C_AUX.AUX_UNITS.IN", "J_MESSAGE.AUX_UNITS.I_TO_STR", "J_MESSAGE.AUX_RATE.I_TO_STR", true);
    const QString load = d.Text(QStringLiteral("C_GENLOGIC.LOAD_UNITS.IN"), LoadUnits, 1);
    if (!load.isNull()) {
        out.Text(QStringLiteral("J_MESSAGE.LOAD_UNIT.B_TO_STR"), load);
        out.Flag(QStringLiteral("J_MESSAGE.SEL_MW_KW.B_NAME"), load == QLatin1String("MW"));
    }
    d.Relays();
    d.AnalogInputsAndReadouts();
    d.SpeedInputsAndActuators();
    d.Ports();
}

} // namespace DerivedSettings
