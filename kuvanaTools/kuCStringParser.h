/*
 * Tokenising, trimming, quoting and wildcard matching of narrow byte ranges.
 *
 * A range is string[start, end): the tokenisers take either an end index
 * (kuCStringParser_Tokenize, kuCStringParser_TokenizeEscaped) or a length
 * counted from start (kuCStringParser_TokenizeQuoted,
 * kuCStringParser_TokenizeQuotedList). The caller guarantees that the range
 * is readable; nothing past it is read. An end below start is an empty
 * range, and a range is cut to 4 GiB - 1 bytes (token lengths are 32-bit).
 *
 * Tokens are views into the caller's string, which must outlive the list:
 * no text is copied. A tokeniser always yields at least one token: an empty
 * range gives one empty token, adjacent delimiters an empty token between
 * them, a delimiter at the end an empty last token. A null or empty
 * delimiter never matches (the whole range is one token). White space is
 * tab, line feed, vertical tab, form feed, carriage return and space.
 */
#ifndef KUVANATOOLS_KUCSTRINGPARSER_H
#define KUVANATOOLS_KUCSTRINGPARSER_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* One token. Callers may narrow text and length in place (trimming,
 * stripping quotes), never widen them. */
typedef struct kuCStringToken {
    const char *text; /* into the tokenised string, not zero-terminated */
    uint32_t length;
    struct kuCStringToken *next; /* null on the last token */
} kuCStringToken;

/* The tokens of a range, in order; count is at least 1. */
typedef struct kuCStringTokenList {
    kuCStringToken *first;
    kuCStringToken *last;
    uint32_t count;
} kuCStringTokenList;

/* 1 when the delimiter lies completely before end and equals the bytes at
 * position; 1 for a delimiter of length 0 when position is not past end;
 * else 0. */
KU_API int kuCStringParser_IsDelimiter(const char *string, size_t position, size_t end,
                                       const char *delimiter, size_t delimiterLength);

/* 1 when the range is at least 2 bytes long, begins with open and ends with
 * close, and either skipInnerTest is set, the length is 2, or no inner byte
 * equals open; else 0 (also for a null string). */
KU_API int kuCStringParser_IsSurrounded(const char *string, size_t length, char open, char close,
                                        int skipInnerTest);

/* 1 when a byte of the range is one of the characters of set (a zero byte
 * never is), else 0. */
KU_API int kuCStringParser_ContainsOneOf(const char *string, size_t length, const char *set);

/* A new string (released with kuFree): open, the range with escape before
 * each byte found in set, close. Null for a null string. */
KU_API char *kuCStringParser_EscapeAndSurround(const char *string, size_t length, const char *set,
                                               char escape, char open, char close);

/* Cuts string[start, end) at each delimiter. */
KU_API kuCStringTokenList *kuCStringParser_Tokenize(const char *string, size_t start, size_t end,
                                                    const char *delimiter,
                                                    size_t delimiterLength);

/* As kuCStringParser_Tokenize, except that a delimiter directly after the
 * escape character (0: none) inside the range does not cut. Escape
 * characters stay in the tokens. */
KU_API kuCStringTokenList *kuCStringParser_TokenizeEscaped(const char *string, size_t start,
                                                           size_t end, const char *delimiter,
                                                           size_t delimiterLength, char escape);

/* Cuts string[start, start + length) at each delimiter outside quotes. The
 * first double or single quote met becomes the only quote character of the
 * range; quotes stay in the tokens. */
KU_API kuCStringTokenList *kuCStringParser_TokenizeQuoted(const char *string, size_t start,
                                                          size_t length, const char *delimiter,
                                                          size_t delimiterLength);

/* kuCStringParser_TokenizeQuoted at ",", then each token narrowed: white
 * space trimmed at both ends, then a pair of equal double or single quotes
 * around it removed. */
KU_API kuCStringTokenList *kuCStringParser_TokenizeQuotedList(const char *string, size_t start,
                                                              size_t length);

/* A new string (released with kuFree) of the range without its leading
 * (left set) and trailing (right set) white space. Null for a null string. */
KU_API char *kuCStringParser_Trim(const char *string, size_t length, int left, int right);

/*
 * 1 when text matches pattern, else 0 (also for a null pattern or text).
 * '*' matches any run of bytes, '?' any one byte, '\' makes the next byte
 * literal, "[...]" is a class: '^' first negates it, ']' or '-' first is a
 * member, "a-z" is an inclusive range of unsigned bytes, '-' just before ']'
 * is a member; any member followed by '-' and a byte other than ']' begins a
 * range ("[]-a]" is ']' to 'a'; "[a-c-e]" is 'a' to 'c', '-' and 'e').
 * Classes compare exactly; other bytes with tolower (current
 * locale) when ignoreCase is set. Matching ends at the text's first stop
 * character (0: none), which a trailing '*' may match with the rest of the
 * text.
 * Pre-check: the pattern "*" matches everything; otherwise a pattern whose
 * first byte is not '*' or '?' matches only a text with exactly the same
 * first byte, whatever ignoreCase ("[a-z]*" does not match "abc").
 * A class not closed by ']', or a '\' that ends the pattern, never matches.
 * Runs in time proportional to the product of the lengths, without
 * recursion.
 */
KU_API int kuCStringParser_MatchEx(const char *pattern, const char *text, int ignoreCase,
                                   char stop);

/* kuCStringParser_MatchEx ignoring case, without stop character. */
KU_API int kuCStringParser_Match(const char *pattern, const char *text);

/* Frees the tokens and the list; null is accepted. */
KU_API void kuCStringParser_Delete(kuCStringTokenList *list);

/* 1 when an element of list, cut with kuCStringParser_TokenizeQuoted at
 * delimiter and narrowed as in kuCStringParser_TokenizeQuotedList, equals
 * item exactly; else 0 (also when an argument is null). */
KU_API int kuCStringParser_ListContains(const char *list, const char *delimiter, const char *item);

KU_END_DECLS

#endif /* KUVANATOOLS_KUCSTRINGPARSER_H */
