// Little-endian loads and stores on unaligned bytes.
#ifndef KUVANATOOLS_PRIVATE_KUBYTEORDER_H
#define KUVANATOOLS_PRIVATE_KUBYTEORDER_H

#include <stdint.h>

namespace ku {

inline uint16_t loadLE16(const void *at)
{
    const uint8_t *p = (const uint8_t *)at;
    return (uint16_t)(p[0] | p[1] << 8);
}

inline uint32_t loadLE32(const void *at)
{
    const uint8_t *p = (const uint8_t *)at;
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

inline void storeLE16(void *at, uint16_t value)
{
    uint8_t *p = (uint8_t *)at;
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
}

inline void storeLE32(void *at, uint32_t value)
{
    uint8_t *p = (uint8_t *)at;
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
    p[2] = (uint8_t)(value >> 16);
    p[3] = (uint8_t)(value >> 24);
}

} // namespace ku

#endif
