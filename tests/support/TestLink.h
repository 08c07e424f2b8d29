// A DDE server in the same process, in a private DDE folder, with one client
// conversation opened to it, and scripted dialogs for whatever the code under
// test shows. Fixtures derive from it so that their devices and forms go
// before the conversation and the server do.
#pragma once

#include "datalink/KQDde.h"
#include "platform/Timing.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDdeServer.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

// Long enough for any echo in a test run; QTRY_* return as soon as it arrives.
constexpr int ReplyWait = 5000;

struct TestLink {
    // pause, when given, replaces the real pause until the link is gone.
    explicit TestLink(const QString& topic, Timing::PauseFunction pause = nullptr) : pausing(pause != nullptr)
    {
        qputenv("TURVISTA_DDE_DIR", folder.path().toLocal8Bit());
        if (pausing)
            Timing::SetPauseFunction(pause);
        server = std::make_unique<TestDdeServer>("URQVDatorel", topic);
        manager = std::make_unique<TKQDdeMgr>();
        TKQDdeMgr::SetCurrent(manager.get());
        conversation = std::make_unique<TKQDdeClientConv>();
        opened = server->Registered() && conversation->SetLink("URQVDatorel", topic);
    }
    ~TestLink()
    {
        conversation.reset();
        manager.reset();
        server.reset();
        if (pausing)
            Timing::SetPauseFunction(nullptr);
    }

    TKQDdeClientConv* Conv() const { return conversation.get(); }

    TScriptedDialogs dialogs;
    QTemporaryDir folder;
    std::unique_ptr<TestDdeServer> server;
    std::unique_ptr<TKQDdeMgr> manager;
    std::unique_ptr<TKQDdeClientConv> conversation;
    bool opened = false; // the server registered and the conversation is open

private:
    bool pausing = false;
};
