// The COM contract of ZANUTL.DLL, called as the shell calls it: the real module loaded
// with LoadLibrary, its exports found with GetProcAddress, its objects used only through
// their function tables.
#include "board_registry.h"
#include "driver_sim.h"
#include "import_patch.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <prsht.h>
#include <shlobj.h>

#include <vector>

namespace {

const CLSID kUtilityClass = {0x4E27A9C1, 0x5D3B, 0x11d0, {0x9A, 0x6E, 0x00, 0x40, 0xC7, 0x1B, 0x82, 0xF4}};
const IID kUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kPropSheetExt = {0x000214E9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kShellExtInit = {0x000214E8, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

void *const kGarbage = reinterpret_cast<void *>(0x1234);

typedef HRESULT(WINAPI *GetClassObjectProc)(REFCLSID, REFIID, void **);
typedef HRESULT(WINAPI *CanUnloadProc)();

HMODULE utility;
GetClassObjectProc getClassObject;
CanUnloadProc canUnloadNow;

// --- counting and failing stand-ins for the module's imports ---------------------------

void *realLocalAlloc, *realCreatePage, *realDestroyPage, *realRegOpenKeyEx, *realRegCloseKey;
bool failLocalAlloc, failCreatePage;
std::vector<HPROPSHEETPAGE> destroyedPages;
std::vector<HKEY> openKeys;   // opened by the module and not yet closed

HLOCAL WINAPI TestLocalAlloc(UINT flags, SIZE_T bytes)
{
    if (failLocalAlloc)
        return nullptr;
    return reinterpret_cast<HLOCAL(WINAPI *)(UINT, SIZE_T)>(realLocalAlloc)(flags, bytes);
}

HPROPSHEETPAGE WINAPI TestCreatePage(LPCPROPSHEETPAGEA page)
{
    if (failCreatePage)
        return nullptr;
    return reinterpret_cast<HPROPSHEETPAGE(WINAPI *)(LPCPROPSHEETPAGEA)>(realCreatePage)(page);
}

BOOL WINAPI TestDestroyPage(HPROPSHEETPAGE page)
{
    destroyedPages.push_back(page);
    return reinterpret_cast<BOOL(WINAPI *)(HPROPSHEETPAGE)>(realDestroyPage)(page);
}

LONG WINAPI TestRegOpenKeyEx(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key)
{
    LONG rc = reinterpret_cast<LONG(WINAPI *)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY)>(realRegOpenKeyEx)(
        root, path, options, access, key);
    if (rc == ERROR_SUCCESS)
        openKeys.push_back(*key);
    return rc;
}

LONG WINAPI TestRegCloseKey(HKEY key)
{
    for (auto it = openKeys.begin(); it != openKeys.end(); ++it) {
        if (*it == key) {
            openKeys.erase(it);
            break;
        }
    }
    return reinterpret_cast<LONG(WINAPI *)(HKEY)>(realRegCloseKey)(key);
}

// --- the objects, through their tables --------------------------------------------------

struct FactoryTable {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(void *, REFIID, void **);
    ULONG(STDMETHODCALLTYPE *AddRef)(void *);
    ULONG(STDMETHODCALLTYPE *Release)(void *);
    HRESULT(STDMETHODCALLTYPE *CreateInstance)(void *, void *, REFIID, void **);
    HRESULT(STDMETHODCALLTYPE *LockServer)(void *, BOOL);
};
struct ExtensionTable {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(void *, REFIID, void **);
    ULONG(STDMETHODCALLTYPE *AddRef)(void *);
    ULONG(STDMETHODCALLTYPE *Release)(void *);
    HRESULT(STDMETHODCALLTYPE *AddPages)(void *, LPFNADDPROPSHEETPAGE, LPARAM);
    HRESULT(STDMETHODCALLTYPE *ReplacePage)(void *, UINT, LPFNADDPROPSHEETPAGE, LPARAM);
};
const FactoryTable &Factory(void *object) { return **static_cast<FactoryTable **>(object); }
const ExtensionTable &Extension(void *object) { return **static_cast<ExtensionTable **>(object); }

// The sheet's add-page function: keeps what it is given, refuses when told to.
struct Sheet {
    std::vector<HPROPSHEETPAGE> pages;
    bool refuse = false;
    int calls = 0;
};
BOOL CALLBACK AddPage(HPROPSHEETPAGE page, LPARAM data)
{
    Sheet *sheet = reinterpret_cast<Sheet *>(data);
    ++sheet->calls;
    sheet->pages.push_back(page);
    return sheet->refuse ? FALSE : TRUE;
}

bool ClassRegistered(const char *name)
{
    WNDCLASSA info;
    return GetClassInfoA(utility, name, &info) != FALSE;
}

class ComServer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        utility = LoadLibraryA(DistPath("ZANUTL.DLL").c_str());
        ASSERT_NE(nullptr, utility);
        getClassObject = reinterpret_cast<GetClassObjectProc>(
            reinterpret_cast<void *>(GetProcAddress(utility, "DllGetClassObject")));
        canUnloadNow =
            reinterpret_cast<CanUnloadProc>(reinterpret_cast<void *>(GetProcAddress(utility, "DllCanUnloadNow")));
        realLocalAlloc = PatchImport(utility, "KERNEL32.dll", "LocalAlloc", reinterpret_cast<void *>(TestLocalAlloc));
        realCreatePage = PatchImport(utility, "COMCTL32.DLL", "CreatePropertySheetPageA",
                                     reinterpret_cast<void *>(TestCreatePage));
        realDestroyPage = PatchImport(utility, "COMCTL32.DLL", "DestroyPropertySheetPage",
                                      reinterpret_cast<void *>(TestDestroyPage));
        realRegOpenKeyEx =
            PatchImport(utility, "ADVAPI32.dll", "RegOpenKeyExA", reinterpret_cast<void *>(TestRegOpenKeyEx));
        realRegCloseKey = PatchImport(utility, "ADVAPI32.dll", "RegCloseKey", reinterpret_cast<void *>(TestRegCloseKey));
        DriverSimReset();
        DriverSimInstall(utility);
    }

    void SetUp() override
    {
        ASSERT_NE(nullptr, getClassObject);
        ASSERT_NE(nullptr, canUnloadNow);
        ASSERT_NE(nullptr, realLocalAlloc);
        ASSERT_NE(nullptr, realCreatePage);
        ASSERT_NE(nullptr, realDestroyPage);
        ASSERT_NE(nullptr, realRegOpenKeyEx);
        ASSERT_NE(nullptr, realRegCloseKey);
        failLocalAlloc = failCreatePage = false;
        destroyedPages.clear();
        DriverSimReset();
        ASSERT_EQ(S_OK, canUnloadNow()) << "an earlier test left an object alive";
    }

    void TearDown() override
    {
        failLocalAlloc = failCreatePage = false;
        board.RemoveAll();
    }

    void *NewFactory()
    {
        void *factory = nullptr;
        EXPECT_EQ(S_OK, getClassObject(kUtilityClass, kClassFactory, &factory));
        return factory;
    }

    void *NewExtension(void *factory)
    {
        void *extension = nullptr;
        EXPECT_EQ(S_OK, Factory(factory).CreateInstance(factory, nullptr, kPropSheetExt, &extension));
        return extension;
    }

    BoardRegistry board;
};

TEST_F(ComServer, ExportsAreFoundByNameAndByTheirOrdinals)
{
    EXPECT_EQ(reinterpret_cast<void *>(canUnloadNow),
              reinterpret_cast<void *>(GetProcAddress(utility, reinterpret_cast<LPCSTR>(2))));
    EXPECT_EQ(reinterpret_cast<void *>(getClassObject),
              reinterpret_cast<void *>(GetProcAddress(utility, reinterpret_cast<LPCSTR>(3))));
}

TEST_F(ComServer, ClassObjectRefusals)
{
    const CLSID other = {0x4E27A9C1, 0x5D3B, 0x11d0, {0x9A, 0x6E, 0x00, 0x40, 0xC7, 0x1B, 0x82, 0xF5}};
    void *out = kGarbage;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(other, kClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    out = kGarbage;
    // The right class, but the extension's interface is not what the class object offers.
    EXPECT_EQ(E_NOINTERFACE, getClassObject(kUtilityClass, kPropSheetExt, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(S_OK, canUnloadNow()) << "a refused request created something";
}

TEST_F(ComServer, FactoryCountsAndKeepsTheModuleLoaded)
{
    void *factory = NewFactory();
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(S_FALSE, canUnloadNow());
    EXPECT_EQ(2u, Factory(factory).AddRef(factory));
    EXPECT_EQ(1u, Factory(factory).Release(factory));
    EXPECT_EQ(S_FALSE, canUnloadNow());
    EXPECT_EQ(0u, Factory(factory).Release(factory));
    EXPECT_EQ(S_OK, canUnloadNow());

    // IUnknown is as good as IClassFactory for the class object.
    void *viaUnknown = nullptr;
    ASSERT_EQ(S_OK, getClassObject(kUtilityClass, kUnknown, &viaUnknown));
    ASSERT_NE(nullptr, viaUnknown);
    EXPECT_EQ(S_FALSE, canUnloadNow());
    EXPECT_EQ(0u, Factory(viaUnknown).Release(viaUnknown));
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(ComServer, FactoryQueryInterface)
{
    void *factory = NewFactory();
    ASSERT_NE(nullptr, factory);
    void *out = nullptr;
    EXPECT_EQ(S_OK, Factory(factory).QueryInterface(factory, kUnknown, &out));
    EXPECT_EQ(factory, out);
    EXPECT_EQ(S_OK, Factory(factory).QueryInterface(factory, kClassFactory, &out));
    EXPECT_EQ(factory, out);
    out = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, Factory(factory).QueryInterface(factory, kPropSheetExt, &out));
    EXPECT_EQ(nullptr, out);
    // Two successful queries added two references.
    EXPECT_EQ(2u, Factory(factory).Release(factory));
    EXPECT_EQ(1u, Factory(factory).Release(factory));
    EXPECT_EQ(0u, Factory(factory).Release(factory));
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(ComServer, LockServerIsNotOffered)
{
    void *factory = NewFactory();
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(E_NOTIMPL, Factory(factory).LockServer(factory, TRUE));
    EXPECT_EQ(E_NOTIMPL, Factory(factory).LockServer(factory, FALSE));
    EXPECT_EQ(0u, Factory(factory).Release(factory));
    EXPECT_EQ(S_OK, canUnloadNow()) << "a refused lock must not keep the module";
}

TEST_F(ComServer, CreateInstanceRefusals)
{
    void *factory = NewFactory();
    ASSERT_NE(nullptr, factory);
    char outerObject[16] = {};
    void *out = kGarbage;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, Factory(factory).CreateInstance(factory, outerObject, kPropSheetExt, &out));
    EXPECT_EQ(nullptr, out);
    // The finished object answers for IUnknown, but creation asks for the extension itself.
    out = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, Factory(factory).CreateInstance(factory, nullptr, kUnknown, &out));
    EXPECT_EQ(nullptr, out);
    out = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, Factory(factory).CreateInstance(factory, nullptr, kShellExtInit, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(0u, Factory(factory).Release(factory));
    EXPECT_EQ(S_OK, canUnloadNow()) << "a refused creation left an object counted";
}

TEST_F(ComServer, ExtensionLifetimeAndCounts)
{
    void *factory = NewFactory();
    ASSERT_NE(nullptr, factory);
    void *extension = NewExtension(factory);
    ASSERT_NE(nullptr, extension);
    // The factory goes first; the extension alone keeps the module loaded.
    EXPECT_EQ(0u, Factory(factory).Release(factory));
    EXPECT_EQ(S_FALSE, canUnloadNow());

    void *out = nullptr;
    EXPECT_EQ(S_OK, Extension(extension).QueryInterface(extension, kUnknown, &out));
    EXPECT_EQ(extension, out);
    EXPECT_EQ(S_OK, Extension(extension).QueryInterface(extension, kPropSheetExt, &out));
    EXPECT_EQ(extension, out);
    out = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, Extension(extension).QueryInterface(extension, kShellExtInit, &out));
    EXPECT_EQ(nullptr, out);
    out = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, Extension(extension).QueryInterface(extension, kClassFactory, &out));
    EXPECT_EQ(nullptr, out);

    // Created with one reference, plus the two queries.
    EXPECT_EQ(4u, Extension(extension).AddRef(extension));
    EXPECT_EQ(3u, Extension(extension).Release(extension));
    EXPECT_EQ(2u, Extension(extension).Release(extension));
    EXPECT_EQ(1u, Extension(extension).Release(extension));
    EXPECT_EQ(S_FALSE, canUnloadNow());
    EXPECT_EQ(0u, Extension(extension).Release(extension));
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(ComServer, ReplacePageReplacesNothing)
{
    void *factory = NewFactory();
    void *extension = NewExtension(factory);
    ASSERT_NE(nullptr, extension);
    Sheet sheet;
    EXPECT_EQ(S_OK, Extension(extension).ReplacePage(extension, 1, AddPage, reinterpret_cast<LPARAM>(&sheet)));
    EXPECT_EQ(0, sheet.calls);
    Extension(extension).Release(extension);
    Factory(factory).Release(factory);
}

TEST_F(ComServer, HeapRefusalGivesOutOfMemoryAndNothingCounted)
{
    failLocalAlloc = true;
    void *out = kGarbage;
    EXPECT_EQ(E_OUTOFMEMORY, getClassObject(kUtilityClass, kClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(S_OK, canUnloadNow());

    failLocalAlloc = false;
    void *factory = NewFactory();
    ASSERT_NE(nullptr, factory);
    failLocalAlloc = true;
    out = kGarbage;
    EXPECT_EQ(E_OUTOFMEMORY, Factory(factory).CreateInstance(factory, nullptr, kPropSheetExt, &out));
    EXPECT_EQ(nullptr, out);
    failLocalAlloc = false;
    EXPECT_EQ(0u, Factory(factory).Release(factory));
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(ComServer, PageThatCannotBeCreatedIsOutOfMemory)
{
    board.AddStandardBoard();
    void *factory = NewFactory();
    void *extension = NewExtension(factory);
    ASSERT_NE(nullptr, extension);
    failCreatePage = true;
    Sheet sheet;
    EXPECT_EQ(E_OUTOFMEMORY, Extension(extension).AddPages(extension, AddPage, reinterpret_cast<LPARAM>(&sheet)));
    EXPECT_EQ(0, sheet.calls);
    EXPECT_FALSE(ClassRegistered("ZanStatic")) << "nothing is identified without a page";
    Extension(extension).Release(extension);
    Factory(factory).Release(factory);
}

TEST_F(ComServer, OtherAdapterGetsNoPage)
{
    // No board in the registry at all.
    void *factory = NewFactory();
    void *extension = NewExtension(factory);
    ASSERT_NE(nullptr, extension);
    Sheet sheet;
    EXPECT_EQ(E_FAIL, Extension(extension).AddPages(extension, AddPage, reinterpret_cast<LPARAM>(&sheet)));
    EXPECT_EQ(0, sheet.calls);
    EXPECT_EQ(1u, destroyedPages.size()) << "the page made for the sheet must be destroyed";
    EXPECT_FALSE(ClassRegistered("ZanStatic"));
    EXPECT_FALSE(ClassRegistered("ZanButton"));
    Extension(extension).Release(extension);
    Factory(factory).Release(factory);
}

TEST_F(ComServer, BoardWithoutTheDriverEscapeGetsNoPage)
{
    board.AddStandardBoard();
    DriverSimSetEscapeSupported(false);
    void *factory = NewFactory();
    void *extension = NewExtension(factory);
    ASSERT_NE(nullptr, extension);
    Sheet sheet;
    EXPECT_EQ(E_FAIL, Extension(extension).AddPages(extension, AddPage, reinterpret_cast<LPARAM>(&sheet)));
    EXPECT_EQ(0, sheet.calls);
    EXPECT_EQ(1u, destroyedPages.size());
    EXPECT_FALSE(ClassRegistered("ZanStatic"));
    Extension(extension).Release(extension);
    Factory(factory).Release(factory);
    EXPECT_TRUE(openKeys.empty()) << openKeys.size() << " registry keys of the module left open";
}

TEST_F(ComServer, BoardGetsItsPageAndReleaseTakesEverythingBack)
{
    board.AddStandardBoard();
    openKeys.clear();
    void *factory = NewFactory();
    void *extension = NewExtension(factory);
    ASSERT_NE(nullptr, extension);
    Sheet sheet;
    EXPECT_EQ(S_OK, Extension(extension).AddPages(extension, AddPage, reinterpret_cast<LPARAM>(&sheet)));
    ASSERT_EQ(1, sheet.calls);
    EXPECT_NE(nullptr, sheet.pages[0]);
    EXPECT_TRUE(destroyedPages.empty()) << "the sheet owns the page now";
    EXPECT_TRUE(ClassRegistered("ZanStatic"));
    EXPECT_TRUE(ClassRegistered("ZanButton"));
    EXPECT_EQ(1u, openKeys.size()) << "the driver key stays open while the extension lives";

    // A second request for pages identifies afresh and keeps one key, not two.
    Sheet again;
    EXPECT_EQ(S_OK, Extension(extension).AddPages(extension, AddPage, reinterpret_cast<LPARAM>(&again)));
    EXPECT_EQ(1, again.calls);
    EXPECT_EQ(1u, openKeys.size());

    Factory(factory).Release(factory);
    EXPECT_EQ(S_FALSE, canUnloadNow());
    EXPECT_EQ(0u, Extension(extension).Release(extension));
    EXPECT_EQ(S_OK, canUnloadNow());
    EXPECT_FALSE(ClassRegistered("ZanStatic"));
    EXPECT_FALSE(ClassRegistered("ZanButton"));
    EXPECT_TRUE(openKeys.empty()) << openKeys.size() << " registry keys of the module left open";
    for (HPROPSHEETPAGE page : sheet.pages)
        DestroyPropertySheetPage(page);
    for (HPROPSHEETPAGE page : again.pages)
        DestroyPropertySheetPage(page);
}

TEST_F(ComServer, RefusedPageIsDestroyed)
{
    board.AddStandardBoard();
    void *factory = NewFactory();
    void *extension = NewExtension(factory);
    ASSERT_NE(nullptr, extension);
    Sheet sheet;
    sheet.refuse = true;
    EXPECT_EQ(E_FAIL, Extension(extension).AddPages(extension, AddPage, reinterpret_cast<LPARAM>(&sheet)));
    ASSERT_EQ(1, sheet.calls);
    ASSERT_EQ(1u, destroyedPages.size());
    EXPECT_EQ(sheet.pages[0], destroyedPages[0]) << "the page offered is the page destroyed";
    Extension(extension).Release(extension);
    Factory(factory).Release(factory);
}

} // namespace
