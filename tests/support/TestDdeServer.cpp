#include "tests/support/TestDdeServer.h"

#include "platform/ddeml/DdeData.h"

#include <QList>
#include <QMap>

namespace {
// The callback knows no instance: route by service name, then by conversation.
QList<TestDdeServer*> servers;
QMap<HCONV, TestDdeServer*> byConversation;
}

TestDdeServer::TestDdeServer(const QString& serviceName, const QString& topicName) : topic(topicName)
{
    servers << this;
    DdeInitializeA(&instance, &TestDdeServer::Callback, APPCLASS_STANDARD, 0);
    service = DdeCreateStringHandleA(instance, serviceName.toLatin1().constData(), CP_WINANSI);
    topicHandle = DdeCreateStringHandleA(instance, topicName.toLatin1().constData(), CP_WINANSI);
    registered = DdeNameService(instance, service, nullptr, DNS_REGISTER) != nullptr;
}

TestDdeServer::~TestDdeServer()
{
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, topicHandle);
    DdeUninitialize(instance);
    servers.removeAll(this);
    byConversation.removeIf([this](auto entry) { return entry.value() == this; });
}

void TestDdeServer::SetItem(const QString& item, const QByteArray& value)
{
    items[item.toUpper()] = value;
    const HSZ handle = DdeCreateStringHandleA(instance, item.toLatin1().constData(), CP_WINANSI);
    DdePostAdvise(instance, topicHandle, handle);
    DdeFreeStringHandle(instance, handle);
}

QString TestDdeServer::Text(HSZ hsz) const
{
    char text[512] = {};
    DdeQueryStringA(instance, hsz, text, sizeof text, CP_WINANSI);
    return QString::fromLatin1(text);
}

HDDEDATA TestDdeServer::Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR,
                                 ULONG_PTR)
{
    TestDdeServer* server = byConversation.value(conv);
    if (type == XTYP_CONNECT || type == XTYP_CONNECT_CONFIRM) {
        for (TestDdeServer* candidate : servers)
            if (candidate->service == hsz2)
                server = candidate;
        if (server && type == XTYP_CONNECT_CONFIRM)
            byConversation[conv] = server;
    }
    return server ? server->Handle(type, format, hsz1, hsz2, data) : nullptr;
}

HDDEDATA TestDdeServer::Handle(UINT type, UINT format, HSZ topicHsz, HSZ itemHsz, HDDEDATA data)
{
    const auto yes = reinterpret_cast<HDDEDATA>(TRUE);
    const auto ack = reinterpret_cast<HDDEDATA>(DDE_FACK);
    if (type == XTYP_CONNECT) {
        const QString asked = Text(topicHsz);
        return asked.compare(topic, Qt::CaseInsensitive) == 0 || moreTopics.contains(asked, Qt::CaseInsensitive)
                   ? yes
                   : nullptr;
    }
    if (type == XTYP_CONNECT_CONFIRM) {
        ++connections;
        return nullptr;
    }
    if (type == XTYP_DISCONNECT) {
        ++disconnects;
        return nullptr;
    }
    const QString item = Text(itemHsz).toUpper();
    if (unanswered.contains(item))
        return CBR_BLOCK;
    if (refused.contains(item))
        return nullptr;

    switch (type) {
    case XTYP_REQUEST:
        if (beforeReply)
            beforeReply(item);
        [[fallthrough]];
    case XTYP_ADVREQ: {
        const bool asBinary = format == CF_PRIVATEFIRST && binary.contains(item);
        if (!asBinary && !items.contains(item))
            return nullptr;
        QByteArray bytes = asBinary ? binary[item] : items[item] + '\0';
        return DdeCreateDataHandle(instance, reinterpret_cast<LPBYTE>(bytes.data()), DWORD(bytes.size()), 0, itemHsz,
                                   asBinary ? format : CF_TEXT, 0);
    }
    case XTYP_POKE: {
        const QByteArray value = DdeTextOf(DdeDataBytes(data).value_or(QByteArray()));
        pokes << item + "=" + QString::fromLatin1(value);
        items[item] = value;
        if (!held.contains(item))
            DdePostAdvise(instance, topicHandle, itemHsz);
        return ack;
    }
    case XTYP_EXECUTE: {
        executes << QString::fromLatin1(DdeTextOf(DdeDataBytes(data).value_or(QByteArray())));
        if (onExecute)
            onExecute(executes.last());
        return ack;
    }
    case XTYP_ADVSTART:
        if (!items.contains(item))
            return nullptr;
        advised.insert(item);
        return yes;
    case XTYP_ADVSTOP:
        advised.remove(item);
        return nullptr;
    default:
        return nullptr;
    }
}
