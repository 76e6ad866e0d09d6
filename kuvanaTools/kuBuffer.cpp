// Growable byte buffer.
#include <kuvanaTools/kuBuffer.h>
#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>

#include <stddef.h>
#include <string.h>

static_assert(offsetof(kuBuffer, capacity) == sizeof(void *) &&
                  offsetof(kuBuffer, size) == sizeof(void *) + 4,
              "pointer, then two 32-bit sizes");

namespace {

uint32_t appendFormatted(kuBuffer *buffer, const char *format, uint32_t value)
{
    char scratch[12];
    int n = ku_snprintf(scratch, sizeof scratch, format, (unsigned long)value);
    if (n < 0)
        return buffer->size;
    return kuBuffer_Append(buffer, scratch, (size_t)n);
}

} // namespace

kuBuffer *kuBuffer_New(uint32_t capacity)
{
    kuBuffer *buffer = (kuBuffer *)kuMalloc(sizeof(kuBuffer));
    buffer->bytes = kuMalloc(capacity);
    buffer->capacity = capacity;
    buffer->size = 0;
    return buffer;
}

void kuBuffer_Delete(kuBuffer *buffer)
{
    if (buffer == nullptr)
        return;
    kuFree(buffer->bytes);
    kuFree(buffer);
}

void *kuBuffer_Realloc(kuBuffer *buffer, uint32_t capacity)
{
    buffer->bytes = kuRealloc(buffer->bytes, capacity);
    buffer->capacity = capacity;
    if (buffer->size > capacity)
        buffer->size = capacity;
    return buffer->bytes;
}

uint32_t kuBuffer_Append(kuBuffer *buffer, const void *bytes, size_t n)
{
    if (bytes == nullptr)
        n = 0;
    uint64_t newSize = (uint64_t)buffer->size + n;
    if (newSize > UINT32_MAX)
        kuFatalError("memory:realloc", (unsigned long)newSize);
    // Equality grows too, which keeps a spare byte after fresh data.
    if (newSize >= buffer->capacity) {
        uint64_t capacity = 2 * newSize;
        kuBuffer_Realloc(buffer, capacity > UINT32_MAX ? UINT32_MAX : (uint32_t)capacity);
    }
    if (n > 0)
        memcpy((char *)buffer->bytes + buffer->size, bytes, n);
    buffer->size = (uint32_t)newSize;
    return buffer->size;
}

uint32_t kuBuffer_AppendStr(kuBuffer *buffer, const char *text)
{
    if (text == nullptr)
        return buffer->size;
    return kuBuffer_Append(buffer, text, strlen(text));
}

uint32_t kuBuffer_AppendUInt32(kuBuffer *buffer, uint32_t value)
{
    return appendFormatted(buffer, "%lu", value);
}

uint32_t kuBuffer_AppendUInt32Hex(kuBuffer *buffer, uint32_t value)
{
    return appendFormatted(buffer, "%08lX", value);
}

void *kuBuffer_TakeOwnership(kuBuffer *buffer, int shrink, uint32_t *size)
{
    if (shrink != 0)
        kuBuffer_Realloc(buffer, buffer->size);
    void *block = buffer->bytes;
    if (size != nullptr)
        *size = buffer->size;
    buffer->bytes = nullptr;
    buffer->capacity = 0;
    buffer->size = 0;
    return block;
}
