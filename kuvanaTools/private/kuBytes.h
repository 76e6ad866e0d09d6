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

// v turned between the host's order and big-endian (big) or little-endian.
inline uint16_t hostOrder(uint16_t v, bool big)
{
    return big == kBigEndianHost ? v : __builtin_bswap16(v);
}

inline uint32_t hostOrder(uint32_t v, bool big)
{
    return big == kBigEndianHost ? v : __builtin_bswap32(v);
}

inline uint64_t hostOrder(uint64_t v, bool big)
{
    return big == kBigEndianHost ? v : __builtin_bswap64(v);
}

template <typename T, bool Big>
inline T load(const void *p)
{
    T v;
    memcpy(&v, p, sizeof v);
    return hostOrder(v, Big);
}

template <typename T, bool Big>
inline void store(void *p, T v)
{
    v = hostOrder(v, Big);
    memcpy(p, &v, sizeof v);
}

inline uint16_t loadLE16(const void *p) { return load<uint16_t, false>(p); }
inline uint16_t loadBE16(const void *p) { return load<uint16_t, true>(p); }
inline uint32_t loadLE32(const void *p) { return load<uint32_t, false>(p); }
inline uint32_t loadBE32(const void *p) { return load<uint32_t, true>(p); }
inline uint64_t loadLE64(const void *p) { return load<uint64_t, false>(p); }
inline void storeLE16(void *p, uint16_t v) { store<uint16_t, false>(p, v); }
inline void storeLE32(void *p, uint32_t v) { store<uint32_t, false>(p, v); }
inline void storeBE32(void *p, uint32_t v) { store<uint32_t, true>(p, v); }

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUBYTES_H
