// Commands over the text services: DLNA times and fractions, digests,
// Base64, UUIDs and MIME types.
#include "Cli.h"

#include <kuvanaTools/kuBase64.h>
#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuDLNATime.h>
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuMimeTypeInfo.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuSHA1.h>
#include <kuvanaTools/kuUUID.h>
#include <kuvanaTools/kuWString.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kuvana {

namespace {

const OptionDef kJson{"--json", false};

// The text a command works on: its only positional argument (which may name
// standard input or a file), or standard input when there is none.
std::string subject(Io &io, const Args &args, size_t index = 0)
{
    return args.count() > index ? readInput(io, args[index]) : readFileOrStdin(io, "-");
}

std::string hex(const uint8_t *bytes, size_t length)
{
    char *text = nullptr;
    kuConvert_buffertohexstr(bytes, length, 1, 0, &text);
    KuString owned(text);
    return str(owned);
}

// ------------------------------------------------------------------ time

int timeDuration(Io &io, const Args &args)
{
    args.expect(1, 1);
    uint32_t seconds = 0, ms = 0;
    const std::string &text = args[0];
    if (kuConvert_dlnadurationstrtouint32(text.c_str(), &seconds, &ms) != 0)
        inputError("'%s' is not a duration H:MM:SS[.F]", text.c_str());
    // The library reads the whole rest as a number or fraction, so "5.6" or
    // " 1/2" pass there; only digits or digits/digits are a fraction here.
    size_t dot = text.find('.');
    std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    size_t slash = fraction.find('/');
    std::string digits = fraction.substr(0, slash);
    bool plain = !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
    if (dot != std::string::npos &&
        (!plain || (slash != std::string::npos &&
                    (slash + 1 == fraction.size() ||
                     fraction.find_first_not_of("0123456789", slash + 1) != std::string::npos))))
        inputError("'%s': the fraction '.%s' is neither digits nor digits/digits", text.c_str(),
                   fraction.c_str());
    if (slash == std::string::npos && plain && digits.size() != 3)
        warn(io, format("'.%s' is read as %u ms: the digits after the point count milliseconds, "
                        "they are no decimal fraction (half a second is .500 or .1/2)",
                        digits.c_str(), ms));
    if (args.has("--json")) {
        Json j;
        j.beginObject().field("seconds", seconds).field("milliseconds", ms);
        io.out.put(addWarnings(j, io).endObject().text());
        return kOk;
    }
    io.out.print("%u.%03u s (%u h %02u min %02u.%03u s)\n", seconds, ms, seconds / 3600,
                 seconds / 60 % 60, seconds % 60, ms);
    return kOk;
}

int timeClock(Io &io, const Args &args)
{
    args.expect(1, 1);
    uint32_t seconds = 0, fraction = 0;
    if (kuConvert_dlnatimestrtouint32(args[0].c_str(), &seconds, &fraction) != 0)
        inputError("'%s' is not a clock time [[H:]M:]S[.F]", args[0].c_str());
    if (args.has("--json")) {
        io.out.put(addWarnings(Json().beginObject().field("seconds", seconds)
                                   .field("fraction", fraction), io)
                       .endObject().text());
        return kOk;
    }
    io.out.print("%u s, fraction %u (%u:%02u:%02u)\n", seconds, fraction, seconds / 3600,
                 seconds / 60 % 60, seconds % 60);
    return kOk;
}

int timeDate(Io &io, const Args &args)
{
    args.expect(1, 1);
    kuDLNADate d;
    if (kuConvert_dlnadatestrtodate(args[0].c_str(), &d) != 0)
        inputError("'%s' is not a date YYYY-MM-DD[THH:MM:SS[.F]][Z|+HH:MM]", args[0].c_str());
    if (args.has("--json")) {
        Json j;
        j.beginObject().field("year", d.year).field("month", d.month).field("day", d.day)
            .field("hour", d.hour).field("minute", d.minute).field("second", d.second)
            .field("fraction", d.fraction).field("zoneHour", d.zoneHour)
            .field("zoneMinute", d.zoneMinute);
        addWarnings(j, io).endObject();
        io.out.put(j.text());
        return kOk;
    }
    io.out.print("%04d-%02d-%02d %02d:%02d:%02d.%03d %c%02d:%02d\n", d.year, d.month, d.day,
                 d.hour, d.minute, d.second, d.fraction, d.zoneHour < 0 ? '-' : '+',
                 abs(d.zoneHour), d.zoneMinute);
    return kOk;
}

int timeFraction(Io &io, const Args &args)
{
    args.expect(1, 1);
    unsigned long largest = parseNumber(args.value("--max-denominator", "1000"), 2147483647,
                                        "denominator");
    double value = 0;
    if (kuConvert_strfractiontodouble(args[0].c_str(), &value) != 0)
        inputError("'%s' is not a number or fraction (N/D, I N/D)", args[0].c_str());
    char *text = nullptr;
    kuConvert_doubletofraction(value, int32_t(largest), 1e-9, &text);
    KuString fraction(text);
    if (args.has("--json")) {
        io.out.put(addWarnings(Json().beginObject().field("value", value)
                                   .field("fraction", fraction.get()), io)
                       .endObject().text());
        return kOk;
    }
    io.out.print("%.10g = %s\n", value, str(fraction).c_str());
    return kOk;
}

// ---------------------------------------------------------------- digest

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

// ---------------------------------------------------------------- base64

int base64Encode(Io &io, const Args &args)
{
    args.expect(0, 1);
    std::string data = subject(io, args);
    char *text = nullptr;
    if (data.empty())
        text = static_cast<char *>(calloc(1, 1));
    else
        kuBase64_Encode(reinterpret_cast<const unsigned char *>(data.data()), data.size(), &text);
    if (text == nullptr)
        inputError("out of memory encoding %zu bytes", data.size());
    KuString encoded(text);
    if (args.has("--json"))
        io.out.put(addWarnings(Json().beginObject().field("base64", encoded.get()), io)
                       .endObject().text());
    else
        io.out.print("%s\n", encoded.get());
    return kOk;
}

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of a character of the alphabet.
unsigned base64Value(char c)
{
    return unsigned(strchr(kBase64Alphabet, c) - kBase64Alphabet);
}

int base64Decode(Io &io, const Args &args)
{
    args.expect(0, 1);
    std::string raw = trim(subject(io, args));
    bool ignore = args.has("--ignore-garbage");
    // The decoder takes no line breaks and does not report characters outside
    // the alphabet, so the text is checked and cleaned here. Line breaks are
    // skipped wherever they stand, as wrapped Base64 has them.
    std::string text;
    size_t garbage = 0;
    for (size_t i = 0; i < raw.size(); i++) {
        char c = raw[i];
        if ((c != '\0' && strchr(kBase64Alphabet, c) != nullptr) || c == '=') {
            text += c;
        } else if (c == '\n' || c == '\r' || (ignore && (c == ' ' || c == '\t'))) {
            continue;
        } else if (ignore) {
            garbage++;
        } else {
            inputError("'%s': character %zu is not Base64 (--ignore-garbage skips such)",
                       raw.c_str(), i + 1);
        }
    }
    if (garbage != 0)
        warn(io, format("%zu character%s outside the Base64 alphabet skipped", garbage,
                        garbage == 1 ? "" : "s"));
    size_t padStart = text.find('='), pad = padStart == std::string::npos ? 0 : text.size() - padStart;
    if (pad != 0 && text.find_first_not_of('=', padStart) != std::string::npos)
        inputError("'%s': '=' stands before the end; RFC 4648 pads only the last group",
                   raw.c_str());
    if (pad > 2)
        inputError("'%s' ends in %zu '='; RFC 4648 pads a group with at most two (the library "
                   "would drop bytes)", raw.c_str(), pad);
    if (text.size() % 4 != 0)
        inputError("'%s' is not Base64 (groups of four characters, the last padded with '=')",
                   raw.c_str());
    if (pad != 0 && (base64Value(text[padStart - 1]) & (pad == 1 ? 3u : 15u)) != 0)
        warn(io, "the bits that the padding leaves unused are not zero (no canonical encoding, "
                 "RFC 4648 section 3.5); they are ignored");
    std::string bytes(text.size() / 4 * 3 + 4, '\0');
    long length = kuBase64_Decode(text.c_str(), reinterpret_cast<unsigned char *>(&bytes[0]));
    if (length < 0)
        inputError("'%s' is not Base64 (groups of four characters)", raw.c_str());
    bytes.resize(size_t(length));
    if (args.has("--json")) {
        Json j;
        j.beginObject().field("bytes", length)
            .field("hex", hex(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()));
        io.out.put(addWarnings(j, io).endObject().text());
    } else {
        io.out.put(bytes);
    }
    return kOk;
}

// ------------------------------------------------------------------ uuid

int uuid(Io &io, const Args &args)
{
    args.expect(0, 0);
    unsigned long count = parseNumber(args.value("--count", "1"), 100000, "count");
    Json j;
    j.beginArray();
    for (unsigned long i = 0; i < count; i++) {
        uint8_t b[16];
        kuUUID_Generate(b);
        std::string h = hex(b, 16);
        std::string text = h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" +
                           h.substr(16, 4) + "-" + h.substr(20);
        if (args.has("--json"))
            j.value(text);
        else
            io.out.print("%s\n", text.c_str());
    }
    if (args.has("--json"))
        io.out.put(j.endArray().text());
    return kOk;
}

} // namespace

namespace {

// ------------------------------------------------------------------ mime

void describeMime(Json &j, const std::string &text, const Io *io = nullptr)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(text.c_str());
    KuString normal(kuMimeTypeInfo_Get(info));
    j.beginObject().field("text", text).field("type", kuMimeTypeInfo_GetMimeType(info))
        .field("normalised", normal.get()).key("parameters").beginObject();
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(info); i++)
        j.field(kuMimeTypeInfo_GetPart(info, i), kuMimeTypeInfo_GetPartValue(info, i));
    j.endObject();
    if (io != nullptr)
        addWarnings(j, *io);
    j.endObject();
    kuMimeTypeInfo_Delete(info);
}

void printMime(Output &out, const char *label, const std::string &text)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(text.c_str());
    KuString normal(kuMimeTypeInfo_Get(info));
    out.print("%-6s %s\n", label, normal.get());
    out.print("       type %s", kuMimeTypeInfo_GetMimeType(info));
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(info); i++) {
        const char *value = kuMimeTypeInfo_GetPartValue(info, i);
        out.print(", %s%s%s", kuMimeTypeInfo_GetPart(info, i), value ? " = " : "",
                  value ? value : "");
    }
    out.put("\n");
    kuMimeTypeInfo_Delete(info);
}

// The first parameter of a that b lacks or holds with another value.
std::string firstMissing(const std::string &a, const std::string &b)
{
    kuMimeTypeInfo *ia = kuMimeTypeInfo_New(a.c_str());
    kuMimeTypeInfo *ib = kuMimeTypeInfo_New(b.c_str());
    std::string missing;
    if (strcasecmp(kuMimeTypeInfo_GetMimeType(ia), kuMimeTypeInfo_GetMimeType(ib)) != 0)
        missing = "media types differ";
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(ia) && missing.empty(); i++) {
        const char *name = kuMimeTypeInfo_GetPart(ia, i);
        const char *value = kuMimeTypeInfo_GetPartValue(ia, i);
        KuString other(kuMimeTypeInfo_GetPartValueByName(ib, name));
        if (!kuMimeTypeInfo_HasPart(ib, name) ||
            strcasecmp(str(other).c_str(), value ? value : "") != 0)
            missing = (value ? std::string(name) + "=" + value : name) + " missing or different";
    }
    kuMimeTypeInfo_Delete(ia);
    kuMimeTypeInfo_Delete(ib);
    return missing;
}

// Parameter names are kept as written: a blank after ';' is part of the
// name, where MIME itself allows blanks around parameters.
void warnBlankNames(Io &io, const std::string &text)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(text.c_str());
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(info); i++) {
        std::string name = kuMimeTypeInfo_GetPart(info, i);
        if (!name.empty() && name != trim(name))
            warn(io, "in '" + quoteable(text) + "' the parameter name is '" + quoteable(name) +
                         "': the library keeps blanks around a name as part of it, so it is "
                         "not the parameter '" + quoteable(trim(name)) + "'");
    }
    kuMimeTypeInfo_Delete(info);
}

int mimeParse(Io &io, const Args &args)
{
    args.expect(1, 1);
    std::string text = readInput(io, args[0]);
    warnBlankNames(io, text);
    if (args.has("--json")) {
        Json j;
        describeMime(j, text, &io);
        io.out.put(j.text());
    } else {
        printMime(io.out, "mime", text);
    }
    return kOk;
}

int mimeCompare(Io &io, const Args &args)
{
    args.expect(2, 2);
    std::string a = readInput(io, args[0]), b = readInput(io, args[1]);
    warnBlankNames(io, a);
    warnBlankNames(io, b);
    bool forward = kuMimeTypeInfo_S_Same(a.c_str(), b.c_str()) != 0;
    bool backward = kuMimeTypeInfo_S_Same(b.c_str(), a.c_str()) != 0;
    if (args.has("--json")) {
        Json j;
        j.beginObject().key("a");
        describeMime(j, a);
        j.key("b");
        describeMime(j, b);
        j.field("aInB", forward).field("bInA", backward);
        addWarnings(j, io).endObject();
        io.out.put(j.text());
        return forward ? kOk : kFailed;
    }
    printMime(io.out, "A", a);
    printMime(io.out, "B", b);
    auto verdict = [&](const char *what, bool same, const std::string &x, const std::string &y) {
        std::string why;
        if (!same) {
            why = " (" + firstMissing(x, y) + ")";
        }
        io.out.print("%s: %s%s\n", what, same ? "yes" : "no", why.c_str());
    };
    verdict("B satisfies A (same type, every parameter of A in B)", forward, a, b);
    verdict("A satisfies B", backward, b, a);
    return forward ? kOk : kFailed;
}

} // namespace

namespace {

// ---------------------------------------------------------------- printf
//
// The engine reads its arguments from a va_list, whose types are fixed at
// compile time. So the format is cut into pieces of literal text and one
// directive each; every piece is formatted on its own with its star values
// and its value converted to the type its conversion letter and length
// modifier ask for. Positions ("%2$s") are resolved here and removed from the
// piece, so the engine sees plain sequential directives.

struct Directive {
    std::string piece;          // literal text before it and the directive, positions removed
    std::vector<size_t> stars;  // argument positions of '*' values, in the order written
    long value = -1;            // argument position of the value, -1 for none ("%%", text only)
    char conversion = 0;
    std::string length;         // "", "h", "hh", "l", "ll", "L", "j", "z", "t"
};

std::string unescapeFormat(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c == '\\' ? '\\' : c;
        if (strchr("ntr\\", c) == nullptr)
            out.insert(out.size() - 1, 1, '\\');
    }
    return out;
}

// The engine takes arguments 1 to 64 (kuPrintf.h); the tool holds formats to
// the same rule before it sizes anything by a position.
const long kMaxPositions = 64;

// Reads "N$" at text[at]; returns N - 1 and moves past it, or -1.
long readPosition(const std::string &text, size_t &at)
{
    size_t end = at;
    long n = 0;
    for (; end < text.size() && isdigit((unsigned char)text[end]); end++)
        n = std::min(n * 10 + (text[end] - '0'), kMaxPositions + 1);
    if (end == at || end == text.size() || text[end] != '$')
        return -1;
    if (n < 1)
        return -1;
    if (n > kMaxPositions)
        inputError("position '%s' is above the engine's limit of %ld arguments",
                   text.substr(at, end + 1 - at).c_str(), kMaxPositions);
    at = end + 1;
    return n - 1;
}

std::vector<Directive> splitFormat(const std::string &format)
{
    std::vector<Directive> pieces;
    Directive current;
    size_t running = 0;
    for (size_t at = 0; at < format.size();) {
        if (format[at] != '%') {
            current.piece += format[at++];
            continue;
        }
        if (at + 1 < format.size() && format[at + 1] == '%') {
            current.piece += "%%";
            at += 2;
            continue;
        }
        size_t start = at;
        current.piece += format[at++];
        long explicitValue = readPosition(format, at);
        std::vector<long> stars;
        while (at < format.size()) {
            char c = format[at];
            if (c == '*') {
                current.piece += format[at++];
                long position = readPosition(format, at);
                if (position < 0) {
                    if (explicitValue >= 0)
                        running++;
                    position = long(running);
                    if (explicitValue < 0)
                        running++;
                }
                current.stars.push_back(size_t(position));
            } else if (strchr("-+ #0123456789.hlLjzt", c) != nullptr) {
                if (strchr("hlLjzt", c) != nullptr)
                    current.length += c;
                current.piece += format[at++];
            } else {
                break;
            }
        }
        if (at < format.size())
            current.conversion = format[at];
        current.piece += current.conversion ? std::string(1, format[at++]) : "";
        if (current.conversion == 'n')
            usageError("'%%n' stores into memory and has no place here");
        // Arguments are converted by their letter, so the letter must be known.
        if (current.conversion == 0 || strchr("diuoxXcspfFeEgGaA", current.conversion) == nullptr)
            inputError("'%s': '%s' ends in no known conversion (d i u o x X c s p f F e E g G "
                       "a A)", format.c_str(), format.substr(start, at - start).c_str());
        if (current.conversion != 0)
            current.value = explicitValue >= 0 ? explicitValue : long(running++);
        pieces.push_back(current);
        current = Directive();
    }
    if (!current.piece.empty())
        pieces.push_back(current);
    return pieces;
}

long long toInteger(const std::string &text, size_t position)
{
    char *end = nullptr;
    errno = 0;
    long long value = strtoll(text.c_str(), &end, 0);
    if (errno == ERANGE && text[0] != '-') {
        errno = 0;
        value = (long long)strtoull(text.c_str(), &end, 0);
    }
    if (text.empty() || *end != '\0' || errno != 0)
        inputError("argument %zu '%s' is not an integer", position + 1, text.c_str());
    return value;
}

// A character argument: one UTF-8 character stands for itself, otherwise a
// number or "U+XXXX" gives the code point.
int toCodePoint(const std::string &text, size_t position)
{
    wchar_t *wide = kuWString_S_FromUTF8(text.c_str());
    bool single = wide != nullptr && wide[0] != 0 && wide[1] == 0;
    int code = single ? int(wide[0]) : 0;
    kuFree(wide);
    if (single)
        return code;
    if (text.size() > 2 && (text[0] == 'U' || text[0] == 'u') && text[1] == '+')
        return int(toInteger("0x" + text.substr(2), position));
    return int(toInteger(text, position));
}

template <typename T> char *formatPiece(const Directive &d, const std::vector<int> &s, T value)
{
    const char *f = d.piece.c_str();
    switch (s.size()) {
    case 0: return ku_mnprintf(f, value);
    case 1: return ku_mnprintf(f, s[0], value);
    case 2: return ku_mnprintf(f, s[0], s[1], value);
    default: return ku_mnprintf(f, s[0], s[1], s[2], value);
    }
}

char *formatDirective(const Directive &d, const std::vector<std::string> &args)
{
    std::vector<int> stars;
    for (size_t position : d.stars)
        stars.push_back(int(toInteger(args[position], position)));
    if (stars.size() > 3)
        inputError("'%s' has more than three '*'", d.piece.c_str());
    if (d.value < 0 || d.conversion == 0)
        return ku_mnprintf(d.piece.c_str(), 0);
    const std::string &arg = args[size_t(d.value)];
    size_t position = size_t(d.value);
    const std::string &l = d.length;
    bool wide = l == "l";
    switch (d.conversion) {
    case 'd': case 'i':
        if (l == "ll" || l == "j") return formatPiece(d, stars, toInteger(arg, position));
        if (l == "l") return formatPiece(d, stars, long(toInteger(arg, position)));
        if (l == "z") return formatPiece(d, stars, ssize_t(toInteger(arg, position)));
        if (l == "t") return formatPiece(d, stars, ptrdiff_t(toInteger(arg, position)));
        return formatPiece(d, stars, int(toInteger(arg, position)));
    case 'u': case 'o': case 'x': case 'X':
        if (l == "ll" || l == "j")
            return formatPiece(d, stars, (unsigned long long)toInteger(arg, position));
        if (l == "l") return formatPiece(d, stars, (unsigned long)toInteger(arg, position));
        if (l == "z" || l == "t") return formatPiece(d, stars, size_t(toInteger(arg, position)));
        return formatPiece(d, stars, unsigned(toInteger(arg, position)));
    case 'c':
        return formatPiece(d, stars, toCodePoint(arg, position));
    case 's':
        if (wide) {
            wchar_t *text = kuWString_S_FromUTF8(arg.c_str());
            if (text == nullptr)
                inputError("argument %zu '%s' is not UTF-8", position + 1, arg.c_str());
            char *out = formatPiece(d, stars, static_cast<const wchar_t *>(text));
            kuFree(text);
            return out;
        }
        return formatPiece(d, stars, arg.c_str());
    case 'p':
        return formatPiece(d, stars, reinterpret_cast<void *>(uintptr_t(toInteger(arg, position))));
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': {
        char *end = nullptr;
        double value = strtod(arg.c_str(), &end);
        if (arg.empty() || *end != '\0')
            inputError("argument %zu '%s' is not a number", position + 1, arg.c_str());
        return formatPiece(d, stars, value);
    }
    default:
        return nullptr;
    }
}

int printfCommand(Io &io, const Args &args)
{
    args.expect(1, 1000);
    std::vector<Directive> pieces = splitFormat(unescapeFormat(args[0]));
    std::vector<std::string> values(args.positional().begin() + 1, args.positional().end());
    std::vector<int> uses;
    for (const Directive &d : pieces) {
        std::vector<size_t> positions = d.stars;
        if (d.value >= 0)
            positions.push_back(size_t(d.value));
        for (size_t p : positions) {
            if (p >= size_t(kMaxPositions))
                inputError("the format '%s' takes more than the engine's %ld arguments",
                           args[0].c_str(), kMaxPositions);
            if (p >= uses.size())
                uses.resize(p + 1);
            uses[p]++;
        }
    }
    for (size_t p = 0; p < uses.size(); p++)
        if (uses[p] != 1)
            usageError("the format '%s' uses argument %zu %s", args[0].c_str(), p + 1,
                       uses[p] ? "twice" : "never");
    if (values.size() != uses.size())
        usageError("the format '%s' takes %zu argument%s, %zu given", args[0].c_str(), uses.size(),
                   uses.size() == 1 ? "" : "s", values.size());
    std::string output;
    for (const Directive &d : pieces) {
        KuString text(formatDirective(d, values));
        if (!text && d.value >= 0)
            inputError("the engine rejects '%s' with argument %ld '%s'", d.piece.c_str(),
                       d.value + 1, values[size_t(d.value)].c_str());
        if (!text)
            inputError("the engine rejects '%s'", d.piece.c_str());
        output += text.get();
    }
    if (args.has("--json"))
        io.out.put(addWarnings(Json().beginObject().field("text", output), io).endObject().text());
    else
        io.out.put(output);
    return kOk;
}

} // namespace

void addTextCommands(std::vector<Command> &commands)
{
    const std::vector<OptionDef> json{kJson};
    commands.push_back({"time", "duration", "[--json] H:MM:SS[.F]",
                        "a DLNA duration in seconds and milliseconds",
                        "The fraction may be digits (.250) or a fraction (.1/4). The digits count\n"
                        "milliseconds, so .5 is 5 ms (a warning says so when there are not three).\n", json,
                        timeDuration});
    commands.push_back({"time", "clock", "[--json] [[H:]M:]S[.F]",
                        "a DLNA clock time or position in seconds", "", json, timeClock});
    commands.push_back({"time", "date", "[--json] YYYY-MM-DD[THH:MM:SS[.F]][Z|+HH:MM]",
                        "a DLNA date split into its fields", "", json, timeDate});
    commands.push_back({"time", "fraction", "[--json] [--max-denominator N] NUMBER",
                        "a number, fraction (3/4) or mixed number (1 1/2) and its fraction",
                        "", {kJson, {"--max-denominator", true}}, timeFraction});
    commands.push_back({"mime", "parse", "[--json] TYPE", "a MIME type and its parameters", "",
                        json, mimeParse});
    commands.push_back({"mime", "compare", "[--json] A B",
                        "whether B satisfies A: same media type, every parameter of A in B",
                        "Exit status 0 when B satisfies A, 1 when not. The test is one-sided:\n"
                        "B may carry parameters that A lacks.\n",
                        json, mimeCompare});
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
    commands.push_back({"base64", "encode", "[--json] [TEXT|-|@FILE]", "Base64 text of the bytes",
                        "", json, base64Encode});
    commands.push_back({"base64", "decode", "[--json] [--ignore-garbage] [TEXT|-|@FILE]",
                        "the bytes of Base64 text (written as they are)",
                        "Line breaks may stand anywhere (wrapped text, any line length); other\n"
                        "characters outside the alphabet are refused unless --ignore-garbage\n"
                        "skips them (blanks silently, anything else with a warning). Padding\n"
                        "follows RFC 4648: at most two '=', only at the end.\n",
                        {kJson, {"--ignore-garbage", false}}, base64Decode});
    commands.push_back({"uuid", "", "[--count N] [--json]", "new time-based UUIDs", "",
                        {kJson, {"--count", true}}, uuid});
    commands.push_back({"printf", "", "[--json] FORMAT [ARGUMENTS...]",
                        "the library's formatted output",
                        "Each argument is converted as its directive's conversion letter asks:\n"
                        "d i u o x X integers (decimal, 0x hex or 0 octal), c a character or a\n"
                        "code point (65, U+263A), s text (ls: as wide characters), p an address,\n"
                        "a e f g floating point. Positions (%2$s), '*' widths and bases (%.2.16u)\n"
                        "work as in the engine. \\n, \\t, \\r and \\\\ in FORMAT are\n"
                        "control characters; no line feed is added.\n",
                        json, printfCommand, true});
}

} // namespace kuvana
