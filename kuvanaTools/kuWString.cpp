// Growable wide strings with a header before the handle.
#include <kuvanaTools/kuWString.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuUnicode.h>

#include <string.h>

namespace {

struct Header {
    uint32_t capacity;
    uint32_t length;
};
static_assert(sizeof(Header) == 2 * sizeof(uint32_t), "two 32-bit words");
static_assert(sizeof(wchar_t) == 4, "32-bit wide characters");

inline Header *headerOf(kuWString s)
{
    return (Header *)s - 1;
}

inline size_t blockSize(size_t capacity)
{
    return (capacity + 3) * sizeof(wchar_t);
}

inline size_t textLength(const wchar_t *text)
{
    return text != nullptr ? wcslen(text) : 0;
}

kuWString newBlock(size_t capacity, size_t length)
{
    Header *h = (Header *)kuMalloc(blockSize(capacity));
    h->capacity = (uint32_t)capacity;
    h->length = (uint32_t)length;
    return (kuWString)(h + 1);
}

} // namespace

kuWString kuWString_New(const wchar_t *text)
{
    size_t n = textLength(text);
    kuWString s = newBlock(n, n);
    if (n > 0)
        memcpy(s, text, n * sizeof(wchar_t));
    s[n] = L'\0';
    return s;
}

kuWString kuWString_NewFromUTF8(const char *utf8)
{
    if (utf8 == nullptr)
        return nullptr;
    ptrdiff_t n = kuUnicode_UTF8ToWide(nullptr, utf8, (size_t)-1);
    if (n < 0)
        return nullptr;
    kuWString s = newBlock((size_t)n, (size_t)n);
    kuUnicode_UTF8ToWide(s, utf8, (size_t)n + 1);
    return s;
}

kuWString kuWString_Alloc(kuWString string, size_t capacity)
{
    if (string == nullptr) {
        kuWString s = newBlock(capacity, 0);
        s[0] = L'\0';
        return s;
    }
    Header *h = (Header *)kuRealloc(headerOf(string), blockSize(capacity));
    h->capacity = (uint32_t)capacity;
    kuWString s = (kuWString)(h + 1);
    if (h->length > capacity) {
        h->length = (uint32_t)capacity;
        s[capacity] = L'\0';
    }
    return s;
}

kuWString kuWString_Append(kuWString string, const wchar_t *text)
{
    size_t add = textLength(text);
    if (add == 0)
        return string;
    if (string == nullptr)
        return kuWString_New(text);
    size_t length = headerOf(string)->length;
    if (length + add > headerOf(string)->capacity)
        string = kuWString_Alloc(string, length + add);
    memcpy(string + length, text, (add + 1) * sizeof(wchar_t));
    headerOf(string)->length = (uint32_t)(length + add);
    return string;
}

kuWString kuWString_Prepend(kuWString string, const wchar_t *text)
{
    size_t add = textLength(text);
    if (add == 0)
        return string;
    size_t length = string != nullptr ? headerOf(string)->length : 0;
    kuWString s = newBlock(length + add, length + add);
    memcpy(s, text, add * sizeof(wchar_t));
    if (length > 0)
        memcpy(s + add, string, length * sizeof(wchar_t));
    s[length + add] = L'\0';
    kuWString_Free(string);
    return s;
}

wchar_t *kuWString_Truncate(kuWString string, size_t length)
{
    if (string == nullptr)
        return nullptr;
    Header *h = headerOf(string);
    if (length > h->capacity)
        length = h->capacity;
    h->length = (uint32_t)length;
    string[length] = L'\0';
    return string + length;
}

size_t kuWString_Length(kuWString string)
{
    return string != nullptr ? headerOf(string)->length : 0;
}

int kuWString_IsEmpty(kuWString string)
{
    return string == nullptr || headerOf(string)->capacity == 0;
}

int kuWString_Compare(const wchar_t *a, const wchar_t *b)
{
    return wcscmp(a, b);
}

int kuWString_CompareN(const wchar_t *a, const wchar_t *b, size_t n)
{
    return wcsncmp(a, b, n);
}

int kuWString_BeforeFirstIs(kuWString string, char ch, const wchar_t *text)
{
    if (string == nullptr)
        return 0;
    size_t length = headerOf(string)->length;
    size_t k = textLength(text);
    for (size_t i = 0; i < length; i++) {
        if ((signed char)(string[i] & 0xFF) != (signed char)ch)
            continue;
        if (i >= k && wmemcmp(string + i - k, text != nullptr ? text : L"", k) == 0)
            return 1;
    }
    return 0;
}

char *kuWString_GetASCII(kuWString string)
{
    size_t length = kuWString_Length(string);
    char *text = (char *)kuMalloc(length + 1);
    for (size_t i = 0; i < length; i++) {
        uint32_t c = (uint32_t)string[i];
        text[i] = c < 256 ? (char)c : '.';
    }
    text[length] = '\0';
    return text;
}

char *kuWString_GetUTF8(kuWString string)
{
    return kuWString_S_ToUTF8(string);
}

char *kuWString_S_ToUTF8(const wchar_t *text)
{
    if (text == nullptr)
        return nullptr;
    size_t n = kuUnicode_WideToUTF8(nullptr, text, (size_t)-1);
    char *utf8 = (char *)kuMalloc(n + 1);
    kuUnicode_WideToUTF8(utf8, text, n + 1);
    return utf8;
}

wchar_t *kuWString_S_FromUTF8(const char *utf8)
{
    if (utf8 == nullptr)
        return nullptr;
    ptrdiff_t n = kuUnicode_UTF8ToWide(nullptr, utf8, (size_t)-1);
    if (n < 0)
        return nullptr;
    wchar_t *wide = (wchar_t *)kuMalloc(((size_t)n + 1) * sizeof(wchar_t));
    kuUnicode_UTF8ToWide(wide, utf8, (size_t)n + 1);
    return wide;
}

void kuWString_Free(kuWString string)
{
    if (string != nullptr)
        kuFree(headerOf(string));
}
