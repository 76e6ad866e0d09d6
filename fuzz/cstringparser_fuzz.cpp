// Tokenisers, trimming, quoting and the wildcard matcher: tokens stay inside
// their range and put it back together, and the matcher accepts what it
// must for any pattern and text.
#include "FuzzUtil.h"

#include <kuvanaTools/kuCStringParser.h>

using kufuzz::Bytes;
using kufuzz::Owned;
using kufuzz::Text;

namespace {

using kufuzz::isBlank;

// The tokens lie inside [start, end) in order; joined by the delimiter they
// give the range back when no byte was dropped.
void checkTokens(const kuCStringTokenList *list, const char *string, size_t start, size_t end,
                 const std::string &delimiter, bool joinsBack)
{
    KU_FUZZ_CHECK(list != nullptr && list->count >= 1 && list->first != nullptr);
    uint32_t count = 0;
    std::string joined;
    const kuCStringToken *last = nullptr;
    for (const kuCStringToken *t = list->first; t != nullptr; t = t->next) {
        KU_FUZZ_CHECK(t->text >= string + start && t->text + t->length <= string + end);
        if (count > 0)
            joined += delimiter;
        joined.append(t->text, t->length);
        last = t;
        count++;
    }
    KU_FUZZ_CHECK(count == list->count && last == list->last);
    if (joinsBack)
        KU_FUZZ_CHECK(joined == std::string(string + start, end - start));
}

void tokenisers(FuzzedDataProvider &fdp)
{
    std::string delimiter = fdp.ConsumeRandomLengthString(4);
    char escape = fdp.ConsumeIntegral<char>();
    size_t start = fdp.ConsumeIntegralInRange<size_t>(0, 8);
    std::string rest = fdp.ConsumeRandomLengthString(512);
    Bytes string(rest);
    Bytes delim(delimiter);
    size_t size = string.size();
    start = start < size ? start : size;
    size_t end = fdp.ConsumeIntegralInRange<size_t>(0, size);

    kuCStringTokenList *list = kuCStringParser_Tokenize(string.data(), start, end, delim.data(),
                                                        delim.size());
    size_t realEnd = end < start ? start : end;
    checkTokens(list, string.data(), start, realEnd, delimiter, true);
    if (!delimiter.empty() && end >= start) {
        // without an escape byte every delimiter cuts
        size_t cuts = 0;
        for (size_t p = start; p + delim.size() <= end;) {
            if (memcmp(string.data() + p, delim.data(), delim.size()) == 0) {
                cuts++;
                p += delim.size();
            } else {
                p++;
            }
        }
        KU_FUZZ_CHECK(list->count == cuts + 1);
    }
    kuCStringParser_Delete(list);

    list = kuCStringParser_TokenizeEscaped(string.data(), start, end, delim.data(), delim.size(),
                                           escape);
    checkTokens(list, string.data(), start, realEnd, delimiter, true);
    kuCStringParser_Delete(list);

    size_t length = realEnd - start;
    list = kuCStringParser_TokenizeQuoted(string.data(), start, length, delim.data(), delim.size());
    checkTokens(list, string.data(), start, realEnd, delimiter, true);
    kuCStringParser_Delete(list);

    list = kuCStringParser_TokenizeQuotedList(string.data(), start, length);
    checkTokens(list, string.data(), start, realEnd, ",", false);
    for (const kuCStringToken *t = list->first; t != nullptr; t = t->next) {
        if (t->length > 0)
            KU_FUZZ_CHECK(!isBlank((unsigned char)t->text[0]) || t->text[-1] == '"' ||
                          t->text[-1] == '\'');
    }
    kuCStringParser_Delete(list);

    // the delimiter test never reads past end
    for (size_t p = start; p <= realEnd; p++)
        kuCStringParser_IsDelimiter(string.data(), p, realEnd, delim.data(), delim.size());
}

void ranges(FuzzedDataProvider &fdp)
{
    std::string set = fdp.ConsumeRandomLengthString(6);
    char open = fdp.ConsumeIntegral<char>();
    char close = fdp.ConsumeIntegral<char>();
    char escape = fdp.ConsumeIntegral<char>();
    bool left = fdp.ConsumeBool(), right = fdp.ConsumeBool();
    std::string rest = fdp.ConsumeRandomLengthString(256);
    Bytes string(rest);
    Text setText(set);

    kuCStringParser_IsSurrounded(string.data(), string.size(), open, close, fdp.ConsumeBool());
    int contains = kuCStringParser_ContainsOneOf(string.data(), string.size(), setText.c_str());
    bool expected = false;
    for (char c : rest)
        expected = expected || (c != 0 && strchr(setText.c_str(), c) != nullptr);
    KU_FUZZ_CHECK(contains == (int)expected);

    // every byte of the set is preceded by the escape character
    Owned<char> quoted(kuCStringParser_EscapeAndSurround(string.data(), string.size(),
                                                         setText.c_str(), escape, open, close));
    std::string wanted(1, open);
    for (char c : rest) {
        if (c != 0 && strchr(setText.c_str(), c) != nullptr)
            wanted += escape;
        wanted += c;
    }
    wanted += close;
    KU_FUZZ_CHECK(memcmp(quoted.get(), wanted.c_str(), wanted.size() + 1) == 0);

    Owned<char> trimmed(kuCStringParser_Trim(string.data(), string.size(), left, right));
    size_t from = 0, to = rest.size();
    while (left && from < to && isBlank((unsigned char)rest[from]))
        from++;
    while (right && to > from && isBlank((unsigned char)rest[to - 1]))
        to--;
    std::string kept = kufuzz::upToZero(rest.substr(from, to - from));
    KU_FUZZ_CHECK(kept == trimmed.get());
}

// Every element of a comma list is found in it.
void lists(FuzzedDataProvider &fdp)
{
    std::string delimiter = fdp.ConsumeRandomLengthString(3);
    Text list(kufuzz::upToZero(fdp.ConsumeRandomLengthString(256)));
    Text delim(kufuzz::upToZero(delimiter));
    kuCStringTokenList *tokens = kuCStringParser_TokenizeQuoted(list.c_str(), 0, list.length(),
                                                                delim.c_str(), delim.length());
    kuCStringParser_Delete(tokens);
    Text item(kufuzz::upToZero(fdp.ConsumeRandomLengthString(32)));
    kuCStringParser_ListContains(list.c_str(), delim.c_str(), item.c_str());

    tokens = kuCStringParser_TokenizeQuotedList(list.c_str(), 0, list.length());
    for (const kuCStringToken *t = tokens->first; t != nullptr; t = t->next) {
        Text element(std::string(t->text, t->length));
        KU_FUZZ_CHECK(kuCStringParser_ListContains(list.c_str(), ",", element.c_str()) == 1);
    }
    kuCStringParser_Delete(tokens);
}

// The pattern and the text come from the input; the matcher must end
// without reading past either, and patterns made from the text match it.
void matching(FuzzedDataProvider &fdp)
{
    bool ignoreCase = fdp.ConsumeBool();
    char stop = fdp.ConsumeBool() ? fdp.ConsumeIntegral<char>() : 0;
    Text pattern(kufuzz::upToZero(fdp.ConsumeRandomLengthString(256)));
    std::string text = kufuzz::upToZero(fdp.ConsumeRemainingBytesAsString());
    auto match = [&](const std::string &p, const std::string &t) {
        return kuCStringParser_MatchEx(Text(p).c_str(), Text(t).c_str(), ignoreCase, 0);
    };
    int matched = kuCStringParser_MatchEx(pattern.c_str(), Text(text).c_str(), ignoreCase, stop);
    KU_FUZZ_CHECK(matched == 0 || matched == 1);
    KU_FUZZ_CHECK(match("*", text) == 1);
    if (text.empty())
        return;
    KU_FUZZ_CHECK(match("?*", text) == 1);
    // the text itself, every byte after the first escaped; a star in front
    // of any tail of the text; a class holding its last byte
    std::string literal(1, text[0]), tail = "*";
    size_t cut = fdp.ConsumeIntegralInRange<size_t>(0, text.size());
    for (size_t i = 1; i < text.size(); i++)
        literal += std::string("\\") + text[i];
    for (size_t i = cut; i < text.size(); i++)
        tail += std::string("\\") + text[i];
    if (strchr("*?[\\", text[0]) == nullptr)
        KU_FUZZ_CHECK(match(literal, text) == 1 && match(literal, text + "x") == 0);
    KU_FUZZ_CHECK(match(tail, text) == 1);
    char last = text.back();
    if (last != ']' && last != '^' && last != '-')
        KU_FUZZ_CHECK(match(std::string("*[") + last + "]", text) == 1 &&
                      match(std::string("*[^") + last + "]", text) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    switch (fdp.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        tokenisers(fdp);
        break;
    case 1:
        ranges(fdp);
        break;
    case 2:
        lists(fdp);
        break;
    default:
        matching(fdp);
        break;
    }
    return 0;
}
