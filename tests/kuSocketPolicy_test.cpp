#include <kuvanaTools/kuConfigFile.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuSocketPolicy.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const uint32_t kOwn = 0x0A000002;   // 10.0.0.2
const uint32_t kOther = 0xC0A80105; // 192.168.1.5
const uint32_t kLoopBack = 0x7F000001;

// A policy configured from the text of one section "[net]".
struct Configured {
    kutest::TempDir dir;
    kuSocketPolicy *policy = kuSocketPolicy_New(0, nullptr);
    explicit Configured(const std::string &section)
    {
        std::string path = dir.file("policy.ini");
        kutest::writeFile(path, "[net]\n" + section);
        kuConfigFile *config = kuConfigFile_New(path.c_str(), nullptr);
        kuSocketPolicy_Configure(policy, config, "net");
        kuConfigFile_Delete(config);
    }
    ~Configured() { kuSocketPolicy_Delete(policy); }
    int valid(const char *name) { return kuSocketPolicy_IsValidIF(policy, name); }
};

TEST(SocketPolicy, ExcludeListMatchesFirstCharacterExactlyAndTheRestIgnoringCase)
{
    Configured c("exclude-if = eth1, \"wlan*\"\nQOSDisabled=1\n");
    EXPECT_EQ(0, c.valid("eth1"));
    EXPECT_EQ(0, c.valid("eTH1"));
    EXPECT_EQ(0, c.valid("wlan0"));
    EXPECT_EQ(1, c.valid("eth0"));
    EXPECT_EQ(1, c.valid("ETH1"));
    EXPECT_EQ(1, c.valid("eth10"));
    EXPECT_EQ(0, c.valid(nullptr));
}

TEST(SocketPolicy, WithoutPatternsEveryInterfaceIsValid)
{
    for (const char *section : {"", "exclude-if=\n", "exclude-if=\"\"\n", "exclude-if= , ,\n"}) {
        Configured c(section);
        EXPECT_EQ(1, c.valid("eth0")) << section;
        EXPECT_EQ(1, c.valid("")) << section;
    }
    kuSocketPolicy *fresh = kuSocketPolicy_New(0, nullptr);
    EXPECT_EQ(1, kuSocketPolicy_IsValidIF(fresh, "lo"));
    kuSocketPolicy_Delete(fresh);
}

TEST(SocketPolicy, ConfigureCreatesQoSUnlessDisabledAndReplacesEarlierSettings)
{
    kutest::ScopedPlatformHooks hooks;
    int created = 0;
    void *owner = nullptr;
    hooks->qosNew = [&](void *policy) {
        created++;
        owner = policy;
        return kutest::real::qosNew(policy);
    };
    {
        Configured c("exclude-if=eth*\n");
        EXPECT_EQ(1, created);
        EXPECT_EQ(c.policy, owner);
    }
    Configured disabled("QOSDisabled=1\nexclude-if=eth*\n");
    EXPECT_EQ(1, created);

    // A second configuration drops the patterns it no longer names.
    EXPECT_EQ(0, disabled.valid("eth0"));
    std::string path = disabled.dir.file("second.ini");
    kutest::writeFile(path, "[net]\nQOSDisabled=0\n");
    kuConfigFile *config = kuConfigFile_New(path.c_str(), nullptr);
    kuSocketPolicy_Configure(disabled.policy, config, "net");
    kuSocketPolicy_Configure(disabled.policy, config, "net");
    kuSocketPolicy_Configure(disabled.policy, nullptr, "net");
    kuConfigFile_Delete(config);
    EXPECT_EQ(1, disabled.valid("eth0"));
    EXPECT_EQ(3, created);
}

TEST(SocketPolicy, DefaultAcceptanceTakesOnlyTheHostsOwnAddresses)
{
    kutest::FakeAddressList host({kOther, kOwn});
    kutest::ScopedPlatformHooks hooks;
    host.install(hooks);
    kuSocketPolicy *policy = kuSocketPolicy_New(0, nullptr);

    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(policy, 5, kOwn));
    EXPECT_EQ(1, host.lastFlags()); // loopback peers count as own
    EXPECT_EQ(policy, host.lastPolicy());
    EXPECT_EQ(0, kuSocketPolicy_AcceptConnection(policy, 5, kOwn + 1));
    int calls = host.calls();
    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(policy, 5, 0));
    EXPECT_EQ(calls, host.calls());

    host.set({});
    EXPECT_EQ(0, kuSocketPolicy_AcceptConnection(policy, 5, kOwn));
    host.fail();
    EXPECT_EQ(0, kuSocketPolicy_AcceptConnection(policy, 5, kOwn));
    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(policy, 5, 0));
    kuSocketPolicy_Delete(policy);
}

TEST(SocketPolicy, ModeSelectsTheDefaultAddressListAndLoopBackMapping)
{
    kutest::FakeAddressList host({kOwn});
    kutest::FakeAddressList localHost({kLoopBack});
    kutest::ScopedPlatformHooks hooks;
    host.install(hooks);
    localHost.installLocalHost(hooks);

    struct Case {
        uint32_t mode;
        int hostFlags; // flags the host list gets for flags 1; -1: local host list used
    };
    for (Case c : {Case{0, 1}, Case{1, 1}, Case{2, 0}, Case{3, -1}, Case{0x102, 0}, Case{7, -1}}) {
        kuSocketPolicy *policy = kuSocketPolicy_New(c.mode, nullptr);
        int hostCalls = host.calls(), localCalls = localHost.calls();
        uint32_t *list = nullptr;
        int count = kuSocketPolicy_GetIPAddressList(policy, &list, 1);
        ASSERT_EQ(1, count) << c.mode;
        if (c.hostFlags < 0) {
            EXPECT_EQ(kLoopBack, list[0]);
            EXPECT_EQ(localCalls + 1, localHost.calls());
            EXPECT_EQ(1, localHost.lastFlags());
            EXPECT_EQ(hostCalls, host.calls());
        } else {
            EXPECT_EQ(kOwn, list[0]) << c.mode;
            EXPECT_EQ(c.hostFlags, host.lastFlags()) << c.mode;
            EXPECT_EQ(localCalls, localHost.calls());
        }
        kuFree(list);

        // The platform maps loopback addresses to 127.0.0.1 itself.
        uint32_t mapped = kuSocketPolicy_MapLocalIPAddressToLoopBack(policy, 0x7F000005);
        EXPECT_EQ(c.hostFlags < 0 ? kLoopBack : 0x7F000005u, mapped) << c.mode;
        kuSocketPolicy_Delete(policy);
    }
}

// Replacements that record their arguments and answer from them.
int gSeenSocket;
int acceptEvenSockets(kuSocketPolicy *policy, int32_t socket, uint32_t peer)
{
    gSeenSocket = socket;
    return kuSocketPolicy_GetUserData(policy) != nullptr && peer == kOther && socket % 2 == 0;
}
int twoAddresses(kuSocketPolicy *, uint32_t **list, int flags)
{
    *list = (uint32_t *)kuMalloc(2 * sizeof(uint32_t));
    (*list)[0] = kOwn;
    (*list)[1] = (uint32_t)flags;
    return 2;
}
uint32_t nextAddress(kuSocketPolicy *, uint32_t address)
{
    return address + 1;
}

TEST(SocketPolicy, ReplacedFunctionsAreCalledAndNullPutsTheDefaultBack)
{
    kutest::FakeAddressList host({kOwn});
    kutest::ScopedPlatformHooks hooks;
    host.install(hooks);
    int data = 0;
    kuSocketPolicy *policy = kuSocketPolicy_New(0, &data);
    EXPECT_EQ(&data, kuSocketPolicy_GetUserData(policy));

    kuSocketPolicy_SetFunc(policy, acceptEvenSockets, twoAddresses, nextAddress);
    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(policy, 4, kOther));
    EXPECT_EQ(0, kuSocketPolicy_AcceptConnection(policy, 7, kOther));
    EXPECT_EQ(7, gSeenSocket);
    uint32_t *list = nullptr;
    ASSERT_EQ(2, kuSocketPolicy_GetIPAddressList(policy, &list, 9));
    EXPECT_EQ(9u, list[1]);
    kuFree(list);
    EXPECT_EQ(kOwn + 1, kuSocketPolicy_MapLocalIPAddressToLoopBack(policy, kOwn));
    // The default acceptance asks the default list, not the replacement.
    EXPECT_EQ(0, kuSocketPolicy_Default_AcceptConnection(policy, 4, kOther));

    kuSocketPolicy_SetFunc(policy, nullptr, nullptr, nullptr);
    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(policy, 7, kOwn));
    EXPECT_EQ(kOwn, kuSocketPolicy_MapLocalIPAddressToLoopBack(policy, kOwn));
    EXPECT_EQ(-1, kuSocketPolicy_GetIPAddressList(policy, nullptr, 0));
    kuSocketPolicy_Delete(policy);
}

TEST(SocketPolicy, NullPolicyAnswersAsAFreshModeZeroPolicy)
{
    kutest::FakeAddressList host({kOwn});
    kutest::ScopedPlatformHooks hooks;
    host.install(hooks);
    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(nullptr, 3, kOwn));
    EXPECT_EQ(0, kuSocketPolicy_AcceptConnection(nullptr, 3, kOther));
    uint32_t *list = nullptr;
    EXPECT_EQ(1, kuSocketPolicy_GetIPAddressList(nullptr, &list, 0));
    kuFree(list);
    EXPECT_EQ(kOwn, kuSocketPolicy_MapLocalIPAddressToLoopBack(nullptr, kOwn));
    EXPECT_EQ(1, kuSocketPolicy_IsValidIF(nullptr, "eth0"));
    EXPECT_EQ(nullptr, kuSocketPolicy_GetUserData(nullptr));
    kuSocketPolicy_SetFunc(nullptr, acceptEvenSockets, nullptr, nullptr);
    kuSocketPolicy_Configure(nullptr, nullptr, "net");
    kuSocketPolicy_Delete(nullptr);
}

} // namespace
