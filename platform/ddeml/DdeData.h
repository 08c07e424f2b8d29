// Reading a DDE data handle as bytes, for the program, the server and the tools.
#pragma once

#include "platform/ddeml/ddeml.h"

#include <QByteArray>

#include <optional>

// A copy of the handle's bytes; nullopt when the handle cannot be accessed.
std::optional<QByteArray> DdeDataBytes(HDDEDATA data);
// The text of CF_TEXT bytes: up to the first zero, or all of them without one.
QByteArray DdeTextOf(const QByteArray& bytes);
