// UTF-8 <-> wide conversion against the C library's mbstowcs/wcstombs and
// iconv, on 16 MiB of text of six kinds: pure ASCII, Latin-1 heavy, words of
// a dozen scripts at random, CJK only, emoji only, and the mixed text with 1%
// of its bytes made invalid (converted line by line, as a caller skipping the
// bad lines does). Each kind is drawn at random with a fixed seed, words
// separated by spaces and lines broken at about 70 columns.
#include <kuvanaTools/kuUnicode.h>

#include <benchmark/benchmark.h>

#include <iconv.h>
#include <locale.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

struct Range {
    uint32_t first, last;
};

// Letters of each script, as code point ranges drawn from evenly.
const std::vector<std::vector<Range>> kScripts = {
    {{'a', 'z'}},                               // 0 Latin
    {{'a', 'z'}, {0xE0, 0xFF}},                 // 1 accented Latin
    {{0x3B1, 0x3C9}},                           // 2 Greek
    {{0x430, 0x44F}},                           // 3 Cyrillic
    {{0x627, 0x64A}},                           // 4 Arabic
    {{0x5D0, 0x5EA}},                           // 5 Hebrew
    {{0x4E00, 0x9FFF}},                         // 6 CJK
    {{0xAC00, 0xD7A3}},                         // 7 Hangul
    {{0x3041, 0x3096}, {0x30A1, 0x30FA}},       // 8 kana
    {{0xE01, 0xE2E}},                           // 9 Thai
    {{0x905, 0x939}},                           // 10 Devanagari
    {{0x1F300, 0x1F64F}},                       // 11 emoji
};

struct Kind {
    const char *name;
    std::vector<int> scripts;
    bool invalid;
};

const Kind kKinds[] = {
    {"ascii", {0}, false},
    {"latin1", {1}, false},
    {"mixed", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, false},
    {"cjk", {6}, false},
    {"emoji", {11}, false},
    {"invalid1pct", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, true},
};
constexpr int kKindCount = sizeof kKinds / sizeof kKinds[0];

struct Random {
    uint64_t x = 0x9E3779B97F4A7C15ull;
    uint32_t next(uint32_t n)
    {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return (uint32_t)((x >> 32) % n);
    }
};

void appendUTF8(std::string &s, uint32_t c)
{
    char b[8];
    int n = kuUnicode_WriteUTF8Char(b, sizeof b, c);
    s.append(b, (size_t)n);
}

struct Corpus {
    std::string utf8;           // one zero-terminated text
    std::vector<wchar_t> wide;  // the same as wide text (valid kinds)
    std::vector<size_t> lines;  // offsets of zero-terminated lines (invalid kind)
    size_t characters = 0;

    explicit Corpus(const Kind &kind)
    {
        Random r;
        size_t column = 0;
        while (utf8.size() < (16u << 20)) {
            const std::vector<Range> &ranges = kScripts[kind.scripts[r.next((uint32_t)kind.scripts.size())]];
            size_t letters = 2 + r.next(8);
            for (size_t i = 0; i < letters; i++) {
                const Range &g = ranges[r.next((uint32_t)ranges.size())];
                appendUTF8(utf8, g.first + r.next(g.last - g.first + 1));
            }
            column += letters + 1;
            if (column >= 70) {
                utf8 += '\n';
                column = 0;
            } else {
                utf8 += ' ';
            }
        }
        if (kind.invalid) {
            // 1% of the bytes become bytes that no sequence may hold there
            static const char kBad[] = {'\x80', '\xBF', '\xC0', '\xFE', '\xFF'};
            for (size_t i = 0; i < utf8.size() / 100; i++)
                utf8[r.next((uint32_t)utf8.size())] = kBad[r.next(5)];
            lines.push_back(0);
            for (size_t i = 0; i < utf8.size(); i++) {
                if (utf8[i] == '\n') {
                    utf8[i] = '\0';
                    lines.push_back(i + 1);
                }
            }
            characters = utf8.size();
            return;
        }
        characters = (size_t)kuUnicode_UTF8ToWide(nullptr, utf8.c_str(), 0);
        wide.resize(characters + 1);
        kuUnicode_UTF8ToWide(wide.data(), utf8.c_str(), wide.size());
    }
};

Corpus &corpus(int kind)
{
    static Corpus *corpora[kKindCount];
    if (corpora[kind] == nullptr)
        corpora[kind] = new Corpus(kKinds[kind]);
    return *corpora[kind];
}

// The three decoders behind one signature: characters converted, or -1.
ptrdiff_t kuDecode(iconv_t, wchar_t *out, size_t size, const char *text, size_t)
{
    return kuUnicode_UTF8ToWide(out, text, size);
}

ptrdiff_t libcDecode(iconv_t, wchar_t *out, size_t size, const char *text, size_t)
{
    return (ptrdiff_t)mbstowcs(out, text, size);
}

ptrdiff_t iconvDecode(iconv_t cd, wchar_t *out, size_t size, const char *text, size_t length)
{
    char *in = (char *)text;
    char *o = (char *)out;
    size_t outLeft = size * sizeof(wchar_t);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return iconv(cd, &in, &length, &o, &outLeft) == (size_t)-1 ? -1 : (ptrdiff_t)(o - (char *)out);
}

using Decoder = ptrdiff_t (*)(iconv_t, wchar_t *, size_t, const char *, size_t);

void decode(benchmark::State &state, Decoder decoder, int kind)
{
    Corpus &c = corpus(kind);
    std::vector<wchar_t> out(c.characters + 1);
    iconv_t cd = iconv_open("WCHAR_T", "UTF-8");
    for (auto _ : state) {
        if (c.lines.empty()) {
            benchmark::DoNotOptimize(decoder(cd, out.data(), out.size(), c.utf8.c_str(), c.utf8.size()));
            continue;
        }
        ptrdiff_t rejected = 0;
        for (size_t offset : c.lines) {
            const char *line = c.utf8.c_str() + offset;
            rejected += decoder(cd, out.data(), out.size(), line, strlen(line)) < 0;
        }
        benchmark::DoNotOptimize(rejected);
    }
    iconv_close(cd);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.utf8.size());
}

size_t kuEncode(iconv_t, char *out, size_t size, const wchar_t *text, size_t)
{
    return kuUnicode_WideToUTF8(out, text, size);
}

size_t libcEncode(iconv_t, char *out, size_t size, const wchar_t *text, size_t)
{
    return wcstombs(out, text, size);
}

size_t iconvEncode(iconv_t cd, char *out, size_t size, const wchar_t *text, size_t characters)
{
    char *in = (char *)text;
    size_t inLeft = characters * sizeof(wchar_t);
    char *o = out;
    iconv(cd, &in, &inLeft, &o, &size);
    return (size_t)(o - out);
}

using Encoder = size_t (*)(iconv_t, char *, size_t, const wchar_t *, size_t);

void encode(benchmark::State &state, Encoder encoder, int kind)
{
    Corpus &c = corpus(kind);
    std::vector<char> out(c.utf8.size() + 1);
    iconv_t cd = iconv_open("UTF-8", "WCHAR_T");
    for (auto _ : state)
        benchmark::DoNotOptimize(encoder(cd, out.data(), out.size(), c.wide.data(), c.characters));
    iconv_close(cd);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.utf8.size());
}

} // namespace

// Names are Ku/Libc/Iconv, the direction, then the kind:
// KuUTF8ToWide/mixed, LibcWideToUTF8/cjk, ...
int main(int argc, char **argv)
{
    setlocale(LC_ALL, "C.UTF-8");
    struct {
        const char *name;
        Decoder decoder;
        Encoder encoder;
    } const sides[] = {{"Ku", kuDecode, kuEncode}, {"Libc", libcDecode, libcEncode},
                       {"Iconv", iconvDecode, iconvEncode}};
    for (int k = 0; k < kKindCount; k++) {
        for (const auto &side : sides) {
            std::string name = std::string(side.name) + "UTF8ToWide/" + kKinds[k].name;
            benchmark::RegisterBenchmark(name.c_str(), decode, side.decoder, k)
                ->Unit(benchmark::kMillisecond);
        }
        if (kKinds[k].invalid)
            continue;
        for (const auto &side : sides) {
            std::string name = std::string(side.name) + "WideToUTF8/" + kKinds[k].name;
            benchmark::RegisterBenchmark(name.c_str(), encode, side.encoder, k)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
