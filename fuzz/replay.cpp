// Runs every input of each fuzz target's corpus (fuzz/corpus/<target>/) through
// the target, so that an input that once found a fault stays a test. The targets
// are compiled here, each under its own name, as one unit: that keeps the build
// quick, and asks of them only that their helpers have names of their own.
#define FUZZ_ENTRY ReplayWire
#include "fuzz/fuzz_wire.cpp"
#undef FUZZ_ENTRY
#define FUZZ_ENTRY ReplayNetwork
#include "fuzz/fuzz_network.cpp"
#undef FUZZ_ENTRY
#define FUZZ_ENTRY ReplayServerFiles
#include "fuzz/fuzz_serverfiles.cpp"
#undef FUZZ_ENTRY
#define FUZZ_ENTRY ReplayValuesFile
#include "fuzz/fuzz_valuesfile.cpp"
#undef FUZZ_ENTRY
#define FUZZ_ENTRY ReplayForm
#include "fuzz/fuzz_form.cpp"
#undef FUZZ_ENTRY
#define FUZZ_ENTRY ReplayTrendFile
#include "fuzz/fuzz_trendfile.cpp"
#undef FUZZ_ENTRY

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>

namespace {

struct Target {
    const char* name;
    int (*entry)(const uint8_t*, size_t);
};
constexpr Target Targets[] = {
    {"fuzz_wire", ReplayWire},
    {"fuzz_network", ReplayNetwork},
    {"fuzz_serverfiles", ReplayServerFiles},
    {"fuzz_valuesfile", ReplayValuesFile},
    {"fuzz_form", ReplayForm},
    {"fuzz_trendfile", ReplayTrendFile},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
        return 2;
    }
    for (const Target& target : Targets) {
        const QDir folder(QFile::decodeName(argv[1]) + QLatin1Char('/') + QLatin1String(target.name));
        const QStringList inputs = folder.entryList(QDir::Files, QDir::Name);
        if (inputs.isEmpty()) {
            std::fprintf(stderr, "%s: no corpus in %s\n", target.name, qPrintable(folder.path()));
            return 1;
        }
        for (const QString& input : inputs) {
            QFile file(folder.filePath(input));
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "%s: cannot read %s\n", target.name, qPrintable(file.fileName()));
                return 1;
            }
            // A failing input aborts the program; its name is the last one printed.
            std::fprintf(stderr, "%s %s\n", target.name, qPrintable(input));
            const QByteArray bytes = file.readAll();
            target.entry(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
        }
        std::printf("%s: %lld inputs\n", target.name, static_cast<long long>(inputs.size()));
    }
    return 0;
}
