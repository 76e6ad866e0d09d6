/*
 * The duration, clock-time, second-count and date notations of DLNA
 * metadata. Times come back as whole seconds plus a separate sub-second
 * count: the digits after the point read as a whole number, so ".500" gives
 * 500 and ".5" gives 5.
 */
#ifndef KUVANATOOLS_KUDLNATIME_H
#define KUVANATOOLS_KUDLNATIME_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* A date and time as read from "YYYY-MM-DDTHH:MM:SS.FFF+HH:MM" and its
 * shorter forms. */
typedef struct kuDLNADate {
    int32_t year;       /* 0 ... 9999 */
    int32_t month;      /* 1 ... 12 */
    int32_t day;        /* 1 ... 31 */
    int32_t hour;       /* 0 ... 23 */
    int32_t minute;     /* 0 ... 59 */
    int32_t second;     /* 0 ... 59 */
    int32_t fraction;   /* digits after the point, 0 ... 999 */
    int32_t zoneHour;   /* -23 ... 23, negative for a zone written with '-' */
    int32_t zoneMinute; /* 0 ... 59 */
} kuDLNADate;

/*
 * Duration "H:MM:SS" with an optional ".F": hours of 0 to 6 digits (empty is
 * 0), minutes and seconds of exactly 2 digits up to 59. The fraction runs to
 * the end and is read as fraction text: "250" gives 250 ms, "1/4" gives
 * 1/4 of a second (250 ms); it must come to 0 ... 999 after truncation.
 * Returns 0, or -3 with both outputs 0. milliseconds may be null.
 */
KU_API int32_t kuConvert_dlnadurationstrtouint32(const char *text, uint32_t *seconds,
                                                 uint32_t *milliseconds);

/*
 * Time or position "[[H:]M:]S[.F]": up to four fields of 1 to 5 digits
 * separated by ':', with one '.' allowed only before the last field (the
 * fraction, below 1000). Hours up to 99999, minutes and seconds up to 59.
 * Returns 0, or -3 with both outputs 0. fraction may be null.
 */
KU_API int32_t kuConvert_dlnatimestrtouint32(const char *text, uint32_t *seconds,
                                             uint32_t *fraction);

/*
 * Second count "S[.F]": S as kuConvert_strntouint32 reads it, F as
 * kuConvert_strtouint32 reads it and below 1000. Returns 0, or the failing
 * parser's non-zero status (an offset counts from the start of that part),
 * or -3 for a fraction of 1000 or more. The outputs are written only on
 * success; milliseconds may be null.
 */
KU_API int32_t kuConvert_dlnaseconddurationstrtouint32(const char *text, uint32_t *seconds,
                                                       uint32_t *milliseconds);

/*
 * Date "YYYY-MM-DD", optionally followed by "THH:MM:SS", a fraction after
 * any separator other than 'Z', '-' and '+', and 'Z' or a zone "+HH:MM" /
 * "-HH:MM"; the text may also end after any field from the month on
 * ("2011-12" is a date). All fields are cleared first; returns 0, or -3
 * (null text, a field out of range or not a whole number, an unexpected
 * separator, more than nine fields or fewer than two) with the fields read
 * before the error kept.
 */
KU_API int32_t kuConvert_dlnadatestrtodate(const char *text, kuDLNADate *date);

KU_END_DECLS

#endif /* KUVANATOOLS_KUDLNATIME_H */
