// Pieces shared by the two 11-bucket tables (custom and string hash tables).
#ifndef KUVANATOOLS_PRIVATE_KUBUCKETTABLE_H
#define KUVANATOOLS_PRIVATE_KUBUCKETTABLE_H

#include <stdint.h>

namespace ku {

constexpr uint32_t kBucketCount = 11;

// h = 31h + c + 1 over the characters (taken unsigned) up to the terminator;
// "" hashes to 0. Shared by narrow and wide texts.
template <typename Char>
inline uint32_t textHash(const Char *text)
{
    uint32_t h = 0;
    for (; *text != 0; text++)
        h = 31u * h + (uint32_t)*text + 1u;
    return h;
}

inline uint32_t textHash(const char *text)
{
    return textHash((const unsigned char *)text);
}

// An entry of such a table: the key's hash, key, value, next of the bucket.
template <typename Key, typename Value>
struct BucketEntry {
    uint32_t hash;
    Key key;
    Value value;
    BucketEntry *next;
};

// Both tables begin with their chain heads and per-bucket counts, declared
// directly in the table as
//     Entry *heads[kBucketCount];
//     uint32_t counts[kBucketCount];
// so that a field after the counts (the custom table's total) follows them
// without padding. Positions run bucket 0 to 10, each chain from its front.
template <typename Entry>
inline void pushFront(Entry **heads, uint32_t *counts, Entry *e)
{
    uint32_t b = e->hash % kBucketCount;
    e->next = heads[b];
    heads[b] = e;
    counts[b]++;
}

// The entry at position index, or null when index is not below the total:
// whole buckets are skipped by their counts.
template <typename Entry>
inline Entry *entryAt(Entry *const *heads, const uint32_t *counts, uint32_t index)
{
    for (uint32_t b = 0; b < kBucketCount; b++) {
        if (index >= counts[b]) {
            index -= counts[b];
            continue;
        }
        Entry *e = heads[b];
        while (e != nullptr && index-- > 0)
            e = e->next;
        return e;
    }
    return nullptr;
}

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUBUCKETTABLE_H
