// The Program Manager client against Wine's own "PROGMAN" DDE server. The server opens a
// window (a separate explorer.exe) for created and shown groups; it outlives this program
// and is never waited for.
#include "progman_client.h"

#include "file_fixture.h"
#include "import_patch.h"
#include "process_runner.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char kGroup[] = "ZanProgmanTestGroup";

std::string GroupFolder(const char *group)
{
    char programs[MAX_PATH];
    if (!SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE))
        return std::string();
    return std::string(programs) + "\\" + group;
}

HDDEDATA CALLBACK NoAnswer(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// The test's own conversation with the server, for setting up groups.
int SendOwnCommand(const std::string &command)
{
    DWORD instance = 0;
    if (DdeInitializeA(&instance, NoAnswer, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return 0;
    HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, name, name, nullptr);
    int accepted = 0;
    if (conversation) {
        HDDEDATA r = DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char *>(command.c_str())),
                                          static_cast<DWORD>(command.size() + 1), conversation, nullptr, CF_TEXT,
                                          XTYP_EXECUTE, 10000, nullptr);
        accepted = r == reinterpret_cast<HDDEDATA>(1);
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(instance, name);
    DdeUninitialize(instance);
    return accepted;
}

// What the client hands to DDEML, recorded on the way through to the real server.
struct Transaction {
    std::string data;  // every byte sent, the terminating zero included
    DWORD length;
    HSZ item;
    UINT format, type;
    DWORD timeout;
    LPDWORD result;
};
std::vector<Transaction> transactions;
void *realTransaction, *realDisconnect, *realUninitialize;
int disconnects, uninitialises, programsStarted;

HDDEDATA WINAPI RecordTransaction(LPBYTE data, DWORD length, HCONV conversation, HSZ item, UINT format, UINT type,
                                  DWORD timeout, LPDWORD result)
{
    transactions.push_back({std::string(reinterpret_cast<char *>(data), length), length, item, format, type, timeout,
                            result});
    auto real = reinterpret_cast<decltype(&DdeClientTransaction)>(realTransaction);
    return real(data, length, conversation, item, format, type, timeout, result);
}
BOOL WINAPI CountDisconnect(HCONV conversation)
{
    ++disconnects;
    return reinterpret_cast<decltype(&DdeDisconnect)>(realDisconnect)(conversation);
}
BOOL WINAPI CountUninitialize(DWORD instance)
{
    ++uninitialises;
    return reinterpret_cast<decltype(&DdeUninitialize)>(realUninitialize)(instance);
}
UINT WINAPI CountWinExec(LPCSTR, UINT)
{
    ++programsStarted;
    return 0;  // as if the program could not be found: nothing runs
}

class Progman : public ::testing::Test {
protected:
    void SetUp() override
    {
        transactions.clear();
        disconnects = uninitialises = programsStarted = 0;
        SendOwnCommand(std::string("[DeleteGroup(") + kGroup + ")]");
    }
    void TearDown() override
    {
        SendOwnCommand(std::string("[DeleteGroup(") + kGroup + ")]");
        RemovePath(GroupFolder(kGroup));
    }
};

TEST_F(Progman, DeleteGroupRemovesAGroupMadeThroughDde)
{
    ASSERT_EQ(1, SendOwnCommand(std::string("[CreateGroup(") + kGroup + ")]"));
    ASSERT_TRUE(DirExists(GroupFolder(kGroup)));

    ProgmanClient client;
    ASSERT_NE(0u, client.instance);
    ASSERT_EQ(1, client.Connect());
    EXPECT_EQ(0, client.startedProgman);
    EXPECT_EQ(1, client.DeleteGroup(kGroup));
    EXPECT_FALSE(DirExists(GroupFolder(kGroup)));
    // Gone: the server refuses a second deletion.
    EXPECT_EQ(0, client.DeleteGroup(kGroup));
    client.Disconnect();
    EXPECT_EQ(nullptr, client.conversation);
}

TEST_F(Progman, ConnectOnAnOpenConversationStartsNothing)
{
    ImportPatch winExec("kernel32.dll", "WinExec", reinterpret_cast<void *>(CountWinExec));
    ASSERT_TRUE(winExec.installed());
    ProgmanClient client;
    ASSERT_EQ(1, client.Connect());
    HCONV first = client.conversation;
    EXPECT_EQ(1, client.Connect());
    EXPECT_EQ(first, client.conversation);
    EXPECT_EQ(0, client.startedProgman);
    EXPECT_EQ(0, programsStarted);
    EXPECT_TRUE(FindProcessIds("progman.exe").empty());
}

TEST_F(Progman, CommandsAreSentExactlyAsFormatted)
{
    ImportPatch patch("user32.dll", "DdeClientTransaction", reinterpret_cast<void *>(RecordTransaction));
    ASSERT_TRUE(patch.installed());
    realTransaction = patch.original();
    ASSERT_EQ(1, SendOwnCommand(std::string("[CreateGroup(") + kGroup + ")]"));
    transactions.clear();

    ProgmanClient client;
    ASSERT_EQ(1, client.Connect());
    EXPECT_EQ(1, client.ShowGroup(kGroup, 1));
    EXPECT_EQ(1, client.DeleteGroup(kGroup));
    client.DeleteItem("ｱﾝｲﾝｽﾄｰﾗ");
    client.DeleteGroup("a,b)c");
    ASSERT_EQ(4u, transactions.size());
    EXPECT_EQ(std::string("[ShowGroup(") + kGroup + ",1)]" + '\0', transactions[0].data);
    EXPECT_EQ(std::string("[DeleteGroup(") + kGroup + ")]" + '\0', transactions[1].data);
    EXPECT_EQ(std::string("[DeleteItem(\xB1\xDD\xB2\xDD\xBD\xC4\xB0\xD7)]") + '\0', transactions[2].data);
    EXPECT_EQ(std::string("[DeleteGroup(a,b)c)]") + '\0', transactions[3].data);
    for (const Transaction &t : transactions) {
        EXPECT_EQ(t.data.size(), t.length);
        EXPECT_EQ(nullptr, t.item);
        EXPECT_EQ(static_cast<UINT>(CF_TEXT), t.format);
        EXPECT_EQ(static_cast<UINT>(XTYP_EXECUTE), t.type);
        EXPECT_EQ(10000u, t.timeout);
        EXPECT_EQ(nullptr, t.result);
    }
}

// A command must fit the 300-byte buffer with its zero; one that would not is not sent
// (a cut command could name another group).
TEST_F(Progman, NameThatDoesNotFitTheBufferSendsNothing)
{
    ImportPatch patch("user32.dll", "DdeClientTransaction", reinterpret_cast<void *>(RecordTransaction));
    ASSERT_TRUE(patch.installed());
    realTransaction = patch.original();
    ProgmanClient client;
    ASSERT_EQ(1, client.Connect());

    const std::string fitsDelete(300 - 1 - 15, 'd');  // "[DeleteGroup()]" is 15 characters
    const std::string fitsItem(300 - 1 - 14, 'i');    // "[DeleteItem()]"
    const std::string fitsShow(300 - 1 - 15, 's');    // "[ShowGroup(,1)]" with one digit
    client.DeleteGroup(fitsDelete.c_str());
    client.DeleteItem(fitsItem.c_str());
    client.ShowGroup(fitsShow.c_str(), 1);
    ASSERT_EQ(3u, transactions.size());
    for (const Transaction &t : transactions)
        EXPECT_EQ(300u, t.length);
    EXPECT_EQ("[DeleteGroup(" + fitsDelete + ")]" + '\0', transactions[0].data);

    transactions.clear();
    EXPECT_EQ(0, client.DeleteGroup((fitsDelete + "x").c_str()));
    EXPECT_EQ(0, client.DeleteItem((fitsItem + "x").c_str()));
    EXPECT_EQ(0, client.ShowGroup(fitsShow.c_str(), 10));
    EXPECT_EQ(0, client.DeleteGroup(std::string(5000, 'L').c_str()));
    EXPECT_TRUE(transactions.empty());
    EXPECT_NE(nullptr, client.conversation);  // the conversation goes on
}

TEST_F(Progman, DestructionEndsConversationAndInstanceOnEveryWayOut)
{
    ImportPatch disconnect("user32.dll", "DdeDisconnect", reinterpret_cast<void *>(CountDisconnect));
    ImportPatch uninitialize("user32.dll", "DdeUninitialize", reinterpret_cast<void *>(CountUninitialize));
    ASSERT_TRUE(disconnect.installed());
    ASSERT_TRUE(uninitialize.installed());
    realDisconnect = disconnect.original();
    realUninitialize = uninitialize.original();

    {
        ProgmanClient client;
        ASSERT_EQ(1, client.Connect());
    }
    EXPECT_EQ(1, disconnects);
    EXPECT_EQ(1, uninitialises);

    // An exception passing through the owner.
    bool caught = false;
    try {
        ProgmanClient client;
        ASSERT_EQ(1, client.Connect());
        throw std::runtime_error("way out");
    } catch (const std::runtime_error &) {
        caught = true;
    }
    EXPECT_TRUE(caught);
    EXPECT_EQ(2, disconnects);
    EXPECT_EQ(2, uninitialises);

    // Without a conversation there is nothing to end but the instance.
    {
        ProgmanClient client;
    }
    EXPECT_EQ(2, disconnects);
    EXPECT_EQ(3, uninitialises);
}

// A window of class "Progman" standing in for a Program Manager that the client started.
bool closeReceived;
LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        closeReceived = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Runs this thread's messages (the DDE windows' too) for a while; tells whether the stand-in
// was asked to close.
bool CloseArrives(DWORD waitMs)
{
    closeReceived = false;
    DWORD end = GetTickCount() + waitMs;
    while (!closeReceived && GetTickCount() < end) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(10);
    }
    return closeReceived;
}

TEST_F(Progman, ProgramManagerItStartedIsClosedAtDisconnect)
{
    ASSERT_EQ(nullptr, FindWindowA("Progman", nullptr)) << "the shell has a Progman window here";
    WNDCLASSA wc = {};
    wc.lpfnWndProc = StandInProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Progman";
    ASSERT_NE(0, RegisterClassA(&wc));
    HWND standIn = CreateWindowA("Progman", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, standIn);

    {
        ProgmanClient client;
        ASSERT_EQ(1, client.Connect());
        client.Disconnect();
        EXPECT_FALSE(CloseArrives(500)) << "closed a Program Manager it had not started";
        ASSERT_EQ(1, client.Connect());
        client.startedProgman = 1;  // as after a first attempt that nobody answered
        client.Disconnect();
        EXPECT_EQ(0, client.startedProgman);
        EXPECT_TRUE(CloseArrives(2000));
    }
    DestroyWindow(standIn);
    UnregisterClassA("Progman", wc.hInstance);
}

} // namespace
