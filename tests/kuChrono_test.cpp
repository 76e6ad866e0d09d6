#include <kuvanaTools/kuChrono.h>

#include "support/PlatformFake.h"

#include <gtest/gtest.h>

#include <limits.h>

namespace {

uint64_t value(const kuuint64 &v)
{
    return (uint64_t)v.high << 32 | v.low;
}

uint64_t elapsed(const kuChrono *c)
{
    kuuint64 out = {7, 7};
    kuChrono_GetTime(c, &out);
    return value(out);
}

// A chronometer on a fake clock that the test moves by milliseconds.
struct ChronoTest : ::testing::Test {
    kutest::ScopedPlatformHooks hooks;
    kutest::FakeClock clock;
    kuChrono chrono;

    void SetUp() override
    {
        clock.now = kuTimeVal{1000000, 250000};
        clock.install(hooks);
        kuChrono_S_Init(&chrono);
    }

    void advance(int64_t ms)
    {
        int64_t us = (int64_t)clock.now.tv_usec + ms * 1000;
        int64_t s = us / 1000000 - (us % 1000000 < 0);
        clock.now.tv_usec = (int32_t)(us - s * 1000000);
        clock.now.tv_sec = (int32_t)(uint32_t)((uint32_t)clock.now.tv_sec + (uint64_t)s);
    }
};

TEST_F(ChronoTest, StartsFromAnOffset)
{
    kuChrono_Start_S(&chrono, 10);
    EXPECT_EQ(10u, kuChrono_GetTime_S(&chrono));
    EXPECT_EQ(10000u, elapsed(&chrono));
    advance(1234);
    EXPECT_EQ(11234u, elapsed(&chrono));

    kuChrono_Start(&chrono, nullptr);
    EXPECT_EQ(0u, elapsed(&chrono));
    advance(7);
    EXPECT_EQ(7u, elapsed(&chrono));

    kuuint64 offset = {0, 1}; // 2^32 ms
    kuChrono_Start(&chrono, &offset);
    EXPECT_EQ(0x100000000ULL, elapsed(&chrono));
    EXPECT_EQ(4294967u, kuChrono_GetTime_S(&chrono));

    // an offset beyond the wall time wraps the start, not the elapsed time
    offset = {0, 0x40000000};
    kuChrono_Start(&chrono, &offset);
    advance(5);
    EXPECT_EQ(0x4000000000000005ULL, elapsed(&chrono));

    kuChrono_Start_S(&chrono, UINT32_MAX);
    EXPECT_EQ(UINT32_MAX, kuChrono_GetTime_S(&chrono));
}

TEST_F(ChronoTest, PauseFreezesAndResumeContinues)
{
    kuChrono_Start(&chrono, nullptr);
    advance(500);
    kuChrono_Pause(&chrono);
    advance(3000);
    EXPECT_EQ(500u, elapsed(&chrono));
    kuChrono_Pause(&chrono); // a second pause keeps the first value
    advance(100);
    EXPECT_EQ(500u, elapsed(&chrono));

    kuChrono_Resume(&chrono);
    EXPECT_EQ(500u, elapsed(&chrono));
    advance(250);
    EXPECT_EQ(750u, elapsed(&chrono));
    kuChrono_Resume(&chrono); // running: nothing changes
    advance(250);
    EXPECT_EQ(1000u, elapsed(&chrono));

    // starting while paused restarts it running
    kuChrono_Pause(&chrono);
    kuChrono_Start_S(&chrono, 2);
    advance(1);
    EXPECT_EQ(2001u, elapsed(&chrono));
}

TEST_F(ChronoTest, SecondsAndMilliseconds)
{
    kuChrono_Start(&chrono, nullptr);
    advance(61234);
    uint32_t s = 0, ms = 0;
    EXPECT_EQ(61u, kuChrono_GetTime_S_MS(&chrono, &s, &ms));
    EXPECT_EQ(61u, s);
    EXPECT_EQ(234u, ms);
    EXPECT_EQ(61u, kuChrono_GetTime_S(&chrono));
    EXPECT_EQ(61u, kuChrono_GetTime_S_MS(&chrono, nullptr, nullptr));

    // more seconds than 32 bits hold: the low 32 bits
    uint64_t big = ((1ULL << 33) - 1) * 1000 + 295;
    kuuint64 offset = {(uint32_t)big, (uint32_t)(big >> 32)};
    kuChrono_Start(&chrono, &offset);
    EXPECT_EQ(UINT32_MAX, kuChrono_GetTime_S_MS(&chrono, &s, &ms));
    EXPECT_EQ(295u, ms);
}

TEST_F(ChronoTest, InitialisedOnlyReadsTheWallTime)
{
    EXPECT_EQ(1000000250u, elapsed(&chrono));
    kuChrono *c = kuChrono_New();
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(0, c->paused);
    EXPECT_EQ(1000000250u, elapsed(c));
    kuChrono_Pause(c);
    EXPECT_EQ(1, c->paused);
    kuChrono_Delete(c);
    kuChrono_Delete(nullptr);

    // a null chronometer is ignored
    kuChrono_Start(nullptr, nullptr);
    kuChrono_Pause(nullptr);
    kuChrono_Resume(nullptr);
    EXPECT_EQ(0u, elapsed(nullptr));
    EXPECT_EQ(0u, kuChrono_GetTime_S(nullptr));
}

TEST_F(ChronoTest, KeepsCountingAcrossThe2038Wrap)
{
    clock.now = kuTimeVal{INT32_MAX, 900000};
    kuChrono_Start(&chrono, nullptr);
    advance(200);
    EXPECT_EQ(INT32_MIN, clock.now.tv_sec);
    EXPECT_EQ(200u, elapsed(&chrono));
    kuChrono_Pause(&chrono);
    advance(86400000);
    kuChrono_Resume(&chrono);
    advance(800);
    EXPECT_EQ(1u, kuChrono_GetTime_S(&chrono));
    // the last second the platform can tell from 1970, and one past it
    clock.now = kuTimeVal{-1, 999000};
    kuChrono_Start(&chrono, nullptr);
    advance(1);
    EXPECT_EQ(0, clock.now.tv_sec);
    EXPECT_EQ(UINT64_MAX - 4294967295999ULL + 1, elapsed(&chrono)); // set back by 136 years
}

} // namespace
