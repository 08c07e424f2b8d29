// Instances, conversations and transactions of the DDE work-alike.
#include "platform/ddeml/ddeml.h"

#include "platform/Timing.h"
#include "platform/ddeml/DdeHandles.h"
#include "platform/ddeml/DdeWire.h"

#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <vector>
#include <sys/socket.h>
#include <unistd.h>

using namespace ddeml;
using wire::Frame;
using wire::FrameType;

namespace {

class Instance;
class Conversation;

struct Transaction {
    UINT type = 0;
    UINT format = 0;
    HSZ item = nullptr; // one reference held
};

// A synchronous transaction (or connect) waiting for its reply frame.
struct SyncWait {
    DWORD id = 0;
    bool connect = false;
    bool done = false;
    bool failed = false; // the conversation ended
    Frame reply;
    QEventLoop loop;
};

class Conversation {
public:
    HCONV handle = nullptr;
    Instance* instance = nullptr;
    bool client = true;
    bool connected = false;
    bool ending = false;
    bool partnerGone = false; // the socket closed; end once the inbox is delivered
    QPointer<QLocalSocket> socket;
    QByteArray buffer;
    HSZ service = nullptr; // references held
    HSZ topic = nullptr;
    std::deque<Frame> inbox;

    // Client side.
    DWORD nextId = 1;
    std::map<DWORD, Transaction> pending;
    std::set<DWORD> abandoned;
    std::map<HSZ, UINT> adviseLoops; // item -> format
    SyncWait* wait = nullptr;
    const Transaction* completing = nullptr; // queried by DdeQueryConvInfo during XACT_COMPLETE
    DWORD completingId = 0;

    // Server side: advise loops by item; held (unanswered) transactions are simply dropped.
    std::map<HSZ, std::pair<UINT, bool>> serverLoops; // item -> (format, ackreq)

    void Send(const Frame& frame)
    {
        if (socket && socket->state() == QLocalSocket::ConnectedState)
            socket->write(wire::Encode(frame));
    }
};

class Instance {
public:
    DWORD id = 0;
    PFNCALLBACK callback = nullptr;
    DWORD flags = 0;
    UINT lastError = DMLERR_NO_ERROR;
    int syncDepth = 0;
    std::map<HSZ, QLocalServer*> services; // registered names, one reference held each
    std::set<HCONV> conversations;

    HDDEDATA Call(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                  ULONG_PTR data1, ULONG_PTR data2)
    {
        return callback ? callback(type, format, conv, hsz1, hsz2, data, data1, data2) : nullptr;
    }
};

std::map<DWORD, std::unique_ptr<Instance>> instances;
std::map<HCONV, std::unique_ptr<Conversation>> conversations;
// Conversations that ended, so that a late call on one can still report its error.
std::map<HCONV, DWORD> ended;
DWORD nextInstance = 1;
std::uintptr_t nextConversation = 0x100;

Instance* FindInstance(DWORD id)
{
    auto found = instances.find(id);
    return found == instances.end() ? nullptr : found->second.get();
}

Conversation* FindConversation(HCONV handle)
{
    auto found = conversations.find(handle);
    return found == conversations.end() ? nullptr : found->second.get();
}

void SetError(Instance* instance, UINT error)
{
    if (instance)
        instance->lastError = error;
}

void Pump(HCONV handle);
void EndConversation(HCONV handle, bool notifyOwner);

// Frees a conversation's record; the socket goes later, never inside its own signal.
void Forget(HCONV handle)
{
    auto found = conversations.find(handle);
    if (found == conversations.end())
        return;
    std::unique_ptr<Conversation> conv = std::move(found->second);
    conversations.erase(found);
    if (conv->instance) {
        conv->instance->conversations.erase(handle);
        ended[handle] = conv->instance->id;
    }
    for (auto& [id, transaction] : conv->pending)
        AtomRelease(transaction.item);
    for (auto& [item, format] : conv->adviseLoops)
        AtomRelease(item);
    for (auto& [item, loop] : conv->serverLoops)
        AtomRelease(item);
    AtomRelease(conv->service);
    AtomRelease(conv->topic);
    if (conv->socket) {
        QObject::disconnect(conv->socket, nullptr, nullptr, nullptr);
        conv->socket->abort();
        conv->socket->deleteLater();
    }
}

// Schedules delivery of arrivals that were kept back during a synchronous wait.
void ResumeDelivery(Instance* instance)
{
    const DWORD id = instance->id;
    QTimer::singleShot(0, [id] {
        Instance* inst = FindInstance(id);
        if (!inst || inst->syncDepth > 0)
            return;
        const std::set<HCONV> handles = inst->conversations;
        for (HCONV handle : handles)
            Pump(handle);
    });
}

// The partner went away, or its frames made no sense: pending transactions fail,
// then the owner hears XTYP_DISCONNECT (unless it ended the conversation itself).
void EndConversation(HCONV handle, bool notifyOwner)
{
    Conversation* conv = FindConversation(handle);
    if (!conv || conv->ending)
        return;
    conv->ending = true;
    conv->connected = false;
    Instance* instance = conv->instance;
    if (conv->socket)
        QObject::disconnect(conv->socket, nullptr, nullptr, nullptr);

    if (conv->wait) {
        conv->wait->failed = true;
        conv->wait->loop.quit();
    }
    if (notifyOwner && instance && conv->client) {
        while (!conv->pending.empty()) {
            auto first = conv->pending.begin();
            const DWORD id = first->first;
            Transaction transaction = first->second;
            conv->pending.erase(first);
            SetError(instance, DMLERR_SERVER_DIED);
            conv->completing = &transaction;
            conv->completingId = id;
            instance->Call(XTYP_XACT_COMPLETE, transaction.format, handle, conv->topic, transaction.item,
                           nullptr, id, 0);
            conv = FindConversation(handle);
            if (!conv)
                break;
            conv->completing = nullptr;
            AtomRelease(transaction.item);
        }
    }
    if (notifyOwner && instance && FindConversation(handle))
        instance->Call(XTYP_DISCONNECT, 0, handle, nullptr, nullptr, nullptr, 0, 0);
    Forget(handle);
}

bool PeerIsUs(QLocalSocket* socket)
{
    struct ucred credentials {};
    socklen_t length = sizeof credentials;
    if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return false;
    return credentials.uid == ::geteuid();
}

// Sends the current value of one item (or of every item when item is null) to
// the advise loops of one server conversation.
void PostAdvise(Instance* instance, HCONV handle, HSZ item)
{
    Conversation* conv = FindConversation(handle);
    if (!conv)
        return;
    std::vector<std::pair<HSZ, UINT>> loops;
    if (item) {
        if (auto found = conv->serverLoops.find(item); found != conv->serverLoops.end())
            loops.emplace_back(item, found->second.first);
    } else {
        for (auto& [loopItem, loop] : conv->serverLoops)
            loops.emplace_back(loopItem, loop.first);
    }
    for (auto [loopItem, format] : loops) {
        HDDEDATA data = instance->Call(XTYP_ADVREQ, format, handle, conv->topic, loopItem, nullptr, 0, 0);
        conv = FindConversation(handle);
        if (!conv)
            return;
        DataObject* object = data && data != CBR_BLOCK ? DataFind(data) : nullptr;
        if (!object)
            continue;
        const std::string* itemText = AtomText(loopItem);
        conv->Send(Frame{FrameType::AdvData, 0, object->format ? object->format : format, 0, {}, {},
                         itemText ? QByteArray::fromStdString(*itemText) : QByteArray(), object->bytes});
        if (!object->appOwned)
            DataFree(data);
    }
}

// ---- server side -------------------------------------------------------------

void ServerDispatch(Conversation* conv, const Frame& frame)
{
    Instance* instance = conv->instance;
    const HCONV handle = conv->handle;
    const HSZ topic = conv->topic;

    auto ack = [handle](DWORD id, bool ok) {
        if (Conversation* c = FindConversation(handle))
            c->Send(Frame{FrameType::ReplyAck, id, 0, DWORD(ok ? 1 : 0), {}, {}, {}, {}});
    };

    switch (frame.type) {
    case FrameType::Request: {
        const HSZ item = AtomAdd(frame.item.constData());
        HDDEDATA data = instance->Call(XTYP_REQUEST, frame.format, handle, topic, item, nullptr, 0, 0);
        if (data != CBR_BLOCK) {
            DataObject* object = data ? DataFind(data) : nullptr;
            if (object) {
                if (Conversation* c = FindConversation(handle))
                    c->Send(Frame{FrameType::ReplyData, frame.id, object->format ? object->format : frame.format, 0,
                                  {}, {}, {}, object->bytes});
                if (!object->appOwned)
                    DataFree(data);
            } else {
                ack(frame.id, false);
            }
        }
        AtomRelease(item);
        break;
    }
    case FrameType::Poke:
    case FrameType::Execute: {
        const bool poke = frame.type == FrameType::Poke;
        const HSZ item = poke ? AtomAdd(frame.item.constData()) : nullptr;
        HDDEDATA data = DataCreate(frame.data, item, frame.format, false);
        HDDEDATA result = instance->Call(poke ? XTYP_POKE : XTYP_EXECUTE, frame.format, handle, topic, item,
                                         data, 0, 0);
        DataFree(data);
        if (result != CBR_BLOCK)
            ack(frame.id, (reinterpret_cast<ULONG_PTR>(result) & DDE_FACK) != 0);
        AtomRelease(item);
        break;
    }
    case FrameType::AdvStart: {
        const HSZ item = AtomAdd(frame.item.constData());
        HDDEDATA accepted = instance->Call(XTYP_ADVSTART, frame.format, handle, topic, item, nullptr, 0, 0);
        if (accepted == CBR_BLOCK) {
            AtomRelease(item);
            break;
        }
        Conversation* c = FindConversation(handle);
        const bool started = accepted && c && !c->serverLoops.count(item);
        if (started)
            c->serverLoops[item] = {frame.format, (frame.flags & XTYPF_ACKREQ) != 0};
        else
            AtomRelease(item);
        ack(frame.id, accepted != nullptr);
        // A new loop starts with the current value, so the client need not ask for it.
        if (started)
            PostAdvise(instance, handle, item);
        break;
    }
    case FrameType::AdvStop: {
        const HSZ item = AtomFind(frame.item.constData());
        auto loop = item ? conv->serverLoops.find(item) : conv->serverLoops.end();
        if (loop == conv->serverLoops.end()) {
            ack(frame.id, false);
            break;
        }
        conv->serverLoops.erase(loop);
        instance->Call(XTYP_ADVSTOP, frame.format, handle, topic, item, nullptr, 0, 0);
        AtomRelease(item);
        ack(frame.id, true);
        break;
    }
    default:
        // Replies and advised data never travel to a server.
        EndConversation(handle, true);
        break;
    }
}

// ---- client side ------------------------------------------------------------

bool ClientDispatch(Conversation* conv, const Frame& frame)
{
    Instance* instance = conv->instance;
    const HCONV handle = conv->handle;

    switch (frame.type) {
    case FrameType::ReplyData:
    case FrameType::ReplyAck: {
        auto found = conv->pending.find(frame.id);
        if (found == conv->pending.end())
            return conv->abandoned.erase(frame.id) > 0; // a reply nobody asked for is a broken partner
        const Transaction transaction = found->second;
        conv->pending.erase(found);

        HDDEDATA data = nullptr;
        if (frame.type == FrameType::ReplyData && transaction.type == XTYP_REQUEST)
            data = DataCreate(frame.data, transaction.item, frame.format, false);
        else if (frame.type == FrameType::ReplyAck && frame.flags)
            data = reinterpret_cast<HDDEDATA>(TRUE);
        else if (frame.type == FrameType::ReplyData)
            return false; // data for a transaction that carries none
        if (!data)
            SetError(instance, DMLERR_NOTPROCESSED);

        if (transaction.type == XTYP_ADVSTART && data && !conv->adviseLoops.count(transaction.item)) {
            AtomKeep(transaction.item);
            conv->adviseLoops[transaction.item] = transaction.format;
        }
        conv->completing = &transaction;
        conv->completingId = frame.id;
        instance->Call(XTYP_XACT_COMPLETE, frame.type == FrameType::ReplyData ? frame.format : transaction.format,
                       handle, conv->topic, transaction.item, data, frame.id, 0);
        if (Conversation* c = FindConversation(handle))
            c->completing = nullptr;
        if (data && data != reinterpret_cast<HDDEDATA>(TRUE))
            DataFree(data);
        AtomRelease(transaction.item);
        return true;
    }
    case FrameType::AdvData: {
        const HSZ item = AtomFind(frame.item.constData());
        if (!item || !conv->adviseLoops.count(item))
            return true; // data racing an advise stop
        HDDEDATA data = DataCreate(frame.data, item, frame.format, false);
        instance->Call(XTYP_ADVDATA, frame.format, handle, conv->topic, item, data, 0, 0);
        DataFree(data);
        return true;
    }
    default:
        return false;
    }
}

void Pump(HCONV handle)
{
    for (;;) {
        Conversation* conv = FindConversation(handle);
        if (!conv || conv->ending)
            return;
        // A client's arrivals wait while its instance is inside a synchronous transaction.
        if (conv->client && conv->instance->syncDepth > 0)
            return;
        if (conv->inbox.empty()) {
            if (conv->partnerGone)
                EndConversation(handle, true);
            return;
        }
        const Frame frame = std::move(conv->inbox.front());
        conv->inbox.pop_front();
        if (conv->client) {
            if (!ClientDispatch(conv, frame)) {
                EndConversation(handle, true);
                return;
            }
        } else {
            ServerDispatch(conv, frame);
        }
    }
}

// The partner is gone or talks nonsense: a synchronous wait on it fails, and the
// conversation ends once its inbox is delivered.
void AbandonPartner(Conversation* conv)
{
    conv->partnerGone = true;
    conv->buffer.clear();
    if (conv->socket)
        QObject::disconnect(conv->socket, nullptr, nullptr, nullptr);
    if (conv->wait && !conv->wait->done) {
        conv->wait->failed = true;
        conv->wait->loop.quit();
    }
}

void OnReadyRead(HCONV handle)
{
    Conversation* conv = FindConversation(handle);
    if (!conv || !conv->socket)
        return;
    if (conv->socket->bytesAvailable() > 0)
        conv->buffer.append(conv->socket->readAll());
    for (;;) {
        Frame frame;
        const auto status = wire::Decode(conv->buffer, frame);
        if (status == wire::DecodeStatus::NeedMore)
            break;
        if (status == wire::DecodeStatus::Malformed) {
            // Nothing more is read from such a partner. What came before is
            // still delivered, and the end is told as a disconnect is: after
            // any synchronous wait of its instance has returned.
            AbandonPartner(conv);
            Pump(handle);
            return;
        }
        SyncWait* wait = conv->wait;
        const bool awaited = wait && !wait->done
                             && (wait->connect ? frame.type == FrameType::ConnectAck
                                               : (frame.type == FrameType::ReplyData || frame.type == FrameType::ReplyAck)
                                                     && frame.id == wait->id);
        if (awaited) {
            wait->reply = frame;
            wait->done = true;
            wait->loop.quit();
            continue;
        }
        conv->inbox.push_back(std::move(frame));
    }
    Pump(handle);
}

Conversation* NewConversation(Instance* instance, QLocalSocket* socket, bool client)
{
    auto conv = std::make_unique<Conversation>();
    conv->handle = reinterpret_cast<HCONV>(nextConversation++);
    conv->instance = instance;
    conv->client = client;
    conv->socket = socket;
    const HCONV handle = conv->handle;
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [handle] { OnReadyRead(handle); });
    QObject::connect(socket, &QLocalSocket::disconnected, socket, [handle] {
        // Deliver what arrived before the partner left, then end.
        OnReadyRead(handle);
        if (Conversation* c = FindConversation(handle); c && !c->partnerGone) {
            AbandonPartner(c);
            Pump(handle);
        }
    });
    instance->conversations.insert(handle);
    Conversation* raw = conv.get();
    conversations[handle] = std::move(conv);
    return raw;
}

// The server half: a new client knocks; the first frame must be its connect.
void OnNewConnection(Instance* instance, QLocalServer* server, HSZ service)
{
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        if (!PeerIsUs(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto buffer = std::make_shared<QByteArray>();
        const DWORD instanceId = instance->id;
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer, instanceId, service] {
            buffer->append(socket->readAll());
            Frame frame;
            const auto status = wire::Decode(*buffer, frame);
            if (status == wire::DecodeStatus::NeedMore)
                return;
            Instance* inst = FindInstance(instanceId);
            QObject::disconnect(socket, nullptr, nullptr, nullptr);
            if (status == wire::DecodeStatus::Malformed || frame.type != FrameType::Connect || !inst) {
                socket->abort();
                socket->deleteLater();
                return;
            }
            const HSZ topic = AtomAdd(frame.topic.constData());
            CONVCONTEXT context{};
            context.cb = sizeof context;
            context.iCodePage = CP_WINANSI;
            const HDDEDATA accepted = inst->Call(XTYP_CONNECT, 0, nullptr, topic, service, nullptr,
                                                 reinterpret_cast<ULONG_PTR>(&context), 0);
            if (!accepted || accepted == CBR_BLOCK) {
                AtomRelease(topic);
                socket->write(wire::Encode(Frame{FrameType::ConnectAck, 0, 0, 0, {}, {}, {}, {}}));
                socket->flush();
                socket->disconnectFromServer();
                QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                return;
            }
            Conversation* conv = NewConversation(inst, socket, false);
            conv->connected = true;
            conv->topic = topic;
            AtomKeep(service);
            conv->service = service;
            conv->buffer = *buffer;
            conv->Send(Frame{FrameType::ConnectAck, 0, 0, 1, {}, {}, {}, {}});
            const HCONV handle = conv->handle;
            inst->Call(XTYP_CONNECT_CONFIRM, 0, handle, topic, service, nullptr, 0, 0);
            if (!conv->buffer.isEmpty() || socket->bytesAvailable() > 0)
                QTimer::singleShot(0, socket, [handle] { OnReadyRead(handle); });
        });
    }
}

UINT TimeoutError(UINT type)
{
    switch (type & XTYP_MASK) {
    case XTYP_REQUEST & XTYP_MASK: return DMLERR_DATAACKTIMEOUT;
    case XTYP_POKE & XTYP_MASK: return DMLERR_POKEACKTIMEOUT;
    case XTYP_EXECUTE & XTYP_MASK: return DMLERR_EXECACKTIMEOUT;
    case XTYP_ADVSTART & XTYP_MASK: return DMLERR_ADVACKTIMEOUT;
    case XTYP_ADVSTOP & XTYP_MASK: return DMLERR_UNADVACKTIMEOUT;
    default: return DMLERR_INVALIDPARAMETER;
    }
}

// Waits in a nested event loop; other arrivals of this instance's client conversations are kept.
void WaitFor(Instance* instance, Conversation* conv, SyncWait& wait, DWORD timeout)
{
    if (wait.done)
        return;
    conv->wait = &wait;
    ++instance->syncDepth;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &wait.loop, &QEventLoop::quit);
    timer.start(int(timeout > 0x7FFFFFFF ? 0x7FFFFFFF : timeout));
    const HCONV handle = conv->handle;
    const DWORD instanceId = instance->id;
    if (!wait.done && !wait.failed)
        wait.loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (Conversation* c = FindConversation(handle))
        c->wait = nullptr;
    if (Instance* inst = FindInstance(instanceId)) {
        --inst->syncDepth;
        ResumeDelivery(inst);
    }
}

} // namespace

// ---- instances ---------------------------------------------------------------

UINT DdeInitializeA(LPDWORD pidInst, PFNCALLBACK pfnCallback, DWORD afCmd, DWORD)
{
    if (!pidInst || !pfnCallback)
        return DMLERR_INVALIDPARAMETER;
    if (*pidInst != 0) {
        // Re-initialising an instance changes its flags only.
        Instance* instance = FindInstance(*pidInst);
        if (!instance)
            return DMLERR_INVALIDPARAMETER;
        instance->flags = afCmd;
        return DMLERR_NO_ERROR;
    }
    auto instance = std::make_unique<Instance>();
    instance->id = nextInstance++;
    instance->callback = pfnCallback;
    instance->flags = afCmd;
    *pidInst = instance->id;
    instances[instance->id] = std::move(instance);
    return DMLERR_NO_ERROR;
}

BOOL DdeUninitialize(DWORD idInst)
{
    Instance* instance = FindInstance(idInst);
    if (!instance)
        return FALSE;
    const std::set<HCONV> handles = instance->conversations;
    for (HCONV handle : handles)
        Forget(handle);
    for (auto& [name, server] : instance->services) {
        server->close();
        delete server;
        AtomRelease(name);
    }
    instances.erase(idInst);
    return TRUE;
}

UINT DdeGetLastError(DWORD idInst)
{
    Instance* instance = FindInstance(idInst);
    if (!instance)
        return DMLERR_DLL_NOT_INITIALIZED;
    const UINT error = instance->lastError;
    instance->lastError = DMLERR_NO_ERROR;
    return error;
}

// ---- string and data handles -------------------------------------------------

HSZ DdeCreateStringHandleA(DWORD idInst, LPCSTR psz, int)
{
    Instance* instance = FindInstance(idInst);
    if (!instance)
        return nullptr;
    if (!psz || !*psz)
        return nullptr;
    return AtomAdd(psz);
}

BOOL DdeFreeStringHandle(DWORD idInst, HSZ hsz)
{
    if (!FindInstance(idInst))
        return FALSE;
    return AtomRelease(hsz) ? TRUE : FALSE;
}

BOOL DdeKeepStringHandle(DWORD idInst, HSZ hsz)
{
    if (!FindInstance(idInst))
        return FALSE;
    return AtomKeep(hsz) ? TRUE : FALSE;
}

DWORD DdeQueryStringA(DWORD idInst, HSZ hsz, LPSTR psz, DWORD cchMax, int)
{
    if (!FindInstance(idInst))
        return 0;
    const std::string* text = AtomText(hsz);
    if (!text)
        return 0;
    const DWORD length = DWORD(text->size());
    if (!psz)
        return length;
    if (cchMax == 0)
        return 0;
    const DWORD copied = length < cchMax - 1 ? length : cchMax - 1;
    std::memcpy(psz, text->data(), copied);
    psz[copied] = '\0';
    return copied;
}

int DdeCmpStringHandles(HSZ hsz1, HSZ hsz2)
{
    // Equal texts share one handle; order by handle otherwise.
    if (hsz1 == hsz2)
        return 0;
    return reinterpret_cast<std::uintptr_t>(hsz1) < reinterpret_cast<std::uintptr_t>(hsz2) ? -1 : 1;
}

HDDEDATA DdeCreateDataHandle(DWORD idInst, LPBYTE pSrc, DWORD cb, DWORD cbOff, HSZ hszItem, UINT wFmt, UINT afCmd)
{
    Instance* instance = FindInstance(idInst);
    if (!instance)
        return nullptr;
    if (cb > MaxFrameBytes || cbOff > MaxFrameBytes) {
        SetError(instance, DMLERR_MEMORY_ERROR);
        return nullptr;
    }
    QByteArray bytes(qsizetype(cbOff), '\0');
    if (pSrc)
        bytes.append(reinterpret_cast<const char*>(pSrc), qsizetype(cb));
    else
        bytes.append(qsizetype(cb), '\0');
    return DataCreate(std::move(bytes), hszItem, wFmt, (afCmd & HDATA_APPOWNED) != 0);
}

LPBYTE DdeAccessData(HDDEDATA hData, LPDWORD pcbDataSize)
{
    DataObject* object = DataFind(hData);
    if (!object)
        return nullptr;
    if (pcbDataSize)
        *pcbDataSize = DWORD(object->bytes.size());
    return reinterpret_cast<LPBYTE>(object->bytes.data());
}

BOOL DdeUnaccessData(HDDEDATA hData)
{
    return DataFind(hData) ? TRUE : FALSE;
}

BOOL DdeFreeDataHandle(HDDEDATA hData)
{
    return DataFree(hData) ? TRUE : FALSE;
}

DWORD DdeGetData(HDDEDATA hData, LPBYTE pDst, DWORD cbMax, DWORD cbOff)
{
    DataObject* object = DataFind(hData);
    if (!object || cbOff > DWORD(object->bytes.size()))
        return 0;
    const DWORD available = DWORD(object->bytes.size()) - cbOff;
    if (!pDst)
        return available;
    const DWORD copied = available < cbMax ? available : cbMax;
    std::memcpy(pDst, object->bytes.constData() + cbOff, copied);
    return copied;
}

// ---- client conversations -----------------------------------------------------

HCONV DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, PCONVCONTEXT)
{
    Instance* instance = FindInstance(idInst);
    if (!instance)
        return nullptr;
    const std::string* service = AtomText(hszService);
    const std::string* topic = AtomText(hszTopic);
    if (!service || !topic) {
        SetError(instance, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    char path[256];
    if (!ServiceSocketPath(service->c_str(), path, sizeof path)) {
        SetError(instance, DMLERR_SYS_ERROR);
        return nullptr;
    }
    auto* socket = new QLocalSocket;
    socket->connectToServer(QString::fromLocal8Bit(path));
    if (!socket->waitForConnected(Timing::DdeConnectTimeout)) {
        delete socket;
        SetError(instance, DMLERR_NO_CONV_ESTABLISHED);
        return nullptr;
    }
    Conversation* conv = NewConversation(instance, socket, true);
    const HCONV handle = conv->handle;
    AtomKeep(hszService);
    AtomKeep(hszTopic);
    conv->service = hszService;
    conv->topic = hszTopic;
    conv->Send(Frame{FrameType::Connect, 0, 0, 0, QByteArray::fromStdString(*service),
                     QByteArray::fromStdString(*topic), {}, {}});

    SyncWait wait;
    wait.connect = true;
    WaitFor(instance, conv, wait, Timing::DdeConnectTimeout);
    conv = FindConversation(handle);
    instance = FindInstance(idInst);
    if (!conv || !instance || !wait.done || !wait.reply.flags) {
        if (conv)
            Forget(handle);
        SetError(instance, DMLERR_NO_CONV_ESTABLISHED);
        return nullptr;
    }
    conv->connected = true;
    return handle;
}

BOOL DdeDisconnect(HCONV hConv)
{
    Conversation* conv = FindConversation(hConv);
    if (!conv)
        return FALSE;
    if (conv->socket)
        conv->socket->flush();
    Forget(hConv);
    return TRUE;
}

HDDEDATA DdeClientTransaction(LPBYTE pData, DWORD cbData, HCONV hConv, HSZ hszItem, UINT wFmt, UINT wType,
                              DWORD dwTimeout, LPDWORD pdwResult)
{
    Conversation* conv = FindConversation(hConv);
    if (!conv || !conv->client || !conv->connected) {
        if (conv)
            SetError(conv->instance, DMLERR_NO_CONV_ESTABLISHED);
        else if (auto gone = ended.find(hConv); gone != ended.end())
            SetError(FindInstance(gone->second), DMLERR_NO_CONV_ESTABLISHED);
        return nullptr;
    }
    Instance* instance = conv->instance;

    // Data come as bytes, or as a data handle (length -1) that the call consumes.
    QByteArray data;
    if (cbData == DWORD(-1)) {
        DataObject* object = DataFind(reinterpret_cast<HDDEDATA>(pData));
        if (!object) {
            SetError(instance, DMLERR_INVALIDPARAMETER);
            return nullptr;
        }
        data = object->bytes;
        if (!object->appOwned)
            DataFree(reinterpret_cast<HDDEDATA>(pData));
    } else if (pData) {
        data = QByteArray(reinterpret_cast<const char*>(pData), qsizetype(cbData));
    }

    const UINT type = wType & ~XTYPF_ACKREQ & ~XTYPF_NODATA;
    const std::string* itemText = AtomText(hszItem);
    Frame frame;
    frame.id = conv->nextId++;
    frame.format = wFmt;
    frame.item = itemText ? QByteArray::fromStdString(*itemText) : QByteArray();
    switch (type) {
    case XTYP_REQUEST: frame.type = FrameType::Request; break;
    case XTYP_POKE: frame.type = FrameType::Poke; frame.data = data; break;
    case XTYP_EXECUTE: frame.type = FrameType::Execute; frame.data = data; break;
    case XTYP_ADVSTART: frame.type = FrameType::AdvStart; frame.flags = wType & (XTYPF_ACKREQ | XTYPF_NODATA); break;
    case XTYP_ADVSTOP: frame.type = FrameType::AdvStop; break;
    default:
        SetError(instance, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    if (type != XTYP_EXECUTE && !itemText) {
        SetError(instance, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    if (frame.item.size() + data.size() + 64 > qsizetype(MaxFrameBytes)) {
        SetError(instance, DMLERR_MEMORY_ERROR);
        return nullptr;
    }
    if (type == XTYP_ADVSTOP) {
        auto loop = conv->adviseLoops.find(hszItem);
        if (loop != conv->adviseLoops.end()) {
            AtomRelease(loop->first);
            conv->adviseLoops.erase(loop);
        }
    }

    if (dwTimeout == TIMEOUT_ASYNC) {
        if (hszItem)
            AtomKeep(hszItem);
        conv->pending[frame.id] = Transaction{type, wFmt, hszItem};
        conv->Send(frame);
        if (pdwResult)
            *pdwResult = frame.id;
        return reinterpret_cast<HDDEDATA>(TRUE);
    }

    if (instance->syncDepth > 0 && conv->wait) {
        SetError(instance, DMLERR_REENTRANCY);
        return nullptr;
    }
    SyncWait wait;
    wait.id = frame.id;
    conv->Send(frame);
    WaitFor(instance, conv, wait, dwTimeout);
    conv = FindConversation(hConv);
    if (!wait.done) {
        if (conv)
            conv->abandoned.insert(frame.id);
        SetError(instance, wait.failed || !conv ? DMLERR_SERVER_DIED : TimeoutError(type));
        return nullptr;
    }
    if (pdwResult)
        *pdwResult = 0;
    if (wait.reply.type == FrameType::ReplyData && type == XTYP_REQUEST)
        return DataCreate(wait.reply.data, hszItem, wait.reply.format, false);
    if (wait.reply.type == FrameType::ReplyAck && wait.reply.flags) {
        if (type == XTYP_ADVSTART && conv && !conv->adviseLoops.count(hszItem)) {
            AtomKeep(hszItem);
            conv->adviseLoops[hszItem] = wFmt;
        }
        return reinterpret_cast<HDDEDATA>(TRUE);
    }
    SetError(instance, DMLERR_NOTPROCESSED);
    return nullptr;
}

BOOL DdeAbandonTransaction(DWORD idInst, HCONV hConv, DWORD idTransaction)
{
    Instance* instance = FindInstance(idInst);
    Conversation* conv = FindConversation(hConv);
    if (!instance || !conv || conv->instance != instance) {
        SetError(instance, DMLERR_INVALIDPARAMETER);
        return FALSE;
    }
    auto abandon = [conv](std::map<DWORD, Transaction>::iterator at) {
        AtomRelease(at->second.item);
        conv->abandoned.insert(at->first);
        return conv->pending.erase(at);
    };
    if (idTransaction == 0) {
        for (auto at = conv->pending.begin(); at != conv->pending.end();)
            at = abandon(at);
        return TRUE;
    }
    auto found = conv->pending.find(idTransaction);
    if (found == conv->pending.end()) {
        SetError(instance, DMLERR_UNFOUND_QUEUE_ID);
        return FALSE;
    }
    abandon(found);
    return TRUE;
}

UINT DdeQueryConvInfo(HCONV hConv, DWORD idTransaction, PCONVINFO pConvInfo)
{
    Conversation* conv = FindConversation(hConv);
    if (!conv || !pConvInfo || pConvInfo->cb < sizeof(CONVINFO))
        return 0;
    const Transaction* transaction = nullptr;
    if (idTransaction != QID_SYNC) {
        if (conv->completing && conv->completingId == idTransaction)
            transaction = conv->completing;
        else if (auto found = conv->pending.find(idTransaction); found != conv->pending.end())
            transaction = &found->second;
        else {
            SetError(conv->instance, DMLERR_UNFOUND_QUEUE_ID);
            return 0;
        }
    }
    const DWORD size = pConvInfo->cb;
    std::memset(pConvInfo, 0, sizeof(CONVINFO));
    pConvInfo->cb = sizeof(CONVINFO);
    pConvInfo->hszSvcPartner = conv->service;
    pConvInfo->hszServiceReq = conv->service;
    pConvInfo->hszTopic = conv->topic;
    pConvInfo->wStatus = (conv->connected ? ST_CONNECTED : ST_TERMINATED) | (conv->client ? ST_CLIENT : 0)
                         | ((conv->adviseLoops.empty() && conv->serverLoops.empty()) ? 0 : ST_ADVISE);
    pConvInfo->wConvst = conv->connected ? XST_CONNECTED : XST_NULL;
    pConvInfo->ConvCtxt.cb = sizeof(CONVCONTEXT);
    pConvInfo->ConvCtxt.iCodePage = CP_WINANSI;
    if (transaction) {
        pConvInfo->hszItem = transaction->item;
        pConvInfo->wFmt = transaction->format;
        pConvInfo->wType = transaction->type;
    }
    (void)size;
    return sizeof(CONVINFO);
}

// ---- servers ------------------------------------------------------------------

HDDEDATA DdeNameService(DWORD idInst, HSZ hsz1, HSZ, UINT afCmd)
{
    Instance* instance = FindInstance(idInst);
    if (!instance)
        return nullptr;
    if (instance->flags & APPCMD_CLIENTONLY) {
        SetError(instance, DMLERR_DLL_USAGE);
        return nullptr;
    }
    if (afCmd & DNS_UNREGISTER) {
        for (auto at = instance->services.begin(); at != instance->services.end();) {
            if (hsz1 && at->first != hsz1) {
                ++at;
                continue;
            }
            at->second->close();
            delete at->second;
            AtomRelease(at->first);
            at = instance->services.erase(at);
        }
        return reinterpret_cast<HDDEDATA>(TRUE);
    }
    if (!(afCmd & DNS_REGISTER))
        return reinterpret_cast<HDDEDATA>(TRUE); // filtering is always on
    const std::string* name = AtomText(hsz1);
    char path[256];
    if (!name || !ServiceSocketPath(name->c_str(), path, sizeof path)) {
        SetError(instance, name ? DMLERR_SYS_ERROR : DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    if (instance->services.count(hsz1))
        return reinterpret_cast<HDDEDATA>(TRUE);

    auto* server = new QLocalServer;
    server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString socketPath = QString::fromLocal8Bit(path);
    if (!server->listen(socketPath)) {
        // A socket left behind by a server that died is taken over; a live one is not.
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        const bool alive = probe.waitForConnected(Timing::DdeConnectTimeout);
        probe.abort();
        if (alive || !QLocalServer::removeServer(socketPath) || !server->listen(socketPath)) {
            delete server;
            SetError(instance, DMLERR_DLL_USAGE);
            return nullptr;
        }
    }
    AtomKeep(hsz1);
    instance->services[hsz1] = server;
    QObject::connect(server, &QLocalServer::newConnection, server, [idInst, server, hsz1] {
        if (Instance* inst = FindInstance(idInst))
            OnNewConnection(inst, server, hsz1);
    });
    return reinterpret_cast<HDDEDATA>(TRUE);
}

BOOL DdePostAdvise(DWORD idInst, HSZ hszTopic, HSZ hszItem)
{
    Instance* instance = FindInstance(idInst);
    if (!instance)
        return FALSE;
    const std::set<HCONV> handles = instance->conversations;
    for (HCONV handle : handles) {
        Conversation* conv = FindConversation(handle);
        if (!conv || conv->client || !conv->connected)
            continue;
        if (hszTopic && conv->topic != hszTopic)
            continue;
        PostAdvise(instance, handle, hszItem);
    }
    return TRUE;
}
