#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuINIFile.h>
#include <kuvanaTools/kuMemory.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

struct Ini {
    kuDictionary *d = kuDictionary_New(0);
    Ini() = default;
    explicit Ini(const std::string &text) { load(text); }
    ~Ini() { kuDictionary_Delete(d); }
    Ini(const Ini &) = delete;
    Ini &operator=(const Ini &) = delete;
    operator kuDictionary *() const { return d; }

    // From a block of exactly the text's size, so that reading past it shows.
    void load(const std::string &text)
    {
        std::vector<char> exact(text.begin(), text.end());
        ASSERT_EQ(1, kuINIFile_LoadINIFileFromBuffer(exact.data(), exact.size(), d));
    }
    Entries entries() const
    {
        Entries all;
        for (uint32_t i = 0; i < kuDictionary_GetEntryCount(d); i++)
            all.emplace_back(kuDictionary_GetKeyAtIndex(d, i), kuDictionary_GetValueAtIndex(d, i));
        return all;
    }
    std::string value(const std::string &key) const
    {
        const char *v = kuDictionary_ReadKey(d, key.c_str(), nullptr);
        return v != nullptr ? v : "<missing>";
    }
    std::string saved() const
    {
        kutest::TempDir dir;
        std::string path = dir.file("out.ini");
        EXPECT_EQ(1, kuINIFile_SaveINIFile(path.c_str(), d));
        return kutest::readFile(path);
    }
};

std::string str(const char *text)
{
    return text != nullptr ? text : "<null>";
}

TEST(INIFileParse, DocumentedExampleLoadsAndSavesExactly)
{
    Ini ini("a=1\n[Net]\nHost = box ; comment\nName=\"x \\\"y\\\"\"\n");
    Entries expected = {{"default", ""},
                        {"default/a", "1"},
                        {"net", ""},
                        {"net/host", "box"},
                        {"net/name", "x \"y\""}};
    EXPECT_EQ(expected, ini.entries());
    EXPECT_EQ("a=1\n\n[net]\nhost=box\nname=\"x \\\"y\\\"\"\n", ini.saved());
}

TEST(INIFileParse, ValueForms)
{
    Ini ini("k1=v#w\n"
            "k2='v#w'\n"
            "k3\n"
            "=ignored\n"
            "k4 = a b ;c\n"
            "k5=\"unterminated \\\"q\n"
            "k6=\"ends in backslash\\\n"
            "k7='it''s'\n"
            "k8=\"a'b\" trailing\n"
            "k9=\"\\a\\\\b\"\n"
            "k10=x=y\n"
            "k11=  \n"
            "k12= \"  padded  \"\n"
            "k13=\"\"\n"
            "K14=MixedCase\n");
    EXPECT_EQ("v", ini.value("default/k1"));
    EXPECT_EQ("v#w", ini.value("default/k2"));
    EXPECT_EQ("", ini.value("default/k3"));
    EXPECT_EQ("a b", ini.value("default/k4"));
    EXPECT_EQ("unterminated \"q", ini.value("default/k5"));
    EXPECT_EQ("ends in backslash", ini.value("default/k6"));
    EXPECT_EQ("it", ini.value("default/k7"));
    EXPECT_EQ("a'b", ini.value("default/k8"));
    EXPECT_EQ("a\\b", ini.value("default/k9"));
    EXPECT_EQ("x=y", ini.value("default/k10"));
    EXPECT_EQ("", ini.value("default/k11"));
    EXPECT_EQ("  padded  ", ini.value("default/k12"));
    EXPECT_EQ("", ini.value("default/k13"));
    EXPECT_EQ("MixedCase", ini.value("default/k14"));
    // "=ignored" stored nothing
    EXPECT_EQ(15u, kuDictionary_GetEntryCount(ini));
}

TEST(INIFileParse, SectionHeaders)
{
    Ini ini("[ Big Section ]\n"
            "a=1\n"
            "[tail]junk = 3\n"
            "b=2\n"
            "[open=4\n"
            "[]\n"
            "c=5\n"
            "[ DEFAULT ]\n"
            "d=6\n"
            "\t[spaced]\t\n"
            "e=7\n");
    int found = 0;
    EXPECT_EQ("1", str(kuINIFile_ReadKeyAsString(ini, "BIG SECTION", "A", nullptr, &found)));
    EXPECT_EQ(1, found);
    EXPECT_EQ("2", ini.value("tail/b"));
    EXPECT_EQ("4", ini.value("tail/[open"));
    EXPECT_EQ("5", ini.value("default/c"));
    EXPECT_EQ("6", ini.value("default/d"));
    EXPECT_EQ("7", ini.value("spaced/e"));
    EXPECT_EQ("<missing>", ini.value("tail/junk"));
    // Sections: default, big section, tail, spaced.
    EXPECT_EQ(4u, kuINIFile_GetNumberOfSections(ini));
    EXPECT_EQ("", str(kuINIFile_GetSectionName(ini, 0)));
    EXPECT_EQ("big section", str(kuINIFile_GetSectionName(ini, 1)));
}

TEST(INIFileParse, NamesAreCutTo127Bytes)
{
    std::string longSection(200, 'S');
    std::string longKey(300, 'K');
    Ini ini("[" + longSection + "]\n" + longKey + "=v\n");
    std::string section(127, 's');
    EXPECT_EQ("v", ini.value(section + "/" + std::string(127, 'k')));
    // The same cut applies to names given to the functions.
    int found = 0;
    EXPECT_EQ("v", str(kuINIFile_ReadKeyAsString(ini, longSection.c_str(), longKey.c_str(),
                                                 nullptr, &found)));
    kuINIFile_WriteKeyAsString(ini, longSection.c_str(), (longKey + "X").c_str(), "w");
    EXPECT_EQ("w", ini.value(section + "/" + std::string(127, 'k')));
}

TEST(INIFileParse, LineBreaksAndByteOrderMark)
{
    Ini ini("\xEF\xBB\xBF"
            "a=1\r\nb=2\rc=3\n\n\r\n  ; indented comment\n\t# another\nd=4");
    Entries expected = {{"default", ""},       {"default/a", "1"}, {"default/b", "2"},
                        {"default/c", "3"},    {"default/d", "4"}};
    EXPECT_EQ(expected, ini.entries());

    // Only the first line loses the mark.
    Ini second("x=1\n\xEF\xBB\xBFy=2\n");
    EXPECT_EQ("2", second.value("default/\xef\xbb\xbfy"));
    Ini shortFirst("\n\xEF\xBB\xBFz=3");
    EXPECT_EQ("3", shortFirst.value("default/\xef\xbb\xbfz"));
    Ini onlyMark("\xEF\xBB\xBF");
    EXPECT_EQ(1u, kuDictionary_GetEntryCount(onlyMark));
}

TEST(INIFileParse, LongLinesAreReadIn1023BytePieces)
{
    // 2 + 1500 bytes: the first piece holds "k=" and 1021 bytes of value,
    // the rest is a line of its own (a key cut to 127 bytes).
    std::string value(1500, 'v');
    Ini ini("k=" + value + "\nnext=1\n");
    EXPECT_EQ(std::string(1021, 'v'), ini.value("default/k"));
    EXPECT_EQ("", ini.value("default/" + std::string(127, 'v')));
    EXPECT_EQ("1", ini.value("default/next"));

    // A line of exactly 1023 bytes and its line feed: the feed is an empty
    // line of its own.
    Ini exact("k=" + std::string(1021, 'x') + "\nn=2\n");
    EXPECT_EQ(std::string(1021, 'x'), exact.value("default/k"));
    EXPECT_EQ("2", exact.value("default/n"));
    EXPECT_EQ(3u, kuDictionary_GetEntryCount(exact));
}

TEST(INIFileParse, ZeroBytesEndTheirLine)
{
    std::string text = std::string("a=1\0junk=9\nb=2\n\0\nc=3", 21);
    Ini ini(text);
    Entries expected = {{"default", ""}, {"default/a", "1"}, {"default/b", "2"}, {"default/c", "3"}};
    EXPECT_EQ(expected, ini.entries());
}

TEST(INIFileParse, HostileInputNeverReadsPastTheBuffer)
{
    std::mt19937 rng(7);
    const std::string alphabet = std::string("[]=;#\"'\\ \t\r\n\0\xEF\xBB\xBF\xff\x80", 19) + "aZ09/";
    for (int round = 0; round < 300; round++) {
        std::string text(rng() % 3000, '\0');
        for (char &c : text)
            c = rng() % 4 == 0 ? (char)(rng() & 0xff) : alphabet[rng() % alphabet.size()];
        Ini ini(text);
        if (round % 25 == 0) // saving syncs to disk: now and then is enough
            ini.saved();
        // Every key found by enumeration reads back.
        for (uint32_t s = 0; s < kuINIFile_GetNumberOfSections(ini); s++) {
            std::string section = kuINIFile_GetSectionName(ini, s);
            for (uint32_t k = 0; k < kuINIFile_GetNumberOfKeys(ini, section.c_str()); k++) {
                int found = 0;
                kuINIFile_ReadKeyAsString(ini, section.c_str(),
                                          kuINIFile_GetKeyName(ini, section.c_str(), k), nullptr,
                                          &found);
                ASSERT_EQ(1, found);
            }
        }
    }
    // Unterminated forms at the very end of the buffer.
    for (const char *tail : {"[", "[sec", "k=\"", "k='abc\\", "k=\\", "=", "k", "\xEF\xBB"}) {
        Ini ini(tail);
        EXPECT_GE(kuDictionary_GetEntryCount(ini), 1u) << tail;
    }
    // A null text parses as empty; a null dictionary is refused.
    Ini empty;
    EXPECT_EQ(1, kuINIFile_LoadINIFileFromBuffer(nullptr, 10, empty));
    EXPECT_EQ(1u, kuDictionary_GetEntryCount(empty));
    EXPECT_EQ(0, kuINIFile_LoadINIFileFromBuffer("a=1", 3, nullptr));
}

TEST(INIFileParse, HugeInputLoads)
{
    // 4 MiB in 100 000 sections of lines long and short.
    std::string text;
    for (int s = 0; s < 100000; s++) {
        text += "[s" + std::to_string(s) + "]\nk=" + std::string(s % 37, 'x') + "\n";
        if (s % 1000 == 0)
            text += std::string(5000, 'y') + "\n";
    }
    Ini ini(text);
    EXPECT_EQ(100001u, kuINIFile_GetNumberOfSections(ini));
    EXPECT_EQ(std::string(36, 'x'), ini.value("s36/k"));
    EXPECT_EQ(1u, kuINIFile_GetNumberOfKeys(ini, "s99999"));
}

// Values holding every character a line may hold, and keys the parser can
// produce, survive a save and a load.
TEST(INIFileRoundTrip, RandomFilesSurviveSaveAndLoad)
{
    std::mt19937 rng(11);
    const std::string valueChars = "ab Z9 \t\"'\\#;=[]/%\x01\x7f\xc3\xa9\xff";
    const std::string keyChars = "abZ9_.-/\"'\\[ \xc3\xa9";
    auto randomText = [&](const std::string &chars, size_t maxLength) {
        std::string t(rng() % (maxLength + 1), 'x');
        for (char &c : t)
            c = chars[rng() % chars.size()];
        return t;
    };
    for (int round = 0; round < 40; round++) {
        Ini original;
        kuINIFile_WriteKeyAsString(original, nullptr, nullptr, nullptr);
        int sections = 1 + rng() % 8;
        for (int s = 0; s < sections; s++) {
            std::string section = s == 0 ? "" : "Sec" + std::to_string(s) + randomText("a b", 3) + "x";
            for (int k = rng() % 6; k > 0; k--) {
                std::string key = "K" + randomText(keyChars, 20) + "e";
                std::string value = randomText(valueChars, 120);
                kuINIFile_WriteKeyAsString(original, section.c_str(), key.c_str(), value.c_str());
            }
        }
        Entries before = original.entries();
        std::string text = original.saved();
        Ini reloaded(text);
        EXPECT_EQ(before, reloaded.entries());
        EXPECT_EQ(text, reloaded.saved());
    }
}

TEST(INIFileRoundTrip, QuotingOnlyWhereNeeded)
{
    Ini ini;
    kuINIFile_WriteKeyAsString(ini, nullptr, "plain", "abc=def[x]");
    kuINIFile_WriteKeyAsString(ini, nullptr, "space", "a b");
    kuINIFile_WriteKeyAsString(ini, nullptr, "lead", " x");
    kuINIFile_WriteKeyAsString(ini, nullptr, "tab", "\tx");
    kuINIFile_WriteKeyAsString(ini, nullptr, "inner", "a\tb");
    kuINIFile_WriteKeyAsString(ini, nullptr, "quotes", "'\"\\");
    kuINIFile_WriteKeyAsString(ini, nullptr, "empty", "");
    EXPECT_EQ("plain=abc=def[x]\n"
              "space=\"a b\"\n"
              "lead=\" x\"\n"
              "tab=\"\tx\"\n"
              "inner=a\tb\n"
              "quotes=\"\\'\\\"\\\\\"\n"
              "empty=\n",
              ini.saved());
    Ini back(ini.saved());
    EXPECT_EQ(ini.entries(), back.entries());
}

TEST(INIFileAccess, ReadingAKeyCreatesItsSection)
{
    Ini ini("[net]\nhost=box\n");
    uint32_t before = kuINIFile_GetNumberOfSections(ini);
    int found = 1;
    EXPECT_EQ("dflt", str(kuINIFile_ReadKeyAsString(ini, "Other", "x", "dflt", &found)));
    EXPECT_EQ(0, found);
    EXPECT_EQ(before + 1, kuINIFile_GetNumberOfSections(ini));
    EXPECT_EQ("other", str(kuINIFile_GetSectionName(ini, before)));
    EXPECT_EQ(0u, kuINIFile_GetNumberOfKeys(ini, "other"));
    // A null key reads the section entry and creates nothing.
    EXPECT_EQ("", str(kuINIFile_ReadKeyAsString(ini, "NET", nullptr, "d", &found)));
    EXPECT_EQ(1, found);
    EXPECT_EQ("d", str(kuINIFile_ReadKeyAsString(ini, "absent", nullptr, "d", &found)));
    EXPECT_EQ(0, found);
    EXPECT_EQ(before + 1, kuINIFile_GetNumberOfSections(ini));
    // Null and empty section names are "default".
    kuINIFile_WriteKeyAsString(ini, nullptr, "k", "1");
    EXPECT_EQ("1", str(kuINIFile_ReadKeyAsString(ini, "", "K", nullptr, &found)));
    EXPECT_EQ("1", str(kuINIFile_ReadKeyAsString(ini, "Default", "k", nullptr, &found)));
}

TEST(INIFileAccess, TypedReaders)
{
    Ini ini("u=4294967295\nbig=4294967296\nneg=-5\npart=12x\nspace=\" 7\"\n"
            "d=2.5e3\nword=abc\nyes=yes\nTrue=True\nno=n\nzero=0\nminus=-1\n"
            "maybe=maybe\nempty=\n");
    int found = 0;
    EXPECT_EQ(4294967295u, kuINIFile_ReadKeyAsUInt32(ini, nullptr, "u", 1, &found));
    EXPECT_EQ(1, found);
    EXPECT_EQ(1u, kuINIFile_ReadKeyAsUInt32(ini, nullptr, "big", 1, &found));
    EXPECT_EQ(1u, kuINIFile_ReadKeyAsUInt32(ini, nullptr, "neg", 1, &found));
    EXPECT_EQ(1u, kuINIFile_ReadKeyAsUInt32(ini, nullptr, "part", 1, &found));
    EXPECT_EQ(1, found);
    EXPECT_EQ(7u, kuINIFile_ReadKeyAsUInt32(ini, nullptr, "space", 1, &found));
    EXPECT_EQ(9u, kuINIFile_ReadKeyAsUInt32(ini, nullptr, "missing", 9, &found));
    EXPECT_EQ(0, found);
    EXPECT_EQ(-5, kuINIFile_ReadKeyAsInt32(ini, nullptr, "neg", 1, &found));
    EXPECT_EQ(1, kuINIFile_ReadKeyAsInt32(ini, nullptr, "u", 1, &found));
    EXPECT_DOUBLE_EQ(2500.0, kuINIFile_ReadKeyAsDouble(ini, nullptr, "d", 1.0, &found));
    EXPECT_DOUBLE_EQ(0.0, kuINIFile_ReadKeyAsDouble(ini, nullptr, "word", 1.0, &found));
    EXPECT_DOUBLE_EQ(1.5, kuINIFile_ReadKeyAsDouble(ini, nullptr, "missing", 1.5, &found));

    kutest::LogCapture log;
    EXPECT_EQ(1, kuINIFile_ReadKeyAsBool(ini, nullptr, "yes", 0, &found));
    EXPECT_EQ(1, kuINIFile_ReadKeyAsBool(ini, nullptr, "true", 0, &found));
    EXPECT_EQ(0, kuINIFile_ReadKeyAsBool(ini, nullptr, "no", 1, &found));
    EXPECT_EQ(0, kuINIFile_ReadKeyAsBool(ini, nullptr, "zero", 1, &found));
    EXPECT_EQ(1, kuINIFile_ReadKeyAsBool(ini, nullptr, "minus", 0, &found));
    EXPECT_EQ(7, kuINIFile_ReadKeyAsBool(ini, nullptr, "missing", 7, &found));
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(5, kuINIFile_ReadKeyAsBool(ini, "", "Maybe", 5, &found));
    EXPECT_EQ(1, found);
    EXPECT_EQ(3, kuINIFile_ReadKeyAsBool(ini, nullptr, "empty", 3, &found));
    std::vector<std::string> lines = log.lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos,
              lines[0].find("KU 1 23 kuvanaTools/kuINIFile:"));
    EXPECT_NE(std::string::npos,
              lines[0].find(": kuINIFile: invalid value 'maybe' for a boolean for entry "
                            "'/Maybe' (returning 5) "));
    EXPECT_NE(std::string::npos, lines[1].find("entry '(null)/empty' (returning 3)"));
}

TEST(INIFileAccess, Writers)
{
    Ini ini;
    kuINIFile_WriteKeyAsUInt32(ini, "N", "u", 4294967295u);
    kuINIFile_WriteKeyAsInt32(ini, "N", "i", INT32_MIN);
    kuINIFile_WriteKeyAsDouble(ini, "N", "d", 0.125);
    kuINIFile_WriteKeyAsBool(ini, "N", "b", 7);
    kuINIFile_WriteKeyAsBool(ini, "N", "f", 0);
    kuINIFile_WriteKeyAsString(ini, "N", "Null", nullptr);
    Entries expected = {{"n", ""},        {"n/u", "4294967295"}, {"n/i", "-2147483648"},
                        {"n/d", "0.125"}, {"n/b", "1"},          {"n/f", "0"},
                        {"n/null", ""}};
    EXPECT_EQ(expected, ini.entries());

    // A null key sets the section's own value; writing a key empties it
    // again, even when the new value is that very text.
    kuINIFile_WriteKeyAsString(ini, "N", nullptr, "section value");
    EXPECT_EQ("section value", ini.value("n"));
    int found = 0;
    const char *own = kuINIFile_ReadKeyAsString(ini, "n", nullptr, nullptr, &found);
    kuINIFile_WriteKeyAsString(ini, "n", "copy", own + 8);
    EXPECT_EQ("value", ini.value("n/copy"));
    EXPECT_EQ("", ini.value("n"));

    EXPECT_EQ(0, kuINIFile_WriteKeyAsString(nullptr, "a", "b", "c"));
    EXPECT_EQ(nullptr, kuINIFile_ReadKeyAsString(nullptr, "a", "b", "c", &found));
    EXPECT_EQ(0, found);
    EXPECT_EQ(0u, kuINIFile_ReadKeyAsUInt32(nullptr, "a", "b", 5, &found));
    EXPECT_EQ(0, kuINIFile_DeleteSection(nullptr, "a"));
    EXPECT_EQ(0u, kuINIFile_GetNumberOfSections(nullptr));
}

TEST(INIFileAccess, Substitution)
{
    Ini ini("[s]\npath=%root%/x/%env.KU_INI_TEST_VAR%/%unknown%\n");
    setenv("KU_INI_TEST_VAR", "fromenv", 1);
    auto resolver = [](const char *name, void *context) -> char * {
        EXPECT_EQ(nullptr, context);
        return strcmp(name, "root") == 0 ? kuStrdup("/data") : nullptr;
    };
    int found = 0;
    char *text = kuINIFile_ReadKeyAsStringWithSubstitution(ini, "s", "path", nullptr, &found,
                                                           resolver);
    EXPECT_EQ("/data/x/fromenv/", str(text));
    EXPECT_EQ(1, found);
    kuFree(text);
    text = kuINIFile_ReadKeyAsStringWithSubstitution(ini, "s", "none", "%root%!", &found, resolver);
    EXPECT_EQ("/data!", str(text));
    EXPECT_EQ(0, found);
    kuFree(text);
    EXPECT_EQ(nullptr, kuINIFile_ReadKeyAsStringWithSubstitution(ini, "s", "none", nullptr,
                                                                 &found, resolver));
    unsetenv("KU_INI_TEST_VAR");
}

TEST(INIFileAccess, Deletion)
{
    Ini ini("[Net]\na=1\nb=2\n[network]\na=3\n[net2]\na=4\n[other]\nnet/a=5\n");
    EXPECT_EQ(1, kuINIFile_DeleteSection(ini, "Net"));
    Entries expected = {{"default", ""}, {"network", ""},      {"network/a", "3"}, {"net2", ""},
                        {"net2/a", "4"}, {"other", ""},        {"other/net/a", "5"}};
    EXPECT_EQ(expected, ini.entries());

    EXPECT_EQ(1, kuINIFile_DeleteKey(ini, "NETWORK", "A"));
    EXPECT_EQ("<missing>", ini.value("network/a"));
    // Without a key only the section entry goes; its keys stay but are no
    // longer under a section.
    EXPECT_EQ(1, kuINIFile_DeleteKey(ini, "net2", nullptr));
    EXPECT_EQ("4", ini.value("net2/a"));
    EXPECT_EQ("[network]\n\n[other]\nnet/a=5\n", ini.saved());
    EXPECT_EQ(1, kuINIFile_DeleteKey(ini, "absent", "x"));
}

TEST(INIFileAccess, EnumerationFollowsChanges)
{
    Ini ini("top=0\n[a]\nx=1\ny=2\n[b]\n[a]\nz=3\n");
    ASSERT_EQ(3u, kuINIFile_GetNumberOfSections(ini));
    EXPECT_EQ("", str(kuINIFile_GetSectionName(ini, 0)));
    EXPECT_EQ("a", str(kuINIFile_GetSectionName(ini, 1)));
    EXPECT_EQ("b", str(kuINIFile_GetSectionName(ini, 2)));
    EXPECT_EQ("", str(kuINIFile_GetSectionName(ini, 3)));
    EXPECT_EQ(1u, kuINIFile_GetNumberOfKeys(ini, nullptr));
    EXPECT_EQ("top", str(kuINIFile_GetKeyName(ini, "", 0)));
    ASSERT_EQ(3u, kuINIFile_GetNumberOfKeys(ini, "A"));
    EXPECT_EQ("z", str(kuINIFile_GetKeyName(ini, "A", 2)));
    EXPECT_EQ("", str(kuINIFile_GetKeyName(ini, "A", 3)));
    EXPECT_EQ(0u, kuINIFile_GetNumberOfKeys(ini, "b"));
    EXPECT_EQ("", str(kuINIFile_GetKeyName(ini, "missing", 0)));

    // Every change of the layout shows at once.
    kuINIFile_DeleteKey(ini, "a", "x");
    EXPECT_EQ(2u, kuINIFile_GetNumberOfKeys(ini, "a"));
    EXPECT_EQ("y", str(kuINIFile_GetKeyName(ini, "a", 0)));
    kuINIFile_WriteKeyAsString(ini, "b", "New", "v");
    EXPECT_EQ("new", str(kuINIFile_GetKeyName(ini, "b", 0)));
    kuINIFile_DeleteSection(ini, "a");
    EXPECT_EQ(2u, kuINIFile_GetNumberOfSections(ini));
    EXPECT_EQ("b", str(kuINIFile_GetSectionName(ini, 1)));
    kuINIFile_WriteKeyAsString(ini, "b", "new", "changed value keeps the layout");
    EXPECT_EQ("new", str(kuINIFile_GetKeyName(ini, "b", 0)));

    // A whole-file walk sees every entry once, in order.
    Ini big;
    std::string text;
    for (int s = 0; s < 300; s++) {
        text += "[S" + std::to_string(s) + "]\n";
        for (int k = 0; k < 10; k++)
            text += "K" + std::to_string(k) + "=" + std::to_string(s * 10 + k) + "\n";
    }
    big.load(text);
    int expectedValue = 0;
    for (uint32_t s = 1; s < kuINIFile_GetNumberOfSections(big); s++) {
        std::string section = kuINIFile_GetSectionName(big, s);
        for (uint32_t k = 0; k < kuINIFile_GetNumberOfKeys(big, section.c_str()); k++) {
            int found = 0;
            const char *key = kuINIFile_GetKeyName(big, section.c_str(), k);
            EXPECT_EQ(expectedValue++, kuINIFile_ReadKeyAsInt32(big, section.c_str(), key, -1,
                                                                &found));
        }
    }
    EXPECT_EQ(3000, expectedValue);
}

TEST(INIFileAccess, ToLowerAndLocale)
{
    char buffer[32];
    const char *end = kuINIFile_S_ToLower("MiXeD 1/\xC3\x89", buffer);
    EXPECT_EQ("mixed 1/\xC3\x89", std::string(buffer));
    EXPECT_EQ(buffer + 10, end);
    strcpy(buffer, "INPLACE");
    EXPECT_EQ(buffer + 7, kuINIFile_S_ToLower(buffer, buffer));
    EXPECT_STREQ("inplace", buffer);

    char mine[32];
    char platform[32];
    EXPECT_EQ(str(kuLocale_Get(platform, sizeof platform)),
              str(GetLocaleAsString(mine, sizeof mine)));
    EXPECT_EQ(nullptr, GetLocaleAsString(nullptr, 10));
}

TEST(INIFileFiles, LoadReadsWholeFilesInHundredByteChunks)
{
    kutest::TempDir dir;
    for (size_t size : {0, 1, 99, 100, 200, 12345}) {
        std::string text = "[s]\n";
        while (text.size() + 5 <= size)
            text += "k" + std::to_string(text.size() % 10) + "=v\n";
        text.resize(std::max(size, text.size()), '#');
        std::string path = dir.file("in.ini");
        kutest::writeFile(path, text);

        std::vector<size_t> counts;
        kutest::ScopedPlatformHooks hooks;
        hooks->fileRead = [&](kuFile *f, void *b, size_t n) {
            counts.push_back(n);
            return kutest::real::fileRead(f, b, n);
        };
        Ini fromFile;
        ASSERT_EQ(1, kuINIFile_LoadINIFile(path.c_str(), fromFile));
        Ini fromBuffer(text);
        EXPECT_EQ(fromBuffer.entries(), fromFile.entries()) << size;
        EXPECT_EQ(text.size() / 100 + 1, counts.size());
        for (size_t n : counts)
            EXPECT_EQ(100u, n);
    }
}

TEST(INIFileFiles, FailedLoadsLeaveTheDictionaryAlone)
{
    kutest::TempDir dir;
    Ini ini("a=1\n");
    Entries before = ini.entries();
    EXPECT_EQ(0, kuINIFile_LoadINIFile(dir.file("missing.ini").c_str(), ini));
    EXPECT_EQ(0, kuINIFile_LoadINIFile(nullptr, ini));
    std::string path = dir.file("in.ini");
    kutest::writeFile(path, std::string(250, 'x') + "=1\n");
    int reads = 0;
    kutest::ScopedPlatformHooks hooks;
    hooks->fileRead = [&](kuFile *f, void *b, size_t n) -> ptrdiff_t {
        return ++reads == 3 ? -1 : kutest::real::fileRead(f, b, n);
    };
    EXPECT_EQ(0, kuINIFile_LoadINIFile(path.c_str(), ini));
    EXPECT_EQ(before, ini.entries());
    EXPECT_EQ(0, kuINIFile_LoadINIFile(path.c_str(), nullptr));
}

TEST(INIFileFiles, SaveLayout)
{
    // Nothing but keys outside a section: an empty file.
    Ini none;
    kuDictionary_WriteKey(none, "s/k", "v");
    EXPECT_EQ("", none.saved());

    // The default section's keys stand where the section stands.
    Ini moved;
    kuINIFile_WriteKeyAsString(moved, "First", "k", "1");
    kuINIFile_WriteKeyAsString(moved, nullptr, "d", "2");
    kuINIFile_WriteKeyAsString(moved, "empty", nullptr, nullptr);
    EXPECT_EQ("[first]\nk=1\nd=2\n\n[empty]\n", moved.saved());

    // Lines are cut to 1023 bytes, the line feed with them; loading cuts at
    // the same place, so the file reads back as written.
    Ini longValue;
    kuINIFile_WriteKeyAsString(longValue, nullptr, nullptr, nullptr);
    kuINIFile_WriteKeyAsString(longValue, nullptr, "k", std::string(1500, 'v').c_str());
    kuINIFile_WriteKeyAsString(longValue, nullptr, "q", (std::string(1100, 'w') + " ").c_str());
    kuINIFile_WriteKeyAsString(longValue, nullptr, "after", "1");
    std::string text = longValue.saved();
    EXPECT_EQ("k=" + std::string(1021, 'v') + "q=\"" + std::string(1020, 'w') + "after=1\n",
              text);
    Ini back(text);
    EXPECT_EQ(std::string(1021, 'v'), back.value("default/k"));
    EXPECT_EQ(std::string(1020, 'w'), back.value("default/q"));
    EXPECT_EQ("1", back.value("default/after"));
}

TEST(INIFileFiles, SaveFailures)
{
    kutest::TempDir dir;
    Ini ini("a=1\n");
    EXPECT_EQ(0, kuINIFile_SaveINIFile("", ini));
    EXPECT_EQ(0, kuINIFile_SaveINIFile(nullptr, ini));
    EXPECT_EQ(0, kuINIFile_SaveINIFile(dir.file("no/such/dir.ini").c_str(), ini));
    EXPECT_EQ(0, kuINIFile_SaveINIFile(dir.file("x.ini").c_str(), nullptr));

    // The path is normalised, a relative one from the current directory.
    char *here = getcwd(nullptr, 0);
    ASSERT_EQ(0, chdir(dir.path().c_str()));
    EXPECT_EQ(1, kuINIFile_SaveINIFile("./missing/../rel.ini", ini));
    ASSERT_EQ(0, chdir(here));
    free(here);
    EXPECT_EQ("a=1\n", kutest::readFile(dir.file("rel.ini")));

    // Write and close failures are not reported by the plain save.
    kutest::ScopedPlatformHooks hooks;
    hooks->fileWrite = [](kuFile *, const void *, size_t) -> ptrdiff_t { return -1; };
    hooks->fileClose = [](kuFile *f) {
        kutest::real::fileClose(f);
        return -1;
    };
    EXPECT_EQ(1, kuINIFile_SaveINIFile(dir.file("w.ini").c_str(), ini));
}

} // namespace
