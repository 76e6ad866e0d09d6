/*
 * Socket tracker: a process-wide table of 50 live sockets with their role,
 * ports and byte counts, fed by the socket layer around each socket's life so
 * that every socket opened can be accounted for in a debugger.
 *
 * Each entry keeps, in order: the socket (0 marks a free entry), value B,
 * bytes sent, bytes received (unsigned 32-bit, wrapping), the state (1 added,
 * 2 connected, 3 listening, 4 removed), value A, and the local and peer ports
 * (host byte order, 0 until known). Ports still 0 are asked of the system
 * (getsockname, getpeername) by Connect, Listen, Send and Recv.
 *
 * The table and its mutex are created by the first call from any thread; all
 * functions may be called from any thread. A socket of 0 or below cannot be
 * tracked (0 marks a free entry) and is ignored by every function. The
 * functions return nothing and never log: a full table drops the socket.
 */
#ifndef KUVANATOOLS_KUSOCKETTRACKER_H
#define KUVANATOOLS_KUSOCKETTRACKER_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* Tracks socket in the first free entry, state 1, with the caller's values A
 * and B (an int or a pointer, kept as they are). Nothing happens when all 50
 * entries are in use. */
KU_API void kuSocketTracker_Add(int32_t socket, intptr_t valueA, intptr_t valueB);

/* The first entry of socket becomes connected (state 2); ports refreshed. */
KU_API void kuSocketTracker_Connect(int32_t socket);

/* The first entry of socket becomes listening (state 3); ports refreshed. */
KU_API void kuSocketTracker_Listen(int32_t socket);

/* Adds count to the bytes sent of every entry of socket; ports refreshed. */
KU_API void kuSocketTracker_Send(int32_t socket, uint32_t count);

/* Adds count to the bytes received of every entry of socket; ports
 * refreshed. */
KU_API void kuSocketTracker_Recv(int32_t socket, uint32_t count);

/* Frees the first entry of socket (state 4). */
KU_API void kuSocketTracker_Remove(int32_t socket);

/* Takes and releases the table's lock; writes nothing (the table is read in
 * a debugger). */
KU_API void kuSocketTracker_Dump(void);

KU_END_DECLS

#endif /* KUVANATOOLS_KUSOCKETTRACKER_H */
