// DLNA durations, clock times, second counts and dates.
#include <kuvanaTools/kuDLNATime.h>
#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/private/kuCharClass.h>

#include <string.h>

namespace {

constexpr int32_t kFailed = -3;

inline void setIfWanted(uint32_t *out, uint32_t value)
{
    if (out != nullptr)
        *out = value;
}

} // namespace

int32_t kuConvert_dlnadurationstrtouint32(const char *text, uint32_t *seconds,
                                          uint32_t *milliseconds)
{
    *seconds = 0;
    setIfWanted(milliseconds, 0);
    if (text == nullptr)
        return kFailed;

    // hours, minutes, seconds and their digit counts
    uint32_t field[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    const int maxDigits[3] = {6, 2, 2};
    int index = 0;
    const char *fraction = nullptr;
    for (const char *p = text; *p != '\0' && fraction == nullptr; p++) {
        char c = *p;
        if (ku::isDigit(c)) {
            if (++digits[index] > maxDigits[index])
                return kFailed;
            field[index] = field[index] * 10 + (uint32_t)(c - '0');
        } else if (c == ':') {
            if (index == 2 || (index == 1 && digits[1] != 2))
                return kFailed;
            index++;
        } else if (c == '.' && index == 2) {
            fraction = p + 1;
        } else {
            return kFailed;
        }
    }
    if (index != 2 || digits[2] != 2 || field[1] > 59 || field[2] > 59)
        return kFailed;

    uint32_t ms = 0;
    if (fraction != nullptr) {
        double value;
        if (kuConvert_strfractiontodouble(fraction, &value) != 0)
            return kFailed;
        if (strchr(fraction, '/') != nullptr)
            value *= 1000.0;
        // NaN fails both comparisons
        if (!(value > -1.0 && value < 1000.0))
            return kFailed;
        ms = (uint32_t)value;
    }
    *seconds = field[0] * 3600 + field[1] * 60 + field[2];
    setIfWanted(milliseconds, ms);
    return 0;
}

int32_t kuConvert_dlnatimestrtouint32(const char *text, uint32_t *seconds, uint32_t *fraction)
{
    *seconds = 0;
    setIfWanted(fraction, 0);
    if (text == nullptr)
        return kFailed;

    uint32_t field[4];
    int count = 0;
    int fractionIndex = -1; // the field after the '.'
    uint32_t current = 0;
    int digits = 0;
    for (const char *p = text;; p++) {
        char c = *p;
        if (ku::isDigit(c)) {
            if (++digits > 5)
                return kFailed;
            current = current * 10 + (uint32_t)(c - '0');
            continue;
        }
        if (c != ':' && c != '.' && c != '\0')
            return kFailed;
        if (digits == 0 || count == 4)
            return kFailed;
        field[count++] = current;
        current = 0;
        digits = 0;
        if (c == '\0')
            break;
        if (c == '.') {
            if (fractionIndex >= 0)
                return kFailed;
            fractionIndex = count;
        }
    }
    uint32_t subSecond = 0;
    if (fractionIndex >= 0) {
        if (fractionIndex != count - 1 || field[count - 1] >= 1000)
            return kFailed;
        subSecond = field[--count];
    }
    if (count > 3)
        return kFailed;
    uint32_t s = field[count - 1];
    uint32_t m = count >= 2 ? field[count - 2] : 0;
    uint32_t h = count >= 3 ? field[0] : 0; // 5 digits: at most 99999
    if (m > 59 || s > 59)
        return kFailed;
    *seconds = h * 3600 + m * 60 + s;
    setIfWanted(fraction, subSecond);
    return 0;
}

int32_t kuConvert_dlnaseconddurationstrtouint32(const char *text, uint32_t *seconds,
                                                uint32_t *milliseconds)
{
    if (text == nullptr)
        return kFailed;
    const char *dot = strchr(text, '.');
    uint32_t whole, ms = 0;
    int32_t status = kuConvert_strntouint32(text, dot ? (size_t)(dot - text) : strlen(text),
                                            &whole);
    if (status != 0)
        return status;
    if (dot != nullptr) {
        status = kuConvert_strtouint32(dot + 1, &ms);
        if (status != 0)
            return status;
        if (ms >= 1000)
            return kFailed;
    }
    *seconds = whole;
    setIfWanted(milliseconds, ms);
    return 0;
}

namespace {

enum DateField { Year, Month, Day, Hour, Minute, Second, Fraction, ZoneHour, ZoneMinute, Done };

struct FieldRule {
    int32_t low, high;
    char next; // separator that must follow (0: decided in code)
};

constexpr FieldRule kDateRules[] = {
    {0, 9999, '-'}, {1, 12, '-'}, {1, 31, 'T'}, {0, 23, ':'}, {0, 59, ':'},
    {0, 59, 0},     {0, 999, 0},  {0, 23, ':'}, {0, 59, 0},
};

bool isDateSeparator(char c)
{
    return c == '-' || c == ':' || c == '.' || c == 'T' || c == 'Z' || c == '+';
}

int32_t *dateSlot(kuDLNADate *date, int field)
{
    int32_t *slots[] = {&date->year,   &date->month,  &date->day,
                        &date->hour,   &date->minute, &date->second,
                        &date->fraction, &date->zoneHour, &date->zoneMinute};
    return slots[field];
}

// The field after one that ended with separator, or -1 for a mismatch.
int nextDateField(int field, char separator)
{
    if (separator == '\0')
        return Done;
    switch (field) {
    case Second:
        return separator == 'Z' ? Done : separator == '-' || separator == '+' ? ZoneHour : Fraction;
    case Fraction:
        return separator == 'Z' ? Done : ZoneHour;
    case ZoneMinute:
        return -1;
    default:
        return separator == kDateRules[field].next ? field + 1 : -1;
    }
}

} // namespace

int32_t kuConvert_dlnadatestrtodate(const char *text, kuDLNADate *date)
{
    memset(date, 0, sizeof *date);
    if (text == nullptr)
        return kFailed;
    int tokens = 1;
    for (const char *p = text; *p != '\0'; p++)
        tokens += isDateSeparator(*p);
    if (tokens < 2 || tokens > 9)
        return kFailed;

    int field = Year;
    char before = '\0'; // the separator that opened the current token
    for (const char *p = text;;) {
        const char *end = p;
        while (*end != '\0' && !isDateSeparator(*end))
            end++;
        char separator = *end;
        if (field == Done) {
            // a 'Z' finished the date: only the end of the text may follow
            return end == p && separator == '\0' ? 0 : kFailed;
        }
        int32_t value;
        if (kuConvert_strntoint32(p, (size_t)(end - p), &value) != 0 ||
            value < kDateRules[field].low || value > kDateRules[field].high)
            return kFailed;
        *dateSlot(date, field) = field == ZoneHour && before == '-' ? -value : value;
        field = nextDateField(field, separator);
        if (field < 0)
            return kFailed;
        if (separator == '\0')
            return 0;
        before = separator;
        p = end + 1;
    }
}
