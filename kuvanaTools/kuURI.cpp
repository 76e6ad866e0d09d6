// URIs: tolerant parsing, composition, escaping, query parts and resolution.
#include <kuvanaTools/kuURI.h>
#include <kuvanaTools/kuArray.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/private/kuAlloc.h>
#include <kuvanaTools/private/kuCharClass.h>
#include <platform/kuOSFile.h>

#include <arpa/inet.h>
#include <stdlib.h>
#include <string.h>

static_assert(offsetof(kuURI, scheme) == 0 && offsetof(kuURI, host) < offsetof(kuURI, port) &&
                  offsetof(kuURI, port) < offsetof(kuURI, path) &&
                  offsetof(kuURI, path) < offsetof(kuURI, query) &&
                  offsetof(kuURI, query) < offsetof(kuURI, fragment) &&
                  offsetof(kuURI, fragment) < offsetof(kuURI, userInfo),
              "fields in the documented order");
static_assert(sizeof(((kuURI *)nullptr)->port) == 2, "16-bit port");

// Where each query part of one query text begins.
struct kuURIQueryIndex {
    const char *query; // the text indexed
    size_t count;
    const char *starts[1]; // count entries
};

namespace {

// Escaping classes: one flag per component.
enum : uint8_t { kUserInfo = 1, kPath = 2, kQuery = 4, kFragment = 8 };

struct ClassTable {
    uint8_t flags[256];
};

constexpr ClassTable makeClassTable()
{
    ClassTable table{};
    const char *base = "-._~!$&'()*+,;=:\\";
    for (int c = 0; c < 256; c++)
        if (ku::isAlnum(c))
            table.flags[c] = kUserInfo | kPath | kQuery | kFragment;
    for (const char *p = base; *p != '\0'; p++)
        table.flags[(unsigned char)*p] = kUserInfo | kPath | kQuery | kFragment;
    table.flags['/'] = kPath | kQuery | kFragment;
    table.flags['@'] = kPath | kQuery | kFragment;
    table.flags['?'] = kQuery | kFragment;
    return table;
}

constexpr ClassTable kClasses = makeClassTable();

constexpr int countClass(uint8_t flag)
{
    int n = 0;
    for (int c = 0; c < 256; c++)
        n += (kClasses.flags[c] & flag) != 0;
    return n;
}
static_assert(countClass(kUserInfo) == 79 && countClass(kPath) == 81 &&
                  countClass(kQuery) == 82 && countClass(kFragment) == 82,
              "class sizes");

using ku::kDigitsLower;

bool isEscapeAt(const char *p)
{
    return p[0] == '%' && ku::isXDigit((unsigned char)p[1]) && ku::isXDigit((unsigned char)p[2]);
}

// The byte of the escape "%hh" at p.
char escapedAt(const char *p)
{
    return (char)(ku::hexValue((unsigned char)p[1]) * 16 + ku::hexValue((unsigned char)p[2]));
}

// A new copy of text with every byte outside the class escaped; null for
// null.
char *escape(const char *text, uint8_t flag)
{
    if (text == nullptr)
        return nullptr;
    size_t length = 0, extra = 0;
    for (const unsigned char *p = (const unsigned char *)text; *p != 0; p++, length++)
        extra += (kClasses.flags[*p] & flag) == 0;
    if (extra == 0)
        return kuStrndup(text, length);
    char *out = (char *)kuMalloc(length + 2 * extra + 1);
    char *q = out;
    for (const unsigned char *p = (const unsigned char *)text; *p != 0; p++) {
        if ((kClasses.flags[*p] & flag) != 0) {
            *q++ = (char)*p;
        } else {
            *q++ = '%';
            *q++ = kDigitsLower[*p >> 4];
            *q++ = kDigitsLower[*p & 15];
        }
    }
    *q = '\0';
    return out;
}

void unescapeInPlace(char *text)
{
    char *p = strchr(text, '%');
    if (p == nullptr)
        return;
    char *q = p;
    while (*p != '\0') {
        if (isEscapeAt(p)) {
            *q++ = escapedAt(p);
            p += 3;
        } else {
            *q++ = *p++;
        }
    }
    *q = '\0';
}

// What the guard sees of one character of a path.
enum Unit { kOther, kDot, kSeparator };

Unit unitOf(int c)
{
    if (c == '.')
        return kDot;
    return c == '/' || c == '\\' ? kSeparator : kOther;
}

// Decodes every level of escaping into out (as long as text): an escape
// whose decoding completes another escape with what precedes it is decoded
// again, so "%252e" and "%%32%65" both give '.'. Linear: each reduction
// shrinks the output. Returns the output's length.
size_t decodeAllLevels(const char *text, size_t length, char *out)
{
    size_t n = 0;
    for (size_t i = 0; i < length;) {
        if (isEscapeAt(text + i)) {
            out[n++] = escapedAt(text + i);
            i += 3;
        } else {
            out[n++] = text[i++];
        }
        while (n >= 3 && isEscapeAt(out + n - 3)) {
            out[n - 3] = escapedAt(out + n - 3);
            n -= 2;
        }
    }
    return n;
}

// The character at p, reading an overlong UTF-8 form (2 to 6 bytes) of an
// ASCII character as that character, as lenient decoders do; sets *size.
int characterAt(const unsigned char *p, const unsigned char *end, size_t *size)
{
    *size = 1;
    int lead = p[0];
    if (lead < 0xC0 || lead > 0xFD)
        return lead;
    size_t n = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : lead < 0xFC ? 5 : 6;
    if ((size_t)(end - p) < n)
        return lead;
    uint32_t value = (uint32_t)lead & (0x7Fu >> n);
    for (size_t i = 1; i < n; i++) {
        if ((p[i] & 0xC0) != 0x80)
            return lead;
        value = value << 6 | (p[i] & 0x3Fu);
    }
    if (value >= 0x80)
        return lead;
    *size = n;
    return (int)value;
}

// True when the path, read with every level of escaping decoded and
// overlong forms taken as their character, holds a dot next to a slash or
// backslash, or begins with a ".." segment (ended by the end, a separator,
// ';' or a NUL).
bool isRefusedDecoded(const unsigned char *p, const unsigned char *end)
{
    Unit previous = kOther;
    size_t leadingDots = 0;
    bool inFirstSegment = true;
    while (p < end) {
        size_t size;
        int c = characterAt(p, end, &size);
        p += size;
        Unit unit = unitOf(c);
        if ((previous == kDot && unit == kSeparator) || (previous == kSeparator && unit == kDot))
            return true;
        if (inFirstSegment) {
            if (unit == kDot) {
                leadingDots++;
            } else {
                // A decoded NUL ends the text for a C reader; the scan goes
                // on for readers that decode once and see what follows.
                if (leadingDots == 2 && (c == ';' || c == '\0'))
                    return true;
                inFirstSegment = false;
            }
        }
        previous = unit;
    }
    return inFirstSegment && leadingDots == 2;
}

bool isRefusedPath(const char *path)
{
    size_t length = strlen(path);
    if (strchr(path, '%') == nullptr)
        return isRefusedDecoded((const unsigned char *)path, (const unsigned char *)path + length);
    char *decoded = (char *)kuMalloc(length + 1);
    size_t n = decodeAllLevels(path, length, decoded);
    bool refused = isRefusedDecoded((const unsigned char *)decoded, (const unsigned char *)decoded + n);
    kuFree(decoded);
    return refused;
}

// Empties a refused path in place (its block is kept).
void guard(char *path)
{
    if (path != nullptr && isRefusedPath(path))
        path[0] = '\0';
}

// Replaces the string in *slot by value, which it takes over.
void adopt(char **slot, char *value)
{
    kuFree(*slot);
    *slot = value;
}

// Before any change of the query text: its index no longer holds.
void dropQueryIndex(kuURI *uri)
{
    kuFree(uri->queryIndex);
    uri->queryIndex = nullptr;
}

void adoptQuery(kuURI *uri, char *query)
{
    dropQueryIndex(uri);
    adopt(&uri->query, query);
}

bool isEmpty(const char *text)
{
    return text == nullptr || text[0] == '\0';
}

// Setter storage: null or empty gives null, else the escaped copy.
void setEscaped(char **slot, const char *value, uint8_t flag)
{
    adopt(slot, isEmpty(value) ? nullptr : escape(value, flag));
}

void setCopy(char **slot, const char *value)
{
    adopt(slot, isEmpty(value) ? nullptr : kuStrdup(value));
}

void setGuardedPath(kuURI *uri, const char *path)
{
    setEscaped(&uri->path, path, kPath);
    guard(uri->path);
}

kuURI *newURI()
{
    return (kuURI *)kuMallocZeroed(sizeof(kuURI));
}

} // namespace

kuURI *kuURI_New(void)
{
    return newURI();
}

kuURI *kuURI_New1(const char *scheme, const char *host, uint16_t port, const char *path)
{
    return kuURI_New2(scheme, nullptr, host, port, path, nullptr, nullptr);
}

kuURI *kuURI_New2(const char *scheme, const char *userInfo, const char *host, uint16_t port,
                  const char *path, const char *query, const char *fragment)
{
    kuURI *uri = newURI();
    kuURI_SetScheme(uri, scheme);
    kuURI_SetUserInfo(uri, userInfo);
    kuURI_SetHostName(uri, host);
    uri->port = port;
    setGuardedPath(uri, path);
    kuURI_SetQuery(uri, query);
    kuURI_SetFragment(uri, fragment);
    return uri;
}

kuURI *kuURI_Clone(const kuURI *uri)
{
    if (uri == nullptr)
        return nullptr;
    kuURI *copy = newURI();
    copy->scheme = kuStrdup(uri->scheme);
    copy->host = kuStrdup(uri->host);
    copy->port = uri->port;
    copy->path = kuStrdup(uri->path);
    copy->query = kuStrdup(uri->query);
    copy->fragment = kuStrdup(uri->fragment);
    copy->userInfo = kuStrdup(uri->userInfo);
    return copy;
}

void kuURI_Clear(kuURI *uri)
{
    if (uri == nullptr)
        return;
    kuFree(uri->queryIndex);
    kuFree(uri->scheme);
    kuFree(uri->host);
    kuFree(uri->path);
    kuFree(uri->query);
    kuFree(uri->fragment);
    kuFree(uri->userInfo);
    memset(uri, 0, sizeof *uri);
}

void kuURI_Delete(kuURI *uri)
{
    kuURI_Clear(uri);
    kuFree(uri);
}

int kuURI_IsEmpty(const kuURI *uri)
{
    return uri == nullptr || (isEmpty(uri->scheme) && isEmpty(uri->userInfo) &&
                              isEmpty(uri->host) && isEmpty(uri->path) &&
                              isEmpty(uri->query) && isEmpty(uri->fragment));
}

void kuURI_SetScheme(kuURI *uri, const char *scheme)
{
    if (uri != nullptr)
        setCopy(&uri->scheme, scheme);
}

void kuURI_SetHostName(kuURI *uri, const char *host)
{
    if (uri != nullptr)
        setCopy(&uri->host, host);
}

void kuURI_SetUserInfo(kuURI *uri, const char *userInfo)
{
    if (uri != nullptr)
        setEscaped(&uri->userInfo, userInfo, kUserInfo);
}

void kuURI_SetPath(kuURI *uri, const char *path)
{
    if (uri != nullptr)
        setGuardedPath(uri, path);
}

void kuURI_SetFilePath(kuURI *uri, const char *path)
{
    kuURI_SetPath(uri, path);
}

void kuURI_SetQuery(kuURI *uri, const char *query)
{
    if (uri != nullptr)
        adoptQuery(uri, isEmpty(query) ? nullptr : escape(query, kQuery));
}

void kuURI_SetFragment(kuURI *uri, const char *fragment)
{
    if (uri != nullptr)
        setEscaped(&uri->fragment, fragment, kFragment);
}

void kuURI_SetPort(kuURI *uri, uint16_t port)
{
    if (uri != nullptr)
        uri->port = port;
}

namespace {

// Where the scheme and a host without brackets end.
constexpr bool endsName(int c)
{
    return c == ':' || c == '/' || c == '?' || c == '#';
}

// A copy of [begin, end), or null when the range is empty.
char *copyRange(const char *begin, const char *end)
{
    return end > begin ? kuStrndup(begin, (size_t)(end - begin)) : nullptr;
}

// Reads user info, host and port after "//"; returns where the path begins,
// or null when an empty "[]" ends the text.
const char *parseAuthority(kuURI *uri, const char *p, const char *end)
{
    for (const char *q = p; q < end && *q != '/'; q++) {
        if (*q == '@') {
            uri->userInfo = kuStrndup(p, (size_t)(q - p));
            p = q + 1;
            break;
        }
    }
    if (p < end && *p == '[') {
        const char *close = (const char *)memchr(p + 1, ']', (size_t)(end - p - 1));
        if (close == nullptr) {
            uri->host = copyRange(p + 1, end);
            return end;
        }
        if (close == p + 1)
            return nullptr;
        uri->host = copyRange(p + 1, close);
        p = close + 1;
    } else {
        const char *q = p;
        while (q < end && !endsName((unsigned char)*q))
            q++;
        uri->host = copyRange(p, q);
        p = q;
    }
    if (p < end && *p == ':') {
        uint16_t port = 0;
        for (p++; p < end && ku::isDigit((unsigned char)*p); p++)
            port = (uint16_t)(port * 10u + (unsigned)(*p - '0'));
        uri->port = port;
    }
    return p;
}

void parsePathQueryFragment(kuURI *uri, const char *p, const char *end)
{
    const char *q = p;
    while (q < end && *q != '?' && *q != '#')
        q++;
    uri->path = copyRange(p, q);
    guard(uri->path);
    p = q;
    if (p < end && *p == '?') {
        q = ++p;
        while (q < end && *q != '#')
            q++;
        uri->query = kuStrndup(p, (size_t)(q - p));
        p = q;
    }
    if (p < end)
        uri->fragment = kuStrndup(p + 1, (size_t)(end - p - 1));
}

kuURI *parse(const char *text, bool unescape)
{
    const char *p = text != nullptr ? text : "";
    while (ku::isSpace((unsigned char)*p))
        p++;
    const char *end = p + strlen(p);
    while (end > p && ku::isSpace((unsigned char)end[-1]))
        end--;

    kuURI *uri = newURI();
    const char *q = p;
    while (q < end && !endsName((unsigned char)*q))
        q++;
    if (q < end && *q == ':') {
        bool drive = q - p == 1 && ku::isAlpha((unsigned char)*p) && q + 1 < end &&
                     (q[1] == '/' || q[1] == '\\');
        if (!drive) {
            uri->scheme = kuStrndup(p, (size_t)(q - p));
            p = q + 1;
        }
    }
    if (end - p >= 2 && p[0] == '/' && p[1] == '/')
        p = parseAuthority(uri, p + 2, end);
    if (p != nullptr)
        parsePathQueryFragment(uri, p, end);

    if (unescape) {
        if (uri->userInfo != nullptr)
            unescapeInPlace(uri->userInfo);
        if (uri->path != nullptr) {
            unescapeInPlace(uri->path);
            guard(uri->path);
        }
        kuURI_S_Unescape_Query(uri->query);
        if (uri->fragment != nullptr)
            unescapeInPlace(uri->fragment);
    }
    return uri;
}

// Decimal digits of a port, most significant first; returns their count.
int portDigits(unsigned port, char digits[5])
{
    char reversed[5];
    int n = 0;
    do {
        reversed[n++] = (char)('0' + port % 10);
        port /= 10;
    } while (port != 0);
    for (int i = 0; i < n; i++)
        digits[i] = reversed[n - 1 - i];
    return n;
}

bool isDefaultPort(const kuURI *uri)
{
    return uri->scheme != nullptr &&
           ((uri->port == 80 && strcmp(uri->scheme, "http") == 0) ||
            (uri->port == 443 && strcmp(uri->scheme, "https") == 0));
}

size_t lengthOf(const char *text)
{
    return text != nullptr ? strlen(text) : 0;
}

char *append(char *out, const char *text, size_t length)
{
    memcpy(out, text, length);
    return out + length;
}

} // namespace

kuURI *kuURI_NewFromStr(const char *text)
{
    return parse(text, true);
}

kuURI *kuURI_NewFromEscapedStr(const char *text)
{
    return parse(text, false);
}

char *kuURI_GetStr(const kuURI *uri)
{
    if (uri == nullptr)
        return nullptr;
    bool authority = uri->userInfo != nullptr || uri->host != nullptr || uri->path != nullptr;
    bool middle = uri->scheme == nullptr || authority;
    size_t schemeLength = lengthOf(uri->scheme), userLength = lengthOf(uri->userInfo);
    size_t hostLength = lengthOf(uri->host), pathLength = lengthOf(uri->path);
    size_t queryLength = lengthOf(uri->query), fragmentLength = lengthOf(uri->fragment);
    bool bracket = uri->host != nullptr && memchr(uri->host, ':', hostLength) != nullptr;
    char digits[5];
    int digitCount = 0;
    if (uri->host != nullptr && uri->port != 0 && !isDefaultPort(uri))
        digitCount = portDigits(uri->port, digits);
    bool slash = uri->path != nullptr && uri->path[0] != '/' &&
                 (uri->userInfo != nullptr || uri->host != nullptr);

    size_t size = 1;
    if (uri->scheme != nullptr)
        size += schemeLength + 1 + (authority ? 2 : 0);
    if (middle)
        size += (uri->userInfo != nullptr ? userLength + 1 : 0) + hostLength + (bracket ? 2 : 0) +
                (digitCount != 0 ? digitCount + 1 : 0) + (slash ? 1 : 0) + pathLength;
    size += (uri->query != nullptr ? queryLength + 1 : 0) +
            (uri->fragment != nullptr ? fragmentLength + 1 : 0);

    char *text = (char *)kuMalloc(size);
    char *out = text;
    if (uri->scheme != nullptr) {
        out = append(out, uri->scheme, schemeLength);
        out = append(out, authority ? "://" : ":", authority ? 3 : 1);
    }
    if (middle) {
        if (uri->userInfo != nullptr) {
            out = append(out, uri->userInfo, userLength);
            *out++ = '@';
        }
        if (bracket)
            *out++ = '[';
        out = append(out, uri->host != nullptr ? uri->host : "", hostLength);
        if (bracket)
            *out++ = ']';
        if (digitCount != 0) {
            *out++ = ':';
            out = append(out, digits, (size_t)digitCount);
        }
        if (slash)
            *out++ = '/';
        out = append(out, uri->path != nullptr ? uri->path : "", pathLength);
    }
    if (uri->query != nullptr) {
        *out++ = '?';
        out = append(out, uri->query, queryLength);
    }
    if (uri->fragment != nullptr) {
        *out++ = '#';
        out = append(out, uri->fragment, fragmentLength);
    }
    *out = '\0';
    return text;
}

void kuURI_SetHostIP(kuURI *uri, uint32_t address)
{
    if (uri == nullptr)
        return;
    char *host = ku_mnprintf("%u.%u.%u.%u", (unsigned)(address >> 24), (unsigned)(address >> 16 & 255),
                             (unsigned)(address >> 8 & 255), (unsigned)(address & 255));
    adopt(&uri->host, host);
}

uint32_t kuURI_GetHostIP(const kuURI *uri)
{
    if (uri == nullptr || uri->host == nullptr)
        return 0xFFFFFFFFu;
    if (strcmp(uri->host, "localhost") == 0)
        return htonl(0x7F000001u);
    return (uint32_t)inet_addr(uri->host);
}

const char *kuURI_GetExtension(const kuURI *uri)
{
    if (uri == nullptr || uri->path == nullptr)
        return "";
    const char *dot = strrchr(uri->path, '.');
    if (dot == nullptr || strpbrk(dot, "/\\") != nullptr)
        return "";
    return dot + 1;
}

void kuURI_Escape(kuURI *uri)
{
    if (uri == nullptr)
        return;
    // '&' belongs to every class, so escaping the query whole keeps its
    // separators just as escaping it part by part would.
    adopt(&uri->userInfo, escape(uri->userInfo, kUserInfo));
    adopt(&uri->path, escape(uri->path, kPath));
    adoptQuery(uri, escape(uri->query, kQuery));
    adopt(&uri->fragment, escape(uri->fragment, kFragment));
}

void kuURI_AppendToPath(kuURI *uri, const char *segment)
{
    if (uri == nullptr || segment == nullptr)
        return;
    if (uri->path == nullptr) {
        setGuardedPath(uri, segment);
        return;
    }
    char *escaped = escape(segment, kPath);
    size_t escapedLength = strlen(escaped);
    const char *slash = strrchr(uri->path, '/');
    size_t keep = slash != nullptr ? (size_t)(slash - uri->path) + 1 : 0;
    char *path = (char *)kuMalloc(keep + (slash == nullptr) + escapedLength + 1);
    char *out = slash != nullptr ? append(path, uri->path, keep) : append(path, "/", 1);
    append(out, escaped, escapedLength + 1);
    kuFree(escaped);
    adopt(&uri->path, path);
    guard(uri->path);
}

char *kuURI_S_Unescape(char *text)
{
    if (text != nullptr)
        unescapeInPlace(text);
    return text;
}

char *kuURI_S_Unescape_Query(char *text)
{
    if (text == nullptr)
        return nullptr;
    for (char *p = strchr(text, '+'); p != nullptr; p = strchr(p + 1, '+'))
        *p = ' ';
    unescapeInPlace(text);
    return text;
}

namespace {

// Composes uri and deletes it.
char *composeAndDelete(kuURI *uri)
{
    char *text = kuURI_GetStr(uri);
    kuURI_Delete(uri);
    return text;
}

bool equalsFolded(const char *text, const char *lower)
{
    for (; *lower != '\0'; text++, lower++)
        if (ku::toLowerAscii((unsigned char)*text) != *lower)
            return false;
    return *text == '\0';
}

// Takes the path of a parsed "file" URI when it is a full local path.
char *takeFullPath(kuURI *uri)
{
    char *path = nullptr;
    if (uri->scheme != nullptr && strcmp(uri->scheme, "file") == 0 && uri->path != nullptr &&
        uri->path[0] == '/') {
        path = uri->path;
        uri->path = nullptr;
    }
    return path;
}

// Merges a relative reference path with the directory of a "file" base.
void mergeFilePath(kuURI *base, const char *reference)
{
    char *full = takeFullPath(base);
    char *normal = full != nullptr ? kuPath_Normalize(full, KUPATH_KEEP_RELATIVE, 0, "") : nullptr;
    size_t fullLength = lengthOf(full), normalLength = lengthOf(normal);
    if (normal != nullptr && fullLength != 0 && full[fullLength - 1] == '/' &&
        (normalLength == 0 || normal[normalLength - 1] != '/'))
        kuStrcatReplace(&normal, "/");
    kuURI_SetFilePath(base, normal);
    kuFree(normal);
    kuFree(full);
    kuURI_AppendToPath(base, reference);
}

} // namespace

char *kuURI_S_Decode(const char *text)
{
    return text != nullptr ? composeAndDelete(kuURI_NewFromStr(text)) : nullptr;
}

char *kuURI_S_Encode(const char *text)
{
    if (text == nullptr)
        return nullptr;
    kuURI *uri = kuURI_NewFromEscapedStr(text);
    kuURI_Escape(uri);
    return composeAndDelete(uri);
}

char *kuURI_S_RemoveQueryAndFragment(const char *text)
{
    kuURI *uri = kuURI_NewFromStr(text);
    adoptQuery(uri, nullptr);
    adopt(&uri->fragment, nullptr);
    return composeAndDelete(uri);
}

char *kuURI_S_Combine(const char *base, const char *reference)
{
    kuURI *ref = kuURI_NewFromStr(reference);
    if (ref->scheme != nullptr)
        return composeAndDelete(ref);
    kuURI *uri = kuURI_NewFromStr(base);
    bool refPath = !isEmpty(ref->path);
    if (uri->scheme == nullptr) {
        adopt(&uri->path, nullptr);
    } else if (equalsFolded(uri->scheme, "http") || equalsFolded(uri->scheme, "https")) {
        if (refPath && ref->path[0] == '/')
            kuURI_SetPath(uri, ref->path);
        else if (refPath)
            kuURI_AppendToPath(uri, ref->path);
        kuURI_SetQuery(uri, ref->query);
    } else if (equalsFolded(uri->scheme, "file") && refPath) {
        if (kuPath_IsAbsolute(ref->path))
            kuURI_SetFilePath(uri, ref->path);
        else
            mergeFilePath(uri, ref->path);
    }
    kuURI_Delete(ref);
    return composeAndDelete(uri);
}

char *kuURI_S_GetFileURIFromFullPath(const char *path)
{
    if (path == nullptr)
        return nullptr;
    char *copy = kuStrdup(path);
    for (char *p = strchr(copy, '\\'); p != nullptr; p = strchr(p + 1, '\\'))
        *p = '/';
    kuURI *uri = kuURI_New1("file", nullptr, 0, copy);
    kuFree(copy);
    return composeAndDelete(uri);
}

char *kuURI_S_GetFullPathFromFileURI(const char *text)
{
    kuURI *uri = kuURI_NewFromStr(text);
    char *path = takeFullPath(uri);
    kuURI_Delete(uri);
    return path;
}

namespace {

size_t countParts(const char *query)
{
    size_t count = 1;
    for (const char *p = strchr(query, '&'); p != nullptr; p = strchr(p + 1, '&'))
        count++;
    return count;
}

// The end of the query part that begins at part: its closing '&' or the end.
const char *partEnd(const char *part)
{
    const char *amp = strchr(part, '&');
    return amp != nullptr ? amp : part + strlen(part);
}

// The first part of query named name: the name at the start of the query or
// after a '&', followed by '=', '&' or the end. A name holding '&' spans
// parts and matches none.
const char *findPart(const char *query, const char *name)
{
    if (query == nullptr || strchr(name, '&') != nullptr)
        return nullptr;
    size_t length = strlen(name);
    for (const char *p = query;;) {
        if (strncmp(p, name, length) == 0) {
            char next = p[length];
            if (next == '=' || next == '&' || next == '\0')
                return p;
        }
        p = strchr(p, '&');
        if (p == nullptr)
            return nullptr;
        p++;
    }
}

// The part at index of a non-empty query by scanning, or null.
const char *scanToPart(const char *query, size_t index)
{
    const char *part = query;
    for (; index > 0; index--) {
        part = strchr(part, '&');
        if (part == nullptr)
            return nullptr;
        part++;
    }
    return part;
}

kuURIQueryIndex *buildQueryIndex(const char *query)
{
    size_t count = countParts(query);
    kuURIQueryIndex *index = (kuURIQueryIndex *)kuMalloc(
        ku::arrayBytes(count, sizeof(const char *), sizeof(kuURIQueryIndex)));
    index->query = query;
    index->count = count;
    const char *part = query;
    for (size_t i = 0; i < count; i++) {
        index->starts[i] = part;
        part = partEnd(part) + 1;
    }
    return index;
}

// Where the part at index of the non-empty query begins, or null. Readers
// may run at once: the index is published with one atomic exchange and never
// changed afterwards; a reader that loses the race frees its own.
const char *queryPartAt(const kuURI *uri, uint32_t index)
{
    if (index == 0)
        return uri->query;
    kuURIQueryIndex **slot = &const_cast<kuURI *>(uri)->queryIndex;
    kuURIQueryIndex *built = __atomic_load_n(slot, __ATOMIC_ACQUIRE);
    if (built == nullptr) {
        kuURIQueryIndex *fresh = buildQueryIndex(uri->query);
        if (__atomic_compare_exchange_n(slot, &built, fresh, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE)) {
            built = fresh;
        } else {
            kuFree(fresh);
        }
    }
    if (built->query != uri->query)
        return scanToPart(uri->query, index);
    return index < built->count ? built->starts[index] : nullptr;
}

} // namespace

uint32_t kuURI_GetQueryPartCount(const kuURI *uri)
{
    return uri == nullptr || isEmpty(uri->query) ? 0 : (uint32_t)countParts(uri->query);
}

char *kuURI_GetQueryPart(const kuURI *uri, const char *name)
{
    if (uri == nullptr || name == nullptr)
        return nullptr;
    const char *part = findPart(uri->query, name);
    if (part == nullptr)
        return nullptr;
    const char *value = part + strlen(name);
    if (*value != '=')
        return kuStrdup("");
    value++;
    return kuStrndup(value, (size_t)(partEnd(value) - value));
}

int kuURI_GetQueryPartAt(const kuURI *uri, uint32_t index, char **outName, char **outValue)
{
    if (outName != nullptr)
        *outName = nullptr;
    if (outValue != nullptr)
        *outValue = nullptr;
    if (uri == nullptr || isEmpty(uri->query))
        return 0;
    const char *part = queryPartAt(uri, index);
    if (part == nullptr)
        return 0;
    const char *end = partEnd(part);
    const char *equals = (const char *)memchr(part, '=', (size_t)(end - part));
    if (outName != nullptr)
        *outName = kuStrndup(part, (size_t)((equals != nullptr ? equals : end) - part));
    if (outValue != nullptr && equals != nullptr)
        *outValue = kuStrndup(equals + 1, (size_t)(end - equals - 1));
    return 1;
}

int kuURI_RemoveQueryPart(kuURI *uri, const char *name)
{
    if (uri == nullptr || name == nullptr)
        return 0;
    char *part = (char *)findPart(uri->query, name);
    if (part == nullptr)
        return 0;
    char *end = (char *)partEnd(part);
    dropQueryIndex(uri);
    if (part != uri->query)
        part--; // with the '&' before it
    else if (*end == '&')
        end++; // first part: with the '&' after it
    memmove(part, end, strlen(end) + 1);
    return 1;
}

void kuURI_AddQueryPart(kuURI *uri, const char *name, const char *value)
{
    if (uri == nullptr || name == nullptr)
        return;
    kuURI_RemoveQueryPart(uri, name);
    size_t queryLength = lengthOf(uri->query), nameLength = strlen(name);
    size_t valueLength = lengthOf(value);
    bool amp = queryLength != 0;
    char *query = (char *)kuMalloc(queryLength + amp + nameLength + (value != nullptr) +
                                   valueLength + 1);
    char *out = append(query, uri->query != nullptr ? uri->query : "", queryLength);
    out = append(out, "&", amp);
    out = append(out, name, nameLength);
    if (value != nullptr) {
        *out++ = '=';
        out = append(out, value, valueLength);
    }
    *out = '\0';
    adoptQuery(uri, query);
}

namespace {

// A query part as views into its query.
struct Part {
    const char *name;
    size_t nameLength;
    const char *value; // null without '='
    size_t valueLength;
    size_t order; // position in the sequence being replayed
    size_t group; // index of its name among the distinct names
    bool live;
};

// Splits a non-empty query into parts stored from parts[first] on, with
// their order numbers.
void splitQuery(const char *query, Part *parts, size_t first)
{
    for (const char *p = query;; p++) {
        const char *end = partEnd(p);
        const char *equals = (const char *)memchr(p, '=', (size_t)(end - p));
        Part &part = parts[first];
        part.name = p;
        part.nameLength = (size_t)((equals != nullptr ? equals : end) - p);
        part.value = equals != nullptr ? equals + 1 : nullptr;
        part.valueLength = equals != nullptr ? (size_t)(end - equals - 1) : 0;
        part.order = first++;
        part.live = false;
        if (*end == '\0')
            return;
        p = end;
    }
}

// Byte order of the names (as strcmp), then the order in the sequence.
int compareParts(const Part *a, const Part *b)
{
    size_t n = a->nameLength < b->nameLength ? a->nameLength : b->nameLength;
    int c = memcmp(a->name, b->name, n);
    if (c == 0)
        c = (a->nameLength > b->nameLength) - (a->nameLength < b->nameLength);
    if (c == 0)
        c = (a->order > b->order) - (a->order < b->order);
    return c;
}

int compareSlots(const void *a, const void *b)
{
    return compareParts(*(Part *const *)a, *(Part *const *)b);
}

// The part that alone renders as an empty query.
bool isBlank(const Part *part)
{
    return part->nameLength == 0 && part->value == nullptr;
}

char *render(const Part *parts, size_t total)
{
    size_t size = 1;
    for (size_t i = 0; i < total; i++)
        if (parts[i].live)
            size += 1 + parts[i].nameLength + (parts[i].value != nullptr) + parts[i].valueLength;
    char *query = (char *)kuMalloc(size);
    char *out = query;
    bool first = true;
    for (size_t i = 0; i < total; i++) {
        if (!parts[i].live)
            continue;
        if (!first)
            *out++ = '&';
        first = false;
        out = append(out, parts[i].name, parts[i].nameLength);
        if (parts[i].value != nullptr) {
            *out++ = '=';
            out = append(out, parts[i].value, parts[i].valueLength);
        }
    }
    *out = '\0';
    return query;
}

/*
 * The query that adding parts[initial..total) one by one with
 * kuURI_AddQueryPart gives, starting from a query made of
 * parts[0..initial), without rescanning the query for every part.
 *
 * Each addition removes the first live part of its name and appends itself,
 * so the live parts of one name are always a run of that name's parts in
 * sequence order, and removals take the run's front. The one effect across
 * names: a query that reads "" (only a blank part left) loses that part when
 * the next one is appended, because no '&' is written after an empty query.
 */
char *replayAdditions(Part *parts, size_t initial, size_t total)
{
    // arrays get a spare byte so that an empty one is still a block
    Part **byName = ku::newArray<Part *>(total, 1);
    size_t *front = ku::newArray<size_t>(total, 1);
    for (size_t i = 0; i < total; i++)
        byName[i] = &parts[i];
    qsort(byName, total, sizeof *byName, compareSlots);
    size_t groups = 0;
    for (size_t i = 0; i < total; i++) {
        if (i == 0 || byName[i]->nameLength != byName[i - 1]->nameLength ||
            memcmp(byName[i]->name, byName[i - 1]->name, byName[i]->nameLength) != 0)
            front[groups++] = i;
        byName[i]->group = groups - 1;
    }

    size_t liveCount = 0, blankCount = 0;
    auto kill = [&](size_t group) {
        Part *part = byName[front[group]++];
        part->live = false;
        liveCount--;
        blankCount -= isBlank(part);
    };
    for (size_t i = 0; i < initial; i++) {
        parts[i].live = true;
        liveCount++;
        blankCount += isBlank(&parts[i]);
    }
    for (size_t i = initial; i < total; i++) {
        Part *part = &parts[i];
        if (byName[front[part->group]]->order < i)
            kill(part->group);
        if (liveCount == 1 && blankCount == 1)
            kill(0); // blank parts have the smallest name
        part->live = true;
        liveCount++;
        blankCount += isBlank(part);
    }
    kuFree(front);
    kuFree(byName);
    return render(parts, total);
}

} // namespace

void kuURI_S_SortQueryPart(kuURI *uri)
{
    if (uri == nullptr || isEmpty(uri->query))
        return;
    size_t count = countParts(uri->query);
    Part *parts = ku::newArray<Part>(count, 1);
    splitQuery(uri->query, parts, 0);
    kuArray *array = kuArray_New();
    for (size_t i = 0; i < count; i++)
        kuArray_Append(array, &parts[i]);
    kuArray_SetSortFunc(array, compareSlots, 0);
    // Added back in sorted order: the sequence to replay.
    Part *sorted = ku::newArray<Part>(count, 1);
    for (size_t i = 0; i < count; i++) {
        sorted[i] = *(Part *)kuArray_At(array, (uint32_t)i);
        sorted[i].order = i;
    }
    kuArray_Delete(array);
    adoptQuery(uri, replayAdditions(sorted, 0, count));
    kuFree(sorted);
    kuFree(parts);
}

void kuURI_S_CopyQueryPart(kuURI *target, const kuURI *source)
{
    if (target == nullptr || source == nullptr || isEmpty(source->query))
        return;
    size_t initial = isEmpty(target->query) ? 0 : countParts(target->query);
    size_t total = initial + countParts(source->query);
    Part *parts = ku::newArray<Part>(total, 1);
    if (initial != 0)
        splitQuery(target->query, parts, 0);
    splitQuery(source->query, parts, initial);
    char *query = replayAdditions(parts, initial, total);
    kuFree(parts);
    adoptQuery(target, query);
}

// ------------------------------------------------- RFC 3986 resolution
//
// Kept apart from the module's own rules: text in, text out, nothing
// escaped, unescaped or guarded.

namespace {

struct Span {
    const char *text = nullptr; // null: the component is absent
    size_t length = 0;
};

struct Reference {
    Span scheme, authority, path, query, fragment;
};

bool isSchemeChar(char c, bool first)
{
    return ku::isAlpha(c) || (!first && (ku::isDigit(c) || c == '+' || c == '-' || c == '.'));
}

// The five components, split as the RFC's appendix B does, with the scheme
// held to its grammar (a first segment like "1a:b" is a path).
Reference splitReference(const char *text)
{
    Reference r;
    const char *at = text;
    size_t n = 0;
    while (at[n] != '\0' && isSchemeChar(at[n], n == 0))
        n++;
    if (n > 0 && at[n] == ':') {
        r.scheme = {at, n};
        at += n + 1;
    }
    if (at[0] == '/' && at[1] == '/') {
        at += 2;
        r.authority = {at, strcspn(at, "/?#")};
        at += r.authority.length;
    }
    r.path = {at, strcspn(at, "?#")};
    at += r.path.length;
    if (*at == '?') {
        r.query = {at + 1, strcspn(at + 1, "#")};
        at += 1 + r.query.length;
    }
    if (*at == '#')
        r.fragment = {at + 1, strlen(at + 1)};
    return r;
}

// remove_dot_segments over path (length bytes), written into out, which
// holds at least length + 1 bytes; the input is consumed in a copy.
void removeDotSegments(char *input, size_t length, char *out)
{
    size_t in = 0, used = 0;
    auto startsWith = [&](const char *prefix) {
        size_t n = strlen(prefix);
        return length - in >= n && memcmp(input + in, prefix, n) == 0;
    };
    auto rest = [&](const char *whole) {
        return length - in == strlen(whole) && memcmp(input + in, whole, length - in) == 0;
    };
    while (in < length) {
        if (startsWith("../")) {
            in += 3;
        } else if (startsWith("./")) {
            in += 2;
        } else if (startsWith("/./")) {
            in += 2;
        } else if (rest("/.")) {
            input[++in] = '/';
        } else if (startsWith("/../") || rest("/..")) {
            in += startsWith("/../") ? 3 : 2;
            input[in] = '/';
            while (used > 0 && out[used - 1] != '/')
                used--;
            if (used > 0)
                used--;
        } else if (rest(".") || rest("..")) {
            in = length;
        } else {
            size_t end = in + 1;
            while (end < length && input[end] != '/')
                end++;
            memcpy(out + used, input + in, end - in);
            used += end - in;
            in = end;
        }
    }
    out[used] = '\0';
}

// path (merged from up to two spans) with its dot segments removed; null
// when memory runs out.
char *resolvedPath(Span head, Span tail)
{
    size_t length = head.length + tail.length;
    char *input = (char *)kuMalloc(length + 1);
    char *out = (char *)kuMalloc(length + 1);
    if (input != nullptr && out != nullptr) {
        if (head.length != 0)
            memcpy(input, head.text, head.length);
        if (tail.length != 0)
            memcpy(input + head.length, tail.text, tail.length);
        removeDotSegments(input, length, out);
    } else {
        kuFree(out);
        out = nullptr;
    }
    kuFree(input);
    return out;
}

} // namespace

char *kuURI_ResolveRFC3986(const char *base, const char *reference)
{
    if (base == nullptr || reference == nullptr)
        return nullptr;
    Reference b = splitReference(base), r = splitReference(reference), t;
    if (b.scheme.text == nullptr)
        return nullptr;
    char *path = nullptr;
    static const char slash[] = "/";
    if (r.scheme.text != nullptr) {
        t = r;
        path = resolvedPath(r.path, Span());
    } else {
        t.scheme = b.scheme;
        t.query = r.query;
        if (r.authority.text != nullptr) {
            t.authority = r.authority;
            path = resolvedPath(r.path, Span());
        } else {
            t.authority = b.authority;
            if (r.path.length == 0) {
                path = kuStrndup(b.path.text, b.path.length);
                if (r.query.text == nullptr)
                    t.query = b.query;
            } else if (r.path.text[0] == '/') {
                path = resolvedPath(r.path, Span());
            } else if (b.authority.text != nullptr && b.path.length == 0) {
                path = resolvedPath(Span{slash, 1}, r.path);
            } else {
                size_t keep = b.path.length;
                while (keep > 0 && b.path.text[keep - 1] != '/')
                    keep--;
                path = resolvedPath(Span{b.path.text, keep}, r.path);
            }
        }
    }
    t.fragment = r.fragment;
    if (path == nullptr)
        return nullptr;
    size_t pathLength = strlen(path);
    size_t size = t.scheme.length + 1 + (t.authority.text ? 2 + t.authority.length : 0) +
                  pathLength + (t.query.text ? 1 + t.query.length : 0) +
                  (t.fragment.text ? 1 + t.fragment.length : 0) + 1;
    char *text = (char *)kuMalloc(size);
    if (text != nullptr) {
        size_t at = 0;
        auto put = [&](const char *part, size_t length) {
            if (length != 0)
                memcpy(text + at, part, length);
            at += length;
        };
        put(t.scheme.text, t.scheme.length);
        put(":", 1);
        if (t.authority.text != nullptr) {
            put("//", 2);
            put(t.authority.text, t.authority.length);
        }
        put(path, pathLength);
        if (t.query.text != nullptr) {
            put("?", 1);
            put(t.query.text, t.query.length);
        }
        if (t.fragment.text != nullptr) {
            put("#", 1);
            put(t.fragment.text, t.fragment.length);
        }
        text[at] = '\0';
    }
    kuFree(path);
    return text;
}
