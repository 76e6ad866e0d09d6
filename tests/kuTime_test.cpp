#include <kuvanaTools/kuTime.h>

#include "support/OwnedText.h"
#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>
#include <vector>

namespace {

using Fields = std::vector<int32_t>;
constexpr int32_t kWrap = INT32_MIN; // 2038-01-19 03:14:08 as the platform delivers it

kuTimeVal tv(int32_t s, int32_t us) { return kuTimeVal{s, us}; }
Fields fields(const kuTimeVal &v) { return {v.tv_sec, v.tv_usec}; }

// The fields in their declared order.
Fields fields(const kuTm &f)
{
    return {f.tm_sec,  f.tm_min,   f.tm_hour, f.tm_mday, f.tm_mon,
            f.tm_year, f.tm_isdst, f.tm_wday, f.tm_yday, f.tm_reserved};
}

// A zone for the test, or (null) the system's again.
void setZone(const char *zone)
{
    zone != nullptr ? setenv("TZ", zone, 1) : unsetenv("TZ");
    tzset();
}

// Tests on a fake platform clock.
struct ClockTest : ::testing::Test {
    kutest::ScopedPlatformHooks hooks;
    kutest::FakeClock clock;
    void SetUp() override { clock.install(hooks); }
};

TEST(kuTime, TimeValArithmeticAndBrokenDownFields)
{
    kuTimeVal a = tv(5, 10), b = tv(5, 9), c = tv(-1, 999999); // signed seconds: c is earliest
    EXPECT_EQ((Fields{1, -1, 0, 0, 1}),
              (Fields{kuTimeVal_Compare(&a, &b), kuTimeVal_Compare(&c, &b),
                      kuTimeVal_Compare(&a, &a), kuTimeVal_Less(&a, &a), kuTimeVal_Less(&b, &a)}));

    // {a, b, negative, a - b, b as normalised}
    struct { kuTimeVal a, b; int negative; kuTimeVal diff, b2; } subtractions[] = {
        {tv(10, 0), tv(3, 500000), 0, tv(6, 500000), tv(4, -500000)},
        {tv(3, 0), tv(10, 0), 1, tv(-7, 0), tv(10, 0)},
        {tv(5, 2500000), tv(1, 0), 0, tv(6, 500000), tv(-1, 2000000)},
        {tv(0, 1000000), tv(0, 0), 0, tv(0, 1000000), tv(0, 0)}, // a full second stays
        // across the 2038 wrap the difference goes the short way round
        {tv(kWrap + 1, 0), tv(INT32_MAX, 0), 0, tv(2, 0), tv(INT32_MAX, 0)},
        {tv(INT32_MAX, 0), tv(kWrap + 1, 0), 1, tv(-2, 0), tv(kWrap + 1, 0)},
    };
    for (auto &s : subtractions) {
        kuTimeVal r;
        EXPECT_EQ(s.negative, kuTimeVal_Substract(&r, &s.a, &s.b));
        EXPECT_EQ(fields(s.diff), fields(r));
        EXPECT_EQ(fields(s.b2), fields(s.b));
    }
    a = tv(10, 100), b = tv(3, 200);
    EXPECT_EQ(0, kuTimeVal_Substract(&b, &a, &b)); // into an operand
    EXPECT_EQ(fields(tv(6, 999900)), fields(b));
    kuTimeVal r = tv(7, 7); // any null argument: 0, nothing written
    EXPECT_EQ(0, kuTimeVal_Substract(nullptr, &a, &b));
    EXPECT_EQ(0, kuTimeVal_Substract(&r, nullptr, &b));
    EXPECT_EQ(0, kuTimeVal_Substract(&r, &a, nullptr));
    EXPECT_EQ(fields(tv(7, 7)), fields(r));
    a = tv(INT32_MIN, INT32_MIN), b = tv(INT32_MAX, INT32_MAX); // no overflow trap on extremes
    kuTimeVal_Substract(&c, &a, &b);
    kuTimeVal_Substract(&c, &b, &a);

    struct { kuTimeVal v; uint32_t ms; kuTimeVal sum; } additions[] = {
        {tv(1, 999999), 1, tv(2, 999)},
        {tv(0, 999999), UINT32_MAX, tv(4294968, 294999)},
        {tv(5, -1500000), 0, tv(4, -500000)}, // brought within a second of 0
        {tv(0, INT32_MAX), 999, tv(2148, 482647)},
        {tv(INT32_MAX, 500000), 1500, tv(kWrap + 1, 0)}, // wraps like the platform
    };
    for (auto &s : additions) {
        kuTimeVal_Add(&s.v, s.ms);
        EXPECT_EQ(fields(s.sum), fields(s.v));
    }

    time_t t = 784111777; // Sun, 06 Nov 1994 08:49:37 UTC
    kuTm f;
    f.tm_reserved = 77;
    ASSERT_EQ(&f, kuTime_gmtime(&t, &f));
    EXPECT_EQ((Fields{37, 49, 8, 6, 10, 94, 0, 0, 309, 77}), fields(f)); // tenth untouched

    setZone("CET-1CEST,M3.5.0,M10.5.0/3");
    time_t summer = 1593561600; // 2020-07-01 00:00:00 UTC
    ASSERT_EQ(&f, kuTime_localtime(&summer, &f));
    EXPECT_EQ((Fields{0, 0, 2, 1, 6, 120, 1, 3, 182, 0}), fields(f));
    setZone("JST-9"); // a zone changed after the first conversion is seen
    ASSERT_EQ(&f, kuTime_localtime(&t, &f));
    EXPECT_EQ(17, f.tm_hour);
    EXPECT_EQ(t, kuTime_mktime(&f));

    EXPECT_EQ(nullptr, kuTime_gmtime(nullptr, &f));
    EXPECT_EQ(nullptr, kuTime_localtime(&t, nullptr));
    if (sizeof(time_t) > 4) {
        time_t huge = (time_t)(INT64_MAX / 2); // beyond any year of the runtime
        EXPECT_EQ(nullptr, kuTime_gmtime(&huge, &f));
    }

    // mktime normalises the fields only when it succeeds.
    setZone("UTC0");
    f = {0, 0, 12, 32, 0, 100, 0, 6, 200, 0}; // 31 January 2000 plus one day
    EXPECT_EQ((time_t)949406400, kuTime_mktime(&f));
    EXPECT_EQ((Fields{0, 0, 12, 1, 1, 100, 0, 2, 31, 0}), fields(f));

    kuTm early = {60, 58, 23, 31, 11, 69, 0, 0, 0, 0}; // 1969-12-31 23:58:60
    EXPECT_EQ((time_t)-60, kuTime_mktime(&early));
    EXPECT_EQ((Fields{60, 58, 23, 31, 11, 69, 0, 0, 0, 0}), fields(early));

    kuTm bad = {0, 0, 0, 32, 11, INT32_MAX, 0, 9, 0, 0}; // December carries past the field
    EXPECT_EQ((time_t)-1, kuTime_mktime(&bad));
    EXPECT_EQ(9, bad.tm_wday);
    EXPECT_EQ((time_t)-1, kuTime_mktime(nullptr));
    setZone(nullptr);
}

TEST_F(ClockTest, TimeOutsAndCurrentTimeAcrossThe2038Wrap)
{
    struct { kuTimeVal start; uint32_t ms; kuTimeVal later; uint32_t left; } cases[] = {
        {tv(100, 250000), 1500, tv(100, 250000), 1500},
        {tv(100, 250000), 1500, tv(101, 700001), 49},
        {tv(100, 250000), 1500, tv(101, 750000), 0},
        {tv(1000, 999999), UINT32_MAX, tv(1000, 999999), UINT32_MAX},
        {tv(INT32_MAX, 500000), 2000, tv(kWrap, 0), 1500}, // taken before the wrap, due after
        {tv(INT32_MAX, 500000), 2000, tv(kWrap + 1, 500001), 0},
        {tv(INT32_MAX, 400000), 500, tv(kWrap, 100000), 0}, // passed before the wrap: no 49 days
    };
    kuTimeVal deadline;
    for (const auto &c : cases) {
        clock.now = c.start;
        kuTimeVal_TimeOfTimeOut(&deadline, c.ms);
        clock.now = c.later;
        EXPECT_EQ(c.left, kuTimeVal_RemainingTimeOut(&deadline)) << c.later.tv_usec;
    }

    // A 32-bit time_t keeps the platform's signed seconds (1901 after the 2038
    // wrap); a 64-bit one, on 32-bit hosts too, reads them unsigned (the true time
    // until 2106), and only it holds a mktime result past 2038.
    const bool wide = sizeof(time_t) > 4;
    const struct { int32_t platform; int64_t narrow, wide; const char *narrowText, *wideText; }
        readings[] = {
        {0, 0, 0, "Thu, 01 Jan 1970 00:00:00 GMT", nullptr}, // null: as narrow
        {INT32_MAX, INT32_MAX, INT32_MAX, "Tue, 19 Jan 2038 03:14:07 GMT", nullptr},
        {kWrap, kWrap, 2147483648LL, "Fri, 13 Dec 1901 20:45:52 GMT",
         "Tue, 19 Jan 2038 03:14:08 GMT"},
        {-1, -1, 4294967295LL, "Wed, 31 Dec 1969 23:59:59 GMT", "Sun, 07 Feb 2106 06:28:15 GMT"},
    };
    for (const auto &c : readings) {
        SCOPED_TRACE(c.platform);
        clock.now = tv(c.platform, 999999);
        EXPECT_EQ(wide && c.wideText ? c.wideText : c.narrowText,
                  kutest::take(kuTime_GetRFC1123Date()));
        // milliseconds read the seconds unsigned on every host
        kuuint64 ms;
        kuTime_GetLocalTimeMS(&ms);
        EXPECT_EQ((uint64_t)(uint32_t)c.platform * 1000 + 999, (uint64_t)ms.high << 32 | ms.low);
        time_t t = 0;
        EXPECT_EQ((time_t)(wide ? c.wide : c.narrow), kuTime_time(&t));
        EXPECT_EQ(t, kuTime_time(nullptr));
    }

    setZone("UTC0");
    kuTm f = {8, 14, 3, 19, 0, 138, 0, 0, 0, 0}; // 2038-01-19 03:14:08
    EXPECT_EQ(wide ? (time_t)2147483648LL : (time_t)-1, kuTime_mktime(&f));
    EXPECT_EQ(wide ? 2 : 0, f.tm_wday);
    setZone(nullptr);
}

} // namespace
