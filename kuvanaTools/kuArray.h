/*
 * Growable array of untyped pointers, with an optional release function, an
 * optional comparison, a kept-sorted mode and a flat serialised form.
 *
 * A new array holds 512 slots; when full it grows by 512 slots while below
 * 512, then by half its capacity but at most 2048 slots per step.
 *
 * The comparison is called in two ways. kuArray_Sort hands it to qsort, so it
 * receives the addresses of two slots; kuArray_IndexForInsert calls it with
 * the new item and an item of the array, as values. An array sorted on demand
 * is therefore given a comparison on slot addresses, and an array in
 * kept-sorted mode a comparison on item values (set while it is empty).
 *
 * Flat form: the element count as 4 bytes little-endian, then, for each item
 * from index 0 up, whatever the flattener appended for it.
 */
#ifndef KUVANATOOLS_KUARRAY_H
#define KUVANATOOLS_KUARRAY_H

#include <kuvanaTools/kuBuffer.h>
#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuArray kuArray;

/* Releases one item (which may be null). */
typedef void (*kuArrayFreeFunc)(void *item);

/* Below, equal to or above zero; see above for what it receives. */
typedef int (*kuArrayCompareFunc)(const void *a, const void *b);

/* Nonzero when item matches the caller's key. */
typedef int (*kuArrayMatchFunc)(const void *item, const void *key);

/* Appends the bytes of the item at index to buffer; the result is ignored. */
typedef int (*kuArrayFlattenerFunc)(kuBuffer *buffer, void *item, uint32_t index);

/* Appends one item read from bytes to array and returns the number of bytes
 * it consumed. */
typedef uint32_t (*kuArrayUnFlattenerFunc)(kuArray *array, const void *bytes, uint32_t index);

/* The fields are for reading; change them only through the functions. */
struct kuArray {
    void **items;      /* the slots; never null once created */
    uint32_t count;    /* slots in use */
    uint32_t capacity; /* slots allocated */
    kuArrayCompareFunc sortFunc;
    kuArrayFreeFunc freeFunc;
    uint32_t keepSorted; /* nonzero: kuArray_Insert keeps the comparison's order */
};

/* A new empty array of 512 slots with no callbacks. */
KU_API kuArray *kuArray_New(void);

/* Clears the array and releases it; null does nothing. */
KU_API void kuArray_Delete(kuArray *array);

/* Removes every item (the release function sees each); the capacity stays. */
KU_API void kuArray_Clear(kuArray *array);

/* The number of items; 0 for null. */
KU_API uint32_t kuArray_GetCount(const kuArray *array);

/* The item at index; null for an index not below the count. */
KU_API void *kuArray_At(const kuArray *array, uint32_t index);

/* Releases the item at index (release function, if set) and stores item
 * there. An index not below the count changes nothing. */
KU_API void kuArray_SetAt(kuArray *array, uint32_t index, void *item);

/* Appends item, growing when full; returns the address of its slot. */
KU_API void **kuArray_Append(kuArray *array, void *item);

/* Opens n null slots at index, moving the later items up. An index above
 * the count is taken as the count. */
KU_API void kuArray_InsertAt(kuArray *array, uint32_t index, uint32_t n);

/* Inserts item at kuArray_IndexForInsert and returns that index. The release
 * function is called with the null of the opened slot before the item is
 * stored. */
KU_API uint32_t kuArray_Insert(kuArray *array, void *item);

/* Where kuArray_Insert puts item: the count, unless the array has a
 * comparison and is in kept-sorted mode; then a binary search on values,
 * which puts an item equal to one present just before the equal item it met. */
KU_API uint32_t kuArray_IndexForInsert(const kuArray *array, const void *item);

/* Releases the n items from index on and moves the later ones down; returns
 * the new count. Items past the count are not there to remove: the range is
 * cut to it. */
KU_API uint32_t kuArray_RemoveAt(kuArray *array, uint32_t index, uint32_t n);

/* Removes the first slot holding this very pointer; returns the new count, or
 * -1 when absent. */
KU_API int32_t kuArray_Remove(kuArray *array, const void *item);

/* The index of the first slot holding this very pointer, or -1. */
KU_API int32_t kuArray_Index(const kuArray *array, const void *item);

/* The lowest index whose item match(item, key) accepts, or -1. A linear scan
 * whatever the sort mode. */
KU_API int32_t kuArray_Search(const kuArray *array, const void *key, kuArrayMatchFunc match);

/* Replaces the release function (null: items are not released). */
KU_API void kuArray_SetFreeFunc(kuArray *array, kuArrayFreeFunc freeFunc);

/* Stores the comparison and the kept-sorted flag; a non-null comparison sorts
 * the array at once with kuArray_Sort. */
KU_API void kuArray_SetSortFunc(kuArray *array, kuArrayCompareFunc sortFunc, int keepSorted);

/* Sorts with the comparison, if set: qsort over the slots. In kept-sorted
 * mode the comparison works on values, so the array is instead sorted
 * (stably) by calling it with the items themselves. */
KU_API void kuArray_Sort(kuArray *array);

/* Makes room for n more items (a full array grows even for n = 0). */
KU_API void kuArray_Grow(kuArray *array, uint32_t n);

/* A new block (release with kuFree) holding the flat form; its size is
 * stored through size when not null. A null flattener gives null (size 0). */
KU_API void *kuArray_Flatten(kuArray *array, uint32_t *size, kuArrayFlattenerFunc flattener);

/* A new array rebuilt from a flat form. The size is not consulted: the stored
 * count decides how much is read, so data must be complete. Null data or a
 * null unflattener give an empty array. */
KU_API kuArray *kuArray_UnFlatten(const void *data, uint32_t size,
                                  kuArrayUnFlattenerFunc unflattener);

/* Flattener for heap strings: the string and its terminating zero; a null
 * string gives a single zero byte. Returns the number of bytes appended. */
KU_API int kuStringArray_FlattenerFunc(kuBuffer *buffer, void *item, uint32_t index);

/* Unflattener for heap strings: appends a copy of the zero-terminated string
 * at bytes and returns its length plus one. */
KU_API uint32_t kuStringArray_UnFlattenerFunc(kuArray *array, const void *bytes, uint32_t index);

/* Release function for heap strings: kuFree unless null. */
KU_API void kuStringArray_FreeFunc(void *item);

KU_END_DECLS

#endif /* KUVANATOOLS_KUARRAY_H */
