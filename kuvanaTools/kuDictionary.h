/*
 * Ordered text-to-text map: the storage of INI files. Entries occupy slots 0
 * to count - 1 in insertion order; deleting an entry closes the gap, so the
 * others keep their order. The dictionary owns copies of its keys and values;
 * keys are compared case-sensitively. Results that are texts belong to the
 * dictionary and stay valid until their entry changes or goes.
 *
 * Capacity starts at max(initial capacity, 128) slots and grows by 128 when a
 * new key finds every slot in use. Each key carries the one-at-a-time digest
 * of its bytes taken as signed chars ("a" gives 0xca2e9442), and an index from
 * digest to slot makes reads, writes and deletes independent of the number of
 * entries (a delete still moves the later slots down by one).
 *
 * The empty text is what a free slot holds as its key, so it is not a key:
 * writing it (or a null key) does nothing, and reading or deleting it finds
 * nothing. A null dictionary holds nothing and stores nothing.
 */
#ifndef KUVANATOOLS_KUDICTIONARY_H
#define KUVANATOOLS_KUDICTIONARY_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuDictionary kuDictionary;

/* A new empty dictionary of max(initialCapacity, 128) slots, each free slot
 * holding two empty heap texts of its own (key and value). */
KU_API kuDictionary *kuDictionary_New(uint32_t initialCapacity);

/* Releases every key and value and the dictionary; null does nothing. */
KU_API void kuDictionary_Delete(kuDictionary *dictionary);

/* The stored value of key, or the defaultValue pointer itself when absent. */
KU_API const char *kuDictionary_ReadKey(kuDictionary *dictionary, const char *key,
                                        const char *defaultValue);

/* Sets the value of key (a null value stores the empty text). An existing key
 * keeps its slot; a new one takes the slot after the last entry. The value may
 * be a text of the dictionary itself. */
KU_API void kuDictionary_WriteKey(kuDictionary *dictionary, const char *key, const char *value);

/* Removes key and moves the later entries down by one; nothing happens when
 * absent. The key may be the dictionary's own (GetKeyAtIndex). */
KU_API void kuDictionary_DeleteKey(kuDictionary *dictionary, const char *key);

/* Number of entries (0 for null). */
KU_API uint32_t kuDictionary_GetEntryCount(kuDictionary *dictionary);

/* The key of the entry in slot index; an index at or beyond the entry count
 * gives an empty text: the free slot's own below the capacity (null for a null
 * dictionary). */
KU_API const char *kuDictionary_GetKeyAtIndex(kuDictionary *dictionary, uint32_t index);

/* The value of the entry in slot index, with the same rule as
 * kuDictionary_GetKeyAtIndex. */
KU_API const char *kuDictionary_GetValueAtIndex(kuDictionary *dictionary, uint32_t index);

KU_END_DECLS

#endif /* KUVANATOOLS_KUDICTIONARY_H */
