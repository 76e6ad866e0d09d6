// Log records of the library: severity 1, written only at level 2 and up.
#ifndef KUVANATOOLS_PRIVATE_KULOGINTERNAL_H
#define KUVANATOOLS_PRIVATE_KULOGINTERNAL_H

#include <kuLog/Log.h>
#include <stdarg.h>

namespace ku {

// Module numbers of the records.
enum LogModule {
    kLogFatal = 0, // fatal errors, assertions, hooks
    kLogINIFile = 23,
    kLogConfigFile = 26,
    kLogSocketLog = 55,
    kLogTime = 58,
    kLogTelnet = 92,
    kLogPackedData = 99
};

inline bool logEnabled()
{
    return _kuLog_Level.level >= 2;
}

inline void logv(int module, const char *source, int line, const char *format, va_list arguments)
{
    if (!logEnabled())
        return;
    kuLogRecord *record = kuLog_Begin(1, module);
    if (record == nullptr)
        return;
    record->source = source;
    record->line = line;
    kuLog_Append_VF(format, arguments);
    kuLog_End(record);
}

__attribute__((format(printf, 4, 5))) inline void logf(int module, const char *source, int line,
                                                      const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    logv(module, source, line, format, arguments);
    va_end(arguments);
}

} // namespace ku

#endif
