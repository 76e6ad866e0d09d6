/*
 * The process-wide fatal-error path and the assertion entry point.
 */
#ifndef KUVANATOOLS_KUFATALERROR_H
#define KUVANATOOLS_KUFATALERROR_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* Called with the reason just before a fatal error ends the process. */
typedef void (*kuFatalErrorCallBack)(const char *reason);

/*
 * Ends the process. Writes "kuFatalError" and "kuFatalError: <reason>" with a
 * detail to standard output, logs the same (module 0), prints a back-trace,
 * calls the registered callback with reason, then _exit(-1) (status 255; no
 * exit handlers run). Standard output is flushed after the two lines, before
 * the back-trace, so that they are not lost when it is a pipe or a file. The detail is the next argument:
 * an unsigned long size for "memory:malloc", "memory:realloc",
 * "memory:strdup" and "memory:wcsdup", the expression text for "assert",
 * nothing for any other reason. A null reason prints "unknown reason".
 */
KU_API KU_NORETURN void kuFatalError(const char *reason, ...);

/* Registers the callback (null removes it). Not locked: set it at start-up. */
KU_API void kuFatalError_SetCallBack(kuFatalErrorCallBack callback);

/* Target of assertion macros: logs the failed expression with its file and
 * line, calls the platform's kuDebug_Break, then kuFatalError("assert",
 * expression). Never returns. */
KU_API KU_NORETURN void _kuAssert(const char *expression, const char *file, int line);

/* The platform layer's back-trace printer, kuDebug_BackTraceCurrent(argument). */
KU_API int kuBackTrace_Current(intptr_t argument);

KU_END_DECLS

/* Assertion macro for callers; compiled out with NDEBUG. */
#ifdef NDEBUG
#define kuAssert(expression) ((void)0)
#else
#define kuAssert(expression) \
    ((expression) ? (void)0 : _kuAssert(#expression, __FILE__, __LINE__))
#endif

#endif /* KUVANATOOLS_KUFATALERROR_H */
