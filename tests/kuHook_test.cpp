#include <kuvanaTools/kuHook.h>
#include <kuvanaTools/kuMemory.h>

#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <regex>
#include <string>
#include <vector>

namespace {

// What the hook functions saw; found through the hook's "calls" pointer
// property, as a real host would find its own state.
struct Calls {
    std::vector<std::string> log;
};

void note(kuHook *hook, const std::string &entry)
{
    static_cast<Calls *>(kuHook_GetVoidPtrProperty(hook, "calls"))->log.push_back(entry);
}

void first(kuHook *hook, const char *id, va_list) { note(hook, std::string("first:") + id); }
void second(kuHook *hook, const char *id, va_list) { note(hook, std::string("second:") + id); }

// Arguments of mixed widths, so that 64-bit values and doubles land on the
// alignments the 32-bit ABIs demand after a 32-bit one.
void mixed(kuHook *hook, const char *, va_list arguments)
{
    int i = va_arg(arguments, int);
    long long ll = va_arg(arguments, long long);
    double d = va_arg(arguments, double);
    const char *s = va_arg(arguments, const char *);
    void *p = va_arg(arguments, void *);
    int64_t i64 = va_arg(arguments, int64_t);
    unsigned u = va_arg(arguments, unsigned);
    double d2 = va_arg(arguments, double);
    char text[256];
    snprintf(text, sizeof text, "%d %lld %.17g %s %p %lld %u %g", i, ll, d, s, p, (long long)i64,
             u, d2);
    note(hook, text);
}

// Hands the va_list on, as hooks that format messages do.
void formatted(kuHook *hook, const char *, va_list arguments)
{
    const char *format = va_arg(arguments, const char *);
    char text[256];
    vsnprintf(text, sizeof text, format, arguments);
    note(hook, text);
}

void replaceSelf(kuHook *hook, const char *id, va_list)
{
    note(hook, "replaceSelf");
    kuHook_RegisterHook(hook, id, second);
}

void removeSelf(kuHook *hook, const char *id, va_list)
{
    note(hook, "removeSelf");
    kuHook_RegisterHook(hook, id, nullptr);
}

void deleteHook(kuHook *hook, const char *, va_list arguments)
{
    *va_arg(arguments, int *) = 1;
    kuHook_Delete(hook);
}

struct HookTest : ::testing::Test {
    void SetUp() override
    {
        hook = kuHook_New();
        kuHook_SetVoidPtrProperty(hook, "calls", &calls);
    }
    void TearDown() override { kuHook_Delete(hook); }
    kuHook *hook = nullptr;
    Calls calls;
};

// The unknown-ID records in a capture, with the line number checked for form.
std::vector<std::string> unknownIds(const kutest::LogCapture &capture)
{
    static const std::regex record(
        "KU 1 0 kuvanaTools/kuHook:[0-9]+: kuHook: unknown hook ID '(.*)'");
    std::vector<std::string> ids;
    for (const std::string &line : capture.lines()) {
        std::smatch m;
        EXPECT_TRUE(std::regex_match(line, m, record)) << line;
        if (!m.empty())
            ids.push_back(m[1]);
    }
    return ids;
}

} // namespace

TEST_F(HookTest, VariadicArgumentsReachTheFunction)
{
    int object;
    char expected[256];
    snprintf(expected, sizeof expected, "%d %lld %.17g %s %p %lld %u %g", -7,
             -0x123456789abcdefLL, 3.141592653589793, "text", (void *)&object,
             (long long)INT64_MAX, 0xfffffffeu, -0.5);
    kuHook_RegisterHook(hook, "mixed", mixed);
    kuHook_Hook(hook, "mixed", -7, -0x123456789abcdefLL, 3.141592653589793, "text",
                (void *)&object, (int64_t)INT64_MAX, 0xfffffffeu, -0.5);
    kuHook_RegisterHook(hook, "format", formatted);
    kuHook_Hook(hook, "format", "%s=%d/%lld/%.2f", "n", 42, -1099511627776LL, 2.25);
    EXPECT_EQ((std::vector<std::string>{expected, "n=42/-1099511627776/2.25"}), calls.log);
}

TEST_F(HookTest, ReplacingAndRemovingRegistrations)
{
    kuHook_RegisterHook(hook, "event", first);
    kuHook_RegisterHook(hook, "other", first);
    kuHook_RegisterHook(hook, "event", second);
    kuHook_Hook(hook, "event");
    kuHook_Hook(hook, "other");
    // a null function unregisters
    kuHook_RegisterHook(hook, "event", nullptr);
    kuHook_RegisterHook(hook, "never", nullptr);
    kutest::LogCapture capture;
    kuHook_Hook(hook, "event");
    kuHook_Hook(hook, "other");
    EXPECT_EQ((std::vector<std::string>{"second:event", "first:other", "first:other"}), calls.log);
    EXPECT_EQ(std::vector<std::string>{"event"}, unknownIds(capture));
}

TEST_F(HookTest, FunctionsMayChangeTheirOwnRegistrationOrDeleteTheHook)
{
    kuHook_RegisterHook(hook, "a", replaceSelf);
    kuHook_RegisterHook(hook, "b", removeSelf);
    kuHook_Hook(hook, "a");
    kuHook_Hook(hook, "a");
    kuHook_Hook(hook, "b");
    kuHook_Hook(hook, "b");
    EXPECT_EQ((std::vector<std::string>{"replaceSelf", "second:a", "removeSelf"}), calls.log);

    kuHook *doomed = kuHook_New();
    kuHook_RegisterHook(doomed, "bye", deleteHook);
    int called = 0;
    kuHook_Hook(doomed, "bye", &called);
    EXPECT_EQ(1, called);
}

TEST_F(HookTest, UnknownIdsAreLoggedAndCallNothing)
{
    kuHook_RegisterHook(hook, "Event", first);
    // the empty ID is never stored
    kuHook_RegisterHook(hook, "", first);
    kutest::LogCapture capture;
    kuHook_Hook(hook, "event");
    kuHook_Hook(hook, "Event ");
    kuHook_Hook(hook, "Even");
    kuHook_Hook(hook, "");
    kuHook_Hook(hook, nullptr);
    EXPECT_EQ((std::vector<std::string>{"event", "Event ", "Even", "", "(null)"}),
              unknownIds(capture));
    EXPECT_TRUE(calls.log.empty());
}

TEST_F(HookTest, FeatureFlags)
{
    kuHook_SetSupportFeature(hook, "seek", 0);
    EXPECT_EQ(0, kuHook_SupportFeature(hook, "seek"));
    kuHook_SetSupportFeature(hook, "seek", 1);
    kuHook_SetSupportFeature(hook, "seek", 1);
    kuHook_SetSupportFeature(hook, "pause", -5);
    EXPECT_EQ(1, kuHook_SupportFeature(hook, "seek"));
    EXPECT_EQ(1, kuHook_SupportFeature(hook, "pause"));
    EXPECT_EQ(0, kuHook_SupportFeature(hook, "Seek"));
    // set twice, stored once: one clear removes it
    kuHook_SetSupportFeature(hook, "seek", 0);
    EXPECT_EQ(0, kuHook_SupportFeature(hook, "seek"));
    kuHook_SetSupportFeature(hook, "", 1);
    kuHook_SetSupportFeature(hook, nullptr, 1);
    EXPECT_EQ(0, kuHook_SupportFeature(hook, ""));
    EXPECT_EQ(0, kuHook_SupportFeature(hook, nullptr));
}

TEST_F(HookTest, StringPropertiesAreOwnCopies)
{
    char text[] = "first";
    kuHook_SetStringProperty(hook, "name", text);
    text[0] = 'X';
    EXPECT_STREQ("first", kuHook_GetStringProperty(hook, "name"));
    EXPECT_NE(text, kuHook_GetStringProperty(hook, "name"));
    kuHook_SetStringProperty(hook, "name", "second");
    EXPECT_STREQ("second", kuHook_GetStringProperty(hook, "name"));
    // setting a property to its own value must not read released memory
    kuHook_SetStringProperty(hook, "name", kuHook_GetStringProperty(hook, "name"));
    EXPECT_STREQ("second", kuHook_GetStringProperty(hook, "name"));
    kuHook_SetStringProperty(hook, "name", nullptr);
    EXPECT_EQ(nullptr, kuHook_GetStringProperty(hook, "name"));
    EXPECT_EQ(nullptr, kuHook_GetStringProperty(hook, "Name"));
    // an unnamed property is dropped, copy included
    kuHook_SetStringProperty(hook, "", "lost");
    kuHook_SetStringProperty(hook, nullptr, "lost");
    EXPECT_EQ(nullptr, kuHook_GetStringProperty(hook, ""));
    EXPECT_EQ(nullptr, kuHook_GetStringProperty(hook, nullptr));
}

TEST_F(HookTest, PointerPropertiesAreNotOwned)
{
    // Released here after the hook: a release by the hook would be a double
    // free under the sanitizers.
    void *block = kuMalloc(8);
    int other;
    kuHook *h = kuHook_New();
    kuHook_SetVoidPtrProperty(h, "block", block);
    EXPECT_EQ(block, kuHook_GetVoidPtrProperty(h, "block"));
    kuHook_SetVoidPtrProperty(h, "other", &other);
    kuHook_SetVoidPtrProperty(h, "other", block);
    EXPECT_EQ(block, kuHook_GetVoidPtrProperty(h, "other"));
    kuHook_SetVoidPtrProperty(h, "", block);
    EXPECT_EQ(nullptr, kuHook_GetVoidPtrProperty(h, ""));
    kuHook_Delete(h);
    kuFree(block);
}

TEST_F(HookTest, TheFourKindsOfNameAreSeparate)
{
    kuHook_SetSupportFeature(hook, "x", 1);
    kuHook_SetStringProperty(hook, "x", "text");
    kuHook_SetVoidPtrProperty(hook, "x", &calls);
    kuHook_RegisterHook(hook, "x", first);
    kuHook_SetSupportFeature(hook, "x", 0);
    EXPECT_STREQ("text", kuHook_GetStringProperty(hook, "x"));
    EXPECT_EQ(&calls, kuHook_GetVoidPtrProperty(hook, "x"));
    EXPECT_EQ(0, kuHook_SupportFeature(hook, "x"));
    kuHook_Hook(hook, "x");
    EXPECT_EQ(std::vector<std::string>{"first:x"}, calls.log);
}

TEST(kuHook, NullHookIsInert)
{
    kutest::LogCapture capture;
    kuHook_Delete(nullptr);
    kuHook_RegisterHook(nullptr, "a", first);
    kuHook_Hook(nullptr, "a", 1, 2.0);
    kuHook_SetSupportFeature(nullptr, "a", 1);
    kuHook_SetStringProperty(nullptr, "a", "b");
    kuHook_SetVoidPtrProperty(nullptr, "a", &capture);
    EXPECT_EQ(0, kuHook_SupportFeature(nullptr, "a"));
    EXPECT_EQ(nullptr, kuHook_GetStringProperty(nullptr, "a"));
    EXPECT_EQ(nullptr, kuHook_GetVoidPtrProperty(nullptr, "a"));
    EXPECT_TRUE(capture.lines().empty());
}

