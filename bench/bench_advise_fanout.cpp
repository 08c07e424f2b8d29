// Advise fan-out: a server in a second process changes 2,000 advised items ten
// times a second for 30 seconds; the client holds them through a control device
// with one subscriber per item, as bound controls do. Prints the client's CPU
// share of one core, the delivery delays per 5-second window and whether a
// backlog grows.
//
// The sender is a minimal DDE server of its own (--serve): every round it marks
// all items changed at once, and each advised value carries the round and the
// moment (monotonic clock) at which the server produced it.
#include "bench/AdviseSender.h"
#include "bench/Measure.h"
#include "platform/ddeml/ddeml.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr int Items = 2000;
constexpr int ChangeIntervalMs = 100; // ten changes a second
constexpr int DurationMs = 30000;
constexpr int WindowMs = 5000;
const char* const Service = "BenchFanout";
const char* const Topic = "4812.net(Dflt Control ID)";

qint64 NowMicros()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

QString ItemName(int index)
{
    return QStringLiteral("FANOUT.VALUE_%1.OUT").arg(index, 4, 10, QLatin1Char('0'));
}

// ---- the sender ---------------------------------------------------------------------

int Serve()
{
    // Every value tells the round and the moment the sender produced it.
    return AdviseSender::Serve({Service, Topic, Items, ChangeIntervalMs, [](const char*, qint64 round) {
                                    return QByteArray::number(round) + ':' + QByteArray::number(NowMicros());
                                }});
}

// ---- the client ---------------------------------------------------------------------

struct Window {
    qint64 deliveries = 0;
    qint64 delaySum = 0;
    qint64 delayMax = 0;
};

// One subscriber for every item: takes the value over and measures its delay.
class Sink : public TObject {
public:
    void Changed(TObject* item)
    {
        const QString value = static_cast<TKQItem*>(item)->Value().toString();
        const qsizetype colon = value.indexOf(QLatin1Char(':'));
        const qint64 round = value.left(colon).toLongLong();
        if (round == 0 || !measuring)
            return;
        const qint64 delay = NowMicros() - value.mid(colon + 1).toLongLong();
        Window& window = windows.back();
        ++window.deliveries;
        window.delaySum += delay;
        window.delayMax = std::max(window.delayMax, delay);
        lastRound = std::max(lastRound, round);
    }

    bool measuring = false;
    std::vector<Window> windows{Window()};
    qint64 lastRound = 0;
};

int Fail(const char* message)
{
    std::fprintf(stderr, "bench_advise_fanout: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--serve")))
        return Serve();

    QTemporaryDir folder;
    qputenv("TURVISTA_DDE_DIR", (folder.path() + QStringLiteral("/dde")).toLocal8Bit());
    AdviseSender::TLink link;
    if (const char* failed = link.Start(Service, Topic))
        return Fail(failed);
    TKQDatorelControl& control = link.control;

    Sink sink;
    std::vector<TKQItem*> items;
    for (int index = 0; index < Items; ++index) {
        items.push_back(control.GetItem(ItemName(index)));
        items.back()->Advise(TNotifyEvent(&sink, &Sink::Changed));
    }
    if (!AdviseSender::WaitFor([&] { return std::all_of(items.begin(), items.end(), [](TKQItem* item) { return item->HasValue(); }); }))
        return Fail("the items did not get their first values");
    // Measure from the first change on.
    sink.measuring = true;
    if (!AdviseSender::WaitFor([&] { return sink.lastRound > 0; }))
        return Fail("the sender does not change the items");
    sink.windows = {Window()};
    const qint64 firstRound = sink.lastRound;

    QTimer windows;
    windows.setTimerType(Qt::PreciseTimer);
    windows.setInterval(WindowMs);
    QObject::connect(&windows, &QTimer::timeout, [&sink] { sink.windows.emplace_back(); });
    QEventLoop loop;
    QTimer::singleShot(DurationMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    const double cpuBefore = CpuSeconds();
    wall.start();
    windows.start();
    loop.exec();
    const double cpu = CpuSeconds() - cpuBefore;
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    windows.stop();
    sink.measuring = false;
    if (sink.windows.back().deliveries == 0)
        sink.windows.pop_back();

    std::printf("advise fan-out: %d advised items changed every %d ms for %.1f s, sender in a second process\n",
                Items, ChangeIntervalMs, seconds);
    std::printf("  client CPU: %.2f s of %.2f s = %.1f %% of one core  (target: under 25 %%)\n", cpu, seconds,
                100.0 * cpu / seconds);
    qint64 worst = 0;
    qint64 delivered = 0;
    for (size_t at = 0; at < sink.windows.size(); ++at) {
        const Window& window = sink.windows[at];
        delivered += window.deliveries;
        worst = std::max(worst, window.delayMax);
        std::printf("  window %zu: %7lld values, delay mean %7.2f ms, worst %7.2f ms\n", at + 1,
                    static_cast<long long>(window.deliveries),
                    window.deliveries ? double(window.delaySum) / double(window.deliveries) / 1000.0 : 0.0,
                    double(window.delayMax) / 1000.0);
    }
    const double expected = double(Items) * seconds * 1000.0 / ChangeIntervalMs;
    std::printf("  delivered %lld of about %.0f values (%.1f %%), rounds %lld to %lld\n",
                static_cast<long long>(delivered), expected, 100.0 * double(delivered) / expected,
                static_cast<long long>(firstRound), static_cast<long long>(sink.lastRound));
    std::printf("  worst delivery delay: %.2f ms\n", double(worst) / 1000.0);
    // A backlog shows as delays that keep rising from window to window.
    const Window& first = sink.windows.front();
    const Window& last = sink.windows.back();
    const double firstMean = first.deliveries ? double(first.delaySum) / double(first.deliveries) : 0.0;
    const double lastMean = last.deliveries ? double(last.delaySum) / double(last.deliveries) : 0.0;
    const bool grows = lastMean > 2.0 * firstMean + 1000.0 * ChangeIntervalMs;
    std::printf("  backlog: %s (mean delay first window %.2f ms, last window %.2f ms)\n",
                grows ? "GROWS" : "does not grow", firstMean / 1000.0, lastMean / 1000.0);

    for (int index = 0; index < Items; ++index) {
        items[size_t(index)]->Unadvise(TNotifyEvent(&sink, &Sink::Changed));
        control.ReleaseItem(ItemName(index));
    }
    return 0;
}
