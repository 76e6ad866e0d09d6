// The digests and AES against OpenSSL on random keys, IVs and messages
// of every length up to a few kilobytes, fed in random pieces. Built without
// the comparisons where OpenSSL is not available (cross builds).
#include <kuvanaTools/kuAES128.h>
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuSHA1.h>

#include "support/Hex.h"
#include "support/Random.h"

#include <gtest/gtest.h>

#ifdef KU_HAVE_OPENSSL

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>

using kutest::toHex;
using Bytes = std::vector<uint8_t>;

namespace {

struct Random : kutest::Random {
    Bytes bytes(size_t n)
    {
        Bytes b(n);
        std::generate(b.begin(), b.end(), [this] { return (uint8_t)next(); });
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

// AES-128-CBC of whole blocks, without padding.
Bytes opensslAES(const Bytes &key, const Bytes &iv, const Bytes &in)
{
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    EXPECT_EQ(1, EVP_EncryptInit_ex2(ctx, EVP_aes_128_cbc(), key.data(), iv.data(), nullptr));
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    Bytes out(in.size());
    int n = 0;
    EXPECT_EQ(1, EVP_EncryptUpdate(ctx, out.data(), &n, in.data(), (int)in.size()));
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

} // namespace

// Every length: the digests and their HMACs; every whole block: AES-128
// in CBC, whose chaining goes through the block cipher, so it covers ECB too.
// Blowfish and RC4 rest on their published vectors and key-length cases.
TEST(kuCryptoDifferential, AgainstOpenSSL)
{
    Random random;
    for (size_t length = 0; length <= 4096; length++) {
        SCOPED_TRACE("length " + std::to_string(length));
        Bytes message = random.bytes(length), key = random.bytes((size_t)random.below(256));
        uint8_t md5[16], sha1[20], hmacMD5[16], hmacSHA1[20], out[20];
        kuMD5 m;
        kuSHA1 s;
        kuMD5_Init(&m);
        kuSHA1_Init(&s);
        random.inPieces(length, 1, [&](size_t at, size_t n) {
            kuMD5_Add(&m, message.data() + at, n);
            kuSHA1_Update(&s, message.data() + at, n);
        });
        kuMD5_Get(&m, md5);
        kuSHA1_Final(&s, sha1);
        kuMD5_HMAC(message.data(), length, key.data(), key.size(), hmacMD5);
        kuSHA1_HMAC(key.data(), key.size(), message.data(), length, hmacSHA1);
        for (auto [md, keyed, ours] : {std::make_tuple(EVP_md5(), false, md5),
                                       {EVP_sha1(), false, sha1},
                                       {EVP_md5(), true, hmacMD5},
                                       {EVP_sha1(), true, hmacSHA1}}) {
            unsigned n = 0;
            if (keyed)
                HMAC(md, key.data(), (int)key.size(), message.data(), length, out, &n);
            else
                EVP_Digest(message.data(), length, out, &n, md, nullptr);
            ASSERT_EQ(toHex(out, n), toHex(ours, n)) << EVP_MD_get0_name(md) << key.size();
        }
        if (length % 16 != 0)
            continue;

        const Bytes aesKey = random.bytes(16), iv = random.bytes(16);
        kuAES128 *aes = kuAES128_NewCBC(aesKey.data(), iv.data());
        Bytes data = message;
        random.inPieces(length, 16, [&](size_t at, size_t n) {
            ASSERT_EQ(0, kuAES128_Encrypt(aes, data.data() + at, n));
        });
        ASSERT_EQ(toHex(opensslAES(aesKey, iv, message)), toHex(data));
        kuAES128_Delete(aes);
    }
}

#else

TEST(kuCryptoDifferential, NeedsOpenSSL)
{
    GTEST_SKIP() << "built without OpenSSL";
}

#endif
