#include "import_counter.h"

#include "import_patch.h"

#include <set>
#include <sstream>

namespace {

HMODULE countedModule;
ResourceCounts counts;
std::set<HGDIOBJ> liveBitmaps;
std::set<HHOOK> liveHooks;
std::set<HLOCAL> liveLocal;

struct Original {
    decltype(&LoadBitmapA) loadBitmap;
    decltype(&DeleteObject) deleteObject;
    decltype(&CreateCompatibleDC) createCompatibleDC;
    decltype(&DeleteDC) deleteDC;
    decltype(&GetDC) getDC;
    decltype(&ReleaseDC) releaseDC;
    decltype(&BeginPaint) beginPaint;
    decltype(&EndPaint) endPaint;
    decltype(&SetWindowsHookExA) setHook;
    decltype(&UnhookWindowsHookEx) unhook;
    decltype(&LocalAlloc) localAlloc;
    decltype(&LocalFree) localFree;
} real;

HBITMAP WINAPI CountLoadBitmapA(HINSTANCE instance, LPCSTR name)
{
    HBITMAP b = real.loadBitmap(instance, name);
    if (b) {
        ++counts.bitmapsLoaded;
        liveBitmaps.insert(b);
    }
    return b;
}

BOOL WINAPI CountDeleteObject(HGDIOBJ object)
{
    BOOL ok = real.deleteObject(object);
    if (ok) {
        ++counts.objectsDeleted;
        liveBitmaps.erase(object);
    }
    return ok;
}

HDC WINAPI CountCreateCompatibleDC(HDC dc)
{
    HDC m = real.createCompatibleDC(dc);
    if (m)
        ++counts.memoryDcsCreated;
    return m;
}

BOOL WINAPI CountDeleteDC(HDC dc)
{
    BOOL ok = real.deleteDC(dc);
    if (ok)
        ++counts.memoryDcsDeleted;
    return ok;
}

HDC WINAPI CountGetDC(HWND window)
{
    HDC dc = real.getDC(window);
    if (dc)
        ++counts.dcsGot;
    return dc;
}

int WINAPI CountReleaseDC(HWND window, HDC dc)
{
    int ok = real.releaseDC(window, dc);
    if (ok)
        ++counts.dcsReleased;
    return ok;
}

HDC WINAPI CountBeginPaint(HWND window, LPPAINTSTRUCT ps)
{
    HDC dc = real.beginPaint(window, ps);
    if (dc)
        ++counts.paintsBegun;
    return dc;
}

BOOL WINAPI CountEndPaint(HWND window, const PAINTSTRUCT *ps)
{
    ++counts.paintsEnded;
    return real.endPaint(window, ps);
}

HHOOK WINAPI CountSetWindowsHookExA(int id, HOOKPROC proc, HINSTANCE instance, DWORD thread)
{
    HHOOK h = real.setHook(id, proc, instance, thread);
    if (h) {
        ++counts.hooksSet;
        liveHooks.insert(h);
    }
    return h;
}

BOOL WINAPI CountUnhookWindowsHookEx(HHOOK hook)
{
    BOOL ok = real.unhook(hook);
    if (ok) {
        ++counts.hooksRemoved;
        liveHooks.erase(hook);
    }
    return ok;
}

HLOCAL WINAPI CountLocalAlloc(UINT flags, SIZE_T bytes)
{
    HLOCAL h = real.localAlloc(flags, bytes);
    if (h) {
        ++counts.localAllocs;
        liveLocal.insert(h);
    }
    return h;
}

HLOCAL WINAPI CountLocalFree(HLOCAL block)
{
    HLOCAL r = real.localFree(block);
    if (block && !r) {
        ++counts.localFrees;
        liveLocal.erase(block);
    }
    return r;
}

struct Entry {
    const char *dll;
    const char *name;
    void *wrapper;
    void **original;
    bool patched = false;
};

Entry entries[] = {
    {"user32.dll", "LoadBitmapA", (void *)CountLoadBitmapA, (void **)&real.loadBitmap},
    {"gdi32.dll", "DeleteObject", (void *)CountDeleteObject, (void **)&real.deleteObject},
    {"gdi32.dll", "CreateCompatibleDC", (void *)CountCreateCompatibleDC, (void **)&real.createCompatibleDC},
    {"gdi32.dll", "DeleteDC", (void *)CountDeleteDC, (void **)&real.deleteDC},
    {"user32.dll", "GetDC", (void *)CountGetDC, (void **)&real.getDC},
    {"user32.dll", "ReleaseDC", (void *)CountReleaseDC, (void **)&real.releaseDC},
    {"user32.dll", "BeginPaint", (void *)CountBeginPaint, (void **)&real.beginPaint},
    {"user32.dll", "EndPaint", (void *)CountEndPaint, (void **)&real.endPaint},
    {"user32.dll", "SetWindowsHookExA", (void *)CountSetWindowsHookExA, (void **)&real.setHook},
    {"user32.dll", "UnhookWindowsHookEx", (void *)CountUnhookWindowsHookEx, (void **)&real.unhook},
    {"kernel32.dll", "LocalAlloc", (void *)CountLocalAlloc, (void **)&real.localAlloc},
    {"kernel32.dll", "LocalFree", (void *)CountLocalFree, (void **)&real.localFree},
};

} // namespace

bool InstallImportCounters(HMODULE module)
{
    RemoveImportCounters();
    countedModule = module;
    bool any = false;
    for (Entry &e : entries) {
        // A wrapper is reached only through its patched entry, so only those need an original.
        *e.original = PatchImport(module, e.dll, e.name, e.wrapper);
        e.patched = *e.original != nullptr;
        any = any || e.patched;
    }
    ResetResourceCounts();
    return any;
}

void RemoveImportCounters()
{
    if (!countedModule)
        return;
    for (Entry &e : entries) {
        if (e.patched)
            PatchImport(countedModule, e.dll, e.name, *e.original);
        e.patched = false;
    }
    countedModule = nullptr;
}

void ResetResourceCounts()
{
    counts = ResourceCounts();
    liveBitmaps.clear();
    liveHooks.clear();
    liveLocal.clear();
}

ResourceCounts CurrentResourceCounts()
{
    ResourceCounts c = counts;
    c.liveBitmaps = (long)liveBitmaps.size();
    c.liveHooks = (long)liveHooks.size();
    c.liveLocalBlocks = (long)liveLocal.size();
    long bytes = 0;
    for (HLOCAL h : liveLocal)
        bytes += (long)LocalSize(h);
    c.liveLocalBytes = bytes;
    return c;
}

std::string Describe(const ResourceCounts &c)
{
    std::ostringstream s;
    s << "bitmaps loaded " << c.bitmapsLoaded << ", objects deleted " << c.objectsDeleted
      << ", bitmaps alive " << c.liveBitmaps << "; memory DCs " << c.memoryDcsCreated << "/"
      << c.memoryDcsDeleted << "; GetDC/ReleaseDC " << c.dcsGot << "/" << c.dcsReleased
      << "; BeginPaint/EndPaint " << c.paintsBegun << "/" << c.paintsEnded << "; hooks "
      << c.hooksSet << "/" << c.hooksRemoved << " (alive " << c.liveHooks << "); LocalAlloc/LocalFree "
      << c.localAllocs << "/" << c.localFrees << " (alive " << c.liveLocalBlocks << ", "
      << c.liveLocalBytes << " bytes)";
    return s.str();
}
