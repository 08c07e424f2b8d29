#include "datalink/KQItem.h"

#include "platform/Assert.h"
#include "platform/Timing.h"

#include <QLocale>

#include <algorithm>

// ---- value conversion ----------------------------------------------------------

namespace {

bool IsInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Char:
        return true;
    default:
        return value.metaType().flags().testFlag(QMetaType::IsEnumeration);
    }
}

bool IsReal(const QVariant& value)
{
    return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
}

} // namespace

std::optional<double> ParseNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double number = locale.toDouble(trimmed, &ok);
    if (!ok)
        number = trimmed.toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

QString VariantToText(const QVariant& value)
{
    if (!value.isValid())
        return {};
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    if (IsInteger(value))
        return value.typeId() == QMetaType::ULongLong ? QString::number(value.toULongLong())
                                                       : QString::number(value.toLongLong());
    if (IsReal(value)) {
        QString text = QString::number(value.toDouble(), 'g', 15);
        const QString point = QLocale().decimalPoint();
        if (point != QLatin1String("."))
            text.replace(QLatin1Char('.'), point);
        return text;
    }
    return value.toString();
}

double VariantToFloat(const QVariant& value)
{
    if (!value.isValid())
        return 0;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? -1 : 0;
    if (IsInteger(value) || IsReal(value))
        return value.toDouble();
    const QString text = value.toString();
    if (const auto number = ParseNumber(text))
        return *number;
    throw EConvertError(QLatin1Char('\'') + text + QStringLiteral("' is not a valid floating point value"));
}

bool VariantToBool(const QVariant& value)
{
    if (!value.isValid())
        return false;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (IsInteger(value) || IsReal(value))
        return value.toDouble() != 0;
    const QString text = value.toString();
    if (text.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.trimmed().compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = ParseNumber(text))
        return *number != 0;
    throw EConvertError(QLatin1Char('\'') + text + QStringLiteral("' is not a valid Boolean value"));
}

// ---- item --------------------------------------------------------------------------

TKQItem::TKQItem(const QString& name) : itemName(name)
{
    requestSync.SetTimeout(Timing::ItemReadTimeout);
}

TKQItem::~TKQItem()
{
    lifeToken.reset();
    StopAdviseLoop(true);
    clients.clear();
}

void TKQItem::Advise(const TNotifyEvent& method)
{
    Assert(!itemName.isEmpty(), "TKQItem.Advise: ItemName is blank");
    if (IsClient(method))
        return;
    clients.push_back(method);
    if (adviseState == 0) {
        StartAdviseLoop();
    } else if (!advisePending && cachedValue.isValid()) {
        // A late subscriber sees the current value without waiting for a change.
        method(this);
    }
}

void TKQItem::Unadvise(const TNotifyEvent& method)
{
    if (clients.empty())
        return;
    clients.erase(std::remove(clients.begin(), clients.end(), method), clients.end());
    if (!clients.empty())
        return;
    advisePending = false;
    cachedValue = QVariant();
    StopAdviseLoop(false);
}

bool TKQItem::IsClient(const TNotifyEvent& method) const
{
    return std::find(clients.begin(), clients.end(), method) != clients.end();
}

QVariant TKQItem::Value()
{
    Assert(!itemName.isEmpty(), "TKQItem._GetValue: ItemName is blank");
    Assert(conversationReady, "TKQItem._GetValue: Conversation is not ready and you asked for the value");
    if (adviseState == 1 && cachedValue.isValid())
        return cachedValue;
    Assert(!conversation->InCallback(), "TKQItem._GetValue: Don't call while in callback");

    requestSync.Begin();
    if (adviseState == 1) {
        // The first advised value completes the wait.
        requestSync.Wait();
        return cachedValue;
    }

    // A failed request of an earlier read must not be raised again.
    requestError.reset();
    requestReply.reset();
    const unsigned serial = ++requestSerial;
    const std::weak_ptr<int> alive = lifeToken;
    try {
        conversation->Request(itemName, [this, alive, serial](const QByteArray* data, const EDdeError* error) {
            if (alive.expired() || serial != requestSerial)
                return;
            if (error)
                requestError = *error;
            else
                requestReply = QString::fromLatin1(*data);
            requestSync.Complete();
        });
    } catch (...) {
        // Nothing was sent, so nothing will end the wait.
        requestSync.Complete();
        throw;
    }
    requestSync.Wait();
    if (requestError)
        throw *requestError;
    if (requestReply) {
        cachedValue = *requestReply;
        hasValue = true;
    }
    // Without a reply, an advise loop started meanwhile delivered the value.
    return cachedValue;
}

void TKQItem::SetValue(const QVariant& value)
{
    Assert(!itemName.isEmpty(), "TKQItem.SetValue: ItemName is blank");
    Assert(conversationReady, "TKQItem.SetValue: Conversation is not ready");
    conversation->Poke(itemName, VariantToText(value).left(MaxValueLength));
}

void TKQItem::SetValueAcknowledged(const QVariant& value)
{
    Assert(!itemName.isEmpty(), "TKQItem.SetValueAcknowledged: ItemName is blank");
    Assert(conversationReady, "TKQItem.SetValueAcknowledged: Conversation is not ready");
    conversation->PokeSync(itemName, VariantToText(value).left(MaxValueLength));
}

void TKQItem::ConversationReady(TKQDdeClientConv* newConversation)
{
    conversation = newConversation;
    conversationReady = true;
    if (advisePending) {
        advisePending = false;
        StartAdviseLoop();
    }
}

void TKQItem::ConversationLost()
{
    conversationReady = false;
    if (adviseState == 1) {
        advisePending = true;
        StopAdviseLoop(false);
    }
}

void TKQItem::ConversationReleased()
{
    conversationReady = false;
    if (adviseState == 1) {
        advisePending = true;
        adviseState = 0;
    }
    adviseHandle = nullptr;
    conversation = nullptr;
}

void TKQItem::StartAdviseLoop()
{
    if (!conversationReady) {
        advisePending = true;
        return;
    }
    const std::weak_ptr<int> alive = lifeToken;
    try {
        adviseHandle = conversation->StartAdvise(itemName, [this, alive](const QByteArray* data, const EDdeError* error) {
            if (!alive.expired())
                AdviseData(data, error);
        });
        adviseState = 1;
    } catch (const std::exception&) {
        adviseState = 0;
        // No handle came back this time; a handle of an earlier loop was stopped with that loop.
        adviseHandle = nullptr;
        throw TKQItemException(QStringLiteral("Start Advise on Item ") + itemName
                               + QStringLiteral(" failed.  Make sure Item is supported in control."));
    }
}

void TKQItem::StopAdviseLoop(bool quiet)
{
    if (adviseState == 0)
        return;
    adviseState = 0;
    const HSZ handle = adviseHandle;
    adviseHandle = nullptr;
    // A conversation that the server ended has no loops left to stop.
    if (!conversation || !conversation->Connected() || !handle)
        return;
    try {
        conversation->StopAdvise(handle);
    } catch (const std::exception&) {
        if (!quiet)
            throw;
    }
}

void TKQItem::AdviseData(const QByteArray* data, const EDdeError* error)
{
    if (error)
        throw *error;
    requestSync.Complete();
    cachedValue = QString::fromLatin1(*data);
    hasValue = true;
    NotifyClients();
}

void TKQItem::NotifyClients()
{
    // Clients may subscribe, unsubscribe or release the item while being called:
    // call those subscribed at the start that are still subscribed.
    const std::weak_ptr<int> alive = lifeToken;
    const std::vector<TNotifyEvent> snapshot = clients;
    for (const TNotifyEvent& client : snapshot) {
        if (alive.expired())
            return;
        if (IsClient(client))
            client(this);
    }
}
