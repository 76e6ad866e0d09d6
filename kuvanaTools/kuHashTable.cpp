// Insertion-ordered byte-key table: one chain, linear search by digest.
#include <kuvanaTools/kuHashTable.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuBytes.h>
#include <kuvanaTools/private/kuWalk.h>

#include <stddef.h>
#include <string.h>

namespace {

// Deleting the record a walk visits next moves the walk on; clearing or
// deleting the table ends it.
using WalkCursor = ku::Walk<kuHashTableEntry>;

} // namespace

struct kuHashTable {
    kuHashTableEntry *head;
    // Live enumerators and walks, so that deleting an entry or the table
    // never leaves one standing on released memory.
    kuHashTableEnumerator *enumerators;
    WalkCursor *walks;
};

struct kuHashTableEnumerator {
    kuHashTableEntry *current; // null once past the last entry
    kuHashTable *table;        // null once the table is gone
    kuHashTableEnumerator *nextOfTable;
};

static_assert(offsetof(kuHashTableEntry, digest) == 2 * sizeof(void *) &&
                  sizeof(kuHashTableEntry::digest) == 4 && sizeof(kuHashTableEntry::keyLength) == 4,
              "entry fields in their order, digest and length 32-bit");

namespace {

uint32_t digestOf(const unsigned char *key, uint32_t n)
{
    if (n <= 4) {
        uint32_t h = 0;
        for (uint32_t i = 0; i < n; i++)
            h |= (uint32_t)key[i] << (8 * i);
        return h;
    }
    uint32_t h = ku::loadLE32(key) ^ ku::loadLE32(key + n - 4);
    if (n >= 10)
        h ^= ku::loadLE32(key + n / 2);
    return h;
}

kuHashTableEntry *newHead()
{
    return (kuHashTableEntry *)kuMallocZeroed(sizeof(kuHashTableEntry));
}

void releaseChain(kuHashTableEntry *record)
{
    while (record != nullptr) {
        kuHashTableEntry *next = record->next;
        kuFree(record->key);
        kuFree(record);
        record = next;
    }
}

// The entry with this key; *last receives the last record walked, which is
// the end of the chain when the key is absent.
kuHashTableEntry *find(const kuHashTable *table, const void *key, uint32_t length,
                       uint32_t digest, kuHashTableEntry **last)
{
    kuHashTableEntry *record = table->head;
    for (kuHashTableEntry *e = record->next; e != nullptr; e = e->next) {
        if (e->digest == digest && e->keyLength == length && memcmp(e->key, key, length) == 0)
            return e;
        record = e;
    }
    if (last != nullptr)
        *last = record;
    return nullptr;
}

kuHashTableEntry *lookup(const kuHashTable *table, const void *key, uint32_t length)
{
    if (table == nullptr || key == nullptr || length == 0)
        return nullptr;
    return find(table, key, length, digestOf((const unsigned char *)key, length), nullptr);
}

} // namespace

kuHashTable *kuHashTable_New(void)
{
    kuHashTable *table = (kuHashTable *)kuMallocZeroed(sizeof(kuHashTable));
    table->head = newHead();
    return table;
}

void kuHashTable_Delete(kuHashTable *table)
{
    if (table == nullptr)
        return;
    for (kuHashTableEnumerator *e = table->enumerators; e != nullptr;) {
        kuHashTableEnumerator *next = e->nextOfTable;
        e->current = nullptr;
        e->table = nullptr;
        e->nextOfTable = nullptr;
        e = next;
    }
    WalkCursor::endAll(table->walks);
    releaseChain(table->head);
    kuFree(table);
}

void kuHashTable_Clear(kuHashTable *table)
{
    if (table == nullptr)
        return;
    releaseChain(table->head);
    table->head = newHead();
    for (kuHashTableEnumerator *e = table->enumerators; e != nullptr; e = e->nextOfTable)
        e->current = table->head;
    for (WalkCursor *w = table->walks; w != nullptr; w = w->outer)
        w->next = nullptr;
}

kuHashTableEntry *kuHashTable_AddEntry(kuHashTable *table, const void *key, uint32_t length,
                                       void *value)
{
    if (table == nullptr || key == nullptr || length == 0)
        return nullptr;
    uint32_t digest = digestOf((const unsigned char *)key, length);
    kuHashTableEntry *last = nullptr;
    kuHashTableEntry *entry = find(table, key, length, digest, &last);
    if (entry == nullptr) {
        entry = (kuHashTableEntry *)kuMallocZeroed(sizeof(kuHashTableEntry));
        entry->digest = digest;
        entry->key = kuStrndup((const char *)key, length);
        entry->keyLength = length;
        entry->prev = last;
        last->next = entry;
    }
    entry->value = value;
    return entry;
}

void *kuHashTable_GetEntry(kuHashTable *table, const void *key, uint32_t length)
{
    kuHashTableEntry *entry = lookup(table, key, length);
    return entry != nullptr ? entry->value : nullptr;
}

int kuHashTable_HasEntry(kuHashTable *table, const void *key, uint32_t length)
{
    return lookup(table, key, length) != nullptr ? 1 : 0;
}

void kuHashTable_DeleteEntry(kuHashTable *table, const void *key, uint32_t length)
{
    kuHashTableEntry *entry = lookup(table, key, length);
    if (entry == nullptr)
        return;
    entry->prev->next = entry->next;
    if (entry->next != nullptr)
        entry->next->prev = entry->prev;
    for (kuHashTableEnumerator *e = table->enumerators; e != nullptr; e = e->nextOfTable)
        if (e->current == entry)
            e->current = entry->prev;
    WalkCursor::passOver(table->walks, entry, entry->next);
    kuFree(entry->key);
    kuFree(entry);
}

int kuHashTable_IsEmpty(kuHashTable *table)
{
    return table == nullptr || table->head->next == nullptr ? 1 : 0;
}

void kuHashTable_ForEach(kuHashTable *table, kuHashTableForEachFunc visit, void *context)
{
    if (table == nullptr || visit == nullptr)
        return;
    WalkCursor walk = {nullptr, table->walks, false};
    table->walks = &walk;
    auto visitRecord = [&](kuHashTableEntry *r) { visit(r->key, r->keyLength, r->value, context); };
    if (!walk.visitChain(table->head, visitRecord))
        return;
    table->walks = walk.outer;
}

kuHashTableEnumerator *kuHashTableEnumerator_New(kuHashTable *table)
{
    kuHashTableEnumerator *e =
        (kuHashTableEnumerator *)kuMallocZeroed(sizeof(kuHashTableEnumerator));
    if (table != nullptr) {
        e->current = table->head;
        e->table = table;
        e->nextOfTable = table->enumerators;
        table->enumerators = e;
    }
    return e;
}

int kuHashTableEnumerator_MoveNext(kuHashTableEnumerator *enumerator)
{
    if (enumerator == nullptr || enumerator->current == nullptr)
        return 1;
    enumerator->current = enumerator->current->next;
    return enumerator->current != nullptr ? 0 : 1;
}

void kuHashTableEnumerator_GetValue(kuHashTableEnumerator *enumerator, const char **key,
                                    uint32_t *length, void **value)
{
    const kuHashTableEntry *current = enumerator != nullptr ? enumerator->current : nullptr;
    if (key != nullptr)
        *key = current != nullptr ? current->key : nullptr;
    if (length != nullptr)
        *length = current != nullptr ? current->keyLength : 0;
    if (value != nullptr)
        *value = current != nullptr ? current->value : nullptr;
}

void kuHashTableEnumerator_Delete(kuHashTableEnumerator *enumerator)
{
    if (enumerator == nullptr)
        return;
    if (enumerator->table != nullptr) {
        kuHashTableEnumerator **link = &enumerator->table->enumerators;
        while (*link != enumerator)
            link = &(*link)->nextOfTable;
        *link = enumerator->nextOfTable;
    }
    kuFree(enumerator);
}
