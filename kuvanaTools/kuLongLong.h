/*
 * 64-bit integers as two 32-bit words, and the native 64-bit file offset.
 *
 * The kuLongLong_ (signed) and kuULongLong_ (unsigned) operations change the
 * structure given first in place and only read a second operand. Operations
 * that can overflow return 1 when the true result did not fit (the stored
 * value is then the result modulo 2^64) and 0 otherwise. Shift counts must lie
 * in 0 ... 63; a larger count (or a negative one, seen as a large unsigned
 * count) shifts every bit out.
 */
#ifndef KUVANATOOLS_KULONGLONG_H
#define KUVANATOOLS_KULONGLONG_H

#include <kuvanaTools/kuDefs.h>
#include <sys/types.h>

KU_BEGIN_DECLS

/* Signed 64-bit value, two's complement: bits 0-31, then bits 32-63. */
typedef struct kuint64 {
    uint32_t low;
    int32_t high;
} kuint64;

/* Unsigned 64-bit value: bits 0-31, then bits 32-63. */
typedef struct kuuint64 {
    uint32_t low;
    uint32_t high;
} kuuint64;

/* The platform's signed 64-bit file position. */
typedef int64_t kuFileOffset;

/* Constant values; never written. */
KU_API extern const kuint64 _kuLongLong_Max_impl;   /* 2^63 - 1 */
KU_API extern const kuint64 _kuLongLong_Min_impl;   /* -2^63 */
KU_API extern const kuuint64 _kuULongLong_Max_impl; /* 2^64 - 1 */
KU_API extern const kuint64 _kuLongLong_0_impl;
KU_API extern const kuuint64 _kuULongLong_0_impl;

#define kuLongLong_Max _kuLongLong_Max_impl
#define kuLongLong_Min _kuLongLong_Min_impl
#define kuULongLong_Max _kuULongLong_Max_impl
#define kuLongLong_0 _kuLongLong_0_impl
#define kuULongLong_0 _kuULongLong_0_impl

/* ---------------------------------------------------------------- signed */

/* value := high * 2^32 + low (the high word's bits as given). */
KU_API void kuLongLong_Set(kuint64 *value, uint32_t high, uint32_t low);

/* value := n, sign-extended. */
KU_API void kuLongLong_SetInt32(kuint64 *value, int32_t n);

/* value := d truncated toward zero. Out of range saturates to the nearest
 * bound; NaN gives 0. */
KU_API void kuLongLong_SetDouble(kuint64 *value, double d);

/* The value as the nearest double. */
KU_API double kuLongLong_GetDouble(const kuint64 *value);

/* value := value + operand; 1 on signed overflow. */
KU_API int32_t kuLongLong_Add(kuint64 *value, const kuint64 *operand);

/* value := value - operand; 1 on signed overflow. */
KU_API int32_t kuLongLong_Sub(kuint64 *value, const kuint64 *operand);

/* value := value * operand; 1 when the true product does not fit. */
KU_API int32_t kuLongLong_Mult(kuint64 *value, const kuint64 *operand);

/* value := value + n (sign-extended); 1 on overflow. */
KU_API int32_t kuLongLong_AddInt32(kuint64 *value, int32_t n);

/* value := value - n (sign-extended); 1 on overflow. */
KU_API int32_t kuLongLong_SubInt32(kuint64 *value, int32_t n);

/* value := value + n (zero-extended); 1 on overflow. */
KU_API int32_t kuLongLong_AddUInt32(kuint64 *value, uint32_t n);

/* value := value - n (zero-extended); 1 on overflow. */
KU_API int32_t kuLongLong_SubUInt32(kuint64 *value, uint32_t n);

/*
 * value := value / divisor, truncated toward zero. Returns 1 only for
 * -2^63 / -1, which stores -2^63. A zero divisor gives 1 for a zero dividend,
 * -1 for a positive and 1 for a negative one (flag 0).
 */
KU_API int32_t kuLongLong_Div(kuint64 *value, const kuint64 *divisor);

/* value := remainder of the truncating division (sign of the dividend); 0 for
 * a zero divisor. */
KU_API void kuLongLong_Mod(kuint64 *value, const kuint64 *divisor);

/* value := remainder of the truncating division by n; 0 for n = 0. */
KU_API void kuLongLong_ModUInt32(kuint64 *value, uint32_t n);

/* value := -value; returns 1 (value unchanged) for -2^63, else 0. */
KU_API int32_t kuLongLong_Negate(kuint64 *value);

/* value := |value|; returns 1 (value unchanged) for -2^63, else 0. */
KU_API int32_t kuLongLong_Abs(kuint64 *value);

/* value := value * 2^count; 1 when a set bit was shifted out past bit 63. */
KU_API int32_t kuLongLong_ShiftLeft(kuint64 *value, uint32_t count);

/* Arithmetic shift right by count (the sign bit is copied in). */
KU_API void kuLongLong_ShiftRight(kuint64 *value, uint32_t count);

/* 1 when a < b (signed), else 0. */
KU_API int32_t kuLongLong_Less(const kuint64 *a, const kuint64 *b);

/* 1 when a = b, else 0. */
KU_API int32_t kuLongLong_Equal(const kuint64 *a, const kuint64 *b);

/* New decimal text of the value ("-9223372036854775808" for -2^63); release
 * with kuFree. */
KU_API char *kuLongLong_ToString(const kuint64 *value);

/* -------------------------------------------------------------- unsigned */

/* value := high * 2^32 + low. */
KU_API void kuULongLong_Set(kuuint64 *value, uint32_t high, uint32_t low);

/* value := the offset's 64 bits (a negative offset becomes a large value). */
KU_API void kuULongLong_SetFileOffset(kuuint64 *value, kuFileOffset offset);

/* value := value + operand; 1 on a carry out of bit 63. */
KU_API int32_t kuULongLong_Add(kuuint64 *value, const kuuint64 *operand);

/* value := value * operand; 1 when the true product exceeds 2^64 - 1. */
KU_API int32_t kuULongLong_Mult(kuuint64 *value, const kuuint64 *operand);

/* value := value + n; 1 on a carry out of bit 63. */
KU_API int32_t kuULongLong_AddUInt32(kuuint64 *value, uint32_t n);

/* value := value - operand, modulo 2^64. */
KU_API void kuULongLong_Sub(kuuint64 *value, const kuuint64 *operand);

/* value := value - n, modulo 2^64. */
KU_API void kuULongLong_SubUInt32(kuuint64 *value, uint32_t n);

/* value := value / divisor; a zero divisor gives 1 for a zero dividend and
 * 2^64 - 1 otherwise. */
KU_API void kuULongLong_Div(kuuint64 *value, const kuuint64 *divisor);

/* value := value modulo divisor; 0 for a zero divisor. */
KU_API void kuULongLong_Mod(kuuint64 *value, const kuuint64 *divisor);

/* value := value modulo n; 0 for n = 0. */
KU_API void kuULongLong_ModUInt32(kuuint64 *value, uint32_t n);

/* value := value * 2^count; 1 when a set bit was shifted out past bit 63. */
KU_API int32_t kuULongLong_ShiftLeft(kuuint64 *value, uint32_t count);

/* Logical shift right by count. */
KU_API void kuULongLong_ShiftRight(kuuint64 *value, uint32_t count);

/* 1 when a < b, a <= b, a = b respectively, else 0. */
KU_API int32_t kuULongLong_Less(const kuuint64 *a, const kuuint64 *b);
/* 1 when a <= b, else 0. */
KU_API int32_t kuULongLong_LessOrEqual(const kuuint64 *a, const kuuint64 *b);
/* 1 when a = b, else 0. */
KU_API int32_t kuULongLong_Equal(const kuuint64 *a, const kuuint64 *b);

/* New decimal text of the value; release with kuFree. */
KU_API char *kuULongLong_ToString(const kuuint64 *value);

/* ------------------------------------------------------------ from text */

/*
 * Set value from decimal text (white space, an optional sign - only '+' for
 * the unsigned type - and digits). Returns 1 when the whole text was a
 * number that fits; otherwise value is set to 0 and 0 is returned.
 */
KU_API int32_t kuLongLong_SetFromString(kuint64 *value, const char *text);
/* The unsigned form of kuLongLong_SetFromString (no '-' accepted). */
KU_API int32_t kuULongLong_SetFromString(kuuint64 *value, const char *text);

/* kuULongLong_SetFromString on the first length bytes of text; a null text
 * or a length of 0 returns 0 and leaves value alone. */
KU_API int32_t kuULongLong_SetFromNString(kuuint64 *value, const char *text, size_t length);

/* ---------------------------------------------------------- file offsets */
/*
 * Each conversion writes the value through out and returns 1 when it fitted
 * exactly, or writes the nearest bound and returns 0. size_t and ssize_t are
 * the platform's own: on a 32-bit platform they behave as uint32 and int32,
 * on a 64-bit one every offset in their range fits.
 */

/* Fits for 0 ... 2^32 - 1; else 0 (negative) or 0xFFFFFFFF. */
KU_API int32_t kuFileOffset_to_uint32(kuFileOffset offset, uint32_t *out);

/* Fits for -2^31 ... 2^31 - 1; else -2^31 (negative) or 2^31 - 1. */
KU_API int32_t kuFileOffset_to_int32(kuFileOffset offset, int32_t *out);

/* Fits for 0 ... SIZE_MAX; else 0 (negative) or SIZE_MAX. */
KU_API int32_t kuFileOffset_to_size_t(kuFileOffset offset, size_t *out);

/* Fits within the range of ssize_t; else its minimum (negative) or maximum. */
KU_API int32_t kuFileOffset_to_ssize_t(kuFileOffset offset, ssize_t *out);

/* Fits for offset >= 0; else 0. */
KU_API int32_t kuFileOffset_to_kuuint64(kuFileOffset offset, kuuint64 *out);

/* Always fits. */
KU_API int32_t kuFileOffset_to_kuint64(kuFileOffset offset, kuint64 *out);

/* Always fits (zero-extended). */
KU_API int32_t uint32_to_kuFileOffset(uint32_t value, kuFileOffset *out);

/* Fits up to 2^63 - 1 (always on a 32-bit platform); else -1. */
KU_API int32_t size_t_to_kuFileOffset(size_t value, kuFileOffset *out);

/* Fits up to 2^63 - 1; else -1 (all bits set). */
KU_API int32_t kuuint64_to_kuFileOffset(kuuint64 value, kuFileOffset *out);

KU_END_DECLS

#endif /* KUVANATOOLS_KULONGLONG_H */
