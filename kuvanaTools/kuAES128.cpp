// AES-128, table driven: each full round is sixteen lookups in four 1 KiB
// tables per direction, which are computed at compile time from GF(2^8).
// Built for size (KU_MINSIZE) one table per direction serves all four rows
// by rotation: 6 KiB less, a little slower.
#include <kuvanaTools/kuAES128.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuBytes.h>
#include <kuvanaTools/private/kuCryptoBytes.h>

struct kuAES128 {
    uint32_t encryptKey[44];
    uint32_t decryptKey[44];
    uint8_t chain[16];
    int ecb; // 1 ECB, 0 CBC
};

namespace {

using ku::loadBE32;
using ku::storeBE32;

constexpr uint8_t xtime(uint8_t x)
{
    return (uint8_t)((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

constexpr uint8_t gmul(uint8_t a, uint8_t b)
{
    uint8_t r = 0;
    for (; b != 0; b >>= 1, a = xtime(a))
        if (b & 1)
            r ^= a;
    return r;
}

constexpr uint8_t rotl8(uint8_t x, int n)
{
    return (uint8_t)((x << n) | (x >> (8 - n)));
}

constexpr uint32_t column(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3)
{
    return (uint32_t)b0 << 24 | (uint32_t)b1 << 16 | (uint32_t)b2 << 8 | b3;
}

#ifdef KU_MINSIZE
constexpr int kRowTables = 1;
#else
constexpr int kRowTables = 4;
#endif

struct Tables {
    uint8_t sbox[256];
    uint8_t inverse[256];
    uint32_t te[kRowTables][256]; // SubBytes + ShiftRows + MixColumns, one per row
    uint32_t td[kRowTables][256]; // the inverses
};

constexpr Tables makeTables()
{
    Tables t{};
    // 3 generates the multiplicative group, so inverses follow from logarithms
    uint8_t power[255] = {};
    uint8_t log[256] = {};
    uint8_t x = 1;
    for (int i = 0; i < 255; i++) {
        power[i] = x;
        log[x] = (uint8_t)i;
        x = (uint8_t)(x ^ xtime(x));
    }
    for (int i = 0; i < 256; i++) {
        uint8_t inv = i == 0 ? 0 : power[(255 - log[i]) % 255];
        uint8_t s = (uint8_t)(inv ^ rotl8(inv, 1) ^ rotl8(inv, 2) ^ rotl8(inv, 3) ^
                              rotl8(inv, 4) ^ 0x63);
        t.sbox[i] = s;
        t.inverse[s] = (uint8_t)i;
    }
    for (int i = 0; i < 256; i++) {
        uint8_t s = t.sbox[i];
        uint8_t v = t.inverse[i];
        uint32_t e = column(gmul(s, 2), s, s, gmul(s, 3));
        uint32_t d = column(gmul(v, 14), gmul(v, 9), gmul(v, 13), gmul(v, 11));
        for (int k = 0; k < kRowTables; k++) {
            t.te[k][i] = ku::rotr32(e, 8 * k);
            t.td[k][i] = ku::rotr32(d, 8 * k);
        }
    }
    return t;
}

constexpr Tables kT = makeTables();
static_assert(kT.sbox[0x00] == 0x63 && kT.sbox[0x53] == 0xED && kT.inverse[0x63] == 0x00,
              "S-box");

inline uint32_t byte(uint32_t w, int row)
{
    return (w >> (24 - 8 * row)) & 0xFF;
}

// One block held as four big-endian column words.
struct Block {
    uint32_t s[4];
};

inline Block load(const uint8_t *p)
{
    return {{loadBE32(p), loadBE32(p + 4), loadBE32(p + 8), loadBE32(p + 12)}};
}

inline void store(uint8_t *p, const Block &b)
{
    for (int c = 0; c < 4; c++)
        storeBE32(p + 4 * c, b.s[c]);
}

inline Block load4(const uint32_t *w)
{
    return {{w[0], w[1], w[2], w[3]}};
}

inline Block operator^(const Block &x, const Block &y)
{
    return {{x.s[0] ^ y.s[0], x.s[1] ^ y.s[1], x.s[2] ^ y.s[2], x.s[3] ^ y.s[3]}};
}

// The tables of the cipher or its inverse, and the column whose byte in row
// r moves to column c: ShiftRows takes it from c + r, InvShiftRows from c - r.
template <bool kInverse>
struct Direction {
    static constexpr const uint32_t (*T)[256] = kInverse ? kT.td : kT.te;
    static constexpr const uint8_t *S = kInverse ? kT.inverse : kT.sbox;
    static constexpr int from(int c, int r) { return (kInverse ? c - r + 4 : c + r) & 3; }
    // The table entry of row r for byte x.
    static uint32_t at(int r, uint32_t x)
    {
        return kRowTables == 4 ? T[r & (kRowTables - 1)][x] : ku::rotr32(T[0][x], 8 * r);
    }
};

template <bool kInverse>
inline Block round(const Block &b, const uint32_t *rk)
{
    using D = Direction<kInverse>;
    Block out;
    for (int c = 0; c < 4; c++)
        out.s[c] = D::at(0, byte(b.s[D::from(c, 0)], 0)) ^ D::at(1, byte(b.s[D::from(c, 1)], 1)) ^
                   D::at(2, byte(b.s[D::from(c, 2)], 2)) ^ D::at(3, byte(b.s[D::from(c, 3)], 3)) ^
                   rk[c];
    return out;
}

template <bool kInverse>
inline Block lastRound(const Block &b, const uint32_t *rk)
{
    using D = Direction<kInverse>;
    Block out;
    for (int c = 0; c < 4; c++)
        out.s[c] = ((uint32_t)D::S[byte(b.s[D::from(c, 0)], 0)] << 24 |
                    (uint32_t)D::S[byte(b.s[D::from(c, 1)], 1)] << 16 |
                    (uint32_t)D::S[byte(b.s[D::from(c, 2)], 2)] << 8 |
                    D::S[byte(b.s[D::from(c, 3)], 3)]) ^
                   rk[c];
    return out;
}

// Rounds 1 to 10 after the first round key was added. The inverse cipher
// is the equivalent one and takes the decryption schedule from its end.
template <bool kInverse>
inline void crypt(Block &b, const uint32_t *keys)
{
#pragma GCC unroll 9
    for (int r = 1; r < 10; r++)
        b = round<kInverse>(b, keys + 4 * (kInverse ? 10 - r : r));
    b = lastRound<kInverse>(b, keys + (kInverse ? 0 : 40));
}

// Encrypts or decrypts whole blocks in place in the object's mode.
template <bool kInverse>
int process(kuAES128 *aes, void *data, size_t length)
{
    if (length % 16 != 0 || (length != 0 && (aes == nullptr || data == nullptr)))
        return -1;
    if (length == 0)
        return 0;
    uint8_t *p = (uint8_t *)data;
    uint8_t *end = p + length;
    const uint32_t *keys = kInverse ? aes->decryptKey : aes->encryptKey;
    const Block first = load4(keys + (kInverse ? 40 : 0));
    if (aes->ecb) {
        for (; p != end; p += 16) {
            Block b = load(p) ^ first;
            crypt<kInverse>(b, keys);
            store(p, b);
        }
        return 0;
    }
    Block chain = load(aes->chain);
    for (; p != end; p += 16) {
        Block in = load(p);
        if constexpr (kInverse) {
            Block b = in ^ first;
            crypt<kInverse>(b, keys);
            store(p, b ^ chain);
            chain = in;
        } else {
            chain = in ^ chain ^ first;
            crypt<kInverse>(chain, keys);
            store(p, chain);
        }
    }
    store(aes->chain, chain);
    return 0;
}

kuAES128 *newObject(const uint8_t *key, int ecb)
{
    kuAES128 *aes = (kuAES128 *)kuMallocZeroed(sizeof(kuAES128));
    kuAES128_SetupKeyEncrypt(aes->encryptKey, key);
    kuAES128_SetupKeyDecrypt(aes->decryptKey, key);
    aes->ecb = ecb;
    return aes;
}

} // namespace

void kuAES128_SetupKeyEncrypt(uint32_t *w, const uint8_t *key)
{
    static const uint8_t kZeroKey[16] = {0};
    if (w == nullptr)
        return;
    if (key == nullptr)
        key = kZeroKey;
    for (int i = 0; i < 4; i++)
        w[i] = loadBE32(key + 4 * i);
    uint8_t rcon = 1;
    for (int i = 4; i < 44; i += 4) {
        uint32_t t = w[i - 1];
        t = column(kT.sbox[byte(t, 1)] ^ rcon, kT.sbox[byte(t, 2)], kT.sbox[byte(t, 3)],
                   kT.sbox[byte(t, 0)]);
        rcon = xtime(rcon);
        w[i] = w[i - 4] ^ t;
        w[i + 1] = w[i - 3] ^ w[i];
        w[i + 2] = w[i - 2] ^ w[i + 1];
        w[i + 3] = w[i - 1] ^ w[i + 2];
    }
}

void kuAES128_SetupKeyDecrypt(uint32_t *dw, const uint8_t *key)
{
    if (dw == nullptr)
        return;
    kuAES128_SetupKeyEncrypt(dw, key);
    // InvMixColumns of a word: Td of S(b) undoes the S-box inside Td
    for (int i = 4; i < 40; i++) {
        uint32_t w = dw[i];
        uint32_t m = 0;
        for (int row = 0; row < 4; row++)
            m ^= Direction<true>::at(row, kT.sbox[byte(w, row)]);
        dw[i] = m;
    }
}

kuAES128 *kuAES128_NewECB(const uint8_t *key)
{
    return newObject(key, 1);
}

kuAES128 *kuAES128_NewCBC(const uint8_t *key, const uint8_t *iv)
{
    kuAES128 *aes = newObject(key, 0);
    if (iv != nullptr)
        memcpy(aes->chain, iv, sizeof aes->chain);
    return aes;
}

void kuAES128_SetIV(kuAES128 *aes, const uint8_t *iv)
{
    if (aes == nullptr || iv == nullptr)
        return;
    memcpy(aes->chain, iv, sizeof aes->chain);
}

int kuAES128_Encrypt(kuAES128 *aes, void *data, size_t length)
{
    return process<false>(aes, data, length);
}

int kuAES128_Decrypt(kuAES128 *aes, void *data, size_t length)
{
    return process<true>(aes, data, length);
}

void kuAES128_Delete(kuAES128 *aes)
{
    if (aes == nullptr)
        return;
    ku::wipe(aes, sizeof *aes);
    kuFree(aes);
}
