// A small DDE server built on the server half of the DDE layer, for tests that
// need a partner in the same process: items to request, poke and advise, a
// record of executes, and switches to refuse or leave transactions unanswered.
#pragma once

#include "platform/ddeml/ddeml.h"

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class TestDdeServer {
public:
    TestDdeServer(const QString& service, const QString& topic);
    ~TestDdeServer();

    bool Registered() const { return registered; }
    void SetItem(const QString& item, const QByteArray& value); // advises the change
    QByteArray Item(const QString& item) const { return items.value(item.toUpper()); }
    void SetBinary(const QString& item, const QByteArray& bytes) { binary[item.toUpper()] = bytes; }

    QSet<QString> refused;    // items whose transactions fail
    QSet<QString> unanswered; // items whose transactions stay unanswered
    QStringList executes;     // commands received, in order
    QStringList moreTopics;   // further topics that accept conversations
    // Runs when an execute has been recorded, before it is acknowledged.
    std::function<void(const QString& command)> onExecute;
    QStringList pokes;        // "ITEM=value", in order
    QSet<QString> held;       // items (upper case) whose pokes are stored but not advised back; SetItem advises
    // Runs when a request arrives, before it is answered.
    std::function<void(const QString& item)> beforeReply;
    int connections = 0;
    int disconnects = 0;
    QSet<QString> advised;    // items with a running advise loop

private:
    static HDDEDATA Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR,
                             ULONG_PTR);
    HDDEDATA Handle(UINT type, UINT format, HSZ topic, HSZ item, HDDEDATA data);
    QString Text(HSZ hsz) const;

    DWORD instance = 0;
    HSZ service = nullptr;
    HSZ topicHandle = nullptr;
    QString topic;
    bool registered = false;
    QMap<QString, QByteArray> items;
    QMap<QString, QByteArray> binary;
};
