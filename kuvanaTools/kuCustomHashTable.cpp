// 11-bucket chained table with caller-supplied key and value functions.
#include <kuvanaTools/kuCustomHashTable.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuBucketTable.h>
#include <kuvanaTools/private/kuWalk.h>

#include <stddef.h>
#include <string.h>
#include <wchar.h>

namespace {

using Entry = ku::BucketEntry<void *, void *>;

using WalkCursor = ku::Walk<Entry>;

} // namespace

struct kuCustomHashTable {
    Entry *heads[ku::kBucketCount];
    uint32_t counts[ku::kBucketCount];
    uint32_t tupleCount;
    kuCustomHashTableDupFunc keyDup;
    kuCustomHashTableFreeFunc keyFree;
    kuCustomHashTableCompareFunc keyCompare;
    kuCustomHashTableHashFunc keyHash;
    kuCustomHashTableDupFunc valueDup;
    kuCustomHashTableFreeFunc valueFree;
    uint32_t allowDuplicates;
    WalkCursor *walks;
};

// Clients see the fields in this order with no padding before allowDuplicates,
// on 32- and 64-bit hosts alike: the total right after the counts.
static_assert(offsetof(kuCustomHashTable, counts) == ku::kBucketCount * sizeof(void *) &&
                  offsetof(kuCustomHashTable, tupleCount) ==
                      ku::kBucketCount * (sizeof(void *) + 4) &&
                  offsetof(kuCustomHashTable, keyDup) ==
                      offsetof(kuCustomHashTable, tupleCount) + 4 &&
                  offsetof(kuCustomHashTable, allowDuplicates) ==
                      offsetof(kuCustomHashTable, keyDup) + 6 * sizeof(void *),
              "bucket heads, counts, the 32-bit total, six functions, the flag");

namespace {

void *stringDup(const void *text)
{
    return kuStrdup((const char *)text);
}

void *wideDup(const void *text)
{
    return kuWcsdup((const wchar_t *)text);
}

void release(void *item)
{
    kuFree(item);
}

int stringCompare(const void *a, const void *b)
{
    return strcmp((const char *)a, (const char *)b);
}

int wideCompare(const void *a, const void *b)
{
    return wcscmp((const wchar_t *)a, (const wchar_t *)b);
}

uint32_t stringHash(const void *text)
{
    return ku::textHash((const char *)text);
}

uint32_t wideHash(const void *text)
{
    return ku::textHash((const wchar_t *)text);
}

uint32_t pointerHash(const void *key)
{
    return (uint32_t)(uintptr_t)key;
}

// 32-bit values live in the value pointer itself.
void *sameValue(const void *value)
{
    return (void *)value;
}

constexpr kuCustomHashTableKeyDescriptor kWideKey = {wideDup, release, wideCompare, wideHash};
constexpr kuCustomHashTableValueDescriptor kWideValue = {wideDup, release};

inline bool matches(const kuCustomHashTable *t, const Entry *e, const void *key, uint32_t hash)
{
    if (e->hash != hash)
        return false;
    return t->keyCompare != nullptr ? t->keyCompare(key, e->key) == 0 : e->key == key;
}

void releaseItems(const kuCustomHashTable *t, void *key, void *value)
{
    if (key != nullptr && t->keyFree != nullptr)
        t->keyFree(key);
    if (value != nullptr && t->valueFree != nullptr)
        t->valueFree(value);
}

// Takes e out of the chain at *link, keeping running walks on live entries.
void unlink(kuCustomHashTable *t, uint32_t bucket, Entry **link)
{
    Entry *e = *link;
    *link = e->next;
    WalkCursor::passOver(t->walks, e, e->next);
    t->counts[bucket]--;
    t->tupleCount--;
}

// Removes the entries matching key (only the first without duplicates). The
// matches are released after the walk since key may be one of their keys;
// keepKey/keepValue are pointers being stored again and are not released.
void removeMatching(kuCustomHashTable *t, const void *key, uint32_t hash, const void *keepKey,
                    const void *keepValue)
{
    uint32_t bucket = hash % ku::kBucketCount;
    Entry *removed = nullptr;
    for (Entry **link = &t->heads[bucket]; *link != nullptr;) {
        Entry *e = *link;
        if (!matches(t, e, key, hash)) {
            link = &e->next;
            continue;
        }
        unlink(t, bucket, link);
        e->next = removed;
        removed = e;
        if (!t->allowDuplicates)
            break;
    }
    while (removed != nullptr) {
        Entry *next = removed->next;
        releaseItems(t, removed->key != keepKey ? removed->key : nullptr,
                     removed->value != keepValue ? removed->value : nullptr);
        kuFree(removed);
        removed = next;
    }
}

Entry *find(const kuCustomHashTable *t, const void *key)
{
    if (t == nullptr || key == nullptr)
        return nullptr;
    uint32_t hash = t->keyHash(key);
    for (Entry *e = t->heads[hash % ku::kBucketCount]; e != nullptr; e = e->next)
        if (matches(t, e, key, hash))
            return e;
    return nullptr;
}

// Stores what Add made of its arguments; valueGiven tells whether the
// caller's value was non-null, so that a failed value copy is refused.
int store(kuCustomHashTable *t, const void *key, void *storedKey, void *storedValue,
          bool valueGiven)
{
    if (key == nullptr || storedKey == nullptr || (storedValue == nullptr && valueGiven)) {
        releaseItems(t, storedKey, storedValue);
        return 0;
    }
    uint32_t hash = t->keyHash(key);
    if (!t->allowDuplicates)
        removeMatching(t, key, hash, storedKey, storedValue);
    Entry *e = (Entry *)kuMalloc(sizeof(Entry));
    e->hash = hash;
    e->key = storedKey;
    e->value = storedValue;
    ku::pushFront(t->heads, t->counts, e);
    t->tupleCount++;
    return 1;
}

} // namespace

const kuCustomHashTableKeyDescriptor gCustomHashTable_StringKey = {stringDup, release,
                                                                   stringCompare, stringHash};
const kuCustomHashTableValueDescriptor gCustomHashTable_StringValue = {stringDup, release};

kuCustomHashTable *kuCustomHashTable_New(kuCustomHashTableDupFunc keyDup,
                                         kuCustomHashTableFreeFunc keyFree,
                                         kuCustomHashTableCompareFunc keyCompare,
                                         kuCustomHashTableHashFunc keyHash,
                                         kuCustomHashTableDupFunc valueDup,
                                         kuCustomHashTableFreeFunc valueFree)
{
    if (keyHash == nullptr)
        return nullptr;
    kuCustomHashTable *t = (kuCustomHashTable *)kuMallocZeroed(sizeof(kuCustomHashTable));
    t->keyDup = keyDup;
    t->keyFree = keyFree;
    t->keyCompare = keyCompare;
    t->keyHash = keyHash;
    t->valueDup = valueDup;
    t->valueFree = valueFree;
    return t;
}

namespace {

kuCustomHashTable *newTable(const kuCustomHashTableKeyDescriptor &key,
                            kuCustomHashTableDupFunc valueDup,
                            kuCustomHashTableFreeFunc valueFree)
{
    return kuCustomHashTable_New(key.dup, key.free, key.compare, key.hash, valueDup, valueFree);
}

constexpr kuCustomHashTableKeyDescriptor kPointerKey = {nullptr, nullptr, nullptr, pointerHash};

} // namespace

kuCustomHashTable *kuCustomHashTable_New_String_String(void)
{
    return newTable(gCustomHashTable_StringKey, gCustomHashTable_StringValue.dup,
                    gCustomHashTable_StringValue.free);
}

kuCustomHashTable *kuCustomHashTable_New_String_VoidPtr(void)
{
    return newTable(gCustomHashTable_StringKey, nullptr, nullptr);
}

kuCustomHashTable *kuCustomHashTable_New_String_UInt32(void)
{
    return newTable(gCustomHashTable_StringKey, sameValue, nullptr);
}

kuCustomHashTable *kuCustomHashTable_New_String_WString(void)
{
    return newTable(gCustomHashTable_StringKey, kWideValue.dup, kWideValue.free);
}

kuCustomHashTable *kuCustomHashTable_New_String_Other(kuCustomHashTableDupFunc valueDup,
                                                      kuCustomHashTableFreeFunc valueFree)
{
    return newTable(gCustomHashTable_StringKey, valueDup, valueFree);
}

kuCustomHashTable *kuCustomHashTable_New_VoidPtr_VoidPtr(void)
{
    return newTable(kPointerKey, nullptr, nullptr);
}

kuCustomHashTable *kuCustomHashTable_New_VoidPtr_Other(kuCustomHashTableDupFunc valueDup,
                                                       kuCustomHashTableFreeFunc valueFree)
{
    return newTable(kPointerKey, valueDup, valueFree);
}

kuCustomHashTable *kuCustomHashTable_New_WString_WString(void)
{
    return newTable(kWideKey, kWideValue.dup, kWideValue.free);
}

kuCustomHashTable *kuCustomHashTable_New_WString_Other(kuCustomHashTableDupFunc valueDup,
                                                       kuCustomHashTableFreeFunc valueFree)
{
    return newTable(kWideKey, valueDup, valueFree);
}

int kuCustomHashTable_AllowDuplicates(kuCustomHashTable *table)
{
    if (table == nullptr)
        return 0;
    table->allowDuplicates = 1;
    return 1;
}

int kuCustomHashTable_Add(kuCustomHashTable *table, const void *key, const void *value)
{
    if (table == nullptr || key == nullptr)
        return 0;
    void *storedKey = table->keyDup != nullptr ? table->keyDup(key) : (void *)key;
    void *storedValue = table->valueDup != nullptr ? table->valueDup(value) : (void *)value;
    return store(table, key, storedKey, storedValue, value != nullptr);
}

int kuCustomHashTable_AddValueAllocated(kuCustomHashTable *table, const void *key, void *value)
{
    if (table == nullptr)
        return 0;
    void *storedKey = key == nullptr          ? nullptr
                      : table->keyDup != nullptr ? table->keyDup(key)
                                                 : (void *)key;
    return store(table, key, storedKey, value, value != nullptr);
}

int kuCustomHashTable_AddAllocated(kuCustomHashTable *table, void *key, void *value)
{
    if (table == nullptr)
        return 0;
    return store(table, key, key, value, value != nullptr);
}

int kuCustomHashTable_Lookup(kuCustomHashTable *table, const void *key, void **value)
{
    Entry *e = find(table, key);
    if (value != nullptr)
        *value = e != nullptr ? e->value : nullptr;
    return e != nullptr ? 1 : 0;
}

void *kuCustomHashTable_Get(kuCustomHashTable *table, const void *key)
{
    Entry *e = find(table, key);
    return e != nullptr ? e->value : nullptr;
}

int kuCustomHashTable_HasKey(kuCustomHashTable *table, const void *key)
{
    return find(table, key) != nullptr ? 1 : 0;
}

void kuCustomHashTable_Remove(kuCustomHashTable *table, const void *key)
{
    if (table == nullptr || key == nullptr)
        return;
    removeMatching(table, key, table->keyHash(key), nullptr, nullptr);
}

void kuCustomHashTable_Clear(kuCustomHashTable *table)
{
    if (table == nullptr)
        return;
    for (uint32_t b = 0; b < ku::kBucketCount; b++) {
        while (table->heads[b] != nullptr) {
            Entry *e = table->heads[b];
            unlink(table, b, &table->heads[b]);
            releaseItems(table, e->key, e->value);
            kuFree(e);
        }
    }
}

void kuCustomHashTable_Delete(kuCustomHashTable *table)
{
    if (table == nullptr)
        return;
    WalkCursor::endAll(table->walks);
    kuCustomHashTable_Clear(table);
    kuFree(table);
}

uint32_t kuCustomHashTable_GetTupleCount(kuCustomHashTable *table)
{
    return table != nullptr ? table->tupleCount : 0;
}

void *kuCustomHashTable_GetKeyAtIndex(kuCustomHashTable *table, uint32_t index)
{
    if (table == nullptr)
        return nullptr;
    Entry *e = ku::entryAt(table->heads, table->counts, index);
    return e != nullptr ? e->key : nullptr;
}

void kuCustomHashTable_ForEach(kuCustomHashTable *table, kuCustomHashTableForEachFunc visit,
                               void *context)
{
    if (table == nullptr || visit == nullptr)
        return;
    WalkCursor walk = {nullptr, table->walks, false};
    table->walks = &walk;
    for (Entry *head : table->heads)
        if (!walk.visitChain(head, [&](Entry *e) { visit(e->key, e->value, context); }))
            return;
    table->walks = walk.outer;
}

kuCustomHashTable *kuCustomHashTable_Duplicate(kuCustomHashTable *table)
{
    if (table == nullptr)
        return nullptr;
    kuCustomHashTable *copy =
        kuCustomHashTable_New(table->keyDup, table->keyFree, table->keyCompare, table->keyHash,
                              table->valueDup, table->valueFree);
    copy->allowDuplicates = table->allowDuplicates;
    for (uint32_t b = 0; b < ku::kBucketCount; b++)
        for (Entry *e = table->heads[b]; e != nullptr; e = e->next)
            kuCustomHashTable_Add(copy, e->key, e->value);
    return copy;
}
