#include "file_fixture.h"

#include <windows.h>

#include <cstdio>

std::string WindowsDir()
{
    char dir[MAX_PATH];
    UINT n = GetWindowsDirectoryA(dir, sizeof dir);
    return std::string(dir, n);
}

std::string SystemDir()
{
    char dir[MAX_PATH];
    UINT n = GetSystemDirectoryA(dir, sizeof dir);
    return std::string(dir, n);
}

bool WriteFileBytes(const std::string &path, const std::string &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool ReadFileBytes(const std::string &path, std::string *bytes)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bytes->clear();
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->append(chunk, n);
    std::fclose(f);
    return true;
}

bool FileExists(const std::string &path)
{
    DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string &path)
{
    DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirs(const std::string &path)
{
    // By character: the second byte of "表" or "ソ" is that of a backslash.
    for (const char *c = path.c_str() + 3;; c = CharNextA(c)) {
        if (!*c || *c == '\\') {
            std::string part = path.substr(0, static_cast<size_t>(c - path.c_str()));
            if (!DirExists(part) && !CreateDirectoryA(part.c_str(), nullptr))
                return false;
        }
        if (!*c)
            return true;
    }
}

std::string ShortPath(const std::string &path)
{
    char shortPath[MAX_PATH];
    DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    return n > 0 && n < sizeof shortPath ? std::string(shortPath) : std::string();
}

void RemovePath(const std::string &path)
{
    DWORD attr = GetFileAttributesA(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attr & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..")
                RemovePath(path + "\\" + name);
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}
