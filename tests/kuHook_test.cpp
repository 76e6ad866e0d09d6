#include <kuvanaTools/kuHook.h>
#include <kuvanaTools/kuMemory.h>

#include "support/TestUtil.h"

#include <gtest/gtest.h>


#include <regex>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// Notes what a hook function saw, in the list found through the hook's
// "calls" pointer property, as a real host would find its own state.
void note(kuHook *hook, const std::string &entry)
{
    static_cast<Calls *>(kuHook_GetVoidPtrProperty(hook, "calls"))->push_back(entry);
}

void first(kuHook *hook, const char *id, va_list) { note(hook, std::string("first:") + id); }
void second(kuHook *hook, const char *id, va_list) { note(hook, std::string("second:") + id); }

// Functions that change their own registration, or delete the hook, while called.
void replaceSelf(kuHook *h, const char *id, va_list)
{
    note(h, "replaceSelf");
    kuHook_RegisterHook(h, id, second);
}
void removeSelf(kuHook *h, const char *id, va_list)
{
    note(h, "removeSelf");
    kuHook_RegisterHook(h, id, nullptr);
}
void deleteHook(kuHook *h, const char *, va_list arguments)
{
    *va_arg(arguments, int *) = 1;
    kuHook_Delete(h);
}

struct HookTest : ::testing::Test {
    void SetUp() override { kuHook_SetVoidPtrProperty(hook, "calls", &calls); }
    void TearDown() override { kuHook_Delete(hook); }
    kuHook *hook = kuHook_New();
    Calls calls;
};

} // namespace

TEST_F(HookTest, RegistrationsFlagsAndPropertiesByName)
{
    kuHook_RegisterHook(hook, "event", first);
    kuHook_RegisterHook(hook, "event", second); // replaces
    kuHook_RegisterHook(hook, "again", replaceSelf);
    kuHook_RegisterHook(hook, "b", removeSelf);
    kuHook_RegisterHook(hook, "", first); // never stored
    for (const char *id : {"event", "again", "again", "b"})
        kuHook_Hook(hook, id);
    kuHook_RegisterHook(hook, "event", nullptr); // unregisters
    kuHook_RegisterHook(hook, "never", nullptr);
    kutest::LogCapture capture;
    for (const char *id :
         {"event", "again", "b", "Again", "agai", "again ", "", (const char *)nullptr})
        kuHook_Hook(hook, id);
    EXPECT_EQ((Calls{"second:event", "replaceSelf", "second:again", "removeSelf", "second:again"}),
              calls);
    const std::regex record("KU 1 0 kuvanaTools/kuHook:[0-9]+: kuHook: unknown hook ID '(.*)'");
    Calls ids;
    std::smatch m;
    for (const std::string &line : capture.lines())
        ids.push_back(std::regex_match(line, m, record) ? m[1].str() : "unexpected: " + line);
    EXPECT_EQ((Calls{"event", "b", "Again", "agai", "again ", "", "(null)"}), ids);

    kuHook *doomed = kuHook_New();
    kuHook_RegisterHook(doomed, "bye", deleteHook);
    int called = 0;
    kuHook_Hook(doomed, "bye", &called);
    EXPECT_EQ(1, called);

    // A null hook does nothing and logs nothing.
    kutest::LogCapture quiet;
    kuHook_Delete(nullptr);
    kuHook_RegisterHook(nullptr, "a", first);
    kuHook_Hook(nullptr, "a", 1, 2.0);
    kuHook_SetSupportFeature(nullptr, "a", 1);
    kuHook_SetStringProperty(nullptr, "a", "b");
    kuHook_SetVoidPtrProperty(nullptr, "a", &called);
    EXPECT_EQ(0, kuHook_SupportFeature(nullptr, "a"));
    EXPECT_EQ(nullptr, kuHook_GetStringProperty(nullptr, "a"));
    EXPECT_EQ(nullptr, kuHook_GetVoidPtrProperty(nullptr, "a"));
    EXPECT_TRUE(quiet.lines().empty());

    // Any nonzero value sets a flag; set twice, it is stored once.
    for (auto [name, value] : {std::make_pair("seek", 0), {"seek", 1}, {"seek", 1}, {"pause", -5},
                               {"", 1}, {nullptr, 1}})
        kuHook_SetSupportFeature(hook, name, value);
    std::string set;
    for (const char *name : {"seek", "pause", "Seek", "", (const char *)nullptr})
        set += (char)('0' + kuHook_SupportFeature(hook, name));
    EXPECT_EQ("11000", set);
    kuHook_SetSupportFeature(hook, "seek", 0);
    EXPECT_EQ(0, kuHook_SupportFeature(hook, "seek"));
    EXPECT_EQ(1, kuHook_SupportFeature(hook, "pause"));

    // Strings are own copies; unnamed ones are dropped, copy included.
    char text[] = "first";
    kuHook_SetStringProperty(hook, "name", text);
    text[0] = 'X';
    EXPECT_STREQ("first", kuHook_GetStringProperty(hook, "name"));
    kuHook_SetStringProperty(hook, "name", "second");
    kuHook_SetStringProperty(hook, "name", kuHook_GetStringProperty(hook, "name")); // its own value
    EXPECT_STREQ("second", kuHook_GetStringProperty(hook, "name"));
    EXPECT_EQ(nullptr, kuHook_GetStringProperty(hook, "Name"));
    for (auto [name, value] :
         {std::make_pair("name", (const char *)nullptr), {"", "lost"}, {nullptr, "lost"}}) {
        kuHook_SetStringProperty(hook, name, value);
        EXPECT_EQ(nullptr, kuHook_GetStringProperty(hook, name));
    }

    // Pointers are not owned (the hook releasing one, when replaced or at the
    // end, shows under the sanitizers); the four kinds of name are separate.
    void *block = kuMalloc(8);
    kuHook_SetVoidPtrProperty(hook, "x", &calls);
    kuHook_SetVoidPtrProperty(hook, "x", block);
    kuHook_SetVoidPtrProperty(hook, "", &calls);
    kuHook_SetStringProperty(hook, "x", "text");
    kuHook_RegisterHook(hook, "x", first);
    kuHook_SetSupportFeature(hook, "x", 0);
    EXPECT_STREQ("text", kuHook_GetStringProperty(hook, "x"));
    EXPECT_EQ(block, kuHook_GetVoidPtrProperty(hook, "x"));
    EXPECT_EQ(nullptr, kuHook_GetVoidPtrProperty(hook, ""));
    kuFree(block);
    kuHook_Hook(hook, "x");
    EXPECT_EQ("first:x", calls.back());
}
