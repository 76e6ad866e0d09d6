#include <kuvanaTools/kuCStringParser.h>
#include <kuvanaTools/kuMemory.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <string>
#include <string.h>
#include <vector>

namespace {

using kutest::take;

using Tokens = std::vector<std::string>;

// The token texts; also checks that the chain agrees with first, last and
// count, and that every token is a view into source.
Tokens texts(kuCStringTokenList *list, const char *source)
{
    Tokens out;
    const kuCStringToken *last = nullptr;
    for (const kuCStringToken *t = list->first; t != nullptr; last = t, t = t->next) {
        EXPECT_TRUE(t->text >= source && t->text + t->length <= source + strlen(source));
        out.emplace_back(t->text, t->length);
    }
    EXPECT_EQ(list->last, last);
    EXPECT_EQ(list->count, out.size());
    kuCStringParser_Delete(list);
    return out;
}

Tokens split(const char *s, const char *delimiter = ",", char escape = '\0')
{
    return texts(kuCStringParser_TokenizeEscaped(s, 0, strlen(s), delimiter, strlen(delimiter), escape), s);
}

Tokens splitQuoted(const char *s, const char *delimiter = ",")
{
    return texts(kuCStringParser_TokenizeQuoted(s, 0, strlen(s), delimiter, strlen(delimiter)), s);
}

} // namespace

TEST(kuCStringParser, Tokenizers)
{
    EXPECT_EQ((Tokens{"a", "", "b"}), split("a,,b"));
    EXPECT_EQ((Tokens{"a", ""}), split("a,"));
    EXPECT_EQ((Tokens{""}), split(""));
    EXPECT_EQ((Tokens{"a", "b", "c"}), split("a::b::c", "::"));
    EXPECT_EQ((Tokens{"a:"}), split("a:", "::")); // cut by the end of the range
    EXPECT_EQ((Tokens{"a,b"}), split("a,b", ""));  // an empty delimiter never cuts

    // Escapes stay in the text; an escape at the end, or before the range, is harmless.
    EXPECT_EQ((Tokens{"a\\,b", "c"}), split("a\\,b,c", ",", '\\'));
    EXPECT_EQ((Tokens{"a\\,"}), split("a\\,", ",", '\\'));
    const char *s = "x\\,a,b,yy";
    EXPECT_EQ((Tokens{"", "a", ""}), texts(kuCStringParser_TokenizeEscaped(s, 2, 5, ",", 1, '\\'), s));
    EXPECT_EQ((Tokens{"a", "b"}), texts(kuCStringParser_TokenizeQuoted(s, 3, 3, ",", 1), s));
    EXPECT_EQ((Tokens{""}), texts(kuCStringParser_Tokenize(s, 5, 3, ",", 1), s));

    // Quotes: only the first quote character met quotes; unclosed runs to the end.
    EXPECT_EQ((Tokens{"x=\"1,2\"", "y"}), splitQuoted("x=\"1,2\",y"));
    EXPECT_EQ((Tokens{"'a'", "\"b", "c\""}), splitQuoted("'a',\"b,c\""));
    EXPECT_EQ((Tokens{"a", "'b,c"}), splitQuoted("a,'b,c"));
    EXPECT_EQ((Tokens{"'a", ""}), splitQuoted("'a'", "'")); // a closing quote can cut

    kuCStringTokenList *none = kuCStringParser_Tokenize(nullptr, 0, 10, ",", 1);
    ASSERT_EQ(1u, none->count);
    EXPECT_EQ(0u, none->first->length);
    kuCStringParser_Delete(none);
    kuCStringParser_Delete(nullptr);

    auto quotedList = [](const char *s) { return texts(kuCStringParser_TokenizeQuotedList(s, 0, strlen(s)), s); };
    EXPECT_EQ((Tokens{"a", "b", "c"}), quotedList(" 'a' ,\t\"b\" , c "));
    EXPECT_EQ((Tokens{"'x'y\"", "z"}), quotedList("'x'y\", z"));
    EXPECT_EQ((Tokens{"", "", "'"}), quotedList(" ,'', ' "));
    const struct { const char *list, *delimiter, *item; int expected; } lists[] = {
        {"eth0, 'wlan0' ,lo", ",", "wlan0", 1}, {"eth0, 'wlan0' ,lo", ",", "wlan", 0}, {"eth0", ",", "ETH0", 0},
        {"a; b", "; ", "b", 1}, {"a,,b", ",", "", 1}, {nullptr, ",", "a", 0}};
    for (const auto &l : lists)
        EXPECT_EQ(l.expected, kuCStringParser_ListContains(l.list, l.delimiter, l.item)) << l.item;
}

TEST(kuCStringParser, DelimiterSurroundTrimAndSets)
{
    // {position, end, delimiter length, result} on "a::b"
    const size_t delimiters[][4] = {{1, 4, 2, 1}, {1, 2, 2, 0}, {4, 4, 0, 1}, {5, 4, 0, 0}, {3, SIZE_MAX, SIZE_MAX, 0}};
    for (const auto &d : delimiters)
        EXPECT_EQ((int)d[3], kuCStringParser_IsDelimiter("a::b", d[0], d[1], d[2] == 0 ? "" : "::", d[2])) << d[0];
    const struct { const char *text; size_t length; int skipInner, result; } surrounded[] = {
        {"\"a\"b\"", 5, 0, 0}, {"\"a\"b\"", 5, 1, 1}, {"\"\"", 2, 0, 1}, {"\"", 1, 1, 0}, {nullptr, 2, 1, 0}};
    for (const auto &s : surrounded)
        EXPECT_EQ(s.result, kuCStringParser_IsSurrounded(s.text, s.length, '"', '"', s.skipInner)) << s.length;

    EXPECT_EQ(1, kuCStringParser_ContainsOneOf("ab c", 4, " #"));
    EXPECT_EQ(0, kuCStringParser_ContainsOneOf("ab c", 2, " #"));
    EXPECT_EQ(0, kuCStringParser_ContainsOneOf("a\0b", 3, "x"));

    auto quote = [](const char *text, char open, char close) {
        return take(kuCStringParser_EscapeAndSurround(text, strlen(text), "\"'\\", '\\', open, close));
    };
    EXPECT_EQ("\"a\\\"b\"", quote("a\"b", '"', '"'));
    EXPECT_EQ("[\\\\x\\']", quote("\\x'", '[', ']'));
    EXPECT_EQ("\"\"", quote("", '"', '"'));

    EXPECT_EQ("a b", take(kuCStringParser_Trim(" \t a b\r\n ", 9, 1, 1)));
    EXPECT_EQ("", take(kuCStringParser_Trim(" \v\f ", 4, 1, 1)));
    EXPECT_EQ("ab", take(kuCStringParser_Trim(" ab cd", 3, 1, 1))); // only the length is read
    EXPECT_EQ("\xa0x", take(kuCStringParser_Trim("\xa0x", 2, 1, 1)));
    EXPECT_EQ("<null>", take(kuCStringParser_Trim(nullptr, 3, 1, 1)));
}

TEST(kuCStringParser, Match)
{
    const struct { const char *pattern, *text; int expected; } cases[] = {
        // Case-insensitive but for the first byte; a trailing '\' never
        // matches. (Classless patterns are also compared with a reference
        // matcher below.)
        {"*.MP3", "song.mp3", 1}, {"Song*", "song.mp3", 0}, {"?ong*", "song.mp3", 1}, {"a\\", "a\\", 0},
        // Classes compare exactly.
        {"*[^0-9]x", "ax", 1}, {"*[^0-9]x", "5x", 0}, {"*[]]", "]", 1}, {"[a-z]*", "abc", 0},
        {"?[a-]", "x-", 1}, {"?[a-c-e]", "x-", 1}, {"?[A-Z]", "xa", 0}, {"?[\x80-\xff]", "x\xc3", 1},
        // An unclosed class never matches and nothing past the pattern is read.
        {"*[ab", "a", 0}, {"?[a-", "xa", 0}, {"*[]", "]", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, kuCStringParser_Match(c.pattern, c.text)) << c.pattern << " " << c.text;
    EXPECT_EQ(1, kuCStringParser_MatchEx("a*c", "abc/def", 1, '/'));
    EXPECT_EQ(1, kuCStringParser_MatchEx("abc", "abc/def", 1, '/'));
}

TEST(kuCStringParser, LongInputsStayCheap)
{
    // Many stars against a text that almost matches: exponential time or deep
    // recursion without the right backtracking.
    std::string pattern;
    for (int i = 0; i < 5000; i++)
        pattern += "*a";
    pattern += "*b";
    std::string text(20000, 'a');
    EXPECT_EQ(0, kuCStringParser_Match(pattern.c_str(), text.c_str()));
    EXPECT_EQ(1, kuCStringParser_Match(pattern.c_str(), (text + "b").c_str()));

    std::string list;
    for (int i = 0; i < 100000; i++)
        list += "'x,y',";
    kuCStringTokenList *tokens = kuCStringParser_TokenizeQuotedList(list.c_str(), 0, list.size());
    EXPECT_EQ(100001u, tokens->count);
    EXPECT_EQ("x,y", std::string(tokens->first->text, tokens->first->length));
    kuCStringParser_Delete(tokens);
}

namespace {

// The matcher as first described, classes left out: recursive, with the
// three results match, no match and abort. The library's iterative matcher
// must agree with it.
enum Result { kMatch, kNoMatch, kAbort };

Result reference(const unsigned char *t, const unsigned char *p, bool ignoreCase, unsigned char stop)
{
    auto end = [stop](const unsigned char *at) { return *at == 0 || *at == stop; };
    for (; *p != 0; t++, p++) {
        if (end(t) && *p != '*')
            return kAbort;
        if (*p == '*') {
            while (*p == '*')
                p++;
            if (*p == 0)
                return kMatch;
            for (;; t++) {
                Result r = reference(t, p, ignoreCase, stop);
                if (r != kNoMatch)
                    return r;
                if (end(t))
                    return kAbort;
            }
        }
        if (*p == '?')
            continue;
        if (*p == '\\' && *++p == 0)
            return kAbort;
        if (ignoreCase ? tolower(*p) != tolower(*t) : *p != *t)
            return kNoMatch;
    }
    return end(t) ? kMatch : kNoMatch;
}

int referenceMatch(const char *pattern, const char *text, bool ignoreCase, char stop)
{
    if (strcmp(pattern, "*") == 0)
        return 1;
    if (pattern[0] != '*' && pattern[0] != '?' && pattern[0] != text[0])
        return 0;
    return reference((const unsigned char *)text, (const unsigned char *)pattern, ignoreCase,
                     (unsigned char)stop) == kMatch;
}

} // namespace

TEST(kuCStringParser, MatchAgreesWithTheRecursiveDefinition)
{
    const char patternBytes[] = "aAb*?\\/";
    const char textBytes[] = "aAb\\/";
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int i = 0; i < 200000; i++) {
        char pattern[10], text[10];
        size_t pn = next(9), tn = next(9);
        for (size_t k = 0; k < pn; k++)
            pattern[k] = patternBytes[next(sizeof patternBytes - 1)];
        for (size_t k = 0; k < tn; k++)
            text[k] = textBytes[next(sizeof textBytes - 1)];
        pattern[pn] = text[tn] = 0;
        bool ignoreCase = next(2) == 0;
        char stop = next(3) == 0 ? '/' : '\0';
        ASSERT_EQ(referenceMatch(pattern, text, ignoreCase, stop),
                  kuCStringParser_MatchEx(pattern, text, ignoreCase, stop))
            << "pattern '" << pattern << "' text '" << text << "' ignoreCase " << ignoreCase << " stop " << (stop != 0);
    }
}
