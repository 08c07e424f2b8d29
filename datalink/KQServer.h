// The server connection: makes sure the communication server runs, opens its two
// system conversations, loads the network definition files and hands out one
// shared conversation per control topic.
#pragma once

#include "datalink/KContainer.h"
#include "datalink/KQDde.h"
#include "datalink/Synchro.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class TKQStatusPanel;
class TExeModule;
class TDdeConvInfo;
class TConvNotificationInfo;
class TNetworkConfiguration;

enum class TKRunMode { Minimized = 0, Hidden = 1, Normal = 2 };

// Receives the conversation of a topic, or nullptr when it cannot be had.
using TConvCallBack = std::function<void(TKQDdeClientConv* conversation)>;

class TKQServer : public QObject, public TObject {
    Q_OBJECT
public:
    explicit TKQServer(QObject* owner = nullptr);
    ~TKQServer() override;

    void RequestConversation(const QString& topic, TConvCallBack callBack);
    void ReleaseConversation(const QString& topic);
    void StartServer(const QString& name);
    void StopServer();

    QString ServerName() const;
    void SetServerName(const QString& name);
    QStringList& NetworkDefFiles();
    void SetNetworkDefFiles(const QStringList& files);
    TKRunMode RunMode() const;
    void SetRunMode(TKRunMode mode);
    // Path of the named server program from the registry; empty when not registered.
    QString FindServerExecutable(const QString& name) const;
    TKQStatusPanel* StatusPanel() const;
    // Called once the owner has set the published properties. Until then the
    // component counts as being loaded: setting ServerName starts nothing.
    void Loaded();

    std::function<void(TObject* sender)> OnConnect;
    std::function<void(TObject* sender)> OnDisconnect;

private:
    friend class TNetworkConfiguration;

    void ServerStarted(TObject* sender);
    void RetryTimerTick();
    void ServeWaitingList();
    void FailWaitingList();
    void OpenNetworkDefFiles();
    void PointDisconnectHere();
    void ConnectionFailed();
    bool OtherClientsUseServer();
    // The control-topic conversations this component holds open.
    int OpenTopicConversations() const;
    TNetworkConfiguration* FindConfiguration(const QString& topic) const;
    void RemoveConfiguration(TNetworkConfiguration* configuration);
    void CancelConfigurations();
    void ClearConversations();
    void ShowStatus(const QString& text);

    // The manager is made first and freed last: every conversation needs it.
    std::unique_ptr<TKQDdeMgr> ddeManager;
    TKMapStringKey conversations;       // topic -> TDdeConvInfo, owned
    TKListOfObject networkConfigurations; // TNetworkConfiguration, owned
    TKListOfObject waiting;             // TConvNotificationInfo, owned
    std::unique_ptr<TExeModule> module;
    std::unique_ptr<TKQDdeClientConv> linkConversation;
    std::unique_ptr<TKQDdeClientConv> serverConversation;
    QTimer retryTimer;
    std::unique_ptr<TKQStatusPanel> statusPanel;
    TKRunMode runMode = TKRunMode::Hidden;
    qint32 retryCounter = 0;
    Synchronizer countSynchronizer;
    QString countReply;
    bool countFailed = false;
    QString serverName;
    QStringList networkDefFiles;
    bool loading = true;
    bool destroying = false;
};
