// One control as a component: a shared, reference-counted table of its items,
// the conversation of its topic (the control's Identifier) asked for from the
// server component and handed to every item when it arrives.
//
// Like the other data-link components, a device counts as being loaded from its
// construction until Loaded() is called: properties set meanwhile do not
// connect; Loaded() connects once when both Server and Identifier are set.
#pragma once

#include "datalink/KContainer.h"
#include "datalink/KQDde.h"
#include "datalink/KQItem.h"
#include "datalink/KQServer.h"
#include "datalink/KQStatusPanel.h"
#include "datalink/Synchro.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class TKQDevice : public QObject, public TObject {
    Q_OBJECT
    Q_PROPERTY(QString Identifier READ Identifier WRITE SetIdentifier)
    Q_PROPERTY(TKQServer* Server READ Server WRITE SetServer)
public:
    explicit TKQDevice(QObject* owner = nullptr);
    ~TKQDevice() override;

    const QString& Identifier() const { return identifier; }
    void SetIdentifier(const QString& value);
    TKQServer* Server() const { return server; }
    void SetServer(TKQServer* value);
    TKQStatusPanel* StatusPanel() const { return statusPanel.get(); }
    void Loaded();

    // The shared item of a name (looked up in upper case), created on first use;
    // every call adds one reference.
    virtual TKQItem* GetItem(const QString& name);
    // Gives one reference back; the last one frees the item. Unknown names are ignored.
    void ReleaseItem(const QString& name);

    virtual void Connect();
    void Disconnect();
    // Called back by the server component with the open conversation (or nullptr).
    virtual void ConversationReady(TKQDdeClientConv* conversation);
    // Takes the conversation away from all items; the device keeps it.
    void ConversationLost();

    // Names of every changeable item of the control, asked for once.
    const QStringList& MutableItemList();

    // Fired with Sender = the device when the items have their conversation.
    // Assigned while the device already holds a conversation, it is called at once.
    const std::function<void(TObject* sender)>& OnCommunicating() const { return onCommunicating; }
    void SetOnCommunicating(std::function<void(TObject* sender)> handler);

    bool IsConnected() const { return connected; }
    qint32 ItemCount() const { return itemCount; }
    // References held on the item of a name, 0 when it is not in the table.
    qint32 RefCount(const QString& name) const;

protected:
    // The item factory of the device class.
    virtual std::unique_ptr<TKQItem> CreateItem(const QString& upperName);
    bool IsLoading() const { return loading; }
    TKQDdeClientConv* Conversation() const { return conversation; }
    void SetConversation(TKQDdeClientConv* value) { conversation = value; }
    // Calls f for every item in table order.
    void ForEachItem(const std::function<void(TKQItem*)>& f) const;

private:
    void ServerDestroyed();
    // Gives the conversation back to the held server, if one was asked for.
    void GiveConversationBack();
    void ReleaseItemsConversation(bool stopLoops);

    QString identifier;
    qint32 itemCount = 0;
    TKMapStringKey items;
    TKQServer* server = nullptr;
    QMetaObject::Connection serverNotification;
    std::unique_ptr<TKQStatusPanel> statusPanel;
    bool mutableListLoaded = false;
    QStringList mutableItemList;
    Synchronizer listSync;
    QString listReply;
    std::optional<EDdeError> listError;
    std::function<void(TObject* sender)> onCommunicating;
    TKQDdeClientConv* conversation = nullptr;
    bool connected = false;
    bool requested = false; // a conversation was asked for and not given back
    bool loading = true;
    std::shared_ptr<int> lifeToken = std::make_shared<int>(0);
};

// One-off access to an item from application code: takes the item from the
// device by name and gives it back when it goes out of scope.
//
//     TKQHeldItem id(device, "Configuration ID");
//     const QString text = id->Value().toString();
class TKQHeldItem {
public:
    TKQHeldItem(TKQDevice* device, const QString& name) : device(device), name(name), item(device->GetItem(name)) {}
    ~TKQHeldItem() { device->ReleaseItem(name); }
    TKQHeldItem(const TKQHeldItem&) = delete;
    TKQHeldItem& operator=(const TKQHeldItem&) = delete;

    TKQItem* operator->() const { return item; }
    TKQItem* Item() const { return item; }

private:
    TKQDevice* device;
    QString name;
    TKQItem* item;
};
