/*
 * A pausable stopwatch counting milliseconds of the platform clock.
 *
 * The wall time is read in milliseconds with the clock's seconds taken as
 * unsigned 32 bits, so a chronometer keeps counting correctly across the 2038
 * wrap of the platform's seconds (until 2106). Elapsed times are differences
 * modulo 2^64: a clock set back below the start gives a huge value, not a
 * negative one.
 *
 * A chronometer is used by one thread at a time. A null chronometer is
 * ignored and reads 0.
 */
#ifndef KUVANATOOLS_KUCHRONO_H
#define KUVANATOOLS_KUCHRONO_H

#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuLongLong.h>

KU_BEGIN_DECLS

typedef struct kuChrono {
    kuuint64 start; /* wall ms at which counting began, less the start offset */
    kuuint64 held;  /* elapsed ms frozen at the last pause */
    int32_t paused; /* non-zero while paused */
} kuChrono;

/* A new chronometer (kuMalloc), initialised as by kuChrono_S_Init; never
 * null. Release it with kuChrono_Delete. */
KU_API kuChrono *kuChrono_New(void);

/* Sets up an embedded chronometer: start and paused 0, held left as it is.
 * Until it is started it reads the wall time itself. */
KU_API void kuChrono_S_Init(kuChrono *chrono);

/* Frees a chronometer from kuChrono_New; null does nothing. */
KU_API void kuChrono_Delete(kuChrono *chrono);

/* Starts counting, running, from offset milliseconds (0 when null). */
KU_API void kuChrono_Start(kuChrono *chrono, const kuuint64 *offset);

/* kuChrono_Start from seconds * 1000 milliseconds. */
KU_API void kuChrono_Start_S(kuChrono *chrono, uint32_t seconds);

/* Freezes the elapsed time; does nothing when already paused. */
KU_API void kuChrono_Pause(kuChrono *chrono);

/* Continues counting from the frozen time; does nothing when running. */
KU_API void kuChrono_Resume(kuChrono *chrono);

/* out := elapsed milliseconds (the frozen value while paused). */
KU_API void kuChrono_GetTime(const kuChrono *chrono, kuuint64 *out);

/* Elapsed whole seconds, low 32 bits. */
KU_API uint32_t kuChrono_GetTime_S(const kuChrono *chrono);

/* Writes elapsed / 1000 and elapsed mod 1000 (low 32 bits each) through the
 * pointers that are not null and returns the seconds. */
KU_API uint32_t kuChrono_GetTime_S_MS(const kuChrono *chrono, uint32_t *seconds,
                                      uint32_t *milliseconds);

KU_END_DECLS

#endif /* KUVANATOOLS_KUCHRONO_H */
