/*
 * Adjustable software clocks measured against the wall clock.
 *
 * The wall clock counts milliseconds since 1970 as a double, at
 * f = kuWallclock_frequency() = 1000 ticks per second. A kuClock advances
 * linearly with it: with O = offset and S = speed, a clock read at wall time
 * W has the frequency F = S * f and the value V = (F * W - O) / f; setting it
 * to V and F at W gives S = F / f and O = W * F - V * f. A zero-filled clock
 * stands still at 0.
 *
 * The wall clock reads the platform seconds as unsigned 32 bits, so clocks
 * run on smoothly across the 2038 wrap of the platform's seconds (until
 * 2106). A clock is used by one thread at a time; null pointers are ignored
 * (getters read 0).
 */
#ifndef KUVANATOOLS_KUCLOCK_H
#define KUVANATOOLS_KUCLOCK_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* A clock, owned by the caller. */
typedef struct kuClock {
    double offset; /* O, in wall ticks times clock ticks per wall tick */
    double speed;  /* S: the clock's frequency / the wall clock's */
} kuClock;

/* A snapshot of a clock. */
typedef struct kuClockValue {
    double value;     /* V, in the clock's ticks */
    double frequency; /* F, the clock's ticks per second */
    double wallTime;  /* W, wall milliseconds at which V holds; 0.0 means now */
} kuClockValue;

/* Now in milliseconds since 1970: seconds * 1000.0 + microseconds / 1000.0. */
KU_API double kuWallclock_now(void);

/* The wall clock's ticks per second: 1000.0. */
KU_API double kuWallclock_frequency(void);

/* Fills out with the clock's value and frequency now (wallTime = now). */
KU_API void kuClock_Get(const kuClock *clock, kuClockValue *out);

/* The clock's value now. */
KU_API double kuClock_GetValue(const kuClock *clock);

/* Sets the clock so that it reads value at wallTime (now when wallTime is
 * 0.0) and runs at frequency ticks per second; value is not changed. */
KU_API void kuClock_Set(kuClock *clock, const kuClockValue *value);

/* Moves the clock to value now, keeping its frequency. */
KU_API void kuClock_SetValue(kuClock *clock, double value);

/* Changes the frequency now; the value runs on from where it is. */
KU_API void kuClock_SetFrequency(kuClock *clock, double frequency);

/* Appends "{ O: %f, S: %f } or { V: %f, F: %f } right now" for the clock and
 * a snapshot of it to the log record the calling thread has open
 * (kuLog_Begin); nothing when there is none. */
KU_API void kuLog_Append_kuClock(const kuClock *clock);

KU_END_DECLS

#endif /* KUVANATOOLS_KUCLOCK_H */
