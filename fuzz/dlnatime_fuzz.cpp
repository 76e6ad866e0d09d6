// DLNA durations, times, second counts, dates and fraction text: every text
// gets a defined result, and values written in those notations read back.
#include "FuzzUtil.h"

#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuDLNATime.h>

#include <math.h>

using namespace kufuzz;

namespace {

// Any text: a defined status and, on failure, the documented zero values.
void anyText(const Text &text, const Bytes &bytes)
{
    for (auto parse : {kuConvert_dlnadurationstrtouint32, kuConvert_dlnatimestrtouint32}) {
        uint32_t s = 7, f = 7;
        int32_t st = parse(text.c_str(), &s, &f);
        KU_FUZZ_CHECK(st == 0 ? f <= 999 : st == -3 && s == 0 && f == 0);
    }
    uint32_t s = 7, f = 7;
    int32_t st = kuConvert_dlnaseconddurationstrtouint32(text.c_str(), &s, &f);
    KU_FUZZ_CHECK(st >= -3 && (st <= 0 || (size_t)st < text.length()));
    KU_FUZZ_CHECK(st == 0 ? f <= 999 : s == 7 && f == 7);
    kuDLNADate date;
    st = kuConvert_dlnadatestrtodate(text.c_str(), &date);
    KU_FUZZ_CHECK(st == 0 || st == -3);
    // the counted form reads the bytes as they are, up to their end
    double d = 0;
    st = kuConvert_strfractiontodouble(text.c_str(), &d);
    KU_FUZZ_CHECK(st == 0 || st == 1);
    kuConvert_strnfractiontodouble(bytes.data(), bytes.size(), &d);
}

void printedTimes(FuzzedDataProvider &fdp)
{
    uint32_t h = fdp.ConsumeIntegralInRange<uint32_t>(0, 999999);
    uint32_t m = fdp.ConsumeIntegralInRange<uint32_t>(0, 59);
    uint32_t sec = fdp.ConsumeIntegralInRange<uint32_t>(0, 59);
    uint32_t ms = fdp.ConsumeIntegralInRange<uint32_t>(0, 999);
    uint32_t den = fdp.ConsumeIntegralInRange<uint32_t>(1, 1000);
    uint32_t num = fdp.ConsumeIntegralInRange<uint32_t>(0, den - 1);
    uint32_t count = fdp.ConsumeIntegral<uint32_t>();
    auto reads = [](auto parse, const std::string &text, uint32_t seconds, uint32_t fraction) {
        uint32_t s = 0, f = 0;
        return parse(Text(text).c_str(), &s, &f) == 0 && s == seconds && f == fraction;
    };
    uint32_t total = h * 3600 + m * 60 + sec;
    KU_FUZZ_CHECK(reads(kuConvert_dlnadurationstrtouint32, format("%u:%02u:%02u.%u", h, m, sec, ms),
                        total, ms));
    KU_FUZZ_CHECK(reads(kuConvert_dlnadurationstrtouint32,
                        format("%u:%02u:%02u.%u/%u", h, m, sec, num, den), total,
                        (uint32_t)((double)num / den * 1000.0)));
    h %= 100000;
    KU_FUZZ_CHECK(reads(kuConvert_dlnatimestrtouint32, format("%u:%u:%02u.%u", h, m, sec, ms),
                        h * 3600 + m * 60 + sec, ms));
    KU_FUZZ_CHECK(reads(kuConvert_dlnaseconddurationstrtouint32, format("%u.%u", count, ms), count, ms));
}

void printedDate(FuzzedDataProvider &fdp)
{
    auto pick = [&fdp](int32_t low, int32_t high) { return fdp.ConsumeIntegralInRange<int32_t>(low, high); };
    // every field in its range, in the order of the struct
    kuDLNADate in = {pick(0, 9999), pick(1, 12),  pick(1, 31),   pick(0, 23), pick(0, 59),
                     pick(0, 59),   pick(0, 999), pick(-23, 23), pick(0, 59)};
    int form = fdp.ConsumeIntegralInRange<int>(0, 3);
    std::string text = format("%04d-%02d-%02d", in.year, in.month, in.day);
    // a date alone, then a time in UTC ("Z"), with a zone, or without one
    if (form > 0)
        text += format("T%02d:%02d:%02d.%03d", in.hour, in.minute, in.second, in.fraction);
    if (form == 2)
        text += format("%c%02d:%02d", in.zoneHour < 0 ? '-' : '+', abs(in.zoneHour), in.zoneMinute);
    text += form == 1 ? "Z" : "";
    if (form == 0)
        in.hour = in.minute = in.second = in.fraction = 0;
    if (form != 2)
        in.zoneHour = in.zoneMinute = 0;
    kuDLNADate out;
    KU_FUZZ_CHECK(kuConvert_dlnadatestrtodate(Text(text).c_str(), &out) == 0 &&
                  memcmp(&in, &out, sizeof in) == 0);
}

// Fraction text read back, and a double's fraction text read back near it.
void fractions(FuzzedDataProvider &fdp)
{
    int32_t whole = fdp.ConsumeIntegralInRange<int32_t>(-100000, 100000);
    int32_t den = fdp.ConsumeIntegralInRange<int32_t>(1, 100000);
    int32_t num = fdp.ConsumeIntegralInRange<int32_t>(0, den - 1);
    double d = 0;
    Text mixed(format("%d %d/%d", whole, num, den));
    KU_FUZZ_CHECK(kuConvert_strfractiontodouble(mixed.c_str(), &d) == 0 &&
                  d == (whole < 0 ? whole - (double)num / den : whole + (double)num / den));

    double value = fdp.ConsumeFloatingPoint<double>();
    int32_t largest = fdp.ConsumeIntegral<int32_t>();
    double tolerance = fdp.ConsumeFloatingPoint<double>();
    Owned<char> text;
    int32_t st = kuConvert_doubletofraction(value, largest, tolerance, text.out());
    KU_FUZZ_CHECK(isfinite(value) ? st == 0 && text.get() != nullptr : st == -3 && !text.get());
    double back = 0;
    if (text.get() != nullptr)
        KU_FUZZ_CHECK(kuConvert_strfractiontodouble(text.get(), &back) == 0);
    if (text.get() != nullptr && fabs(value) < 1e9 && largest >= 1 && tolerance >= 0 && tolerance < 1)
        KU_FUZZ_CHECK(fabs(back - value) <= 1.0 + tolerance);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    Bytes bytes(data, size);
    anyText(Text(kufuzz::upToZero(std::string((const char *)data, size))), bytes);
    printedTimes(fdp);
    printedDate(fdp);
    fractions(fdp);
    return 0;
}
