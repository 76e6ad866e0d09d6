/* Common definitions of the platform layer's public headers. */
#ifndef KUOS_DEFS_H
#define KUOS_DEFS_H

#include <stddef.h>
#include <stdint.h>

#if defined(KUOS_BUILDING)
#define KUOS_API __attribute__((visibility("default")))
#else
#define KUOS_API
#endif

#ifdef __cplusplus
#define KUOS_BEGIN_DECLS extern "C" {
#define KUOS_END_DECLS }
#else
#define KUOS_BEGIN_DECLS
#define KUOS_END_DECLS
#endif

#endif /* KUOS_DEFS_H */
