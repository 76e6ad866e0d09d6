// Expansion of delimited references through resolvers and the environment.
#include <kuvanaTools/kuStringSubstitution.h>
#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuMemory.h>
#include <platform/kuOSSystem.h>

#include <errno.h>
#include <string.h>
#include <unistd.h>

namespace {

// Sizes here add lengths of strings already in memory; a sum this large can
// only come from a process that is out of address space.
size_t checkedGrowth(size_t a, size_t b)
{
    if (a > SIZE_MAX / 4 || b > SIZE_MAX / 4)
        kuFatalError("memory:malloc", (unsigned long)SIZE_MAX);
    return 2 * (a + b);
}

// The finished part of the result.
struct Output {
    char *data = nullptr;
    size_t length = 0;
    size_t capacity = 0;

    void append(const char *bytes, size_t n)
    {
        if (n == 0)
            return;
        if (capacity - length <= n) {
            capacity = checkedGrowth(capacity, n);
            data = (char *)kuRealloc(data, capacity);
        }
        memcpy(data + length, bytes, n);
        length += n;
    }

    char *finish()
    {
        append("", 1);
        return data;
    }
};

// The text still to be scanned: buf[pos, end). Values to re-expand are
// placed in front of it; the room before pos (text already scanned) takes
// them without moving the rest whenever it is large enough. The bytes
// buf[pos, valueEnd) came from inserted values.
struct Pending {
    char *buf;
    size_t pos = 0;
    size_t end;
    size_t valueEnd = 0;

    explicit Pending(const char *text) : buf(kuStrdup(text)), end(strlen(text)) {}
    ~Pending() { kuFree(buf); }
    Pending(const Pending &) = delete;
    Pending &operator=(const Pending &) = delete;

    void prepend(const char *value, size_t n)
    {
        size_t valueRest = valueEnd > pos ? valueEnd - pos : 0;
        if (n > pos) {
            size_t rest = end - pos;
            size_t room = checkedGrowth(n, rest) - rest; // at least n before the text
            char *moved = (char *)kuMalloc(room + rest);
            memcpy(moved + room, buf + pos, rest);
            kuFree(buf);
            buf = moved;
            pos = room;
            end = room + rest;
        }
        pos -= n;
        memcpy(buf + pos, value, n);
        valueEnd = pos + n + valueRest;
    }
};

// Offset of needle in hay[0, n), or n when absent.
size_t find(const char *hay, size_t n, const char *needle, size_t m)
{
    if (m > n)
        return n;
    const char *p = hay;
    const char *last = hay + (n - m);
    while (p <= last) {
        p = (const char *)memchr(p, needle[0], (size_t)(last - p) + 1);
        if (p == nullptr)
            return n;
        if (memcmp(p, needle, m) == 0)
            return (size_t)(p - hay);
        p++;
    }
    return n;
}

char *resolve(const char *name, size_t length, kuStringSubstitution_Resolver resolver,
              void *context)
{
    char *key = kuStrndup(name, length);
    char *value = resolver != nullptr ? resolver(key, context) : nullptr;
    if (value == nullptr && strncmp(key, "env.", 4) == 0)
        value = kuPlatform_getenv(key + 4);
    kuFree(key);
    return value;
}

struct Delimiters {
    const char *open;
    size_t openLength;
    const char *close;
    size_t closeLength;
    bool emptyIsDelimiter; // "%%" stands for "%"
};

char *substitute(const char *text, const Delimiters &d, bool reexpand,
                 kuStringSubstitution_Resolver resolver, void *context)
{
    Pending in(text);
    Output out;
    int reexpansions = 0;
    for (;;) {
        const char *scan = in.buf + in.pos;
        size_t left = in.end - in.pos;
        size_t open = find(scan, left, d.open, d.openLength);
        if (open == left)
            break;
        size_t nameStart = open + d.openLength;
        size_t nameLength = find(scan + nameStart, left - nameStart, d.close, d.closeLength);
        if (nameLength == left - nameStart)
            break;
        bool insideValue = in.pos + open < in.valueEnd;
        char *value;
        if (nameLength == 0 && d.emptyIsDelimiter)
            value = kuStrndup(d.open, d.openLength);
        else
            value = resolve(scan + nameStart, nameLength, resolver, context);

        out.append(scan, open);
        in.pos += nameStart + nameLength + d.closeLength;
        if (value == nullptr)
            continue;
        if (reexpand && insideValue && reexpansions++ == KU_SUBSTITUTION_MAX_REEXPANSIONS)
            reexpand = false;
        if (reexpand)
            in.prepend(value, strlen(value));
        else
            out.append(value, strlen(value));
        kuFree(value);
    }
    out.append(in.buf + in.pos, in.end - in.pos);
    return out.finish();
}

} // namespace

char *kuStringSubstitution_Substitute(const char *text, char delimiter, int reexpand,
                                      kuStringSubstitution_Resolver resolver, void *context)
{
    if (text == nullptr)
        return nullptr;
    if (delimiter == '\0')
        return kuStrdup(text);
    Delimiters d = {&delimiter, 1, &delimiter, 1, true};
    return substitute(text, d, reexpand != 0, resolver, context);
}

char *kuStringSubstitution_SubstituteEx(const char *text, const char *open, const char *close,
                                        int reexpand, kuStringSubstitution_Resolver resolver,
                                        void *context)
{
    if (text == nullptr)
        return nullptr;
    if (open == nullptr || close == nullptr || *open == '\0' || *close == '\0')
        return kuStrdup(text);
    Delimiters d = {open, strlen(open), close, strlen(close), false};
    return substitute(text, d, reexpand != 0, resolver, context);
}

char *kuStringSubstitution_Replace_HostName(const char *name, void *context)
{
    if (name == nullptr || strcmp(name, "hostname") != 0)
        return nullptr;
    char host[64];
    memset(host, 0, sizeof host);
    // A longer name is cut to 63 bytes (glibc reports ENAMETOOLONG for it).
    if (gethostname(host, sizeof host - 1) != 0 && errno != ENAMETOOLONG)
        return nullptr;
    host[sizeof host - 1] = '\0';
    int dots = 0;
    bool dotted = true;
    for (const char *p = host; *p != '\0'; p++) {
        if (*p == '.')
            dots++;
        else if (*p < '0' || *p > '9')
            dotted = false;
    }
    if (!dotted || dots != 3) {
        char *dot = strchr(host, '.');
        if (dot != nullptr)
            *dot = '\0';
    }
    return kuStrdup(host);
}
