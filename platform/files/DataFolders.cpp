#include "platform/files/DataFolders.h"

#include "BuildInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString BundledNetwork = QStringLiteral("4812.net");
}

QString DataFolders::Bundled(const QString& programFolder)
{
    const QDir folder(programFolder);
    if (QFileInfo::exists(folder.filePath(BundledNetwork)))
        return folder.absolutePath();
    return QDir::cleanPath(folder.absoluteFilePath(QStringLiteral(TURVISTA_DATA_FROM_PROGRAMS)));
}

namespace {
QString Made(const QString& folder)
{
    QDir().mkpath(folder);
    return folder;
}
QString Own()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Turvista");
}
}

QString DataFolders::Values()
{
    const QString earlier = QDir::home().filePath(QStringLiteral("URQV"));
    return Made(QFileInfo(earlier).isDir() ? earlier : Own());
}

QString DataFolders::TripCaptures()
{
    return Made(Own() + QStringLiteral("/Trip captures"));
}
