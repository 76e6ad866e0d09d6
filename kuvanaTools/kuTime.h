/*
 * Wall-clock time: second/microsecond pairs and time-outs (kuTimeVal_), and
 * calendar time (kuTime_).
 *
 * The platform clock (kuTime_GetTimeOfDay, platform/kuOSTime.h) delivers the
 * seconds as a signed 32-bit field holding the low 32 bits of the system's
 * time: after 2038-01-19 03:14:07 UTC it wraps to negative values on every
 * host. What each function below does when that happens is stated with it.
 * In short: kuTimeVal_Less and kuTimeVal_Compare order the signed values (a
 * time after the wrap compares as earlier than one before it); differences, additions
 * and time-outs work modulo 2^32 and stay right across it; calendar and
 * millisecond results read the seconds as unsigned and stay right until 2106
 * wherever the result type is wide enough. When the platform clock fails, now
 * reads as 1970-01-01 00:00:00.
 */
#ifndef KUVANATOOLS_KUTIME_H
#define KUVANATOOLS_KUTIME_H

#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuLongLong.h>
#include <platform/kuOSTime.h>
#include <time.h>

KU_BEGIN_DECLS

/* Broken-down time. The first six fields are in the runtime's order; the
 * daylight-saving flag comes before day of week and day of year. */
typedef struct kuTm {
    int32_t tm_sec;   /* 0 ... 60 */
    int32_t tm_min;   /* 0 ... 59 */
    int32_t tm_hour;  /* 0 ... 23 */
    int32_t tm_mday;  /* 1 ... 31 */
    int32_t tm_mon;   /* 0 ... 11 */
    int32_t tm_year;  /* years since 1900 */
    int32_t tm_isdst; /* > 0 in effect, 0 not, < 0 unknown */
    int32_t tm_wday;  /* 0 = Sunday */
    int32_t tm_yday;  /* 0 ... 365 */
    int32_t tm_reserved; /* set to 0 by kuTime_localtime, otherwise unused */
} kuTm;

/* ------------------------------------------------------------ kuTimeVal */

/* 1 when a is earlier than b (seconds, then microseconds, both compared
 * signed), else 0; 0 when either is null. A time after the 2038 wrap is
 * negative and so compares as earlier than one before it. */
KU_API int kuTimeVal_Less(const kuTimeVal *a, const kuTimeVal *b);

/* 1 when a is later than b, -1 when earlier, 0 when equal (or either is
 * null); compared as kuTimeVal_Less does. */
KU_API int kuTimeVal_Compare(const kuTimeVal *a, const kuTimeVal *b);

/*
 * result := a - b. First b is normalised in place: whole seconds move between
 * its microseconds and seconds until a's microseconds minus b's lie in
 * 0 ... 1000000. Then result gets the differences of the fields. Returns 1
 * when the seconds of the difference are negative, else 0. The seconds are
 * subtracted modulo 2^32 and the sign is that of the stored difference (the
 * same as comparing a's and b's seconds whenever they are less than 68 years
 * apart), so two times on either side of the 2038 wrap still give their
 * true difference. result may be a or b. Does nothing and returns 0 when a
 * pointer is null.
 */
KU_API int kuTimeVal_Substract(kuTimeVal *result, const kuTimeVal *a, kuTimeVal *b);

/* value := value + milliseconds. Microseconds that were in 0 ... 999999 stay
 * there; others are brought within one second of 0. The seconds wrap modulo
 * 2^32 (past 2038 they become negative like the platform's). */
KU_API void kuTimeVal_Add(kuTimeVal *value, uint32_t milliseconds);

/* value := now + milliseconds: the deadline of a time-out. */
KU_API void kuTimeVal_TimeOfTimeOut(kuTimeVal *value, uint32_t milliseconds);

/* Milliseconds from now until deadline (modulo 2^32), or 0 when it has passed
 * or deadline is null. The difference is formed as by kuTimeVal_Substract,
 * so a deadline taken before the 2038 wrap and checked after it still counts
 * down normally. */
KU_API uint32_t kuTimeVal_RemainingTimeOut(const kuTimeVal *deadline);

/* --------------------------------------------------------------- kuTime */

/*
 * The time_t of these functions is the build's: 32-bit on 32-bit hosts,
 * unless the library was built with -D_TIME_BITS=64 -D_FILE_OFFSET_BITS=64 (as
 * Debian builds armhf), which makes it 64-bit there too. Programs must then be
 * built with the same flags; the library's pkg-config file and CMake package
 * add them for such a build.
 */

/*
 * The current seconds since 1970 from the platform clock, also stored through
 * t when it is not null. Where time_t is 32-bit this is the platform's signed
 * value (after the 2038 wrap: December 1901 onwards). Where time_t is wider
 * the 32 bits are read as unsigned, which gives the true time until 2106 (and
 * never a time before 1970).
 */
KU_API time_t kuTime_time(time_t *t);

/* Fills out with the UTC fields of *t (the tenth field is left alone) and
 * returns out; null when a pointer is null or the time is beyond the
 * runtime's range (possible only with a 64-bit time_t). */
KU_API kuTm *kuTime_gmtime(const time_t *t, kuTm *out);

/* Fills out with the local fields of *t (the tenth field set to 0) and
 * returns out; null when a pointer is null or the runtime cannot convert.
 * Thread-safe: the time zone is read as localtime would read it. */
KU_API kuTm *kuTime_localtime(const time_t *t, kuTm *out);

/* The time_t of the local fields of tm (mktime). When the result is not
 * negative the fields are replaced by the normalised ones (day of week, day of
 * year and the flag recomputed); otherwise they are left unchanged. -1 when
 * the runtime fails or tm is null; a time before 1970 gives its negative value
 * with the fields unchanged. Times after 2038 are representable only where
 * time_t is 64-bit. */
KU_API time_t kuTime_mktime(kuTm *tm);

/* New text of the current UTC time, "Sun, 06 Nov 1994 08:49:37 GMT", from
 * kuTime_time; release with kuFree. After the 2038 wrap the year is that of
 * kuTime_time: right on hosts with a 64-bit time_t, 1901 onwards where time_t
 * is 32-bit. */
KU_API char *kuTime_GetRFC1123Date(void);

/* out := the current time in milliseconds since 1970. The platform seconds
 * are read as unsigned 32 bits, so the value stays right across 2038 until
 * 2106 on every host. An overflow of the 64-bit multiplication or addition
 * would be logged ("kuTime: kuTime_GetLocalTimeMS overflow 1" or "... 2",
 * module 58) with the value written all the same; neither can happen with
 * 32-bit fields. Does nothing when out is null. */
KU_API void kuTime_GetLocalTimeMS(kuuint64 *out);

KU_END_DECLS

#endif /* KUVANATOOLS_KUTIME_H */
