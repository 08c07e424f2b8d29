// The device of one turbine control behind the communication server. It hands
// the conversation to its items only once the control answers, and carries out
// the control's commands: enter configure mode (Shutdown), store the values in
// the control (SaveValues) and restart it (Reset).
#pragma once

#include "datalink/KQDatorelItem.h"
#include "datalink/KQDevice.h"
#include "datalink/Synchro.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class TKQDatorelControl : public TKQDevice {
    Q_OBJECT
public:
    explicit TKQDatorelControl(QObject* owner = nullptr);
    ~TKQDatorelControl() override;

    // Commands; each raises when the control reports a failure.
    void Shutdown();
    void SaveValues();
    // Takes the conversation from the items, restarts the control and watches
    // for it to answer again (OnResetComplete, then the connect poll). When it
    // fails the items get their conversation back all the same.
    void Reset();

    // "Run Mode" is "1": the control is in configure mode.
    bool IsRunMode();
    // "Control Status" is "1": the control answers. False when the server refused
    // the request; raises when it did not answer.
    bool ControlStatus();
    // A command is waiting for its result.
    bool ResultPending() const;

    // Fired with Sender = the control once it answers after a reset; cleared after every reset.
    std::function<void(TObject* sender)> OnResetComplete;

    TKQDatorelItem* GetItem(const QString& name) override;
    // Polls "Control Status" before the items get the conversation.
    void ConversationReady(TKQDdeClientConv* conversation) override;

    // The handlers of the two poll timers. Exceptions end in the default
    // exception dialog, never in the event loop.
    void ConnectPollTimer();
    void ResetPollTimer();
    bool IsConnectPolling() const { return connectPoll.isActive(); }
    bool IsResetPolling() const { return resetPoll.isActive(); }

    // 3 after creation, 1 while a reset is being watched, 0 once the control answered.
    int State() const { return state; }
    // The reply of the latest "Run Mode" or "Control Status" request.
    const QString& LastStatusReply() const { return lastStatusReply; }

protected:
    std::unique_ptr<TKQItem> CreateItem(const QString& upperName) override;

private:
    void ConnectPollTick();
    void ResetPollTick();
    void StartResetPoll();
    QString Request(const QString& item);
    void WaitForResult(const QString& item, const std::shared_ptr<bool>& refused);
    // Executes command and waits for its result item; on failure shows notResponding and returns false.
    bool RunCommand(const QString& command, const QString& resultItem, const QString& notResponding);
    double ResultNumber() const;
    std::shared_ptr<Synchronizer> NewResultSynchronizer();

    std::shared_ptr<Synchronizer> resultSync;
    bool resultWaiting = false;
    QTimer connectPoll;
    QTimer resetPoll;
    qint32 resetTries = 0;
    Synchronizer requestSync;
    QString requestReply;
    QString resultText;
    QString lastStatusReply;
    std::optional<EDdeError> requestError;
    qint32 connectTries = 0;
    unsigned char state = 3;
    std::shared_ptr<int> lifeToken = std::make_shared<int>(0);
};
