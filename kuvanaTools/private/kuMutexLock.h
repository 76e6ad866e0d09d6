// Platform mutexes as the library's shared objects use them.
#ifndef KUVANATOOLS_PRIVATE_KUMUTEXLOCK_H
#define KUVANATOOLS_PRIVATE_KUMUTEXLOCK_H

#include <kuvanaTools/kuFatalError.h>
#include <platform/kuOSMutex.h>

namespace ku {

// A new platform mutex; a system that cannot give one ends the process.
inline kuMutex *newMutex()
{
    kuMutex *mutex = kuMutex_New();
    if (mutex == nullptr)
        kuFatalError("os:mutex");
    return mutex;
}

// Holds a mutex for a scope.
class MutexLock {
public:
    explicit MutexLock(kuMutex *mutex) : mutex_(mutex) { kuMutex_Lock(mutex_); }
    ~MutexLock() { kuMutex_Unlock(mutex_); }
    MutexLock(const MutexLock &) = delete;
    MutexLock &operator=(const MutexLock &) = delete;

private:
    kuMutex *mutex_;
};

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUMUTEXLOCK_H
