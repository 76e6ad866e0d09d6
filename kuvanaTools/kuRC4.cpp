// RC4 key scheduling and key stream.
#include <kuvanaTools/kuRC4.h>

static_assert(sizeof(kuRC4) == 258, "kuRC4 layout");

void kuRC4_PrepareKey(const void *key, size_t keyLength, kuRC4 *rc4)
{
    if (rc4 == nullptr)
        return;
    static const uint8_t kZeroKey[1] = {0};
    const uint8_t *k = (const uint8_t *)key;
    if (k == nullptr || keyLength == 0) {
        k = kZeroKey;
        keyLength = 1;
    }
    uint8_t *s = rc4->state;
    for (int n = 0; n < 256; n++)
        s[n] = (uint8_t)n;
    uint8_t j = 0;
    size_t at = 0;
    for (int n = 0; n < 256; n++) {
        uint8_t t = s[n];
        j = (uint8_t)(j + t + k[at]);
        s[n] = s[j];
        s[j] = t;
        at = at + 1 == keyLength ? 0 : at + 1;
    }
    rc4->i = 0;
    rc4->j = 0;
}

void kuRC4_Process(void *data, size_t length, kuRC4 *rc4)
{
    if (rc4 == nullptr || data == nullptr)
        return;
    uint8_t *p = (uint8_t *)data;
    uint8_t *s = rc4->state;
    unsigned i = rc4->i, j = rc4->j;
    for (size_t n = 0; n < length; n++) {
        i = (i + 1) & 0xFF;
        unsigned si = s[i];
        j = (j + si) & 0xFF;
        unsigned sj = s[j];
        s[i] = (uint8_t)sj;
        s[j] = (uint8_t)si;
        p[n] ^= s[(si + sj) & 0xFF];
    }
    rc4->i = (uint8_t)i;
    rc4->j = (uint8_t)j;
}
