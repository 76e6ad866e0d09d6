/*
 * Floating-point classification and special values, independent of the C
 * library's macros (and of the machine's byte order). The formatted output
 * (kuPrintf.h) uses them for its floating conversions.
 */
#ifndef KUVANATOOLS_KUFLOAT_H
#define KUVANATOOLS_KUFLOAT_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* Classes returned by ku_fpclassify. */
#define KU_FP_INFINITE 0
#define KU_FP_NAN 1
#define KU_FP_NORMAL 2
#define KU_FP_SUBNORMAL 3
#define KU_FP_ZERO 4

/* Negative zero. */
KU_API double ku_nzero(void);

/* Positive infinity (computed on the first call, then cached). */
KU_API double ku_pinf(void);

/* Negative infinity (cached like ku_pinf). */
KU_API double ku_ninf(void);

/* The not-a-number with bit pattern 0x7FF7FFFFFFFFFFFF (cached like
 * ku_pinf). */
KU_API double ku_nan(void);

/*
 * The class of x (KU_FP_*), and its sign through sign (may be null): for a
 * zero the sign bit itself (0, or 128 when set); 0 for a not-a-number; for
 * anything else 1 when x is below 0, else 0. Magnitudes below
 * 2.2250738585072014e-308 are subnormal.
 */
KU_API int ku_fpclassify_and_signbit(double x, int *sign);

/* The class of x (KU_FP_*). */
KU_API int ku_fpclassify(double x);

/* The sign as ku_fpclassify_and_signbit gives it: 128 for negative zero, 1
 * for other negative values, 0 for positive values and not-a-numbers. */
KU_API int ku_signbit(double x);

/* 1 for normal, subnormal and zero values, else 0. */
KU_API int ku_isfinite(double x);

/* 1 for positive infinity, -1 for negative infinity, else 0. */
KU_API int ku_isinf(double x);

/* 1 for a not-a-number, else 0. */
KU_API int ku_isnan(double x);

KU_END_DECLS

#endif /* KUVANATOOLS_KUFLOAT_H */
