/* Time of day of the platform layer. */
#ifndef KUOS_TIME_H
#define KUOS_TIME_H

#include <platform/kuOSDefs.h>

KUOS_BEGIN_DECLS

/* Seconds since 1970-01-01 00:00 UTC and microseconds, both signed 32-bit. */
typedef struct kuTimeVal {
    int32_t tv_sec;
    int32_t tv_usec;
} kuTimeVal;

/* Fills value from gettimeofday. The seconds are the low 32 bits of the
 * system's time_t: after 2038-01-19 03:14:07 UTC they wrap to negative values
 * on every host (the field is 32-bit by contract). 0 on success, -1 when value
 * is null or the system fails. */
KUOS_API int kuTime_GetTimeOfDay(kuTimeVal *value);

KUOS_END_DECLS

#endif /* KUOS_TIME_H */
