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

// Passes one line of the list on to `to`, or past it when `to` is null. Reads in the same
// steps as ScanLine, so a second stream on the same list stays on the same line.
void PassLine(FILE *from, FILE *to)
{
    char buffer[kReadSize];
    while (fgets(buffer, kReadSize, from)) {
        if (to)
            fputs(buffer, to);
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

// Puts the entry (with a CR LF) at `offset` of the list, keeping every other byte.
void InsertEntry(const char *listPath, const char *tempPath, long offset, const char *entry)
{
    FILE *list = fopen(listPath, "rb");
    if (!list)
        return;
    FILE *temp = fopen(tempPath, "wb");
    if (!temp) {
        fclose(list);
        return;
    }
    char buffer[512];
    long copied = 0;
    bool ok = true;
    bool inserted = false;
    for (;;) {
        size_t want = sizeof buffer;
        if (!inserted && offset - copied < static_cast<long>(want))
            want = static_cast<size_t>(offset - copied);
        if (!inserted && want == 0) {
            ok = fputs(entry, temp) >= 0 && fputs("\r\n", temp) >= 0 && ok;
            inserted = true;
            continue;
        }
        size_t got = fread(buffer, 1, want, list);
        if (got == 0)
            break;
        if (fwrite(buffer, 1, got, temp) != got)
            ok = false;
        copied += static_cast<long>(got);
    }
    if (ferror(list) || !inserted)
        ok = false;
    fclose(list);
    if (fclose(temp) != 0)
        ok = false;
    if (ok)
        CopyFileA(tempPath, listPath, FALSE);
    DeleteFileA(tempPath);
}

void AppendText(const char *listPath, bool needsNewline, const char *header, const char *entry)
{
    FILE *list = fopen(listPath, "a");
    if (!list)
        return;
    if (needsNewline)
        fputs("\n", list);
    if (header)
        fputs(header, list);
    fputs(entry, list);
    fputs("\n", list);
    fclose(list);
}

// Writes one entry into the first "[rename]" section of the list. A list that ends in that
// section only grows at its end, as the boot-time reader expects; a list without one gets the
// section at its end; otherwise the entry goes in just before the next section.
void AddRenameEntry(const char *windows, const char *entry)
{
    char listPath[MAX_PATH];
    char tempPath[MAX_PATH];
    if (!FormatPath(listPath, sizeof listPath, "%s\\wininit.ini", windows))
        return;
    ListShape shape;
    if (!ExamineList(listPath, &shape)) {
        FILE *list = fopen(listPath, "w");
        if (list) {
            fputs("[rename]\n", list);
            fputs(entry, list);
            fputs("\n", list);
            fclose(list);
        }
        return;
    }
    if (!shape.hasRename)
        AppendText(listPath, shape.needsNewline, "[rename]\n", entry);
    else if (shape.renameEnd < 0)
        AppendText(listPath, shape.needsNewline, nullptr, entry);
    else if (FormatPath(tempPath, sizeof tempPath, "%s\\wininit.zan", windows))
        InsertEntry(listPath, tempPath, shape.renameEnd, entry);
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
    char listPath[MAX_PATH];
    char tempPath[MAX_PATH];
    if (!FormatPath(listPath, sizeof listPath, "%s\\wininit.ini", windowsDir) ||
        !FormatPath(tempPath, sizeof tempPath, "%s\\wininit.zan", windowsDir))
        return;

    FILE *scan = fopen(listPath, "r");
    if (!scan) {
        FILE *list = fopen(listPath, "w");
        if (list) {
            fputs("[rename]\n", list);
            fclose(list);
        }
        return;
    }
    FILE *temp = fopen(tempPath, "w");
    if (!temp) {
        fclose(scan);
        return;
    }
    // A second stream on the list follows the first one line behind: the first decides on
    // the whole line, the second copies it or skips it, and no line has to fit a buffer.
    FILE *copy = fopen(listPath, "r");
    bool ok = copy != nullptr;
    if (copy) {
        bool marked;
        while (ScanLine(scan, &marked))
            PassLine(copy, marked ? nullptr : temp);
        if (ferror(scan) || ferror(copy) || ferror(temp))
            ok = false;
        fclose(copy);
    }
    fclose(scan);
    if (fclose(temp) != 0)
        ok = false;
    // A filtered copy that did not come out whole must not replace the list.
    if (ok)
        CopyFileA(tempPath, listPath, FALSE);
    DeleteFileA(tempPath);
}
