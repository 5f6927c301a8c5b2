// The page's mode controls: what they show for the mode in force, how a colour, area or
// refresh choice moves the others, the Direct3D colour box, and the cases without a usable
// mode in the table.
#include "page_fixture.h"

#include "adapter_state.h"
#include "dialog_answerer.h"
#include "driver_sim.h"
#include "mode_table.h"
#include "page_state.h"
#include "registry_fixture.h"
#include "resource.h"

#include <algorithm>

namespace {

const char kTitle[] = "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ";
const char kDefaultRate[] = "ﾊｰﾄﾞｳｪｱの既定の設定を使用";

ExpectedDialog Answer(const char *caption, const char *mustContain, int pressId)
{
    ExpectedDialog d;
    d.caption = caption;
    d.mustContain = mustContain;
    d.pressId = pressId;
    return d;
}

int IndexOf(const std::vector<std::string> &items, const std::string &item)
{
    auto it = std::find(items.begin(), items.end(), item);
    return it == items.end() ? -1 : (int)(it - items.begin());
}

bool HasStyle(HWND window, DWORD style)
{
    return (GetWindowLongA(window, GWL_STYLE) & style) == style;
}

class PageControls : public PageTest {
protected:
    int Depth(const char *label) { return IndexOf(ComboItems(IDC_COLOR_DEPTH), label); }
    bool D3DVisible() { return HasStyle(Control(IDC_DIRECT3D_COLOR), WS_VISIBLE); }
    bool D3DGroupVisible() { return HasStyle(Control(IDC_DIRECT3D_GROUP), WS_VISIBLE); }
    bool D3DEnabled() { return IsWindowEnabled(Control(IDC_DIRECT3D_COLOR)) != FALSE; }
    bool D3DChecked() { return IsDlgButtonChecked(UtilityPage(), IDC_DIRECT3D_COLOR) == BST_CHECKED; }
};

TEST_F(PageControls, ShowTheModeInForceWithTheBoardsLabels)
{
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    std::vector<std::string> colours = ComboItems(IDC_COLOR_DEPTH);
    if (isWin9x)
        EXPECT_EQ((std::vector<std::string>{"256 色", "32768 色", "65536 色", "16777216 色", "True Color"}), colours);
    else
        EXPECT_EQ((std::vector<std::string>{"256 色", "65536 色", "16777216 色", "True Color"}), colours);
    EXPECT_EQ(Depth("65536 色"), ComboSelection(IDC_COLOR_DEPTH));
    EXPECT_EQ(4, TrackbarMax());
    EXPECT_EQ(1, TrackbarPos());
    EXPECT_EQ("800 x 600 ﾋﾟｸｾﾙ", ControlText(IDC_AREA_TEXT));
    EXPECT_EQ((std::vector<std::string>{kDefaultRate, "60 ﾍﾙﾂ", "75 ﾍﾙﾂ"}), ComboItems(IDC_REFRESH_RATE));
    EXPECT_EQ(2, ComboSelection(IDC_REFRESH_RATE));
    EXPECT_EQ(2u, pageSelection.refreshIndex);
    EXPECT_FALSE(sheet_.ApplyEnabled());
}

TEST_F(PageControls, ChoicesKeepTheirIndexWhereItFitsAndClampOtherwise)
{
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    // 256 colours: the area (800 x 600) and the refresh index (75 Hz) fit.
    ChooseColor(0);
    EXPECT_TRUE(sheet_.ApplyEnabled());
    EXPECT_EQ(0u, pageSelection.colorIndex);
    EXPECT_EQ(4, TrackbarMax());
    EXPECT_EQ(1, TrackbarPos());
    EXPECT_EQ("800 x 600 ﾋﾟｸｾﾙ", ControlText(IDC_AREA_TEXT));
    EXPECT_EQ(2, ComboSelection(IDC_REFRESH_RATE));

    // 640 x 480 offers interlaced rates; index 2 stays index 2, a different rate.
    MoveTrackbar(0);
    EXPECT_EQ("640 x 480 ﾋﾟｸｾﾙ", ControlText(IDC_AREA_TEXT));
    EXPECT_EQ((std::vector<std::string>{kDefaultRate, "86 ﾍﾙﾂ (ｲﾝﾀｰﾚｰｽ)", "108 ﾍﾙﾂ (ｲﾝﾀｰﾚｰｽ)", "55 ﾍﾙﾂ", "60 ﾍﾙﾂ"}),
              ComboItems(IDC_REFRESH_RATE));
    EXPECT_EQ(2, ComboSelection(IDC_REFRESH_RATE));
    EXPECT_EQ(0u, pageSelection.areaIndex);

    ChooseRefresh(4);
    EXPECT_EQ(4u, pageSelection.refreshIndex);
    // 1280 x 1024 has two codes: index 4 clamps to 1, and stays 1 after.
    MoveTrackbar(4);
    EXPECT_EQ("1280 x 1024 ﾋﾟｸｾﾙ", ControlText(IDC_AREA_TEXT));
    EXPECT_EQ((std::vector<std::string>{kDefaultRate, "60 ﾍﾙﾂ"}), ComboItems(IDC_REFRESH_RATE));
    EXPECT_EQ(1, ComboSelection(IDC_REFRESH_RATE));
    EXPECT_EQ(1u, pageSelection.refreshIndex);
    MoveTrackbar(2);
    EXPECT_EQ(1, ComboSelection(IDC_REFRESH_RATE));
    EXPECT_EQ("60 ﾍﾙﾂ", ComboItems(IDC_REFRESH_RATE)[1]);

    // True Color has three areas: 1280 x 1024 clamps to the last, and the range follows.
    MoveTrackbar(4);
    ChooseColor(Depth("True Color"));
    EXPECT_EQ(2, TrackbarMax());
    EXPECT_EQ(2, TrackbarPos());
    EXPECT_EQ(2u, pageSelection.areaIndex);
    EXPECT_EQ("1024 x 768 ﾋﾟｸｾﾙ", ControlText(IDC_AREA_TEXT));
    EXPECT_EQ(1, ComboSelection(IDC_REFRESH_RATE));
    // Back to 24 bits: the clamped index is kept, the range is five areas again.
    ChooseColor(Depth("16777216 色"));
    EXPECT_EQ(4, TrackbarMax());
    EXPECT_EQ(2, TrackbarPos());
    EXPECT_EQ("1024 x 768 ﾋﾟｸｾﾙ", ControlText(IDC_AREA_TEXT));
}

TEST_F(PageControls, ARealTrackbarMoveRefillsTheRefreshList)
{
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    ChooseColor(0);
    sheet_.Run(50);
    SetFocus(Control(IDC_DESKTOP_AREA));
    // Home moves a trackbar to its minimum, as the user's key press.
    SendMessageA(Control(IDC_DESKTOP_AREA), WM_KEYDOWN, VK_HOME, 0);
    SendMessageA(Control(IDC_DESKTOP_AREA), WM_KEYUP, VK_HOME, 0xC0000001);
    sheet_.Run(50);
    EXPECT_EQ(0u, pageSelection.areaIndex);
    EXPECT_EQ("640 x 480 ﾋﾟｸｾﾙ", ControlText(IDC_AREA_TEXT));
    EXPECT_EQ(5u, ComboItems(IDC_REFRESH_RATE).size());
}

TEST_F(PageControls, Direct3DBoxFollowsTheDepthOnTheWindows95Family)
{
    if (!isWin9x) {
        ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
        EXPECT_FALSE(D3DVisible());
        EXPECT_FALSE(D3DGroupVisible());
        ChooseColor(0);
        EXPECT_FALSE(D3DVisible());
        return;
    }
    ASSERT_EQ(1u, has555or565);
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    EXPECT_TRUE(D3DVisible());
    EXPECT_TRUE(D3DGroupVisible());
    // 64K colours: the 565 format, no Direct3D colours, nothing to choose.
    EXPECT_FALSE(D3DChecked());
    EXPECT_FALSE(D3DEnabled());
    // 32K colours: the 555 format is the Direct3D colour format.
    ChooseColor(Depth("32768 色"));
    EXPECT_TRUE(D3DChecked());
    EXPECT_FALSE(D3DEnabled());
    // Other depths: the user's choice.
    ChooseColor(Depth("256 色"));
    EXPECT_FALSE(D3DChecked());
    EXPECT_TRUE(D3DEnabled());
    SendMessageA(Control(IDC_DIRECT3D_COLOR), BM_CLICK, 0, 0);
    sheet_.Run(50);
    EXPECT_EQ(1u, useDirect3DColor);
    EXPECT_TRUE(D3DChecked());
    ChooseColor(Depth("True Color"));
    EXPECT_TRUE(D3DChecked());
    EXPECT_TRUE(D3DEnabled());
    ChooseColor(Depth("65536 色"));
    EXPECT_FALSE(D3DChecked());
    EXPECT_FALSE(D3DEnabled());
    EXPECT_EQ(1u, useDirect3DColor) << "the depth's fixed state is not the user's choice";
}

TEST_F(PageControls, Direct3DChoiceEnablesApplyAndIsRecordedAtApply)
{
    if (!isWin9x)
        GTEST_SKIP() << "the box exists only on the Windows 95 family";
    SetCurrentMode(8, 800, 600, 75);
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    ASSERT_EQ(Depth("256 色"), ComboSelection(IDC_COLOR_DEPTH));
    EXPECT_FALSE(D3DChecked()) << "555or565 = 1: no Direct3D colours";
    EXPECT_TRUE(D3DEnabled());
    EXPECT_FALSE(sheet_.ApplyEnabled());
    SendMessageA(Control(IDC_DIRECT3D_COLOR), BM_CLICK, 0, 0);
    sheet_.Run(50);
    EXPECT_EQ(1u, useDirect3DColor);
    EXPECT_TRUE(sheet_.ApplyEnabled());

    // The same mode again, with the new colour format recorded for the driver.
    DriverSimClearCalls();
    sheet_.Press(PSBTN_APPLYNOW);
    DWORD format = 99;
    EXPECT_TRUE(RegReadDword(HKEY_CURRENT_USER, kDriverKeyPath, "555or565", &format));
    EXPECT_EQ(0u, format);
    EXPECT_EQ(1, ModeSets(CDS_UPDATEREGISTRY));
    EXPECT_EQ(1, ModeChangeCalls());
}

TEST_F(PageControls, Direct3DBoxIsHiddenWhenTheDriverDoesNotNeedIt)
{
    struct Case {
        const char *what;
        DWORD win9x, format, fullSupport;
    } cases[] = {
        {"Windows NT", 0, 1, 0},
        {"no 555or565 value", 1, 0, 0},
        {"D3DFullSupport set", 1, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        isWin9x = c.win9x;
        has555or565 = c.format;
        d3dFullSupport = c.fullSupport;
        ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
        EXPECT_FALSE(D3DVisible());
        EXPECT_FALSE(D3DGroupVisible());
        for (int i = 0; i < (int)ComboItems(IDC_COLOR_DEPTH).size(); ++i) {
            ChooseColor(i);
            EXPECT_FALSE(D3DVisible()) << "depth " << i;
        }
        sheet_.Close();
    }
}

TEST_F(PageControls, AModeInForceThatTheTableLacksIsNotAppliedUnlessChosen)
{
    // 640 x 400 never reaches the table.
    SetCurrentMode(16, 640, 400, 60);
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    // The last depth, area and code stand in for it.
    EXPECT_EQ((int)ComboItems(IDC_COLOR_DEPTH).size() - 1, ComboSelection(IDC_COLOR_DEPTH));
    EXPECT_EQ("1024 x 768 ﾋﾟｸｾﾙ", ControlText(IDC_AREA_TEXT));
    EXPECT_EQ(2, ComboSelection(IDC_REFRESH_RATE));
    EXPECT_EQ(colorDepthCount - 1, pageSelection.colorIndex);

    // Apply without a choice: the stand-in is not the user's mode; nothing is set or recorded.
    std::vector<std::string> before = RegSnapshot(HKEY_CURRENT_USER, kDriverKeyPath);
    DriverSimClearCalls();
    sheet_.Press(PSBTN_APPLYNOW);
    EXPECT_EQ(0, ModeChangeCalls());
    EXPECT_EQ(before, RegSnapshot(HKEY_CURRENT_USER, kDriverKeyPath));
    EXPECT_EQ(640u, DriverSimCurrent().width);

    // A choice is carried out: the test of the new mode, its announcement (cancelled here).
    MoveTrackbar(0);
    DialogAnswerer answerer({Answer(kTitle, "設定を変更します。", IDCANCEL)});
    DriverSimClearCalls();
    sheet_.Press(PSBTN_APPLYNOW);
    ASSERT_TRUE(answerer.Wait(20000)) << answerer.Failure();
    EXPECT_EQ(1, ModeSets(CDS_TEST));
    EXPECT_EQ(640u, DriverSimCurrent().width);
    EXPECT_EQ(400u, DriverSimCurrent().height);
}

TEST_F(PageControls, WithoutAnyUsableModeThePageOffersNothingAndAppliesNothing)
{
    UseModes({{8, 640, 400, {60}}, {16, 320, 200, {60}}, {16, 639, 480, {60}}});
    SetCurrentMode(16, 320, 200, 60);
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    EXPECT_EQ(0u, colorDepthCount);
    EXPECT_TRUE(ComboItems(IDC_COLOR_DEPTH).empty());
    EXPECT_TRUE(ComboItems(IDC_REFRESH_RATE).empty());
    EXPECT_EQ("", ControlText(IDC_AREA_TEXT));
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_COLOR_DEPTH)));
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_REFRESH_RATE)));
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_DESKTOP_AREA)));
    EXPECT_FALSE(D3DVisible());

    // Stray notifications read nothing.
    ChooseColor(0);
    ChooseRefresh(0);
    MoveTrackbar(0);
    EXPECT_EQ(0u, pageSelection.colorIndex);
    EXPECT_EQ(0u, pageSelection.areaIndex);
    EXPECT_EQ(0u, pageSelection.refreshIndex);

    std::vector<std::string> before = RegSnapshot(HKEY_CURRENT_USER, kDriverKeyPath);
    DriverSimClearCalls();
    sheet_.Press(PSBTN_OK);
    EXPECT_FALSE(sheet_.IsOpen());
    EXPECT_EQ(0, ModeChangeCalls());
    EXPECT_EQ(before, RegSnapshot(HKEY_CURRENT_USER, kDriverKeyPath));
}

TEST_F(PageControls, VersionDialogOpensCentredAndChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    DialogAnswerer answerer({Answer("ﾊﾞｰｼﾞｮﾝ情報", "Ｖｅｒ １．００", IDOK)});
    SendMessageA(UtilityPage(), WM_COMMAND, MAKEWPARAM(IDC_SHOW_VERSION, 0), 0);
    ASSERT_TRUE(answerer.Wait(20000)) << answerer.Failure();
    const SeenDialog &d = answerer.Seen()[0];
    int width = d.rect.right - d.rect.left, height = d.rect.bottom - d.rect.top;
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - width) / 2, d.rect.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - height) / 2, d.rect.top);
    EXPECT_TRUE(d.HasTextContaining(kTitle));
    EXPECT_FALSE(sheet_.ApplyEnabled());
}

} // namespace
