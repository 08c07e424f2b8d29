// String and data handles shared by every instance of the process.
#pragma once

#include "platform/ddeml/ddeml.h"

#include <QByteArray>
#include <string>

namespace ddeml {

// Atoms: one handle per text, compared without regard to case, reference counted.
HSZ AtomAdd(const char* text);
HSZ AtomFind(const char* text);
bool AtomKeep(HSZ hsz);
bool AtomRelease(HSZ hsz);
const std::string* AtomText(HSZ hsz);

struct DataObject {
    QByteArray bytes;
    HSZ item = nullptr;
    UINT format = 0;
    bool appOwned = false;
};

HDDEDATA DataCreate(QByteArray bytes, HSZ item, UINT format, bool appOwned);
DataObject* DataFind(HDDEDATA handle);
bool DataFree(HDDEDATA handle);

// Folder of the service sockets, created private on first use; empty when it is unsafe.
QByteArray SocketFolderPath();

} // namespace ddeml
