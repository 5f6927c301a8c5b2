// Deleting files and the boot-time rename list, on the prefix's real file system; the list
// is carried out by Wine's own boot (wineboot -r).
#include "file_removal.h"
#include "process_state.h"

#include "file_fixture.h"
#include "import_patch.h"
#include "process_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace {

const char kFolder[] = "C:\\zan removal test folder";

std::string ListPath() { return WindowsDir() + "\\wininit.ini"; }

std::string ReadList()
{
    std::string bytes;
    if (!ReadFileBytes(ListPath(), &bytes))
        return "<no list>";
    return bytes;
}

std::string HolderPath()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir = self;
    return dir.substr(0, dir.find_last_of('\\')) + "\\removal_file_holder.exe";
}

// Another process that keeps a file open until it is released (or the holder goes away).
class FileHolder {
public:
    FileHolder(const std::string &path, const char *share)
    {
        static int count;
        std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++count);
        std::string readyName = "ZanRemovalHolderReady" + tag, releaseName = "ZanRemovalHolderRelease" + tag;
        ready_ = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
        release_ = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
        RunOptions options;
        options.arguments = "\"" + path + "\" " + share + " " + readyName + " " + releaseName;
        program_ = StartProgram(HolderPath(), options);
        if (program_.started()) {
            HANDLE both[2] = {ready_, program_.process};
            holding_ = WaitForMultipleObjects(2, both, FALSE, 20000) == WAIT_OBJECT_0;
        }
    }
    ~FileHolder() { Release(); CloseHandle(ready_); CloseHandle(release_); }
    bool holding() const { return holding_; }
    void Release()
    {
        if (!program_.started())
            return;
        SetEvent(release_);
        RunResult result = WaitProgram(&program_, 20000);
        EXPECT_EQ(0u, result.exitCode);
        holding_ = false;
    }

private:
    HANDLE ready_, release_;
    RunningProgram program_;
    bool holding_ = false;
};

class FileRemoval : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *const names[] = {"wininit.ini", "wininit.bak", "wininit.zan", "wininit.zol", "wininit.zcl"};
        for (const char *name : names) {
            std::string path = WindowsDir() + "\\" + name;
            std::string bytes;
            saved_.push_back({path, ReadFileBytes(path, &bytes), bytes});
            RemovePath(path);
        }
        lstrcpynA(windowsDir, WindowsDir().c_str(), MAX_PATH);
        restartRequired = 0;
        RemovePath(kFolder);
        ASSERT_TRUE(MakeDirs(kFolder));
    }
    void TearDown() override
    {
        RemovePath(kFolder);
        for (const Saved &s : saved_) {
            RemovePath(s.path);
            if (s.existed)
                WriteFileBytes(s.path, s.bytes);
        }
    }

    static std::string MakeFile(const char *name)
    {
        std::string path = std::string(kFolder) + "\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, "contents"));
        return path;
    }

private:
    struct Saved {
        std::string path;
        bool existed;
        std::string bytes;
    };
    std::vector<Saved> saved_;
};

TEST_F(FileRemoval, FilterCreatesListHoldingOnlyTheHeader)
{
    FilterWininit();
    EXPECT_EQ("[rename]\r\n", ReadList());
}

TEST_F(FileRemoval, FilterDropsMarkedLinesInAnySectionAndKeepsTheRest)
{
    ASSERT_TRUE(WriteFileBytes(ListPath(),
                               "[rename]\r\n"
                               "NUL=C:\\zanchg32.zan\r\n"
                               "NUL=C:\\ZANCHG32.ZAN\r\n"
                               "NUL=C:\\WINDOWS\\SYSTEM\\OTHER.DRV\n"
                               "C:\\A.DLL=C:\\A.NEW\r\n"
                               "[other]\r\n"
                               "old=C:\\x\\zanchg16.zan.bak\r\n"
                               "x=gfxdrv.zan\r\n"
                               "last=1"));
    FilterWininit();
    EXPECT_EQ("[rename]\r\n"
              "NUL=C:\\ZANCHG32.ZAN\r\n"
              "NUL=C:\\WINDOWS\\SYSTEM\\OTHER.DRV\r\n"
              "C:\\A.DLL=C:\\A.NEW\r\n"
              "[other]\r\n"
              "last=1",
              ReadList());
    EXPECT_FALSE(FileExists(WindowsDir() + "\\wininit.zan"));
}

TEST_F(FileRemoval, FilterDecidesOnWholeLongLines)
{
    std::string keptLong = "NUL=C:\\" + std::string(240, 'k') + ".DAT";
    std::string markedAtEnd = "NUL=C:\\" + std::string(150, 'm') + "\\gfxdrv.zan";
    // The marker straddles the end of the first 99-character read.
    std::string straddling = std::string(93, 's') + "zanchg16.zan" + std::string(20, 's');
    std::string exactly99 = std::string(99, 'e');
    std::string markedAfter99 = std::string(99, 'f') + "zanchg32.zan";
    ASSERT_TRUE(WriteFileBytes(ListPath(), "[rename]\r\n" + keptLong + "\r\n" + markedAtEnd + "\r\n" + straddling +
                                               "\r\n" + exactly99 + "\r\n" + markedAfter99 + "\r\nNUL=C:\\END\r\n"));
    FilterWininit();
    EXPECT_EQ("[rename]\r\n" + keptLong + "\r\n" + exactly99 + "\r\nNUL=C:\\END\r\n", ReadList());
}

TEST_F(FileRemoval, FilterLeavesTheListAloneWhenItsCopyCannotBeMade)
{
    const std::string list = "[rename]\r\nNUL=C:\\zanchg32.zan\r\n";
    // A folder in the place of one of the update's own files.
    for (const char *name : {"wininit.zan", "wininit.zol", "wininit.zcl"}) {
        ASSERT_TRUE(WriteFileBytes(ListPath(), list));
        const std::string temp = WindowsDir() + "\\" + name;
        ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
        FilterWininit();
        EXPECT_EQ(list, ReadList()) << name;
        EXPECT_TRUE(DirExists(temp)) << name;
        RemoveDirectoryA(temp.c_str());
    }
}

TEST_F(FileRemoval, FilterLeavesTheListAloneWhileAnotherProgramHoldsIt)
{
    const std::string list = "[rename]\r\nNUL=C:\\zanchg32.zan\r\nNUL=C:\\KEEP\r\n";
    ASSERT_TRUE(WriteFileBytes(ListPath(), list));
    {
        // Readable, but it cannot be renamed while another program holds it.
        FileHolder holder(ListPath(), "read");
        ASSERT_TRUE(holder.holding());
        FilterWininit();
    }
    EXPECT_EQ(list, ReadList());
    EXPECT_FALSE(FileExists(WindowsDir() + "\\wininit.zan"));
}

TEST_F(FileRemoval, FreeFileIsDeletedAndNothingScheduled)
{
    FilterWininit();
    std::string path = MakeFile("free file.txt");
    DeleteOrScheduleFile(path.c_str());
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ("[rename]\r\n", ReadList());
    EXPECT_EQ(0, restartRequired);
}

TEST_F(FileRemoval, MissingFileIsLeftAlone)
{
    DeleteOrScheduleFile((std::string(kFolder) + "\\not there.txt").c_str());
    EXPECT_EQ("<no list>", ReadList());
    EXPECT_EQ(0, restartRequired);
}

TEST_F(FileRemoval, FileHeldWithDeletionRefusedIsScheduledByShortPath)
{
    FilterWininit();
    std::string path = MakeFile("held long file name.dat");
    std::string shortPath = ShortPath(path);
    ASSERT_NE(std::string::npos, shortPath.find('~')) << shortPath;
    FileHolder holder(path, "read");
    ASSERT_TRUE(holder.holding());

    DeleteOrScheduleFile(path.c_str());
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(1, restartRequired);
    EXPECT_EQ("[rename]\r\nNUL=" + shortPath + "\r\n", ReadList());

    DeleteOrScheduleFile(path.c_str());
    EXPECT_EQ("[rename]\r\nNUL=" + shortPath + "\r\nNUL=" + shortPath + "\r\n", ReadList());
}

TEST_F(FileRemoval, FileThatDoesNotOpenForReadingIsLeftAlone)
{
    FilterWininit();
    std::string path = MakeFile("locked.dat");
    FileHolder holder(path, "none");
    ASSERT_TRUE(holder.holding());
    DeleteOrScheduleFile(path.c_str());
    holder.Release();
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ("[rename]\r\n", ReadList());
    EXPECT_EQ(0, restartRequired);
}

// Every scheduled entry must land in the first "[rename]" section, the only one the boot
// reads; the list's own bytes stay as they were.
TEST_F(FileRemoval, EntriesGoIntoTheFirstRenameSection)
{
    std::string path = MakeFile("placed.dat");
    FileHolder holder(path, "read");
    ASSERT_TRUE(holder.holding());
    const std::string entry = "NUL=" + ShortPath(path);

    struct Case {
        const char *before;
        std::string after;
    } cases[] = {
        // No list yet: it is made with its header.
        {nullptr, "[rename]\r\n" + entry + "\r\n"},
        // Ends in the (first) rename section: only grows at its end.
        {"[other]\r\nx=1\r\n[rename]\r\nNUL=C:\\A\r\n", "[other]\r\nx=1\r\n[rename]\r\nNUL=C:\\A\r\n" + entry + "\r\n"},
        {"[rename]\r\nNUL=C:\\A", "[rename]\r\nNUL=C:\\A\r\n" + entry + "\r\n"},
        {"[Rename]\n", "[Rename]\n" + entry + "\r\n"},
        // Another section follows: the entry goes in before it.
        {"[rename]\r\nNUL=C:\\A\r\n[other]\r\nx=1\r\n", "[rename]\r\nNUL=C:\\A\r\n" + entry + "\r\n[other]\r\nx=1\r\n"},
        {"[rename]\nNUL=C:\\A\n\n  [other]\nx=1", "[rename]\nNUL=C:\\A\n\n" + entry + "\r\n  [other]\nx=1"},
        {"; note\r\n[rename]\r\n[x]\r\n[rename]\r\nNUL=C:\\B\r\n",
         "; note\r\n[rename]\r\n" + entry + "\r\n[x]\r\n[rename]\r\nNUL=C:\\B\r\n"},
        // No rename section at all: one is added at the end.
        {"[other]\r\nx=1\r\n", "[other]\r\nx=1\r\n[rename]\r\n" + entry + "\r\n"},
        {"[renamed]\r\nx=1", "[renamed]\r\nx=1\r\n[rename]\r\n" + entry + "\r\n"},
        // Lines ended by CR alone.
        {"[rename]\rNUL=C:\\A\r[other]\rx=1\r", "[rename]\rNUL=C:\\A\r" + entry + "\r\n[other]\rx=1\r"},
    };
    for (const Case &c : cases) {
        RemovePath(ListPath());
        if (c.before) {
            ASSERT_TRUE(WriteFileBytes(ListPath(), c.before));
        }
        DeleteOrScheduleFile(path.c_str());
        EXPECT_EQ(c.after, ReadList()) << (c.before ? c.before : "<no list>");
        EXPECT_FALSE(FileExists(WindowsDir() + "\\wininit.zan"));
    }
    EXPECT_EQ(1, restartRequired);
}

// ----- list updates cut short or failing -----

// What happens at the call of the list update that a fault hits. The list's files go through
// the uninstaller's file stream, which opens with CreateFileA, writes with WriteFile, flushes
// with FlushFileBuffers and closes with CloseHandle; those calls, and the renames, deletions
// and attribute changes, are where faults are put.
enum Fault {
    kFail,           // the call does nothing and reports failure: a full disk, a refused
                     // rename, a close or flush that could not put the file on the disk
    kCut,            // the power goes just before it: neither it nor any later call takes place
    kShort,          // a write puts half its bytes on disk and reports them all
    kShortReported,  // a write puts half its bytes on disk and says so: a disk that fills up
                     // on the way (not in the sweep: kFail covers its every consequence)
    kSecond,         // another instance's update starts just before it, and runs as far as it may
};
const char *const kFaultNames[] = {"fails", "cut", "short", "short, reported", "meets a second update"};

struct Injector {
    bool armed = false;
    int target = 0;  // the counted call the fault hits, from 1
    Fault fault = kFail;
    const char *only = nullptr;  // when set, only the calls of this function count
    int calls = 0;
    bool powerOff = false;
    std::string trail;  // the counted calls, in order
    DWORD thread = 0;             // the update's own; the second update's calls are not counted
    bool wroteListFile = false;   // a file of the list opened for writing
    bool unflushed = false;       // bytes written that no flush has put on the disk yet
    int renamesUnflushed = 0;     // renames made meanwhile
};
Injector injector;
// The list files' names by their open handles, for the trail.
std::map<HANDLE, std::string> handleNames;

// The second update: another instance schedules its own file, on a thread of its own, while
// the first waits at the fault. It runs until it ends or waits for the first.
struct SecondUpdate {
    std::string path;
    HANDLE thread = nullptr;
    HANDLE waiting = nullptr;  // set when it is about to block in a wait
};
SecondUpdate second;

DWORD WINAPI RunSecondUpdate(void *)
{
    DeleteOrScheduleFile(second.path.c_str());
    return 0;
}

void StartSecondUpdate()
{
    ResetEvent(second.waiting);
    DWORD id;
    second.thread = CreateThread(nullptr, 0, RunSecondUpdate, nullptr, 0, &id);
    HANDLE both[2] = {second.thread, second.waiting};
    WaitForMultipleObjects(2, both, FALSE, 20000);
}

// Without a thread of its own named, every call is the update's.
bool OnUpdateThread() { return injector.thread == 0 || GetCurrentThreadId() == injector.thread; }

decltype(&CreateFileA) realCreateFile;
decltype(&WriteFile) realWriteFile;
decltype(&FlushFileBuffers) realFlushFileBuffers;
decltype(&CloseHandle) realCloseHandle;
decltype(&MoveFileA) realMoveFile;
decltype(&DeleteFileA) realDeleteFile;
decltype(&CopyFileA) realCopyFile;
decltype(&SetFileAttributesA) realSetAttributes;
decltype(&WaitForSingleObject) realWait;

enum Turn { kGo, kBlock, kHalf };

// Counts a call that changes the disk (or opens a list file) and says how it goes.
Turn NextCall(bool counted, const std::string &what)
{
    if (!injector.armed)
        return kGo;
    if (injector.powerOff)
        return kBlock;
    if (!counted || !OnUpdateThread() || (injector.only && what.rfind(injector.only, 0) != 0))
        return kGo;
    injector.trail += (injector.trail.empty() ? "" : " ") + what;
    if (++injector.calls != injector.target)
        return kGo;
    if (injector.fault == kSecond) {
        StartSecondUpdate();
        return kGo;
    }
    if (injector.fault == kCut)
        injector.powerOff = true;
    return injector.fault == kShort || injector.fault == kShortReported ? kHalf : kBlock;
}

// Only the list's files count: the file being removed is not the list's business.
bool IsListFile(const char *path) { return std::strstr(path, "\\wininit.") != nullptr; }

std::string Named(const char *function, HANDLE handle)
{
    auto name = handleNames.find(handle);
    return std::string(function) + "(" + (name != handleNames.end() ? name->second : "?") + ")";
}

HANDLE WINAPI InjectCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD creation, DWORD flags, HANDLE model)
{
    const char *name = std::strrchr(path, '\\');
    if (NextCall(IsListFile(path), std::string("CreateFileA(") + (name ? name + 1 : path) + ")") == kBlock) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = realCreateFile(path, access, share, security, creation, flags, model);
    if (handle != INVALID_HANDLE_VALUE && injector.armed)
        handleNames[handle] = name ? name + 1 : path;
    if (handle != INVALID_HANDLE_VALUE && injector.armed && OnUpdateThread() && IsListFile(path) &&
        (access & GENERIC_WRITE))
        injector.wroteListFile = true;
    return handle;
}

BOOL WINAPI InjectWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    switch (NextCall(true, Named("WriteFile", file))) {
    case kBlock:
        if (written)
            *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    case kHalf: {
        injector.unflushed = true;
        DWORD half = 0;
        BOOL ok = realWriteFile(file, data, size / 2, &half, overlapped);
        if (written)
            *written = injector.fault == kShortReported ? half : size;
        return ok;
    }
    default:
        if (injector.armed && OnUpdateThread())
            injector.unflushed = true;
        return realWriteFile(file, data, size, written, overlapped);
    }
}

BOOL WINAPI InjectFlushFileBuffers(HANDLE file)
{
    if (NextCall(true, Named("FlushFileBuffers", file)) == kBlock || !realFlushFileBuffers(file))
        return FALSE;
    if (OnUpdateThread())
        injector.unflushed = false;
    return TRUE;
}

// The handle goes whatever happens, as it does when a process ends.
BOOL WINAPI InjectCloseHandle(HANDLE handle)
{
    bool blocked = NextCall(true, Named("CloseHandle", handle)) == kBlock;
    handleNames.erase(handle);
    BOOL result = realCloseHandle(handle);
    return blocked ? FALSE : result;
}

// The list is never copied over: a copy cut short leaves it cut off. Should a copy come
// back, a fault tears it half-way.
BOOL WINAPI InjectCopyFile(LPCSTR from, LPCSTR to, BOOL failIfExists)
{
    Turn turn = NextCall(IsListFile(to), "CopyFileA");
    if (turn == kGo)
        return realCopyFile(from, to, failIfExists);
    if (injector.fault != kFail) {
        std::string bytes;
        injector.armed = false;
        if (ReadFileBytes(from, &bytes))
            WriteFileBytes(to, bytes.substr(0, bytes.size() / 2));
        injector.armed = true;
    }
    return turn == kHalf;
}

BOOL WINAPI InjectMoveFile(LPCSTR from, LPCSTR to)
{
    const char *name = std::strrchr(from, '\\'), *toName = std::strrchr(to, '\\');
    std::string what = std::string("MoveFileA(") + (name ? name + 1 : from) + "," + (toName ? toName + 1 : to) + ")";
    if (NextCall(IsListFile(from) || IsListFile(to), what) == kBlock)
        return FALSE;
    if (injector.armed && OnUpdateThread() && injector.unflushed)
        ++injector.renamesUnflushed;
    return realMoveFile(from, to);
}

BOOL WINAPI InjectDeleteFile(LPCSTR path)
{
    const char *name = std::strrchr(path, '\\');
    return NextCall(IsListFile(path), std::string("DeleteFileA(") + (name ? name + 1 : path) + ")") == kBlock
               ? FALSE
               : realDeleteFile(path);
}

BOOL WINAPI InjectSetAttributes(LPCSTR path, DWORD attributes)
{
    const char *name = std::strrchr(path, '\\');
    return NextCall(IsListFile(path), std::string("SetFileAttributesA(") + (name ? name + 1 : path) + ")") == kBlock
               ? FALSE
               : realSetAttributes(path, attributes);
}

// Tells the first update that the second is about to block, when it would.
DWORD WINAPI InjectWait(HANDLE object, DWORD milliseconds)
{
    if (!injector.armed || OnUpdateThread())
        return realWait(object, milliseconds);
    DWORD result = realWait(object, 0);
    if (result != WAIT_TIMEOUT)
        return result;
    SetEvent(second.waiting);
    return realWait(object, milliseconds);
}

// The faults' patches of this program's own imports, through which the uninstaller's code
// linked into it calls the system; each goes back at the end of its scope.
class FaultPatches {
public:
    FaultPatches()
        : create_("kernel32.dll", "CreateFileA", reinterpret_cast<void *>(InjectCreateFile)),
          write_("kernel32.dll", "WriteFile", reinterpret_cast<void *>(InjectWriteFile)),
          flush_("kernel32.dll", "FlushFileBuffers", reinterpret_cast<void *>(InjectFlushFileBuffers)),
          close_("kernel32.dll", "CloseHandle", reinterpret_cast<void *>(InjectCloseHandle)),
          move_("kernel32.dll", "MoveFileA", reinterpret_cast<void *>(InjectMoveFile)),
          delete_("kernel32.dll", "DeleteFileA", reinterpret_cast<void *>(InjectDeleteFile)),
          attributes_("kernel32.dll", "SetFileAttributesA", reinterpret_cast<void *>(InjectSetAttributes)),
          copy_("kernel32.dll", "CopyFileA", reinterpret_cast<void *>(InjectCopyFile)),
          wait_("kernel32.dll", "WaitForSingleObject", reinterpret_cast<void *>(InjectWait))
    {
        realCreateFile = reinterpret_cast<decltype(realCreateFile)>(create_.original());
        realWriteFile = reinterpret_cast<decltype(realWriteFile)>(write_.original());
        realFlushFileBuffers = reinterpret_cast<decltype(realFlushFileBuffers)>(flush_.original());
        realCloseHandle = reinterpret_cast<decltype(realCloseHandle)>(close_.original());
        realMoveFile = reinterpret_cast<decltype(realMoveFile)>(move_.original());
        realDeleteFile = reinterpret_cast<decltype(realDeleteFile)>(delete_.original());
        realSetAttributes = reinterpret_cast<decltype(realSetAttributes)>(attributes_.original());
        realCopyFile = reinterpret_cast<decltype(realCopyFile)>(copy_.original());
        realWait = reinterpret_cast<decltype(realWait)>(wait_.original());
    }
    // CopyFileA may not be linked in at all: no list update copies.
    bool installed() const
    {
        return create_.installed() && write_.installed() && flush_.installed() && close_.installed() &&
               move_.installed() && delete_.installed() && attributes_.installed() && wait_.installed();
    }

private:
    ImportPatch create_, write_, flush_, close_, move_, delete_, attributes_, copy_, wait_;
};

// The boot as far as the list goes: the entries of its first "[rename]" section are carried
// out in order, up to an end-of-file mark (a line that is only 0x1A). Here they are written
// to a journal, one a line.
std::string BootLines(const std::string &text)
{
    std::string ran;
    bool inRename = false, renameSeen = false;
    for (size_t at = 0; at < text.size();) {
        size_t stop = std::min(text.find_first_of("\r\n", at), text.size());
        std::string line = text.substr(at, stop - at);
        at = stop + (text.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
        if (line == "\x1A")
            break;
        size_t open = line.find_first_not_of(" \t");
        if (open != std::string::npos && line[open] == '[') {
            std::string name = line.substr(open + 1, line.find(']') - open - 1);
            size_t first = name.find_first_not_of(" \t"), last = name.find_last_not_of(" \t");
            inRename = !renameSeen && first != std::string::npos &&
                       _stricmp(name.substr(first, last - first + 1).c_str(), "rename") == 0;
            renameSeen = renameSeen || inRename;
        } else if (inRename && open != std::string::npos) {
            ran += line + "\n";
        }
    }
    return ran;
}

std::string journal;

// Then the list goes away; the boot never looks at our working files.
void BootCarriesOutList()
{
    std::string bytes;
    if (ReadFileBytes(ListPath(), &bytes))
        journal += BootLines(bytes);
    RemovePath(ListPath());
}

// Every update of the list, with a fault at each of its calls in turn: whatever the call
// and the fault, the list is the old one or the new one, whole, or missing with the old one
// kept under its replaced name (after a power cut between the renames, or a failure that
// could put nothing back without losing lines). After a failure the next start (the filter
// step) makes the list the new one or the old one filtered, keeps its attributes and leaves
// no file of the update behind. After a cut the power comes back: the boot, another program
// writes its list, the next start and the next boot carry out every line of every program
// exactly once, in the order each program asked for them, the older program's first. A second
// instance's update started at any call ends as if the two had run one after the other. An
// update that would write the list's own bytes again writes nothing at all. No rename is made
// while bytes written are not yet flushed to the disk.
TEST_F(FileRemoval, ListUpdatesCutShortOrFailingLoseNoLine)
{
    FaultPatches patches;
    ASSERT_TRUE(patches.installed());

    std::string path = MakeFile("held during updates.dat");
    FileHolder holder(path, "read");
    ASSERT_TRUE(holder.holding());
    const std::string entry = "NUL=" + ShortPath(path) + "\r\n";
    second.path = MakeFile("held by a second instance.dat");
    FileHolder secondHolder(second.path, "read");
    ASSERT_TRUE(secondHolder.holding());
    second.waiting = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // Other software's lines: a long one, a later section and its entries.
    const std::string longLine = "NUL=C:\\" + std::string(150, 'L') + "\\" + std::string(60, 'l') + ".DAT\r\n";
    const std::string others = "[rename]\r\n" + longLine + "C:\\A.DLL=C:\\A.NEW\r\n";
    const std::string later = "[other]\r\nx=1\r\n";
    const std::string marked = "NUL=C:\\WINDOWS\\SYSTEM\\zanchg32.zan\r\n";
    const std::string oddBytes = "[rename]\r\nNUL=C:\\A\x1A" "B.DAT\r\n" + std::string("x=\0y\r\n", 6);
    // Appended by another program after an editor closed the list: the boot reads none of it.
    const std::string unread = "\x1A\r\n[rename]\nNUL=C:\\zanchg16.zan\nx\ry";

    struct Case {
        const char *what;
        bool filter;  // FilterWininit, else DeleteOrScheduleFile of the held file
        bool hadList;
        std::string before, after;
        std::string nextAfterBefore;  // what the next start makes of the old list (of the new: the same)
        std::string replacedLeft = "", newLeft = "", waitingLeft = "";  // by an earlier update cut short
        bool readOnly = false;
    } cases[] = {
        {"filter", true, true, others + marked + later, others + later, others + later},
        {"filter, no list", true, false, "", "[rename]\r\n", "[rename]\r\n"},
        {"entry before a section", false, true, others + later, others + entry + later, others + later},
        {"entry at the end", false, true, later + others + "NUL=C:\\B", later + others + "NUL=C:\\B\r\n" + entry,
         later + others + "NUL=C:\\B"},
        {"entry, no list", false, false, "", "[rename]\r\n" + entry, "[rename]\r\n"},
        // The end-of-file mark stays last: a boot reader stops there.
        {"entry before an end-of-file mark", false, true, "[rename]\r\nNUL=C:\\A\r\n\x1A",
         "[rename]\r\nNUL=C:\\A\r\n" + entry + "\x1A", "[rename]\r\nNUL=C:\\A\r\n\x1A"},
        // Cut between the renames, then another program wrote its list: ours goes ahead of its
        // lines, a line in both twice; cut again while doing so.
        {"another program's list after a cut", true, true, "[rename]\r\nC:\\A.DLL=C:\\A.NEW\r\nNUL=C:\\FOREIGN\r\n",
         others + "C:\\A.DLL=C:\\A.NEW\r\nNUL=C:\\FOREIGN\r\n" + later,
         others + "C:\\A.DLL=C:\\A.NEW\r\nNUL=C:\\FOREIGN\r\n" + later, others + marked + later, others + later},
        {"another program's list without a rename section", true, true, "; b\r\n[boot]\r\nx=2",
         "; b\r\n[boot]\r\nx=2\r\n" + others + later + "\x1A", "; b\r\n[boot]\r\nx=2\r\n" + others + later + "\x1A",
         others + marked + later + "\x1A", others + later + "\x1A"},
        // Cut again between the renames of that carry, and a third program's list after the boot.
        {"two cuts in a row", true, true, "[rename]\r\nNUL=C:\\THIRD\r\n",
         others + "NUL=C:\\SECOND\r\nNUL=C:\\THIRD\r\n" + later, others + "NUL=C:\\SECOND\r\nNUL=C:\\THIRD\r\n" + later,
         "[rename]\r\nNUL=C:\\SECOND\r\n", others + "NUL=C:\\SECOND\r\n" + later, others + later},
        // A list whose replacement took its place and was carried out by a boot: never again.
        {"replaced list left after a boot", true, false, "", "[rename]\r\n", "[rename]\r\n",
         others + "NUL=C:\\CARRIED OUT\r\n"},
        {"read-only list", false, true, others + later, others + entry + later, others + later, "", "", "", true},
        {"0x1A and NUL inside lines", true, true, oddBytes + marked + "z=\x1A", oddBytes + "z=\x1A", oddBytes + "z=\x1A"},
        {"lines ended by CR alone", true, true, "[rename]\rNUL=C:\\A\rNUL=C:\\zanchg32.zan\r[other]\rx=1",
         "[rename]\r\nNUL=C:\\A\r\n[other]\r\nx=1", "[rename]\r\nNUL=C:\\A\r\n[other]\r\nx=1"},
        {"blank-padded header", false, true, "[\t\t\t\tReName       ]\r\nNUL=C:\\A\r\n",
         "[\t\t\t\tReName       ]\r\nNUL=C:\\A\r\n" + entry, "[\t\t\t\tReName       ]\r\nNUL=C:\\A\r\n"},
        // A header is no entry: the lines under it stay in its section.
        {"header naming a marker", true, true, "[boot]\r\nx=1\r\n[rename] ; gfxdrv.zan\r\nNUL=C:\\A\r\n" + marked,
         "[boot]\r\nx=1\r\n[rename] ; gfxdrv.zan\r\nNUL=C:\\A\r\n", "[boot]\r\nx=1\r\n[rename] ; gfxdrv.zan\r\nNUL=C:\\A\r\n"},
        // The first line that is only the end-of-file mark ends the list for the boot: our
        // lines go before it, what stands after it stays as it is.
        {"entry before a mark in the middle", false, true, others + unread, others + entry + unread, others + unread},
        {"entry, a rename section only after a mark", false, true, later + unread,
         later + "[rename]\r\n" + entry + unread, later + unread},
        {"filter up to a mark in the middle", true, true, others + marked + later + unread, others + later + unread,
         others + later + unread},
        {"another program's list after a cut, ours with a mark in the middle", true, true,
         "[rename]\r\nNUL=C:\\B1.TXT\r\n", others + "NUL=C:\\B1.TXT\r\n" + unread,
         others + "NUL=C:\\B1.TXT\r\n" + unread, others + marked + unread, others + unread},
        // Nothing to drop, no line end to change: the list is left as it is.
        {"filter, nothing to drop", true, true, others + later, others + later, others + later},
        {"filter, nothing to drop before a mark", true, true, others + unread, others + unread, others + unread},
    };
    const std::string list = ListPath(), newList = WindowsDir() + "\\wininit.zan",
                      replacedList = WindowsDir() + "\\wininit.zol", waitingList = WindowsDir() + "\\wininit.zcl";
    const std::string otherProgram = "[rename]\r\nNUL=C:\\OTHER.DAT\r\n";
    ASSERT_EQ("NUL=C:\\OTHER.DAT\n", BootLines(otherProgram));
    auto setUpCase = [&](const Case &c) {
        RemovePath(list);
        RemovePath(newList);
        RemovePath(replacedList);
        RemovePath(waitingList);
        if (c.hadList) {
            ASSERT_TRUE(WriteFileBytes(list, c.before));
        }
        const std::string left[][2] = {
            {replacedList, c.replacedLeft}, {newList, c.newLeft}, {waitingList, c.waitingLeft}};
        for (const auto &file : left) {
            if (!file[1].empty()) {
                ASSERT_TRUE(WriteFileBytes(file[0], file[1]));
            }
        }
        if (c.readOnly) {
            ASSERT_TRUE(SetFileAttributesA(list.c_str(), FILE_ATTRIBUTE_READONLY));
        }
    };
    auto runUpdate = [&](const Case &c) {
        if (c.filter)
            FilterWininit();
        else
            DeleteOrScheduleFile(path.c_str());
    };
    for (const Case &c : cases) {
        // The two updates one after the other, in either order.
        std::string oneThenOther, otherThenOne;
        ASSERT_NO_FATAL_FAILURE(setUpCase(c));
        runUpdate(c);
        DeleteOrScheduleFile(second.path.c_str());
        oneThenOther = ReadList();
        ASSERT_NO_FATAL_FAILURE(setUpCase(c));
        DeleteOrScheduleFile(second.path.c_str());
        runUpdate(c);
        otherThenOne = ReadList();
        const bool unchanged = c.hadList && c.after == c.before && c.replacedLeft.empty() && c.newLeft.empty() &&
                               c.waitingLeft.empty();
        for (Fault fault : {kFail, kCut, kShort, kSecond}) {
            int putBack = 0;
            for (int target = 1;; ++target) {
                SCOPED_TRACE(std::string(c.what) + ", call " + std::to_string(target) + " " + kFaultNames[fault]);
                ASSERT_NO_FATAL_FAILURE(setUpCase(c));
                DWORD attributes = GetFileAttributesA(list.c_str());
                restartRequired = 0;
                journal.clear();
                injector = Injector();
                injector.target = target;
                injector.fault = fault;
                injector.thread = GetCurrentThreadId();
                injector.armed = true;
                runUpdate(c);
                if (second.thread) {
                    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second.thread, 60000));
                    CloseHandle(second.thread);
                    second.thread = nullptr;
                }
                injector.armed = false;
                bool hit = injector.calls >= target;
                if (unchanged) {
                    EXPECT_FALSE(injector.wroteListFile);
                }
                EXPECT_EQ(0, injector.renamesUnflushed) << injector.trail;
                if (fault == kSecond) {
                    if (!hit)
                        break;
                    std::string both = ReadList();
                    EXPECT_TRUE(both == oneThenOther || both == otherThenOne) << both;
                    EXPECT_FALSE(FileExists(newList));
                    EXPECT_FALSE(FileExists(replacedList));
                    EXPECT_FALSE(FileExists(waitingList));
                    continue;
                }

                std::string bytes, replacedBytes;
                if (ReadFileBytes(list, &bytes)) {
                    EXPECT_TRUE(bytes == c.after || (c.hadList && bytes == c.before)) << bytes;
                } else if (c.hadList) {
                    EXPECT_TRUE(fault == kCut || FileExists(newList));
                    EXPECT_TRUE(ReadFileBytes(replacedList, &replacedBytes) &&
                                (replacedBytes == c.before || (!c.newLeft.empty() && replacedBytes == c.after)))
                        << replacedBytes;
                    ++putBack;
                }
                if (!c.filter) {
                    EXPECT_EQ(1, restartRequired);
                }
                if (fault == kCut) {
                    BootCarriesOutList();
                    ASSERT_TRUE(WriteFileBytes(list, otherProgram));
                }
                FilterWininit();  // the next start
                std::string next = ReadList();
                EXPECT_FALSE(FileExists(newList));
                EXPECT_FALSE(FileExists(replacedList));
                EXPECT_FALSE(FileExists(waitingList));
                if (fault != kCut) {
                    EXPECT_TRUE(next == c.nextAfterBefore || next == c.after) << next;
                    if (c.hadList) {
                        EXPECT_EQ(attributes, GetFileAttributesA(list.c_str()));
                    }
                } else {
                    BootCarriesOutList();
                    std::string oldFirst = BootLines(c.before) + BootLines(c.newLeft) + BootLines(otherProgram);
                    EXPECT_TRUE(journal == BootLines(c.after) + BootLines(otherProgram) ||
                                journal == oldFirst)
                        << journal;
                }
                if (!hit) {
                    EXPECT_EQ(c.after, bytes) << "undisturbed";
                    if (fault == kCut)
                        std::printf("%s: %d calls, %d cuts put back\n  %s\n", c.what, injector.calls, putBack,
                                    injector.trail.c_str());
                    break;
                }
            }
            if (fault == kCut && c.hadList && !unchanged) {
                EXPECT_LT(0, putBack) << c.what << ": no cut fell between the renames";
            }
        }
    }
    CloseHandle(second.waiting);
}

// The wait for another update, played: its result, and how long it would have waited.
struct ScriptedWait {
    bool on = false;
    DWORD result = WAIT_OBJECT_0;
    DWORD asked = 0;
};
ScriptedWait scriptedWait;

DWORD WINAPI PlayWait(HANDLE object, DWORD milliseconds)
{
    if (!scriptedWait.on)
        return realWait(object, milliseconds);
    scriptedWait.asked = milliseconds;
    bool owns = scriptedWait.result == WAIT_OBJECT_0 || scriptedWait.result == WAIT_ABANDONED;
    if (owns && realWait(object, 0) != WAIT_OBJECT_0)
        return WAIT_FAILED;
    return scriptedWait.result;
}

// Updates one after another, each meeting the lock as the row says. A holder that ended
// mid-update left what a cut leaves, which the settling takes care of: the update goes on.
// One that does not let go within the wait has hung: the update is given up, with the list
// and its files as they were, and the next update does not wait for it again.
TEST_F(FileRemoval, UpdatesMeetingAnotherThatHoldsTheList)
{
    ImportPatch patch("kernel32.dll", "WaitForSingleObject", reinterpret_cast<void *>(PlayWait));
    ASSERT_TRUE(patch.installed());
    realWait = reinterpret_cast<decltype(realWait)>(patch.original());
    std::string path = MakeFile("held while another updates.dat");
    FileHolder holder(path, "read");
    ASSERT_TRUE(holder.holding());
    const std::string before = "[rename]\r\nNUL=C:\\A\r\n", after = before + "NUL=" + ShortPath(path) + "\r\n";
    struct Case {
        const char *what;
        DWORD result;
        bool waits;  // for some time, not only a look
        bool written;
    } cases[] = {
        {"abandoned", WAIT_ABANDONED, true, true},
        {"not let go", WAIT_TIMEOUT, true, false},
        {"free again", WAIT_OBJECT_0, false, true},
        {"free", WAIT_OBJECT_0, true, true},
        {"not let go again", WAIT_TIMEOUT, true, false},
        {"still held", WAIT_TIMEOUT, false, false},
        {"the wait fails", WAIT_FAILED, false, false},
        {"free after a failed wait", WAIT_OBJECT_0, true, true},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(WriteFileBytes(ListPath(), before));
        restartRequired = 0;
        scriptedWait.result = c.result;
        scriptedWait.asked = 0;
        scriptedWait.on = true;
        DeleteOrScheduleFile(path.c_str());
        scriptedWait.on = false;
        EXPECT_EQ(c.waits, scriptedWait.asked > 0) << c.what;
        EXPECT_EQ(c.written ? after : before, ReadList()) << c.what;
        EXPECT_EQ(1, restartRequired) << c.what;
        for (const char *name : {"wininit.zan", "wininit.zol", "wininit.zcl"}) {
            EXPECT_FALSE(FileExists(WindowsDir() + "\\" + name)) << c.what;
        }
    }
}

// How the file stream's failures reach a list update: whichever way the new list's bytes do
// not all get to the disk (the write of the stream's last buffer, at the flush before the
// close, fails on a full disk or takes part of it, a write before it does, or the close
// itself fails), the new list does not take the list's place: the list stays whole with its
// attributes, nothing of the update is left, and the restart is still asked for.
TEST_F(FileRemoval, ListStaysWholeWhenTheNewListDoesNotReachTheDisk)
{
    FaultPatches patches;
    ASSERT_TRUE(patches.installed());
    std::string path = MakeFile("held while writes fail.dat");
    FileHolder holder(path, "read");
    ASSERT_TRUE(holder.holding());
    const std::string list = ListPath(), newList = WindowsDir() + "\\wininit.zan";
    // A list that goes to the disk in one write, at the flush, and one that takes several.
    const std::string small = "[rename]\r\nNUL=C:\\A\r\n[other]\r\nx=1\r\n";
    std::string large = "[rename]\r\n";
    for (int i = 0; i < 80; ++i)
        large += "NUL=C:\\FOLDER\\FILE" + std::to_string(1000 + i) + ".DAT\r\n";
    const struct {
        const char *what;
        const std::string *before;
        const char *only;  // the calls counted
        Fault fault;
    } cases[] = {
        {"the flush's write fails: disk full", &small, "WriteFile", kFail},
        {"the flush's write takes half and says so", &small, "WriteFile", kShortReported},
        {"the flush's write takes half and says it took all", &small, "WriteFile", kShort},
        {"a write before the close fails: disk full", &large, "WriteFile", kFail},
        {"a write before the close takes half and says so", &large, "WriteFile", kShortReported},
        {"a write before the close takes half and says it took all", &large, "WriteFile", kShort},
        {"the new list's close fails", &small, "CloseHandle(wininit.zan)", kFail},
        {"the new list's close fails after several writes", &large, "CloseHandle(wininit.zan)", kFail},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        for (int target : {0, 1}) {  // undisturbed, then the fault at the first counted call
            RemovePath(list);
            RemovePath(newList);
            ASSERT_TRUE(WriteFileBytes(list, *c.before));
            ASSERT_TRUE(SetFileAttributesA(list.c_str(), FILE_ATTRIBUTE_HIDDEN));
            DWORD attributes = GetFileAttributesA(list.c_str());
            restartRequired = 0;
            injector = Injector();
            injector.target = target;
            injector.fault = c.fault;
            injector.only = target ? c.only : nullptr;  // undisturbed: every call on the trail
            injector.armed = true;
            DeleteOrScheduleFile(path.c_str());
            injector.armed = false;
            EXPECT_EQ(1, restartRequired);
            EXPECT_FALSE(FileExists(newList));
            EXPECT_FALSE(FileExists(WindowsDir() + "\\wininit.zol"));
            EXPECT_EQ(attributes, GetFileAttributesA(list.c_str()));
            if (target == 0) {
                EXPECT_EQ(c.before->size() + 4 + ShortPath(path).size() + 2, ReadList().size()) << "undisturbed";
                // The new list's last write is the flush's, just before the close; the small list
                // has no other.
                const std::string &trail = injector.trail;
                EXPECT_NE(std::string::npos,
                          trail.find("WriteFile(wininit.zan) FlushFileBuffers(wininit.zan) CloseHandle(wininit.zan)"))
                    << trail;
                size_t writes = 0;
                for (size_t at = trail.find("WriteFile("); at != std::string::npos; at = trail.find("WriteFile(", at + 1))
                    ++writes;
                if (c.before == &small) {
                    EXPECT_EQ(1u, writes) << trail;
                } else {
                    EXPECT_LT(2u, writes) << trail;
                }
            } else {
                // A failure the stream sees ends its writing; a torn write it cannot see, and
                // the writes go on: the length read back tells.
                if (c.fault != kShort) {
                    EXPECT_EQ(1, injector.calls) << injector.trail;
                }
                EXPECT_EQ(*c.before, ReadList());
            }
        }
    }
    RemovePath(list);
}

// Wine's boot, started as a peer of this test, carries out the list as Windows would.
void RunBoot()
{
    RunOptions options;
    options.arguments = "-r";
    RunResult result = RunProgram(SystemDir() + "\\wineboot.exe", options);
    ASSERT_TRUE(result.started) << result.startError;
    ASSERT_FALSE(result.timedOut);
}

// Read-only files, as copied from a CD-ROM: the boot passes over one that is still
// read-only, so a file that waits for it must have lost the attribute. One that does not
// open for reading is not the run's to touch, attribute included.
TEST_F(FileRemoval, ReadOnlyFilesGoAtOnceOrAtTheBoot)
{
    const struct {
        const char *name;
        const char *share;  // how another program holds it; null: nobody does
        bool goneNow, listed, readOnlyAfter, goneAfterBoot;
    } rows[] = {
        {"read-only free.dat", nullptr, true, false, false, true},
        {"read-only held long name.dat", "read", false, true, false, true},
        {"read-only locked.dat", "none", false, false, true, false},
    };
    FilterWininit();
    std::string expectedList = "[rename]\r\n";
    for (const auto &row : rows) {
        std::string path = MakeFile(row.name);
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
        std::string shortPath = ShortPath(path);
        restartRequired = 0;
        std::unique_ptr<FileHolder> holder;
        if (row.share) {
            holder.reset(new FileHolder(path, row.share));
            ASSERT_TRUE(holder->holding()) << row.name;
        }
        DeleteOrScheduleFile(path.c_str());
        holder.reset();
        if (row.listed)
            expectedList += "NUL=" + shortPath + "\r\n";
        DWORD attributes = GetFileAttributesA(path.c_str());
        EXPECT_EQ(row.goneNow, attributes == INVALID_FILE_ATTRIBUTES) << row.name;
        EXPECT_EQ(row.readOnlyAfter, attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            << row.name;
        EXPECT_EQ(row.listed ? 1 : 0, restartRequired) << row.name;
        EXPECT_EQ(expectedList, ReadList()) << row.name;
    }
    RunBoot();
    for (const auto &row : rows)
        EXPECT_EQ(row.goneAfterBoot, !FileExists(std::string(kFolder) + "\\" + row.name)) << row.name;

    // When the list cannot take the entry, nothing will delete the file: it stays read-only.
    const std::string temp = WindowsDir() + "\\wininit.zan", path = MakeFile("read-only unlisted.dat");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    restartRequired = 0;
    {
        FileHolder holder(path, "read");
        ASSERT_TRUE(holder.holding());
        DeleteOrScheduleFile(path.c_str());
    }
    RemoveDirectoryA(temp.c_str());
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY), GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ("<no list>", ReadList());
    EXPECT_EQ(1, restartRequired);
}

TEST_F(FileRemoval, BootDeletesScheduledFilesWhateverSectionEndedTheList)
{
    std::string first = MakeFile("first long file name.dat");
    std::string second = MakeFile("second long file name.dat");
    std::string keep = MakeFile("keep.dat");
    ASSERT_TRUE(WriteFileBytes(ListPath(), "[other]\r\nx=1\r\n[rename]\r\n[last]\r\ny=2\r\n"));
    {
        FileHolder holdFirst(first, "read");
        FileHolder holdSecond(second, "read");
        ASSERT_TRUE(holdFirst.holding());
        ASSERT_TRUE(holdSecond.holding());
        DeleteOrScheduleFile(first.c_str());
        DeleteOrScheduleFile(second.c_str());
    }
    ASSERT_TRUE(FileExists(first));
    ASSERT_TRUE(FileExists(second));
    RunBoot();
    EXPECT_FALSE(FileExists(first));
    EXPECT_FALSE(FileExists(second));
    EXPECT_TRUE(FileExists(keep));
    EXPECT_FALSE(FileExists(ListPath()));  // carried out and renamed
}

TEST_F(FileRemoval, BootDeletesFilesScheduledIntoAListWithoutRenameSection)
{
    std::string path = MakeFile("no section long name.dat");
    ASSERT_TRUE(WriteFileBytes(ListPath(), "[other]\r\nx=1\r\n"));
    {
        FileHolder holder(path, "read");
        ASSERT_TRUE(holder.holding());
        DeleteOrScheduleFile(path.c_str());
    }
    RunBoot();
    EXPECT_FALSE(FileExists(path));
}

TEST_F(FileRemoval, BootDeletesFilesScheduledAfterFiltering)
{
    std::string path = MakeFile("after filter long name.dat");
    FilterWininit();
    {
        FileHolder holder(path, "read");
        ASSERT_TRUE(holder.holding());
        DeleteOrScheduleFile(path.c_str());
    }
    RunBoot();
    EXPECT_FALSE(FileExists(path));
}

} // namespace
