// Ordered text dictionary with a digest index over its slots.
#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuAlloc.h>
#include <kuvanaTools/private/kuDictionaryInternal.h>
#include <kuvanaTools/private/kuHash.h>

#include <stdint.h>
#include <stddef.h>
#include <string.h>

namespace {

struct Slot {
    char *key; // empty in a free slot
    uint32_t digest;
    char *value;
};

// One cell of the open-addressing index: digest and slot number + 1 (0 marks
// an empty cell). Keeping the digest here lets most probes skip the slots.
struct Cell {
    uint32_t digest;
    uint32_t slot1;

    bool free() const { return slot1 == 0; }
};

constexpr uint32_t kCapacityStep = 128;
constexpr uint32_t kMinCells = 256;

} // namespace

struct kuDictionary {
    uint32_t capacity;
    Slot *slots;
    uint32_t entryCount;
    ku::ProbeIndex<Cell> index; // at most half full
    uint64_t layoutVersion;
    uint64_t changeCount;
    void *cache;
    void (*cacheRelease)(void *);
};

static_assert(sizeof(kuDictionary::capacity) == 4 && sizeof(kuDictionary::entryCount) == 4 &&
                  offsetof(kuDictionary, slots) == sizeof(void *) &&
                  offsetof(kuDictionary, entryCount) == 2 * sizeof(void *),
              "32-bit counts around the slot pointer");
static_assert(offsetof(Slot, digest) == sizeof(void *) &&
                  offsetof(Slot, value) == 2 * sizeof(void *),
              "key, digest, value");

namespace {

using ku::arrayBytes;

uint32_t digestOf(const char *key)
{
    uint32_t h = 0;
    for (const char *p = key; *p != 0; p++)
        h = ku::digestStep(h, *p);
    return ku::digestEnd(h);
}

// The slot array is followed, in its own allocation, by two zero bytes per
// slot: the empty key and value of a free slot are its own two bytes there.
// Slots below entryCount hold texts allocated one by one.
constexpr size_t kSlotBytes = sizeof(Slot) + 2;

void freeSlots(kuDictionary *d, uint32_t from, uint32_t to)
{
    char *texts = (char *)(d->slots + d->capacity);
    for (uint32_t i = from; i < to; i++)
        d->slots[i] = Slot{texts + 2 * i, 0, texts + 2 * i + 1};
}

// Sets the capacity of a new or fuller slot array; the free slots follow
// their empty texts, which move with the array's end.
void setCapacity(kuDictionary *d, uint32_t capacity)
{
    d->capacity = capacity;
    memset(d->slots + capacity, 0, 2 * (size_t)capacity);
    freeSlots(d, d->entryCount, capacity);
}

// The cell holding key, or the empty cell where it would go.
uint32_t probe(const kuDictionary *d, const char *key, uint32_t digest)
{
    return d->index.find(digest, [&](const Cell &c) {
        return c.digest == digest && strcmp(d->slots[c.slot1 - 1].key, key) == 0;
    });
}

// The index grows past half full: linear probing slows sharply beyond.
inline bool overfull(uint32_t entries, uint32_t cells)
{
    return (size_t)entries * 2 > (size_t)cells;
}

void resizeIndex(kuDictionary *d, uint32_t cells)
{
    d->index.reset(cells);
    for (uint32_t s = 0; s < d->entryCount; s++) {
        uint32_t digest = d->slots[s].digest;
        d->index.cells[d->index.place(digest)] = Cell{digest, s + 1};
    }
}

// Slots after removed moved down by one: renumber their cells, by probing
// them one by one when few moved, else by one pass over the index.
void renumberAfter(kuDictionary *d, uint32_t removed)
{
    uint32_t moved = d->entryCount - removed;
    Cell *cells = d->index.cells;
    if ((size_t)moved * 8 < (size_t)d->index.size()) {
        for (uint32_t s = removed; s < d->entryCount; s++) {
            auto movedHere = [s](const Cell &c) { return c.slot1 == s + 2; };
            cells[d->index.find(d->slots[s].digest, movedHere)].slot1 = s + 1;
        }
        return;
    }
    const uint32_t limit = removed + 1;
    const uint32_t count = d->index.size(); // read once: the loop then vectorises
    for (uint32_t i = 0; i < count; i++)
        cells[i].slot1 -= cells[i].slot1 > limit ? 1 : 0;
}

// An entry's key and its first value share one block, the value right after
// the key's terminator; a value written later gets a block of its own. The
// block holds a pointer at least (see kuDictionary_Delete).
char *newTexts(const char *key, size_t keyBytes, const char *value)
{
    size_t valueBytes = strlen(value) + 1;
    size_t bytes = keyBytes + valueBytes;
    char *block = (char *)kuMalloc(bytes > sizeof(char *) ? bytes : sizeof(char *));
    memcpy(block, key, keyBytes);
    memcpy(block + keyBytes, value, valueBytes);
    return block;
}

inline bool ownsValueBlock(const Slot &s)
{
    return s.value != s.key + strlen(s.key) + 1;
}

void releaseTexts(const Slot &s)
{
    if (ownsValueBlock(s))
        kuFree(s.value);
    kuFree(s.key);
}

inline bool usableKey(const char *key)
{
    return key != nullptr && key[0] != '\0';
}

} // namespace

kuDictionary *kuDictionary_New(uint32_t initialCapacity)
{
    kuDictionary *d = (kuDictionary *)kuMallocZeroed(sizeof(kuDictionary));
    uint32_t capacity = initialCapacity > kCapacityStep ? initialCapacity : kCapacityStep;
    d->slots = (Slot *)kuMalloc(arrayBytes(capacity, kSlotBytes));
    setCapacity(d, capacity);
    d->index.reset(kMinCells);
    return d;
}

void kuDictionary_Delete(kuDictionary *dictionary)
{
    if (dictionary == nullptr)
        return;
    // The large arrays go back before the many small text blocks: a large
    // block freed after them makes the allocator merge them all and return
    // the memory to the system, so that the next dictionary of the size
    // would fault every page back in. Meanwhile the key blocks are chained
    // through their own first bytes.
    char *chain = nullptr;
    for (uint32_t i = 0; i < dictionary->entryCount; i++) {
        Slot &s = dictionary->slots[i];
        if (ownsValueBlock(s))
            kuFree(s.value);
        memcpy(s.key, &chain, sizeof chain);
        chain = s.key;
    }
    if (dictionary->cache != nullptr)
        dictionary->cacheRelease(dictionary->cache);
    dictionary->index.release();
    kuFree(dictionary->slots);
    while (chain != nullptr) {
        char *next;
        memcpy(&next, chain, sizeof next);
        kuFree(chain);
        chain = next;
    }
    kuFree(dictionary);
}

const char *kuDictionary_ReadKey(kuDictionary *dictionary, const char *key,
                                 const char *defaultValue)
{
    if (dictionary == nullptr || !usableKey(key))
        return defaultValue;
    return ku::dictionaryRead(dictionary, key, digestOf(key), defaultValue);
}

void kuDictionary_WriteKey(kuDictionary *dictionary, const char *key, const char *value)
{
    if (dictionary != nullptr && usableKey(key))
        ku::dictionaryWrite(dictionary, key, digestOf(key), value);
}

const char *ku::dictionaryRead(kuDictionary *d, const char *key, uint32_t digest,
                               const char *defaultValue)
{
    if (d->entryCount == 0)
        return defaultValue;
    const Cell &c = d->index.cells[probe(d, key, digest)];
    return c.free() ? defaultValue : d->slots[c.slot1 - 1].value;
}

void ku::dictionaryWrite(kuDictionary *d, const char *key, uint32_t digest, const char *value)
{
    if (value == nullptr)
        value = "";
    uint32_t cell = probe(d, key, digest);
    if (!d->index.cells[cell].free()) {
        Slot &s = d->slots[d->index.cells[cell].slot1 - 1];
        // the new value may lie inside the old one: copy before releasing
        if (strcmp(s.value, value) != 0) {
            char *copy = kuStrdup(value);
            if (ownsValueBlock(s))
                kuFree(s.value);
            s.value = copy;
            d->changeCount++;
        }
        return;
    }
    if (d->entryCount == d->capacity) {
        uint32_t grown = d->capacity + kCapacityStep;
        d->slots = (Slot *)kuRealloc(d->slots, ku::reallocBytes(grown, kSlotBytes));
        setCapacity(d, grown);
    }
    uint32_t slot = d->entryCount++;
    d->layoutVersion++;
    d->changeCount++;
    size_t keyBytes = strlen(key) + 1;
    char *texts = newTexts(key, keyBytes, value);
    d->slots[slot] = Slot{texts, digest, texts + keyBytes};
    if (overfull(d->entryCount, d->index.size()))
        resizeIndex(d, d->index.size() * 2);
    else
        d->index.cells[cell] = Cell{digest, slot + 1};
}

void kuDictionary_DeleteKey(kuDictionary *dictionary, const char *key)
{
    kuDictionary *d = dictionary;
    if (d == nullptr || !usableKey(key) || d->entryCount == 0)
        return;
    uint32_t cell = probe(d, key, digestOf(key));
    if (d->index.cells[cell].free())
        return;
    uint32_t slot = d->index.cells[cell].slot1 - 1;
    d->index.erase(cell, [](const Cell &c) { return c.digest; });
    releaseTexts(d->slots[slot]);
    d->entryCount--;
    d->layoutVersion++;
    d->changeCount++;
    memmove(&d->slots[slot], &d->slots[slot + 1], (d->entryCount - slot) * sizeof(Slot));
    freeSlots(d, d->entryCount, d->entryCount + 1);
    renumberAfter(d, slot);
}

uint32_t kuDictionary_GetEntryCount(kuDictionary *dictionary)
{
    return dictionary != nullptr ? dictionary->entryCount : 0;
}

const char *kuDictionary_GetKeyAtIndex(kuDictionary *dictionary, uint32_t index)
{
    if (dictionary == nullptr)
        return nullptr;
    return index < dictionary->capacity ? dictionary->slots[index].key : "";
}

const char *kuDictionary_GetValueAtIndex(kuDictionary *dictionary, uint32_t index)
{
    if (dictionary == nullptr)
        return nullptr;
    return index < dictionary->capacity ? dictionary->slots[index].value : "";
}

namespace ku {

uint64_t dictionaryLayoutVersion(const kuDictionary *dictionary)
{
    return dictionary->layoutVersion;
}

uint64_t dictionaryChangeCount(const kuDictionary *dictionary)
{
    return dictionary->changeCount;
}

void *dictionaryCache(const kuDictionary *dictionary)
{
    return dictionary->cache;
}

void setDictionaryCache(kuDictionary *dictionary, void *cache, void (*release)(void *))
{
    if (dictionary->cache != nullptr && dictionary->cache != cache)
        dictionary->cacheRelease(dictionary->cache);
    dictionary->cache = cache;
    dictionary->cacheRelease = release;
}

void dictionaryReserve(kuDictionary *dictionary, uint32_t entries)
{
    kuDictionary *d = dictionary;
    if (entries <= d->capacity)
        return;
    d->slots = (Slot *)kuRealloc(d->slots, ku::reallocBytes(entries, kSlotBytes));
    setCapacity(d, entries);
    uint32_t cells = ku::tableSizeFor(entries, d->index.size());
    if (cells != d->index.size())
        resizeIndex(d, cells);
}

} // namespace ku
