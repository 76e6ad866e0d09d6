// Token views, quoting and wildcard matching over byte ranges.
#include <kuvanaTools/kuCStringParser.h>
#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuCharClass.h>

#include <ctype.h>
#include <string.h>

namespace {

// Token lengths are 32-bit: a longer range is cut.
constexpr size_t kMaxRange = UINT32_MAX;

struct Range {
    size_t start;
    size_t end;
};

Range byEnd(const char *string, size_t start, size_t end)
{
    if (string == nullptr || end < start)
        return {start, start};
    return {start, end - start > kMaxRange ? start + kMaxRange : end};
}

Range byLength(const char *string, size_t start, size_t length)
{
    if (string == nullptr)
        return {start, start};
    if (length > kMaxRange)
        length = kMaxRange;
    if (length > SIZE_MAX - start)
        length = SIZE_MAX - start;
    return {start, start + length};
}

kuCStringTokenList *newList()
{
    return (kuCStringTokenList *)kuMallocZeroed(sizeof(kuCStringTokenList));
}

void append(kuCStringTokenList *list, const char *string, size_t start, size_t end)
{
    kuCStringToken *token = (kuCStringToken *)kuMalloc(sizeof(kuCStringToken));
    token->text = string != nullptr ? string + start : nullptr;
    token->length = (uint32_t)(end - start);
    token->next = nullptr;
    if (list->last != nullptr)
        list->last->next = token;
    else
        list->first = token;
    list->last = token;
    list->count++;
}

// Delimiter test inside a tokeniser: an empty delimiter would never advance.
bool delimiterAt(const char *string, size_t position, size_t end, const char *delimiter,
                 size_t delimiterLength)
{
    return delimiterLength != 0 &&
           kuCStringParser_IsDelimiter(string, position, end, delimiter, delimiterLength);
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

// Cuts the range at each delimiter. held(position) is asked once for every
// byte the scan stops at, in order, and tells whether it joins the current
// token whatever it is (escaped or quoted).
template <typename Held>
kuCStringTokenList *cut(const char *string, Range r, const char *delimiter,
                        size_t delimiterLength, Held held)
{
    kuCStringTokenList *list = newList();
    size_t tokenStart = r.start;
    size_t position = r.start;
    while (position < r.end) {
        if (!held(position) && delimiterAt(string, position, r.end, delimiter, delimiterLength)) {
            append(list, string, tokenStart, position);
            position += delimiterLength;
            tokenStart = position;
        } else {
            position++;
        }
    }
    append(list, string, tokenStart, r.end);
    return list;
}

// Trims white space at both ends, then removes a pair of equal quotes.
void narrow(kuCStringToken *token)
{
    const char *p = token->text;
    uint32_t n = token->length;
    while (n > 0 && ku::isSpace((unsigned char)*p)) {
        p++;
        n--;
    }
    while (n > 0 && ku::isSpace((unsigned char)p[n - 1]))
        n--;
    if (n >= 2 && p[0] == p[n - 1] && isQuote(p[0])) {
        p++;
        n -= 2;
    }
    token->text = p;
    token->length = n;
}

enum class Element { Match, NoMatch, Broken };

// Tests text byte t (not the end of the text) against the class whose
// members begin at p (just after '['); *next receives the byte after ']'.
// Broken when the pattern ends before ']'.
Element matchClass(const unsigned char *p, unsigned char t, const unsigned char **next)
{
    bool negated = *p == '^';
    if (negated)
        p++;
    bool member = false;
    // The first member is a byte even when it is ']'.
    for (bool first = true;; first = false) {
        if (*p == '\0')
            return Element::Broken;
        if (*p == ']' && !first)
            break;
        if (p[1] == '-' && p[2] != ']' && p[2] != '\0') {
            member = member || (p[0] <= t && t <= p[2]);
            p += 3;
        } else {
            member = member || *p == t;
            p++;
        }
    }
    *next = p + 1;
    return member != negated ? Element::Match : Element::NoMatch;
}

// Tests text byte t against the single-byte element at p (not '*').
Element matchElement(const unsigned char *p, unsigned char t, bool ignoreCase,
                     const unsigned char **next)
{
    switch (*p) {
    case '?':
        *next = p + 1;
        return Element::Match;
    case '[':
        return matchClass(p + 1, t, next);
    case '\\':
        if (p[1] == '\0')
            return Element::Broken;
        p++;
        break;
    default:
        break;
    }
    *next = p + 1;
    if (*p == t || (ignoreCase && tolower(*p) == tolower(t)))
        return Element::Match;
    return Element::NoMatch;
}

} // namespace

int kuCStringParser_IsDelimiter(const char *string, size_t position, size_t end,
                                const char *delimiter, size_t delimiterLength)
{
    if (position > end)
        return 0;
    if (delimiterLength == 0)
        return 1;
    if (string == nullptr || delimiter == nullptr || delimiterLength > end - position)
        return 0;
    return string[position] == delimiter[0] &&
           memcmp(string + position, delimiter, delimiterLength) == 0;
}

int kuCStringParser_IsSurrounded(const char *string, size_t length, char open, char close,
                                 int skipInnerTest)
{
    if (string == nullptr || length < 2)
        return 0;
    if (string[0] != open || string[length - 1] != close)
        return 0;
    if (skipInnerTest || length == 2)
        return 1;
    return memchr(string + 1, open, length - 2) == nullptr ? 1 : 0;
}

int kuCStringParser_ContainsOneOf(const char *string, size_t length, const char *set)
{
    if (string == nullptr || set == nullptr)
        return 0;
    for (size_t i = 0; i < length; i++)
        if (string[i] != '\0' && strchr(set, string[i]) != nullptr)
            return 1;
    return 0;
}

char *kuCStringParser_EscapeAndSurround(const char *string, size_t length, const char *set,
                                        char escape, char open, char close)
{
    if (string == nullptr)
        return nullptr;
    if (set == nullptr)
        set = "";
    size_t escaped = 0;
    for (size_t i = 0; i < length; i++)
        if (string[i] != '\0' && strchr(set, string[i]) != nullptr)
            escaped++;
    if (length > (SIZE_MAX - 3) / 2)
        kuFatalError("memory:malloc", (unsigned long)SIZE_MAX);
    char *out = (char *)kuMalloc(length + 3 + escaped);
    char *p = out;
    *p++ = open;
    for (size_t i = 0; i < length; i++) {
        if (string[i] != '\0' && strchr(set, string[i]) != nullptr)
            *p++ = escape;
        *p++ = string[i];
    }
    *p++ = close;
    *p = '\0';
    return out;
}

kuCStringTokenList *kuCStringParser_Tokenize(const char *string, size_t start, size_t end,
                                             const char *delimiter, size_t delimiterLength)
{
    return kuCStringParser_TokenizeEscaped(string, start, end, delimiter, delimiterLength, 0);
}

kuCStringTokenList *kuCStringParser_TokenizeEscaped(const char *string, size_t start, size_t end,
                                                    const char *delimiter, size_t delimiterLength,
                                                    char escape)
{
    Range r = byEnd(string, start, end);
    return cut(string, r, delimiter, delimiterLength, [&](size_t position) {
        return escape != '\0' && position > r.start && string[position - 1] == escape;
    });
}

kuCStringTokenList *kuCStringParser_TokenizeQuoted(const char *string, size_t start, size_t length,
                                                   const char *delimiter, size_t delimiterLength)
{
    char quote = '\0';
    bool inside = false;
    return cut(string, byLength(string, start, length), delimiter, delimiterLength,
               [&](size_t position) {
                   char c = string[position];
                   if (quote == '\0' && isQuote(c)) {
                       quote = c;
                       inside = true;
                       return true;
                   }
                   if (quote != '\0' && c == quote) {
                       inside = !inside;
                       if (inside)
                           return true;
                   }
                   return inside;
               });
}

kuCStringTokenList *kuCStringParser_TokenizeQuotedList(const char *string, size_t start,
                                                       size_t length)
{
    kuCStringTokenList *list = kuCStringParser_TokenizeQuoted(string, start, length, ",", 1);
    for (kuCStringToken *t = list->first; t != nullptr; t = t->next)
        if (t->text != nullptr)
            narrow(t);
    return list;
}

char *kuCStringParser_Trim(const char *string, size_t length, int left, int right)
{
    if (string == nullptr)
        return nullptr;
    const char *p = string;
    if (left)
        while (length > 0 && ku::isSpace((unsigned char)*p)) {
            p++;
            length--;
        }
    if (right)
        while (length > 0 && ku::isSpace((unsigned char)p[length - 1]))
            length--;
    return kuStrndup(p, length);
}

void kuCStringParser_Delete(kuCStringTokenList *list)
{
    if (list == nullptr)
        return;
    for (kuCStringToken *t = list->first; t != nullptr;) {
        kuCStringToken *next = t->next;
        kuFree(t);
        t = next;
    }
    kuFree(list);
}

int kuCStringParser_ListContains(const char *list, const char *delimiter, const char *item)
{
    if (list == nullptr || delimiter == nullptr || item == nullptr)
        return 0;
    size_t itemLength = strlen(item);
    kuCStringTokenList *tokens =
        kuCStringParser_TokenizeQuoted(list, 0, strlen(list), delimiter, strlen(delimiter));
    int found = 0;
    for (kuCStringToken *t = tokens->first; t != nullptr && !found; t = t->next) {
        narrow(t);
        found = t->length == itemLength && memcmp(t->text, item, itemLength) == 0;
    }
    kuCStringParser_Delete(tokens);
    return found;
}

int kuCStringParser_MatchEx(const char *pattern, const char *text, int ignoreCase, char stop)
{
    if (pattern == nullptr || text == nullptr)
        return 0;
    if (pattern[0] == '*' && pattern[1] == '\0')
        return 1;
    if (pattern[0] != '*' && pattern[0] != '?' && pattern[0] != text[0])
        return 0;

    const unsigned char *p = (const unsigned char *)pattern;
    const unsigned char *t = (const unsigned char *)text;
    const unsigned char stopByte = (unsigned char)stop;
    auto atEnd = [stopByte](const unsigned char *at) { return *at == '\0' || *at == stopByte; };
    // Each element after a '*' matches exactly one byte, so on a mismatch
    // only the latest '*' needs to take one byte more: backtracking to an
    // earlier one cannot find a match this one misses.
    const unsigned char *starPattern = nullptr;
    const unsigned char *starText = nullptr;
    for (;;) {
        if (*p == '*') {
            while (*p == '*')
                p++;
            if (*p == '\0')
                return 1;
            starPattern = p;
            starText = t;
            continue;
        }
        if (*p == '\0') {
            if (atEnd(t))
                return 1;
        } else {
            // Text exhausted before the pattern: no later start can help.
            if (atEnd(t))
                return 0;
            const unsigned char *next = nullptr;
            Element e = matchElement(p, *t, ignoreCase != 0, &next);
            if (e == Element::Broken)
                return 0;
            if (e == Element::Match) {
                p = next;
                t++;
                continue;
            }
        }
        if (starPattern == nullptr || atEnd(starText))
            return 0;
        p = starPattern;
        t = ++starText;
    }
}

int kuCStringParser_Match(const char *pattern, const char *text)
{
    return kuCStringParser_MatchEx(pattern, text, 1, '\0');
}
