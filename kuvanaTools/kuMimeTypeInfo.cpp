// MIME types with ordered parameters: tolerant parsing, composition and
// one-sided comparison.
#include <kuvanaTools/kuMimeTypeInfo.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuAlloc.h>
#include <kuvanaTools/private/kuCharClass.h>

#include <stdlib.h>
#include <string.h>

struct kuMimeTypeInfo {
    uint32_t count;
    char **names;  // count owned names, null when count is 0
    char **values; // parallel to names; null entries for parameters without value
    char *mimeType;
};

namespace {

int compareFolded(const char *a, const char *b)
{
    for (;; a++, b++) {
        int x = ku::toLowerAscii((unsigned char)*a);
        int y = ku::toLowerAscii((unsigned char)*b);
        if (x != y || x == 0)
            return x - y;
    }
}

// Stores a parameter whose name and value are already owned copies; the
// arrays must have room for it.
void store(kuMimeTypeInfo *info, char *name, char *value)
{
    info->names[info->count] = name;
    info->values[info->count] = value;
    info->count++;
}

// One "name=value" segment of the parameter text, [start, end) with its first
// '=' at equals (null when there is none).
void parseSegment(kuMimeTypeInfo *info, const char *start, const char *equals, const char *end)
{
    if (equals == nullptr || equals == start || info->count == UINT32_MAX)
        return;
    const char *value = equals + 1;
    size_t length = (size_t)(end - value);
    if (length >= 2 && value[0] == '"' && value[length - 1] == '"') {
        value++;
        length -= 2;
    }
    if (length == 0)
        return;
    store(info, kuStrndup(start, (size_t)(equals - start)), kuStrndup(value, length));
}

void parseParameters(kuMimeTypeInfo *info, const char *text)
{
    // Room for every segment and the channel count that audio/L16 may add.
    size_t room = 2;
    for (const char *p = text; (p = strchr(p, ';')) != nullptr; p++)
        room++;
    info->names = ku::newArray<char *>(room);
    info->values = ku::newArray<char *>(room);

    const char *p = text;
    for (;;) {
        const char *start = p;
        const char *equals = nullptr;
        bool quoted = false;
        for (; *p != '\0' && (quoted || *p != ';'); p++) {
            if (equals == nullptr) {
                if (*p == '=')
                    equals = p;
            } else if (*p == '"') {
                quoted = !quoted;
            }
        }
        parseSegment(info, start, equals, p);
        if (*p == '\0')
            break;
        p++;
    }

    if (compareFolded(info->mimeType, "audio/L16") == 0 &&
        !kuMimeTypeInfo_HasPart(info, "channels"))
        store(info, kuStrdup("channels"), kuStrdup("1"));
    if (info->count == 0) {
        kuFree(info->names);
        kuFree(info->values);
        info->names = nullptr;
        info->values = nullptr;
    }
}

struct Parameter {
    const char *name;
    const char *value;
};

// Orders by name, then parameters without value first, then by value; equal
// exactly when the comparison counts them as a match.
int compareParameters(const void *a, const void *b)
{
    const Parameter *x = (const Parameter *)a;
    const Parameter *y = (const Parameter *)b;
    int order = compareFolded(x->name, y->name);
    if (order != 0)
        return order;
    if (x->value == nullptr || y->value == nullptr)
        return (x->value != nullptr) - (y->value != nullptr);
    return compareFolded(x->value, y->value);
}

// Whether every parameter of wanted has a match among those of offered.
bool carriesAll(const kuMimeTypeInfo *wanted, const kuMimeTypeInfo *offered)
{
    if (wanted->count == 0)
        return true;
    if (offered->count == 0)
        return false;
    uint32_t n = offered->count;
    Parameter *sorted = ku::newArray<Parameter>(n);
    for (uint32_t i = 0; i < n; i++)
        sorted[i] = {offered->names[i], offered->values[i]};
    // Both texts may come from other devices: keep many parameters from
    // turning the test quadratic.
    if (n > 1)
        qsort(sorted, n, sizeof(Parameter), compareParameters);
    bool all = true;
    for (uint32_t i = 0; i < wanted->count && all; i++) {
        Parameter key = {wanted->names[i], wanted->values[i]};
        all = bsearch(&key, sorted, n, sizeof(Parameter), compareParameters) != nullptr;
    }
    kuFree(sorted);
    return all;
}

} // namespace

kuMimeTypeInfo *kuMimeTypeInfo_New(const char *text)
{
    kuMimeTypeInfo *info = (kuMimeTypeInfo *)kuMallocZeroed(sizeof(kuMimeTypeInfo));
    if (text == nullptr) {
        info->mimeType = kuStrdup("");
        return info;
    }
    const char *semicolon = strchr(text, ';');
    if (semicolon == nullptr) {
        info->mimeType = kuStrdup(text);
        return info;
    }
    info->mimeType = kuStrndup(text, (size_t)(semicolon - text));
    parseParameters(info, semicolon + 1);
    return info;
}

void kuMimeTypeInfo_Delete(kuMimeTypeInfo *info)
{
    if (info == nullptr)
        return;
    for (uint32_t i = 0; i < info->count; i++) {
        kuFree(info->names[i]);
        kuFree(info->values[i]);
    }
    kuFree(info->names);
    kuFree(info->values);
    kuFree(info->mimeType);
    kuFree(info);
}

const char *kuMimeTypeInfo_GetMimeType(const kuMimeTypeInfo *info)
{
    return info != nullptr ? info->mimeType : nullptr;
}

uint32_t kuMimeTypeInfo_GetPartCount(const kuMimeTypeInfo *info)
{
    return info != nullptr ? info->count : 0;
}

const char *kuMimeTypeInfo_GetPart(const kuMimeTypeInfo *info, uint32_t index)
{
    return info != nullptr && index < info->count ? info->names[index] : nullptr;
}

const char *kuMimeTypeInfo_GetPartValue(const kuMimeTypeInfo *info, uint32_t index)
{
    return info != nullptr && index < info->count ? info->values[index] : nullptr;
}

int kuMimeTypeInfo_HasPart(const kuMimeTypeInfo *info, const char *name)
{
    if (info == nullptr || name == nullptr)
        return 0;
    for (uint32_t i = 0; i < info->count; i++)
        if (compareFolded(info->names[i], name) == 0)
            return 1;
    return 0;
}

char *kuMimeTypeInfo_GetPartValueByName(const kuMimeTypeInfo *info, const char *name)
{
    if (info == nullptr || name == nullptr || *name == '\0')
        return nullptr;
    for (uint32_t i = 0; i < info->count; i++)
        if (compareFolded(info->names[i], name) == 0)
            return kuStrdup(info->values[i]);
    return nullptr;
}

void kuMimeTypeInfo_AddPart(kuMimeTypeInfo *info, const char *name, const char *value)
{
    if (info == nullptr || name == nullptr || *name == '\0' || info->count == UINT32_MAX)
        return;
    size_t bytes = ku::arrayBytes((size_t)info->count + 1, sizeof(char *));
    info->names = (char **)kuRealloc(info->names, bytes);
    info->values = (char **)kuRealloc(info->values, bytes);
    store(info, kuStrdup(name), value != nullptr && *value != '\0' ? kuStrdup(value) : nullptr);
}

char *kuMimeTypeInfo_Get(const kuMimeTypeInfo *info)
{
    if (info == nullptr)
        return nullptr;
    size_t length = strlen(info->mimeType);
    for (uint32_t i = 0; i < info->count; i++) {
        length += 1 + strlen(info->names[i]);
        if (info->values[i] != nullptr)
            length += 1 + strlen(info->values[i]);
    }
    char *text = (char *)kuMalloc(length + 1);
    char *p = text;
    auto put = [&p](const char *s) {
        size_t n = strlen(s);
        memcpy(p, s, n);
        p += n;
    };
    put(info->mimeType);
    for (uint32_t i = 0; i < info->count; i++) {
        put(";");
        put(info->names[i]);
        if (info->values[i] != nullptr) {
            put("=");
            put(info->values[i]);
        }
    }
    *p = '\0';
    return text;
}

int kuMimeTypeInfo_SameAs(const kuMimeTypeInfo *info, const char *text)
{
    if (info == nullptr)
        return 0;
    kuMimeTypeInfo *other = kuMimeTypeInfo_New(text);
    bool same = compareFolded(info->mimeType, other->mimeType) == 0 && carriesAll(info, other);
    kuMimeTypeInfo_Delete(other);
    return same ? 1 : 0;
}

int kuMimeTypeInfo_S_Same(const char *a, const char *b)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(a);
    int same = kuMimeTypeInfo_SameAs(info, b);
    kuMimeTypeInfo_Delete(info);
    return same;
}
