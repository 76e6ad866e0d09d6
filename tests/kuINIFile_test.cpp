#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuINIFile.h>

#include "support/OwnedText.h"
#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>


#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Ini {
    kuDictionary *d = kuDictionary_New(0);
    Ini() = default;
    // From a block of exactly the text's size, so that reading past it shows.
    explicit Ini(const std::string &text)
    {
        std::vector<char> exact(text.begin(), text.end());
        EXPECT_EQ(1, kuINIFile_LoadINIFileFromBuffer(exact.data(), exact.size(), d));
    }
    ~Ini() { kuDictionary_Delete(d); }
    Ini(const Ini &) = delete;
    operator kuDictionary *() const { return d; }
    // Every entry as "key=value|", in order.
    std::string dump() const
    {
        std::string all;
        for (uint32_t i = 0; i < kuDictionary_GetEntryCount(d); i++)
            all += std::string(kuDictionary_GetKeyAtIndex(d, i)) + "=" +
                   kuDictionary_GetValueAtIndex(d, i) + "|";
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

using kutest::orNull;

TEST(INIFileParse, LinesAndTheirLimits)
{
    // Each text gives "default=|" and then these entries.
    const struct { std::string text, entries; } cases[] = {
        // values
        {"a=1\n[Net]\nHost = box ; comment\nName=\"x \\\"y\\\"\"\n",
         "default/a=1|net=|net/host=box|net/name=x \"y\"|"},
        {"k=v#w", "default/k=v|"}, {"k='v#w'", "default/k=v#w|"}, {"k", "default/k=|"},
        {"=ignored\nK=MixedCase", "default/k=MixedCase|"}, {"k='it''s'", "default/k=it|"},
        {"k=\"open \\\"q", "default/k=open \"q|"}, {"k=\"a'b\" trailing", "default/k=a'b|"},
        {"k=\"ends in backslash\\", "default/k=ends in backslash|"}, {"k=  ", "default/k=|"},
        {"k=\"\\a\\\\b\"", "default/k=a\\b|"}, {"k=x=y", "default/k=x=y|"},
        {"k= \"  padded  \"", "default/k=  padded  |"}, {"[open=4", "default/[open=4|"},
        // headers
        {"[ Big Section ]\na=1", "big section=|big section/a=1|"},
        {"[tail]junk = 3\nb=2", "tail=|tail/b=2|"}, {"\t[spaced]\t\ne=7", "spaced=|spaced/e=7|"},
        {"[s]\n[]\nc=5\n[ DEFAULT ]\nd=6", "s=|default/c=5|default/d=6|"},
        // line ends, comments, white space, byte order mark, zero bytes
        {"a=1\r\nb=2\rc=3\n\n\r\n  ; note\n\t# note\nd=4",
         "default/a=1|default/b=2|default/c=3|default/d=4|"},
        {"\xEF\xBB\xBF" "a=1", "default/a=1|"},
        {"x=1\n\xEF\xBB\xBFy=2", "default/x=1|default/\xEF\xBB\xBFy=2|"},
        {"\n\xEF\xBB\xBFz=3", "default/\xEF\xBB\xBFz=3|"}, {"\xEF\xBB\xBF", ""},
        {std::string("a=1\0junk=9\nb=2\n\0\nc=3", 21), "default/a=1|default/b=2|default/c=3|"},
        // unterminated at the very end of the buffer
        {"[", "default/[=|"}, {"[sec", "default/[sec=|"}, {"k=\"", "default/k=|"},
        {"\xEF\xBB", "default/\xEF\xBB=|"},
    };
    for (const auto &c : cases)
        EXPECT_EQ("default=|" + c.entries, Ini(c.text).dump()) << c.text;

    // Names at 127 bytes, from a file and through the functions alike.
    std::string longSection(200, 'S'), longKey(300, 'K');
    Ini names("[" + longSection + "]\n" + longKey + "=v\n");
    std::string entry = std::string(127, 's') + "/" + std::string(127, 'k');
    EXPECT_EQ("v", names.value(entry));
    kuINIFile_WriteKeyAsString(names, longSection.c_str(), (longKey + "X").c_str(), "w");
    EXPECT_EQ("w", names.value(entry));

    // Lines are read in pieces of 1023 bytes: the rest of a long line is a
    // line of its own (here a key cut to 127 bytes).
    Ini lines("k=" + std::string(1500, 'v') + "\nnext=1\n");
    EXPECT_EQ(std::string(1021, 'v'), lines.value("default/k"));
    EXPECT_EQ("", lines.value("default/" + std::string(127, 'v')));
    EXPECT_EQ("1", lines.value("default/next"));
    // Exactly 1023 bytes, then the line feed as an empty line.
    Ini exact("k=" + std::string(1021, 'x') + "\nn=2\n");
    EXPECT_EQ(std::string(1021, 'x'), exact.value("default/k"));
    EXPECT_EQ(3u, kuDictionary_GetEntryCount(exact));
}

TEST(INIFileSave, Layout)
{
    Ini quoting;
    const char *values[][2] = {{"plain", "abc=def[x]"}, {"space", "a b"}, {"lead", " x"},
                               {"tab", "\tx"},          {"inner", "a\tb"}, {"quotes", "'\"\\"},
                               {"empty", ""},           {"single", "'q"}};
    for (auto &kv : values)
        kuINIFile_WriteKeyAsString(quoting, nullptr, kv[0], kv[1]);
    EXPECT_EQ("plain=abc=def[x]\nspace=\"a b\"\nlead=\" x\"\ntab=\"\tx\"\ninner=a\tb\n"
              "quotes=\"\\'\\\"\\\\\"\nempty=\nsingle=\"\\'q\"\n",
              quoting.saved());

    // Keys outside any section are not written; "default" has no header, so
    // its keys stand where the section stands.
    Ini moved;
    kuDictionary_WriteKey(moved, "s/k", "v");
    kuINIFile_WriteKeyAsString(moved, "First", "k", "1");
    kuINIFile_WriteKeyAsString(moved, nullptr, "d", "2");
    kuINIFile_WriteKeyAsString(moved, "empty", nullptr, nullptr);
    kuINIFile_WriteKeyAsString(moved, "last", "k", "3");
    EXPECT_EQ("[first]\nk=1\nd=2\n\n[empty]\n\n[last]\nk=3\n", moved.saved());

    // Lines are cut to 1023 bytes, line feed included; loading cuts at the
    // same place, so the file reads back as written.
    Ini longValue;
    kuINIFile_WriteKeyAsString(longValue, nullptr, "k", std::string(1500, 'v').c_str());
    kuINIFile_WriteKeyAsString(longValue, nullptr, "q", (std::string(1100, 'w') + " ").c_str());
    kuINIFile_WriteKeyAsString(longValue, nullptr, "after", "1");
    std::string x(1020, 'x'); // fits exactly
    kuINIFile_WriteKeyAsString(longValue, nullptr, "e", x.c_str());
    std::string text = longValue.saved();
    std::string cut = "k=" + std::string(1021, 'v') + "q=\"" + std::string(1020, 'w');
    EXPECT_EQ(cut + "after=1\ne=" + x + "\n", text);
    Ini back(text);
    EXPECT_EQ(std::string(1020, 'w'), back.value("default/q"));
    EXPECT_EQ("1", back.value("default/after"));
}

TEST(INIFileAccess, TypedValuesAndSectionsMadeByReading)
{
    Ini ini("u=4294967295\nneg=-5\npart=12x\nd=2.5e3\nword=abc\n"
            "yes=yes\nTrue=True\nno=n\nzero=0\nminus=-1\nmaybe=maybe\nempty=\n");
    int found = 0;
    EXPECT_EQ(4294967295u, kuINIFile_ReadKeyAsUInt32(ini, "", "u", 1, &found));
    EXPECT_EQ(1u, kuINIFile_ReadKeyAsUInt32(ini, "", "part", 1, &found)); // not a whole number
    EXPECT_EQ(1, found);
    EXPECT_EQ(-5, kuINIFile_ReadKeyAsInt32(ini, nullptr, "neg", 1, &found));
    EXPECT_EQ(1, kuINIFile_ReadKeyAsInt32(ini, nullptr, "u", 1, &found));
    EXPECT_EQ(9, kuINIFile_ReadKeyAsInt32(ini, nullptr, "missing", 9, &found));
    EXPECT_EQ(0, found);
    EXPECT_DOUBLE_EQ(2500.0, kuINIFile_ReadKeyAsDouble(ini, nullptr, "d", 1.0, &found));
    EXPECT_DOUBLE_EQ(1.5, kuINIFile_ReadKeyAsDouble(ini, nullptr, "missing", 1.5, &found));

    kutest::LogCapture log;
    for (auto [key, expected] : {std::pair("yes", 1), {"true", 1}, {"no", 0}, {"zero", 0},
                                 {"minus", 1}, {"missing", 7}})
        EXPECT_EQ(expected, kuINIFile_ReadKeyAsBool(ini, nullptr, key, 7, &found)) << key;
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(5, kuINIFile_ReadKeyAsBool(ini, "", "Maybe", 5, &found));
    EXPECT_EQ(3, kuINIFile_ReadKeyAsBool(ini, nullptr, "empty", 3, &found));
    std::vector<std::string> lines = log.lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(0u, lines[0].find("KU 1 23 kuvanaTools/kuINIFile:"));
    EXPECT_NE(std::string::npos, lines[0].find(": kuINIFile: invalid value 'maybe' for a boolean "
                                               "for entry '/Maybe' (returning 5) "));
    EXPECT_NE(std::string::npos, lines[1].find("entry '(null)/empty' (returning 3)"));

    Ini written;
    kuINIFile_WriteKeyAsUInt32(written, "N", "u", 4294967295u);
    kuINIFile_WriteKeyAsInt32(written, "N", "i", INT32_MIN);
    kuINIFile_WriteKeyAsDouble(written, "N", "d", 0.125);
    kuINIFile_WriteKeyAsBool(written, "N", "b", 7);
    kuINIFile_WriteKeyAsBool(written, "N", "f", 0);
    kuINIFile_WriteKeyAsString(written, "N", "Null", nullptr);
    EXPECT_EQ("n=|n/u=4294967295|n/i=-2147483648|n/d=0.125|n/b=1|n/f=0|n/null=|", written.dump());
    // A null key sets the section's own value; writing a key empties it
    // again, even when the new value is that very text.
    kuINIFile_WriteKeyAsString(written, "N", nullptr, "section value");
    const char *own = kuINIFile_ReadKeyAsString(written, "n", nullptr, nullptr, &found);
    EXPECT_EQ("section value", orNull(own));
    kuINIFile_WriteKeyAsString(written, "n", "copy", own + 8);
    EXPECT_EQ("value", written.value("n/copy"));
    EXPECT_EQ("", written.value("n"));

    // Reading a key creates its section.
    Ini net("[net]\nhost=box\n");
    EXPECT_EQ("dflt", orNull(kuINIFile_ReadKeyAsString(net, "Other", "x", "dflt", &found)));
    EXPECT_EQ(0, found);
    EXPECT_EQ(3u, kuINIFile_GetNumberOfSections(net));
    EXPECT_EQ("other", orNull(kuINIFile_GetSectionName(net, 2)));
    // Again after its entry went, or took a value, since the last read.
    kuINIFile_DeleteKey(net, "other", nullptr);
    kuINIFile_ReadKeyAsString(net, "other", "x", nullptr, &found);
    EXPECT_EQ("", net.value("other"));
    kuINIFile_WriteKeyAsString(net, "other", nullptr, "v");
    kuINIFile_ReadKeyAsString(net, "OTHER", "y", nullptr, &found);
    EXPECT_EQ("", net.value("other"));
    // A null key reads the section entry and creates nothing.
    EXPECT_EQ("", orNull(kuINIFile_ReadKeyAsString(net, "NET", nullptr, "d", &found)));
    EXPECT_EQ(1, found);
    EXPECT_EQ("d", orNull(kuINIFile_ReadKeyAsString(net, "absent", nullptr, "d", &found)));
    EXPECT_EQ(3u, kuINIFile_GetNumberOfSections(net));
    // Null, empty and "Default" name one section.
    kuINIFile_WriteKeyAsString(net, nullptr, "k", "1");
    EXPECT_EQ("1", orNull(kuINIFile_ReadKeyAsString(net, "", "K", nullptr, &found)));
    EXPECT_EQ("1", orNull(kuINIFile_ReadKeyAsString(net, "Default", "k", nullptr, &found)));
}

TEST(INIFileAccess, DeletionEnumerationAndNullHandles)
{
    Ini ini("top=0\n[Net]\na=1\nb=2\n[network]\na=3\n[net2]\na=4\n[other]\nnet/a=5\n[net]\nc=6\n");
    ASSERT_EQ(5u, kuINIFile_GetNumberOfSections(ini));
    EXPECT_EQ("", orNull(kuINIFile_GetSectionName(ini, 0)));
    EXPECT_EQ("net", orNull(kuINIFile_GetSectionName(ini, 1)));
    EXPECT_EQ("", orNull(kuINIFile_GetSectionName(ini, 5)));
    EXPECT_EQ("top", orNull(kuINIFile_GetKeyName(ini, "", 0)));
    ASSERT_EQ(3u, kuINIFile_GetNumberOfKeys(ini, "NET"));
    EXPECT_EQ("c", orNull(kuINIFile_GetKeyName(ini, "NET", 2)));
    EXPECT_EQ("", orNull(kuINIFile_GetKeyName(ini, "net", 3)));
    EXPECT_EQ("net/a", orNull(kuINIFile_GetKeyName(ini, "other", 0)));
    EXPECT_EQ(0u, kuINIFile_GetNumberOfKeys(ini, "missing"));

    // Other sections that share the name's start keep their keys.
    EXPECT_EQ(1, kuINIFile_DeleteSection(ini, "Net"));
    EXPECT_EQ("default=|default/top=0|network=|network/a=3|net2=|net2/a=4|other=|other/net/a=5|",
              ini.dump());
    EXPECT_EQ("network", orNull(kuINIFile_GetSectionName(ini, 1)));
    EXPECT_EQ(1, kuINIFile_DeleteKey(ini, "NETWORK", "A"));
    EXPECT_EQ(0u, kuINIFile_GetNumberOfKeys(ini, "network"));
    kuINIFile_WriteKeyAsString(ini, "network", "New", "v");
    EXPECT_EQ("new", orNull(kuINIFile_GetKeyName(ini, "network", 0)));
    // Without a key only the section entry goes: its keys stay, unsaved.
    EXPECT_EQ(1, kuINIFile_DeleteKey(ini, "net2", nullptr));
    EXPECT_EQ("4", ini.value("net2/a"));
    EXPECT_EQ("top=0\n\n[network]\nnew=v\n\n[other]\nnet/a=5\n", ini.saved());

    // A null text parses as empty; a null dictionary is refused.
    Ini empty;
    EXPECT_EQ(1, kuINIFile_LoadINIFileFromBuffer(nullptr, 10, empty));
    EXPECT_EQ("default=|", empty.dump());
    EXPECT_EQ(0, kuINIFile_LoadINIFileFromBuffer("a=1", 3, nullptr));
    int found = 1;
    EXPECT_EQ(0, kuINIFile_WriteKeyAsString(nullptr, "a", "b", "c"));
    EXPECT_EQ(nullptr, kuINIFile_ReadKeyAsString(nullptr, "a", "b", "c", &found));
    EXPECT_EQ(0, found);
    EXPECT_EQ(0u, kuINIFile_ReadKeyAsUInt32(nullptr, "a", "b", 5, &found));
    EXPECT_EQ(0, kuINIFile_DeleteSection(nullptr, "a"));
    EXPECT_EQ(0u, kuINIFile_GetNumberOfSections(nullptr));
    EXPECT_EQ(nullptr, kuINIFile_GetKeyName(nullptr, "a", 0));

    char buffer[32];
    EXPECT_EQ(buffer + 10, kuINIFile_S_ToLower("MiXeD 1/\xC3\x89", buffer));
    EXPECT_STREQ("mixed 1/\xC3\x89", buffer);
    EXPECT_EQ(buffer + 10, kuINIFile_S_ToLower(buffer, buffer));
    EXPECT_STREQ("mixed 1/\xC3\x89", buffer);

    EXPECT_EQ(nullptr, GetLocaleAsString(nullptr, 10));
}

TEST(INIFileFiles, NoInjectedLinesChunkedLoadsAndFailures)
{
    // A name or value from outside must not be able to add sections or keys: a
    // line break is written as a space, so it quotes the value as a space does.
    Ini injected;
    kuINIFile_WriteKeyAsString(injected, "net", "name", "x\n[evil]\nroot=1");
    kuINIFile_WriteKeyAsString(injected, "a\nb", "c\rd", "kept");
    std::string saved = injected.saved();
    EXPECT_EQ("[net]\nname=\"x [evil] root=1\"\n\n[a b]\nc d=kept\n", saved);
    Ini back(saved);
    EXPECT_EQ("default=|net=|net/name=x [evil] root=1|a b=|a b/c d=kept|", back.dump());
    EXPECT_EQ(saved, back.saved());

    kutest::TempDir dir;
    std::string path = dir.file("in.ini");
    kutest::ScopedPlatformHooks hooks;
    std::vector<size_t> counts;
    int failAt = 0; // the read that fails, counted from 1
    hooks->fileRead = [&](kuFile *f, void *b, size_t n) -> ptrdiff_t {
        counts.push_back(n);
        return (int)counts.size() == failAt ? -1 : kutest::real::fileRead(f, b, n);
    };
    for (size_t size : {0, 99, 100, 12345}) {
        std::string text = "[s]\n";
        for (int k = 0; text.size() + 12 <= size; k++)
            text += "k" + std::to_string(k) + "=v\n";
        text.resize(std::max(size, text.size()), '#');
        kutest::writeFile(path, text);
        counts.clear();
        Ini fromFile;
        ASSERT_EQ(1, kuINIFile_LoadINIFile(path.c_str(), fromFile));
        EXPECT_EQ(Ini(text).dump(), fromFile.dump()) << size;
        EXPECT_EQ(std::vector<size_t>(text.size() / 100 + 1, 100), counts);
    }

    // A failed open or read changes nothing.
    Ini ini("a=1\n");
    EXPECT_EQ(0, kuINIFile_LoadINIFile(dir.file("missing.ini").c_str(), ini));
    EXPECT_EQ(0, kuINIFile_LoadINIFile(nullptr, ini));
    EXPECT_EQ(0, kuINIFile_LoadINIFile(path.c_str(), nullptr));
    counts.clear();
    failAt = 3;
    EXPECT_EQ(0, kuINIFile_LoadINIFile(path.c_str(), ini));
    EXPECT_EQ("default=|default/a=1|", ini.dump());

    EXPECT_EQ(0, kuINIFile_SaveINIFile("", ini));
    EXPECT_EQ(0, kuINIFile_SaveINIFile(nullptr, ini));
    EXPECT_EQ(0, kuINIFile_SaveINIFile(dir.file("no/such/dir.ini").c_str(), ini));
    EXPECT_EQ(0, kuINIFile_SaveINIFile(dir.file("x.ini").c_str(), nullptr));

    // Write and close failures are not reported by the plain save.
    hooks->fileWrite = [](kuFile *, const void *, size_t) -> ptrdiff_t { return -1; };
    hooks->fileClose = [](kuFile *f) { return kutest::real::fileClose(f), -1; };
    EXPECT_EQ(1, kuINIFile_SaveINIFile(dir.file("w.ini").c_str(), ini));
}

} // namespace
