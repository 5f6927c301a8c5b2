#include "device_map.h"

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

void **ImportSlot(HMODULE module, const char *dll, const char *function)
{
    BYTE *base = reinterpret_cast<BYTE *>(module);
    IMAGE_NT_HEADERS *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + reinterpret_cast<IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return nullptr;
    for (IMAGE_IMPORT_DESCRIPTOR *d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
         d->Name; ++d) {
        if (_stricmp(reinterpret_cast<const char *>(base + d->Name), dll) != 0)
            continue;
        IMAGE_THUNK_DATA *names =
            reinterpret_cast<IMAGE_THUNK_DATA *>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        IMAGE_THUNK_DATA *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME *byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char *>(byName->Name), function) == 0)
                return reinterpret_cast<void **>(&slots->u1.Function);
        }
    }
    return nullptr;
}

} // namespace

bool ServeVideoDevice(HMODULE module, const std::string &path)
{
    void **slot = module ? ImportSlot(module, "ADVAPI32.dll", "RegQueryValueExA") : nullptr;
    if (!slot)
        return false;
    videoDevice = path;
    DWORD old;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    if (*slot != reinterpret_cast<void *>(QueryValueWithVideoDevice)) {
        realQueryValue = reinterpret_cast<QueryValueProc>(*slot);
        *slot = reinterpret_cast<void *>(QueryValueWithVideoDevice);
    }
    VirtualProtect(slot, sizeof *slot, old, &old);
    return true;
}
