/*
 * Socket traffic log: the bytes sent and received on each open socket are
 * appended, both directions in call order and without framing, to one file
 * per connection,
 *
 *     socket/<a>.<b>.<c>.<d>-<peer port>-[<socket>].txt
 *
 * relative to the current working directory (the name is cut to 39
 * characters). The directory "socket" must exist; otherwise, and on any other
 * file error, nothing is written and nothing is reported. The name is made
 * from the peer's address by the first Send or Data call on a connected
 * socket; the file is opened for appending ("a+b") and closed again for every
 * call.
 *
 * 100 slots are shared by the process without a lock: the caller serialises
 * the calls. Misuse is logged (module 55, source kuvanaTools/kuSocketLog)
 * when the log level is at least 2. A socket of 0 or below cannot be opened
 * (0 marks a free slot): Open ignores it and the other calls do not find it.
 */
#ifndef KUVANATOOLS_KUSOCKETLOG_H
#define KUVANATOOLS_KUSOCKETLOG_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* Takes the first free slot for socket and gives it the next sequence
 * number; logs "_Log_Buffer_Open Error" when all 100 are in use. */
KU_API void _Log_Buffer_Open(int32_t socket);

/* Appends length bytes of data sent on socket to its file. A length of -1
 * stands for a send error and appends "\r\nERROR" instead; other negative
 * lengths, or null data with a positive length, do nothing. An unopened
 * socket is logged. */
KU_API void _Log_Buffer_Send(int32_t socket, const void *data, int32_t length);

/* The same for data received on socket. */
KU_API void _Log_Buffer_Data(int32_t socket, const void *data, int32_t length);

/* Frees the slot of socket (-1 is ignored; an unopened socket is logged).
 * When data was logged for it and the log level is at least 5, the marker
 * "\r\n*** CLOSED ***\r\n" is appended to its file first. */
KU_API void _Log_Buffer_Close(int32_t socket);

KU_END_DECLS

#endif /* KUVANATOOLS_KUSOCKETLOG_H */
