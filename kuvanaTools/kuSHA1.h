/*
 * SHA-1 message digest (FIPS 180-1) with a streaming interface, and
 * HMAC-SHA-1 (RFC 2104). The context is allocated by the caller; contexts
 * share nothing, so separate contexts may be used on separate threads.
 * Digests are the 20 bytes of the standard.
 */
#ifndef KUVANATOOLS_KUSHA1_H
#define KUVANATOOLS_KUSHA1_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* Size of a SHA-1 digest in bytes. */
#define KU_SHA1_DIGEST_SIZE 20

/* Streaming state: the chaining words, the message length in bits as two
 * 32-bit words (low word first) and the partial block. */
typedef struct kuSHA1 {
    uint32_t state[5];
    uint32_t count[2];
    uint8_t buffer[64];
} kuSHA1;

/* Starts a digest: the standard initial chaining words, count 0. */
KU_API void kuSHA1_Init(kuSHA1 *context);

/* Absorbs length bytes of data (any number of calls, any lengths, 0
 * included; data may be null when length is 0). */
KU_API void kuSHA1_Update(kuSHA1 *context, const void *data, size_t length);

/* Pads, writes the 20-byte digest, then wipes the whole context to zeros:
 * call kuSHA1_Init before using it again. */
KU_API void kuSHA1_Final(kuSHA1 *context, uint8_t *digest);

/* HMAC-SHA-1 of the message under the key, into 20 bytes at digest. Note the
 * order: key first, then message (kuMD5_HMAC takes the message first). A key
 * longer than 64 bytes is replaced by its digest; an empty key is allowed. */
KU_API void kuSHA1_HMAC(const void *key, size_t keyLength, const void *message,
                        size_t messageLength, uint8_t *digest);

KU_END_DECLS

#endif /* KUVANATOOLS_KUSHA1_H */
