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

class StringHandle {
public:
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
    HSZ get() const { return handle; }

private:
    DWORD instance;
    HSZ handle;
};

QByteArray Bytes(HDDEDATA data)
{
    return DdeDataBytes(data).value_or(QByteArray());
}

QString UpToZero(const QByteArray& bytes)
{
    return QString::fromLatin1(DdeTextOf(bytes));
}

QString ItemText(DWORD instance, HSZ item)
{
    char buffer[256] = {};
    DdeQueryStringA(instance, item, buffer, sizeof buffer, CP_WINANSI);
    return QString::fromLatin1(buffer).toUpper();
}

} // namespace

TestDdeClient::TestDdeClient(const QString& service, const QString& topic)
{
    if (DdeInitializeA(&instance, &TestDdeClient::Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        instance = 0;
        return;
    }
    const StringHandle serviceHandle(instance, service);
    const StringHandle topicHandle(instance, topic);
    conversation = DdeConnect(instance, serviceHandle.get(), topicHandle.get(), nullptr);
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
    switch (type) {
    case XTYP_ADVDATA:
        client->advised[ItemText(client->instance, hsz2)].append(UpToZero(Bytes(data)));
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    case XTYP_DISCONNECT:
        client->disconnected = true;
        Clients().erase(found);
        client->conversation = nullptr;
        return nullptr;
    default:
        return nullptr;
    }
}

std::optional<QByteArray> TestDdeClient::Transact(UINT type, const QString& item, UINT format,
                                                  const QByteArray& data, int timeoutMs)
{
    if (!conversation) {
        lastError = DMLERR_NO_CONV_ESTABLISHED;
        return std::nullopt;
    }
    const StringHandle itemHandle(instance, item);
    QByteArray payload = data;
    HDDEDATA result = DdeClientTransaction(payload.isNull() ? nullptr : reinterpret_cast<LPBYTE>(payload.data()),
                                           DWORD(payload.size()), conversation, itemHandle.get(), format, type,
                                           DWORD(timeoutMs), nullptr);
    if (!result) {
        lastError = DdeGetLastError(instance);
        return std::nullopt;
    }
    if (type != XTYP_REQUEST)
        return QByteArray();
    const QByteArray bytes = Bytes(result);
    DdeFreeDataHandle(result);
    return bytes;
}

std::optional<QByteArray> TestDdeClient::Request(const QString& item, UINT format, int timeoutMs)
{
    return Transact(XTYP_REQUEST, item, format, {}, timeoutMs);
}

std::optional<QString> TestDdeClient::RequestText(const QString& item, int timeoutMs)
{
    const auto bytes = Request(item, CF_TEXT, timeoutMs);
    if (!bytes)
        return std::nullopt;
    return UpToZero(*bytes);
}

bool TestDdeClient::Poke(const QString& item, const QString& value, int timeoutMs)
{
    return Transact(XTYP_POKE, item, CF_TEXT, value.toLatin1() + '\0', timeoutMs).has_value();
}

bool TestDdeClient::Execute(const QString& command, int timeoutMs)
{
    return Transact(XTYP_EXECUTE, QString(), CF_TEXT, command.toLatin1() + '\0', timeoutMs).has_value();
}

bool TestDdeClient::StartAdvise(const QString& item, int timeoutMs)
{
    return Transact(XTYP_ADVSTART | XTYPF_ACKREQ, item, CF_TEXT, {}, timeoutMs).has_value();
}

bool TestDdeClient::StopAdvise(const QString& item, int timeoutMs)
{
    return Transact(XTYP_ADVSTOP, item, CF_TEXT, {}, timeoutMs).has_value();
}

std::optional<QString> TestDdeClient::LastAdvised(const QString& item) const
{
    const QStringList values = Advised(item);
    if (values.isEmpty())
        return std::nullopt;
    return values.last();
}
