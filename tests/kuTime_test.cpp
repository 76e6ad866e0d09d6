#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuTime.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <string>

namespace {

kuTimeVal tv(int32_t s, int32_t us)
{
    return kuTimeVal{s, us};
}

std::string take(char *s)
{
    std::string r = s != nullptr ? s : "(null)";
    kuFree(s);
    return r;
}

// Sets TZ for the life of the object.
class ScopedTZ {
public:
    explicit ScopedTZ(const char *zone)
    {
        const char *old = getenv("TZ");
        had_ = old != nullptr;
        if (had_)
            saved_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTZ()
    {
        if (had_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool had_;
    std::string saved_;
};

std::string rfc1123At(int32_t seconds)
{
    kutest::ScopedPlatformHooks hooks;
    kutest::FakeClock clock;
    clock.now = tv(seconds, 999999);
    clock.install(hooks);
    return take(kuTime_GetRFC1123Date());
}

constexpr int32_t kWrap = INT32_MIN; // 2038-01-19 03:14:08 as the platform delivers it

TEST(kuTimeVal, ComparesSecondsThenMicrosecondsSigned)
{
    kuTimeVal a = tv(5, 10), b = tv(5, 9), c = tv(4, 999999), d = tv(-1, 0);
    EXPECT_EQ(1, kuTimeVal_Compare(&a, &b));
    EXPECT_EQ(-1, kuTimeVal_Compare(&b, &a));
    EXPECT_EQ(0, kuTimeVal_Compare(&a, &a));
    EXPECT_EQ(0, kuTimeVal_Less(&a, &a));
    EXPECT_EQ(1, kuTimeVal_Less(&c, &b));
    EXPECT_EQ(1, kuTimeVal_Less(&d, &c));
    EXPECT_EQ(0, kuTimeVal_Less(nullptr, &a));
    EXPECT_EQ(0, kuTimeVal_Compare(&a, nullptr));
}

TEST(kuTimeVal, SubtractNormalisesTheSubtrahend)
{
    kuTimeVal a = tv(10, 0), b = tv(3, 500000), r;
    EXPECT_EQ(0, kuTimeVal_Substract(&r, &a, &b));
    EXPECT_EQ(6, r.tv_sec);
    EXPECT_EQ(500000, r.tv_usec);
    EXPECT_EQ(4, b.tv_sec); // a second moved into b's microseconds
    EXPECT_EQ(-500000, b.tv_usec);

    a = tv(3, 0);
    b = tv(10, 0);
    EXPECT_EQ(1, kuTimeVal_Substract(&r, &a, &b));
    EXPECT_EQ(-7, r.tv_sec);
    EXPECT_EQ(0, r.tv_usec);

    // microseconds of a far above b's: whole seconds move the other way
    a = tv(5, 2500000);
    b = tv(1, 0);
    EXPECT_EQ(0, kuTimeVal_Substract(&r, &a, &b));
    EXPECT_EQ(6, r.tv_sec);
    EXPECT_EQ(500000, r.tv_usec);
    EXPECT_EQ(-1, b.tv_sec);
    EXPECT_EQ(2000000, b.tv_usec);

    // a gap of exactly one second of microseconds is left as it is
    a = tv(0, 1000000);
    b = tv(0, 0);
    EXPECT_EQ(0, kuTimeVal_Substract(&r, &a, &b));
    EXPECT_EQ(0, r.tv_sec);
    EXPECT_EQ(1000000, r.tv_usec);

    // just below a's microseconds by a multiple of a second
    a = tv(5, 0);
    b = tv(1, 2000000);
    EXPECT_EQ(0, kuTimeVal_Substract(&r, &a, &b));
    EXPECT_EQ(1, r.tv_sec);
    EXPECT_EQ(1000000, r.tv_usec);
}

TEST(kuTimeVal, SubtractIntoItsOwnOperands)
{
    kuTimeVal a = tv(10, 100), b = tv(3, 200);
    EXPECT_EQ(0, kuTimeVal_Substract(&a, &a, &b));
    EXPECT_EQ(6, a.tv_sec);
    EXPECT_EQ(999900, a.tv_usec);

    a = tv(10, 100);
    b = tv(3, 200);
    EXPECT_EQ(0, kuTimeVal_Substract(&b, &a, &b));
    EXPECT_EQ(6, b.tv_sec);
    EXPECT_EQ(999900, b.tv_usec);

    kuTimeVal r = tv(1, 1);
    EXPECT_EQ(0, kuTimeVal_Substract(&r, nullptr, &b));
    EXPECT_EQ(0, kuTimeVal_Substract(nullptr, &a, &b));
    EXPECT_EQ(1, r.tv_sec);
}

TEST(kuTimeVal, SubtractAcrossTheWrapAndAtExtremes)
{
    kuTimeVal a = tv(kWrap + 1, 0), b = tv(INT32_MAX, 0), r;
    EXPECT_EQ(0, kuTimeVal_Substract(&r, &a, &b));
    EXPECT_EQ(2, r.tv_sec);
    a = tv(INT32_MAX, 0);
    b = tv(kWrap + 1, 0);
    EXPECT_EQ(1, kuTimeVal_Substract(&r, &a, &b));
    EXPECT_EQ(-2, r.tv_sec);

    // fields far out of range give some value, not a crash or a trap
    a = tv(INT32_MIN, INT32_MIN);
    b = tv(INT32_MAX, INT32_MAX);
    kuTimeVal_Substract(&r, &a, &b);
    a = tv(INT32_MAX, INT32_MAX);
    b = tv(INT32_MIN, INT32_MIN);
    kuTimeVal_Substract(&r, &a, &b);
}

TEST(kuTimeVal, AddCarriesMicroseconds)
{
    kuTimeVal v = tv(1, 999999);
    kuTimeVal_Add(&v, 1);
    EXPECT_EQ(2, v.tv_sec);
    EXPECT_EQ(999, v.tv_usec);

    v = tv(0, 600000);
    kuTimeVal_Add(&v, 2500);
    EXPECT_EQ(3, v.tv_sec);
    EXPECT_EQ(100000, v.tv_usec);

    v = tv(0, 999999);
    kuTimeVal_Add(&v, UINT32_MAX); // 4294967 s 295 ms
    EXPECT_EQ(4294968, v.tv_sec);
    EXPECT_EQ(294999, v.tv_usec);

    // unnormalised microseconds end within one second of zero
    v = tv(5, -1500000);
    kuTimeVal_Add(&v, 0);
    EXPECT_EQ(4, v.tv_sec);
    EXPECT_EQ(-500000, v.tv_usec);
    v = tv(0, INT32_MAX);
    kuTimeVal_Add(&v, 999);
    EXPECT_EQ(2148, v.tv_sec);
    EXPECT_EQ(482647, v.tv_usec);

    // the seconds wrap like the platform's do in 2038
    v = tv(INT32_MAX, 500000);
    kuTimeVal_Add(&v, 1500);
    EXPECT_EQ(kWrap + 1, v.tv_sec);
    EXPECT_EQ(0, v.tv_usec);

    kuTimeVal_Add(nullptr, 5);
}

TEST(kuTimeVal, TimeOutsCountDownOnTheClock)
{
    kutest::ScopedPlatformHooks hooks;
    kutest::FakeClock clock;
    clock.install(hooks);

    clock.now = tv(100, 250000);
    kuTimeVal deadline;
    kuTimeVal_TimeOfTimeOut(&deadline, 1500);
    EXPECT_EQ(101, deadline.tv_sec);
    EXPECT_EQ(750000, deadline.tv_usec);
    EXPECT_EQ(1500u, kuTimeVal_RemainingTimeOut(&deadline));
    clock.now = tv(101, 700001);
    EXPECT_EQ(49u, kuTimeVal_RemainingTimeOut(&deadline));
    clock.now = tv(101, 750000);
    EXPECT_EQ(0u, kuTimeVal_RemainingTimeOut(&deadline));
    clock.now = tv(200, 0);
    EXPECT_EQ(0u, kuTimeVal_RemainingTimeOut(&deadline));
    EXPECT_EQ(0u, kuTimeVal_RemainingTimeOut(nullptr));

    // the longest time-out
    clock.now = tv(1000, 999999);
    kuTimeVal_TimeOfTimeOut(&deadline, UINT32_MAX);
    EXPECT_EQ(UINT32_MAX, kuTimeVal_RemainingTimeOut(&deadline));
}

TEST(kuTimeVal, TimeOutsSurviveThe2038Wrap)
{
    kutest::ScopedPlatformHooks hooks;
    kutest::FakeClock clock;
    clock.install(hooks);

    // a deadline taken just before the wrap falls after it
    clock.now = tv(INT32_MAX, 500000);
    kuTimeVal deadline;
    kuTimeVal_TimeOfTimeOut(&deadline, 2000);
    EXPECT_EQ(kWrap + 1, deadline.tv_sec);
    EXPECT_EQ(500000, deadline.tv_usec);
    EXPECT_EQ(2000u, kuTimeVal_RemainingTimeOut(&deadline));
    clock.now = tv(kWrap, 0);
    EXPECT_EQ(1500u, kuTimeVal_RemainingTimeOut(&deadline));
    clock.now = tv(kWrap + 1, 500000);
    EXPECT_EQ(0u, kuTimeVal_RemainingTimeOut(&deadline));

    // one that passed just before the wrap stays passed after it
    deadline = tv(INT32_MAX, 900000);
    clock.now = tv(kWrap, 100000);
    EXPECT_EQ(0u, kuTimeVal_RemainingTimeOut(&deadline));
    clock.now = tv(kWrap + 1000, 0);
    EXPECT_EQ(0u, kuTimeVal_RemainingTimeOut(&deadline));
}

TEST(kuTime, TimeIsThePlatformSeconds)
{
    kutest::ScopedPlatformHooks hooks;
    kutest::FakeClock clock;
    clock.install(hooks);
    clock.now = tv(784111777, 999999);
    time_t t = 0;
    EXPECT_EQ((time_t)784111777, kuTime_time(&t));
    EXPECT_EQ((time_t)784111777, t);
    EXPECT_EQ((time_t)784111777, kuTime_time(nullptr));

    // past the 2038 wrap: the true time where time_t can hold it
    clock.now = tv(kWrap, 0);
    if (sizeof(time_t) > 4)
        EXPECT_EQ((time_t)2147483648LL, kuTime_time(nullptr));
    else
        EXPECT_EQ((time_t)kWrap, kuTime_time(nullptr));
}

TEST(kuTime, BrokenDownFieldsInTheirOwnOrder)
{
    time_t t = 784111777; // Sun, 06 Nov 1994 08:49:37 UTC
    kuTm f;
    f.tm_reserved = 77;
    ASSERT_EQ(&f, kuTime_gmtime(&t, &f));
    EXPECT_EQ(37, f.tm_sec);
    EXPECT_EQ(49, f.tm_min);
    EXPECT_EQ(8, f.tm_hour);
    EXPECT_EQ(6, f.tm_mday);
    EXPECT_EQ(10, f.tm_mon);
    EXPECT_EQ(94, f.tm_year);
    EXPECT_EQ(0, f.tm_isdst);
    EXPECT_EQ(0, f.tm_wday);
    EXPECT_EQ(309, f.tm_yday);
    EXPECT_EQ(77, f.tm_reserved); // only localtime touches it

    {
        ScopedTZ zone("CET-1CEST,M3.5.0,M10.5.0/3");
        time_t summer = 1593561600; // 2020-07-01 00:00:00 UTC
        ASSERT_EQ(&f, kuTime_localtime(&summer, &f));
        EXPECT_EQ(2, f.tm_hour);
        EXPECT_EQ(1, f.tm_mday);
        EXPECT_EQ(6, f.tm_mon);
        EXPECT_EQ(1, f.tm_isdst);
        EXPECT_EQ(3, f.tm_wday);
        EXPECT_EQ(182, f.tm_yday);
        EXPECT_EQ(0, f.tm_reserved);
        ASSERT_EQ(&f, kuTime_localtime(&t, &f));
        EXPECT_EQ(9, f.tm_hour);
        EXPECT_EQ(0, f.tm_isdst);
    }
    {
        // a zone set after the first conversion is honoured
        ScopedTZ zone("JST-9");
        ASSERT_EQ(&f, kuTime_localtime(&t, &f));
        EXPECT_EQ(17, f.tm_hour);
    }

    EXPECT_EQ(nullptr, kuTime_gmtime(nullptr, &f));
    EXPECT_EQ(nullptr, kuTime_gmtime(&t, nullptr));
    EXPECT_EQ(nullptr, kuTime_localtime(nullptr, &f));
    if (sizeof(time_t) > 4) {
        // beyond any year the runtime can hold
        time_t huge = (time_t)(INT64_MAX / 2);
        EXPECT_EQ(nullptr, kuTime_gmtime(&huge, &f));
        EXPECT_EQ(nullptr, kuTime_localtime(&huge, &f));
    }
}

TEST(kuTime, MktimeNormalisesOnlyOnSuccess)
{
    ScopedTZ zone("UTC0");
    kuTm f = {};
    f.tm_mday = 32; // 31 January plus one day
    f.tm_mon = 0;
    f.tm_year = 100;
    f.tm_hour = 12;
    f.tm_wday = 6;
    f.tm_yday = 200;
    EXPECT_EQ((time_t)949406400, kuTime_mktime(&f));
    EXPECT_EQ(1, f.tm_mday);
    EXPECT_EQ(1, f.tm_mon);
    EXPECT_EQ(100, f.tm_year);
    EXPECT_EQ(2, f.tm_wday); // Tuesday
    EXPECT_EQ(31, f.tm_yday);
    EXPECT_EQ(0, f.tm_isdst);

    // before 1970: the negative time, fields as given
    kuTm early = {};
    early.tm_sec = 60;
    early.tm_min = 58;
    early.tm_hour = 23;
    early.tm_mday = 31;
    early.tm_mon = 11;
    early.tm_year = 69;
    EXPECT_EQ((time_t)-60, kuTime_mktime(&early));
    EXPECT_EQ(60, early.tm_sec);
    EXPECT_EQ(58, early.tm_min);

    // a year that no longer fits the field once December carries into it
    kuTm bad = {};
    bad.tm_mday = 32;
    bad.tm_mon = 11;
    bad.tm_year = INT32_MAX;
    bad.tm_wday = 9;
    EXPECT_EQ((time_t)-1, kuTime_mktime(&bad));
    EXPECT_EQ(9, bad.tm_wday);
    EXPECT_EQ(INT32_MAX, bad.tm_year);
    EXPECT_EQ((time_t)-1, kuTime_mktime(nullptr));

    // round trip through localtime
    time_t t = 784111777;
    kuTm g;
    ASSERT_NE(nullptr, kuTime_localtime(&t, &g));
    EXPECT_EQ(t, kuTime_mktime(&g));
}

TEST(kuTime, RFC1123DateAtChosenInstants)
{
    EXPECT_EQ("Thu, 01 Jan 1970 00:00:00 GMT", rfc1123At(0));
    EXPECT_EQ("Sun, 06 Nov 1994 08:49:37 GMT", rfc1123At(784111777));
    EXPECT_EQ("Tue, 19 Jan 2038 03:14:07 GMT", rfc1123At(INT32_MAX));
    if (sizeof(time_t) > 4) {
        EXPECT_EQ("Tue, 19 Jan 2038 03:14:08 GMT", rfc1123At(kWrap));
        EXPECT_EQ("Sun, 07 Feb 2106 06:28:15 GMT", rfc1123At(-1));
    } else {
        EXPECT_EQ("Fri, 13 Dec 1901 20:45:52 GMT", rfc1123At(kWrap));
        EXPECT_EQ("Wed, 31 Dec 1969 23:59:59 GMT", rfc1123At(-1));
    }
}

TEST(kuTime, LocalTimeInMilliseconds)
{
    kutest::LogCapture log;
    kutest::ScopedPlatformHooks hooks;
    kutest::FakeClock clock;
    clock.install(hooks);
    kuuint64 ms = {1, 1};

    clock.now = tv(1234, 567890);
    kuTime_GetLocalTimeMS(&ms);
    EXPECT_EQ(1234567u, ms.low);
    EXPECT_EQ(0u, ms.high);

    // the seconds stay unsigned across 2038, up to the last one of 2106
    clock.now = tv(kWrap, 1000);
    kuTime_GetLocalTimeMS(&ms);
    EXPECT_EQ(2147483648001ULL, (uint64_t)ms.high << 32 | ms.low);
    clock.now = tv(-1, 999999);
    kuTime_GetLocalTimeMS(&ms);
    EXPECT_EQ(4294967295999ULL, (uint64_t)ms.high << 32 | ms.low);

    kuTime_GetLocalTimeMS(nullptr);
    EXPECT_EQ("", log.text()); // no overflow to report
}

} // namespace
