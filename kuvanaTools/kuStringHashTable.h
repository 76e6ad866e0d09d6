/*
 * Text-to-text map in 11 chained buckets (bucket = text hash modulo 11, the
 * hash of kuCustomHashTable's text keys). The table owns copies of its keys
 * and values. Adding a key that is already present does not replace it: both
 * entries stay, and the one added last is the one found and removed first.
 * Entries are numbered bucket 0 to 10, each bucket from the entry added last.
 *
 * A null table is accepted everywhere: it holds nothing and stores nothing.
 */
#ifndef KUVANATOOLS_KUSTRINGHASHTABLE_H
#define KUVANATOOLS_KUSTRINGHASHTABLE_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuStringHashTable kuStringHashTable;

/* A new empty table. */
KU_API kuStringHashTable *kuStringHashTable_New(void);

/* Stores copies of key and value at the front of the key's bucket and
 * returns 1; a null key or value stores nothing and returns 0. */
KU_API int kuStringHashTable_Add(kuStringHashTable *table, const char *key, const char *value);

/* 1 and the table's copy of the value in *value (may be null) for the entry
 * of this key added last; else 0 and null. A null key is not found. */
KU_API int kuStringHashTable_Lookup(kuStringHashTable *table, const char *key, const char **value);

/* Removes the entry of this key added last, releasing its copies; nothing
 * happens when absent. The key may be the table's own (GetKeyAtIndex). */
KU_API void kuStringHashTable_Remove(kuStringHashTable *table, const char *key);

/* The table's copy of the key at this position, or null when index is not
 * below the number of entries. */
KU_API const char *kuStringHashTable_GetKeyAtIndex(kuStringHashTable *table, uint32_t index);

/* Releases every entry and the table; null does nothing. */
KU_API void kuStringHashTable_Delete(kuStringHashTable *table);

KU_END_DECLS

#endif /* KUVANATOOLS_KUSTRINGHASHTABLE_H */
