// What the item, device, control and values-file tests share: a DDE server in
// the same process with one open client conversation to it, scripted dialogs,
// recorded pauses, a logging subscriber, and a control device whose commands
// the server answers.
#pragma once

#include "datalink/KQDatorelControl.h"
#include "datalink/KQItem.h"
#include "tests/support/RaisedText.h"
#include "tests/support/TestLink.h"
#include "tests/support/TestRunner.h"

#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <functional>

namespace fixture {

inline const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");

inline QList<int> pauses;
inline void RecordPause(int milliseconds)
{
    pauses << milliseconds;
}

struct Link : TestLink {
    Link() : TestLink(Topic, RecordPause) { pauses.clear(); }
};

// A subscriber that logs the value it is notified of, and may act on it.
struct Client {
    explicit Client(QStringList& log, const QString& name = QString()) : log(log), name(name) { }
    TNotifyEvent Event() { return TNotifyEvent(this, &Client::Changed); }
    void Changed(TObject* sender)
    {
        auto* item = static_cast<TKQItem*>(sender);
        log << (name.isEmpty() ? QString() : name + "=") + item->Value().toString();
        if (action)
            action(item);
    }
    QStringList& log;
    QString name;
    std::function<void(TKQItem*)> action;
};

// Plays the server's part of the control's commands: once the client's advise
// loop on a command's result item runs, the result is set ("0" unless told
// otherwise), cleared first so that equal results advise again.
class CommandAnswers : public QObject {
public:
    explicit CommandAnswers(TestDdeServer& server) : server(server)
    {
        for (const char* command : {"Shutdown", "SaveValues", "Reset"})
            server.SetItem(QString::fromLatin1(command) + ".Result", "");
        server.onExecute = [this](const QString& command) {
            if (onCommand)
                onCommand(command);
            pending << command;
        };
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, this, [this] {
            for (const QString& command : QStringList(pending)) {
                const QString result = command + ".Result";
                if (!this->server.advised.contains(result.toUpper()))
                    continue;
                pending.removeAll(command);
                if (beforeResult)
                    beforeResult(command);
                this->server.SetItem(result, "");
                this->server.SetItem(result, results.value(command, "0"));
            }
        });
        timer.start();
    }

    QMap<QString, QByteArray> results;
    std::function<void(const QString& command)> onCommand;    // as the command arrives
    std::function<void(const QString& command)> beforeResult; // as its result is about to be set

private:
    TestDdeServer& server;
    QStringList pending;
    QTimer timer;
};

// A link, a control device with a status panel, and the server's answers.
struct ControlPlant : Link {
    explicit ControlPlant(const QString& panelText = QString())
    {
        TKQStatusPanel::AddPanel(&bar, 200, panelText);
        control = std::make_unique<TKQDatorelControl>();
        control->SetIdentifier(Topic);
        answers = std::make_unique<CommandAnswers>(*server);
    }
    ~ControlPlant()
    {
        answers.reset();
        control.reset();
    }

    // Hands the conversation over and answers the connect poll.
    void Connect()
    {
        server->SetItem("Control Status", "1");
        control->ConversationReady(Conv());
        control->ConnectPollTimer();
    }

    QStatusBar bar;
    std::unique_ptr<TKQDatorelControl> control;
    std::unique_ptr<CommandAnswers> answers;
};

} // namespace fixture
