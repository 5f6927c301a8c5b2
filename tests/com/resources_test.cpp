// The resources of ZANUTL.DLL as the page, its dialogs and its controls load them: the
// dialog templates read back control by control, the pictures' sizes and colours, and
// the icon group.
#include "test_paths.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

HMODULE Utility()
{
    static HMODULE module = LoadLibraryExA(DistPath("ZANUTL.DLL").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

std::string Cp932(const std::wstring &text)
{
    if (text.empty())
        return "";
    char out[1024];
    int n = WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), out, sizeof out, nullptr, nullptr);
    return std::string(out, n > 0 ? n : 0);
}

struct TemplateItem {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string className;   // predefined classes by name ("Button", "Static", ...)
    std::string text;        // "#N" for a resource ordinal
};

struct DialogTemplate {
    bool found = false;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    WORD pointSize = 0;
    std::string font;
    std::vector<TemplateItem> items;
    const TemplateItem *Item(int id, const std::string &text = std::string()) const
    {
        for (const TemplateItem &item : items) {
            if (item.id == id && (text.empty() || item.text == text))
                return &item;
        }
        return nullptr;
    }
};

// Reads a "sz_Or_Ord" field.
std::string ReadNameOrOrdinal(const WORD *&p)
{
    if (*p == 0xFFFF) {
        WORD ordinal = p[1];
        p += 2;
        return "#" + std::to_string(ordinal);
    }
    std::wstring text;
    while (*p)
        text += static_cast<wchar_t>(*p++);
    ++p;
    return Cp932(text);
}

DialogTemplate ReadDialog(int id)
{
    DialogTemplate dialog;
    HRSRC resource = FindResourceA(Utility(), MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG));
    if (!resource)
        return dialog;
    const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(Utility(), resource)));
    const DLGTEMPLATE *header = reinterpret_cast<const DLGTEMPLATE *>(data);
    dialog.found = true;
    dialog.style = header->style;
    dialog.x = header->x;
    dialog.y = header->y;
    dialog.cx = header->cx;
    dialog.cy = header->cy;
    const WORD *p = reinterpret_cast<const WORD *>(header + 1);
    ReadNameOrOrdinal(p);   // menu
    ReadNameOrOrdinal(p);   // class
    dialog.caption = ReadNameOrOrdinal(p);
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = *p++;
        dialog.font = ReadNameOrOrdinal(p);
    }
    static const char *const kAtoms[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    for (int i = 0; i < header->cdit; ++i) {
        p = reinterpret_cast<const WORD *>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3));
        const DLGITEMTEMPLATE *raw = reinterpret_cast<const DLGITEMTEMPLATE *>(p);
        TemplateItem item;
        item.style = raw->style;
        item.x = raw->x;
        item.y = raw->y;
        item.cx = raw->cx;
        item.cy = raw->cy;
        item.id = static_cast<short>(raw->id);
        p = reinterpret_cast<const WORD *>(raw + 1);
        if (*p == 0xFFFF && p[1] >= 0x80 && p[1] <= 0x85) {
            item.className = kAtoms[p[1] - 0x80];
            p += 2;
        } else {
            item.className = ReadNameOrOrdinal(p);
        }
        item.text = ReadNameOrOrdinal(p);
        WORD extra = *p++;
        p = reinterpret_cast<const WORD *>(reinterpret_cast<const BYTE *>(p) + extra);
        dialog.items.push_back(item);
    }
    return dialog;
}

struct Expected {
    int id;
    const char *className;
    const char *text;
    short x, y, cx, cy;
};

void ExpectItem(const DialogTemplate &dialog, const Expected &e)
{
    const TemplateItem *item = dialog.Item(e.id, e.id == -1 ? e.text : "");
    ASSERT_NE(nullptr, item) << "control " << e.id << " " << e.text;
    // Window class names are compared without regard to case, and resource compilers
    // store them in capitals.
    EXPECT_EQ(0, _stricmp(e.className, item->className.c_str())) << e.id << " " << e.text << ": " << item->className;
    EXPECT_EQ(std::string(e.text), item->text) << e.id;
    EXPECT_EQ(e.x, item->x) << e.id << " " << e.text;
    EXPECT_EQ(e.y, item->y) << e.id << " " << e.text;
    EXPECT_EQ(e.cx, item->cx) << e.id << " " << e.text;
    EXPECT_EQ(e.cy, item->cy) << e.id << " " << e.text;
    EXPECT_TRUE(item->style & WS_CHILD) << e.id;
}

const char kTitle[] = "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ";
const char kFont[] = "ＭＳ Ｐゴシック";

TEST(Resources, SettingsPageTemplate)
{
    ASSERT_NE(nullptr, Utility());
    DialogTemplate page = ReadDialog(101);
    ASSERT_TRUE(page.found);
    EXPECT_EQ(255, page.cx);
    EXPECT_EQ(225, page.cy);
    EXPECT_EQ(kTitle, page.caption);
    EXPECT_EQ(9, page.pointSize);
    EXPECT_EQ(kFont, page.font);
    EXPECT_TRUE(page.style & WS_CHILD);
    EXPECT_EQ(17u, page.items.size());
    const Expected items[] = {
        {-1, "Button", "ｶﾗｰ ﾊﾟﾚｯﾄ(\x1E" "C\x1Fｶ)", 10, 130, 115, 45},
        {1000, "ComboBox", "", 16, 142, 104, 65},
        {-1, "Static", "#102", 16, 159, 103, 9},
        {-1, "Button", "ﾃﾞｽｸﾄｯﾌﾟ領域(\x1E" "D\x1Fﾃ)", 130, 130, 115, 45},
        {1002, "msctls_trackbar32", "Slider1", 154, 142, 70, 15},
        {-1, "Static", "小", 138, 145, 8, 10},
        {-1, "Static", "大", 230, 145, 8, 8},
        {1003, "Static", "1280 x 1024 ﾋﾟｸｾﾙ", 163, 161, 60, 8},
        {-1, "Button", "ﾘﾌﾚｯｼｭ ﾚｰﾄ(\x1E" "R\x1Fﾘ)", 130, 180, 115, 35},
        {1001, "ComboBox", "", 140, 194, 100, 80},
        {1004, "ZanStatic", "ZanStatic", 84, 25, 85, 80},
        {1006, "ZanButton", "ZanButtonTop", 110, 8, 30, 15},
        {1007, "ZanButton", "ZanButtonRight", 171, 50, 15, 30},
        {1008, "ZanButton", "ZanButtonLeft", 67, 49, 15, 30},
        {1009, "ZanButton", "ZanButtonBotoom", 111, 107, 30, 15},
        {1020, "Button", "Direct3D(\x1E" "T\x1F" "D)", 10, 180, 115, 35},
        {1021, "Button", "Direct3D用のｶﾗｰを使用する", 18, 195, 97, 10},
    };
    for (const Expected &e : items)
        ExpectItem(page, e);

    for (int id : {1000, 1001}) {
        const TemplateItem *combo = page.Item(id);
        ASSERT_NE(nullptr, combo);
        EXPECT_EQ(static_cast<DWORD>(CBS_DROPDOWNLIST), combo->style & 3u) << id;
        EXPECT_TRUE(combo->style & WS_VSCROLL) << id;
        EXPECT_TRUE(combo->style & WS_TABSTOP) << id;
    }
    const TemplateItem *slider = page.Item(1002);
    ASSERT_NE(nullptr, slider);
    EXPECT_TRUE(slider->style & TBS_NOTICKS);
    EXPECT_FALSE(slider->style & TBS_VERT);
    EXPECT_TRUE(slider->style & WS_TABSTOP);
    const TemplateItem *bar = page.Item(-1, "#102");
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(static_cast<DWORD>(SS_BITMAP), bar->style & SS_TYPEMASK);
    EXPECT_TRUE(bar->style & WS_BORDER);
    EXPECT_TRUE(bar->style & SS_SUNKEN);
    const TemplateItem *check = page.Item(1021);
    ASSERT_NE(nullptr, check);
    EXPECT_EQ(static_cast<DWORD>(BS_AUTOCHECKBOX), check->style & 0x0Fu);
    EXPECT_TRUE(check->style & WS_TABSTOP);
    EXPECT_EQ(static_cast<DWORD>(BS_GROUPBOX), page.Item(1020)->style & 0x0Fu);

    // The picture is shown; the arrows are laid out but never seen.
    EXPECT_TRUE(page.Item(1004)->style & WS_VISIBLE);
    for (int id : {1006, 1007, 1008, 1009}) {
        EXPECT_FALSE(page.Item(id)->style & WS_VISIBLE) << id;
        EXPECT_TRUE(page.Item(id)->style & WS_DISABLED) << id;
    }
}

void ExpectModalDialog(const DialogTemplate &dialog, const char *caption, short cx, short cy)
{
    ASSERT_TRUE(dialog.found) << caption;
    EXPECT_EQ(std::string(caption), dialog.caption);
    EXPECT_EQ(cx, dialog.cx) << caption;
    EXPECT_EQ(cy, dialog.cy) << caption;
    EXPECT_EQ(9, dialog.pointSize) << caption;
    EXPECT_EQ(kFont, dialog.font) << caption;
    DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(wanted, dialog.style & wanted) << caption;
}

TEST(Resources, ConfirmationDialog)
{
    DialogTemplate dialog = ReadDialog(118);
    ExpectModalDialog(dialog, kTitle, 155, 69);
    ASSERT_EQ(4u, dialog.items.size());
    ExpectItem(dialog, {1, "Button", "はい(&Y)", 23, 45, 50, 14});
    ExpectItem(dialog, {2, "Button", "いいえ(&N)", 83, 45, 50, 14});
    ExpectItem(dialog, {1015, "Static", "", 18, 11, 18, 20});
    ExpectItem(dialog, {-1, "Static", "正常に表示されていますか？", 50, 18, 85, 10});
    EXPECT_EQ(static_cast<DWORD>(BS_DEFPUSHBUTTON), dialog.Item(1)->style & 0x0Fu);
    EXPECT_EQ(static_cast<DWORD>(BS_PUSHBUTTON), dialog.Item(2)->style & 0x0Fu);
    EXPECT_EQ(static_cast<DWORD>(SS_ICON), dialog.Item(1015)->style & SS_TYPEMASK);
}

TEST(Resources, RestartQuestionDialog)
{
    DialogTemplate dialog = ReadDialog(120);
    ExpectModalDialog(dialog, kTitle, 187, 93);
    ASSERT_EQ(5u, dialog.items.size());
    ExpectItem(dialog, {1016, "Button", "ﾘｽﾀｰﾄ(&R)", 13, 65, 50, 14});
    ExpectItem(dialog, {1014, "Button", "切り替え(&G)", 70, 65, 50, 14});
    ExpectItem(dialog, {2, "Button", "ｷｬﾝｾﾙ", 127, 65, 50, 14});
    ExpectItem(dialog, {1015, "Static", "", 14, 17, 18, 20});
    ExpectItem(dialog, {-1, "Static",
                        "ﾘｽﾀｰﾄせずに色数を変更すると、\n正常に動作しなくなる場合があります。\n\nﾘｽﾀｰﾄしますか？", 45, 13,
                        115, 35});
    EXPECT_EQ(static_cast<DWORD>(BS_DEFPUSHBUTTON), dialog.Item(1016)->style & 0x0Fu);
    EXPECT_EQ(static_cast<DWORD>(SS_ICON), dialog.Item(1015)->style & SS_TYPEMASK);
}

TEST(Resources, VersionDialog)
{
    DialogTemplate dialog = ReadDialog(116);
    ExpectModalDialog(dialog, "ﾊﾞｰｼﾞｮﾝ情報", 149, 93);
    const TemplateItem *icon = nullptr;
    for (const TemplateItem &item : dialog.items) {
        if (_stricmp(item.className.c_str(), "Static") == 0 && (item.style & SS_TYPEMASK) == SS_ICON)
            icon = &item;
    }
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ("#119", icon->text);
    bool titled = false;
    for (const TemplateItem &item : dialog.items)
        titled = titled || item.text == kTitle;
    EXPECT_TRUE(titled);
    ASSERT_NE(nullptr, dialog.Item(1010));
    EXPECT_EQ("Ｖｅｒ １．００", dialog.Item(1010)->text);
    ASSERT_NE(nullptr, dialog.Item(1011));
    EXPECT_FALSE(dialog.Item(1011)->text.empty());
    EXPECT_EQ(std::string::npos, dialog.Item(1011)->text.find('\n')) << "a one-line notice";
    ASSERT_NE(nullptr, dialog.Item(1));
    EXPECT_EQ("OK", dialog.Item(1)->text);
    EXPECT_EQ(static_cast<DWORD>(BS_DEFPUSHBUTTON), dialog.Item(1)->style & 0x0Fu);
}

// A 16-colour bitmap resource, read as stored.
struct Picture {
    bool found = false;
    int width = 0, height = 0, bits = 0;
    const RGBQUAD *palette = nullptr;
    const BYTE *pixels = nullptr;
    // The colour of a pixel, top row first.
    COLORREF At(int x, int y) const
    {
        int stride = ((width * 4 + 31) / 32) * 4;
        BYTE pair = pixels[(height - 1 - y) * stride + x / 2];
        BYTE index = x % 2 ? pair & 0x0F : pair >> 4;
        return RGB(palette[index].rgbRed, palette[index].rgbGreen, palette[index].rgbBlue);
    }
};

Picture ReadPicture(int id)
{
    Picture picture;
    HRSRC resource = FindResourceA(Utility(), MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_BITMAP));
    if (!resource)
        return picture;
    const BITMAPINFOHEADER *header =
        static_cast<const BITMAPINFOHEADER *>(LockResource(LoadResource(Utility(), resource)));
    picture.found = true;
    picture.width = header->biWidth;
    picture.height = header->biHeight;
    picture.bits = header->biBitCount;
    picture.palette = reinterpret_cast<const RGBQUAD *>(reinterpret_cast<const BYTE *>(header) + header->biSize);
    int colours = header->biClrUsed ? static_cast<int>(header->biClrUsed) : 16;
    picture.pixels = reinterpret_cast<const BYTE *>(picture.palette + colours);
    return picture;
}

TEST(Resources, PicturesHaveTheirSizesAndSixteenColours)
{
    struct Size {
        int id, width, height;
    };
    const Size sizes[] = {{103, 160, 120}, {123, 160, 120}, {107, 24, 48}, {108, 48, 24}, {109, 24, 48},
                          {110, 48, 24},   {111, 24, 48},   {112, 48, 24}, {113, 24, 48}, {114, 48, 24}};
    for (const Size &s : sizes) {
        Picture picture = ReadPicture(s.id);
        ASSERT_TRUE(picture.found) << s.id;
        EXPECT_EQ(s.width, picture.width) << s.id;
        EXPECT_EQ(s.height, picture.height) << s.id;
        EXPECT_EQ(4, picture.bits) << s.id;
        // As the controls load them.
        HMODULE module = LoadLibraryA(DistPath("ZANUTL.DLL").c_str());
        HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(s.id));
        ASSERT_NE(nullptr, bitmap) << s.id;
        BITMAP info;
        ASSERT_EQ(static_cast<int>(sizeof info), GetObjectA(bitmap, sizeof info, &info));
        EXPECT_EQ(s.width, info.bmWidth) << s.id;
        EXPECT_EQ(s.height, info.bmHeight) << s.id;
        DeleteObject(bitmap);
        FreeLibrary(module);
    }
    Picture bar = ReadPicture(102);
    ASSERT_TRUE(bar.found);
    EXPECT_EQ(4, bar.bits);
}

TEST(Resources, ArrowMasksCoverExactlyTheArrows)
{
    for (int direction = 0; direction < 4; ++direction) {
        Picture image = ReadPicture(107 + direction);
        Picture mask = ReadPicture(111 + direction);
        ASSERT_TRUE(image.found && mask.found) << direction;
        int arrowPixels = 0;
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                COLORREF m = mask.At(x, y);
                ASSERT_TRUE(m == RGB(0, 0, 0) || m == RGB(255, 255, 255)) << direction << " at " << x << "," << y;
                bool arrow = m == RGB(0, 0, 0);
                arrowPixels += arrow;
                // Outside the arrow the image is black, so that painting it over the masked
                // background changes nothing there.
                if (!arrow) {
                    EXPECT_EQ(RGB(0, 0, 0), image.At(x, y)) << direction << " at " << x << "," << y;
                }
            }
        }
        EXPECT_GT(arrowPixels, image.width * image.height / 4) << direction;
        EXPECT_LT(arrowPixels, image.width * image.height) << direction;
        // Each arrow points its own way: its tip is on that edge's middle.
        int cx = image.width / 2, cy = image.height / 2;
        int tipX[] = {3, cx, image.width - 4, cx};
        int tipY[] = {cy, 3, cy, image.height - 4};
        int tailX[] = {1, 1, image.width - 2, 1};
        int tailY[] = {1, 1, 1, image.height - 2};
        EXPECT_EQ(RGB(0, 0, 0), mask.At(tipX[direction], tipY[direction])) << direction;
        EXPECT_EQ(RGB(255, 255, 255), mask.At(tailX[direction], tailY[direction])) << direction;
    }
}

TEST(Resources, IconGroupHasTheTwoSixteenColourImages)
{
    HRSRC resource = FindResourceA(Utility(), MAKEINTRESOURCEA(119), reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
    ASSERT_NE(nullptr, resource);
    const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(Utility(), resource)));
    const WORD *header = reinterpret_cast<const WORD *>(data);
    ASSERT_EQ(1, header[1]) << "icon group";
    ASSERT_EQ(2, header[2]);
    std::vector<int> sizes;
    for (int i = 0; i < 2; ++i) {
        const BYTE *entry = data + 6 + 14 * i;   // GRPICONDIRENTRY
        EXPECT_EQ(entry[0], entry[1]) << "square";
        EXPECT_EQ(16, entry[2]) << "colours";
        EXPECT_EQ(4, *reinterpret_cast<const WORD *>(entry + 6)) << "bits per pixel";
        sizes.push_back(entry[0]);
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<int>{16, 32}), sizes);
    HMODULE module = LoadLibraryA(DistPath("ZANUTL.DLL").c_str());
    EXPECT_NE(nullptr, LoadIconA(module, MAKEINTRESOURCEA(119)));
    FreeLibrary(module);
}

} // namespace
