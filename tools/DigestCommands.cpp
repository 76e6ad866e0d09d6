// digest md5|sha1|hmac-md5|hmac-sha1 over inputs of any size.
#include "Cli.h"

#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuSHA1.h>

#include <algorithm>

namespace kuvana {

namespace {

// One of the library's digests, fed in pieces.
class Hash {
public:
    explicit Hash(bool md5) : md5_(md5) { reset(); }
    void reset() { md5_ ? kuMD5_Init(&md5Context_) : kuSHA1_Init(&sha1Context_); }
    void add(const void *data, size_t length)
    {
        if (md5_)
            kuMD5_Add(&md5Context_, data, length);
        else
            kuSHA1_Update(&sha1Context_, data, length);
    }
    std::string get()
    {
        uint8_t out[KU_SHA1_DIGEST_SIZE];
        if (md5_)
            kuMD5_Get(&md5Context_, out);
        else
            kuSHA1_Final(&sha1Context_, out);
        return std::string(reinterpret_cast<char *>(out),
                           md5_ ? KU_MD5_DIGEST_SIZE : KU_SHA1_DIGEST_SIZE);
    }

private:
    bool md5_;
    kuMD5 md5Context_;
    kuSHA1 sha1Context_;
};

// Inputs of any size go through in pieces, so HMAC is built here from the
// digests (RFC 2104) rather than with the library's one-call form.
int digest(Io &io, const Args &args, const std::string &kind)
{
    bool hmac = kind.compare(0, 5, "hmac-") == 0;
    bool md5 = kind == "md5" || kind == "hmac-md5";
    args.expect(hmac ? 1 : 0, hmac ? 2 : 1);
    const size_t block = 64;
    std::string pad;
    Hash hash(md5);
    if (hmac) {
        // A key longer than a block is replaced by its digest.
        std::string key;
        streamInput(io, args[0], [&](const char *data, size_t length) {
            hash.add(data, length);
            key.append(data, std::min(length, block + 1 - std::min(key.size(), block + 1)));
        });
        key = key.size() > block ? hash.get() : key;
        key.resize(block, '\0');
        pad = key;
        for (char &c : pad)
            c ^= 0x36;
        hash.reset();
        hash.add(pad.data(), block);
    }
    unsigned long long bytes = 0;
    auto take = [&](const char *data, size_t length) {
        hash.add(data, length);
        bytes += length;
    };
    size_t index = hmac ? 1 : 0;
    streamInput(io, args.count() > index ? args[index] : "-", take);
    std::string result = hash.get();
    if (hmac) {
        for (char &c : pad)
            c ^= 0x36 ^ 0x5c;
        hash.reset();
        hash.add(pad.data(), block);
        hash.add(result.data(), result.size());
        result = hash.get();
    }
    std::string digestText = hex(reinterpret_cast<const uint8_t *>(result.data()), result.size());
    if (args.has("--json")) {
        Json j;
        j.beginObject().field("algorithm", kind).field("digest", digestText)
            .key("bytes").valueUnsigned(bytes);
        io.out.put(addWarnings(j, io).endObject().text());
    } else
        io.out.print("%s\n", digestText.c_str());
    return kOk;
}

} // namespace

void addDigestCommands(std::vector<Command> &commands)
{
    const std::vector<OptionDef> json{kJson};
    const struct {
        const char *kind, *usage, *summary;
    } digests[] = {
        {"md5", "[--json] [TEXT|-|@FILE]", "the MD5 digest of the text"},
        {"sha1", "[--json] [TEXT|-|@FILE]", "the SHA-1 digest of the text"},
        {"hmac-md5", "[--json] KEY [TEXT|-|@FILE]", "HMAC-MD5 of the text under the key"},
        {"hmac-sha1", "[--json] KEY [TEXT|-|@FILE]", "HMAC-SHA-1 of the text under the key"},
    };
    for (const auto &d : digests) {
        std::string kind = d.kind;
        commands.push_back({"digest", kind, d.usage, d.summary, "", json,
                            [kind](Io &io, const Args &a) { return digest(io, a, kind); }});
    }
}

} // namespace kuvana
