// The DDE face of the communication server: the link service "Datorel" and the
// server's own service, each with the topic "System", and one topic per control
// of every network definition file opened (docs/server.md).
#pragma once

#include "platform/ddeml/ddeml.h"
#include "server/Faults.h"
#include "server/NetworkDefinition.h"
#include "server/ServerTiming.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>

class TSimulatedControl;

class TDatorelServer : public QObject {
public:
    struct TSettings {
        QString serviceName = QStringLiteral("URQVDatorel");
        int tickMs = ServerTiming::DefaultTickMs;
        QString serverFolder; // the default network and databases lie here
        QString stateFolder;  // relative store paths lead here
        bool testFaults = false; // the System items "Faults" and "Simulate" may be written
        bool verbose = false;    // log every transaction
    };

    explicit TDatorelServer(const TSettings& settings);
    ~TDatorelServer() override;

    // Registers the services and starts the controls' clock.
    bool Start(QString* error);
    // Loads a network definition file and opens the topics of its controls. A
    // file with any problem opens nothing; error names the file and line.
    bool OpenNetwork(const QString& path, QString* error);

    TFaults& Faults() { return m_faults; }
    // Open conversations on the System topics. A client holds two (one per
    // service), so more than two means that another client uses the server; a
    // client's own control conversations do not keep it from closing the server.
    int ConversationCount() const;
    // The control of a topic (any case), or nullptr.
    TSimulatedControl* Control(const QString& topic) const;
    // The control "Dflt Control ID" of the first network opened that has one,
    // else any open control; nullptr while none is open.
    TSimulatedControl* DefaultControl() const;

private:
    struct TTopic {
        QString name; // as opened, for advise posting
        std::unique_ptr<TSimulatedControl> control;
    };
    struct TNetwork {
        QString path;
        QString fileName;
    };

    static HDDEDATA Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                             ULONG_PTR data1, ULONG_PTR data2);
    HDDEDATA Handle(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data);
    HDDEDATA HandleSystem(UINT type, UINT format, HSZ itemHandle, const QString& item, HDDEDATA data);
    HDDEDATA HandleControl(TTopic& topic, UINT type, UINT format, HSZ itemHandle, const QString& item,
                           HDDEDATA data);

    QString Text(HSZ handle) const;
    static QByteArray Bytes(HDDEDATA data);
    HDDEDATA Reply(const QByteArray& bytes, HSZ item, UINT format) const;
    HDDEDATA TextReply(const QString& text, HSZ item) const;

    bool ExecuteSystem(const QString& command);
    // A test's "Simulate" command for the default control.
    bool Simulate(const QString& command);
    void Changed(const QString& topic, const QString& item);
    void PostChanges();
    void Tick();
    void Log(const QString& message) const;
    [[noreturn]] void Die(const QString& reason) const;

    TSettings m_settings;
    DWORD m_instance = 0;
    HSZ m_linkService = nullptr;
    HSZ m_ownService = nullptr;
    TFaults m_faults;
    QTimer m_tick;

    QList<TNetwork> m_networks;
    std::map<QString, TTopic> m_topics; // by upper-case topic
    std::map<HCONV, QString> m_conversations;

    QHash<QString, QSet<QString>> m_changed; // topic -> items; an empty item stands for all
    bool m_postScheduled = false;
};
