#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPackedData.h>

#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using Entry = std::vector<std::pair<uint16_t, std::string>>;

uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
uint16_t le16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }

kuPackedData *build(uint32_t slots, const std::vector<Entry> &entries)
{
    kuPackedData *data = kuPackedData_New(slots);
    for (const Entry &entry : entries) {
        kuPackedData_AddNewEntry(data);
        for (const auto &tag : entry)
            kuPackedData_AddData(data, tag.first, tag.second.data(), (uint32_t)tag.second.size());
    }
    return data;
}

// A block from outside, taken over.
kuPackedData *adopt(const uint8_t *bytes, size_t size)
{
    void *block = kuMalloc(size);
    memcpy(block, bytes, size);
    return kuPackedData_NewData(block);
}

// The first tag of that identifier in the entry, or "<none>".
std::string read(const kuPackedData *data, uint32_t entry, uint16_t id)
{
    uint32_t length = 0;
    const char *bytes = (const char *)kuPackedData_GetData(data, entry, id, &length);
    return bytes != nullptr ? std::string(bytes, length) : "<none>";
}

// Parses the block independently: slots in order, entries back to back from
// the end of the slot table, tags padded to even lengths, nothing after the
// last entry.
void expectBlock(const kuPackedData *data, const std::vector<Entry> &model)
{
    const uint8_t *block = data->block;
    const uint32_t slots = (uint32_t)model.size();
    ASSERT_EQ(slots, le32(block + 4));
    ASSERT_EQ(slots, kuPackedData_GetEntryCount(data));
    uint32_t position = 8 + 4 * slots;
    for (uint32_t i = 0; i < slots; i++) {
        ASSERT_EQ(position, le32(block + 8 + 4 * i)) << "entry " << i;
        ASSERT_EQ(model[i].size(), le16(block + position));
        ASSERT_EQ(model[i].size(), kuPackedData_GetTagCount(data, i));
        position += 2;
        for (const auto &tag : model[i]) {
            const std::string &value = tag.second;
            ASSERT_EQ(value.size(), le16(block + position));
            ASSERT_EQ(tag.first, le16(block + position + 2));
            ASSERT_EQ(value, std::string((const char *)block + position + 4, value.size()));
            position += 4 + (uint32_t)value.size() + (value.size() & 1);
        }
    }
    ASSERT_EQ(position, data->usedSize);
    ASSERT_LE(data->usedSize, data->allocatedSize);
}

} // namespace

TEST(kuPackedData, BlockLayoutOfOneTagAndGrowth)
{
    kuPackedData *data = kuPackedData_New(2);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(384u, kuPackedData_GetMemoryUsage(data));
    EXPECT_EQ(0u, kuPackedData_AddData(data, 7, "abc", 3)); // no entry yet
    EXPECT_EQ(18u, kuPackedData_AddNewEntry(data));
    EXPECT_EQ(26u, kuPackedData_AddData(data, 7, "abc", 3));
    EXPECT_EQ("<none>", read(data, 1, 7));
    EXPECT_EQ("<none>", read(data, 5, 7));

    uint8_t *block = (uint8_t *)kuPackedData_TakeData(data);
    // 26 bytes: size, N, two offsets, then the entry; the pad byte is free.
    const uint8_t expected[] = {0x1A, 0, 0, 0, 2, 0, 0, 0, 0x10, 0, 0,   0,   0xFF,
                                0xFF, 0xFF, 0xFF, 1, 0, 3, 0, 7, 0, 'a', 'b', 'c'};
    EXPECT_EQ(0, memcmp(expected, block, sizeof expected));
    EXPECT_EQ(nullptr, kuPackedData_TakeData(data));
    EXPECT_EQ(0u, kuPackedData_AddNewEntry(data));

    // Taken back in, it resumes at the last started entry.
    kuPackedData_PutData(data, block);
    EXPECT_EQ(26u, kuPackedData_GetMemoryUsage(data));
    EXPECT_EQ(1u, data->currentEntry);
    kuPackedData_Free(data);

    block = (uint8_t *)kuPackedData_S_TakeEmptyData();
    EXPECT_EQ(0, memcmp("\x08\0\0\0\0\0\0\0", block, 8));
    kuFree(block);
    // A block size past 4 GiB cannot be represented: reported, not fatal.
    EXPECT_EQ(nullptr, kuPackedData_New(0xFFFFFFFF));
    EXPECT_EQ(nullptr, kuPackedData_NewData(nullptr));
    EXPECT_EQ(nullptr, kuPackedData_Duplicate(nullptr));
    EXPECT_EQ(nullptr, kuPackedData_NewDataDuplicate(nullptr));

    data = build(3, {{}});
    std::string big(600, 'b');
    // 22 used, 604 more: 512 + 128 + 604 + (3 + 1 - 1) x (512 / 1).
    kuPackedData_AddData(data, 1, big.data(), 600);
    EXPECT_EQ(2780u, kuPackedData_GetMemoryUsage(data));
    EXPECT_EQ(2780u, le32(data->block)); // while building, word 0 is the allocation
    uint32_t size = 0;
    kuPackedData_PeekData(data, &size);
    EXPECT_EQ(626u, size);
    EXPECT_EQ(626u, le32(data->block));
    kuPackedData_Free(data);
    EXPECT_EQ(nullptr, kuPackedData_PeekData(nullptr, &size));
    EXPECT_EQ(0u, size);
    // Entry N of N slots is not read from the first data bytes (which here
    // would lead to a tag 7).
    const uint8_t oneSlot[] = {24, 0, 0, 0, 1, 0, 0, 0, 12, 0, 0, 0,
                               16, 0, 0, 0, 1, 0, 1, 0, 7, 0, 'z', 0};
    data = adopt(oneSlot, sizeof oneSlot);
    EXPECT_EQ("<none>", read(data, 1, 7));
    kuPackedData_Free(data);

    // Growth starts when the used size would reach the allocation.
    for (uint32_t length : {108u, 110u}) {
        kuPackedData *tight = build(0, {{}}); // 128 bytes, 14 used, 1 slot
        std::string fill(length, 'f');
        kuPackedData_AddData(tight, 1, fill.data(), length);
        // 128 + 128 + 114 + (1 + 1 - 1) x (128 / 1)
        EXPECT_EQ(length == 108 ? 128u : 498u, tight->allocatedSize);
        expectBlock(tight, {{{1, fill}}});
        kuPackedData_Free(tight);
    }
}

TEST(kuPackedData, TypedReadsAndCorruptedBlocks)
{
    kuArray *names = kuArray_New();
    kuArray_SetFreeFunc(names, kuStringArray_FreeFunc);
    kuArray_Append(names, kuStrdup("alpha"));
    kuArray_Append(names, kuStrdup("beta"));
    // A count larger than the tag holds stops at its end; the unterminated
    // last string is cut there.
    const char lying[] = {9, 0, 0, 0, 'h', 'i', 0, 'y', 'o'};
    kuPackedData *data = build(1, {{{1, std::string("text", 5)},
                                    {2, "\x34\x12"}, {3, "\x78\x56\x34\x12"}, {4, "\xAB"},
                                    {5, "raw"}, // no terminator
                                    {7, std::string(lying, sizeof lying)}}});
    kuPackedData_AddArray(data, 6, names, kuStringArray_FlattenerFunc);
    kuPackedData_AddArray(data, 8, nullptr, kuStringArray_FlattenerFunc);
    uint32_t length = 0;
    EXPECT_STREQ("text", kuPackedData_GetDataStr(data, 0, 1, &length));
    EXPECT_EQ(5u, length);
    for (uint16_t tag : {5, 9}) {
        EXPECT_STREQ("", kuPackedData_GetDataStr(data, 0, tag, &length));
        EXPECT_EQ(0u, length);
    }
    length = 99;
    kuPackedData_GetData(data, 0, 8, &length);
    EXPECT_EQ(0u, length); // an empty array is an empty tag
    // a shorter value reads as what it holds
    EXPECT_EQ((std::vector<uint32_t>{0x1234, 0x5678, 0x12345678, 0x1234, 0xAB, 0, 9}),
              (std::vector<uint32_t>{kuPackedData_GetDataAsUInt16(data, 0, 2),
                                     kuPackedData_GetDataAsUInt16(data, 0, 3),
                                     kuPackedData_GetDataAsUInt32(data, 0, 3),
                                     kuPackedData_GetDataAsUInt32(data, 0, 2),
                                     kuPackedData_GetDataAsUInt32(data, 0, 4),
                                     kuPackedData_GetDataAsUInt32(data, 1, 3),
                                     kuPackedData_GetDataAsUInt32(data, 0, 7)}));
    const std::vector<std::pair<uint16_t, std::vector<std::string>>> arrays = {
        {0, {}}, {6, {"alpha", "beta"}}, {7, {"hi", "yo"}}, {8, {}}};
    for (const auto &expected : arrays) {
        kuArray *back =
            kuPackedData_GetDataArray(data, 0, expected.first, kuStringArray_UnFlattenerFunc);
        kuArray_SetFreeFunc(back, kuStringArray_FreeFunc);
        std::vector<std::string> got;
        for (uint32_t i = 0; i < kuArray_GetCount(back); i++)
            got.push_back((const char *)kuArray_At(back, i));
        EXPECT_EQ(expected.second, got) << "tag " << expected.first;
        kuArray_Delete(back);
    }
    kuArray_Delete(names);

    // Refused tags write nothing.
    uint32_t used = data->usedSize;
    std::string longest(65536, 'x');
    EXPECT_EQ(0u, kuPackedData_AddData(data, 9, longest.data(), 65536));
    EXPECT_EQ(0u, kuPackedData_AddData(data, 9, nullptr, 1));
    EXPECT_EQ(0, kuPackedData_SetData(data, 0, 1, nullptr, 1, 0)); // over an existing tag
    EXPECT_EQ(used, data->usedSize);
    EXPECT_EQ(used + 4 + 65536, kuPackedData_AddData(data, 9, longest.data(), 65535)); // padded
    kuPackedData_Free(data);
    // An entry holds at most 65535 tags.
    data = kuPackedData_New(1);
    kuPackedData_AddNewEntry(data);
    for (int i = 0; i < 65535; i++)
        ASSERT_NE(0u, kuPackedData_AddData(data, 1, nullptr, 0));
    EXPECT_EQ(0u, kuPackedData_AddData(data, 1, nullptr, 0));
    EXPECT_EQ(0, kuPackedData_AddDataToEntry(data, 0, 1, nullptr, 0));
    kuPackedData_Free(data);

    kutest::LogCapture log;
    kuPackedData *sound = build(2, {{{1, "abc"}}});
    kuPackedData *header = kuPackedData_NewData(kuPackedData_S_TakeEmptyData());
    for (kuPackedData *each : {sound, header, (kuPackedData *)nullptr})
        kuPackedData_Dump(each); // the header alone is sound too
    EXPECT_TRUE(log.lines().empty());
    kuPackedData_Free(sound);
    kuPackedData_Free(header);

    const std::vector<std::vector<uint32_t>> blocks = {
        {20, 1, 400},                        // entry offset past the end
        {14, 1, 13, 0},                      // tag count straddles the end
        {20, 1, 12, 0x00020003, 0x00010002}, // 3 tags claimed, 1 present
        {20, 1, 12, 0x01000001, 0x00000001}, // tag data past the end
        {12, 1000000, 12},                   // slot table past the end
    };
    for (const auto &words : blocks) {
        uint8_t *block = (uint8_t *)kuMallocZeroed(words[0]);
        for (size_t k = 0; k < std::min<size_t>(words[0], 4 * words.size()); k++)
            block[k] = (uint8_t)(words[k / 4] >> 8 * (k % 4)); // little-endian words
        kuPackedData *damaged = kuPackedData_NewData(block);
        EXPECT_EQ(nullptr, kuPackedData_GetData(damaged, 0, 1, nullptr));
        kuPackedData_Dump(damaged);
        kuPackedData_Free(damaged);
    }
    auto lines = log.lines();
    ASSERT_EQ(blocks.size(), lines.size());
    EXPECT_EQ(0u, lines.back().find("KU 1 99 kuvanaTools/kuPackedData:")) << lines.back();
    EXPECT_NE(std::string::npos, lines[0].find(": kuPackedData corrupted !"));

    // Found by fuzzing: a block whose word 0 is below the header size made
    // Duplicate copy fewer bytes than it then wrote.
    const uint8_t bytes[8] = {7, 0, 0, 0, 0, 0, 0, 0xFF};
    data = adopt(bytes, sizeof bytes);
    kuPackedData *copy = kuPackedData_Duplicate(data);
    EXPECT_EQ(8u, kuPackedData_GetMemoryUsage(data));
    EXPECT_EQ(8u, le32(copy->block));
    EXPECT_EQ(0xFF000000u, kuPackedData_GetEntryCount(copy));
    kuPackedData_Free(copy);
    kuPackedData_Free(data);
}

TEST(kuPackedData, MovesAndEditsKeepTheLayout)
{
    kuPackedData *data = build(2, {{{1, "ab"}}, {{2, "cd"}}});
    uint32_t entry1 = le32(data->block + 12);
    kuPackedData_MoveData(data, entry1, 6);
    EXPECT_EQ(entry1 + 6, le32(data->block + 12));
    kuPackedData_MoveData(data, entry1 + 6, -6);
    kuPackedData_MoveData(data, 16, 6); // the first entry moves and comes back to the slots' end
    kuPackedData_MoveData(data, 22, -6);
    kuPackedData_MoveData(data, 16, -1);                // into the slot table: nothing
    kuPackedData_MoveData(data, data->usedSize + 1, 4); // from past the end: nothing
    expectBlock(data, {{{1, "ab"}}, {{2, "cd"}}});
    // No room made for a positive move: the block grows instead of overrunning.
    kuPackedData_MoveData(data, entry1, (int32_t)data->allocatedSize);
    EXPECT_LT(data->usedSize, data->allocatedSize);
    kuPackedData_Free(data);

    // Slots out of order: entry 0 ends the block and its next slot is not
    // started, so a tag added to it goes at the very end.
    const uint8_t outOfOrder[] = {30, 0, 0, 0, 3, 0, 0, 0, 22, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                  20, 0, 0, 0, 0, 0, 1, 0, 2, 0, 1, 0, 'a', 'b'};
    data = adopt(outOfOrder, sizeof outOfOrder);
    ASSERT_EQ(1, kuPackedData_AddDataToEntry(data, 0, 5, "xyz", 3));
    EXPECT_EQ("xyz", read(data, 0, 5));
    EXPECT_EQ(38u, data->usedSize);
    kuPackedData_Free(data);

    // Tags replaced in and added to an earlier entry move the later one; the
    // block reads the same after being handed out and taken back, and in copies.
    kutest::LogCapture log;
    std::vector<Entry> model = {{{1, "ab"}, {2, "c"}}, {{3, "def"}}};
    data = build(1, model); // the slot table grows to two
    expectBlock(data, model);
    EXPECT_EQ(1, kuPackedData_SetData(data, 0, 1, "longer", 6, 0));
    EXPECT_EQ(1, kuPackedData_SetData(data, 0, 2, "", 0, 0));
    EXPECT_EQ(1, kuPackedData_SetData(data, 0, 4, "new", 3, 1));
    EXPECT_EQ(0, kuPackedData_SetData(data, 0, 5, "no", 2, 0));
    EXPECT_EQ(1, kuPackedData_AddDataToEntry(data, 0, 1, "dup", 3)); // the first tag 1 reads
    model[0] = {{1, "longer"}, {2, ""}, {4, "new"}, {1, "dup"}};
    expectBlock(data, model);
    kuPackedData_PutData(data, kuPackedData_TakeData(data));
    kuPackedData *copy = kuPackedData_Duplicate(data);
    kuPackedData *outside = kuPackedData_NewDataDuplicate(kuPackedData_PeekData(copy, nullptr));
    kuPackedData_PutDataDuplicate(data, kuPackedData_PeekData(outside, nullptr));
    for (kuPackedData *each : {data, copy, outside}) {
        EXPECT_EQ(2u, each->currentEntry);
        expectBlock(each, model);
        EXPECT_EQ("longer", read(each, 0, 1));
        kuPackedData_Dump(each);
        kuPackedData_Free(each);
    }
    EXPECT_TRUE(log.lines().empty());
}
