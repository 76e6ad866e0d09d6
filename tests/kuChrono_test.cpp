#include <kuvanaTools/kuChrono.h>

#include "support/PlatformFake.h"

#include <gtest/gtest.h>

namespace {

// A chronometer on a fake clock that the test moves forward by milliseconds.
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

    void advance(uint32_t ms)
    {
        uint32_t us = (uint32_t)clock.now.tv_usec + ms % 1000 * 1000;
        clock.now.tv_sec = (int32_t)((uint32_t)clock.now.tv_sec + ms / 1000 + us / 1000000);
        clock.now.tv_usec = (int32_t)(us % 1000000);
    }

    uint64_t elapsed(const kuChrono *c)
    {
        kuuint64 out;
        kuChrono_GetTime(c, &out);
        return (uint64_t)out.high << 32 | out.low;
    }
};

TEST_F(ChronoTest, StartsFromAnOffsetPausesAndResumes)
{
    EXPECT_EQ(1000000250u, elapsed(&chrono)); // not started: the wall time
    kuChrono_Start_S(&chrono, 10);
    advance(1234);
    EXPECT_EQ(11234u, elapsed(&chrono));
    // an offset beyond the wall time wraps the start, not the elapsed time;
    // seconds past 32 bits keep their low 32 bits
    const struct { uint64_t offset; uint32_t s, ms; } offsets[] = {
        {0x4000000000000000ULL, 3539053051u, 909},
        {((1ULL << 33) - 1) * 1000 + 295, UINT32_MAX, 300},
    };
    for (auto &o : offsets) {
        kuuint64 offset = {(uint32_t)o.offset, (uint32_t)(o.offset >> 32)};
        kuChrono_Start(&chrono, &offset);
        advance(5);
        uint32_t s = 0, ms = 0;
        EXPECT_EQ(o.offset + 5, elapsed(&chrono));
        EXPECT_EQ(o.s, kuChrono_GetTime_S_MS(&chrono, &s, &ms));
        EXPECT_EQ(std::make_pair(o.s, o.ms), std::make_pair(s, ms));
    }
    EXPECT_EQ(UINT32_MAX, kuChrono_GetTime_S_MS(&chrono, nullptr, nullptr));

    // Paused and resumed across the 2038 wrap of the platform's seconds.
    clock.now = kuTimeVal{INT32_MAX, 900000};
    kuChrono *c = kuChrono_New();
    kuChrono_Start(c, nullptr);
    advance(200);
    kuChrono_Pause(c);
    advance(86400000);
    kuChrono_Pause(c); // a second pause keeps the first value
    advance(100);
    EXPECT_EQ(200u, elapsed(c));
    kuChrono_Resume(c);
    advance(250);
    EXPECT_EQ(450u, elapsed(c));
    kuChrono_Resume(c); // running: nothing changes
    advance(800);
    EXPECT_EQ(1u, kuChrono_GetTime_S(c));
    kuChrono_Pause(c); // starting while paused restarts it running
    kuChrono_Start_S(c, 2);
    advance(1);
    EXPECT_EQ(2001u, elapsed(c));
    kuChrono_Delete(c);
    kuChrono_Delete(nullptr);
    kuChrono_Pause(nullptr);
    EXPECT_EQ(0u, kuChrono_GetTime_S(nullptr));
}

} // namespace
