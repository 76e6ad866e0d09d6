/*
 * AES-128 (FIPS 197) in ECB or CBC mode on whole 16-byte blocks, in place.
 *
 * A kuAES128 object holds both key schedules, the chaining value and the
 * mode; in CBC mode the chaining value lives in the object, so consecutive
 * calls continue one CBC stream (until kuAES128_SetIV restarts it). No
 * padding is added or removed. One object is used by one thread at a time.
 *
 * Key schedules are 44 32-bit words; each word holds four bytes with the
 * first byte in the most significant position (the words of FIPS 197).
 */
#ifndef KUVANATOOLS_KUAES128_H
#define KUVANATOOLS_KUAES128_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuAES128 kuAES128;

/* New object in ECB mode for the 16-byte key; never null. */
KU_API kuAES128 *kuAES128_NewECB(const uint8_t *key);

/* New object in CBC mode for the 16-byte key; the 16-byte IV is copied when
 * given. Without one the chaining value is all zeros: set the intended IV with
 * kuAES128_SetIV before the first call. Never null. */
KU_API kuAES128 *kuAES128_NewCBC(const uint8_t *key, const uint8_t *iv);

/* Replaces the chaining value with the 16-byte IV (ignored in ECB mode). */
KU_API void kuAES128_SetIV(kuAES128 *aes, const uint8_t *iv);

/* Encrypts length bytes in place. Returns 0, or -1 when length is not a
 * multiple of 16 (or aes or data is null with a non-zero length): nothing is
 * changed then. A length of 0 returns 0. */
KU_API int kuAES128_Encrypt(kuAES128 *aes, void *data, size_t length);

/* Decrypts length bytes in place; same length rule and results. */
KU_API int kuAES128_Decrypt(kuAES128 *aes, void *data, size_t length);

/* Overwrites the whole object with zeros and releases it; null is ignored. */
KU_API void kuAES128_Delete(kuAES128 *aes);

/* Builds the encryption key schedule of the 16-byte key (FIPS 197 key
 * expansion) into 44 words. */
KU_API void kuAES128_SetupKeyEncrypt(uint32_t *schedule, const uint8_t *key);

/* Builds the decryption key schedule of the 16-byte key for the equivalent
 * inverse cipher into 44 words: the encryption schedule with InvMixColumns
 * applied to the words of rounds 1 to 9, in the same order (words 40 to 43
 * are used first). */
KU_API void kuAES128_SetupKeyDecrypt(uint32_t *schedule, const uint8_t *key);

KU_END_DECLS

#endif /* KUVANATOOLS_KUAES128_H */
