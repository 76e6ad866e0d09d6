// UTF-8 <-> wide conversion of 16 MiB of mixed-script text, against the C
// library's mbstowcs/wcstombs and iconv.
#include <kuvanaTools/kuUnicode.h>

#include <benchmark/benchmark.h>

#include <iconv.h>
#include <locale.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// Latin, accented Latin, Cyrillic, CJK and emoji, as a media library's titles mix them.
const char *const kSamples[] = {
    "The Quick Brown Fox - Live at the Hall (Remastered 2011) ",
    "Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu \xE2\x80\x93 Gr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen ",
    "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80 ",
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x9B\xB2 ",
    "\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB6 playlist ",
};

struct Corpus {
    std::string utf8;
    std::vector<wchar_t> wide;
    size_t characters = 0;
    Corpus()
    {
        size_t i = 0;
        while (utf8.size() < (16u << 20))
            utf8 += kSamples[i++ % 5];
        characters = (size_t)kuUnicode_UTF8ToWide(nullptr, utf8.c_str(), 0);
        wide.resize(characters + 1);
        kuUnicode_UTF8ToWide(wide.data(), utf8.c_str(), wide.size());
        setlocale(LC_ALL, "C.UTF-8");
    }
};

Corpus &corpus()
{
    static Corpus c;
    return c;
}

void KuUTF8ToWide(benchmark::State &state)
{
    Corpus &c = corpus();
    std::vector<wchar_t> out(c.characters + 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(kuUnicode_UTF8ToWide(out.data(), c.utf8.c_str(), out.size()));
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.utf8.size());
}

void LibcMbstowcs(benchmark::State &state)
{
    Corpus &c = corpus();
    std::vector<wchar_t> out(c.characters + 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(mbstowcs(out.data(), c.utf8.c_str(), out.size()));
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.utf8.size());
}

void IconvUTF8ToWide(benchmark::State &state)
{
    Corpus &c = corpus();
    std::vector<wchar_t> out(c.characters + 1);
    iconv_t cd = iconv_open("WCHAR_T", "UTF-8");
    for (auto _ : state) {
        char *in = (char *)c.utf8.data();
        size_t inLeft = c.utf8.size();
        char *o = (char *)out.data();
        size_t outLeft = out.size() * sizeof(wchar_t);
        benchmark::DoNotOptimize(iconv(cd, &in, &inLeft, &o, &outLeft));
    }
    iconv_close(cd);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.utf8.size());
}

void KuWideToUTF8(benchmark::State &state)
{
    Corpus &c = corpus();
    std::vector<char> out(c.utf8.size() + 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(kuUnicode_WideToUTF8(out.data(), c.wide.data(), out.size()));
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.utf8.size());
}

void LibcWcstombs(benchmark::State &state)
{
    Corpus &c = corpus();
    std::vector<char> out(c.utf8.size() + 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(wcstombs(out.data(), c.wide.data(), out.size()));
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.utf8.size());
}

void IconvWideToUTF8(benchmark::State &state)
{
    Corpus &c = corpus();
    std::vector<char> out(c.utf8.size() + 1);
    iconv_t cd = iconv_open("UTF-8", "WCHAR_T");
    for (auto _ : state) {
        char *in = (char *)c.wide.data();
        size_t inLeft = c.characters * sizeof(wchar_t);
        char *o = out.data();
        size_t outLeft = out.size();
        benchmark::DoNotOptimize(iconv(cd, &in, &inLeft, &o, &outLeft));
    }
    iconv_close(cd);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.utf8.size());
}

} // namespace

BENCHMARK(KuUTF8ToWide)->Unit(benchmark::kMillisecond);
BENCHMARK(LibcMbstowcs)->Unit(benchmark::kMillisecond);
BENCHMARK(IconvUTF8ToWide)->Unit(benchmark::kMillisecond);
BENCHMARK(KuWideToUTF8)->Unit(benchmark::kMillisecond);
BENCHMARK(LibcWcstombs)->Unit(benchmark::kMillisecond);
BENCHMARK(IconvWideToUTF8)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
