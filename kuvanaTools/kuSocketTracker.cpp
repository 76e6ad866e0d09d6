// Process-wide table of live sockets, guarded by a mutex made on first use.
#include <kuvanaTools/kuSocketTracker.h>
#include <kuvanaTools/private/kuMutexLock.h>
#include <kuvanaTools/private/kuSocketTrackerInternal.h>

#include <sched.h>

namespace {

ku::SocketTable gTable;
uint32_t gOnce;
kuMutex *gMutex;

// The first caller to bump the once-flag clears the table and makes the
// mutex; callers racing with it wait until the mutex is published.
kuMutex *mutex()
{
    kuMutex *m = __atomic_load_n(&gMutex, __ATOMIC_ACQUIRE);
    if (m != nullptr)
        return m;
    if (__atomic_fetch_add(&gOnce, 1, __ATOMIC_ACQ_REL) == 0) {
        gTable.clear();
        m = ku::newMutex();
        __atomic_store_n(&gMutex, m, __ATOMIC_RELEASE);
        return m;
    }
    while ((m = __atomic_load_n(&gMutex, __ATOMIC_ACQUIRE)) == nullptr)
        sched_yield();
    return m;
}

// Holds the table's lock for a scope.
class Locked : ku::MutexLock {
public:
    Locked() : ku::MutexLock(mutex()) {}
};

} // namespace

void kuSocketTracker_Add(int32_t socket, intptr_t valueA, intptr_t valueB)
{
    Locked lock;
    gTable.add(socket, valueA, valueB);
}

void kuSocketTracker_Connect(int32_t socket)
{
    Locked lock;
    gTable.setState(socket, ku::kSocketConnected);
}

void kuSocketTracker_Listen(int32_t socket)
{
    Locked lock;
    gTable.setState(socket, ku::kSocketListening);
}

void kuSocketTracker_Send(int32_t socket, uint32_t count)
{
    Locked lock;
    gTable.count<&ku::SocketTrackerEntry::sent>(socket, count);
}

void kuSocketTracker_Recv(int32_t socket, uint32_t count)
{
    Locked lock;
    gTable.count<&ku::SocketTrackerEntry::received>(socket, count);
}

void kuSocketTracker_Remove(int32_t socket)
{
    Locked lock;
    gTable.remove(socket);
}

void kuSocketTracker_Dump(void)
{
    Locked lock;
}
