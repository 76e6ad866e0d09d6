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

/* Formats into buffer: at most size - 1 characters and a terminator, which is
 * also written after an error (an empty string for a format error, what was
 * written before an invalid string argument). With size 0, or a null buffer,
 * nothing is written and %n receives the full count. Returns the length of
 * the complete output, whether or not it fitted, or a negative error code. */
KU_API int ku_snprintf(char *buffer, size_t size, const char *format, ...);

/* ku_snprintf with a va_list. */
KU_API int ku_vsnprintf(char *buffer, size_t size, const char *format, va_list args);

/* Formats into a new string of exactly the output's length plus terminator
 * (release with kuFree), or null on an error. The arguments are read once;
 * the output is measured, then written. */
KU_API char *ku_mnprintf(const char *format, ...);

/* ku_mnprintf with a va_list. */
KU_API char *ku_vmnprintf(const char *format, va_list args);

/* ku_mnprintf that also stores the string's length through length (0 on an
 * error; length may be null). */
KU_API char *ku_lmnprintf(size_t *length, const char *format, ...);

/* ku_lmnprintf with a va_list. */
KU_API char *ku_lvmnprintf(size_t *length, const char *format, va_list args);

/* ku_snprintf for wide strings: size and the result count wchar_t elements;
 * %s reads UTF-8 and %ls wide text, and width and precision of both count
 * characters. */
KU_API int ku_swprintf(wchar_t *buffer, size_t size, const wchar_t *format, ...);

/* ku_swprintf with a va_list. */
KU_API int ku_vswprintf(wchar_t *buffer, size_t size, const wchar_t *format, va_list args);

/* ku_mnprintf for wide strings (release with kuFree). */
KU_API wchar_t *ku_mwprintf(const wchar_t *format, ...);

/* ku_mwprintf with a va_list. */
KU_API wchar_t *ku_vmwprintf(const wchar_t *format, va_list args);

/* ku_lmnprintf for wide strings. */
KU_API wchar_t *ku_lmwprintf(size_t *length, const wchar_t *format, ...);

/* ku_lmwprintf with a va_list. */
KU_API wchar_t *ku_lvmwprintf(size_t *length, const wchar_t *format, va_list args);

/* strtol. */
KU_API long _ku_to_long(const char *text, char **end, int base);

/* wcstol. */
KU_API long _ku_w_to_long(const wchar_t *text, wchar_t **end, int base);

/* strerror. */
KU_API char *_ku_error(int error);

/* strlen. */
KU_API size_t _ku_length(const char *text);

KU_END_DECLS

#endif /* KUVANATOOLS_KUPRINTF_H */
