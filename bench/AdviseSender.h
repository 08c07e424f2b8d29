// The two sides of the advise benchmarks. The sender: a minimal DDE server, run
// in a second process, that answers "Control Status" with 1 and any other item
// with a value of the benchmark's making, and that marks every advised item
// changed at a fixed interval once the expected number of advise loops runs.
// The receiver: the benchmark itself, with a control device on the sender's topic.
//
//     if (arguments contain "--serve")
//         return AdviseSender::Serve({"BenchFanout", topic, 2000, 100, value});
//     AdviseSender::TLink link;
//     if (const char* failed = link.Start("BenchFanout", topic)) ...
#pragma once

#include "datalink/KQDatorelControl.h"
#include "datalink/KQDde.h"
#include "platform/ddeml/ddeml.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace AdviseSender {

// Longest wait for the sender to start and for the first values.
constexpr int StartTimeoutMs = 60000;

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

// Pumps events until the condition holds; false after the time-out.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = StartTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

// This program started again as the sender, and a control device connected to it.
class TLink {
public:
    ~TLink()
    {
        partner.kill();
        partner.waitForFinished();
    }
    // Nullptr once the control answers, else what failed.
    const char* Start(const char* service, const char* topic)
    {
        partner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        partner.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--serve")});
        if (!partner.waitForReadyRead(StartTimeoutMs))
            return "the sender did not start";
        TKQDdeMgr::SetCurrent(&manager);
        if (!conversation.SetLink(QString::fromLatin1(service), QString::fromLatin1(topic)))
            return "cannot reach the sender";
        control.SetIdentifier(QString::fromLatin1(topic));
        control.ConversationReady(&conversation);
        control.ConnectPollTimer();
        return control.IsConnected() ? nullptr : "the control did not answer";
    }

private:
    QProcess partner;
    TKQDdeMgr manager;
    TKQDdeClientConv conversation;

public:
    TKQDatorelControl control;
};

} // namespace AdviseSender
