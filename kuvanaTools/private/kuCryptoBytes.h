// Rotations and wiping for the digests and ciphers.
#ifndef KUVANATOOLS_PRIVATE_KUCRYPTOBYTES_H
#define KUVANATOOLS_PRIVATE_KUCRYPTOBYTES_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace ku {

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
