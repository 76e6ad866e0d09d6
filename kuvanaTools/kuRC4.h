/*
 * The RC4 stream cipher. The state is allocated by the caller and keeps the
 * key stream's position between calls, so a text processed in pieces gives
 * the same output as processed at once. One thread at a time per state.
 */
#ifndef KUVANATOOLS_KURC4_H
#define KUVANATOOLS_KURC4_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* The permutation and the two indices. */
typedef struct kuRC4 {
    uint8_t state[256];
    uint8_t i;
    uint8_t j;
} kuRC4;

/* Key scheduling for keyLength bytes of key (1 to 256; the bytes are used
 * cyclically, so bytes past the 256th cannot matter); sets i = j = 0. A
 * length of 0 or a null key is outside the contract and acts as a key of one
 * 0x00 byte. */
KU_API void kuRC4_PrepareKey(const void *key, size_t keyLength, kuRC4 *rc4);

/* XORs the next length bytes of the key stream into data, in place, and
 * keeps the state for the next call. */
KU_API void kuRC4_Process(void *data, size_t length, kuRC4 *rc4);

KU_END_DECLS

#endif /* KUVANATOOLS_KURC4_H */
