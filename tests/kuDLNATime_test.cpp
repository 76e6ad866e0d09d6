#include <kuvanaTools/kuDLNATime.h>

#include <gtest/gtest.h>

#include <string.h>

#include <tuple>

using Parser = int32_t (*)(const char *, uint32_t *, uint32_t *);

// status, seconds, sub-second count; the outputs start at 77
static std::tuple<int32_t, uint32_t, uint32_t> run(Parser parse, const char *text)
{
    uint32_t seconds = 77, sub = 77;
    int32_t status = parse(text, &seconds, &sub);
    return std::make_tuple(status, seconds, sub);
}

TEST(kuDLNATime, ClockNotationsAndDates)
{
    const Parser duration = kuConvert_dlnadurationstrtouint32, position = kuConvert_dlnatimestrtouint32;
    const Parser count = kuConvert_dlnaseconddurationstrtouint32;
    const uint32_t last = 59 * 60 + 59;
    const struct { Parser parse; const char *text; int32_t status; uint32_t seconds, sub; } cases[] = {
        {duration, "1:02:03.500", 0, 3723, 500}, {duration, "1:02:03.5", 0, 3723, 5},
        {duration, "1:02:03.1/4", 0, 3723, 250}, {duration, "0:00:00.0", 0, 0, 0},
        {duration, ":02:03", 0, 123, 0}, {position, "59", 0, 59, 0}, {position, "1:30", 0, 90, 0},
        {duration, "999999:59:59.999", 0, 999999u * 3600 + last, 999},
        {position, "1:02:03.040", 0, 3723, 40}, {position, "99999:59:59.999", 0, 99999u * 3600 + last, 999},
        {count, "12.345", 0, 12, 345}, {count, "12", 0, 12, 0}, {count, "12.5", 0, 12, 5},
        // a failed second count leaves its outputs alone
        {count, "12.", -3, 77, 77}, {count, ".5", -3, 77, 77}, {count, "12x", 2, 77, 77},
        {count, "12.34x", 2, 77, 77}, {count, "12.1000", -3, 77, 77}, {count, "4294967296", -1, 77, 77},
        {count, "", -3, 77, 77}, {count, nullptr, -3, 77, 77},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::make_tuple(c.status, c.seconds, c.sub), run(c.parse, c.text)) << c.text;

    // failed durations and positions clear their outputs
    for (const char *bad : {"1000000:00:00", "1:2:03", "1:02:3", "1:002:03", "1:60:00", "1:00:60",
                            "01:02", "1:02:03:04", "1:02:03.1000", "1:02:03.", "1:02:03.x",
                            "1:02:03.3/2", "1:02:03.-5", "1.5:02:03", "1:02:03 ", "+1:02:03", "",
                            (const char *)nullptr})
        EXPECT_EQ(std::make_tuple(-3, 0u, 0u), run(duration, bad)) << bad;
    for (const char *bad : {"90", "100000:00:00", "1.2:3", "1:2:3:4", "1:2:3.4.5", "1:2:3.1000",
                            "1::3", ":30", "30:", "1:60", "1:3x", "", (const char *)nullptr})
        EXPECT_EQ(std::make_tuple(-3, 0u, 0u), run(position, bad)) << bad;

    uint32_t s = 5;
    EXPECT_EQ(0, kuConvert_dlnadurationstrtouint32("0:00:07.250", &s, nullptr));
    EXPECT_EQ(7u, s);

    // A failure keeps the fields read before the error.
    // fields: year month day hour minute second fraction zone-hour zone-minute
    const char *none = "0 0 0 0 0 0 0 0 0", *y = "2011 0 0 0 0 0 0 0 0", *ym = "2011 12 0 0 0 0 0 0 0";
    const char *time = "2011 12 2 10 20 30 0 0 0", *zone = "2011 12 2 10 20 30 0 1 0";
    const char *date = "2011 12 2 0 0 0 0 0 0", *hour = "2011 12 2 10 0 0 0 0 0";
    const struct { const char *text; int32_t status; const char *fields; } dates[] = {
        {"2011-12-02", 0, date}, {"2011-12", 0, ym}, {"2011-12-02T10:20:30Z", 0, time},
        {"2011-12-02T10:20:30.250Z", 0, "2011 12 2 10 20 30 250 0 0"},
        {"2011-12-02T10:20:30.5-05:30", 0, "2011 12 2 10 20 30 5 -5 30"},
        // after a fraction any separator but 'Z' opens the zone
        {"2011-12-02T10:20:30.250.01:00", 0, "2011 12 2 10 20 30 250 1 0"},
        {"0000-01-01T00:00:00", 0, "0 1 1 0 0 0 0 0 0"},
        {"9999-12-31T23:59:59.999+23:59", 0, "9999 12 31 23 59 59 999 23 59"},
        {"2011-13-01", -3, y}, {"2011", -3, none}, {"2011-12-02T10:20:30Zx", -3, time},
        {"2011-12-02T10:20:30+01:00Z", -3, zone}, {"2011-12-02T10:20:30+01:00:00", -3, zone},
        {"2011-12-02 10:20:30", -3, ym}, {"2011-12-02T10-20", -3, hour}, {"2011--02", -3, y},
        {"2011-12-", -3, ym}, {"2011-12-00", -3, ym}, {"2011-12-32", -3, ym},
        {"2011-12-02T10:60:00", -3, hour}, {"2011-12-02T10:20:60", -3, "2011 12 2 10 20 0 0 0 0"},
        {"2011-12-02T10:20:30+01:60", -3, zone}, {"10000-01-01", -3, none},
        {"2011-12-02T24:00", -3, date}, {"2011-12-02T10:20:30+24:00", -3, time},
        {"2011-12-02T10:20:30.1000", -3, time}, {"1-1-1T1:1:1.1+1:1:1", -3, none}, // ten fields
        {"", -3, none}, {nullptr, -3, none},
    };
    for (const auto &c : dates) {
        kuDLNADate d;
        memset(&d, 0x55, sizeof d);
        EXPECT_EQ(c.status, kuConvert_dlnadatestrtodate(c.text, &d)) << c.text;
        char fields[128];
        snprintf(fields, sizeof fields, "%d %d %d %d %d %d %d %d %d", d.year, d.month, d.day,
                 d.hour, d.minute, d.second, d.fraction, d.zoneHour, d.zoneMinute);
        EXPECT_STREQ(c.fields, fields) << c.text;
    }
}
