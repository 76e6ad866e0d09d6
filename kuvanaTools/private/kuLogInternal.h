// Log records of the library: severity 1, written only at level 2 and up.
//
// Every record goes through ku::log (or ku::logv with a va_list). A file names
// where its records come from once, e.g.
//     constexpr ku::LogSource kLog = {ku::kLogINIFile, "kuvanaTools/kuINIFile"};
// and passes either __LINE__ or, where readers of the log expect a fixed line,
// a named constant.
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

// The module number and source name a file's records carry.
struct LogSource {
    int module;
    const char *name;
};

inline void logv(const LogSource &source, int line, const char *format, va_list arguments)
{
    if (_kuLog_Level.level < 2)
        return;
    kuLogRecord *record = kuLog_Begin(1, source.module);
    if (record == nullptr)
        return;
    record->source = source.name;
    record->line = line;
    kuLog_Append_VF(format, arguments);
    kuLog_End(record);
}

__attribute__((format(printf, 3, 4))) inline void log(const LogSource &source, int line,
                                                     const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    logv(source, line, format, arguments);
    va_end(arguments);
}

} // namespace ku

#endif
