// Loads and stores of fixed-width integers in a stated byte order, on
// buffers of any alignment. memcpy plus a swap compiles to single moves.
#ifndef KUVANATOOLS_PRIVATE_KUBYTES_H
#define KUVANATOOLS_PRIVATE_KUBYTES_H

#include <stdint.h>
#include <string.h>

namespace ku {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kBigEndianHost = true;
#else
constexpr bool kBigEndianHost = false;
#endif

inline uint16_t loadLE16(const void *p)
{
    uint16_t v;
    memcpy(&v, p, 2);
    return kBigEndianHost ? __builtin_bswap16(v) : v;
}

inline uint16_t loadBE16(const void *p)
{
    uint16_t v;
    memcpy(&v, p, 2);
    return kBigEndianHost ? v : __builtin_bswap16(v);
}

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

inline void storeLE16(void *p, uint16_t v)
{
    v = kBigEndianHost ? __builtin_bswap16(v) : v;
    memcpy(p, &v, 2);
}

inline void storeBE16(void *p, uint16_t v)
{
    v = kBigEndianHost ? v : __builtin_bswap16(v);
    memcpy(p, &v, 2);
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

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUBYTES_H
