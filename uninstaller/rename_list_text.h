// The rename list's text: its lines and sections read byte for byte, and a new list's bytes
// on their way to the disk.
#ifndef RENAME_LIST_TEXT_H
#define RENAME_LIST_TEXT_H

#include <stddef.h>

#include "file_stream.h"

// An offset that is no place in the list; as the end of a copy: up to the end of the list.
enum { kNoOffset = -1, kToTheEnd = -1 };

// The list is read in binary, byte by byte: other programs and editors wrote it, and none of
// its bytes (0x1A and NUL among them) is ours to drop.
struct ListReader {
    FileStream *file;
    int ahead;    // a byte read but not yet taken, or none
    long offset;  // of the next byte taken
};

void StartReader(ListReader *reader, FileStream *file);
void SeekReader(ListReader *reader, long offset);

struct ListLine {
    long start;          // offset of its first byte
    long length;         // its bytes, the line end left out
    bool ended;          // a line end follows (the last line may have none)
    bool header;         // opens with "[" after blanks: the boot starts a section there
    bool renameHeader;   // "[rename]" in any case, with any blanks around the name
    bool marked;         // names one of the package's library markers anywhere
    bool endOfFileMark;  // only the byte 0x1A, which DOS editors leave at the end
};

// Reads one whole line, however long, and tells what it is. False at the end of the list.
bool ReadLine(ListReader *reader, ListLine *line);

// Where a line stands for the boot, which reads only the first "[rename]" section.
enum ListRegion { BEFORE_SECTIONS, RENAME_HEADER, RENAME_BODY, OTHER_SECTIONS };

struct SectionTracker {
    ListRegion region;
    bool renameSeen;
};

void StartTracker(SectionTracker *tracker);
// The region of the next line of the list, the lines being given in order.
ListRegion TrackRegion(SectionTracker *tracker, const ListLine &line);

// What the list looks like to a new entry or to carried lines. The boot reads the list as DOS
// reads text: the first line that is only the end-of-file mark ends it, wherever it stands
// (an editor closed the list with one, and another program appended to it later). Only what
// stands before that line counts here.
struct ListShape {
    bool hasRename;   // a "[rename]" section exists
    long bodyStart;   // offset just after the first "[rename]" header line
    long renameEnd;   // offset of the header after the first "[rename]" section, or kNoOffset
                      // when that section runs to the end of what the boot reads
    long end;         // where lines that go at the end belong: the end of what the boot reads
    bool endOfFileMark;  // a line that is only the mark stands at `end`; it and what follows
                         // are nobody's to change
};

// The shape of an empty list, or of none.
void StartShape(ListShape *shape);
bool ExamineList(ListReader *reader, ListShape *shape);

// A new list on its way to the disk. `sent` counts the bytes handed over, to be found on
// disk afterwards; `ok` goes false at the first failure, the caller's reading included.
// A writer may instead only compare what it is given with a list's bytes, to find out
// whether an update would change anything.
struct ListWriter {
    FileStream *file;
    ListReader *against;  // the list compared with, when comparing
    bool ok;
    bool differs;
    long sent;
    int last;  // the last byte put, or none
    size_t used;
    char buffer[512];
};

void StartWriter(ListWriter *writer, FileStream *file);
void StartComparison(ListWriter *writer, ListReader *list);
// After a comparison: the bytes put were the list's own, all of them.
bool SameAsList(ListWriter *writer);
void FlushWriter(ListWriter *writer);
void PutText(ListWriter *writer, const char *text);
// Lines of our own start on a line of their own.
void EndUnfinishedLine(ListWriter *writer);
// Copies the bytes up to `end` (kToTheEnd: all that is left). False when fewer were there.
bool CopyUpTo(ListReader *reader, ListWriter *writer, long end);
// Writes the line's own bytes, without its line end; the reader goes on after the line.
void CopyLine(ListReader *reader, const ListLine &line, ListWriter *writer);

#endif
