#include "page_fixture.h"

#include "adapter_identification.h"
#include "adapter_state.h"
#include "driver_sim.h"
#include "mode_table.h"
#include "monitor_controls.h"
#include "page_procs.h"
#include "page_state.h"
#include "position_engine.h"
#include "registry_fixture.h"
#include "resource.h"
#include "settings_subclass.h"

#include <commctrl.h>

const char kDriverKeyPath[] = "Software\\ZanroPageTest\\UTILITY";
const char kPositionFile[] = "C:\\zanpgpos.ini";
const char kSystemPageTitle[] = "ﾃﾞｨｽﾌﾟﾚｲの詳細";

namespace {

const char kKeyRoot[] = "Software\\ZanroPageTest";

void RegisterControlClassesForTests()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hInstance = moduleInstance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpfnWndProc = MonitorPictureProc;
    wc.lpszClassName = "ZanStatic";
    RegisterClassA(&wc);
    wc.lpfnWndProc = ArrowButtonProc;
    wc.lpszClassName = "ZanButton";
    RegisterClassA(&wc);
}

std::string ModeValueName(DWORD bits, DWORD width, DWORD height, const char *suffix)
{
    char name[64];
    wsprintfA(name, "%02u_%04u_%04u_%s", (unsigned)bits, (unsigned)width, (unsigned)height, suffix);
    return name;
}

// The sample board: depths 8, 16, 24, 32 over five areas (True Color over three); most
// areas offer the hardware default, 60 and 75; the 256-colour 640 x 480 mode has
// interlaced rates, the largest area only two codes.
std::vector<BoardArea> SampleBoard()
{
    std::vector<BoardArea> areas;
    const DWORD depths[] = {8, 16, 24, 32};
    const DWORD sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1152, 864}, {1280, 1024}};
    for (DWORD bits : depths) {
        for (const auto &size : sizes) {
            BoardArea a{bits, size[0], size[1], {1, 60, 75}};
            if (bits == 8 && size[0] == 640)
                a.codes = {1, 43, 54, 55, 60};
            if (size[0] == 1280)
                a.codes = {1, 60};
            if (bits == 32 && size[0] > 1024)
                continue;   // True Color only up to 1024 x 768
            areas.push_back(a);
        }
    }
    return areas;
}

} // namespace

bool IsWin9xPlatform()
{
    OSVERSIONINFOA v;
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    return v.dwPlatformId != VER_PLATFORM_WIN32_NT;
}

bool IsWin98Platform()
{
    OSVERSIONINFOA v;
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    return v.dwPlatformId != VER_PLATFORM_WIN32_NT && v.dwMinorVersion == 10;
}

void PageTest::SetUp()
{
    moduleInstance = GetModuleHandleA(nullptr);
    RegisterControlClassesForTests();

    DriverSimReset();
    ASSERT_TRUE(DriverSimInstall(GetModuleHandleA(nullptr)));

    RegRemoveTree(HKEY_CURRENT_USER, kKeyRoot);
    ASSERT_TRUE(RegCreatePath(HKEY_CURRENT_USER, kDriverKeyPath));
    RegWriteDword(HKEY_CURRENT_USER, kDriverKeyPath, "555or565", 1);
    RegWriteDword(HKEY_CURRENT_USER, kDriverKeyPath, "D3DFullSupport", 0);
    RegWriteString(HKEY_CURRENT_USER, kDriverKeyPath, "PosData", kPositionFile);
    UseModes(SampleBoard());
    SetCurrentMode(16, 800, 600, 75);
    WritePositionLists("16_0800_0600_075", "0010 0011 0012 0013", "0020 0021 0022 0023");
    DriverSimSetPosition(0x00110021);

    if (driverKey)
        RegCloseKey(driverKey);
    driverKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kDriverKeyPath, 0, KEY_READ | KEY_SET_VALUE, &driverKey));

    // As adapter identification leaves them.
    isWin9x = IsWin9xPlatform() ? 1 : 0;
    isWin98 = IsWin98Platform() ? 1 : 0;
    has555or565 = 0;
    useDirect3DColor = 0;
    d3dFullSupport = 0;
    if (isWin9x)
        has555or565 = (DWORD)ReadColorFormatSettings();
    quickResAvailable = 0;
    pfnQuickResChange = nullptr;

    // The engine starts as at load, so that the first request loads the lists.
    for (DWORD &v : lastReportedMode)
        v = 0;
    positionUnavailable = 0;
    monitorPictureIndex = 0;

    ASSERT_EQ(nullptr, settingsPageOldProc) << "a subclass outlived its sheet";
    ASSERT_EQ(nullptr, keyboardHook) << "a hook outlived its page";
    ASSERT_EQ(1u, pageOwnsMode);
    ASSERT_EQ(0u, skipPageApply);
    system_ = SystemPageRecord();
    DriverSimClearCalls();
}

void PageTest::TearDown()
{
    sheet_.Close();
    EXPECT_EQ(nullptr, keyboardHook);
    EXPECT_EQ(nullptr, pageWindow);
    EXPECT_EQ(nullptr, modeTable);
    if (driverKey)
        RegCloseKey(driverKey);
    driverKey = nullptr;
    DriverSimUseDriverKey(nullptr, nullptr);
    DriverSimUninstall(GetModuleHandleA(nullptr));
    RegRemoveTree(HKEY_CURRENT_USER, kKeyRoot);
    DeleteFileA(kPositionFile);
}

void PageTest::UseModes(const std::vector<BoardArea> &areas)
{
    std::vector<SimMode> modes;
    bool win9x = IsWin9xPlatform();
    for (const BoardArea &a : areas) {
        if (win9x) {
            modes.push_back({a.bits, a.width, a.height, 0});
            RegWriteBinary(HKEY_CURRENT_USER, kDriverKeyPath, ModeValueName(a.bits, a.width, a.height, "L").c_str(),
                           a.codes);
        } else {
            for (BYTE code : a.codes)
                modes.push_back({a.bits, a.width, a.height, code});
        }
    }
    DriverSimSetModes(modes.data(), (int)modes.size());
}

void PageTest::SetCurrentMode(DWORD bits, DWORD width, DWORD height, DWORD code)
{
    DriverSimUseDriverKey(nullptr, nullptr);
    if (IsWin9xPlatform()) {
        // The 95 family runs a mode at the code recorded for it.
        DWORD platformBits = bits == 15 ? 16 : bits;
        RegWriteBinary(HKEY_CURRENT_USER, kDriverKeyPath, ModeValueName(bits, width, height, "C").c_str(),
                       {(BYTE)code});
        DriverSimSetCurrent({platformBits, width, height, 0});
        DriverSimUseDriverKey(HKEY_CURRENT_USER, kDriverKeyPath);
        DriverSimSetCurrent({bits, width, height, code});
    } else {
        DriverSimSetCurrent({bits, width, height, code});
    }
}

void PageTest::WritePositionLists(const std::string &modeKey, const char *horizontal, const char *vertical)
{
    WritePrivateProfileStringA("POS_H", modeKey.c_str(), horizontal, kPositionFile);
    WritePrivateProfileStringA("POS_V", modeKey.c_str(), vertical, kPositionFile);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kPositionFile);
}

HPROPSHEETPAGE PageTest::CreateUtilityPage()
{
    PROPSHEETPAGEA psp;
    ZeroMemory(&psp, sizeof psp);
    psp.dwSize = PROPSHEETPAGEA_V1_SIZE;
    psp.dwFlags = PSP_USEHICON | PSP_USETITLE;
    psp.hInstance = moduleInstance;
    psp.pszTemplate = MAKEINTRESOURCEA(IDD_SETTINGS_PAGE);
    psp.hIcon = LoadIconA(moduleInstance, MAKEINTRESOURCEA(IDI_DISPLAY_UTILITY));
    psp.pszTitle = "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ";
    psp.pfnDlgProc = SettingsPageProc;
    return CreatePropertySheetPageA(&psp);
}

void PageTest::OpenSheet(int startPage, int utilityIndex, const std::string &systemTitle, DWORD settleMs)
{
    utilityIndex_ = utilityIndex;
    std::vector<HPROPSHEETPAGE> pages(2);
    pages[utilityIndex] = CreateUtilityPage();
    pages[1 - utilityIndex] = CreateSystemPage(systemTitle, &system_);
    ASSERT_NE(nullptr, pages[0]);
    ASSERT_NE(nullptr, pages[1]);
    ASSERT_TRUE(sheet_.Open(pages, startPage, settleMs));
}

std::vector<std::string> PageTest::ComboItems(int id) const
{
    std::vector<std::string> items;
    HWND combo = Control(id);
    int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)text);
        items.push_back(text);
    }
    return items;
}

int PageTest::ComboSelection(int id) const
{
    return (int)SendMessageA(Control(id), CB_GETCURSEL, 0, 0);
}

std::string PageTest::ControlText(int id) const
{
    char text[256] = "";
    GetWindowTextA(Control(id), text, sizeof text);
    return text;
}

int PageTest::TrackbarMax() const
{
    return (int)SendMessageA(Control(IDC_DESKTOP_AREA), TBM_GETRANGEMAX, 0, 0);
}

int PageTest::TrackbarPos() const
{
    return (int)SendMessageA(Control(IDC_DESKTOP_AREA), TBM_GETPOS, 0, 0);
}

void PageTest::ChooseColor(int index)
{
    SendMessageA(Control(IDC_COLOR_DEPTH), CB_SETCURSEL, index, 0);
    SendMessageA(UtilityPage(), WM_COMMAND, MAKEWPARAM(IDC_COLOR_DEPTH, CBN_SELCHANGE),
                 (LPARAM)Control(IDC_COLOR_DEPTH));
    sheet_.Run(50);
}

void PageTest::ChooseRefresh(int index)
{
    SendMessageA(Control(IDC_REFRESH_RATE), CB_SETCURSEL, index, 0);
    SendMessageA(UtilityPage(), WM_COMMAND, MAKEWPARAM(IDC_REFRESH_RATE, CBN_SELCHANGE),
                 (LPARAM)Control(IDC_REFRESH_RATE));
    sheet_.Run(50);
}

void PageTest::MoveTrackbar(int position)
{
    HWND trackbar = Control(IDC_DESKTOP_AREA);
    SendMessageA(trackbar, TBM_SETPOS, TRUE, position);
    SendMessageA(UtilityPage(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), (LPARAM)trackbar);
    SendMessageA(UtilityPage(), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)trackbar);
    sheet_.Run(50);
}

int PageTest::ModeSets(DWORD flags) const
{
    int n = 0;
    for (int i = 0; i < DriverSimCallCount(); ++i)
        if (DriverSimCall(i).kind == SIM_CHANGE && DriverSimCall(i).flags == flags)
            ++n;
    return n;
}

int PageTest::ModeChangeCalls() const
{
    int n = 0;
    for (int i = 0; i < DriverSimCallCount(); ++i)
        if (DriverSimCall(i).kind == SIM_CHANGE)
            ++n;
    return n;
}

std::vector<DWORD> PageTest::PositionsSent() const
{
    std::vector<DWORD> sent;
    for (int i = 0; i < DriverSimCallCount(); ++i)
        if (DriverSimCall(i).kind == SIM_ESCAPE_SETPOSITION)
            sent.push_back(DriverSimCall(i).position);
    return sent;
}
