// The network definition file parser. Relative database and configuration paths
// lead into a scratch folder that holds a few files to find; nothing is loaded.
// A file that is accepted must describe controls the server can open.
#include "fuzz/FuzzEntry.h"
#include "server/NetworkDefinition.h"

#include <QDir>
#include <QSet>

namespace {

struct Folders {
    QString netFile;
    TNetworkDefinition::TFolders folders;
};

const Folders& Setup()
{
    static const Folders setup = [] {
        const QDir scratch(fuzz::Scratch().path());
        for (const char* folder : {"net", "server/db", "state"})
            scratch.mkpath(QLatin1String(folder));
        // Found beside the network file, or in the server's folder.
        fuzz::WriteFile(QStringLiteral("net/4812-run.items"), {});
        fuzz::WriteFile(QStringLiteral("net/start.cfg"), {});
        fuzz::WriteFile(QStringLiteral("server/db/4812-run.items"), {});
        fuzz::WriteFile(QStringLiteral("server/db/4812-config.items"), {});
        return Folders{scratch.filePath(QStringLiteral("net/fuzz.net")),
                       {scratch.filePath(QStringLiteral("server")), scratch.filePath(QStringLiteral("state"))}};
    }();
    return setup;
}

void Check(bool condition, const QString& what)
{
    if (!condition)
        fuzz::Fail("fuzz_network", what);
}

} // namespace

extern "C" int FUZZ_ENTRY(const uint8_t* data, size_t size)
{
    const Folders& setup = Setup();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    TNetworkDefinition network;
    QString error;
    if (!network.Parse(text, setup.netFile, setup.folders, &error)) {
        Check(error.startsWith(setup.netFile + u':'), QStringLiteral("a refusal without the file name: ") + error);
        Check(network.Controls().isEmpty(), QStringLiteral("a refused file left controls"));
        return 0;
    }
    Check(!network.Controls().isEmpty(), QStringLiteral("an accepted file without a control"));
    QSet<QString> stores;
    const QList<TControlDefinition>& controls = network.Controls();
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const TControlDefinition& control = controls[i];
        const QString id = control.id;
        Check(!id.isEmpty() && !id.contains(u'(') && !id.contains(u')'), QStringLiteral("bad identifier ") + id);
        Check(id == id.trimmed(), QStringLiteral("identifier with blanks at its ends: \"%1\"").arg(id));
        for (qsizetype j = 0; j < i; ++j)
            Check(controls[j].id.compare(id, Qt::CaseInsensitive) != 0, QStringLiteral("identifier twice: ") + id);
        Check(!control.databases.isEmpty(), QStringLiteral("control without database: ") + id);
        for (const QString& path : control.databases + QStringList{control.configuration})
            Check(path.isEmpty() || (QDir::isAbsolutePath(path) && QFile::exists(path)),
                  QStringLiteral("a path that is not there: ") + path);
        Check(control.store.isEmpty() || QDir::isAbsolutePath(control.store),
              QStringLiteral("a relative store: ") + control.store);
        Check(control.store.isEmpty() || !stores.contains(control.store),
              QStringLiteral("store twice: ") + control.store);
        stores.insert(control.store);
        Check(network.Topic(control) == QStringLiteral("fuzz.net(%1)").arg(id), network.Topic(control));
    }
    return 0;
}
