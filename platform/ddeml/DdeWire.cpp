#include "platform/ddeml/DdeWire.h"

#include <cstring>

namespace ddeml::wire {

namespace {

void PutU32(QByteArray& out, DWORD value)
{
    char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    out.append(bytes, 4);
}

void PutBytes(QByteArray& out, const QByteArray& bytes)
{
    PutU32(out, DWORD(bytes.size()));
    out.append(bytes);
}

// Reads fields from one frame's payload; any read past the end marks it bad.
class Reader {
public:
    explicit Reader(const QByteArray& payload) : payload(payload) {}

    DWORD U32()
    {
        if (!Need(4))
            return 0;
        DWORD value = 0;
        for (int i = 0; i < 4; ++i)
            value |= DWORD(BYTE(payload[pos + i])) << (8 * i);
        pos += 4;
        return value;
    }
    BYTE U8()
    {
        if (!Need(1))
            return 0;
        return BYTE(payload[pos++]);
    }
    // A yes/no byte: 1 or 0, nothing else.
    BYTE Flag()
    {
        const BYTE value = U8();
        if (value > 1)
            bad = true;
        return value;
    }
    QByteArray Bytes()
    {
        const DWORD size = U32();
        if (bad || !Need(qsizetype(size)))
            return {};
        QByteArray bytes = payload.mid(pos, qsizetype(size));
        pos += qsizetype(size);
        return bytes;
    }
    // A frame is good when every field was there and nothing is left over.
    bool Good() const { return !bad && pos == payload.size(); }

private:
    bool Need(qsizetype count)
    {
        if (count < 0 || payload.size() - pos < count)
            bad = true;
        return !bad;
    }
    const QByteArray& payload;
    qsizetype pos = 0;
    bool bad = false;
};

} // namespace

QByteArray Encode(const Frame& frame)
{
    QByteArray payload;
    payload.append(char(frame.type));
    switch (frame.type) {
    case FrameType::Connect:
        PutBytes(payload, frame.service);
        PutBytes(payload, frame.topic);
        break;
    case FrameType::ConnectAck:
        payload.append(char(frame.flags ? 1 : 0));
        break;
    case FrameType::Request:
    case FrameType::AdvStop:
        PutU32(payload, frame.id);
        PutU32(payload, frame.format);
        PutBytes(payload, frame.item);
        break;
    case FrameType::Poke:
        PutU32(payload, frame.id);
        PutU32(payload, frame.format);
        PutBytes(payload, frame.item);
        PutBytes(payload, frame.data);
        break;
    case FrameType::Execute:
        PutU32(payload, frame.id);
        PutBytes(payload, frame.data);
        break;
    case FrameType::AdvStart:
        PutU32(payload, frame.id);
        PutU32(payload, frame.format);
        PutBytes(payload, frame.item);
        PutU32(payload, frame.flags);
        break;
    case FrameType::ReplyData:
        PutU32(payload, frame.id);
        PutU32(payload, frame.format);
        PutBytes(payload, frame.data);
        break;
    case FrameType::ReplyAck:
        PutU32(payload, frame.id);
        payload.append(char(frame.flags ? 1 : 0));
        break;
    case FrameType::AdvData:
        PutU32(payload, frame.format);
        PutBytes(payload, frame.item);
        PutBytes(payload, frame.data);
        break;
    }
    QByteArray out;
    out.reserve(PrefixBytes + payload.size());
    PutU32(out, DWORD(payload.size()));
    out.append(payload);
    return out;
}

DecodeStatus Decode(QByteArray& buffer, Frame& frame)
{
    if (buffer.size() < PrefixBytes)
        return DecodeStatus::NeedMore;
    DWORD length = 0;
    for (int i = 0; i < 4; ++i)
        length |= DWORD(BYTE(buffer[i])) << (8 * i);
    if (length == 0 || length > MaxFrameBytes)
        return DecodeStatus::Malformed;
    if (buffer.size() - PrefixBytes < qsizetype(length))
        return DecodeStatus::NeedMore;

    const QByteArray payload = buffer.mid(PrefixBytes, qsizetype(length));
    buffer.remove(0, PrefixBytes + qsizetype(length));

    Reader in(payload);
    frame = Frame{};
    const BYTE type = in.U8();
    switch (FrameType(type)) {
    case FrameType::Connect:
        frame.service = in.Bytes();
        frame.topic = in.Bytes();
        break;
    case FrameType::ConnectAck:
        frame.flags = in.Flag();
        break;
    case FrameType::Request:
    case FrameType::AdvStop:
        frame.id = in.U32();
        frame.format = in.U32();
        frame.item = in.Bytes();
        break;
    case FrameType::Poke:
        frame.id = in.U32();
        frame.format = in.U32();
        frame.item = in.Bytes();
        frame.data = in.Bytes();
        break;
    case FrameType::Execute:
        frame.id = in.U32();
        frame.data = in.Bytes();
        break;
    case FrameType::AdvStart:
        frame.id = in.U32();
        frame.format = in.U32();
        frame.item = in.Bytes();
        frame.flags = in.U32();
        break;
    case FrameType::ReplyData:
        frame.id = in.U32();
        frame.format = in.U32();
        frame.data = in.Bytes();
        break;
    case FrameType::ReplyAck:
        frame.id = in.U32();
        frame.flags = in.Flag();
        break;
    case FrameType::AdvData:
        frame.format = in.U32();
        frame.item = in.Bytes();
        frame.data = in.Bytes();
        break;
    default:
        return DecodeStatus::Malformed;
    }
    frame.type = FrameType(type);
    return in.Good() ? DecodeStatus::Complete : DecodeStatus::Malformed;
}

} // namespace ddeml::wire
