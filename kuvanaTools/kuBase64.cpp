// Base64 through lookup tables: two output characters per 12 input bits when
// encoding, one table per group place OR-ed and checked once when decoding.
#include <kuvanaTools/kuBase64.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Character values; '=' counts as 0, anything else outside the alphabet is
// marked with the top bit.
constexpr uint8_t kInvalid = 0x80;
struct ValueTable {
    uint8_t v[256];
    constexpr ValueTable() : v()
    {
        for (int c = 0; c < 256; c++)
            v[c] = kInvalid;
        for (int i = 0; i < 64; i++)
            v[(unsigned char)kAlphabet[i]] = (uint8_t)i;
        v[(unsigned char)'='] = 0;
    }
};
constexpr ValueTable kValues;

#ifdef KU_MINSIZE
// Built for size: the alphabet alone, one character at a time.
inline void encodeGroup(const unsigned char *in, char *out)
{
    uint32_t x = (uint32_t)in[0] << 16 | (uint32_t)in[1] << 8 | in[2];
    for (int i = 0; i < 4; i++)
        out[i] = kAlphabet[(x >> (18 - 6 * i)) & 63];
}

size_t encodeGroups(const unsigned char *in, size_t length, char *out)
{
    size_t done = 0;
    for (; done + 3 <= length; done += 3, out += 4)
        encodeGroup(in + done, out);
    return done;
}
#else
struct PairTable {
    char pair[4096][2];
    constexpr PairTable() : pair()
    {
        for (int i = 0; i < 4096; i++) {
            pair[i][0] = kAlphabet[i >> 6];
            pair[i][1] = kAlphabet[i & 63];
        }
    }
};
constexpr PairTable kPairs;

inline void encodeGroup(const unsigned char *in, char *out)
{
    uint32_t x = (uint32_t)in[0] << 16 | (uint32_t)in[1] << 8 | in[2];
    memcpy(out, kPairs.pair[x >> 12], 2);
    memcpy(out + 2, kPairs.pair[x & 0xFFF], 2);
}

// Encodes whole groups; returns how many bytes of in were used.
size_t encodeGroups(const unsigned char *in, size_t length, char *out)
{
    size_t done = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // two groups from one 8-byte load while 8 bytes remain readable
    for (; done + 8 <= length; done += 6, out += 8) {
        uint64_t x;
        memcpy(&x, in + done, 8);
        x = __builtin_bswap64(x);
        uint16_t p[4];
        memcpy(&p[0], kPairs.pair[x >> 52], 2);
        memcpy(&p[1], kPairs.pair[(x >> 40) & 0xFFF], 2);
        memcpy(&p[2], kPairs.pair[(x >> 28) & 0xFFF], 2);
        memcpy(&p[3], kPairs.pair[(x >> 16) & 0xFFF], 2);
        memcpy(out, p, 8);
    }
#endif
    for (; done + 3 <= length; done += 3, out += 4)
        encodeGroup(in + done, out);
    return done;
}
#endif

// The 24 bits of a group; characters outside the alphabet add no bits.
uint32_t groupBits(const unsigned char *in)
{
    uint32_t bits = 0;
    for (int i = 0; i < 4; i++) {
        uint8_t v = kValues.v[in[i]];
        if ((v & kInvalid) == 0)
            bits = bits << 6 | v;
    }
    return bits;
}

inline void storeGroup(unsigned char *out, uint32_t bits)
{
    out[0] = (unsigned char)(bits >> 16);
    out[1] = (unsigned char)(bits >> 8);
    out[2] = (unsigned char)bits;
}

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ && !defined(KU_MINSIZE)
// For each of the four places, the character's bits already at their spot
// in the three output bytes as a little-endian word; bit 24 marks a
// character outside the alphabet.
struct PlaceTables {
    uint32_t place[4][256];
    constexpr PlaceTables() : place()
    {
        for (int c = 0; c < 256; c++) {
            uint32_t v = kValues.v[c];
            bool bad = (v & kInvalid) != 0;
            place[0][c] = bad ? 0x01000000u : v << 2;
            place[1][c] = bad ? 0x01000000u : (v >> 4) | (v & 15) << 12;
            place[2][c] = bad ? 0x01000000u : (v >> 2) << 8 | (v & 3) << 22;
            place[3][c] = bad ? 0x01000000u : v << 16;
        }
    }
};
constexpr PlaceTables kPlaces;

// Decodes whole groups; each writes four bytes, the fourth of which the next
// group overwrites, so out must have one byte to spare.
void decodeGroups(const unsigned char *in, unsigned char *out, size_t groups)
{
    for (size_t i = 0; i < groups; i++, in += 4, out += 3) {
        uint32_t x = kPlaces.place[0][in[0]] | kPlaces.place[1][in[1]] |
                     kPlaces.place[2][in[2]] | kPlaces.place[3][in[3]];
        if (x < 0x01000000u)
            memcpy(out, &x, 4);
        else
            storeGroup(out, groupBits(in));
    }
}
#else
void decodeGroups(const unsigned char *in, unsigned char *out, size_t groups)
{
    for (size_t i = 0; i < groups; i++, in += 4, out += 3)
        storeGroup(out, groupBits(in));
}
#endif

} // namespace

size_t kuBase64_Encode(const unsigned char *data, size_t length, char **encoded)
{
    *encoded = nullptr;
    if (data == nullptr)
        length = 0;
    else if (length == 0)
        length = strlen((const char *)data);
    if (length / 3 > (SIZE_MAX - 8) / 4)
        return 0;
    // floor(4n/3) + 4 always holds the groups and the terminator
    char *out = (char *)malloc(length / 3 * 4 + length % 3 * 4 / 3 + 4);
    if (out == nullptr)
        return 0;

    const unsigned char *in = data;
    char *q = out;
    size_t used = encodeGroups(in, length, q);
    in += used;
    q += used / 3 * 4;
    size_t rest = length % 3;
    if (rest != 0) {
        unsigned char last[3] = {in[0], rest == 2 ? in[1] : (unsigned char)0, 0};
        encodeGroup(last, q);
        q[3] = '=';
        if (rest == 1)
            q[2] = '=';
        q += 4;
    }
    *q = '\0';
    *encoded = out;
    return (size_t)(q - out);
}

namespace {

// The length of the part of text that counts (up to the end of the first run
// of '='), and that run's length.
size_t significantLength(const char *text, size_t *padding)
{
    // one pass finds the first '=' or the end
    const char *firstPad = strchrnul(text, '=');
    size_t n = 0;
    while (firstPad[n] == '=')
        n++;
    *padding = n;
    return (size_t)(firstPad - text) + n;
}

} // namespace

size_t kuBase64_GetDecodeBufferSize(const char *text)
{
    size_t padding;
    size_t significant = significantLength(text != nullptr ? text : "", &padding);
    return significant % 4 != 0 ? 1 : significant / 4 * 3 + 1;
}

long kuBase64_Decode(const char *text, unsigned char *decoded)
{
    if (text == nullptr)
        text = "";
    size_t padding;
    size_t significant = significantLength(text, &padding);
    if (significant % 4 != 0)
        return -1;
    size_t groups = significant / 4;
    long result = (long)(groups * 3) - (long)padding;
    if (decoded == nullptr)
        return result;
    if (groups == 0) {
        decoded[0] = 0;
        return 0;
    }

    const unsigned char *in = (const unsigned char *)text;
    decodeGroups(in, decoded, groups - 1);
    unsigned char last[3];
    storeGroup(last, groupBits(in + 4 * (groups - 1)));
    size_t keep = padding < 3 ? 3 - padding : 0;
    unsigned char *out = decoded + 3 * (groups - 1);
    memcpy(out, last, keep);
    out[keep] = 0;
    return result;
}
