/*
 * The library's formatted output: a narrow (UTF-8) and a wide (32-bit
 * wchar_t) family with positional arguments and any number base.
 */
#ifndef KUVANATOOLS_KUPRINTF_H
#define KUVANATOOLS_KUPRINTF_H

#include <kuvanaTools/kuDefs.h>
#include <stdarg.h>
#include <wchar.h>

KU_BEGIN_DECLS

/* Formats into buffer: at most size - 1 characters and a terminator (nothing
 * at all when size is 0). Returns the length of the complete output, or a
 * negative error code. */
KU_API int ku_snprintf(char *buffer, size_t size, const char *format, ...);
KU_API int ku_vsnprintf(char *buffer, size_t size, const char *format, va_list args);

/* Formats into a new string (release with kuFree), or null on an error. */
KU_API char *ku_mnprintf(const char *format, ...);
KU_API char *ku_vmnprintf(const char *format, va_list args);
KU_API char *ku_lmnprintf(size_t *length, const char *format, ...);
KU_API char *ku_lvmnprintf(size_t *length, const char *format, va_list args);

/* The wide family. */
KU_API int ku_swprintf(wchar_t *buffer, size_t size, const wchar_t *format, ...);
KU_API int ku_vswprintf(wchar_t *buffer, size_t size, const wchar_t *format, va_list args);
KU_API wchar_t *ku_mwprintf(const wchar_t *format, ...);
KU_API wchar_t *ku_vmwprintf(const wchar_t *format, va_list args);
KU_API wchar_t *ku_lmwprintf(size_t *length, const wchar_t *format, ...);
KU_API wchar_t *ku_lvmwprintf(size_t *length, const wchar_t *format, va_list args);

/* Pass-throughs to the C library: strtol, wcstol, strerror, strlen. */
KU_API long _ku_to_long(const char *text, char **end, int base);
KU_API long _ku_w_to_long(const wchar_t *text, wchar_t **end, int base);
KU_API char *_ku_error(int error);
KU_API size_t _ku_length(const char *text);

KU_END_DECLS

#endif /* KUVANATOOLS_KUPRINTF_H */
