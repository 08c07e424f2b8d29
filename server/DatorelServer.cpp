#include "server/DatorelServer.h"

#include "platform/ddeml/DdeData.h"
#include "server/SimulatedControl.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace {

TDatorelServer* current = nullptr;

const QString SystemTopic = QStringLiteral("SYSTEM");
const QString LinkService = QStringLiteral("Datorel");
const QString ConversationCountItem = QStringLiteral("CONVERSATION COUNT");
const QString TopicsItem = QStringLiteral("TOPICS");
const QString FaultsItem = QStringLiteral("FAULTS");
const QString SimulateItem = QStringLiteral("SIMULATE");
const QString DefaultControlId = QStringLiteral("Dflt Control ID");

HDDEDATA Result(bool ok)
{
    return reinterpret_cast<HDDEDATA>(ok ? DDE_FACK : DDE_FNOTPROCESSED);
}

HDDEDATA Bool(bool value)
{
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(value ? TRUE : FALSE));
}

const char* TransactionName(UINT type)
{
    switch (type) {
    case XTYP_REQUEST: return "request";
    case XTYP_POKE: return "poke";
    case XTYP_EXECUTE: return "execute";
    case XTYP_ADVSTART: return "advise start";
    case XTYP_ADVSTOP: return "advise stop";
    default: return "transaction";
    }
}

const char* PokeRefusal(TSimulatedControl::TPokeResult result)
{
    using R = TSimulatedControl::TPokeResult;
    switch (result) {
    case R::Accepted: return "accepted";
    case R::UnknownItem: return "unknown item";
    case R::ReadOnly: return "the item is read only";
    case R::NotInConfigureMode: return "configure items change only in configure mode";
    case R::BadValue: return "not a value of the item's type";
    case R::OutOfLimits: return "outside the item's limits";
    case R::NotAnswering: return "the control is resetting";
    }
    return "refused";
}

} // namespace

TDatorelServer::TDatorelServer(const TSettings& settings)
    : m_settings(settings)
{
    m_tick.setInterval(m_settings.tickMs);
    connect(&m_tick, &QTimer::timeout, this, [this] { Tick(); });
}

TDatorelServer::~TDatorelServer()
{
    m_tick.stop();
    m_topics.clear(); // before the members their change reports reach
    if (m_instance) {
        DdeNameService(m_instance, nullptr, nullptr, DNS_UNREGISTER);
        if (m_linkService)
            DdeFreeStringHandle(m_instance, m_linkService);
        if (m_ownService)
            DdeFreeStringHandle(m_instance, m_ownService);
        DdeUninitialize(m_instance);
    }
    if (current == this)
        current = nullptr;
}

bool TDatorelServer::Start(QString* error)
{
    current = this;
    if (DdeInitializeA(&m_instance, &TDatorelServer::Callback, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR) {
        *error = QStringLiteral("cannot start the DDE layer");
        m_instance = 0;
        return false;
    }
    m_linkService = DdeCreateStringHandleA(m_instance, LinkService.toLatin1().constData(), CP_WINANSI);
    m_ownService = DdeCreateStringHandleA(m_instance, m_settings.serviceName.toLatin1().constData(), CP_WINANSI);
    for (HSZ service : {m_ownService, m_linkService}) {
        if (!DdeNameService(m_instance, service, nullptr, DNS_REGISTER)) {
            const QString folder = QString::fromLocal8Bit(ddeml::SocketFolderProblem());
            *error = QStringLiteral("cannot offer the DDE service \"%1\" (%2)")
                         .arg(Text(service), folder.isEmpty() ? QStringLiteral("is another server running?") : folder);
            return false;
        }
    }
    m_tick.start();
    return true;
}

int TDatorelServer::ConversationCount() const
{
    // Every client conversation, whatever its topic: one that holds only a
    // control topic uses the server as much as one on System.
    return int(m_conversations.size());
}

TSimulatedControl* TDatorelServer::Control(const QString& topic) const
{
    const auto found = m_topics.find(topic.toUpper());
    return found == m_topics.end() ? nullptr : found->second.control.get();
}

bool TDatorelServer::OpenNetwork(const QString& path, QString* error)
{
    QString file = path.trimmed();
    // Relative names are looked for in the working folder, then in the server's own folder.
    if (!QFileInfo::exists(file) && file.contains(u'\\') && !file.contains(u'/'))
        file.replace(u'\\', u'/');
    if (QFileInfo(file).isRelative() && !QFileInfo::exists(file) && !m_settings.serverFolder.isEmpty()) {
        const QString beside = QDir(m_settings.serverFolder).absoluteFilePath(file);
        if (QFileInfo::exists(beside))
            file = beside;
    }

    TNetworkDefinition network;
    if (!network.Load(file, {m_settings.serverFolder, m_settings.stateFolder}, error))
        return false;
    for (const TNetwork& open : m_networks) {
        if (open.fileName.compare(network.FileName(), Qt::CaseInsensitive) != 0)
            continue;
        if (open.path == network.Path())
            return true; // already open
        *error = file + QStringLiteral(": a network named %1 is already open from %2")
                            .arg(network.FileName(), open.path);
        return false;
    }

    std::map<QString, TTopic> topics;
    for (const TControlDefinition& definition : network.Controls()) {
        QString warning;
        std::unique_ptr<TSimulatedControl> control = TSimulatedControl::Create(definition, error, &warning);
        if (!control)
            return false;
        if (!warning.isEmpty())
            Log(warning);
        const QString name = network.Topic(definition);
        topics[name.toUpper()] = TTopic{name, std::move(control)};
    }

    for (auto& [key, topic] : topics) {
        const QString topicKey = key;
        topic.control->valueChanged = [this, topicKey](const QString& item) { Changed(topicKey, item); };
        topic.control->report = [this, topicKey](const QString& message) { Log(topicKey + QStringLiteral(": ") + message); };
        if (TValueStore* store = topic.control->Store())
            store->midWriteHook = [this] {
                if (m_faults.DiesInStore())
                    Die(QStringLiteral("dying while writing a store, as the faults ask"));
            };
        Log(QStringLiteral("topic %1 open").arg(topic.name));
        m_topics[key] = std::move(topic);
    }
    m_networks.append({network.Path(), network.FileName()});
    return true;
}

// ---- DDE callback --------------------------------------------------------------

HDDEDATA TDatorelServer::Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                  ULONG_PTR, ULONG_PTR)
{
    if (!current)
        return nullptr;
    return current->Handle(type, format, conv, hsz1, hsz2, data);
}

HDDEDATA TDatorelServer::Handle(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data)
{
    switch (type) {
    case XTYP_CONNECT: {
        const QString topic = Text(hsz1).toUpper();
        if (topic == SystemTopic)
            return Bool(true);
        // Control topics belong to the server's own service, not to the link service.
        return Bool(DdeCmpStringHandles(hsz2, m_ownService) == 0 && m_topics.count(topic) > 0);
    }
    case XTYP_CONNECT_CONFIRM:
        m_conversations[conv] = Text(hsz1).toUpper();
        return nullptr;
    case XTYP_DISCONNECT:
        m_conversations.erase(conv);
        return nullptr;
    default:
        break;
    }

    const QString topic = Text(hsz1).toUpper();
    const QString item = Text(hsz2);
    if (topic == SystemTopic)
        return HandleSystem(type, format, hsz2, item, data);
    const auto found = m_topics.find(topic);
    if (found == m_topics.end())
        return type == XTYP_ADVSTART ? Bool(false) : nullptr;
    return HandleControl(found->second, type, format, hsz2, item, data);
}

HDDEDATA TDatorelServer::HandleSystem(UINT type, UINT format, HSZ itemHandle, const QString& item, HDDEDATA data)
{
    const QString upper = item.trimmed().toUpper();
    switch (type) {
    case XTYP_REQUEST:
    case XTYP_ADVREQ:
        if (format != CF_TEXT)
            return nullptr;
        if (upper == ConversationCountItem)
            return TextReply(QString::number(ConversationCount()), itemHandle);
        if (upper == TopicsItem) {
            QStringList names{QStringLiteral("System")};
            for (const auto& [key, topic] : m_topics)
                names.append(topic.name);
            return TextReply(names.join(u'\t'), itemHandle);
        }
        if (upper == FaultsItem && m_settings.testFaults)
            return TextReply(m_faults.Text(), itemHandle);
        return nullptr;
    case XTYP_ADVSTART:
        return Bool(false); // nothing on System changes by itself
    case XTYP_POKE: {
        if (!m_settings.testFaults)
            return Result(false);
        if (upper == SimulateItem)
            return Result(Simulate(QString::fromLatin1(Bytes(data))));
        if (upper != FaultsItem)
            return Result(false);
        QString error;
        if (!m_faults.Set(QString::fromLatin1(Bytes(data)), &error)) {
            Log(QStringLiteral("faults refused: ") + error);
            return Result(false);
        }
        Log(QStringLiteral("faults now: \"%1\"").arg(m_faults.Text()));
        return Result(true);
    }
    case XTYP_EXECUTE:
        return Result(ExecuteSystem(QString::fromLatin1(Bytes(data))));
    default:
        return nullptr;
    }
}

TSimulatedControl* TDatorelServer::DefaultControl() const
{
    for (const TNetwork& network : m_networks)
        if (TSimulatedControl* control = Control(network.fileName + u'(' + DefaultControlId + u')'))
            return control;
    return m_topics.empty() ? nullptr : m_topics.begin()->second.control.get();
}

bool TDatorelServer::Simulate(const QString& command)
{
    TSimulatedControl* control = DefaultControl();
    QString error = QStringLiteral("no control is open");
    if (!control || !control->Simulate(command, &error)) {
        Log(QStringLiteral("simulate \"%1\" refused: %2").arg(command, error));
        return false;
    }
    if (m_settings.verbose)
        Log(QStringLiteral("simulate \"%1\"").arg(command));
    return true;
}

bool TDatorelServer::ExecuteSystem(const QString& command)
{
    static const QRegularExpression open(
        QStringLiteral("^\\s*\\[\\s*open\\s*\\(\\s*\"([^\"]*)\"\\s*\\)\\s*\\]"),
        QRegularExpression::CaseInsensitiveOption);
    QString rest = command.trimmed();
    if (rest.isEmpty()) {
        Log(QStringLiteral("empty command on System refused"));
        return false;
    }
    bool ok = true;
    while (!rest.trimmed().isEmpty()) {
        const QRegularExpressionMatch match = open.match(rest);
        if (!match.hasMatch()) {
            Log(QStringLiteral("unknown command on System: %1").arg(rest.trimmed()));
            return false;
        }
        QString error;
        if (!OpenNetwork(match.captured(1), &error)) {
            Log(error);
            ok = false;
        }
        rest = rest.mid(match.capturedLength());
    }
    return ok;
}

HDDEDATA TDatorelServer::HandleControl(TTopic& topic, UINT type, UINT format, HSZ itemHandle, const QString& item,
                                       HDDEDATA data)
{
    TSimulatedControl& control = *topic.control;
    const QString command = type == XTYP_EXECUTE ? QString::fromLatin1(Bytes(data)).trimmed() : QString();
    const QString subject = type == XTYP_EXECUTE ? command : item;

    if (type == XTYP_ADVREQ) {
        if (m_faults.IsSilent(subject) || m_faults.IsRefused(subject) || format != CF_TEXT)
            return nullptr;
        const auto value = control.Value(item);
        return value ? TextReply(*value, itemHandle) : nullptr;
    }
    if (type == XTYP_ADVSTOP)
        return nullptr;

    if (m_faults.DiesOn(subject))
        Die(QStringLiteral("dying on %1 of \"%2\", as the faults ask").arg(QLatin1String(TransactionName(type)), subject));
    if (m_faults.IsSilent(subject)) {
        if (m_settings.verbose)
            Log(QStringLiteral("%1 %2 \"%3\": left unanswered").arg(topic.name, QLatin1String(TransactionName(type)), subject));
        return CBR_BLOCK;
    }
    const bool refused = m_faults.IsRefused(subject);
    if (const int delay = m_faults.DelayFor(subject); delay > 0)
        QThread::msleep(static_cast<unsigned long>(delay));

    HDDEDATA reply = nullptr;
    QString outcome;
    switch (type) {
    case XTYP_REQUEST: {
        std::optional<QByteArray> bytes;
        if (refused) {
        } else if (format == CF_TEXT) {
            if (const auto value = control.Request(item))
                bytes = value->toLatin1() + '\0';
        } else if (format == CF_PRIVATEFIRST) {
            bytes = control.SymbolInfo(item);
        }
        reply = bytes ? Reply(*bytes, itemHandle, format) : nullptr;
        outcome = bytes ? QStringLiteral("answered") : QStringLiteral("failed");
        break;
    }
    case XTYP_POKE: {
        const QString text = QString::fromLatin1(Bytes(data));
        const auto result = refused || format != CF_TEXT ? TSimulatedControl::TPokeResult::UnknownItem
                                                         : control.Poke(item, text);
        reply = Result(result == TSimulatedControl::TPokeResult::Accepted);
        outcome = QStringLiteral("\"%1\": %2").arg(text, QLatin1String(PokeRefusal(result)));
        break;
    }
    case XTYP_EXECUTE: {
        const bool ok = !refused && control.Execute(command);
        reply = Result(ok);
        outcome = ok ? QStringLiteral("started") : QStringLiteral("refused");
        break;
    }
    case XTYP_ADVSTART: {
        // The DDE layer sends the current value as soon as the loop exists.
        const bool ok = !refused && format == CF_TEXT && control.CanAdvise(item);
        reply = Bool(ok);
        outcome = ok ? QStringLiteral("started") : QStringLiteral("refused");
        break;
    }
    default:
        return nullptr;
    }
    if (m_settings.verbose)
        Log(QStringLiteral("%1 %2 \"%3\": %4").arg(topic.name, QLatin1String(TransactionName(type)), subject, outcome));
    return reply;
}

// ---- data and strings ------------------------------------------------------------

QString TDatorelServer::Text(HSZ handle) const
{
    if (!handle)
        return {};
    const DWORD length = DdeQueryStringA(m_instance, handle, nullptr, 0, CP_WINANSI);
    QByteArray buffer(int(length) + 1, '\0');
    DdeQueryStringA(m_instance, handle, buffer.data(), length + 1, CP_WINANSI);
    buffer.truncate(int(length));
    return QString::fromLatin1(buffer);
}

QByteArray TDatorelServer::Bytes(HDDEDATA data)
{
    return DdeTextOf(DdeDataBytes(data).value_or(QByteArray()));
}

HDDEDATA TDatorelServer::Reply(const QByteArray& bytes, HSZ item, UINT format) const
{
    QByteArray copy = bytes;
    return DdeCreateDataHandle(m_instance, reinterpret_cast<LPBYTE>(copy.data()), DWORD(copy.size()), 0, item,
                               format, 0);
}

HDDEDATA TDatorelServer::TextReply(const QString& text, HSZ item) const
{
    return Reply(text.toLatin1() + '\0', item, CF_TEXT);
}

// ---- advise and time ---------------------------------------------------------------

void TDatorelServer::Changed(const QString& topic, const QString& item)
{
    QSet<QString>& items = m_changed[topic];
    if (item.isEmpty())
        items = {QString()};
    else if (!items.contains(QString()))
        items.insert(item);
    if (!m_postScheduled) {
        m_postScheduled = true;
        // Posted from the event loop, after the transaction that caused the change is answered.
        QTimer::singleShot(0, this, [this] { PostChanges(); });
    }
}

void TDatorelServer::PostChanges()
{
    m_postScheduled = false;
    const QHash<QString, QSet<QString>> changed = std::exchange(m_changed, {});
    if (!m_instance)
        return; // nobody can listen yet
    for (auto at = changed.begin(); at != changed.end(); ++at) {
        const auto topic = m_topics.find(at.key());
        if (topic == m_topics.end())
            continue;
        const HSZ topicHandle = DdeCreateStringHandleA(m_instance, topic->second.name.toLatin1().constData(),
                                                       CP_WINANSI);
        if (at->contains(QString())) {
            DdePostAdvise(m_instance, topicHandle, nullptr);
        } else {
            for (const QString& item : *at) {
                const HSZ itemHandle = DdeCreateStringHandleA(m_instance, item.toLatin1().constData(), CP_WINANSI);
                DdePostAdvise(m_instance, topicHandle, itemHandle);
                DdeFreeStringHandle(m_instance, itemHandle);
            }
        }
        DdeFreeStringHandle(m_instance, topicHandle);
    }
}

void TDatorelServer::Tick()
{
    for (auto& [key, topic] : m_topics)
        topic.control->Tick();
}

void TDatorelServer::Log(const QString& message) const
{
    std::fprintf(stderr, "urqvdatorel: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

void TDatorelServer::Die(const QString& reason) const
{
    Log(reason);
    // As abrupt as a crash: no clean-up, no answer.
    ::kill(::getpid(), SIGKILL);
    ::_exit(137);
}
