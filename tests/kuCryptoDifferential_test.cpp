// The digests and ciphers against OpenSSL on random keys, IVs and messages
// of every length up to a few kilobytes, fed in random pieces. Built without
// the comparisons where OpenSSL is not available (cross builds).
#include <kuvanaTools/kuAES128.h>
#include <kuvanaTools/kuBlowfish.h>
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuRC4.h>
#include <kuvanaTools/kuSHA1.h>

#include "support/Hex.h"
#include "support/Random.h"

#include <gtest/gtest.h>

#ifdef KU_HAVE_OPENSSL

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/provider.h>

#include <algorithm>

using kutest::toHex;
using Bytes = std::vector<uint8_t>;

namespace {

const size_t kMaxLength = 4096;

struct Random : kutest::Random {
    Bytes bytes(size_t n)
    {
        Bytes b(n);
        for (auto &x : b)
            x = (uint8_t)next();
        return b;
    }

    // Calls f(offset, length) for random pieces of n bytes (multiples of
    // unit), empty ones included.
    template <typename F> void inPieces(size_t n, size_t unit, F f)
    {
        for (size_t at = 0, units = n / unit; units != 0;) {
            size_t take = chance(20) ? 0 : 1 + (size_t)below((int)std::min<size_t>(units, 200));
            f(at, take * unit);
            at += take * unit;
            units -= take;
        }
    }
};

Bytes opensslEncrypt(const EVP_CIPHER *cipher, const Bytes &key, const Bytes &iv, const Bytes &in)
{
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    EXPECT_EQ(1, EVP_EncryptInit_ex2(ctx, cipher, nullptr, nullptr, nullptr));
    EXPECT_EQ(1, EVP_CIPHER_CTX_set_key_length(ctx, (int)key.size()));
    EXPECT_EQ(1, EVP_EncryptInit_ex2(ctx, nullptr, key.data(), iv.empty() ? nullptr : iv.data(),
                                     nullptr));
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    Bytes out(in.size() + 64);
    int n = 0, tail = 0;
    EXPECT_EQ(1, EVP_EncryptUpdate(ctx, out.data(), &n, in.data(), (int)in.size()));
    EXPECT_EQ(1, EVP_EncryptFinal_ex(ctx, out.data() + n, &tail));
    out.resize((size_t)(n + tail));
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

// Big-endian words, as the Blowfish interface takes them.
std::vector<uint32_t> toWords(const Bytes &b)
{
    std::vector<uint32_t> w(b.size() / 4);
    for (size_t i = 0; i < w.size(); i++)
        w[i] = (uint32_t)b[4 * i] << 24 | b[4 * i + 1] << 16 | b[4 * i + 2] << 8 | b[4 * i + 3];
    return w;
}

Bytes cat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Blowfish and RC4 live in OpenSSL's legacy provider, loaded once for the
// run (unloading the default one between tests breaks the other fetches).
EVP_CIPHER *legacyCipher(const char *name)
{
    static struct Providers {
        OSSL_PROVIDER *legacy = OSSL_PROVIDER_load(nullptr, "legacy");
        OSSL_PROVIDER *base = OSSL_PROVIDER_load(nullptr, "default");
        ~Providers()
        {
            OSSL_PROVIDER_unload(legacy);
            OSSL_PROVIDER_unload(base);
        }
    } providers;
    EVP_CIPHER *cipher =
        providers.legacy != nullptr ? EVP_CIPHER_fetch(nullptr, name, nullptr) : nullptr;
    EXPECT_NE(nullptr, cipher) << "OpenSSL's legacy provider is missing";
    return cipher;
}

} // namespace

// The digests, their HMACs and the RC4 stream over every length.
TEST(kuCryptoDifferential, DigestsAndRC4)
{
    EVP_CIPHER *rc4 = legacyCipher("RC4");
    ASSERT_NE(nullptr, rc4);
    Random random;
    for (size_t length = 0; length <= kMaxLength; length++) {
        Bytes message = random.bytes(length), key = random.bytes((size_t)random.below(256));
        Bytes stream = message, rc4Key = cat(key, Bytes(1, (uint8_t)length)); // 1 to 256 bytes
        uint8_t md5[16], sha1[20], hmacMD5[16], hmacSHA1[20];
        kuMD5 m;
        kuSHA1 s;
        kuRC4 state;
        kuMD5_Init(&m);
        kuSHA1_Init(&s);
        kuRC4_PrepareKey(rc4Key.data(), rc4Key.size(), &state);
        random.inPieces(length, 1, [&](size_t at, size_t n) {
            kuMD5_Add(&m, message.data() + at, n);
            kuSHA1_Update(&s, message.data() + at, n);
            kuRC4_Process(stream.data() + at, n, &state);
        });
        kuMD5_Get(&m, md5);
        kuSHA1_Final(&s, sha1);
        kuMD5_HMAC(message.data(), length, key.data(), key.size(), hmacMD5);
        kuSHA1_HMAC(key.data(), key.size(), message.data(), length, hmacSHA1);
        auto theirs = [&](const EVP_MD *md, bool keyed) {
            uint8_t out[20];
            unsigned n = 0;
            if (keyed)
                HMAC(md, key.data(), (int)key.size(), message.data(), length, out, &n);
            else
                EVP_Digest(message.data(), length, out, &n, md, nullptr);
            return toHex(out, n);
        };
        ASSERT_EQ(theirs(EVP_md5(), false), toHex(md5, 16)) << "MD5 of " << length;
        ASSERT_EQ(theirs(EVP_sha1(), false), toHex(sha1, 20)) << "SHA-1 of " << length;
        ASSERT_EQ(theirs(EVP_md5(), true), toHex(hmacMD5, 16)) << key.size() << "/" << length;
        ASSERT_EQ(theirs(EVP_sha1(), true), toHex(hmacSHA1, 20)) << key.size() << "/" << length;
        ASSERT_EQ(toHex(opensslEncrypt(rc4, rc4Key, Bytes(), message)), toHex(stream))
            << "RC4 " << rc4Key.size() << "/" << length;
    }
    EVP_CIPHER_free(rc4);
}

TEST(kuCryptoDifferential, AES128)
{
    Random random;
    for (size_t length = 0; length <= kMaxLength; length += 16) {
        Bytes key = random.bytes(16), iv = random.bytes(16), plain = random.bytes(length);
        for (bool cbc : {false, true}) {
            kuAES128 *aes =
                cbc ? kuAES128_NewCBC(key.data(), iv.data()) : kuAES128_NewECB(key.data());
            Bytes data = plain;
            auto run = [&](auto op) {
                random.inPieces(length, 16, [&](size_t at, size_t n) {
                    ASSERT_EQ(0, op(aes, data.data() + at, n));
                });
            };
            run(kuAES128_Encrypt);
            ASSERT_EQ(toHex(opensslEncrypt(cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb(), key,
                                           cbc ? iv : Bytes(), plain)),
                      toHex(data))
                << (cbc ? "CBC " : "ECB ") << length;
            kuAES128_SetIV(aes, iv.data());
            run(kuAES128_Decrypt);
            ASSERT_EQ(toHex(plain), toHex(data)) << (cbc ? "CBC " : "ECB ") << length;
            kuAES128_Delete(aes);
        }
    }
}

TEST(kuCryptoDifferential, Blowfish)
{
    EVP_CIPHER *ecb = legacyCipher("BF-ECB"), *cbc = legacyCipher("BF-CBC");
    ASSERT_TRUE(ecb != nullptr && cbc != nullptr);
    Random random;
    kuBlowfish bf;
    for (size_t length = 0; length <= kMaxLength; length += 8) {
        Bytes key = random.bytes(1 + (size_t)random.below(56)), iv = random.bytes(8);
        Bytes plain = random.bytes(length);
        kuBlowfish_Init(&bf, key.data(), key.size());
        const std::vector<uint32_t> ivPlain = toWords(cat(iv, plain)); // the IV, then the message
        std::vector<uint32_t> words = ivPlain;
        for (size_t i = 2; i < words.size(); i += 2)
            kuBlowfish_Encrypt(&bf, &words[i], &words[i + 1]);
        ASSERT_EQ(toWords(cat(iv, opensslEncrypt(ecb, key, Bytes(), plain))), words)
            << "ECB " << key.size() << "/" << length;
        words = ivPlain; // decryption: the published vectors' suite
        kuBlowfish_SetInitVector(&bf, words[0], words[1]);
        kuBlowfish_EncryptArrayCBC(&bf, words.data() + 2, words.size() - 2);
        ASSERT_EQ(toWords(cat(iv, opensslEncrypt(cbc, key, iv, plain))), words)
            << "CBC " << key.size() << "/" << length;
    }
    EVP_CIPHER_free(ecb);
    EVP_CIPHER_free(cbc);
}

#else

TEST(kuCryptoDifferential, NeedsOpenSSL)
{
    GTEST_SKIP() << "built without OpenSSL";
}

#endif
