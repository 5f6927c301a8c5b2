#include "registry_fixture.h"

#include <algorithm>
#include <cstdio>

bool RegCreatePath(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegCreateKeyA(root, path.c_str(), &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

static bool WriteValue(HKEY root, const std::string &path, const char *name, DWORD type, const void *data,
                       DWORD size)
{
    HKEY key;
    if (RegCreateKeyA(root, path.c_str(), &key) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool RegWriteString(HKEY root, const std::string &path, const char *name, const std::string &value)
{
    return WriteValue(root, path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool RegWriteDword(HKEY root, const std::string &path, const char *name, DWORD value)
{
    return WriteValue(root, path, name, REG_DWORD, &value, sizeof value);
}

bool RegWriteBinary(HKEY root, const std::string &path, const char *name, const std::vector<unsigned char> &data)
{
    return WriteValue(root, path, name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

bool RegKeyExists(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool RegReadValue(HKEY root, const std::string &path, const char *name, std::vector<unsigned char> *data,
                  DWORD *type)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0, t = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &t, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        data->assign(size, 0);
        rc = RegQueryValueExA(key, name, nullptr, &t, size ? data->data() : nullptr, &size);
        data->resize(size);
    }
    RegCloseKey(key);
    if (type)
        *type = t;
    return rc == ERROR_SUCCESS;
}

bool RegValueExists(HKEY root, const std::string &path, const char *name)
{
    std::vector<unsigned char> data;
    return RegReadValue(root, path, name, &data);
}

std::string RegReadString(HKEY root, const std::string &path, const char *name)
{
    std::vector<unsigned char> data;
    if (!RegReadValue(root, path, name, &data))
        return std::string();
    std::string text(data.begin(), data.end());
    size_t nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

bool RegReadDword(HKEY root, const std::string &path, const char *name, DWORD *value)
{
    std::vector<unsigned char> data;
    if (!RegReadValue(root, path, name, &data) || data.size() != 4)
        return false;
    *value = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24);
    return true;
}

std::vector<std::string> RegSubkeys(HKEY root, const std::string &path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[MAX_PATH];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
        names.push_back(name);
    RegCloseKey(key);
    return names;
}

std::vector<std::string> RegValueNames(HKEY root, const std::string &path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

void RegRemoveTree(HKEY root, const std::string &path)
{
    for (const std::string &child : RegSubkeys(root, path))
        RegRemoveTree(root, path + "\\" + child);
    RegDeleteKeyA(root, path.c_str());
}

// Each key is opened once and read with as few calls as its values and subkeys allow: a
// snapshot walks thousands of keys (all of CLSID), and in the emulated machine every call
// to the registry is a costly round trip.
static void Snapshot(HKEY key, const std::string &path, std::vector<std::string> *lines)
{
    lines->push_back("K " + path);
    DWORD longestName = 0, longestData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<char> name(longestName + 1);
    std::vector<unsigned char> data(longestData + 1);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS)
            break;
        std::string line = "V " + path + "\\" + std::string(name.data(), nameSize) + " " + std::to_string(type) + " ";
        char hex[4];
        for (DWORD b = 0; b < dataSize; ++b) {
            std::snprintf(hex, sizeof hex, "%02X", data[b]);
            line += hex;
        }
        lines->push_back(line);
    }
    char child[MAX_PATH];
    for (DWORD i = 0; RegEnumKeyA(key, i, child, sizeof child) == ERROR_SUCCESS; ++i) {
        HKEY sub;
        if (RegOpenKeyExA(key, child, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            Snapshot(sub, path + "\\" + child, lines);
            RegCloseKey(sub);
        }
    }
}

std::vector<std::string> RegSnapshot(HKEY root, const std::string &path)
{
    std::vector<std::string> lines;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        Snapshot(key, path, &lines);
        RegCloseKey(key);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}
