/* Environment, locale, MAC address, random seed and debugging aids. */
#ifndef KUOS_SYSTEM_H
#define KUOS_SYSTEM_H

#include <platform/kuOSDefs.h>

KUOS_BEGIN_DECLS

/* A new heap copy of the environment variable's value (release it with
 * free/kuFree), or null when it is not set or name is null. */
KUOS_API char *kuPlatform_getenv(const char *name);

/* Writes the user's language as a language tag ("en-US", "de-DE", "fr") into
 * buffer, at most size bytes with the terminator, and returns buffer. The tag
 * comes from LC_ALL, LC_MESSAGES or LANG (first set, codeset and modifier cut,
 * '_' written as '-'); "C", "POSIX" or nothing gives "en-US". Null when buffer
 * is null or size is too small for the tag. */
KUOS_API char *kuLocale_Get(char *buffer, size_t size);

/* Stores the 6-byte hardware address of network interface index (0: the first
 * interface, in the system's order, that is not a loopback and has a non-zero
 * address) and returns 0; -1 when there is no such interface. */
KUOS_API int kuMACAddress_Get(int index, uint8_t bytes[6]);

/* A seeded pseudo-random source (xorshift, not for cryptography). The seed is
 * 1 until kuOSRand_SetSeed is called; the same seed gives the same sequence.
 * Calls must be serialised by the caller. kuOSRand_Rand gives 32 bits, of
 * which the library uses the low 8. */
KUOS_API void kuOSRand_SetSeed(uint32_t seed);
/* The next 32 pseudo-random bits. */
KUOS_API uint32_t kuOSRand_Rand(void);

/* Writes the calling thread's stack (C library backtrace) to standard error.
 * The argument is reserved (pass 0). Returns the number of frames written. */
KUOS_API int kuDebug_BackTraceCurrent(intptr_t reserved);

/* A break-point for a debugger: writes "kuDebug_Break: <text>" to standard
 * error and, only when a debugger is attached to the process, raises SIGTRAP.
 * Always returns. */
KUOS_API void kuDebug_Break(const char *text);

KUOS_END_DECLS

#endif /* KUOS_SYSTEM_H */
