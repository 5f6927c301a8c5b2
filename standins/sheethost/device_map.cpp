#include "device_map.h"

#include "import_patch.h"

#include <string.h>

namespace {

typedef LONG(WINAPI *QueryValueProc)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
QueryValueProc realQueryValue;
std::string videoDevice;

LONG WINAPI QueryValueWithVideoDevice(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                      LPDWORD size)
{
    if (!name || _stricmp(name, "\\Device\\Video0") != 0)
        return realQueryValue(key, name, reserved, type, data, size);
    DWORD needed = static_cast<DWORD>(videoDevice.size() + 1);
    if (type)
        *type = REG_SZ;
    if (!size)
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data)
        memcpy(data, videoDevice.c_str(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

} // namespace

bool ServeVideoDevice(HMODULE module, const std::string &path)
{
    void *serve = reinterpret_cast<void *>(QueryValueWithVideoDevice);
    void *previous = PatchImport(module, "ADVAPI32.dll", "RegQueryValueExA", serve);
    if (!previous)
        return false;
    videoDevice = path;
    // Served a second time, the entry already leads here and the real function stays known.
    if (previous != serve)
        realQueryValue = reinterpret_cast<QueryValueProc>(previous);
    return true;
}
