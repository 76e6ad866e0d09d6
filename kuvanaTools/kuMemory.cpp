// Checked allocation and string duplication.
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuFatalError.h>

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

void *kuMalloc(size_t size)
{
    void *block = malloc(size);
    if (block == nullptr)
        kuFatalError("memory:malloc", (unsigned long)size);
    return block;
}

void *kuMallocZeroed(size_t size)
{
    void *block = kuMalloc(size);
    memset(block, 0, size);
    return block;
}

void *kuRealloc(void *block, size_t size)
{
    if (block == nullptr && size == 0)
        return nullptr;
    void *moved = realloc(block, size);
    if (moved == nullptr && size != 0)
        kuFatalError("memory:realloc", (unsigned long)size);
    return moved;
}

void kuFree(void *block)
{
    free(block);
}

char *kuStrdup(const char *text)
{
    if (text == nullptr)
        return nullptr;
    char *copy = strdup(text);
    if (copy == nullptr)
        kuFatalError("memory:strdup", (unsigned long)strlen(text));
    return copy;
}

char *kuStrndup(const char *text, size_t n)
{
    if (text == nullptr)
        return nullptr;
    char *copy = (char *)kuMalloc(n + 1);
    if (n > 0)
        memcpy(copy, text, n);
    copy[n] = '\0';
    return copy;
}

char *kuStrdupToUpper(const char *text)
{
    char *copy = kuStrdup(text);
    if (copy != nullptr)
        for (char *p = copy; *p != '\0'; p++)
            *p = (char)toupper((signed char)*p);
    return copy;
}

wchar_t *kuWcsdup(const wchar_t *text)
{
    if (text == nullptr)
        return nullptr;
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    wchar_t *copy = (wchar_t *)kuMalloc(bytes);
    memcpy(copy, text, bytes);
    return copy;
}

wchar_t *kuWcsndup(const wchar_t *text, size_t n)
{
    if (text == nullptr)
        return nullptr;
    wchar_t *copy = (wchar_t *)kuMalloc((n + 1) * sizeof(wchar_t));
    if (n > 0)
        memcpy(copy, text, n * sizeof(wchar_t));
    copy[n] = L'\0';
    return copy;
}

char *kuStrReplace(char **slot, const char *text)
{
    free(*slot);
    *slot = kuStrdup(text);
    return *slot;
}

void kuStrnReplace(char **slot, const char *text, size_t n)
{
    free(*slot);
    *slot = text != nullptr ? kuStrndup(text, n) : nullptr;
}

void kuStrcatReplace(char **slot, const char *text)
{
    if (*slot == nullptr) {
        *slot = kuStrdup(text);
        return;
    }
    size_t oldLength = strlen(*slot);
    size_t addLength = text != nullptr ? strlen(text) : 0;
    char *joined = (char *)kuMalloc(oldLength + addLength + 1);
    memcpy(joined, *slot, oldLength);
    if (addLength > 0)
        memcpy(joined + oldLength, text, addLength);
    joined[oldLength + addLength] = '\0';
    free(*slot);
    *slot = joined;
}
