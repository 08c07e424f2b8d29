// One named value of one control: the cached value, its subscribed clients and
// the advise loop that keeps it current, with a synchronous read and two kinds
// of write. Items are shared: a device (TKQDevice) hands out one item per name
// and counts the references to it (TKQMapItem).
#pragma once

#include "datalink/KContainer.h"
#include "datalink/KQDde.h"
#include "datalink/Synchro.h"
#include "platform/Exception.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

class TKQItemException : public Exception {
public:
    using Exception::Exception;
};

// A value that cannot be converted to the type a reader asks for.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Item values and their text, in the user's locale. Writes: a text unchanged,
// numbers as decimal text without group separators, Booleans as "-1" and "0".
// Reads: a number in the locale's notation; a Boolean is true for a non-zero
// number or the word "true", false for 0 or "false" (either case).
QString VariantToText(const QVariant& value);
// A number in the locale's notation (no group separators); the point is accepted too.
std::optional<double> ParseNumber(const QString& text);
double VariantToFloat(const QVariant& value);
bool VariantToBool(const QVariant& value);

class TKQItem : public TObject {
public:
    // Longest text written to the server.
    static constexpr int MaxValueLength = 255;

    explicit TKQItem(const QString& itemName);
    ~TKQItem() override;
    TKQItem(const TKQItem&) = delete;
    TKQItem& operator=(const TKQItem&) = delete;

    // Clients: each is called with Sender = this item whenever a value arrives,
    // in the order in which they subscribed.
    void Advise(const TNotifyEvent& method);
    void Unadvise(const TNotifyEvent& method);
    bool IsClient(const TNotifyEvent& method) const;

    // The current value; asks the server and waits when no advised value is at
    // hand. Empty (invalid) means never received.
    QVariant Value();
    // Pokes the value without waiting; the cached value changes only when the
    // server advises it back.
    void SetValue(const QVariant& value);
    // Pokes the value and waits for the server's acknowledgement.
    void SetValueAcknowledged(const QVariant& value);

    const QString& ItemName() const { return itemName; }
    bool HasValue() const { return hasValue; }

    // From the device.
    virtual void ConversationReady(TKQDdeClientConv* conversation);
    void ConversationLost();
    // The conversation is given back or gone: forget it without talking to it.
    // A running advise loop becomes pending, as after ConversationLost.
    void ConversationReleased();

protected:
    TKQDdeClientConv* Conversation() const { return conversation; }

private:
    void StartAdviseLoop();
    // Stops a running advise loop; quiet: swallow a failure to reach the server.
    void StopAdviseLoop(bool quiet);
    void AdviseData(const QByteArray* data, const EDdeError* error);
    void NotifyClients();

    unsigned char adviseState = 0; // 1 while the advise loop runs
    std::vector<TNotifyEvent> clients;
    QVariant cachedValue;
    bool advisePending = false;
    Synchronizer requestSync;
    std::optional<QString> requestReply;
    std::optional<EDdeError> requestError;
    unsigned requestSerial = 0;
    bool hasValue = false;
    HSZ adviseHandle = nullptr;
    bool conversationReady = false;
    TKQDdeClientConv* conversation = nullptr;
    QString itemName;
    // Call-backs left behind in a conversation check this before touching the item.
    std::shared_ptr<int> lifeToken = std::make_shared<int>(0);
};

// The device's table entry: the item (owned) and its reference count.
class TKQMapItem : public TObject {
public:
    explicit TKQMapItem(std::unique_ptr<TKQItem> item) : item(std::move(item)) { }

    TKQItem* Item() const { return item.get(); }
    qint32 RefCount = 1;

private:
    std::unique_ptr<TKQItem> item;
};
