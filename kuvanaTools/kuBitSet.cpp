// Fixed-length bit set, most significant bit first.
#include <kuvanaTools/kuBitSet.h>
#include <kuvanaTools/kuMemory.h>

#include <stddef.h>
#include <string.h>

static_assert(offsetof(kuBitSet, byteCount) == 4 && offsetof(kuBitSet, bits) == 8,
              "two 32-bit counts, then the bits");

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;

inline uint8_t maskOf(uint32_t position)
{
    return (uint8_t)(0x80u >> (position % 8));
}

// At least one byte, so that bits is never null.
uint8_t *newBlock(uint32_t byteCount)
{
    return (uint8_t *)kuMallocZeroed(byteCount > 0 ? byteCount : 1);
}

inline uint32_t firstAfter(uint32_t origin)
{
    return origin == kNone ? 0 : origin + 1;
}

// The lowest position from start whose bit differs from skip's bits (0x00
// looks for a 1, 0xFF for a 0), or kNone.
uint32_t scan(const kuBitSet *set, uint32_t start, uint8_t skip)
{
    uint64_t position = start;
    while (position < set->bitCount) {
        uint8_t byte = set->bits[position / 8];
        if (position % 8 == 0 && byte == skip) {
            position += 8;
            continue;
        }
        if (((byte & maskOf((uint32_t)position)) != 0) != (skip == 0xFF))
            return (uint32_t)position;
        position++;
    }
    return kNone;
}

// Moves a freshly built bit block into the set, which keeps its identity.
void adopt(kuBitSet *set, uint8_t *bits, uint32_t bitCount, uint32_t setCount)
{
    kuFree(set->bits);
    set->bits = bits;
    set->bitCount = bitCount;
    set->byteCount = kuBitSet_S_GetBytes(bitCount);
    set->setCount = setCount;
}

} // namespace

uint32_t kuBitSet_S_GetBytes(uint32_t bitCount)
{
    return bitCount / 8 + (bitCount % 8 != 0 ? 1 : 0);
}

kuBitSet *kuBitSet_New(uint32_t bitCount)
{
    kuBitSet *set = (kuBitSet *)kuMalloc(sizeof(kuBitSet));
    set->bitCount = bitCount;
    set->byteCount = kuBitSet_S_GetBytes(bitCount);
    set->bits = newBlock(set->byteCount);
    set->setCount = 0;
    return set;
}

kuBitSet *kuBitSet_Clone(const kuBitSet *set)
{
    if (set == nullptr)
        return nullptr;
    kuBitSet *copy = kuBitSet_New(set->bitCount);
    memcpy(copy->bits, set->bits, set->byteCount);
    copy->setCount = set->setCount;
    return copy;
}

void kuBitSet_Delete(kuBitSet *set)
{
    if (set == nullptr)
        return;
    kuFree(set->bits);
    kuFree(set);
}

uint32_t kuBitSet_GetBitCount(const kuBitSet *set)
{
    return set != nullptr ? set->bitCount : 0;
}

uint32_t kuBitSet_GetSetCount(const kuBitSet *set)
{
    return set != nullptr ? set->setCount : 0;
}

void kuBitSet_Set(kuBitSet *set, uint32_t position)
{
    if (set == nullptr || position >= set->bitCount)
        return;
    uint8_t &byte = set->bits[position / 8];
    if ((byte & maskOf(position)) == 0) {
        byte |= maskOf(position);
        set->setCount++;
    }
}

void kuBitSet_UnSet(kuBitSet *set, uint32_t position)
{
    if (set == nullptr || position >= set->bitCount)
        return;
    uint8_t &byte = set->bits[position / 8];
    if ((byte & maskOf(position)) != 0) {
        byte &= (uint8_t)~maskOf(position);
        set->setCount--;
    }
}

int kuBitSet_IsSet(const kuBitSet *set, uint32_t position)
{
    if (set == nullptr || position >= set->bitCount)
        return 0;
    return (set->bits[position / 8] & maskOf(position)) != 0;
}

uint32_t kuBitSet_GetNextSet(const kuBitSet *set, uint32_t origin)
{
    if (set == nullptr || set->setCount == 0)
        return kNone;
    return scan(set, firstAfter(origin), 0x00);
}

uint32_t kuBitSet_GetNextUnSet(const kuBitSet *set, uint32_t origin)
{
    uint32_t start = firstAfter(origin);
    if (set == nullptr || set->setCount == set->bitCount || start >= set->bitCount)
        return kNone;
    return scan(set, start, 0xFF);
}

void kuBitSet_Clear(kuBitSet *set)
{
    if (set == nullptr)
        return;
    memset(set->bits, 0, set->byteCount);
    set->setCount = 0;
}

int kuBitSet_Equal(const kuBitSet *a, const kuBitSet *b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    return a->bitCount == b->bitCount && a->setCount == b->setCount &&
           memcmp(a->bits, b->bits, a->byteCount) == 0;
}

void kuBitSet_Insert(kuBitSet *set, uint32_t position, uint32_t n)
{
    if (set == nullptr || n == 0 || n > UINT32_MAX - set->bitCount)
        return;
    if (position > set->bitCount)
        position = set->bitCount;
    uint32_t bitCount = set->bitCount + n;
    uint8_t *bits = newBlock(kuBitSet_S_GetBytes(bitCount));
    for (uint32_t p = kuBitSet_GetNextSet(set, kNone); p != kNone;
         p = kuBitSet_GetNextSet(set, p)) {
        uint32_t q = p < position ? p : p + n;
        bits[q / 8] |= maskOf(q);
    }
    adopt(set, bits, bitCount, set->setCount);
}

void kuBitSet_Remove(kuBitSet *set, uint32_t position, uint32_t n)
{
    if (set == nullptr || position >= set->bitCount)
        return;
    if (n > set->bitCount - position)
        n = set->bitCount - position;
    if (n == 0)
        return;
    uint32_t bitCount = set->bitCount - n;
    uint8_t *bits = newBlock(kuBitSet_S_GetBytes(bitCount));
    uint32_t kept = 0;
    for (uint32_t p = kuBitSet_GetNextSet(set, kNone); p != kNone;
         p = kuBitSet_GetNextSet(set, p)) {
        if (p >= position && p - position < n)
            continue;
        uint32_t q = p < position ? p : p - n;
        bits[q / 8] |= maskOf(q);
        kept++;
    }
    adopt(set, bits, bitCount, kept);
}
