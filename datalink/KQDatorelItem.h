// An item of a turbine control, which can also tell the symbol information the
// control keeps for it: its kind, data type and limits.
#pragma once

#include "datalink/KQItem.h"

#include <QByteArray>
#include <QVariant>

enum ItemClassType { vctUnassigned = 0, vctMonitor = 1, vctTunable = 2, vctConfigure = 3 };
enum ItemDataType { vdtUnassigned = 0, vdtString = 1, vdtBoolean = 2, vdtInteger = 3, vdtReal = 4, vdtTime = 5, vdtTimer = 6 };

class TKQDatorelItem : public TKQItem {
public:
    explicit TKQDatorelItem(const QString& itemName);

    // Each getter asks the control for the symbol information on first use (only
    // once, even when that fails). The limits are texts; without information
    // they are empty.
    ItemClassType ClassType();
    ItemDataType DataType();
    QVariant MinValue();
    QVariant MaxValue();
    // The symbol information has been asked for (the getters ask no more).
    bool SymbolKnown() const { return symbolLoaded; }

    void ConversationReady(TKQDdeClientConv* conversation) override;
    // Calls method once, with Sender = this item, when the conversation next becomes ready.
    void AdviseConversationReady(const TNotifyEvent& method);

    // The fields of a symbol reply: class code, data-type code, minimum as text,
    // a zero byte, maximum as text, a zero byte.
    static ItemClassType ClassOfCode(unsigned char code);
    static ItemDataType DataTypeOfCode(unsigned char code);

private:
    void GetSymbolInfo();
    void SymbolReply(const QByteArray* data, const EDdeError* error);

    QByteArray symbolText;
    ItemClassType classType = vctUnassigned;
    ItemDataType dataType = vdtUnassigned;
    QVariant maxValue;
    QVariant minValue;
    std::vector<TNotifyEvent> readyClients;
    bool symbolLoaded = false;
    Synchronizer symbolSync;
    std::optional<EDdeError> symbolError;
    std::shared_ptr<int> symbolToken = std::make_shared<int>(0);
};
