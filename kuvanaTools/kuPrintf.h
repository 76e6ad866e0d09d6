/*
 * The library's formatted output: a narrow family (UTF-8 format and output,
 * char) and a wide family (32-bit wchar_t, one code point per element), each
 * with a fixed-buffer and an allocating form. Sizes and lengths count
 * characters of the family (bytes or wchar_t elements), without the
 * terminator.
 *
 * Directives: %[N$][flags][width][.precision][.base][length]conversion, where
 * the items between the position and the conversion may come in any order.
 *   N$        argument N (1-based); implicit and explicit positions may be
 *             mixed, every position up to the highest must be used exactly
 *             once; at most 64 positions (stars included).
 *   flags     '-' left-justify, '+', ' ', '#' alternate form, '0' zero-pad
 *             (ignored after '-').
 *   width     a number, '*' or '*N$' (int; negative means '-').
 *   .prec     a number, '*' or '*N$' (int; negative means none); '.' alone
 *             is 0; ".." gives no precision and starts the base.
 *   .base     2 to 36 for i u f F e E g G ("%..2i", "%#..2u" = "0b101");
 *             '*' or '*N$' too. Other bases from an argument, and 0 or 1,
 *             print in base 10. d always prints in base 10.
 *   length    h hh l ll L j z t. Integers are read as int (none, h, hh),
 *             long (l), size_t (z), ptrdiff_t (t), 64 bits (ll, j); h and hh
 *             do not narrow the value ("%hhd" of 300 is "300"), they size the
 *             %n store. Unsigned conversions print the value modulo the size
 *             read ("%u" of -1 is "4294967295").
 * Conversions: d i u o x X (integers), c (a code point, UTF-8 in the narrow
 * family), s (UTF-8 text; ls: wide text), p ("0x" and 2 * sizeof(void *)
 * hex digits), n (stores the characters stored so far: signed char for hh,
 * short for h, 64 bits for ll and j, long for l, size_t for z, ptrdiff_t for
 * t, else int), f F e E g G a A (doubles, also with L; in any base; halves
 * round up: "%.0f" of 2.5 is "3"; base 16 prints "0x...p+N"; the j modifier
 * drops trailing zeros and h rounds with single precision tolerance).
 * Null string and pointer arguments print "(nil)" without padding.
 *
 * Errors, found before anything is written: -(256 * p + k) with
 *   k = 2  syntax error (unknown conversion or item, "hhh", "lll", a third
 *          '.', a literal base above 36, a '%' at the end); p is the offset
 *          just past the character where parsing stopped (for a final '%'
 *          that is the terminator, so p = length + 1; for the base, just past
 *          the '.' that introduced it);
 *   k = 3  a position of 64 or more, or more than 64 records; p is the offset
 *          just past the '%' (implicit position), past the '*' (implicit
 *          star) or past the '$' (explicit position);
 *   k = 4  position p (from 0) used more than once;
 *   k = 5  position p (from 0) unused below the highest one.
 * A null format is a syntax error at offset 0 (-2). An invalid UTF-8 string
 * argument (%s) stops the output with -2. Output longer than INT_MAX
 * characters gives -1.
 */
#ifndef KUVANATOOLS_KUPRINTF_H
#define KUVANATOOLS_KUPRINTF_H

#include <kuvanaTools/kuDefs.h>
#include <stdarg.h>
#include <wchar.h>

KU_BEGIN_DECLS

/* Formats into buffer: at most size - 1 characters and a terminator, which is
 * also written after an error (an empty string for a format error). With
 * size 0, or a null buffer, nothing is written. Returns the length of the
 * complete output, whether or not it fitted, or a negative error code. */
KU_API int ku_snprintf(char *buffer, size_t size, const char *format, ...);

/* ku_snprintf with a va_list. */
KU_API int ku_vsnprintf(char *buffer, size_t size, const char *format, va_list args);

/* Formats into a new string (release with kuFree), or null on an error. */
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
