/* Common definitions of the library's public headers. */
#ifndef KUVANATOOLS_KUDEFS_H
#define KUVANATOOLS_KUDEFS_H

#include <stddef.h>
#include <stdint.h>

/* Marks a name as part of the library's interface. */
#if defined(KU_BUILDING)
#define KU_API __attribute__((visibility("default")))
#else
#define KU_API
#endif

#ifdef __cplusplus
#define KU_BEGIN_DECLS extern "C" {
#define KU_END_DECLS }
#else
#define KU_BEGIN_DECLS
#define KU_END_DECLS
#endif

#if defined(__GNUC__)
#define KU_NORETURN __attribute__((noreturn))
#define KU_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define KU_NORETURN
#define KU_PRINTF_LIKE(f, a)
#endif

#endif /* KUVANATOOLS_KUDEFS_H */
