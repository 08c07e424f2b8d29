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

QString DataFolders::Values()
{
    const QString earlier = QDir::home().filePath(QStringLiteral("URQV"));
    const QString folder = QFileInfo(earlier).isDir()
                               ? earlier
                               : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                     + QStringLiteral("/Turvista");
    QDir().mkpath(folder);
    return folder;
}
