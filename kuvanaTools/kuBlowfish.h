/*
 * Blowfish with the standard key schedule and initial tables (the
 * hexadecimal digits of pi), on 64-bit blocks held as two native 32-bit
 * words: the left word is the standard's xL (the first four bytes of a
 * big-endian block), the right word xR. Converting a byte stream into words
 * is the caller's. The state is allocated by the caller and used by one
 * thread at a time.
 */
#ifndef KUVANATOOLS_KUBLOWFISH_H
#define KUVANATOOLS_KUBLOWFISH_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* Key schedule and CBC initial vector. */
typedef struct kuBlowfish {
    uint32_t P[18];
    uint32_t S[4][256];
    uint32_t ivLeft;
    uint32_t ivRight;
} kuBlowfish;

/* Runs the standard key schedule for keyLength bytes of key, used
 * cyclically (only the first 72 bytes can matter; 4 to 56 is the usual
 * range), and sets the IV to 0. A key length of 0 (or a null key) acts as a
 * key of one 0x00 byte: no key bits are mixed into the P-array. */
KU_API void kuBlowfish_Init(kuBlowfish *bf, const void *key, size_t keyLength);

/* Encrypts the block (*left, *right) in place. */
KU_API void kuBlowfish_Encrypt(const kuBlowfish *bf, uint32_t *left, uint32_t *right);

/* Decrypts the block (*left, *right) in place. */
KU_API void kuBlowfish_Decrypt(const kuBlowfish *bf, uint32_t *left, uint32_t *right);

/* Sets the CBC initial vector. */
KU_API void kuBlowfish_SetInitVector(kuBlowfish *bf, uint32_t left, uint32_t right);

/* XORs the IV into the block, then encrypts it. The IV is not changed. */
KU_API void kuBlowfish_EncryptCBC(const kuBlowfish *bf, uint32_t *left, uint32_t *right);

/* Decrypts the block, then XORs the IV into it. The IV is not changed. */
KU_API void kuBlowfish_DecryptCBC(const kuBlowfish *bf, uint32_t *left, uint32_t *right);

/*
 * CBC encryption in place of count words taken in (left, right) pairs,
 * chained within the call from the state's IV (which is not updated). When
 * count is odd, the last word is XORed with the chaining left word and
 * encrypted as the left half of a block whose right half is the chaining
 * right word; only the left half of the result is stored.
 */
KU_API void kuBlowfish_EncryptArrayCBC(const kuBlowfish *bf, uint32_t *words, size_t count);

KU_END_DECLS

#endif /* KUVANATOOLS_KUBLOWFISH_H */
