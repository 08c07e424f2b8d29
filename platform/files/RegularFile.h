// Reading a whole file whose name came from a user, a command or another file.
//
// Only a regular file is read, and only up to a size limit: a FIFO, a device
// or a folder is refused at once, without waiting for a writer, and a file that
// would fill the memory is refused before it is read.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace RegularFile {

// Sizes above which a file is refused, by what it holds.
constexpr qint64 MaxDefinitionBytes = 1 << 20;   // network definition, starting configuration
constexpr qint64 MaxDatabaseBytes = 16 << 20;    // control database, control store
constexpr qint64 MaxFormBytes = 8 << 20;         // form description
constexpr qint64 MaxValuesFileBytes = 16 << 20;  // values file
constexpr qint64 MaxTrendFileBytes = 64 << 20;   // trend export, trip capture

// The whole file, or nullopt with error saying why (without the path). A
// path that starts with ":" names a resource built into the program.
std::optional<QByteArray> Read(const QString& path, qint64 limit, QString* error);

} // namespace RegularFile
