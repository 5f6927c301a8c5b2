// Removing registry subtrees of HKEY_LOCAL_MACHINE in the real (Wine) registry.
#include "registry_tree.h"

#include "import_patch.h"
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kTop[] = "SOFTWARE\\ZanTreeTest";

// Removes a tree however deep, through relative handles (paths of any length).
void RemoveDeep(HKEY parent, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char child[256];
    while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS) {
        std::string copy = child;
        RemoveDeep(key, copy.c_str());
        if (RegKeyExists(key, copy))
            break;
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name);
}

// Every call of RegDeleteKeyA made by the routine, with what it asked for.
std::vector<std::string> deletions;
std::string refusedPath;      // the delete of this path fails
std::string pretendedPath;    // the delete of this path reports success but does nothing
void *realDelete;

LONG WINAPI RecordingDelete(HKEY root, LPCSTR path)
{
    deletions.push_back(path);
    // Each key removed must be a leaf at that moment.
    EXPECT_TRUE(RegSubkeys(root, path).empty()) << path;
    if (path == refusedPath)
        return ERROR_ACCESS_DENIED;
    if (path == pretendedPath)
        return ERROR_SUCCESS;
    return reinterpret_cast<decltype(&RegDeleteKeyA)>(realDelete)(root, path);
}

// Puts RecordingDelete in the place of RegDeleteKeyA while it lives.
struct DeleteRecorder {
    ImportPatch patch{"advapi32.dll", "RegDeleteKeyA", reinterpret_cast<void *>(RecordingDelete)};
    DeleteRecorder() { realDelete = patch.original(); }
    bool installed() const { return patch.installed(); }
};

class RegistryTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveDeep(HKEY_LOCAL_MACHINE, kTop);
        deletions.clear();
        refusedPath.clear();
        pretendedPath.clear();
    }
    void TearDown() override { RemoveDeep(HKEY_LOCAL_MACHINE, kTop); }

    static std::string At(const std::string &below) { return std::string(kTop) + "\\" + below; }
};

TEST_F(RegistryTree, LeafKeyGoesWithItsValues)
{
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, At("Leaf"), "Text", "abc"));
    ASSERT_TRUE(RegWriteDword(HKEY_LOCAL_MACHINE, At("Leaf"), "Number", 7));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, At("Sibling"), "Keep", "me"));

    EXPECT_EQ(1, DeleteRegistryTree(At("Leaf").c_str()));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, At("Leaf")));
    EXPECT_EQ("me", RegReadString(HKEY_LOCAL_MACHINE, At("Sibling"), "Keep"));
}

TEST_F(RegistryTree, ThreeLevelsGoLeavesFirstGivenKeyLast)
{
    const char *const keys[] = {"Root\\A\\A1\\x", "Root\\A\\A1\\y", "Root\\A\\A2", "Root\\B\\B1\\z", "Root\\C"};
    for (const char *k : keys)
        ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, At(k), "v", k));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, At("Root"), "TopValue", "t"));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, At("Other"), "Keep", "me"));
    std::vector<std::string> otherBefore = RegSnapshot(HKEY_LOCAL_MACHINE, At("Other"));

    {
        DeleteRecorder patch;
        ASSERT_TRUE(patch.installed());
        EXPECT_EQ(1, DeleteRegistryTree(At("Root").c_str()));
    }
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, At("Root")));
    // Root, A, A1, x, y, A2, B, B1, z, C: ten keys, ten passes, one deletion each.
    ASSERT_EQ(10u, deletions.size());
    EXPECT_EQ(At("Root\\A\\A1\\x"), deletions.front());
    EXPECT_EQ(At("Root"), deletions.back());
    EXPECT_EQ(otherBefore, RegSnapshot(HKEY_LOCAL_MACHINE, At("Other")));
}

TEST_F(RegistryTree, MissingKeyChangesNothing)
{
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, At("Present"), "v", "1"));
    std::vector<std::string> before = RegSnapshot(HKEY_LOCAL_MACHINE, kTop);
    EXPECT_EQ(1, DeleteRegistryTree(At("Absent").c_str()));
    EXPECT_EQ(1, DeleteRegistryTree(At("Absent\\Deeper").c_str()));
    EXPECT_EQ(before, RegSnapshot(HKEY_LOCAL_MACHINE, kTop));
}

TEST_F(RegistryTree, DriverRecordsAndCounterGo)
{
    const std::string driver = At("ZANRO INC\\DISPLAY\\DRIVER");
    ASSERT_TRUE(RegWriteDword(HKEY_LOCAL_MACHINE, driver, "Counter", 2));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, driver + "\\1", "0", "C:\\WINDOWS\\SYSTEM\\A.DRV"));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, driver + "\\2", "0", "C:\\WINDOWS\\SYSTEM\\B.DRV"));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, At("ZANRO INC\\DISPLAY"), "BootDir", "C:\\ZANRO"));

    EXPECT_EQ(1, DeleteRegistryTree(driver.c_str()));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, driver));
    EXPECT_EQ("C:\\ZANRO", RegReadString(HKEY_LOCAL_MACHINE, At("ZANRO INC\\DISPLAY"), "BootDir"));
}

TEST_F(RegistryTree, OnlyHkeyLocalMachine)
{
    const std::string user = "Software\\ZanTreeTestUser";
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, user, "v", "1"));
    EXPECT_EQ(1, DeleteRegistryTree(user.c_str()));  // not there below HKEY_LOCAL_MACHINE
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, user));
    RegRemoveTree(HKEY_CURRENT_USER, user);
}

// Wine lets every key that opens with full access be deleted (a restrictive DACL and an
// open handle elsewhere do not stop it), so a refusing RegDeleteKeyA is put in its place.
TEST_F(RegistryTree, RefusedLeafEndsTheRoutine)
{
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, At("Root\\A")));
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, At("Root\\B\\Stuck")));
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, At("Root\\C")));
    refusedPath = At("Root\\B\\Stuck");
    {
        DeleteRecorder patch;
        ASSERT_TRUE(patch.installed());
        EXPECT_EQ(0, DeleteRegistryTree(At("Root").c_str()));
    }
    // A went, the refused leaf was tried once, and the rest stays.
    EXPECT_EQ((std::vector<std::string>{At("Root\\A"), refusedPath}), deletions);
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, At("Root\\A")));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, refusedPath));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, At("Root\\C")));
}

TEST_F(RegistryTree, LeafThatStaysDespiteSuccessEndsTheRoutine)
{
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, At("Root\\Sticky")));
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, At("Root\\Z")));
    pretendedPath = At("Root\\Sticky");
    {
        DeleteRecorder patch;
        ASSERT_TRUE(patch.installed());
        EXPECT_EQ(0, DeleteRegistryTree(At("Root").c_str()));
    }
    EXPECT_EQ(std::vector<std::string>{pretendedPath}, deletions);
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, At("Root\\Z")));
}

// Builds kTop\Root\<name of `length` - the prefix's length characters>, so that the
// visit path of the leaf is exactly `length` characters; created through relative handles.
std::string MakeLongLeaf(const std::string &under, size_t length)
{
    std::string path = under;
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, under.c_str(), &key));
    while (path.size() < length) {
        size_t room = length - path.size() - 1;  // minus the backslash
        std::string name(room > 100 ? 100 : room, 'n');
        if (room > 100 && room - 100 < 2)
            name.resize(room - 2);  // leave room for one more level of at least one character
        HKEY child;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(key, name.c_str(), &child));
        RegCloseKey(key);
        key = child;
        path += "\\" + name;
    }
    RegCloseKey(key);
    EXPECT_EQ(length, path.size());
    return path;
}

TEST_F(RegistryTree, VisitPathOf259CharactersIsRemoved)
{
    MakeLongLeaf(At("Root"), 259);
    EXPECT_EQ(1, DeleteRegistryTree(At("Root").c_str()));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, At("Root")));
}

TEST_F(RegistryTree, VisitPathBeyond259CharactersEndsTheRoutine)
{
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, At("Root\\A")));
    std::string longLeaf = MakeLongLeaf(At("Root\\B"), 260);
    {
        DeleteRecorder patch;
        ASSERT_TRUE(patch.installed());
        EXPECT_EQ(0, DeleteRegistryTree(At("Root").c_str()));
    }
    EXPECT_EQ(std::vector<std::string>{At("Root\\A")}, deletions);
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, At("Root\\B")));
}

} // namespace
