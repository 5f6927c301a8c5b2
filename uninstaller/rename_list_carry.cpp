#include "rename_list_carry.h"

namespace {

// Puts the lines of the `older` list that stand in `region`, in their order, each on a line
// of its own ended by CR LF. Only lines the boot reads are carried: they stop at the
// end-of-file mark, which must not come ahead of the newer list's lines.
void CarryRegion(ListReader *older, const ListShape &shape, ListRegion region, ListWriter *writer)
{
    SectionTracker tracker;
    ListLine line;
    StartTracker(&tracker);
    SeekReader(older, 0);
    while (older->offset < shape.end && ReadLine(older, &line)) {
        if (TrackRegion(&tracker, line) == region) {
            EndUnfinishedLine(writer);
            CopyLine(older, line, writer);
            PutText(writer, "\r\n");
        }
    }
}

} // namespace

bool WriteCarriedLines(ListReader *older, ListReader *newer, ListWriter *writer)
{
    ListShape olderShape, newerShape;
    if (!ExamineList(older, &olderShape) || !ExamineList(newer, &newerShape))
        return false;
    // Lines before any section are read by nobody; they keep their place at the top.
    CarryRegion(older, olderShape, BEFORE_SECTIONS, writer);
    SeekReader(newer, 0);
    if (newerShape.hasRename) {
        CopyUpTo(newer, writer, newerShape.bodyStart);
        CarryRegion(older, olderShape, RENAME_BODY, writer);
        CopyUpTo(newer, writer, newerShape.end);
    } else {
        // Put at the top, a "[rename]" header would take the newer list's first lines into it.
        CopyUpTo(newer, writer, newerShape.end);
        CarryRegion(older, olderShape, RENAME_HEADER, writer);
        CarryRegion(older, olderShape, RENAME_BODY, writer);
    }
    // The boot reads no other section: their order among the newer list's does not matter.
    CarryRegion(older, olderShape, OTHER_SECTIONS, writer);
    CopyUpTo(newer, writer, kToTheEnd);
    // The older list's mark and what follows it go last, as they were: unread by the boot, and
    // still somebody's. A mark alone is not repeated after the newer list's own.
    if (olderShape.endOfFileMark) {
        ListLine mark, after;
        SeekReader(older, olderShape.end);
        ReadLine(older, &mark);
        if (!newerShape.endOfFileMark || ReadLine(older, &after)) {
            EndUnfinishedLine(writer);
            SeekReader(older, olderShape.end);
            CopyUpTo(older, writer, kToTheEnd);
        }
    }
    return !StreamFailed(older->file) && !StreamFailed(newer->file);
}
