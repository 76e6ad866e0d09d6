// Time values, time-outs and calendar time on the platform clock.
#include <kuvanaTools/kuTime.h>

#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/private/kuLogInternal.h>
#include <kuvanaTools/private/kuTimeInternal.h>

#include <time.h>

static_assert(sizeof(kuTimeVal) == 8, "two signed 32-bit fields");
static_assert(sizeof(kuTm) == 40, "ten signed 32-bit fields");
static_assert(offsetof(kuTm, tm_isdst) == 24 && offsetof(kuTm, tm_reserved) == 36,
              "flag before day of week and day of year");

namespace {

constexpr int32_t kMicro = 1000000;
constexpr ku::LogSource kLog = {ku::kLogTime, "kuvanaTools/kuTime"};
// Lines of the overflow records, as readers of the log know them.
constexpr int kLineProductOverflow = 74;
constexpr int kLineSumOverflow = 78;

// 32-bit seconds that wrap instead of overflowing.
inline int32_t wrapAdd(int32_t a, int64_t b)
{
    return (int32_t)(uint32_t)((uint64_t)(int64_t)a + (uint64_t)b);
}

// Brings b's microseconds within one second below a's; b is changed in place.
void alignMicroseconds(const kuTimeVal &a, kuTimeVal &b)
{
    // 64-bit: fields far out of range must not overflow on the way
    int64_t aus = a.tv_usec;
    int64_t bus = b.tv_usec;
    int64_t k = 0;
    if (aus < bus)
        k = -((bus - aus) / kMicro + 1);
    else if (aus - bus > kMicro)
        k = (aus - bus) / kMicro;
    if (k == 0)
        return;
    b.tv_usec = (int32_t)(uint32_t)(uint64_t)(bus + k * kMicro);
    b.tv_sec = wrapAdd(b.tv_sec, -k);
}

// Returns 1 when the difference is negative.
int subtract(kuTimeVal &result, const kuTimeVal &a, kuTimeVal &b)
{
    alignMicroseconds(a, b);
    int32_t seconds = wrapAdd(a.tv_sec, -(int64_t)b.tv_sec);
    result.tv_usec = (int32_t)(uint32_t)(uint64_t)((int64_t)a.tv_usec - b.tv_usec);
    result.tv_sec = seconds;
    return seconds < 0 ? 1 : 0;
}

time_t calendarSeconds(const kuTimeVal &v)
{
    if (sizeof(time_t) > 4)
        return (time_t)ku::unsignedSeconds(v);
    return (time_t)v.tv_sec;
}

void fromTm(kuTm *out, const struct tm &r)
{
    out->tm_sec = r.tm_sec;
    out->tm_min = r.tm_min;
    out->tm_hour = r.tm_hour;
    out->tm_mday = r.tm_mday;
    out->tm_mon = r.tm_mon;
    out->tm_year = r.tm_year;
    out->tm_isdst = r.tm_isdst;
    out->tm_wday = r.tm_wday;
    out->tm_yday = r.tm_yday;
}

// The reentrant converters: no result area shared between threads.
template <struct tm *(*Convert)(const time_t *, struct tm *)>
kuTm *convert(const time_t *t, kuTm *out)
{
    if (t == nullptr || out == nullptr)
        return nullptr;
    time_t seconds = *t;
    struct tm fields;
    if (Convert(&seconds, &fields) == nullptr)
        return nullptr;
    fromTm(out, fields);
    return out;
}

struct tm toTm(const kuTm *in)
{
    struct tm r = {};
    r.tm_sec = in->tm_sec;
    r.tm_min = in->tm_min;
    r.tm_hour = in->tm_hour;
    r.tm_mday = in->tm_mday;
    r.tm_mon = in->tm_mon;
    r.tm_year = in->tm_year;
    r.tm_isdst = in->tm_isdst;
    r.tm_wday = in->tm_wday;
    r.tm_yday = in->tm_yday;
    return r;
}

constexpr const char *kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char *kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <size_t N> const char *name(const char *const (&table)[N], int32_t index)
{
    return index >= 0 && (size_t)index < N ? table[index] : "???";
}

} // namespace

// ---------------------------------------------------------------- kuTimeVal

int kuTimeVal_Less(const kuTimeVal *a, const kuTimeVal *b)
{
    if (a == nullptr || b == nullptr)
        return 0;
    return a->tv_sec < b->tv_sec || (a->tv_sec == b->tv_sec && a->tv_usec < b->tv_usec);
}

int kuTimeVal_Compare(const kuTimeVal *a, const kuTimeVal *b)
{
    if (kuTimeVal_Less(b, a))
        return 1;
    return kuTimeVal_Less(a, b) ? -1 : 0;
}

int kuTimeVal_Substract(kuTimeVal *result, const kuTimeVal *a, kuTimeVal *b)
{
    if (result == nullptr || a == nullptr || b == nullptr)
        return 0;
    kuTimeVal minuend = *a; // result or b may be a
    kuTimeVal r;
    int negative = subtract(r, minuend, *b);
    *result = r;
    return negative;
}

void kuTimeVal_Add(kuTimeVal *value, uint32_t milliseconds)
{
    if (value == nullptr)
        return;
    int64_t us = (int64_t)value->tv_usec + (int64_t)(milliseconds % 1000) * 1000;
    int64_t carry = us / kMicro;
    value->tv_usec = (int32_t)(us - carry * kMicro);
    value->tv_sec = wrapAdd(value->tv_sec, (int64_t)(milliseconds / 1000) + carry);
}

void kuTimeVal_TimeOfTimeOut(kuTimeVal *value, uint32_t milliseconds)
{
    if (value == nullptr)
        return;
    *value = ku::timeOfDay();
    kuTimeVal_Add(value, milliseconds);
}

uint32_t kuTimeVal_RemainingTimeOut(const kuTimeVal *deadline)
{
    if (deadline == nullptr)
        return 0;
    kuTimeVal now = ku::timeOfDay();
    kuTimeVal left;
    if (subtract(left, *deadline, now))
        return 0;
    return (uint32_t)left.tv_sec * 1000u + (uint32_t)(left.tv_usec / 1000);
}

// ------------------------------------------------------------------- kuTime

time_t kuTime_time(time_t *t)
{
    time_t now = calendarSeconds(ku::timeOfDay());
    if (t != nullptr)
        *t = now;
    return now;
}

kuTm *kuTime_gmtime(const time_t *t, kuTm *out)
{
    return convert<gmtime_r>(t, out);
}

kuTm *kuTime_localtime(const time_t *t, kuTm *out)
{
    tzset(); // localtime_r need not look at TZ again; localtime does
    kuTm *fields = convert<localtime_r>(t, out);
    if (fields != nullptr)
        fields->tm_reserved = 0;
    return fields;
}

time_t kuTime_mktime(kuTm *tm)
{
    if (tm == nullptr)
        return (time_t)-1;
    struct tm fields = toTm(tm);
    time_t t = mktime(&fields);
    if (t >= 0)
        fromTm(tm, fields);
    return t;
}

char *kuTime_GetRFC1123Date(void)
{
    time_t t = kuTime_time(nullptr);
    kuTm f = {};
    kuTime_gmtime(&t, &f);
    return ku_mnprintf("%s, %02d %s %04d %02d:%02d:%02d GMT", name(kDays, f.tm_wday),
                       (int)f.tm_mday, name(kMonths, f.tm_mon), (int)f.tm_year + 1900,
                       (int)f.tm_hour, (int)f.tm_min, (int)f.tm_sec);
}

void kuTime_GetLocalTimeMS(kuuint64 *out)
{
    if (out == nullptr)
        return;
    kuTimeVal now = ku::timeOfDay();
    uint64_t product;
    if (__builtin_mul_overflow(ku::unsignedSeconds(now), (uint64_t)1000, &product))
        ku::log(kLog, kLineProductOverflow, "kuTime: kuTime_GetLocalTimeMS overflow 1\n");
    uint64_t total;
    if (__builtin_add_overflow(product, (uint64_t)(uint32_t)(now.tv_usec / 1000), &total))
        ku::log(kLog, kLineSumOverflow, "kuTime: kuTime_GetLocalTimeMS overflow 2\n");
    out->low = (uint32_t)total;
    out->high = (uint32_t)(total >> 32);
}
