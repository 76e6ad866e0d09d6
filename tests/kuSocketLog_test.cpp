#include <kuvanaTools/kuSocketLog.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <tuple>

namespace {

// Whether handle 7 has a peer yet.
bool gPeerKnown = false;

// Runs the test in a fresh working directory with a socket/ subdirectory;
// made-up socket handles have peers 10.0.0.2:8000+s
// (the largest handle 255.255.255.255:65535).
struct InTempDir {
    kutest::TempDir dir;
    std::filesystem::path saved = std::filesystem::current_path();
    kutest::ScopedPlatformHooks hooks;
    InTempDir()
    {
        mkdir(dir.file("socket").c_str(), 0755);
        std::filesystem::current_path(dir.path());
        hooks->peerName = [](int32_t s, uint32_t *a, uint16_t *p, const char *label) {
            EXPECT_STREQ("_Log_Buffer_GetFileName", label);
            if (s == 7 && !gPeerKnown)
                return -1;
            *a = s == 2000000000 ? 0xFFFFFFFF : 0x0A000002;
            *p = (uint16_t)(s == 2000000000 ? 65535 : 8000 + s);
            return 0;
        };
    }
    ~InTempDir() { std::filesystem::current_path(saved); }

    std::set<std::string> files() const
    {
        std::set<std::string> names;
        std::error_code none;
        for (auto &entry : std::filesystem::directory_iterator("socket", none))
            names.insert("socket/" + entry.path().filename().string());
        return names;
    }
};

} // namespace

// Each side logs what it sent and, in pieces, what it received; the close
// marker is written from level 5 on; longest names are cut to 39 characters.
// A file is named once the peer is known: what comes before is lost, and a
// socket without data gets no file; without a socket/ directory nothing is
// written. None of this is reported; misuse is.
TEST(kuSocketLog, ConversationIsLoggedByteForByteAndMisuseIsLogged)
{
    kutest::LogCapture log;
    _kuLog_Level.level = 5;
    InTempDir dir;
    ASSERT_EQ(0, rmdir("socket"));
    _Log_Buffer_Open(100);
    _Log_Buffer_Send(100, "lost", 4);
    _Log_Buffer_Close(100);
    ASSERT_EQ(0, mkdir("socket", 0755)); // nothing was written in its absence
    _Log_Buffer_Open(100);
    _Log_Buffer_Open(200);
    const std::string request = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::string response("HTTP/1.1 200 OK\r\n\r\n\0\xff\x01", 22);
    for (auto [from, to, data] : {std::make_tuple(100, 200, request), {200, 100, response}}) {
        _Log_Buffer_Send(from, data.data(), (int32_t)data.size());
        _Log_Buffer_Send(from, "", 0);
        for (size_t at = 0; at < data.size(); at += 7)
            _Log_Buffer_Data(to, data.data() + at, (int32_t)std::min<size_t>(7, data.size() - at));
    }
    _Log_Buffer_Send(200, nullptr, -1);
    _Log_Buffer_Data(100, "junk", -1);
    _Log_Buffer_Close(200);
    _Log_Buffer_Open(300);
    _Log_Buffer_Close(300);
    _Log_Buffer_Open(7);
    _Log_Buffer_Send(7, "early", 5);
    gPeerKnown = true;
    _Log_Buffer_Send(7, "late", 4);
    _Log_Buffer_Close(7);
    _kuLog_Level.level = 4;
    _Log_Buffer_Close(100);
    _Log_Buffer_Open(2000000000);
    _Log_Buffer_Send(2000000000, "z", 1);
    _Log_Buffer_Close(2000000000);

    // Misuse is logged and writes nothing.
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
    EXPECT_EQ((std::set<std::string>{"socket/10.0.0.2-8100-[100].txt",
                                     "socket/10.0.0.2-8200-[200].txt",
                                     "socket/255.255.255.255-65535-[200000000",
                                     "socket/10.0.0.2-8007-[7].txt"}),
              dir.files());
    EXPECT_EQ(request + response + "\r\nERROR\r\n*** CLOSED ***\r\n",
              kutest::readFile("socket/10.0.0.2-8200-[200].txt"));
    EXPECT_EQ(request + response + "\r\nERROR", kutest::readFile("socket/10.0.0.2-8100-[100].txt"));
    EXPECT_EQ("late\r\n*** CLOSED ***\r\n", kutest::readFile("socket/10.0.0.2-8007-[7].txt"));
    const std::string at = "KU 1 55 kuvanaTools/kuSocketLog:";
    EXPECT_EQ((std::vector<std::string>{
                  at + "108: _Log_Buffer_Close Error", at + "205: _Log_Buffer_Send Error 2",
                  at + "205: _Log_Buffer_Send Error 2", at + "164: _Log_Buffer Error 2",
                  at + "76: _Log_Buffer_Open Error", at + "164: _Log_Buffer Error 2",
                  at + "108: _Log_Buffer_Close Error"}),
              log.lines());
}
