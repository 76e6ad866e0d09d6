/*
 * IP address monitor: a snapshot of the host's IPv4 addresses
 * (kuSocketGetIPAddressList without loopback, in the platform's order) that
 * tells its caller when the list has changed.
 *
 * Threads: each monitor has its own mutex, held by the change test and by
 * cloning, so one thread may poll for changes while others clone the list.
 *
 * A failed read counts as an empty list. A monitor that holds no list (the
 * host had no address when it was created, or a later read found none)
 * keeps answering "no change": the list is compared only while one is
 * stored.
 */
#ifndef KUVANATOOLS_KUIPADDRESSMONITOR_H
#define KUVANATOOLS_KUIPADDRESSMONITOR_H

#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuSocketPolicy.h>

KU_BEGIN_DECLS

typedef struct kuIPAddressMonitor kuIPAddressMonitor;

/* A new monitor holding the current address list; policy (may be null) is
 * passed to the platform layer. Ends the process ("os:mutex") when no mutex
 * can be created. */
KU_API kuIPAddressMonitor *kuIPAddressMonitor_New(kuSocketPolicy *policy);

/* Releases the mutex, the list and the monitor; null does nothing. */
KU_API void kuIPAddressMonitor_Delete(kuIPAddressMonitor *monitor);

/* 1 when the host's list differs from the stored one in count, in an
 * address or in order (the new list is then stored), else 0. */
KU_API int kuIPAddressMonitor_IPAddressChanged(kuIPAddressMonitor *monitor);

/* A new copy of the stored list in *list (released with kuFree; null when
 * it is empty) and its count in *count. Either pointer may be null; a null
 * monitor gives null and 0. */
KU_API void kuIPAddressMonitor_CloneIPAddressList(kuIPAddressMonitor *monitor, uint32_t **list,
                                                  int *count);

KU_END_DECLS

#endif /* KUVANATOOLS_KUIPADDRESSMONITOR_H */
