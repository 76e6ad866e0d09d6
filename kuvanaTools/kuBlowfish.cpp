// Blowfish: 16 unrolled Feistel rounds over the key-dependent tables.
#include <kuvanaTools/kuBlowfish.h>
#include <kuvanaTools/private/kuBlowfishInternal.h>

#include <string.h>

static_assert(sizeof(kuBlowfish) == (18 + 1024 + 2) * 4, "kuBlowfish layout");
static_assert(offsetof(kuBlowfish, S) == 72 && offsetof(kuBlowfish, ivLeft) == 4168,
              "kuBlowfish layout");

namespace {

inline uint32_t F(const kuBlowfish *bf, uint32_t x)
{
    return ((bf->S[0][x >> 24] + bf->S[1][(x >> 16) & 0xFF]) ^ bf->S[2][(x >> 8) & 0xFF]) +
           bf->S[3][x & 0xFF];
}

// Two rounds with the swaps folded into the variable order.
#define KU_BF_ROUNDS(a, b)                                                                    \
    r ^= F(bf, l) ^ P(a);                                                                     \
    l ^= F(bf, r) ^ P(b);

// Decryption is encryption with the P-array taken backwards.
template <bool kDecrypt>
inline void crypt(const kuBlowfish *bf, uint32_t &left, uint32_t &right)
{
    auto P = [bf](int i) { return bf->P[kDecrypt ? 17 - i : i]; };
    uint32_t l = left ^ P(0), r = right;
    KU_BF_ROUNDS(1, 2)
    KU_BF_ROUNDS(3, 4)
    KU_BF_ROUNDS(5, 6)
    KU_BF_ROUNDS(7, 8)
    KU_BF_ROUNDS(9, 10)
    KU_BF_ROUNDS(11, 12)
    KU_BF_ROUNDS(13, 14)
    KU_BF_ROUNDS(15, 16)
    left = r ^ P(17);
    right = l;
}

inline void encrypt(const kuBlowfish *bf, uint32_t &left, uint32_t &right)
{
    crypt<false>(bf, left, right);
}

inline void decrypt(const kuBlowfish *bf, uint32_t &left, uint32_t &right)
{
    crypt<true>(bf, left, right);
}

#undef KU_BF_ROUNDS

} // namespace

void kuBlowfish_Init(kuBlowfish *bf, const void *key, size_t keyLength)
{
    if (bf == nullptr)
        return;
    static_assert(sizeof ku::kBlowfishPi == sizeof bf->P + sizeof bf->S, "pi words");
    memcpy(bf->P, ku::kBlowfishPi, sizeof bf->P);
    memcpy(bf->S, ku::kBlowfishPi + 18, sizeof bf->S);
    const uint8_t *k = (const uint8_t *)key;
    if (k != nullptr && keyLength != 0) {
        size_t at = 0;
        for (int i = 0; i < 18; i++) {
            uint32_t word = 0;
            for (int n = 0; n < 4; n++) {
                word = word << 8 | k[at];
                at = at + 1 == keyLength ? 0 : at + 1;
            }
            bf->P[i] ^= word;
        }
    }
    uint32_t l = 0, r = 0;
    for (int i = 0; i < 18; i += 2) {
        encrypt(bf, l, r);
        bf->P[i] = l;
        bf->P[i + 1] = r;
    }
    for (int box = 0; box < 4; box++) {
        for (int i = 0; i < 256; i += 2) {
            encrypt(bf, l, r);
            bf->S[box][i] = l;
            bf->S[box][i + 1] = r;
        }
    }
    bf->ivLeft = 0;
    bf->ivRight = 0;
}

void kuBlowfish_Encrypt(const kuBlowfish *bf, uint32_t *left, uint32_t *right)
{
    if (bf != nullptr && left != nullptr && right != nullptr)
        encrypt(bf, *left, *right);
}

void kuBlowfish_Decrypt(const kuBlowfish *bf, uint32_t *left, uint32_t *right)
{
    if (bf != nullptr && left != nullptr && right != nullptr)
        decrypt(bf, *left, *right);
}

void kuBlowfish_SetInitVector(kuBlowfish *bf, uint32_t left, uint32_t right)
{
    if (bf == nullptr)
        return;
    bf->ivLeft = left;
    bf->ivRight = right;
}

void kuBlowfish_EncryptCBC(const kuBlowfish *bf, uint32_t *left, uint32_t *right)
{
    if (bf == nullptr || left == nullptr || right == nullptr)
        return;
    *left ^= bf->ivLeft;
    *right ^= bf->ivRight;
    encrypt(bf, *left, *right);
}

void kuBlowfish_DecryptCBC(const kuBlowfish *bf, uint32_t *left, uint32_t *right)
{
    if (bf == nullptr || left == nullptr || right == nullptr)
        return;
    decrypt(bf, *left, *right);
    *left ^= bf->ivLeft;
    *right ^= bf->ivRight;
}

void kuBlowfish_EncryptArrayCBC(const kuBlowfish *bf, uint32_t *words, size_t count)
{
    if (bf == nullptr || words == nullptr)
        return;
    uint32_t l = bf->ivLeft, r = bf->ivRight;
    size_t i = 0;
    for (; i + 1 < count; i += 2) {
        l ^= words[i];
        r ^= words[i + 1];
        encrypt(bf, l, r);
        words[i] = l;
        words[i + 1] = r;
    }
    if (i < count) {
        l ^= words[i];
        encrypt(bf, l, r);
        words[i] = l;
    }
}
