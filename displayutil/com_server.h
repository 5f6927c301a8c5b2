// The in-process COM server: the class factory of the display utility page and the
// module's two COM exports. Objects are plain records whose first field points to a
// table of functions in the interface's slot order.
#ifndef COM_SERVER_H
#define COM_SERVER_H

#include <windows.h>

// Live class factories plus live extension objects; DllCanUnloadNow reads it.
extern DWORD objectCount;

extern const GUID CLSID_DisplayUtilityPage;       // {4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}
extern const GUID unknownInterfaceId;             // IUnknown
extern const GUID classFactoryInterfaceId;        // IClassFactory
extern const GUID propSheetExtInterfaceId;        // IShellPropSheetExt

// Byte-wise comparison of two 16-byte identifiers.
bool SameGuid(const GUID &a, const GUID &b);

// What CreateInstance hands the work to: (outer unknown, interface id, out pointer).
typedef HRESULT(STDMETHODCALLTYPE *CreatorFunction)(IUnknown *outer, const GUID &iid, void **out);

struct PageExtClassFactory;

struct ClassFactoryOperations {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(PageExtClassFactory *self, const GUID &iid, void **out);
    ULONG(STDMETHODCALLTYPE *AddRef)(PageExtClassFactory *self);
    ULONG(STDMETHODCALLTYPE *Release)(PageExtClassFactory *self);
    HRESULT(STDMETHODCALLTYPE *CreateInstance)(PageExtClassFactory *self, IUnknown *outer, const GUID &iid,
                                               void **out);
    HRESULT(STDMETHODCALLTYPE *LockServer)(PageExtClassFactory *self, BOOL lock);
};

struct PageExtClassFactory {
    const ClassFactoryOperations *operations;
    ULONG referenceCount;
    CreatorFunction creator;
    DWORD *moduleCounter;   // null: the factory is not counted
};

// A factory with one reference for the caller; adds 1 to *moduleCounter when it is given.
// E_OUTOFMEMORY (factory left null) when the heap refuses the record.
HRESULT CreateClassFactory(CreatorFunction creator, DWORD *moduleCounter, PageExtClassFactory **factory);

extern "C" {
HRESULT WINAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID *out);
HRESULT WINAPI DllCanUnloadNow(void);
}

#endif
