#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuStringSubstitution.h>

#include "support/OwnedText.h"
#include "support/PlatformFake.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <map>
#include <string>
#include <string.h>
#include <unistd.h>

using kutest::take;

// Host name served to the library while set; the real one otherwise.
static const char *gFakeHost = nullptr;

extern "C" int gethostname(char *name, size_t length) noexcept
{
    if (gFakeHost == nullptr)
        return ((int (*)(char *, size_t))dlsym(RTLD_NEXT, "gethostname"))(name, length);
    strncpy(name, gFakeHost, length);
    if (strlen(gFakeHost) < length)
        return 0;
    errno = ENAMETOOLONG;
    return -1;
}

namespace {

using Table = std::map<std::string, std::string>;

int gCalls = 0; // names asked of fromTable

char *fromTable(const char *name, void *context)
{
    gCalls++;
    auto it = ((Table *)context)->find(name);
    return it != ((Table *)context)->end() ? kuStrdup(it->second.c_str()) : nullptr;
}

// With open null, the one-character form with '%'.
std::string substitute(const char *text, Table values, int reexpand = 0,
                       const char *open = nullptr, const char *close = nullptr)
{
    if (open == nullptr)
        return take(kuStringSubstitution_Substitute(text, '%', reexpand, fromTable, &values));
    return take(kuStringSubstitution_SubstituteEx(text, open, close, reexpand, fromTable, &values));
}

} // namespace

TEST(kuStringSubstitution, ReferencesAndReexpansion)
{
    kutest::ScopedPlatformHooks hooks;
    hooks->getenv = [](const char *name) -> char * {
        return strcmp(name, "HOME") == 0 ? kuStrdup("/home/u") : strcmp(name, "EMPTY") == 0 ? kuStrdup("") : nullptr;
    };
    EXPECT_EQ("x/home/uy", take(kuStringSubstitution_Substitute("x%env.HOME%y", '%', 0, nullptr, nullptr)));
    EXPECT_EQ("<null>", take(kuStringSubstitution_Substitute(nullptr, '%', 0, nullptr, nullptr)));
    EXPECT_EQ("a%b%", take(kuStringSubstitution_Substitute("a%b%", '\0', 1, nullptr, nullptr)));
    EXPECT_EQ("100%", substitute("100%%", {}));
    EXPECT_EQ("xy", substitute("x%env.EMPTY%y%env.UNSET%", {}));
    // An unterminated reference leaves the rest alone, after earlier ones.
    EXPECT_EQ("1-%b", substitute("%a%-%b", {{"a", "1"}}));
    // The resolver is asked first, the environment after it.
    EXPECT_EQ("mine", substitute("%env.HOME%", {{"env.HOME", "mine"}}));

    EXPECT_EQ("aVb", substitute("a${name}b", {{"name", "V"}}, 0, "${", "}"));
    EXPECT_EQ("E", substitute("${}", {{"", "E"}}, 0, "${", "}")); // no special empty name
    // The closing string is searched right after the opening one.
    EXPECT_EQ("Ename<", substitute("<<name<", {{"", "E"}}, 0, "<", "<"));
    EXPECT_EQ("V]", substitute("[[name]]]", {{"name", "V"}}, 0, "[[", "]]"));
    EXPECT_EQ("V", substitute("{{a}}", {{"a", "{{b}}"}, {"b", "V"}}, 1, "{{", "}}"));
    // Empty or null delimiters mean there are no references.
    EXPECT_EQ("a%%b", substitute("a%%b", {{"", "E"}}, 1, "", "%"));
    EXPECT_EQ("a%%b", substitute("a%%b", {{"", "E"}}, 1, "%", nullptr));

    EXPECT_EQ("B", substitute("%a%", {{"a", "%b%"}, {"b", "B"}}, 1));
    EXPECT_EQ("%b%", substitute("%a%", {{"a", "%b%"}, {"b", "B"}}, 0));
    // A reference may straddle the end of a value; "%%" gives a '%' that is
    // scanned again.
    EXPECT_EQ("C.", substitute("%a%c%.", {{"a", "%"}, {"c", "C"}}, 1));
    EXPECT_EQ("Xy", substitute("%%x%y", {{"x", "X"}}, 1));
    // A value that refers to itself: after the bound, the last value found is
    // inserted without being scanned, and the rest of the text is still
    // substituted, without re-expansion from then on.
    const int levels = KU_SUBSTITUTION_MAX_REEXPANSIONS + 2;
    std::string nested = std::string(levels, '<') + "%a%" + std::string(levels, '>');
    gCalls = 0;
    EXPECT_EQ(nested + "-%b%<%a%>", substitute("%a%-%b%%a%", {{"a", "<%a%>"}, {"b", "%b%"}}, 1));
    EXPECT_EQ(levels + 2, gCalls);
}

TEST(kuStringSubstitution, HostNameResolver)
{
    // A dotted IPv4 address stays whole; other names are cut at the first
    // '.'; a name longer than 63 bytes is cut there.
    std::string longName(80, 'h'), cut(63, 'h');
    const char *cases[][2] = {{"box.local", "box"}, {"192.168.1.5", "192.168.1.5"}, {"10.1", "10"}, {"plain", "plain"},
                              {"1.2.3.4.5", "1"},   {"", ""},    {"1.2.3.x4", "1"}, {longName.c_str(), cut.c_str()}};
    for (const auto &c : cases) {
        gFakeHost = c[0];
        EXPECT_EQ(c[1], take(kuStringSubstitution_Replace_HostName("hostname", nullptr))) << c[0];
    }
    gFakeHost = "box.local";
    EXPECT_EQ("<null>", take(kuStringSubstitution_Replace_HostName("HOSTNAME", nullptr)));
    EXPECT_EQ("at box", take(kuStringSubstitution_Substitute("at %hostname%", '%', 0,
                                                             kuStringSubstitution_Replace_HostName, nullptr)));
    gFakeHost = nullptr;
    EXPECT_NE("<null>", take(kuStringSubstitution_Replace_HostName("hostname", nullptr)));
}
