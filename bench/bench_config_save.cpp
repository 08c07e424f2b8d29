// Saving every changeable value of the control to a values file, against the same
// number of plain synchronous requests of the DDE transport one after another,
// both with the same freshly started urqvdatorel. Prints both times, the ratio
// and the items per second.
#include "datalink/KQDatorelConfig.h"
#include "tests/support/OnLineProgram.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDdeClient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

int Fail(const QString& message)
{
    std::fprintf(stderr, "bench_config_save: %s\n", qPrintable(message));
    return 1;
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

    // The transport alone: one synchronous request per item, one after another.
    QStringList names;
    QElapsedTimer timer;
    qint64 rawNs = 0;
    {
        TestDdeClient raw(QStringLiteral("URQVDatorel"), ServerProcess::Topic());
        const auto list = raw.RequestText(QStringLiteral("MutableItemList"));
        if (!list)
            return Fail(QStringLiteral("no item list"));
        names = list->split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        timer.start();
        for (const QString& name : names)
            if (!raw.RequestText(name))
                return Fail(QStringLiteral("request of %1 failed").arg(name));
        rawNs = timer.nsecsElapsed();
    }

    // The program's way: the control device, its items and the values file.
    OnLineProgram program;
    if (!program.GoOnLine())
        return Fail(QStringLiteral("the control did not come on line"));
    TKQDatorelConfig config;
    config.SetDevice(program.control.get());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("plant.cfg"));
    timer.start();
    config.SaveToFile(path); // the item list is asked for inside, as on the first save of a session
    const qint64 saveNs = timer.nsecsElapsed();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("no file"));
    const qsizetype records = file.readAll().count('\n');
    if (records != names.size() || !dialogs.texts().isEmpty())
        return Fail(QStringLiteral("%1 records for %2 items; dialogs: %3")
                        .arg(records)
                        .arg(names.size())
                        .arg(dialogs.texts().join(QStringLiteral(" | "))));

    const double rawMs = double(rawNs) / 1e6;
    const double saveMs = double(saveNs) / 1e6;
    std::printf("saving every changeable value, %lld items, one run, same fresh server\n",
                static_cast<long long>(names.size()));
    std::printf("  %lld raw synchronous requests:  %9.1f ms  (%8.0f items/s)\n", static_cast<long long>(names.size()),
                rawMs, double(names.size()) / (rawMs / 1000.0));
    std::printf("  TKQDatorelConfig::SaveToFile:   %9.1f ms  (%8.0f items/s)\n", saveMs,
                double(names.size()) / (saveMs / 1000.0));
    std::printf("  ratio (save / raw):             %9.2f  (target: within 2)\n", saveMs / rawMs);
    return 0;
}
