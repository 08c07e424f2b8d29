// Frames exchanged over a conversation's socket (docs/dde-wire-protocol.md).
#pragma once

#include "platform/ddeml/ddeml.h"

#include <QByteArray>
#include <optional>

namespace ddeml::wire {

enum class FrameType : BYTE {
    Connect = 1,    // client -> server: service, topic
    ConnectAck = 2, // server -> client: accepted
    Request = 3,    // id, format, item
    Poke = 4,       // id, format, item, data
    Execute = 5,    // id, data
    AdvStart = 6,   // id, format, item, flags
    AdvStop = 7,    // id, format, item
    ReplyData = 8,  // server -> client: id, format, data
    ReplyAck = 9,   // server -> client: id, ok
    AdvData = 10,   // server -> client: format, item, data
};

struct Frame {
    FrameType type = FrameType::Connect;
    DWORD id = 0;
    DWORD format = 0;
    DWORD flags = 0; // AdvStart: XTYPF_ACKREQ; ConnectAck / ReplyAck: 1 = accepted
    QByteArray service;
    QByteArray topic;
    QByteArray item;
    QByteArray data;
};

// Bytes of the length prefix.
constexpr int PrefixBytes = 4;

QByteArray Encode(const Frame& frame);

enum class DecodeStatus { Complete, NeedMore, Malformed };

// Takes one frame from the front of buffer when a whole one is there.
DecodeStatus Decode(QByteArray& buffer, Frame& frame);

} // namespace ddeml::wire
