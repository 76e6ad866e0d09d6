/*
 * Chained hash table with a fixed 11 buckets (bucket = key hash modulo 11)
 * whose key and value handling is given by function pointers: copy, release,
 * compare and hash a key; copy and release a value. A table keeps one value
 * per key unless kuCustomHashTable_AllowDuplicates was called.
 *
 * Enumeration order (GetKeyAtIndex, ForEach, Duplicate): bucket 0 to 10, and
 * inside a bucket the most recently added entry first.
 *
 * Text hash: h = 31h + c + 1 over the bytes (unsigned) up to the terminator,
 * modulo 2^32, so "" is 0, "b" 99, "ab" 3137; the wide-text hash does the same
 * over the 32-bit characters. Null keys are never stored or found, so the
 * key functions are never asked to hash or compare a null key.
 *
 * A null table is accepted everywhere: it holds nothing and stores nothing.
 */
#ifndef KUVANATOOLS_KUCUSTOMHASHTABLE_H
#define KUVANATOOLS_KUCUSTOMHASHTABLE_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuCustomHashTable kuCustomHashTable;

/* Copies a key or value for storage. */
typedef void *(*kuCustomHashTableDupFunc)(const void *item);
/* Releases a stored key or value. */
typedef void (*kuCustomHashTableFreeFunc)(void *item);
/* 0 when two keys are equal. */
typedef int (*kuCustomHashTableCompareFunc)(const void *key, const void *storedKey);
/* 32-bit hash of a key. */
typedef uint32_t (*kuCustomHashTableHashFunc)(const void *key);
/* Called by kuCustomHashTable_ForEach; the result is ignored. */
typedef int (*kuCustomHashTableForEachFunc)(void *key, void *value, void *context);

/* How a table handles its keys. */
typedef struct kuCustomHashTableKeyDescriptor {
    kuCustomHashTableDupFunc dup;
    kuCustomHashTableFreeFunc free;
    kuCustomHashTableCompareFunc compare;
    kuCustomHashTableHashFunc hash;
} kuCustomHashTableKeyDescriptor;

/* How a table handles its values. */
typedef struct kuCustomHashTableValueDescriptor {
    kuCustomHashTableDupFunc dup;
    kuCustomHashTableFreeFunc free;
} kuCustomHashTableValueDescriptor;

/* Text keys: copied with kuStrdup, released with kuFree, compared with
 * strcmp, hashed with the text hash. */
KU_API extern const kuCustomHashTableKeyDescriptor gCustomHashTable_StringKey;

/* Text values: copied with kuStrdup, released with kuFree. */
KU_API extern const kuCustomHashTableValueDescriptor gCustomHashTable_StringValue;

/*
 * A new empty table with these functions; duplicates are not allowed. A null
 * dup stores the caller's pointer itself, a null free never releases, a null
 * compare compares the pointers. keyHash is required: without it the result
 * is null.
 */
KU_API kuCustomHashTable *kuCustomHashTable_New(kuCustomHashTableDupFunc keyDup,
                                                kuCustomHashTableFreeFunc keyFree,
                                                kuCustomHashTableCompareFunc keyCompare,
                                                kuCustomHashTableHashFunc keyHash,
                                                kuCustomHashTableDupFunc valueDup,
                                                kuCustomHashTableFreeFunc valueFree);

/* Text keys and text values. */
KU_API kuCustomHashTable *kuCustomHashTable_New_String_String(void);
/* Text keys; values stored as given and never released. */
KU_API kuCustomHashTable *kuCustomHashTable_New_String_VoidPtr(void);
/* Text keys; 32-bit values stored in the value pointer (add with
 * (void *)(uintptr_t)n, read back with (uint32_t)(uintptr_t)). The value 0 is
 * accepted and reads back as 0, like an absent key. */
KU_API kuCustomHashTable *kuCustomHashTable_New_String_UInt32(void);
/* Text keys; wide-text values (copied, released). */
KU_API kuCustomHashTable *kuCustomHashTable_New_String_WString(void);
/* Text keys; the given value functions. */
KU_API kuCustomHashTable *kuCustomHashTable_New_String_Other(kuCustomHashTableDupFunc valueDup,
                                                             kuCustomHashTableFreeFunc valueFree);
/* Pointer keys (identity, hash = the low 32 bits of the pointer); values
 * stored as given. */
KU_API kuCustomHashTable *kuCustomHashTable_New_VoidPtr_VoidPtr(void);
/* Pointer keys; the given value functions. */
KU_API kuCustomHashTable *kuCustomHashTable_New_VoidPtr_Other(kuCustomHashTableDupFunc valueDup,
                                                              kuCustomHashTableFreeFunc valueFree);
/* Wide-text keys and values. */
KU_API kuCustomHashTable *kuCustomHashTable_New_WString_WString(void);
/* Wide-text keys; the given value functions. */
KU_API kuCustomHashTable *kuCustomHashTable_New_WString_Other(kuCustomHashTableDupFunc valueDup,
                                                              kuCustomHashTableFreeFunc valueFree);

/* Lets several entries share a key from now on (there is no way back).
 * Returns 1 (0 for a null table). */
KU_API int kuCustomHashTable_AllowDuplicates(kuCustomHashTable *table);

/*
 * Stores copies of key and value (made by the dup functions) at the front of
 * the key's bucket and returns 1. Refused, with 0 and the table unchanged,
 * when the stored key would be null or the stored value null while the given
 * value was not; whatever was copied is released. Without duplicates an
 * existing entry with the key is removed first, releasing its key and value
 * (a pointer that is being stored again is not released).
 */
KU_API int kuCustomHashTable_Add(kuCustomHashTable *table, const void *key, const void *value);

/* As kuCustomHashTable_Add, but the value is stored as given and the table
 * takes it over (a refused value is released with the value free function). */
KU_API int kuCustomHashTable_AddValueAllocated(kuCustomHashTable *table, const void *key,
                                               void *value);

/* As kuCustomHashTable_Add, but key and value are stored as given and taken
 * over (a refused value is released with the value free function). */
KU_API int kuCustomHashTable_AddAllocated(kuCustomHashTable *table, void *key, void *value);

/* 1 and the stored value in *value (may be null) when the key is present (the
 * first entry of its bucket, i.e. the one added last); else 0 and null. */
KU_API int kuCustomHashTable_Lookup(kuCustomHashTable *table, const void *key, void **value);

/* The stored value, or null when absent (a stored null looks the same). */
KU_API void *kuCustomHashTable_Get(kuCustomHashTable *table, const void *key);

/* 1 when the key is present, else 0. */
KU_API int kuCustomHashTable_HasKey(kuCustomHashTable *table, const void *key);

/* Removes the entry with this key (with duplicates, every entry with it),
 * releasing stored keys and values. The key may be one of the table's own
 * keys (from kuCustomHashTable_GetKeyAtIndex). */
KU_API void kuCustomHashTable_Remove(kuCustomHashTable *table, const void *key);

/* Removes every entry, releasing keys and values. */
KU_API void kuCustomHashTable_Clear(kuCustomHashTable *table);

/* Clears and releases the table; null does nothing. */
KU_API void kuCustomHashTable_Delete(kuCustomHashTable *table);

/* Number of entries. */
KU_API uint32_t kuCustomHashTable_GetTupleCount(kuCustomHashTable *table);

/* The stored key at this position in enumeration order (still the table's),
 * or null when index is not below the count. */
KU_API void *kuCustomHashTable_GetKeyAtIndex(kuCustomHashTable *table, uint32_t index);

/* Calls visit(key, value, context) for every entry in enumeration order; the
 * walk cannot be stopped. The next entry is read before each call; visit may
 * remove any entry (one that was next is skipped), clear the table or delete
 * it (the walk then ends). */
KU_API void kuCustomHashTable_ForEach(kuCustomHashTable *table, kuCustomHashTableForEachFunc visit,
                                      void *context);

/*
 * A new table with the same functions and duplicate setting, filled by
 * kuCustomHashTable_Add of every entry in enumeration order, so keys and
 * values are copied and the order inside each bucket comes out reversed.
 * Null gives null.
 */
KU_API kuCustomHashTable *kuCustomHashTable_Duplicate(kuCustomHashTable *table);

KU_END_DECLS

#endif /* KUVANATOOLS_KUCUSTOMHASHTABLE_H */
