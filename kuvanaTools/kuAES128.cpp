// AES-128, table driven: each full round is sixteen lookups in four 1 KiB
// tables per direction, which are computed at compile time from GF(2^8).
#include <kuvanaTools/kuAES128.h>
#include <kuvanaTools/kuMemory.h>
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

struct Tables {
    uint8_t sbox[256];
    uint8_t inverse[256];
    uint32_t te[4][256]; // SubBytes + ShiftRows + MixColumns, one per row
    uint32_t td[4][256]; // the inverses
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
        for (int k = 0; k < 4; k++) {
            t.te[k][i] = ku::rotr32(e, 8 * k);
            t.td[k][i] = ku::rotr32(d, 8 * k);
        }
    }
    return t;
}

constexpr Tables kT = makeTables();
static_assert(kT.sbox[0x00] == 0x63 && kT.sbox[0x53] == 0xED && kT.inverse[0x63] == 0x00,
              "S-box");

constexpr const uint32_t *Te0 = kT.te[0], *Te1 = kT.te[1], *Te2 = kT.te[2], *Te3 = kT.te[3];
constexpr const uint32_t *Td0 = kT.td[0], *Td1 = kT.td[1], *Td2 = kT.td[2], *Td3 = kT.td[3];
constexpr const uint8_t *Sb = kT.sbox, *Si = kT.inverse;

inline uint32_t b0(uint32_t w) { return w >> 24; }
inline uint32_t b1(uint32_t w) { return (w >> 16) & 0xFF; }
inline uint32_t b2(uint32_t w) { return (w >> 8) & 0xFF; }
inline uint32_t b3(uint32_t w) { return w & 0xFF; }

// One block held as four big-endian column words.
struct Block {
    uint32_t s0, s1, s2, s3;
};

inline void encryptRound(Block &b, const uint32_t *rk)
{
    uint32_t t0 = Te0[b0(b.s0)] ^ Te1[b1(b.s1)] ^ Te2[b2(b.s2)] ^ Te3[b3(b.s3)] ^ rk[0];
    uint32_t t1 = Te0[b0(b.s1)] ^ Te1[b1(b.s2)] ^ Te2[b2(b.s3)] ^ Te3[b3(b.s0)] ^ rk[1];
    uint32_t t2 = Te0[b0(b.s2)] ^ Te1[b1(b.s3)] ^ Te2[b2(b.s0)] ^ Te3[b3(b.s1)] ^ rk[2];
    uint32_t t3 = Te0[b0(b.s3)] ^ Te1[b1(b.s0)] ^ Te2[b2(b.s1)] ^ Te3[b3(b.s2)] ^ rk[3];
    b = {t0, t1, t2, t3};
}

inline uint32_t lastEncrypt(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t k)
{
    return ((uint32_t)Sb[b0(w0)] << 24 | (uint32_t)Sb[b1(w1)] << 16 |
            (uint32_t)Sb[b2(w2)] << 8 | Sb[b3(w3)]) ^ k;
}

// Expects the first round key already added.
inline void encryptBlock(Block &b, const uint32_t *rk)
{
    encryptRound(b, rk + 4);
    encryptRound(b, rk + 8);
    encryptRound(b, rk + 12);
    encryptRound(b, rk + 16);
    encryptRound(b, rk + 20);
    encryptRound(b, rk + 24);
    encryptRound(b, rk + 28);
    encryptRound(b, rk + 32);
    encryptRound(b, rk + 36);
    b = {lastEncrypt(b.s0, b.s1, b.s2, b.s3, rk[40]), lastEncrypt(b.s1, b.s2, b.s3, b.s0, rk[41]),
         lastEncrypt(b.s2, b.s3, b.s0, b.s1, rk[42]), lastEncrypt(b.s3, b.s0, b.s1, b.s2, rk[43])};
}

inline void decryptRound(Block &b, const uint32_t *rk)
{
    uint32_t t0 = Td0[b0(b.s0)] ^ Td1[b1(b.s3)] ^ Td2[b2(b.s2)] ^ Td3[b3(b.s1)] ^ rk[0];
    uint32_t t1 = Td0[b0(b.s1)] ^ Td1[b1(b.s0)] ^ Td2[b2(b.s3)] ^ Td3[b3(b.s2)] ^ rk[1];
    uint32_t t2 = Td0[b0(b.s2)] ^ Td1[b1(b.s1)] ^ Td2[b2(b.s0)] ^ Td3[b3(b.s3)] ^ rk[2];
    uint32_t t3 = Td0[b0(b.s3)] ^ Td1[b1(b.s2)] ^ Td2[b2(b.s1)] ^ Td3[b3(b.s0)] ^ rk[3];
    b = {t0, t1, t2, t3};
}

inline uint32_t lastDecrypt(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t k)
{
    return ((uint32_t)Si[b0(w0)] << 24 | (uint32_t)Si[b1(w1)] << 16 |
            (uint32_t)Si[b2(w2)] << 8 | Si[b3(w3)]) ^ k;
}

// Equivalent inverse cipher over the decryption schedule, used from the end;
// expects words 40 to 43 already added.
inline void decryptBlock(Block &b, const uint32_t *dk)
{
    decryptRound(b, dk + 36);
    decryptRound(b, dk + 32);
    decryptRound(b, dk + 28);
    decryptRound(b, dk + 24);
    decryptRound(b, dk + 20);
    decryptRound(b, dk + 16);
    decryptRound(b, dk + 12);
    decryptRound(b, dk + 8);
    decryptRound(b, dk + 4);
    b = {lastDecrypt(b.s0, b.s3, b.s2, b.s1, dk[0]), lastDecrypt(b.s1, b.s0, b.s3, b.s2, dk[1]),
         lastDecrypt(b.s2, b.s1, b.s0, b.s3, dk[2]), lastDecrypt(b.s3, b.s2, b.s1, b.s0, dk[3])};
}

inline Block load(const uint8_t *p)
{
    return {loadBE32(p), loadBE32(p + 4), loadBE32(p + 8), loadBE32(p + 12)};
}

inline void store(uint8_t *p, const Block &b)
{
    storeBE32(p, b.s0);
    storeBE32(p + 4, b.s1);
    storeBE32(p + 8, b.s2);
    storeBE32(p + 12, b.s3);
}

inline Block operator^(const Block &x, const Block &y)
{
    return {x.s0 ^ y.s0, x.s1 ^ y.s1, x.s2 ^ y.s2, x.s3 ^ y.s3};
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
        t = column(Sb[b1(t)] ^ rcon, Sb[b2(t)], Sb[b3(t)], Sb[b0(t)]);
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
        dw[i] = Td0[Sb[b0(w)]] ^ Td1[Sb[b1(w)]] ^ Td2[Sb[b2(w)]] ^ Td3[Sb[b3(w)]];
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
    if (length % 16 != 0 || (length != 0 && (aes == nullptr || data == nullptr)))
        return -1;
    if (length == 0)
        return 0;
    uint8_t *p = (uint8_t *)data;
    uint8_t *end = p + length;
    const uint32_t *rk = aes->encryptKey;
    const Block first = {rk[0], rk[1], rk[2], rk[3]};
    if (aes->ecb) {
        for (; p != end; p += 16) {
            Block b = load(p) ^ first;
            encryptBlock(b, rk);
            store(p, b);
        }
        return 0;
    }
    Block chain = load(aes->chain);
    for (; p != end; p += 16) {
        chain = load(p) ^ chain ^ first;
        encryptBlock(chain, rk);
        store(p, chain);
    }
    store(aes->chain, chain);
    return 0;
}

int kuAES128_Decrypt(kuAES128 *aes, void *data, size_t length)
{
    if (length % 16 != 0 || (length != 0 && (aes == nullptr || data == nullptr)))
        return -1;
    if (length == 0)
        return 0;
    uint8_t *p = (uint8_t *)data;
    uint8_t *end = p + length;
    const uint32_t *dk = aes->decryptKey;
    const Block first = {dk[40], dk[41], dk[42], dk[43]};
    if (aes->ecb) {
        for (; p != end; p += 16) {
            Block b = load(p) ^ first;
            decryptBlock(b, dk);
            store(p, b);
        }
        return 0;
    }
    Block chain = load(aes->chain);
    for (; p != end; p += 16) {
        Block cipher = load(p);
        Block b = cipher ^ first;
        decryptBlock(b, dk);
        store(p, b ^ chain);
        chain = cipher;
    }
    store(aes->chain, chain);
    return 0;
}

void kuAES128_Delete(kuAES128 *aes)
{
    if (aes == nullptr)
        return;
    ku::wipe(aes, sizeof *aes);
    kuFree(aes);
}
