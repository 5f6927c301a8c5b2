// The property-sheet extension object: adds the display utility page to the Display
// properties sheet when the adapter is the board.
#ifndef PAGE_EXTENSION_H
#define PAGE_EXTENSION_H

#include <windows.h>
#include <prsht.h>

// The product's display-utility title: the page's tab label and the caption of its
// messages, in code page 932.
extern const char displayUtilityTitle[];

struct DisplayPageExtension;

struct PropSheetExtOperations {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(DisplayPageExtension *self, const GUID &iid, void **out);
    ULONG(STDMETHODCALLTYPE *AddRef)(DisplayPageExtension *self);
    ULONG(STDMETHODCALLTYPE *Release)(DisplayPageExtension *self);
    HRESULT(STDMETHODCALLTYPE *AddPages)(DisplayPageExtension *self, LPFNADDPROPSHEETPAGE addPage, LPARAM lParam);
    HRESULT(STDMETHODCALLTYPE *ReplacePage)(DisplayPageExtension *self, UINT pageId,
                                            LPFNADDPROPSHEETPAGE replaceWith, LPARAM lParam);
};

struct DisplayPageExtension {
    const PropSheetExtOperations *operations;
    ULONG referenceCount;
};

// The class factory's creator: only IShellPropSheetExt is handed out; the caller holds
// the one reference of the new object.
HRESULT STDMETHODCALLTYPE CreateDisplayPageExtension(IUnknown *outer, const GUID &iid, void **out);

HRESULT STDMETHODCALLTYPE AddPages(DisplayPageExtension *self, LPFNADDPROPSHEETPAGE addPage, LPARAM lParam);
HRESULT STDMETHODCALLTYPE ReplacePage(DisplayPageExtension *self, UINT pageId, LPFNADDPROPSHEETPAGE replaceWith,
                                      LPARAM lParam);

#endif
