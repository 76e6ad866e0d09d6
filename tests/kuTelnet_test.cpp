#include <kuvanaTools/kuTelnet.h>

#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KU_TEST_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(KU_TEST_TSAN)
// Closing a socket that another thread is blocked on is how the console ends
// a blocked accept or receive; the thread sanitizer counts the close as a
// write racing with the blocked call's read of the descriptor.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:kuSocketClose_Debug\n";
}
#endif

namespace {

const int kIAC = 255, kDONT = 254, kDO = 253, kWONT = 252, kWILL = 251, kAYT = 246, kIP = 244;

std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s.push_back((char)b);
    return s;
}

// A port on 127.0.0.1 that nothing listens on right now.
int freePort()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, (sockaddr *)&a, sizeof a);
    socklen_t n = sizeof a;
    getsockname(s, (sockaddr *)&a, &n);
    close(s);
    return ntohs(a.sin_port);
}

// A server listening on a fresh loopback port.
struct Listening {
    kuTelnet *server = kuTelnet_New();
    int port = 0;
    explicit Listening(const char *address = "127.0.0.1")
    {
        for (int tries = 0; tries < 20 && port == 0; tries++) {
            int candidate = freePort();
            if (kuTelnet_Listen(server, address, candidate) == 0)
                port = candidate;
        }
    }
    ~Listening() { kuTelnet_Delete(server); }
};

int connectTo(int port)
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, (sockaddr *)&a, sizeof a) != 0) {
        close(s);
        return -1;
    }
    return s;
}

void sendAll(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += (size_t)n;
    }
}

// Reads until n bytes arrived, the peer closed, or nothing came for 10 s (a
// hang guard, not a timing check).
std::string recvUpTo(int fd, size_t n)
{
    std::string s;
    char buffer[4096];
    while (s.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0)
            break;
        ssize_t got = recv(fd, buffer, std::min(sizeof buffer, n - s.size()), 0);
        if (got <= 0)
            break;
        s.append(buffer, (size_t)got);
    }
    return s;
}

std::string recvToEnd(int fd)
{
    return recvUpTo(fd, (size_t)-1);
}

// A server and one accepted connection with a raw client socket.
struct Session {
    Listening listening;
    int client = -1;
    kuTelnetConnection *connection = nullptr;
    Session()
    {
        client = connectTo(listening.port);
        connection = kuTelnet_AcceptConnection(listening.server);
    }
    ~Session()
    {
        kuTelnet_ConnectionDelete(connection);
        if (client >= 0)
            close(client);
    }
    int recvChar()
    {
        unsigned char c = 0;
        int r = kuTelnet_RecvChar(connection, &c);
        return r == 1 ? c : -100 + r;
    }
};

// A record of the console with this text (without its line feed).
bool logged(const kutest::LogCapture &log, const std::string &text)
{
    for (const std::string &line : log.lines()) {
        size_t colon = line.find(": ");
        if (line.rfind("KU 1 92 kuvanaTools/kuTelnet:", 0) == 0 && colon != std::string::npos &&
            line.substr(colon + 2) == text)
            return true;
    }
    return false;
}

} // namespace

TEST(kuTelnet, ListenAcceptAndRefusedListens)
{
    kutest::LogCapture log;
    {
        Listening l;
        ASSERT_NE(0, l.port);
        // A second listen is refused and leaves the first socket listening.
        EXPECT_EQ(1, kuTelnet_Listen(l.server, "127.0.0.1", freePort()));
        char expected[160];
        snprintf(expected, sizeof expected,
                 "kuTelnet_Listen: [%p] Already listening. Ccurrent kuTelnet implementation "
                 "can listen on one ip/port only.",
                 (void *)l.server);
        EXPECT_TRUE(logged(log, expected)) << log.text();
        int c = connectTo(l.port);
        ASSERT_GE(c, 0);
        kuTelnetConnection *connection = kuTelnet_AcceptConnection(l.server);
        ASSERT_NE(nullptr, connection);
        kuTelnet_ConnectionDelete(connection);
        close(c);

        // The port is taken, so a second server cannot bind it.
        kuTelnet *other = kuTelnet_New();
        EXPECT_EQ(1, kuTelnet_Listen(other, "127.0.0.1", l.port));
        snprintf(expected, sizeof expected,
                 "kuTelnet_Listen: [%p] Could not bind listen socket to addr='127.0.0.1' "
                 "port=%d",
                 (void *)other, l.port);
        EXPECT_TRUE(logged(log, expected)) << log.text();
        // Not listening after the failure: a later listen elsewhere works.
        EXPECT_EQ(0, kuTelnet_Listen(other, "localhost", freePort()));
        kuTelnet_Delete(other);
    }

    kuTelnet *server = kuTelnet_New();
    EXPECT_EQ(1, kuTelnet_Listen(server, "no.such.host.invalid", 0));
    EXPECT_NE(std::string::npos,
              log.text().find("Could not resolve address 'no.such.host.invalid'\n"));
    EXPECT_EQ(-1, kuTelnet_Close(server));
    // Closed on purpose: the failed accept is not logged.
    std::string before = log.text();
    EXPECT_EQ(nullptr, kuTelnet_AcceptConnection(server));
    EXPECT_EQ(before, log.text());
    kuTelnet_Delete(server);

    // Never listening and not closed: the failure is logged.
    server = kuTelnet_New();
    EXPECT_EQ(nullptr, kuTelnet_AcceptConnection(server));
    EXPECT_NE(std::string::npos,
              log.text().find("Listen socket error, can not accept connections\n"));
    kuTelnet_Delete(server);

    EXPECT_EQ(1, kuTelnet_Listen(nullptr, nullptr, 0));
    EXPECT_EQ(nullptr, kuTelnet_AcceptConnection(nullptr));
    EXPECT_EQ(-1, kuTelnet_Close(nullptr));
    kuTelnet_Delete(nullptr);
}

TEST(kuTelnet, CommandsAreStrippedAndOptionsRefused)
{
    Session s;
    ASSERT_NE(nullptr, s.connection);
    sendAll(s.client, "a" + bytes({kIAC, kIAC}) + bytes({kIAC, kDO, 1}) +
                          bytes({kIAC, kWILL, 3}) + bytes({kIAC, kWONT, 5}) +
                          bytes({kIAC, kDONT, 6}) + bytes({kIAC, kAYT}) +
                          bytes({kIAC, 241}) + // NOP: ignored
                          bytes({kIAC, 250, 24, 1, kIAC, 240}) + "b");
    EXPECT_EQ('a', s.recvChar());
    EXPECT_EQ(255, s.recvChar());
    EXPECT_EQ(24, s.recvChar()); // subnegotiation bytes arrive as data
    EXPECT_EQ(1, s.recvChar());
    EXPECT_EQ('b', s.recvChar());
    EXPECT_EQ(bytes({kIAC, kWONT, 1}) + bytes({kIAC, kDONT, 3}) + bytes({kIAC, kDONT, 5}) +
                  bytes({kIAC, kWONT, 6}) + "kuTelnet: I'm here\r\n",
              recvUpTo(s.client, 32));

    // A command split across packets is still one command.
    sendAll(s.client, bytes({kIAC}));
    sendAll(s.client, bytes({kDO}));
    sendAll(s.client, bytes({34}) + "c");
    EXPECT_EQ('c', s.recvChar());
    EXPECT_EQ(bytes({kIAC, kWONT, 34}), recvUpTo(s.client, 3));

    // Interrupt Process closes the connection: 0 now, -1 afterwards.
    sendAll(s.client, bytes({kIAC, kIP}) + "never read");
    EXPECT_EQ(-100, s.recvChar());
    EXPECT_EQ("", recvToEnd(s.client));
    EXPECT_EQ(-101, s.recvChar());
    EXPECT_EQ(-1, kuTelnet_Send(s.connection, "x", 1));
    EXPECT_EQ(-1, kuTelnet_SendTelnetCommand(s.connection, kAYT));
}

TEST(kuTelnet, LinesAndPeerEnd)
{
    Session s;
    ASSERT_NE(nullptr, s.connection);
    char line[8];
    sendAll(s.client, std::string("ls\r\nabcdefghij\nx\0y\n\n", 20));
    EXPECT_EQ(2, kuTelnet_RecvLine(s.connection, line, sizeof line));
    EXPECT_STREQ("ls", line);
    // A long line comes in terminated pieces.
    EXPECT_EQ(4, kuTelnet_RecvLine(s.connection, line, 5));
    EXPECT_STREQ("abcd", line);
    EXPECT_EQ(line, kuTelnet_Gets(s.connection, line, 5));
    EXPECT_STREQ("efgh", line);
    EXPECT_EQ(2, kuTelnet_RecvLine(s.connection, line, sizeof line));
    EXPECT_STREQ("ij", line);
    // NUL ends a line like a line feed.
    EXPECT_EQ(1, kuTelnet_RecvLine(s.connection, line, sizeof line));
    EXPECT_STREQ("x", line);
    EXPECT_EQ(1, kuTelnet_RecvLine(s.connection, line, sizeof line));
    EXPECT_STREQ("y", line);
    EXPECT_EQ(0, kuTelnet_RecvLine(s.connection, line, sizeof line));
    EXPECT_STREQ("", line);
    // Size 1 has room for the terminator only; size 0 touches nothing.
    line[0] = 'q';
    EXPECT_EQ(0, kuTelnet_RecvLine(s.connection, line, 1));
    EXPECT_EQ('\0', line[0]);
    line[0] = 'q';
    EXPECT_EQ(0, kuTelnet_RecvLine(s.connection, line, 0));
    EXPECT_EQ('q', line[0]);
    EXPECT_EQ(-1, kuTelnet_RecvLine(s.connection, nullptr, 4));

    // The peer ends the connection in the middle of a line.
    sendAll(s.client, "part");
    shutdown(s.client, SHUT_WR);
    EXPECT_EQ(-1, kuTelnet_RecvLine(s.connection, line, sizeof line));
    EXPECT_STREQ("part", line);
    EXPECT_EQ(nullptr, kuTelnet_Gets(s.connection, line, sizeof line));
    unsigned char c;
    EXPECT_EQ(0, kuTelnet_RecvChar(s.connection, &c));

    EXPECT_EQ(-1, kuTelnet_RecvChar(nullptr, &c));
    EXPECT_EQ(-1, kuTelnet_RecvChar(s.connection, nullptr));
    EXPECT_EQ(-1, kuTelnet_RecvLine(nullptr, line, sizeof line));
    EXPECT_EQ(nullptr, kuTelnet_Gets(nullptr, line, sizeof line));
}

TEST(kuTelnet, Output)
{
    kutest::LogCapture log;
    Session s;
    ASSERT_NE(nullptr, s.connection);
    EXPECT_EQ(3, kuTelnet_Send(s.connection, "abc", 3));
    EXPECT_EQ(4, kuTelnet_Print(s.connection, "de\r\n"));
    EXPECT_EQ(9, kuTelnet_Printf(s.connection, "n=%d %s\r\n", 42, "ok"));
    EXPECT_EQ(0, kuTelnet_SendTelnetCommand(s.connection, kAYT));
    EXPECT_EQ(0, kuTelnet_SendTelnetCommandOption(s.connection, kWILL, 1));
    EXPECT_EQ("abcde\r\nn=42 ok\r\n" + bytes({kIAC, kAYT, kIAC, kWILL, 1}),
              recvUpTo(s.client, 21));

    EXPECT_EQ(-1, kuTelnet_Printf(s.connection, nullptr));
    EXPECT_TRUE(logged(log, "kuTelnet_VPrintf: Could not allocate memory for a string"));
    EXPECT_TRUE(logged(log, "kuTelnet_VPrintf:   aFormat: '(null)'"));
    EXPECT_EQ(-1, kuTelnet_Print(s.connection, nullptr));
    EXPECT_EQ(-1, kuTelnet_Send(s.connection, nullptr, 1));
    EXPECT_EQ(-1, kuTelnet_Send(nullptr, "x", 1));
    EXPECT_EQ(-1, kuTelnet_Printf(nullptr, "x"));
    EXPECT_EQ(-1, kuTelnet_SendTelnetCommandOption(nullptr, kDO, 1));

    EXPECT_EQ(-1, kuTelnet_ConnectionClose(s.connection));
    EXPECT_EQ(-1, kuTelnet_ConnectionClose(s.connection));
    EXPECT_EQ(-1, kuTelnet_Print(s.connection, "late"));
    EXPECT_EQ("", recvToEnd(s.client));
    EXPECT_EQ(-1, kuTelnet_ConnectionClose(nullptr));
    kuTelnet_ConnectionDelete(nullptr);
}

TEST(kuTelnet, CloseFromAnotherThreadEndsBlockedCallsQuietly)
{
    kutest::LogCapture log;
    Listening l;
    ASSERT_NE(0, l.port);
    std::atomic<bool> returned{false};
    kuTelnetConnection *accepted = reinterpret_cast<kuTelnetConnection *>(1);
    std::thread acceptor([&] {
        accepted = kuTelnet_AcceptConnection(l.server);
        returned = true;
    });
    // Whether the accept is already blocked or not yet called, it must fail.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(-1, kuTelnet_Close(l.server));
    acceptor.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(nullptr, accepted);

    Session s;
    ASSERT_NE(nullptr, s.connection);
    int result = 99;
    std::thread reader([&] {
        unsigned char c;
        result = kuTelnet_RecvChar(s.connection, &c);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kuTelnet_ConnectionClose(s.connection);
    reader.join();
    EXPECT_EQ(0, result);
    EXPECT_EQ("", recvToEnd(s.client));
    EXPECT_EQ("", log.text());
}

namespace {

bool onPath(const char *program)
{
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Drives the system's telnet client: it negotiates its usual options (shown by
// "toggle options"), types a line, asks Are You There and interrupts.
const char kClientScript[] = R"(
set timeout 10
set port [lindex $argv 0]
log_file -noappend [lindex $argv 1]
spawn telnet -c
expect "telnet> " {} timeout { exit 1 }
send "toggle options\r"
expect "telnet> " {} timeout { exit 1 }
send "open 127.0.0.1 -$port\r"
expect "ready> " {} timeout { exit 2 }
send "hello world\r"
expect "got <hello world>" {} timeout { exit 3 }
send "\035"
expect "telnet> " {} timeout { exit 4 }
send "send ayt\r"
expect "kuTelnet: I'm here" {} timeout { exit 5 }
send "\035"
expect "telnet> " {} timeout { exit 6 }
send "send ip\r"
expect "Connection closed by foreign host." {} timeout { exit 7 } eof { exit 8 }
exit 0
)";

} // namespace

TEST(kuTelnet, RealTelnetClient)
{
    if (!onPath("telnet") || !onPath("expect") || std::system("expect -v >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no telnet client or expect installed (apt-get install inetutils-telnet "
                        "expect)";
    kutest::TempDir dir;
    kutest::writeFile(dir.file("client.exp"), kClientScript);
    Listening l;
    ASSERT_NE(0, l.port);

    std::string firstLine;
    bool secondLineFailed = false;
    std::thread console([&] {
        kuTelnetConnection *c = kuTelnet_AcceptConnection(l.server);
        if (c == nullptr)
            return;
        char line[64];
        kuTelnet_Print(c, "ready> ");
        if (kuTelnet_Gets(c, line, sizeof line) != nullptr) {
            firstLine = line;
            kuTelnet_Printf(c, "got <%s>\r\n", line);
            secondLineFailed = kuTelnet_Gets(c, line, sizeof line) == nullptr;
        }
        kuTelnet_ConnectionDelete(c);
    });
    std::string command = "expect " + dir.file("client.exp") + " " + std::to_string(l.port) +
                          " " + dir.file("client.log") + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    kuTelnet_Close(l.server); // frees the console thread should the client have failed early
    console.join();
    std::string transcript = kutest::readFile(dir.file("client.log"));
    EXPECT_EQ(0, status) << transcript;
    EXPECT_EQ("hello world", firstLine);
    EXPECT_TRUE(secondLineFailed);

    // Every option the client offered or asked for was refused, and the
    // server offered none of its own.
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = transcript.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = transcript.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    auto has = [&](const std::string &wanted) {
        // The client's own output may share the line ("ready> RCVD ...").
        for (const std::string &line : lines)
            if (line.size() >= wanted.size() &&
                line.compare(line.size() - wanted.size(), wanted.size(), wanted) == 0)
                return true;
        return false;
    };
    int negotiated = 0;
    for (const std::string &line : lines) {
        EXPECT_EQ(std::string::npos, line.find("RCVD WILL ")) << line;
        EXPECT_EQ(std::string::npos, line.find("RCVD DO ")) << line;
        if (line.rfind("SENT DO ", 0) == 0) {
            negotiated++;
            EXPECT_TRUE(has("RCVD WONT " + line.substr(8))) << line;
        } else if (line.rfind("SENT WILL ", 0) == 0) {
            negotiated++;
            EXPECT_TRUE(has("RCVD DONT " + line.substr(10))) << line;
        }
    }
    EXPECT_GT(negotiated, 0) << transcript;
}

namespace {

// A console that serves connections one after the other, answering "ping"
// with "pong", until its server is closed.
struct Console {
    Listening listening;
    std::mutex mutex;
    std::condition_variable changed;
    int served = 0;
    std::thread thread;

    Console()
    {
        thread = std::thread([this] {
            while (kuTelnetConnection *c = kuTelnet_AcceptConnection(listening.server)) {
                char line[32];
                while (kuTelnet_RecvLine(c, line, sizeof line) >= 0)
                    if (strcmp(line, "ping") == 0)
                        kuTelnet_Print(c, "pong\r\n");
                kuTelnet_ConnectionDelete(c);
                std::lock_guard<std::mutex> lock(mutex);
                served++;
                changed.notify_all();
            }
        });
    }
    ~Console()
    {
        kuTelnet_Close(listening.server);
        thread.join();
    }
    // False when the console did not finish the connection within 10 s.
    bool waitServed(int count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return served >= count; });
    }
};

// Sends payload on a new connection and ends it with a FIN or, abruptly, a
// reset.
void hitAndRun(int port, const std::string &payload, bool reset)
{
    int c = connectTo(port);
    if (c < 0)
        return;
    sendAll(c, payload);
    if (reset) {
        linger l{1, 0};
        setsockopt(c, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    } else {
        shutdown(c, SHUT_WR);
    }
    close(c);
}

} // namespace

TEST(kuTelnet, SurvivesHostilePeers)
{
    Console console;
    ASSERT_NE(0, console.listening.port);
    std::vector<std::pair<std::string, bool>> runs;
    // Every command with every option.
    for (int command = 0; command < 256; command++) {
        std::string payload;
        for (int option = 0; option < 256; option++)
            payload += bytes({kIAC, command, option});
        runs.emplace_back(payload, command % 2 == 0);
    }
    // Sequences cut short by the end of the connection.
    for (const std::string &cut : {bytes({kIAC}), bytes({kIAC, kWILL}), bytes({kIAC, kDO}),
                                   bytes({kIAC, 250}), "half a line" + bytes({kIAC}),
                                   std::string()}) {
        runs.emplace_back(cut, false);
        runs.emplace_back(cut, true);
    }
    // Random bytes.
    std::minstd_rand random(12345);
    for (int i = 0; i < 100; i++) {
        std::string payload(1 + random() % 4096, '\0');
        for (char &c : payload)
            c = (char)random();
        runs.emplace_back(payload, i % 3 == 0);
    }

    int count = 0;
    for (const auto &run : runs) {
        hitAndRun(console.listening.port, run.first, run.second);
        ASSERT_TRUE(console.waitServed(++count)) << "console hung on connection " << count;
    }

    int c = connectTo(console.listening.port);
    ASSERT_GE(c, 0);
    sendAll(c, "ping\r\n");
    EXPECT_EQ("pong\r\n", recvUpTo(c, 6));
    close(c);
}
