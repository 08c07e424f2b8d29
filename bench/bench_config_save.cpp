// Saving every changeable value of the control to a values file, against the same
// number of plain synchronous requests of the DDE transport one after another,
// both with the same urqvdatorel, warmed by one round of each and then
// alternated. Prints the median times, the ratio and the items per second.
#include "datalink/KQDatorelConfig.h"
#include "tests/support/OnLineProgram.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDdeClient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

int Fail(const QString& message)
{
    std::fprintf(stderr, "bench_config_save: %s\n", qPrintable(message));
    return 1;
}

// Rounds of each way, alternated, after one warming round of each.
constexpr int Rounds = 7;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // the progress window needs no screen
    QApplication app(argc, argv);
    qputenv("XDG_CONFIG_DIRS", QByteArray(TURVISTA_BINARY_DIR "/xdg"));
    TScriptedDialogs dialogs; // nothing may wait for an operator

    ServerProcess server;
    if (!server.Start())
        return Fail(server.Output());

    TestDdeClient raw(QStringLiteral("URQVDatorel"), ServerProcess::Topic());
    const auto list = raw.RequestText(QStringLiteral("MutableItemList"));
    if (!list)
        return Fail(QStringLiteral("no item list"));
    const QStringList names = list->split(QLatin1Char('\t'), Qt::SkipEmptyParts);
    OnLineProgram program;
    if (!program.GoOnLine())
        return Fail(QStringLiteral("the control did not come on line"));
    TKQDatorelConfig config;
    config.SetDevice(program.control.get());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("plant.cfg"));

    QElapsedTimer timer;
    // The transport alone: one synchronous request per item, one after another.
    auto rawRound = [&]() -> std::optional<double> {
        timer.start();
        for (const QString& name : names)
            if (!raw.RequestText(name))
                return std::nullopt;
        return double(timer.nsecsElapsed()) / 1e6;
    };
    // The program's way: the control device, its items and the values file
    // (the item list is asked for inside, as on every save).
    auto saveRound = [&]() -> double {
        timer.start();
        config.SaveToFile(path);
        return double(timer.nsecsElapsed()) / 1e6;
    };

    std::vector<double> rawMs, saveMs;
    for (int round = 0; round <= Rounds; ++round) {
        const auto rawTime = rawRound();
        if (!rawTime)
            return Fail(QStringLiteral("a request failed"));
        const double saveTime = saveRound();
        if (round == 0)
            continue; // warming: both ways have met every item once
        rawMs.push_back(*rawTime);
        saveMs.push_back(saveTime);
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("no file"));
    const qsizetype records = file.readAll().count('\n');
    if (records != names.size() || !dialogs.texts().isEmpty())
        return Fail(QStringLiteral("%1 records for %2 items; dialogs: %3")
                        .arg(records)
                        .arg(names.size())
                        .arg(dialogs.texts().join(QStringLiteral(" | "))));

    const double rawMedian = Median(rawMs);
    const double saveMedian = Median(saveMs);
    std::printf("saving every changeable value, %lld items, same warm server, medians of %d alternating rounds\n",
                static_cast<long long>(names.size()), Rounds);
    std::printf("  %lld raw synchronous requests:  %9.1f ms  (%8.0f items/s)\n", static_cast<long long>(names.size()),
                rawMedian, double(names.size()) / (rawMedian / 1000.0));
    std::printf("  TKQDatorelConfig::SaveToFile:   %9.1f ms  (%8.0f items/s)\n", saveMedian,
                double(names.size()) / (saveMedian / 1000.0));
    std::printf("  ratio (save / raw):             %9.2f  (target: within 2)\n", saveMedian / rawMedian);
    return 0;
}
