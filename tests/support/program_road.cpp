#include "program_road.h"

#include <windows.h>

#include <cstring>

ProgramRoadKind ProgramRoad()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return kRoadWin98;
    const char *dot = std::strrchr(path, '.');
    size_t end = dot ? static_cast<size_t>(dot - path) : n;
    auto endsWith = [&](const char *suffix) {
        size_t length = std::strlen(suffix);
        return end >= length && _strnicmp(path + end - length, suffix, length) == 0;
    };
    if (endsWith("_win95"))
        return kRoadWin95;
    return endsWith("_nt") ? kRoadNt : kRoadWin98;
}
