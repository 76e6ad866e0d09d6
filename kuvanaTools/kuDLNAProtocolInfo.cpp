// DLNA protocolInfo strings: parsing, composition, matching, adjusting and
// merging of single entries.
#include <kuvanaTools/kuCStringParser.h>
#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuDLNAProtocolInfo.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuMimeTypeInfo.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuURI.h>
#include <kuvanaTools/private/kuAlloc.h>
#include <kuvanaTools/private/kuCharClass.h>
#include <kuvanaTools/private/kuDLNAProtocolInfoInternal.h>
#include <kuvanaTools/private/kuDLNAText.h>
#include <kuvanaTools/private/kuHash.h>

#include <string.h>

// Further fourth-field parameters in insertion order. Names are looked up
// exactly; past a few entries a hash index keeps a long vendor-supplied
// fourth field from making the parse quadratic.
struct ku::DLNAParams {
    struct Entry {
        char *name;
        char *value;
        uint32_t nameLength;
        uint32_t hash;
    };
    struct Cell {
        uint32_t entry1; // entry index + 1

        bool free() const { return entry1 == 0; }
    };
    Entry *entries;
    uint32_t count;
    uint32_t capacity;
    ku::ProbeIndex<Cell> index; // null cells while unindexed
};

namespace {

using ku::DLNAParams;
using ku::PlaySpeed;
using ku::PlaySpeeds;

constexpr uint32_t kIndexFrom = 8;

void indexEntry(DLNAParams *t, uint32_t i)
{
    t->index.cells[t->index.place(t->entries[i].hash)].entry1 = i + 1;
}

void rebuildIndex(DLNAParams *t)
{
    t->index.release();
    if (t->count < kIndexFrom)
        return;
    t->index.reset(ku::tableSizeFor(t->count));
    for (uint32_t i = 0; i < t->count; i++)
        indexEntry(t, i);
}

int32_t findParam(const DLNAParams *t, const char *name, size_t length)
{
    if (t == nullptr)
        return -1;
    uint32_t h = ku::hashBytes(name, length);
    auto same = [&](uint32_t i) {
        const DLNAParams::Entry &e = t->entries[i];
        return e.hash == h && e.nameLength == length && memcmp(e.name, name, length) == 0;
    };
    if (t->index.cells == nullptr) {
        for (uint32_t i = 0; i < t->count; i++)
            if (same(i))
                return (int32_t)i;
        return -1;
    }
    const DLNAParams::Cell &c =
        t->index.cells[t->index.find(h, [&](DLNAParams::Cell e) { return same(e.entry1 - 1); })];
    return (int32_t)c.entry1 - 1;
}

// Appends a new entry that takes the value (an owned copy).
void appendParam(DLNAParams *t, const char *name, size_t length, char *value)
{
    ku::roomForOne(t->entries, t->count, t->capacity);
    DLNAParams::Entry &e = t->entries[t->count];
    e.name = kuStrndup(name, length);
    e.value = value;
    e.nameLength = (uint32_t)length;
    e.hash = ku::hashBytes(name, length);
    t->count++;
    if (t->index.cells != nullptr && t->count * 2u <= t->index.size())
        indexEntry(t, t->count - 1);
    else if (t->count >= kIndexFrom)
        rebuildIndex(t);
}

void removeParam(DLNAParams *t, uint32_t i)
{
    kuFree(t->entries[i].name);
    kuFree(t->entries[i].value);
    memmove(&t->entries[i], &t->entries[i + 1], (t->count - i - 1) * sizeof(DLNAParams::Entry));
    t->count--;
    rebuildIndex(t);
}

void deleteParams(DLNAParams *t)
{
    if (t == nullptr)
        return;
    for (uint32_t i = 0; i < t->count; i++) {
        kuFree(t->entries[i].name);
        kuFree(t->entries[i].value);
    }
    kuFree(t->entries);
    t->index.release();
    kuFree(t);
}

// Stores a copy of the value under name: a known name gets the new value in
// place, a new one goes to the end.
void putParam(kuDLNAProtocolInfo *info, const char *name, size_t nameLength, const char *value,
              size_t valueLength)
{
    if (info->otherParams == nullptr)
        info->otherParams = (DLNAParams *)kuMallocZeroed(sizeof(DLNAParams));
    DLNAParams *t = info->otherParams;
    char *copy = kuStrndup(value, valueLength);
    int32_t i = findParam(t, name, nameLength);
    if (i >= 0) {
        kuFree(t->entries[i].value);
        t->entries[i].value = copy;
        return;
    }
    appendParam(t, name, nameLength, copy);
}

// --- play speeds -----------------------------------------------------------

void addSpeed(PlaySpeeds *s, char *text, double value)
{
    ku::roomForOne(s->items, s->count, s->capacity);
    s->items[s->count++] = {text, value};
}

void clearSpeeds(PlaySpeeds *s)
{
    for (uint32_t i = 0; i < s->count; i++)
        kuFree(s->items[i].text);
    kuFree(s->items);
    *s = {nullptr, 0, 0};
}

// Stable merge sort by value, so that equal speeds keep their order whatever
// order the text gave (a long list stays n log n).
void sortSpeeds(PlaySpeeds *s)
{
    uint32_t n = s->count;
    bool sorted = true;
    for (uint32_t i = 1; i < n && sorted; i++)
        sorted = !(s->items[i].value < s->items[i - 1].value);
    if (sorted)
        return;
    PlaySpeed *from = s->items;
    PlaySpeed *to = ku::newArray<PlaySpeed>(n);
    for (uint32_t width = 1; width < n; width *= 2) {
        for (uint32_t lo = 0; lo < n; lo += 2 * width) {
            uint32_t mid = lo + width < n ? lo + width : n;
            uint32_t hi = mid + width < n ? mid + width : n;
            uint32_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                to[k++] = from[j].value < from[i].value ? from[j++] : from[i++];
            while (i < mid)
                to[k++] = from[i++];
            while (j < hi)
                to[k++] = from[j++];
        }
        PlaySpeed *swap = from;
        from = to;
        to = swap;
        if (width > UINT32_MAX / 2)
            break;
    }
    if (from != s->items) {
        memcpy(s->items, from, n * sizeof(PlaySpeed));
        to = from;
    }
    kuFree(to);
}

} // namespace

// --- flags -----------------------------------------------------------------

namespace {

constexpr uint32_t kVersion15Bit = 0x00100000;
constexpr uint32_t kStallingBit = 0x00200000;

struct FlagBit {
    uint32_t bit;
    uint32_t kuDLNAProtocolInfo::*field;
    const char *name; // as tools show the bit
};

constexpr FlagBit kFlagBits[] = {
    {0x80000000, &kuDLNAProtocolInfo::senderPaced, "senderPaced"},
    {0x40000000, &kuDLNAProtocolInfo::lopNpt, "lopNpt"},
    {0x20000000, &kuDLNAProtocolInfo::lopBytes, "lopBytes"},
    {0x10000000, &kuDLNAProtocolInfo::playContainer, "playContainer"},
    {0x08000000, &kuDLNAProtocolInfo::s0Increasing, "s0Increasing"},
    {0x04000000, &kuDLNAProtocolInfo::sNIncreasing, "sNIncreasing"},
    {0x02000000, &kuDLNAProtocolInfo::rtspPause, "rtspPause"},
    {0x01000000, &kuDLNAProtocolInfo::tmStreaming, "tmStreaming"},
    {0x00800000, &kuDLNAProtocolInfo::tmInteractive, "tmInteractive"},
    {0x00400000, &kuDLNAProtocolInfo::tmBackground, "tmBackground"},
    {kStallingBit, &kuDLNAProtocolInfo::httpStalling, "httpStalling"},
    {0x00010000, &kuDLNAProtocolInfo::linkProtected, "linkProtected"},
    {0x00008000, &kuDLNAProtocolInfo::clearTextByteSeekFull, "clearTextByteSeekFull"},
    {0x00004000, &kuDLNAProtocolInfo::lopClearTextBytes, "lopClearTextBytes"},
};

// The flag fields decoded from the first flag word. Without the 1.5 bit only
// the version and the stalling flag are taken.
void unpackFlags(kuDLNAProtocolInfo *info)
{
    uint32_t word = info->flagWords[0];
    info->versionMajor = 1;
    info->versionMinor = (word & kVersion15Bit) != 0 ? 5 : 0;
    info->httpStalling = (word & kStallingBit) != 0;
    if (info->versionMinor < 5)
        return;
    for (const FlagBit &f : kFlagBits)
        info->*f.field = (word & f.bit) != 0;
}

// word with the flag fields of source packed in: for DLNA 1.5 the fields'
// bits are set or cleared and the others kept; for any other version only
// the stalling bit is left.
uint32_t packFlags(const kuDLNAProtocolInfo *source, uint32_t word)
{
    if (source->versionMajor == 1 && source->versionMinor == 5) {
        for (const FlagBit &f : kFlagBits)
            word = source->*f.field != 0 ? word | f.bit : word & ~f.bit;
        word |= kVersion15Bit;
    } else {
        word = 0;
    }
    return source->httpStalling != 0 ? word | kStallingBit : word & ~kStallingBit;
}

// Transfer-mode and stalling flags that the protocol allows, then packed.
void makeFlagsConsistent(kuDLNAProtocolInfo *info)
{
    switch (info->protocol) {
    case ku::kProtocolRtsp:
        info->tmBackground = 0;
        info->httpStalling = 0;
        break;
    case ku::kProtocolAny:
    case ku::kProtocolFile:
        info->rtspPause = 0;
        info->tmBackground = 0;
        info->httpStalling = 0;
        break;
    case ku::kProtocolHttp:
        info->rtspPause = 0;
        break;
    default:
        break;
    }
    bool httpLike = info->protocol == ku::kProtocolOther || info->protocol == ku::kProtocolHttp;
    if (httpLike && info->httpStalling != 0) {
        info->tmBackground = 1;
        info->senderPaced = 0;
    } else if (info->senderPaced != 0) {
        info->tmBackground = 0;
    }
    info->flagWords[0] = packFlags(info, info->flagWords[0]);
}

// --- parsing ---------------------------------------------------------------

kuDLNAProtocolInfo *newInfo()
{
    kuDLNAProtocolInfo *info = (kuDLNAProtocolInfo *)kuMallocZeroed(sizeof(kuDLNAProtocolInfo));
    info->versionMajor = 1;
    info->webServerSupportsStalling = 1;
    return info;
}

// A further parameter is kept only with a '_' in its name and a value of
// letters, digits, '_', ',', '+' and '-'.
bool qualifies(const char *name, size_t nameLength, const char *value, size_t valueLength)
{
    if (memchr(name, '_', nameLength) == nullptr)
        return false;
    for (size_t i = 0; i < valueLength; i++) {
        int c = (unsigned char)value[i];
        if (!ku::isAlnum(c) && c != '_' && c != ',' && c != '+' && c != '-')
            return false;
    }
    return true;
}

// One "name=value" piece of a fourth field: the name runs to the first '=',
// the value from the last one (the whole text without '=').
struct Parameter {
    const char *name;
    size_t nameLength;
    const char *value;
    size_t valueLength;
    size_t equals; // number of '='
};

Parameter splitParameter(const char *text, size_t length)
{
    Parameter p = {text, length, text, length, 0};
    for (size_t i = 0; i < length; i++) {
        if (text[i] != '=')
            continue;
        if (p.equals++ == 0)
            p.nameLength = i;
        p.value = text + i + 1;
        p.valueLength = length - i - 1;
    }
    return p;
}

void parsePlaySpeeds(kuDLNAProtocolInfo *info, const char *value, size_t length)
{
    if (length >= 2 && value[0] == '"' && value[length - 1] == '"') {
        value++;
        length -= 2;
    }
    bool escaped = memchr(value, '\\', length) != nullptr;
    kuCStringTokenList *pieces =
        kuCStringParser_Tokenize(value, 0, length, escaped ? "\\," : ",", escaped ? 2 : 1);
    for (kuCStringToken *t = pieces->first; t != nullptr; t = t->next) {
        double speed;
        if (kuConvert_strnfractiontodouble(t->text, t->length, &speed) == 0)
            addSpeed(&info->playSpeeds, kuStrndup(t->text, t->length), speed);
    }
    kuCStringParser_Delete(pieces);
    sortSpeeds(&info->playSpeeds);
}

void parseFlags(kuDLNAProtocolInfo *info, const char *value, size_t length)
{
    for (size_t word = 0, at = 0; word < 4; word++, at += 8) {
        size_t n = length - at < 8 ? length - at : 8;
        info->flagWords[word] = kuDLNAProtocolInfo_S_StrToUInt32(16, value + at, n);
        if (length - at <= 8)
            break;
    }
    unpackFlags(info);
}

void parseMaxSpeed(kuDLNAProtocolInfo *info, const char *value, size_t length)
{
    const char *dot = (const char *)memchr(value, '.', length);
    size_t integerLength = dot != nullptr ? (size_t)(dot - value) : length;
    info->maxSpeedInteger = (int32_t)kuDLNAProtocolInfo_S_StrToUInt32(10, value, integerLength);
    if (dot == nullptr)
        return;
    const char *fraction = dot + 1;
    size_t fractionLength = length - integerLength - 1;
    if (memchr(fraction, '.', fractionLength) == nullptr)
        info->maxSpeedFraction =
            (int32_t)kuDLNAProtocolInfo_S_StrToUInt32(10, fraction, fractionLength);
}

void parseOperations(kuDLNAProtocolInfo *info, const char *value, size_t length)
{
    char first = length > 0 ? value[0] : '0';
    char second = length > 1 ? value[1] : '0';
    if (info->protocol == ku::kProtocolHttp) {
        info->timeSeek = first != '0';
        info->rangeSeek = second != '0';
    } else if (info->protocol == ku::kProtocolRtsp) {
        info->timeSeek = first != '0';
    }
}

void parseParameter(kuDLNAProtocolInfo *info, const Parameter &p)
{
    using ku::isName;
    bool single = p.equals == 1;
    if (single && isName(p.name, p.nameLength, "DLNA.ORG_PN")) {
        kuFree(info->profileName);
        info->profileName = kuStrndup(p.value, p.valueLength);
        info->isThumbnail = p.valueLength >= 4 && memcmp(p.value + p.valueLength - 3, "_TN", 3) == 0;
    } else if (single && isName(p.name, p.nameLength, "DLNA.ORG_OP")) {
        parseOperations(info, p.value, p.valueLength);
    } else if (single && isName(p.name, p.nameLength, "DLNA.ORG_PS")) {
        parsePlaySpeeds(info, p.value, p.valueLength);
    } else if (single && isName(p.name, p.nameLength, "DLNA.ORG_CI")) {
        info->conversionIndicator = kuDLNAProtocolInfo_S_StrToUInt32(2, p.value, p.valueLength);
    } else if (isName(p.name, p.nameLength, "DLNA.ORG_FLAGS")) {
        parseFlags(info, p.value, p.valueLength);
    } else if (isName(p.name, p.nameLength, "DLNA.ORG_MAXSP")) {
        parseMaxSpeed(info, p.value, p.valueLength);
    } else if (qualifies(p.name, p.nameLength, p.value, p.valueLength)) {
        putParam(info, p.name, p.nameLength, p.value, p.valueLength);
    }
}

void parseFourthField(kuDLNAProtocolInfo *info, const char *text, size_t length)
{
    ku::forEachPiece(text, length, ';', 0, [info](const char *parameter, size_t n) {
        if (n == 0)
            return false;
        parseParameter(info, splitParameter(parameter, n));
        return true;
    });
}

struct KnownProtocol {
    const char *text;
    size_t length;
    uint32_t protocol;
    uint32_t playSingle;
};

constexpr KnownProtocol kKnownProtocols[] = {
    {"http-get", 8, ku::kProtocolHttp, 0},
    {"playsingle-http-get", 19, ku::kProtocolHttp, 1},
    {"rtsp-rtp-udp", 12, ku::kProtocolRtsp, 0},
    {"playsingle-rtsp-rtp-udp", 23, ku::kProtocolRtsp, 1},
    {"*", 1, ku::kProtocolAny, 0},
};

// The known protocol written as text[0, length), exactly or in any case.
const KnownProtocol *knownProtocol(const char *text, size_t length, bool anyCase)
{
    for (const KnownProtocol &k : kKnownProtocols)
        if (k.length == length && (anyCase ? ku::foldedEqualN(k.text, text, length)
                                           : memcmp(k.text, text, length) == 0))
            return &k;
    return nullptr;
}

void parseProtocol(kuDLNAProtocolInfo *info, const char *text, size_t length)
{
    if (const KnownProtocol *k = knownProtocol(text, length, false)) {
        info->protocol = k->protocol;
        info->playSingle = k->playSingle;
        return;
    }
    info->protocol = ku::kProtocolOther;
    if (length > 0)
        info->protocolString = kuStrndup(text, length);
}

// The field's text, or "*" when it is empty.
char *fieldOrAny(const char *text, size_t length)
{
    return length > 0 ? kuStrndup(text, length) : kuStrdup("*");
}

// Fields are cut at ':' as kuCStringParser_Tokenize would, without building
// a token list: this runs for every entry of every list a device sends.
kuDLNAProtocolInfo *parse(const char *text, size_t length)
{
    kuDLNAProtocolInfo *info = newInfo();
    info->valid = 1;
    // A zero byte ends the text early, so that no stored text hides a tail.
    length = text != nullptr ? strnlen(text, length) : 0;
    const char *end = text + length;
    const char *colons[4];
    size_t found = 0;
    for (const char *p = text; found < 4; found++) {
        const char *colon = length > 0 ? (const char *)memchr(p, ':', (size_t)(end - p)) : nullptr;
        if (colon == nullptr)
            break;
        colons[found] = colon;
        p = colon + 1;
    }
    if (found == 0) {
        info->valid = 0;
    } else {
        // Field i runs from after colon i - 1 to colon i (or the end).
        auto start = [&](size_t i) { return i == 0 ? text : colons[i - 1] + 1; };
        auto stop = [&](size_t i) { return i < found ? colons[i] : end; };
        auto size = [&](size_t i) { return (size_t)(stop(i) - start(i)); };
        parseProtocol(info, text, size(0));
        info->network = found >= 2 ? fieldOrAny(start(1), size(1)) : kuStrdup("*");
        info->contentFormat = found >= 2 ? fieldOrAny(start(2), size(2)) : kuStrdup("*");
        // Only a string of exactly four fields has its fourth field read.
        if (found == 3)
            parseFourthField(info, start(3), size(3));
    }
    if (info->protocol == ku::kProtocolOther && info->protocolString == nullptr)
        info->protocolString = kuStrdup("*");
    return info;
}

} // namespace

// --- creation --------------------------------------------------------------

kuDLNAProtocolInfo *kuDLNAProtocolInfo_New(const char *text, size_t length)
{
    return parse(text, length);
}

kuDLNAProtocolInfo *kuDLNAProtocolInfo_NewFromProfileInfo(const char *text, size_t length)
{
    static constexpr char kPrefix[] = "http-get:*:";
    constexpr size_t kPrefixLength = sizeof kPrefix - 1;
    if (text == nullptr || length == 0) {
        text = "*";
        length = 1;
    }
    length = strnlen(text, length);
    if (length > SIZE_MAX - kPrefixLength)
        length = SIZE_MAX - kPrefixLength;
    char stack[256];
    size_t total = kPrefixLength + length;
    char *full = total <= sizeof stack ? stack : (char *)kuMalloc(total);
    memcpy(full, kPrefix, kPrefixLength);
    memcpy(full + kPrefixLength, text, length);
    kuDLNAProtocolInfo *info = parse(full, total);
    if (full != stack)
        kuFree(full);
    return info;
}

kuDLNAProtocolInfo *kuDLNAProtocolInfo_NewFromURI(const char *uri)
{
    kuDLNAProtocolInfo *info = newInfo();
    kuURI *parsed = kuURI_NewFromStr(uri);
    const char *scheme = parsed->scheme;
    if (scheme == nullptr || *scheme == '\0') {
        info->protocolString = kuStrdup("*");
    } else if (ku::foldedEqual(scheme, "http")) {
        info->protocol = ku::kProtocolHttp;
    } else if (ku::foldedEqual(scheme, "rtp") || ku::foldedEqual(scheme, "rtsp") ||
               ku::foldedEqual(scheme, "udp")) {
        info->protocol = ku::kProtocolRtsp;
    } else if (ku::foldedEqual(scheme, "file")) {
        info->protocol = ku::kProtocolFile;
    } else {
        info->protocolString = kuStrdup(scheme);
    }
    kuURI_Delete(parsed);
    return info;
}

void kuDLNAProtocolInfo_Delete(kuDLNAProtocolInfo *info)
{
    if (info == nullptr)
        return;
    kuFree(info->profileName);
    kuFree(info->contentFormat);
    kuFree(info->network);
    clearSpeeds(&info->playSpeeds);
    kuFree(info->protocolString);
    deleteParams(info->otherParams);
    kuFree(info);
}

uint32_t kuDLNAProtocolInfo_S_StrToUInt32(int base, const char *text, size_t length)
{
    if (text == nullptr)
        return 0;
    length = strnlen(text, length);
    char digits[64];
    char *copy = digits;
    if (base == 16) {
        // Flag words are written with their trailing zeros left out.
        memcpy(digits, "00000000", 9);
        memcpy(digits, text, length < 8 ? length : 8);
    } else {
        copy = length < sizeof digits ? digits : (char *)kuMalloc(length + 1);
        memcpy(copy, text, length);
        copy[length] = '\0';
    }
    uint32_t value = 0;
    if (kuConvert_strtouint32_base(copy, &value, base) == -3)
        value = 0;
    if (copy != digits)
        kuFree(copy);
    return value;
}

// --- composition -----------------------------------------------------------

namespace {

bool writesEverything(int context)
{
    return (context & 5) != 0 && (context & 2) == 0;
}

void addPlaySpeeds(ku::TextBuilder &out, const PlaySpeeds &speeds, bool escapeCommas)
{
    for (uint32_t i = 0; i < speeds.count; i++) {
        if (i > 0)
            out.add(escapeCommas ? "\\," : ",");
        out.add(speeds.items[i].text);
    }
}

void addOtherParams(ku::TextBuilder &out, const DLNAParams *t)
{
    for (uint32_t i = 0; t != nullptr && i < t->count; i++) {
        if (i > 0)
            out.add(';');
        out.add(t->entries[i].name, t->entries[i].nameLength);
        out.add('=');
        out.add(t->entries[i].value);
    }
}

void addOperations(ku::TextBuilder &out, const kuDLNAProtocolInfo *info)
{
    if (info->lopNpt != 0 || info->lopBytes != 0 ||
        (info->linkProtected != 0 && info->lopClearTextBytes != 0))
        return;
    if (info->protocol == ku::kProtocolRtsp) {
        if (info->timeSeek != 0)
            out.add("DLNA.ORG_OP=10;");
    } else if (info->protocol == ku::kProtocolOther || info->protocol == ku::kProtocolHttp) {
        if (info->timeSeek != 0 || info->rangeSeek != 0) {
            out.add("DLNA.ORG_OP=");
            out.add(info->timeSeek != 0 ? '1' : '0');
            out.add(info->rangeSeek != 0 ? '1' : '0');
            out.add(';');
        }
    }
}

void addFourthField(ku::TextBuilder &out, kuDLNAProtocolInfo *info, int context)
{
    makeFlagsConsistent(info);
    uint32_t start = out.size();
    if (info->profileName != nullptr) {
        out.add("DLNA.ORG_PN=");
        out.add(info->profileName);
        out.add(';');
    }
    if (writesEverything(context)) {
        addOperations(out, info);
        if (info->playSpeeds.count > 0) {
            out.add("DLNA.ORG_PS=");
            addPlaySpeeds(out, info->playSpeeds, (context & 4) != 0);
            out.add(';');
        }
        if (info->conversionIndicator != 0)
            out.add("DLNA.ORG_CI=1;");
        if (info->versionMajor == 1 && info->versionMinor >= 5) {
            out.add("DLNA.ORG_FLAGS=");
            for (uint32_t word : info->flagWords)
                out.addHex8(word);
            out.add(';');
        }
        if (info->protocol == ku::kProtocolRtsp &&
            (uint32_t)info->maxSpeedInteger + (uint32_t)info->maxSpeedFraction != 0) {
            out.add("DLNA.ORG_MAXSP=");
            out.addUInt32((uint32_t)info->maxSpeedInteger);
            out.add('.');
            out.addUInt32((uint32_t)info->maxSpeedFraction);
            out.add(';');
        }
        // An empty table adds nothing, not even its separator.
        if (info->otherParams != nullptr && info->otherParams->count > 0) {
            addOtherParams(out, info->otherParams);
            out.add(';');
        }
    }
    if (out.size() == start)
        out.add('*');
    else if (out.last() == ';')
        out.truncate(out.size() - 1);
}

} // namespace

char *kuDLNAProtocolInfo_GetStrForContext(kuDLNAProtocolInfo *info, int context)
{
    if (info == nullptr || info->valid == 0)
        return kuStrdup("");
    ku::TextBuilder out;
    const char *protocol = kuDLNAProtocolInfo_S_GetProtocolStr(info);
    out.add(protocol != nullptr ? protocol : "");
    out.add(':');
    out.add(kuDLNAProtocolInfo_GetNetwork(info));
    out.add(':');
    out.add(kuDLNAProtocolInfo_GetContentFormat(info));
    out.add(':');
    addFourthField(out, info, context);
    return out.take();
}

char *kuDLNAProtocolInfo_GetStr(kuDLNAProtocolInfo *info)
{
    return kuDLNAProtocolInfo_GetStrForContext(info, 1);
}

char *kuDLNAProtocolInfo_GetDLNAInfoStr(kuDLNAProtocolInfo *info, int context)
{
    if (info == nullptr || info->valid == 0)
        return kuStrdup("");
    ku::TextBuilder out(64);
    addFourthField(out, info, context);
    return out.take();
}

const char *kuDLNAProtocolInfo_S_GetProtocolStr(const kuDLNAProtocolInfo *info)
{
    if (info == nullptr)
        return nullptr;
    switch (info->protocol) {
    case ku::kProtocolOther:
        return info->protocolString;
    case ku::kProtocolAny:
        return "*";
    case ku::kProtocolRtsp:
        return info->playSingle != 0 ? "playsingle-rtsp-rtp-udp" : "rtsp-rtp-udp";
    case ku::kProtocolHttp:
        return info->playSingle != 0 ? "playsingle-http-get" : "http-get";
    case ku::kProtocolFile:
        return "file";
    default:
        return nullptr;
    }
}

char *kuDLNAProtocolInfo_GetProtocolStr(const kuDLNAProtocolInfo *info)
{
    return kuStrdup(kuDLNAProtocolInfo_S_GetProtocolStr(info));
}

char *kuDLNAProtocolInfo_GetStrFor4thField(const kuDLNAProtocolInfo *info)
{
    ku::TextBuilder out(64);
    if (info != nullptr)
        addOtherParams(out, info->otherParams);
    return out.take();
}

char *kuDLNAProtocolInfo_GetPlaySpeedStr(const kuDLNAProtocolInfo *info, int escapeCommas)
{
    if (info == nullptr || info->playSpeeds.count == 0)
        return nullptr;
    ku::TextBuilder out(64);
    addPlaySpeeds(out, info->playSpeeds, escapeCommas != 0);
    return out.take();
}

// --- further parameters ----------------------------------------------------

const char *kuDLNAProtocolInfo_Get4thFieldValue(const kuDLNAProtocolInfo *info, const char *name)
{
    if (info == nullptr || name == nullptr)
        return nullptr;
    int32_t i = findParam(info->otherParams, name, strlen(name));
    return i >= 0 ? info->otherParams->entries[i].value : nullptr;
}

void kuDLNAProtocolInfo_Set4thFieldValue(kuDLNAProtocolInfo *info, const char *name,
                                         const char *value)
{
    if (info == nullptr || name == nullptr || *name == '\0')
        return;
    kuDLNAProtocolInfo_Remove4thFieldByName(info, name);
    if (value == nullptr)
        value = "";
    putParam(info, name, strlen(name), value, strlen(value));
}

void kuDLNAProtocolInfo_Remove4thFieldByName(kuDLNAProtocolInfo *info, const char *name)
{
    if (info == nullptr || name == nullptr)
        return;
    int32_t i = findParam(info->otherParams, name, strlen(name));
    if (i >= 0)
        removeParam(info->otherParams, (uint32_t)i);
}

void kuDLNAProtocolInfo_Remove4thField(kuDLNAProtocolInfo *info)
{
    if (info == nullptr)
        return;
    deleteParams(info->otherParams);
    info->otherParams = nullptr;
}

char *kuDLNAProtocolInfo_S_Get4thFieldValueFromStr(const char *fourthField, const char *name)
{
    if (fourthField == nullptr || name == nullptr)
        return nullptr;
    size_t nameLength = strlen(name);
    char *found = nullptr;
    kuCStringTokenList *parameters =
        kuCStringParser_Tokenize(fourthField, 0, strlen(fourthField), ";", 1);
    for (kuCStringToken *t = parameters->first; t != nullptr && t->length > 0; t = t->next) {
        Parameter p = splitParameter(t->text, t->length);
        if (p.nameLength == nameLength && ku::foldedEqualN(p.name, name, nameLength) &&
            qualifies(p.name, p.nameLength, p.value, p.valueLength)) {
            found = kuStrndup(p.value, p.valueLength);
            break;
        }
    }
    kuCStringParser_Delete(parameters);
    return found;
}

// --- matching --------------------------------------------------------------

namespace {

struct EquivalenceGroup {
    const char *const *formats;
    size_t formatCount;
    const char *const *profiles;
    size_t profileCount;
};

constexpr const char *kGroup1Formats[] = {"audio/mp4", "audio/3gpp"};
constexpr const char *kGroup1Profiles[] = {"AAC_ISO",         "AAC_ISO_320",      "AAC_MULT5_ISO",
                                           "HEAAC_L2_ISO",    "HEAAC_L2_ISO_320", "HEAAC_L3_ISO",
                                           "HEAAC_MULT5_ISO", "AMR_3GPP"};
constexpr const char *kGroup2Formats[] = {"audio/mp4", "audio/3gpp", "audio/vnd.dlna.adts"};
constexpr const char *kGroup2Profiles[] = {
    "AAC_LTP_ISO", "AAC_LTP_MULT5_ISO", "AAC_LTP_MULT7_ISO", "MPEG2_AAC_MPS",  "AAC_MPS",
    "HEAAC_L4",    "HEAAC_MULT7",       "HEAAC_MPS",         "HEAACv2_L4",     "HEAACv2_MULT7",
    "HEAACv2_L2_320", "HEAACv2_L2",     "HEAACv2_L3",        "HEAACv2_MULT5"};

template <size_t F, size_t P>
constexpr EquivalenceGroup group(const char *const (&formats)[F], const char *const (&profiles)[P])
{
    return {formats, F, profiles, P};
}

constexpr EquivalenceGroup kGroups[] = {group(kGroup1Formats, kGroup1Profiles),
                                        group(kGroup2Formats, kGroup2Profiles)};

int indexIn(const char *const *texts, size_t count, const char *text)
{
    for (size_t i = 0; i < count; i++)
        if (ku::foldedEqual(texts[i], text))
            return (int)i;
    return -1;
}

bool groupMatches(const EquivalenceGroup &g, const char *a, const char *b, const char *profile)
{
    int i = indexIn(g.formats, g.formatCount, a);
    int j = indexIn(g.formats, g.formatCount, b);
    if (i < 0 || j < 0 || i == j)
        return false;
    return profile == nullptr || indexIn(g.profiles, g.profileCount, profile) >= 0;
}

} // namespace

uint32_t kuDLNAProtocolInfo_GetMismatch(const kuDLNAProtocolInfo *a, const kuDLNAProtocolInfo *b)
{
    if (a == nullptr || b == nullptr)
        return KU_DLNA_MISMATCH_OBJECT;
    if (a->protocol != b->protocol && a->protocol != ku::kProtocolAny &&
        b->protocol != ku::kProtocolAny)
        return KU_DLNA_MISMATCH_PROTOCOL;
    bool wildcard;
    const char *profile = nullptr;
    if (a->profileName != nullptr && b->profileName != nullptr) {
        if (!ku::foldedEqual(a->profileName, b->profileName))
            return KU_DLNA_MISMATCH_PROFILE;
        wildcard = true;
        profile = a->profileName;
    } else {
        if (b->protocol == ku::kProtocolOther &&
            (a->protocolString == nullptr || b->protocolString == nullptr ||
             strcmp(a->protocolString, b->protocolString) != 0))
            return KU_DLNA_MISMATCH_PROTOCOL;
        wildcard = a->profileName == nullptr && b->profileName == nullptr;
    }
    const char *af = a->contentFormat;
    const char *bf = b->contentFormat;
    if (af == nullptr || bf == nullptr)
        return KU_DLNA_MISMATCH_CONTENT_FORMAT;
    if (strcmp(af, "*") == 0 || strcmp(bf, "*") == 0)
        return wildcard ? KU_DLNA_MISMATCH_NONE : KU_DLNA_MISMATCH_PROFILE;
    if (ku::sameContentFormat(bf, af))
        return KU_DLNA_MISMATCH_NONE;
    for (const EquivalenceGroup &g : kGroups)
        if (groupMatches(g, af, bf, profile))
            return KU_DLNA_MISMATCH_NONE;
    return KU_DLNA_MISMATCH_CONTENT_FORMAT;
}

// One decision path, so that a reason given for a "no" is the reason.
int kuDLNAProtocolInfo_Match(const kuDLNAProtocolInfo *a, const kuDLNAProtocolInfo *b)
{
    return kuDLNAProtocolInfo_GetMismatch(a, b) == KU_DLNA_MISMATCH_NONE ? 1 : 0;
}

int kuDLNAProtocolInfo_MatchPN(const kuDLNAProtocolInfo *info, const char *profileName)
{
    return info != nullptr && ku::foldedEqual(info->profileName, profileName) ? 1 : 0;
}

// --- transfer modes and flags ----------------------------------------------

// --- matching under rules (extension) ----------------------------------------

namespace {

// Media types that servers and renderers write for the same format.
constexpr const char *kAliases[][4] = {
    {"audio/flac", "audio/x-flac", nullptr, nullptr},
    {"audio/wav", "audio/x-wav", "audio/wave", nullptr},
    {"audio/mpeg", "audio/mp3", nullptr, nullptr},
    {"video/x-matroska", "video/mkv", nullptr, nullptr},
    {"audio/mp4", "audio/x-m4a", nullptr, nullptr},
    {"video/x-msvideo", "video/avi", nullptr, nullptr},
    {"image/jpeg", "image/jpg", nullptr, nullptr},
    {"audio/ogg", "application/ogg", nullptr, nullptr},
    {"audio/aac", "audio/x-aac", nullptr, nullptr},
    {"audio/x-aiff", "audio/aiff", nullptr, nullptr},
};

struct Span {
    const char *text;
    size_t length;
};

using ku::isBlank;

Span trimmed(const char *text, bool trim)
{
    Span s{text, strlen(text)};
    while (trim && s.length > 0 && isBlank(*s.text)) {
        s.text++;
        s.length--;
    }
    while (trim && s.length > 0 && isBlank(s.text[s.length - 1]))
        s.length--;
    return s;
}

bool sameSpan(Span x, Span y)
{
    return x.length == y.length && ku::foldedEqualN(x.text, y.text, x.length);
}

int aliasRow(Span type)
{
    for (size_t row = 0; row < sizeof kAliases / sizeof kAliases[0]; row++)
        for (const char *alias : kAliases[row])
            if (alias != nullptr && sameSpan(type, Span{alias, strlen(alias)}))
                return (int)row;
    return -1;
}

// Whether one side's subtype "*" covers the other's media type.
bool wildcardCovers(Span pattern, Span type)
{
    if (pattern.length == 3 && memcmp(pattern.text, "*/*", 3) == 0)
        return true;
    if (pattern.length < 2 || memcmp(pattern.text + pattern.length - 2, "/*", 2) != 0)
        return false;
    size_t prefix = pattern.length - 1; // the type and its '/'
    return type.length > prefix && ku::foldedEqualN(pattern.text, type.text, prefix);
}

bool sameMediaType(Span wanted, Span offered, uint32_t rules)
{
    if (sameSpan(wanted, offered))
        return true;
    if ((rules & KU_DLNA_MATCH_MIME_ALIASES) != 0) {
        int row = aliasRow(wanted);
        if (row >= 0 && row == aliasRow(offered))
            return true;
    }
    return (rules & KU_DLNA_MATCH_SUBTYPE_WILDCARD) != 0 &&
           (wildcardCovers(wanted, offered) || wildcardCovers(offered, wanted));
}

int32_t partIndex(kuMimeTypeInfo *mime, Span name, bool trim)
{
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(mime); i++)
        if (sameSpan(trimmed(kuMimeTypeInfo_GetPart(mime, i), trim), name))
            return (int32_t)i;
    return -1;
}

// Every parameter of wanted is in offered (kuMimeTypeInfo_SameAs), with
// blanks before names ignored, or rate and channels left out for a bare L16.
bool hasEveryPart(kuMimeTypeInfo *wanted, kuMimeTypeInfo *offered, uint32_t rules)
{
    const bool trim = (rules & KU_DLNA_MATCH_PARAMETER_BLANKS) != 0;
    const Span rate{"rate", 4}, channels{"channels", 8};
    const bool bareL16 = (rules & KU_DLNA_MATCH_L16_BARE) != 0 &&
                         ku::foldedEqual(kuMimeTypeInfo_GetMimeType(offered), "audio/L16") &&
                         partIndex(offered, rate, trim) < 0;
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(wanted); i++) {
        Span name = trimmed(kuMimeTypeInfo_GetPart(wanted, i), trim);
        if (bareL16 && (sameSpan(name, rate) || sameSpan(name, channels)))
            continue;
        const char *value = kuMimeTypeInfo_GetPartValue(wanted, i);
        bool found = false;
        for (uint32_t j = 0; !found && j < kuMimeTypeInfo_GetPartCount(offered); j++) {
            const char *other = kuMimeTypeInfo_GetPartValue(offered, j);
            found = sameSpan(trimmed(kuMimeTypeInfo_GetPart(offered, j), trim), name) &&
                    (value == nullptr ? other == nullptr
                                      : other != nullptr && ku::foldedEqual(value, other));
        }
        if (!found)
            return false;
    }
    return true;
}

constexpr uint32_t kFormatRules = KU_DLNA_MATCH_MIME_ALIASES | KU_DLNA_MATCH_SUBTYPE_WILDCARD |
                                  KU_DLNA_MATCH_L16_BARE | KU_DLNA_MATCH_PARAMETER_BLANKS;

bool formatsMatch(const char *wanted, const char *offered, uint32_t rules)
{
    if (ku::sameContentFormat(wanted, offered))
        return true;
    if ((rules & kFormatRules) == 0)
        return false;
    const bool trim = (rules & KU_DLNA_MATCH_PARAMETER_BLANKS) != 0;
    kuMimeTypeInfo *w = kuMimeTypeInfo_New(wanted);
    kuMimeTypeInfo *o = kuMimeTypeInfo_New(offered);
    bool same = sameMediaType(trimmed(kuMimeTypeInfo_GetMimeType(w), trim),
                              trimmed(kuMimeTypeInfo_GetMimeType(o), trim), rules) &&
                hasEveryPart(w, o, rules);
    kuMimeTypeInfo_Delete(w);
    kuMimeTypeInfo_Delete(o);
    return same;
}

// The protocol as the rules read it: blanks before it dropped, known names
// in any case.
struct ProtocolView {
    uint32_t code;
    Span text; // for an unknown protocol; null text otherwise
};

ProtocolView protocolOf(const kuDLNAProtocolInfo *info, uint32_t rules)
{
    ProtocolView v{info->protocol, {nullptr, 0}};
    if (info->protocol != ku::kProtocolOther || info->protocolString == nullptr)
        return v;
    v.text = trimmed(info->protocolString, (rules & KU_DLNA_MATCH_PARAMETER_BLANKS) != 0);
    if (const KnownProtocol *k = knownProtocol(v.text.text, v.text.length,
                                               (rules & KU_DLNA_MATCH_PROTOCOL_CASE) != 0)) {
        v.code = k->protocol;
        v.text = {nullptr, 0};
    }
    return v;
}

bool isAdtsPair(const char *a, const char *b)
{
    return ku::foldedEqual(a, "audio/vnd.dlna.adts") || ku::foldedEqual(b, "audio/vnd.dlna.adts");
}

} // namespace

bool ku::matchUnderRules(const kuDLNAProtocolInfo *a, const kuDLNAProtocolInfo *b, uint32_t rules)
{
    if (a == nullptr || b == nullptr)
        return false;
    ProtocolView pa = protocolOf(a, rules);
    ProtocolView pb = protocolOf(b, rules);
    if (pa.code != pb.code && pa.code != kProtocolAny && pb.code != kProtocolAny)
        return false;
    bool wildcard;
    const char *profile = nullptr;
    if (a->profileName != nullptr && b->profileName != nullptr) {
        if (!foldedEqual(a->profileName, b->profileName))
            return false;
        wildcard = true;
        profile = a->profileName;
    } else {
        if (pb.code == kProtocolOther &&
            (pa.text.text == nullptr || pb.text.text == nullptr ||
             ((rules & KU_DLNA_MATCH_PROTOCOL_CASE) != 0
                  ? !sameSpan(pa.text, pb.text)
                  : pa.text.length != pb.text.length ||
                        memcmp(pa.text.text, pb.text.text, pa.text.length) != 0)))
            return false;
        const kuDLNAProtocolInfo *bare = a->profileName == nullptr ? a : b;
        wildcard = (a->profileName == nullptr && b->profileName == nullptr) ||
                   ((rules & KU_DLNA_MATCH_ANY_FORMAT_PROFILE) != 0 &&
                    bare->contentFormat != nullptr && strcmp(bare->contentFormat, "*") == 0);
    }
    const char *af = a->contentFormat;
    const char *bf = b->contentFormat;
    if (af == nullptr || bf == nullptr)
        return false;
    if (strcmp(af, "*") == 0 || strcmp(bf, "*") == 0)
        return wildcard;
    if (formatsMatch(bf, af, rules))
        return true;
    for (const EquivalenceGroup &g : kGroups)
        if (groupMatches(g, af, bf, profile) &&
            ((rules & KU_DLNA_MATCH_ADTS_APART) == 0 || !isAdtsPair(af, bf)))
            return true;
    return false;
}

int kuDLNAProtocolInfo_MatchWithRules(const kuDLNAProtocolInfo *a, const kuDLNAProtocolInfo *b,
                                      uint32_t rules, uint32_t *used)
{
    uint32_t ignored;
    return ku::matchWithFewestRules(rules, used != nullptr ? used : &ignored, [&](uint32_t set) {
               return ku::matchUnderRules(a, b, set) ? 0 : -1;
           }) >= 0
               ? 1
               : 0;
}

const char *kuDLNAProtocolInfo_GetMatchRuleName(uint32_t rule)
{
    static constexpr const char *kNames[] = {"mime-aliases",       "subtype-wildcard",
                                             "protocol-case",      "any-format-profile",
                                             "l16-bare",           "parameter-blanks",
                                             "adts-apart"};
    for (uint32_t i = 0; i < sizeof kNames / sizeof kNames[0]; i++)
        if (rule == (1u << i))
            return kNames[i];
    return nullptr;
}

const char *kuDLNAProtocolInfo_GetTransferMode(const kuDLNAProtocolInfo *info)
{
    if (info == nullptr)
        return nullptr;
    if (info->tmStreaming != 0)
        return "Streaming";
    return info->tmInteractive != 0 ? "Interactive" : "Background";
}

int kuDLNAProtocolInfo_GetQOSMode(const kuDLNAProtocolInfo *info)
{
    if (info == nullptr)
        return 0;
    if (info->tmStreaming != 0)
        return 4;
    return info->tmInteractive != 0 ? 0 : 2;
}

int kuDLNAProtocolInfo_SetTransmitMode(kuDLNAProtocolInfo *info, int mode)
{
    if (info == nullptr)
        return 0;
    switch (mode) {
    case 0:
        info->tmBackground = 1;
        info->tmStreaming = 0;
        info->tmInteractive = 0;
        return 1;
    case 1:
        info->tmStreaming = 1;
        info->tmInteractive = 0;
        return 2;
    case 2:
        info->tmInteractive = 1;
        info->tmBackground = 0;
        info->tmStreaming = 0;
        return 2;
    default:
        return 2;
    }
}

int kuDLNAProtocolInfo_SupportClearTextByteSeek(kuDLNAProtocolInfo *info, int value)
{
    if (info == nullptr)
        return 0;
    info->clearTextByteSeekFull = (uint32_t)value;
    info->lopClearTextBytes = 0;
    if (value == 1) {
        info->lopBytes = 0;
        info->lopNpt = 0;
    }
    return 1;
}

uint32_t kuDLNAProtocolInfo_GetPlaySpeedCount(const kuDLNAProtocolInfo *info)
{
    return info != nullptr ? info->playSpeeds.count : 0;
}

void kuDLNAProtocolInfo_RemovePlaySpeedSupport(kuDLNAProtocolInfo *info)
{
    if (info != nullptr)
        clearSpeeds(&info->playSpeeds);
}

int kuDLNAProtocolInfo_IsDTCPProtected(const kuDLNAProtocolInfo *info)
{
    if (info == nullptr || info->linkProtected != 1)
        return 0;
    const char *format = info->contentFormat;
    return ku::startsWith(format, "application/x-dtcp1") && strstr(format, "DTCP1HOST") != nullptr &&
                   strstr(format, "DTCP1PORT") != nullptr &&
                   strstr(format, "CONTENTFORMAT") != nullptr
               ? 1
               : 0;
}

int kuDLNAProtocolInfo_IsWMDRMNDProtected(const kuDLNAProtocolInfo *info)
{
    return info != nullptr && ku::startsWith(info->profileName, "WMDRM_") ? 1 : 0;
}

// --- adjusting -------------------------------------------------------------

namespace {

// The transmit mode that suits a media type: 2 interactive for images and
// text, 1 streaming for audio and video, 0 background for anything else.
int modeForMediaType(const char *type)
{
    if (ku::startsWith(type, "image/") || ku::startsWith(type, "text/"))
        return 2;
    if (ku::startsWith(type, "audio/") || ku::startsWith(type, "video/"))
        return 1;
    return 0;
}

} // namespace

void kuDLNAProtocolInfo_MakeConsistent(kuDLNAProtocolInfo *info)
{
    if (info == nullptr)
        return;
    info->versionMajor = 1;
    info->versionMinor = 5;
    kuMimeTypeInfo *mime = kuMimeTypeInfo_New(info->contentFormat);
    const char *type = kuMimeTypeInfo_GetMimeType(mime);
    char *wrapped = nullptr;
    if (strcmp(type, "application/x-dtcp1") == 0) {
        wrapped = kuMimeTypeInfo_GetPartValueByName(mime, "CONTENTFORMAT");
        type = wrapped;
    }
    kuDLNAProtocolInfo_SetTransmitMode(info, modeForMediaType(type));
    kuFree(wrapped);
    kuMimeTypeInfo_Delete(mime);
}

void kuDLNAProtocolInfo_Adjust(kuDLNAProtocolInfo *info)
{
    if (info == nullptr)
        return;
    kuDLNAProtocolInfo_MakeConsistent(info);
    if (info->protocol == ku::kProtocolHttp)
        info->httpStalling = info->senderPaced != 0 ? 0 : info->webServerSupportsStalling;
    info->timeSeek = 0;
    if (info->s0Increasing != 0)
        info->rangeSeek = 0;
    else
        info->rangeSeek = info->protocol == ku::kProtocolOther ||
                          info->protocol == ku::kProtocolHttp ||
                          info->protocol == ku::kProtocolFile;
}

void kuDLNAProtocolInfo_AdjustForDTCPIP(kuDLNAProtocolInfo *info, const char *host, uint32_t port)
{
    if (info == nullptr)
        return;
    if (info->contentFormat != nullptr) {
        char portText[8];
        kuMimeTypeInfo *mime = kuMimeTypeInfo_New("application/x-dtcp1");
        kuMimeTypeInfo_AddPart(mime, "DTCP1HOST", host);
        ku_snprintf(portText, sizeof portText, "%u", (unsigned)(port & 0xFFFF));
        kuMimeTypeInfo_AddPart(mime, "DTCP1PORT", portText);
        kuMimeTypeInfo_AddPart(mime, "CONTENTFORMAT", info->contentFormat);
        kuFree(info->contentFormat);
        info->contentFormat = kuMimeTypeInfo_Get(mime);
        kuMimeTypeInfo_Delete(mime);
        info->linkProtected = 1;
        kuDLNAProtocolInfo_SupportClearTextByteSeek(info, 1);
    }
    kuDLNAProtocolInfo_Adjust(info);
}

void kuDLNAProtocolInfo_AdjustForWMDRMND(kuDLNAProtocolInfo *info)
{
    if (kuDLNAProtocolInfo_IsWMDRMNDProtected(info)) {
        info->timeSeek = 1;
        info->rangeSeek = 0;
    }
}

void kuDLNAProtocolInfo_ConvertProfileNameToDTCP(kuDLNAProtocolInfo *info)
{
    if (info == nullptr || info->profileName == nullptr || info->profileName[0] == '\0' ||
        strcmp(info->profileName, "*") == 0 || ku::startsWith(info->profileName, "DTCP_"))
        return;
    char *name = (char *)kuMalloc(strlen(info->profileName) + 6);
    memcpy(name, "DTCP_", 5);
    strcpy(name + 5, info->profileName);
    kuFree(info->profileName);
    info->profileName = name;
}

// --- merging ---------------------------------------------------------------

namespace {

// Adds the source's speeds whose values the target lacks. Both arrays are
// sorted, so one pass over each keeps the result sorted.
void mergeSpeeds(PlaySpeeds *target, const PlaySpeeds &source)
{
    if (source.count == 0)
        return;
    PlaySpeeds merged = {nullptr, 0, 0};
    uint32_t i = 0;
    for (uint32_t j = 0; j < source.count; j++) {
        double v = source.items[j].value;
        for (; i < target->count && target->items[i].value < v; i++)
            addSpeed(&merged, target->items[i].text, target->items[i].value);
        bool known = (i < target->count && target->items[i].value == v) ||
                     (merged.count > 0 && merged.items[merged.count - 1].value == v);
        if (!known)
            addSpeed(&merged, kuStrdup(source.items[j].text), v);
    }
    for (; i < target->count; i++)
        addSpeed(&merged, target->items[i].text, target->items[i].value);
    kuFree(target->items);
    *target = merged;
}

} // namespace

void kuDLNAProtocolInfo_Merge(kuDLNAProtocolInfo *target, kuDLNAProtocolInfo *source)
{
    if (target == nullptr || source == nullptr || target == source)
        return;
    if (source->conversionIndicator != 0)
        target->conversionIndicator = 1;
    makeFlagsConsistent(target);
    makeFlagsConsistent(source);
    for (int w = 0; w < 4; w++)
        target->flagWords[w] |= source->flagWords[w];
    unpackFlags(target);
    if (source->timeSeek != 0)
        target->timeSeek = 1;
    if (source->rangeSeek != 0)
        target->rangeSeek = 1;
    if (source->maxSpeedInteger > target->maxSpeedInteger ||
        (source->maxSpeedInteger == target->maxSpeedInteger &&
         source->maxSpeedFraction > target->maxSpeedFraction)) {
        target->maxSpeedInteger = source->maxSpeedInteger;
        target->maxSpeedFraction = source->maxSpeedFraction;
    }
    mergeSpeeds(&target->playSpeeds, source->playSpeeds);
}

void kuDLNAProtocolInfo_MergeWithMediaMapper(kuDLNAProtocolInfo *target,
                                             const kuDLNAProtocolInfo *source)
{
    if (target == nullptr || source == nullptr || target == source)
        return;
    target->timeSeek = source->timeSeek;
    target->rangeSeek = source->rangeSeek;
    target->isThumbnail = source->isThumbnail;
    target->versionMajor = source->versionMajor;
    target->versionMinor = source->versionMinor;
    target->maxSpeedInteger = source->maxSpeedInteger;
    target->maxSpeedFraction = source->maxSpeedFraction;
    target->flagWords[0] = packFlags(source, target->flagWords[0]);
    clearSpeeds(&target->playSpeeds);
    for (uint32_t i = 0; i < source->playSpeeds.count; i++)
        addSpeed(&target->playSpeeds, kuStrdup(source->playSpeeds.items[i].text),
                 source->playSpeeds.items[i].value);
}

// --- caller's data ---------------------------------------------------------

void *kuDLNAProtocolInfo_GetUserData(const kuDLNAProtocolInfo *info)
{
    return info != nullptr ? info->userData : nullptr;
}

void kuDLNAProtocolInfo_SetUserData(kuDLNAProtocolInfo *info, void *userData)
{
    if (info != nullptr)
        info->userData = userData;
}

void kuDLNAProtocolInfo_SetWebServerSupportHTTPConnectionStalling(kuDLNAProtocolInfo *info,
                                                                  int value)
{
    if (info != nullptr)
        info->webServerSupportsStalling = value > 0 ? 1 : 0;
}

// --- fields as tools show them (extension) -----------------------------------

const char *kuDLNAProtocolInfo_GetMismatchName(uint32_t mismatch)
{
    static constexpr const char *kNames[] = {"none", "protocol", "profile", "content format",
                                             "object"};
    return mismatch < sizeof kNames / sizeof kNames[0] ? kNames[mismatch] : nullptr;
}

const char *kuDLNAProtocolInfo_GetNetwork(const kuDLNAProtocolInfo *info)
{
    if (info == nullptr)
        return nullptr;
    return info->network != nullptr && info->network[0] != '\0' ? info->network : "*";
}

const char *kuDLNAProtocolInfo_GetContentFormat(const kuDLNAProtocolInfo *info)
{
    if (info == nullptr)
        return nullptr;
    return info->contentFormat != nullptr ? info->contentFormat : "*";
}

const char *kuDLNAProtocolInfo_GetProfileName(const kuDLNAProtocolInfo *info)
{
    return info != nullptr ? info->profileName : nullptr;
}

uint32_t kuDLNAProtocolInfo_GetFlagWord(kuDLNAProtocolInfo *info, uint32_t index)
{
    if (info == nullptr || index >= 4)
        return 0;
    makeFlagsConsistent(info);
    return info->versionMajor == 1 && info->versionMinor >= 5 ? info->flagWords[index] : 0;
}

const char *kuDLNAProtocolInfo_GetFlagName(uint32_t bit)
{
    if (bit == kVersion15Bit)
        return "dlnaV15";
    for (const FlagBit &f : kFlagBits)
        if (f.bit == bit)
            return f.name;
    return nullptr;
}
