#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuMemory.h>

#include "support/OwnedText.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

using kutest::runInChild;
using kutest::take;

TEST(kuMemory, ReallocSizeZeroAndZeroedBlocks)
{
    EXPECT_EQ(nullptr, kuRealloc(nullptr, 0));
    void *block = kuMalloc(16);
    // Not fatal even though the allocator may answer null.
    kuRealloc(block, 0);
    void *grown = kuRealloc(nullptr, 8);
    ASSERT_NE(nullptr, grown);
    kuFree(grown);
    kuFree(nullptr);
    char *p = (char *)kuMallocZeroed(4096);
    EXPECT_EQ(std::string(4096, '\0'), std::string(p, 4096));
    kuFree(p);
}

TEST(kuMemory, DuplicationFamily)
{
    EXPECT_TRUE(kuStrdup(nullptr) == nullptr && kuStrndup(nullptr, 3) == nullptr &&
                kuStrdupToUpper(nullptr) == nullptr && kuWcsdup(nullptr) == nullptr &&
                kuWcsndup(nullptr, 1) == nullptr);
    EXPECT_EQ("", take(kuStrndup("abc", 0)));
    EXPECT_EQ("abc", take(kuStrndup("abcdef", 3)));
    // Zero bytes inside the n bytes are copied, not stopped at.
    char *withZero = kuStrndup("a\0c", 3);
    EXPECT_EQ(0, memcmp(withZero, "a\0c\0", 4));
    kuFree(withZero);
    EXPECT_EQ("MIXED CASE 1\xc3\xa9", take(kuStrdupToUpper("mixed Case 1\xc3\xa9")));
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
    auto text = [&] { return kutest::orNull(slot); };
    kuStrcatReplace(&slot, nullptr);
    EXPECT_EQ("<null>", text());
    kuStrcatReplace(&slot, "ab");
    kuStrcatReplace(&slot, nullptr); // a fresh copy; the old block is released
    EXPECT_EQ("ab", text());
    kuStrcatReplace(&slot, "cd");
    EXPECT_EQ("abcd", text());
    EXPECT_EQ(slot, kuStrReplace(&slot, "new"));
    EXPECT_EQ("new", text());
    EXPECT_EQ(nullptr, kuStrReplace(&slot, nullptr));
    EXPECT_EQ("<null>", text());
    kuStrnReplace(&slot, "hello", 4);
    EXPECT_EQ("hell", text());
    kuStrnReplace(&slot, nullptr, 4);
    EXPECT_EQ("<null>", text());
}

namespace {
void reportReason(const char *reason)
{
    printf("callback:%s\n", reason != nullptr ? reason : "(null)");
    fflush(stdout); // the fatal path ends with _exit
}
volatile size_t gHuge = SIZE_MAX / 2 + 1; // no allocator can satisfy it
} // namespace

// Every fatal path prints two lines (the second after the reason's details or
// bare), logs them, calls the callback and exits with 255.
TEST(kuFatalError, ReasonsPrintLogCallBackAndExit255)
{
    const std::string huge = std::to_string((unsigned long)gHuge), log = "KU 1 0 kuLog/Log:449: ";
    const struct {
        void (*body)();
        std::string out, err;
        std::vector<std::string> records;
    } cases[] = {
        {[] { kuFatalError("os:mutex"); }, "kuFatalError: os:mutex\ncallback:os:mutex\n", "",
         {log + "Fatal Error 'os:mutex'", log}},
        {[] { kuFatalError(nullptr); }, "kuFatalError: unknown reason\ncallback:(null)\n", "",
         {log + "Fatal Error 'unknown reason'", log}},
        {[] { kuMalloc(gHuge); },
         "kuFatalError: memory:malloc (size=" + huge + ")\ncallback:memory:malloc\n", "",
         {log + "Fatal Error 'memory:malloc'", log + " (size=" + huge + ")"}},
        {[] { kuRealloc(kuMalloc(16), gHuge); },
         "kuFatalError: memory:realloc (size=" + huge + ")\ncallback:memory:realloc\n", "",
         {log + "Fatal Error 'memory:realloc'", log + " (size=" + huge + ")"}},
        {[] { _kuAssert("x > 0", "file.c", 12); },
         "kuFatalError: assert (reason='x > 0')\ncallback:assert\n", "Assertion failed",
         {log + "ASSERTION FAILED: 'x > 0' in file 'file.c' at line '12'",
          log + "Fatal Error 'assert'", log + " (reason='x > 0')"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.out);
        kutest::LogCapture capture;
        auto r = runInChild([&] {
            kuFatalError_SetCallBack(reportReason);
            c.body();
        });
        EXPECT_EQ(255, r.exitStatus);
        EXPECT_EQ("kuFatalError\n" + c.out, r.out);
        EXPECT_NE(std::string::npos, r.err.find(c.err)) << r.err;
        EXPECT_EQ(c.records, capture.lines());
    }
}
