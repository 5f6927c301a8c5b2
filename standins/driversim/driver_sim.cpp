// Simulated display driver of the board (see driver_sim.h). Plain C-style state in fixed
// arrays, so that it builds for the shipped-style programs (no exceptions, no RTTI) and
// for the GoogleTest programs alike. The real platform functions are reached through
// GetProcAddress, never through an import entry, because the module that links the
// simulation may be the very module whose import table it rewrites.
#include "driver_sim.h"

#include "import_patch.h"

namespace {

// The escape record, by 32-bit field number.
enum {
    REC_FUNCTION = 0, REC_BITS = 1, REC_WIDTH = 2, REC_HEIGHT = 3, REC_REFRESH = 4, REC_POSITION = 5,
    REC_MODE_BITS = 6, REC_MODE_WIDTH = 7, REC_MODE_HEIGHT = 8, REC_MODE_REFRESH = 9, REC_ADJUSTABLE = 10,
    REC_FIELDS = 16
};
const int SIM_ESCAPE = 12608;
const DWORD SIM_FN_QUERY = 0;
const DWORD SIM_FN_SETPOSITION = 1;

struct ResultRule {
    bool forMode;
    SimMode mode;
    DWORD flags;
    LONG result;
};
enum { MAX_RULES = 32, MAX_PATCHES = 64, KEY_PATH_BUFFER = 260 };

struct Patch {
    HMODULE module;
    int which;   // index in the replacements
    void *original;
};

SimMode modes[SIM_MAX_MODES];
int modeCount;
SimMode current;
DWORD position;
bool adjustable;
bool escapeSupported;
bool queryAnswered;
ResultRule rules[MAX_RULES];
int ruleCount;
SimCall calls[SIM_MAX_CALLS];
int callCount;
Patch patches[MAX_PATCHES];
int patchCount;
bool initialised;
HKEY keyRoot;
char keyPath[KEY_PATH_BUFFER];
bool keyAttached;
DWORD format555;   // read at attach: 1 when "555or565" is 0

typedef int(WINAPI *ExtEscapeProc)(HDC, int, int, LPCSTR, int, LPSTR);
ExtEscapeProc realExtEscape;

void ResolveRealEscape()
{
    if (realExtEscape) return;
    realExtEscape = (ExtEscapeProc)(void *)GetProcAddress(LoadLibraryA("gdi32.dll"), "ExtEscape");
}

bool IsWin9xPlatform() { return (GetVersion() & 0x80000000u) != 0; }

SimMode MakeMode(DWORD bits, DWORD width, DWORD height, DWORD frequency)
{
    SimMode m;
    m.bits = bits;
    m.width = width;
    m.height = height;
    m.frequency = frequency;
    return m;
}

SimMode ZeroMode() { return MakeMode(0, 0, 0, 0); }

void EnsureInitialised()
{
    if (!initialised) DriverSimReset();
}

void Record(const SimCall &call)
{
    if (callCount < SIM_MAX_CALLS) calls[callCount++] = call;
}

SimCall NewCall(SimCallKind kind)
{
    SimCall c;
    c.kind = kind;
    c.flags = 0;
    c.mode = ZeroMode();
    c.result = 0;
    c.position = 0;
    c.index = 0;
    c.escape = 0;
    return c;
}

// Reads a value of the attached driver key; false when there is none.
bool ReadKeyValue(const char *name, BYTE *data, DWORD size, DWORD *got)
{
    if (!keyAttached) return false;
    HKEY key;
    if (RegOpenKeyExA(keyRoot, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD length = size;
    LONG rc = RegQueryValueExA(key, name, NULL, NULL, data, &length);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    *got = length;
    return true;
}

// What the board runs for a record that the platform sets: the pixel format chosen at boot
// and, for a record without a frequency, the refresh code the utility recorded.
SimMode RunningModeFor(SimMode requested)
{
    SimMode m = requested;
    if (!keyAttached) return m;
    if (m.bits == 16 && format555) m.bits = 15;
    if (m.frequency == 0) {
        char name[32];
        wsprintfA(name, "%02u_%04u_%04u_C", (unsigned)m.bits, (unsigned)m.width, (unsigned)m.height);
        BYTE code[4];
        DWORD got = 0;
        if (ReadKeyValue(name, code, sizeof code, &got) && got >= 1) m.frequency = code[0];
        else m.frequency = 1;
    }
    return m;
}

bool ModeListed(const SimMode &m)
{
    for (int i = 0; i < modeCount; i++) {
        const SimMode &l = modes[i];
        if (l.bits == m.bits && l.width == m.width && l.height == m.height &&
            (m.frequency == 0 || l.frequency == 0 || l.frequency == m.frequency))
            return true;
    }
    return false;
}

bool RuleMatches(const ResultRule &r, const SimMode &m, DWORD flags)
{
    if (r.flags != flags) return false;
    if (!r.forMode) return true;
    return r.mode.bits == m.bits && r.mode.width == m.width && r.mode.height == m.height &&
           (r.mode.frequency == 0 || r.mode.frequency == m.frequency);
}

LONG ChangeResultFor(const SimMode &m, DWORD flags)
{
    for (int i = 0; i < ruleCount; i++)
        if (rules[i].forMode && RuleMatches(rules[i], m, flags)) return rules[i].result;
    for (int i = 0; i < ruleCount; i++)
        if (!rules[i].forMode && RuleMatches(rules[i], m, flags)) return rules[i].result;
    return DISP_CHANGE_SUCCESSFUL;
}

void AddRule(bool forMode, const SimMode &mode, DWORD flags, LONG result)
{
    for (int i = 0; i < ruleCount; i++) {
        ResultRule &r = rules[i];
        if (r.forMode == forMode && r.flags == flags &&
            (!forMode || (r.mode.bits == mode.bits && r.mode.width == mode.width &&
                          r.mode.height == mode.height && r.mode.frequency == mode.frequency))) {
            r.result = result;
            return;
        }
    }
    if (ruleCount >= MAX_RULES) return;
    rules[ruleCount].forMode = forMode;
    rules[ruleCount].mode = mode;
    rules[ruleCount].flags = flags;
    rules[ruleCount].result = result;
    ruleCount++;
}

void FillDevMode(DEVMODEA *dm, const SimMode &m)
{
    BYTE *bytes = (BYTE *)dm;
    for (unsigned i = 0; i < sizeof(DEVMODEA); i++) bytes[i] = 0;
    const char device[] = "ZANRO";
    for (unsigned i = 0; i < sizeof device; i++) dm->dmDeviceName[i] = (BYTE)device[i];
    dm->dmSpecVersion = DM_SPECVERSION;
    dm->dmSize = sizeof(DEVMODEA);
    dm->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    dm->dmBitsPerPel = m.bits;
    dm->dmPelsWidth = m.width;
    dm->dmPelsHeight = m.height;
    dm->dmDisplayFrequency = m.frequency;
}

int WINAPI SimExtEscape(HDC dc, int escape, int inSize, LPCSTR in, int outSize, LPSTR out)
{
    EnsureInitialised();
    if (escape == QUERYESCSUPPORT) {
        SimCall c = NewCall(SIM_QUERYESCSUPPORT);
        int code = 0;
        if (in && inSize >= 4) code = *(const int *)in;
        c.escape = code;
        if (code == SIM_ESCAPE) {
            c.result = escapeSupported ? 1 : 0;
            Record(c);
            return c.result;
        }
        ResolveRealEscape();
        c.result = realExtEscape ? realExtEscape(dc, escape, inSize, in, outSize, out) : 0;
        Record(c);
        return c.result;
    }
    if (escape != SIM_ESCAPE) {
        SimCall c = NewCall(SIM_ESCAPE_OTHER);
        c.escape = escape;
        ResolveRealEscape();
        c.result = realExtEscape ? realExtEscape(dc, escape, inSize, in, outSize, out) : 0;
        Record(c);
        return c.result;
    }
    const DWORD *request = (const DWORD *)in;
    DWORD function = (request && inSize >= 4) ? request[REC_FUNCTION] : 0xFFFFFFFFu;
    if (function == SIM_FN_QUERY) {
        SimCall c = NewCall(SIM_ESCAPE_QUERY);
        c.escape = escape;
        if (!escapeSupported) {
            c.result = 0;
        } else if (!queryAnswered || !out || outSize < REC_FIELDS * 4) {
            c.result = -1;
        } else {
            DWORD *reply = (DWORD *)out;
            for (int i = 0; i < REC_FIELDS; i++) reply[i] = 0;
            reply[REC_BITS] = reply[REC_MODE_BITS] = current.bits;
            reply[REC_WIDTH] = reply[REC_MODE_WIDTH] = current.width;
            reply[REC_HEIGHT] = reply[REC_MODE_HEIGHT] = current.height;
            reply[REC_REFRESH] = reply[REC_MODE_REFRESH] = current.frequency;
            reply[REC_POSITION] = position;
            reply[REC_ADJUSTABLE] = adjustable ? 1 : 0;
            c.mode = current;
            c.position = position;
            c.result = 1;
        }
        Record(c);
        return c.result;
    }
    if (function == SIM_FN_SETPOSITION) {
        SimCall c = NewCall(SIM_ESCAPE_SETPOSITION);
        c.escape = escape;
        if (!escapeSupported) {
            c.result = 0;
        } else if (inSize < (REC_POSITION + 1) * 4) {
            c.result = -1;
        } else {
            c.position = request[REC_POSITION];
            if (adjustable) position = c.position;
            c.result = 1;
        }
        Record(c);
        return c.result;
    }
    SimCall c = NewCall(SIM_ESCAPE_OTHER);
    c.escape = escape;
    c.flags = function;
    c.result = 0;
    Record(c);
    return 0;
}

BOOL WINAPI SimEnumDisplaySettingsA(LPCSTR device, DWORD index, DEVMODEA *dm)
{
    (void)device;
    EnsureInitialised();
    SimCall c = NewCall(SIM_ENUM);
    c.index = index;
    bool found = false;
    SimMode m = ZeroMode();
    if (index == ENUM_CURRENT_SETTINGS || index == ENUM_REGISTRY_SETTINGS) {
        // The platform knows the 16-bit mode it set, not the driver's pixel format.
        m = current;
        if (m.bits == 15) m.bits = 16;
        found = true;
    } else if (index < (DWORD)modeCount) {
        m = modes[index];
        found = true;
    }
    if (found && dm) {
        FillDevMode(dm, m);
        c.mode = m;
    }
    c.result = (found && dm) ? TRUE : FALSE;
    Record(c);
    return (BOOL)c.result;
}

LONG WINAPI SimChangeDisplaySettingsA(DEVMODEA *dm, DWORD flags)
{
    EnsureInitialised();
    SimCall c = NewCall(SIM_CHANGE);
    c.flags = flags;
    if (!dm) {
        c.result = DISP_CHANGE_SUCCESSFUL;
        Record(c);
        return c.result;
    }
    c.mode = MakeMode(dm->dmBitsPerPel, dm->dmPelsWidth, dm->dmPelsHeight, dm->dmDisplayFrequency);
    if (!ModeListed(c.mode)) {
        c.result = DISP_CHANGE_BADMODE;
    } else {
        c.result = ChangeResultFor(c.mode, flags);
        if (c.result == DISP_CHANGE_SUCCESSFUL && !(flags & CDS_TEST)) current = RunningModeFor(c.mode);
    }
    Record(c);
    return c.result;
}

struct Replacement {
    const char *dll;
    const char *name;
    void *function;
};

const Replacement replacements[3] = {
    {"gdi32.dll", "ExtEscape", (void *)SimExtEscape},
    {"user32.dll", "EnumDisplaySettingsA", (void *)SimEnumDisplaySettingsA},
    {"user32.dll", "ChangeDisplaySettingsA", (void *)SimChangeDisplaySettingsA},
};

}  // namespace

void DriverSimReset()
{
    initialised = true;
    bool win9x = IsWin9xPlatform();
    static const DWORD depths[] = {8, 16, 24, 32};
    static const DWORD areas[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1152, 864}, {1280, 1024}};
    static const DWORD rates[] = {60, 75, 85};
    modeCount = 0;
    for (unsigned d = 0; d < sizeof depths / sizeof depths[0]; d++) {
        for (unsigned a = 0; a < sizeof areas / sizeof areas[0]; a++) {
            if (win9x) {
                modes[modeCount++] = MakeMode(depths[d], areas[a][0], areas[a][1], 0);
                continue;
            }
            for (unsigned r = 0; r < sizeof rates / sizeof rates[0]; r++) {
                if (areas[a][0] == 1280 && rates[r] == 85) continue;
                modes[modeCount++] = MakeMode(depths[d], areas[a][0], areas[a][1], rates[r]);
            }
        }
    }
    current = MakeMode(16, 800, 600, win9x ? 0 : 75);
    position = 0x00100020;
    adjustable = true;
    escapeSupported = true;
    queryAnswered = true;
    ruleCount = 0;
    callCount = 0;
    keyAttached = false;
    keyRoot = NULL;
    keyPath[0] = 0;
    format555 = 0;
}

void DriverSimSetModes(const SimMode *list, int count)
{
    EnsureInitialised();
    if (count < 0) count = 0;
    if (count > SIM_MAX_MODES) count = SIM_MAX_MODES;
    for (int i = 0; i < count; i++) modes[i] = list[i];
    modeCount = count;
}

void DriverSimSetCurrent(const SimMode &mode)
{
    EnsureInitialised();
    current = mode;
}

SimMode DriverSimCurrent()
{
    EnsureInitialised();
    return current;
}

void DriverSimSetPosition(DWORD value)
{
    EnsureInitialised();
    position = value;
}

DWORD DriverSimPosition()
{
    EnsureInitialised();
    return position;
}

void DriverSimSetAdjustable(bool value)
{
    EnsureInitialised();
    adjustable = value;
}

void DriverSimSetEscapeSupported(bool supported)
{
    EnsureInitialised();
    escapeSupported = supported;
}

void DriverSimSetQueryAnswered(bool answered)
{
    EnsureInitialised();
    queryAnswered = answered;
}

void DriverSimSetChangeResult(DWORD flags, LONG result)
{
    EnsureInitialised();
    AddRule(false, ZeroMode(), flags, result);
}

void DriverSimSetChangeResultFor(const SimMode &mode, DWORD flags, LONG result)
{
    EnsureInitialised();
    AddRule(true, mode, flags, result);
}

void DriverSimUseDriverKey(HKEY root, const char *path)
{
    EnsureInitialised();
    keyAttached = false;
    format555 = 0;
    if (!path) return;
    int n = lstrlenA(path);
    if (n >= KEY_PATH_BUFFER) return;
    lstrcpynA(keyPath, path, KEY_PATH_BUFFER);
    keyRoot = root;
    keyAttached = true;
    DWORD value = 1;
    DWORD got = 0;
    if (ReadKeyValue("555or565", (BYTE *)&value, sizeof value, &got) && got == sizeof value && value == 0)
        format555 = 1;
    current = RunningModeFor(current.bits == 15 ? MakeMode(16, current.width, current.height, current.frequency)
                                                : current);
}

int DriverSimCallCount()
{
    return callCount;
}

const SimCall &DriverSimCall(int index)
{
    static SimCall none;
    if (index < 0 || index >= callCount) return none;
    return calls[index];
}

void DriverSimClearCalls()
{
    callCount = 0;
}

bool DriverSimInstall(HMODULE module)
{
    EnsureInitialised();
    bool any = false;
    for (int r = 0; r < 3 && patchCount < MAX_PATCHES; r++) {
        void *original = PatchImport(module, replacements[r].dll, replacements[r].name, replacements[r].function);
        if (!original) continue;
        any = true;
        // Installed twice, the entry already holds the simulation: nothing new to put back.
        if (original == replacements[r].function) continue;
        patches[patchCount].module = module;
        patches[patchCount].which = r;
        patches[patchCount].original = original;
        patchCount++;
    }
    return any;
}

void DriverSimUninstall(HMODULE module)
{
    int kept = 0;
    for (int i = 0; i < patchCount; i++) {
        if (patches[i].module == module) {
            const Replacement &r = replacements[patches[i].which];
            PatchImport(module, r.dll, r.name, patches[i].original);
        } else {
            patches[kept++] = patches[i];
        }
    }
    patchCount = kept;
}
