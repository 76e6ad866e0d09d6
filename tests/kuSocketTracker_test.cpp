#include <kuvanaTools/kuSocketTracker.h>
#include <kuvanaTools/private/kuSocketTrackerInternal.h>

#include "support/Loopback.h"
#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using ku::SocketTable;
using ku::SocketTrackerEntry;

namespace {

// Handles far above any descriptor limit: the system knows no such socket.
constexpr int32_t kFake = 1 << 24;

// Runs body in a child whose kuMutex_New answers with mutexNew, and reports
// how many mutexes the child asked for. Only meaningful while the tracker is
// unused in this process: the table is driven directly, never the tracker.
kutest::ChildResult firstUse(std::function<kuMutex *()> mutexNew, std::function<void()> body)
{
    return kutest::runInChild([&] {
        kutest::ScopedPlatformHooks hooks;
        std::atomic<int> asked{0};
        hooks->mutexNew = [&] { return asked++, mutexNew(); };
        body();
        printf("mutexes asked: %d\n", asked.load());
    });
}

} // namespace

TEST(kuSocketTracker, TableCountsStatesAndPortsFirstUseMakesOneMutexOrEndsTheProcess)
{
    SocketTable table{};
    for (int32_t s = 1; s <= 51; s++)
        table.add(kFake + s, 100 + s, 200 + s);
    EXPECT_EQ(nullptr, table.find(kFake + 51)); // the 51st is dropped
    SocketTrackerEntry &third = table.entries[2];
    EXPECT_TRUE(third.valueA == 103 && third.valueB == 203 && third.state == ku::kSocketAdded);
    table.remove(kFake + 3);
    EXPECT_TRUE(third.socket == 0 && third.state == ku::kSocketRemoved);
    table.add(kFake + 52, 1, 2); // takes the freed entry
    EXPECT_EQ(kFake + 52, third.socket);

    // Sockets that cannot be tracked leave the table alone.
    SocketTable before = table;
    for (int32_t s : {0, -1})
        table.add(s, 1, 1);
    table.remove(kFake + 51);
    table.count<&SocketTrackerEntry::received>(kFake + 999, 50);
    table.setState(0, ku::kSocketConnected);
    EXPECT_EQ(0, memcmp(&before, &table, sizeof table));

    // Counts go to every entry of a socket added twice; states and removal
    // to the first one.
    table.clear();
    for (int32_t s : {kFake, kFake + 1, kFake})
        table.add(s, 0, 0);
    table.count<&SocketTrackerEntry::sent>(kFake, 100);
    table.count<&SocketTrackerEntry::received>(kFake, 50);
    table.count<&SocketTrackerEntry::sent>(kFake, 0xFFFFFFFFu); // wraps
    for (int i : {0, 1, 2})
        EXPECT_TRUE(table.entries[i].sent == (i == 1 ? 0 : 99u) &&
                    table.entries[i].received == (i == 1 ? 0 : 50u)) << i;
    table.setState(kFake, ku::kSocketListening);
    EXPECT_EQ(ku::kSocketAdded, table.entries[2].state);
    table.remove(kFake);
    table.setState(kFake, ku::kSocketConnected);
    EXPECT_EQ(ku::kSocketConnected, table.entries[2].state);

    // Ports are learned once known.
    uint16_t listenPort = 0;
    int listener = kutest::listenOnLoopback(&listenPort), client = socket(AF_INET, SOCK_STREAM, 0);
    table.clear();
    table.add(listener, 0, 0);
    table.add(client, 0, 0);
    table.setState(listener, ku::kSocketListening);
    EXPECT_TRUE(table.entries[0].localPort == listenPort && table.entries[0].peerPort == 0);

    // Not bound yet: both ports stay 0 and are asked again later.
    table.count<&SocketTrackerEntry::sent>(client, 1);
    ASSERT_TRUE(kutest::connectLoopback(client, listenPort));
    table.setState(client, ku::kSocketConnected);
    EXPECT_EQ(kutest::localPort(client), table.entries[1].localPort);
    EXPECT_EQ(listenPort, table.entries[1].peerPort);

    // Known ports are kept, even once the socket is gone.
    close(client);
    table.count<&SocketTrackerEntry::received>(client, 1);
    EXPECT_EQ(listenPort, table.entries[1].peerPort);
    close(listener);

    // Threads use the unused tracker at once, each with its own sockets; 8 x 8
    // exceed the 50 entries, so adds are dropped and entries recycled while
    // others count. The table cannot be read from here:
    // a race shows under the thread sanitizer, a broken lock as a hang or a crash.
    kutest::ChildResult racing = firstUse(kutest::real::mutexNew, [] {
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; t++)
            threads.emplace_back([t] {
                const int32_t first = kFake + t * 8;
                for (int round = 0; round < 200; round++) {
                    for (int32_t s = first; s < first + 8; s++) {
                        kuSocketTracker_Add(s, t, round);
                        kuSocketTracker_Connect(s);
                        kuSocketTracker_Send(s, 10);
                        kuSocketTracker_Recv(s, 5);
                        kuSocketTracker_Listen(s);
                    }
                    kuSocketTracker_Dump();
                    for (int32_t s = first; s < first + 8; s++)
                        kuSocketTracker_Remove(s);
                }
            });
        for (std::thread &t : threads)
            t.join();
    });
    if (racing.out.find("mutexes asked: 0") != std::string::npos)
        GTEST_SKIP() << "the tracker was already in use in this process";
    EXPECT_EQ(0, racing.exitStatus) << racing.err;
    EXPECT_NE(std::string::npos, racing.out.find("mutexes asked: 1\n")) << racing.err;

    kutest::ChildResult failing = firstUse([] { return nullptr; }, [] { kuSocketTracker_Dump(); });
    EXPECT_EQ(255, failing.exitStatus);
    EXPECT_NE(std::string::npos, failing.out.find("kuFatalError: os:mutex")) << failing.out;
}
