// Stopwatch on the platform clock, in milliseconds.
#include <kuvanaTools/kuChrono.h>

#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuTimeInternal.h>

static_assert(sizeof(kuChrono) == 20, "two two-word values and a flag");
static_assert(offsetof(kuChrono, held) == 8 && offsetof(kuChrono, paused) == 16, "field order");

namespace {

inline uint64_t get(const kuuint64 &v)
{
    return (uint64_t)v.high << 32 | v.low;
}

inline void put(kuuint64 &v, uint64_t x)
{
    v.low = (uint32_t)x;
    v.high = (uint32_t)(x >> 32);
}

inline uint64_t nowMs()
{
    return ku::milliseconds(ku::timeOfDay());
}

void start(kuChrono *c, uint64_t offset)
{
    put(c->start, nowMs() - offset);
    c->paused = 0;
}

uint64_t elapsed(const kuChrono *c)
{
    if (c == nullptr)
        return 0;
    return c->paused ? get(c->held) : nowMs() - get(c->start);
}

} // namespace

kuChrono *kuChrono_New(void)
{
    auto *c = (kuChrono *)kuMallocZeroed(sizeof(kuChrono));
    kuChrono_S_Init(c);
    return c;
}

void kuChrono_S_Init(kuChrono *chrono)
{
    if (chrono == nullptr)
        return;
    put(chrono->start, 0);
    chrono->paused = 0;
}

void kuChrono_Delete(kuChrono *chrono)
{
    kuFree(chrono);
}

void kuChrono_Start(kuChrono *chrono, const kuuint64 *offset)
{
    if (chrono != nullptr)
        start(chrono, offset != nullptr ? get(*offset) : 0);
}

void kuChrono_Start_S(kuChrono *chrono, uint32_t seconds)
{
    if (chrono != nullptr)
        start(chrono, (uint64_t)seconds * 1000u);
}

void kuChrono_Pause(kuChrono *chrono)
{
    if (chrono == nullptr || chrono->paused)
        return;
    put(chrono->held, nowMs() - get(chrono->start));
    chrono->paused = 1;
}

void kuChrono_Resume(kuChrono *chrono)
{
    if (chrono != nullptr && chrono->paused)
        start(chrono, get(chrono->held));
}

void kuChrono_GetTime(const kuChrono *chrono, kuuint64 *out)
{
    if (out != nullptr)
        put(*out, elapsed(chrono));
}

uint32_t kuChrono_GetTime_S(const kuChrono *chrono)
{
    return (uint32_t)(elapsed(chrono) / 1000u);
}

uint32_t kuChrono_GetTime_S_MS(const kuChrono *chrono, uint32_t *seconds, uint32_t *milliseconds)
{
    uint64_t ms = elapsed(chrono);
    auto s = (uint32_t)(ms / 1000u);
    if (seconds != nullptr)
        *seconds = s;
    if (milliseconds != nullptr)
        *milliseconds = (uint32_t)(ms % 1000u);
    return s;
}
