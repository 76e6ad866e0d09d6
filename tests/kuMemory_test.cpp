#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuMemory.h>

#include "support/OwnedText.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

using kutest::take;

TEST(kuMemory, AllocationDuplicationAndSlotReplacement)
{
    EXPECT_EQ(nullptr, kuRealloc(nullptr, 0));
    kuRealloc(kuMalloc(16), 0); // not fatal even though the allocator may answer null
    void *grown = kuRealloc(nullptr, 8);
    ASSERT_NE(nullptr, grown);
    kuFree(grown);
    kuFree(nullptr);
    char *p = (char *)kuMallocZeroed(4096);
    EXPECT_EQ(std::string(4096, '\0'), std::string(p, 4096));
    kuFree(p);

    EXPECT_TRUE(kuStrdup(nullptr) == nullptr && kuStrndup(nullptr, 3) == nullptr &&
                kuStrdupToUpper(nullptr) == nullptr && kuWcsdup(nullptr) == nullptr &&
                kuWcsndup(nullptr, 1) == nullptr);
    EXPECT_EQ("", take(kuStrndup("abc", 0)));
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

    // A null text empties the slot, except that kuStrcatReplace keeps a fresh
    // copy of what it holds.
    char *slot = nullptr;
    const struct { char f; const char *text, *after; } steps[] = {
        {'c', nullptr, "<null>"}, {'c', "ab", "ab"}, {'c', nullptr, "ab"}, {'c', "cd", "abcd"},
        {'r', "new", "new"}, {'r', nullptr, "<null>"},
        {'n', "hello", "hell"}, {'n', nullptr, "<null>"},
    };
    for (auto &s : steps) {
        if (s.f == 'c')
            kuStrcatReplace(&slot, s.text);
        else if (s.f == 'n')
            kuStrnReplace(&slot, s.text, 4);
        else
            EXPECT_EQ(s.after, kutest::orNull(kuStrReplace(&slot, s.text)));
        EXPECT_EQ(s.after, kutest::orNull(slot)) << s.f << kutest::orNull(s.text);
    }
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
    const std::string huge = " (size=" + std::to_string((unsigned long)gHuge) + ")";
    const std::string log = "KU 1 0 kuLog/Log:449: ";
    const std::string assertion = log + "ASSERTION FAILED: 'x > 0' in file 'file.c' at line '12'";
    const struct {
        void (*body)();
        std::string reason, called, details, err; // err: also on the standard error
    } cases[] = {
        {[] { kuFatalError("os:mutex"); }, "os:mutex", "os:mutex", "", ""},
        {[] { kuFatalError(nullptr); }, "unknown reason", "(null)", "", ""},
        {[] { kuMalloc(gHuge); }, "memory:malloc", "memory:malloc", huge, ""},
        {[] { kuRealloc(kuMalloc(16), gHuge); }, "memory:realloc", "memory:realloc", huge, ""},
        {[] { _kuAssert("x > 0", "file.c", 12); }, "assert", "assert", " (reason='x > 0')",
         "Assertion failed"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reason);
        kutest::LogCapture capture;
        auto r = kutest::runInChild([&] {
            kuFatalError_SetCallBack(reportReason);
            c.body();
        });
        EXPECT_EQ(255, r.exitStatus);
        EXPECT_EQ("kuFatalError\nkuFatalError: " + c.reason + c.details + "\ncallback:" + c.called +
                      "\n",
                  r.out);
        EXPECT_NE(std::string::npos, r.err.find(c.err)) << r.err;
        std::vector<std::string> records = {log + "Fatal Error '" + c.reason + "'",
                                            log + c.details};
        if (!c.err.empty()) // an assertion first logs where it failed
            records.insert(records.begin(), assertion);
        EXPECT_EQ(records, capture.lines());
    }
}
