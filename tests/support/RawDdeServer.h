// A DDE partner that speaks the wire protocol by hand, to misbehave on purpose.
#pragma once

#include "platform/ddeml/DdeWire.h"
#include "platform/ddeml/ddeml.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <functional>

class RawDdeServer {
public:
    using Frame = ddeml::wire::Frame;
    using FrameType = ddeml::wire::FrameType;

    // Accepts every connect; each later frame goes to onFrame.
    explicit RawDdeServer(const char* service)
    {
        char path[256];
        ddeml::ServiceSocketPath(service, path, sizeof path);
        QLocalServer::removeServer(path);
        listener.listen(QString::fromLocal8Bit(path));
        QObject::connect(&listener, &QLocalServer::newConnection, [this] {
            socket = listener.nextPendingConnection();
            QObject::connect(socket, &QLocalSocket::readyRead, [this] {
                buffer.append(socket->readAll());
                Frame frame;
                while (ddeml::wire::Decode(buffer, frame) == ddeml::wire::DecodeStatus::Complete) {
                    if (frame.type == FrameType::Connect)
                        socket->write(ddeml::wire::Encode(Frame{FrameType::ConnectAck, 0, 0, 1, {}, {}, {}, {}}));
                    else if (onFrame)
                        onFrame(frame);
                }
            });
        });
    }

    // A length prefix with no frame after it: nonsense to any partner.
    static QByteArray EmptyFrame() { return QByteArray(4, '\0'); }

    QLocalServer listener;
    QLocalSocket* socket = nullptr;
    QByteArray buffer;
    std::function<void(const Frame&)> onFrame;
};
