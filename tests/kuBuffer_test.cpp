#include <kuvanaTools/kuBuffer.h>
#include <kuvanaTools/kuMemory.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

std::string contents(const kuBuffer *buffer)
{
    return std::string((const char *)buffer->bytes, buffer->size);
}

} // namespace

TEST(kuBuffer, GrowthDoublesTheNewSizeOnReachingCapacity)
{
    kuBuffer *four = kuBuffer_New(4);
    EXPECT_EQ(3u, kuBuffer_Append(four, "abc", 3));
    EXPECT_EQ(4u, four->capacity);
    // Reaching the capacity exactly grows too.
    EXPECT_EQ(4u, kuBuffer_Append(four, "d", 1));
    EXPECT_EQ(8u, four->capacity);
    EXPECT_EQ("abcd", contents(four));
    kuBuffer_Delete(four);

    kuBuffer *zero = kuBuffer_New(0);
    EXPECT_EQ(3u, kuBuffer_Append(zero, "xyz", 3));
    EXPECT_EQ(6u, zero->capacity);
    // Nothing to append still follows the rule; the data survives.
    EXPECT_EQ(3u, kuBuffer_Append(zero, "", 0));
    EXPECT_EQ(3u, kuBuffer_Append(zero, nullptr, 5));
    EXPECT_EQ("xyz", contents(zero));
    kuBuffer_Delete(zero);

    kuBuffer *big = kuBuffer_New(0);
    std::string expected;
    for (int i = 0; i < 1000; i++) {
        char c = (char)('a' + i % 26);
        kuBuffer_Append(big, &c, 1);
        expected += c;
        ASSERT_LT(big->size, big->capacity);
    }
    EXPECT_EQ(expected, contents(big));
    kuBuffer_Delete(big);
    kuBuffer_Delete(nullptr);
}

TEST(kuBuffer, TextAndNumbers)
{
    kuBuffer *buffer = kuBuffer_New(0);
    kuBuffer_AppendStr(buffer, "n=");
    kuBuffer_AppendStr(buffer, nullptr);
    kuBuffer_AppendUInt32(buffer, 0);
    kuBuffer_AppendStr(buffer, ",");
    kuBuffer_AppendUInt32(buffer, 4294967295u);
    kuBuffer_AppendStr(buffer, ",");
    kuBuffer_AppendUInt32Hex(buffer, 255);
    kuBuffer_AppendStr(buffer, ",");
    kuBuffer_AppendUInt32Hex(buffer, 0xDEADBEEF);
    EXPECT_EQ("n=0,4294967295,000000FF,DEADBEEF", contents(buffer));
    kuBuffer_Delete(buffer);
}

TEST(kuBuffer, TakeOwnership)
{
    kuBuffer *buffer = kuBuffer_New(12);
    kuBuffer_Append(buffer, "hello", 5);
    uint32_t n = 0;
    char *block = (char *)kuBuffer_TakeOwnership(buffer, 1, &n);
    EXPECT_EQ(5u, n);
    EXPECT_EQ(0, memcmp(block, "hello", 5));
    EXPECT_EQ(nullptr, buffer->bytes);
    EXPECT_EQ(0u, buffer->size);
    EXPECT_EQ(0u, buffer->capacity);
    kuFree(block);

    // The emptied buffer can be filled again.
    kuBuffer_Append(buffer, "ab", 2);
    block = (char *)kuBuffer_TakeOwnership(buffer, 0, nullptr);
    EXPECT_EQ(0, memcmp(block, "ab", 2));
    kuFree(block);

    // Shrinking an empty buffer releases the block and gives null.
    kuBuffer_Append(buffer, "", 0);
    EXPECT_EQ(nullptr, kuBuffer_TakeOwnership(buffer, 1, &n));
    EXPECT_EQ(0u, n);
    kuBuffer_Delete(buffer);
}

TEST(kuBuffer, ReallocBelowSizeCutsTheSize)
{
    kuBuffer *buffer = kuBuffer_New(0);
    kuBuffer_Append(buffer, "abcdef", 6);
    kuBuffer_Realloc(buffer, 3);
    EXPECT_EQ(3u, buffer->capacity);
    EXPECT_EQ(3u, buffer->size);
    kuBuffer_Append(buffer, "z", 1);
    EXPECT_EQ("abcz", contents(buffer));
    kuBuffer_Realloc(buffer, 100);
    EXPECT_EQ(4u, buffer->size);
    kuBuffer_Delete(buffer);
}
