/* Mutexes of the platform layer (pthreads). */
#ifndef KUOS_MUTEX_H
#define KUOS_MUTEX_H

#include <platform/kuOSDefs.h>

KUOS_BEGIN_DECLS

typedef struct kuMutex kuMutex;

/* A new recursive mutex: the thread that holds it may lock it again (a caller
 * that locked a shared list for its own walk can still call the list's
 * operations). Null when the system cannot create one. */
KUOS_API kuMutex *kuMutex_New(void);

/* 0 on success, -1 on failure (a null mutex fails). */
KUOS_API int kuMutex_Lock(kuMutex *mutex);
/* Releases one level of the lock; 0 on success, -1 on failure. */
KUOS_API int kuMutex_Unlock(kuMutex *mutex);

/* Destroys an unlocked mutex. Null does nothing. */
KUOS_API void kuMutex_Delete(kuMutex *mutex);

KUOS_END_DECLS

#endif /* KUOS_MUTEX_H */
