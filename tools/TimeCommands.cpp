// time duration|clock|date|fraction: DLNA times and fractions.
#include "Cli.h"

#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuDLNATime.h>

#include <cstdlib>

namespace kuvana {

namespace {

int timeDuration(Io &io, const Args &args)
{
    args.expect(1, 1);
    uint32_t seconds = 0, ms = 0;
    const std::string &text = args[0];
    if (kuConvert_dlnadurationstrtouint32(text.c_str(), &seconds, &ms) != 0)
        inputError("'%s' is not a duration H:MM:SS[.F]", text.c_str());
    // The library reads the whole rest as a number or fraction, so "5.6" or
    // " 1/2" pass there; only digits or digits/digits are a fraction here.
    size_t dot = text.find('.');
    std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    size_t slash = fraction.find('/');
    std::string digits = fraction.substr(0, slash);
    bool plain = !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
    if (dot != std::string::npos &&
        (!plain || (slash != std::string::npos &&
                    (slash + 1 == fraction.size() ||
                     fraction.find_first_not_of("0123456789", slash + 1) != std::string::npos))))
        inputError("'%s': the fraction '.%s' is neither digits nor digits/digits", text.c_str(),
                   fraction.c_str());
    if (slash == std::string::npos && plain && digits.size() != 3)
        warn(io, format("'.%s' is read as %u ms: the digits after the point count milliseconds, "
                        "they are no decimal fraction (half a second is .500 or .1/2)",
                        digits.c_str(), ms));
    if (args.has("--json")) {
        Json j;
        j.beginObject().field("seconds", seconds).field("milliseconds", ms);
        io.out.put(addWarnings(j, io).endObject().text());
        return kOk;
    }
    io.out.print("%u.%03u s (%u h %02u min %02u.%03u s)\n", seconds, ms, seconds / 3600,
                 seconds / 60 % 60, seconds % 60, ms);
    return kOk;
}

int timeClock(Io &io, const Args &args)
{
    args.expect(1, 1);
    uint32_t seconds = 0, fraction = 0;
    if (kuConvert_dlnatimestrtouint32(args[0].c_str(), &seconds, &fraction) != 0)
        inputError("'%s' is not a clock time [[H:]M:]S[.F]", args[0].c_str());
    if (args.has("--json")) {
        io.out.put(addWarnings(Json().beginObject().field("seconds", seconds)
                                   .field("fraction", fraction), io)
                       .endObject().text());
        return kOk;
    }
    io.out.print("%u s, fraction %u (%u:%02u:%02u)\n", seconds, fraction, seconds / 3600,
                 seconds / 60 % 60, seconds % 60);
    return kOk;
}

int timeDate(Io &io, const Args &args)
{
    args.expect(1, 1);
    kuDLNADate d;
    if (kuConvert_dlnadatestrtodate(args[0].c_str(), &d) != 0)
        inputError("'%s' is not a date YYYY-MM-DD[THH:MM:SS[.F]][Z|+HH:MM]", args[0].c_str());
    if (args.has("--json")) {
        Json j;
        j.beginObject().field("year", d.year).field("month", d.month).field("day", d.day)
            .field("hour", d.hour).field("minute", d.minute).field("second", d.second)
            .field("fraction", d.fraction).field("zoneHour", d.zoneHour)
            .field("zoneMinute", d.zoneMinute);
        addWarnings(j, io).endObject();
        io.out.put(j.text());
        return kOk;
    }
    io.out.print("%04d-%02d-%02d %02d:%02d:%02d.%03d %c%02d:%02d\n", d.year, d.month, d.day,
                 d.hour, d.minute, d.second, d.fraction, d.zoneHour < 0 ? '-' : '+',
                 abs(d.zoneHour), d.zoneMinute);
    return kOk;
}

int timeFraction(Io &io, const Args &args)
{
    args.expect(1, 1);
    unsigned long largest = parseNumber(args.value("--max-denominator", "1000"), 2147483647,
                                        "denominator");
    double value = 0;
    if (kuConvert_strfractiontodouble(args[0].c_str(), &value) != 0)
        inputError("'%s' is not a number or fraction (N/D, I N/D)", args[0].c_str());
    char *text = nullptr;
    kuConvert_doubletofraction(value, int32_t(largest), 1e-9, &text);
    KuString fraction(text);
    if (args.has("--json")) {
        io.out.put(addWarnings(Json().beginObject().field("value", value)
                                   .field("fraction", fraction.get()), io)
                       .endObject().text());
        return kOk;
    }
    io.out.print("%.10g = %s\n", value, str(fraction).c_str());
    return kOk;
}

} // namespace

void addTimeCommands(std::vector<Command> &commands)
{
    const std::vector<OptionDef> json{kJson};
    commands.push_back({"time", "duration", "[--json] H:MM:SS[.F]",
                        "a DLNA duration in seconds and milliseconds",
                        "The fraction may be digits (.250) or a fraction (.1/4). The digits count\n"
                        "milliseconds, so .5 is 5 ms (a warning says so when there are not three).\n", json,
                        timeDuration});
    commands.push_back({"time", "clock", "[--json] [[H:]M:]S[.F]",
                        "a DLNA clock time or position in seconds", "", json, timeClock});
    commands.push_back({"time", "date", "[--json] YYYY-MM-DD[THH:MM:SS[.F]][Z|+HH:MM]",
                        "a DLNA date split into its fields", "", json, timeDate});
    commands.push_back({"time", "fraction", "[--json] [--max-denominator N] NUMBER",
                        "a number, fraction (3/4) or mixed number (1 1/2) and its fraction",
                        "", {kJson, {"--max-denominator", true}}, timeFraction});
}

} // namespace kuvana
