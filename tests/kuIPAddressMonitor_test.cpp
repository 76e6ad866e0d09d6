#include <kuvanaTools/kuIPAddressMonitor.h>
#include <kuvanaTools/kuMemory.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

const uint32_t kA = 0x0A000002, kB = 0xC0A80105, kC = 0xAC100001;
using List = std::vector<uint32_t>;

List cloned(kuIPAddressMonitor *monitor)
{
    uint32_t *list = nullptr;
    int count = -1;
    kuIPAddressMonitor_CloneIPAddressList(monitor, &list, &count);
    List result(list, list + (list != nullptr ? count : 0));
    EXPECT_EQ(count, (int)result.size());
    kuFree(list);
    return result;
}

TEST(IPAddressMonitor, ReportsEachChangeOnceWhileOthersCloneAndFailsOnNoMutex)
{
    kutest::FakeAddressList host;
    host.set({kA, kB});
    kutest::ScopedPlatformHooks hooks;
    hooks->ipAddressList = host.hook();
    kuSocketPolicy *policy = kuSocketPolicy_New(3, nullptr);
    kuIPAddressMonitor *monitor = kuIPAddressMonitor_New(policy);
    EXPECT_EQ(0, host.flags); // never loopback, whatever the mode
    EXPECT_EQ(policy, host.policy);

    // Each list in turn, whether polling reports a change and what a clone
    // holds then: a reordering and one address differing are changes; losing
    // every address is one, and with nothing stored the monitor stops comparing.
    const struct { List list; bool fail; int changed; List stored; } steps[] = {
        {{kA, kB}, false, 0, {kA, kB}},         {{kA, kB, kC}, false, 1, {kA, kB, kC}},
        {{kA, kB, kC}, false, 0, {kA, kB, kC}}, {{kA, kC, kB}, false, 1, {kA, kC, kB}},
        {{kA, kC, kA ^ 1}, false, 1, {kA, kC, kA ^ 1}}, {{kA}, true, 1, {}}, {{kA}, false, 0, {}},
    };
    for (auto &step : steps) {
        host.set(step.list, step.fail);
        EXPECT_EQ(step.changed, kuIPAddressMonitor_IPAddressChanged(monitor)) << (&step - steps);
        EXPECT_EQ(step.stored, cloned(monitor)) << (&step - steps);
    }
    kuIPAddressMonitor_Delete(monitor);
    kuSocketPolicy_Delete(policy);
    EXPECT_EQ(0, kuIPAddressMonitor_IPAddressChanged(nullptr));
    EXPECT_EQ(List(), cloned(nullptr));

    // Every clone made while the list changes is one of the host's lists, whole.
    const List lists[] = {{kA}, {kA, kB}, {kC, kB, kA}, {kB}};
    host.set(lists[0]);
    monitor = kuIPAddressMonitor_New(nullptr);
    std::atomic<bool> done{false};
    std::thread cloner([&] {
        while (!done)
            EXPECT_EQ(1, std::count(std::begin(lists), std::end(lists), cloned(monitor)));
    });
    for (size_t round = 1; round <= 100; round++) {
        host.set(lists[round % 4]);
        EXPECT_EQ(1, kuIPAddressMonitor_IPAddressChanged(monitor)) << round;
    }
    done = true;
    cloner.join();
    EXPECT_EQ(lists[0], cloned(monitor));
    kuIPAddressMonitor_Delete(monitor);

    kutest::ChildResult child = kutest::runInChild([] {
        kutest::ScopedPlatformHooks hooks;
        hooks->mutexNew = [] { return (kuMutex *)nullptr; };
        kuIPAddressMonitor_New(nullptr);
    });
    EXPECT_EQ(255, child.exitStatus) << "a mutex failure is fatal";
    EXPECT_NE(std::string::npos, child.out.find("kuFatalError: os:mutex")) << child.out;
}

} // namespace
