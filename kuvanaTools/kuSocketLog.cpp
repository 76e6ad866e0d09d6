// Socket traffic log: the bytes of each connection appended to a file per peer.
#include <kuvanaTools/kuSocketLog.h>
#include <kuvanaTools/private/kuLogInternal.h>
#include <platform/kuOSSocket.h>

#include <stdio.h>
#include <string.h>

namespace {

constexpr ku::LogSource kLog = {ku::kLogSocketLog, "kuvanaTools/kuSocketLog"};

// Lines of the records, as the tools that read the log expect them.
constexpr int kLineOpen = 76;
constexpr int kLineClose = 108;
constexpr int kLineDataNoSequence = 146;
constexpr int kLineDataNoSlot = 164;
constexpr int kLineSendNoSequence = 187;
constexpr int kLineSendNoSlot = 205;

struct Slot {
    int32_t socket; // 0: free
    uint32_t sequence;
    int32_t hasData;
    char name[40]; // empty until the peer is known
};

constexpr int kSlots = 100;

// Shared without a lock: the callers serialise their calls.
Slot gSlots[kSlots];
uint32_t gSequence = 1;
int gOpenCount;
bool gReady;

const char kErrorMarker[] = "\r\nERROR";
const char kClosedMarker[] = "\r\n*** CLOSED ***\r\n";

Slot *find(int32_t socket)
{
    if (socket <= 0)
        return nullptr;
    for (Slot &s : gSlots)
        if (s.socket == socket)
            return &s;
    return nullptr;
}

// The texts of one direction's records.
struct Direction {
    const char *noSequence;
    int noSequenceLine;
    const char *noSlot;
    int noSlotLine;
};

const Direction kSend = {"_Log_Buffer_Send Error 1\n", kLineSendNoSequence,
                         "_Log_Buffer_Send Error 2\n", kLineSendNoSlot};
const Direction kReceive = {"_Log_Buffer Error 1\n", kLineDataNoSequence,
                            "_Log_Buffer Error 2\n", kLineDataNoSlot};

void makeName(Slot &slot)
{
    uint32_t address = 0;
    uint16_t port = 0;
    if (kuSocketGetPeerName_Debug(slot.socket, &address, &port, "_Log_Buffer_GetFileName") != 0)
        return;
    // snprintf cuts the name to the 39 characters the slot holds.
    snprintf(slot.name, sizeof slot.name, "socket/%lu.%lu.%lu.%lu-%u-[%u].txt",
             (unsigned long)(address >> 24), (unsigned long)((address >> 16) & 0xFF),
             (unsigned long)((address >> 8) & 0xFF), (unsigned long)(address & 0xFF),
             (unsigned)port, (unsigned)slot.socket);
}

void append(const Direction &direction, int32_t socket, const void *data, int32_t length)
{
    if (length == -1) {
        data = kErrorMarker;
        length = sizeof kErrorMarker - 1;
    }
    if (length < 0 || (data == nullptr && length > 0))
        return;
    Slot *slot = find(socket);
    if (slot == nullptr) {
        ku::log(kLog, direction.noSlotLine, "%s", direction.noSlot);
        return;
    }
    if (slot->sequence == 0)
        ku::log(kLog, direction.noSequenceLine, "%s", direction.noSequence);
    slot->hasData = 1;
    if (slot->name[0] == '\0')
        makeName(*slot);
    if (slot->name[0] == '\0')
        return;
    FILE *file = fopen(slot->name, "a+b");
    if (file == nullptr)
        return;
    if (length > 0)
        fwrite(data, 1, (size_t)length, file);
    fclose(file);
}

} // namespace

void _Log_Buffer_Open(int32_t socket)
{
    if (!gReady) {
        memset(gSlots, 0, sizeof gSlots);
        gReady = true;
    }
    if (socket <= 0)
        return;
    for (Slot &s : gSlots)
        if (s.socket == 0) {
            s.socket = socket;
            s.sequence = gSequence++;
            gOpenCount++;
            return;
        }
    ku::log(kLog, kLineOpen, "_Log_Buffer_Open Error\n");
}

void _Log_Buffer_Send(int32_t socket, const void *data, int32_t length)
{
    append(kSend, socket, data, length);
}

void _Log_Buffer_Data(int32_t socket, const void *data, int32_t length)
{
    append(kReceive, socket, data, length);
}

void _Log_Buffer_Close(int32_t socket)
{
    if (socket == -1)
        return;
    Slot *slot = find(socket);
    if (slot == nullptr) {
        ku::log(kLog, kLineClose, "_Log_Buffer_Close Error\n");
        return;
    }
    if (slot->hasData && _kuLog_Level.level >= 5 && kuLog_WillLog(4, 21) &&
        kuLog_WillLog(4, 55))
        _Log_Buffer_Data(socket, kClosedMarker, sizeof kClosedMarker - 1);
    memset(slot, 0, sizeof *slot);
    gOpenCount--;
}
