// The uninstaller's file stream on the prefix's real file system: its opens, reads, writes,
// seeks and error flag, and the failures of the system's calls under it (made to fail through
// this program's import table, which the stream linked into it calls).
#include "file_stream.h"

#include "file_fixture.h"
#include "import_patch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kFolder[] = "C:\\zan stream test folder";

class FileStreams : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemovePath(kFolder);
        ASSERT_TRUE(MakeDirs(kFolder));
    }
    void TearDown() override { RemovePath(kFolder); }

    static std::string PathOf(const char *name) { return std::string(kFolder) + "\\" + name; }
    static std::string Contents(const std::string &path)
    {
        std::string bytes;
        return ReadFileBytes(path, &bytes) ? bytes : "<none>";
    }
};

// Every byte value, CR LF, a lone LF and 0x1A among them, over several buffers' worth.
std::string Pattern(size_t size)
{
    std::string bytes;
    for (size_t i = 0; i < size; ++i)
        bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes + "\r\nline\n\x1A" + std::string("\0end", 4);
}

TEST_F(FileStreams, ReadsEveryByteAsItIs)
{
    const std::string path = PathOf("read.bin"), bytes = Pattern(1500);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    FileStream *stream = OpenFileStream(path.c_str(), kStreamRead);
    ASSERT_NE(nullptr, stream);
    std::string got;
    for (int i = 0; i < 3; ++i)
        got += static_cast<char>(ReadStreamByte(stream));
    char block[1000];
    ASSERT_EQ(sizeof block, ReadStreamBlock(stream, block, sizeof block));
    got.append(block, sizeof block);
    char rest[2000];
    size_t n = ReadStreamBlock(stream, rest, sizeof rest);
    EXPECT_EQ(bytes.size() - got.size(), n);
    got.append(rest, n);
    EXPECT_TRUE(got == bytes);
    EXPECT_EQ(kStreamEnd, ReadStreamByte(stream));
    EXPECT_EQ(0u, ReadStreamBlock(stream, rest, sizeof rest));
    EXPECT_FALSE(StreamFailed(stream));
    EXPECT_TRUE(CloseFileStream(stream));
}

TEST_F(FileStreams, SeeksWithinItsBufferAndBeyond)
{
    const std::string path = PathOf("seek.bin"), bytes = Pattern(1500);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    FileStream *stream = OpenFileStream(path.c_str(), kStreamRead);
    ASSERT_NE(nullptr, stream);
    for (long at : {700L, 5L, 6L, 511L, 512L, 0L, 1499L, 1000L, 999L}) {
        ASSERT_TRUE(SeekStream(stream, at));
        EXPECT_EQ(static_cast<unsigned char>(bytes[at]), ReadStreamByte(stream)) << at;
    }
    ASSERT_TRUE(SeekStream(stream, static_cast<long>(bytes.size())));
    EXPECT_EQ(kStreamEnd, ReadStreamByte(stream));
    ASSERT_TRUE(SeekStream(stream, static_cast<long>(bytes.size()) + 100));
    EXPECT_EQ(kStreamEnd, ReadStreamByte(stream));
    EXPECT_FALSE(StreamFailed(stream));
    EXPECT_FALSE(SeekStream(stream, -1));
    EXPECT_TRUE(StreamFailed(stream));
    EXPECT_TRUE(CloseFileStream(stream));
}

TEST_F(FileStreams, OpensOnlyWhatThereIsToOpen)
{
    EXPECT_EQ(nullptr, OpenFileStream(PathOf("missing.txt").c_str(), kStreamRead));
    EXPECT_FALSE(FileExists(PathOf("missing.txt")));
    // A folder is no file to write.
    EXPECT_EQ(nullptr, OpenFileStream(kFolder, kStreamCreate));
    EXPECT_EQ(nullptr, OpenFileStream(kFolder, kStreamAppend));
    EXPECT_EQ(nullptr, OpenFileStream(PathOf("no folder\\x.txt").c_str(), kStreamCreate));
}

TEST_F(FileStreams, CreateEmptiesAndWritesBytesAsTheyAre)
{
    const std::string path = PathOf("create.txt");
    ASSERT_TRUE(WriteFileBytes(path, "old contents, longer than the new"));
    FileStream *stream = OpenFileStream(path.c_str(), kStreamCreate);
    ASSERT_NE(nullptr, stream);
    EXPECT_EQ("", Contents(path));
    EXPECT_TRUE(WriteStreamBlock(stream, "a\nb\r\n", 5));
    EXPECT_TRUE(CloseFileStream(stream));
    EXPECT_EQ("a\nb\r\n", Contents(path));

    // Blocks smaller and larger than the buffer, in any order.
    const std::string big = Pattern(2000), small = "small";
    stream = OpenFileStream(PathOf("blocks.bin").c_str(), kStreamCreate);
    ASSERT_NE(nullptr, stream);
    EXPECT_TRUE(WriteStreamBlock(stream, small.data(), small.size()));
    EXPECT_TRUE(WriteStreamBlock(stream, big.data(), big.size()));
    EXPECT_TRUE(WriteStreamBlock(stream, small.data(), small.size()));
    EXPECT_TRUE(WriteStreamBlock(stream, big.data(), big.size()));
    EXPECT_TRUE(WriteStreamBlock(stream, "", 0));
    EXPECT_FALSE(StreamFailed(stream));
    EXPECT_TRUE(CloseFileStream(stream));
    EXPECT_TRUE(Contents(PathOf("blocks.bin")) == small + big + small + big);
}

TEST_F(FileStreams, AppendWritesAtTheEndWhoeverMovedIt)
{
    const std::string path = PathOf("append.txt");
    FileStream *stream = OpenFileStream(path.c_str(), kStreamAppend);
    ASSERT_NE(nullptr, stream);  // made when missing
    EXPECT_TRUE(WriteStreamBlock(stream, "abc", 3));
    EXPECT_TRUE(CloseFileStream(stream));
    EXPECT_EQ("abc", Contents(path));

    stream = OpenFileStream(path.c_str(), kStreamAppend);
    ASSERT_NE(nullptr, stream);
    EXPECT_TRUE(WriteStreamBlock(stream, "1", 1));
    EXPECT_TRUE(SeekStream(stream, 0));  // hands "1" over; the next write goes at the end all the same
    FILE *other = std::fopen(path.c_str(), "ab");
    ASSERT_NE(nullptr, other);
    std::fputs("2", other);
    std::fclose(other);
    EXPECT_TRUE(WriteStreamBlock(stream, "3", 1));
    EXPECT_TRUE(CloseFileStream(stream));
    EXPECT_EQ("abc123", Contents(path));
}

TEST_F(FileStreams, ReadStreamTakesNoWrites)
{
    const std::string path = PathOf("read only use.txt");
    ASSERT_TRUE(WriteFileBytes(path, "text"));
    FileStream *stream = OpenFileStream(path.c_str(), kStreamRead);
    ASSERT_NE(nullptr, stream);
    EXPECT_FALSE(WriteStreamBlock(stream, "x", 1));
    EXPECT_TRUE(StreamFailed(stream));
    EXPECT_FALSE(FlushStream(stream));
    EXPECT_TRUE(CloseFileStream(stream));  // it closed
    EXPECT_EQ("text", Contents(path));
}

// ----- the system's calls failing under the stream -----

enum WriteTurn { kWriteGoes, kWriteFails, kWriteHalfSaid };
WriteTurn writeTurn = kWriteGoes;
int writes = 0, flushes = 0;
bool flushFails = false, closeFails = false;
decltype(&WriteFile) realWrite;
decltype(&FlushFileBuffers) realFlush;
decltype(&CloseHandle) realClose;

BOOL WINAPI CountedWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    ++writes;
    switch (writeTurn) {
    case kWriteFails:
        *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    case kWriteHalfSaid:
        return realWrite(file, data, size / 2, written, overlapped);
    default:
        return realWrite(file, data, size, written, overlapped);
    }
}

BOOL WINAPI CountedFlush(HANDLE file)
{
    ++flushes;
    return flushFails ? FALSE : realFlush(file);
}

BOOL WINAPI FailingClose(HANDLE handle)
{
    BOOL closed = realClose(handle);
    return closeFails ? FALSE : closed;
}

class FileStreamFaults : public FileStreams {
protected:
    void SetUp() override
    {
        FileStreams::SetUp();
        ASSERT_TRUE(write_.installed() && flush_.installed() && close_.installed());
        realWrite = reinterpret_cast<decltype(realWrite)>(write_.original());
        realFlush = reinterpret_cast<decltype(realFlush)>(flush_.original());
        realClose = reinterpret_cast<decltype(realClose)>(close_.original());
        writeTurn = kWriteGoes;
        writes = flushes = 0;
        flushFails = closeFails = false;
    }
    void TearDown() override
    {
        writeTurn = kWriteGoes;
        flushFails = closeFails = false;
        FileStreams::TearDown();
    }

private:
    ImportPatch write_{"kernel32.dll", "WriteFile", reinterpret_cast<void *>(CountedWrite)};
    ImportPatch flush_{"kernel32.dll", "FlushFileBuffers", reinterpret_cast<void *>(CountedFlush)};
    ImportPatch close_{"kernel32.dll", "CloseHandle", reinterpret_cast<void *>(FailingClose)};
};

// What stays in the buffer reaches the system at the close, which says when it did not.
TEST_F(FileStreamFaults, CloseSaysWhenItsWriteDidNotGoWhole)
{
    for (WriteTurn turn : {kWriteFails, kWriteHalfSaid}) {
        SCOPED_TRACE(turn);
        FileStream *stream = OpenFileStream(PathOf("close.txt").c_str(), kStreamCreate);
        ASSERT_NE(nullptr, stream);
        EXPECT_TRUE(WriteStreamBlock(stream, "buffered", 8));
        EXPECT_EQ(0, writes);
        writeTurn = turn;
        EXPECT_FALSE(CloseFileStream(stream));
        EXPECT_EQ(1, writes);
        writeTurn = kWriteGoes;
        writes = 0;
    }
}

TEST_F(FileStreamFaults, FailedWriteSetsTheErrorFlagAndStopsTheWriting)
{
    const std::string big = Pattern(600);
    FileStream *stream = OpenFileStream(PathOf("failed.txt").c_str(), kStreamCreate);
    ASSERT_NE(nullptr, stream);
    writeTurn = kWriteHalfSaid;
    EXPECT_FALSE(WriteStreamBlock(stream, big.data(), big.size()));
    EXPECT_TRUE(StreamFailed(stream));
    writeTurn = kWriteGoes;
    EXPECT_FALSE(WriteStreamBlock(stream, "more", 4));
    EXPECT_FALSE(FlushStream(stream));
    EXPECT_FALSE(CloseFileStream(stream));
    EXPECT_EQ(1, writes);  // nothing after the failure
}

TEST_F(FileStreamFaults, CloseSaysWhenTheFileDidNotClose)
{
    FileStream *stream = OpenFileStream(PathOf("unclosed.txt").c_str(), kStreamCreate);
    ASSERT_NE(nullptr, stream);
    EXPECT_TRUE(WriteStreamBlock(stream, "text", 4));
    closeFails = true;
    EXPECT_FALSE(CloseFileStream(stream));
    closeFails = false;
    EXPECT_EQ("text", Contents(PathOf("unclosed.txt")));
}

TEST_F(FileStreamFaults, FlushPutsTheBufferOnTheDiskAndSaysWhenItCouldNot)
{
    const std::string path = PathOf("flushed.txt");
    FileStream *stream = OpenFileStream(path.c_str(), kStreamCreate);
    ASSERT_NE(nullptr, stream);
    EXPECT_TRUE(WriteStreamBlock(stream, "first", 5));
    EXPECT_EQ("", Contents(path));
    EXPECT_TRUE(FlushStream(stream));
    EXPECT_EQ(1, writes);
    EXPECT_EQ(1, flushes);
    EXPECT_EQ("first", Contents(path));  // while the stream is open
    EXPECT_TRUE(WriteStreamBlock(stream, " second", 7));
    flushFails = true;
    EXPECT_FALSE(FlushStream(stream));
    EXPECT_TRUE(StreamFailed(stream));
    flushFails = false;
    EXPECT_FALSE(CloseFileStream(stream));
    EXPECT_EQ("first second", Contents(path));  // written, but not known to be on the disk
}

} // namespace
