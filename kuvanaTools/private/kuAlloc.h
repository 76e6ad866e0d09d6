// Byte counts of arrays for the allocator, checked so that an overflowing
// count ends the process like a failed allocation instead of asking for a
// wrapped-around small block.
#ifndef KUVANATOOLS_PRIVATE_KUALLOC_H
#define KUVANATOOLS_PRIVATE_KUALLOC_H

#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuMemory.h>

#include <stddef.h>
#include <stdint.h>

namespace ku {

// extra + n * size; when it does not fit, kuFatalError(reason, SIZE_MAX),
// which is what the allocator itself reports for a block it cannot give.
inline size_t checkedBytes(size_t n, size_t size, size_t extra, const char *reason)
{
    if (n > (SIZE_MAX - extra) / size)
        kuFatalError(reason, (unsigned long)SIZE_MAX);
    return extra + n * size;
}

// For kuMalloc and kuMallocZeroed.
inline size_t arrayBytes(size_t n, size_t size, size_t extra = 0)
{
    return checkedBytes(n, size, extra, "memory:malloc");
}

// For kuRealloc: fails under kuRealloc's reason.
inline size_t reallocBytes(size_t n, size_t size)
{
    return checkedBytes(n, size, 0, "memory:realloc");
}

template <typename T>
inline T *newArray(size_t n, size_t extra = 0)
{
    return (T *)kuMalloc(arrayBytes(n, sizeof(T), extra));
}

// Room for one more item in an array that grows by doubling, from 4.
template <typename T>
inline void roomForOne(T *&items, uint32_t count, uint32_t &capacity)
{
    if (count < capacity)
        return;
    capacity = capacity == 0 ? 4 : capacity * 2;
    items = (T *)kuRealloc(items, arrayBytes(capacity, sizeof(T)));
}

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUALLOC_H
