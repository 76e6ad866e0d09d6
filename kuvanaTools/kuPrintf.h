/*
 * The library's formatted output: a narrow family (UTF-8 format and output,
 * char) and a wide family (32-bit wchar_t, one code point per element), each
 * with a fixed-buffer and an allocating form. Sizes and lengths count
 * characters of the family (bytes or wchar_t elements), without the
 * terminator. The whole format is checked, and every argument read, before
 * anything is written; no state is kept between calls.
 *
 * Directives: %[N$][items]conversion, where the items may come in any order.
 *   N$        argument N (1-based); implicit and explicit positions may be
 *             mixed (the running position counts directives without N$),
 *             every position up to the highest must be used exactly once; at
 *             most 64 positions and 64 records (stars included). In a
 *             directive with N$ a plain '*' takes the next running position;
 *             in one without, each '*' takes the value's position and moves
 *             the value on ("%*d": width, then value).
 *   flags     '-' left-justify (cancels '0'), '+', ' ', '#' alternate form,
 *             '0' zero-pad (ignored after '-').
 *   width     a number, '*' or '*N$' (int; negative means '-').
 *   .prec     a number, '*' or '*N$' (int; negative means none, so does a
 *             negative literal); '.' alone is 0; ".." gives no precision.
 *   .base     after the precision: 2 to 36 for i u f F e E g G ("%..2i" of 5
 *             is "101", "%#..2u" is "0b101"), '*' or '*N$'. Bases from an
 *             argument outside 2 to 36, and literal 0 or 1, print in base 10;
 *             d, o, x, X, p, a and A keep their own base.
 *   length    h hh l ll L j z t. Integers are read as int (none, h, hh, L),
 *             long (l), size_t (z, zero-extended), ptrdiff_t (t), 64 bits
 *             (ll, j); h and hh do not narrow the value ("%hhd" of 300 is
 *             "300"). Unsigned conversions print the value modulo the size
 *             read ("%u" of -1 is "4294967295"); the plus flag does not apply
 *             to them, the space flag does ("% u" of 5 is " 5").
 * Conversions:
 *   d i u o x X  integers; '#' prefixes "0" (base 8), "0x"/"0X" (16) or
 *             "0b"/"0B" (2) to non-zero values; "%#.5o" of 8 is "00010" but
 *             "%-#.5o" is "000010".
 *   c         a code point: UTF-8 (1 to 6 bytes, low 31 bits) in the narrow
 *             family, one element in the wide one; the width counts it as 1.
 *   s, ls     UTF-8 text, wide text. In the narrow family width and
 *             precision count bytes, and the precision never splits a
 *             character ("%.1s" of "é" is empty) and bounds the read, so the
 *             text need not be terminated; in the wide family both count
 *             characters. An invalid UTF-8 sequence stops the output: -2.
 *   p         "0x" and 2 * sizeof(void *) hex digits; its width and precision
 *             are not used; '-' turns the leading zeros into trailing spaces.
 *   n         stores the characters stored so far (in a fixed buffer this
 *             stops growing once it is full): signed char for hh, short for
 *             h, 64 bits for ll and j, size_t for z, ptrdiff_t for t, long
 *             for l, else int. A null pointer is skipped.
 *   f F e E g G a A  doubles (also with L), in any base with the digits of
 *             double arithmetic: halves round up on the double value ("%.0f"
 *             of 2.5 is "3"); base 16 (a, A, or ".16") prints "0x" digits,
 *             'p' and a power-of-two exponent in decimal ("%a" of 255.0 is
 *             "0xf.fp+4"); other bases print their exponent in that base
 *             (base 10 with at least two digits); "inf", "nan" (never signed)
 *             are padded with spaces only. With j trailing zeros are dropped,
 *             with h rounding uses a single-precision tolerance.
 * Null string and pointer arguments print "(nil)" without padding.
 *
 * Errors, found before anything is written: -(256 * p + k) with
 *   k = 2  syntax error: a character that is no item or conversion, "hhh",
 *          "lll", a third '.', a literal base above 36, a '%' at the end. p
 *          is the offset just past the character where parsing stopped (for
 *          a final '%' the terminator: p = length + 1), for a base just past
 *          the '.' that introduced it;
 *   k = 3  a position of 64 or more, or more than 64 records; p is the offset
 *          just past the '%' (the directive's running position), past the
 *          '*' (a running position taken or pushed on by a star) or past the
 *          '$' (an explicit position);
 *   k = 4  position p (from 0) used more than once ("%1$s %1$s": -4);
 *   k = 5  position p (from 0) unused below the highest one ("%2$d": -5).
 * A null format is a syntax error at offset 0 (-2). Output longer than
 * INT_MAX characters gives -1 (and null from the allocating forms).
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
