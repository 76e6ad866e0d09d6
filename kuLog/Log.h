/*
 * Log records of the platform layer.
 *
 * A record is opened with kuLog_Begin, filled by the caller (source name and
 * line) and with text by kuLog_Append_F / kuLog_Append_VF, and emitted by
 * kuLog_End. Our POSIX platform layer writes each record as one line
 *
 *     KU <severity> <module> <source>:<line>: <text>
 *
 * to standard error, or appends it to the file named by the environment
 * variable KUOS_LOG_FILE (looked up for every record, so a process may
 * redirect its log at any time). The text keeps its own final newline; one is
 * added when it has none. Text is formatted with the C library's vsnprintf.
 */
#ifndef KULOG_LOG_H
#define KULOG_LOG_H

#include <stdarg.h>
#include <platform/kuOSDefs.h>

KUOS_BEGIN_DECLS

/* Global verbosity. The first 16-bit value is the level, set when the platform
 * layer is loaded from KUOS_LOG_LEVEL (decimal, default 0). The library writes
 * records only when the level is at least 2; a program may change it at any
 * time. */
typedef struct kuLogLevel {
    uint16_t level;
    uint16_t reserved;
} kuLogLevel;

extern KUOS_API kuLogLevel _kuLog_Level;

/* The record returned by kuLog_Begin. The first word belongs to the platform
 * layer; the caller sets source and line before kuLog_End. */
typedef struct kuLogRecord {
    uint32_t platform;
    const char *source;
    int32_t line;
} kuLogRecord;

/* Non-zero when a record of this severity and module would be emitted: the
 * severity is below the global level. The module is not filtered. */
KUOS_API int kuLog_WillLog(int severity, int module);

/* Opens a record for the calling thread, or returns null when nothing would be
 * emitted (kuLog_WillLog is zero) or no memory is left. A thread has at most
 * one open record; opening another discards the text of the previous one. */
KUOS_API kuLogRecord *kuLog_Begin(int severity, int module);

/* Append formatted text to the calling thread's open record; without one they
 * do nothing. The text of a record is cut at 4095 bytes. */
KUOS_API void kuLog_Append_F(const char *format, ...)
    __attribute__((format(printf, 1, 2)));
/* kuLog_Append_F with a va_list. */
KUOS_API void kuLog_Append_VF(const char *format, va_list arguments)
    __attribute__((format(printf, 1, 0)));

/* Emits and releases the record. Null does nothing. */
KUOS_API void kuLog_End(kuLogRecord *record);

KUOS_END_DECLS

#endif /* KULOG_LOG_H */
