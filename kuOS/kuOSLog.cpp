// Log records: one line per record, to stderr or to $KUOS_LOG_FILE.
#include <kuLog/Log.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

kuLogLevel _kuLog_Level = {0, 0};

namespace {

constexpr size_t kTextMax = 4096;

struct ThreadRecord {
    kuLogRecord record;
    int open;
    int severity;
    int module;
    size_t length;
    char text[kTextMax];
};

__thread ThreadRecord tRecord;

__attribute__((constructor)) void readLevelFromEnvironment()
{
    const char *text = getenv("KUOS_LOG_LEVEL");
    if (text == nullptr)
        return;
    char *end = nullptr;
    unsigned long value = strtoul(text, &end, 10);
    if (end != text)
        _kuLog_Level.level = value > 0xFFFF ? 0xFFFF : (uint16_t)value;
}

void writeAll(int fd, const char *data, size_t length)
{
    while (length > 0) {
        ssize_t n = write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += n;
        length -= (size_t)n;
    }
}

} // namespace

int kuLog_WillLog(int severity, int module)
{
    (void)module;
    return severity < (int)_kuLog_Level.level;
}

kuLogRecord *kuLog_Begin(int severity, int module)
{
    if (!kuLog_WillLog(severity, module))
        return nullptr;
    ThreadRecord &r = tRecord;
    r.record.platform = ((uint32_t)(severity & 0xFFFF) << 16) | (uint32_t)(module & 0xFFFF);
    r.record.source = nullptr;
    r.record.line = 0;
    r.open = 1;
    r.severity = severity;
    r.module = module;
    r.length = 0;
    r.text[0] = '\0';
    return &r.record;
}

void kuLog_Append_VF(const char *format, va_list arguments)
{
    ThreadRecord &r = tRecord;
    if (!r.open || format == nullptr)
        return;
    size_t room = kTextMax - r.length;
    if (room <= 1)
        return;
    int n = vsnprintf(r.text + r.length, room, format, arguments);
    if (n < 0)
        return;
    r.length += (size_t)n < room ? (size_t)n : room - 1;
}

void kuLog_Append_F(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    kuLog_Append_VF(format, arguments);
    va_end(arguments);
}

void kuLog_End(kuLogRecord *record)
{
    ThreadRecord &r = tRecord;
    if (record == nullptr || record != &r.record || !r.open)
        return;
    r.open = 0;

    // Header, text and the final newline go out in one write so that records
    // of several threads or processes never interleave inside a line.
    char line[kTextMax + 256];
    int head = snprintf(line, sizeof line - kTextMax - 2, "KU %d %d %s:%d: ", r.severity,
                        r.module, record->source ? record->source : "?", (int)record->line);
    if (head < 0)
        return;
    size_t at = (size_t)head < sizeof line - kTextMax - 2 ? (size_t)head
                                                            : sizeof line - kTextMax - 3;
    memcpy(line + at, r.text, r.length);
    at += r.length;
    if (r.length == 0 || r.text[r.length - 1] != '\n')
        line[at++] = '\n';

    const char *path = getenv("KUOS_LOG_FILE");
    if (path != nullptr && *path != '\0') {
        int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            writeAll(fd, line, at);
            close(fd);
            return;
        }
    }
    writeAll(STDERR_FILENO, line, at);
}
