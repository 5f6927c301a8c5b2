// Windows NT's device map entry of the first video device, as the server module reads it.
// Wine rewrites the real entry ("HARDWARE\DEVICEMAP\VIDEO" "\Device\Video0") whenever a
// program uses the display, so the host answers the module's own queries for that value
// through the module's registry import instead (the module itself stays as it is).
#ifndef DEVICE_MAP_H
#define DEVICE_MAP_H

#include <windows.h>

#include <string>

// false when the module does not import RegQueryValueExA.
bool ServeVideoDevice(HMODULE module, const std::string &path);

#endif
