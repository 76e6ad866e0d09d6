// Ordered text dictionary with a digest index over its slots.
#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuDictionaryInternal.h>

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
};

constexpr uint32_t kCapacityStep = 128;
constexpr uint32_t kMinCells = 256;

} // namespace

struct kuDictionary {
    uint32_t capacity;
    Slot *slots;
    uint32_t entryCount;
    Cell *cells;      // power-of-two sized, at most half full
    uint32_t cellMask;
    uint64_t layoutVersion;
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

uint32_t digestOf(const char *key)
{
    uint32_t h = 0;
    for (const signed char *p = (const signed char *)key; *p != 0; p++) {
        h += (uint32_t)(int32_t)*p;
        h += h << 10;
        h ^= h >> 6;
    }
    h += h << 3;
    h ^= h >> 11;
    h += h << 15;
    return h;
}

size_t arrayBytes(size_t count, size_t size)
{
    // an impossible request ends the process in kuMalloc like any other
    return count > SIZE_MAX / size ? SIZE_MAX : count * size;
}

// The slot array is followed, in its own allocation, by two zero bytes per
// slot: the empty key and value of a free slot are its own two bytes there.
// Slots below entryCount hold texts allocated one by one.
size_t slotArrayBytes(uint32_t capacity)
{
    return arrayBytes(capacity, sizeof(Slot) + 2);
}

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
    uint32_t i = digest & d->cellMask;
    for (;; i = (i + 1) & d->cellMask) {
        const Cell &c = d->cells[i];
        if (c.slot1 == 0)
            return i;
        if (c.digest == digest && strcmp(d->slots[c.slot1 - 1].key, key) == 0)
            return i;
    }
}

// The index grows past half full: linear probing slows sharply beyond.
inline bool overfull(uint32_t entries, uint32_t cells)
{
    return (size_t)entries * 2 > (size_t)cells;
}

void placeInIndex(kuDictionary *d, uint32_t digest, uint32_t slot1)
{
    uint32_t i = digest & d->cellMask;
    while (d->cells[i].slot1 != 0)
        i = (i + 1) & d->cellMask;
    d->cells[i] = Cell{digest, slot1};
}

void growIndex(kuDictionary *d)
{
    uint32_t count = d->cellMask + 1;
    kuFree(d->cells);
    d->cells = (Cell *)kuMallocZeroed(arrayBytes((size_t)count * 2, sizeof(Cell)));
    d->cellMask = count * 2 - 1;
    for (uint32_t s = 0; s < d->entryCount; s++)
        placeInIndex(d, d->slots[s].digest, s + 1);
}

// Empties cell i, shifting later cells of the probe run back so that no
// lookup stops early at the hole.
void eraseCell(kuDictionary *d, uint32_t i)
{
    const uint32_t mask = d->cellMask;
    for (uint32_t j = (i + 1) & mask; d->cells[j].slot1 != 0; j = (j + 1) & mask) {
        uint32_t home = d->cells[j].digest & mask;
        // distance from home to j, and from home to the hole: the cell may
        // move back only when the hole lies on its way from home
        if (((j - home) & mask) >= ((j - i) & mask)) {
            d->cells[i] = d->cells[j];
            i = j;
        }
    }
    d->cells[i].slot1 = 0;
}

// Slots after removed moved down by one: renumber their cells, by probing
// them one by one when few moved, else by one pass over the index.
void renumberAfter(kuDictionary *d, uint32_t removed)
{
    uint32_t moved = d->entryCount - removed;
    if ((size_t)moved * 8 < (size_t)d->cellMask + 1) {
        for (uint32_t s = removed; s < d->entryCount; s++) {
            uint32_t i = d->slots[s].digest & d->cellMask;
            while (d->cells[i].slot1 != s + 2)
                i = (i + 1) & d->cellMask;
            d->cells[i].slot1 = s + 1;
        }
        return;
    }
    const uint32_t limit = removed + 1;
    for (uint32_t i = 0; i <= d->cellMask; i++)
        d->cells[i].slot1 -= d->cells[i].slot1 > limit ? 1 : 0;
}

inline bool usableKey(const char *key)
{
    return key != nullptr && key[0] != '\0';
}

// The slot number of key, or -1.
int64_t slotOf(const kuDictionary *d, const char *key)
{
    if (d == nullptr || !usableKey(key) || d->entryCount == 0)
        return -1;
    const Cell &c = d->cells[probe(d, key, digestOf(key))];
    return c.slot1 != 0 ? (int64_t)c.slot1 - 1 : -1;
}

} // namespace

kuDictionary *kuDictionary_New(uint32_t initialCapacity)
{
    kuDictionary *d = (kuDictionary *)kuMallocZeroed(sizeof(kuDictionary));
    uint32_t capacity = initialCapacity > kCapacityStep ? initialCapacity : kCapacityStep;
    d->slots = (Slot *)kuMalloc(slotArrayBytes(capacity));
    setCapacity(d, capacity);
    d->cells = (Cell *)kuMallocZeroed(kMinCells * sizeof(Cell));
    d->cellMask = kMinCells - 1;
    return d;
}

void kuDictionary_Delete(kuDictionary *dictionary)
{
    if (dictionary == nullptr)
        return;
    for (uint32_t i = 0; i < dictionary->entryCount; i++) {
        kuFree(dictionary->slots[i].key);
        kuFree(dictionary->slots[i].value);
    }
    kuFree(dictionary->slots);
    kuFree(dictionary->cells);
    if (dictionary->cache != nullptr)
        dictionary->cacheRelease(dictionary->cache);
    kuFree(dictionary);
}

const char *kuDictionary_ReadKey(kuDictionary *dictionary, const char *key,
                                 const char *defaultValue)
{
    int64_t slot = slotOf(dictionary, key);
    return slot >= 0 ? dictionary->slots[slot].value : defaultValue;
}

void kuDictionary_WriteKey(kuDictionary *dictionary, const char *key, const char *value)
{
    kuDictionary *d = dictionary;
    if (d == nullptr || !usableKey(key))
        return;
    if (value == nullptr)
        value = "";
    uint32_t digest = digestOf(key);
    uint32_t cell = probe(d, key, digest);
    if (d->cells[cell].slot1 != 0) {
        Slot &s = d->slots[d->cells[cell].slot1 - 1];
        // the new value may lie inside the old one: copy before releasing
        if (strcmp(s.value, value) != 0) {
            char *copy = kuStrdup(value);
            kuFree(s.value);
            s.value = copy;
        }
        return;
    }
    if (d->entryCount == d->capacity) {
        uint32_t grown = d->capacity + kCapacityStep;
        d->slots = (Slot *)kuRealloc(d->slots, slotArrayBytes(grown));
        setCapacity(d, grown);
    }
    uint32_t slot = d->entryCount++;
    d->layoutVersion++;
    d->slots[slot] = Slot{kuStrdup(key), digest, kuStrdup(value)};
    if (overfull(d->entryCount, d->cellMask + 1))
        growIndex(d);
    else
        d->cells[cell] = Cell{digest, slot + 1};
}

void kuDictionary_DeleteKey(kuDictionary *dictionary, const char *key)
{
    kuDictionary *d = dictionary;
    if (d == nullptr || !usableKey(key) || d->entryCount == 0)
        return;
    uint32_t cell = probe(d, key, digestOf(key));
    if (d->cells[cell].slot1 == 0)
        return;
    uint32_t slot = d->cells[cell].slot1 - 1;
    eraseCell(d, cell);
    kuFree(d->slots[slot].key);
    kuFree(d->slots[slot].value);
    d->entryCount--;
    d->layoutVersion++;
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
    d->slots = (Slot *)kuRealloc(d->slots, slotArrayBytes(entries));
    setCapacity(d, entries);
    uint32_t cells = d->cellMask + 1;
    while (overfull(entries, cells) && cells < 0x80000000u)
        cells *= 2;
    if (cells != d->cellMask + 1) {
        d->cellMask = cells / 2 - 1; // growIndex doubles it
        growIndex(d);
    }
}

} // namespace ku
