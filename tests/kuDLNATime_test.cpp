#include <kuvanaTools/kuDLNATime.h>

#include <gtest/gtest.h>

#include <string.h>

namespace {

struct Time {
    int32_t status;
    uint32_t seconds;
    uint32_t sub;
};

Time duration(const char *text)
{
    Time t = {0, 77, 77};
    t.status = kuConvert_dlnadurationstrtouint32(text, &t.seconds, &t.sub);
    return t;
}

Time position(const char *text)
{
    Time t = {0, 77, 77};
    t.status = kuConvert_dlnatimestrtouint32(text, &t.seconds, &t.sub);
    return t;
}

Time secondCount(const char *text)
{
    Time t = {0, 77, 77};
    t.status = kuConvert_dlnaseconddurationstrtouint32(text, &t.seconds, &t.sub);
    return t;
}

#define EXPECT_TIME(status_, seconds_, sub_, call)                             \
    do {                                                                       \
        Time t_ = (call);                                                      \
        EXPECT_EQ(status_, t_.status) << #call;                                \
        EXPECT_EQ(seconds_, t_.seconds) << #call;                              \
        EXPECT_EQ(sub_, t_.sub) << #call;                                      \
    } while (0)

} // namespace

TEST(kuDLNATime, Durations)
{
    EXPECT_TIME(0, 3723u, 0u, duration("1:02:03"));
    EXPECT_TIME(0, 3723u, 500u, duration("1:02:03.500"));
    EXPECT_TIME(0, 3723u, 5u, duration("1:02:03.5"));
    EXPECT_TIME(0, 3723u, 250u, duration("1:02:03.1/4"));
    EXPECT_TIME(0, 123u, 0u, duration(":02:03"));
    EXPECT_TIME(0, 999999u * 3600 + 59 * 60 + 59, 999u, duration("999999:59:59.999"));
    EXPECT_TIME(0, 0u, 0u, duration("0:00:00.0"));
    EXPECT_TIME(-3, 0u, 0u, duration("1000000:00:00"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:2:03"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:02:3"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:002:03"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:60:00"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:00:60"));
    EXPECT_TIME(-3, 0u, 0u, duration("01:02"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:02:03:04"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:02:03.1000"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:02:03."));
    EXPECT_TIME(-3, 0u, 0u, duration("1:02:03.x"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:02:03.3/2"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:02:03.-5"));
    EXPECT_TIME(-3, 0u, 0u, duration("1.5:02:03"));
    EXPECT_TIME(-3, 0u, 0u, duration("1:02:03 "));
    EXPECT_TIME(-3, 0u, 0u, duration("+1:02:03"));
    EXPECT_TIME(-3, 0u, 0u, duration(""));
    EXPECT_TIME(-3, 0u, 0u, duration(nullptr));

    uint32_t s = 5;
    EXPECT_EQ(0, kuConvert_dlnadurationstrtouint32("0:00:07.250", &s, nullptr));
    EXPECT_EQ(7u, s);
}

TEST(kuDLNATime, TimesAndPositions)
{
    EXPECT_TIME(-3, 0u, 0u, position("90"));
    EXPECT_TIME(0, 59u, 0u, position("59"));
    EXPECT_TIME(0, 90u, 0u, position("1:30"));
    EXPECT_TIME(0, 99999u * 3600 + 59 * 60 + 59, 999u, position("99999:59:59.999"));
    EXPECT_TIME(-3, 0u, 0u, position("100000:00:00"));
    EXPECT_TIME(0, 12u, 5u, position("12.5"));
    EXPECT_TIME(0, 3723u, 40u, position("1:02:03.040"));
    EXPECT_TIME(-3, 0u, 0u, position("1.2:3"));
    EXPECT_TIME(-3, 0u, 0u, position("1:2:3:4"));
    EXPECT_TIME(-3, 0u, 0u, position("1:2:3.4.5"));
    EXPECT_TIME(-3, 0u, 0u, position("1:2:3.1000"));
    EXPECT_TIME(-3, 0u, 0u, position("1::3"));
    EXPECT_TIME(-3, 0u, 0u, position(":30"));
    EXPECT_TIME(-3, 0u, 0u, position("30:"));
    EXPECT_TIME(-3, 0u, 0u, position("1:60"));
    EXPECT_TIME(-3, 0u, 0u, position("1:3x"));
    EXPECT_TIME(-3, 0u, 0u, position(""));
    EXPECT_TIME(-3, 0u, 0u, position(nullptr));
}

TEST(kuDLNATime, SecondCounts)
{
    EXPECT_TIME(0, 12u, 345u, secondCount("12.345"));
    EXPECT_TIME(0, 12u, 0u, secondCount("12"));
    EXPECT_TIME(0, 12u, 5u, secondCount("12.5"));
    // failures leave the outputs alone
    EXPECT_TIME(-3, 77u, 77u, secondCount("12."));
    EXPECT_TIME(-3, 77u, 77u, secondCount(".5"));
    EXPECT_TIME(2, 77u, 77u, secondCount("12x"));
    EXPECT_TIME(2, 77u, 77u, secondCount("12.34x"));
    EXPECT_TIME(-3, 77u, 77u, secondCount("12.1000"));
    EXPECT_TIME(-1, 77u, 77u, secondCount("4294967296"));
    EXPECT_TIME(-3, 77u, 77u, secondCount(""));
    EXPECT_TIME(-3, 77u, 77u, secondCount(nullptr));
}

TEST(kuDLNATime, Dates)
{
    kuDLNADate d;
    memset(&d, 0x55, sizeof d);
    EXPECT_EQ(0, kuConvert_dlnadatestrtodate("2011-12-02", &d));
    EXPECT_EQ(2011, d.year);
    EXPECT_EQ(12, d.month);
    EXPECT_EQ(2, d.day);
    EXPECT_EQ(0, d.hour);
    EXPECT_EQ(0, d.zoneMinute);

    EXPECT_EQ(0, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30.250Z", &d));
    EXPECT_EQ(10, d.hour);
    EXPECT_EQ(20, d.minute);
    EXPECT_EQ(30, d.second);
    EXPECT_EQ(250, d.fraction);
    EXPECT_EQ(0, d.zoneHour);

    EXPECT_EQ(0, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30-05:30", &d));
    EXPECT_EQ(-5, d.zoneHour);
    EXPECT_EQ(30, d.zoneMinute);
    EXPECT_EQ(0, d.fraction);
    EXPECT_EQ(0, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30+01:00", &d));
    EXPECT_EQ(1, d.zoneHour);
    EXPECT_EQ(0, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30.5-01:15", &d));
    EXPECT_EQ(5, d.fraction);
    EXPECT_EQ(-1, d.zoneHour);
    EXPECT_EQ(15, d.zoneMinute);
    EXPECT_EQ(0, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30Z", &d));
    EXPECT_EQ(0, kuConvert_dlnadatestrtodate("2011-12", &d));
    EXPECT_EQ(2011, d.year);
    EXPECT_EQ(12, d.month);
    EXPECT_EQ(0, d.day);
    EXPECT_EQ(0, kuConvert_dlnadatestrtodate("0000-01-01T00:00:00", &d));
    EXPECT_EQ(0, kuConvert_dlnadatestrtodate("9999-12-31T23:59:59.999+23:59", &d));
    // after a fraction any separator but 'Z' opens the zone
    EXPECT_EQ(0, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30.250.01:00", &d));
    EXPECT_EQ(1, d.zoneHour);

    // failures keep what was read before the error
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-13-01", &d));
    EXPECT_EQ(2011, d.year);
    EXPECT_EQ(0, d.month);
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011", &d));
    EXPECT_EQ(0, d.year);
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30Zx", &d));
    EXPECT_EQ(30, d.second);
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30ZZ", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30+01:00Z", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30+01:00:00", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-02 10:20:30", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-02T10-20", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011--02", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-00", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("10000-01-01", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-02T24:00", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30+24:00", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("2011-12-02T10:20:30.1000", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("1-1-1T1:1:1.1+1:1:1", &d)); // ten fields
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate("", &d));
    EXPECT_EQ(-3, kuConvert_dlnadatestrtodate(nullptr, &d));
    EXPECT_EQ(0, d.year);
}
