// The socket tracker's table, without its lock, so that tests can drive one.
#ifndef KUVANATOOLS_PRIVATE_KUSOCKETTRACKERINTERNAL_H
#define KUVANATOOLS_PRIVATE_KUSOCKETTRACKERINTERNAL_H

#include <netinet/in.h>
#include <stdint.h>
#include <string.h>
#include <sys/socket.h>

namespace ku {

struct SocketTrackerEntry {
    int32_t socket; // 0: free
    intptr_t valueB;
    uint32_t sent;
    uint32_t received;
    int32_t state;
    intptr_t valueA;
    uint16_t localPort;
    uint16_t peerPort;
};

enum SocketTrackerState : int32_t {
    kSocketAdded = 1,
    kSocketConnected = 2,
    kSocketListening = 3,
    kSocketRemoved = 4
};

// The port of a socket address of either family, host byte order; 0 when
// the call failed.
template <typename Call> uint16_t askPort(int32_t socket, Call call)
{
    struct sockaddr_storage address;
    socklen_t length = sizeof address;
    memset(&address, 0, sizeof address);
    if (call(socket, (struct sockaddr *)&address, &length) != 0)
        return 0;
    if (address.ss_family == AF_INET)
        return ntohs(((const struct sockaddr_in *)&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(((const struct sockaddr_in6 *)&address)->sin6_port);
    return 0;
}

struct SocketTable {
    static constexpr int kSize = 50;
    SocketTrackerEntry entries[kSize];

    void clear() { memset(entries, 0, sizeof entries); }

    SocketTrackerEntry *find(int32_t socket)
    {
        for (SocketTrackerEntry &e : entries)
            if (e.socket == socket)
                return &e;
        return nullptr;
    }

    // A port not known yet is asked again at every refresh.
    static void refresh(SocketTrackerEntry &e)
    {
        if (e.localPort == 0)
            e.localPort = askPort(e.socket, ::getsockname);
        if (e.peerPort == 0)
            e.peerPort = askPort(e.socket, ::getpeername);
    }

    void add(int32_t socket, intptr_t valueA, intptr_t valueB)
    {
        if (socket <= 0)
            return;
        if (SocketTrackerEntry *e = find(0))
            *e = SocketTrackerEntry{socket, valueB, 0, 0, kSocketAdded, valueA, 0, 0};
    }

    void setState(int32_t socket, int32_t state)
    {
        if (socket <= 0)
            return;
        if (SocketTrackerEntry *e = find(socket)) {
            e->state = state;
            refresh(*e);
        }
    }

    // Counts go to every entry of the socket: a socket added twice is
    // counted twice, as the socket layer reported it.
    template <uint32_t SocketTrackerEntry::*Counter> void count(int32_t socket, uint32_t n)
    {
        if (socket <= 0)
            return;
        for (SocketTrackerEntry &e : entries)
            if (e.socket == socket) {
                refresh(e);
                e.*Counter += n;
            }
    }

    void remove(int32_t socket)
    {
        if (socket <= 0)
            return;
        if (SocketTrackerEntry *e = find(socket)) {
            e->state = kSocketRemoved;
            e->socket = 0;
        }
    }
};

} // namespace ku

#endif
