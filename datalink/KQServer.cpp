#include "datalink/KQServer.h"

#include "datalink/ExeMod.h"
#include "datalink/KQStatusPanel.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/registry/winreg.h"

#include <QByteArray>

#include <exception>

namespace {

const QString NotActiveText = QStringLiteral("Not Active.");
const QString StartingText = QStringLiteral("Starting server ...");
// The status after the system conversations could not be opened.
const QString ConnectionLostText = QStringLiteral("NotActive");
const QString NotRegisteredText = QStringLiteral(" has not been registered.");
const QString StartFailedText = QStringLiteral("Could not start server.");
const QString NoCommunicationText = QStringLiteral("Unable to establish communication with server");
const QString TopicFailedText = QStringLiteral("Could not open topic: ");
const QString ConversationCountItem = QStringLiteral("Conversation Count");

// What a newcomer who started the program by hand needs to know.
QString RegisterHint(const QString& name)
{
    return QStringLiteral("\n\nStart 4812 Turvista with scripts/run from its source folder, which uses the build's "
                          "registry entry, or enter the server's path as the default value of the key "
                          "SOFTWARE\\Veltrane\\DDE Servers\\%1 in %2.")
        .arg(name, QString::fromStdString(winreg::StoreFile()));
}

// This program's System conversations with the server (link and own service);
// its open control-topic conversations come on top.
constexpr int OwnConversationCount = 2;
constexpr DWORD MaxServerKeyName = 100;

// Show mode of the started server, by TKRunMode.
constexpr WORD ShowModes[] = {
    SW_SHOWMINIMIZED, // Minimized
    SW_HIDE,          // Hidden
    SW_SHOWNORMAL,    // Normal
};

QString LinkService()
{
    return QString::fromLatin1(DatorelServer::LinkService);
}

QString SystemTopic()
{
    return QString::fromLatin1(DatorelServer::SystemTopic);
}

QString OpenCommand(const QString& file)
{
    return QStringLiteral("[open(\"") + file + QStringLiteral("\")]");
}

// An open registry key, closed when it goes.
class TRegKey {
public:
    TRegKey() = default;
    TRegKey(const TRegKey&) = delete;
    TRegKey& operator=(const TRegKey&) = delete;
    ~TRegKey()
    {
        if (key)
            RegCloseKey(key);
    }
    bool Connect() { return RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &key) == ERROR_SUCCESS; }
    bool Open(const TRegKey& parent, const char* name, REGSAM access)
    {
        return RegOpenKeyExA(parent.key, name, 0, access, &key) == ERROR_SUCCESS;
    }
    QString DefaultValue() const
    {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ
            || size == 0)
            return {};
        QByteArray value(qsizetype(size), '\0');
        if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(value.data()), &size)
            != ERROR_SUCCESS)
            return {};
        return QString::fromLocal8Bit(value.constData());
    }
    HKEY key = nullptr;
};

// Calls every call-back; the first error is raised once all have been called.
class TErrorCollector {
public:
    template <class F>
    void Run(F&& call)
    {
        try {
            call();
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    void Raise() const
    {
        if (first)
            std::rethrow_exception(first);
    }
    void Show() const
    {
        try {
            Raise();
        } catch (const std::exception& error) {
            ShowException(error);
        }
    }

private:
    std::exception_ptr first;
};

} // namespace

// ---- companions -------------------------------------------------------------------

// One shared conversation of a topic and the number of its users.
class TDdeConvInfo : public TObject {
public:
    qint32 count = 1;
    const std::unique_ptr<TKQDdeClientConv> conversation = std::make_unique<TKQDdeClientConv>();
};

// A request that waits for its conversation.
class TConvNotificationInfo : public TObject {
public:
    TConvNotificationInfo(TConvCallBack callBack, const QString& topic) : callBack(std::move(callBack)), topic(topic)
    {
    }
    TConvCallBack callBack;
    QString topic;
};

// A topic that did not open at once: its timer tries again until the tries run out.
class TNetworkConfiguration : public QObject, public TObject {
public:
    // record: the topic's entry in the conversation table; or, when the topic
    // has none yet, newRecord, which goes into the table once it opens.
    TNetworkConfiguration(TKQServer* server, const QString& topic, TDdeConvInfo* record,
                          std::unique_ptr<TDdeConvInfo> newRecord, TConvCallBack first, int interval);
    ~TNetworkConfiguration() override;

    const QString& Topic() const { return topic; }
    // A further request for the same topic gets the same conversation.
    void Park(TConvCallBack callBack);
    // Gives up without a word: the parked requests get nothing.
    void Cancel();

private:
    void Tick();
    void Retry();

    TKListOfObject parked; // TConvNotificationInfo, owned
    QString topic;
    QTimer timer;
    qint32 triesLeft = Timing::TopicRetryTries;
    TDdeConvInfo* record;
    std::unique_ptr<TDdeConvInfo> newRecord;
    TKQServer* server;
};

namespace {

// Empties a list of requests, calling each with conversation (nil for failure).
void Notify(TKListOfObject& requests, TKQDdeClientConv* conversation, TErrorCollector& errors)
{
    for (TKListIteratorObj at = requests.First(); at.IsValid(); at.Next()) {
        std::unique_ptr<TConvNotificationInfo> request(static_cast<TConvNotificationInfo*>(at.GetObject()));
        if (request->callBack)
            errors.Run([&] { request->callBack(conversation); });
    }
    requests.Clear();
}

void MoveAll(TKListOfObject& from, TKListOfObject& to)
{
    for (TKListIteratorObj at = from.First(); at.IsValid(); at.Next())
        to.Add(at.GetObject());
    from.Clear();
}

} // namespace

TNetworkConfiguration::TNetworkConfiguration(TKQServer* server, const QString& topic, TDdeConvInfo* record,
                                             std::unique_ptr<TDdeConvInfo> newRecord, TConvCallBack first,
                                             int interval)
    : QObject(server), topic(topic), record(record), newRecord(std::move(newRecord)), server(server)
{
    parked.Add(new TConvNotificationInfo(std::move(first), topic));
    timer.setInterval(interval);
    connect(&timer, &QTimer::timeout, this, &TNetworkConfiguration::Tick);
    timer.start();
}

TNetworkConfiguration::~TNetworkConfiguration()
{
    for (TKListIteratorObj at = parked.First(); at.IsValid(); at.Next())
        delete static_cast<TConvNotificationInfo*>(at.GetObject());
    parked.Clear();
}

void TNetworkConfiguration::Park(TConvCallBack callBack)
{
    ++record->count;
    parked.Add(new TConvNotificationInfo(std::move(callBack), topic));
}

void TNetworkConfiguration::Cancel()
{
    timer.stop();
    TKListOfObject requests;
    MoveAll(parked, requests);
    TErrorCollector errors;
    Notify(requests, nullptr, errors);
    errors.Show();
}

void TNetworkConfiguration::Tick()
{
    // Runs from the event loop: nothing may escape into it.
    try {
        Retry();
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

void TNetworkConfiguration::Retry()
{
    if (--triesLeft < 0) {
        timer.stop();
        TKListOfObject requests;
        MoveAll(parked, requests);
        const qint32 references = requests.Count();
        TErrorCollector errors;
        Notify(requests, nullptr, errors);
        if (!newRecord) {
            for (qint32 i = 0; i < references; ++i)
                server->ReleaseConversation(topic);
        }
        newRecord.reset();
        const QString failed = topic;
        server->RemoveConfiguration(this);
        server->ShowStatus(NotActiveText);
        errors.Show();
        throw Exception(TopicFailedText + failed);
    }

    if (!record->conversation->SetLink(server->serverName, topic))
        return;
    timer.stop();
    TKListOfObject requests;
    MoveAll(parked, requests);
    // Entered now, so that giving the topic back closes its conversation.
    if (newRecord)
        server->conversations.Insert(topic, newRecord.release());
    TKQDdeClientConv* conversation = record->conversation.get();
    server->RemoveConfiguration(this);
    TErrorCollector errors;
    Notify(requests, conversation, errors);
    server->PointDisconnectHere();
    errors.Raise();
}

// ---- server ----------------------------------------------------------------------

TKQServer::TKQServer(QObject* owner)
    : QObject(owner),
      ddeManager(std::make_unique<TKQDdeMgr>()),
      module(std::make_unique<TExeModule>()),
      linkConversation(std::make_unique<TKQDdeClientConv>()),
      serverConversation(std::make_unique<TKQDdeClientConv>()),
      statusPanel(std::make_unique<TKQStatusPanel>(this))
{
    TKQDdeMgr::SetCurrent(ddeManager.get());
    retryTimer.setInterval(Timing::ServerRetryInterval);
    connect(&retryTimer, &QTimer::timeout, this, &TKQServer::RetryTimerTick);
    countSynchronizer.SetTimeout(Timing::ConversationCountTimeout);
}

TKQServer::~TKQServer()
{
    destroying = true;
    retryTimer.stop();
    for (TKListIteratorObj at = networkConfigurations.First(); at.IsValid(); at.Next())
        delete static_cast<TNetworkConfiguration*>(at.GetObject());
    networkConfigurations.Clear();
    try {
        StopServer();
    } catch (const std::exception&) {
        // Nobody is left to tell.
    }
    ddeManager->OnDisconnect = nullptr;
    for (TKListIteratorObj at = waiting.First(); at.IsValid(); at.Next())
        delete static_cast<TConvNotificationInfo*>(at.GetObject());
    waiting.Clear();
    ClearConversations();
    serverConversation.reset();
    linkConversation.reset();
    module.reset();
}

// ---- properties ----

QString TKQServer::ServerName() const
{
    return serverName;
}

void TKQServer::SetServerName(const QString& name)
{
    if (name == serverName)
        return;
    CancelConfigurations();
    ClearConversations();
    StopServer();
    serverName = name;
    if (!name.isEmpty() && !loading)
        StartServer(name);
}

QStringList& TKQServer::NetworkDefFiles()
{
    return networkDefFiles;
}

void TKQServer::SetNetworkDefFiles(const QStringList& files)
{
    networkDefFiles = files;
    OpenNetworkDefFiles();
}

TKRunMode TKQServer::RunMode() const
{
    return runMode;
}

void TKQServer::SetRunMode(TKRunMode mode)
{
    runMode = mode;
}

TKQStatusPanel* TKQServer::StatusPanel() const
{
    return statusPanel.get();
}

void TKQServer::Loaded()
{
    loading = false;
    ShowStatus(NotActiveText);
    if (!serverName.isEmpty())
        StartServer(serverName);
}

void TKQServer::ShowStatus(const QString& text)
{
    statusPanel->SetText(text);
}

// ---- conversations ----

void TKQServer::RequestConversation(const QString& topic, TConvCallBack callBack)
{
    if (module->State() != TExeModule::TState::Running) {
        waiting.Add(new TConvNotificationInfo(std::move(callBack), topic));
        if (FindServerExecutable(serverName).isEmpty())
            return;
        try {
            StartServer(serverName);
        } catch (const std::exception&) {
            TErrorCollector ignored;
            Notify(waiting, nullptr, ignored);
            MessageDlg(StartFailedText, TMsgDlgType::mtError, mbOK);
        }
        return;
    }

    // A topic that is being retried: wait for the same conversation.
    if (TNetworkConfiguration* configuration = FindConfiguration(topic)) {
        configuration->Park(std::move(callBack));
        return;
    }

    auto* record = static_cast<TDdeConvInfo*>(conversations.Find(topic));
    std::unique_ptr<TDdeConvInfo> created;
    if (record) {
        ++record->count;
    } else {
        created = std::make_unique<TDdeConvInfo>();
        record = created.get();
    }
    if (record->conversation->SetLink(serverName, topic)) {
        if (created)
            conversations.Insert(topic, created.release());
        if (callBack)
            callBack(record->conversation.get());
        return;
    }
    networkConfigurations.Add(
        new TNetworkConfiguration(this, topic, record, std::move(created), std::move(callBack), Timing::TopicRetryInterval));
}

void TKQServer::ReleaseConversation(const QString& topic)
{
    auto* record = static_cast<TDdeConvInfo*>(conversations.Find(topic));
    if (!record)
        return;
    if (--record->count >= 1)
        return;
    record->conversation->CloseLink();
    conversations.Remove(topic);
    delete record;
    if (conversations.IsEmpty())
        ShowStatus(NotActiveText);
}

void TKQServer::ClearConversations()
{
    for (TKMapIteratorObj at = conversations.First(); at.IsValid(); at.Next())
        delete static_cast<TDdeConvInfo*>(at.GetObject());
    conversations.Clear();
}

TNetworkConfiguration* TKQServer::FindConfiguration(const QString& topic) const
{
    for (TKListIteratorObj at = networkConfigurations.First(); at.IsValid(); at.Next()) {
        auto* configuration = static_cast<TNetworkConfiguration*>(at.GetObject());
        if (configuration->Topic() == topic)
            return configuration;
    }
    return nullptr;
}

void TKQServer::RemoveConfiguration(TNetworkConfiguration* configuration)
{
    for (TKListIteratorObj at = networkConfigurations.First(); at.IsValid(); at.Next()) {
        if (at.GetObject() == configuration) {
            networkConfigurations.Remove(at);
            // Its own timer tick may be what removes it.
            configuration->deleteLater();
            return;
        }
    }
}

void TKQServer::CancelConfigurations()
{
    TKListOfObject cancelled;
    MoveAll(networkConfigurations, cancelled);
    for (TKListIteratorObj at = cancelled.First(); at.IsValid(); at.Next()) {
        auto* configuration = static_cast<TNetworkConfiguration*>(at.GetObject());
        configuration->Cancel();
        configuration->deleteLater();
    }
    cancelled.Clear();
}

// ---- the server program ----

QString TKQServer::FindServerExecutable(const QString& name) const
{
    QString path;
    TRegKey machine;
    TRegKey software;
    TRegKey maker;
    TRegKey servers;
    if (machine.Connect() && software.Open(machine, "SOFTWARE", KEY_QUERY_VALUE)
        && maker.Open(software, "Veltrane", KEY_QUERY_VALUE)
        && servers.Open(maker, "DDE Servers", KEY_ENUMERATE_SUB_KEYS)) {
        for (DWORD index = 0; path.isEmpty(); ++index) {
            char keyName[MaxServerKeyName + 1] = {};
            DWORD length = sizeof keyName;
            const LSTATUS result = RegEnumKeyExA(servers.key, index, keyName, &length, nullptr, nullptr, nullptr,
                                                 nullptr);
            if (result == ERROR_MORE_DATA)
                continue; // too long to be ours
            if (result != ERROR_SUCCESS)
                break;
            TRegKey server;
            if (QString::fromLatin1(keyName).compare(name, Qt::CaseInsensitive) == 0
                && server.Open(servers, keyName, KEY_QUERY_VALUE))
                path = server.DefaultValue();
        }
    }
    if (path.isEmpty())
        MessageDlg(name + NotRegisteredText + RegisterHint(name), TMsgDlgType::mtError, mbOK);
    return path;
}

void TKQServer::StartServer(const QString& name)
{
    ShowStatus(StartingText);
    // A server that runs already is used even when it is not registered.
    TExeModule::TStartedCallBack started = [this](TObject* sender) { ServerStarted(sender); };
    if (module->UseRunningServer(started))
        return;
    const QString path = FindServerExecutable(name);
    if (path.isEmpty()) {
        ShowStatus(NotActiveText);
        return;
    }
    try {
        module->Start(path, ShowModes[int(runMode)], std::move(started));
    } catch (const ExeModuleException& error) {
        ShowStatus(NotActiveText);
        MessageDlg(StartFailedText + error.Message(), TMsgDlgType::mtError, mbOK);
        FailWaitingList();
    }
}

void TKQServer::StopServer()
{
    if (module->State() == TExeModule::TState::NotRunning)
        return;
    // Without its own conversation the server cannot say who else uses it; a
    // server this program started and cannot talk to is closed.
    if (!serverConversation->Connected()) {
        module->Close();
        return;
    }
    // A conversation that this program closed a moment ago (a device giving its
    // topic back just before) may still be counted in the first reply: it ends
    // on a socket of its own, which the server need not have read yet. By the
    // time the first reply is here it has, so the second answer is the true one.
    if (OtherClientsUseServer() && OtherClientsUseServer())
        return;
    module->Close();
}

bool TKQServer::OtherClientsUseServer()
{
    countSynchronizer.Begin();
    countReply.clear();
    countFailed = false;
    try {
        serverConversation->Request(ConversationCountItem, [this](const QByteArray* data, const EDdeError*) {
            if (data)
                countReply = QString::fromLatin1(*data);
            else
                countFailed = true;
            countSynchronizer.Complete();
        });
    } catch (const EDdeError&) {
        countFailed = true;
        countSynchronizer.Complete();
    }
    countSynchronizer.Wait();
    // Compared as a number: ten clients or more must not look like fewer than three.
    bool numeric = false;
    const int count = countReply.trimmed().toInt(&numeric);
    return !countFailed && numeric && count > OwnConversationCount + OpenTopicConversations();
}

int TKQServer::OpenTopicConversations() const
{
    int open = 0;
    for (TKMapIteratorObj at = conversations.First(); at.IsValid(); at.Next())
        open += static_cast<TDdeConvInfo*>(at.GetObject())->conversation->Connected() ? 1 : 0;
    return open;
}

void TKQServer::ServerStarted(TObject*)
{
    if (!linkConversation->SetLink(LinkService(), SystemTopic())) {
        retryCounter = Timing::ServerRetryCount;
        retryTimer.start();
        return;
    }
    if (!serverConversation->SetLink(serverName, SystemTopic())) {
        StopServer();
        FailWaitingList();
        throw Exception(NoCommunicationText);
    }
    TErrorCollector errors;
    errors.Run([this] { ServeWaitingList(); });
    OpenNetworkDefFiles();
    if (OnConnect)
        OnConnect(this);
    PointDisconnectHere();
    errors.Raise();
}

void TKQServer::RetryTimerTick()
{
    // Runs from the event loop: nothing may escape into it.
    try {
        --retryCounter;
        retryTimer.stop();
        if (linkConversation->SetLink(LinkService(), SystemTopic())) {
            if (!serverConversation->SetLink(serverName, SystemTopic()))
                ConnectionFailed();
            TErrorCollector errors;
            errors.Run([this] { ServeWaitingList(); });
            if (OnConnect)
                OnConnect(this);
            OpenNetworkDefFiles();
            errors.Raise();
        } else if (retryCounter < 1) {
            ConnectionFailed();
        } else {
            retryTimer.start();
        }
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

void TKQServer::ConnectionFailed()
{
    StopServer();
    FailWaitingList();
    ShowStatus(ConnectionLostText);
    throw Exception(NoCommunicationText);
}

void TKQServer::ServeWaitingList()
{
    // Served from a copy: a request may come in while the others are served.
    TKListOfObject requests;
    MoveAll(waiting, requests);
    TErrorCollector errors;
    for (TKListIteratorObj at = requests.First(); at.IsValid(); at.Next()) {
        std::unique_ptr<TConvNotificationInfo> request(static_cast<TConvNotificationInfo*>(at.GetObject()));
        errors.Run([&] { RequestConversation(request->topic, std::move(request->callBack)); });
    }
    requests.Clear();
    errors.Raise();
}

void TKQServer::FailWaitingList()
{
    TErrorCollector errors;
    Notify(waiting, nullptr, errors);
    errors.Show();
}

void TKQServer::OpenNetworkDefFiles()
{
    for (const QString& file : std::as_const(networkDefFiles))
        linkConversation->Execute(OpenCommand(file));
}

void TKQServer::PointDisconnectHere()
{
    ddeManager->OnDisconnect = [this](TObject*) {
        if (!destroying && OnDisconnect)
            OnDisconnect(this);
    };
}
