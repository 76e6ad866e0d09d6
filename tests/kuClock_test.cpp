#include <kuvanaTools/kuClock.h>

#include <kuLog/Log.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<double> fields(const kuClockValue &v) { return {v.value, v.frequency, v.wallTime}; }

TEST(kuClock, FollowsTheWallClockThroughChangesAndThe2038Wrap)
{
    kutest::ScopedPlatformHooks hooks;
    kutest::FakeClock wall;
    wall.install(hooks);
    wall.now = kuTimeVal{1, 500};
    EXPECT_EQ(1000.5, kuWallclock_now());

    wall.now = kuTimeVal{1000, 0};
    kuClock clock = {};
    kuClockValue v;
    kuClock_Get(&clock, &v); // zero-filled: stands still at 0
    EXPECT_EQ(fields({0.0, 0.0, 1000000.0}), fields(v));
    v = {100.0, 1000.0, 0.0}; // 100 now, 1000 ticks a second
    kuClock_Set(&clock, &v);

    // The log text gives the offset and speed against the wall clock.
    kutest::LogCapture log;
    kuLogRecord *record = kuLog_Begin(1, 58);
    ASSERT_NE(nullptr, record);
    record->source = "kuvanaTools/kuClock";
    record->line = 1;
    kuLog_Append_kuClock(&clock);
    kuLog_Append_kuClock(nullptr);
    kuLog_End(record);
    EXPECT_EQ("KU 1 58 kuvanaTools/kuClock:1: { O: 999900000.000000, S: 1.000000 } or "
              "{ V: 100.000000, F: 1000.000000 } right now\n",
              log.text());

    // Frequency changes keep the value continuous.
    wall.now = kuTimeVal{1001, 0};
    EXPECT_EQ(1100.0, kuClock_GetValue(&clock));
    kuClock_SetFrequency(&clock, 2000.0);
    EXPECT_EQ(1100.0, kuClock_GetValue(&clock));
    wall.now = kuTimeVal{1002, 0};
    kuClock_Get(&clock, &v);
    EXPECT_EQ(fields({3100.0, 2000.0, 1002000.0}), fields(v));
    kuClock_SetValue(&clock, -5.0);
    kuClock_SetFrequency(&clock, -90000.0); // backwards
    wall.now = kuTimeVal{1002, 100000};
    EXPECT_EQ(-5.0 - 9000.0, kuClock_GetValue(&clock));

    // a 90 kHz clock set to read 900000 ten seconds from now
    kuClockValue pts = {900000.0, 90000.0, 1002100.0 + 10000.0};
    kuClock_Set(&clock, &pts);
    EXPECT_EQ(0.0, kuClock_GetValue(&clock));
    wall.now = kuTimeVal{1012, 100000};
    EXPECT_EQ(900000.0, kuClock_GetValue(&clock));

    wall.now = kuTimeVal{INT32_MAX, 500000}; // runs on across the 2038 wrap
    v.wallTime = 0.0;
    kuClock_Set(&clock, &v);
    wall.now = kuTimeVal{INT32_MIN, 0};
    EXPECT_NEAR(3100.0 + 1000.0, kuClock_GetValue(&clock), 0.01);
}

} // namespace
