// INI files on a dictionary: parsing, saving, typed access and enumeration.
#include <kuvanaTools/kuINIFile.h>

#include <kuvanaTools/kuCStringParser.h>
#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuStringSubstitution.h>
#include <kuvanaTools/private/kuCharClass.h>
#include <kuvanaTools/private/kuDictionaryInternal.h>
#include <kuvanaTools/private/kuHash.h>
#include <kuvanaTools/private/kuINIFileInternal.h>
#include <kuvanaTools/private/kuLogInternal.h>

#include <platform/kuOSFile.h>
#include <platform/kuOSSystem.h>

#include <ctype.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr size_t kNameMax = 127;   // section and key names
constexpr size_t kEntryMax = 255;  // "section/key"
constexpr size_t kLineMax = 1023;  // a line read or written
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF"; // dropped from a file's first line
constexpr char kDefaultSection[] = "default";
constexpr ku::LogSource kLog = {ku::kLogINIFile, "kuvanaTools/kuINIFile"};

// Returned by kuDictionary_ReadKey for a missing key: no stored text has
// this address.
const char kMissing[1] = "";

inline char lowerByte(char c)
{
    return (char)tolower((signed char)c);
}

// Lower-cases the first min(length, 127) bytes of name into out (128 bytes)
// and terminates it; returns the length written.
size_t lowerName(const char *name, size_t length, char *out)
{
    if (length > kNameMax)
        length = kNameMax;
    for (size_t i = 0; i < length; i++)
        out[i] = lowerByte(name[i]);
    out[length] = '\0';
    return length;
}

// The dictionary's digest, not yet ended, continued from h over n bytes.
uint32_t digestBytes(uint32_t h, const char *text, size_t n)
{
    for (size_t i = 0; i < n; i++)
        h = ku::digestStep(h, text[i]);
    return h;
}

size_t boundedLength(const char *text, size_t limit)
{
    const void *zero = memchr(text, 0, limit + 1);
    return zero != nullptr ? (size_t)((const char *)zero - text) : limit + 1;
}

// The stored form of a section name the caller gave.
struct SectionName {
    char text[kNameMax + 1];
    size_t length;

    explicit SectionName(const char *name)
    {
        assign(name, name != nullptr ? boundedLength(name, kNameMax) : 0);
    }

    void assign(const char *name, size_t nameLength)
    {
        if (nameLength == 0) {
            name = kDefaultSection;
            nameLength = sizeof kDefaultSection - 1;
        }
        length = lowerName(name, nameLength, text);
        digested_ = false;
    }

    // The digest of the text, not yet ended (taken once: the parser's
    // section goes into every key entry of the section).
    uint32_t digest() const
    {
        if (!digested_) {
            digest_ = digestBytes(0, text, length);
            digested_ = true;
        }
        return digest_;
    }
    uint32_t entryDigest() const { return ku::digestEnd(digest()); }
    void knowDigest(uint32_t digest) const
    {
        digest_ = digest;
        digested_ = true;
    }

private:
    mutable bool digested_;
    mutable uint32_t digest_;
};

// "section/key" as stored: the lower-cased section, '/', the key lower-cased
// and cut to 127 bytes.
struct EntryName {
    char text[kEntryMax + 1];
    uint32_t digest;

    EntryName(const SectionName &section, const char *key, size_t keyLength)
    {
        memcpy(text, section.text, section.length);
        text[section.length] = '/';
        char *name = text + section.length + 1;
        size_t nameLength = lowerName(key, keyLength, name);
        digest = ku::digestEnd(digestBytes(ku::digestStep(section.digest(), '/'), name, nameLength));
    }
    EntryName(const SectionName &section, const char *key)
        : EntryName(section, key, boundedLength(key, kNameMax))
    {
    }
};

// Makes sure the section entry exists with the empty text as its value.
inline void touchSection(kuDictionary *ini, const SectionName &section)
{
    ku::dictionaryWrite(ini, section.text, section.entryDigest(), nullptr);
}

// The stored value of key, or kMissing.
inline const char *lookup(kuDictionary *ini, const char *key)
{
    return kuDictionary_ReadKey(ini, key, kMissing);
}

// Whether text points into the stored value of key (which a write of key
// would release).
bool pointsIntoValue(kuDictionary *ini, const char *key, const char *text)
{
    const char *stored = lookup(ini, key);
    return stored != kMissing && text >= stored && text <= stored + strlen(stored);
}

void touchSectionOnce(kuDictionary *ini, const SectionName &section);

const char *readString(kuDictionary *ini, const char *section, const char *key,
                       const char *defaultValue, int *found)
{
    int ignored;
    if (found == nullptr)
        found = &ignored;
    *found = 0;
    if (ini == nullptr)
        return nullptr;
    SectionName name(section);
    const char *value;
    if (key == nullptr) {
        value = lookup(ini, name.text);
    } else {
        touchSectionOnce(ini, name);
        EntryName entry(name, key);
        value = ku::dictionaryRead(ini, entry.text, entry.digest, kMissing);
    }
    if (value == kMissing)
        return defaultValue;
    *found = 1;
    return value;
}

// The stored text, or null when absent; *found (may be null) tells which.
const char *readFound(kuDictionary *ini, const char *section, const char *key, int *found)
{
    int hit = 0;
    const char *text = readString(ini, section, key, nullptr, &hit);
    if (found != nullptr)
        *found = hit;
    return hit ? text : nullptr;
}

// The value when found and it is a whole number of the parser's type.
template <typename T, int32_t (*Parse)(const char *, T *)>
T readNumber(kuDictionary *ini, const char *section, const char *key, T defaultValue, int *found)
{
    const char *text = readFound(ini, section, key, found);
    if (ini == nullptr)
        return 0;
    T value;
    if (text != nullptr && Parse(text, &value) == 0)
        return value;
    return defaultValue;
}

// Where the sections and the keys of each section lie among the dictionary's
// slots, so that enumerating a whole file, and saving it, take linear time.
// Rebuilt when the dictionary's layout version moves on; a changed value
// leaves it valid (names point into the dictionary's keys, which stay).
struct KeyGroup {
    const char *name; // section name in the keys of the group (null: free cell)
    uint32_t length;
    uint32_t digest;
    uint32_t first; // into Layout::keySlots
    uint32_t count;

    bool free() const { return name == nullptr; }
};

struct Layout {
    // The section a read last wrote, while nothing in the dictionary changed
    // since: writing it again would change nothing.
    char touched[kNameMax + 1];
    size_t touchedLength;
    uint32_t touchedDigest; // SectionName::digest()
    uint64_t touchedAt;     // the dictionary's change count then

    bool valid;
    uint64_t version;
    uint32_t sectionCount;
    uint32_t *sectionSlots; // slots of the section entries, in order
    uint32_t *keySlots;     // slots of key entries, grouped by section, in order
    ku::ProbeIndex<KeyGroup> groups; // by section name
};

constexpr uint32_t kNoGroup = UINT32_MAX;

// The cell of the group named text, or the free cell where it would go.
uint32_t findGroup(const Layout *layout, const char *text, size_t length, uint32_t digest)
{
    return layout->groups.find(digest, [&](const KeyGroup &g) {
        return g.digest == digest && g.length == length && memcmp(g.name, text, length) == 0;
    });
}

void releaseArrays(Layout *layout)
{
    kuFree(layout->sectionSlots);
    kuFree(layout->keySlots);
    layout->groups.release();
    layout->sectionSlots = layout->keySlots = nullptr;
}

void releaseLayout(void *cache)
{
    releaseArrays((Layout *)cache);
    kuFree(cache);
}

void rebuild(Layout *layout, kuDictionary *ini)
{
    releaseArrays(layout);
    const uint32_t n = kuDictionary_GetEntryCount(ini);
    const uint32_t cells = ku::tableSizeFor(n);
    layout->groups.reset(cells);
    layout->sectionSlots = ku::newArray<uint32_t>((size_t)n + 1);
    layout->keySlots = ku::newArray<uint32_t>((size_t)n + 1);
    uint32_t *groupOf = ku::newArray<uint32_t>((size_t)n + 1);

    layout->sectionCount = 0;
    for (uint32_t i = 0; i < n; i++) {
        const char *key = kuDictionary_GetKeyAtIndex(ini, i);
        const char *slash = strchr(key, '/');
        if (slash == nullptr) {
            layout->sectionSlots[layout->sectionCount++] = i;
            groupOf[i] = kNoGroup;
            continue;
        }
        size_t length = (size_t)(slash - key);
        uint32_t digest = ku::hashBytes(key, length);
        uint32_t g = findGroup(layout, key, length, digest);
        KeyGroup &group = layout->groups.cells[g];
        if (group.name == nullptr)
            group = KeyGroup{key, (uint32_t)length, digest, 0, 0};
        group.count++;
        groupOf[i] = g;
    }
    uint32_t next = 0;
    for (uint32_t g = 0; g < cells; g++) {
        KeyGroup &group = layout->groups.cells[g];
        group.first = next;
        next += group.count;
        group.count = 0; // counts again while filling
    }
    for (uint32_t i = 0; i < n; i++) {
        if (groupOf[i] == kNoGroup)
            continue;
        KeyGroup &group = layout->groups.cells[groupOf[i]];
        layout->keySlots[group.first + group.count++] = i;
    }
    kuFree(groupOf);
    layout->version = ku::dictionaryLayoutVersion(ini);
    layout->valid = true;
}

Layout *cacheOf(kuDictionary *ini)
{
    Layout *layout = (Layout *)ku::dictionaryCache(ini);
    if (layout == nullptr) {
        layout = (Layout *)kuMallocZeroed(sizeof(Layout));
        ku::setDictionaryCache(ini, layout, releaseLayout);
    }
    return layout;
}

const Layout *layoutOf(kuDictionary *ini)
{
    Layout *layout = cacheOf(ini);
    if (!layout->valid || layout->version != ku::dictionaryLayoutVersion(ini))
        rebuild(layout, ini);
    return layout;
}

// Reads of a section's keys in a row write its entry once.
void touchSectionOnce(kuDictionary *ini, const SectionName &section)
{
    Layout *cache = cacheOf(ini);
    if (cache->touchedLength == section.length &&
        memcmp(cache->touched, section.text, section.length) == 0) {
        section.knowDigest(cache->touchedDigest);
        if (cache->touchedAt == ku::dictionaryChangeCount(ini))
            return;
    }
    touchSection(ini, section);
    memcpy(cache->touched, section.text, section.length);
    cache->touchedLength = section.length;
    cache->touchedDigest = section.digest();
    cache->touchedAt = ku::dictionaryChangeCount(ini);
}

// The keys of a section (stored name), or null when it has none.
const KeyGroup *keysOf(const Layout *layout, const char *section, size_t length)
{
    uint32_t g = findGroup(layout, section, length, ku::hashBytes(section, length));
    const KeyGroup &group = layout->groups.cells[g];
    return group.free() ? nullptr : &group;
}

// The next place of one byte in a text at or after a position, searched
// again only once the position has passed it: whatever the lines, each byte
// of the text is looked at once per kind of byte.
class NextByte {
public:
    NextByte(char byte, const char *end) : byte_(byte), at_(nullptr), end_(end) {}

    // The first place of the byte in [p, end), or end.
    const char *from(const char *p)
    {
        if (at_ < p) {
            at_ = (const char *)memchr(p, byte_, (size_t)(end_ - p));
            if (at_ == nullptr)
                at_ = end_;
        }
        return at_;
    }

private:
    char byte_;
    const char *at_;
    const char *end_;
};

// The loading parser: one line at a time, with the section of the last
// header. The section entry is written at its header, and no key line of the
// section can change it (key entries all hold a '/' after the section
// name), so key lines need not write it again.
class Parser {
public:
    explicit Parser(kuDictionary *ini) : ini_(ini), section_(nullptr)
    {
        touchSection(ini_, section_);
    }

    void parse(const char *text, size_t length)
    {
        const char *p = text;
        const char *end = text + length;
        reserve(text, end);
        Scan scan(end);
        while (p < end) {
            const char *limit = end - p > (ptrdiff_t)kLineMax ? p + kLineMax : end;
            const char *q = least(scan.lineFeed.from(p), scan.carriageReturn.from(p));
            q = q < limit ? q + 1 : limit;
            line(scan, p, q);
            p = q;
        }
    }

private:
    // An entry per '=' and one per section, as most files have: room for
    // them up front, so the dictionary grows once rather than by steps (keys
    // without '=' still fit, by the usual growth).
    void reserve(const char *p, const char *end)
    {
        if (p == end)
            return;
        size_t entries = 1;
        static const char kMarks[2] = {'=', '['};
        for (char c : kMarks) {
            for (const char *q = p; q < end && (q = (const char *)memchr(q, c, (size_t)(end - q))); q++)
                entries++;
        }
        size_t total = kuDictionary_GetEntryCount(ini_) + entries;
        ku::dictionaryReserve(ini_, total < 0x100000 ? (uint32_t)total : 0x100000);
    }

    // The bytes the lines are searched for.
    struct Scan {
        explicit Scan(const char *end)
            : lineFeed('\n', end), carriageReturn('\r', end), zero('\0', end),
              equals('=', end), hash('#', end), semicolon(';', end), doubleQuote('"', end),
              singleQuote('\'', end), backslash('\\', end)
        {
        }
        NextByte lineFeed, carriageReturn, zero, equals, hash, semicolon;
        NextByte doubleQuote, singleQuote, backslash;
    };

    static const char *least(const char *a, const char *b) { return a < b ? a : b; }

    static const char *skipSpace(const char *b, const char *e)
    {
        while (b < e && ku::isSpace((unsigned char)*b))
            b++;
        return b;
    }
    static const char *dropSpace(const char *b, const char *e)
    {
        while (e > b && ku::isSpace((unsigned char)e[-1]))
            e--;
        return e;
    }

    // A trimmed name's length once cut to 127 bytes; white space the cut
    // leaves at its end goes too, as loading the saved name would drop it.
    static size_t nameLength(const char *b, const char *e)
    {
        if (e - b > (ptrdiff_t)kNameMax)
            e = dropSpace(b, b + kNameMax);
        return (size_t)(e - b);
    }

    void line(Scan &scan, const char *b, const char *e)
    {
        if (first_) {
            first_ = false;
            if (e - b >= 3 && memcmp(b, kByteOrderMark, 3) == 0)
                b += 3;
        }
        e = least(e, scan.zero.from(b));
        while (e > b && (e[-1] == '\n' || e[-1] == '\r'))
            e--;
        b = skipSpace(b, e);
        e = dropSpace(b, e);
        if (b == e || *b == ';' || *b == '#')
            return;
        if (*b == '[') {
            if (const void *close = memchr(b + 1, ']', (size_t)(e - b - 1))) {
                header(b + 1, (const char *)close);
                return;
            }
        }
        const char *equals = scan.equals.from(b);
        if (equals >= e) {
            store(b, nameLength(b, e), "");
            return;
        }
        if (equals == b)
            return;
        store(b, nameLength(b, dropSpace(b, equals)), value(scan, skipSpace(equals + 1, e), e));
    }

    void header(const char *b, const char *e)
    {
        b = skipSpace(b, e);
        section_.assign(b, nameLength(b, dropSpace(b, e)));
        touchSection(ini_, section_);
    }

    // The value text of [b, e), trimmed, into value_.
    const char *value(Scan &scan, const char *b, const char *e)
    {
        char *out = value_;
        if (b < e && (*b == '"' || *b == '\'')) {
            const char quote = *b++;
            NextByte &closing = quote == '"' ? scan.doubleQuote : scan.singleQuote;
            for (;;) {
                // the run up to the closing quote or a backslash
                const char *stop = least(e, least(closing.from(b), scan.backslash.from(b)));
                memcpy(out, b, (size_t)(stop - b));
                out += stop - b;
                if (stop == e || *stop == quote || stop + 1 == e)
                    break;
                *out++ = stop[1]; // the backslash makes it literal
                b = stop + 2;
            }
        } else {
            e = dropSpace(b, least(e, least(scan.hash.from(b), scan.semicolon.from(b))));
            memcpy(out, b, (size_t)(e - b));
            out += e - b;
        }
        *out = '\0';
        return value_;
    }

    void store(const char *key, size_t length, const char *value)
    {
        EntryName entry(section_, key, length);
        ku::dictionaryWrite(ini_, entry.text, entry.digest, value);
    }

    kuDictionary *ini_;
    SectionName section_;
    bool first_ = true;
    char value_[kLineMax + 1];
};

// One line being written: at most 1023 bytes, the rest cut.
// A line is cut to fit its area, line feed included (loading cuts lines at
// the same length, so a cut line still reads back as its own line). Line
// breaks inside names and values are written as spaces, so a value cannot
// inject sections or keys into the file.
struct Line {
    char text[kLineMax + 1];
    size_t length = 0;

    Line &add(const char *part, size_t n)
    {
        if (n > kLineMax - length)
            n = kLineMax - length;
        for (size_t i = 0; i < n; i++)
            text[length + i] = part[i] == '\n' || part[i] == '\r' ? ' ' : part[i];
        length += n;
        return *this;
    }
    Line &add(const char *part) { return add(part, strlen(part)); }
    Line &end()
    {
        if (length < kLineMax)
            text[length++] = '\n';
        return *this;
    }
};

// Collects lines and writes them in large blocks; remembers whether any
// write failed.
class Output {
public:
    explicit Output(kuFile *file) : file_(file), buffer_((char *)kuMalloc(kBlock)) {}
    ~Output() { kuFree(buffer_); }

    void put(const Line &line)
    {
        if (kBlock - length_ < line.length)
            flush();
        memcpy(buffer_ + length_, line.text, line.length);
        length_ += line.length;
    }

    // Writes what is left: true when every byte was written, else false
    // with errno telling why the first write failed.
    bool finish()
    {
        flush();
        if (failed_)
            errno = error_;
        return !failed_;
    }

private:
    static constexpr size_t kBlock = 64 * 1024;

    void flush()
    {
        if (length_ > 0 && !failed_) {
            failed_ = kuFile_Write(file_, buffer_, length_) != (ptrdiff_t)length_;
            error_ = errno;
        }
        length_ = 0;
    }

    kuFile *file_;
    char *buffer_;
    size_t length_ = 0;
    bool failed_ = false;
    int error_ = 0;
};

bool needsQuotes(const char *value, size_t length)
{
    // Line breaks are written as spaces, so they count as spaces here.
    if (strpbrk(value, " \"'#;\\\r\n") != nullptr)
        return true;
    // Leading or trailing white space would be trimmed away on loading.
    return length > 0 && (ku::isSpace((unsigned char)value[0]) ||
                          ku::isSpace((unsigned char)value[length - 1]));
}

void writeSections(Output &out, kuDictionary *ini)
{
    const Layout *layout = layoutOf(ini);
    bool firstLine = true;
    for (uint32_t s = 0; s < layout->sectionCount; s++) {
        const char *name = kuDictionary_GetKeyAtIndex(ini, layout->sectionSlots[s]);
        size_t nameLength = strlen(name);
        if (strcmp(name, kDefaultSection) != 0) {
            if (!firstLine)
                out.put(Line().end());
            out.put(Line().add("[").add(name, nameLength).add("]").end());
            firstLine = false;
        }
        const KeyGroup *keys = keysOf(layout, name, nameLength);
        for (uint32_t k = 0; keys != nullptr && k < keys->count; k++) {
            uint32_t slot = layout->keySlots[keys->first + k];
            const char *value = kuDictionary_GetValueAtIndex(ini, slot);
            size_t valueLength = strlen(value);
            const char *key = kuDictionary_GetKeyAtIndex(ini, slot) + nameLength + 1;
            Line line;
            // Loading drops a byte order mark from the first line: a key
            // that opens the file with those bytes gets a mark of its own.
            if (firstLine && strncmp(key, kByteOrderMark, 3) == 0)
                line.add(kByteOrderMark, 3);
            line.add(key).add("=");
            if (needsQuotes(value, valueLength)) {
                char *quoted = kuCStringParser_EscapeAndSurround(value, valueLength, "\"'\\",
                                                                 '\\', '"', '"');
                line.add(quoted);
                kuFree(quoted);
            } else {
                line.add(value, valueLength);
            }
            out.put(line.end());
            firstLine = false;
        }
    }
}

// Writes the file in place. A failed write or close is not reported (the
// config file's save checks them itself).
int save(const char *path, kuDictionary *ini)
{
    if (ini == nullptr)
        return 0;
    char *normalised = kuPath_Normalize(path, 0, 0, nullptr);
    if (normalised == nullptr)
        return 0;
    kuFile *file = nullptr;
    int opened = kuFile_Open(normalised, 50, 3, &file);
    kuFree(normalised);
    if (opened != 0)
        return 0;
    ku::writeINIFile(file, ini);
    kuFile_Close(file);
    return 1;
}

} // namespace

char *kuINIFile_S_ToLower(const char *source, char *destination)
{
    if (source == nullptr || destination == nullptr)
        return destination;
    while (*source != '\0')
        *destination++ = lowerByte(*source++);
    *destination = '\0';
    return destination;
}

int kuINIFile_WriteKeyAsString(kuDictionary *ini, const char *section, const char *key,
                               const char *value)
{
    if (ini == nullptr)
        return 0;
    SectionName name(section);
    if (key == nullptr) {
        kuDictionary_WriteKey(ini, name.text, value);
        return 1;
    }
    // Emptying the section's value must not pull the new value away.
    char *copy = nullptr;
    if (value != nullptr && pointsIntoValue(ini, name.text, value))
        value = copy = kuStrdup(value);
    touchSection(ini, name);
    kuDictionary_WriteKey(ini, EntryName(name, key).text, value);
    kuFree(copy);
    return 1;
}

int kuINIFile_WriteKeyAsUInt32(kuDictionary *ini, const char *section, const char *key,
                               uint32_t value)
{
    char text[128];
    ku_snprintf(text, sizeof text, "%lu", (unsigned long)value);
    return kuINIFile_WriteKeyAsString(ini, section, key, text);
}

int kuINIFile_WriteKeyAsInt32(kuDictionary *ini, const char *section, const char *key,
                              int32_t value)
{
    char text[128];
    ku_snprintf(text, sizeof text, "%ld", (long)value);
    return kuINIFile_WriteKeyAsString(ini, section, key, text);
}

int kuINIFile_WriteKeyAsDouble(kuDictionary *ini, const char *section, const char *key,
                               double value)
{
    char text[128];
    ku_snprintf(text, sizeof text, "%g", value);
    return kuINIFile_WriteKeyAsString(ini, section, key, text);
}

int kuINIFile_WriteKeyAsBool(kuDictionary *ini, const char *section, const char *key, int value)
{
    return kuINIFile_WriteKeyAsString(ini, section, key, value != 0 ? "1" : "0");
}

const char *kuINIFile_ReadKeyAsString(kuDictionary *ini, const char *section, const char *key,
                                      const char *defaultValue, int *found)
{
    return readString(ini, section, key, defaultValue, found);
}

char *kuINIFile_ReadKeyAsStringWithSubstitution(kuDictionary *ini, const char *section,
                                                const char *key, const char *defaultValue,
                                                int *found,
                                                kuStringSubstitution_Resolver resolver)
{
    const char *text = readString(ini, section, key, defaultValue, found);
    return kuStringSubstitution_Substitute(text, '%', 0, resolver, nullptr);
}

uint32_t kuINIFile_ReadKeyAsUInt32(kuDictionary *ini, const char *section, const char *key,
                                   uint32_t defaultValue, int *found)
{
    return readNumber<uint32_t, kuConvert_strtouint32>(ini, section, key, defaultValue, found);
}

int32_t kuINIFile_ReadKeyAsInt32(kuDictionary *ini, const char *section, const char *key,
                                 int32_t defaultValue, int *found)
{
    return readNumber<int32_t, kuConvert_strtoint32>(ini, section, key, defaultValue, found);
}

double kuINIFile_ReadKeyAsDouble(kuDictionary *ini, const char *section, const char *key,
                                 double defaultValue, int *found)
{
    const char *text = readFound(ini, section, key, found);
    if (ini == nullptr)
        return 0.0;
    return text != nullptr ? strtod(text, nullptr) : defaultValue;
}

int kuINIFile_ReadKeyAsBool(kuDictionary *ini, const char *section, const char *key,
                            int defaultValue, int *found)
{
    const char *text = readFound(ini, section, key, found);
    if (ini == nullptr)
        return 0;
    if (text == nullptr)
        return defaultValue;
    int32_t number;
    if (kuConvert_strtoint32(text, &number) == 0)
        return number != 0 ? 1 : 0;
    switch (toupper((unsigned char)text[0])) {
    case 'T':
    case 'Y':
        return 1;
    case 'F':
    case 'N':
        return 0;
    default:
        ku::log(kLog, __LINE__,
                "kuINIFile: invalid value '%s' for a boolean for entry '%s/%s' (returning %d) \n",
                text, section != nullptr ? section : "(null)", key != nullptr ? key : "(null)",
                defaultValue);
        return defaultValue;
    }
}

char *GetLocaleAsString(char *buffer, size_t size)
{
    return kuLocale_Get(buffer, size);
}

int kuINIFile_DeleteKey(kuDictionary *ini, const char *section, const char *key)
{
    if (ini == nullptr)
        return 0;
    SectionName name(section);
    if (key == nullptr)
        kuDictionary_DeleteKey(ini, name.text);
    else
        kuDictionary_DeleteKey(ini, EntryName(name, key).text);
    return 1;
}

int kuINIFile_DeleteSection(kuDictionary *ini, const char *section)
{
    if (ini == nullptr)
        return 0;
    SectionName name(section);
    // From the end, so that each removal leaves the slots still to visit.
    for (uint32_t i = kuDictionary_GetEntryCount(ini); i-- > 0;) {
        const char *key = kuDictionary_GetKeyAtIndex(ini, i);
        if (strncmp(key, name.text, name.length) == 0 && key[name.length] == '/')
            kuDictionary_DeleteKey(ini, key);
    }
    kuDictionary_DeleteKey(ini, name.text);
    return 1;
}

uint32_t kuINIFile_GetNumberOfSections(kuDictionary *ini)
{
    return ini != nullptr ? layoutOf(ini)->sectionCount : 0;
}

const char *kuINIFile_GetSectionName(kuDictionary *ini, uint32_t index)
{
    if (ini == nullptr)
        return nullptr;
    const Layout *layout = layoutOf(ini);
    if (index >= layout->sectionCount)
        return "";
    const char *name = kuDictionary_GetKeyAtIndex(ini, layout->sectionSlots[index]);
    return strcmp(name, kDefaultSection) == 0 ? "" : name;
}

uint32_t kuINIFile_GetNumberOfKeys(kuDictionary *ini, const char *section)
{
    if (ini == nullptr)
        return 0;
    SectionName name(section);
    const KeyGroup *keys = keysOf(layoutOf(ini), name.text, name.length);
    return keys != nullptr ? keys->count : 0;
}

const char *kuINIFile_GetKeyName(kuDictionary *ini, const char *section, uint32_t index)
{
    if (ini == nullptr)
        return nullptr;
    SectionName name(section);
    const Layout *layout = layoutOf(ini);
    const KeyGroup *keys = keysOf(layout, name.text, name.length);
    if (keys == nullptr || index >= keys->count)
        return "";
    return kuDictionary_GetKeyAtIndex(ini, layout->keySlots[keys->first + index]) +
           name.length + 1;
}

int kuINIFile_LoadINIFileFromBuffer(const char *text, size_t length, kuDictionary *ini)
{
    if (ini == nullptr)
        return 0;
    Parser(ini).parse(text, text != nullptr ? length : 0);
    return 1;
}

int kuINIFile_LoadINIFile(const char *path, kuDictionary *ini)
{
    constexpr size_t kChunk = 100;
    if (ini == nullptr)
        return 0;
    kuFile *file = nullptr;
    if (kuFile_Open(path, 1, 1, &file) != 0)
        return 0;
    char *text = nullptr;
    size_t capacity = 0;
    size_t length = 0;
    for (;;) {
        if (capacity - length < kChunk) {
            capacity = capacity < 1024 ? 1024 : capacity * 2;
            text = (char *)kuRealloc(text, capacity);
        }
        ptrdiff_t n = kuFile_Read(file, text + length, kChunk);
        if (n < 0) {
            int error = errno; // the caller may tell why (a directory: EISDIR)
            kuFile_Close(file);
            kuFree(text);
            errno = error;
            return 0;
        }
        length += (size_t)n;
        if ((size_t)n < kChunk)
            break;
    }
    kuFile_Close(file);
    Parser(ini).parse(text, length);
    kuFree(text);
    return 1;
}

int kuINIFile_SaveINIFile(const char *path, kuDictionary *ini)
{
    return save(path, ini);
}

bool ku::writeINIFile(kuFile *file, kuDictionary *ini)
{
    Output out(file);
    writeSections(out, ini);
    return out.finish();
}
