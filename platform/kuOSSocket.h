/*
 * BSD sockets of the platform layer.
 *
 * A socket is the system's descriptor as a signed 32-bit value, -1 for none.
 * The _Debug calls take a last argument naming the caller; it is written to
 * the platform log (severity 3, module 0: emitted at level 4 and up) with the
 * call and its result, which is how the console shows who opened, used and
 * closed each socket.
 *
 * IPv4 addresses passed as uint32_t are in host byte order, so that
 * 10.0.0.2 is 0x0A000002; the socket address structures given to bind and
 * filled by accept are the system's own layout (network byte order inside).
 */
#ifndef KUOS_SOCKET_H
#define KUOS_SOCKET_H

#include <platform/kuOSDefs.h>

KUOS_BEGIN_DECLS

/* Socket families, types and protocols. The family and protocol values are
 * the system's own; the types are this layer's, which kuSocketOpen_Debug
 * maps to the system's (MIPS numbers SOCK_STREAM 2 and SOCK_DGRAM 1). */
enum {
    KUOS_AF_INET = 2,
    KUOS_SOCK_STREAM = 1,
    KUOS_SOCK_DGRAM = 2,
    KUOS_IPPROTO_TCP = 6,
    KUOS_IPPROTO_UDP = 17
};

/* An IPv4 socket address in the system's 16-byte layout. */
typedef struct kuSocketAddressIPv4 {
    uint16_t family;  /* KUOS_AF_INET, host byte order */
    uint16_t port;    /* network byte order */
    uint32_t address; /* network byte order */
    uint8_t zero[8];
} kuSocketAddressIPv4;

/* A new socket (close-on-exec), or -1. type is KUOS_SOCK_STREAM or
 * KUOS_SOCK_DGRAM; any other value is passed to the system unchanged. */
KUOS_API int32_t kuSocketOpen_Debug(int family, int type, int protocol, const char *label);

/* 0 on success, -1 on failure (errno kept). */
KUOS_API int kuSocketBind_Debug(int32_t socket, const void *address, uint32_t length,
                                const char *label);
/* Starts listening with the given backlog; 0 on success, -1 on failure. */
KUOS_API int kuSocketListen_Debug(int32_t socket, int backlog, const char *label);

/* Sets SO_REUSEADDR to on (non-zero) or off. 0 on success, -1 on failure. */
KUOS_API int kuSocketSetReuseAddress_Debug(int32_t socket, int on, const char *label);

/* Waits for a connection: the new socket (close-on-exec), or -1. address may
 * be null; otherwise *length is its size on entry and the stored size on
 * return. Fails (-1) once the listening socket is closed by another thread. */
KUOS_API int32_t kuSocketAccept_Debug(int32_t socket, void *address, uint32_t *length,
                                      const char *label);

/* Bytes received, 0 when the peer closed, -1 on error (interrupted calls are
 * resumed). Returns 0 or -1 once the socket is closed by another thread. */
KUOS_API int32_t kuSocketRecv_Debug(int32_t socket, void *buffer, uint32_t length, int flags,
                                    const char *label);

/* Bytes sent, or -1. Never raises SIGPIPE (MSG_NOSIGNAL). */
KUOS_API int32_t kuSocketSend_Debug(int32_t socket, const void *buffer, uint32_t length,
                                    int flags, const char *label);

/* Shuts the socket down in both directions, which wakes a thread blocked in
 * accept or recv on it, then closes it. 0 on success, -1 on failure. */
KUOS_API int kuSocketClose_Debug(int32_t socket, const char *label);

/* The peer's IPv4 address and port (host byte order) of a connected socket.
 * 0 on success, -1 otherwise (outputs untouched). */
KUOS_API int kuSocketGetPeerName_Debug(int32_t socket, uint32_t *address, uint16_t *port,
                                       const char *label);

/* The first IPv4 address of a host name (getaddrinfo), or 0. */
KUOS_API uint32_t kuSocketGetAddressByName(const char *name);

/* The address written as four decimal numbers "a.b.c.d" (inet_pton), or 0 for
 * anything else (0.0.0.0 also gives 0). */
KUOS_API uint32_t kuSocketGetAddressFromDotForm(const char *text);

/* Flags of the address lists. */
enum {
    KUOS_IPLIST_WITH_LOOPBACK = 0x01 /* also list loopback addresses */
};

/*
 * The IPv4 addresses of the interfaces that are up (getifaddrs order,
 * duplicates removed): a new array stored in *list (release it with
 * free/kuFree; null when there are none) and its count as the result, or -1
 * with *list null on failure. Loopback addresses are listed only with
 * KUOS_IPLIST_WITH_LOOPBACK. policy is the caller's socket policy; this layer
 * does not consult it.
 */
KUOS_API int kuSocketGetIPAddressList(void *policy, uint32_t **list, int flags);

/* The loopback address 127.0.0.1 as a one-element list, in the same form. */
KUOS_API int kuSocketGetLocalHostIPAddressList(void *policy, uint32_t **list, int flags);

/* 127.0.0.1 when address is one of the host's own addresses (or already a
 * loopback address), else address unchanged. */
KUOS_API uint32_t kuSocketMapLocalIPAddressToLoopBack(void *policy, uint32_t address);

/* Quality-of-service object. Our layer keeps only the DSCP value that
 * sockets would be marked with (AF41 for A/V streaming); it marks nothing
 * by itself. Null only when memory is exhausted. */
typedef struct kuSocketQOS kuSocketQOS;
/* A new quality-of-service object for the policy. */
KUOS_API kuSocketQOS *kuSocketQOS_New(void *policy);
/* Frees the object; null is accepted. */
KUOS_API void kuSocketQOS_Delete(kuSocketQOS *qos);

KUOS_END_DECLS

#endif /* KUOS_SOCKET_H */
