// Text-to-text table in 11 chained buckets; duplicates stack up.
#include <kuvanaTools/kuStringHashTable.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuBucketTable.h>

#include <stddef.h>
#include <string.h>

namespace {

using Entry = ku::BucketEntry<char *, char *>;

} // namespace

struct kuStringHashTable {
    Entry *heads[ku::kBucketCount];
    uint32_t counts[ku::kBucketCount];
};

static_assert(offsetof(kuStringHashTable, counts) == ku::kBucketCount * sizeof(void *),
              "bucket heads, then counts");

namespace {

// Link to the entry of key added last, or null.
Entry **findLink(kuStringHashTable *table, const char *key, uint32_t *bucket)
{
    uint32_t hash = ku::textHash(key);
    *bucket = hash % ku::kBucketCount;
    for (Entry **link = &table->heads[*bucket]; *link != nullptr; link = &(*link)->next)
        if ((*link)->hash == hash && strcmp((*link)->key, key) == 0)
            return link;
    return nullptr;
}

void release(Entry *e)
{
    kuFree(e->key);
    kuFree(e->value);
    kuFree(e);
}

} // namespace

kuStringHashTable *kuStringHashTable_New(void)
{
    return (kuStringHashTable *)kuMallocZeroed(sizeof(kuStringHashTable));
}

int kuStringHashTable_Add(kuStringHashTable *table, const char *key, const char *value)
{
    if (table == nullptr || key == nullptr || value == nullptr)
        return 0;
    Entry *e = (Entry *)kuMalloc(sizeof(Entry));
    e->hash = ku::textHash(key);
    e->key = kuStrdup(key);
    e->value = kuStrdup(value);
    ku::pushFront(table->heads, table->counts, e);
    return 1;
}

int kuStringHashTable_Lookup(kuStringHashTable *table, const char *key, const char **value)
{
    uint32_t bucket;
    Entry **link = table != nullptr && key != nullptr ? findLink(table, key, &bucket) : nullptr;
    if (value != nullptr)
        *value = link != nullptr ? (*link)->value : nullptr;
    return link != nullptr ? 1 : 0;
}

void kuStringHashTable_Remove(kuStringHashTable *table, const char *key)
{
    if (table == nullptr || key == nullptr)
        return;
    uint32_t bucket;
    Entry **link = findLink(table, key, &bucket);
    if (link == nullptr)
        return;
    Entry *e = *link;
    *link = e->next;
    table->counts[bucket]--;
    release(e);
}

const char *kuStringHashTable_GetKeyAtIndex(kuStringHashTable *table, uint32_t index)
{
    if (table == nullptr)
        return nullptr;
    Entry *e = ku::entryAt(table->heads, table->counts, index);
    return e != nullptr ? e->key : nullptr;
}

void kuStringHashTable_Delete(kuStringHashTable *table)
{
    if (table == nullptr)
        return;
    for (Entry *head : table->heads) {
        while (head != nullptr) {
            Entry *next = head->next;
            release(head);
            head = next;
        }
    }
    kuFree(table);
}
