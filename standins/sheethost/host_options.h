// The sheet host's command line (see the usage text in host_options.cpp).
#ifndef HOST_OPTIONS_H
#define HOST_OPTIONS_H

#include <windows.h>

#include <string>
#include <vector>

struct ChangeRule {
    DWORD flags;
    LONG result;
};

struct HostOptions {
    std::string dllPath;             // server module to register; empty: beside the host's dist
    bool registerServer = true;      // write the handler and class keys at start
    bool keepRegistration = false;   // leave the keys written at start in place at the end
    std::string logPath;
    bool simulate = true;            // install the simulated board driver into the server
    bool otherVendor = false;        // the simulation answers no private escape
    bool simCurrentSet = false;
    DWORD simCurrent[4] = {0, 0, 0, 0};   // bits, width, height, frequency
    bool simPositionSet = false;
    DWORD simPosition = 0;
    bool simFixed = false;
    std::vector<ChangeRule> simChanges;
    std::string simDriverKey = "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\0001\\UTILITY";
    bool simLog = false;
    bool systemPage = true;
    std::string systemTitle = "ﾃﾞｨｽﾌﾟﾚｲの詳細";
    bool refusePages = false;        // the add-page callback refuses every page
    int startPage = 0;
    std::string videoDevice;         // Windows NT: device map entry to set before identification
    std::string script;
    DWORD timeoutMs = 60000;
};

// false (with the reason on stderr) when the command line is not understood.
bool ParseHostOptions(int argc, char **argv, HostOptions *options);
void PrintHostUsage();

#endif
