// The registry of a Windows 95/98 machine with display adapters, as tests need it for
// adapter identification: PCI instances, their entries in the current configuration and
// their drivers' "UTILITY" keys. Everything written is remembered and taken away again by
// RemoveAll (also from the destructor).
#ifndef BOARD_REGISTRY_H
#define BOARD_REGISTRY_H

#include <windows.h>

#include <string>
#include <vector>

extern const char kBoardDevice[];     // the board's device key below "Enum\PCI"
extern const char kBoardInstance[];

class BoardRegistry {
public:
    ~BoardRegistry() { RemoveAll(); }

    // "Enum\PCI\<device>\<instance>" with the three values; a null text leaves it out.
    void AddInstance(const std::string &device, const std::string &instance, const char *className,
                     const char *maker, const char *driver);
    // "Config Manager\Enum\<entry>" naming hardwareKey (as "PCI\<device>\<instance>").
    void AddPresent(const std::string &entry, const std::string &hardwareKey);
    // "System\CurrentControlSet\Services\Class\<driver>\UTILITY" with "Marker" = driver.
    std::string AddUtilityKey(const std::string &driver);
    // Only the driver's key, without "UTILITY".
    void AddDriverKey(const std::string &driver);
    void SetUtilityDword(const std::string &driver, const char *name, DWORD value);

    // The board as its installer leaves it: instance, present, UTILITY with "555or565" = 1.
    void AddStandardBoard(const char *driver = "DISPLAY\\0001");

    void RemoveAll();

private:
    std::vector<std::pair<HKEY, std::string>> written_;
};

std::string HardwareName(const std::string &device, const std::string &instance);
std::string UtilityPath(const std::string &driver);
// The "Marker" text of an open key; empty when it has none.
std::string MarkerOf(HKEY key);

#endif
