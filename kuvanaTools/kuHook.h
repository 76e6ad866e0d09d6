/*
 * Hook objects: named extension points, feature flags and properties through
 * which a component and the code embedding it exchange capabilities and
 * settings by name.
 *
 * The embedding code registers a function under a hook ID; the component calls
 * the hook by its ID with variadic arguments, which reach the function as a
 * va_list. Both sides agree on the arguments of each ID; the hook object only
 * carries them. The function runs synchronously on the caller's thread.
 *
 * Names (hook IDs, features, properties) are texts compared exactly, case
 * included. The empty name is never stored: setting anything under it does
 * nothing and looking it up finds nothing. A null name behaves like the empty
 * name. A null hook object is accepted everywhere: it holds nothing, stores
 * nothing and calls nothing.
 *
 * No lock is taken: users serialise registrations and calls on one object.
 */
#ifndef KUVANATOOLS_KUHOOK_H
#define KUVANATOOLS_KUHOOK_H

#include <kuvanaTools/kuDefs.h>

#include <stdarg.h>

KU_BEGIN_DECLS

typedef struct kuHook kuHook;

/* A registered hook function: receives the hook object, the ID it was called
 * with and the variadic arguments given to kuHook_Hook. */
typedef void (*kuHookFunc)(kuHook *hook, const char *id, va_list arguments);

/* Zero-filled, the size of a hook object on 32-bit targets; no operation uses
 * it. */
KU_API extern unsigned char kuHook_t[16];

/* A new hook object with no hooks, features or properties. */
KU_API kuHook *kuHook_New(void);

/* Releases the object, its text property copies and its registrations.
 * Pointer properties are not released. Null does nothing. */
KU_API void kuHook_Delete(kuHook *hook);

/* Registers func under id, replacing an earlier registration under the same
 * ID (whose record is released). A null func removes the registration, so
 * the ID is unknown again. */
KU_API void kuHook_RegisterHook(kuHook *hook, const char *id, kuHookFunc func);

/* Calls the function registered under id with (hook, id, the variadic
 * arguments). An unknown ID calls nothing and, at log level 2 or more, logs
 * "kuHook: unknown hook ID '<id>'" ("(null)" for a null ID). A null hook does
 * nothing at all. The function may re-register or remove its own ID, and may
 * delete the hook object, before it returns. */
KU_API void kuHook_Hook(kuHook *hook, const char *id, ...);

/* Sets (flag nonzero) or clears (flag 0) the feature name. */
KU_API void kuHook_SetSupportFeature(kuHook *hook, const char *name, int flag);

/* 1 when the feature name is set, else 0. */
KU_API int kuHook_SupportFeature(kuHook *hook, const char *name);

/* Stores a copy of text (null for a null text) under name, releasing the
 * previous copy. text may be the property's current value. */
KU_API void kuHook_SetStringProperty(kuHook *hook, const char *name, const char *text);

/* The hook's own copy of the text property name (valid until the property is
 * set again or the hook deleted), or null when absent or null. */
KU_API const char *kuHook_GetStringProperty(kuHook *hook, const char *name);

/* Stores pointer under name, replacing an earlier one. The hook never
 * releases these pointers. */
KU_API void kuHook_SetVoidPtrProperty(kuHook *hook, const char *name, void *pointer);

/* The pointer stored under name, or null when absent. */
KU_API void *kuHook_GetVoidPtrProperty(kuHook *hook, const char *name);

KU_END_DECLS

#endif /* KUVANATOOLS_KUHOOK_H */
