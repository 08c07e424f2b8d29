#include "server/ConfigurationCheck.h"

#include "server/ConfigurationRules.h"
#include "server/ControlValues.h"

namespace {

const QString StartItem = QStringLiteral("KXSPL.TST_CONFIG.IN");
const QString FoundErrorsItem = QStringLiteral("CONF_CHK_1.C_ERR_SW.B_SW");
const QString PassedItem = QStringLiteral("CONF_CHK_1.N_ERR_DLY.DELAY");
const QString EventCountItem = QStringLiteral("CONF_CHK_1.ERRORS.NUM_EVENTS");

QString MessageItem(int event)
{
    return QStringLiteral("CONF_CHK_1.ERRORS.MSG_O_%1").arg(event);
}

QString NumberItem(int event)
{
    return QStringLiteral("CONF_CHK_1.ERRORS.EV_N_%1").arg(event);
}

} // namespace

QList<TConfigError> CheckConfiguration(const TControlValues& values)
{
    return TConfigurationRules(values).Check();
}

TConfigurationCheck::TConfigurationCheck(TControlValues& values)
    : values(values)
{
}

void TConfigurationCheck::Start()
{
    remaining = -1;
    values.SetFlag(StartItem, false);
    ClearVerdict();
    values.SetNumber(EventCountItem, 0);
}

void TConfigurationCheck::Written(const QString& item)
{
    if (item.compare(StartItem, Qt::CaseInsensitive) != 0)
        return;
    ClearVerdict();
    if (values.Flag(StartItem)) {
        // A new request restarts a running check; the old events go.
        values.SetNumber(EventCountItem, 0);
        remaining = ConfigurationCheckDelay;
    } else {
        // The program ends the check. It reads the events after this write,
        // so they stay until the next check starts.
        remaining = -1;
    }
}

void TConfigurationCheck::Step(double seconds)
{
    if (remaining < 0)
        return;
    remaining -= seconds;
    if (remaining > 0)
        return;
    remaining = -1;
    Publish();
}

void TConfigurationCheck::ClearVerdict()
{
    values.SetFlag(FoundErrorsItem, false);
    values.SetFlag(PassedItem, false);
}

void TConfigurationCheck::Publish()
{
    const QList<TConfigError> errors = CheckConfiguration(values);

    // The event log holds as many events as the control has slots for.
    int published = 0;
    for (int event = 1; values.Has(MessageItem(event)) && values.Has(NumberItem(event)); ++event) {
        const bool used = published < errors.size();
        const bool wasUsed = values.Number(NumberItem(event)) != 0 || !values.Text(MessageItem(event)).isEmpty();
        if (!used && !wasUsed)
            continue;
        values.SetText(MessageItem(event), used ? errors[published].message : QString());
        values.SetNumber(NumberItem(event), used ? errors[published].number : 0);
        if (used)
            ++published;
    }
    values.SetNumber(EventCountItem, published);

    // The verdict comes last: the program reads the events once it sees it.
    values.SetFlag(FoundErrorsItem, !errors.isEmpty());
    values.SetFlag(PassedItem, errors.isEmpty());
}
