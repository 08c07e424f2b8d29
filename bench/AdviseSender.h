// The sending side of the advise benchmarks: a minimal DDE server, run in a
// second process, that answers "Control Status" with 1 and any other item with
// a value of the benchmark's making, and that marks every advised item changed
// at a fixed interval once the expected number of advise loops runs.
//
//     return AdviseSender::Serve({"BenchFanout", topic, 2000, 100, value});
#pragma once

#include "platform/ddeml/ddeml.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace AdviseSender {

struct TOptions {
    const char* service;
    const char* topic;
    int loops;                  // changes start once this many items are advised
    int intervalMs;             // between two changes of every item
    // The value of an item in a round (0 before the first change).
    std::function<QByteArray(const char* item, qint64 round)> value;
};

struct TState {
    TOptions options;
    DWORD instance = 0;
    HSZ topic = nullptr;
    int loops = 0;
    qint64 round = 0;
};
inline TState* state = nullptr;

inline HDDEDATA Reply(HSZ item, QByteArray bytes)
{
    bytes.append('\0');
    return DdeCreateDataHandle(state->instance, reinterpret_cast<LPBYTE>(bytes.data()), DWORD(bytes.size()), 0, item,
                               CF_TEXT, 0);
}

inline HDDEDATA Callback(UINT type, UINT, HCONV, HSZ topic, HSZ item, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT:
        return reinterpret_cast<HDDEDATA>(DdeCmpStringHandles(topic, state->topic) == 0 ? TRUE : FALSE);
    case XTYP_ADVSTART:
        ++state->loops;
        return reinterpret_cast<HDDEDATA>(TRUE);
    case XTYP_ADVSTOP:
        --state->loops;
        return nullptr;
    case XTYP_REQUEST:
    case XTYP_ADVREQ: {
        char name[64] = {};
        DdeQueryStringA(state->instance, item, name, sizeof name, CP_WINANSI);
        if (qstricmp(name, "Control Status") == 0)
            return Reply(item, "1");
        return Reply(item, state->options.value(name, state->round));
    }
    default:
        return nullptr;
    }
}

// Runs the sender until it is killed; prints "ready" once it serves.
inline int Serve(const TOptions& options)
{
    TState sender{options};
    state = &sender;
    DdeInitializeA(&sender.instance, &Callback, APPCLASS_STANDARD, 0);
    HSZ service = DdeCreateStringHandleA(sender.instance, options.service, CP_WINANSI);
    sender.topic = DdeCreateStringHandleA(sender.instance, options.topic, CP_WINANSI);
    if (!DdeNameService(sender.instance, service, nullptr, DNS_REGISTER))
        return 1;
    QTimer changes;
    changes.setTimerType(Qt::PreciseTimer);
    changes.setInterval(options.intervalMs);
    QObject::connect(&changes, &QTimer::timeout, [&sender] {
        if (sender.loops < sender.options.loops)
            return;
        ++sender.round;
        DdePostAdvise(sender.instance, sender.topic, nullptr); // every advised item of the topic changed
    });
    changes.start();
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace AdviseSender
