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

enum class TKRunMode { Minimized = 0, Hidden = 1, Normal = 2 };

// Receives the conversation of a topic, or nullptr when it cannot be had.
using TConvCallBack = std::function<void(TKQDdeClientConv* conversation)>;

class TKQServer : public QObject {
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
    TKQStatusPanel* StatusPanel() const;
    // Called once the owner has set the published properties.
    void Loaded();

    std::function<void(TObject* sender)> OnConnect;
    std::function<void(TObject* sender)> OnDisconnect;

    // Private members: the implementer's.
};
