#include "page_extension.h"

#include <stddef.h>

#include "adapter_identification.h"
#include "adapter_state.h"
#include "com_server.h"
#include "page_procs.h"
#include "resource.h"

const char displayUtilityTitle[] = "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ";

namespace {

// The page record in its first form (without the later wizard fields), which every
// version of the common controls accepts: 40 bytes in the shipped 32-bit module.
// (The headers' PROPSHEETPAGEA_V1_SIZE is the same, but not a constant expression.)
const DWORD kPageRecordSize = offsetof(PROPSHEETPAGEA, pcRefParent) + sizeof(UINT *);
static_assert(sizeof(void *) != 4 || kPageRecordSize == 40, "Windows 95 knows a 40-byte page");

HRESULT STDMETHODCALLTYPE ExtensionQueryInterface(DisplayPageExtension *self, const GUID &iid, void **out)
{
    if (!out)
        return E_POINTER;
    if (SameGuid(iid, propSheetExtInterfaceId) || SameGuid(iid, unknownInterfaceId)) {
        *out = self;
        ++self->referenceCount;
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ExtensionAddRef(DisplayPageExtension *self)
{
    return ++self->referenceCount;
}

ULONG STDMETHODCALLTYPE ExtensionRelease(DisplayPageExtension *self)
{
    ULONG count = --self->referenceCount;
    if (count != 0)
        return count;
    ReleasePageResources();
    LocalFree(self);
    --objectCount;
    return 0;
}

const PropSheetExtOperations extensionOperations = {
    ExtensionQueryInterface, ExtensionAddRef, ExtensionRelease, AddPages, ReplacePage,
};

} // namespace

HRESULT STDMETHODCALLTYPE CreateDisplayPageExtension(IUnknown *outer, const GUID &iid, void **out)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    if (!SameGuid(iid, propSheetExtInterfaceId))
        return E_NOINTERFACE;
    DisplayPageExtension *object =
        static_cast<DisplayPageExtension *>(LocalAlloc(LPTR, sizeof(DisplayPageExtension)));
    if (!object)
        return E_OUTOFMEMORY;
    object->operations = &extensionOperations;
    object->referenceCount = 1;
    ++objectCount;
    HRESULT result = object->operations->QueryInterface(object, iid, out);
    object->operations->Release(object);
    return result;
}

HRESULT STDMETHODCALLTYPE AddPages(DisplayPageExtension *, LPFNADDPROPSHEETPAGE addPage, LPARAM lParam)
{
    PROPSHEETPAGEA page;
    ZeroMemory(&page, sizeof page);
    page.dwSize = kPageRecordSize;
    page.dwFlags = PSP_USEHICON | PSP_USETITLE;
    page.hInstance = moduleInstance;
    page.pszTemplate = MAKEINTRESOURCEA(IDD_SETTINGS_PAGE);
    page.hIcon = LoadIconA(moduleInstance, MAKEINTRESOURCEA(IDI_DISPLAY_UTILITY));
    page.pszTitle = displayUtilityTitle;
    page.pfnDlgProc = SettingsPageProc;
    page.lParam = 0;
    HPROPSHEETPAGE handle = CreatePropertySheetPageA(&page);
    if (!handle)
        return E_OUTOFMEMORY;
    // Only on the board are the page's control classes there for its template.
    if (!RegisterControlClasses()) {
        DestroyPropertySheetPage(handle);
        return E_FAIL;
    }
    if (!addPage(handle, lParam)) {
        DestroyPropertySheetPage(handle);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ReplacePage(DisplayPageExtension *, UINT, LPFNADDPROPSHEETPAGE, LPARAM)
{
    return S_OK;
}
