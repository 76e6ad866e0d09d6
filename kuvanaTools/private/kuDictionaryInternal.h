// What the INI module keeps beside a dictionary: a version of its key layout,
// a count of its changes and one cache that the dictionary releases with
// itself; and lookups for keys whose digest the caller took on the way.
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

// Changes whenever anything stored changes: an entry added or removed, or a
// value replaced by a different text.
uint64_t dictionaryChangeCount(const kuDictionary *dictionary);

// The digest of a key, taken a byte at a time (each byte as a signed char),
// so that a caller building a key can digest it on the way.
inline uint32_t digestStep(uint32_t h, char c)
{
    h += (uint32_t)(int32_t)(signed char)c;
    h += h << 10;
    return h ^ (h >> 6);
}
inline uint32_t digestEnd(uint32_t h)
{
    h += h << 3;
    h ^= h >> 11;
    return h + (h << 15);
}

// kuDictionary_ReadKey and kuDictionary_WriteKey for a usable key whose
// digest the caller has.
const char *dictionaryRead(kuDictionary *dictionary, const char *key, uint32_t digest,
                           const char *defaultValue);
void dictionaryWrite(kuDictionary *dictionary, const char *key, uint32_t digest,
                     const char *value);

// Makes room for entries in all, slots and index, so that a loader that knows
// its size grows them once instead of step by step.
void dictionaryReserve(kuDictionary *dictionary, uint32_t entries);

} // namespace ku

#endif
