#include "com_server.h"

#include "page_extension.h"

DWORD objectCount;

const GUID CLSID_DisplayUtilityPage = {0x4E27A9C1, 0x5D3B, 0x11d0, {0x9A, 0x6E, 0x00, 0x40, 0xC7, 0x1B, 0x82, 0xF4}};
const GUID unknownInterfaceId = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID classFactoryInterfaceId = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID propSheetExtInterfaceId = {0x000214E9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool SameGuid(const GUID &a, const GUID &b)
{
    const BYTE *x = reinterpret_cast<const BYTE *>(&a);
    const BYTE *y = reinterpret_cast<const BYTE *>(&b);
    for (unsigned i = 0; i < sizeof(GUID); ++i) {
        if (x[i] != y[i])
            return false;
    }
    return true;
}

namespace {

HRESULT STDMETHODCALLTYPE FactoryQueryInterface(PageExtClassFactory *self, const GUID &iid, void **out)
{
    if (!out)
        return E_POINTER;
    if (SameGuid(iid, classFactoryInterfaceId) || SameGuid(iid, unknownInterfaceId)) {
        *out = self;
        ++self->referenceCount;
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FactoryAddRef(PageExtClassFactory *self)
{
    return ++self->referenceCount;
}

ULONG STDMETHODCALLTYPE FactoryRelease(PageExtClassFactory *self)
{
    ULONG count = --self->referenceCount;
    if (count != 0)
        return count;
    if (self->moduleCounter)
        --*self->moduleCounter;
    LocalFree(self);
    return 0;
}

HRESULT STDMETHODCALLTYPE FactoryCreateInstance(PageExtClassFactory *self, IUnknown *outer, const GUID &iid,
                                                void **out)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    HRESULT result = self->creator(outer, iid, out);
    if (FAILED(result))
        *out = NULL;
    return result;
}

HRESULT STDMETHODCALLTYPE FactoryLockServer(PageExtClassFactory *, BOOL)
{
    // A live factory already keeps the module loaded; locks are not offered.
    return E_NOTIMPL;
}

const ClassFactoryOperations factoryOperations = {
    FactoryQueryInterface, FactoryAddRef, FactoryRelease, FactoryCreateInstance, FactoryLockServer,
};

} // namespace

HRESULT CreateClassFactory(CreatorFunction creator, DWORD *moduleCounter, PageExtClassFactory **factory)
{
    *factory = NULL;
    PageExtClassFactory *record = static_cast<PageExtClassFactory *>(LocalAlloc(LPTR, sizeof(PageExtClassFactory)));
    if (!record)
        return E_OUTOFMEMORY;
    record->operations = &factoryOperations;
    record->referenceCount = 1;
    record->creator = creator;
    record->moduleCounter = moduleCounter;
    if (moduleCounter)
        ++*moduleCounter;
    *factory = record;
    return S_OK;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID *out)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    if (!SameGuid(classId, CLSID_DisplayUtilityPage))
        return CLASS_E_CLASSNOTAVAILABLE;
    if (!SameGuid(iid, classFactoryInterfaceId) && !SameGuid(iid, unknownInterfaceId))
        return E_NOINTERFACE;
    PageExtClassFactory *factory;
    HRESULT result = CreateClassFactory(CreateDisplayPageExtension, &objectCount, &factory);
    if (FAILED(result))
        return result;
    *out = factory;
    return S_OK;
}

extern "C" HRESULT WINAPI DllCanUnloadNow(void)
{
    return objectCount == 0 ? S_OK : S_FALSE;
}
