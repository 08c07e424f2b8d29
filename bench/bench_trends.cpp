// Live trend: a server in a second process changes eight advised items ten
// times a second; the program plots them in a trend window, through a control
// device as the Run window's trend does, for thirty minutes of the program's
// clock run twenty times faster than real time, the whole half hour shown; then
// two minutes more with the shortest span shown, where the redraws reach their
// limit. Prints the CPU share of one core that each comes to at real time, set
// side by side with the data feed alone (the same items recorded, no window),
// the redraws a second, and the memory the thirty minutes of samples take.
#include "app/TrendChart.h"
#include "app/TrendWindow.h"
#include "bench/AdviseSender.h"
#include "bench/Measure.h"
#include "datalink/TrendRecorder.h"
#include "platform/Timing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr int Items = 8;
constexpr int ChangeIntervalMs = 100;     // ten changes a second, on the program's clock
constexpr int Speedup = 20;               // the program's clock runs this much faster
constexpr int PlottedMinutes = 30;
constexpr int FeedAloneMinutes = 5;       // first the feed alone, for comparison
constexpr int ShortSpanMinutes = 2;       // last the shortest span
constexpr double CpuTarget = 10, MemoryTarget = 50, RedrawTarget = 10;
const char* const Service = "BenchTrends";
const char* const Topic = "4812.net(Dflt Control ID)";
const QString Set = QStringLiteral("Benchmark");

QString ItemName(int index)
{
    return QStringLiteral("TREND.VALUE_%1.OUT").arg(index);
}

// Slow waves of different periods, so that every value changes every round.
QByteArray Value(const char* item, qint64 round)
{
    const int index = QString::fromLatin1(item).section(u'_', 1).section(u'.', 0, 0).toInt();
    return QByteArray::number(1000.0 * (index + 1) + 100.0 * std::sin(double(round) / (50.0 + 10.0 * index)), 'f', 2);
}

// Runs the event loop for minutes of the program's clock; CPU seconds used.
double Run(int minutes)
{
    QEventLoop loop;
    QTimer::singleShot(Timing::Scaled(minutes * 60 * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    const double before = CpuSeconds();
    loop.exec();
    return CpuSeconds() - before;
}

int Fail(const char* message)
{
    std::fprintf(stderr, "bench_trends: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--serve")))
        return AdviseSender::Serve({Service, Topic, Items, ChangeIntervalMs / Speedup, Value});

    QTemporaryDir folder;
    qputenv("TURVISTA_DDE_DIR", (folder.path() + QStringLiteral("/dde")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    Timing::SetScale(1.0 / Speedup);
    AdviseSender::TLink link;
    if (const char* failed = link.Start(Service, Topic))
        return Fail(failed);
    TKQDatorelControl& control = link.control;
    QStringList items;
    for (int index = 0; index < Items; ++index)
        items << ItemName(index);

    // The feed alone: the items recorded as a trend window records them.
    double feedCpu = 0;
    qint64 feedSamples = 0;
    {
        TTrendRecorder recorder(&control, Timing::TrendHistory.Unscaled());
        for (const QString& item : items)
            recorder.Add(item, item, {});
        if (!AdviseSender::WaitFor([&] { return recorder.Data().Last().has_value(); }))
            return Fail("no values arrive");
        feedCpu = Run(FeedAloneMinutes);
        for (const TTrendChannel& channel : recorder.Data().channels)
            feedSamples += qint64(channel.series.Samples().size());
    }

    // Plotted: the eight items, the whole half hour shown.
    const double memoryBefore = ResidentMegabytes();
    TTrendWindow* window = TTrendWindow::ShowSet(Set, &control, items);
    for (int zoom = 0; zoom < 3; ++zoom)
        window->ZoomOutClick();
    QElapsedTimer wall;
    wall.start();
    const double plotCpu = Run(PlottedMinutes);
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double memoryGrowth = ResidentMegabytes() - memoryBefore;
    qint64 samples = 0;
    for (const TTrendChannel& channel : window->Data().channels)
        samples += qint64(channel.series.Samples().size());
    const int redraws = window->Chart()->Redraws();

    for (int zoom = 0; zoom < 8; ++zoom)
        window->ZoomInClick();
    const long long shortSpan = window->To() - window->From();
    const double shortCpu = Run(ShortSpanMinutes);
    const int shortRedraws = window->Chart()->Redraws() - redraws;

    // At real time the same work is spread over Speedup times as long.
    auto share = [](double cpu, int minutes) { return 100.0 * cpu / (minutes * 60.0); };
    const double feedShare = share(feedCpu, FeedAloneMinutes);
    std::printf("live trend: %d items changing every %d ms, the program's clock run %d times faster\n", Items,
                ChangeIntervalMs, Speedup);
    std::printf("  the feed alone (%d minutes, no window): CPU %.2f %% of one core at real time\n", FeedAloneMinutes,
                feedShare);
    std::printf("  plotted, %d minutes shown (%.0f s run): CPU %.2f %% of one core at real time (%.1f times the feed; "
                "target: under %.0f %%)\n",
                PlottedMinutes, seconds, share(plotCpu, PlottedMinutes), share(plotCpu, PlottedMinutes) / feedShare,
                CpuTarget);
    std::printf("    redraws: %.2f a second (a pixel's worth of time apart), %.1f ms of CPU each\n",
                double(redraws) / (PlottedMinutes * 60.0), 1000.0 * plotCpu / std::max(1, redraws));
    std::printf("    samples kept: %lld; memory growth: %.1f MB  (target: under %.0f MB)\n",
                static_cast<long long>(samples), memoryGrowth, MemoryTarget);
    std::printf("  plotted, %lld s shown (%d minutes): CPU %.2f %% of one core at real time (%.1f times the feed)\n",
                shortSpan / 1000, ShortSpanMinutes, share(shortCpu, ShortSpanMinutes),
                share(shortCpu, ShortSpanMinutes) / feedShare);
    std::printf("    redraws: %.1f a second  (target: at most %.0f)\n", double(shortRedraws) / (ShortSpanMinutes * 60.0),
                RedrawTarget);

    TTrendWindow::CloseAll();
    return 0;
}
