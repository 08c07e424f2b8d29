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

constexpr int HighestErrorNumber = 84;

QList<TConfigError> MadeUpErrors(int count)
{
    QList<TConfigError> errors;
    for (int event = 1; event <= count; ++event)
        errors.append({(event - 1) % HighestErrorNumber + 1, QStringLiteral("Forced error %1").arg(event)});
    return errors;
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
    running = false;
    held = false;
    abortNext = false;
    forcedErrors = -1;
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
        running = true;
    } else {
        // The program ends the check. It reads the events after this write,
        // so they stay until the next check starts.
        remaining = -1;
        running = false;
    }
}

void TConfigurationCheck::Step(double seconds)
{
    if (!running)
        return;
    remaining -= seconds;
    if (remaining > 0 || held)
        return;
    running = false;
    remaining = -1;
    if (abortNext)
        EndByControl();
    else
        Publish();
}

bool TConfigurationCheck::Simulate(const QString& command, QString* error)
{
    const QStringList words = command.simplified().toLower().split(u' ', Qt::SkipEmptyParts);
    if (words.size() == 1 && words[0] == QLatin1String("hold")) {
        held = true;
        return true;
    }
    if (words.size() == 1 && words[0] == QLatin1String("release")) {
        held = false; // a held check whose time is up publishes at the next step
        return true;
    }
    if (words.size() == 1 && words[0] == QLatin1String("abort")) {
        if (running) {
            running = false;
            remaining = -1;
            EndByControl();
        } else {
            abortNext = true;
        }
        return true;
    }
    if (words.size() == 2 && words[0] == QLatin1String("errors")) {
        bool ok = false;
        const int count = words[1].toInt(&ok);
        if (ok && count >= 0) {
            forcedErrors = count;
            return true;
        }
    }
    *error = QStringLiteral("expected check hold, check release, check abort or check errors N");
    return false;
}

void TConfigurationCheck::EndByControl()
{
    abortNext = false;
    ClearVerdict();
    values.SetFlag(StartItem, false);
}

void TConfigurationCheck::ClearVerdict()
{
    values.SetFlag(FoundErrorsItem, false);
    values.SetFlag(PassedItem, false);
}

void TConfigurationCheck::Publish()
{
    const QList<TConfigError> errors = forcedErrors >= 0 ? MadeUpErrors(forcedErrors) : CheckConfiguration(values);
    const bool found = !errors.isEmpty() || forcedErrors >= 0;
    forcedErrors = -1;
    PublishEvents(errors);

    // The verdict comes last: the program reads the events once it sees it.
    values.SetFlag(FoundErrorsItem, found);
    values.SetFlag(PassedItem, !found);
}

void TConfigurationCheck::PublishEvents(const QList<TConfigError>& errors)
{
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
}
