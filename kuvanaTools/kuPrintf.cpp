// Placeholder: narrow forms on the C library until the engine lands.
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuMemory.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int ku_vsnprintf(char *buffer, size_t size, const char *format, va_list args)
{
    return vsnprintf(buffer, size, format, args);
}

int ku_snprintf(char *buffer, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = ku_vsnprintf(buffer, size, format, args);
    va_end(args);
    return n;
}

char *ku_lvmnprintf(size_t *length, const char *format, va_list args)
{
    if (length != nullptr)
        *length = 0;
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0)
        return nullptr;
    char *text = (char *)kuMalloc((size_t)n + 1);
    vsnprintf(text, (size_t)n + 1, format, args);
    if (length != nullptr)
        *length = (size_t)n;
    return text;
}

char *ku_vmnprintf(const char *format, va_list args)
{
    return ku_lvmnprintf(nullptr, format, args);
}

char *ku_mnprintf(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    char *text = ku_lvmnprintf(nullptr, format, args);
    va_end(args);
    return text;
}

char *ku_lmnprintf(size_t *length, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    char *text = ku_lvmnprintf(length, format, args);
    va_end(args);
    return text;
}

long _ku_to_long(const char *text, char **end, int base)
{
    return strtol(text, end, base);
}

long _ku_w_to_long(const wchar_t *text, wchar_t **end, int base)
{
    return wcstol(text, end, base);
}

char *_ku_error(int error)
{
    return strerror(error);
}

size_t _ku_length(const char *text)
{
    return strlen(text);
}
