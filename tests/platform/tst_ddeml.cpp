// The DDE work-alike itself: handles, synchronous and asynchronous transactions,
// and partners that send nonsense or die mid-transaction.
#include "platform/ddeml/DdeWire.h"
#include "platform/ddeml/ddeml.h"
#include "tests/support/RawDdeServer.h"
#include "tests/support/TestDdeServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <poll.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

QByteArray Encoded(FrameType type, DWORD id, const QByteArray& item = {}, DWORD flags = 0)
{
    return ddeml::wire::Encode(Frame{type, id, item.isEmpty() ? 0u : DWORD(CF_TEXT), flags, {}, {}, item, {}});
}

// A good frame with one more byte after its last field.
QByteArray Trailing(const QByteArray& frame)
{
    const QByteArray payload = frame.mid(4) + 'x';
    return Prefix(DWORD(payload.size())) + payload;
}

} // namespace

class TestDdeml : public QObject {
    Q_OBJECT

    HSZ Name(const char* text) { return DdeCreateStringHandleA(client, text, CP_WINANSI); }
    DWORD Length(HSZ name) { return DdeQueryStringA(client, name, nullptr, 0, CP_WINANSI); }
    HCONV Connect(const char* service, const char* topic) { return DdeConnect(client, Name(service), Name(topic), nullptr); }
    HDDEDATA Transact(HCONV conv, const char* item, UINT type, DWORD timeout, DWORD* id = nullptr)
    {
        BYTE value[] = "1";
        return DdeClientTransaction(type == XTYP_POKE ? value : nullptr, type == XTYP_POKE ? 2 : 0, conv, Name(item),
                                    CF_TEXT, type, timeout, id);
    }

    std::unique_ptr<QTemporaryDir> folder;
    DWORD client = 0;

private slots:
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        qputenv("TURVISTA_DDE_DIR", (folder->path() + "/dde").toLocal8Bit());
        events.clear();
        callbacksDuringSync = 0;
        client = 0;
        QCOMPARE(DdeInitializeA(&client, &Record, APPCMD_CLIENTONLY, 0), DMLERR_NO_ERROR);
    }

    void cleanup()
    {
        DdeUninitialize(client);
        folder.reset();
    }

    void handlesCountTheirReferences()
    {
        // String handles are counted atoms, without regard to case.
        HSZ item = Name("Item");
        QCOMPARE(Name("ITEM"), item);
        QVERIFY(DdeFreeStringHandle(client, item));
        QCOMPARE(Length(item), DWORD(4)); // one reference left

        // A data handle copies its bytes and holds its item's string handle until it is freed.
        BYTE source[] = {'a', 0, 'b'};
        HDDEDATA data = DdeCreateDataHandle(client, source, 3, 0, item, CF_TEXT, 0);
        source[0] = 'z';
        QVERIFY(DdeFreeStringHandle(client, item));
        QCOMPARE(Length(item), DWORD(4));
        DWORD size = 0;
        QCOMPARE(QByteArray(reinterpret_cast<char*>(DdeAccessData(data, &size)), 3), QByteArray("a\0b", 3));
        QVERIFY(DdeFreeDataHandle(data));
        QCOMPARE(Length(item), DWORD(0));
        QVERIFY(!DdeFreeStringHandle(client, item));
        QVERIFY(!DdeFreeDataHandle(data));
    }

    void synchronousRequestAndTimeout()
    {
        TestDdeServer server("Sync", "T");
        server.SetItem("A", "alpha");
        server.unanswered.insert("SLOW");
        HCONV conv = Connect("Sync", "T");
        QVERIFY(conv);
        HDDEDATA reply = Transact(conv, "A", XTYP_REQUEST, 2000);
        QVERIFY(reply);
        DWORD size = 0;
        QCOMPARE(QByteArray(reinterpret_cast<char*>(DdeAccessData(reply, &size))), QByteArray("alpha"));
        QCOMPARE(size, DWORD(6)); // the terminating zero travels with the text
        DdeFreeDataHandle(reply);

        // Short time-outs: nothing ever answers these.
        QVERIFY(!Transact(conv, "SLOW", XTYP_REQUEST, 5));
        QCOMPARE(DdeGetLastError(client), DMLERR_DATAACKTIMEOUT);
        QVERIFY(!Transact(conv, "SLOW", XTYP_POKE, 5));
        QCOMPARE(DdeGetLastError(client), DMLERR_POKEACKTIMEOUT);
        QCOMPARE(DdeGetLastError(client), DMLERR_NO_ERROR); // reading clears it

        // The conversation is still usable after time-outs.
        QVERIFY(Transact(conv, "A", XTYP_POKE, 2000));
        QCOMPARE(server.Item("A"), QByteArray("1"));
    }

    void synchronousWaitKeepsOtherArrivalsForLater()
    {
        TestDdeServer server("Defer", "T");
        server.SetItem("WATCHED", "0");
        server.SetItem("ASKED", "x");
        HCONV conv = Connect("Defer", "T");
        QVERIFY(conv);
        DWORD id = 0;
        QVERIFY(Transact(conv, "WATCHED", XTYP_ADVSTART, TIMEOUT_ASYNC, &id));
        QTRY_COMPARE_WITH_TIMEOUT(events.size(), 2, ReplyWait); // advise start complete, then the current value
        events.clear();

        // The server changes the watched item before it answers the synchronous request.
        server.beforeReply = [&server](const QString& item) {
            if (item == "ASKED")
                server.SetItem("WATCHED", "1");
        };
        inSync = true;
        HDDEDATA reply = Transact(conv, "ASKED", XTYP_REQUEST, 2000);
        inSync = false;
        QVERIFY(reply);
        DdeFreeDataHandle(reply);
        QCOMPARE(callbacksDuringSync, 0);
        QTRY_COMPARE_WITH_TIMEOUT(Types(), QList<UINT>({XTYP_ADVDATA}), ReplyWait);
        QCOMPARE(events.first().bytes, QByteArray("1\0", 2));
    }

    // A good reply with nonsense after it: the call returns its data, and the end of
    // the conversation is told only once it has returned.
    void nonsenseAfterASynchronousReplyIsToldAfterwards()
    {
        RawDdeServer server("Babbler");
        server.onFrame = [&server](const Frame& frame) {
            server.socket->write(ddeml::wire::Encode(Frame{FrameType::ReplyData, frame.id, CF_TEXT, 0, {}, {}, {}, "ok"})
                                 + RawDdeServer::EmptyFrame());
        };
        HCONV conv = Connect("Babbler", "T");
        QVERIFY(conv);
        inSync = true;
        HDDEDATA reply = Transact(conv, "A", XTYP_REQUEST, ReplyWait);
        inSync = false;
        QVERIFY(reply);
        DdeFreeDataHandle(reply);
        QCOMPARE(callbacksDuringSync, 0);
        QTRY_COMPARE_WITH_TIMEOUT(Types(), QList<UINT>({XTYP_DISCONNECT}), ReplyWait);
    }

    void serverSurvivesMalformedClientFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("closeAfter");
        const QByteArray request = Encoded(FrameType::Request, 7, "A");
        QTest::newRow("truncated") << request.left(request.size() - 2) << true;
        QTest::newRow("oversized") << Prefix(ddeml::MaxFrameBytes + 1) + QByteArray(16, 'x') << false;
        QTest::newRow("unknown type") << Prefix(5) + QByteArray("\x63xxxx") << false;
        QTest::newRow("field overrun") << Prefix(9) + QByteArray("\x03\x01\0\0\0\x01\0\0\0", 9) << false;
        QTest::newRow("reply to a server") << Encoded(FrameType::ReplyAck, 1, {}, 1) << false;
        QTest::newRow("bytes after the last field") << Trailing(request) << false;
    }

    void serverSurvivesMalformedClientFrames()
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
        QVERIFY(Transact(conv, "A", XTYP_REQUEST, 2000));
    }

    void clientEndsConversationOnMalformedServerFrames_data()
    {
        QTest::addColumn<QByteArray>("answer");
        // The decoder's refusals are proven against the server; one of them here.
        QTest::newRow("unknown type") << Prefix(1) + QByteArray("\x42");
        QTest::newRow("unknown transaction") << Encoded(FrameType::ReplyAck, 999, {}, 1);
        QTest::newRow("request to a client") << Encoded(FrameType::Request, 1, "A");
        QTest::newRow("truncated then gone") << Prefix(40) + QByteArray("\x08\x01");
    }

    void clientEndsConversationOnMalformedServerFrames()
    {
        QFETCH(QByteArray, answer);
        RawDdeServer server("Liar");
        server.onFrame = [&server, answer](const Frame&) {
            server.socket->write(answer);
            server.socket->flush();
            if (QTest::currentDataTag() == QByteArray("truncated then gone"))
                server.socket->disconnectFromServer();
        };
        HCONV conv = Connect("Liar", "T");
        QVERIFY(conv);
        DWORD id = 0;
        QVERIFY(Transact(conv, "A", XTYP_REQUEST, TIMEOUT_ASYNC, &id));
        QTRY_COMPARE_WITH_TIMEOUT(Types(), QList<UINT>({XTYP_XACT_COMPLETE, XTYP_DISCONNECT}), ReplyWait);
        QCOMPARE(events.first().data, nullptr); // the pending transaction failed
        QCOMPARE(events.first().id, id);
        QVERIFY(!Transact(conv, "A", XTYP_REQUEST, TIMEOUT_ASYNC, &id));
        QVERIFY(server.socket);
        QTRY_VERIFY_WITH_TIMEOUT(server.socket->state() == QLocalSocket::UnconnectedState, ReplyWait);
    }

    void serverDyingMidTransaction()
    {
        RawDdeServer server("Mortal");
        server.onFrame = [&server](const Frame&) { server.socket->abort(); };
        HCONV conv = Connect("Mortal", "T");
        QVERIFY(conv);

        // A synchronous wait ends with its error, and the conversation is gone.
        QVERIFY(!Transact(conv, "A", XTYP_REQUEST, 10000));
        QCOMPARE(DdeGetLastError(client), DMLERR_SERVER_DIED);
        QTRY_COMPARE_WITH_TIMEOUT(Types(), QList<UINT>({XTYP_DISCONNECT}), ReplyWait);
        QVERIFY(!Transact(conv, "A", XTYP_REQUEST, TIMEOUT_ASYNC));
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
        QVERIFY(Transact(second, "A", XTYP_REQUEST, TIMEOUT_ASYNC, &first));
        QVERIFY(Transact(second, "A", XTYP_REQUEST, TIMEOUT_ASYNC, &other));
        QTRY_COMPARE_WITH_TIMEOUT(Types(), QList<UINT>({XTYP_XACT_COMPLETE, XTYP_XACT_COMPLETE, XTYP_DISCONNECT}),
                                  ReplyWait);
        QCOMPARE(events[0].id, first);
        QCOMPARE(events[1].id, other);
    }

    void socketFolderIsPrivate()
    {
        const QByteArray folderPath = ddeml::SocketFolder();
        QVERIFY(!folderPath.isEmpty());
        QCOMPARE(QFileInfo(QString::fromLocal8Bit(folderPath)).permissions() & 0x77, QFile::Permissions()); // group, others

        // A folder that others may open is refused, and nothing is served from it.
        const QString open = folder->path() + "/shared";
        QVERIFY(QDir().mkdir(open) && ::chmod(QFile::encodeName(open).constData(), 0705) == 0);
        qputenv("TURVISTA_DDE_DIR", open.toLocal8Bit());
        QCOMPARE(QByteArray(ddeml::SocketFolder()), QByteArray());
        QVERIFY(!Connect("Anything", "T"));
    }

    void peerOfAnotherUserIsRefused_data()
    {
        QTest::addColumn<uid_t>("user");
        QTest::addColumn<bool>("answered");
        QTest::newRow("same user") << ::geteuid() << true;
        QTest::newRow("other user") << uid_t(65534) << false;
    }

    // A client process knocks with a connect frame as the given user. It may
    // open the private folder (the file-system user stays ours) but is known to
    // the server by its effective user.
    void peerOfAnotherUserIsRefused()
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
};

QTEST_MAIN(TestDdeml)
#include "tst_ddeml.moc"
