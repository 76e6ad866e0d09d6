// BSD sockets with caller labels, IPv4 address lists, QoS object.
#include <platform/kuOSSocket.h>
#include <kuLog/Log.h>

#include <arpa/inet.h>
#include <errno.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

static_assert(sizeof(kuSocketAddressIPv4) == sizeof(struct sockaddr_in), "IPv4 address layout");
// The address structures go to the system as they are, so their family must
// be the system's; protocol numbers are the IANA's. Socket types differ (MIPS
// numbers SOCK_STREAM and SOCK_DGRAM the other way round) and are mapped.
static_assert((int)KUOS_AF_INET == (int)AF_INET && (int)KUOS_IPPROTO_TCP == (int)IPPROTO_TCP &&
                  (int)KUOS_IPPROTO_UDP == (int)IPPROTO_UDP,
              "family and protocol numbers are the system's");

namespace {

constexpr int kTraceSeverity = 3;

// One record per socket call, for finding who leaked or misused a socket.
void trace(const char *call, int32_t socket, long result, const char *label)
{
    kuLogRecord *r = kuLog_Begin(kTraceSeverity, 0);
    if (r == nullptr)
        return;
    r->source = "kuOS/kuOSSocket";
    r->line = __LINE__;
    kuLog_Append_F("%s(%d) = %ld [%s]\n", call, (int)socket, result, label ? label : "");
    kuLog_End(r);
}

constexpr uint32_t kLoopback = 0x7F000001u;

bool isLoopback(uint32_t address)
{
    return (address >> 24) == 127;
}

// The layer's socket types as the system's; other values pass as given.
int systemType(int type)
{
    if (type == KUOS_SOCK_STREAM)
        return SOCK_STREAM;
    if (type == KUOS_SOCK_DGRAM)
        return SOCK_DGRAM;
    return type;
}

} // namespace

int32_t kuSocketOpen_Debug(int family, int type, int protocol, const char *label)
{
    int fd = socket(family, systemType(type) | SOCK_CLOEXEC, protocol);
    trace("socket", fd, fd, label);
    return fd;
}

int kuSocketBind_Debug(int32_t s, const void *address, uint32_t length, const char *label)
{
    int rc = bind(s, (const struct sockaddr *)address, length) == 0 ? 0 : -1;
    trace("bind", s, rc, label);
    return rc;
}

int kuSocketListen_Debug(int32_t s, int backlog, const char *label)
{
    int rc = listen(s, backlog) == 0 ? 0 : -1;
    trace("listen", s, rc, label);
    return rc;
}

int kuSocketSetReuseAddress_Debug(int32_t s, int on, const char *label)
{
    int value = on != 0;
    int rc = setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &value, sizeof value) == 0 ? 0 : -1;
    trace("setsockopt(SO_REUSEADDR)", s, rc, label);
    return rc;
}

int32_t kuSocketAccept_Debug(int32_t s, void *address, uint32_t *length, const char *label)
{
    socklen_t size = (address != nullptr && length != nullptr) ? *length : 0;
    int fd;
    do
        fd = accept4(s, address != nullptr ? (struct sockaddr *)address : nullptr,
                     address != nullptr ? &size : nullptr, SOCK_CLOEXEC);
    while (fd < 0 && (errno == EINTR || errno == ECONNABORTED));
    if (fd >= 0 && address != nullptr && length != nullptr)
        *length = size;
    trace("accept", s, fd, label);
    return fd;
}

int32_t kuSocketRecv_Debug(int32_t s, void *buffer, uint32_t length, int flags,
                           const char *label)
{
    ssize_t n;
    do
        n = recv(s, buffer, length, flags);
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        trace("recv", s, (long)n, label);
    return n < 0 ? -1 : (int32_t)n;
}

int32_t kuSocketSend_Debug(int32_t s, const void *buffer, uint32_t length, int flags,
                           const char *label)
{
    ssize_t n;
    do
        n = send(s, buffer, length, flags | MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        trace("send", s, -1, label);
    return n < 0 ? -1 : (int32_t)n;
}

int kuSocketClose_Debug(int32_t s, const char *label)
{
    if (s < 0)
        return -1;
    // close() alone does not wake a thread blocked in accept or recv.
    shutdown(s, SHUT_RDWR);
    int rc = close(s) == 0 ? 0 : -1;
    trace("close", s, rc, label);
    return rc;
}

int kuSocketGetPeerName_Debug(int32_t s, uint32_t *address, uint16_t *port, const char *label)
{
    struct sockaddr_in peer;
    socklen_t size = sizeof peer;
    if (getpeername(s, (struct sockaddr *)&peer, &size) != 0 || peer.sin_family != AF_INET) {
        trace("getpeername", s, -1, label);
        return -1;
    }
    if (address != nullptr)
        *address = ntohl(peer.sin_addr.s_addr);
    if (port != nullptr)
        *port = ntohs(peer.sin_port);
    return 0;
}

uint32_t kuSocketGetAddressByName(const char *name)
{
    if (name == nullptr || *name == '\0')
        return 0;
    struct addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    struct addrinfo *result = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &result) != 0 || result == nullptr)
        return 0;
    uint32_t address = ntohl(((struct sockaddr_in *)result->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(result);
    return address;
}

uint32_t kuSocketGetAddressFromDotForm(const char *text)
{
    struct in_addr a;
    if (text == nullptr || inet_pton(AF_INET, text, &a) != 1)
        return 0;
    return ntohl(a.s_addr);
}

int kuSocketGetIPAddressList(void *policy, uint32_t **list, int flags)
{
    (void)policy;
    if (list == nullptr)
        return -1;
    *list = nullptr;
    struct ifaddrs *all = nullptr;
    if (getifaddrs(&all) != 0)
        return -1;
    int capacity = 0;
    for (struct ifaddrs *a = all; a != nullptr; a = a->ifa_next)
        capacity++;
    uint32_t *addresses = capacity > 0 ? (uint32_t *)malloc(sizeof(uint32_t) * capacity) : nullptr;
    int count = 0;
    for (struct ifaddrs *a = all; a != nullptr && addresses != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET ||
            !(a->ifa_flags & IFF_UP))
            continue;
        uint32_t address = ntohl(((struct sockaddr_in *)a->ifa_addr)->sin_addr.s_addr);
        if (isLoopback(address) && !(flags & KUOS_IPLIST_WITH_LOOPBACK))
            continue;
        bool seen = false;
        for (int i = 0; i < count && !seen; i++)
            seen = addresses[i] == address;
        if (!seen)
            addresses[count++] = address;
    }
    freeifaddrs(all);
    if (count == 0) {
        free(addresses);
        return capacity > 0 && addresses == nullptr ? -1 : 0;
    }
    *list = addresses;
    return count;
}

int kuSocketGetLocalHostIPAddressList(void *policy, uint32_t **list, int flags)
{
    (void)policy;
    (void)flags;
    if (list == nullptr)
        return -1;
    *list = (uint32_t *)malloc(sizeof(uint32_t));
    if (*list == nullptr)
        return -1;
    (*list)[0] = kLoopback;
    return 1;
}

uint32_t kuSocketMapLocalIPAddressToLoopBack(void *policy, uint32_t address)
{
    if (isLoopback(address))
        return kLoopback;
    uint32_t *own = nullptr;
    int count = kuSocketGetIPAddressList(policy, &own, 0);
    bool local = false;
    for (int i = 0; i < count && !local; i++)
        local = own[i] == address;
    free(own);
    return local ? kLoopback : address;
}

struct kuSocketQOS {
    int dscp;
};

kuSocketQOS *kuSocketQOS_New(void *policy)
{
    (void)policy;
    kuSocketQOS *qos = (kuSocketQOS *)malloc(sizeof *qos);
    if (qos != nullptr)
        qos->dscp = 34; // AF41
    return qos;
}

void kuSocketQOS_Delete(kuSocketQOS *qos)
{
    free(qos);
}
