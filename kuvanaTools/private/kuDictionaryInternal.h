// What the INI module keeps beside a dictionary: a version of its key layout
// and one cache that the dictionary releases with itself.
#ifndef KUVANATOOLS_PRIVATE_KUDICTIONARYINTERNAL_H
#define KUVANATOOLS_PRIVATE_KUDICTIONARYINTERNAL_H

#include <kuvanaTools/kuDictionary.h>

#include <stdint.h>

namespace ku {

// Changes whenever an entry is added or removed (a changed value keeps it),
// so a cache over the keys and slots knows when it is stale. 64 bits: it
// never wraps back to a version a cache still holds.
uint64_t dictionaryLayoutVersion(const kuDictionary *dictionary);

// The dictionary's cache (null at first). Setting one releases the previous
// cache; the dictionary calls release on the cache when it is deleted.
void *dictionaryCache(const kuDictionary *dictionary);
void setDictionaryCache(kuDictionary *dictionary, void *cache, void (*release)(void *));

// Makes room for entries in all, slots and index, so that a loader that knows
// its size grows them once instead of step by step.
void dictionaryReserve(kuDictionary *dictionary, uint32_t entries);

} // namespace ku

#endif
