// SHA-1 and HMAC-SHA-1.
#include <kuvanaTools/kuSHA1.h>
#include <kuvanaTools/private/kuDigest.h>

static_assert(sizeof(kuSHA1) == 92, "kuSHA1 layout");
static_assert(offsetof(kuSHA1, count) == 20 && offsetof(kuSHA1, buffer) == 28, "kuSHA1 layout");

namespace {

using ku::loadBE32;
using ku::rotl32;

// The rounds rename the five working variables instead of moving them; the
// schedule lives in a ring of 16 words.
#define KU_SHA1_W(i)                                                                          \
    (w[(i)&15] = rotl32(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i)&15], 1))
#define R0(a, b, c, d, e, i)                                                                  \
    e += ((b & (c ^ d)) ^ d) + w[i] + 0x5A827999 + rotl32(a, 5);                              \
    b = rotl32(b, 30);
#define R1(a, b, c, d, e, i)                                                                  \
    e += ((b & (c ^ d)) ^ d) + KU_SHA1_W(i) + 0x5A827999 + rotl32(a, 5);                      \
    b = rotl32(b, 30);
#define R2(a, b, c, d, e, i)                                                                  \
    e += (b ^ c ^ d) + KU_SHA1_W(i) + 0x6ED9EBA1 + rotl32(a, 5);                              \
    b = rotl32(b, 30);
#define R3(a, b, c, d, e, i)                                                                  \
    e += (b & c) + (d & (b ^ c)) + KU_SHA1_W(i) + 0x8F1BBCDC + rotl32(a, 5);              \
    b = rotl32(b, 30);
#define R4(a, b, c, d, e, i)                                                                  \
    e += (b ^ c ^ d) + KU_SHA1_W(i) + 0xCA62C1D6 + rotl32(a, 5);                              \
    b = rotl32(b, 30);

void transform(uint32_t *state, const uint8_t *data, size_t blocks)
{
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (; blocks != 0; blocks--, data += ku::kDigestBlock) {
        uint32_t w[16];
        for (int i = 0; i < 16; i++)
            w[i] = loadBE32(data + 4 * i);
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d, e0 = e;

        R0(a, b, c, d, e, 0) R0(e, a, b, c, d, 1) R0(d, e, a, b, c, 2) R0(c, d, e, a, b, 3) R0(b, c, d, e, a, 4)
        R0(a, b, c, d, e, 5) R0(e, a, b, c, d, 6) R0(d, e, a, b, c, 7) R0(c, d, e, a, b, 8) R0(b, c, d, e, a, 9)
        R0(a, b, c, d, e, 10) R0(e, a, b, c, d, 11) R0(d, e, a, b, c, 12) R0(c, d, e, a, b, 13) R0(b, c, d, e, a, 14)
        R0(a, b, c, d, e, 15) R1(e, a, b, c, d, 16) R1(d, e, a, b, c, 17) R1(c, d, e, a, b, 18) R1(b, c, d, e, a, 19)
        R2(a, b, c, d, e, 20) R2(e, a, b, c, d, 21) R2(d, e, a, b, c, 22) R2(c, d, e, a, b, 23) R2(b, c, d, e, a, 24)
        R2(a, b, c, d, e, 25) R2(e, a, b, c, d, 26) R2(d, e, a, b, c, 27) R2(c, d, e, a, b, 28) R2(b, c, d, e, a, 29)
        R2(a, b, c, d, e, 30) R2(e, a, b, c, d, 31) R2(d, e, a, b, c, 32) R2(c, d, e, a, b, 33) R2(b, c, d, e, a, 34)
        R2(a, b, c, d, e, 35) R2(e, a, b, c, d, 36) R2(d, e, a, b, c, 37) R2(c, d, e, a, b, 38) R2(b, c, d, e, a, 39)
        R3(a, b, c, d, e, 40) R3(e, a, b, c, d, 41) R3(d, e, a, b, c, 42) R3(c, d, e, a, b, 43) R3(b, c, d, e, a, 44)
        R3(a, b, c, d, e, 45) R3(e, a, b, c, d, 46) R3(d, e, a, b, c, 47) R3(c, d, e, a, b, 48) R3(b, c, d, e, a, 49)
        R3(a, b, c, d, e, 50) R3(e, a, b, c, d, 51) R3(d, e, a, b, c, 52) R3(c, d, e, a, b, 53) R3(b, c, d, e, a, 54)
        R3(a, b, c, d, e, 55) R3(e, a, b, c, d, 56) R3(d, e, a, b, c, 57) R3(c, d, e, a, b, 58) R3(b, c, d, e, a, 59)
        R4(a, b, c, d, e, 60) R4(e, a, b, c, d, 61) R4(d, e, a, b, c, 62) R4(c, d, e, a, b, 63) R4(b, c, d, e, a, 64)
        R4(a, b, c, d, e, 65) R4(e, a, b, c, d, 66) R4(d, e, a, b, c, 67) R4(c, d, e, a, b, 68) R4(b, c, d, e, a, 69)
        R4(a, b, c, d, e, 70) R4(e, a, b, c, d, 71) R4(d, e, a, b, c, 72) R4(c, d, e, a, b, 73) R4(b, c, d, e, a, 74)
        R4(a, b, c, d, e, 75) R4(e, a, b, c, d, 76) R4(d, e, a, b, c, 77) R4(c, d, e, a, b, 78) R4(b, c, d, e, a, 79)

        a += a0;
        b += b0;
        c += c0;
        d += d0;
        e += e0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
    state[4] = e;
}

#undef R0
#undef R1
#undef R2
#undef R3
#undef R4
#undef KU_SHA1_W

struct SHA1 {
    using Context = kuSHA1;
    static constexpr size_t kSize = 20;
    static void init(kuSHA1 *c) { kuSHA1_Init(c); }
    static void update(kuSHA1 *c, const void *p, size_t n) { kuSHA1_Update(c, p, n); }
    static void final(kuSHA1 *c, uint8_t *out) { kuSHA1_Final(c, out); }
};

} // namespace

void kuSHA1_Init(kuSHA1 *context)
{
    if (context == nullptr)
        return;
    context->state[0] = 0x67452301;
    context->state[1] = 0xEFCDAB89;
    context->state[2] = 0x98BADCFE;
    context->state[3] = 0x10325476;
    context->state[4] = 0xC3D2E1F0;
    context->count[0] = 0;
    context->count[1] = 0;
}

void kuSHA1_Update(kuSHA1 *context, const void *data, size_t length)
{
    if (context == nullptr || data == nullptr)
        return;
    size_t used = (context->count[0] >> 3) & 63;
    // the bit count is 64 bits wide; so may be length * 8
    uint64_t bits = ((uint64_t)context->count[1] << 32 | context->count[0]) + ((uint64_t)length << 3);
    context->count[0] = (uint32_t)bits;
    context->count[1] = (uint32_t)(bits >> 32);
    ku::digestAbsorb(context->buffer, used, (const uint8_t *)data, length,
                     [context](const uint8_t *p, size_t n) { transform(context->state, p, n); });
}

void kuSHA1_Final(kuSHA1 *context, uint8_t *digest)
{
    if (context == nullptr)
        return;
    if (digest != nullptr) {
        uint8_t lengthBytes[8];
        ku::storeBE32(lengthBytes, context->count[1]);
        ku::storeBE32(lengthBytes + 4, context->count[0]);
        ku::digestPad(context->buffer, (context->count[0] >> 3) & 63, lengthBytes,
                      [context](const uint8_t *p, size_t n) { transform(context->state, p, n); });
        for (int i = 0; i < 5; i++)
            ku::storeBE32(digest + 4 * i, context->state[i]);
    }
    ku::wipe(context, sizeof *context);
}

void kuSHA1_HMAC(const void *key, size_t keyLength, const void *message, size_t messageLength,
                 uint8_t *digest)
{
    if (digest == nullptr)
        return;
    ku::digestHMAC<SHA1>(key, keyLength, message, messageLength, digest);
}
