// Base of test classes that run against the real server with one client on the
// default control's topic.
#pragma once

#include "tests/support/ServerProcess.h"
#include "tests/support/TestDdeClient.h"

#include <QObject>

#include <memory>

class ServerTest : public QObject {
protected:
    // Starts the server and connects the client; false when either fails
    // (ServerOutput() then says why).
    bool StartServer(const ServerProcess::Options& options = {})
    {
        m_control.reset();
        m_server = std::make_unique<ServerProcess>(options);
        if (!m_server->Start())
            return false;
        m_control = std::make_unique<TestDdeClient>(QStringLiteral("URQVDatorel"), ServerProcess::Topic());
        return m_control->Connected();
    }
    void StopServer()
    {
        m_control.reset();
        m_server.reset();
    }
    QString ServerOutput() { return m_server ? m_server->Output() : QString(); }

    std::unique_ptr<ServerProcess> m_server;
    std::unique_ptr<TestDdeClient> m_control;
};
