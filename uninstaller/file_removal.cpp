#include "file_removal.h"

#include <windows.h>

#include "file_stream.h"

#include "bounded_format.h"
#include "process_state.h"
#include "read_only_attribute.h"
#include "rename_list_replace.h"
#include "rename_list_text.h"

namespace {

// Writes one entry into the first "[rename]" section of the list. A list that ends in that
// section only grows at its end, as the boot-time reader expects, though ahead of an
// end-of-file mark, where that reader stops; a list without one gets the section at its end;
// otherwise the entry goes in just before the next section.
void WriteWithEntry(ListReader *list, ListWriter *writer, const char *entry)
{
    ListShape shape;
    StartShape(&shape);
    if (list) {
        writer->ok = ExamineList(list, &shape) && writer->ok;
        SeekReader(list, 0);
        long at = shape.renameEnd != kNoOffset ? shape.renameEnd : shape.end;
        writer->ok = CopyUpTo(list, writer, at) && writer->ok;
    }
    EndUnfinishedLine(writer);
    if (!shape.hasRename)
        PutText(writer, "[rename]\r\n");
    PutText(writer, entry);
    PutText(writer, "\r\n");
    if (list)
        CopyUpTo(list, writer, kToTheEnd);
}

// A line is read whole to decide on it, then copied when it stays. A header stays whatever it
// names: without it, the lines under it would fall into the section before. From the first
// line that is only the end-of-file mark on, the boot reads nothing, and nothing is changed.
void WriteFiltered(ListReader *list, ListWriter *writer, const char *)
{
    if (!list) {
        PutText(writer, "[rename]\r\n");
        return;
    }
    ListLine line;
    while (ReadLine(list, &line)) {
        if (line.endOfFileMark) {
            SeekReader(list, line.start);
            CopyUpTo(list, writer, kToTheEnd);
            return;
        }
        if (line.marked && !line.header)
            continue;
        CopyLine(list, line, writer);
        if (line.ended)
            PutText(writer, "\r\n");
    }
}

// True when the list holding the entry is in place.
bool AddRenameEntry(const char *windows, const char *entry) { return UpdateList(windows, WriteWithEntry, entry); }

} // namespace

void DeleteOrScheduleFile(const char *path)
{
    FileStream *probe = OpenFileStream(path, kStreamRead);
    if (!probe)
        return;
    CloseFileStream(probe);
    // A file in use keeps the attribute cleared: the boot passes over a read-only file.
    DWORD attributes = ClearReadOnly(path);
    if (DeleteFileA(path))
        return;

    // Only 8.3 names are understood when the list is carried out, before Windows starts.
    char shortPath[MAX_PATH];
    DWORD shortLength = GetShortPathNameA(path, shortPath, sizeof shortPath);
    char windows[MAX_PATH];
    UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    char entry[4 + MAX_PATH];
    if (!(shortLength > 0 && shortLength < sizeof shortPath && windowsLength > 0 &&
          windowsLength < sizeof windows && FormatWhole(entry, sizeof entry, "NUL=%s", shortPath) &&
          AddRenameEntry(windows, entry)))
        PutAttributesBack(path, attributes);  // nothing will delete it
    restartRequired = 1;
}

void RemoveEmptyDirectory(const char *path)
{
    DWORD attributes = ClearReadOnly(path);
    if (!RemoveDirectoryA(path))
        PutAttributesBack(path, attributes);
}

void FilterWininit() { UpdateList(windowsDir, WriteFiltered, nullptr); }
