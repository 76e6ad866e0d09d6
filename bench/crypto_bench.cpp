// Digests and ciphers against OpenSSL on a 64 MiB buffer (AES-128-CBC also on
// 1 MiB). Run once as is and once with OpenSSL's CPU-specific code switched
// off (AES-NI, SHA extensions, and the SSSE3/AVX/AVX2 vector code), so that
// both sides run portable code:
//   OPENSSL_ia32cap="~0x1200020000000000:~0x20000020" ./crypto_bench
// The run reports OpenSSL's AES-128-CBC speed with and without the mask (a
// child process without it), which shows whether the mask took effect.
// Blowfish and RC4 come from OpenSSL's legacy provider.
#include <kuvanaTools/kuAES128.h>
#include <kuvanaTools/kuBlowfish.h>
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuRC4.h>
#include <kuvanaTools/kuSHA1.h>

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>

#include <vector>

namespace {

const size_t kSize = 64u << 20;

std::vector<uint8_t> &buffer()
{
    static std::vector<uint8_t> data = [] {
        std::vector<uint8_t> d(kSize);
        uint32_t x = 12345;
        for (auto &b : d) {
            x = x * 1103515245 + 12345;
            b = (uint8_t)(x >> 16);
        }
        return d;
    }();
    return data;
}

const uint8_t kKey[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const uint8_t kIV[16] = {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};

void finish(benchmark::State &state)
{
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kSize);
}

void BM_MD5_ku(benchmark::State &state)
{
    uint8_t out[16];
    for (auto _ : state) {
        kuMD5 c;
        kuMD5_Init(&c);
        kuMD5_Add(&c, buffer().data(), kSize);
        kuMD5_Get(&c, out);
        benchmark::DoNotOptimize(out);
    }
    finish(state);
}

void opensslDigest(benchmark::State &state, const char *name)
{
    EVP_MD *md = EVP_MD_fetch(nullptr, name, nullptr);
    uint8_t out[EVP_MAX_MD_SIZE];
    unsigned n = 0;
    for (auto _ : state) {
        EVP_Digest(buffer().data(), kSize, out, &n, md, nullptr);
        benchmark::DoNotOptimize(out);
    }
    EVP_MD_free(md);
    finish(state);
}

void BM_MD5_openssl(benchmark::State &state) { opensslDigest(state, "MD5"); }

void BM_SHA1_ku(benchmark::State &state)
{
    uint8_t out[20];
    for (auto _ : state) {
        kuSHA1 c;
        kuSHA1_Init(&c);
        kuSHA1_Update(&c, buffer().data(), kSize);
        kuSHA1_Final(&c, out);
        benchmark::DoNotOptimize(out);
    }
    finish(state);
}

void BM_SHA1_openssl(benchmark::State &state) { opensslDigest(state, "SHA1"); }

void aesKu(benchmark::State &state, size_t size)
{
    kuAES128 *aes = kuAES128_NewCBC(kKey, kIV);
    for (auto _ : state) {
        kuAES128_Encrypt(aes, buffer().data(), size);
        benchmark::ClobberMemory();
    }
    kuAES128_Delete(aes);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)size);
}

void BM_AES128CBCEncrypt_ku(benchmark::State &state) { aesKu(state, kSize); }
void BM_AES128CBCEncrypt1MiB_ku(benchmark::State &state) { aesKu(state, 1u << 20); }

void opensslCipher(benchmark::State &state, const char *name, int keyLength, size_t size = kSize)
{
    EVP_CIPHER *cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
    if (cipher == nullptr) {
        state.SkipWithError("cipher not available");
        return;
    }
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex2(ctx, cipher, nullptr, nullptr, nullptr);
    EVP_CIPHER_CTX_set_key_length(ctx, keyLength);
    EVP_EncryptInit_ex2(ctx, nullptr, kKey, kIV, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int n = 0;
    for (auto _ : state) {
        EVP_EncryptUpdate(ctx, buffer().data(), &n, buffer().data(), (int)size);
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)size);
}

void BM_AES128CBCEncrypt_openssl(benchmark::State &state)
{
    opensslCipher(state, "AES-128-CBC", 16);
}

void BM_AES128CBCEncrypt1MiB_openssl(benchmark::State &state)
{
    opensslCipher(state, "AES-128-CBC", 16, 1u << 20);
}

// OpenSSL's AES-128-CBC speed in MB/s over about a fifth of a second of CPU time.
double probeOpenSSL()
{
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex2(ctx, EVP_aes_128_cbc(), kKey, kIV, nullptr);
    std::vector<uint8_t> data(1u << 20);
    int n = 0;
    timespec start, now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    double seconds = 0;
    size_t bytes = 0;
    while (seconds < 0.2) {
        EVP_EncryptUpdate(ctx, data.data(), &n, data.data(), (int)data.size());
        bytes += data.size();
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        seconds = (double)(now.tv_sec - start.tv_sec) + (double)(now.tv_nsec - start.tv_nsec) / 1e9;
    }
    EVP_CIPHER_CTX_free(ctx);
    return (double)bytes / seconds / 1e6;
}

// With a mask set: OpenSSL's speed here and in a child without the mask.
// AES-NI is several times faster than any portable code, so a mask that
// took effect shows as a large gap.
void checkMask(const char *self)
{
    double masked = probeOpenSSL();
    std::string command = "env -u OPENSSL_ia32cap '" + std::string(self) + "' --probe-openssl";
    double plain = 0;
    if (FILE *child = popen(command.c_str(), "r")) {
        if (fscanf(child, "%lf", &plain) != 1)
            plain = 0;
        pclose(child);
    }
    char text[160];
    bool effect = plain > 2 * masked;
    snprintf(text, sizeof text, "%s: OpenSSL AES-128-CBC %.0f MB/s masked, %.0f MB/s unmasked",
             effect ? "yes" : "NO", masked, plain);
    benchmark::AddCustomContext("mask in effect", text);
    if (!effect)
        fprintf(stderr, "warning: OPENSSL_ia32cap seems to have no effect (%s)\n", text);
}

void BM_RC4_ku(benchmark::State &state)
{
    kuRC4 rc4;
    kuRC4_PrepareKey(kKey, 16, &rc4);
    for (auto _ : state) {
        kuRC4_Process(buffer().data(), kSize, &rc4);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void BM_RC4_openssl(benchmark::State &state) { opensslCipher(state, "RC4", 16); }

// Bytes to big-endian word pairs and back, as a caller of the word
// interface does, so that both sides do the same work.
void BM_BlowfishECB_ku(benchmark::State &state)
{
    kuBlowfish bf;
    kuBlowfish_Init(&bf, kKey, 16);
    for (auto _ : state) {
        uint8_t *p = buffer().data();
        for (size_t i = 0; i < kSize; i += 8) {
            uint32_t l, r;
            memcpy(&l, p + i, 4);
            memcpy(&r, p + i + 4, 4);
            l = __builtin_bswap32(l);
            r = __builtin_bswap32(r);
            kuBlowfish_Encrypt(&bf, &l, &r);
            l = __builtin_bswap32(l);
            r = __builtin_bswap32(r);
            memcpy(p + i, &l, 4);
            memcpy(p + i + 4, &r, 4);
        }
        benchmark::ClobberMemory();
    }
    finish(state);
}

void BM_BlowfishECB_openssl(benchmark::State &state) { opensslCipher(state, "BF-ECB", 16); }

} // namespace

BENCHMARK(BM_MD5_ku)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MD5_openssl)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SHA1_ku)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SHA1_openssl)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AES128CBCEncrypt_ku)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AES128CBCEncrypt_openssl)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AES128CBCEncrypt1MiB_ku)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_AES128CBCEncrypt1MiB_openssl)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_RC4_ku)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RC4_openssl)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BlowfishECB_ku)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BlowfishECB_openssl)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "--probe-openssl") == 0) {
        printf("%.1f\n", probeOpenSSL());
        return 0;
    }
    OSSL_PROVIDER *legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER *base = OSSL_PROVIDER_load(nullptr, "default");
    const char *cap = getenv("OPENSSL_ia32cap");
    benchmark::AddCustomContext("OPENSSL_ia32cap", cap ? cap : "(unset: default code paths)");
    if (cap != nullptr)
        checkMask(argv[0]);
    buffer();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    OSSL_PROVIDER_unload(legacy);
    OSSL_PROVIDER_unload(base);
    return 0;
}
