// What the item, device and control tests share: a DDE server in the same
// process with one open client conversation to it, scripted dialogs, recorded
// pauses, a logging subscriber, and a main that runs several test classes.
#pragma once

#include "datalink/KQItem.h"
#include "platform/Assert.h"
#include "platform/Timing.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDdeServer.h"

#include <QApplication>
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

// The message of what f raised, or "" when it raised nothing.
template <class F>
QString RaisedText(F&& f)
{
    try {
        f();
    } catch (const EAssertionFailed& error) {
        return error.Message();
    } catch (const Exception& error) {
        return error.Message();
    }
    return QString();
}

// The test library reports an exception that escapes a test function and then
// raises it again; catching it here lets the other test classes run.
template <class... Tests>
int RunTests(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failed = 0;
    auto run = [&](QObject&& test) {
        try {
            failed += QTest::qExec(&test, argc, argv);
        } catch (...) {
            ++failed;
        }
    };
    (run(Tests()), ...);
    return failed;
}

} // namespace fixture
