// The keyboard hook and the monitor picture: Alt with the arrow keys steps the screen
// position at the repeat and the release, Escape and a right-click return it without
// enabling Apply, other keys pass on; the pictures are laid out and drawn as designed.
#include "page_fixture.h"

#include "driver_sim.h"
#include "keyboard_input.h"
#include "monitor_controls.h"
#include "page_state.h"
#include "position_engine.h"
#include "registry_fixture.h"
#include "resource.h"

#include <commctrl.h>

namespace {

class PageHook : public PageTest {
protected:
    // The page in front with the keyboard focus on the trackbar, which takes no Alt keys.
    void OpenWithFocus()
    {
        ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
        SetForegroundWindow(sheet_.Window());
        SetFocus(Control(IDC_DESKTOP_AREA));
        sheet_.Run(100);
        ASSERT_EQ(Control(IDC_DESKTOP_AREA), GetFocus());
        ASSERT_NE(nullptr, keyboardHook);
        DriverSimClearCalls();
    }
    // Steps made behind the user's back, so that the position is away from its baseline.
    void StepAwayFromBaseline()
    {
        ASSERT_EQ(1, MovePosition(POSMOVE_LEFT));
        ASSERT_EQ(1, MovePosition(POSMOVE_UP));
        ASSERT_EQ(0x00120022u, DriverSimPosition());
        DriverSimClearCalls();
    }
};

TEST_F(PageHook, AltArrowStepsAtTheRepeatAndAtTheRelease)
{
    KeyRecorder later;   // made before the page's hook, so asked after it
    ASSERT_NO_FATAL_FAILURE(OpenWithFocus());
    KeyDown(VK_MENU);
    KeyDown(VK_LEFT);
    EXPECT_TRUE(PositionsSent().empty()) << "the first press makes no step";
    EXPECT_FALSE(sheet_.ApplyEnabled());
    KeyDown(VK_LEFT);   // auto-repeat
    EXPECT_EQ((std::vector<DWORD>{0x00120021}), PositionsSent());
    KeyUp(VK_LEFT);
    EXPECT_EQ((std::vector<DWORD>{0x00120021, 0x00130021}), PositionsSent());
    KeyUp(VK_MENU);
    EXPECT_TRUE(sheet_.ApplyEnabled());
    EXPECT_EQ(0x00130021u, DriverSimPosition());
    // Alt with an arrow is kept from the other hooks; the focused trackbar did not move.
    EXPECT_EQ(0, later.Count(VK_LEFT));
    EXPECT_GE(later.Count(VK_MENU), 2);
    EXPECT_EQ(1, TrackbarPos());
}

TEST_F(PageHook, EachArrowStepsItsAxisAndTheEndOfAListStillEnablesApply)
{
    DriverSimSetPosition(0x00100021);   // horizontal at the first value of its list
    ASSERT_NO_FATAL_FAILURE(OpenWithFocus());
    AltTap(VK_RIGHT);
    EXPECT_EQ((std::vector<DWORD>{0x00100021}), PositionsSent()) << "at the end: the same position again";
    EXPECT_TRUE(sheet_.ApplyEnabled());
    DriverSimClearCalls();
    AltTap(VK_UP);
    AltTap(VK_DOWN);
    AltTap(VK_DOWN);
    AltTap(VK_LEFT);
    EXPECT_EQ((std::vector<DWORD>{0x00100022, 0x00100021, 0x00100020, 0x00110020}), PositionsSent());
}

TEST_F(PageHook, EscapeReturnsToTheBaselineWithoutEnablingApply)
{
    KeyRecorder later;
    ASSERT_NO_FATAL_FAILURE(OpenWithFocus());
    StepAwayFromBaseline();
    KeyDown(VK_ESCAPE);
    EXPECT_TRUE(PositionsSent().empty()) << "the press does nothing";
    KeyUp(VK_ESCAPE);
    EXPECT_EQ((std::vector<DWORD>{0x00110021}), PositionsSent());
    EXPECT_FALSE(sheet_.ApplyEnabled());
    EXPECT_EQ(2, later.Count(VK_ESCAPE)) << "Escape passes on to the other hooks";
}

TEST_F(PageHook, EscapeInTheSheetCancelsAndTheResetIsStored)
{
    ASSERT_NO_FATAL_FAILURE(OpenWithFocus());
    StepAwayFromBaseline();
    DeliverDialogKeysTo(sheet_.Window());
    Tap(VK_ESCAPE);
    DeliverDialogKeysTo(nullptr);
    sheet_.Run(100);
    EXPECT_FALSE(sheet_.IsOpen());
    EXPECT_EQ(0x00110021u, DriverSimPosition());
    std::vector<unsigned char> stored;
    ASSERT_TRUE(RegReadValue(HKEY_CURRENT_USER, kDriverKeyPath, "16_0800_0600_075", &stored));
    EXPECT_EQ((std::vector<unsigned char>{0x21, 0x00, 0x11, 0x00}), stored);
}

TEST_F(PageHook, ARightClickOnThePicturesReturnsToTheBaselineWithoutEnablingApply)
{
    ASSERT_NO_FATAL_FAILURE(OpenWithFocus());
    StepAwayFromBaseline();
    RightClick(Control(IDC_MONITOR_PICTURE));
    EXPECT_EQ((std::vector<DWORD>{0x00110021}), PositionsSent());
    EXPECT_FALSE(sheet_.ApplyEnabled());

    // The arrows are laid out but never shown; their right-click does the same.
    StepAwayFromBaseline();
    for (int id : {IDC_ARROW_LEFT, IDC_ARROW_UP, IDC_ARROW_RIGHT, IDC_ARROW_DOWN})
        EXPECT_EQ(0, SendMessageA(Control(id), WM_RBUTTONDOWN, MK_RBUTTON, 0));
    EXPECT_EQ(4u, PositionsSent().size());
    EXPECT_EQ(0x00110021u, DriverSimPosition());
    EXPECT_FALSE(sheet_.ApplyEnabled());
}

TEST_F(PageHook, LeftClicksAndMouseMovesDoNothing)
{
    ASSERT_NO_FATAL_FAILURE(OpenWithFocus());
    StepAwayFromBaseline();
    HWND picture = Control(IDC_MONITOR_PICTURE);
    EXPECT_EQ(0, SendMessageA(picture, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10)));
    EXPECT_EQ(0, SendMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10)));
    EXPECT_EQ(0, SendMessageA(picture, WM_LBUTTONUP, 0, MAKELPARAM(10, 10)));
    EXPECT_EQ(0, SendMessageA(Control(IDC_ARROW_LEFT), WM_LBUTTONDOWN, MK_LBUTTON, 0));
    sheet_.Run(50);
    EXPECT_TRUE(PositionsSent().empty());
    EXPECT_EQ(0x00120022u, DriverSimPosition());
    EXPECT_FALSE(sheet_.ApplyEnabled());
}

TEST_F(PageHook, ArrowsWithoutAltPassToTheOtherHooksAndTheFocusedControl)
{
    KeyRecorder later;
    ASSERT_NO_FATAL_FAILURE(OpenWithFocus());
    Tap(VK_LEFT);
    EXPECT_TRUE(PositionsSent().empty());
    EXPECT_EQ(2, later.Count(VK_LEFT)) << "press and release reach the next hook";
    // The trackbar took the key: one area smaller, and the page followed.
    EXPECT_EQ(0, TrackbarPos());
    EXPECT_EQ(0u, pageSelection.areaIndex);
    EXPECT_EQ("640 x 480 ﾋﾟｸｾﾙ", ControlText(IDC_AREA_TEXT));
}

TEST_F(PageHook, TheHookLivesOnlyWhileThePageIsActive)
{
    ASSERT_NO_FATAL_FAILURE(OpenWithFocus());
    HHOOK first = keyboardHook;
    EXPECT_NE(nullptr, first);
    sheet_.Select(0);
    EXPECT_EQ(nullptr, keyboardHook);
    SetFocus(system_.window);
    DriverSimClearCalls();
    AltTap(VK_LEFT);
    EXPECT_TRUE(PositionsSent().empty()) << "no steps while another page is active";
    sheet_.Select(1);
    EXPECT_NE(nullptr, keyboardHook);
    // Closed while active (the sheet sends no PSN_KILLACTIVE then): the page removes it.
    sheet_.Close();
    EXPECT_EQ(nullptr, keyboardHook);
    EXPECT_EQ(nullptr, pageWindow);
}

// The screen's pixels in a window, as 32-bit values.
std::vector<DWORD> WindowPixels(HWND window, int width, int height)
{
    std::vector<DWORD> pixels((size_t)width * height);
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    for (DWORD &p : pixels)
        p &= 0x00FFFFFF;
    return pixels;
}

std::vector<DWORD> BitmapPixels(int id, int width, int height)
{
    std::vector<DWORD> pixels((size_t)width * height);
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    HDC screen = GetDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    for (DWORD &p : pixels)
        p &= 0x00FFFFFF;
    return pixels;
}

RECT RectInPage(HWND page, HWND control)
{
    RECT rc;
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, page, (POINT *)&rc, 2);
    return rc;
}

TEST_F(PageHook, PicturesArePlacedAroundTheMonitorAsDesigned)
{
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    // The controls are placed when they are made, in the page's client area of that time:
    // the template's 255 x 225 dialog units (the sheet may resize the page afterwards).
    RECT client = {0, 0, 255, 225};
    MapDialogRect(UtilityPage(), &client);
    const int width = client.right - client.left;
    const int mw = 160, mh = 120;
    RECT picture = RectInPage(UtilityPage(), Control(IDC_MONITOR_PICTURE));
    EXPECT_EQ((width - mw) / 2, picture.left);
    EXPECT_EQ(40, picture.top);
    EXPECT_EQ(mw, picture.right - picture.left);
    EXPECT_EQ(mh, picture.bottom - picture.top);

    struct Arrow {
        int id, bw, bh, left, top;
    } arrows[] = {
        {IDC_ARROW_LEFT, 24, 48, (width - mw) / 2 - 24 + 4, (mh - 48) / 2 + 40},
        {IDC_ARROW_UP, 48, 24, (width - 48) / 2, 4 - 24 + 40},
        {IDC_ARROW_RIGHT, 24, 48, (mw - client.left + client.right) / 2 - 4, (mh - 48) / 2 + 40},
        {IDC_ARROW_DOWN, 48, 24, (width - 48) / 2, mh - 4 + 40},
    };
    for (const Arrow &a : arrows) {
        SCOPED_TRACE(a.id);
        HWND arrow = Control(a.id);
        RECT rc = RectInPage(UtilityPage(), arrow);
        EXPECT_EQ(a.left, rc.left);
        EXPECT_EQ(a.top, rc.top);
        EXPECT_EQ(a.bw, rc.right - rc.left);
        EXPECT_EQ(a.bh, rc.bottom - rc.top);
        EXPECT_FALSE(GetWindowLongA(arrow, GWL_STYLE) & WS_VISIBLE);
        EXPECT_FALSE(IsWindowEnabled(arrow));
    }
    // The arrows frame the picture and overlap its edges by 4 pixels.
    EXPECT_EQ(picture.left + 4, RectInPage(UtilityPage(), Control(IDC_ARROW_LEFT)).right);
    EXPECT_EQ(picture.right - 4, RectInPage(UtilityPage(), Control(IDC_ARROW_RIGHT)).left);
    EXPECT_EQ(picture.top + 4, RectInPage(UtilityPage(), Control(IDC_ARROW_UP)).bottom);
    EXPECT_EQ(picture.bottom - 4, RectInPage(UtilityPage(), Control(IDC_ARROW_DOWN)).top);
}

TEST_F(PageHook, ThePictureShowsTheLogoOnceThePageHasBeenActive)
{
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    HWND picture = Control(IDC_MONITOR_PICTURE);
    EXPECT_EQ(1u, monitorPictureIndex);
    const std::vector<DWORD> desktop = BitmapPixels(IDB_MONITOR_DESKTOP, 160, 120);
    const std::vector<DWORD> logo = BitmapPixels(IDB_MONITOR_LOGO, 160, 120);
    ASSERT_NE(desktop, logo);
    RedrawWindow(picture, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    sheet_.Run(100);
    EXPECT_EQ(logo, WindowPixels(picture, 160, 120));

    // Picture 0 is what it draws before any activation.
    monitorPictureIndex = 0;
    RedrawWindow(picture, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    sheet_.Run(100);
    EXPECT_EQ(desktop, WindowPixels(picture, 160, 120));
    // Every activation shows the logo again.
    sheet_.Select(0);
    sheet_.Select(1);
    RedrawWindow(picture, nullptr, nullptr, RDW_UPDATENOW);
    sheet_.Run(100);
    EXPECT_EQ(1u, monitorPictureIndex);
    EXPECT_EQ(logo, WindowPixels(picture, 160, 120));
}

} // namespace
