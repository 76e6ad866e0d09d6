// Base64 against OpenSSL's block coder, and the 32-bit decimal parsers
// against the C library's strtoul/strtol.
#include <kuvanaTools/kuBase64.h>
#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuMemory.h>

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

namespace {

constexpr size_t kBase64Bytes = 16u << 20;

struct Random {
    uint64_t state = 0x2545F4914F6CDD1Du;
    uint64_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

const std::vector<unsigned char> &binaryInput()
{
    static std::vector<unsigned char> data = [] {
        std::vector<unsigned char> d(kBase64Bytes);
        Random r;
        for (auto &b : d)
            b = (unsigned char)r.next();
        return d;
    }();
    return data;
}

const std::vector<char> &encodedInput()
{
    static std::vector<char> text = [] {
        const auto &in = binaryInput();
        std::vector<char> t(in.size() / 3 * 4 + 8);
        EVP_EncodeBlock((unsigned char *)t.data(), in.data(), (int)in.size());
        return t;
    }();
    return text;
}

void Base64Encode_ku(benchmark::State &state)
{
    const auto &in = binaryInput();
    for (auto _ : state) {
        char *text;
        size_t n = kuBase64_Encode(in.data(), in.size(), &text);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(text[n - 1]);
        kuFree(text);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)in.size());
}

void Base64Encode_OpenSSL(benchmark::State &state)
{
    const auto &in = binaryInput();
    for (auto _ : state) {
        // allocated per call as the library's encoder must
        unsigned char *text = (unsigned char *)malloc((in.size() + 2) / 3 * 4 + 1);
        int n = EVP_EncodeBlock(text, in.data(), (int)in.size());
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(text[n - 1]);
        free(text);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)in.size());
}

void Base64Decode_ku(benchmark::State &state)
{
    const auto &text = encodedInput();
    std::vector<unsigned char> out(kBase64Bytes + 4);
    for (auto _ : state) {
        long n = kuBase64_Decode(text.data(), out.data());
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kBase64Bytes);
}

void Base64Decode_OpenSSL(benchmark::State &state)
{
    const auto &text = encodedInput();
    std::vector<unsigned char> out(kBase64Bytes + 4);
    int length = (int)strlen(text.data());
    for (auto _ : state) {
        int n = EVP_DecodeBlock(out.data(), (const unsigned char *)text.data(), length);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kBase64Bytes);
}

// Decimal texts of 1 to 10 digits, some with a blank or a sign before them.
std::vector<std::string> decimalTexts(bool withMinus)
{
    std::vector<std::string> texts;
    Random r;
    for (int i = 0; i < 4096; i++) {
        char buffer[32];
        int digits = 1 + (int)(r.next() % 10);
        uint64_t value = r.next() % 10000000000u;
        for (int d = digits; d < 10; d++)
            value /= 10;
        if (value > 2147483647u)
            value /= 2;
        const char *prefix = "";
        switch (r.next() % 8) {
        case 0: prefix = " "; break;
        case 1: prefix = withMinus ? "-" : "+"; break;
        case 2: prefix = withMinus ? "-" : ""; break;
        default: break;
        }
        snprintf(buffer, sizeof buffer, "%s%llu", prefix, (unsigned long long)value);
        texts.push_back(buffer);
    }
    return texts;
}

void StrToUInt32_ku(benchmark::State &state)
{
    auto texts = decimalTexts(false);
    for (auto _ : state) {
        uint32_t sum = 0;
        for (const auto &t : texts) {
            uint32_t v;
            kuConvert_strtouint32(t.c_str(), &v);
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed((int64_t)state.iterations() * (int64_t)texts.size());
}

void StrToUInt32_strtoul(benchmark::State &state)
{
    auto texts = decimalTexts(false);
    for (auto _ : state) {
        uint32_t sum = 0;
        for (const auto &t : texts)
            sum += (uint32_t)strtoul(t.c_str(), nullptr, 10);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed((int64_t)state.iterations() * (int64_t)texts.size());
}

void StrToInt32_ku(benchmark::State &state)
{
    auto texts = decimalTexts(true);
    for (auto _ : state) {
        int32_t sum = 0;
        for (const auto &t : texts) {
            int32_t v;
            kuConvert_strtoint32(t.c_str(), &v);
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed((int64_t)state.iterations() * (int64_t)texts.size());
}

void StrToInt32_strtol(benchmark::State &state)
{
    auto texts = decimalTexts(true);
    for (auto _ : state) {
        int32_t sum = 0;
        for (const auto &t : texts)
            sum += (int32_t)strtol(t.c_str(), nullptr, 10);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed((int64_t)state.iterations() * (int64_t)texts.size());
}

} // namespace

BENCHMARK(Base64Encode_ku)->Unit(benchmark::kMillisecond);
BENCHMARK(Base64Encode_OpenSSL)->Unit(benchmark::kMillisecond);
BENCHMARK(Base64Decode_ku)->Unit(benchmark::kMillisecond);
BENCHMARK(Base64Decode_OpenSSL)->Unit(benchmark::kMillisecond);
BENCHMARK(StrToUInt32_ku);
BENCHMARK(StrToUInt32_strtoul);
BENCHMARK(StrToInt32_ku);
BENCHMARK(StrToInt32_strtol);

BENCHMARK_MAIN();
