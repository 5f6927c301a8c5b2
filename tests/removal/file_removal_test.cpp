// Deleting files and the boot-time rename list, on the prefix's real file system; the list
// is carried out by Wine's own boot (wineboot -r).
#include "file_removal.h"
#include "process_state.h"

#include "file_fixture.h"
#include "process_runner.h"

#include <gtest/gtest.h>

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

std::string ShortPath(const std::string &path)
{
    char buffer[MAX_PATH];
    DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer) : std::string();
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
        const char *const names[] = {"wininit.ini", "wininit.bak", "wininit.zan"};
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
    ASSERT_TRUE(WriteFileBytes(ListPath(), list));
    // A folder in the place of the temporary file: it cannot be created.
    const std::string temp = WindowsDir() + "\\wininit.zan";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    FilterWininit();
    EXPECT_EQ(list, ReadList());
    EXPECT_TRUE(DirExists(temp));
    RemoveDirectoryA(temp.c_str());
}

TEST_F(FileRemoval, FilterLeavesTheListAloneWhenTheCopyBackFails)
{
    const std::string list = "[rename]\r\nNUL=C:\\zanchg32.zan\r\nNUL=C:\\KEEP\r\n";
    ASSERT_TRUE(WriteFileBytes(ListPath(), list));
    {
        // Readable, but not writable while another program holds it.
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

// Wine's boot, started as a peer of this test, carries out the list as Windows would.
void RunBoot()
{
    RunOptions options;
    options.arguments = "-r";
    RunResult result = RunProgram(SystemDir() + "\\wineboot.exe", options);
    ASSERT_TRUE(result.started) << result.startError;
    ASSERT_FALSE(result.timedOut);
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
