#include <kuvanaTools/kuUUID.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <functional>
#include <limits.h>
#include <string>
#include <vector>

namespace {

using Uuid = std::array<uint8_t, 16>;

// The generator's state lives for the process: every test starts it afresh
// in a child, and the parent never generates.
void inFreshProcess(const std::function<void()> &body)
{
    kutest::ChildResult child = kutest::runInChild([&] {
        body();
        fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    });
    EXPECT_EQ(0, child.exitStatus) << child.out << child.err;
}

Uuid generate()
{
    Uuid u;
    kuUUID_Generate(u.data());
    return u;
}

std::string hex(const Uuid &u)
{
    std::string s;
    char b[3];
    for (uint8_t x : u) {
        snprintf(b, sizeof b, "%02x", x);
        s += b;
    }
    return s;
}

uint64_t timestamp(const Uuid &u)
{
    return (uint64_t)(u[6] & 0x0F) << 56 | (uint64_t)u[7] << 48 | (uint64_t)u[4] << 40 |
           (uint64_t)u[5] << 32 | (uint64_t)u[0] << 24 | (uint64_t)u[1] << 16 |
           (uint64_t)u[2] << 8 | u[3];
}

uint32_t sequence(const Uuid &u)
{
    return (uint32_t)(u[8] & 0x1F) << 8 | u[9];
}

// 100 ns units since 1582-10-15 of a platform time and counter.
uint64_t expectedTime(kuTimeVal t, uint32_t counter)
{
    return (uint64_t)(uint32_t)t.tv_sec * 10000000 + (uint64_t)t.tv_usec * 10 + counter +
           0x01B21DD213814000ULL;
}

void expectVersion1(const Uuid &u)
{
    EXPECT_EQ(0x10, u[6] & 0xF0) << hex(u);
    EXPECT_EQ(0x80, u[8] & 0xE0) << hex(u);
}

const uint8_t kMac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

// A platform that counts clock, MAC and random calls; the clock steps one
// microsecond at a chosen read and otherwise stands still.
struct FakePlatform {
    kutest::ScopedPlatformHooks hooks;
    kuTimeVal now{1000, 999999};
    int reads = 0, stepAt = -1, macIndex = -1, macResult = 0;
    uint32_t randCalls = 0;

    FakePlatform()
    {
        hooks->timeOfDay = [this](kuTimeVal *v) {
            if (++reads == stepAt && ++now.tv_usec == 1000000)
                now = kuTimeVal{now.tv_sec + 1, 0};
            *v = now;
            return 0;
        };
        hooks->macAddress = [this](int i, uint8_t *bytes) {
            macIndex = i;
            memcpy(bytes, kMac, 6);
            return macResult;
        };
        hooks->rand = [this] { return ++randCalls; }; // each byte: the 4th call
    }
};

TEST(kuUUID, FieldsOfTheFirstUUIDs)
{
    inFreshProcess([] {
        FakePlatform p;
        p.now = kuTimeVal{784111777, 123456};
        Uuid first = generate();
        // sequence: random bytes 4 and 8; node: the MAC address of interface 0
        EXPECT_EQ("92e6bd00f94611cd8408001a2b3c4d5e", hex(first));
        EXPECT_EQ(0, p.macIndex);
        EXPECT_EQ(8u, p.randCalls);
        EXPECT_EQ(expectedTime(p.now, 0), timestamp(first));
        Uuid second = generate(); // the same microsecond: the counter goes in
        EXPECT_EQ(timestamp(first) + 1, timestamp(second));
        EXPECT_EQ(0, memcmp(first.data() + 8, second.data() + 8, 8));
        EXPECT_EQ(8u, p.randCalls);
        kuUUID_Generate(nullptr);
    });
    inFreshProcess([] {
        FakePlatform p;
        p.macResult = -1; // no MAC address: a random multicast node
        Uuid u = generate();
        const uint8_t node[6] = {4 | 0x01, 8, 12, 16, 20, 24};
        EXPECT_EQ(0, memcmp(u.data() + 10, node, 6)) << hex(u);
        EXPECT_EQ(0x1C20u, sequence(u)); // bytes 28 and 32, masked to 13 bits
        p.macResult = 0;
        EXPECT_EQ(0, memcmp(generate().data() + 10, node, 6));
        expectVersion1(u);
    });
}

TEST(kuUUID, TenPerMicrosecondThenTheNextWaits)
{
    inFreshProcess([] {
        FakePlatform p;
        p.stepAt = 15; // four reads into the eleventh UUID
        kuTimeVal start = p.now;
        std::vector<Uuid> all;
        for (int i = 0; i < 12; ++i)
            all.push_back(generate());
        for (uint32_t i = 0; i < 10; ++i)
            EXPECT_EQ(expectedTime(start, i), timestamp(all[i])) << i;
        EXPECT_EQ(16, p.reads); // the eleventh read the clock five times
        EXPECT_EQ(expectedTime(kuTimeVal{1001, 0}, 0), timestamp(all[10]));
        EXPECT_EQ(expectedTime(kuTimeVal{1001, 0}, 1), timestamp(all[11]));
        for (const Uuid &u : all)
            EXPECT_EQ(sequence(all[0]), sequence(u));
    });
}

TEST(kuUUID, ClockGoingBackAdvancesTheSequence)
{
    inFreshProcess([] {
        FakePlatform p;
        p.hooks->rand = [] { return 0xFFu; }; // sequence 0x1FFF
        p.now = kuTimeVal{5000, 500};
        Uuid a = generate();
        EXPECT_EQ(0x1FFFu, sequence(a));
        p.now = kuTimeVal{4999, 500};
        Uuid b = generate();
        EXPECT_EQ(0u, sequence(b)); // 13 bits wrap
        EXPECT_EQ(expectedTime(p.now, 0), timestamp(b));
        EXPECT_EQ(timestamp(b) + 1, timestamp(generate()));
        expectVersion1(b);

        p.now = kuTimeVal{5000, 500}; // forward again: same sequence
        Uuid d = generate();
        EXPECT_EQ(0u, sequence(d));
        EXPECT_EQ(timestamp(a), timestamp(d));
        p.now = kuTimeVal{5000, 499}; // back by one microsecond
        EXPECT_EQ(1u, sequence(generate()));
    });
}

TEST(kuUUID, StoppedClockAndThe2038Wrap)
{
    inFreshProcess([] {
        FakePlatform p; // never moves
        std::vector<Uuid> all;
        for (int i = 0; i < 25; ++i)
            all.push_back(generate());
        uint32_t first = sequence(all[0]);
        for (uint32_t i = 0; i < 25; ++i) {
            EXPECT_EQ(expectedTime(p.now, i % 10), timestamp(all[i])) << i;
            EXPECT_EQ((first + i / 10) & 0x1FFF, sequence(all[i])) << i;
        }

        p.now = kuTimeVal{INT32_MAX, 999999};
        Uuid before = generate();
        p.now = kuTimeVal{INT32_MIN, 0};
        Uuid after = generate();
        EXPECT_EQ(timestamp(before) + 10, timestamp(after));
        EXPECT_EQ(sequence(before), sequence(after));
        // the seconds wrap again in 2106: seen as a clock set back
        p.now = kuTimeVal{-1, 999999};
        Uuid last = generate();
        EXPECT_EQ(expectedTime(p.now, 0), timestamp(last));
        p.now = kuTimeVal{0, 0};
        EXPECT_EQ((sequence(last) + 1) & 0x1FFF, sequence(generate()));
    });
}

TEST(kuUUID, AMillionInARowAreUnique)
{
    inFreshProcess([] {
        const size_t n = 1000000;
        std::vector<Uuid> all(n);
        for (Uuid &u : all)
            kuUUID_Generate(u.data());
        for (size_t i = 1; i < n; ++i) {
            // version 1 and variant bits, one node for the process
            ASSERT_EQ(0x10, all[i][6] & 0xF0) << i;
            ASSERT_EQ(0x80, all[i][8] & 0xE0) << i;
            ASSERT_EQ(0, memcmp(all[0].data() + 10, all[i].data() + 10, 6)) << i;
        }
        std::sort(all.begin(), all.end());
        auto same = std::adjacent_find(all.begin(), all.end());
        EXPECT_EQ(all.end(), same) << (same != all.end() ? hex(*same) : "");
    });
}

} // namespace
