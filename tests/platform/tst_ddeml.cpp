// The DDE work-alike itself: handles, synchronous and asynchronous transactions,
// and partners that send nonsense or die mid-transaction.
#include "platform/ddeml/DdeWire.h"
#include "platform/ddeml/ddeml.h"
#include "tests/support/TestDdeServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <poll.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using ddeml::wire::Frame;
using ddeml::wire::FrameType;

namespace {

constexpr int ReplyWait = 5000;

// One client instance that records what its callback sees.
struct Event {
    UINT type;
    HDDEDATA data;
    QByteArray bytes;
    DWORD id;
};
QList<Event> events;
int callbacksDuringSync = 0;
bool inSync = false;

HDDEDATA Record(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR data1, ULONG_PTR)
{
    if (inSync)
        ++callbacksDuringSync;
    QByteArray bytes;
    DWORD size = 0;
    if (data && data != reinterpret_cast<HDDEDATA>(TRUE))
        if (LPBYTE p = DdeAccessData(data, &size))
            bytes = QByteArray(reinterpret_cast<const char*>(p), qsizetype(size));
    events << Event{type, data, bytes, DWORD(data1)};
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
}

QList<UINT> Types()
{
    QList<UINT> types;
    for (const Event& e : events)
        types << e.type;
    return types;
}

QByteArray Prefix(DWORD length)
{
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = char((length >> (8 * i)) & 0xFF);
    return out;
}

// A good frame with one more byte after its last field.
QByteArray Trailing(const QByteArray& frame)
{
    const QByteArray payload = frame.mid(4) + 'x';
    return Prefix(DWORD(payload.size())) + payload;
}

// A partner that speaks the wire protocol by hand, to misbehave on purpose.
class RawServer {
public:
    explicit RawServer(const char* service)
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
    QLocalServer listener;
    QLocalSocket* socket = nullptr;
    QByteArray buffer;
    std::function<void(const Frame&)> onFrame;
};

} // namespace

class TestDdeml : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stringHandlesAreCaseInsensitiveAtoms();
    void dataHandlesCopyAndFree();
    void synchronousRequestAndTimeout();
    void synchronousWaitKeepsOtherArrivalsForLater();
    void clientOnlyInstanceCannotRegister();
    void serverSurvivesMalformedClientFrames_data();
    void serverSurvivesMalformedClientFrames();
    void clientEndsConversationOnMalformedServerFrames_data();
    void clientEndsConversationOnMalformedServerFrames();
    void serverDyingMidTransaction();
    void socketFolderIsPrivate();
    void peerOfAnotherUserIsRefused_data();
    void peerOfAnotherUserIsRefused();

private:
    HCONV Connect(const char* service, const char* topic);

    std::unique_ptr<QTemporaryDir> folder;
    DWORD client = 0;
};

void TestDdeml::init()
{
    folder = std::make_unique<QTemporaryDir>();
    qputenv("TURVISTA_DDE_DIR", (folder->path() + "/dde").toLocal8Bit());
    events.clear();
    callbacksDuringSync = 0;
    client = 0;
    QCOMPARE(DdeInitializeA(&client, &Record, APPCMD_CLIENTONLY, 0), DMLERR_NO_ERROR);
}

void TestDdeml::cleanup()
{
    DdeUninitialize(client);
    folder.reset();
}

HCONV TestDdeml::Connect(const char* service, const char* topic)
{
    HSZ s = DdeCreateStringHandleA(client, service, CP_WINANSI);
    HSZ t = DdeCreateStringHandleA(client, topic, CP_WINANSI);
    HCONV conv = DdeConnect(client, s, t, nullptr);
    DdeFreeStringHandle(client, s);
    DdeFreeStringHandle(client, t);
    return conv;
}

void TestDdeml::stringHandlesAreCaseInsensitiveAtoms()
{
    HSZ a = DdeCreateStringHandleA(client, "Speed.PV", CP_WINANSI);
    HSZ b = DdeCreateStringHandleA(client, "SPEED.pv", CP_WINANSI);
    QCOMPARE(a, b);
    QCOMPARE(DdeCmpStringHandles(a, b), 0);
    char text[6];
    QCOMPARE(DdeQueryStringA(client, a, text, sizeof text, CP_WINANSI), DWORD(5));
    QCOMPARE(QByteArray(text), QByteArray("Speed")); // cut to the buffer, zero-terminated
    QCOMPARE(DdeQueryStringA(client, a, nullptr, 0, CP_WINANSI), DWORD(8));
    QVERIFY(DdeFreeStringHandle(client, a));
    QCOMPARE(DdeQueryStringA(client, b, nullptr, 0, CP_WINANSI), DWORD(8)); // one reference left
    QVERIFY(DdeFreeStringHandle(client, b));
    QCOMPARE(DdeQueryStringA(client, b, nullptr, 0, CP_WINANSI), DWORD(0));
    QVERIFY(!DdeFreeStringHandle(client, b));
}

void TestDdeml::dataHandlesCopyAndFree()
{
    BYTE source[] = {'a', 0, 'b'};
    HDDEDATA data = DdeCreateDataHandle(client, source, 3, 0, nullptr, CF_PRIVATEFIRST, 0);
    source[0] = 'z';
    DWORD size = 0;
    LPBYTE bytes = DdeAccessData(data, &size);
    QCOMPARE(size, DWORD(3));
    QCOMPARE(QByteArray(reinterpret_cast<char*>(bytes), 3), QByteArray("a\0b", 3));
    BYTE part[2] = {};
    QCOMPARE(DdeGetData(data, part, 2, 1), DWORD(2));
    QCOMPARE(part[1], BYTE('b'));
    QVERIFY(DdeFreeDataHandle(data));
    QVERIFY(!DdeFreeDataHandle(data));
    QVERIFY(!DdeAccessData(data, &size));

    // A data handle holds its item's string handle until it is freed.
    HSZ item = DdeCreateStringHandleA(client, "ITEM", CP_WINANSI);
    data = DdeCreateDataHandle(client, source, 3, 0, item, CF_TEXT, 0);
    QVERIFY(DdeFreeStringHandle(client, item));
    QCOMPARE(DdeQueryStringA(client, item, nullptr, 0, CP_WINANSI), DWORD(4));
    QVERIFY(DdeFreeDataHandle(data));
    QCOMPARE(DdeQueryStringA(client, item, nullptr, 0, CP_WINANSI), DWORD(0));
}

void TestDdeml::synchronousRequestAndTimeout()
{
    TestDdeServer server("Sync", "T");
    server.SetItem("A", "alpha");
    server.unanswered.insert("SLOW");
    HCONV conv = Connect("Sync", "T");
    QVERIFY(conv);
    HSZ a = DdeCreateStringHandleA(client, "A", CP_WINANSI);
    HDDEDATA reply = DdeClientTransaction(nullptr, 0, conv, a, CF_TEXT, XTYP_REQUEST, 2000, nullptr);
    QVERIFY(reply);
    DWORD size = 0;
    QCOMPARE(QByteArray(reinterpret_cast<char*>(DdeAccessData(reply, &size))), QByteArray("alpha"));
    QCOMPARE(size, DWORD(6)); // the terminating zero travels with the text
    DdeFreeDataHandle(reply);

    HSZ slow = DdeCreateStringHandleA(client, "SLOW", CP_WINANSI);
    // Short time-outs: nothing ever answers these.
    QVERIFY(!DdeClientTransaction(nullptr, 0, conv, slow, CF_TEXT, XTYP_REQUEST, 5, nullptr));
    QCOMPARE(DdeGetLastError(client), DMLERR_DATAACKTIMEOUT);
    BYTE value[] = "1";
    QVERIFY(!DdeClientTransaction(value, 2, conv, slow, CF_TEXT, XTYP_POKE, 5, nullptr));
    QCOMPARE(DdeGetLastError(client), DMLERR_POKEACKTIMEOUT);
    QCOMPARE(DdeGetLastError(client), DMLERR_NO_ERROR); // reading clears it

    // The conversation is still usable after time-outs.
    QVERIFY(DdeClientTransaction(value, 2, conv, a, CF_TEXT, XTYP_POKE, 2000, nullptr));
    QCOMPARE(server.Item("A"), QByteArray("1"));
    DdeFreeStringHandle(client, a);
    DdeFreeStringHandle(client, slow);
}

void TestDdeml::synchronousWaitKeepsOtherArrivalsForLater()
{
    TestDdeServer server("Defer", "T");
    server.SetItem("WATCHED", "0");
    server.SetItem("ASKED", "x");
    HCONV conv = Connect("Defer", "T");
    QVERIFY(conv);
    HSZ watched = DdeCreateStringHandleA(client, "WATCHED", CP_WINANSI);
    HSZ asked = DdeCreateStringHandleA(client, "ASKED", CP_WINANSI);
    DWORD id = 0;
    QVERIFY(DdeClientTransaction(nullptr, 0, conv, watched, CF_TEXT, XTYP_ADVSTART, TIMEOUT_ASYNC, &id));
    QTRY_COMPARE_WITH_TIMEOUT(events.size(), 2, ReplyWait); // advise start complete, then the current value
    events.clear();

    // The server changes the watched item before it answers the synchronous request.
    server.beforeReply = [&server](const QString& item) {
        if (item == "ASKED")
            server.SetItem("WATCHED", "1");
    };
    inSync = true;
    HDDEDATA reply = DdeClientTransaction(nullptr, 0, conv, asked, CF_TEXT, XTYP_REQUEST, 2000, nullptr);
    inSync = false;
    QVERIFY(reply);
    DdeFreeDataHandle(reply);
    QCOMPARE(callbacksDuringSync, 0);
    QTRY_COMPARE_WITH_TIMEOUT(Types(), QList<UINT>({XTYP_ADVDATA}), ReplyWait);
    QCOMPARE(events.first().bytes, QByteArray("1\0", 2));
    DdeFreeStringHandle(client, watched);
    DdeFreeStringHandle(client, asked);
}

void TestDdeml::clientOnlyInstanceCannotRegister()
{
    HSZ name = DdeCreateStringHandleA(client, "Nope", CP_WINANSI);
    QVERIFY(!DdeNameService(client, name, nullptr, DNS_REGISTER));
    QCOMPARE(DdeGetLastError(client), DMLERR_DLL_USAGE);
    DdeFreeStringHandle(client, name);
}

void TestDdeml::serverSurvivesMalformedClientFrames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("closeAfter");
    const QByteArray request = ddeml::wire::Encode(Frame{FrameType::Request, 7, CF_TEXT, 0, {}, {}, "A", {}});
    QTest::newRow("truncated") << request.left(request.size() - 2) << true;
    QTest::newRow("oversized") << Prefix(ddeml::MaxFrameBytes + 1) + QByteArray(16, 'x') << false;
    QTest::newRow("unknown type") << Prefix(5) + QByteArray("\x63xxxx") << false;
    QTest::newRow("field overrun") << Prefix(9) + QByteArray("\x03\x01\0\0\0\x01\0\0\0", 9) << false;
    QTest::newRow("reply to a server") << ddeml::wire::Encode(Frame{FrameType::ReplyAck, 1, 0, 1, {}, {}, {}, {}})
                                       << false;
    QTest::newRow("bytes after the last field") << Trailing(request) << false;
}

void TestDdeml::serverSurvivesMalformedClientFrames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, closeAfter);
    TestDdeServer server("Victim", "T");
    server.SetItem("A", "alpha");
    char path[256];
    ddeml::ServiceSocketPath("Victim", path, sizeof path);
    QLocalSocket raw;
    raw.connectToServer(QString::fromLocal8Bit(path));
    QVERIFY(raw.waitForConnected(ReplyWait));
    raw.write(ddeml::wire::Encode(Frame{FrameType::Connect, 0, 0, 0, "Victim", "T", {}, {}}));
    QTRY_COMPARE_WITH_TIMEOUT(server.connections, 1, ReplyWait);
    raw.write(bytes);
    raw.flush();
    if (closeAfter)
        raw.disconnectFromServer();
    QTRY_COMPARE_WITH_TIMEOUT(server.disconnects, 1, ReplyWait);
    QTRY_VERIFY_WITH_TIMEOUT(raw.state() == QLocalSocket::UnconnectedState, ReplyWait);

    // A well-behaved client is still served.
    HCONV conv = Connect("Victim", "T");
    QVERIFY(conv);
    HSZ a = DdeCreateStringHandleA(client, "A", CP_WINANSI);
    HDDEDATA reply = DdeClientTransaction(nullptr, 0, conv, a, CF_TEXT, XTYP_REQUEST, 2000, nullptr);
    QVERIFY(reply);
    DdeFreeDataHandle(reply);
    DdeFreeStringHandle(client, a);
}

void TestDdeml::clientEndsConversationOnMalformedServerFrames_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("oversized") << Prefix(ddeml::MaxFrameBytes + 1);
    QTest::newRow("unknown type") << Prefix(1) + QByteArray("\x42");
    QTest::newRow("unknown transaction")
        << ddeml::wire::Encode(Frame{FrameType::ReplyAck, 999, 0, 1, {}, {}, {}, {}});
    QTest::newRow("request to a client")
        << ddeml::wire::Encode(Frame{FrameType::Request, 1, CF_TEXT, 0, {}, {}, "A", {}});
    QTest::newRow("truncated then gone") << Prefix(40) + QByteArray("\x08\x01");
    QTest::newRow("bytes after the last field")
        << Trailing(ddeml::wire::Encode(Frame{FrameType::ReplyAck, 1, 0, 1, {}, {}, {}, {}}));
}

void TestDdeml::clientEndsConversationOnMalformedServerFrames()
{
    QFETCH(QByteArray, answer);
    RawServer server("Liar");
    server.onFrame = [&server, answer](const Frame&) {
        server.socket->write(answer);
        server.socket->flush();
        if (QTest::currentDataTag() == QByteArray("truncated then gone"))
            server.socket->disconnectFromServer();
    };
    HCONV conv = Connect("Liar", "T");
    QVERIFY(conv);
    HSZ a = DdeCreateStringHandleA(client, "A", CP_WINANSI);
    DWORD id = 0;
    QVERIFY(DdeClientTransaction(nullptr, 0, conv, a, CF_TEXT, XTYP_REQUEST, TIMEOUT_ASYNC, &id));
    QTRY_COMPARE_WITH_TIMEOUT(Types(), QList<UINT>({XTYP_XACT_COMPLETE, XTYP_DISCONNECT}), ReplyWait);
    QCOMPARE(events.first().data, nullptr); // the pending transaction failed
    QCOMPARE(events.first().id, id);
    QVERIFY(!DdeClientTransaction(nullptr, 0, conv, a, CF_TEXT, XTYP_REQUEST, TIMEOUT_ASYNC, &id));
    QVERIFY(server.socket);
    QTRY_VERIFY_WITH_TIMEOUT(server.socket->state() == QLocalSocket::UnconnectedState, ReplyWait);
    DdeFreeStringHandle(client, a);
}

void TestDdeml::serverDyingMidTransaction()
{
    RawServer server("Mortal");
    server.onFrame = [&server](const Frame&) { server.socket->abort(); };
    HCONV conv = Connect("Mortal", "T");
    QVERIFY(conv);
    HSZ a = DdeCreateStringHandleA(client, "A", CP_WINANSI);

    // A synchronous wait ends with its error, and the conversation is gone.
    QVERIFY(!DdeClientTransaction(nullptr, 0, conv, a, CF_TEXT, XTYP_REQUEST, 10000, nullptr));
    QCOMPARE(DdeGetLastError(client), DMLERR_SERVER_DIED);
    QTRY_COMPARE_WITH_TIMEOUT(Types(), QList<UINT>({XTYP_DISCONNECT}), ReplyWait);
    QVERIFY(!DdeClientTransaction(nullptr, 0, conv, a, CF_TEXT, XTYP_REQUEST, TIMEOUT_ASYNC, nullptr));
    QCOMPARE(DdeGetLastError(client), DMLERR_NO_CONV_ESTABLISHED);

    // Pending asynchronous transactions fail before the disconnect is told.
    events.clear();
    HCONV second = Connect("Mortal", "T");
    QVERIFY(second);
    server.onFrame = [&server](const Frame& frame) {
        if (frame.id == 2)
            server.socket->abort();
    };
    DWORD first = 0, other = 0;
    QVERIFY(DdeClientTransaction(nullptr, 0, second, a, CF_TEXT, XTYP_REQUEST, TIMEOUT_ASYNC, &first));
    QVERIFY(DdeClientTransaction(nullptr, 0, second, a, CF_TEXT, XTYP_REQUEST, TIMEOUT_ASYNC, &other));
    QTRY_COMPARE_WITH_TIMEOUT(Types(), QList<UINT>({XTYP_XACT_COMPLETE, XTYP_XACT_COMPLETE, XTYP_DISCONNECT}),
                              ReplyWait);
    QCOMPARE(events[0].id, first);
    QCOMPARE(events[1].id, other);
    DdeFreeStringHandle(client, a);
}

void TestDdeml::socketFolderIsPrivate()
{
    const QByteArray folderPath = ddeml::SocketFolder();
    QVERIFY(!folderPath.isEmpty());
    QFile::Permissions permissions = QFileInfo(QString::fromLocal8Bit(folderPath)).permissions();
    QVERIFY(!(permissions & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                             | QFile::WriteOther | QFile::ExeOther)));

    // A folder that others may open is refused, and nothing is served from it.
    const QString open = folder->path() + "/shared";
    QVERIFY(QDir().mkdir(open));
    QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                    | QFile::ExeOther);
    qputenv("TURVISTA_DDE_DIR", open.toLocal8Bit());
    QCOMPARE(QByteArray(ddeml::SocketFolder()), QByteArray());
    QVERIFY(!Connect("Anything", "T"));
}

void TestDdeml::peerOfAnotherUserIsRefused_data()
{
    QTest::addColumn<uid_t>("user");
    QTest::addColumn<bool>("answered");
    QTest::newRow("same user") << ::geteuid() << true;
    QTest::newRow("other user") << uid_t(65534) << false;
}

// A client process knocks with a connect frame as the given user. It may
// open the private folder (the file-system user stays ours) but is known to
// the server by its effective user.
void TestDdeml::peerOfAnotherUserIsRefused()
{
    QFETCH(uid_t, user);
    QFETCH(bool, answered);
    if (user != ::geteuid() && ::geteuid() != 0)
        QSKIP("only the superuser can knock as another user");
    TestDdeServer server("Guarded", "T");
    char path[108];
    QVERIFY(ddeml::ServiceSocketPath("Guarded", path, sizeof path));
    const QByteArray hello = ddeml::wire::Encode(Frame{FrameType::Connect, 0, 0, 0, "Guarded", "T", {}, {}});
    const pid_t child = ::fork();
    if (child == 0) {
        if (user != ::geteuid() && (::seteuid(user) != 0 || (::setfsuid(0), ::setfsuid(uid_t(-1)) != 0)))
            ::_exit(3);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path, sizeof address.sun_path - 1);
        const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            ::_exit(4);
        ::send(socket, hello.constData(), size_t(hello.size()), MSG_NOSIGNAL);
        pollfd reply {socket, POLLIN, 0};
        char byte = 0;
        ::_exit(::poll(&reply, 1, ReplyWait) == 1 && ::read(socket, &byte, 1) == 1 ? 1 : 0);
    }
    QVERIFY(child > 0);
    int status = 0;
    bool ended = false;
    QTRY_VERIFY_WITH_TIMEOUT(ended = ended || ::waitpid(child, &status, WNOHANG) == child, 2 * ReplyWait);
    QCOMPARE(WEXITSTATUS(status), answered ? 1 : 0);
    QCOMPARE(server.connections, answered ? 1 : 0);
}

QTEST_MAIN(TestDdeml)
#include "tst_ddeml.moc"
