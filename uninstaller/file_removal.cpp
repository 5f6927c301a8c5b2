#include "file_removal.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "process_state.h"

namespace {

// Lines that name these are left over from an earlier run of the package and must not take
// its display-mode libraries away at the next boot. The test is case-sensitive on purpose.
const char *const kMarkers[] = {"zanchg16.zan", "zanchg32.zan", "gfxdrv.zan"};
enum { kLongestMarker = 12, kLineEnd = -2, kNothing = -3 };

// What the new list takes over from the one it replaces.
const DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

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

// The list is read in binary, byte by byte: other programs and editors wrote it, and none of
// its bytes (0x1A and NUL among them) is ours to drop. One byte read ahead tells CR LF from
// a lone CR.
struct Reader {
    FILE *file;
    int ahead;    // a byte read but not yet taken, or kNothing
    long offset;  // of the next byte taken
};

void StartReader(Reader *reader, FILE *file)
{
    reader->file = file;
    reader->ahead = kNothing;
    reader->offset = 0;
}

int TakeByte(Reader *reader)
{
    int c = reader->ahead;
    reader->ahead = kNothing;
    if (c == kNothing)
        c = getc(reader->file);
    if (c != EOF)
        ++reader->offset;
    return c;
}

void SeekReader(Reader *reader, long offset)
{
    reader->ahead = kNothing;
    reader->offset = offset;
    fseek(reader->file, offset, SEEK_SET);
}

// The next byte of the current line; kLineEnd once its end is taken. CR LF, LF and a lone
// CR each end a line, as they do for the boot.
int LineByte(Reader *reader)
{
    int c = TakeByte(reader);
    if (c == '\r') {
        int next = TakeByte(reader);
        if (next != '\n' && next != EOF) {
            reader->ahead = next;
            --reader->offset;
        }
        return kLineEnd;
    }
    return c == '\n' ? kLineEnd : c;
}

bool IsBlank(int c) { return c == ' ' || c == '\t'; }

int FoldAscii(int c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

struct Line {
    long start;         // offset of its first byte
    long length;        // its bytes, the line end left out
    bool ended;         // a line end follows (the last line may have none)
    bool header;        // opens with "[" after blanks: the reader starts a section there
    bool renameHeader;  // "[rename]" in any case, with any blanks around the name
    bool marked;        // names a marker anywhere
};

// Reads one whole line, however long, and tells what it is. False at the end of the list.
bool ReadLine(Reader *reader, Line *line)
{
    static const char kRename[] = "RENAME";
    char tail[kLongestMarker];  // the line's last bytes, so a marker is seen wherever it is
    size_t filled = 0;
    enum { OPENING, NAME, REST } part = OPENING;
    size_t matched = 0;  // letters of the section name that match "RENAME"
    bool nameEnded = false, nameFits = true;
    line->start = reader->offset;
    line->length = 0;
    line->ended = line->header = line->renameHeader = line->marked = false;
    int c;
    while ((c = LineByte(reader)) != EOF) {
        if (c == kLineEnd) {
            line->ended = true;
            break;
        }
        ++line->length;
        if (filled == sizeof tail)
            memmove(tail, tail + 1, --filled);
        tail[filled++] = static_cast<char>(c);
        for (const char *marker : kMarkers) {
            size_t n = strlen(marker);
            if (filled >= n && memcmp(tail + filled - n, marker, n) == 0)
                line->marked = true;
        }
        if (part == OPENING) {
            if (c == '[')
                part = NAME;
            else if (!IsBlank(c))
                part = REST;
            line->header = part == NAME;
        } else if (part == NAME) {
            if (c == ']') {
                line->renameHeader = nameFits && matched == sizeof kRename - 1;
                part = REST;
            } else if (IsBlank(c)) {
                nameEnded = matched > 0;
            } else if (nameEnded || matched == sizeof kRename - 1 || FoldAscii(c) != kRename[matched]) {
                nameFits = false;
            } else {
                ++matched;
            }
        }
    }
    return line->ended || line->length > 0;
}

// Where a line stands for the boot, which reads only the first "[rename]" section.
enum Region { PROLOGUE, RENAME_HEADER, RENAME_BODY, OTHER };
struct Walk {
    Region region;
    bool renameSeen;
};

Region Place(Walk *walk, const Line &line)
{
    if (line.header) {
        bool first = line.renameHeader && !walk->renameSeen;
        walk->renameSeen = walk->renameSeen || first;
        walk->region = first ? RENAME_HEADER : OTHER;
    } else if (walk->region == RENAME_HEADER) {
        walk->region = RENAME_BODY;
    }
    return walk->region;
}

// What the list looks like to a new entry or to carried lines.
struct ListShape {
    bool hasRename;     // a "[rename]" section exists
    long bodyStart;     // offset just after the first "[rename]" header line
    long renameEnd;     // offset of the line that starts the section after the first
                        // "[rename]", or -1 when that section runs to the end of the file
    bool needsNewline;  // the file does not end with a line end
};

bool ExamineList(Reader *reader, ListShape *shape)
{
    Walk walk = {PROLOGUE, false};
    Line line;
    shape->hasRename = shape->needsNewline = false;
    shape->bodyStart = shape->renameEnd = -1;
    SeekReader(reader, 0);
    while (ReadLine(reader, &line)) {
        Region was = walk.region;
        if (Place(&walk, line) == RENAME_HEADER) {
            shape->hasRename = true;
            shape->bodyStart = reader->offset;
        } else if (line.header && (was == RENAME_HEADER || was == RENAME_BODY)) {
            shape->renameEnd = line.start;
        }
        shape->needsNewline = !line.ended;
    }
    return !ferror(reader->file);
}

// The new list on its way to the disk. `sent` counts the bytes handed over, to be found on
// disk afterwards.
struct Writer {
    FILE *file;
    bool ok;
    long sent;
    int last;  // the last byte put, or kNothing
    size_t used;
    char buffer[512];
};

void StartWriter(Writer *writer, FILE *file)
{
    writer->file = file;
    writer->ok = true;
    writer->sent = 0;
    writer->last = kNothing;
    writer->used = 0;
}

void FlushWriter(Writer *writer)
{
    if (writer->used > 0 && fwrite(writer->buffer, 1, writer->used, writer->file) != writer->used)
        writer->ok = false;
    writer->sent += static_cast<long>(writer->used);
    writer->used = 0;
}

void PutByte(Writer *writer, int c)
{
    if (writer->used == sizeof writer->buffer)
        FlushWriter(writer);
    writer->buffer[writer->used++] = static_cast<char>(c);
    writer->last = c;
}

void PutText(Writer *writer, const char *text)
{
    for (; *text; ++text)
        PutByte(writer, static_cast<unsigned char>(*text));
}

// Lines of our own start on a line of their own.
void EndLine(Writer *writer)
{
    if (writer->last != kNothing && writer->last != '\n' && writer->last != '\r')
        PutText(writer, "\r\n");
}

// Copies the bytes up to `end` (-1: to the end of the list). False when fewer were there.
bool CopyRange(Reader *reader, Writer *writer, long end)
{
    int c;
    while ((end < 0 || reader->offset < end) && (c = TakeByte(reader)) != EOF)
        PutByte(writer, c);
    return end < 0 || reader->offset == end;
}

// Writes a line's own bytes; the reader is left inside the list.
void CopyLine(Reader *reader, const Line &line, Writer *writer)
{
    SeekReader(reader, line.start);
    for (long i = 0; i < line.length; ++i)
        PutByte(writer, TakeByte(reader));
}

// Whether `list` holds a line with the bytes of `line` (read from `from`): in its first
// "[rename]" section when `renameBody`, anywhere otherwise. Both readers are moved.
bool HasLine(Reader *list, Reader *from, const Line &line, bool renameBody)
{
    Walk walk = {PROLOGUE, false};
    Line other;
    SeekReader(list, 0);
    while (ReadLine(list, &other)) {
        Region region = Place(&walk, other);
        if (other.length != line.length || (renameBody && region != RENAME_BODY))
            continue;
        long next = list->offset;
        SeekReader(list, other.start);
        SeekReader(from, line.start);
        long same = 0;
        while (same < line.length && TakeByte(list) == TakeByte(from))
            ++same;
        if (same == line.length)
            return true;
        SeekReader(list, next);
    }
    return false;
}

// Puts the lines in `part` of `from` that `list` lacks to `writer`, each ended by CR LF, or
// only counts them when `writer` is null. Marker lines never go: the filter drops them at
// every start. Another section's lines go under its header; a header naming a marker keeps
// its lines back, since they would land in some other section.
long CarryLines(Reader *from, Reader *list, Writer *writer, Region part)
{
    Walk walk = {PROLOGUE, false};
    Line line, header = {0, 0, false, false, false, false};
    bool headerDue = false, sectionHeld = false;
    long carried = 0;
    SeekReader(from, 0);
    while (ReadLine(from, &line)) {
        long next = from->offset;
        Region region = Place(&walk, line);
        if (line.header) {
            header = line;
            headerDue = true;
            sectionHeld = line.marked;
            continue;
        }
        if (region != part || line.marked || sectionHeld)
            continue;
        if (!HasLine(list, from, line, part == RENAME_BODY)) {
            ++carried;
            if (writer) {
                if (part == OTHER && headerDue) {
                    CopyLine(from, header, writer);
                    PutText(writer, "\r\n");
                    headerDue = false;
                }
                CopyLine(from, line, writer);
                PutText(writer, "\r\n");
            }
        }
        SeekReader(from, next);
    }
    return carried;
}

long MissingLines(Reader *from, Reader *list)
{
    return CarryLines(from, list, nullptr, PROLOGUE) + CarryLines(from, list, nullptr, RENAME_BODY) +
           CarryLines(from, list, nullptr, OTHER);
}

// `list` with the lines of `from` that it lacks: those of the first "[rename]" section at
// the start of its own first "[rename]" section, before its lines; those before any section
// at its start; the other sections' at its end.
bool WriteCarried(Reader *from, Reader *list, Writer *writer)
{
    ListShape shape;
    if (!ExamineList(list, &shape))
        return false;
    CarryLines(from, list, writer, PROLOGUE);
    SeekReader(list, 0);
    if (shape.hasRename) {
        CopyRange(list, writer, shape.bodyStart);
        EndLine(writer);
        CarryLines(from, list, writer, RENAME_BODY);
        SeekReader(list, shape.bodyStart);
        CopyRange(list, writer, -1);
    } else {
        CopyRange(list, writer, -1);
        if (CarryLines(from, list, nullptr, RENAME_BODY) > 0) {
            EndLine(writer);
            PutText(writer, "[rename]\r\n");
            CarryLines(from, list, writer, RENAME_BODY);
        }
    }
    if (CarryLines(from, list, nullptr, OTHER) > 0) {
        EndLine(writer);
        CarryLines(from, list, writer, OTHER);
    }
    return !ferror(from->file) && !ferror(list->file);
}

// The list is never written in place: a cut-off or half-written "wininit.ini" would lose
// the lines other programs have waiting in it. A new list is written completely under the
// name `fresh` and checked, then takes the list's place by renames (Windows 95 has no
// replace in one step); the old list stays under the name `saved` until the new one is in
// place. `carried` holds a saved list whose lines still have to go into a list that is not
// the one we put in place.
struct ListNames {
    char list[MAX_PATH];
    char fresh[MAX_PATH];
    char saved[MAX_PATH];
    char carried[MAX_PATH];
};

bool NameList(const char *windows, ListNames *names)
{
    return FormatPath(names->list, sizeof names->list, "%s\\wininit.ini", windows) &&
           FormatPath(names->fresh, sizeof names->fresh, "%s\\wininit.zan", windows) &&
           FormatPath(names->saved, sizeof names->saved, "%s\\wininit.zol", windows) &&
           FormatPath(names->carried, sizeof names->carried, "%s\\wininit.zcl", windows);
}

bool Exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool IsFile(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Our own files go read-only or not: a list's read-only attribute moves with it to its
// saved name.
void RemoveFile(const char *path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
}

// The new list is written under `fresh`. One left over from an update cut short after it
// took the list's attributes may be read-only, and would refuse every later update.
FILE *OpenFresh(const ListNames &names)
{
    if (IsFile(names.fresh))
        SetFileAttributesA(names.fresh, FILE_ATTRIBUTE_NORMAL);
    return fopen(names.fresh, "wb");
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

// Puts the new list in the list's place; `replacing` when a list is there now, whose
// attributes the new one takes. MoveFileA never replaces an existing file, so a list that
// appeared meanwhile is not overwritten. True when the new list is in place.
bool PublishFresh(const ListNames &names, bool replacing)
{
    if (replacing) {
        DWORD attributes = GetFileAttributesA(names.list);
        DWORD kept = attributes & kKeptAttributes;
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            !SetFileAttributesA(names.fresh, kept ? kept : FILE_ATTRIBUTE_NORMAL) ||
            !MoveFileA(names.list, names.saved)) {
            RemoveFile(names.fresh);
            return false;
        }
    }
    if (!MoveFileA(names.fresh, names.list)) {
        if (replacing)
            MoveFileA(names.saved, names.list);
        RemoveFile(names.fresh);
        return false;
    }
    if (replacing)
        RemoveFile(names.saved);
    return true;
}

// Closes the new list; when it came out whole (nothing failed on the way to the disk and
// the file holds every byte sent), it takes the list's place.
bool FinishFresh(const ListNames &names, Writer *writer, bool ok, bool replacing)
{
    FlushWriter(writer);
    ok = ok && writer->ok && !ferror(writer->file);
    if (fclose(writer->file) != 0)
        ok = false;
    if (ok && HasLength(names.fresh, writer->sent))
        return PublishFresh(names, replacing);
    RemoveFile(names.fresh);
    return false;
}

// Writes the new list: the list's bytes (none when `hasList` is false) with `text` put in at
// `offset` (-1: at the end), every other byte kept. Then it takes the list's place.
void WriteWithText(const ListNames &names, bool hasList, long offset, const char *text)
{
    FILE *fresh = OpenFresh(names);
    if (!fresh)
        return;
    FILE *list = hasList ? fopen(names.list, "rb") : nullptr;
    Writer writer;
    Reader reader;
    StartWriter(&writer, fresh);
    bool ok = !hasList || list;
    if (list) {
        StartReader(&reader, list);
        ok = CopyRange(&reader, &writer, offset);
    }
    PutText(&writer, text);
    if (list) {
        ok = CopyRange(&reader, &writer, -1) && ok && !ferror(list);
        fclose(list);
    }
    FinishFresh(names, &writer, ok, hasList);
}

// How many lines of the list under `older` the list in place lacks; -1 when either does
// not read.
long CountMissing(const ListNames &names, const char *older)
{
    FILE *from = fopen(older, "rb");
    FILE *list = fopen(names.list, "rb");
    long missing = -1;
    if (from && list) {
        Reader fromReader, listReader;
        StartReader(&fromReader, from);
        StartReader(&listReader, list);
        missing = MissingLines(&fromReader, &listReader);
        if (ferror(from) || ferror(list))
            missing = -1;
    }
    if (from)
        fclose(from);
    if (list)
        fclose(list);
    return missing;
}

// Writes the list in place with the carried list's missing lines and puts it in place.
bool CarryIntoList(const ListNames &names)
{
    FILE *fresh = OpenFresh(names);
    if (!fresh)
        return false;
    FILE *from = fopen(names.carried, "rb");
    FILE *list = fopen(names.list, "rb");
    Writer writer;
    StartWriter(&writer, fresh);
    bool ok = from && list;
    if (ok) {
        Reader fromReader, listReader;
        StartReader(&fromReader, from);
        StartReader(&listReader, list);
        ok = WriteCarried(&fromReader, &listReader, &writer);
    }
    if (from)
        fclose(from);
    if (list)
        fclose(list);
    return FinishFresh(names, &writer, ok, true);
}

// Settles what an update cut short left behind; true when nothing of ours but the list is
// left, so that an update may start. No list in place: the saved one goes back. A list in
// place that holds every line of the saved one (but the marker lines, which the filter
// drops) is the one the update swapped in, and the saved one is only a leftover. A list
// in place that lacks some was not put there by us: another program wrote it after a cut
// between the renames, when there was no list. The saved one then moves to `carried`,
// which frees the saved name for the swap that carries its lines into the list in place;
// only then is it removed.
bool RecoverList(const ListNames &names)
{
    if (IsFile(names.saved) && !Exists(names.list))
        MoveFileA(names.saved, names.list);
    if (IsFile(names.carried) && !Exists(names.list))
        MoveFileA(names.carried, names.list);
    if (IsFile(names.saved) && IsFile(names.list)) {
        long missing = CountMissing(names, names.saved);
        if (missing == 0)
            RemoveFile(names.saved);
        else if (missing > 0 && !Exists(names.carried))
            MoveFileA(names.saved, names.carried);
    }
    if (IsFile(names.carried) && IsFile(names.list) && !Exists(names.saved)) {
        long missing = CountMissing(names, names.carried);
        if (missing == 0 || (missing > 0 && CarryIntoList(names)))
            RemoveFile(names.carried);
    }
    return !Exists(names.saved) && !Exists(names.carried);
}

// Writes one entry into the first "[rename]" section of the list. A list that ends in that
// section only grows at its end, as the boot-time reader expects; a list without one gets the
// section at its end; otherwise the entry goes in just before the next section.
void AddRenameEntry(const char *windows, const char *entry)
{
    ListNames names;
    if (!NameList(windows, &names) || !RecoverList(names))
        return;
    ListShape shape = {false, -1, -1, false};
    bool hasList = Exists(names.list);
    // A list that is there but cannot be read must not give way to one without its lines.
    if (hasList) {
        FILE *list = fopen(names.list, "rb");
        if (!list)
            return;
        Reader reader;
        StartReader(&reader, list);
        bool read = ExamineList(&reader, &shape);
        fclose(list);
        if (!read)
            return;
    }
    char text[2 + 10 + 4 + MAX_PATH + 2 + 1];
    const char *lineEnd = shape.renameEnd < 0 && shape.needsNewline ? "\r\n" : "";
    const char *header = shape.hasRename ? "" : "[rename]\r\n";
    int n = _snprintf(text, sizeof text, "%s%s%s\r\n", lineEnd, header, entry);
    if (n >= 0 && static_cast<size_t>(n) < sizeof text)
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
    if (!NameList(windowsDir, &names) || !RecoverList(names))
        return;

    FILE *list = fopen(names.list, "rb");
    if (!list) {
        // Only a list that is not there at all is made anew.
        if (!Exists(names.list))
            WriteWithText(names, false, -1, "[rename]\r\n");
        return;
    }
    FILE *fresh = OpenFresh(names);
    if (!fresh) {
        fclose(list);
        return;
    }
    // A line is read whole to decide on it, then copied from its start when it stays.
    Reader reader;
    Writer writer;
    Line line;
    StartReader(&reader, list);
    StartWriter(&writer, fresh);
    while (ReadLine(&reader, &line)) {
        if (line.marked)
            continue;
        long next = reader.offset;
        CopyLine(&reader, line, &writer);
        if (line.ended)
            PutText(&writer, "\r\n");
        SeekReader(&reader, next);
    }
    bool ok = !ferror(list);
    fclose(list);
    FinishFresh(names, &writer, ok, true);
}
