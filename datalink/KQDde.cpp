#include "datalink/KQDde.h"

#include "platform/Assert.h"
#include "platform/ddeml/DdeData.h"
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"

#include <algorithm>
#include <exception>

namespace {

TKQDdeMgr* current = nullptr;
bool alive = false;

// The conversation table is keyed by the handle's 32-bit value.
qint32 Key(HCONV conv)
{
    return qint32(reinterpret_cast<std::uintptr_t>(conv));
}

qint32 Key(HSZ hsz)
{
    return qint32(reinterpret_cast<std::uintptr_t>(hsz));
}

QByteArray Ansi(const QString& text)
{
    return text.toLatin1();
}

constexpr int MaxNameLength = 255;
constexpr DWORD MaxItemNameQuery = 100;

QString TransactionName(UINT type)
{
    switch (type) {
    case XTYP_REQUEST: return QStringLiteral("Request");
    case XTYP_POKE: return QStringLiteral("Poke");
    case XTYP_EXECUTE: return QStringLiteral("Execute");
    case XTYP_ADVSTART: return QStringLiteral("Start Advise");
    case XTYP_ADVSTOP: return QStringLiteral("Stop Advise");
    default: return QStringLiteral("?");
    }
}

} // namespace

QString DdeErrorText(UINT code)
{
    switch (code) {
    case DMLERR_NO_ERROR: return QStringLiteral("No error found.");
    case DMLERR_ADVACKTIMEOUT: return QStringLiteral("Start advise ack timeout.");
    case DMLERR_BUSY: return QStringLiteral("Busy.");
    case DMLERR_DATAACKTIMEOUT: return QStringLiteral("Data ack timeout.");
    case DMLERR_DLL_NOT_INITIALIZED: return QStringLiteral("Dll was not initialized.");
    case DMLERR_DLL_USAGE: return QStringLiteral("Dll usage incorrect.");
    case DMLERR_EXECACKTIMEOUT: return QStringLiteral("Execute ack timeout.");
    case DMLERR_INVALIDPARAMETER: return QStringLiteral("Invalid parameter.");
    case DMLERR_LOW_MEMORY: return QStringLiteral("Memory is low.");
    case DMLERR_MEMORY_ERROR: return QStringLiteral("Memory error.");
    case DMLERR_NOTPROCESSED: return QStringLiteral("Message was not processed.");
    case DMLERR_NO_CONV_ESTABLISHED: return QStringLiteral("No conversation was established.");
    case DMLERR_POKEACKTIMEOUT: return QStringLiteral("Poke ack timeout.");
    case DMLERR_POSTMSG_FAILED: return QStringLiteral("Post message failed.");
    case DMLERR_REENTRANCY: return QStringLiteral("Re entrancy.");
    case DMLERR_SERVER_DIED: return QStringLiteral("Server died.");
    case DMLERR_SYS_ERROR: return QStringLiteral("System error.");
    case DMLERR_UNADVACKTIMEOUT: return QStringLiteral("Unadvise ack timeout.");
    case DMLERR_UNFOUND_QUEUE_ID: return QStringLiteral("Unfound queue id.");
    default: return QStringLiteral("Error code not in list of error values.");
    }
}

// ---- manager -----------------------------------------------------------------

TKQDdeMgr::TKQDdeMgr()
{
    alive = true;
    if (DdeInitializeA(&instance, &TKQDdeMgr::Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        throw Exception(QStringLiteral("Error initializing conversation"));
    conversations = std::make_unique<TKMapLongIntKey>();
}

TKQDdeMgr::~TKQDdeMgr()
{
    alive = false;
    if (current == this)
        current = nullptr;
    conversations.reset();
    DdeUninitialize(instance);
}

TKQDdeMgr* TKQDdeMgr::Current()
{
    return current;
}

void TKQDdeMgr::SetCurrent(TKQDdeMgr* manager)
{
    current = manager;
}

bool TKQDdeMgr::Alive()
{
    return alive;
}

void TKQDdeMgr::Register(HCONV conversation, TKQDdeClientConv* owner)
{
    Assert(conversations != nullptr, "TKQDdeMgr.Register: conversation table does not exist");
    conversations->Insert(Key(conversation), owner);
}

void TKQDdeMgr::Unregister(HCONV conversation)
{
    if (conversations)
        conversations->Remove(Key(conversation));
}

TKQDdeClientConv* TKQDdeMgr::Lookup(HCONV conversation) const
{
    return conversations ? static_cast<TKQDdeClientConv*>(conversations->Find(Key(conversation))) : nullptr;
}

void TKQDdeMgr::Forget(TKQDdeClientConv* owner)
{
    std::replace(callbackOwners.begin(), callbackOwners.end(), owner, static_cast<TKQDdeClientConv*>(nullptr));
}

// Marks a conversation as in its call-back for the guard's life, and clears
// the mark at the end whatever became of the conversation meanwhile: it may
// have left the routing table (a disconnect) or been freed.
class TKQDdeMgr::TCallbackMark {
public:
    TCallbackMark(std::vector<TKQDdeClientConv*>& owners, TKQDdeClientConv* owner)
        : owners(owners), outer(owner->inCallback)
    {
        owners.push_back(owner);
        owner->inCallback = true;
    }
    ~TCallbackMark()
    {
        if (TKQDdeClientConv* owner = owners.back())
            owner->inCallback = outer;
        owners.pop_back();
    }
    TCallbackMark(const TCallbackMark&) = delete;
    TCallbackMark& operator=(const TCallbackMark&) = delete;

private:
    std::vector<TKQDdeClientConv*>& owners;
    bool outer;
};

HDDEDATA TKQDdeMgr::Callback(UINT type, UINT format, HCONV conv, HSZ, HSZ hsz2, HDDEDATA data, ULONG_PTR data1,
                             ULONG_PTR)
{
    if (!conv || !alive || !current)
        return nullptr;
    TKQDdeMgr* manager = current;
    TKQDdeClientConv* owner = manager->Lookup(conv);
    if (!owner)
        return reinterpret_cast<HDDEDATA>(DDE_FACK);

    std::exception_ptr raised;
    {
        const TCallbackMark mark(manager->callbackOwners, owner);
        try {
            manager->Dispatch(owner, type, format, hsz2, data, data1);
        } catch (const std::exception&) {
            raised = std::current_exception();
        }
    }
    // What a call-back raised goes to the default handler, never through the DDE
    // layer, and once the call-back is over.
    if (raised) {
        try {
            std::rethrow_exception(raised);
        } catch (const std::exception& error) {
            ShowException(error);
        }
    }
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
}

TQuietDdeErrors::TQuietDdeErrors() : manager(TKQDdeMgr::Current())
{
    if (!manager)
        return;
    saved = manager->OnDdeError;
    manager->OnDdeError = [](const QString&, const QString&, const QString&) {};
}

TQuietDdeErrors::~TQuietDdeErrors()
{
    if (manager && TKQDdeMgr::Current() == manager)
        manager->OnDdeError = saved;
}

void TKQDdeMgr::Dispatch(TKQDdeClientConv* owner, UINT type, UINT format, HSZ item, HDDEDATA data, ULONG_PTR data1)
{
    switch (type) {
    case XTYP_ADVDATA: {
        const std::optional<QByteArray> bytes = DdeDataBytes(data);
        if (!bytes) {
            const EDdeError error(DdeErrorText(DdeGetLastError(instance)));
            owner->DeliverAdvise(item, nullptr, &error);
        } else {
            const QByteArray value = format == CF_TEXT ? DdeTextOf(*bytes) : *bytes;
            DdeFreeDataHandle(data);
            owner->DeliverAdvise(item, &value, nullptr);
        }
        break;
    }
    case XTYP_XACT_COMPLETE:
        TransactionComplete(owner, format, data, DWORD(data1));
        break;
    case XTYP_DISCONNECT:
        if (OnDisconnect)
            OnDisconnect(nullptr);
        owner->Disconnected();
        break;
    default:
        break;
    }
}

void TKQDdeMgr::TransactionComplete(TKQDdeClientConv* conv, UINT format, HDDEDATA data, DWORD id)
{
    CONVINFO info{};
    info.cb = sizeof info;
    DdeQueryConvInfo(conv->conversation, id, &info);

    if (!data) {
        char item[MaxItemNameQuery + 1] = {};
        DdeQueryStringA(instance, info.hszItem, item, MaxItemNameQuery, CP_WINANSI);
        const QString name = TransactionName(info.wType);
        if (OnDdeError)
            OnDdeError(name, conv->topic, QString::fromLatin1(item));
        else
            MessageDlg(QStringLiteral("DDE Error: ") + name + QStringLiteral(" on ") + conv->topic
                           + QStringLiteral(": ") + QString::fromLatin1(item)
                           + QStringLiteral(" failed; verify item name."),
                       TMsgDlgType::mtError, mbOK);
        const EDdeError error(DdeErrorText(DdeGetLastError(instance)));
        conv->Deliver(id, nullptr, &error);
        return;
    }

    if (info.wType == XTYP_REQUEST) {
        const std::optional<QByteArray> bytes = DdeDataBytes(data);
        if (!bytes) {
            const EDdeError error(DdeErrorText(DdeGetLastError(instance)));
            conv->Deliver(id, nullptr, &error);
            return;
        }
        QByteArray copy;
        if (format == CF_TEXT) {
            copy = DdeTextOf(*bytes);
        } else if (format == CF_PRIVATEFIRST) {
            copy = *bytes;
        } else {
            char item[MaxItemNameQuery + 1] = {};
            DdeQueryStringA(instance, info.hszItem, item, MaxItemNameQuery, CP_WINANSI);
            MessageDlg(QStringLiteral("DDE Error: Unknown format ") + conv->topic + QStringLiteral(": ")
                           + QString::fromLatin1(item),
                       TMsgDlgType::mtError, mbOK);
            return;
        }
        DdeFreeDataHandle(data);
        conv->Deliver(id, &copy, nullptr);
        return;
    }
    conv->Deliver(id, nullptr, nullptr);
}

// ---- conversation --------------------------------------------------------------

struct TKQDdeClientConv::TNotifyObj : TObject {
    TDdeCallBack callBack;
    DWORD id = 0;
};

struct TKQDdeClientConv::TAdviseObj : TObject {
    TDdeCallBack callBack;
    HSZ item = nullptr;
};

TKQDdeClientConv::~TKQDdeClientConv()
{
    if (TKQDdeMgr* manager = TKQDdeMgr::Current())
        manager->Forget(this);
    // Destruction must not throw: a failed abandon only leaves a reply that nobody reads.
    for (TKListIteratorObj at = pending.First(); at.IsValid(); at.Next()) {
        auto* record = static_cast<TNotifyObj*>(at.GetObject());
        if (conversation)
            DdeAbandonTransaction(Instance(), conversation, record->id);
    }
    try {
        CloseLink();
    } catch (const std::exception&) {
    }
    for (TKListIteratorObj at = pending.First(); at.IsValid(); at.Next())
        delete static_cast<TNotifyObj*>(at.GetObject());
    pending.Clear();
    for (TKMapIteratorObj at = advises.First(); at.IsValid(); at.Next())
        delete static_cast<TAdviseObj*>(at.GetObject());
    advises.Clear();
}

DWORD TKQDdeClientConv::Instance() const
{
    TKQDdeMgr* manager = TKQDdeMgr::Current();
    return manager ? manager->Instance() : 0;
}

bool TKQDdeClientConv::SetLink(const QString& newService, const QString& newTopic)
{
    CloseLink();
    service = newService.left(MaxNameLength);
    topic = newTopic.left(MaxNameLength);
    return OpenLink();
}

bool TKQDdeClientConv::OpenLink()
{
    Assert(conversation == nullptr, "TKQDdeClientConv.OpenLink: already connected");
    TKQDdeMgr* manager = TKQDdeMgr::Current();
    if (!manager)
        return false;
    if (!serviceHandle)
        serviceHandle = DdeCreateStringHandleA(Instance(), Ansi(service).constData(), CP_WINANSI);
    if (!topicHandle)
        topicHandle = DdeCreateStringHandleA(Instance(), Ansi(topic).constData(), CP_WINANSI);

    CONVCONTEXT context{};
    context.cb = sizeof context;
    context.iCodePage = CP_WINANSI;
    const HCONV handle = DdeConnect(Instance(), serviceHandle, topicHandle, &context);
    if (!handle)
        return false;
    conversation = handle;
    manager->Register(handle, this);
    if (OnOpen)
        OnOpen(this);
    return true;
}

void TKQDdeClientConv::CloseLink()
{
    if (conversation) {
        const HCONV handle = conversation;
        if (TKQDdeMgr* manager = TKQDdeMgr::Current())
            manager->Unregister(handle);
        if (OnClose)
            OnClose(this);
        conversation = nullptr;
        if (!DdeDisconnect(handle))
            throw EDdeError(DdeErrorText(DdeGetLastError(Instance())));
    }
    if (serviceHandle)
        DdeFreeStringHandle(Instance(), serviceHandle);
    if (topicHandle)
        DdeFreeStringHandle(Instance(), topicHandle);
    serviceHandle = topicHandle = nullptr;
    service.clear();
    topic.clear();
}

void TKQDdeClientConv::Disconnected()
{
    // The partner ended the conversation. It leaves the routing table too, so
    // that nothing can reach this object through a handle that is gone.
    if (!conversation)
        return;
    if (TKQDdeMgr* manager = TKQDdeMgr::Current())
        manager->Unregister(conversation);
    if (OnClose)
        OnClose(this);
    conversation = nullptr;
}

HSZ TKQDdeClientConv::ItemHandle(const QString& item) const
{
    return DdeCreateStringHandleA(Instance(), Ansi(item).constData(), CP_WINANSI);
}

DWORD TKQDdeClientConv::Send(HSZ item, const QByteArray* text, UINT format, UINT type, DWORD timeout)
{
    LPBYTE data = nullptr;
    DWORD length = 0;
    if (text) {
        QByteArray bytes = *text;
        bytes.append('\0');
        data = reinterpret_cast<LPBYTE>(DdeCreateDataHandle(Instance(), reinterpret_cast<LPBYTE>(bytes.data()),
                                                            DWORD(bytes.size()), 0, item, CF_TEXT, 0));
        length = DWORD(-1);
    }
    DWORD id = 0;
    if (!DdeClientTransaction(data, length, conversation, item, format, type, timeout, &id))
        return DWORD(-1);
    return id;
}

void TKQDdeClientConv::AddPending(TDdeCallBack callBack, DWORD id)
{
    if (!callBack)
        return;
    auto* record = new TNotifyObj;
    record->callBack = std::move(callBack);
    record->id = id;
    pending.Add(record);
}

void TKQDdeClientConv::Deliver(DWORD id, const QByteArray* data, const EDdeError* error)
{
    for (TKListIteratorObj at = pending.First(); at.IsValid(); at.Next()) {
        auto* record = static_cast<TNotifyObj*>(at.GetObject());
        if (record->id != id)
            continue;
        std::unique_ptr<TNotifyObj> owned(record);
        pending.Remove(at);
        owned->callBack(data, error);
        return;
    }
}

void TKQDdeClientConv::DeliverAdvise(HSZ item, const QByteArray* data, const EDdeError* error)
{
    auto* record = static_cast<TAdviseObj*>(advises.Find(Key(item)));
    if (record && record->callBack) {
        const TDdeCallBack callBack = record->callBack; // the record may go while it runs
        callBack(data, error);
    }
}

HSZ TKQDdeClientConv::StartAdvise(const QString& item, TDdeCallBack callBack)
{
    Assert(conversation != nullptr, "Assertion failure");
    Assert(!item.isEmpty(), "Assertion failure");
    const HSZ handle = ItemHandle(item);
    const UINT type = XTYP_ADVSTART | (Acknowledge ? XTYPF_ACKREQ : 0);
    if (Send(handle, nullptr, CF_TEXT, type, TIMEOUT_ASYNC) == DWORD(-1)) {
        const QString text = DdeErrorText(DdeGetLastError(Instance()));
        DdeFreeStringHandle(Instance(), handle);
        throw EDdeError(text);
    }
    auto* record = static_cast<TAdviseObj*>(advises.Find(Key(handle)));
    if (record) {
        // A second loop on the same name keeps the first record and its handle reference.
        record->callBack = std::move(callBack);
        DdeFreeStringHandle(Instance(), handle);
    } else {
        record = new TAdviseObj;
        record->callBack = std::move(callBack);
        record->item = handle;
        advises.Insert(Key(handle), record);
    }
    return handle;
}

void TKQDdeClientConv::StopAdvise(HSZ handle)
{
    Assert(conversation != nullptr, "Assertion failure");
    std::unique_ptr<TAdviseObj> record(static_cast<TAdviseObj*>(advises.Remove(Key(handle))));
    const DWORD result = Send(handle, nullptr, CF_TEXT, XTYP_ADVSTOP, TIMEOUT_ASYNC);
    if (record)
        DdeFreeStringHandle(Instance(), handle);
    if (result == DWORD(-1))
        throw EDdeError(DdeErrorText(DdeGetLastError(Instance())));
}

void TKQDdeClientConv::Request(const QString& item, TDdeCallBack callBack)
{
    Assert(conversation != nullptr, "Assertion failure");
    const HSZ handle = ItemHandle(item);
    const DWORD id = Send(handle, nullptr, CF_TEXT, XTYP_REQUEST, TIMEOUT_ASYNC);
    DdeFreeStringHandle(Instance(), handle);
    if (id == DWORD(-1))
        throw EDdeError(DdeErrorText(DdeGetLastError(Instance())));
    AddPending(std::move(callBack), id);
}

void TKQDdeClientConv::RequestBinary(const QString& item, TDdeCallBack callBack)
{
    Assert(conversation != nullptr, "Assertion failure");
    const HSZ handle = ItemHandle(item);
    const DWORD id = Send(handle, nullptr, CF_PRIVATEFIRST, XTYP_REQUEST, TIMEOUT_ASYNC);
    DdeFreeStringHandle(Instance(), handle);
    if (id == DWORD(-1))
        throw EDdeError(DdeErrorText(DdeGetLastError(Instance())));
    AddPending(std::move(callBack), id);
}

void TKQDdeClientConv::Poke(const QString& item, const QString& text, TDdeCallBack callBack)
{
    Assert(conversation != nullptr, "Assertion failure");
    const HSZ handle = ItemHandle(item);
    const QByteArray bytes = Ansi(text);
    const DWORD id = Send(handle, &bytes, CF_TEXT, XTYP_POKE, TIMEOUT_ASYNC);
    DdeFreeStringHandle(Instance(), handle);
    if (id == DWORD(-1))
        throw EDdeError(DdeErrorText(DdeGetLastError(Instance())));
    AddPending(std::move(callBack), id);
}

void TKQDdeClientConv::PokeSync(const QString& item, const QString& text)
{
    Assert(conversation != nullptr, "Assertion failure");
    const HSZ handle = ItemHandle(item);
    const QByteArray bytes = Ansi(text);
    const DWORD result = Send(handle, &bytes, CF_TEXT, XTYP_POKE, Timing::PokeSyncTimeout);
    DdeFreeStringHandle(Instance(), handle);
    if (result == DWORD(-1))
        throw EDdeError(DdeErrorText(DdeGetLastError(Instance())));
}

void TKQDdeClientConv::Execute(const QString& command, TDdeCallBack callBack)
{
    Assert(conversation != nullptr, "Assertion failure");
    const QByteArray bytes = Ansi(command);
    const DWORD id = Send(nullptr, &bytes, CF_TEXT, XTYP_EXECUTE, TIMEOUT_ASYNC);
    if (id == DWORD(-1))
        throw EDdeError(DdeErrorText(DdeGetLastError(Instance())));
    AddPending(std::move(callBack), id);
}
