#include "tests/support/TestLink.h"

TestLink::TestLink(const QString& topic, Timing::PauseFunction pause) : pausing(pause != nullptr)
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

TestLink::~TestLink()
{
    conversation.reset();
    manager.reset();
    server.reset();
    if (pausing)
        Timing::SetPauseFunction(nullptr);
}
