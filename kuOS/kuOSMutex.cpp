// Recursive pthread mutexes.
#include <platform/kuOSMutex.h>

#include <pthread.h>
#include <stdlib.h>

struct kuMutex {
    pthread_mutex_t mutex;
};

kuMutex *kuMutex_New(void)
{
    kuMutex *m = (kuMutex *)malloc(sizeof *m);
    if (m == nullptr)
        return nullptr;
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) {
        free(m);
        return nullptr;
    }
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    int rc = pthread_mutex_init(&m->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (rc != 0) {
        free(m);
        return nullptr;
    }
    return m;
}

int kuMutex_Lock(kuMutex *mutex)
{
    return mutex != nullptr && pthread_mutex_lock(&mutex->mutex) == 0 ? 0 : -1;
}

int kuMutex_Unlock(kuMutex *mutex)
{
    return mutex != nullptr && pthread_mutex_unlock(&mutex->mutex) == 0 ? 0 : -1;
}

void kuMutex_Delete(kuMutex *mutex)
{
    if (mutex == nullptr)
        return;
    pthread_mutex_destroy(&mutex->mutex);
    free(mutex);
}
