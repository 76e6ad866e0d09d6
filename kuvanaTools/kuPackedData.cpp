// Packed data: tagged byte strings in one relocatable block.
#include <kuvanaTools/kuPackedData.h>
#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuArrayInternal.h>
#include <kuvanaTools/private/kuBytes.h>
#include <kuvanaTools/private/kuLogInternal.h>

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

static_assert(offsetof(kuPackedData, slotCount) == 4 && offsetof(kuPackedData, allocatedSize) == 8,
              "three 32-bit words first");
static_assert(sizeof(((kuPackedData *)nullptr)->usedSize) == 4, "32-bit used size");

namespace {

constexpr ku::LogSource kLog = {ku::kLogPackedData, "kuvanaTools/kuPackedData"};

constexpr uint32_t kNotStarted = 0xFFFFFFFF;
constexpr uint32_t kHeaderSize = 8;
constexpr uint32_t kTagHeaderSize = 4;
constexpr uint32_t kGrowthQuantum = 128;
constexpr uint32_t kMaxTagLength = 0xFFFF;
constexpr uint32_t kMaxTagCount = 0xFFFF;

inline uint32_t padded(uint32_t length)
{
    return length + (length & 1);
}

inline uint64_t slotPosition(uint32_t slot)
{
    return kHeaderSize + 4 * (uint64_t)slot;
}

inline uint32_t word(const kuPackedData *data, uint64_t position)
{
    return ku::loadLE32(data->block + position);
}

inline void setWord(kuPackedData *data, uint64_t position, uint32_t value)
{
    ku::storeLE32(data->block + position, value);
}

// The offset of the entry, or kNotStarted when it is beyond N, not started,
// or too close to the end of the used bytes to hold its tag count.
uint32_t entryOffset(const kuPackedData *data, uint32_t entry)
{
    if (data == nullptr || data->block == nullptr || entry >= data->slotCount ||
        slotPosition(entry) + 4 > data->usedSize)
        return kNotStarted;
    uint32_t offset = word(data, slotPosition(entry));
    if (offset == kNotStarted || (uint64_t)offset + 2 > data->usedSize)
        return kNotStarted;
    return offset;
}

// A tag found in an entry: where its header starts and its data length.
struct Tag {
    uint32_t position;
    uint32_t length;
};

// Walks the tags of entry; visit(tag) returns true to stop. Every tag handed
// to visit lies wholly inside the used bytes. Returns false when the entry
// is missing or a tag runs out of the block before the walk ended.
template <typename Visit> bool walkTags(const kuPackedData *data, uint32_t entry, Visit visit)
{
    uint32_t offset = entryOffset(data, entry);
    if (offset == kNotStarted)
        return false;
    uint32_t count = ku::loadLE16(data->block + offset);
    uint64_t position = (uint64_t)offset + 2;
    for (uint32_t i = 0; i < count; i++) {
        if (position + kTagHeaderSize > data->usedSize)
            return false;
        Tag tag{(uint32_t)position, ku::loadLE16(data->block + position)};
        if (position + kTagHeaderSize + tag.length > data->usedSize)
            return false;
        if (visit(tag))
            return true;
        position += kTagHeaderSize + padded(tag.length);
    }
    return true;
}

// The first tag with that identifier in entry.
bool findTag(const kuPackedData *data, uint32_t entry, uint16_t id, Tag *found)
{
    bool hit = false;
    walkTags(data, entry, [&](const Tag &tag) {
        hit = ku::loadLE16(data->block + tag.position + 2) == id;
        if (hit)
            *found = tag;
        return hit;
    });
    return hit;
}

// Writers need the slot table and the used bytes inside the allocation.
bool writable(const kuPackedData *data)
{
    return data != nullptr && data->block != nullptr &&
           slotPosition(data->slotCount) <= data->usedSize && data->usedSize <= data->allocatedSize;
}

// Makes room for n more bytes, with an allowance for the entries to come.
void grow(kuPackedData *data, uint32_t n)
{
    if ((uint64_t)data->usedSize + n < data->allocatedSize)
        return;
    uint64_t allowance = 0;
    if (data->currentEntry != 0 && data->currentEntry <= data->slotCount)
        allowance = (uint64_t)(data->slotCount + 1 - data->currentEntry) *
                    (data->allocatedSize / data->currentEntry);
    uint64_t size = (uint64_t)data->allocatedSize + kGrowthQuantum + n + allowance;
    if (size > UINT32_MAX) {
        // Past 4 GiB the allowance goes first; what is needed must still fit.
        size = UINT32_MAX;
        if ((uint64_t)data->usedSize + n >= size)
            kuFatalError("memory:realloc", (unsigned long)size);
    }
    data->block = (uint8_t *)kuRealloc(data->block, (size_t)size);
    data->header = (uint32_t *)data->block;
    data->allocatedSize = (uint32_t)size;
    setWord(data, 0, data->allocatedSize);
}

// Writes a tag's header, data and pad byte at position.
void writeTag(kuPackedData *data, uint32_t position, uint16_t id, const void *bytes,
              uint32_t length)
{
    uint8_t *at = data->block + position;
    ku::storeLE16(at, (uint16_t)length);
    ku::storeLE16(at + 2, id);
    if (length > 0)
        memcpy(at + kTagHeaderSize, bytes, length);
    if (length & 1)
        at[kTagHeaderSize + length] = 0;
}

// The tag count of a started entry, moved by one.
void countTag(kuPackedData *data, uint32_t offset)
{
    ku::storeLE16(data->block + offset, (uint16_t)(ku::loadLE16(data->block + offset) + 1));
}

bool acceptableTag(const void *bytes, uint32_t length)
{
    return length <= kMaxTagLength && (bytes != nullptr || length == 0);
}

// A copy of a block handed in: its word 0 bytes, but at least the header.
void *copyBlock(const void *block)
{
    uint32_t size = ku::loadLE32(block);
    if (size < kHeaderSize)
        size = kHeaderSize;
    void *copy = kuMalloc(size);
    memcpy(copy, block, size);
    return copy;
}

void detach(kuPackedData *data)
{
    data->currentEntry = 0;
    data->slotCount = 0;
    data->allocatedSize = 0;
    data->block = nullptr;
    data->header = nullptr;
    data->usedSize = 0;
}

} // namespace

kuPackedData *kuPackedData_New(uint32_t slotCount)
{
    uint64_t size = ((uint64_t)slotCount + 1) * kGrowthQuantum;
    if (size > UINT32_MAX || size > SIZE_MAX)
        return nullptr;
    // The standard allocator on purpose: this constructor reports exhaustion.
    kuPackedData *data = (kuPackedData *)malloc(sizeof(kuPackedData));
    if (data == nullptr)
        return nullptr;
    data->block = (uint8_t *)malloc((size_t)size);
    if (data->block == nullptr) {
        free(data);
        return nullptr;
    }
    data->header = (uint32_t *)data->block;
    data->currentEntry = 0;
    data->slotCount = slotCount;
    data->allocatedSize = (uint32_t)size;
    data->usedSize = (uint32_t)slotPosition(slotCount);
    setWord(data, 0, 0);
    setWord(data, 4, slotCount);
    for (uint32_t i = 0; i < slotCount; i++)
        setWord(data, slotPosition(i), kNotStarted);
    return data;
}

void kuPackedData_Free(kuPackedData *data)
{
    if (data == nullptr)
        return;
    kuFree(data->block);
    kuFree(data);
}

kuPackedData *kuPackedData_NewData(void *block)
{
    if (block == nullptr)
        return nullptr;
    kuPackedData *data = (kuPackedData *)kuMalloc(sizeof(kuPackedData));
    kuPackedData_S_Init(data, block);
    return data;
}

kuPackedData *kuPackedData_NewDataDuplicate(const void *block)
{
    return block != nullptr ? kuPackedData_NewData(copyBlock(block)) : nullptr;
}

void kuPackedData_PutData(kuPackedData *data, void *block)
{
    if (data == nullptr)
        return;
    if (block != data->block)
        kuFree(data->block);
    kuPackedData_S_Init(data, block);
}

void kuPackedData_PutDataDuplicate(kuPackedData *data, const void *block)
{
    if (data == nullptr)
        return;
    // Copy first: the block may be the object's own.
    void *copy = block != nullptr ? copyBlock(block) : nullptr;
    kuFree(data->block);
    kuPackedData_S_Init(data, copy);
}

kuPackedData *kuPackedData_Duplicate(kuPackedData *data)
{
    if (data == nullptr || data->block == nullptr)
        return nullptr;
    if (word(data, 0) == 0)
        setWord(data, 0, data->usedSize);
    uint8_t *copy = (uint8_t *)kuMalloc(data->usedSize);
    memcpy(copy, data->block, data->usedSize);
    ku::storeLE32(copy, data->usedSize);
    return kuPackedData_NewData(copy);
}

void *kuPackedData_PeekData(kuPackedData *data, uint32_t *size)
{
    if (data == nullptr || data->block == nullptr) {
        if (size != nullptr)
            *size = 0;
        return nullptr;
    }
    setWord(data, 0, data->usedSize);
    if (size != nullptr)
        *size = data->usedSize;
    return data->block;
}

void *kuPackedData_TakeData(kuPackedData *data)
{
    if (data == nullptr || data->block == nullptr)
        return nullptr;
    setWord(data, 0, data->usedSize);
    void *block = kuRealloc(data->block, data->usedSize);
    detach(data);
    return block;
}

void *kuPackedData_S_TakeEmptyData(void)
{
    kuPackedData *data = kuPackedData_New(0);
    if (data == nullptr)
        return nullptr;
    void *block = kuPackedData_TakeData(data);
    kuPackedData_Free(data);
    return block;
}

void kuPackedData_S_Init(kuPackedData *data, void *block)
{
    if (data == nullptr)
        return;
    detach(data);
    if (block == nullptr)
        return;
    data->block = (uint8_t *)block;
    data->header = (uint32_t *)block;
    // The header is always there, whatever a damaged word 0 says; a smaller
    // size would make Duplicate and TakeData cut it.
    uint32_t size = word(data, 0);
    data->usedSize = data->allocatedSize = size < kHeaderSize ? kHeaderSize : size;
    data->slotCount = word(data, 4);
    // Only the slots that lie inside the block can have been started.
    uint32_t inside = (data->usedSize - kHeaderSize) / 4;
    for (uint32_t i = data->slotCount < inside ? data->slotCount : inside; i > 0; i--) {
        if (word(data, slotPosition(i - 1)) != kNotStarted) {
            data->currentEntry = i;
            break;
        }
    }
}

uint32_t kuPackedData_GetMemoryUsage(const kuPackedData *data)
{
    return data != nullptr ? data->allocatedSize : 0;
}

uint32_t kuPackedData_GetEntryCount(const kuPackedData *data)
{
    return data != nullptr ? data->slotCount : 0;
}

uint32_t kuPackedData_GetTagCount(const kuPackedData *data, uint32_t entry)
{
    uint32_t offset = entryOffset(data, entry);
    return offset != kNotStarted ? ku::loadLE16(data->block + offset) : 0;
}

const void *kuPackedData_GetData(const kuPackedData *data, uint32_t entry, uint16_t tag,
                                 uint32_t *length)
{
    Tag found;
    bool hit = findTag(data, entry, tag, &found);
    if (length != nullptr)
        *length = hit ? found.length : 0;
    return hit ? data->block + found.position + kTagHeaderSize : nullptr;
}

const char *kuPackedData_GetDataStr(const kuPackedData *data, uint32_t entry, uint16_t tag,
                                    uint32_t *length)
{
    uint32_t n = 0;
    const char *text = (const char *)kuPackedData_GetData(data, entry, tag, &n);
    if (text == nullptr || memchr(text, 0, n) == nullptr) {
        text = "";
        n = 0;
    }
    if (length != nullptr)
        *length = n;
    return text;
}

namespace {

// The first width data bytes as a little-endian value, from what the tag has.
uint32_t readUnsigned(const kuPackedData *data, uint32_t entry, uint16_t tag, uint32_t width)
{
    uint32_t n = 0;
    const uint8_t *bytes = (const uint8_t *)kuPackedData_GetData(data, entry, tag, &n);
    uint32_t value = 0;
    for (uint32_t i = 0; bytes != nullptr && i < width && i < n; i++)
        value |= (uint32_t)bytes[i] << (8 * i);
    return value;
}

} // namespace

uint16_t kuPackedData_GetDataAsUInt16(const kuPackedData *data, uint32_t entry, uint16_t tag)
{
    return (uint16_t)readUnsigned(data, entry, tag, 2);
}

uint32_t kuPackedData_GetDataAsUInt32(const kuPackedData *data, uint32_t entry, uint16_t tag)
{
    return readUnsigned(data, entry, tag, 4);
}

kuArray *kuPackedData_GetDataArray(const kuPackedData *data, uint32_t entry, uint16_t tag,
                                   kuArrayUnFlattenerFunc unflattener)
{
    uint32_t n = 0;
    const void *bytes = kuPackedData_GetData(data, entry, tag, &n);
    return ku::unflattenArray(n > 0 ? bytes : nullptr, n, unflattener);
}

uint32_t kuPackedData_AddNewEntry(kuPackedData *data)
{
    if (!writable(data) || data->currentEntry == UINT32_MAX)
        return 0;
    if (data->currentEntry >= data->slotCount) {
        // One more slot at the end of the table; the entries move up by 4.
        uint32_t tableEnd = (uint32_t)slotPosition(data->slotCount);
        grow(data, 4);
        kuPackedData_MoveData(data, tableEnd, 4);
        setWord(data, tableEnd, kNotStarted);
        data->slotCount++;
        setWord(data, 4, data->slotCount);
    }
    grow(data, 2);
    setWord(data, slotPosition(data->currentEntry), data->usedSize);
    ku::storeLE16(data->block + data->usedSize, 0);
    data->usedSize += 2;
    data->currentEntry++;
    return data->usedSize;
}

uint32_t kuPackedData_AddData(kuPackedData *data, uint16_t tag, const void *bytes, uint32_t length)
{
    if (!writable(data) || data->currentEntry == 0 || !acceptableTag(bytes, length))
        return 0;
    uint32_t offset = entryOffset(data, data->currentEntry - 1);
    if (offset == kNotStarted || ku::loadLE16(data->block + offset) == kMaxTagCount)
        return 0;
    uint32_t size = kTagHeaderSize + padded(length);
    grow(data, size);
    writeTag(data, data->usedSize, tag, bytes, length);
    countTag(data, offset);
    data->usedSize += size;
    return data->usedSize;
}

uint32_t kuPackedData_AddArray(kuPackedData *data, uint16_t tag, kuArray *array,
                               kuArrayFlattenerFunc flattener)
{
    if (kuArray_GetCount(array) == 0)
        return kuPackedData_AddData(data, tag, nullptr, 0);
    uint32_t size = 0;
    void *flat = kuArray_Flatten(array, &size, flattener);
    uint32_t result = flat != nullptr ? kuPackedData_AddData(data, tag, flat, size) : 0;
    kuFree(flat);
    return result;
}

namespace {

// Where a tag appended to entry goes: just before the next started entry, or
// after the entry's last tag; 0 when the block does not say consistently.
uint32_t insertionPoint(const kuPackedData *data, uint32_t entry, uint32_t offset)
{
    uint32_t next = entryOffset(data, entry + 1);
    if (next != kNotStarted)
        return next >= offset + 2 ? next : 0;
    uint64_t end = (uint64_t)offset + 2;
    bool complete = walkTags(data, entry, [&](const Tag &tag) {
        end = (uint64_t)tag.position + kTagHeaderSize + padded(tag.length);
        return false;
    });
    return complete && end <= data->usedSize ? (uint32_t)end : 0;
}

} // namespace

int kuPackedData_AddDataToEntry(kuPackedData *data, uint32_t entry, uint16_t tag, const void *bytes,
                                uint32_t length)
{
    if (!writable(data) || !acceptableTag(bytes, length))
        return 0;
    uint32_t offset = entryOffset(data, entry);
    if (offset == kNotStarted)
        return 0;
    if (entry + 1 == data->currentEntry)
        return kuPackedData_AddData(data, tag, bytes, length) != 0;
    if (ku::loadLE16(data->block + offset) == kMaxTagCount)
        return 0;
    uint32_t at = insertionPoint(data, entry, offset);
    if (at == 0)
        return 0;
    uint32_t size = kTagHeaderSize + padded(length);
    grow(data, size);
    kuPackedData_MoveData(data, at, (int32_t)size);
    writeTag(data, at, tag, bytes, length);
    countTag(data, offset);
    return 1;
}

int kuPackedData_SetData(kuPackedData *data, uint32_t entry, uint16_t tag, const void *bytes,
                         uint32_t length, int add)
{
    if (!writable(data) || !acceptableTag(bytes, length) || entryOffset(data, entry) == kNotStarted)
        return 0;
    Tag found;
    if (!findTag(data, entry, tag, &found))
        return add != 0 ? kuPackedData_AddDataToEntry(data, entry, tag, bytes, length) : 0;
    uint32_t end = found.position + kTagHeaderSize + padded(found.length);
    if (end > data->usedSize)
        return 0; // the last tag lacks its pad byte
    int32_t delta = (int32_t)padded(length) - (int32_t)padded(found.length);
    if (delta > 0)
        grow(data, (uint32_t)delta);
    if (delta != 0)
        kuPackedData_MoveData(data, end, delta);
    writeTag(data, found.position, tag, bytes, length);
    return 1;
}

void kuPackedData_MoveData(kuPackedData *data, uint32_t offset, int32_t delta)
{
    if (!writable(data) || offset > data->usedSize || delta == 0 ||
        (int64_t)offset + delta < (int64_t)slotPosition(data->slotCount))
        return;
    if (delta > 0 && (uint64_t)data->usedSize + (uint32_t)delta > data->allocatedSize)
        grow(data, (uint32_t)delta);
    memmove(data->block + offset + delta, data->block + offset, data->usedSize - offset);
    data->usedSize = (uint32_t)((int64_t)data->usedSize + delta);
    for (uint32_t i = 0; i < data->slotCount; i++) {
        uint32_t entry = word(data, slotPosition(i));
        if (entry != kNotStarted && entry >= offset)
            setWord(data, slotPosition(i), (uint32_t)((int64_t)entry + delta));
    }
}

void kuPackedData_Dump(const kuPackedData *data)
{
    if (data == nullptr || data->block == nullptr)
        return;
    uint64_t limit = data->allocatedSize;
    bool sound = slotPosition(data->slotCount) <= limit;
    for (uint32_t i = 0; sound && i < data->slotCount; i++) {
        uint32_t offset = word(data, slotPosition(i));
        if (offset == kNotStarted)
            continue;
        if ((uint64_t)offset + 2 > limit) {
            sound = false;
            break;
        }
        uint32_t count = ku::loadLE16(data->block + offset);
        uint64_t position = (uint64_t)offset + 2;
        for (uint32_t t = 0; t < count; t++) {
            if (position + kTagHeaderSize > limit ||
                position + kTagHeaderSize + ku::loadLE16(data->block + position) > limit) {
                sound = false;
                break;
            }
            position += kTagHeaderSize + padded(ku::loadLE16(data->block + position));
        }
    }
    if (!sound)
        ku::log(kLog, __LINE__, "kuPackedData corrupted !\n");
}
