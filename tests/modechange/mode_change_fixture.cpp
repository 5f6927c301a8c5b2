#include "mode_change_fixture.h"

#include <prsht.h>

#include <cstdio>
#include <fstream>

#include "adapter_state.h"
#include "import_patch.h"
#include "mode_change.h"
#include "registry_fixture.h"
#include "test_paths.h"

const char kUtilityCaption[] = "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ";
const char kDriverKeyPath[] = "Software\\ZanroTests\\ModeChange\\UTILITY";

namespace {

const char kPropertiesCaption[] = "画面のプロパティ";

typedef int(WINAPI *MessageBoxProc)(HWND, LPCSTR, LPCSTR, UINT);
typedef INT_PTR(WINAPI *DialogBoxParamProc)(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM);
typedef UINT_PTR(WINAPI *SetTimerProc)(HWND, UINT_PTR, UINT, TIMERPROC);
typedef BOOL(WINAPI *KillTimerProc)(HWND, UINT_PTR);

MessageBoxProc realMessageBox;
DialogBoxParamProc realDialogBoxParam;
SetTimerProc realSetTimer;
KillTimerProc realKillTimer;

int modalBudget;
std::vector<BoxSeen> boxes;
std::vector<DialogSeen> dialogs;
std::vector<TimerSeen> timers;
std::vector<WindowMessage> sheetMessages;
std::vector<WindowMessage> propertiesMessages;
bool applying;
HWND propertiesWindow;
DLGPROC wrappedProc;
size_t wrappedIndex;
std::string quickResLogPath;

int WINAPI RecordingMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    BoxSeen seen{owner, text ? text : "", caption ? caption : "", type, -1};
    if (modalBudget > 0) {
        modalBudget--;
        seen.answer = realMessageBox(owner, text, caption, type);
    }
    boxes.push_back(seen);
    return seen.answer == -1 ? IDCANCEL : seen.answer;
}

INT_PTR CALLBACK WrappingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = wrappedProc(dialog, message, wParam, lParam);
    DialogSeen &seen = dialogs[wrappedIndex];
    if (result != FALSE) seen.everyReturnFalse = false;
    if (message == WM_INITDIALOG) {
        GetWindowRect(dialog, &seen.rect);
        seen.icon = reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, 1015, STM_GETICON, 0, 0));
    }
    return result;
}

INT_PTR WINAPI RecordingDialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param)
{
    DialogSeen seen{};
    seen.instance = instance;
    seen.templateId = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : -1;
    seen.owner = owner;
    seen.proc = proc;
    seen.result = -2;
    seen.everyReturnFalse = true;
    dialogs.push_back(seen);
    if (modalBudget <= 0 || !proc) return -2;
    modalBudget--;
    wrappedProc = proc;
    wrappedIndex = dialogs.size() - 1;
    DWORD start = GetTickCount();
    INT_PTR result = realDialogBoxParam(instance, name, owner, WrappingDialogProc, param);
    dialogs[wrappedIndex].elapsedMs = GetTickCount() - start;
    dialogs[wrappedIndex].result = result;
    return result;
}

UINT_PTR WINAPI RecordingSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc)
{
    UINT_PTR result = realSetTimer(window, id, period, proc);
    timers.push_back(TimerSeen{false, window, id, period, result});
    return result;
}

BOOL WINAPI RecordingKillTimer(HWND window, UINT_PTR id)
{
    timers.push_back(TimerSeen{true, window, id, 0, 0});
    return realKillTimer(window, id);
}

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER) {
        std::vector<WindowMessage> &log =
            reinterpret_cast<LONG_PTR>(GetPropA(window, "ZanProperties")) ? propertiesMessages : sheetMessages;
        MSG queued;
        const bool pressQueued = propertiesWindow && PeekMessageA(&queued, propertiesWindow, PSM_PRESSBUTTON,
                                                                  PSM_PRESSBUTTON, PM_NOREMOVE | PM_NOYIELD);
        log.push_back(WindowMessage{window, message, wParam, lParam, applying, pressQueued});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void InstallOnce()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    HMODULE self = GetModuleHandleA(nullptr);
    DriverSimReset();
    DriverSimInstall(self);
    realMessageBox = reinterpret_cast<MessageBoxProc>(
        PatchImport(self, "user32.dll", "MessageBoxA", reinterpret_cast<void *>(RecordingMessageBoxA)));
    realDialogBoxParam = reinterpret_cast<DialogBoxParamProc>(
        PatchImport(self, "user32.dll", "DialogBoxParamA", reinterpret_cast<void *>(RecordingDialogBoxParamA)));
    realSetTimer = reinterpret_cast<SetTimerProc>(
        PatchImport(self, "user32.dll", "SetTimer", reinterpret_cast<void *>(RecordingSetTimer)));
    realKillTimer = reinterpret_cast<KillTimerProc>(
        PatchImport(self, "user32.dll", "KillTimer", reinterpret_cast<void *>(RecordingKillTimer)));

    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingWindowProc;
    wc.hInstance = self;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "ZanModeChangeSheet";
    RegisterClassA(&wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "ZanModeChangePage";
    RegisterClassA(&wc);
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string ValueName(DWORD bits, DWORD width, DWORD height, const char *suffix)
{
    char name[64];
    std::snprintf(name, sizeof name, "%02u_%04u_%04u_%s", static_cast<unsigned>(bits), static_cast<unsigned>(width),
                  static_cast<unsigned>(height), suffix);
    return name;
}

}  // namespace

bool SameMode(const SimMode &a, const SimMode &b)
{
    return a.bits == b.bits && a.width == b.width && a.height == b.height && a.frequency == b.frequency;
}

SimMode Listed(DWORD bits, DWORD width, DWORD height, DWORD hertz)
{
    SimMode m{bits, width, height, ModeChangeTest::RunningWin9x() ? 0u : hertz};
    return m;
}

void ExpectCalls(const std::vector<SimCall> &calls, const std::vector<std::pair<DWORD, SimMode>> &expected)
{
    ASSERT_EQ(expected.size(), calls.size()) << Describe(calls);
    for (size_t i = 0; i < calls.size(); i++) {
        EXPECT_EQ(expected[i].first, calls[i].flags) << "call " << i << ": " << Describe(calls);
        EXPECT_TRUE(SameMode(expected[i].second, calls[i].mode)) << "call " << i << ": " << Describe(calls);
    }
}

void ExpectCentred(const DialogSeen &dialog)
{
    const int width = dialog.rect.right - dialog.rect.left;
    const int height = dialog.rect.bottom - dialog.rect.top;
    EXPECT_GT(width, 0);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - width) / 2, dialog.rect.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - height) / 2, dialog.rect.top);
}

std::string Describe(const SimMode &m)
{
    char text[64];
    std::snprintf(text, sizeof text, "%ux%ux%u@%u", static_cast<unsigned>(m.width), static_cast<unsigned>(m.height),
                  static_cast<unsigned>(m.bits), static_cast<unsigned>(m.frequency));
    return text;
}

std::string Describe(const std::vector<SimCall> &calls)
{
    std::string text;
    for (const SimCall &c : calls) {
        char line[96];
        std::snprintf(line, sizeof line, "[flags %08lx %s -> %ld] ", static_cast<unsigned long>(c.flags),
                      Describe(c.mode).c_str(), static_cast<long>(c.result));
        text += line;
    }
    return text;
}

bool ModeChangeTest::RunningWin9x()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return info.dwPlatformId != VER_PLATFORM_WIN32_NT;
}

bool ModeChangeTest::RunningWin98()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return info.dwPlatformId != VER_PLATFORM_WIN32_NT && info.dwMinorVersion == 10;
}

SimMode ModeChangeTest::Mode(DWORD bits, DWORD width, DWORD height, DWORD frequency)
{
    SimMode m;
    m.bits = bits;
    m.width = width;
    m.height = height;
    m.frequency = frequency;
    return m;
}

void ModeChangeTest::WriteRefreshList(DWORD bits, DWORD width, DWORD height, const std::vector<BYTE> &codes)
{
    RegWriteBinary(HKEY_LOCAL_MACHINE, kDriverKeyPath, ValueName(bits, width, height, "L").c_str(), codes);
}

void ModeChangeTest::WriteChoice(DWORD bits, DWORD width, DWORD height, BYTE code)
{
    RegWriteBinary(HKEY_LOCAL_MACHINE, kDriverKeyPath, ValueName(bits, width, height, "C").c_str(), {code});
}

bool ModeChangeTest::ReadChoice(DWORD bits, DWORD width, DWORD height, BYTE *code)
{
    std::vector<unsigned char> data;
    if (!RegReadValue(HKEY_LOCAL_MACHINE, kDriverKeyPath, ValueName(bits, width, height, "C").c_str(), &data) ||
        data.size() != 1)
        return false;
    *code = data[0];
    return true;
}

bool ModeChangeTest::ReadFormat(DWORD *value)
{
    return RegReadDword(HKEY_LOCAL_MACHINE, kDriverKeyPath, "555or565", value);
}

void ModeChangeTest::SetUp()
{
    InstallOnce();
    DriverSimReset();
    boxes.clear();
    dialogs.clear();
    timers.clear();
    sheetMessages.clear();
    propertiesMessages.clear();
    modalBudget = 0;

    moduleInstance = GetModuleHandleA(nullptr);
    isWin9x = RunningWin9x() ? 1 : 0;
    isWin98 = RunningWin98() ? 1 : 0;
    quickResAvailable = 0;
    pfnQuickResChange = nullptr;
    d3dFullSupport = 0;
    useDirect3DColor = 0;
    has555or565 = 0;
    testTimerId = 0;

    RegRemoveTree(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, kDriverKeyPath));
    if (isWin9x) {
        // The board's installer's values: 64K colours, three refresh codes per area (two at
        // the largest), and the code chosen for the mode in force.
        RegWriteDword(HKEY_LOCAL_MACHINE, kDriverKeyPath, "555or565", 1);
        has555or565 = 1;
        for (DWORD bits : {8u, 16u, 24u, 32u}) {
            WriteRefreshList(bits, 640, 480, {75, 60, 85});
            WriteRefreshList(bits, 800, 600, {75, 60, 85});
            WriteRefreshList(bits, 1024, 768, {75, 60, 85});
            WriteRefreshList(bits, 1152, 864, {75, 60, 85});
            WriteRefreshList(bits, 1280, 1024, {60, 75});
        }
        WriteChoice(16, 800, 600, 75);
        DriverSimUseDriverKey(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    }
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKeyPath, 0, KEY_READ | KEY_SET_VALUE, &driverKey));

    HINSTANCE self = GetModuleHandleA(nullptr);
    sheet = CreateWindowExA(0, "ZanModeChangeSheet", "sheet", WS_OVERLAPPEDWINDOW, 10, 10, 400, 400, nullptr,
                            nullptr, self, nullptr);
    ASSERT_NE(nullptr, sheet);
    page = CreateWindowExA(0, "ZanModeChangePage", "", WS_CHILD | WS_VISIBLE, 5, 5, 300, 300, sheet, nullptr, self,
                           nullptr);
    ASSERT_NE(nullptr, page);
    displayProperties = CreateWindowExA(0, "ZanModeChangeSheet", kPropertiesCaption, WS_OVERLAPPEDWINDOW, 20, 20,
                                        200, 100, nullptr, nullptr, self, nullptr);
    ASSERT_NE(nullptr, displayProperties);
    SetPropA(displayProperties, "ZanProperties", reinterpret_cast<HANDLE>(1));
    propertiesWindow = displayProperties;
    // Left hidden: the dialogs and boxes show themselves; their owner need not be seen.
    Pump();

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    quickResLogPath = std::string(temp) + "zan_modechange_quickres.log";
    DeleteFileA(quickResLogPath.c_str());
}

void ModeChangeTest::TearDown()
{
    Pump();
    FreeModeTable();
    if (displayProperties) {
        RemovePropA(displayProperties, "ZanProperties");
        DestroyWindow(displayProperties);
    }
    propertiesWindow = nullptr;
    if (sheet) DestroyWindow(sheet);
    Pump();
    if (driverKey) RegCloseKey(driverKey);
    driverKey = nullptr;
    DriverSimUseDriverKey(nullptr, nullptr);
    RegRemoveTree(HKEY_LOCAL_MACHINE, "Software\\ZanroTests\\ModeChange");
    SetEnvironmentVariableA("ZANCHG32_LOG", nullptr);
    pfnQuickResChange = nullptr;
    quickResAvailable = 0;
    DeleteFileA(quickResLogPath.c_str());
}

void ModeChangeTest::UseModes(const std::vector<SimMode> &modes)
{
    DriverSimSetModes(modes.data(), static_cast<int>(modes.size()));
}

void ModeChangeTest::BuildTable()
{
    FreeModeTable();
    BuildModeTable();
    DriverSimClearCalls();
}

ModeSelection ModeChangeTest::Select(DWORD bits, DWORD width, DWORD height, DWORD code)
{
    for (UINT c = 0; modeTable && c < colorDepthCount; c++) {
        const ColorDepthEntry &depth = modeTable[c];
        if (depth.bitsPerPixel != bits) continue;
        for (UINT a = 0; a < depth.areaCount; a++) {
            const DesktopAreaEntry &area = depth.areas[a];
            if (area.width != width || area.height != height) continue;
            for (UINT r = 0; r < area.refreshCount; r++)
                if (area.refreshRates[r] == code) return ModeSelection{c, a, r};
        }
    }
    ADD_FAILURE() << "the table has no mode " << Describe(Mode(bits, width, height, code));
    return ModeSelection{0, 0, 0};
}

void ModeChangeTest::Apply(const ModeSelection &selection, int modal)
{
    Apply(selection.colorIndex, selection.areaIndex, selection.refreshIndex, modal);
}

void ModeChangeTest::Apply(UINT colorIndex, UINT areaIndex, UINT refreshIndex, int modal)
{
    modalBudget = modal;
    applying = true;
    ApplyModeChange(page, colorIndex, areaIndex, refreshIndex);
    applying = false;
    modalBudget = 0;
    Pump();
}

std::vector<SimCall> ModeChangeTest::Changes() const
{
    std::vector<SimCall> out;
    for (int i = 0; i < DriverSimCallCount(); i++)
        if (DriverSimCall(i).kind == SIM_CHANGE) out.push_back(DriverSimCall(i));
    return out;
}

std::vector<SimCall> ModeChangeTest::EnumCalls() const
{
    std::vector<SimCall> out;
    for (int i = 0; i < DriverSimCallCount(); i++)
        if (DriverSimCall(i).kind == SIM_ENUM) out.push_back(DriverSimCall(i));
    return out;
}

std::vector<BoxSeen> ModeChangeTest::Boxes() const { return boxes; }
std::vector<DialogSeen> ModeChangeTest::Dialogs() const { return dialogs; }
std::vector<TimerSeen> ModeChangeTest::Timers() const { return timers; }
std::vector<WindowMessage> ModeChangeTest::SheetMessages() const { return sheetMessages; }
std::vector<WindowMessage> ModeChangeTest::PropertiesMessages() const { return propertiesMessages; }

void ModeChangeTest::ExpectRestartRequest(bool expected)
{
    const auto toSheet = sheetMessages;
    const auto toProperties = propertiesMessages;
    if (!expected) {
        EXPECT_TRUE(toSheet.empty());
        EXPECT_TRUE(toProperties.empty());
        return;
    }
    ASSERT_EQ(1u, toSheet.size());
    EXPECT_EQ(static_cast<UINT>(PSM_RESTARTWINDOWS), toSheet[0].message);
    EXPECT_EQ(sheet, toSheet[0].target);
    EXPECT_EQ(0u, toSheet[0].wParam);
    EXPECT_EQ(0, toSheet[0].lParam);
    EXPECT_TRUE(toSheet[0].duringApply);
    // Apply is pressed first, by a message posted before the restart is asked for.
    EXPECT_EQ(RunningWin98(), toSheet[0].pressQueued);
    if (RunningWin98()) {
        ASSERT_EQ(1u, toProperties.size());
        EXPECT_EQ(displayProperties, toProperties[0].target);
        EXPECT_EQ(static_cast<UINT>(PSM_PRESSBUTTON), toProperties[0].message);
        EXPECT_EQ(static_cast<WPARAM>(PSBTN_APPLYNOW), toProperties[0].wParam);
        EXPECT_EQ(0, toProperties[0].lParam);
        EXPECT_FALSE(toProperties[0].duringApply);
    } else {
        EXPECT_TRUE(toProperties.empty());
    }
}

void ModeChangeTest::UseDisplayModeLibrary()
{
    SetEnvironmentVariableA("ZANCHG32_LOG", quickResLogPath.c_str());
    HMODULE library = LoadLibraryA(DistPath("ZANCHG32.DLL").c_str());
    ASSERT_NE(nullptr, library) << DistPath("ZANCHG32.DLL");
    pfnQuickResChange = reinterpret_cast<QuickResChangeProc>(
        reinterpret_cast<void *>(GetProcAddress(library, "QuickResChange")));
    ASSERT_NE(nullptr, pfnQuickResChange);
    quickResAvailable = 1;
}

std::vector<std::string> ModeChangeTest::QuickResLog() const
{
    std::vector<std::string> lines;
    std::ifstream in(quickResLogPath);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}
