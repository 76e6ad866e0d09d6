/*
 * A minimal telnet server for a diagnostic console.
 *
 * One listening IPv4 TCP socket; the application accepts connections one at a
 * time from its own console thread and reads bytes or lines from them, with
 * the telnet command layer stripped. Every option the peer offers or asks for
 * is refused (WILL and WONT are answered with DONT, DO and DONT with WONT),
 * Are You There is answered with "kuTelnet: I'm here\r\n", and Interrupt
 * Process closes the connection. Subnegotiation is not interpreted: its bytes
 * after the command pair arrive as data.
 *
 * The calls block in the platform layer's socket calls. Another thread may end
 * a blocked kuTelnet_AcceptConnection with kuTelnet_Close, or a blocked
 * receive with kuTelnet_ConnectionClose; the woken call then fails quietly.
 * Nothing else may be called concurrently on one object, and an object must
 * not be deleted while another thread is still inside a call on it.
 *
 * Failures are logged (module 92, source kuvanaTools/kuTelnet) when the log
 * level is at least 2.
 */
#ifndef KUVANATOOLS_KUTELNET_H
#define KUVANATOOLS_KUTELNET_H

#include <kuvanaTools/kuDefs.h>
#include <stdarg.h>

KU_BEGIN_DECLS

/* The server: the listening socket (-1 when not listening) and the flag set
 * by kuTelnet_Close. */
typedef struct kuTelnet kuTelnet;

/* One accepted connection: its socket (-1 once closed), the flag set by
 * kuTelnet_ConnectionClose and the state of the command parser. */
typedef struct kuTelnetConnection kuTelnetConnection;

/* Telnet command bytes. */
enum {
    KUTELNET_IAC = 255,
    KUTELNET_DONT = 254,
    KUTELNET_DO = 253,
    KUTELNET_WONT = 252,
    KUTELNET_WILL = 251,
    KUTELNET_AYT = 246,
    KUTELNET_IP = 244
};

/* A new server, not listening. */
KU_API kuTelnet *kuTelnet_New(void);

/* Listens on address (dotted form or host name; null or empty for any
 * address) and the low 16 bits of port, with a backlog of 1. 0 when
 * listening; 1 on any failure (logged), also when the server already
 * listens (that socket keeps listening) or is null. An address that resolves
 * to 0, such as "0.0.0.0", counts as unresolved: ask for any address with
 * null or "". */
KU_API int kuTelnet_Listen(kuTelnet *server, const char *address, int port);

/* Waits for a connection and returns it (release it with
 * kuTelnet_ConnectionDelete), or null when the accept fails: logged unless
 * kuTelnet_Close was called. */
KU_API kuTelnetConnection *kuTelnet_AcceptConnection(kuTelnet *server);

/* Marks the server closed and closes its listening socket, which wakes a
 * thread blocked in kuTelnet_AcceptConnection. Returns -1. The mark stays:
 * the server may listen again, but its failed accepts are no longer logged. */
KU_API int kuTelnet_Close(kuTelnet *server);

/* Closes the server when it listens, then frees it. Null does nothing. */
KU_API void kuTelnet_Delete(kuTelnet *server);

/* Marks the connection closed and closes its socket, which wakes a thread
 * blocked receiving on it. Returns -1. */
KU_API int kuTelnet_ConnectionClose(kuTelnetConnection *connection);

/* Closes the connection when its socket is open, then frees it. Null does
 * nothing. */
KU_API void kuTelnet_ConnectionDelete(kuTelnetConnection *connection);

/* Sends length bytes with one platform send: the count sent, or -1 for a
 * null connection or buffer, a closed socket or a send error. Lengths above
 * INT32_MAX are cut to it. */
KU_API int kuTelnet_Send(kuTelnetConnection *connection, const void *bytes, size_t length);

/* Sends IAC and command (one byte). 0 when both bytes went out, else -1. */
KU_API int kuTelnet_SendTelnetCommand(kuTelnetConnection *connection, int command);

/* Sends IAC, command and option. 0 when all three went out, else -1. */
KU_API int kuTelnet_SendTelnetCommandOption(kuTelnetConnection *connection, int command,
                                            int option);

/* Sends text without its terminator: kuTelnet_Send's result (-1 for null
 * text). The text goes out as it is: write "\r\n" for a new line. */
KU_API int kuTelnet_Print(kuTelnetConnection *connection, const char *text);

/* Formats with ku_vmnprintf and prints the result: kuTelnet_Print's result,
 * or -1 (logged) when the text cannot be formatted. */
KU_API int kuTelnet_VPrintf(kuTelnetConnection *connection, const char *format,
                            va_list arguments);
/* kuTelnet_VPrintf with variable arguments. */
KU_API int kuTelnet_Printf(kuTelnetConnection *connection, const char *format, ...);

/* Receives one data byte into *byte, answering the telnet commands on the
 * way. 1 with a byte stored; 0 when the connection was closed (by
 * kuTelnet_ConnectionClose or an Interrupt Process) or the peer ended it; -1
 * for a null connection or byte, a closed socket, or a receive error. */
KU_API int kuTelnet_RecvChar(kuTelnetConnection *connection, unsigned char *byte);

/*
 * Receives a line into buffer: bytes up to a line feed or a NUL byte, with
 * carriage returns dropped. The line is always terminated: at most size - 1
 * bytes are stored, then a NUL, and the count stored is returned. A line
 * longer than that comes back in pieces of size - 1 bytes (the rest stays for
 * the next call); size 1 returns 0 at once with an empty string. Size 0
 * returns 0 and leaves buffer alone. -1 when the connection ends before the
 * line does (what was stored is still terminated) or for a null buffer.
 */
KU_API int kuTelnet_RecvLine(kuTelnetConnection *connection, char *buffer, size_t size);

/* kuTelnet_RecvLine: the buffer, or null when that gave -1. */
KU_API char *kuTelnet_Gets(kuTelnetConnection *connection, char *buffer, size_t size);

KU_END_DECLS

#endif /* KUVANATOOLS_KUTELNET_H */
