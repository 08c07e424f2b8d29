// ddeq: a DDE client for the shell.
//
//   ddeq SERVICE TOPIC request ITEM
//   ddeq SERVICE TOPIC request-binary ITEM
//   ddeq SERVICE TOPIC poke ITEM VALUE
//   ddeq SERVICE TOPIC execute COMMAND
//   ddeq SERVICE TOPIC advise ITEM [--count N] [--seconds S]
//   ddeq SERVICE TOPIC items
#include "platform/ddeml/DdeData.h"
#include "platform/ddeml/ddeml.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;  // refused, not answered, or the conversation ended
constexpr int ExitUsage = 2;
constexpr int ExitNoServer = 3; // no conversation could be opened

constexpr int DefaultTimeoutMs = 5000;

struct ErrorText {
    UINT code;
    const char* text;
};
constexpr ErrorText ErrorTexts[] = {
    {DMLERR_NO_ERROR, "no error"},
    {DMLERR_ADVACKTIMEOUT, "no answer to the advise request in time"},
    {DMLERR_BUSY, "the server is busy"},
    {DMLERR_DATAACKTIMEOUT, "no answer to the request in time"},
    {DMLERR_DLL_NOT_INITIALIZED, "DDE is not initialised"},
    {DMLERR_DLL_USAGE, "DDE used incorrectly"},
    {DMLERR_EXECACKTIMEOUT, "no answer to the command in time"},
    {DMLERR_INVALIDPARAMETER, "invalid parameter"},
    {DMLERR_LOW_MEMORY, "memory is low"},
    {DMLERR_MEMORY_ERROR, "memory error"},
    {DMLERR_NOTPROCESSED, "the server refused it"},
    {DMLERR_NO_CONV_ESTABLISHED, "no conversation was established"},
    {DMLERR_POKEACKTIMEOUT, "no answer to the poke in time"},
    {DMLERR_POSTMSG_FAILED, "a message could not be sent"},
    {DMLERR_REENTRANCY, "re-entrant call"},
    {DMLERR_SERVER_DIED, "the server died"},
    {DMLERR_SYS_ERROR, "system error"},
    {DMLERR_UNADVACKTIMEOUT, "no answer to the advise stop in time"},
    {DMLERR_UNFOUND_QUEUE_ID, "unknown transaction"},
};

DWORD instance = 0;
HCONV conversation = nullptr;
int adviseCount = 0;    // values still wanted; < 0 for no limit
bool adviseLost = false;

const char* ErrorMessage(UINT code)
{
    for (const ErrorText& entry : ErrorTexts)
        if (entry.code == code)
            return entry.text;
    return "unknown DDE error";
}

int Fail(int code, const QString& message)
{
    std::fprintf(stderr, "ddeq: %s\n", message.toLocal8Bit().constData());
    return code;
}

QByteArray Bytes(HDDEDATA data)
{
    return DdeDataBytes(data).value_or(QByteArray());
}

void Print(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

HDDEDATA Callback(UINT type, UINT, HCONV conv, HSZ, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR)
{
    if (conv != conversation)
        return nullptr;
    if (type == XTYP_ADVDATA) {
        if (adviseCount != 0) {
            Print(DdeTextOf(Bytes(data)));
            if (adviseCount > 0 && --adviseCount == 0)
                QTimer::singleShot(0, [] { QCoreApplication::exit(ExitOk); });
        }
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    if (type == XTYP_DISCONNECT) {
        conversation = nullptr;
        adviseLost = true;
        // Queued, so that it also ends an event loop that has not started yet.
        QTimer::singleShot(0, [] { QCoreApplication::exit(ExitFailed); });
    }
    return nullptr;
}

class TStringHandle {
public:
    explicit TStringHandle(const QString& text)
        : m_handle(DdeCreateStringHandleA(instance, text.toLatin1().constData(), CP_WINANSI))
    {
    }
    ~TStringHandle() { DdeFreeStringHandle(instance, m_handle); }
    HSZ get() const { return m_handle; }

private:
    HSZ m_handle;
};

// One synchronous transaction; the data handle of a request, or nullopt on failure.
std::optional<QByteArray> Transact(UINT type, const QString& item, UINT format, const QByteArray& data,
                                   int timeoutMs, QString* error)
{
    const TStringHandle itemHandle(item);
    QByteArray payload = data;
    HDDEDATA result = DdeClientTransaction(payload.isNull() ? nullptr : reinterpret_cast<LPBYTE>(payload.data()),
                                           DWORD(payload.size()), conversation,
                                           type == XTYP_EXECUTE ? nullptr : itemHandle.get(), format, type,
                                           DWORD(timeoutMs), nullptr);
    if (!result) {
        *error = QString::fromLatin1(ErrorMessage(DdeGetLastError(instance)));
        return std::nullopt;
    }
    if (type != XTYP_REQUEST)
        return QByteArray();
    const QByteArray bytes = Bytes(result);
    DdeFreeDataHandle(result);
    return bytes;
}

// Values and commands travel as Latin-1 text; a character outside it cannot be
// sent as it stands.
std::optional<QByteArray> Text(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF)
            return std::nullopt;
    return text.toLatin1() + '\0';
}

// The command line with the options first and every word from the verb's
// arguments on taken as it stands, so that a value such as -1 (the program's
// true) is not read as an option.
QStringList Arrange(const QStringList& arguments, const QList<QCommandLineOption>& withValues)
{
    QStringList options;
    QStringList words;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            words += arguments.mid(i + 1);
            break;
        }
        const bool afterVerb = words.size() >= 3;
        const bool longOption = argument.startsWith(QLatin1String("--"));
        if (argument.size() < 2 || !argument.startsWith(u'-') || (afterVerb && !longOption)) {
            words << argument;
            continue;
        }
        options << argument;
        const QString name = argument.mid(longOption ? 2 : 1);
        for (const QCommandLineOption& option : withValues)
            if (option.names().contains(name) && i + 1 < arguments.size())
                options << arguments[++i];
    }
    return QStringList{arguments.value(0)} + options + QStringList{QStringLiteral("--")} + words;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ddeq"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Talks to a DDE server from the shell.\n\n"
        "Verbs:\n"
        "  request ITEM           print the item's value\n"
        "  request-binary ITEM    print the item's symbol information (private format 0x0200) as hex bytes\n"
        "  poke ITEM VALUE        write the value to the item\n"
        "  execute COMMAND        send the command\n"
        "  advise ITEM            print each value the server sends for the item, one per line\n"
        "  items                  print the names of the changeable items (MutableItemList), one per line\n\n"
        "Example: ddeq URQVDatorel '4812.net(Dflt Control ID)' request C_START.RT_TO_MIN.IN\n\n"
        "Values and commands are sent as Latin-1 text; one with other characters is refused.\n\n"
        "Exit status: 0 done, 1 refused (by the server, or for characters outside Latin-1), not answered\n"
        "or the conversation ended, 2 wrong use, 3 no conversation."));
    // Not addHelpOption(): the --help-all that comes with it is acted on only by
    // process(), which this tool cannot use.
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("Milliseconds to wait for each answer (default %1).")
                                         .arg(DefaultTimeoutMs),
                                     QStringLiteral("ms"));
    const QCommandLineOption count(QStringLiteral("count"),
                                   QStringLiteral("advise: stop after N values."), QStringLiteral("N"));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("advise: stop after S seconds."), QStringLiteral("S"));
    parser.addOptions({help, timeout, count, seconds});
    parser.addPositionalArgument(QStringLiteral("service"), QStringLiteral("DDE service, e.g. URQVDatorel."));
    parser.addPositionalArgument(QStringLiteral("topic"), QStringLiteral("Topic, e.g. System."));
    parser.addPositionalArgument(QStringLiteral("verb"), QStringLiteral("What to do (see above)."),
                                 QStringLiteral("verb [args]"));
    // Wrong use exits with 2, never with the 1 that reads as a refusal.
    if (!parser.parse(Arrange(app.arguments(), {timeout, count, seconds})))
        return Fail(ExitUsage, parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(ExitOk);

    const QStringList args = parser.positionalArguments();
    if (args.size() < 3)
        return Fail(ExitUsage, QStringLiteral("usage: ddeq SERVICE TOPIC VERB [ARGS] (see ddeq --help)"));
    const QString verb = args[2];
    const QStringList rest = args.mid(3);
    struct Arity {
        const char* verb;
        int args;
    };
    constexpr Arity Verbs[] = {{"request", 1}, {"request-binary", 1}, {"poke", 2},
                               {"execute", 1}, {"advise", 1},         {"items", 0}};
    const Arity* known = nullptr;
    for (const Arity& entry : Verbs)
        if (verb == QLatin1String(entry.verb))
            known = &entry;
    if (!known)
        return Fail(ExitUsage, QStringLiteral("unknown verb \"%1\" (see ddeq --help)").arg(verb));
    if (rest.size() != known->args)
        return Fail(ExitUsage, QStringLiteral("%1 takes %2 argument(s)").arg(verb).arg(known->args));

    int timeoutMs = DefaultTimeoutMs;
    if (parser.isSet(timeout)) {
        bool ok = false;
        timeoutMs = parser.value(timeout).toInt(&ok);
        if (!ok || timeoutMs < 1)
            return Fail(ExitUsage, QStringLiteral("--timeout takes milliseconds"));
    }
    adviseCount = -1;
    if (parser.isSet(count)) {
        bool ok = false;
        adviseCount = parser.value(count).toInt(&ok);
        if (!ok || adviseCount < 1)
            return Fail(ExitUsage, QStringLiteral("--count takes a number of at least 1"));
    }
    double adviseSeconds = -1;
    if (parser.isSet(seconds)) {
        bool ok = false;
        adviseSeconds = parser.value(seconds).toDouble(&ok);
        if (!ok || adviseSeconds <= 0)
            return Fail(ExitUsage, QStringLiteral("--seconds takes a positive number"));
    }

    if (DdeInitializeA(&instance, &Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return Fail(ExitNoServer, QStringLiteral("cannot start DDE"));
    int status = ExitOk;
    {
        const TStringHandle service(args[0]);
        const TStringHandle topic(args[1]);
        conversation = DdeConnect(instance, service.get(), topic.get(), nullptr);
        if (!conversation) {
            const UINT code = DdeGetLastError(instance);
            DdeUninitialize(instance);
            return Fail(ExitNoServer, QStringLiteral("cannot connect to %1 / %2: %3")
                                          .arg(args[0], args[1], QLatin1String(ErrorMessage(code))));
        }

        QString error;
        const QString what = QStringLiteral("%1 of \"%2\" failed: ").arg(verb, rest.value(0));
        if (verb == QLatin1String("request")) {
            if (const auto value = Transact(XTYP_REQUEST, rest[0], CF_TEXT, {}, timeoutMs, &error))
                Print(DdeTextOf(*value));
            else
                status = Fail(ExitFailed, what + error);
        } else if (verb == QLatin1String("request-binary")) {
            if (const auto value = Transact(XTYP_REQUEST, rest[0], CF_PRIVATEFIRST, {}, timeoutMs, &error))
                Print(value->toHex(' ').toUpper());
            else
                status = Fail(ExitFailed, what + error);
        } else if (verb == QLatin1String("poke") || verb == QLatin1String("execute")) {
            const bool poke = verb == QLatin1String("poke");
            const std::optional<QByteArray> text = Text(rest.last());
            if (!text)
                status = Fail(ExitFailed, what + QStringLiteral("it holds characters outside Latin-1, which the server's "
                                                                "text format cannot carry"));
            else if (!Transact(poke ? XTYP_POKE : XTYP_EXECUTE, poke ? rest[0] : QString(), CF_TEXT, *text, timeoutMs, &error))
                status = Fail(ExitFailed, what + error);
        } else if (verb == QLatin1String("items")) {
            if (const auto value = Transact(XTYP_REQUEST, QStringLiteral("MutableItemList"), CF_TEXT, {},
                                            timeoutMs, &error)) {
                for (const QByteArray& name : DdeTextOf(*value).split('\t'))
                    if (!name.isEmpty())
                        Print(name);
            } else {
                status = Fail(ExitFailed, QStringLiteral("request of MutableItemList failed: ") + error);
            }
        } else if (verb == QLatin1String("advise")) {
            if (!Transact(XTYP_ADVSTART, rest[0], CF_TEXT, {}, timeoutMs, &error)) {
                status = Fail(ExitFailed, what + error);
            } else {
                if (adviseSeconds > 0)
                    QTimer::singleShot(int(adviseSeconds * 1000), [] { QCoreApplication::exit(ExitOk); });
                status = adviseLost ? ExitFailed : app.exec();
                if (adviseLost)
                    status = Fail(ExitFailed, QStringLiteral("the server ended the conversation"));
                else
                    Transact(XTYP_ADVSTOP, rest[0], CF_TEXT, {}, timeoutMs, &error);
            }
        }
        if (conversation)
            DdeDisconnect(conversation);
    }
    DdeUninitialize(instance);
    return status;
}
