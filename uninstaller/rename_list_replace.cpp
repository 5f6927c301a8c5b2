#include "rename_list_replace.h"

#include <windows.h>

#include "bounded_format.h"
#include "rename_list_carry.h"
#include "rename_list_lock.h"

// The list is never written in place: a cut-off or half-written "wininit.ini" would lose the
// lines other programs have waiting in it. A new list is written whole beside it, checked,
// and takes the list's place by two renames (Windows 95 has no replace in one step): the list
// to the replaced name, the new list to the list's. The boot carries out "wininit.ini" and
// takes it away, and another program may write a new one at any time we are not running;
// neither ever looks at our working files. So the working files that are there, and nothing
// in any list's contents, tell how far an update came. Every step leaves one of these
// states, and the next start settles it:
//
//   new replaced waiting  what it means                          settled by
//   -   -        -        nothing left                           -
//   x   -        -        a new list being written, perhaps      removing it
//                         partial; the list in place untouched
//   x   x        -        the list moved out, the new one whole  no list: the new one takes the
//                         but not in place: cut between the      place; a list: it is another
//                         renames, or a failure that could not   program's, written since, and
//                         put the replaced list back             the new one becomes waiting
//   -   x        -        the new list took the place, with the  removing the replaced list
//                         replaced list's lines (a boot may have
//                         carried them out since)
//   -   x        x        the new list became the waiting one    removing the replaced list
//   -   -        x        our whole list waits; a list in place  no list: it takes the place;
//                         is another program's                   else the carry (below)
//   x   -        x        the carry being written, perhaps       removing the new list
//                         partial
//   x   x        x        the carry whole, the other program's   removing the waiting list
//                         list moved out: the waiting list's
//                         lines are in the new list
//
// While the new list and the replaced one are both there, no list of ours is in place: ours
// gets there only by a rename that takes one of their two names away. That much cannot be
// settled on Windows 95, which has no replace in one step: a cut between the renames followed
// by a boot carries out nothing, and the lines held in the working files wait for this
// program's next start, behind any list another program writes meanwhile.
//
// The states hold for one update at a time: another instance's settling would take our
// working files for leftovers, so every update holds the lock from its settling to the end of
// its swap.
//
// The carry is a new list made of the waiting list's lines ahead of the list in place's,
// swapped in like any other, but the waiting list goes between the renames: once the carry
// is in place, nothing may be left that would carry those lines a second time. A failure
// puts the replaced list back only while that loses no line; otherwise it leaves the files
// that tell the truth for the next start.

namespace {

// The list and the working files of its replacement, all in the Windows folder.
struct ListFiles {
    char list[MAX_PATH];          // "wininit.ini", what the boot carries out
    char newList[MAX_PATH];       // a new list, written beside the list
    char replacedList[MAX_PATH];  // the list that a new one replaces, moved out of its place
    char waitingList[MAX_PATH];   // a whole list of ours that found another program's list in
                                  // its place; its lines go in ahead of that list's
};

// What the new list takes over from the one it replaces.
const DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// Which working files are there, a bit each. A folder under one of their names is not ours
// and leaves the state to nobody.
enum { kNewList = 1, kReplacedList = 2, kWaitingList = 4, kNotOurs = 8 };
// More steps than any state takes to settle; a list that keeps changing under us stops it.
enum { kMostSettleSteps = 8 };

enum WaitingListFate { kNoWaitingList, kWaitingListCarried };

bool Exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

int Presence(const char *path, int bit)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kNotOurs : bit;
}

int WorkingFiles(const ListFiles &files)
{
    return Presence(files.newList, kNewList) | Presence(files.replacedList, kReplacedList) |
           Presence(files.waitingList, kWaitingList);
}

// Our own files go read-only or not: a list's read-only attribute moves with it.
bool RemoveFile(const char *path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) != 0;
}

// Whether the bytes on disk are the `expected` number, read back. A write that reported
// success with part of its text missing would otherwise pass unseen.
bool HasLength(const char *path, long expected)
{
    FileStream *file = OpenFileStream(path, kStreamRead);
    if (!file)
        return false;
    char buffer[512];
    long total = 0;
    size_t got;
    while ((got = ReadStreamBlock(file, buffer, sizeof buffer)) > 0)
        total += static_cast<long>(got);
    bool ok = !StreamFailed(file) && total == expected;
    CloseFileStream(file);
    return ok;
}

// Windows 9x writes file data behind: a power cut soon after the swap could find the new
// list's name in place without its bytes on the disk. So they go to the disk before any
// rename, and the replaced list, whose removal comes after the renames, goes only then.
bool CloseWhole(const ListFiles &files, ListWriter *writer)
{
    FlushWriter(writer);
    bool ok = writer->ok && FlushStream(writer->file);
    if (!CloseFileStream(writer->file))
        ok = false;
    return ok && HasLength(files.newList, writer->sent);
}

bool TakeListAttributes(const ListFiles &files)
{
    DWORD attributes = GetFileAttributesA(files.list);
    DWORD kept = attributes & kKeptAttributes;
    return attributes != INVALID_FILE_ATTRIBUTES &&
           SetFileAttributesA(files.newList, kept ? kept : FILE_ATTRIBUTE_NORMAL);
}

// When the replaced list cannot go back, both stay: together they say "cut between the
// renames", and the next start puts the new list in place.
void PutReplacedListBack(const ListFiles &files)
{
    if (MoveFileA(files.replacedList, files.list))
        RemoveFile(files.newList);
}

// MoveFileA never replaces an existing file, so a list that appears meanwhile is never
// overwritten.
bool SwapInNewList(const ListFiles &files, ListWriter *writer, WaitingListFate waiting)
{
    bool whole = CloseWhole(files, writer);
    bool replacing = Exists(files.list);
    if (!whole || (waiting == kWaitingListCarried && !replacing) ||
        (replacing && (!TakeListAttributes(files) || !MoveFileA(files.list, files.replacedList)))) {
        RemoveFile(files.newList);
        return false;
    }
    if (waiting == kWaitingListCarried && !RemoveFile(files.waitingList)) {
        PutReplacedListBack(files);
        return false;
    }
    if (!MoveFileA(files.newList, files.list)) {
        // The carry holds the waiting list's lines, which are nowhere else now.
        if (!replacing)
            RemoveFile(files.newList);
        else if (waiting == kNoWaitingList)
            PutReplacedListBack(files);
        return false;
    }
    if (replacing)
        RemoveFile(files.replacedList);
    return true;
}

bool StartNewList(const ListFiles &files, ListWriter *writer)
{
    FileStream *file = OpenFileStream(files.newList, kStreamCreate);
    if (!file)
        return false;
    StartWriter(writer, file);
    return true;
}

bool CarryWaitingList(const ListFiles &files)
{
    ListWriter writer;
    if (!StartNewList(files, &writer))
        return false;
    FileStream *waiting = OpenFileStream(files.waitingList, kStreamRead);
    FileStream *list = OpenFileStream(files.list, kStreamRead);
    bool read = waiting && list;
    if (read) {
        ListReader older, newer;
        StartReader(&older, waiting);
        StartReader(&newer, list);
        read = WriteCarriedLines(&older, &newer, &writer);
    }
    if (waiting)
        CloseFileStream(waiting);
    if (list)
        CloseFileStream(list);
    writer.ok = writer.ok && read;
    return SwapInNewList(files, &writer, kWaitingListCarried);
}

bool NameListFiles(const char *windows, ListFiles *files)
{
    return FormatWhole(files->list, sizeof files->list, "%s\\wininit.ini", windows) &&
           FormatWhole(files->newList, sizeof files->newList, "%s\\wininit.zan", windows) &&
           FormatWhole(files->replacedList, sizeof files->replacedList, "%s\\wininit.zol", windows) &&
           FormatWhole(files->waitingList, sizeof files->waitingList, "%s\\wininit.zcl", windows);
}

// One step of the table at a time, until nothing is left or a step fails; a cut during the
// settling leaves another state of the table.
bool SettleListFiles(const ListFiles &files)
{
    for (int step = 0; step < kMostSettleSteps; ++step) {
        bool listThere = Exists(files.list);
        bool done;
        switch (WorkingFiles(files)) {
        case 0:
            return true;
        case kNewList:
        case kNewList | kWaitingList:
            done = RemoveFile(files.newList);
            break;
        case kNewList | kReplacedList:
            done = MoveFileA(files.newList, listThere ? files.waitingList : files.list) != 0;
            break;
        case kReplacedList:
        case kReplacedList | kWaitingList:
            done = RemoveFile(files.replacedList);
            break;
        case kWaitingList:
            done = listThere ? CarryWaitingList(files) : MoveFileA(files.waitingList, files.list) != 0;
            break;
        case kNewList | kReplacedList | kWaitingList:
            done = RemoveFile(files.waitingList);
            break;
        default:
            return false;
        }
        if (!done)
            return false;
    }
    return false;
}

// Whether the update would write the list's own bytes again (*same); false when that cannot
// be told. Then it writes nothing: no working file, and none of the moments of a swap in which
// no list is in place.
bool CompareWithList(const ListFiles &files, FileStream *list, ComposeList compose, const char *text, bool *same)
{
    *same = false;
    FileStream *again = OpenFileStream(files.list, kStreamRead);
    if (!again)
        return false;
    ListReader reader, compared;
    ListWriter writer;
    StartReader(&reader, list);
    StartReader(&compared, again);
    StartComparison(&writer, &compared);
    compose(&reader, &writer, text);
    *same = SameAsList(&writer) && !StreamFailed(list);
    CloseFileStream(again);
    return true;
}

bool UpdateLockedList(const char *windows, ComposeList compose, const char *text)
{
    ListFiles files;
    if (!NameListFiles(windows, &files) || !SettleListFiles(files))
        return false;
    FileStream *list = OpenFileStream(files.list, kStreamRead);
    if (!list && Exists(files.list))
        return false;
    bool same = false;
    if (list && (!CompareWithList(files, list, compose, text, &same) || same)) {
        CloseFileStream(list);
        return same;
    }
    ListWriter writer;
    if (!StartNewList(files, &writer)) {
        if (list)
            CloseFileStream(list);
        return false;
    }
    ListReader reader;
    if (list) {
        StartReader(&reader, list);
        SeekReader(&reader, 0);
    }
    compose(list ? &reader : nullptr, &writer, text);
    if (list) {
        writer.ok = writer.ok && !StreamFailed(list);
        CloseFileStream(list);
    }
    return SwapInNewList(files, &writer, kNoWaitingList);
}

} // namespace

// The lock is held from the settling to the end of the swap: another update's settling must
// not find our working files, nor our swap move away a list another update just put in place.
bool UpdateList(const char *windows, ComposeList compose, const char *text)
{
    HANDLE lock;
    if (!LockListUpdates(&lock))
        return false;
    bool done = UpdateLockedList(windows, compose, text);
    UnlockListUpdates(lock);
    return done;
}
