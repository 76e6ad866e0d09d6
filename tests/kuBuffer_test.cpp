#include <kuvanaTools/kuBuffer.h>
#include <kuvanaTools/kuMemory.h>

#include <gtest/gtest.h>

#include <stdlib.h>

TEST(kuBuffer, GrowsToTwiceTheNewSizeOnReachingCapacity)
{
    kuBuffer *buffer = kuBuffer_New(4);
    kuBuffer_Append(buffer, "abc", 3);
    EXPECT_EQ(4u, buffer->capacity);
    EXPECT_EQ(4u, kuBuffer_Append(buffer, "d", 1)); // equality grows too
    EXPECT_EQ(8u, buffer->capacity);
    kuBuffer_Delete(buffer);
    buffer = kuBuffer_New(0);
    kuBuffer_Append(buffer, "xyz", 3);
    EXPECT_EQ(6u, buffer->capacity);
    kuBuffer_AppendStr(buffer, nullptr);
    kuBuffer_Append(buffer, nullptr, 5);
    kuBuffer_AppendUInt32(buffer, 0);
    kuBuffer_AppendUInt32(buffer, 4294967295u);
    kuBuffer_AppendUInt32Hex(buffer, 255);
    EXPECT_EQ("xyz04294967295000000FF", std::string((const char *)buffer->bytes, buffer->size));
    // A capacity below the size cuts the size rather than leave it past the block.
    kuBuffer_Realloc(buffer, 2);
    kuBuffer_Append(buffer, "!", 1);
    EXPECT_EQ("xy!", std::string((const char *)buffer->bytes, buffer->size));

    uint32_t n = 0;
    char *block = (char *)kuBuffer_TakeOwnership(buffer, 1, &n);
    EXPECT_EQ("xy!", std::string(block, n));
    EXPECT_TRUE(buffer->bytes == nullptr && buffer->size == 0 && buffer->capacity == 0);
    kuFree(block);
    // The emptied buffer is usable again; shrinking it empty gives null.
    kuBuffer_Append(buffer, "", 0);
    EXPECT_EQ(nullptr, kuBuffer_TakeOwnership(buffer, 1, &n));
    EXPECT_EQ(0u, n);
    kuBuffer_Delete(buffer);
    kuBuffer_Delete(nullptr);
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KU_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KU_TEST_ASAN)
constexpr bool kSanitized = true; // its allocator fills the shadow of all 4 GiB
#else
constexpr bool kSanitized = false;
#endif

// 4 GiB - 1 bytes is the most a buffer holds: reaching it exactly is no error.
TEST(kuBuffer, FillsToTheLargestSize)
{
    if (sizeof(void *) < 8 || kSanitized)
        GTEST_SKIP() << "needs a 64-bit address space and the plain allocator";
    void *probe = malloc(UINT32_MAX); // a small machine without overcommit refuses it
    free(probe);
    if (probe == nullptr)
        GTEST_SKIP() << "the system does not lend 4 GiB of address space";
    kuBuffer *buffer = kuBuffer_New(0);
    kuBuffer_Realloc(buffer, UINT32_MAX); // pages are touched only where written
    buffer->size = UINT32_MAX - 1;
    EXPECT_EQ(UINT32_MAX, kuBuffer_Append(buffer, "!", 1));
    kuBuffer_Delete(buffer);
}
