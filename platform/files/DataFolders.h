// Where the bundled data and the user's files live.
#pragma once

#include <QString>

namespace DataFolders {

// The folder of the bundled network definition and control databases for a
// program in programFolder: beside it in the build tree, in the installed
// data folder once installed.
QString Bundled(const QString& programFolder);

// The user's values files: a ~/URQV folder kept from earlier, else Turvista
// in the user's data folder ($XDG_DATA_HOME, ~/.local/share). Made when missing.
QString Values();

// The trip captures: "Trip captures" in Turvista in the user's data folder.
// Made when missing.
QString TripCaptures();

} // namespace DataFolders
