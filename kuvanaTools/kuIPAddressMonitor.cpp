// Snapshots of the host's address list, shared between threads under the
// monitor's mutex.
#include <kuvanaTools/kuIPAddressMonitor.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuMutexLock.h>
#include <platform/kuOSSocket.h>

#include <string.h>

struct kuIPAddressMonitor {
    kuMutex *mutex;
    int count;
    uint32_t *addresses;
    kuSocketPolicy *policy;
};

namespace {

// The host's addresses without loopback; a failed read or an empty list
// gives null and 0.
int fetchList(kuSocketPolicy *policy, uint32_t **list)
{
    *list = nullptr;
    int count = kuSocketGetIPAddressList(policy, list, 0);
    if (count <= 0 || *list == nullptr) {
        kuFree(*list);
        *list = nullptr;
        return 0;
    }
    return count;
}

} // namespace

kuIPAddressMonitor *kuIPAddressMonitor_New(kuSocketPolicy *policy)
{
    kuIPAddressMonitor *monitor = (kuIPAddressMonitor *)kuMallocZeroed(sizeof(kuIPAddressMonitor));
    monitor->mutex = ku::newMutex();
    monitor->policy = policy;
    monitor->count = fetchList(policy, &monitor->addresses);
    return monitor;
}

void kuIPAddressMonitor_Delete(kuIPAddressMonitor *monitor)
{
    if (monitor == nullptr)
        return;
    kuMutex_Delete(monitor->mutex);
    kuFree(monitor->addresses);
    kuFree(monitor);
}

int kuIPAddressMonitor_IPAddressChanged(kuIPAddressMonitor *monitor)
{
    if (monitor == nullptr)
        return 0;
    ku::MutexLock lock(monitor->mutex);
    if (monitor->addresses == nullptr)
        return 0;
    uint32_t *list;
    int count = fetchList(monitor->policy, &list);
    if (count == monitor->count &&
        memcmp(list, monitor->addresses, (size_t)count * sizeof(uint32_t)) == 0) {
        kuFree(list);
        return 0;
    }
    kuFree(monitor->addresses);
    monitor->addresses = list;
    monitor->count = count;
    return 1;
}

void kuIPAddressMonitor_CloneIPAddressList(kuIPAddressMonitor *monitor, uint32_t **list,
                                           int *count)
{
    if (monitor == nullptr) {
        if (list != nullptr)
            *list = nullptr;
        if (count != nullptr)
            *count = 0;
        return;
    }
    ku::MutexLock lock(monitor->mutex);
    if (list != nullptr) {
        size_t size = (size_t)monitor->count * sizeof(uint32_t);
        *list = nullptr;
        if (monitor->addresses != nullptr) {
            *list = (uint32_t *)kuMalloc(size);
            memcpy(*list, monitor->addresses, size);
        }
    }
    if (count != nullptr)
        *count = monitor->count;
}
