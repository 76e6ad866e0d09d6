#include <kuvanaTools/kuUUID.h>

#include "support/Hex.h"
#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <functional>
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

std::string hex(const Uuid &u) { return kutest::toHex(u.data(), u.size()); }

uint64_t timestamp(const Uuid &u)
{
    uint64_t t = u[6] & 0x0F;
    for (int i : {7, 4, 5, 0, 1, 2, 3})
        t = t << 8 | u[i];
    return t;
}

uint32_t sequence(const Uuid &u) { return (uint32_t)(u[8] & 0x1F) << 8 | u[9]; }

// Version 1 and the variant bits.
bool version1(const Uuid &u) { return (u[6] & 0xF0) == 0x10 && (u[8] & 0xE0) == 0x80; }

// 100 ns units since 1582-10-15 of a platform time and counter.
uint64_t expectedTime(kuTimeVal t, uint32_t counter)
{
    return (uint64_t)(uint32_t)t.tv_sec * 10000000 + (uint64_t)t.tv_usec * 10 + counter +
           0x01B21DD213814000ULL;
}

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
            memcpy(bytes, "\x00\x1A\x2B\x3C\x4D\x5E", 6);
            return macResult;
        };
        hooks->rand = [this] { return ++randCalls; }; // each byte: the 4th call
    }
};

TEST(kuUUID, FieldsSequenceStepsAndUniqueRealClockRun)
{
    inFreshProcess([] {
        FakePlatform p;
        p.now = kuTimeVal{784111777, 123456};
        // sequence: random bytes 4 and 8; node: the MAC address of interface 0
        EXPECT_EQ("92e6bd00f94611cd8408001a2b3c4d5e", hex(generate()));
        EXPECT_EQ(0, p.macIndex);
        // the same microsecond: the counter goes in
        EXPECT_EQ("92e6bd01f94611cd8408001a2b3c4d5e", hex(generate()));
        kuUUID_Generate(nullptr);

        // Ten per microsecond, then the next waits for the clock.
        p.now = kuTimeVal{1000, 999999};
        p.reads = 0;
        p.stepAt = 15; // four reads into the eleventh UUID
        std::vector<Uuid> all;
        for (int i = 0; i < 12; ++i)
            all.push_back(generate());
        EXPECT_EQ(16, p.reads); // the eleventh read the clock five times
        for (uint32_t i = 0; i < 12; ++i) {
            kuTimeVal t = i < 10 ? kuTimeVal{1000, 999999} : kuTimeVal{1001, 0};
            EXPECT_EQ(expectedTime(t, i % 10), timestamp(all[i])) << i;
            EXPECT_EQ(sequence(all[0]), sequence(all[i])) << i;
        }
    });
    inFreshProcess([] {
        FakePlatform p;
        p.macResult = -1; // no MAC address: a random multicast node
        // sequence: bytes 28 and 32, masked to 13 bits
        EXPECT_EQ("9c20" "05080c101418", hex(generate()).substr(16));
        p.macResult = 0;
        EXPECT_EQ("05080c101418", hex(generate()).substr(20));
    });

    inFreshProcess([] {
        FakePlatform p;
        p.hooks->rand = [] { return 0xFFu; }; // sequence 0x1FFF
        p.now = kuTimeVal{5000, 500};
        Uuid a = generate();
        EXPECT_EQ(0x1FFFu, sequence(a));
        p.now = kuTimeVal{4999, 500};
        Uuid b = generate();
        EXPECT_TRUE(sequence(b) == 0 && version1(b)) << hex(b); // 13 bits wrap
        EXPECT_EQ(expectedTime(p.now, 0), timestamp(b));
        EXPECT_EQ(timestamp(b) + 1, timestamp(generate()));
        p.now = kuTimeVal{5000, 500}; // forward again: same sequence
        Uuid d = generate();
        EXPECT_EQ(std::make_pair(timestamp(a), 0u), std::make_pair(timestamp(d), sequence(d)));
        p.now = kuTimeVal{5000, 499}; // back by one microsecond
        EXPECT_EQ(1u, sequence(generate()));

        p.now = kuTimeVal{6000, 0}; // never moves: every ten, the sequence goes up
        uint32_t first = sequence(generate());
        for (uint32_t i = 1; i < 25; ++i) {
            Uuid u = generate();
            EXPECT_EQ(expectedTime(p.now, i % 10), timestamp(u)) << i;
            EXPECT_EQ((first + i / 10) & 0x1FFF, sequence(u)) << i;
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

    // On the real clock, a run fast enough to meet the counter: all unique, one
    // node for the process.
    inFreshProcess([] {
        std::vector<Uuid> all(2000);
        for (Uuid &u : all)
            kuUUID_Generate(u.data());
        EXPECT_EQ(hex(all[0]).substr(20), hex(all.back()).substr(20));
        std::sort(all.begin(), all.end());
        EXPECT_EQ(all.end(), std::adjacent_find(all.begin(), all.end()));
    });
}

} // namespace
