// Growable array of untyped pointers with a flat serialised form.
#include <kuvanaTools/kuArray.h>
#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuArrayInternal.h>
#include <kuvanaTools/private/kuBytes.h>

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

static_assert(offsetof(kuArray, count) == sizeof(void *) &&
                  offsetof(kuArray, capacity) == sizeof(void *) + 4,
              "slots, then two 32-bit counts");
static_assert(sizeof(((kuArray *)nullptr)->keepSorted) == 4, "32-bit flag");

namespace {

constexpr uint32_t kFirstCapacity = 512;
constexpr uint32_t kLargestStep = 2048;

void reserveSlots(kuArray *array, uint64_t capacity)
{
    // The slot count is a 32-bit field, and the block must be addressable.
    uint64_t bytes = capacity * sizeof(void *);
    if (capacity > UINT32_MAX || bytes > SIZE_MAX)
        kuFatalError("memory:realloc", (unsigned long)bytes);
    array->items = (void **)kuRealloc(array->items, (size_t)bytes);
    array->capacity = (uint32_t)capacity;
}

// Stable merge sort calling the comparison with the items themselves.
void sortByValue(void **items, uint32_t count, kuArrayCompareFunc compare)
{
    if (count < 2)
        return;
    void **scratch = (void **)kuMalloc((size_t)count * sizeof(void *));
    void **from = items;
    void **to = scratch;
    for (uint64_t width = 1; width < count; width *= 2) {
        for (uint64_t lo = 0; lo < count; lo += 2 * width) {
            uint64_t mid = lo + width < count ? lo + width : count;
            uint64_t hi = lo + 2 * width < count ? lo + 2 * width : count;
            uint64_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                to[k++] = compare(from[i], from[j]) <= 0 ? from[i++] : from[j++];
            while (i < mid)
                to[k++] = from[i++];
            while (j < hi)
                to[k++] = from[j++];
        }
        void **swap = from;
        from = to;
        to = swap;
    }
    if (from != items)
        memcpy(items, from, (size_t)count * sizeof(void *));
    kuFree(scratch);
}

} // namespace

kuArray *kuArray_New(void)
{
    kuArray *array = (kuArray *)kuMallocZeroed(sizeof(kuArray));
    kuArray_Grow(array, 0);
    return array;
}

void kuArray_Delete(kuArray *array)
{
    if (array == nullptr)
        return;
    kuArray_Clear(array);
    kuFree(array->items);
    kuFree(array);
}

void kuArray_Clear(kuArray *array)
{
    if (array != nullptr && array->count != 0)
        kuArray_RemoveAt(array, 0, array->count);
}

uint32_t kuArray_GetCount(const kuArray *array)
{
    return array != nullptr ? array->count : 0;
}

void *kuArray_At(const kuArray *array, uint32_t index)
{
    if (array == nullptr || index >= array->count)
        return nullptr;
    return array->items[index];
}

void kuArray_SetAt(kuArray *array, uint32_t index, void *item)
{
    if (array == nullptr || index >= array->count)
        return;
    if (array->freeFunc != nullptr)
        array->freeFunc(array->items[index]);
    array->items[index] = item;
}

void **kuArray_Append(kuArray *array, void *item)
{
    if (array == nullptr)
        return nullptr;
    kuArray_Grow(array, 1);
    void **slot = &array->items[array->count++];
    *slot = item;
    return slot;
}

void kuArray_InsertAt(kuArray *array, uint32_t index, uint32_t n)
{
    if (array == nullptr || n == 0)
        return;
    if (index > array->count)
        index = array->count;
    kuArray_Grow(array, n);
    void **at = array->items + index;
    memmove(at + n, at, (size_t)(array->count - index) * sizeof(void *));
    for (uint32_t i = 0; i < n; i++)
        at[i] = nullptr;
    array->count += n;
}

uint32_t kuArray_Insert(kuArray *array, void *item)
{
    if (array == nullptr)
        return 0;
    uint32_t index = kuArray_IndexForInsert(array, item);
    kuArray_InsertAt(array, index, 1);
    kuArray_SetAt(array, index, item);
    return index;
}

uint32_t kuArray_IndexForInsert(const kuArray *array, const void *item)
{
    if (array == nullptr)
        return 0;
    if (array->sortFunc == nullptr || array->keepSorted == 0)
        return array->count;
    uint32_t lo = 0, hi = array->count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        int r = array->sortFunc(item, array->items[mid]);
        if (r < 0)
            hi = mid;
        else if (r > 0)
            lo = mid + 1;
        else
            return mid;
    }
    return lo;
}

uint32_t kuArray_RemoveAt(kuArray *array, uint32_t index, uint32_t n)
{
    if (array == nullptr)
        return 0;
    if (index >= array->count)
        return array->count;
    if (n > array->count - index)
        n = array->count - index;
    void **at = array->items + index;
    if (array->freeFunc != nullptr)
        for (uint32_t i = 0; i < n; i++)
            array->freeFunc(at[i]);
    memmove(at, at + n, (size_t)(array->count - index - n) * sizeof(void *));
    array->count -= n;
    return array->count;
}

int32_t kuArray_Remove(kuArray *array, const void *item)
{
    int32_t index = kuArray_Index(array, item);
    if (index < 0)
        return -1;
    return (int32_t)kuArray_RemoveAt(array, (uint32_t)index, 1);
}

int32_t kuArray_Index(const kuArray *array, const void *item)
{
    if (array == nullptr)
        return -1;
    for (uint32_t i = 0; i < array->count; i++)
        if (array->items[i] == item)
            return (int32_t)i;
    return -1;
}

int32_t kuArray_Search(const kuArray *array, const void *key, kuArrayMatchFunc match)
{
    if (array == nullptr || match == nullptr)
        return -1;
    for (uint32_t i = 0; i < array->count; i++)
        if (match(array->items[i], key) != 0)
            return (int32_t)i;
    return -1;
}

void kuArray_SetFreeFunc(kuArray *array, kuArrayFreeFunc freeFunc)
{
    if (array != nullptr)
        array->freeFunc = freeFunc;
}

void kuArray_SetSortFunc(kuArray *array, kuArrayCompareFunc sortFunc, int keepSorted)
{
    if (array == nullptr)
        return;
    array->sortFunc = sortFunc;
    array->keepSorted = keepSorted != 0;
    if (sortFunc != nullptr)
        kuArray_Sort(array);
}

void kuArray_Sort(kuArray *array)
{
    if (array == nullptr || array->sortFunc == nullptr)
        return;
    if (array->keepSorted != 0)
        sortByValue(array->items, array->count, array->sortFunc);
    else
        qsort(array->items, array->count, sizeof(void *), array->sortFunc);
}

void kuArray_Grow(kuArray *array, uint32_t n)
{
    if (array == nullptr)
        return;
    uint32_t capacity = array->capacity;
    if (capacity != array->count && capacity - array->count >= n)
        return;
    if (capacity == 0) {
        reserveSlots(array, n > kFirstCapacity ? n : kFirstCapacity);
        return;
    }
    uint32_t step = capacity < kFirstCapacity ? kFirstCapacity : capacity / 2;
    if (step > kLargestStep)
        step = kLargestStep;
    if (step < n)
        step = n;
    reserveSlots(array, (uint64_t)capacity + step);
}

void *kuArray_Flatten(kuArray *array, uint32_t *size, kuArrayFlattenerFunc flattener)
{
    if (size != nullptr)
        *size = 0;
    if (array == nullptr || flattener == nullptr)
        return nullptr;
    kuBuffer *buffer = kuBuffer_New(4);
    uint8_t count[4];
    ku::storeLE32(count, array->count);
    kuBuffer_Append(buffer, count, sizeof count);
    for (uint32_t i = 0; i < array->count; i++)
        flattener(buffer, kuArray_At(array, i), i);
    void *block = kuBuffer_TakeOwnership(buffer, 1, size);
    kuBuffer_Delete(buffer);
    return block;
}

kuArray *ku::unflattenArray(const void *data, size_t limit, kuArrayUnFlattenerFunc unflattener)
{
    kuArray *array = kuArray_New();
    if (data == nullptr || unflattener == nullptr || limit < 4)
        return array;
    const uint8_t *bytes = (const uint8_t *)data;
    uint32_t count = ku::loadLE32(bytes);
    size_t offset = 4;
    // The stock string reader is replaced by one that cannot run past the
    // end when the last string lacks its terminator.
    bool strings = unflattener == kuStringArray_UnFlattenerFunc;
    for (uint32_t i = 0; i < count && offset < limit; i++) {
        if (strings) {
            const char *text = (const char *)bytes + offset;
            size_t n = strnlen(text, limit - offset);
            kuArray_Append(array, kuStrndup(text, n));
            offset += n + 1;
        } else {
            offset += unflattener(array, bytes + offset, i);
        }
    }
    return array;
}

kuArray *kuArray_UnFlatten(const void *data, uint32_t size, kuArrayUnFlattenerFunc unflattener)
{
    return ku::unflattenArray(data, SIZE_MAX, unflattener);
}

int kuStringArray_FlattenerFunc(kuBuffer *buffer, void *item, uint32_t index)
{
    const char *text = item != nullptr ? (const char *)item : "";
    size_t n = strlen(text) + 1;
    kuBuffer_Append(buffer, text, n);
    return (int)n;
}

uint32_t kuStringArray_UnFlattenerFunc(kuArray *array, const void *bytes, uint32_t index)
{
    char *copy = kuStrdup(bytes != nullptr ? (const char *)bytes : "");
    kuArray_Append(array, copy);
    return (uint32_t)strlen(copy) + 1;
}

void kuStringArray_FreeFunc(void *item)
{
    if (item != nullptr)
        kuFree(item);
}
