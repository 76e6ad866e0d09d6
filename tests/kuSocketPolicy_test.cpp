#include <kuvanaTools/kuConfigFile.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuSocketPolicy.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

namespace {

const uint32_t kOwn = 0x0A000002, kOther = 0xC0A80105, kLoopBack = 0x7F000001;

// Configures policy from the text of a section "[net]".
void configure(kuSocketPolicy *policy, const std::string &section)
{
    kutest::TempDir dir;
    kutest::writeFile(dir.file("p.ini"), "[net]\n" + section);
    kuConfigFile *config = kuConfigFile_New(dir.file("p.ini").c_str(), nullptr);
    kuSocketPolicy_Configure(policy, config, "net");
    kuConfigFile_Delete(config);
}

TEST(SocketPolicy, ConfigurationModesAcceptanceAndReplacedFunctions)
{
    kutest::FakeAddressList host, localHost;
    kutest::ScopedPlatformHooks hooks;
    int qosMade = 0;
    hooks->qosNew = [&](void *owner) { return qosMade++, kutest::real::qosNew(owner); };
    kuSocketPolicy *policy = kuSocketPolicy_New(0, nullptr);

    configure(policy, "exclude-if = eth1, \"wlan*\"\n");
    EXPECT_EQ(1, qosMade);
    // (How a pattern matches: the string parser's suite.)
    for (auto [name, valid] : {std::make_pair("eth1", 0), {"wlan0", 0}, {"eth0", 1}, {"eth10", 1}})
        EXPECT_EQ(valid, kuSocketPolicy_IsValidIF(policy, name)) << name;
    EXPECT_EQ(0, kuSocketPolicy_IsValidIF(policy, nullptr));

    // Each configuration replaces the last; no or empty patterns keep all.
    for (const char *section : {"QOSDisabled=1\n", "exclude-if=\n", "exclude-if=\"\"\n",
                                "exclude-if= , ,\nQOSDisabled=1\n"}) {
        configure(policy, section);
        EXPECT_EQ(1, kuSocketPolicy_IsValidIF(policy, "eth1")) << section;
    }
    EXPECT_EQ(3, qosMade);
    kuSocketPolicy_Configure(policy, nullptr, "net");
    kuSocketPolicy_Delete(policy);

    host.set({kOwn});
    localHost.set({kLoopBack});
    hooks->ipAddressList = host.hook();
    hooks->localHostIPAddressList = localHost.hook();

    // Flags the host list gets when 1 is asked for; -1: the local host list.
    const struct { uint32_t mode; int flags; } cases[] = {{0, 1}, {1, 1}, {2, 0}, {3, -1},
                                                          {0x102, 0}, {7, -1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        policy = kuSocketPolicy_New(c.mode, nullptr);
        host.flags = localHost.flags = -1;
        uint32_t *list = nullptr;
        ASSERT_EQ(1, kuSocketPolicy_GetIPAddressList(policy, &list, 1));
        kuFree(list);
        EXPECT_EQ(c.flags, host.flags);
        EXPECT_EQ(c.flags < 0 ? 1 : -1, localHost.flags);
        // The platform maps any loopback address to 127.0.0.1.
        uint32_t mapped = kuSocketPolicy_MapLocalIPAddressToLoopBack(policy, 0x7F000005);
        EXPECT_EQ(c.flags < 0 ? kLoopBack : 0x7F000005u, mapped);
        kuSocketPolicy_Delete(policy);
    }

    host.set({kOther, kOwn});
    int data = 0;
    policy = kuSocketPolicy_New(0, &data);
    EXPECT_EQ(&data, kuSocketPolicy_GetUserData(policy));

    // By default only the host's own addresses (loopback included) are taken.
    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(policy, 5, kOwn));
    EXPECT_EQ(1, host.flags);
    EXPECT_EQ(policy, host.policy);
    EXPECT_EQ(0, kuSocketPolicy_AcceptConnection(policy, 5, kOwn + 1));
    host.set({});
    EXPECT_EQ(0, kuSocketPolicy_AcceptConnection(policy, 5, kOwn));
    host.set({kOwn}, true);
    EXPECT_EQ(0, kuSocketPolicy_AcceptConnection(policy, 5, kOwn));
    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(policy, 5, 0));
    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(nullptr, 5, 0));
    host.set({kOwn});

    kuSocketPolicy_SetFunc(
        policy,
        [](kuSocketPolicy *, int32_t socket, uint32_t peer) {
            return int(socket == 4 && peer == kOther);
        },
        [](kuSocketPolicy *, uint32_t **list, int flags) { return *list = nullptr, flags; },
        [](kuSocketPolicy *, uint32_t address) { return address + 1; });
    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(policy, 4, kOther));
    EXPECT_EQ(0, kuSocketPolicy_AcceptConnection(policy, 5, kOther));
    uint32_t *list = nullptr;
    EXPECT_EQ(9, kuSocketPolicy_GetIPAddressList(policy, &list, 9));
    EXPECT_EQ(kOwn + 1, kuSocketPolicy_MapLocalIPAddressToLoopBack(policy, kOwn));
    // The default acceptance asks the default list, not the replacement.
    EXPECT_EQ(1, kuSocketPolicy_Default_AcceptConnection(policy, 4, kOwn));

    kuSocketPolicy_SetFunc(policy, nullptr, nullptr, nullptr);
    EXPECT_EQ(1, kuSocketPolicy_AcceptConnection(policy, 5, kOwn));
    EXPECT_EQ(kOwn, kuSocketPolicy_MapLocalIPAddressToLoopBack(policy, kOwn));
    EXPECT_EQ(-1, kuSocketPolicy_GetIPAddressList(policy, nullptr, 0));
    kuSocketPolicy_Delete(policy);
}

} // namespace
