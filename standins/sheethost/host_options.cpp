#include "host_options.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

bool ParseNumber(const char *text, DWORD *value)
{
    char *end;
    unsigned long v = strtoul(text, &end, 0);
    if (!*text || *end)
        return false;
    *value = static_cast<DWORD>(v);
    return true;
}

// "BITS,WIDTH,HEIGHT,FREQUENCY"
bool ParseMode(const char *text, DWORD mode[4])
{
    unsigned a, b, c, d;
    char rest;
    if (sscanf(text, "%u,%u,%u,%u%c", &a, &b, &c, &d, &rest) != 4)
        return false;
    mode[0] = a;
    mode[1] = b;
    mode[2] = c;
    mode[3] = d;
    return true;
}

// "FLAGS=RESULT", e.g. 2=1 (CDS_TEST answers DISP_CHANGE_RESTART) or 0x80000002=-1.
bool ParseChange(const char *text, ChangeRule *rule)
{
    const char *equals = strchr(text, '=');
    if (!equals)
        return false;
    std::string flags(text, equals);
    char *end;
    long result = strtol(equals + 1, &end, 0);
    if (!equals[1] || *end)
        return false;
    rule->result = result;
    return ParseNumber(flags.c_str(), &rule->flags);
}

} // namespace

void PrintHostUsage()
{
    fprintf(stderr,
        "usage: sheethost [options]\n"
        "Plays the Display properties sheet: registers the server, creates its extension with\n"
        "CoCreateInstance, collects the pages of AddPages beside a system settings page and\n"
        "shows them in the sheet \"画面のプロパティ\".\n"
        "  --dll PATH            server module (default ZANUTL.DLL of the build beside the host)\n"
        "  --no-register         use the handler and class keys as they are\n"
        "  --keep-registration   leave the keys written at start in place\n"
        "  --log FILE            append a record of events to FILE\n"
        "  --no-sim              no simulated board driver (the real display)\n"
        "  --other-vendor        simulated driver without the board's private escape\n"
        "  --sim-current B,W,H,F mode in force\n"
        "  --sim-position N      position register (horizontal in the high 16 bits)\n"
        "  --sim-fixed           the mode in force allows no position adjustment\n"
        "  --sim-change F=R      ChangeDisplaySettingsA with flags F answers R (repeatable)\n"
        "  --sim-driver-key PATH driver key below HKLM the simulation reads; none: no key\n"
        "  --sim-log             record every call of the simulation in the log at the end\n"
        "  --no-system-page      only the extension's pages\n"
        "  --system-title TEXT   title of the system settings page (default ﾃﾞｨｽﾌﾟﾚｲの詳細)\n"
        "  --refuse-pages        the add-page callback refuses every page\n"
        "  --video-device PATH   Windows NT: the server reads PATH as the device map's\n"
        "                        \"\\Device\\Video0\" (Wine keeps rewriting the real one)\n"
        "  --start-page N        page shown first (default 0, the system page)\n"
        "  --do SCRIPT           timed steps \"MS ACTION [ARGS]; ...\" (see sheet_script.h)\n"
        "  --timeout MS          cancel the sheet after MS (default 60000; 0: never)\n");
}

bool ParseHostOptions(int argc, char **argv, HostOptions *options)
{
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool needsValue = option == "--dll" || option == "--log" || option == "--sim-current" ||
                          option == "--sim-position" || option == "--sim-change" || option == "--sim-driver-key" ||
                          option == "--system-title" || option == "--start-page" || option == "--do" ||
                          option == "--video-device" ||
                          option == "--timeout";
        if (needsValue && !value) {
            fprintf(stderr, "sheethost: %s needs a value\n", option.c_str());
            return false;
        }
        bool ok = true;
        if (option == "--dll")
            options->dllPath = value;
        else if (option == "--no-register")
            options->registerServer = false;
        else if (option == "--keep-registration")
            options->keepRegistration = true;
        else if (option == "--log")
            options->logPath = value;
        else if (option == "--no-sim")
            options->simulate = false;
        else if (option == "--other-vendor")
            options->otherVendor = true;
        else if (option == "--sim-current")
            ok = options->simCurrentSet = ParseMode(value, options->simCurrent);
        else if (option == "--sim-position")
            ok = options->simPositionSet = ParseNumber(value, &options->simPosition);
        else if (option == "--sim-fixed")
            options->simFixed = true;
        else if (option == "--sim-change") {
            ChangeRule rule;
            ok = ParseChange(value, &rule);
            if (ok)
                options->simChanges.push_back(rule);
        } else if (option == "--sim-driver-key")
            options->simDriverKey = strcmp(value, "none") == 0 ? "" : value;
        else if (option == "--sim-log")
            options->simLog = true;
        else if (option == "--no-system-page")
            options->systemPage = false;
        else if (option == "--system-title")
            options->systemTitle = value;
        else if (option == "--video-device")
            options->videoDevice = value;
        else if (option == "--refuse-pages")
            options->refusePages = true;
        else if (option == "--start-page") {
            DWORD page = 0;
            ok = ParseNumber(value, &page);
            options->startPage = static_cast<int>(page);
        } else if (option == "--do")
            options->script = value;
        else if (option == "--timeout")
            ok = ParseNumber(value, &options->timeoutMs);
        else {
            fprintf(stderr, "sheethost: unknown option %s\n", option.c_str());
            return false;
        }
        if (!ok) {
            fprintf(stderr, "sheethost: bad value for %s: %s\n", option.c_str(), value);
            return false;
        }
        if (needsValue)
            ++i;
    }
    return true;
}
