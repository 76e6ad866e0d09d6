// MD5 and HMAC-MD5.
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/private/kuDigest.h>

static_assert(sizeof(kuMD5) == 88, "kuMD5 layout");
static_assert(offsetof(kuMD5, state) == 8 && offsetof(kuMD5, buffer) == 24, "kuMD5 layout");

namespace {

using ku::loadLE32;
using ku::rotl32;

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

#define KU_MD5_STEP(f, a, b, c, d, k, t, s)                                                   \
    a += f(b, c, d) + x[k] + (t);                                                             \
    a = rotl32(a, s) + b;

void transform(uint32_t *state, const uint8_t *data, size_t blocks)
{
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks != 0; blocks--, data += ku::kDigestBlock) {
        uint32_t x[16];
        for (int i = 0; i < 16; i++)
            x[i] = loadLE32(data + 4 * i);
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        KU_MD5_STEP(F, a, b, c, d, 0, 0xd76aa478, 7)
        KU_MD5_STEP(F, d, a, b, c, 1, 0xe8c7b756, 12)
        KU_MD5_STEP(F, c, d, a, b, 2, 0x242070db, 17)
        KU_MD5_STEP(F, b, c, d, a, 3, 0xc1bdceee, 22)
        KU_MD5_STEP(F, a, b, c, d, 4, 0xf57c0faf, 7)
        KU_MD5_STEP(F, d, a, b, c, 5, 0x4787c62a, 12)
        KU_MD5_STEP(F, c, d, a, b, 6, 0xa8304613, 17)
        KU_MD5_STEP(F, b, c, d, a, 7, 0xfd469501, 22)
        KU_MD5_STEP(F, a, b, c, d, 8, 0x698098d8, 7)
        KU_MD5_STEP(F, d, a, b, c, 9, 0x8b44f7af, 12)
        KU_MD5_STEP(F, c, d, a, b, 10, 0xffff5bb1, 17)
        KU_MD5_STEP(F, b, c, d, a, 11, 0x895cd7be, 22)
        KU_MD5_STEP(F, a, b, c, d, 12, 0x6b901122, 7)
        KU_MD5_STEP(F, d, a, b, c, 13, 0xfd987193, 12)
        KU_MD5_STEP(F, c, d, a, b, 14, 0xa679438e, 17)
        KU_MD5_STEP(F, b, c, d, a, 15, 0x49b40821, 22)

        KU_MD5_STEP(G, a, b, c, d, 1, 0xf61e2562, 5)
        KU_MD5_STEP(G, d, a, b, c, 6, 0xc040b340, 9)
        KU_MD5_STEP(G, c, d, a, b, 11, 0x265e5a51, 14)
        KU_MD5_STEP(G, b, c, d, a, 0, 0xe9b6c7aa, 20)
        KU_MD5_STEP(G, a, b, c, d, 5, 0xd62f105d, 5)
        KU_MD5_STEP(G, d, a, b, c, 10, 0x02441453, 9)
        KU_MD5_STEP(G, c, d, a, b, 15, 0xd8a1e681, 14)
        KU_MD5_STEP(G, b, c, d, a, 4, 0xe7d3fbc8, 20)
        KU_MD5_STEP(G, a, b, c, d, 9, 0x21e1cde6, 5)
        KU_MD5_STEP(G, d, a, b, c, 14, 0xc33707d6, 9)
        KU_MD5_STEP(G, c, d, a, b, 3, 0xf4d50d87, 14)
        KU_MD5_STEP(G, b, c, d, a, 8, 0x455a14ed, 20)
        KU_MD5_STEP(G, a, b, c, d, 13, 0xa9e3e905, 5)
        KU_MD5_STEP(G, d, a, b, c, 2, 0xfcefa3f8, 9)
        KU_MD5_STEP(G, c, d, a, b, 7, 0x676f02d9, 14)
        KU_MD5_STEP(G, b, c, d, a, 12, 0x8d2a4c8a, 20)

        KU_MD5_STEP(H, a, b, c, d, 5, 0xfffa3942, 4)
        KU_MD5_STEP(H, d, a, b, c, 8, 0x8771f681, 11)
        KU_MD5_STEP(H, c, d, a, b, 11, 0x6d9d6122, 16)
        KU_MD5_STEP(H, b, c, d, a, 14, 0xfde5380c, 23)
        KU_MD5_STEP(H, a, b, c, d, 1, 0xa4beea44, 4)
        KU_MD5_STEP(H, d, a, b, c, 4, 0x4bdecfa9, 11)
        KU_MD5_STEP(H, c, d, a, b, 7, 0xf6bb4b60, 16)
        KU_MD5_STEP(H, b, c, d, a, 10, 0xbebfbc70, 23)
        KU_MD5_STEP(H, a, b, c, d, 13, 0x289b7ec6, 4)
        KU_MD5_STEP(H, d, a, b, c, 0, 0xeaa127fa, 11)
        KU_MD5_STEP(H, c, d, a, b, 3, 0xd4ef3085, 16)
        KU_MD5_STEP(H, b, c, d, a, 6, 0x04881d05, 23)
        KU_MD5_STEP(H, a, b, c, d, 9, 0xd9d4d039, 4)
        KU_MD5_STEP(H, d, a, b, c, 12, 0xe6db99e5, 11)
        KU_MD5_STEP(H, c, d, a, b, 15, 0x1fa27cf8, 16)
        KU_MD5_STEP(H, b, c, d, a, 2, 0xc4ac5665, 23)

        KU_MD5_STEP(I, a, b, c, d, 0, 0xf4292244, 6)
        KU_MD5_STEP(I, d, a, b, c, 7, 0x432aff97, 10)
        KU_MD5_STEP(I, c, d, a, b, 14, 0xab9423a7, 15)
        KU_MD5_STEP(I, b, c, d, a, 5, 0xfc93a039, 21)
        KU_MD5_STEP(I, a, b, c, d, 12, 0x655b59c3, 6)
        KU_MD5_STEP(I, d, a, b, c, 3, 0x8f0ccc92, 10)
        KU_MD5_STEP(I, c, d, a, b, 10, 0xffeff47d, 15)
        KU_MD5_STEP(I, b, c, d, a, 1, 0x85845dd1, 21)
        KU_MD5_STEP(I, a, b, c, d, 8, 0x6fa87e4f, 6)
        KU_MD5_STEP(I, d, a, b, c, 15, 0xfe2ce6e0, 10)
        KU_MD5_STEP(I, c, d, a, b, 6, 0xa3014314, 15)
        KU_MD5_STEP(I, b, c, d, a, 13, 0x4e0811a1, 21)
        KU_MD5_STEP(I, a, b, c, d, 4, 0xf7537e82, 6)
        KU_MD5_STEP(I, d, a, b, c, 11, 0xbd3af235, 10)
        KU_MD5_STEP(I, c, d, a, b, 2, 0x2ad7d2bb, 15)
        KU_MD5_STEP(I, b, c, d, a, 9, 0xeb86d391, 21)

        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef KU_MD5_STEP

struct MD5 {
    using Context = kuMD5;
    static constexpr size_t kSize = 16;
    static void init(kuMD5 *c) { kuMD5_Init(c); }
    static void update(kuMD5 *c, const void *p, size_t n) { kuMD5_Add(c, p, n); }
    static void final(kuMD5 *c, uint8_t *out) { kuMD5_Get(c, out); }
};

} // namespace

void kuMD5_Init(kuMD5 *context)
{
    if (context == nullptr)
        return;
    context->countLow = 0;
    context->countHigh = 0;
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
}

void kuMD5_Add(kuMD5 *context, const void *data, size_t length)
{
    if (context == nullptr || data == nullptr)
        return;
    size_t used = context->countLow & 63;
    uint32_t low = context->countLow + (uint32_t)length;
    // size_t may be wider than the low word: the rest goes to the high word
    uint64_t high = (uint64_t)context->countHigh + ((uint64_t)length >> 32) +
                    (low < context->countLow ? 1 : 0);
    context->countLow = low;
    context->countHigh = (uint32_t)high;
    ku::digestAbsorb(context->buffer, used, (const uint8_t *)data, length,
                     [context](const uint8_t *p, size_t n) { transform(context->state, p, n); });
}

void kuMD5_Get(kuMD5 *context, uint8_t *digest)
{
    if (context == nullptr || digest == nullptr)
        return;
    uint8_t lengthBytes[8];
    ku::storeLE32(lengthBytes, context->countLow << 3);
    ku::storeLE32(lengthBytes + 4, (context->countHigh << 3) | (context->countLow >> 29));
    ku::digestPad(context->buffer, context->countLow & 63, lengthBytes,
                  [context](const uint8_t *p, size_t n) { transform(context->state, p, n); });
    for (int i = 0; i < 4; i++)
        ku::storeLE32(digest + 4 * i, context->state[i]);
}

void kuMD5_HMAC(const void *message, size_t messageLength, const void *key, size_t keyLength,
                uint8_t *digest)
{
    if (digest == nullptr)
        return;
    ku::digestHMAC<MD5>(key, keyLength, message, messageLength, digest);
}
