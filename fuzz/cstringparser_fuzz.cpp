// Tokenisers, trimming, quoting and the wildcard matcher: tokens stay inside
// their range and put it back together, and the matcher accepts what it
// must for any pattern and text.
#include "FuzzUtil.h"

#include <kuvanaTools/kuCStringParser.h>

#include <algorithm>

using namespace kufuzz;

namespace {

// The tokens lie inside [start, end) in order; joined by the delimiter they
// give the range back when no byte was dropped. Deletes the list.
void checkTokens(kuCStringTokenList *list, const Bytes &string, size_t start, size_t end,
                 const std::string &delimiter, bool joinsBack)
{
    KU_FUZZ_CHECK(list != nullptr && list->count >= 1);
    uint32_t count = 0;
    std::string joined;
    for (const kuCStringToken *t = list->first; t != nullptr; t = t->next, count++) {
        KU_FUZZ_CHECK(t->text >= string.data() + start && t->text + t->length <= string.data() + end);
        joined += (count > 0 ? delimiter : "") + std::string(t->text, t->length);
    }
    KU_FUZZ_CHECK(count == list->count);
    KU_FUZZ_CHECK(!joinsBack || joined == std::string(string.data() + start, end - start));
    kuCStringParser_Delete(list);
}

void tokenisers(FuzzedDataProvider &fdp)
{
    std::string delimiter = fdp.ConsumeRandomLengthString(4);
    char escape = fdp.ConsumeIntegral<char>();
    size_t start = fdp.ConsumeIntegralInRange<size_t>(0, 8);
    Bytes string(fdp.ConsumeRandomLengthString(512)), delim(delimiter);
    start = std::min(start, string.size());
    size_t end = fdp.ConsumeIntegralInRange<size_t>(0, string.size());
    size_t realEnd = std::max(start, end), length = realEnd - start;

    kuCStringTokenList *list = kuCStringParser_Tokenize(string.data(), start, end, delim.data(),
                                                        delim.size());
    if (!delimiter.empty() && end >= start) {
        // without an escape byte every delimiter cuts
        size_t cuts = 0;
        for (size_t p = start; p + delim.size() <= end; p++)
            if (memcmp(string.data() + p, delim.data(), delim.size()) == 0) {
                cuts++;
                p += delim.size() - 1;
            }
        KU_FUZZ_CHECK(list != nullptr && list->count == cuts + 1);
    }
    checkTokens(list, string, start, realEnd, delimiter, true);
    checkTokens(kuCStringParser_TokenizeEscaped(string.data(), start, end, delim.data(),
                                                delim.size(), escape),
                string, start, realEnd, delimiter, true);
    checkTokens(kuCStringParser_TokenizeQuoted(string.data(), start, length, delim.data(),
                                               delim.size()),
                string, start, realEnd, delimiter, true);
    checkTokens(kuCStringParser_TokenizeQuotedList(string.data(), start, length), string, start,
                realEnd, ",", false);
}

// The set search, quoting and trimming against plain walks.
void ranges(FuzzedDataProvider &fdp)
{
    Text set(fdp.ConsumeRandomLengthString(6));
    char open = fdp.ConsumeIntegral<char>(), close = fdp.ConsumeIntegral<char>();
    char escape = fdp.ConsumeIntegral<char>();
    bool left = fdp.ConsumeBool(), right = fdp.ConsumeBool();
    std::string rest = fdp.ConsumeRandomLengthString(256);
    Bytes string(rest);

    // every byte of the set is preceded by the escape character
    std::string wanted(1, open);
    bool contains = false;
    for (char c : rest) {
        bool inSet = c != 0 && strchr(set.c_str(), c) != nullptr;
        contains = contains || inSet;
        wanted += inSet ? std::string{escape, c} : std::string(1, c);
    }
    wanted += close;
    KU_FUZZ_CHECK(kuCStringParser_ContainsOneOf(string.data(), string.size(), set.c_str()) == contains);
    Owned<char> quoted(kuCStringParser_EscapeAndSurround(string.data(), string.size(), set.c_str(),
                                                         escape, open, close));
    KU_FUZZ_CHECK(memcmp(quoted.get(), wanted.c_str(), wanted.size() + 1) == 0);

    size_t from = 0, to = rest.size();
    while (left && from < to && isBlank((unsigned char)rest[from]))
        from++;
    while (right && to > from && isBlank((unsigned char)rest[to - 1]))
        to--;
    KU_FUZZ_CHECK(kufuzz::take(kuCStringParser_Trim(string.data(), string.size(), left, right)) ==
                  kufuzz::upToZero(rest.substr(from, to - from)));
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
    static void (*const kModes[])(FuzzedDataProvider &) = {tokenisers, ranges, matching};
    kModes[fdp.ConsumeIntegralInRange<int>(0, 2)](fdp);
    return 0;
}
