// Block buffering, padding and HMAC shared by the 64-byte-block digests.
#ifndef KUVANATOOLS_PRIVATE_KUDIGEST_H
#define KUVANATOOLS_PRIVATE_KUDIGEST_H

#include <kuvanaTools/private/kuBytes.h>
#include <kuvanaTools/private/kuCryptoBytes.h>

namespace ku {

constexpr size_t kDigestBlock = 64;

// Feeds length bytes to a block buffer that already holds `used` bytes:
// completes the buffered block, hands whole blocks to blocks(pointer, count)
// straight from the caller's data and keeps the rest in the buffer.
template <class Blocks>
void digestAbsorb(uint8_t *buffer, size_t used, const uint8_t *data, size_t length,
                  Blocks blocks)
{
    if (length == 0)
        return;
    if (used != 0) {
        size_t room = kDigestBlock - used;
        if (length < room) {
            memcpy(buffer + used, data, length);
            return;
        }
        memcpy(buffer + used, data, room);
        blocks(buffer, 1);
        data += room;
        length -= room;
    }
    if (length >= kDigestBlock) {
        blocks(data, length / kDigestBlock);
        data += length & ~(kDigestBlock - 1);
        length &= kDigestBlock - 1;
    }
    if (length != 0)
        memcpy(buffer, data, length);
}

// Appends 0x80, zeros and the eight length bytes after `used` buffered bytes
// and transforms the last one or two blocks.
template <class Blocks>
void digestPad(uint8_t *buffer, size_t used, const uint8_t lengthBytes[8], Blocks blocks)
{
    buffer[used++] = 0x80;
    if (used > kDigestBlock - 8) {
        memset(buffer + used, 0, kDigestBlock - used);
        blocks(buffer, 1);
        used = 0;
    }
    memset(buffer + used, 0, kDigestBlock - 8 - used);
    memcpy(buffer + kDigestBlock - 8, lengthBytes, 8);
    blocks(buffer, 1);
}

// HMAC with a 64-byte block. D provides Context, kSize and the static
// functions init(Context *), update(Context *, const void *, size_t) and
// final(Context *, uint8_t *out).
template <class D>
void digestHMAC(const void *key, size_t keyLength, const void *message, size_t messageLength,
                uint8_t *out)
{
    typename D::Context context;
    uint8_t block[kDigestBlock] = {0};
    if (key == nullptr)
        keyLength = 0;
    if (keyLength > kDigestBlock) {
        D::init(&context);
        D::update(&context, key, keyLength);
        D::final(&context, block);
    } else if (keyLength != 0) {
        memcpy(block, key, keyLength);
    }
    uint8_t pad[kDigestBlock];
    uint8_t inner[D::kSize];
    for (size_t i = 0; i < kDigestBlock; i++)
        pad[i] = block[i] ^ 0x36;
    D::init(&context);
    D::update(&context, pad, sizeof pad);
    D::update(&context, message, messageLength);
    D::final(&context, inner);
    for (size_t i = 0; i < kDigestBlock; i++)
        pad[i] = block[i] ^ 0x5C;
    D::init(&context);
    D::update(&context, pad, sizeof pad);
    D::update(&context, inner, sizeof inner);
    D::final(&context, out);
    wipe(block, sizeof block);
    wipe(pad, sizeof pad);
    wipe(inner, sizeof inner);
    wipe(&context, sizeof context);
}

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUDIGEST_H
