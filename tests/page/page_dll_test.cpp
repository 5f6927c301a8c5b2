// The shipped ZANUTL.DLL loaded into this test as the Display sheet loads it: created
// through its class factory, its page added to a sheet on the sample board, visited and
// closed again and again. Counting at the module's own import table shows that it gives
// back every bitmap, device context, hook and heap block it takes.
#include "driver_sim.h"
#include "import_counter.h"
#include "keyboard_input.h"
#include "process_runner.h"
#include "test_paths.h"
#include "test_sheet.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <vector>

namespace {

const GUID kDisplayUtilityClass = {0x4E27A9C1, 0x5D3B, 0x11d0, {0x9A, 0x6E, 0x00, 0x40, 0xC7, 0x1B, 0x82, 0xF4}};
const GUID kClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kShellPropSheetExt = {0x000214E9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const char kDriverKey[] = "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\0001\\UTILITY";

typedef HRESULT(WINAPI *GetClassObjectProc)(REFCLSID, REFIID, void **);
typedef HRESULT(WINAPI *CanUnloadProc)();

BOOL CALLBACK CollectPage(HPROPSHEETPAGE page, LPARAM pages)
{
    ((std::vector<HPROPSHEETPAGE> *)pages)->push_back(page);
    return TRUE;
}

void RunSample(const char *arguments)
{
    RunOptions options;
    options.arguments = arguments;
    RunResult r = RunProgram(StandinPath("sampleinstall.exe"), options);
    ASSERT_TRUE(r.started);
    ASSERT_EQ(0u, r.exitCode) << "sampleinstall " << arguments;
}

class ShippedPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunSample("adapter");
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&icc);
        module_ = LoadLibraryA(DistPath("ZANUTL.DLL").c_str());
        ASSERT_NE(nullptr, module_);
        DriverSimReset();
        ASSERT_TRUE(DriverSimInstall(module_));
        DriverSimUseDriverKey(HKEY_LOCAL_MACHINE, kDriverKey);
        getClassObject_ = (GetClassObjectProc)(void *)GetProcAddress(module_, "DllGetClassObject");
        canUnload_ = (CanUnloadProc)(void *)GetProcAddress(module_, "DllCanUnloadNow");
        ASSERT_NE(nullptr, getClassObject_);
        ASSERT_NE(nullptr, canUnload_);
        ASSERT_EQ(S_OK, getClassObject_(kDisplayUtilityClass, kClassFactory, (void **)&factory_));
    }
    void TearDown() override
    {
        sheet_.Close();
        if (factory_)
            factory_->Release();
        RemoveImportCounters();
        if (module_) {
            EXPECT_EQ(S_OK, canUnload_());
            DriverSimUseDriverKey(nullptr, nullptr);
            DriverSimUninstall(module_);
            FreeLibrary(module_);
        }
        RunSample("adapter-remove");
    }
    // One visit: the extension made, its page added beside the system page, the page shown
    // (drawn, hook in), a step with Alt+Left, the system page (hook out), back, the sheet
    // closed and the extension released, as the shell does.
    void Visit(DWORD settleMs)
    {
        IShellPropSheetExt *extension = nullptr;
        ASSERT_EQ(S_OK, factory_->CreateInstance(nullptr, kShellPropSheetExt, (void **)&extension));
        std::vector<HPROPSHEETPAGE> pages(1, CreateSystemPage("ﾃﾞｨｽﾌﾟﾚｲの詳細", &system_));
        ASSERT_EQ(S_OK, extension->AddPages(CollectPage, (LPARAM)&pages));
        ASSERT_EQ(2u, pages.size());
        ASSERT_TRUE(sheet_.Open(pages, 0, settleMs));
        sheet_.Select(1, settleMs);
        UpdateWindow(sheet_.Window());
        SetKeySettleTime(settleMs / 2);
        AltTap(VK_LEFT);
        SetKeySettleTime(60);
        sheet_.Select(0, settleMs);
        sheet_.Select(1, settleMs);
        sheet_.Close();
        EXPECT_EQ(0u, extension->Release());
    }
    int PositionsSent()
    {
        int n = 0;
        for (int i = 0; i < DriverSimCallCount(); ++i)
            n += DriverSimCall(i).kind == SIM_ESCAPE_SETPOSITION ? 1 : 0;
        return n;
    }

    HMODULE module_ = nullptr;
    GetClassObjectProc getClassObject_ = nullptr;
    CanUnloadProc canUnload_ = nullptr;
    IClassFactory *factory_ = nullptr;
    TestSheet sheet_;
    SystemPageRecord system_;
};

TEST_F(ShippedPage, RepeatedVisitsGiveBackWhatTheyTake)
{
    ASSERT_TRUE(InstallImportCounters(module_));
    Visit(200);
    ASSERT_EQ(1, PositionsSent()) << "the page is alive: Alt+Left stepped the position";
    ResetResourceCounts();
    DriverSimClearCalls();

    // Every count is held to the first visit's times the visits, so one object kept per
    // visit shows from the second visit on; more visits only cost time.
    const int visits = 25;
    ResourceCounts afterFirst;
    for (int i = 0; i < visits; ++i) {
        Visit(30);
        if (HasFatalFailure())
            return;
        if (i == 0)
            afterFirst = CurrentResourceCounts();
    }
    const ResourceCounts c = CurrentResourceCounts();
    std::printf("ZANUTL.DLL after %d visits: %s; position steps %d\n", visits, Describe(c).c_str(), PositionsSent());
    RecordProperty("counts", Describe(c));

    EXPECT_GE(c.bitmapsLoaded, visits * 6);
    EXPECT_GE(c.hooksSet, visits * 2);
    EXPECT_GE(c.localAllocs, visits * 2) << "extension objects and mode tables";
    EXPECT_EQ(afterFirst.bitmapsLoaded * visits, c.bitmapsLoaded);
    EXPECT_EQ(afterFirst.localAllocs * visits, c.localAllocs);
    EXPECT_EQ(0, c.liveBitmaps);
    EXPECT_EQ(c.bitmapsLoaded, c.objectsDeleted);
    EXPECT_EQ(c.memoryDcsCreated, c.memoryDcsDeleted);
    EXPECT_EQ(c.dcsGot, c.dcsReleased);
    EXPECT_EQ(c.paintsBegun, c.paintsEnded);
    EXPECT_EQ(c.hooksSet, c.hooksRemoved);
    EXPECT_EQ(0, c.liveHooks);
    EXPECT_EQ(c.localAllocs, c.localFrees);
    EXPECT_EQ(0, c.liveLocalBlocks);
    EXPECT_EQ(0, c.liveLocalBytes);

    // The classes go with the last extension; the factory alone keeps the module.
    WNDCLASSA wc;
    EXPECT_FALSE(GetClassInfoA(module_, "ZanStatic", &wc));
    EXPECT_FALSE(GetClassInfoA(module_, "ZanButton", &wc));
    EXPECT_EQ(S_FALSE, canUnload_());
    factory_->Release();
    factory_ = nullptr;
}

} // namespace
