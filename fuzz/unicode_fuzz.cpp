// UTF-8, wide, modified UTF-8, ISO-8859-1 and UTF-16 converters: no input
// makes them read or write outside their buffers, and what they accept comes
// back unchanged through the reverse conversion.
#include "FuzzUtil.h"

#include <kuvanaTools/kuUTF.h>
#include <kuvanaTools/kuUnicode.h>
#include <kuvanaTools/kuWString.h>

using kufuzz::Bytes;
using kufuzz::Owned;

namespace {

// Every character read is written back to the same bytes.
void readCharacters(const Bytes &in)
{
    size_t pos = 0;
    while (pos < in.size()) {
        uint32_t cp = 0;
        int used = kuUnicode_ReadUTF8Char(in.data() + pos, in.size() - pos, &cp);
        KU_FUZZ_CHECK(used == -1 || used == -2 || (used >= 1 && used <= 7));
        if (used < 0) {
            pos++;
            continue;
        }
        KU_FUZZ_CHECK(kuUnicode_UTF8CharLength(cp) == used);
        if (used <= 6) {
            char out[7];
            KU_FUZZ_CHECK(kuUnicode_WriteUTF8Char(out, sizeof out, cp) == used);
            KU_FUZZ_CHECK(memcmp(out, in.data() + pos, (size_t)used) == 0);
        }
        pos += (size_t)used;
    }
}

// UTF-8 -> wide -> UTF-8 is the identity for accepted text of 31-bit values;
// conversions into exactly sized short destinations stay inside them.
void wholeStrings(const std::string &input, FuzzedDataProvider &fdp)
{
    kufuzz::Text text(kufuzz::upToZero(input));
    ptrdiff_t count = kuUnicode_UTF8ToWide(nullptr, text.c_str(), (size_t)-1);
    Owned<wchar_t> plain(kuWString_S_FromUTF8(text.c_str()));
    if (count < 0) {
        KU_FUZZ_CHECK(plain.get() == nullptr);
        return;
    }
    KU_FUZZ_CHECK(plain.get() != nullptr);
    std::vector<wchar_t> wide((size_t)count + 1);
    KU_FUZZ_CHECK(kuUnicode_UTF8ToWide(wide.data(), text.c_str(), wide.size()) == count);
    KU_FUZZ_CHECK(wide[(size_t)count] == 0);
    KU_FUZZ_CHECK(memcmp(wide.data(), plain.get(), wide.size() * sizeof(wchar_t)) == 0);

    bool only31Bits = true;
    for (ptrdiff_t i = 0; i < count; i++)
        only31Bits = only31Bits && (uint32_t)wide[(size_t)i] <= 0x7FFFFFFF;
    size_t bytes = kuUnicode_WideToUTF8(nullptr, wide.data(), (size_t)-1);
    Owned<char> back(kuWString_S_ToUTF8(wide.data()));
    KU_FUZZ_CHECK(back.get() != nullptr && strlen(back.get()) == bytes);
    if (only31Bits)
        KU_FUZZ_CHECK(strcmp(back.get(), text.c_str()) == 0);

    kuWString grown = kuWString_NewFromUTF8(text.c_str());
    KU_FUZZ_CHECK(grown != nullptr && kuWString_Length(grown) == (size_t)count);
    kuWString_Free(grown);

    // short destinations of exactly the given size
    size_t limit = fdp.ConsumeIntegralInRange<size_t>(1, (size_t)count + 1);
    wchar_t *w = (wchar_t *)malloc(limit * sizeof(wchar_t));
    ptrdiff_t stored = kuUnicode_UTF8ToWide(w, text.c_str(), limit);
    KU_FUZZ_CHECK(stored == ((size_t)count < limit ? count : (ptrdiff_t)limit));
    free(w);
    size_t byteLimit = fdp.ConsumeIntegralInRange<size_t>(1, bytes + 1);
    char *u = (char *)malloc(byteLimit);
    size_t written = kuUnicode_WideToUTF8(u, wide.data(), byteLimit);
    KU_FUZZ_CHECK(written <= byteLimit);
    if (written < byteLimit)
        KU_FUZZ_CHECK(u[written] == '\0');
    free(u);
}

// Well-formed UTF-8 of Unicode scalar values: the modified form converts
// back to the same bytes.
bool plainUnicode(const Bytes &in)
{
    size_t pos = 0;
    while (pos < in.size()) {
        uint32_t cp = 0;
        int used = kuUnicode_ReadUTF8Char(in.data() + pos, in.size() - pos, &cp);
        if (used < 1 || used > 4 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        pos += (size_t)used;
    }
    return true;
}

void modifiedUTF8(const Bytes &in, FuzzedDataProvider &fdp)
{
    int length = (int)in.size();
    int size = kuUTF_ModifiedUTF8LengthOfUTF8(in.data(), length);
    KU_FUZZ_CHECK(size == -1 || size >= 1);
    // the back conversion reads arbitrary bytes too
    {
        size_t room = fdp.ConsumeIntegralInRange<size_t>(0, 2 * in.size() + 2);
        Bytes out(room);
        kuUTF_ModifiedUTF8ToUTF8(in.data(), length, out.data(), room);
        kufuzz::Text text(kufuzz::upToZero(std::string(in.data(), in.size())));
        kuUTF_ModifiedUTF8ToUTF8(text.c_str(), -1, out.data(), room);
    }
    if (size < 1)
        return;
    Bytes modified((size_t)size);
    KU_FUZZ_CHECK(kuUTF_UTF8ToModifiedUTF8(in.data(), length, modified.data(), (size_t)size) == 1);
    KU_FUZZ_CHECK(modified.data()[size - 1] == '\0');
    if (in.size() > 0) {
        Bytes cramped((size_t)size - 1);
        KU_FUZZ_CHECK(kuUTF_UTF8ToModifiedUTF8(in.data(), length, cramped.data(), cramped.size()) ==
                      0);
    }
    if (!plainUnicode(in))
        return;
    Bytes back(in.size() + 1);
    KU_FUZZ_CHECK(kuUTF_ModifiedUTF8ToUTF8(modified.data(), size - 1, back.data(), back.size()) == 1);
    KU_FUZZ_CHECK(memcmp(back.data(), in.data(), in.size()) == 0);
}

// ISO-8859-1 -> UTF-8 -> ISO-8859-1 is the identity; any bytes read as UTF-8
// give some Latin-1 text.
void latin1(const Bytes &in)
{
    Owned<char> latin(kuUTF_UTF8ToISO88591(in.data(), in.size()));
    KU_FUZZ_CHECK(latin.get() != nullptr);
    Owned<char> utf8(kuUTF_ISO88591ToUTF8(in.data(), in.size()));
    size_t utf8Length = in.size();
    for (size_t i = 0; i < in.size(); i++)
        utf8Length += in.udata()[i] >= 0x80;
    Bytes encoded(utf8.get(), utf8Length);
    Owned<char> again(kuUTF_UTF8ToISO88591(encoded.data(), encoded.size()));
    KU_FUZZ_CHECK(memcmp(again.get(), in.data(), in.size()) == 0 && again.get()[in.size()] == '\0');
}

// Code points of UTF-16 units as the converters read them, up to the first
// zero unit (the UTF-8 result ends there when read as a terminated string).
std::vector<wchar_t> utf16CodePoints(const Bytes &in, bool bigEndian)
{
    std::vector<wchar_t> points;
    size_t units = in.size() / 2;
    auto unit = [&](size_t i) {
        const unsigned char *p = in.udata() + 2 * i;
        return bigEndian ? (uint32_t)(p[0] << 8 | p[1]) : (uint32_t)(p[1] << 8 | p[0]);
    };
    for (size_t i = 0; i < units; i++) {
        uint32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == units)
                break;
            uint32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i++;
            }
        }
        if (c == 0)
            break;
        points.push_back((wchar_t)c);
    }
    points.push_back(0);
    return points;
}

void utf16(const Bytes &in)
{
    Owned<char> le(kuUTF_UTF16LEToUTF8(in.data(), in.size()));
    Owned<char> be(kuUTF_UTF16BEToUTF8(in.data(), in.size()));
    Owned<char> bom(kuUTF_UTF16BOMToUTF8(in.data(), in.size()));
    KU_FUZZ_CHECK(le.get() && be.get() && bom.get());

    std::vector<wchar_t> expected = utf16CodePoints(in, false);
    std::vector<wchar_t> decoded(expected.size() + 1);
    KU_FUZZ_CHECK(kuUnicode_UTF8ToWide(decoded.data(), le.get(), decoded.size()) ==
                  (ptrdiff_t)expected.size() - 1);
    KU_FUZZ_CHECK(memcmp(decoded.data(), expected.data(), expected.size() * sizeof(wchar_t)) == 0);

    // the same units in the other byte order
    std::vector<unsigned char> swapped(in.udata(), in.udata() + in.size());
    for (size_t i = 0; i + 1 < swapped.size(); i += 2)
        std::swap(swapped[i], swapped[i + 1]);
    Bytes other(swapped.data(), swapped.size());
    Owned<char> be2(kuUTF_UTF16BEToUTF8(other.data(), other.size()));
    KU_FUZZ_CHECK(strcmp(be2.get(), le.get()) == 0);

    // a byte-order mark in front selects the order
    std::vector<unsigned char> marked = {0xFE, 0xFF};
    marked.insert(marked.end(), in.udata(), in.udata() + in.size());
    Bytes withMark(marked.data(), marked.size());
    Owned<char> viaMark(kuUTF_UTF16BOMToUTF8(withMark.data(), withMark.size()));
    KU_FUZZ_CHECK(strcmp(viaMark.get(), be.get()) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Bytes in(data, size);
    FuzzedDataProvider fdp(data, size);
    readCharacters(in);
    wholeStrings(kufuzz::asString(data, size), fdp);
    modifiedUTF8(in, fdp);
    latin1(in);
    utf16(in);
    return 0;
}
