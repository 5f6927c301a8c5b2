// Plays the Control Panel's Display properties sheet for the display utility: finds the
// property-sheet handlers of "Display" in the registry, creates each through COM, lets it
// add its pages beside a system settings page, and shows them all in one sheet captioned
// "画面のプロパティ". Under Wine the board's display driver is simulated: right after COM
// has loaded a handler's module, the simulation takes over that module's display-driver
// imports (the module itself stays as it is). See host_options.cpp for the command line
// and sheet_script.h for scripted steps; --log records what happened.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>
#include <shlobj.h>

#include <stdio.h>
#include <string>
#include <vector>

#include "device_map.h"
#include "driver_sim.h"
#include "host_log.h"
#include "host_options.h"
#include "registration.h"
#include "sheet_script.h"
#include "system_page.h"

namespace {

const char kSheetCaption[] = "画面のプロパティ";
const int kMaxPages = 32;

struct PageList {
    HPROPSHEETPAGE pages[kMaxPages];
    int count;
    bool refuse;
};

struct LoadedHandler {
    std::string name;
    IShellPropSheetExt *extension;
    HMODULE module;
};

HostOptions options;
WNDPROC sheetOldProc;

BOOL CALLBACK AddPageCallback(HPROPSHEETPAGE page, LPARAM data)
{
    PageList *list = reinterpret_cast<PageList *>(data);
    if (list->refuse || list->count >= kMaxPages) {
        LogLine("page refused");
        return FALSE;
    }
    list->pages[list->count++] = page;
    LogLine("page added");
    return TRUE;
}

// Records the sheet messages that pages send to tell the sheet something.
LRESULT CALLBACK SheetSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case PSM_CHANGED:
        LogLine("sheet PSM_CHANGED");
        break;
    case PSM_UNCHANGED:
        LogLine("sheet PSM_UNCHANGED");
        break;
    case PSM_RESTARTWINDOWS:
        LogLine("sheet PSM_RESTARTWINDOWS");
        break;
    case PSM_REBOOTSYSTEM:
        LogLine("sheet PSM_REBOOTSYSTEM");
        break;
    case PSM_PRESSBUTTON:
        LogLine("sheet PSM_PRESSBUTTON %u", static_cast<unsigned>(wParam));
        break;
    default:
        break;
    }
    return CallWindowProcA(sheetOldProc, window, message, wParam, lParam);
}

void CALLBACK SheetShownTimer(HWND sheet, UINT, UINT_PTR id, DWORD)
{
    KillTimer(sheet, id);
    char caption[256] = "";
    GetWindowTextA(sheet, caption, sizeof caption);
    LogLine("sheet shown %s", caption);
    LogSheetTabs(sheet);
    StartSheetScript(sheet, options.timeoutMs);
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED) {
        sheetOldProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetSubclassProc)));
        // Once the sheet has finished its own setup, so that its tabs are all there.
        SetTimer(sheet, 1, 0, SheetShownTimer);
    }
    return 0;
}

std::string DefaultServerPath()
{
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (n == 0 || n >= sizeof exe)
        return "ZANUTL.DLL";
    std::string path(exe, n);
    path = path.substr(0, path.find_last_of('\\') + 1) + "..\\" ZAN_DIST_FOLDER "\\ZANUTL.DLL";
    char full[MAX_PATH];
    DWORD m = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return m > 0 && m < sizeof full ? std::string(full) : path;
}

void ConfigureSimulation()
{
    DriverSimReset();
    if (!options.simDriverKey.empty()) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, options.simDriverKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
            DriverSimUseDriverKey(HKEY_LOCAL_MACHINE, options.simDriverKey.c_str());
        }
    }
    if (options.otherVendor)
        DriverSimSetEscapeSupported(false);
    if (options.simCurrentSet) {
        SimMode mode = {options.simCurrent[0], options.simCurrent[1], options.simCurrent[2], options.simCurrent[3]};
        DriverSimSetCurrent(mode);
    }
    if (options.simPositionSet)
        DriverSimSetPosition(options.simPosition);
    if (options.simFixed)
        DriverSimSetAdjustable(false);
    for (const ChangeRule &rule : options.simChanges)
        DriverSimSetChangeResult(rule.flags, rule.result);
}

const char *CallKindName(SimCallKind kind)
{
    switch (kind) {
    case SIM_ENUM: return "enum";
    case SIM_CHANGE: return "change";
    case SIM_QUERYESCSUPPORT: return "queryescsupport";
    case SIM_ESCAPE_QUERY: return "query";
    case SIM_ESCAPE_SETPOSITION: return "setposition";
    case SIM_ESCAPE_OTHER: return "escape";
    }
    return "?";
}

void LogSimulationCalls()
{
    int count = DriverSimCallCount();
    for (int i = 0; i < count; ++i) {
        const SimCall &c = DriverSimCall(i);
        LogLine("sim %s flags=0x%08lX mode=%lu,%lu,%lu,%lu result=%ld position=0x%08lX", CallKindName(c.kind),
                c.flags, c.mode.bits, c.mode.width, c.mode.height, c.mode.frequency, c.result, c.position);
    }
}

// Creates one handler through COM and lets it add its pages.
bool LoadHandler(const Handler &handler, PageList *pages, LoadedHandler *loaded)
{
    wchar_t wide[64];
    CLSID classId;
    if (!MultiByteToWideChar(CP_ACP, 0, handler.classId.c_str(), -1, wide, 64) ||
        FAILED(CLSIDFromString(wide, &classId))) {
        LogLine("handler %s bad class id %s", handler.name.c_str(), handler.classId.c_str());
        return false;
    }
    IShellPropSheetExt *extension = nullptr;
    HRESULT hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IShellPropSheetExt,
                                  reinterpret_cast<void **>(&extension));
    LogLine("create %s hr=0x%08lX", handler.name.c_str(), static_cast<unsigned long>(hr));
    if (FAILED(hr) || !extension)
        return false;
    std::string server = ServerPathOf(handler.classId);
    HMODULE module = GetModuleHandleA(server.c_str());
    if (options.simulate) {
        ConfigureSimulation();
        bool installed = module && DriverSimInstall(module);
        LogLine("sim installed=%d other-vendor=%d", installed ? 1 : 0, options.otherVendor ? 1 : 0);
    }
    if (!options.videoDevice.empty()) {
        bool served = ServeVideoDevice(module, options.videoDevice);
        LogLine("video device %s served=%d", options.videoDevice.c_str(), served ? 1 : 0);
    }
    int before = pages->count;
    hr = extension->AddPages(AddPageCallback, reinterpret_cast<LPARAM>(pages));
    LogLine("addpages %s hr=0x%08lX pages=%d", handler.name.c_str(), static_cast<unsigned long>(hr),
            pages->count - before);
    loaded->name = handler.name;
    loaded->extension = extension;
    loaded->module = module;
    return true;
}

void ReleaseHandler(const LoadedHandler &handler)
{
    ULONG count = handler.extension->Release();
    LogLine("release %s count=%lu", handler.name.c_str(), count);
    if (!handler.module)
        return;
    typedef HRESULT(WINAPI * CanUnloadProc)();
    CanUnloadProc canUnload =
        reinterpret_cast<CanUnloadProc>(reinterpret_cast<void *>(GetProcAddress(handler.module, "DllCanUnloadNow")));
    if (canUnload)
        LogLine("canunload %s hr=0x%08lX", handler.name.c_str(), static_cast<unsigned long>(canUnload()));
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (!ParseHostOptions(__argc, __argv, &options) || !ParseSheetScript(options.script)) {
        PrintHostUsage();
        return 1;
    }
    SetLogFile(options.logPath.c_str());
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    LogLine("start platform=%lu version=%lu.%lu", version.dwPlatformId, version.dwMajorVersion,
            version.dwMinorVersion);
    if (options.dllPath.empty())
        options.dllPath = DefaultServerPath();
    bool registered = false;
    if (options.registerServer) {
        registered = WriteServerRegistration(options.dllPath);
        LogLine("register %s ok=%d", options.dllPath.c_str(), registered ? 1 : 0);
    }

    InitCommonControls();
    CoInitialize(nullptr);
    PageList pages = {};
    pages.refuse = options.refusePages;
    HPROPSHEETPAGE systemPage = nullptr;
    if (options.systemPage) {
        systemPage = CreateSystemPage(options.systemTitle.c_str());
        pages.pages[pages.count++] = systemPage;
    }
    std::vector<LoadedHandler> loaded;
    for (const Handler &handler : ListHandlers()) {
        LoadedHandler one;
        if (LoadHandler(handler, &pages, &one))
            loaded.push_back(one);
    }
    LogLine("pages %d", pages.count);

    int result = -1;
    if (pages.count > 0) {
        PROPSHEETHEADERA header = {};
        header.dwSize = PROPSHEETHEADERA_V1_SIZE;
        header.dwFlags = PSH_USECALLBACK;
        header.hInstance = GetModuleHandleA(nullptr);
        header.pszCaption = kSheetCaption;
        header.nPages = static_cast<UINT>(pages.count);
        header.nStartPage = options.startPage < pages.count ? static_cast<UINT>(options.startPage) : 0;
        header.phpage = pages.pages;
        header.pfnCallback = SheetCallback;
        result = static_cast<int>(PropertySheetA(&header));
    }
    LogLine("propertysheet result=%d", result);

    for (const LoadedHandler &handler : loaded)
        ReleaseHandler(handler);
    if (options.simulate && options.simLog)
        LogSimulationCalls();
    CoUninitialize();
    if (registered && !options.keepRegistration)
        RemoveServerRegistration();
    LogLine("end");
    return SheetTimedOut() ? 3 : 0;
}
