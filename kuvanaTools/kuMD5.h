/*
 * MD5 message digest (RFC 1321) with a streaming interface, and HMAC-MD5
 * (RFC 2104). The context is allocated by the caller; contexts share nothing,
 * so separate contexts may be used on separate threads. Digests are the 16
 * bytes of the standard; make text of them with kuConvert_buffertohexstr.
 */
#ifndef KUVANATOOLS_KUMD5_H
#define KUVANATOOLS_KUMD5_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* Size of an MD5 digest in bytes. */
#define KU_MD5_DIGEST_SIZE 16

/* Streaming state. The count is in bytes, as two 32-bit words (the high word
 * takes the carry); the padding appends the count times 8. */
typedef struct kuMD5 {
    uint32_t countLow;
    uint32_t countHigh;
    uint32_t state[4]; /* chaining words A, B, C, D */
    uint8_t buffer[64];
} kuMD5;

/* Starts a digest: count 0, the standard initial chaining words. */
KU_API void kuMD5_Init(kuMD5 *context);

/* Absorbs length bytes of data (any number of calls, any lengths, 0
 * included; data may be null when length is 0). */
KU_API void kuMD5_Add(kuMD5 *context, const void *data, size_t length);

/* Pads, absorbs the length and writes the 16-byte digest. The context is
 * then spent: call kuMD5_Init before using it again. It is not wiped. */
KU_API void kuMD5_Get(kuMD5 *context, uint8_t *digest);

/* HMAC-MD5 of the message under the key, into 16 bytes at digest. Note the
 * order: message first, then key (kuSHA1_HMAC takes the key first). A key
 * longer than 64 bytes is replaced by its digest; an empty key is allowed. */
KU_API void kuMD5_HMAC(const void *message, size_t messageLength, const void *key,
                       size_t keyLength, uint8_t *digest);

KU_END_DECLS

#endif /* KUVANATOOLS_KUMD5_H */
