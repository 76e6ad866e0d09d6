/*
 * Time-based UUIDs (version 1): a 60-bit timestamp in 100 ns units since
 * 1582-10-15, a 13-bit clock sequence and the 6-byte node (the network card's
 * MAC address, or random bytes with the multicast bit set when there is none).
 *
 * The node, clock sequence, last time and counter are process-wide, created
 * on the first call and never reset; they carry no lock, so callers that
 * generate from several threads serialise the calls.
 *
 * The timestamp takes the platform seconds as unsigned 32 bits: it keeps
 * rising across the 2038 wrap of the platform's seconds, until 2106.
 */
#ifndef KUVANATOOLS_KUUUID_H
#define KUVANATOOLS_KUUUID_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* Fills count bytes of buffer, each from kuRand_MinMaxUInt32(0, 255). */
KU_API void kuUUID_GetRandomBytes(void *buffer, size_t count);

/*
 * Writes a new UUID as 16 bytes in network order: time low (4 bytes), time
 * mid (2), time high with version 1 (2), clock sequence with the variant bits
 * 10 (2), node (6).
 *
 * Up to ten UUIDs share a microsecond (a counter 0 ... 9 is added to the
 * timestamp); the eleventh waits for the clock to move. When the clock is
 * earlier than at the last UUID the clock sequence goes up by one (modulo
 * 2^13). The first call seeds the random generator (kuRand_Init) and draws
 * the clock sequence. A clock that stops for 2^20 consecutive reads is
 * treated as set back (the sequence goes up) instead of being waited for
 * forever. Does nothing when out is null.
 */
KU_API void kuUUID_Generate(uint8_t out[16]);

KU_END_DECLS

#endif /* KUVANATOOLS_KUUUID_H */
