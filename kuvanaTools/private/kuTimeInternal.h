// The platform clock as the time modules read it.
#ifndef KUVANATOOLS_PRIVATE_KUTIMEINTERNAL_H
#define KUVANATOOLS_PRIVATE_KUTIMEINTERNAL_H

#include <platform/kuOSTime.h>

#include <stdint.h>

namespace ku {

// Now; a failing clock reads as the epoch rather than as stack garbage.
inline kuTimeVal timeOfDay()
{
    kuTimeVal now = {0, 0};
    if (kuTime_GetTimeOfDay(&now) != 0)
        now = kuTimeVal{0, 0};
    return now;
}

// The seconds field holds the low 32 bits of the system time: read unsigned
// it is right from 1970 until 2106, across the 2038 wrap.
inline uint64_t unsignedSeconds(const kuTimeVal &v)
{
    return (uint32_t)v.tv_sec;
}

// Milliseconds since 1970 (seconds read unsigned; the platform keeps the
// microseconds in 0 ... 999999).
inline uint64_t milliseconds(const kuTimeVal &v)
{
    return unsignedSeconds(v) * 1000u + (uint32_t)(v.tv_usec / 1000);
}

} // namespace ku

#endif
