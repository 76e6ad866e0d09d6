#include "support/Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace kutest {

namespace {
sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}
} // namespace

int listenOnLoopback(uint16_t *port)
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    if (bind(s, (sockaddr *)&a, sizeof a) != 0 || listen(s, 4) != 0) {
        close(s);
        return -1;
    }
    *port = localPort(s);
    return s;
}

bool connectLoopback(int socket, uint16_t port)
{
    sockaddr_in a = loopback(port);
    return connect(socket, (sockaddr *)&a, sizeof a) == 0;
}

int connectToLoopback(uint16_t port)
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (!connectLoopback(s, port)) {
        close(s);
        return -1;
    }
    return s;
}

uint16_t localPort(int socket)
{
    sockaddr_in a{};
    socklen_t n = sizeof a;
    return getsockname(socket, (sockaddr *)&a, &n) == 0 ? ntohs(a.sin_port) : 0;
}

void sendAll(int socket, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = send(socket, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += (size_t)n;
    }
}

std::string recvUpTo(int socket, size_t n)
{
    std::string s;
    char buffer[4096];
    while (s.size() < n) {
        pollfd p{socket, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0)
            break;
        ssize_t got = recv(socket, buffer, std::min(sizeof buffer, n - s.size()), 0);
        if (got <= 0)
            break;
        s.append(buffer, (size_t)got);
    }
    return s;
}

} // namespace kutest
