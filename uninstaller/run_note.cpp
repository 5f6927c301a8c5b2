// The note is a file of the run's own in the Windows directory, not a registry value: the
// run removes the product's key while it still has work to do (and the company key after
// it), and the note must outlive every removal of the run, since only a note that is still
// there lets the next start tell a cut run from a fresh one. It goes as the run's last
// change.
//
// Nothing the system writes is taken as whole because the write returned: a registry value
// or a file may reach the disk in part when the power goes. So the note is made of slots of
// one fixed size, each checked by its own sum over all its bytes; a slot that does not read
// back whole is not used, and a file without a whole first slot is no note. Slots after the
// first are only ever appended, so a cut while adding one leaves the slots before it as
// they were; a slot is added only after the note is on the disk, and the work it announces
// starts only once the slot is. The one exception is the slot of the older record being
// removed, written over for each: by then the record before it is gone whole, so a cut
// while writing loses nothing still needed.
#include "run_note.h"

#include <stddef.h>
#include <string.h>
#include <windows.h>

#include "bounded_format.h"
#include "byte_search.h"
#include "process_state.h"

namespace {

const char kMagic[4] = {'Z', 'R', 'U', 'N'};

enum {
    kRecordSlot = 1,
    kRestoreSlot = 2,
    kOlderSlot = 3,
    // Slot 0 holds the selected record, slot 1 the older record being removed, and the slots
    // from 2 on the restores.
    kOlderIndex = 1,
    kFirstRestoreIndex = 2,
    kMaxSlots = kFirstRestoreIndex + MAX_NOTED_RESTORES,
};

struct Slot {
    char magic[4];
    DWORD kind;
    RunNote note;           // of the selected record, or of an older one
    NotedRestore restore;   // in each later one
    DWORD check;            // of every byte before it
};

DWORD Check(const Slot &slot)
{
    // FNV-1a: a torn or stale slot passes with a chance of one in 2^32.
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(&slot);
    DWORD sum = 2166136261u;
    for (size_t i = 0; i < offsetof(Slot, check); ++i) {
        sum ^= bytes[i];
        sum *= 16777619u;
    }
    return sum;
}

bool HasEnd(const char *field, size_t size) { return HoldsByte(field, size, '\0'); }

// A record number as the search makes them: at most four digits.
bool IsNumberText(const char *text)
{
    if (!HasEnd(text, RECORD_NUMBER_SIZE) || !text[0] || strlen(text) > 4)
        return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9')
            return false;
    return true;
}

bool IsInstanceName(const char *name)
{
    for (int i = 0; i < 4; ++i)
        if (name[i] < '0' || name[i] > '9')
            return false;
    return name[4] == '\0';
}

bool IsWhole(const Slot &slot, DWORD kind)
{
    if (memcmp(slot.magic, kMagic, sizeof kMagic) != 0 || slot.kind != kind || slot.check != Check(slot))
        return false;
    if (kind == kRestoreSlot)
        return IsInstanceName(slot.restore.classInstance) && IsInstanceName(slot.restore.deviceInstance);
    const RunNote &n = slot.note;
    return IsNumberText(n.numberText) && HasEnd(n.instDir, sizeof n.instDir) &&
           HasEnd(n.folderName, sizeof n.folderName) && HasEnd(n.board, sizeof n.board) &&
           HasEnd(n.deviceNo, sizeof n.deviceNo);
}

// Every byte of a slot is set, the padding too, so that its sum reads back the same.
void MakeSlot(Slot *slot, DWORD kind)
{
    memset(slot, 0, sizeof *slot);
    memcpy(slot->magic, kMagic, sizeof kMagic);
    slot->kind = kind;
}

bool NotePath(char *path) { return FormatWhole(path, MAX_PATH, "%s\\ZANDEL.RUN", windowsDir); }

HANDLE OpenNote(DWORD access)
{
    char path[MAX_PATH];
    if (!NotePath(path))
        return INVALID_HANDLE_VALUE;
    return CreateFileA(path, access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool ReadSlot(HANDLE file, int index, DWORD kind, Slot *slot)
{
    DWORD read = 0;
    return SetFilePointer(file, static_cast<LONG>(index * sizeof(Slot)), nullptr, FILE_BEGIN) !=
               INVALID_SET_FILE_POINTER &&
           ReadFile(file, slot, sizeof *slot, &read, nullptr) && read == sizeof *slot && IsWhole(*slot, kind);
}

// The slot is sealed first and flushed after, so the note is on the disk before the work it
// announces begins.
bool WriteSlot(HANDLE file, Slot *slot)
{
    slot->check = Check(*slot);
    DWORD written = 0;
    return WriteFile(file, slot, sizeof *slot, &written, nullptr) && written == sizeof *slot &&
           FlushFileBuffers(file);
}

// Whole slots in the note; one cut short at its end does not count.
DWORD SlotsIn(HANDLE file)
{
    DWORD size = GetFileSize(file, nullptr);
    return size == INVALID_FILE_SIZE ? 0 : size / sizeof(Slot);
}

} // namespace

bool WriteRunNote(const RunNote &note)
{
    char path[MAX_PATH];
    if (!NotePath(path))
        return false;
    Slot slot;
    MakeSlot(&slot, kRecordSlot);
    slot.note = note;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // Slot 1 stays empty until an older record is removed; no restore lands in its place.
    Slot empty;
    memset(&empty, 0, sizeof empty);
    DWORD written = 0;
    bool whole = WriteSlot(file, &slot) &&
                 WriteFile(file, &empty, sizeof empty, &written, nullptr) && written == sizeof empty &&
                 FlushFileBuffers(file);
    CloseHandle(file);
    return whole;
}

int TakeRunNote(const char *bootDir, DriverRecord *record, RunNote *note)
{
    memset(record, 0, sizeof *record);
    memset(note, 0, sizeof *note);
    HANDLE file = OpenNote(GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    Slot slot;
    bool whole = ReadSlot(file, 0, kRecordSlot, &slot);
    CloseHandle(file);
    if (!whole || (bootDir && !NamesEqual(bootDir, slot.note.instDir)))
        return 0;
    char key[RECORD_KEY_SIZE], instDir[RECORD_VALUE_SIZE];
    if (!FormatWhole(key, sizeof key, "Software\\ZANRO INC\\DISPLAY\\DRIVER\\%s", slot.note.numberText))
        return 0;
    // A record of that number that names another directory is a later installation's.
    HKEY existing;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &existing) == ERROR_SUCCESS) {
        RegCloseKey(existing);
        if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, key, "InstDir", instDir, sizeof instDir) ||
            !NamesEqual(instDir, slot.note.instDir))
            return 0;
    }
    *note = slot.note;
    record->number = RecordNumberValue(note->numberText);
    memcpy(record->numberText, note->numberText, sizeof record->numberText);
    memcpy(record->key, key, sizeof record->key);
    memcpy(record->instDir, note->instDir, sizeof record->instDir);
    return 1;
}

int ReadNotedRestores(NotedRestore *names, int max)
{
    HANDLE file = OpenNote(GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    Slot slot;
    DWORD slots = SlotsIn(file);
    if (ReadSlot(file, 0, kRecordSlot, &slot))
        for (DWORD i = kFirstRestoreIndex; i < slots && i < kMaxSlots && count < max; ++i)
            if (ReadSlot(file, static_cast<int>(i), kRestoreSlot, &slot))  // a torn one is passed over
                names[count++] = slot.restore;
    CloseHandle(file);
    return count;
}

bool NoteRestore(const NotedRestore &names)
{
    NotedRestore noted[MAX_NOTED_RESTORES];
    int count = ReadNotedRestores(noted, MAX_NOTED_RESTORES);
    for (int i = 0; i < count; ++i)
        if (SameText(noted[i].classInstance, names.classInstance) &&
            SameText(noted[i].deviceInstance, names.deviceInstance))
            return true;
    HANDLE file = OpenNote(GENERIC_READ | GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    Slot slot;
    // A slot cut short at the end is not whole and is written over.
    DWORD slots = SlotsIn(file);
    bool added = false;
    if (slots >= kFirstRestoreIndex && slots < kMaxSlots && ReadSlot(file, 0, kRecordSlot, &slot) &&
        SetFilePointer(file, static_cast<LONG>(slots * sizeof slot), nullptr, FILE_BEGIN) !=
            INVALID_SET_FILE_POINTER) {
        MakeSlot(&slot, kRestoreSlot);
        slot.restore = names;
        added = WriteSlot(file, &slot);
    }
    CloseHandle(file);
    return added;
}

bool NoteOlderRecord(const RunNote &older)
{
    HANDLE file = OpenNote(GENERIC_READ | GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    Slot slot;
    bool noted = false;
    if (ReadSlot(file, 0, kRecordSlot, &slot) &&
        SetFilePointer(file, kOlderIndex * sizeof slot, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
        MakeSlot(&slot, kOlderSlot);
        slot.note = older;
        noted = WriteSlot(file, &slot);
    }
    CloseHandle(file);
    return noted;
}

int TakeNotedOlderRecord(const char *numberText, RunNote *older)
{
    HANDLE file = OpenNote(GENERIC_READ);
    Slot slot;
    bool whole = file != INVALID_HANDLE_VALUE && ReadSlot(file, 0, kRecordSlot, &slot) &&
                 ReadSlot(file, kOlderIndex, kOlderSlot, &slot) && SameText(slot.note.numberText, numberText);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    // numberText may lie in *older: it is written only now.
    if (whole)
        *older = slot.note;
    return whole ? 1 : 0;
}

void RemoveRunNote()
{
    // The registry reaches the disk on its own time: a note gone before the run's last
    // registry changes would let a cut undo them with no note left to redo them.
    RegFlushKey(HKEY_LOCAL_MACHINE);
    char path[MAX_PATH];
    if (NotePath(path))
        DeleteFileA(path);
}
