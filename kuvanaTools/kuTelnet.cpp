// Diagnostic telnet console: one listening socket, option-refusing command parser.
#include <kuvanaTools/kuTelnet.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/private/kuLogInternal.h>
#include <platform/kuOSSocket.h>

#include <arpa/inet.h>
#include <stdint.h>
#include <string.h>

// The fields are touched by the thread blocked in a call and by the one that
// closes it, so they are read and written atomically (no lock is taken).
struct kuTelnet {
    int32_t socket;
    int32_t closed;
};

struct kuTelnetConnection {
    int32_t socket;
    int32_t closed;
    int32_t state;
};

static_assert(sizeof(kuTelnet) == 8 && sizeof(kuTelnetConnection) == 12, "32-bit fields");

namespace {

constexpr ku::LogSource kLog = {ku::kLogTelnet, "kuvanaTools/kuTelnet"};

int32_t load(const int32_t &field)
{
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}

void store(int32_t &field, int32_t value)
{
    __atomic_store_n(&field, value, __ATOMIC_RELEASE);
}

// Takes the socket out of its field, so that two threads closing at once
// cannot both close the descriptor.
int32_t take(int32_t &field)
{
    return __atomic_exchange_n(&field, -1, __ATOMIC_ACQ_REL);
}

// States of the command parser.
enum State : int32_t {
    kData = 0,
    kCommand = 1,
    kWill = 2,
    kWont = 3,
    kDo = 4,
    kDont = 5
};

// Closes a socket that failed to become a listening socket.
int abandon(kuTelnet *server, const char *label)
{
    kuSocketClose_Debug(take(server->socket), label);
    return 1;
}

// Closing is the same for servers and connections. The flag goes first: the
// woken call must find it set.
template <typename T> int closeSocket(T *object, const char *label)
{
    if (object == nullptr)
        return -1;
    store(object->closed, 1);
    int32_t s = take(object->socket);
    if (s >= 0)
        kuSocketClose_Debug(s, label);
    return -1;
}

template <typename T> void destroy(T *object, int (*close)(T *))
{
    if (object == nullptr)
        return;
    if (load(object->socket) != -1)
        close(object);
    kuFree(object);
}

} // namespace

kuTelnet *kuTelnet_New(void)
{
    kuTelnet *server = (kuTelnet *)kuMalloc(sizeof *server);
    server->socket = -1;
    server->closed = 0;
    return server;
}

int kuTelnet_Listen(kuTelnet *server, const char *address, int port)
{
    if (server == nullptr)
        return 1;
    if (load(server->socket) != -1) {
        ku::log(kLog, __LINE__,
                "kuTelnet_Listen: [%p] Already listening. Ccurrent kuTelnet implementation can "
                "listen on one ip/port only.\n",
                (void *)server);
        return 1;
    }
    int32_t s = kuSocketOpen_Debug(KUOS_AF_INET, KUOS_SOCK_STREAM, KUOS_IPPROTO_TCP,
                                   "kuTelnet_Listen");
    if (s < 0) {
        ku::log(kLog, __LINE__, "kuTelnet_Listen: [%p] Could not create listen socket\n",
                (void *)server);
        return 1;
    }
    store(server->socket, s);
    kuSocketSetReuseAddress_Debug(s, 1, "kuTelnet_Listen");

    uint32_t ip = 0;
    if (address != nullptr && *address != '\0') {
        ip = kuSocketGetAddressFromDotForm(address);
        if (ip == 0)
            ip = kuSocketGetAddressByName(address);
        if (ip == 0) {
            ku::log(kLog, __LINE__, "kuTelnet_Listen: [%p] Could not resolve address '%s'\n",
                    (void *)server, address);
            return abandon(server, "kuTelnet_Listen (resolve failed)");
        }
    }

    kuSocketAddressIPv4 local;
    memset(&local, 0, sizeof local);
    local.family = KUOS_AF_INET;
    local.port = htons((uint16_t)port);
    local.address = htonl(ip);
    if (kuSocketBind_Debug(s, &local, sizeof local, "kuTelnet_Listen") != 0) {
        ku::log(kLog, __LINE__,
                "kuTelnet_Listen: [%p] Could not bind listen socket to addr='%s' port=%d\n",
                (void *)server, address != nullptr ? address : "", port);
        return abandon(server, "kuTelnet_Listen (bind failed)");
    }
    if (kuSocketListen_Debug(s, 1, "kuTelnet_Listen") != 0) {
        ku::log(kLog, __LINE__, "kuTelnet_Listen: [%p] Could not listen on socket\n",
                (void *)server);
        return abandon(server, "kuTelnet_Listen (listen failed)");
    }
    return 0;
}

kuTelnetConnection *kuTelnet_AcceptConnection(kuTelnet *server)
{
    if (server == nullptr)
        return nullptr;
    kuSocketAddressIPv4 peer;
    uint32_t length = sizeof peer;
    int32_t listening = load(server->socket);
    int32_t s = listening < 0 ? -1
                              : kuSocketAccept_Debug(listening, &peer, &length,
                                                     "kuTelnet_AcceptConnection");
    if (s < 0) {
        if (!load(server->closed))
            ku::log(kLog, __LINE__,
                    "kuTelnet_AcceptConnection: [%p] Listen socket error, can not accept "
                    "connections\n",
                    (void *)server);
        return nullptr;
    }
    kuTelnetConnection *connection = (kuTelnetConnection *)kuMalloc(sizeof *connection);
    connection->socket = s;
    connection->closed = 0;
    connection->state = kData;
    return connection;
}

int kuTelnet_Close(kuTelnet *server)
{
    return closeSocket(server, "kuTelnet_Close");
}

void kuTelnet_Delete(kuTelnet *server)
{
    destroy(server, kuTelnet_Close);
}

int kuTelnet_ConnectionClose(kuTelnetConnection *connection)
{
    return closeSocket(connection, "kuTelnet_ConnectionClose");
}

void kuTelnet_ConnectionDelete(kuTelnetConnection *connection)
{
    destroy(connection, kuTelnet_ConnectionClose);
}

int kuTelnet_Send(kuTelnetConnection *connection, const void *bytes, size_t length)
{
    if (connection == nullptr || bytes == nullptr)
        return -1;
    int32_t s = load(connection->socket);
    if (s < 0)
        return -1;
    if (length > INT32_MAX)
        length = INT32_MAX;
    return kuSocketSend_Debug(s, bytes, (uint32_t)length, 0, "kuTelnet_Send (buffer)");
}

int kuTelnet_SendTelnetCommand(kuTelnetConnection *connection, int command)
{
    const unsigned char bytes[2] = {KUTELNET_IAC, (unsigned char)command};
    return kuTelnet_Send(connection, bytes, sizeof bytes) == (int)sizeof bytes ? 0 : -1;
}

int kuTelnet_SendTelnetCommandOption(kuTelnetConnection *connection, int command, int option)
{
    const unsigned char bytes[3] = {KUTELNET_IAC, (unsigned char)command, (unsigned char)option};
    return kuTelnet_Send(connection, bytes, sizeof bytes) == (int)sizeof bytes ? 0 : -1;
}

int kuTelnet_Print(kuTelnetConnection *connection, const char *text)
{
    if (text == nullptr)
        return -1;
    return kuTelnet_Send(connection, text, strlen(text));
}

int kuTelnet_VPrintf(kuTelnetConnection *connection, const char *format, va_list arguments)
{
    char *text = format != nullptr ? ku_vmnprintf(format, arguments) : nullptr;
    if (text == nullptr) {
        ku::log(kLog, __LINE__, "kuTelnet_VPrintf: Could not allocate memory for a string\n");
        ku::log(kLog, __LINE__, "kuTelnet_VPrintf:   aFormat: '%s'\n",
                format != nullptr ? format : "(null)");
        return -1;
    }
    int result = kuTelnet_Print(connection, text);
    kuFree(text);
    return result;
}

int kuTelnet_Printf(kuTelnetConnection *connection, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int result = kuTelnet_VPrintf(connection, format, arguments);
    va_end(arguments);
    return result;
}

int kuTelnet_RecvChar(kuTelnetConnection *connection, unsigned char *byte)
{
    if (connection == nullptr || byte == nullptr || load(connection->socket) < 0)
        return -1;
    for (;;) {
        // The socket is read afresh: an Interrupt Process, or another thread,
        // may have closed it since the last byte.
        int32_t s = load(connection->socket);
        unsigned char c = 0;
        int32_t n = s < 0 ? -1 : kuSocketRecv_Debug(s, &c, 1, 0, "kuTelnet_RecvChar");
        if (n <= 0)
            return (load(connection->closed) || n == 0) ? 0 : -1;

        switch (connection->state) {
        case kData:
            if (c != KUTELNET_IAC) {
                *byte = c;
                return 1;
            }
            connection->state = kCommand;
            break;
        case kCommand:
            connection->state = kData;
            switch (c) {
            case KUTELNET_IAC:
                *byte = c;
                return 1;
            case KUTELNET_IP:
                kuTelnet_ConnectionClose(connection);
                break;
            case KUTELNET_AYT:
                kuTelnet_Print(connection, "kuTelnet: I'm here\r\n");
                break;
            case KUTELNET_WILL:
                connection->state = kWill;
                break;
            case KUTELNET_WONT:
                connection->state = kWont;
                break;
            case KUTELNET_DO:
                connection->state = kDo;
                break;
            case KUTELNET_DONT:
                connection->state = kDont;
                break;
            default:
                break;
            }
            break;
        case kWill:
        case kWont:
            connection->state = kData;
            kuTelnet_SendTelnetCommandOption(connection, KUTELNET_DONT, c);
            break;
        case kDo:
        case kDont:
            connection->state = kData;
            kuTelnet_SendTelnetCommandOption(connection, KUTELNET_WONT, c);
            break;
        default:
            ku::log(kLog, __LINE__, "kuTelnet_ProcessCommand: Invalid telnet state %d\n",
                    (int)connection->state);
            break;
        }
    }
}

int kuTelnet_RecvLine(kuTelnetConnection *connection, char *buffer, size_t size)
{
    if (size == 0)
        return 0;
    if (buffer == nullptr)
        return -1;
    // One byte is kept for the terminator, so a full buffer is still a string.
    size_t limit = size - 1 < (size_t)INT32_MAX ? size - 1 : (size_t)INT32_MAX;
    size_t count = 0;
    while (count < limit) {
        unsigned char c;
        if (kuTelnet_RecvChar(connection, &c) <= 0) {
            buffer[count] = '\0';
            return -1;
        }
        if (c == '\n' || c == '\0')
            break;
        if (c != '\r')
            buffer[count++] = (char)c;
    }
    buffer[count] = '\0';
    return (int)count;
}

char *kuTelnet_Gets(kuTelnetConnection *connection, char *buffer, size_t size)
{
    return kuTelnet_RecvLine(connection, buffer, size) < 0 ? nullptr : buffer;
}
