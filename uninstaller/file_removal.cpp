#include "file_removal.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "process_state.h"

namespace {

// Lines that name these are left over from an earlier run of the package and must not take
// its display-mode libraries away at the next boot. The test is case-sensitive on purpose.
const char *const kMarkers[] = {"zanchg16.zan", "zanchg32.zan", "gfxdrv.zan"};
const size_t kReadSize = 100;      // one read of the list: at most 99 characters
const size_t kMarkerOverlap = 11;  // longest marker less one: sees a marker split across reads

// _snprintf leaves the buffer unterminated or returns -1 when the text does not fit: such a
// path is skipped, never cut short.
bool FormatPath(char *buffer, size_t size, const char *format, const char *text)
{
    int n = _snprintf(buffer, size, format, text);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

// Reads one whole line of the list, however long, in reads of at most 99 characters, and
// tells whether it names a marker anywhere (also across the seam of two reads). Returns
// false when the list has no more lines.
bool ScanLine(FILE *list, bool *marked)
{
    char window[kMarkerOverlap + kReadSize];
    size_t carried = 0;
    bool readAny = false;
    *marked = false;
    while (fgets(window + carried, kReadSize, list)) {
        readAny = true;
        size_t length = carried + strlen(window + carried);
        for (const char *marker : kMarkers)
            if (strstr(window, marker))
                *marked = true;
        if (length > 0 && window[length - 1] == '\n')
            break;
        size_t keep = length < kMarkerOverlap ? length : kMarkerOverlap;
        memmove(window, window + length - keep, keep);
        window[keep] = '\0';
        carried = keep;
    }
    return readAny;
}

// The bytes that text puts on disk through a text-mode stream, which writes "\n" as CR LF.
long TextBytes(const char *text)
{
    long bytes = 0;
    for (; *text; ++text)
        bytes += *text == '\n' ? 2 : 1;
    return bytes;
}

// Passes one line of the list on to `to`, or past it when `to` is null, adding to `*sent`
// the bytes it writes. Reads in the same steps as ScanLine, so a second stream on the same
// list stays on the same line.
void PassLine(FILE *from, FILE *to, long *sent)
{
    char buffer[kReadSize];
    while (fgets(buffer, kReadSize, from)) {
        if (to) {
            fputs(buffer, to);
            *sent += TextBytes(buffer);
        }
        size_t length = strlen(buffer);
        if (length > 0 && buffer[length - 1] == '\n')
            return;
    }
}

bool IsBlank(int c) { return c == ' ' || c == '\t'; }

int FoldAscii(int c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

bool IsRenameName(const char *name, size_t length)
{
    while (length > 0 && IsBlank(static_cast<unsigned char>(name[length - 1])))
        --length;
    while (length > 0 && IsBlank(static_cast<unsigned char>(*name))) {
        ++name;
        --length;
    }
    static const char kRename[] = "RENAME";
    if (length != sizeof kRename - 1)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (FoldAscii(static_cast<unsigned char>(name[i])) != kRename[i])
            return false;
    return true;
}

// What the list looks like to a new entry. The boot reads only the first "[rename]"
// section, so that is where entries belong.
struct ListShape {
    bool hasRename;      // a "[rename]" section exists
    long renameEnd;      // offset of the line that starts the section after the first
                         // "[rename]", or -1 when that section runs to the end of the file
    bool needsNewline;   // the file does not end with a line end
};

bool ExamineList(const char *listPath, ListShape *shape)
{
    FILE *list = fopen(listPath, "rb");
    if (!list)
        return false;
    enum { LINE_START, HEADER_NAME, LINE_REST } state = LINE_START;
    char name[16];
    size_t nameLength = 0;
    bool nameTooLong = false;
    bool inFirstRename = false;
    long offset = 0, lineStart = 0;
    int c, last = '\n';
    shape->hasRename = false;
    shape->renameEnd = -1;
    while ((c = getc(list)) != EOF) {
        switch (state) {
        case LINE_START:
            if (c == '[') {
                // Any line opening with a bracket starts a new section for the reader.
                if (inFirstRename) {
                    shape->renameEnd = lineStart;
                    inFirstRename = false;
                }
                state = HEADER_NAME;
                nameLength = 0;
                nameTooLong = false;
            } else if (c == '\n') {
                lineStart = offset + 1;
            } else if (!IsBlank(c)) {
                state = LINE_REST;
            }
            break;
        case HEADER_NAME:
            if (c == ']') {
                if (!nameTooLong && !shape->hasRename && IsRenameName(name, nameLength)) {
                    shape->hasRename = true;
                    inFirstRename = true;
                }
                state = LINE_REST;
            } else if (c == '\n') {
                state = LINE_START;
                lineStart = offset + 1;
            } else if (nameLength < sizeof name) {
                name[nameLength++] = static_cast<char>(c);
            } else {
                nameTooLong = true;
            }
            break;
        case LINE_REST:
            if (c == '\n') {
                state = LINE_START;
                lineStart = offset + 1;
            }
            break;
        }
        last = c;
        ++offset;
    }
    shape->needsNewline = last != '\n';
    fclose(list);
    return true;
}

// The list is never written in place: a cut-off or half-written "wininit.ini" would lose
// the lines other programs have waiting in it. A new list is written completely under
// the name `fresh` and checked, then takes the list's place by renames (Windows 95 has no
// replace in one step); the old list stays under the name `saved` until the new one is in
// place.
struct ListNames {
    char list[MAX_PATH];
    char fresh[MAX_PATH];
    char saved[MAX_PATH];
};

bool NameList(const char *windows, ListNames *names)
{
    return FormatPath(names->list, sizeof names->list, "%s\\wininit.ini", windows) &&
           FormatPath(names->fresh, sizeof names->fresh, "%s\\wininit.zan", windows) &&
           FormatPath(names->saved, sizeof names->saved, "%s\\wininit.zol", windows);
}

bool Exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// An update cut short between its renames left the old list only under its saved name:
// it goes back. When a list is in place beside it, that is the new one (it is only ever
// renamed there whole), and the saved one is a mere leftover.
void RecoverList(const ListNames &names)
{
    if (!Exists(names.saved))
        return;
    if (Exists(names.list))
        DeleteFileA(names.saved);
    else
        MoveFileA(names.saved, names.list);
}

// Whether the bytes on disk are the `expected` number, read back. A write that reported
// success with part of its text missing would otherwise pass unseen.
bool HasLength(const char *path, long expected)
{
    FILE *file = fopen(path, "rb");
    if (!file)
        return false;
    char buffer[512];
    long total = 0;
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        total += static_cast<long>(got);
    bool ok = !ferror(file) && total == expected;
    fclose(file);
    return ok;
}

// Closes the new list and tells whether it came out whole: nothing failed on the way to
// the disk and the file holds the `sent` bytes.
bool CloseFresh(FILE *fresh, const ListNames &names, long sent)
{
    bool ok = !ferror(fresh);
    if (fclose(fresh) != 0)
        ok = false;
    return ok && HasLength(names.fresh, sent);
}

// Puts the new list in the list's place; `replacing` when a list is there now. MoveFileA
// never replaces an existing file, so a list that appeared meanwhile is not overwritten.
void PublishFresh(const ListNames &names, bool replacing)
{
    if (replacing && !MoveFileA(names.list, names.saved)) {
        DeleteFileA(names.fresh);
        return;
    }
    if (!MoveFileA(names.fresh, names.list)) {
        if (replacing)
            MoveFileA(names.saved, names.list);
        DeleteFileA(names.fresh);
        return;
    }
    if (replacing)
        DeleteFileA(names.saved);
}

// Copies `from` to `to` up to `limit` bytes (-1: to the end), adding to `*sent`. False when
// a read or write failed or fewer than `limit` bytes were there.
bool CopyBytes(FILE *from, FILE *to, long limit, long *sent)
{
    char buffer[512];
    long copied = 0;
    for (;;) {
        size_t want = sizeof buffer;
        if (limit >= 0 && limit - copied < static_cast<long>(want))
            want = static_cast<size_t>(limit - copied);
        if (want == 0)
            break;
        size_t got = fread(buffer, 1, want, from);
        if (got == 0)
            break;
        if (fwrite(buffer, 1, got, to) != got)
            return false;
        copied += static_cast<long>(got);
    }
    *sent += copied;
    return !ferror(from) && (limit < 0 || copied == limit);
}

// Writes the new list: the list's bytes (none when `hasList` is false) with `text` put in
// at `offset` (-1: at the end), every other byte kept. Then it takes the list's place.
void WriteWithText(const ListNames &names, bool hasList, long offset, const char *text)
{
    FILE *fresh = fopen(names.fresh, "wb");
    if (!fresh)
        return;
    FILE *list = hasList ? fopen(names.list, "rb") : nullptr;
    bool ok = !hasList || list;
    long sent = 0;
    if (list)
        ok = ok && CopyBytes(list, fresh, offset, &sent);
    if (ok && fputs(text, fresh) >= 0)
        sent += static_cast<long>(strlen(text));
    else
        ok = false;
    if (list) {
        ok = ok && CopyBytes(list, fresh, -1, &sent);
        fclose(list);
    }
    if (CloseFresh(fresh, names, sent) && ok)
        PublishFresh(names, hasList);
    else
        DeleteFileA(names.fresh);
}

// Writes one entry into the first "[rename]" section of the list. A list that ends in that
// section only grows at its end, as the boot-time reader expects; a list without one gets the
// section at its end; otherwise the entry goes in just before the next section.
void AddRenameEntry(const char *windows, const char *entry)
{
    ListNames names;
    if (!NameList(windows, &names))
        return;
    RecoverList(names);
    ListShape shape = {false, -1, false};
    // A list that is there but cannot be read must not give way to one without its lines;
    // nor may one be made while the old list waits under its saved name.
    bool hasList = Exists(names.list) || Exists(names.saved);
    if (hasList && !ExamineList(names.list, &shape))
        return;
    char text[2 + 10 + 4 + MAX_PATH + 2 + 1];
    const char *lineEnd = shape.renameEnd < 0 && shape.needsNewline ? "\r\n" : "";
    const char *header = shape.hasRename ? "" : "[rename]\r\n";
    int n = _snprintf(text, sizeof text, "%s%s%s\r\n", lineEnd, header, entry);
    if (n < 0 || static_cast<size_t>(n) >= sizeof text)
        return;
    WriteWithText(names, hasList, shape.renameEnd, text);
}

} // namespace

void DeleteOrScheduleFile(const char *path)
{
    FILE *probe = fopen(path, "rb");
    if (!probe)
        return;
    fclose(probe);
    if (DeleteFileA(path))
        return;

    // Only 8.3 names are understood when the list is carried out, before Windows starts.
    char shortPath[MAX_PATH];
    DWORD shortLength = GetShortPathNameA(path, shortPath, sizeof shortPath);
    char windows[MAX_PATH];
    UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    char entry[4 + MAX_PATH];
    if (shortLength > 0 && shortLength < sizeof shortPath && windowsLength > 0 &&
        windowsLength < sizeof windows && FormatPath(entry, sizeof entry, "NUL=%s", shortPath))
        AddRenameEntry(windows, entry);
    restartRequired = 1;
}

void FilterWininit()
{
    ListNames names;
    if (!NameList(windowsDir, &names))
        return;
    RecoverList(names);

    FILE *scan = fopen(names.list, "r");
    if (!scan) {
        // Only a list that is not there at all is made anew.
        if (!Exists(names.list) && !Exists(names.saved))
            WriteWithText(names, false, -1, "[rename]\r\n");
        return;
    }
    FILE *fresh = fopen(names.fresh, "w");
    if (!fresh) {
        fclose(scan);
        return;
    }
    // A second stream on the list follows the first one line behind: the first decides on
    // the whole line, the second copies it or skips it, and no line has to fit a buffer.
    FILE *copy = fopen(names.list, "r");
    bool ok = copy != nullptr;
    long sent = 0;
    if (copy) {
        bool marked;
        while (ScanLine(scan, &marked))
            PassLine(copy, marked ? nullptr : fresh, &sent);
        if (ferror(scan) || ferror(copy))
            ok = false;
        fclose(copy);
    }
    fclose(scan);
    if (CloseFresh(fresh, names, sent) && ok)
        PublishFresh(names, true);
    else
        DeleteFileA(names.fresh);
}
