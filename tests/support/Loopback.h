// Plain loopback sockets for the networking suites (127.0.0.1 only).
#pragma once

#include <stdint.h>

#include <string>

namespace kutest {

// A listening TCP socket on a port the system picks; *port receives it.
int listenOnLoopback(uint16_t *port);

// A socket connected to 127.0.0.1:port, or -1.
int connectToLoopback(uint16_t port);

// Connects an existing socket to 127.0.0.1:port: true on success.
bool connectLoopback(int socket, uint16_t port);

// The local port of a bound socket (0 when unknown).
uint16_t localPort(int socket);

// Sends everything (no SIGPIPE); stops at the first error.
void sendAll(int socket, const std::string &data);

// Reads until n bytes came, the peer ended, or nothing came for 10 s (a hang
// guard, not a timing check).
std::string recvUpTo(int socket, size_t n);

} // namespace kutest
