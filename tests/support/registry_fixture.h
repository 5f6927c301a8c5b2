// Registry fixtures for tests: write, read and remove keys under any root
// (HKEY_LOCAL_MACHINE, HKEY_DYN_DATA, ...). Paths use backslashes, no leading one.
#ifndef REGISTRY_FIXTURE_H
#define REGISTRY_FIXTURE_H

#include <windows.h>

#include <string>
#include <vector>

bool RegCreatePath(HKEY root, const std::string &path);
bool RegWriteString(HKEY root, const std::string &path, const char *name, const std::string &value);
bool RegWriteDword(HKEY root, const std::string &path, const char *name, DWORD value);
bool RegWriteBinary(HKEY root, const std::string &path, const char *name, const std::vector<unsigned char> &data);

bool RegKeyExists(HKEY root, const std::string &path);
bool RegValueExists(HKEY root, const std::string &path, const char *name);
// Reads a value whatever its type; false when the key or value is missing.
bool RegReadValue(HKEY root, const std::string &path, const char *name, std::vector<unsigned char> *data,
                  DWORD *type = nullptr);
// REG_SZ text up to its first NUL; empty when missing.
std::string RegReadString(HKEY root, const std::string &path, const char *name);
bool RegReadDword(HKEY root, const std::string &path, const char *name, DWORD *value);

std::vector<std::string> RegSubkeys(HKEY root, const std::string &path);
std::vector<std::string> RegValueNames(HKEY root, const std::string &path);
// Removes a key with everything below it; a missing key is fine.
void RegRemoveTree(HKEY root, const std::string &path);

// Everything below a key, for before/after comparisons: one line per key ("K path") and
// per value ("V path\name type hex-bytes"), sorted.
std::vector<std::string> RegSnapshot(HKEY root, const std::string &path);

#endif
