#include "tests/support/TestDdeClient.h"

#include "platform/ddeml/DdeData.h"

#include <map>

namespace {

// Callbacks carry no instance, so conversations lead back to their client.
std::map<HCONV, TestDdeClient*>& Clients()
{
    static std::map<HCONV, TestDdeClient*> clients;
    return clients;
}

struct StringHandle {
    StringHandle(DWORD instance, const QString& text)
        : instance(instance)
        , handle(text.isNull() ? nullptr : DdeCreateStringHandleA(instance, text.toLatin1().constData(), CP_WINANSI))
    {
    }
    ~StringHandle()
    {
        if (handle)
            DdeFreeStringHandle(instance, handle);
    }
    DWORD instance;
    HSZ handle;
};

} // namespace

TestDdeClient::TestDdeClient(const QString& service, const QString& topic)
{
    if (DdeInitializeA(&instance, &TestDdeClient::Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        instance = 0;
        return;
    }
    conversation = DdeConnect(instance, StringHandle(instance, service).handle, StringHandle(instance, topic).handle, nullptr);
    if (conversation)
        Clients()[conversation] = this;
    else
        lastError = DdeGetLastError(instance);
}

TestDdeClient::~TestDdeClient()
{
    if (conversation) {
        Clients().erase(conversation);
        DdeDisconnect(conversation);
    }
    if (instance)
        DdeUninitialize(instance);
}

HDDEDATA TestDdeClient::Callback(UINT type, UINT, HCONV conv, HSZ, HSZ hsz2, HDDEDATA data, ULONG_PTR, ULONG_PTR)
{
    const auto found = Clients().find(conv);
    if (found == Clients().end())
        return nullptr;
    TestDdeClient* client = found->second;
    if (type == XTYP_ADVDATA) {
        char item[256] = {};
        DdeQueryStringA(client->instance, hsz2, item, sizeof item, CP_WINANSI);
        const QByteArray bytes = DdeDataBytes(data).value_or(QByteArray());
        client->advised[QString::fromLatin1(item).toUpper()].append(QString::fromLatin1(DdeTextOf(bytes)));
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    if (type == XTYP_DISCONNECT) {
        client->disconnected = true;
        Clients().erase(found);
        client->conversation = nullptr;
    }
    return nullptr;
}

std::optional<QByteArray> TestDdeClient::Transact(UINT type, const QString& item, UINT format,
                                                  const QByteArray& data, int timeoutMs)
{
    if (!conversation) {
        lastError = DMLERR_NO_CONV_ESTABLISHED;
        return std::nullopt;
    }
    QByteArray payload = data;
    HDDEDATA result = DdeClientTransaction(payload.isNull() ? nullptr : reinterpret_cast<LPBYTE>(payload.data()),
                                           DWORD(payload.size()), conversation, StringHandle(instance, item).handle,
                                           format, type, DWORD(timeoutMs), nullptr);
    if (!result) {
        lastError = DdeGetLastError(instance);
        return std::nullopt;
    }
    if (type != XTYP_REQUEST)
        return QByteArray();
    const QByteArray bytes = DdeDataBytes(result).value_or(QByteArray());
    DdeFreeDataHandle(result);
    return bytes;
}

std::optional<QString> TestDdeClient::RequestText(const QString& item, int timeoutMs)
{
    const auto bytes = Request(item, CF_TEXT, timeoutMs);
    return bytes ? std::optional<QString>(QString::fromLatin1(DdeTextOf(*bytes))) : std::nullopt;
}
