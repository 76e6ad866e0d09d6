#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuINIFile.h>
#include <kuvanaTools/kuMemory.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

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

} // namespace
