#include "rename_list_text.h"

#include <string.h>

namespace {

// Lines that name these are left over from an earlier run of the package and must not take
// its display-mode libraries away at the next boot. The test is case-sensitive on purpose.
const char *const kMarkers[] = {"zanchg16.zan", "zanchg32.zan", "gfxdrv.zan"};
enum { kLongestMarker = 12, kLineEnd = -2, kNothing = -3, kEndOfFileMark = 0x1A };

int TakeByte(ListReader *reader)
{
    int c = reader->ahead;
    reader->ahead = kNothing;
    if (c == kNothing)
        c = ReadStreamByte(reader->file);
    if (c != kStreamEnd)
        ++reader->offset;
    return c;
}

// The next byte of the current line; kLineEnd once its end is taken. CR LF, LF and a lone
// CR each end a line, as they do for the boot; one byte read ahead tells CR LF from a lone CR.
int LineByte(ListReader *reader)
{
    int c = TakeByte(reader);
    if (c == '\r') {
        int next = TakeByte(reader);
        if (next != '\n' && next != kStreamEnd) {
            reader->ahead = next;
            --reader->offset;
        }
        return kLineEnd;
    }
    return c == '\n' ? kLineEnd : c;
}

bool IsBlank(int c) { return c == ' ' || c == '\t'; }

int FoldAscii(int c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

void PutByte(ListWriter *writer, int c)
{
    writer->last = c;
    if (writer->against) {
        writer->differs = writer->differs || TakeByte(writer->against) != c;
        return;
    }
    if (writer->used == sizeof writer->buffer)
        FlushWriter(writer);
    writer->buffer[writer->used++] = static_cast<char>(c);
}

} // namespace

void StartReader(ListReader *reader, FileStream *file)
{
    reader->file = file;
    reader->ahead = kNothing;
    reader->offset = 0;
}

void SeekReader(ListReader *reader, long offset)
{
    reader->ahead = kNothing;
    reader->offset = offset;
    SeekStream(reader->file, offset);
}

bool ReadLine(ListReader *reader, ListLine *line)
{
    static const char kRename[] = "RENAME";
    char tail[kLongestMarker];  // the line's last bytes, so a marker is seen wherever it is
    size_t filled = 0;
    enum { OPENING, NAME, REST } part = OPENING;
    size_t matched = 0;  // letters of the section name that match "RENAME"
    bool nameEnded = false, nameFits = true;
    int first = kNothing;
    line->start = reader->offset;
    line->length = 0;
    line->ended = line->header = line->renameHeader = line->marked = false;
    int c;
    while ((c = LineByte(reader)) != kStreamEnd) {
        if (c == kLineEnd) {
            line->ended = true;
            break;
        }
        if (line->length++ == 0)
            first = c;
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
    line->endOfFileMark = line->length == 1 && first == kEndOfFileMark;
    return line->ended || line->length > 0;
}

void StartTracker(SectionTracker *tracker)
{
    tracker->region = BEFORE_SECTIONS;
    tracker->renameSeen = false;
}

ListRegion TrackRegion(SectionTracker *tracker, const ListLine &line)
{
    if (line.header) {
        bool first = line.renameHeader && !tracker->renameSeen;
        tracker->renameSeen = tracker->renameSeen || first;
        tracker->region = first ? RENAME_HEADER : OTHER_SECTIONS;
    } else if (tracker->region == RENAME_HEADER) {
        tracker->region = RENAME_BODY;
    }
    return tracker->region;
}

void StartShape(ListShape *shape)
{
    shape->hasRename = shape->endOfFileMark = false;
    shape->bodyStart = shape->renameEnd = kNoOffset;
    shape->end = 0;
}

bool ExamineList(ListReader *reader, ListShape *shape)
{
    SectionTracker tracker;
    ListLine line;
    StartTracker(&tracker);
    StartShape(shape);
    SeekReader(reader, 0);
    while (ReadLine(reader, &line)) {
        if (line.endOfFileMark) {
            shape->endOfFileMark = true;
            shape->end = line.start;
            break;
        }
        ListRegion was = tracker.region;
        if (TrackRegion(&tracker, line) == RENAME_HEADER) {
            shape->hasRename = true;
            shape->bodyStart = reader->offset;
        } else if (line.header && (was == RENAME_HEADER || was == RENAME_BODY)) {
            shape->renameEnd = line.start;
        }
        shape->end = reader->offset;
    }
    return !StreamFailed(reader->file);
}

void StartWriter(ListWriter *writer, FileStream *file)
{
    writer->file = file;
    writer->against = nullptr;
    writer->ok = true;
    writer->differs = false;
    writer->sent = 0;
    writer->last = kNothing;
    writer->used = 0;
}

void StartComparison(ListWriter *writer, ListReader *list)
{
    StartWriter(writer, nullptr);
    writer->against = list;
}

bool SameAsList(ListWriter *writer)
{
    return writer->ok && !writer->differs && TakeByte(writer->against) == kStreamEnd && !StreamFailed(writer->against->file);
}

void FlushWriter(ListWriter *writer)
{
    if (writer->used > 0 && !WriteStreamBlock(writer->file, writer->buffer, writer->used))
        writer->ok = false;
    writer->sent += static_cast<long>(writer->used);
    writer->used = 0;
}

void PutText(ListWriter *writer, const char *text)
{
    for (; *text; ++text)
        PutByte(writer, static_cast<unsigned char>(*text));
}

void EndUnfinishedLine(ListWriter *writer)
{
    if (writer->last != kNothing && writer->last != '\n' && writer->last != '\r')
        PutText(writer, "\r\n");
}

bool CopyUpTo(ListReader *reader, ListWriter *writer, long end)
{
    int c;
    while ((end == kToTheEnd || reader->offset < end) && (c = TakeByte(reader)) != kStreamEnd)
        PutByte(writer, c);
    return end == kToTheEnd || reader->offset == end;
}

void CopyLine(ListReader *reader, const ListLine &line, ListWriter *writer)
{
    long next = reader->offset;
    SeekReader(reader, line.start);
    for (long i = 0; i < line.length; ++i)
        PutByte(writer, TakeByte(reader));
    SeekReader(reader, next);
}
