// The telnet console's command layer: a connection reads the fuzz input byte
// by byte through the platform's socket calls, which this executable defines
// itself (the library binds to them instead of libkuOS's). The data bytes and
// lines it returns, and every reply it sends, must be those of a small model
// of the command table written here.
#include "FuzzUtil.h"

#include <kuvanaTools/kuTelnet.h>
#include <platform/kuOSSocket.h>

namespace {

constexpr int32_t kListening = 901;
constexpr int32_t kConnection = 902;

// The peer: the bytes it sends, the position at which one receive fails,
// what it has been sent, and the sockets closed.
struct Peer {
    const uint8_t *bytes = nullptr;
    size_t size = 0;
    size_t position = 0;
    size_t failAt = SIZE_MAX; // one receive there fails
    std::string received;
    int listeningClosed = 0;
    int connectionClosed = 0;
};

Peer gPeer;

// One byte from the peer: 1, or 0 at the end, or -1 once at failAt.
int pull(Peer &peer, uint8_t *byte)
{
    if (peer.position == peer.failAt) {
        peer.failAt = SIZE_MAX;
        return -1;
    }
    if (peer.position >= peer.size)
        return 0;
    *byte = peer.bytes[peer.position++];
    return 1;
}

} // namespace

extern "C" {

int32_t kuSocketOpen_Debug(int, int, int, const char *) { return kListening; }
int kuSocketBind_Debug(int32_t, const void *, uint32_t, const char *) { return 0; }
int kuSocketListen_Debug(int32_t, int, const char *) { return 0; }
int kuSocketSetReuseAddress_Debug(int32_t, int, const char *) { return 0; }

int32_t kuSocketAccept_Debug(int32_t socket, void *, uint32_t *, const char *)
{
    KU_FUZZ_CHECK(socket == kListening);
    return kConnection;
}

int32_t kuSocketRecv_Debug(int32_t socket, void *buffer, uint32_t length, int, const char *)
{
    KU_FUZZ_CHECK(socket == kConnection && length == 1);
    return pull(gPeer, (uint8_t *)buffer);
}

int32_t kuSocketSend_Debug(int32_t socket, const void *buffer, uint32_t length, int, const char *)
{
    KU_FUZZ_CHECK(socket == kConnection);
    gPeer.received.append((const char *)buffer, length);
    return (int32_t)length;
}

int kuSocketClose_Debug(int32_t socket, const char *)
{
    (socket == kListening ? gPeer.listeningClosed : gPeer.connectionClosed)++;
    return 0;
}

} // extern "C"

namespace {

// The command table, read the other way round: the model walks the same
// bytes and says what each receive gives.
struct Model {
    explicit Model(const Peer &start) : peer(start) {}
    Peer peer; // a copy of the peer as it starts
    bool command_ = false;
    int option_ = 0;
    bool interrupted_ = false; // the socket is closed
    std::string replies_;

    // kuTelnet_RecvChar: the result, with *byte the data byte for 1.
    int recvChar(uint8_t *byte)
    {
        if (interrupted_)
            return -1;
        for (;;) {
            uint8_t c;
            int got = pull(peer, &c);
            if (got <= 0)
                return got;
            if (option_ != 0) {
                // WILL and WONT (251, 252) get DONT, DO and DONT get WONT
                replies_ += std::string{'\xff', option_ <= 252 ? '\xfe' : '\xfc', (char)c};
                option_ = 0;
            } else if (command_) {
                command_ = false;
                if (c == 255) {
                    *byte = c;
                    return 1;
                }
                if (c == 244) {
                    interrupted_ = true;
                    return 0;
                }
                if (c == 246)
                    replies_ += "kuTelnet: I'm here\r\n";
                else if (c >= 251)
                    option_ = c;
            } else if (c == 255) {
                command_ = true;
            } else {
                *byte = c;
                return 1;
            }
        }
    }

    // kuTelnet_RecvLine into line: the result.
    int recvLine(size_t size, std::string *line)
    {
        line->clear();
        if (size == 0)
            return 0;
        while (line->size() < size - 1) {
            uint8_t c;
            if (recvChar(&c) <= 0)
                return -1;
            if (c == '\n' || c == '\0')
                break;
            if (c != '\r')
                *line += (char)c;
        }
        return (int)line->size();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    gPeer = Peer();
    uint16_t failAt = fdp.ConsumeIntegral<uint16_t>();
    std::string calls = fdp.ConsumeRandomLengthString(16) + '\0';
    std::vector<uint8_t> stream = fdp.ConsumeRemainingBytes<uint8_t>();
    gPeer.bytes = stream.data();
    gPeer.size = stream.size();
    gPeer.failAt = failAt < 0x8000 ? failAt : SIZE_MAX;

    kuTelnet *server = kuTelnet_New();
    KU_FUZZ_CHECK(kuTelnet_Listen(server, nullptr, 2323) == 0);
    kuTelnetConnection *connection = kuTelnet_AcceptConnection(server);
    KU_FUZZ_CHECK(connection != nullptr);
    Model model(gPeer);

    // Receive calls in the order the input chooses, until the model has
    // nothing more to give, and two calls beyond that.
    int after = 0;
    for (size_t i = 0; after < 2 && i < 2 * stream.size() + 8; i++) {
        uint8_t call = (uint8_t)calls[i % calls.size()];
        size_t lineSize = (size_t)(call >> 2) % 20;
        char buffer[20];
        memset(buffer, 0x5A, sizeof buffer);
        std::string line;
        if (model.interrupted_ || (model.peer.position >= model.peer.size && model.peer.failAt == SIZE_MAX))
            after++;
        if (call & 1) {
            uint8_t byte = 0, expectedByte = 0;
            int expected = model.recvChar(&expectedByte);
            KU_FUZZ_CHECK(kuTelnet_RecvChar(connection, &byte) == expected);
            KU_FUZZ_CHECK(expected != 1 || byte == expectedByte);
            continue;
        }
        KU_FUZZ_CHECK(kuTelnet_RecvLine(connection, buffer, lineSize) == model.recvLine(lineSize, &line));
        KU_FUZZ_CHECK(lineSize == 0 || memcmp(buffer, line.c_str(), line.size() + 1) == 0);
    }
    KU_FUZZ_CHECK(gPeer.received == model.replies_);
    KU_FUZZ_CHECK(gPeer.connectionClosed == (model.interrupted_ ? 1 : 0));
    kuTelnet_ConnectionDelete(connection);
    KU_FUZZ_CHECK(gPeer.connectionClosed == 1);
    kuTelnet_Delete(server);
    KU_FUZZ_CHECK(gPeer.listeningClosed == 1);
    return 0;
}
