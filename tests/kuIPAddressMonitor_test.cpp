#include <kuvanaTools/kuIPAddressMonitor.h>
#include <kuvanaTools/kuMemory.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

const uint32_t kA = 0x0A000002, kB = 0xC0A80105, kC = 0xAC100001;

std::vector<uint32_t> cloned(kuIPAddressMonitor *monitor)
{
    uint32_t *list = nullptr;
    int count = -1;
    kuIPAddressMonitor_CloneIPAddressList(monitor, &list, &count);
    std::vector<uint32_t> result(list, list + (list != nullptr ? count : 0));
    EXPECT_EQ(count, (int)result.size());
    kuFree(list);
    return result;
}

TEST(IPAddressMonitor, ReportsEachChangeOnceIncludingAReordering)
{
    kutest::FakeAddressList host;
    host.set({kA, kB});
    kutest::ScopedPlatformHooks hooks;
    hooks->ipAddressList = host.hook();
    kuSocketPolicy *policy = kuSocketPolicy_New(3, nullptr);
    kuIPAddressMonitor *monitor = kuIPAddressMonitor_New(policy);
    EXPECT_EQ(0, host.flags); // never loopback, whatever the mode
    EXPECT_EQ(policy, host.policy);
    EXPECT_EQ(std::vector<uint32_t>({kA, kB}), cloned(monitor));

    EXPECT_EQ(0, kuIPAddressMonitor_IPAddressChanged(monitor));
    host.set({kA, kB, kC});
    EXPECT_EQ(1, kuIPAddressMonitor_IPAddressChanged(monitor));
    EXPECT_EQ(0, kuIPAddressMonitor_IPAddressChanged(monitor));
    EXPECT_EQ(std::vector<uint32_t>({kA, kB, kC}), cloned(monitor));

    host.set({kA, kC, kB});
    EXPECT_EQ(1, kuIPAddressMonitor_IPAddressChanged(monitor));
    host.set({kA, kC, kA ^ 1}); // same count, one address differs
    EXPECT_EQ(1, kuIPAddressMonitor_IPAddressChanged(monitor));

    // Losing every address is a change; with nothing stored, the monitor
    // stops comparing.
    host.set({kA}, true);
    EXPECT_EQ(1, kuIPAddressMonitor_IPAddressChanged(monitor));
    EXPECT_EQ(std::vector<uint32_t>(), cloned(monitor));
    host.set({kA});
    EXPECT_EQ(0, kuIPAddressMonitor_IPAddressChanged(monitor));
    kuIPAddressMonitor_Delete(monitor);
    kuSocketPolicy_Delete(policy);

    EXPECT_EQ(0, kuIPAddressMonitor_IPAddressChanged(nullptr));
    EXPECT_EQ(std::vector<uint32_t>(), cloned(nullptr));
}

TEST(IPAddressMonitor, MutexFailureIsFatal)
{
    kutest::ChildResult child = kutest::runInChild([] {
        kutest::ScopedPlatformHooks hooks;
        hooks->mutexNew = [] { return (kuMutex *)nullptr; };
        kuIPAddressMonitor_New(nullptr);
    });
    EXPECT_EQ(255, child.exitStatus);
    EXPECT_NE(std::string::npos, child.out.find("kuFatalError: os:mutex")) << child.out;
}

// One thread polls while the list changes under it and others clone: every
// clone is one of the lists the host had, whole.
TEST(IPAddressMonitor, PollingAndCloningFromSeveralThreads)
{
    const std::vector<std::vector<uint32_t>> lists = {{kA}, {kA, kB}, {kC, kB, kA}, {kB}};
    kutest::FakeAddressList host;
    host.set(lists[0]);
    kutest::ScopedPlatformHooks hooks;
    hooks->ipAddressList = host.hook();
    kuIPAddressMonitor *monitor = kuIPAddressMonitor_New(nullptr);

    std::atomic<bool> done{false};
    std::atomic<int> changes{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        while (!done)
            changes += kuIPAddressMonitor_IPAddressChanged(monitor);
    });
    for (int t = 0; t < 3; t++) {
        threads.emplace_back([&] {
            while (!done)
                EXPECT_NE(lists.end(), std::find(lists.begin(), lists.end(), cloned(monitor)));
        });
    }
    // Each change is seen exactly once before the next one is made.
    const int rounds = 100;
    for (int round = 1; round <= rounds; round++) {
        host.set(lists[round % lists.size()]);
        while (changes < round)
            std::this_thread::yield();
    }
    done = true;
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(rounds, changes.load());
    EXPECT_EQ(lists[rounds % lists.size()], cloned(monitor));
    kuIPAddressMonitor_Delete(monitor);
}

} // namespace
