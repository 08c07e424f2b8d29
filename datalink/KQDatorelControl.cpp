#include "datalink/KQDatorelControl.h"

#include "platform/Assert.h"
#include "platform/Exception.h"
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"

namespace {

QString Active()
{
    return QStringLiteral("Active.");
}

// Sets a flag for the lifetime of a scope.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : flag(flag) { flag = true; }
    ~TFlagScope() { flag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& flag;
};

} // namespace

TKQDatorelControl::TKQDatorelControl(QObject* owner) : TKQDevice(owner), resultSync(NewResultSynchronizer())
{
    connectPoll.setInterval(Timing::ConnectPollInterval);
    resetPoll.setInterval(Timing::ResetPollInterval);
    connect(&connectPoll, &QTimer::timeout, this, &TKQDatorelControl::ConnectPollTimer);
    connect(&resetPoll, &QTimer::timeout, this, &TKQDatorelControl::ResetPollTimer);
    requestSync.SetTimeout(Timing::ControlRequestTimeout);
}

TKQDatorelControl::~TKQDatorelControl()
{
    lifeToken.reset();
    connectPoll.stop();
    resetPoll.stop();
}

std::shared_ptr<Synchronizer> TKQDatorelControl::NewResultSynchronizer()
{
    auto sync = std::make_shared<Synchronizer>();
    // Later waits keep the time-out of the first one.
    sync->SetTimeout(Timing::ControlResultTimeout);
    return sync;
}

std::unique_ptr<TKQItem> TKQDatorelControl::CreateItem(const QString& upperName)
{
    return std::make_unique<TKQDatorelItem>(upperName);
}

TKQDatorelItem* TKQDatorelControl::GetItem(const QString& name)
{
    return static_cast<TKQDatorelItem*>(TKQDevice::GetItem(name));
}

// ---- requests -----------------------------------------------------------------------

QString TKQDatorelControl::Request(const QString& item)
{
    requestError.reset();
    try {
        Assert(Conversation() != nullptr, "TKQDatorelControl.Request: Control has not been connected.");
        requestSync.Begin();
        const std::weak_ptr<int> alive = lifeToken;
        try {
            Conversation()->Request(item, [this, alive](const QByteArray* data, const EDdeError* error) {
                if (alive.expired())
                    return;
                if (error)
                    requestError = *error;
                else
                    requestReply = QString::fromLatin1(*data);
                requestSync.Complete();
            });
        } catch (...) {
            requestSync.Complete(); // nothing was sent, so nothing will end the wait
            throw;
        }
        requestSync.Wait();
    } catch (const std::exception&) {
        throw Exception(QStringLiteral("Request of ") + item + QStringLiteral(" failed."));
    }
    if (requestError)
        throw *requestError;
    return requestReply;
}

bool TKQDatorelControl::IsRunMode()
{
    lastStatusReply = Request(QStringLiteral("Run Mode"));
    return lastStatusReply == QLatin1String("1");
}

bool TKQDatorelControl::ControlStatus()
{
    try {
        lastStatusReply = Request(QStringLiteral("Control Status"));
    } catch (const std::exception&) {
        if (requestError)
            return false;
        throw Exception(QStringLiteral("Request of control status failed."));
    }
    return lastStatusReply == QLatin1String("1");
}

bool TKQDatorelControl::ResultPending() const
{
    return resultSync->IsBusy();
}

// ---- commands -----------------------------------------------------------------------

void TKQDatorelControl::WaitForResult(const QString& item, const std::shared_ptr<bool>& refused)
{
    const std::shared_ptr<Synchronizer> sync = resultSync;
    sync->Begin();
    const auto handle = std::make_shared<HSZ>(nullptr);
    const std::weak_ptr<int> alive = lifeToken;
    TKQDdeClientConv* conversation = Conversation();
    try {
        *handle = conversation->StartAdvise(
            item, [this, alive, sync, handle, conversation, refused](const QByteArray* data, const EDdeError* error) {
                if (alive.expired())
                    return;
                if (error)
                    throw *error;
                if (data->isEmpty() && !*refused)
                    return; // the server may first send an empty result
                // After a refusal the item holds an earlier command's result: the wait has ended.
                if (!*refused) {
                    resultText = QString::fromLatin1(*data);
                    sync->Complete();
                }
                if (*handle) {
                    const HSZ stop = *handle;
                    *handle = nullptr;
                    conversation->StopAdvise(stop);
                }
            });
    } catch (...) {
        sync->Complete(); // nothing was sent, so nothing will end the wait
        throw;
    }
    const TFlagScope waiting(resultWaiting);
    sync->Wait();
}

bool TKQDatorelControl::RunCommand(const QString& command, const QString& resultItem, const QString& notResponding)
{
    // A refused command ends the wait at once: its result item may still hold
    // the result of an earlier command, which must not pass for this one's.
    const auto refused = std::make_shared<bool>(false);
    try {
        Assert(Conversation() != nullptr, "TKQDatorelControl: Control has not been connected.");
        const std::shared_ptr<Synchronizer> sync = resultSync;
        Conversation()->Execute(command, [refused, sync](const QByteArray*, const EDdeError* error) {
            if (!error)
                return;
            *refused = true;
            sync->Complete();
        });
        WaitForResult(resultItem, refused);
        if (*refused)
            throw Exception(QStringLiteral("TKQDatorelControl: the control refused ") + command);
    } catch (const std::exception&) {
        MessageDlg(notResponding, TMsgDlgType::mtError, mbOK);
        return false;
    }
    return true;
}

double TKQDatorelControl::ResultNumber() const
{
    return VariantToFloat(QVariant(resultText));
}

void TKQDatorelControl::Shutdown()
{
    StatusPanel()->SetText(QStringLiteral("Shutting down control ..."));
    // Without an answer the result text is empty or left from an earlier command: stop here.
    if (!RunCommand(QStringLiteral("Shutdown"), QStringLiteral("Shutdown.Result"),
                    QStringLiteral("Error occured while attempting to enter configure mode. Server is not responding.")))
        throw Exception(QStringLiteral("TKQDatorelControl.Shutdown: Shutdown Failed"));
    if (ResultNumber() != 0)
        throw Exception(QStringLiteral("TKQDatorelControl.Shutdown: Shutdown Failed"));
    StatusPanel()->SetText(QStringLiteral("Control is in configure mode."));
}

void TKQDatorelControl::SaveValues()
{
    StatusPanel()->SetText(QStringLiteral("Saving values in control ..."));
    if (!RunCommand(QStringLiteral("SaveValues"), QStringLiteral("SaveValues.Result"),
                    QStringLiteral("Error occured during SaveValues. Server is not responding.")))
        throw Exception(QStringLiteral("TKQDatorelControl.SaveValues: SaveValues Failed"));
    const double result = ResultNumber();
    if (result == 1)
        throw Exception(QStringLiteral("TKQDatorelControl.SaveValues: Memory Error"));
    if (result == 255)
        throw Exception(QStringLiteral("TKQDatorelControl.SaveValues: Unsupported Function"));
    if (result != 0)
        throw Exception(QStringLiteral("TKQDatorelControl.SaveValues: SaveValues Failed"));
    StatusPanel()->SetText(Active());
}

void TKQDatorelControl::Reset()
{
    ConversationLost();
    Timing::Pause(Timing::ResetPrePause);
    StatusPanel()->SetText(QStringLiteral("Resetting control ..."));
    if (!RunCommand(QStringLiteral("Reset"), QStringLiteral("Reset.Result"),
                    QStringLiteral("Error occured during reset. Server is not responding."))) {
        // The control may be resetting all the same: the poll gives the items
        // their conversation back once it answers.
        OnResetComplete = nullptr;
        StartResetPoll();
        throw Exception(QStringLiteral("TKQDatorelControl.Reset: Reset Failed"));
    }
    const double result = ResultNumber();
    if (result != 0) {
        // Not reset: the items carry on with the control as it is.
        OnResetComplete = nullptr;
        ConversationReady(Conversation());
        if (result == 1)
            throw Exception(QStringLiteral("Error resetting control:  The control is not in configure mode"));
        throw Exception(QStringLiteral("TKQDatorelControl.Reset: Reset Failed"));
    }
    state = 1;
    StartResetPoll();
}

void TKQDatorelControl::StartResetPoll()
{
    resetTries = Timing::ResetPollTries;
    resetPoll.start();
}

// ---- polls -------------------------------------------------------------------------

void TKQDatorelControl::ConversationReady(TKQDdeClientConv* conversation)
{
    if (!conversation)
        return;
    SetConversation(conversation);
    connectTries = Timing::ConnectPollTries;
    connectPoll.start();
}

void TKQDatorelControl::ConnectPollTimer()
{
    try {
        ConnectPollTick();
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

void TKQDatorelControl::ResetPollTimer()
{
    try {
        ResetPollTick();
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

void TKQDatorelControl::ConnectPollTick()
{
    connectPoll.stop();
    if (!Conversation())
        return; // given back or gone with its server: nothing to poll
    --connectTries;
    bool answers = false;
    try {
        answers = ControlStatus();
    } catch (const std::exception&) {
        if (connectTries < 0)
            MessageDlg(QStringLiteral("Control is not responding to request of connection"), TMsgDlgType::mtError,
                       mbOK);
        else
            connectPoll.start();
        return;
    }
    if (!answers) {
        connectPoll.start();
        return;
    }
    // A result wait that timed out leaves its synchronizer busy; the control answers
    // again, so commands get a fresh one (unless a wait is still running on it).
    if (!resultWaiting)
        resultSync = NewResultSynchronizer();
    state = 0;
    TKQDevice::ConversationReady(Conversation());
}

void TKQDatorelControl::ResetPollTick()
{
    resetPoll.stop();
    if (!Conversation()) {
        OnResetComplete = nullptr;
        return;
    }
    if (resetTries < 1) {
        OnResetComplete = nullptr;
        throw Exception(QStringLiteral("Control reset timeout"));
    }
    --resetTries;
    bool answers = false;
    {
        // A control still resetting may refuse the request: that is no error to show.
        const TQuietDdeErrors quiet;
        answers = ControlStatus();
    }
    if (!answers) {
        resetPoll.start();
        return;
    }
    const auto complete = std::move(OnResetComplete);
    OnResetComplete = nullptr;
    if (complete)
        complete(this);
    ConversationReady(Conversation());
    StatusPanel()->SetText(Active());
    state = 0;
}
