// The digests and ciphers against OpenSSL on random keys, IVs and messages
// of every length up to a few kilobytes, fed in random pieces. Built without
// the comparisons where OpenSSL is not available (cross builds).
#include <kuvanaTools/kuAES128.h>
#include <kuvanaTools/kuBlowfish.h>
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuRC4.h>
#include <kuvanaTools/kuSHA1.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

#ifdef KU_HAVE_OPENSSL

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/provider.h>

#include <random>

using kutest::toHex;
using Bytes = std::vector<uint8_t>;

namespace {

const size_t kMaxLength = 4096;

struct Random {
    std::mt19937 engine{20240611};

    size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(engine); }

    Bytes bytes(size_t n)
    {
        Bytes b(n);
        for (auto &x : b)
            x = (uint8_t)engine();
        return b;
    }

    // Splits n into random pieces (multiples of unit), empty ones included.
    std::vector<size_t> pieces(size_t n, size_t unit = 1)
    {
        std::vector<size_t> out;
        size_t units = n / unit;
        while (units != 0) {
            size_t take = below(5) == 0 ? 0 : 1 + below(units < 200 ? units : 200);
            take = take > units ? units : take;
            out.push_back(take * unit);
            units -= take;
        }
        return out;
    }
};

Bytes opensslCipher(const EVP_CIPHER *cipher, bool encrypt, const Bytes &key, const Bytes &iv,
                    const Bytes &in)
{
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    EXPECT_EQ(1, EVP_CipherInit_ex2(ctx, cipher, nullptr, nullptr, encrypt ? 1 : 0, nullptr));
    EXPECT_EQ(1, EVP_CIPHER_CTX_set_key_length(ctx, (int)key.size()));
    EXPECT_EQ(1, EVP_CipherInit_ex2(ctx, nullptr, key.data(), iv.empty() ? nullptr : iv.data(),
                                    encrypt ? 1 : 0, nullptr));
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    Bytes out(in.size() + 64);
    int n = 0, tail = 0;
    EXPECT_EQ(1, EVP_CipherUpdate(ctx, out.data(), &n, in.data(), (int)in.size()));
    EXPECT_EQ(1, EVP_CipherFinal_ex(ctx, out.data() + n, &tail));
    out.resize((size_t)(n + tail));
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

std::vector<uint32_t> toWords(const Bytes &b)
{
    std::vector<uint32_t> w(b.size() / 4);
    for (size_t i = 0; i < w.size(); i++)
        w[i] = (uint32_t)b[4 * i] << 24 | b[4 * i + 1] << 16 | b[4 * i + 2] << 8 | b[4 * i + 3];
    return w;
}

Bytes toBytes(const std::vector<uint32_t> &w)
{
    Bytes b;
    for (uint32_t x : w)
        for (int s = 24; s >= 0; s -= 8)
            b.push_back((uint8_t)(x >> s));
    return b;
}

// Blowfish and RC4 live in OpenSSL's legacy provider.
struct LegacyProviders {
    OSSL_PROVIDER *legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER *base = OSSL_PROVIDER_load(nullptr, "default");
    ~LegacyProviders()
    {
        if (legacy)
            OSSL_PROVIDER_unload(legacy);
        if (base)
            OSSL_PROVIDER_unload(base);
    }
};

} // namespace

TEST(kuCryptoDifferential, Digests)
{
    Random random;
    for (size_t length = 0; length <= kMaxLength; length++) {
        Bytes message = random.bytes(length);
        uint8_t ours[20], theirs[20];
        unsigned theirsLength = 0;

        kuMD5 md5;
        kuMD5_Init(&md5);
        kuSHA1 sha1;
        kuSHA1_Init(&sha1);
        size_t at = 0;
        for (size_t n : random.pieces(length)) {
            kuMD5_Add(&md5, message.data() + at, n);
            kuSHA1_Update(&sha1, message.data() + at, n);
            at += n;
        }
        kuMD5_Get(&md5, ours);
        EVP_Digest(message.data(), length, theirs, &theirsLength, EVP_md5(), nullptr);
        ASSERT_EQ(toHex(theirs, 16), toHex(ours, 16)) << "MD5 of " << length;
        kuSHA1_Final(&sha1, ours);
        EVP_Digest(message.data(), length, theirs, &theirsLength, EVP_sha1(), nullptr);
        ASSERT_EQ(toHex(theirs, 20), toHex(ours, 20)) << "SHA-1 of " << length;

        Bytes key = random.bytes(random.below(150));
        kuMD5_HMAC(message.data(), length, key.data(), key.size(), ours);
        HMAC(EVP_md5(), key.data(), (int)key.size(), message.data(), length, theirs,
             &theirsLength);
        ASSERT_EQ(toHex(theirs, 16), toHex(ours, 16)) << "HMAC-MD5 " << key.size() << "/" << length;
        kuSHA1_HMAC(key.data(), key.size(), message.data(), length, ours);
        HMAC(EVP_sha1(), key.data(), (int)key.size(), message.data(), length, theirs,
             &theirsLength);
        ASSERT_EQ(toHex(theirs, 20), toHex(ours, 20)) << "HMAC-SHA-1 " << key.size() << "/"
                                                      << length;
    }
}

TEST(kuCryptoDifferential, AES128)
{
    Random random;
    for (size_t length = 0; length <= kMaxLength; length += 16) {
        Bytes key = random.bytes(16), iv = random.bytes(16), plain = random.bytes(length);
        for (bool cbc : {false, true}) {
            kuAES128 *aes = cbc ? kuAES128_NewCBC(key.data(), iv.data()) : kuAES128_NewECB(key.data());
            Bytes data = plain;
            size_t at = 0;
            for (size_t n : random.pieces(length, 16)) {
                ASSERT_EQ(0, kuAES128_Encrypt(aes, data.data() + at, n));
                at += n;
            }
            Bytes expected = opensslCipher(cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb(), true,
                                           key, cbc ? iv : Bytes(), plain);
            ASSERT_EQ(toHex(expected), toHex(data)) << (cbc ? "CBC " : "ECB ") << length;

            kuAES128_SetIV(aes, iv.data());
            at = 0;
            for (size_t n : random.pieces(length, 16)) {
                ASSERT_EQ(0, kuAES128_Decrypt(aes, data.data() + at, n));
                at += n;
            }
            ASSERT_EQ(toHex(plain), toHex(data)) << (cbc ? "CBC " : "ECB ") << length;
            kuAES128_Delete(aes);
        }
    }
}

TEST(kuCryptoDifferential, Blowfish)
{
    LegacyProviders providers;
    EVP_CIPHER *ecb = EVP_CIPHER_fetch(nullptr, "BF-ECB", nullptr);
    EVP_CIPHER *cbc = EVP_CIPHER_fetch(nullptr, "BF-CBC", nullptr);
    ASSERT_TRUE(ecb != nullptr && cbc != nullptr) << "OpenSSL's legacy provider is missing";
    Random random;
    kuBlowfish bf;
    for (size_t length = 0; length <= kMaxLength; length += 8) {
        Bytes key = random.bytes(1 + random.below(56)), iv = random.bytes(8);
        Bytes plain = random.bytes(length);
        kuBlowfish_Init(&bf, key.data(), key.size());

        std::vector<uint32_t> words = toWords(plain);
        for (size_t i = 0; i < words.size(); i += 2)
            kuBlowfish_Encrypt(&bf, &words[i], &words[i + 1]);
        ASSERT_EQ(toHex(opensslCipher(ecb, true, key, Bytes(), plain)), toHex(toBytes(words)))
            << "ECB " << key.size() << "/" << length;
        for (size_t i = 0; i < words.size(); i += 2)
            kuBlowfish_Decrypt(&bf, &words[i], &words[i + 1]);
        ASSERT_EQ(toHex(plain), toHex(toBytes(words)));

        std::vector<uint32_t> ivWords = toWords(iv);
        kuBlowfish_SetInitVector(&bf, ivWords[0], ivWords[1]);
        words = toWords(plain);
        kuBlowfish_EncryptArrayCBC(&bf, words.data(), words.size());
        ASSERT_EQ(toHex(opensslCipher(cbc, true, key, iv, plain)), toHex(toBytes(words)))
            << "CBC " << key.size() << "/" << length;
        // block by block with the single-block helper, the IV following the chain
        for (size_t i = words.size(); i >= 2; i -= 2) {
            if (i >= 4)
                kuBlowfish_SetInitVector(&bf, words[i - 4], words[i - 3]);
            else
                kuBlowfish_SetInitVector(&bf, ivWords[0], ivWords[1]);
            kuBlowfish_DecryptCBC(&bf, &words[i - 2], &words[i - 1]);
        }
        ASSERT_EQ(toHex(plain), toHex(toBytes(words)));
    }
    EVP_CIPHER_free(ecb);
    EVP_CIPHER_free(cbc);
}

TEST(kuCryptoDifferential, RC4)
{
    LegacyProviders providers;
    EVP_CIPHER *cipher = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
    ASSERT_TRUE(cipher != nullptr) << "OpenSSL's legacy provider is missing";
    Random random;
    for (size_t length = 0; length <= kMaxLength; length++) {
        Bytes key = random.bytes(1 + random.below(256)), plain = random.bytes(length);
        kuRC4 state;
        kuRC4_PrepareKey(key.data(), key.size(), &state);
        Bytes data = plain;
        size_t at = 0;
        for (size_t n : random.pieces(length)) {
            kuRC4_Process(data.data() + at, n, &state);
            at += n;
        }
        ASSERT_EQ(toHex(opensslCipher(cipher, true, key, Bytes(), plain)), toHex(data))
            << key.size() << "/" << length;
    }
    EVP_CIPHER_free(cipher);
}

#else

TEST(kuCryptoDifferential, NeedsOpenSSL)
{
    GTEST_SKIP() << "built without OpenSSL";
}

#endif
