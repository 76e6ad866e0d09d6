/*
 * Insertion-ordered map from byte-string keys (pointer and length) to untyped
 * values, for small tables: one doubly linked chain, searched linearly, each
 * entry carrying a 32-bit digest of its key so that most comparisons are one
 * integer test.
 *
 * The table copies keys and never owns values: replacing or deleting an entry
 * does not release its value. A key of length 0 is never stored or found.
 * Text keys are passed with strlen of the text (no terminator); the stored
 * copy is always followed by a zero byte so it reads back as a text.
 *
 * Digest of an n-byte key, W(i) being the little-endian 32-bit word at byte i:
 * n = 1..4 the bytes themselves little-endian ("ab" is 0x00006261); n = 5..9
 * W(0) ^ W(n - 4); n >= 10 W(0) ^ W(n - 4) ^ W(n / 2).
 *
 * A null table is accepted everywhere: it holds nothing and stores nothing.
 */
#ifndef KUVANATOOLS_KUHASHTABLE_H
#define KUVANATOOLS_KUHASHTABLE_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* One record of the chain. The first record of every table is a head record
 * with no key, which is never found and is not an entry for the user. */
typedef struct kuHashTableEntry {
    struct kuHashTableEntry *next; /* following entry, null at the end */
    struct kuHashTableEntry *prev; /* preceding record (the head for the first entry) */
    uint32_t digest;               /* digest of the key */
    char *key;                     /* copy of the key bytes plus one zero byte */
    uint32_t keyLength;            /* key length without the added zero */
    void *value;                   /* the user's value, never released by the table */
} kuHashTableEntry;

typedef struct kuHashTable kuHashTable;
typedef struct kuHashTableEnumerator kuHashTableEnumerator;

/* Called by kuHashTable_ForEach for each record; key is the table's copy. */
typedef void (*kuHashTableForEachFunc)(const char *key, uint32_t length, void *value,
                                       void *context);

/* A new empty table. */
KU_API kuHashTable *kuHashTable_New(void);

/* Releases every entry with its key copy, and the table; values are not
 * released. Null does nothing. */
KU_API void kuHashTable_Delete(kuHashTable *table);

/* Removes every entry (values are not released). Enumerators of the table go
 * back to the start. */
KU_API void kuHashTable_Clear(kuHashTable *table);

/* Finds the entry with this key, or appends a new one at the end of the
 * chain, and sets its value (an old value is overwritten without release).
 * Returns the entry, or null for a key of length 0 (nothing is stored). */
KU_API kuHashTableEntry *kuHashTable_AddEntry(kuHashTable *table, const void *key,
                                              uint32_t length, void *value);

/* The value stored under this key, or null when absent. */
KU_API void *kuHashTable_GetEntry(kuHashTable *table, const void *key, uint32_t length);

/* 1 when an entry with this key exists, else 0. */
KU_API int kuHashTable_HasEntry(kuHashTable *table, const void *key, uint32_t length);

/* Unlinks and releases the entry with this key and its key copy (not its
 * value); nothing happens when absent. An enumerator standing on the entry
 * steps back, so its next move gives the entry that followed. */
KU_API void kuHashTable_DeleteEntry(kuHashTable *table, const void *key, uint32_t length);

/* 1 when the table has no entry, else 0. */
KU_API int kuHashTable_IsEmpty(kuHashTable *table);

/*
 * Calls visit(key, length, value, context) for each record in insertion
 * order, starting with the head record (null key, length 0, null value). The
 * next record is read before each call, so entries appended by visit after the
 * last one are not visited. visit may delete any entry (a deleted entry that
 * was next is skipped), clear the table (the walk ends) or delete it.
 */
KU_API void kuHashTable_ForEach(kuHashTable *table, kuHashTableForEachFunc visit, void *context);

/* A new enumerator standing before the first entry. Idiom: loop while
 * kuHashTableEnumerator_MoveNext returns 0, reading each entry with
 * kuHashTableEnumerator_GetValue; entries come in insertion order. An
 * enumerator may outlive its table: it then has no further entry. */
KU_API kuHashTableEnumerator *kuHashTableEnumerator_New(kuHashTable *table);

/* Moves to the next entry: 0 when standing on an entry, nonzero when there is
 * none (and on every call after that). */
KU_API int kuHashTableEnumerator_MoveNext(kuHashTableEnumerator *enumerator);

/* Stores the current entry's key (the table's copy), length and value; each
 * address may be null. Before the first entry or after the last, stores a null
 * key, 0 and a null value. */
KU_API void kuHashTableEnumerator_GetValue(kuHashTableEnumerator *enumerator, const char **key,
                                           uint32_t *length, void **value);

/* Releases the enumerator; null does nothing. */
KU_API void kuHashTableEnumerator_Delete(kuHashTableEnumerator *enumerator);

KU_END_DECLS

#endif /* KUVANATOOLS_KUHASHTABLE_H */
