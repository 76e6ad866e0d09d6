// Time of day.
#include <platform/kuOSTime.h>

#include <sys/time.h>

int kuTime_GetTimeOfDay(kuTimeVal *value)
{
    if (value == nullptr)
        return -1;
    struct timeval now;
    if (gettimeofday(&now, nullptr) != 0)
        return -1;
    // The contract is 32-bit seconds: keep the low 32 bits (wraps in 2038).
    value->tv_sec = (int32_t)(uint32_t)(uint64_t)now.tv_sec;
    value->tv_usec = (int32_t)now.tv_usec;
    return 0;
}
