/*
 * Random numbers from the platform generator (kuOSRand_Rand), of which 8 bits
 * per call are used. Not for cryptography.
 *
 * The generator and the seeded flag are process-wide and unlocked: callers
 * that draw from several threads serialise the calls. Without kuRand_Init the
 * platform generator's default seed applies (the same sequence every run).
 */
#ifndef KUVANATOOLS_KURAND_H
#define KUVANATOOLS_KURAND_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* Seeds the platform generator from the time of day and a stack address, the
 * first time it is called in the process; later calls do nothing. Returns 1. */
KU_API int kuRand_Init(void);

/* Same as kuRand_Init. */
KU_API int kuUtil_InitRandom(void);

/* 32 random bits, from four calls of the generator, first call highest. */
KU_API uint32_t kuRand_UInt32(void);

/* kuRand_UInt32 as a signed number. */
KU_API int32_t kuRand_Int32(void);

/*
 * A number in min ... max: min + r mod (max - min + 1) with r from
 * kuRand_UInt32 (any r for the full range). No rejection, so small offsets
 * are very slightly favoured. When max < min the span wraps around 2^32 and
 * the result is still min + r mod (span + 1), modulo 2^32.
 */
KU_API uint32_t kuRand_MinMaxUInt32(uint32_t min, uint32_t max);

/* min + kuRand_MinMaxUInt32(0, max - min), in wrapping 32-bit arithmetic. */
KU_API int32_t kuRand_MinMaxInt32(int32_t min, int32_t max);

/* kuRand_MinMaxInt32 on 16-bit values, the result narrowed to 16 bits. */
KU_API int16_t kuRand_MinMax(int16_t min, int16_t max);

/* kuRand_MinMaxUInt32 on 16-bit values, the result masked to 16 bits. */
KU_API uint16_t kuRand_MinMaxUInt16(uint16_t min, uint16_t max);

KU_END_DECLS

#endif /* KUVANATOOLS_KURAND_H */
