#include <kuvanaTools/kuCStringParser.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

using kutest::take;

using Tokens = std::vector<std::string>;

// The token texts; also checks that the chain ends at the last token (the
// fuzz target checks the count and that tokens lie inside their range).
Tokens texts(kuCStringTokenList *list)
{
    Tokens out;
    const kuCStringToken *last = nullptr;
    for (const kuCStringToken *t = list->first; t != nullptr; last = t, t = t->next)
        out.emplace_back(t->text, t->length);
    EXPECT_EQ(list->last, last);
    kuCStringParser_Delete(list);
    return out;
}

Tokens split(const char *s, const char *delimiter = ",", char escape = '\0')
{
    return texts(kuCStringParser_TokenizeEscaped(s, 0, strlen(s), delimiter, strlen(delimiter),
                                                 escape));
}

Tokens splitQuoted(const char *s, const char *delimiter = ",")
{
    return texts(kuCStringParser_TokenizeQuoted(s, 0, strlen(s), delimiter, strlen(delimiter)));
}

} // namespace

TEST(kuCStringParser, TokenizersTheirHelpersAndMatchingThatStaysCheap)
{
    EXPECT_EQ((Tokens{"a", "", "b", ""}), split("a,,b,"));
    EXPECT_EQ((Tokens{""}), split(""));
    EXPECT_EQ((Tokens{"a", "b", "c"}), split("a::b::c", "::"));
    EXPECT_EQ((Tokens{"a:"}), split("a:", "::")); // cut by the end of the range
    EXPECT_EQ((Tokens{"a,b"}), split("a,b", ""));  // an empty delimiter never cuts

    // Escapes stay in the text; an escape at the end, or before the range, is harmless.
    EXPECT_EQ((Tokens{"a\\,b", "c\\"}), split("a\\,b,c\\", ",", '\\'));
    const char *s = "x\\,a,b,yy";
    EXPECT_EQ((Tokens{"", "a", ""}), texts(kuCStringParser_TokenizeEscaped(s, 2, 5, ",", 1, '\\')));
    EXPECT_EQ((Tokens{"a", "b"}), texts(kuCStringParser_TokenizeQuoted(s, 3, 3, ",", 1)));
    EXPECT_EQ((Tokens{""}), texts(kuCStringParser_Tokenize(s, 5, 3, ",", 1)));

    // Quotes: only the first quote character met quotes; unclosed runs to the end.
    EXPECT_EQ((Tokens{"'a'", "\"b", "c\""}), splitQuoted("'a',\"b,c\""));
    EXPECT_EQ((Tokens{"a", "'b,c"}), splitQuoted("a,'b,c"));
    EXPECT_EQ((Tokens{"'a", ""}), splitQuoted("'a'", "'")); // a closing quote can cut

    kuCStringTokenList *none = kuCStringParser_Tokenize(nullptr, 0, 10, ",", 1);
    ASSERT_EQ(1u, none->count);
    EXPECT_EQ(0u, none->first->length);
    kuCStringParser_Delete(none);
    kuCStringParser_Delete(nullptr);

    auto quotedList = [](const char *s) {
        return texts(kuCStringParser_TokenizeQuotedList(s, 0, strlen(s)));
    };
    EXPECT_EQ((Tokens{"a", "b", "c"}), quotedList(" 'a' ,\t\"b\" , c "));
    EXPECT_EQ((Tokens{"'x'y\"", "z"}), quotedList("'x'y\", z"));
    EXPECT_EQ((Tokens{"", "", "'"}), quotedList(" ,'', ' "));
    const struct { const char *list, *delimiter, *item; int expected; } lists[] = {
        {"eth0, 'wlan0' ,lo", ",", "wlan0", 1}, {"eth0, 'wlan0' ,lo", ",", "wlan", 0}, {"eth0", ",", "ETH0", 0},
        {"a; b", "; ", "b", 1}, {"a,,b", ",", "", 1}, {nullptr, ",", "a", 0}};
    for (const auto &l : lists)
        EXPECT_EQ(l.expected, kuCStringParser_ListContains(l.list, l.delimiter, l.item)) << l.item;

    // {position, end, delimiter length, result} on "a::b"
    const size_t delimiters[][4] = {{1, 4, 2, 1}, {1, 2, 2, 0}, {4, 4, 0, 1}, {5, 4, 0, 0}, {3, SIZE_MAX, SIZE_MAX, 0}};
    for (const auto &d : delimiters)
        EXPECT_EQ((int)d[3], kuCStringParser_IsDelimiter("a::b", d[0], d[1], d[2] == 0 ? "" : "::", d[2])) << d[0];
    const struct { const char *text; size_t length; int skipInner, result; } surrounded[] = {
        {"\"a\"b\"", 5, 0, 0}, {"\"a\"b\"", 5, 1, 1}, {"\"ab\"", 4, 0, 1}, {"\"\"", 2, 0, 1},
        {"\"", 1, 1, 0}, {nullptr, 2, 1, 0}};
    for (const auto &c : surrounded)
        EXPECT_EQ(c.result, kuCStringParser_IsSurrounded(c.text, c.length, '"', '"', c.skipInner))
            << c.length;

    EXPECT_EQ(1, kuCStringParser_ContainsOneOf("ab c", 4, " #"));
    EXPECT_EQ(0, kuCStringParser_ContainsOneOf("ab c", 2, " #"));

    auto quote = [](const char *text, char open, char close) {
        return take(kuCStringParser_EscapeAndSurround(text, strlen(text), "\"'\\", '\\', open, close));
    };
    EXPECT_EQ("[\\\\x\\'\\\"]", quote("\\x'\"", '[', ']'));
    EXPECT_EQ("\"\"", quote("", '"', '"'));

    EXPECT_EQ("a b", take(kuCStringParser_Trim(" \t\v a b\r\n\f ", 11, 1, 1)));
    EXPECT_EQ("", take(kuCStringParser_Trim("  ", 2, 1, 1)));
    EXPECT_EQ("ab", take(kuCStringParser_Trim(" ab cd", 3, 1, 1))); // only the length is read
    EXPECT_EQ("\xa0x", take(kuCStringParser_Trim("\xa0x", 2, 1, 1)));
    EXPECT_EQ("<null>", take(kuCStringParser_Trim(nullptr, 3, 1, 1)));

    // Case-insensitive but for the first byte; a trailing '\' never matches; a
    // trailing star matches past the stop; an unclosed class never matches and
    // nothing past the pattern is read; classes compare exactly.
    const struct { const char *pattern, *text; int ignoreCase; char stop; int match; } cases[] = {
        {"*.MP3", "song.mp3", 1, 0, 1}, {"Song*", "song.mp3", 1, 0, 0},
        {"?ong*", "song.mp3", 1, 0, 1}, {"a\\", "a\\", 1, 0, 0}, {"a\\*", "a*", 1, 0, 1},
        {"a\\*", "ab", 1, 0, 0}, {"", "", 1, 0, 1}, {"", "a", 1, 0, 0}, {"?", "", 1, 0, 0},
        {"**", "", 1, 0, 1}, {"*", "a/b", 0, '/', 1}, {"aB?", "abc", 1, 0, 1},
        {"aB?", "abc", 0, 0, 0}, {"a*c", "abc/def", 1, '/', 1}, {"abc", "abc/def", 1, '/', 1},
        {"*f", "abc/def", 1, '/', 0}, {"a*", "a/b", 1, '/', 1}, {"*b", "ab/cb", 1, '/', 1},
        {"a*b", "aab", 1, 0, 1}, {"*a?", "aXa", 1, 0, 0}, {"*[^0-9]x", "ax", 1, 0, 1},
        {"*[^0-9]x", "5x", 1, 0, 0}, {"*[]]", "]", 1, 0, 1}, {"[a-z]*", "abc", 1, 0, 0},
        {"?[^a]", "x^", 1, 0, 1},
        {"?[a-]", "x-", 1, 0, 1}, {"?[a-c-e]", "x-", 1, 0, 1}, {"?[A-Z]", "xa", 1, 0, 0},
        {"?[\x80-\xff]", "x\xc3", 1, 0, 1}, {"*[ab", "a", 1, 0, 0}, {"?[a-", "xa", 1, 0, 0},
        {"*[]", "]", 1, 0, 0}, {"ab?d", "ab/d", 1, '/', 0},
    };
    for (const auto &c : cases) {
        const int r = kuCStringParser_MatchEx(c.pattern, c.text, c.ignoreCase, c.stop);
        EXPECT_EQ(c.match, r) << c.pattern << " " << c.text;
        // the plain form is the case-insensitive one without a stop
        EXPECT_TRUE(!c.ignoreCase || c.stop != 0 || r == kuCStringParser_Match(c.pattern, c.text))
            << c.pattern;
    }

    // Many stars against a text that almost matches: exponential time or deep
    // recursion without the right backtracking.
    std::string pattern;
    for (int i = 0; i < 5000; i++)
        pattern += "*a";
    pattern += "*b";
    std::string text(20000, 'a');
    EXPECT_EQ(0, kuCStringParser_Match(pattern.c_str(), text.c_str()));
    EXPECT_EQ(1, kuCStringParser_Match(pattern.c_str(), (text + "b").c_str()));
}

