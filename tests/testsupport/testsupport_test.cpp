// The process runner, the dialog answerer and the import patcher, checked against Wine's
// own programs, message boxes and loader before other tests rely on them.
#include "dialog_answerer.h"
#include "file_fixture.h"
#include "import_patch.h"
#include "process_runner.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

namespace {

std::string Cmd() { return SystemDir() + "\\cmd.exe"; }

struct BoxRequest {
    const char *caption;
    const char *text;
    UINT style;
    int result;
};

DWORD WINAPI ShowBox(void *param)
{
    BoxRequest *request = static_cast<BoxRequest *>(param);
    request->result = MessageBoxA(nullptr, request->text, request->caption, request->style);
    return 0;
}

DWORD WINAPI ShowTwoBoxes(void *param)
{
    BoxRequest *boxes = static_cast<BoxRequest *>(param);
    ShowBox(&boxes[0]);
    ShowBox(&boxes[1]);
    return 0;
}

// A loaded image as small as the import walk needs: "ZANFAKE.DLL" gives entry 0 by ordinal
// and entry 1 by name; "ZANBOUND.DLL" has no name table, and its slot holds a value that,
// taken for a name's address, would lead to the same name.
struct FakeImage {
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS nt;
    IMAGE_IMPORT_DESCRIPTOR libraries[3];
    IMAGE_THUNK_DATA names[3];
    IMAGE_THUNK_DATA slots[3];
    IMAGE_THUNK_DATA boundSlots[2];
    struct {
        WORD hint;
        char name[8];
    } second;
    char fakeName[16];
    char boundName[16];
} image;

DWORD Rva(const void *p) { return DWORD(static_cast<const BYTE *>(p) - reinterpret_cast<const BYTE *>(&image)); }

void BuildFakeImage()
{
    memset(&image, 0, sizeof image);
    image.dos.e_magic = IMAGE_DOS_SIGNATURE;
    image.dos.e_lfanew = LONG(Rva(&image.nt));
    image.nt.Signature = IMAGE_NT_SIGNATURE;
    image.nt.OptionalHeader.Magic = IMAGE_NT_OPTIONAL_HDR_MAGIC;
    image.nt.OptionalHeader.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    image.nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress = Rva(image.libraries);
    strcpy(image.fakeName, "ZANFAKE.DLL");
    strcpy(image.boundName, "ZANBOUND.DLL");
    strcpy(image.second.name, "Second");
    image.libraries[0].Name = Rva(image.fakeName);
    image.libraries[0].OriginalFirstThunk = Rva(image.names);
    image.libraries[0].FirstThunk = Rva(image.slots);
    image.names[0].u1.Ordinal = IMAGE_ORDINAL_FLAG | 2;
    image.names[1].u1.AddressOfData = Rva(&image.second);
    image.slots[0].u1.Function = 0x1000;
    image.slots[1].u1.Function = 0x2000;
    image.libraries[1].Name = Rva(image.boundName);
    image.libraries[1].FirstThunk = Rva(image.boundSlots);
    image.boundSlots[0].u1.Function = Rva(&image.second);
}

DWORD WINAPI FixedTickCount() { return 12345; }

} // namespace

TEST(ImportPatcher, ReplacesTheNamedEntryOnlyAndPutsItBack)
{
    static const struct {
        const char *dll;
        const char *function;
        bool found;   // entry 1 of "ZANFAKE.DLL" replaced
    } cases[] = {
        {"ZANFAKE.DLL", "Second", true},
        {"zanfake.dll", "Second", true},   // library names without regard to case
        {"ZANFAKE.DLL", "second", false},  // function names exactly
        {"ZANFAKE.DLL", "Secon", false},
        {"ZANFAKE", "Second", false},
        {"ZANBOUND.DLL", "Second", false},
    };
    HMODULE module = reinterpret_cast<HMODULE>(&image);
    void *replacement = reinterpret_cast<void *>(0x5000);
    for (const auto &c : cases) {
        BuildFakeImage();
        void *previous = PatchImport(module, c.dll, c.function, replacement);
        EXPECT_EQ(c.found ? reinterpret_cast<void *>(0x2000) : nullptr, previous) << c.dll << " " << c.function;
        EXPECT_EQ(0x1000u, image.slots[0].u1.Function) << c.dll << " " << c.function;
        EXPECT_EQ(c.found ? 0x5000u : 0x2000u, image.slots[1].u1.Function) << c.dll << " " << c.function;
        EXPECT_EQ(Rva(&image.second), image.boundSlots[0].u1.Function) << c.dll << " " << c.function;
        if (c.found) {   // put back the same way
            EXPECT_EQ(replacement, PatchImport(module, c.dll, c.function, previous));
            EXPECT_EQ(0x2000u, image.slots[1].u1.Function);
        }
    }
    EXPECT_EQ(nullptr, PatchImport(nullptr, "kernel32.dll", "GetTickCount", replacement));

    // This program's own table, as the loader left it.
    void *real = reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount"));
    {
        ImportPatch patch("kernel32.dll", "GetTickCount", reinterpret_cast<void *>(FixedTickCount));
        ImportPatch missing("kernel32.dll", "ZanNoSuchFunction", reinterpret_cast<void *>(FixedTickCount));
        ASSERT_TRUE(patch.installed());
        EXPECT_EQ(real, patch.original());
        EXPECT_EQ(12345u, GetTickCount());
        EXPECT_FALSE(missing.installed());
        EXPECT_EQ(nullptr, missing.original());
    }
    EXPECT_EQ(real, PatchImport(GetModuleHandleA(nullptr), "kernel32.dll", "GetTickCount", real));
}

TEST(ProcessRunner, ReturnsExitCodeUsesDirectoryAndEnvironment)
{
    std::string dir = WindowsDir() + "\\ZANRUNNER";
    ASSERT_TRUE(MakeDirs(dir));
    ASSERT_TRUE(WriteFileBytes(dir + "\\marker.txt", "x"));
    RunOptions options;
    options.currentDir = dir;
    options.env.push_back({"ZAN_RUNNER_PROBE", "abc"});
    options.arguments = "/c if exist marker.txt if \"%ZAN_RUNNER_PROBE%\"==\"abc\" exit 7";
    RunResult r = RunProgram(Cmd(), options);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(7u, r.exitCode);

    options.env.clear();
    r = RunProgram(Cmd(), options);  // without the variable the condition fails
    EXPECT_EQ(0u, r.exitCode);
    RemovePath(dir);
}

TEST(ProcessRunner, KillsOnTimeoutAndReportsMissingProgram)
{
    RunOptions options;
    // ping itself, not through cmd: a killed cmd would leave its ping running.
    options.arguments = "-n 30 127.0.0.1";
    options.timeoutMs = 1000;
    RunResult r = RunProgram(SystemDir() + "\\ping.exe", options);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(kKilledExitCode, r.exitCode);

    r = RunProgram("C:\\no\\such\\program.exe");
    EXPECT_FALSE(r.started);
    EXPECT_NE(0u, r.startError);
}

TEST(DialogAnswerer, AnswersASequenceAndRecordsTexts)
{
    // One thread shows two boxes one after the other, as a program's run would.
    BoxRequest boxes[2] = {{"ZanProbeA", "first box", MB_YESNO | MB_ICONQUESTION, 0},
                           {"ZanProbeB", "second box", MB_OKCANCEL, 0}};
    DialogAnswerer answerer({PressButton("ZanProbeA", IDNO, "first"), PressButtonText("ZanProbeB", "OK")});
    HANDLE t = CreateThread(nullptr, 0, ShowTwoBoxes, boxes, 0, nullptr);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 20000));
    CloseHandle(t);
    EXPECT_EQ(IDNO, boxes[0].result);
    EXPECT_EQ(IDOK, boxes[1].result);
    std::vector<SeenDialog> seen = answerer.Seen();
    ASSERT_EQ(2u, seen.size());
    EXPECT_TRUE(seen[0].HasTextContaining("first box")) << seen[0].AllTexts();
    EXPECT_NE(nullptr, seen[0].Control(IDYES));
    EXPECT_EQ(IDNO, seen[0].pressedId);
    EXPECT_TRUE(seen[1].HasTextContaining("second box")) << seen[1].AllTexts();
    EXPECT_EQ(IDOK, seen[1].pressedId);
}

TEST(DialogAnswerer, PressesByTextAndTimesOutCleanly)
{
    BoxRequest box = {"ZanProbeC", "third box", MB_OKCANCEL, 0};
    HANDLE t = CreateThread(nullptr, 0, ShowBox, &box, 0, nullptr);
    {
        ExpectedDialog expected;
        expected.caption = "ZanProbeC";
        expected.mustContain = "third";
        expected.pressId = IDCANCEL;
        expected.method = PressMethod::Command;
        DialogAnswerer answerer({expected});
        ASSERT_TRUE(answerer.Wait(20000)) << answerer.Failure();
        std::vector<SeenDialog> seen = answerer.Seen();
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ("ZanProbeC", seen[0].caption);
        EXPECT_TRUE(seen[0].HasTextContaining("third box")) << seen[0].AllTexts();
        EXPECT_EQ(GetCurrentProcessId(), seen[0].processId);
        EXPECT_TRUE(seen[0].style & WS_CAPTION);
    }
    WaitForSingleObject(t, 20000);
    CloseHandle(t);
    EXPECT_EQ(IDCANCEL, box.result);

    ExpectedDialog never;
    never.caption = "ZanProbeNeverShown";
    never.pressId = IDOK;
    never.timeoutMs = 500;
    DialogAnswerer answerer({never});
    EXPECT_FALSE(answerer.Wait(10000));
    EXPECT_NE(std::string::npos, answerer.Failure().find("timed out")) << answerer.Failure();
}
