#include "datalink/KQDatorelItem.h"

#include "platform/Assert.h"
#include "platform/Timing.h"

#include <algorithm>

namespace {

// The bytes up to the first zero from index from on; next is set past that zero.
QByteArray ZeroTerminated(const QByteArray& bytes, qsizetype from, qsizetype& next)
{
    if (from >= bytes.size()) {
        next = bytes.size();
        return {};
    }
    qsizetype zero = bytes.indexOf('\0', from);
    if (zero < 0)
        zero = bytes.size();
    next = zero + 1;
    return bytes.mid(from, zero - from);
}

} // namespace

TKQDatorelItem::TKQDatorelItem(const QString& name) : TKQItem(name)
{
    symbolSync.SetTimeout(Timing::SymbolInfoTimeout);
}

ItemClassType TKQDatorelItem::ClassOfCode(unsigned char code)
{
    switch (code) {
    case 1: return vctMonitor;
    case 2: return vctTunable;
    case 3: return vctConfigure;
    default: return vctMonitor;
    }
}

ItemDataType TKQDatorelItem::DataTypeOfCode(unsigned char code)
{
    switch (code) {
    case 0x01: return vdtBoolean;
    case 0x03: case 0x04: return vdtInteger;
    case 0x20: case 0x21: return vdtReal;
    case 0x30: case 0x31: return vdtReal;
    case 0x40: return vdtTime;
    case 0x42: return vdtTimer;
    case 0x50: return vdtString;
    case 0x83: case 0x84: return vdtInteger;
    default: return vdtString;
    }
}

ItemClassType TKQDatorelItem::ClassType()
{
    if (!symbolLoaded)
        GetSymbolInfo();
    return classType;
}

ItemDataType TKQDatorelItem::DataType()
{
    if (!symbolLoaded)
        GetSymbolInfo();
    return dataType;
}

QVariant TKQDatorelItem::MinValue()
{
    if (!symbolLoaded)
        GetSymbolInfo();
    return minValue;
}

QVariant TKQDatorelItem::MaxValue()
{
    if (!symbolLoaded)
        GetSymbolInfo();
    return maxValue;
}

void TKQDatorelItem::GetSymbolInfo()
{
    symbolLoaded = true; // asked for once, even when it fails
    Assert(Conversation() != nullptr, "TKQDatorelItem._GetSymbolInfo: Client Conversation is nil");

    symbolSync.Begin();
    symbolError.reset();
    symbolText.clear();
    const std::weak_ptr<int> alive = symbolToken;
    try {
        Conversation()->RequestBinary(ItemName(), [this, alive](const QByteArray* data, const EDdeError* error) {
            if (!alive.expired())
                SymbolReply(data, error);
        });
    } catch (...) {
        symbolSync.Complete(); // nothing was sent, so nothing will end the wait
        throw;
    }
    symbolSync.Wait();
    if (symbolError)
        throw *symbolError;

    qsizetype next = 0;
    if (ZeroTerminated(symbolText, 0, next).isEmpty())
        throw TKQItemException(QStringLiteral("Reply was empty ") + ItemName());
    classType = ClassOfCode(static_cast<unsigned char>(symbolText.at(0)));
    dataType = DataTypeOfCode(static_cast<unsigned char>(symbolText.at(1)));
    minValue = QString::fromLatin1(ZeroTerminated(symbolText, 2, next));
    maxValue = QString::fromLatin1(ZeroTerminated(symbolText, next, next));
}

void TKQDatorelItem::SymbolReply(const QByteArray* data, const EDdeError* error)
{
    if (error) {
        symbolError = *error;
    } else {
        // Keep two zero-terminated parts: class, type and minimum; then the maximum.
        qsizetype next = 0;
        symbolText = ZeroTerminated(*data, 0, next);
        symbolText.append('\0');
        symbolText.append(ZeroTerminated(*data, next, next));
        symbolText.append('\0');
    }
    symbolSync.Complete();
}

void TKQDatorelItem::ConversationReady(TKQDdeClientConv* conversation)
{
    TKQItem::ConversationReady(conversation);
    const std::vector<TNotifyEvent> waiting = std::move(readyClients);
    readyClients.clear();
    for (const TNotifyEvent& client : waiting)
        client(this);
}

void TKQDatorelItem::AdviseConversationReady(const TNotifyEvent& method)
{
    if (std::find(readyClients.begin(), readyClients.end(), method) == readyClients.end())
        readyClients.push_back(method);
}
