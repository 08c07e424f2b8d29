// The program's data link as the main window sets it up, for tests against the
// real server: a server component that finds the server through the registry
// entry of the build (XDG_CONFIG_DIRS must point at it), starts or shares it,
// and the control device on the default network's topic.
//
//     OnLineProgram program;
//     QVERIFY(program.GoOnLine());
//     program.Read("Run Mode");
#pragma once

#include "datalink/KQDatorelControl.h"
#include "datalink/KQServer.h"

#include <QStatusBar>
#include <QString>

#include <memory>

class OnLineProgram {
public:
    // A loaded machine may be slow to start the server.
    static constexpr int Patience = 60000;

    OnLineProgram();

    // Sets up the components without going on line.
    void Prepare();
    // Hands over the bundled network and connects the control; true once its
    // items have the conversation.
    bool GoOnLine();

    // One-off access, as application code does it.
    QString Read(const QString& name);

    // Declared in the order they are built; they go in reverse.
    QStatusBar bar;
    std::unique_ptr<TKQServer> link;
    std::unique_ptr<TKQDatorelControl> control;
    int communicating = 0; // OnCommunicating calls so far
};
