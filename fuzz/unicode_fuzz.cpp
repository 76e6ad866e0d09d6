// UTF-8, wide, modified UTF-8, ISO-8859-1 and UTF-16 converters: no input
// makes them read or write outside their buffers, what they accept comes back
// through the reverse conversion, and where the C library's iconv knows the
// encoding they decode what it decodes.
#include "FuzzUtil.h"

#include <kuvanaTools/kuUTF.h>
#include <kuvanaTools/kuUnicode.h>
#include <kuvanaTools/kuWString.h>

#include <iconv.h>

#include <map>
#include <vector>

using namespace kufuzz;

namespace {

// The bytes converted by iconv from one encoding to another, or false when
// iconv refuses them (ill-formed or cut short).
bool iconvert(const char *to, const char *from, const std::string &in, std::string *out)
{
    // opened once per pair (opening costs more than a conversion), kept open
    // to the end
    static auto &opened = *new std::map<std::string, iconv_t>;
    iconv_t &cd = opened[std::string(to) + "<" + from];
    if (cd == nullptr)
        cd = iconv_open(to, from);
    KU_FUZZ_CHECK(cd != (iconv_t)-1);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string result(in.size() * 4 + 8, '\0');
    char *src = (char *)in.data(), *dst = &result[0];
    size_t left = in.size(), room = result.size();
    bool ok = iconv(cd, &src, &left, &dst, &room) != (size_t)-1 && left == 0;
    result.resize(result.size() - room);
    *out = result;
    return ok;
}

// Well-formed UTF-8 of Unicode scalar values: iconv reads it, and no value is
// a surrogate or above U+10FFFF (glibc's iconv reads 4-byte forms up to
// U+1FFFFF as well).
bool scalarValuesOnly(const std::string &text)
{
    std::string wide;
    if (!iconvert("WCHAR_T", "UTF-8", text, &wide))
        return false;
    for (size_t i = 0; i + sizeof(wchar_t) <= wide.size(); i += sizeof(wchar_t)) {
        wchar_t c;
        memcpy(&c, wide.data() + i, sizeof c);
        if ((uint32_t)c > 0x10FFFF || ((uint32_t)c >= 0xD800 && (uint32_t)c <= 0xDFFF))
            return false;
    }
    return true;
}

// Every character read is written back to the same bytes.
void readCharacters(const Bytes &in)
{
    for (size_t pos = 0; pos < in.size();) {
        uint32_t cp = 0;
        char out[7];
        int used = kuUnicode_ReadUTF8Char(in.data() + pos, in.size() - pos, &cp);
        KU_FUZZ_CHECK(used == -1 || used == -2 || (used >= 1 && used <= 7));
        if (used > 0 && used <= 6)
            KU_FUZZ_CHECK(kuUnicode_WriteUTF8Char(out, sizeof out, cp) == used &&
                          memcmp(out, in.data() + pos, (size_t)used) == 0);
        pos += used < 0 ? 1 : (size_t)used;
    }
}

// UTF-8 -> wide against iconv: what iconv reads the decoder reads the same;
// what the decoder alone accepts holds a value beyond Unicode (a surrogate,
// or above U+10FFFF, which the older definition of UTF-8 allows). UTF-8 ->
// wide -> UTF-8 is the identity; short destinations are never overrun.
// Returns whether the text is well-formed UTF-8 of Unicode scalar values.
bool wholeStrings(const std::string &text, FuzzedDataProvider &fdp)
{
    kufuzz::Text in(text);
    std::string reference;
    bool strict = iconvert("WCHAR_T", "UTF-8", text, &reference);
    ptrdiff_t count = kuUnicode_UTF8ToWide(nullptr, in.c_str(), (size_t)-1);
    Owned<wchar_t> plain(kuWString_S_FromUTF8(in.c_str()));
    KU_FUZZ_CHECK((count < 0) == (plain.get() == nullptr));
    if (strict)
        KU_FUZZ_CHECK(count == (ptrdiff_t)(reference.size() / sizeof(wchar_t)) &&
                      memcmp(plain.get(), reference.data(), reference.size()) == 0);
    if (count < 0)
        return strict;
    bool beyond = false, only31Bits = true;
    for (ptrdiff_t i = 0; i < count; i++) {
        uint32_t c = (uint32_t)plain.get()[i];
        beyond = beyond || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF);
        only31Bits = only31Bits && (uint32_t)plain.get()[i] <= 0x7FFFFFFF;
    }
    KU_FUZZ_CHECK(strict || beyond);
    strict = strict && !beyond;

    // 7-byte forms hold values the writer cuts to 31 bits
    Owned<char> back(kuWString_S_ToUTF8(plain.get()));
    KU_FUZZ_CHECK(back.get() != nullptr && (!only31Bits || text == back.get()));

    // short destinations of exactly the given size
    size_t limit = fdp.ConsumeIntegralInRange<size_t>(1, (size_t)count + 1);
    Bytes w(limit * sizeof(wchar_t));
    ptrdiff_t stored = kuUnicode_UTF8ToWide((wchar_t *)w.data(), in.c_str(), limit);
    KU_FUZZ_CHECK(stored == ((size_t)count < limit ? count : (ptrdiff_t)limit));
    size_t byteLimit = fdp.ConsumeIntegralInRange<size_t>(1, strlen(back.get()) + 1);
    Bytes u(byteLimit);
    size_t written = kuUnicode_WideToUTF8(u.data(), plain.get(), byteLimit);
    KU_FUZZ_CHECK(written <= byteLimit && memcmp(u.data(), back.get(), written) == 0);
    if (written < byteLimit)
        KU_FUZZ_CHECK(u.data()[written] == '\0');
    return strict;
}

// Long texts take the coders' fast paths: the text repeated past a few
// kilobytes decodes as the one-character reader reads it, and encodes back
// without touching the destination after the terminator.
void longTexts(const std::string &text)
{
    if (text.empty())
        return;
    std::string longer;
    while (longer.size() < 3000)
        longer += text;
    std::vector<wchar_t> expected;
    bool valid = true, only31Bits = true;
    for (size_t pos = 0; valid && pos < longer.size();) {
        uint32_t cp = 0;
        int used = kuUnicode_ReadUTF8Char(longer.data() + pos, longer.size() - pos, &cp);
        valid = used > 0;
        only31Bits = only31Bits && cp <= 0x7FFFFFFF;
        expected.push_back((wchar_t)cp);
        pos += valid ? (size_t)used : 0;
    }
    std::vector<wchar_t> out(longer.size() + 1);
    ptrdiff_t n = kuUnicode_UTF8ToWide(out.data(), longer.c_str(), out.size());
    KU_FUZZ_CHECK(kuUnicode_UTF8ToWide(nullptr, longer.c_str(), 0) == n);
    if (!valid) {
        KU_FUZZ_CHECK(n == -1);
        return;
    }
    KU_FUZZ_CHECK(n == (ptrdiff_t)expected.size() &&
                  memcmp(out.data(), expected.data(), expected.size() * sizeof(wchar_t)) == 0);
    expected.push_back(L'\0');
    std::string back(longer.size() + 64, '#');
    size_t written = kuUnicode_WideToUTF8(&back[0], expected.data(), back.size());
    KU_FUZZ_CHECK(written < back.size() && back[written] == '\0' &&
                  back.find_first_not_of('#', written + 1) == std::string::npos);
    KU_FUZZ_CHECK(!only31Bits || back.compare(0, written, longer) == 0);
}

// Modified UTF-8 has no zero byte and no 4-byte sequence, and well-formed
// UTF-8 (zero bytes included) converts back to the same bytes.
void modifiedUTF8(const Bytes &in, bool wellFormed, FuzzedDataProvider &fdp)
{
    int length = (int)in.size();
    int size = kuUTF_ModifiedUTF8LengthOfUTF8(in.data(), length);
    KU_FUZZ_CHECK(size == -1 || size >= 1);
    // the back conversion reads arbitrary bytes too
    size_t room = fdp.ConsumeIntegralInRange<size_t>(0, 2 * in.size() + 2);
    Bytes out(room);
    kuUTF_ModifiedUTF8ToUTF8(in.data(), length, out.data(), room);
    if (size < 1)
        return;
    Bytes modified((size_t)size);
    KU_FUZZ_CHECK(kuUTF_UTF8ToModifiedUTF8(in.data(), length, modified.data(), (size_t)size) == 1);
    KU_FUZZ_CHECK(modified.data()[size - 1] == '\0');
    if (!wellFormed)
        return;
    for (int i = 0; i + 1 < size; i++)
        KU_FUZZ_CHECK(modified.udata()[i] != 0 && modified.udata()[i] < 0xF0);
    Bytes back(in.size() + 1);
    KU_FUZZ_CHECK(kuUTF_ModifiedUTF8ToUTF8(modified.data(), size - 1, back.data(), back.size()) == 1);
    KU_FUZZ_CHECK(memcmp(back.data(), in.data(), in.size()) == 0);
}

// ISO-8859-1 -> UTF-8 is iconv's conversion, and back is the identity.
void latin1(const Bytes &in)
{
    Owned<char> latin(kuUTF_UTF8ToISO88591(in.data(), in.size()));
    KU_FUZZ_CHECK(latin.get() != nullptr);
    std::string expected;
    KU_FUZZ_CHECK(iconvert("UTF-8", "ISO-8859-1", std::string(in.data(), in.size()), &expected));
    Owned<char> utf8(kuUTF_ISO88591ToUTF8(in.data(), in.size()));
    KU_FUZZ_CHECK(memcmp(utf8.get(), expected.data(), expected.size()) == 0 &&
                  utf8.get()[expected.size()] == '\0');
    Bytes encoded(expected.data(), expected.size());
    Owned<char> again(kuUTF_UTF8ToISO88591(encoded.data(), encoded.size()));
    KU_FUZZ_CHECK(memcmp(again.get(), in.data(), in.size()) == 0 && again.get()[in.size()] == '\0');
}

// UTF-16 against iconv where iconv reads the units (no unpaired surrogate),
// up to the first zero unit, where the UTF-8 text ends; a byte-order mark
// gives the same text.
void utf16(const Bytes &in)
{
    Owned<char> le(kuUTF_UTF16LEToUTF8(in.data(), in.size()));
    Owned<char> be(kuUTF_UTF16BEToUTF8(in.data(), in.size()));
    Owned<char> bom(kuUTF_UTF16BOMToUTF8(in.data(), in.size()));
    KU_FUZZ_CHECK(le.get() && be.get() && bom.get());

    std::string units(in.data(), in.size() & ~(size_t)1), expected;
    for (size_t i = 0; i < units.size(); i += 2)
        if (units[i] == 0 && units[i + 1] == 0)
            units.resize(i);
    if (iconvert("UTF-8", "UTF-16LE", units, &expected))
        KU_FUZZ_CHECK(expected == le.get());
    if (iconvert("UTF-8", "UTF-16BE", units, &expected))
        KU_FUZZ_CHECK(expected == be.get());

    Bytes withMark(("\xFE\xFF" + std::string(in.data(), in.size())).c_str(), in.size() + 2);
    Owned<char> viaMark(kuUTF_UTF16BOMToUTF8(withMark.data(), withMark.size()));
    KU_FUZZ_CHECK(strcmp(viaMark.get(), be.get()) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Bytes in(data, size);
    FuzzedDataProvider fdp(data, size);
    readCharacters(in);
    std::string text = std::string((const char *)data, size);
    bool wellFormed = wholeStrings(kufuzz::upToZero(text), fdp);
    longTexts(kufuzz::upToZero(text));
    if (text.find('\0') != std::string::npos)
        wellFormed = scalarValuesOnly(text);
    modifiedUTF8(in, wellFormed, fdp);
    latin1(in);
    utf16(in);
    return 0;
}
