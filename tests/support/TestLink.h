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
    explicit TestLink(const QString& topic, Timing::PauseFunction pause = nullptr);
    ~TestLink();
    TestLink(const TestLink&) = delete;
    TestLink& operator=(const TestLink&) = delete;

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
