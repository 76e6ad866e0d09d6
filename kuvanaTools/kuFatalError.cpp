// The fatal-error path and the assertion entry point.
#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/private/kuLogInternal.h>
#include <platform/kuOSSystem.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

namespace {

kuFatalErrorCallBack gCallBack = nullptr;

// Every record of this module names the same source and line.
constexpr ku::LogSource kLog = {ku::kLogFatal, "kuLog/Log"};
constexpr int kLine = 449;

__attribute__((format(printf, 1, 2))) void logFatal(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    ku::logv(kLog, kLine, format, arguments);
    va_end(arguments);
}

bool isMemoryReason(const char *reason)
{
    static const char *const kReasons[] = {"memory:malloc", "memory:realloc", "memory:strdup",
                                           "memory:wcsdup"};
    for (const char *known : kReasons)
        if (strcmp(reason, known) == 0)
            return true;
    return false;
}

} // namespace

void kuFatalError(const char *reason, ...)
{
    const char *shown = reason != nullptr ? reason : "unknown reason";
    puts("kuFatalError");
    printf("kuFatalError: %s", shown);
    logFatal("Fatal Error '%s'", shown);

    va_list arguments;
    va_start(arguments, reason);
    if (reason != nullptr && isMemoryReason(reason)) {
        unsigned long size = va_arg(arguments, unsigned long);
        printf(" (size=%lu)\n", size);
        logFatal(" (size=%lu)\n", size);
    } else if (reason != nullptr && strcmp(reason, "assert") == 0) {
        const char *expression = va_arg(arguments, const char *);
        printf(" (reason='%s')\n", expression);
        logFatal(" (reason='%s')\n", expression);
    } else {
        putchar('\n');
        logFatal("\n");
    }
    va_end(arguments);
    // _exit below discards stdio buffers: push the two lines out now, so they
    // reach a pipe or a file and not only a terminal.
    fflush(stdout);

    kuDebug_BackTraceCurrent(0);
    if (gCallBack != nullptr)
        gCallBack(reason);
    _exit(-1);
}

void kuFatalError_SetCallBack(kuFatalErrorCallBack callback)
{
    gCallBack = callback;
}

void _kuAssert(const char *expression, const char *file, int line)
{
    logFatal("ASSERTION FAILED: '%s' in file '%s' at line '%d'\n", expression, file, line);
    kuDebug_Break("Assertion failed");
    kuFatalError("assert", expression);
}

int kuBackTrace_Current(intptr_t argument)
{
    return kuDebug_BackTraceCurrent(argument);
}
