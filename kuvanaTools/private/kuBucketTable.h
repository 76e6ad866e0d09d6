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

// The entry at position index of a bucket table walked bucket 0 to 10, each
// chain from its front: whole buckets are skipped by their counts. Entry needs
// a next member; null when index is not below the total.
template <typename Entry>
inline Entry *bucketEntryAt(Entry *const *buckets, const uint32_t *counts, uint32_t index)
{
    for (uint32_t b = 0; b < kBucketCount; b++) {
        if (index >= counts[b]) {
            index -= counts[b];
            continue;
        }
        Entry *entry = buckets[b];
        while (entry != nullptr && index-- > 0)
            entry = entry->next;
        return entry;
    }
    return nullptr;
}

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUBUCKETTABLE_H
