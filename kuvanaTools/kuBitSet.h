/*
 * Fixed-length bit set with a running count of the set bits.
 *
 * Position i lives in byte i / 8 at bit 7 - (i mod 8), so position 0 is the
 * most significant bit of the first byte; the spare low bits of the last byte
 * stay 0. Positions are unsigned 32-bit; 0xFFFFFFFF (-1) means "no position"
 * in results and "from position 0" as a search origin. A null set reads
 * as an empty one and ignores changes.
 */
#ifndef KUVANATOOLS_KUBITSET_H
#define KUVANATOOLS_KUBITSET_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* The fields are for reading; change them only through the functions. */
typedef struct kuBitSet {
    uint32_t bitCount;  /* number of positions */
    uint32_t byteCount; /* kuBitSet_S_GetBytes(bitCount) */
    uint8_t *bits;      /* byteCount bytes */
    uint32_t setCount;  /* number of 1 bits */
} kuBitSet;

/* Bytes needed for bitCount bits: bitCount / 8, plus 1 for a remainder. */
KU_API uint32_t kuBitSet_S_GetBytes(uint32_t bitCount);

/* A new set of bitCount positions, all 0. */
KU_API kuBitSet *kuBitSet_New(uint32_t bitCount);

/* An independent copy; null for null. */
KU_API kuBitSet *kuBitSet_Clone(const kuBitSet *set);

/* Releases the set; null does nothing. */
KU_API void kuBitSet_Delete(kuBitSet *set);

/* The number of positions. */
KU_API uint32_t kuBitSet_GetBitCount(const kuBitSet *set);

/* The number of 1 bits. */
KU_API uint32_t kuBitSet_GetSetCount(const kuBitSet *set);

/* Sets the bit; a position not below the bit count is ignored. */
KU_API void kuBitSet_Set(kuBitSet *set, uint32_t position);

/* Clears the bit; a position not below the bit count is ignored. */
KU_API void kuBitSet_UnSet(kuBitSet *set, uint32_t position);

/* 1 when the bit is set; 0 when clear or not below the bit count. */
KU_API int kuBitSet_IsSet(const kuBitSet *set, uint32_t position);

/* The lowest set position above origin (from 0 when origin is -1), or -1. */
KU_API uint32_t kuBitSet_GetNextSet(const kuBitSet *set, uint32_t origin);

/* The lowest clear position above origin (from 0 when origin is -1), or -1. */
KU_API uint32_t kuBitSet_GetNextUnSet(const kuBitSet *set, uint32_t origin);

/* Clears every bit; the length stays. */
KU_API void kuBitSet_Clear(kuBitSet *set);

/* 1 when both have the same length, set count and bits, else 0. Two nulls
 * are equal; null and a set are not. */
KU_API int kuBitSet_Equal(const kuBitSet *a, const kuBitSet *b);

/* Makes the set n positions longer: bits at or above position move up by n
 * and the n opened positions are 0. A position past the end is taken as the
 * end; a length that would pass 0xFFFFFFFF changes nothing. */
KU_API void kuBitSet_Insert(kuBitSet *set, uint32_t position, uint32_t n);

/* Makes the set n positions shorter: the n positions from position on
 * disappear and the later bits move down by n. A range reaching past the end
 * is cut at the end. */
KU_API void kuBitSet_Remove(kuBitSet *set, uint32_t position, uint32_t n);

KU_END_DECLS

#endif /* KUVANATOOLS_KUBITSET_H */
