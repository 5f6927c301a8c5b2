#include "host_log.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string>

namespace {
std::string logPath;
}

void SetLogFile(const char *path)
{
    logPath = path ? path : "";
}

void LogLine(const char *format, ...)
{
    if (logPath.empty())
        return;
    char line[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // Opened per line, so that what was written survives a crash of the page under test.
    FILE *file = fopen(logPath.c_str(), "ab");
    if (!file)
        return;
    fprintf(file, "%s\r\n", line);
    fclose(file);
}
