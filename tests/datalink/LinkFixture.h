// What the item, device and control tests share: a DDE server in the same
// process with one open client conversation to it, scripted dialogs, recorded
// pauses and a logging subscriber.
#pragma once

#include "datalink/KQItem.h"
#include "platform/Timing.h"
#include "tests/support/RaisedText.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDdeServer.h"
#include "tests/support/TestRunner.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

namespace fixture {

constexpr int ReplyWait = 5000;
inline const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");

inline QList<int> pauses;
inline void RecordPause(int milliseconds)
{
    pauses << milliseconds;
}

struct Link {
    Link()
    {
        qputenv("TURVISTA_DDE_DIR", folder.path().toLocal8Bit());
        server = std::make_unique<TestDdeServer>("URQVDatorel", Topic);
        manager = std::make_unique<TKQDdeMgr>();
        TKQDdeMgr::SetCurrent(manager.get());
        conversation = std::make_unique<TKQDdeClientConv>();
        opened = server->Registered() && conversation->SetLink("URQVDatorel", Topic);
        pauses.clear();
        Timing::SetPauseFunction(RecordPause);
    }
    ~Link()
    {
        Timing::SetPauseFunction(nullptr);
        conversation.reset();
        manager.reset();
        server.reset();
    }
    TKQDdeClientConv* Conv() const { return conversation.get(); }

    TScriptedDialogs dialogs;
    QTemporaryDir folder;
    std::unique_ptr<TestDdeServer> server;
    std::unique_ptr<TKQDdeMgr> manager;
    std::unique_ptr<TKQDdeClientConv> conversation;
    bool opened = false;
};

// A subscriber that logs the value it is notified of, and may act on it.
class Client {
public:
    explicit Client(QStringList& log, const QString& name = QString()) : log(log), name(name) { }
    TNotifyEvent Event() { return TNotifyEvent(this, &Client::Changed); }
    std::function<void(TKQItem*)> action;

private:
    void Changed(TObject* sender)
    {
        auto* item = dynamic_cast<TKQItem*>(sender);
        const QString value = item ? item->Value().toString() : QStringLiteral("<not an item>");
        log << (name.isEmpty() ? value : name + "=" + value);
        if (action && item)
            action(item);
    }
    QStringList& log;
    QString name;
};

} // namespace fixture
