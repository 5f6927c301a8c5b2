// File fixtures for tests, in the prefix's Windows directory or anywhere else.
#ifndef FILE_FIXTURE_H
#define FILE_FIXTURE_H

#include <string>

std::string WindowsDir();  // GetWindowsDirectoryA, no trailing backslash
std::string SystemDir();
bool WriteFileBytes(const std::string &path, const std::string &bytes);
bool ReadFileBytes(const std::string &path, std::string *bytes);
bool FileExists(const std::string &path);
bool DirExists(const std::string &path);
// Creates every missing directory along the path.
bool MakeDirs(const std::string &path);
// The short (8.3) form of an existing path; empty when there is none.
std::string ShortPath(const std::string &path);
// Removes a file, or a directory with everything in it; missing is fine.
void RemovePath(const std::string &path);

#endif
