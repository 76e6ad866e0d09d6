#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPackedData.h>

#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kNotStarted = 0xFFFFFFFF;

using Bytes = std::vector<uint8_t>;
using Entry = std::vector<std::pair<uint16_t, std::string>>;

uint32_t le32(const uint8_t *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}

uint16_t le16(const uint8_t *p)
{
    return (uint16_t)(p[0] | p[1] << 8);
}

void put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = (uint8_t)(v >> (8 * i));
}

Bytes bytesOf(const void *block, size_t n)
{
    return Bytes((const uint8_t *)block, (const uint8_t *)block + n);
}

// Parses the block independently and checks it is laid out exactly as the
// model says: slots in order, entries back to back from the end of the slot
// table, every tag padded to an even length, nothing after the last entry.
void expectLayout(const kuPackedData *data, const std::vector<Entry> &model, uint32_t slots)
{
    const uint8_t *block = data->block;
    ASSERT_EQ(slots, le32(block + 4));
    ASSERT_EQ(slots, kuPackedData_GetEntryCount(data));
    uint32_t position = 8 + 4 * slots;
    for (uint32_t i = 0; i < slots; i++) {
        uint32_t offset = le32(block + 8 + 4 * i);
        if (i >= model.size()) {
            ASSERT_EQ(kNotStarted, offset) << "slot " << i;
            continue;
        }
        ASSERT_EQ(position, offset) << "entry " << i;
        ASSERT_EQ(model[i].size(), le16(block + position));
        position += 2;
        for (const auto &tag : model[i]) {
            ASSERT_EQ(tag.second.size(), le16(block + position));
            ASSERT_EQ(tag.first, le16(block + position + 2));
            ASSERT_EQ(tag.second, std::string((const char *)block + position + 4, tag.second.size()));
            position += 4 + (uint32_t)tag.second.size() + (tag.second.size() & 1);
        }
    }
    ASSERT_EQ(position, data->usedSize);
    ASSERT_LE(data->usedSize, data->allocatedSize);
}

// Every reading operation agrees with the model.
void expectReads(const kuPackedData *data, const std::vector<Entry> &model)
{
    for (uint32_t i = 0; i < model.size(); i++) {
        ASSERT_EQ(model[i].size(), kuPackedData_GetTagCount(data, i));
        for (uint16_t id = 0; id < 6; id++) {
            const std::string *first = nullptr;
            for (const auto &tag : model[i])
                if (tag.first == id && first == nullptr)
                    first = &tag.second;
            uint32_t length = 99;
            const void *got = kuPackedData_GetData(data, i, id, &length);
            if (first == nullptr) {
                ASSERT_EQ(nullptr, got);
                ASSERT_EQ(0u, length);
            } else {
                ASSERT_NE(nullptr, got);
                ASSERT_EQ(*first, std::string((const char *)got, length));
            }
        }
    }
}

} // namespace

TEST(kuPackedData, BlockLayoutOfOneTag)
{
    kuPackedData *data = kuPackedData_New(2);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(384u, kuPackedData_GetMemoryUsage(data));
    EXPECT_EQ(16u, data->usedSize);
    EXPECT_EQ(0u, data->currentEntry);
    EXPECT_EQ(0u, kuPackedData_AddData(data, 7, "abc", 3)); // no entry yet
    EXPECT_EQ(16u, data->usedSize);
    EXPECT_EQ(18u, kuPackedData_AddNewEntry(data));
    EXPECT_EQ(26u, kuPackedData_AddData(data, 7, "abc", 3));

    uint32_t length = 0;
    const void *at = kuPackedData_GetData(data, 0, 7, &length);
    EXPECT_EQ(3u, length);
    EXPECT_EQ(0, memcmp("abc", at, 3));
    EXPECT_EQ(nullptr, kuPackedData_GetData(data, 1, 7, &length));
    EXPECT_EQ(0u, length);
    EXPECT_EQ(nullptr, kuPackedData_GetData(data, 5, 7, nullptr));
    EXPECT_EQ(nullptr, kuPackedData_GetData(data, 0, 8, nullptr));

    uint8_t *block = (uint8_t *)kuPackedData_TakeData(data);
    const Bytes expected = {0x1A, 0, 0, 0, 2, 0, 0, 0, 0x10, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                            1,    0, 3, 0, 7, 0, 'a', 'b', 'c'};
    EXPECT_EQ(expected, bytesOf(block, 25)); // the pad byte's value is free
    EXPECT_EQ(nullptr, data->block);
    EXPECT_EQ(nullptr, kuPackedData_TakeData(data));
    EXPECT_EQ(0u, kuPackedData_AddNewEntry(data));

    // Taken back in, the block reads the same and resumes at entry 1.
    kuPackedData_PutData(data, block);
    EXPECT_EQ(26u, kuPackedData_GetMemoryUsage(data));
    EXPECT_EQ(1u, data->currentEntry);
    EXPECT_EQ(0x636261u, kuPackedData_GetDataAsUInt32(data, 0, 7));
    kuPackedData_Free(data);
    kuPackedData_Free(nullptr);
}

TEST(kuPackedData, EmptyBlock)
{
    uint8_t *block = (uint8_t *)kuPackedData_S_TakeEmptyData();
    ASSERT_NE(nullptr, block);
    EXPECT_EQ((Bytes{8, 0, 0, 0, 0, 0, 0, 0}), bytesOf(block, 8));
    kuPackedData *data = kuPackedData_NewData(block);
    EXPECT_EQ(0u, kuPackedData_GetEntryCount(data));
    EXPECT_EQ(0u, data->currentEntry);
    EXPECT_EQ(0u, kuPackedData_GetTagCount(data, 0));
    // An empty block can still be built on: the slot table grows.
    EXPECT_EQ(14u, kuPackedData_AddNewEntry(data));
    EXPECT_NE(0u, kuPackedData_AddData(data, 1, "x", 1));
    expectLayout(data, {{{1, "x"}}}, 1);
    kuPackedData_Free(data);
    EXPECT_EQ(nullptr, kuPackedData_NewData(nullptr));
    EXPECT_EQ(nullptr, kuPackedData_NewDataDuplicate(nullptr));
    EXPECT_EQ(nullptr, kuPackedData_Duplicate(nullptr));
}

TEST(kuPackedData, SlotTableGrowsByOneSlot)
{
    kuPackedData *data = kuPackedData_New(2);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, 1, "first", 5);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, 2, "second", 6);
    uint32_t before0 = le32(data->block + 8), before1 = le32(data->block + 12);
    kuPackedData_AddNewEntry(data);
    EXPECT_EQ(3u, kuPackedData_GetEntryCount(data));
    EXPECT_EQ(3u, data->currentEntry);
    EXPECT_EQ(before0 + 4, le32(data->block + 8));
    EXPECT_EQ(before1 + 4, le32(data->block + 12));
    kuPackedData_AddData(data, 3, "third", 5);
    expectLayout(data, {{{1, "first"}}, {{2, "second"}}, {{3, "third"}}}, 3);
    kuPackedData_Free(data);
}

TEST(kuPackedData, GrowthAllowsForTheEntriesToCome)
{
    kuPackedData *data = kuPackedData_New(3);
    EXPECT_EQ(512u, data->allocatedSize);
    kuPackedData_AddNewEntry(data);
    std::string big(600, 'b');
    // 20 + 2 used; 604 more: 512 + 128 + 604 + (3 + 1 - 1) x (512 / 1).
    kuPackedData_AddData(data, 1, big.data(), 600);
    EXPECT_EQ(2780u, kuPackedData_GetMemoryUsage(data));
    // While building, word 0 records the allocation.
    EXPECT_EQ(2780u, le32(data->block));
    uint32_t size = 0;
    kuPackedData_PeekData(data, &size);
    EXPECT_EQ(626u, size);
    EXPECT_EQ(626u, le32(data->block));

    // Growth starts when the used size would reach the allocation, not pass it.
    for (uint32_t length : {108u, 110u}) {
        kuPackedData *tight = kuPackedData_New(0); // 128 bytes, 8 used
        EXPECT_EQ(14u, kuPackedData_AddNewEntry(tight));
        EXPECT_EQ(128u, tight->allocatedSize);
        std::string fill(length, 'f');
        EXPECT_EQ(18 + length, kuPackedData_AddData(tight, 1, fill.data(), length));
        // 128 + 128 + 114 + (1 + 1 - 1) x (128 / 1)
        EXPECT_EQ(length == 108 ? 128u : 498u, tight->allocatedSize);
        expectReads(tight, {{{1, fill}}});
        kuPackedData_Free(tight);
    }
    kuPackedData_Free(data);
}

TEST(kuPackedData, InsertIntoAnEarlierEntry)
{
    kuPackedData *data = kuPackedData_New(3);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, 1, "a", 1);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, 2, "bb", 2);
    uint32_t entry1 = le32(data->block + 12);

    EXPECT_EQ(1, kuPackedData_AddDataToEntry(data, 0, 3, "ccc", 3));
    EXPECT_EQ(entry1 + 8, le32(data->block + 12));
    EXPECT_EQ(kNotStarted, le32(data->block + 16));
    // The current entry takes it at the end, as a plain append.
    EXPECT_EQ(1, kuPackedData_AddDataToEntry(data, 1, 4, "", 0));
    EXPECT_EQ(0, kuPackedData_AddDataToEntry(data, 2, 1, "x", 1)); // not started
    EXPECT_EQ(0, kuPackedData_AddDataToEntry(data, 9, 1, "x", 1)); // beyond N
    std::vector<Entry> model = {{{1, "a"}, {3, "ccc"}}, {{2, "bb"}, {4, ""}}};
    expectLayout(data, model, 3);
    expectReads(data, model);

    // Adding to the current entry afterwards still lands at the very end.
    kuPackedData_AddData(data, 5, "tail", 4);
    model[1].push_back({5, "tail"});
    expectLayout(data, model, 3);
    kuPackedData_Free(data);
}

TEST(kuPackedData, SetDataResizesInPlace)
{
    kuPackedData *data = kuPackedData_New(2);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, 1, "one", 3);
    kuPackedData_AddData(data, 2, "two", 3);
    kuPackedData_AddData(data, 1, "shadowed", 8);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, 3, "three", 5);
    std::vector<Entry> model = {{{1, "one"}, {2, "two"}, {1, "shadowed"}}, {{3, "three"}}};

    // Longer, shorter, same padded length; the first tag of an identifier.
    for (const char *value : {"a much longer value", "", "x", "xy", "0123456789"}) {
        ASSERT_EQ(1, kuPackedData_SetData(data, 0, 1, value, (uint32_t)strlen(value), 0));
        model[0][0].second = value;
        expectLayout(data, model, 2);
        expectReads(data, model);
    }
    // The last tag of the last entry.
    ASSERT_EQ(1, kuPackedData_SetData(data, 1, 3, "3", 1, 0));
    model[1][0].second = "3";
    expectLayout(data, model, 2);

    EXPECT_EQ(0, kuPackedData_SetData(data, 0, 9, "new", 3, 0));
    EXPECT_EQ(1, kuPackedData_SetData(data, 0, 9, "new", 3, 1));
    model[0].push_back({9, "new"});
    expectLayout(data, model, 2);
    expectReads(data, model);
    EXPECT_EQ(0, kuPackedData_SetData(data, 2, 1, "x", 1, 1));
    kuPackedData_Free(data);
}

TEST(kuPackedData, ResumesAtTheLastStartedEntry)
{
    kuPackedData *data = kuPackedData_New(4);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, 1, "a", 1);
    kuPackedData_AddNewEntry(data);
    uint32_t size = 0;
    const void *peeked = kuPackedData_PeekData(data, &size);
    kuPackedData *copy = kuPackedData_NewDataDuplicate(peeked);
    EXPECT_EQ(2u, copy->currentEntry);
    EXPECT_EQ(size, copy->usedSize);
    EXPECT_EQ(4u, kuPackedData_GetEntryCount(copy));
    kuPackedData_AddData(copy, 2, "b", 1);
    kuPackedData_AddNewEntry(copy);
    kuPackedData_AddData(copy, 3, "c", 1);
    expectLayout(copy, {{{1, "a"}}, {{2, "b"}}, {{3, "c"}}}, 4);
    // The original is untouched.
    expectLayout(data, {{{1, "a"}}, {}}, 4);

    kuPackedData_PutDataDuplicate(copy, data->block);
    expectLayout(copy, {{{1, "a"}}, {}}, 4);
    kuPackedData_PutDataDuplicate(copy, copy->block); // its own block
    expectLayout(copy, {{{1, "a"}}, {}}, 4);
    kuPackedData_PutData(copy, nullptr);
    EXPECT_EQ(nullptr, copy->block);
    EXPECT_EQ(0u, kuPackedData_GetEntryCount(copy));
    EXPECT_EQ(nullptr, kuPackedData_GetData(copy, 0, 1, nullptr));
    kuPackedData_Free(copy);
    kuPackedData_Free(data);
}

TEST(kuPackedData, DuplicateAfterGrowthKeepsBuilding)
{
    kuPackedData *data = kuPackedData_New(1);
    kuPackedData_AddNewEntry(data);
    std::string big(400, 'q');
    kuPackedData_AddData(data, 1, big.data(), 400);
    ASSERT_GT(data->allocatedSize, data->usedSize);
    kuPackedData *copy = kuPackedData_Duplicate(data);
    EXPECT_EQ(data->usedSize, copy->usedSize);
    EXPECT_EQ(data->usedSize, le32(copy->block));
    kuPackedData_AddData(copy, 2, "more", 4);
    expectLayout(copy, {{{1, big}, {2, "more"}}}, 1);
    kuPackedData_Free(copy);

    // A word 0 still 0 is set to the used size first.
    kuPackedData *fresh = kuPackedData_New(1);
    EXPECT_EQ(0u, le32(fresh->block));
    copy = kuPackedData_Duplicate(fresh);
    EXPECT_EQ(12u, le32(fresh->block));
    EXPECT_EQ(12u, copy->allocatedSize);
    kuPackedData_Free(copy);
    kuPackedData_Free(fresh);
    kuPackedData_Free(data);
}

TEST(kuPackedData, TypedReads)
{
    kuPackedData *data = kuPackedData_New(1);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, 1, "text", 5);
    kuPackedData_AddData(data, 2, "\x34\x12", 2);
    kuPackedData_AddData(data, 3, "\x78\x56\x34\x12", 4);
    kuPackedData_AddData(data, 4, "\xAB", 1);
    kuPackedData_AddData(data, 5, "raw", 3); // no terminator

    uint32_t length = 0;
    EXPECT_STREQ("text", kuPackedData_GetDataStr(data, 0, 1, &length));
    EXPECT_EQ(5u, length);
    EXPECT_STREQ("", kuPackedData_GetDataStr(data, 0, 9, &length));
    EXPECT_EQ(0u, length);
    EXPECT_STREQ("", kuPackedData_GetDataStr(data, 0, 5, &length));
    EXPECT_EQ(0u, length);
    EXPECT_STREQ("", kuPackedData_GetDataStr(data, 3, 1, nullptr));

    EXPECT_EQ(0x1234, kuPackedData_GetDataAsUInt16(data, 0, 2));
    EXPECT_EQ(0x5678, kuPackedData_GetDataAsUInt16(data, 0, 3));
    EXPECT_EQ(0x12345678u, kuPackedData_GetDataAsUInt32(data, 0, 3));
    // Shorter tags give what they hold.
    EXPECT_EQ(0x1234u, kuPackedData_GetDataAsUInt32(data, 0, 2));
    EXPECT_EQ(0xABu, kuPackedData_GetDataAsUInt32(data, 0, 4));
    EXPECT_EQ(0u, kuPackedData_GetDataAsUInt32(data, 0, 9));
    EXPECT_EQ(0, kuPackedData_GetDataAsUInt16(data, 1, 2));

    // Refused tags write nothing.
    uint32_t used = data->usedSize;
    std::string tooLong(65536, 'x');
    EXPECT_EQ(0u, kuPackedData_AddData(data, 6, tooLong.data(), 65536));
    EXPECT_EQ(0u, kuPackedData_AddData(data, 6, nullptr, 1));
    EXPECT_EQ(used, data->usedSize);
    EXPECT_EQ(used + 4 + 65535 + 1, kuPackedData_AddData(data, 6, tooLong.data(), 65535));
    EXPECT_EQ(6u, kuPackedData_GetTagCount(data, 0));
    kuPackedData_Free(data);
}

TEST(kuPackedData, Arrays)
{
    kuArray *names = kuArray_New();
    kuArray_SetFreeFunc(names, kuStringArray_FreeFunc);
    kuArray_Append(names, kuStrdup("alpha"));
    kuArray_Append(names, kuStrdup("beta"));
    kuArray *none = kuArray_New();

    kuPackedData *data = kuPackedData_New(1);
    kuPackedData_AddNewEntry(data);
    EXPECT_NE(0u, kuPackedData_AddArray(data, 1, names, kuStringArray_FlattenerFunc));
    EXPECT_NE(0u, kuPackedData_AddArray(data, 2, none, kuStringArray_FlattenerFunc));
    uint32_t length = 99;
    kuPackedData_GetData(data, 0, 2, &length);
    EXPECT_EQ(0u, length); // an empty array is an empty tag

    kuArray *back = kuPackedData_GetDataArray(data, 0, 1, kuStringArray_UnFlattenerFunc);
    kuArray_SetFreeFunc(back, kuStringArray_FreeFunc);
    ASSERT_EQ(2u, kuArray_GetCount(back));
    EXPECT_STREQ("alpha", (const char *)kuArray_At(back, 0));
    EXPECT_STREQ("beta", (const char *)kuArray_At(back, 1));
    kuArray_Delete(back);
    for (uint16_t tag : {2, 3}) {
        back = kuPackedData_GetDataArray(data, 0, tag, kuStringArray_UnFlattenerFunc);
        ASSERT_NE(nullptr, back);
        EXPECT_EQ(0u, kuArray_GetCount(back));
        kuArray_Delete(back);
    }

    // A count larger than the tag holds stops at the tag's end, and a last
    // string without its terminator is cut there.
    const uint8_t lying[] = {9, 0, 0, 0, 'h', 'i', 0, 'y', 'o'};
    kuPackedData_AddData(data, 4, lying, sizeof lying);
    kuPackedData_AddData(data, 5, "zzzz", 4);
    back = kuPackedData_GetDataArray(data, 0, 4, kuStringArray_UnFlattenerFunc);
    kuArray_SetFreeFunc(back, kuStringArray_FreeFunc);
    ASSERT_EQ(2u, kuArray_GetCount(back));
    EXPECT_STREQ("hi", (const char *)kuArray_At(back, 0));
    EXPECT_STREQ("yo", (const char *)kuArray_At(back, 1));
    kuArray_Delete(back);

    kuPackedData_Free(data);
    kuArray_Delete(none);
    kuArray_Delete(names);
}

TEST(kuPackedData, MoveData)
{
    kuPackedData *data = kuPackedData_New(2);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, 1, "ab", 2);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, 2, "cd", 2);
    uint32_t entry1 = le32(data->block + 12);
    uint32_t used = data->usedSize;

    // Open a gap before entry 1 and close it again.
    kuPackedData_MoveData(data, entry1, 6);
    EXPECT_EQ(used + 6, data->usedSize);
    EXPECT_EQ(entry1 + 6, le32(data->block + 12));
    EXPECT_EQ(16u, le32(data->block + 8)); // below the offset: unchanged
    kuPackedData_MoveData(data, entry1 + 6, -6);
    expectLayout(data, {{{1, "ab"}}, {{2, "cd"}}}, 2);

    // Moves that would leave the entry area, or start past the end, do nothing.
    kuPackedData_MoveData(data, 16, -1);
    kuPackedData_MoveData(data, used + 1, 4);
    expectLayout(data, {{{1, "ab"}}, {{2, "cd"}}}, 2);

    // A positive move with no room made grows the block instead of overrunning.
    uint32_t big = data->allocatedSize;
    kuPackedData_MoveData(data, entry1, (int32_t)big);
    EXPECT_GT(data->allocatedSize, data->usedSize);
    EXPECT_EQ(entry1 + big, le32(data->block + 12));
    uint32_t length = 0;
    EXPECT_EQ(0, memcmp("cd", kuPackedData_GetData(data, 1, 2, &length), 2));
    kuPackedData_Free(data);
}

namespace {

// A block of size bytes holding the given words first.
uint8_t *craft(std::vector<uint32_t> words, size_t size)
{
    uint8_t *block = (uint8_t *)kuMallocZeroed(size);
    for (size_t i = 0; i < words.size(); i++)
        put32(block + 4 * i, words[i]);
    return block;
}

} // namespace

TEST(kuPackedData, CorruptedBlocksAreReportedNotFollowed)
{
    kutest::LogCapture log;
    kuPackedData *sound = kuPackedData_New(2);
    kuPackedData_AddNewEntry(sound);
    kuPackedData_AddData(sound, 1, "abc", 3);
    kuPackedData_Dump(sound);
    kuPackedData_Dump(nullptr);
    EXPECT_TRUE(log.lines().empty());
    kuPackedData_Free(sound);

    struct Case {
        const char *what;
        std::vector<uint32_t> words;
        size_t size;
    };
    const Case cases[] = {
        {"entry offset past the end", {20, 1, 400}, 20},
        {"tag count straddles the end", {14, 1, 13}, 14},
        // entry at 12: 3 tags claimed, one (identifier 2) present
        {"tags past the end", {20, 1, 12, 0x00020003, 0x00010002}, 20},
        // one tag of length 0x100 in a 20-byte block
        {"tag data past the end", {20, 1, 12, 0x01000001, 0x00000001}, 20},
        {"slot table past the end", {12, 1000000, 12}, 12},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        kuPackedData *data = kuPackedData_NewData(craft(c.words, c.size));
        uint32_t length = 7;
        EXPECT_EQ(nullptr, kuPackedData_GetData(data, 0, 1, &length));
        EXPECT_EQ(0u, length);
        EXPECT_EQ(0u, kuPackedData_GetDataAsUInt32(data, 0, 1));
        EXPECT_STREQ("", kuPackedData_GetDataStr(data, 0, 1, nullptr));
        kuArray *array = kuPackedData_GetDataArray(data, 0, 1, kuStringArray_UnFlattenerFunc);
        EXPECT_EQ(0u, kuArray_GetCount(array));
        kuArray_Delete(array);
        kuPackedData_Dump(data);
        // Writers must not write through bad offsets either (the sanitizer
        // build checks); whether they refuse depends on the damage.
        kuPackedData_SetData(data, 0, 1, "x", 1, 1);
        kuPackedData_AddDataToEntry(data, 0, 1, "x", 1);
        kuPackedData_AddNewEntry(data);
        kuPackedData_Free(data);
    }
    auto lines = log.lines();
    ASSERT_EQ(sizeof cases / sizeof cases[0], lines.size());
    for (const std::string &line : lines)
        EXPECT_EQ(0u, line.find("KU 1 99 kuvanaTools/kuPackedData:")) << line;
    EXPECT_NE(std::string::npos, lines[0].find(": kuPackedData corrupted !"));
}

namespace {

std::string randomValue(std::mt19937 &rng)
{
    std::string value(rng() % 41, '\0');
    for (char &c : value)
        c = (char)(rng() % 4 == 0 ? 0 : 'a' + rng() % 26);
    return value;
}

} // namespace

// Random building operations, with the block handed out and taken back in
// along the way, against a model of the entries.
TEST(kuPackedData, RandomBuildsMatchModel)
{
    kutest::LogCapture log;
    std::mt19937 rng(77);
    for (int round = 0; round < 40; round++) {
        uint32_t slots = rng() % 4;
        kuPackedData *data = kuPackedData_New(slots);
        ASSERT_NE(nullptr, data);
        std::vector<Entry> model;
        for (int step = 0; step < 80; step++) {
            uint16_t id = (uint16_t)(rng() % 6);
            std::string value = randomValue(rng);
            uint32_t entry = model.empty() ? 0 : rng() % model.size();
            switch (rng() % 8) {
            case 0:
                ASSERT_NE(0u, kuPackedData_AddNewEntry(data));
                model.emplace_back();
                slots = std::max<uint32_t>(slots, (uint32_t)model.size());
                break;
            case 1:
            case 2:
                if (model.empty()) {
                    ASSERT_EQ(0u, kuPackedData_AddData(data, id, value.data(), (uint32_t)value.size()));
                } else {
                    ASSERT_NE(0u, kuPackedData_AddData(data, id, value.data(), (uint32_t)value.size()));
                    model.back().push_back({id, value});
                }
                break;
            case 3:
            case 4:
                ASSERT_EQ(model.empty() ? 0 : 1,
                          kuPackedData_AddDataToEntry(data, entry, id, value.data(),
                                                      (uint32_t)value.size()));
                if (!model.empty())
                    model[entry].push_back({id, value});
                break;
            case 5: {
                int add = rng() % 2;
                int result = kuPackedData_SetData(data, entry, id, value.data(),
                                                  (uint32_t)value.size(), add);
                if (model.empty()) {
                    ASSERT_EQ(0, result);
                    break;
                }
                auto &tags = model[entry];
                auto it = std::find_if(tags.begin(), tags.end(),
                                       [&](const auto &tag) { return tag.first == id; });
                if (it != tags.end())
                    it->second = value;
                else if (add)
                    tags.push_back({id, value});
                ASSERT_EQ(it != tags.end() || add ? 1 : 0, result);
                break;
            }
            case 6: {
                void *block = kuPackedData_TakeData(data);
                kuPackedData_PutData(data, block);
                ASSERT_EQ(data->usedSize, data->allocatedSize);
                break;
            }
            default: {
                kuPackedData *copy = kuPackedData_Duplicate(data);
                kuPackedData_Free(data);
                data = copy;
                break;
            }
            }
            ASSERT_EQ(model.size(), data->currentEntry);
            expectLayout(data, model, slots);
            expectReads(data, model);
            kuPackedData_Dump(data);
        }
        kuPackedData_Free(data);
    }
    EXPECT_TRUE(log.lines().empty());
}

// Damaged copies of a sound block: nothing may read or write outside the
// block whatever the damage (the sanitizer build checks).
TEST(kuPackedData, DamagedBlocksStayInBounds)
{
    std::mt19937 rng(5);
    kuPackedData *source = kuPackedData_New(3);
    for (int e = 0; e < 3; e++) {
        kuPackedData_AddNewEntry(source);
        for (int t = 0; t < 4; t++) {
            std::string value = randomValue(rng);
            kuPackedData_AddData(source, (uint16_t)t, value.data(), (uint32_t)value.size());
        }
    }
    uint32_t size = 0;
    const uint8_t *pristine = (const uint8_t *)kuPackedData_PeekData(source, &size);

    for (int round = 0; round < 3000; round++) {
        uint8_t *block = (uint8_t *)kuMalloc(size);
        memcpy(block, pristine, size);
        for (int flips = 1 + rng() % 3; flips > 0; flips--) {
            uint32_t at = rng() % size;
            block[at] = rng() % 3 == 0 ? 0xFF : (uint8_t)rng();
        }
        put32(block, size); // word 0 stays true: the caller vouches for it
        kuPackedData *data = kuPackedData_NewData(block);
        for (uint32_t entry = 0; entry < 5; entry++) {
            kuPackedData_GetTagCount(data, entry);
            for (uint16_t tag = 0; tag < 5; tag++) {
                uint32_t length = 0;
                const uint8_t *bytes = (const uint8_t *)kuPackedData_GetData(data, entry, tag, &length);
                if (bytes != nullptr)
                    ASSERT_LE(bytes + length, data->block + data->usedSize);
                const char *text = kuPackedData_GetDataStr(data, entry, tag, nullptr);
                (void)strlen(text);
                kuPackedData_GetDataAsUInt32(data, entry, tag);
                kuArray_Delete(kuPackedData_GetDataArray(data, entry, tag, kuStringArray_UnFlattenerFunc));
            }
        }
        kuPackedData_Dump(data);
        uint32_t entry = rng() % 4;
        switch (rng() % 4) {
        case 0:
            kuPackedData_SetData(data, entry, (uint16_t)(rng() % 5), "value", 5, 1);
            break;
        case 1:
            kuPackedData_AddDataToEntry(data, entry, 1, "xyz", 3);
            break;
        case 2:
            kuPackedData_AddNewEntry(data);
            kuPackedData_AddData(data, 2, "q", 1);
            break;
        default:
            kuPackedData_SetData(data, entry, (uint16_t)(rng() % 5), "", 0, 0);
            break;
        }
        kuPackedData_Free(data);
    }
    kuPackedData_Free(source);
}
