#include "registration.h"

#include <windows.h>

const char kHandlersKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers";
const char kUtilityHandlerKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\ZANUTL";
const char kUtilityClassId[] = "{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}";
const char kUtilityClassKey[] = "SOFTWARE\\Classes\\CLSID\\{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}";

namespace {

bool SetText(const std::string &path, const char *name, const std::string &value)
{
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

std::string ReadText(const std::string &path, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    char value[1024];
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return "";
    value[size < sizeof value ? size : sizeof value - 1] = '\0';
    return value;
}

void DeleteTree(const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[256];
    while (RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS) {
        std::string sub = path + "\\" + name;
        DeleteTree(sub);
        HKEY check;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sub.c_str(), 0, KEY_READ, &check) == ERROR_SUCCESS) {
            RegCloseKey(check);
            break;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

} // namespace

bool WriteServerRegistration(const std::string &dllPath)
{
    std::string server = std::string(kUtilityClassKey) + "\\InProcServer32";
    return SetText(kUtilityHandlerKey, nullptr, kUtilityClassId) &&
           SetText(kUtilityClassKey, nullptr, "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ") && SetText(server, nullptr, dllPath) &&
           SetText(server, "ThreadingModel", "Apartment");
}

void RemoveServerRegistration()
{
    DeleteTree(kUtilityHandlerKey);
    DeleteTree(kUtilityClassKey);
}

std::vector<Handler> ListHandlers()
{
    std::vector<Handler> handlers;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHandlersKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return handlers;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        Handler handler;
        handler.name = name;
        handler.classId = ReadText(std::string(kHandlersKey) + "\\" + name, nullptr);
        if (handler.classId.empty() && name[0] == '{')
            handler.classId = name;
        handlers.push_back(handler);
    }
    RegCloseKey(key);
    return handlers;
}

std::string ServerPathOf(const std::string &classId)
{
    return ReadText("SOFTWARE\\Classes\\CLSID\\" + classId + "\\InProcServer32", nullptr);
}

