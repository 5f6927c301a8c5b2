#include "board_registry.h"

#include "registry_fixture.h"

const char kBoardDevice[] = "VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01";
const char kBoardInstance[] = "BUS_00&DEV_13&FUNC_00";

std::string HardwareName(const std::string &device, const std::string &instance)
{
    return "PCI\\" + device + "\\" + instance;
}

std::string UtilityPath(const std::string &driver)
{
    return "System\\CurrentControlSet\\Services\\Class\\" + driver + "\\UTILITY";
}

std::string MarkerOf(HKEY key)
{
    char text[256];
    DWORD size = sizeof text - 1;
    if (RegQueryValueExA(key, "Marker", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size) != ERROR_SUCCESS)
        return "";
    text[size] = '\0';
    return text;
}

void BoardRegistry::AddInstance(const std::string &device, const std::string &instance, const char *className,
                                const char *maker, const char *driver)
{
    std::string path = "Enum\\PCI\\" + device + "\\" + instance;
    RegCreatePath(HKEY_LOCAL_MACHINE, path);
    written_.push_back({HKEY_LOCAL_MACHINE, "Enum\\PCI\\" + device});
    if (className)
        RegWriteString(HKEY_LOCAL_MACHINE, path, "Class", className);
    if (maker)
        RegWriteString(HKEY_LOCAL_MACHINE, path, "Mfg", maker);
    if (driver)
        RegWriteString(HKEY_LOCAL_MACHINE, path, "Driver", driver);
}

void BoardRegistry::AddPresent(const std::string &entry, const std::string &hardwareKey)
{
    std::string path = "Config Manager\\Enum\\" + entry;
    RegWriteString(HKEY_DYN_DATA, path, "HardWareKey", hardwareKey);
    written_.push_back({HKEY_DYN_DATA, path});
}

void BoardRegistry::AddDriverKey(const std::string &driver)
{
    std::string path = "System\\CurrentControlSet\\Services\\Class\\" + driver;
    RegWriteString(HKEY_LOCAL_MACHINE, path, "DriverDesc", "test driver");
    written_.push_back({HKEY_LOCAL_MACHINE, path});
}

std::string BoardRegistry::AddUtilityKey(const std::string &driver)
{
    AddDriverKey(driver);
    RegWriteString(HKEY_LOCAL_MACHINE, UtilityPath(driver), "Marker", driver);
    return UtilityPath(driver);
}

void BoardRegistry::SetUtilityDword(const std::string &driver, const char *name, DWORD value)
{
    RegWriteDword(HKEY_LOCAL_MACHINE, UtilityPath(driver), name, value);
}

void BoardRegistry::AddStandardBoard(const char *driver)
{
    AddInstance(kBoardDevice, kBoardInstance, "DISPLAY", "ZANRO INC.", driver);
    AddPresent("C29A3C40", HardwareName(kBoardDevice, kBoardInstance));
    AddUtilityKey(driver);
    SetUtilityDword(driver, "555or565", 1);
}

void BoardRegistry::RemoveAll()
{
    for (auto it = written_.rbegin(); it != written_.rend(); ++it)
        RegRemoveTree(it->first, it->second);
    written_.clear();
}
