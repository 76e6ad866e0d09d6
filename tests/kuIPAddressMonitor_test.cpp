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

    // Each list in turn and whether polling reports a change: a reordering
    // and one address differing are changes; losing every address is one,
    // and with nothing stored the monitor stops comparing.
    const struct { std::vector<uint32_t> list; bool fail; int changed; } steps[] = {
        {{kA, kB}, false, 0}, {{kA, kB, kC}, false, 1}, {{kA, kB, kC}, false, 0},
        {{kA, kC, kB}, false, 1}, {{kA, kC, kA ^ 1}, false, 1}, {{kA}, true, 1}, {{kA}, false, 0},
    };
    for (auto &step : steps) {
        host.set(step.list, step.fail);
        EXPECT_EQ(step.changed, kuIPAddressMonitor_IPAddressChanged(monitor)) << (&step - steps);
        if (step.changed && !step.fail) {
            EXPECT_EQ(step.list, cloned(monitor));
        }
    }
    EXPECT_EQ(std::vector<uint32_t>(), cloned(monitor));
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
    for (int t = 0; t < 4; t++) // one polls, three clone
        threads.emplace_back([&, t] {
            while (!done)
                if (t == 0)
                    changes += kuIPAddressMonitor_IPAddressChanged(monitor);
                else
                    EXPECT_NE(lists.end(), std::find(lists.begin(), lists.end(), cloned(monitor)));
        });
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
