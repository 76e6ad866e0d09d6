// Software clocks running linearly against the wall clock.
#include <kuvanaTools/kuClock.h>

#include <kuLog/Log.h>
#include <kuvanaTools/private/kuTimeInternal.h>

static_assert(sizeof(kuClock) == 2 * sizeof(double), "offset, speed");
static_assert(sizeof(kuClockValue) == 3 * sizeof(double), "value, frequency, wall time");

namespace {

constexpr double kWallFrequency = 1000.0;

kuClockValue snapshot(const kuClock &clock)
{
    kuClockValue v;
    v.frequency = clock.speed * kWallFrequency;
    v.wallTime = kuWallclock_now();
    v.value = (v.frequency * v.wallTime - clock.offset) / kWallFrequency;
    return v;
}

// W is taken as given, even 0.0: a snapshot's moment is never "now" again.
void apply(kuClock &clock, const kuClockValue &v)
{
    clock.speed = v.frequency / kWallFrequency;
    clock.offset = v.wallTime * v.frequency - v.value * kWallFrequency;
}

// Replaces one quantity of the clock as it reads now, keeping the other.
void rebase(kuClock &clock, double kuClockValue::*field, double x)
{
    kuClockValue v = snapshot(clock);
    v.*field = x;
    apply(clock, v);
}

} // namespace

double kuWallclock_now(void)
{
    kuTimeVal now = ku::timeOfDay();
    return (double)ku::unsignedSeconds(now) * 1000.0 + now.tv_usec / 1000.0;
}

double kuWallclock_frequency(void)
{
    return kWallFrequency;
}

void kuClock_Get(const kuClock *clock, kuClockValue *out)
{
    if (clock != nullptr && out != nullptr)
        *out = snapshot(*clock);
}

double kuClock_GetValue(const kuClock *clock)
{
    return clock != nullptr ? snapshot(*clock).value : 0.0;
}

void kuClock_Set(kuClock *clock, const kuClockValue *value)
{
    if (clock == nullptr || value == nullptr)
        return;
    kuClockValue v = *value;
    if (v.wallTime == 0.0)
        v.wallTime = kuWallclock_now();
    apply(*clock, v);
}

void kuClock_SetValue(kuClock *clock, double value)
{
    if (clock != nullptr)
        rebase(*clock, &kuClockValue::value, value);
}

void kuClock_SetFrequency(kuClock *clock, double frequency)
{
    if (clock != nullptr)
        rebase(*clock, &kuClockValue::frequency, frequency);
}

void kuLog_Append_kuClock(const kuClock *clock)
{
    if (clock == nullptr)
        return;
    kuClockValue v = snapshot(*clock);
    kuLog_Append_F("{ O: %f, S: %f } or { V: %f, F: %f } right now", clock->offset, clock->speed,
                   v.value, v.frequency);
}
