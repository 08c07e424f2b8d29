// A synchronous request through the DDE conversation layer and its synchronizer,
// against a raw ping-pong of the same size over the same kind of socket, with
// the partner in a second process. Prints both round-trip times and the ratio.
#include "datalink/KQDde.h"
#include "datalink/Synchro.h"
#include "platform/ddeml/DdeWire.h"
#include "tests/support/TestDdeServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Rounds = 5000;
constexpr int Warmup = 200;
const char* const EchoName = "bench-echo";

int Serve()
{
    TestDdeServer server("BenchService", "Plant");
    server.SetItem("SPEED.PV.OUT", "3600.0");

    // The raw partner: answers every message with one of the same size.
    QLocalServer echo;
    char path[256];
    QLocalServer::removeServer(QString::fromLocal8Bit(ddeml::ServiceSocketPath(EchoName, path, sizeof path)));
    echo.listen(QString::fromLocal8Bit(path));
    QObject::connect(&echo, &QLocalServer::newConnection, [&echo] {
        QLocalSocket* socket = echo.nextPendingConnection();
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] { socket->write(socket->readAll()); });
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

double RawRoundTrip(int messageBytes)
{
    char path[256];
    QLocalSocket socket;
    socket.connectToServer(QString::fromLocal8Bit(ddeml::ServiceSocketPath(EchoName, path, sizeof path)));
    socket.waitForConnected();
    const QByteArray message(messageBytes, 'x');
    auto once = [&] {
        socket.write(message);
        socket.flush();
        qint64 got = 0;
        while (got < messageBytes) {
            socket.waitForReadyRead(5000);
            got += socket.readAll().size();
        }
    };
    for (int i = 0; i < Warmup; ++i)
        once();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Rounds; ++i)
        once();
    const double micros = double(timer.nsecsElapsed()) / 1000.0 / Rounds;
    socket.disconnectFromServer();
    return micros;
}

double StackRoundTrip()
{
    TKQDdeMgr manager;
    TKQDdeMgr::SetCurrent(&manager);
    TKQDdeClientConv conv;
    if (!conv.SetLink("BenchService", "Plant")) {
        std::fprintf(stderr, "cannot reach the benchmark server\n");
        std::exit(1);
    }
    Synchronizer sync;
    sync.SetTimeout(5000);
    QByteArray reply;
    auto once = [&] {
        sync.Begin();
        conv.Request("SPEED.PV.OUT", [&](const QByteArray* data, const EDdeError*) {
            if (data)
                reply = *data;
            sync.Complete();
        });
        sync.Wait();
    };
    for (int i = 0; i < Warmup; ++i)
        once();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Rounds; ++i)
        once();
    const double micros = double(timer.nsecsElapsed()) / 1000.0 / Rounds;
    if (reply != "3600.0") {
        std::fprintf(stderr, "unexpected reply\n");
        std::exit(1);
    }
    return micros;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().contains("--serve"))
        return Serve();

    QTemporaryDir folder;
    qputenv("TURVISTA_DDE_DIR", (folder.path() + "/dde").toLocal8Bit());
    QProcess partner;
    partner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    partner.start(app.applicationFilePath(), {"--serve"});
    if (!partner.waitForReadyRead(10000)) {
        std::fprintf(stderr, "benchmark partner did not start\n");
        return 1;
    }

    // A request frame for this item and its reply are about this size each.
    const int frameBytes =
        int(ddeml::wire::Encode(ddeml::wire::Frame{ddeml::wire::FrameType::Request, 1, CF_TEXT, 0, {}, {},
                                                   "SPEED.PV.OUT", {}})
                .size());
    const double raw = RawRoundTrip(frameBytes);
    const double stack = StackRoundTrip();
    std::printf("synchronous request, %d rounds, partner in a second process\n", Rounds);
    std::printf("  raw socket ping-pong (%d bytes): %8.1f us\n", frameBytes, raw);
    std::printf("  TKQDdeClientConv + Synchronizer: %8.1f us\n", stack);
    std::printf("  ratio (stack / raw):             %8.2f  (target: at most 3)\n", stack / raw);
    partner.kill();
    partner.waitForFinished();
    return 0;
}
