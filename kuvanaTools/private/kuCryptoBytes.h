// Byte-order loads and stores, rotations and wiping for the digests and
// ciphers. Loads go through memcpy so unaligned caller buffers are fine on
// every target; compilers turn them into single moves.
#ifndef KUVANATOOLS_PRIVATE_KUCRYPTOBYTES_H
#define KUVANATOOLS_PRIVATE_KUCRYPTOBYTES_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace ku {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kBigEndianHost = true;
#else
constexpr bool kBigEndianHost = false;
#endif

inline uint32_t loadLE32(const void *p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return kBigEndianHost ? __builtin_bswap32(v) : v;
}

inline uint32_t loadBE32(const void *p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return kBigEndianHost ? v : __builtin_bswap32(v);
}

inline void storeLE32(void *p, uint32_t v)
{
    v = kBigEndianHost ? __builtin_bswap32(v) : v;
    memcpy(p, &v, 4);
}

inline void storeBE32(void *p, uint32_t v)
{
    v = kBigEndianHost ? v : __builtin_bswap32(v);
    memcpy(p, &v, 4);
}

constexpr uint32_t rotl32(uint32_t v, int n)
{
    return (v << n) | (v >> ((32 - n) & 31));
}

constexpr uint32_t rotr32(uint32_t v, int n)
{
    return (v >> n) | (v << ((32 - n) & 31));
}

// memset that the optimiser may not drop although the memory is dead after.
inline void wipe(void *p, size_t n)
{
    memset(p, 0, n);
    __asm__ __volatile__("" : : "r"(p) : "memory");
}

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUCRYPTOBYTES_H
