#include <kuvanaTools/kuSocketLog.h>

#include "support/Loopback.h"
#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

namespace {

// Runs the test in a fresh working directory, with a socket/ subdirectory
// unless asked not to.
struct InTempDir {
    kutest::TempDir dir;
    char saved[4096];
    explicit InTempDir(bool withSocketDir = true)
    {
        EXPECT_NE(nullptr, getcwd(saved, sizeof saved));
        if (withSocketDir)
            mkdir(dir.file("socket").c_str(), 0755);
        EXPECT_EQ(0, chdir(dir.path().c_str()));
    }
    ~InTempDir() { EXPECT_EQ(0, chdir(saved)); }

    std::set<std::string> files() const
    {
        std::set<std::string> names;
        if (DIR *d = opendir("socket")) {
            while (dirent *e = readdir(d))
                if (e->d_name[0] != '.')
                    names.insert(std::string("socket/") + e->d_name);
            closedir(d);
        }
        return names;
    }
};

// The socket log's records, as "<line>: <text>".
std::vector<std::string> records(const kutest::LogCapture &log)
{
    std::vector<std::string> found;
    const std::string prefix = "KU 1 55 kuvanaTools/kuSocketLog:";
    for (const std::string &line : log.lines())
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line.substr(prefix.size()));
    return found;
}

// Peers of made-up socket handles.
void fakePeer(kutest::ScopedPlatformHooks &hooks, int32_t socket, uint32_t address,
              uint16_t port)
{
    hooks->peerName = [=](int32_t s, uint32_t *a, uint16_t *p, const char *label) {
        if (s != socket)
            return kutest::real::peerName(s, a, p, label);
        EXPECT_STREQ("_Log_Buffer_GetFileName", label);
        *a = address;
        *p = port;
        return 0;
    };
}

// A connected pair of loopback sockets.
struct Loopback {
    uint16_t listenPort = 0;
    int listener = kutest::listenOnLoopback(&listenPort);
    int client = kutest::connectToLoopback(listenPort);
    int server = accept(listener, nullptr, nullptr);
    uint16_t clientPort = kutest::localPort(client);
    ~Loopback()
    {
        close(server);
        close(client);
        close(listener);
    }
};

std::string name(uint16_t port, int socket)
{
    return "socket/127.0.0.1-" + std::to_string(port) + "-[" + std::to_string(socket) + "].txt";
}

} // namespace

TEST(kuSocketLog, LoopbackConversationIsLoggedByteForByte)
{
    InTempDir dir;
    kutest::LogCapture log;
    _kuLog_Level.level = 5; // the close marker is written from level 5 on
    Loopback net;
    ASSERT_GE(net.server, 0);
    _Log_Buffer_Open(net.client);
    _Log_Buffer_Open(net.server);

    // Each side logs what it sent and what it received, chunk by chunk.
    auto transfer = [](int from, int to, const std::string &data) {
        ASSERT_EQ((ssize_t)data.size(), send(from, data.data(), data.size(), 0));
        _Log_Buffer_Send(from, data.data(), (int32_t)data.size());
        size_t got = 0;
        char buffer[7]; // small, so the receiver logs several pieces
        while (got < data.size()) {
            ssize_t n = recv(to, buffer, sizeof buffer, 0);
            ASSERT_GT(n, 0);
            _Log_Buffer_Data(to, buffer, (int32_t)n);
            got += (size_t)n;
        }
    };
    const std::string request = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::string response("HTTP/1.1 200 OK\r\n\r\n\0\xff\x01", 22);
    transfer(net.client, net.server, request);
    transfer(net.server, net.client, response);
    _Log_Buffer_Send(net.server, nullptr, -1);
    _Log_Buffer_Data(net.client, "junk", -1);
    _Log_Buffer_Close(net.server);
    _kuLog_Level.level = 4;
    _Log_Buffer_Close(net.client);

    const std::string serverFile = name(net.clientPort, net.server);
    const std::string clientFile = name(net.listenPort, net.client);
    EXPECT_EQ((std::set<std::string>{serverFile, clientFile}), dir.files());
    EXPECT_EQ(request + response + "\r\nERROR" + "\r\n*** CLOSED ***\r\n",
              kutest::readFile(serverFile));
    EXPECT_EQ(request + response + "\r\nERROR", kutest::readFile(clientFile));
    EXPECT_TRUE(records(log).empty()) << log.text();
}

TEST(kuSocketLog, FileNames)
{
    InTempDir dir;
    kutest::ScopedPlatformHooks hooks;
    fakePeer(hooks, 7, 0x0A000002, 8080);
    _Log_Buffer_Open(7);
    _Log_Buffer_Data(7, "abc", 3);
    _Log_Buffer_Send(7, "", 0);
    _Log_Buffer_Close(7);
    EXPECT_EQ("abc", kutest::readFile("socket/10.0.0.2-8080-[7].txt"));

    // The longest names are cut to 39 characters.
    fakePeer(hooks, 2000000000, 0xFFFFFFFF, 65535);
    _Log_Buffer_Open(2000000000);
    _Log_Buffer_Send(2000000000, "z", 1);
    _Log_Buffer_Close(2000000000);
    EXPECT_EQ((std::set<std::string>{"socket/10.0.0.2-8080-[7].txt",
                                     "socket/255.255.255.255-65535-[200000000"}),
              dir.files());
}

TEST(kuSocketLog, MisuseIsLogged)
{
    InTempDir dir;
    kutest::LogCapture log;
    _Log_Buffer_Close(42);
    _Log_Buffer_Close(-1); // ignored
    _Log_Buffer_Send(42, "x", 1);
    _Log_Buffer_Send(42, nullptr, -1);
    _Log_Buffer_Data(42, "x", 1);

    for (int32_t s = 1000; s < 1100; s++)
        _Log_Buffer_Open(s);
    _Log_Buffer_Open(2000); // no slot left
    _Log_Buffer_Data(2000, "x", 1);
    _Log_Buffer_Close(1050);
    _Log_Buffer_Open(2000); // takes the freed slot
    _Log_Buffer_Close(2000);
    for (int32_t s = 1000; s < 1100; s++)
        if (s != 1050)
            _Log_Buffer_Close(s);

    // 0 marks a free slot: it cannot be opened, nor found.
    _Log_Buffer_Open(0);
    _Log_Buffer_Close(0);
    // Lengths below -1 and null data write nothing and are not looked up.
    _Log_Buffer_Send(42, "x", -2);
    _Log_Buffer_Data(42, nullptr, 5);

    EXPECT_EQ((std::vector<std::string>{
                  "108: _Log_Buffer_Close Error",
                  "205: _Log_Buffer_Send Error 2",
                  "205: _Log_Buffer_Send Error 2",
                  "164: _Log_Buffer Error 2",
                  "76: _Log_Buffer_Open Error",
                  "164: _Log_Buffer Error 2",
                  "108: _Log_Buffer_Close Error",
              }),
              records(log));
    EXPECT_TRUE(dir.files().empty());
}

TEST(kuSocketLog, NothingWrittenWithoutPeerOrDirectory)
{
    kutest::LogCapture log;
    _kuLog_Level.level = 5;
    {
        // No socket directory: nothing written, nothing reported.
        InTempDir dir(false);
        Loopback net;
        _Log_Buffer_Open(net.client);
        _Log_Buffer_Send(net.client, "lost", 4);
        _Log_Buffer_Close(net.client);
        EXPECT_EQ(nullptr, opendir("socket"));
    }
    InTempDir dir;
    // A socket without data gets no file and no marker.
    Loopback net;
    _Log_Buffer_Open(net.client);
    _Log_Buffer_Close(net.client);
    EXPECT_TRUE(dir.files().empty());

    // The name is made once the peer is known: data sent before that is lost.
    int s = socket(AF_INET, SOCK_STREAM, 0);
    _Log_Buffer_Open(s);
    _Log_Buffer_Send(s, "early", 5);
    EXPECT_TRUE(dir.files().empty());
    ASSERT_TRUE(kutest::connectLoopback(s, net.listenPort));
    _Log_Buffer_Send(s, "late", 4);
    _Log_Buffer_Close(s);
    EXPECT_EQ("late\r\n*** CLOSED ***\r\n", kutest::readFile(name(net.listenPort, s)));
    close(s);
    EXPECT_TRUE(records(log).empty()) << log.text();
}
