#include "datalink/KQDevice.h"

#include "platform/Timing.h"

#include <QPointer>

namespace {
constexpr QChar ListSeparator = QChar(9);
}

TKQDevice::TKQDevice(QObject* owner) : QObject(owner), statusPanel(std::make_unique<TKQStatusPanel>(this))
{
    listSync.SetTimeout(Timing::MutableItemListTimeout);
}

TKQDevice::~TKQDevice()
{
    lifeToken.reset();
    QObject::disconnect(serverNotification);
    // The items go first, stopping their advise loops on the conversation still held.
    for (TKMapIteratorObj at = items.First(); at.IsValid(); at.Next())
        delete static_cast<TKQMapItem*>(at.GetObject());
    items.Clear();
    itemCount = 0;
    try {
        GiveConversationBack();
    } catch (const std::exception&) {
        // The server component reports its own failures; a destructor must not throw.
    }
}

void TKQDevice::SetIdentifier(const QString& value)
{
    if (value == identifier)
        return;
    Disconnect();
    identifier = value;
    if (server && !loading && !identifier.isEmpty())
        Connect();
}

void TKQDevice::SetServer(TKQServer* value)
{
    if (value == server)
        return;
    GiveConversationBack();
    connected = false;
    if (!value)
        return; // the old server is kept: a later Identifier connects through it again
    QObject::disconnect(serverNotification);
    server = value;
    serverNotification = connect(server, &QObject::destroyed, this, &TKQDevice::ServerDestroyed);
    if (!loading && !identifier.isEmpty())
        Connect();
}

void TKQDevice::ServerDestroyed()
{
    // The server's conversations are gone with it.
    server = nullptr;
    requested = false;
    connected = false;
    conversation = nullptr;
    ReleaseItemsConversation(false);
}

void TKQDevice::Loaded()
{
    loading = false;
    if (server && !identifier.isEmpty())
        Connect();
}

void TKQDevice::Connect()
{
    if (!server)
        return;
    const QPointer<TKQDevice> self(this);
    try {
        requested = true;
        server->RequestConversation(identifier, [self](TKQDdeClientConv* open) {
            if (!self)
                return;
            if (!open) {
                self->requested = false; // the server kept nothing for us
                return;
            }
            self->ConversationReady(open);
        });
    } catch (const std::exception&) {
        throw Exception(QStringLiteral("Failed to Connect to: ") + identifier);
    }
}

void TKQDevice::Disconnect()
{
    if (!server)
        return;
    GiveConversationBack();
    connected = false;
}

void TKQDevice::GiveConversationBack()
{
    if (!server || !requested)
        return;
    // Items stop their loops while the conversation still exists; the server may free it.
    ReleaseItemsConversation(true);
    conversation = nullptr;
    requested = false;
    server->ReleaseConversation(identifier);
}

void TKQDevice::ReleaseItemsConversation(bool stopLoops)
{
    ForEachItem([stopLoops](TKQItem* item) {
        if (stopLoops) {
            try {
                item->ConversationLost();
            } catch (const std::exception&) {
                // The conversation is being given up; a loop it cannot stop ends with it.
            }
        }
        item->ConversationReleased();
    });
}

void TKQDevice::ConversationReady(TKQDdeClientConv* open)
{
    if (!open)
        return;
    conversation = open;
    connected = true;
    ForEachItem([open](TKQItem* item) { item->ConversationReady(open); });
    if (onCommunicating)
        onCommunicating(this);
    statusPanel->SetText(QStringLiteral("Active."));
}

void TKQDevice::ConversationLost()
{
    ForEachItem([](TKQItem* item) { item->ConversationLost(); });
    Timing::Pause(Timing::ConversationLostPause);
}

void TKQDevice::ForEachItem(const std::function<void(TKQItem*)>& f) const
{
    for (TKMapIteratorObj at = items.First(); at.IsValid(); at.Next())
        f(static_cast<TKQMapItem*>(at.GetObject())->Item());
}

std::unique_ptr<TKQItem> TKQDevice::CreateItem(const QString& upperName)
{
    return std::make_unique<TKQItem>(upperName);
}

TKQItem* TKQDevice::GetItem(const QString& name)
{
    const QString upperName = name.toUpper();
    auto* entry = static_cast<TKQMapItem*>(items.Find(upperName));
    if (entry) {
        ++entry->RefCount;
    } else {
        entry = new TKQMapItem(CreateItem(upperName));
        items.Insert(upperName, entry);
        ++itemCount;
    }
    TKQItem* item = entry->Item();
    if (conversation && connected)
        item->ConversationReady(conversation);
    return item;
}

void TKQDevice::ReleaseItem(const QString& name)
{
    // Upper case, so that a name acquired in any case is given back.
    const QString upperName = name.toUpper();
    auto* entry = static_cast<TKQMapItem*>(items.Find(upperName));
    if (!entry)
        return;
    if (--entry->RefCount > 0)
        return;
    items.Remove(upperName);
    --itemCount;
    delete entry;
}

qint32 TKQDevice::RefCount(const QString& name) const
{
    const auto* entry = static_cast<const TKQMapItem*>(items.Find(name.toUpper()));
    return entry ? entry->RefCount : 0;
}

const QStringList& TKQDevice::MutableItemList()
{
    if (mutableListLoaded)
        return mutableItemList;
    if (identifier.isEmpty() || !conversation)
        throw Exception(QStringLiteral("Control has not been connected."));

    listSync.Begin();
    listError.reset();
    listReply.clear();
    const std::weak_ptr<int> alive = lifeToken;
    try {
        conversation->Request(QStringLiteral("MutableItemList"),
                              [this, alive](const QByteArray* data, const EDdeError* error) {
                                  if (alive.expired())
                                      return;
                                  if (error)
                                      listError = *error;
                                  else
                                      listReply = QString::fromLatin1(*data);
                                  listSync.Complete();
                              });
    } catch (...) {
        listSync.Complete(); // nothing was sent, so nothing will end the wait
        throw;
    }
    listSync.Wait();
    if (listError)
        throw *listError;

    // Every run before a TAB is an entry, empty ones included; the rest only when not empty.
    mutableItemList.clear();
    qsizetype start = 0;
    for (qsizetype tab = listReply.indexOf(ListSeparator); tab >= 0; tab = listReply.indexOf(ListSeparator, start)) {
        mutableItemList << listReply.mid(start, tab - start);
        start = tab + 1;
    }
    if (start < listReply.size())
        mutableItemList << listReply.mid(start);
    mutableListLoaded = true;
    return mutableItemList;
}

void TKQDevice::SetOnCommunicating(std::function<void(TObject* sender)> handler)
{
    if (handler && conversation && connected)
        handler(this);
    onCommunicating = std::move(handler);
}
