// The frame decoder of the DDE socket transport, fed the way a socket delivers:
// in pieces of any size. The first byte says how many chunk sizes follow; the
// rest is the byte stream. Every frame decoded must encode to bytes that decode
// to the same frame.
#include "fuzz/FuzzEntry.h"
#include "platform/ddeml/DdeWire.h"

using namespace ddeml::wire;

namespace {

bool Same(const Frame& a, const Frame& b)
{
    return a.type == b.type && a.id == b.id && a.format == b.format && a.flags == b.flags && a.service == b.service
        && a.topic == b.topic && a.item == b.item && a.data == b.data;
}

void CheckRoundTrip(const Frame& frame)
{
    QByteArray encoded = Encode(frame);
    const qsizetype size = encoded.size();
    Frame again;
    if (Decode(encoded, again) != DecodeStatus::Complete)
        fuzz::Fail("fuzz_wire", QStringLiteral("the encoding of a decoded frame of type %1 (%2 bytes) does not decode")
                                    .arg(int(frame.type)).arg(size));
    if (!encoded.isEmpty())
        fuzz::Fail("fuzz_wire", QStringLiteral("decoding an encoded frame left %1 bytes").arg(encoded.size()));
    if (!Same(frame, again))
        fuzz::Fail("fuzz_wire", QStringLiteral("a frame of type %1 changed on its way through Encode and Decode")
                                    .arg(int(frame.type)));
}

} // namespace

extern "C" int FUZZ_ENTRY(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t sizeCount = std::min<size_t>(data[0] % 8, size - 1);
    const uint8_t* sizes = data + 1;
    const uint8_t* stream = sizes + sizeCount;
    const size_t streamSize = size - 1 - sizeCount;

    QByteArray buffer;
    size_t fed = 0;
    for (size_t chunk = 0; fed < streamSize; ++chunk) {
        const size_t wanted = sizeCount == 0 ? streamSize : size_t(sizes[chunk % sizeCount]) + 1;
        const size_t take = std::min(wanted, streamSize - fed);
        buffer.append(reinterpret_cast<const char*>(stream + fed), qsizetype(take));
        fed += take;
        for (;;) {
            const qsizetype before = buffer.size();
            Frame frame;
            const DecodeStatus status = Decode(buffer, frame);
            if (status == DecodeStatus::Malformed)
                return 0; // the conversation ends here
            if (status == DecodeStatus::NeedMore) {
                if (buffer.size() != before)
                    fuzz::Fail("fuzz_wire", QStringLiteral("an incomplete frame was consumed"));
                break;
            }
            CheckRoundTrip(frame);
        }
    }
    return 0;
}
