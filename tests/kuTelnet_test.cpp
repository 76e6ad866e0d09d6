#include <kuvanaTools/kuTelnet.h>

#include "support/Loopback.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KU_TEST_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(KU_TEST_TSAN)
// A close from another thread is how the console ends a blocked call.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:kuSocketClose_Debug\n";
}
#endif

using kutest::recvUpTo;
using kutest::sendAll;

namespace {

const int kIAC = 255, kDO = 253, kWONT = 252, kWILL = 251, kAYT = 246;

std::string bytes(std::initializer_list<int> list)
{
    return std::string(list.begin(), list.end());
}

// A server listening on a fresh loopback port.
struct Listening {
    kuTelnet *server = kuTelnet_New();
    uint16_t port = 0;
    Listening()
    {
        for (int tries = 0; tries < 20 && port == 0; tries++) {
            uint16_t candidate = 0; // a port that nothing listens on right now
            close(kutest::listenOnLoopback(&candidate));
            if (kuTelnet_Listen(server, "127.0.0.1", candidate) == 0)
                port = candidate;
        }
    }
    ~Listening() { kuTelnet_Delete(server); }
};

// A server and one accepted connection with a raw client socket.
struct Session {
    Listening listening;
    int client = kutest::connectToLoopback(listening.port);
    kuTelnetConnection *connection = kuTelnet_AcceptConnection(listening.server);
    ~Session()
    {
        kuTelnet_ConnectionDelete(connection);
        close(client);
    }
};

// Whether the console logged this text (without its line feed), formatted
// with a pointer and a number.
bool logged(const kutest::LogCapture &log, const char *format, const void *pointer = nullptr,
            int number = 0)
{
    char text[200];
    snprintf(text, sizeof text, format, pointer, number);
    for (const std::string &line : log.lines())
        if (line.rfind("KU 1 92 kuvanaTools/kuTelnet:", 0) == 0 &&
            line.substr(line.find(": ") + 2) == text)
            return true;
    return false;
}

} // namespace

TEST(kuTelnet, ListenAcceptOutputLinesAndFailures)
{
    kutest::LogCapture log;
    Listening l;
    ASSERT_NE(0, l.port);
    // A second listen is refused and leaves the first socket listening.
    EXPECT_EQ(1, kuTelnet_Listen(l.server, "127.0.0.1", 0));
    EXPECT_TRUE(logged(log, "kuTelnet_Listen: [%p] Already listening. Ccurrent kuTelnet "
                            "implementation can listen on one ip/port only.", l.server));
    int c = kutest::connectToLoopback(l.port);
    kuTelnetConnection *connection = kuTelnet_AcceptConnection(l.server);
    ASSERT_NE(nullptr, connection);
    EXPECT_EQ(3, kuTelnet_Send(connection, "abc", 3));
    EXPECT_EQ(4, kuTelnet_Print(connection, "de\r\n"));
    EXPECT_EQ(9, kuTelnet_Printf(connection, "n=%d %s\r\n", 42, "ok"));
    EXPECT_EQ(0, kuTelnet_SendTelnetCommand(connection, kAYT));
    EXPECT_EQ(0, kuTelnet_SendTelnetCommandOption(connection, kWILL, 1));
    EXPECT_EQ("abcde\r\nn=42 ok\r\n" + bytes({kIAC, kAYT, kIAC, kWILL, 1}),
              recvUpTo(c, 21));
    EXPECT_EQ(-1, kuTelnet_Printf(connection, nullptr));
    EXPECT_TRUE(logged(log, "kuTelnet_VPrintf: Could not allocate memory for a string"));
    EXPECT_EQ(-1, kuTelnet_Send(nullptr, "x", 1));

    // The port is taken: bind fails and leaves the server free to listen again.
    kuTelnet *server = kuTelnet_New();
    EXPECT_EQ(1, kuTelnet_Listen(server, "127.0.0.1", l.port));
    EXPECT_TRUE(logged(log, "kuTelnet_Listen: [%p] Could not bind listen socket to "
                            "addr='127.0.0.1' port=%d", server, l.port));
    EXPECT_EQ(1, kuTelnet_Listen(server, "no.such.host.invalid", 0));
    EXPECT_TRUE(logged(log, "kuTelnet_Listen: [%p] Could not resolve address "
                            "'no.such.host.invalid'", server));
    // Never listening and not closed: the failed accept is logged.
    EXPECT_EQ(nullptr, kuTelnet_AcceptConnection(server));
    EXPECT_TRUE(logged(log, "kuTelnet_AcceptConnection: [%p] Listen socket error, can not "
                            "accept connections", server));
    EXPECT_EQ(0, kuTelnet_Listen(server, "localhost", 0)); // by name, on any port
    // Closed on purpose: it is not.
    EXPECT_EQ(-1, kuTelnet_Close(server));
    size_t records = log.lines().size();
    EXPECT_EQ(nullptr, kuTelnet_AcceptConnection(server));
    EXPECT_EQ(records, log.lines().size());
    kuTelnet_Delete(server);
    EXPECT_EQ(1, kuTelnet_Listen(nullptr, nullptr, 0));

    // A close from another thread ends a blocked accept or receive quietly.
    kuTelnetConnection *accepted = reinterpret_cast<kuTelnetConnection *>(1);
    int received = 99;
    std::thread acceptor([&] { accepted = kuTelnet_AcceptConnection(l.server); });
    std::thread reader([&] {
        unsigned char byte = 0;
        received = kuTelnet_RecvChar(connection, &byte);
    });
    // Whether the calls are already blocked or not yet made, they must fail.
    usleep(50000);
    EXPECT_EQ(-1, kuTelnet_Close(l.server));
    EXPECT_EQ(-1, kuTelnet_ConnectionClose(connection));
    acceptor.join();
    reader.join();
    EXPECT_EQ(nullptr, accepted);
    EXPECT_EQ(0, received);
    EXPECT_EQ("", recvUpTo(c, 1));
    EXPECT_EQ(-1, kuTelnet_Print(connection, "x"));
    EXPECT_EQ(records, log.lines().size());
    kuTelnet_ConnectionDelete(connection);
    close(c);

    Session s;
    ASSERT_NE(nullptr, s.connection);
    // A line ends at a line feed (a CR before it dropped) or a NUL; an option is refused; the
    // peer ends the connection in the middle of a line. (The command table, Interrupt Process
    // and line rules byte by byte: the console's fuzz target.)
    char line[8] = "";
    sendAll(s.client, "ls\r\n" + bytes({kIAC, kDO, 1}) + std::string("x\0part", 6));
    EXPECT_EQ(2, kuTelnet_RecvLine(s.connection, line, sizeof line));
    EXPECT_STREQ("ls", line);
    EXPECT_EQ(line, kuTelnet_Gets(s.connection, line, sizeof line));
    EXPECT_STREQ("x", line);
    EXPECT_EQ(bytes({kIAC, kWONT, 1}), recvUpTo(s.client, 3));
    shutdown(s.client, SHUT_WR);
    EXPECT_EQ(-1, kuTelnet_RecvLine(s.connection, line, sizeof line));
    EXPECT_STREQ("part", line);
    EXPECT_EQ(nullptr, kuTelnet_Gets(s.connection, line, sizeof line));
    unsigned char byte = 0;
    EXPECT_EQ(0, kuTelnet_RecvChar(s.connection, &byte));

    // A peer that resets the connection: sends fail without a signal, the
    // receive ends. (Every byte sequence, cut short or failing: the console's
    // fuzz target; over-long lines and peers stopping mid-line: the tool's suite.)
    Session r;
    linger hard{1, 0};
    setsockopt(r.client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(r.client);
    r.client = -1;
    kuTelnet_Print(r.connection, "x");
    EXPECT_EQ(-1, kuTelnet_Print(r.connection, "x"));
    EXPECT_GE(0, kuTelnet_RecvChar(r.connection, &byte));
}

