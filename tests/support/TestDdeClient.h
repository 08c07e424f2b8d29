// A DDE client for tests that drive a real server: one conversation, transactions
// that wait for their answer, and a record of the values advised to it.
#pragma once

#include "platform/ddeml/ddeml.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

class TestDdeClient {
public:
    // Longest wait for an answer; a reply that takes longer counts as none.
    static constexpr int DefaultTimeoutMs = 5000;

    TestDdeClient(const QString& service, const QString& topic);
    ~TestDdeClient();
    TestDdeClient(const TestDdeClient&) = delete;
    TestDdeClient& operator=(const TestDdeClient&) = delete;

    bool Connected() const { return conversation != nullptr; }
    // The server ended the conversation (for example because it died).
    bool Disconnected() const { return disconnected; }
    // DMLERR_* code of the last failed transaction.
    UINT LastError() const { return lastError; }

    // The reply's bytes as sent (CF_TEXT replies include their zero).
    std::optional<QByteArray> Request(const QString& item, UINT format = CF_TEXT, int timeoutMs = DefaultTimeoutMs)
    {
        return Transact(XTYP_REQUEST, item, format, {}, timeoutMs);
    }
    // A CF_TEXT reply up to its zero.
    std::optional<QString> RequestText(const QString& item, int timeoutMs = DefaultTimeoutMs);
    bool Poke(const QString& item, const QString& value, int timeoutMs = DefaultTimeoutMs)
    {
        return Transact(XTYP_POKE, item, CF_TEXT, value.toLatin1() + '\0', timeoutMs).has_value();
    }
    bool Execute(const QString& command, int timeoutMs = DefaultTimeoutMs)
    {
        return Transact(XTYP_EXECUTE, QString(), CF_TEXT, command.toLatin1() + '\0', timeoutMs).has_value();
    }
    bool StartAdvise(const QString& item, int timeoutMs = DefaultTimeoutMs)
    {
        return Transact(XTYP_ADVSTART | XTYPF_ACKREQ, item, CF_TEXT, {}, timeoutMs).has_value();
    }
    bool StopAdvise(const QString& item, int timeoutMs = DefaultTimeoutMs)
    {
        return Transact(XTYP_ADVSTOP, item, CF_TEXT, {}, timeoutMs).has_value();
    }

    // Values advised for the item so far, oldest first (upper-case item name).
    QStringList Advised(const QString& item) const { return advised.value(item.toUpper()); }

private:
    static HDDEDATA Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR,
                             ULONG_PTR);
    std::optional<QByteArray> Transact(UINT type, const QString& item, UINT format, const QByteArray& data,
                                       int timeoutMs);

    DWORD instance = 0;
    HCONV conversation = nullptr;
    bool disconnected = false;
    UINT lastError = 0;
    QMap<QString, QStringList> advised;
};

// The reply's text, or "<failed>", for readable comparisons.
inline QString Text(TestDdeClient& client, const QString& item)
{
    return client.RequestText(item).value_or(QStringLiteral("<failed>"));
}

// The last value advised for the item, or "<nothing yet>".
inline QString Last(const TestDdeClient& client, const QString& item)
{
    const QStringList values = client.Advised(item);
    return values.isEmpty() ? QStringLiteral("<nothing yet>") : values.last();
}
