/*
 * Socket policy: the table of functions through which the network code
 * decides which interfaces it may use, which local addresses it announces,
 * whether a local address is to be seen as the loopback address, and which
 * incoming connections it accepts.
 *
 * Addresses are IPv4 addresses as uint32_t in host byte order (10.0.0.2 is
 * 0x0A000002); sockets are the platform's descriptors.
 *
 * The two low bits of the mode given at creation select the defaults:
 *   0, 1  the host's interface addresses, loopback only when asked for;
 *   2     the host's interface addresses, never loopback;
 *   3     127.0.0.1 only, and every local address mapped to loopback.
 * The other bits are kept for the replacement functions' use.
 *
 * A policy has no lock: configure it once, then share it read-only.
 *
 * A null policy behaves as a new policy of mode 0 without exclusion list
 * (the platform layer is then given null as policy).
 */
#ifndef KUVANATOOLS_KUSOCKETPOLICY_H
#define KUVANATOOLS_KUSOCKETPOLICY_H

#include <kuvanaTools/kuConfigFile.h>
#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuSocketPolicy kuSocketPolicy;

/* 1 to accept a connection on socket from peer, 0 to refuse it. */
typedef int (*kuSocketPolicy_AcceptConnectionFunc)(kuSocketPolicy *policy, int32_t socket,
                                                   uint32_t peer);

/* Stores a new array of addresses in *list (released with kuFree; null when
 * there are none) and returns their count, or -1 with *list null on
 * failure. flags as for kuSocketGetIPAddressList (1: also loopback). */
typedef int (*kuSocketPolicy_GetIPAddressListFunc)(kuSocketPolicy *policy, uint32_t **list,
                                                   int flags);

/* The address to use for the local address given. */
typedef uint32_t (*kuSocketPolicy_MapLocalIPAddressToLoopBackFunc)(kuSocketPolicy *policy,
                                                                  uint32_t address);

/* 1 when the interface may be used, 0 when it is excluded. */
typedef int (*kuSocketPolicy_IsValidIFFunc)(kuSocketPolicy *policy, const char *name);

/* A new policy with the default functions, no exclusion list and no QoS
 * object. */
KU_API kuSocketPolicy *kuSocketPolicy_New(uint32_t mode, void *userData);

/* Releases the QoS object, the exclusion list and the policy; null does
 * nothing. */
KU_API void kuSocketPolicy_Delete(kuSocketPolicy *policy);

/* Replaces the acceptance, address-list and loopback-mapping functions; a
 * null function puts the default back. The interface test stays. */
KU_API void kuSocketPolicy_SetFunc(kuSocketPolicy *policy,
                                   kuSocketPolicy_AcceptConnectionFunc acceptConnection,
                                   kuSocketPolicy_GetIPAddressListFunc getIPAddressList,
                                   kuSocketPolicy_MapLocalIPAddressToLoopBackFunc mapToLoopBack);

/*
 * Reads the section's settings from config:
 *   "QOSDisabled" (number, default 0): when 0, a QoS object is created
 *       (kuSocketQOS_New) and kept until the policy is deleted;
 *   "exclude-if" (text, default none): comma-separated interface-name
 *       patterns, blanks trimmed and surrounding quotes removed, for the
 *       interface test.
 * A second call replaces what an earlier one set. A null config does
 * nothing.
 */
KU_API void kuSocketPolicy_Configure(kuSocketPolicy *policy, kuConfigFile *config,
                                     const char *section);

/* The caller's pointer given at creation. */
KU_API void *kuSocketPolicy_GetUserData(kuSocketPolicy *policy);

/* The acceptance function's answer for a connection from peer. */
KU_API int kuSocketPolicy_AcceptConnection(kuSocketPolicy *policy, int32_t socket, uint32_t peer);

/* The address-list function's list and count; a null list pointer gives -1. */
KU_API int kuSocketPolicy_GetIPAddressList(kuSocketPolicy *policy, uint32_t **list, int flags);

/* The loopback-mapping function's answer for address. */
KU_API uint32_t kuSocketPolicy_MapLocalIPAddressToLoopBack(kuSocketPolicy *policy,
                                                           uint32_t address);

/* The interface test: with no exclusion patterns every interface is valid;
 * otherwise a name that matches a pattern (kuCStringParser_Match: the first
 * character exactly, the rest ignoring case) is excluded. Empty patterns
 * (as in "a,,b") are ignored. A null name is never valid. */
KU_API int kuSocketPolicy_IsValidIF(kuSocketPolicy *policy, const char *name);

/* Default acceptance: a peer of 0 is accepted; any other peer only when it
 * is one of the addresses of the default list asked with flag 1 (so loopback
 * peers too, except in mode 2). */
KU_API int kuSocketPolicy_Default_AcceptConnection(kuSocketPolicy *policy, int32_t socket,
                                                   uint32_t peer);

/* Default address list: mode 3 kuSocketGetLocalHostIPAddressList with
 * flags, mode 2 kuSocketGetIPAddressList without loopback, else
 * kuSocketGetIPAddressList with flags. A null list pointer gives -1. */
KU_API int kuSocketPolicy_Default_GetIPAddressList(kuSocketPolicy *policy, uint32_t **list,
                                                   int flags);

/* Default loopback mapping: in mode 3 kuSocketMapLocalIPAddressToLoopBack,
 * else the address unchanged. */
KU_API uint32_t kuSocketPolicy_Default_MapLocalIPAddressToLoopBack(kuSocketPolicy *policy,
                                                                   uint32_t address);

KU_END_DECLS

#endif /* KUVANATOOLS_KUSOCKETPOLICY_H */
