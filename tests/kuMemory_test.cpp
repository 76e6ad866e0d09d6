#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuMemory.h>

#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

using kutest::runInChild;

TEST(kuMemory, ReallocSizeZeroRules)
{
    EXPECT_EQ(nullptr, kuRealloc(nullptr, 0));
    void *block = kuMalloc(16);
    // Not fatal even though the allocator may answer null.
    kuRealloc(block, 0);
    void *grown = kuRealloc(nullptr, 8);
    ASSERT_NE(nullptr, grown);
    kuFree(grown);
    kuFree(nullptr);
}

TEST(kuMemory, MallocZeroedClearsEveryByte)
{
    unsigned char *p = (unsigned char *)kuMallocZeroed(4096);
    for (int i = 0; i < 4096; i++)
        ASSERT_EQ(0, p[i]);
    kuFree(p);
}

TEST(kuMemory, DuplicationFamily)
{
    EXPECT_EQ(nullptr, kuStrdup(nullptr));
    EXPECT_EQ(nullptr, kuStrndup(nullptr, 3));
    EXPECT_EQ(nullptr, kuStrdupToUpper(nullptr));
    EXPECT_EQ(nullptr, kuWcsdup(nullptr));
    EXPECT_EQ(nullptr, kuWcsndup(nullptr, 1));

    char *empty = kuStrndup("abc", 0);
    EXPECT_STREQ("", empty);
    kuFree(empty);
    char *abc = kuStrndup("abcdef", 3);
    EXPECT_STREQ("abc", abc);
    kuFree(abc);
    // Zero bytes inside the n bytes are copied, not stopped at.
    char *withZero = kuStrndup("a\0c", 3);
    EXPECT_EQ(0, memcmp(withZero, "a\0c\0", 4));
    kuFree(withZero);

    char *upper = kuStrdupToUpper("mixed Case 1\xc3\xa9");
    EXPECT_STREQ("MIXED CASE 1\xc3\xa9", upper);
    kuFree(upper);

    wchar_t *two = kuWcsndup(L"xyz", 2);
    EXPECT_EQ(0, wmemcmp(two, L"xy\0", 3));
    kuFree(two);
    wchar_t *whole = kuWcsdup(L"\x1F600z");
    EXPECT_STREQ(L"\x1F600z", whole);
    kuFree(whole);
}

TEST(kuMemory, SlotReplacement)
{
    char *slot = nullptr;
    kuStrcatReplace(&slot, nullptr);
    EXPECT_EQ(nullptr, slot);
    kuStrcatReplace(&slot, "ab");
    EXPECT_STREQ("ab", slot);
    char *before = slot;
    kuStrcatReplace(&slot, nullptr);
    EXPECT_STREQ("ab", slot); // a fresh copy; the old block is released
    (void)before;
    kuStrcatReplace(&slot, "cd");
    EXPECT_STREQ("abcd", slot);

    EXPECT_EQ(slot, kuStrReplace(&slot, "new"));
    EXPECT_STREQ("new", slot);
    EXPECT_EQ(nullptr, kuStrReplace(&slot, nullptr));
    EXPECT_EQ(nullptr, slot);

    kuStrnReplace(&slot, "hello", 4);
    EXPECT_STREQ("hell", slot);
    kuStrnReplace(&slot, nullptr, 4);
    EXPECT_EQ(nullptr, slot);
}

namespace {
void reportReason(const char *reason)
{
    printf("callback:%s\n", reason != nullptr ? reason : "(null)");
    fflush(stdout); // the fatal path ends with _exit
}
} // namespace

TEST(kuFatalError, UnknownReasonPrintsBareNewlineCallsBackAndExits255)
{
    auto r = runInChild([] {
        kuFatalError_SetCallBack(reportReason);
        kuFatalError("os:mutex");
    });
    EXPECT_EQ(255, r.exitStatus);
    EXPECT_EQ("kuFatalError\nkuFatalError: os:mutex\ncallback:os:mutex\n", r.out);
}

TEST(kuFatalError, NullReasonAndLogRecords)
{
    kutest::LogCapture log;
    auto r = runInChild([] {
        kuFatalError_SetCallBack(reportReason);
        kuFatalError(nullptr);
    });
    EXPECT_EQ(255, r.exitStatus);
    EXPECT_EQ("kuFatalError\nkuFatalError: unknown reason\ncallback:(null)\n", r.out);
    auto lines = log.lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("KU 1 0 kuLog/Log:449: Fatal Error 'unknown reason'", lines[0]);
    EXPECT_EQ("KU 1 0 kuLog/Log:449: ", lines[1]);
}

TEST(kuFatalError, FailedAllocationReportsRequestedSize)
{
    kutest::LogCapture log;
    // More than half the address space: no allocator can satisfy it.
    static volatile size_t huge = SIZE_MAX / 2 + 1;
    auto r = runInChild([] { kuMalloc(huge); });
    EXPECT_EQ(255, r.exitStatus);
    char expected[128];
    snprintf(expected, sizeof expected, "kuFatalError\nkuFatalError: memory:malloc (size=%lu)\n",
             (unsigned long)huge);
    EXPECT_EQ(expected, r.out);
    auto lines = log.lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("KU 1 0 kuLog/Log:449: Fatal Error 'memory:malloc'", lines[0]);
    EXPECT_EQ("KU 1 0 kuLog/Log:449:  (size=" + std::to_string((unsigned long)huge) + ")",
              lines[1]);

    auto re = runInChild([] {
        void *block = kuMalloc(16);
        kuRealloc(block, huge);
    });
    EXPECT_EQ(255, re.exitStatus);
    EXPECT_NE(std::string::npos, re.out.find("memory:realloc (size="));
}

TEST(kuFatalError, AssertionLogsBreaksAndEndsWithItsExpression)
{
    kutest::LogCapture log;
    auto r = runInChild([] { _kuAssert("x > 0", "file.c", 12); });
    EXPECT_EQ(255, r.exitStatus);
    EXPECT_EQ("kuFatalError\nkuFatalError: assert (reason='x > 0')\n", r.out);
    EXPECT_NE(std::string::npos, r.err.find("kuDebug_Break: Assertion failed"));
    auto lines = log.lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("KU 1 0 kuLog/Log:449: ASSERTION FAILED: 'x > 0' in file 'file.c' at line '12'",
              lines[0]);
    EXPECT_EQ("KU 1 0 kuLog/Log:449: Fatal Error 'assert'", lines[1]);
}
