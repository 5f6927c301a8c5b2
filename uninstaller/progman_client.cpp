#include "progman_client.h"

#include <string.h>

#include "bounded_format.h"

namespace {

// A name that would make a command overflow its buffer gives no command at all: a cut
// command could name another group.
enum {
    kCommandSize = 300,
    kTransactionTimeout = 10000,
};
const char kProgman[] = "PROGMAN";

// The client asks and never serves: every transaction offered to it is declined.
HDDEDATA CALLBACK IgnoreTransaction(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

} // namespace

ProgmanClient::ProgmanClient() : instance(0), conversation(nullptr), startedProgman(0)
{
    DdeInitializeA(&instance, IgnoreTransaction, APPCMD_CLIENTONLY, 0);
}

ProgmanClient::~ProgmanClient()
{
    if (conversation)
        Disconnect();
    if (instance)
        DdeUninitialize(instance);
}

int ProgmanClient::Connect()
{
    if (conversation)
        return 1;
    HSZ service = DdeCreateStringHandleA(instance, kProgman, CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, kProgman, CP_WINANSI);
    startedProgman = 0;
    conversation = DdeConnect(instance, service, topic, nullptr);
    if (!conversation) {
        WinExec("PROGMAN.EXE", SW_SHOWNORMAL);
        startedProgman = 1;
        conversation = DdeConnect(instance, service, topic, nullptr);
    }
    if (service)
        DdeFreeStringHandle(instance, service);
    if (topic)
        DdeFreeStringHandle(instance, topic);
    return conversation ? 1 : 0;
}

void ProgmanClient::Disconnect()
{
    if (!conversation)
        return;
    DdeDisconnect(conversation);
    conversation = nullptr;
    if (startedProgman == 1) {
        HWND progman = FindWindowA("Progman", nullptr);
        if (progman)
            PostMessageA(progman, WM_CLOSE, 0, 0);
        startedProgman = 0;
    }
}

int ProgmanClient::Execute(const char *command)
{
    HDDEDATA result = DdeClientTransaction(
        reinterpret_cast<LPBYTE>(const_cast<char *>(command)), static_cast<DWORD>(strlen(command) + 1),
        conversation, nullptr, CF_TEXT, XTYP_EXECUTE, kTransactionTimeout, nullptr);
    return result == reinterpret_cast<HDDEDATA>(1) ? 1 : 0;
}

int ProgmanClient::DeleteGroup(const char *group)
{
    char command[kCommandSize];
    if (!FormatBounded(command, sizeof command, "[DeleteGroup(%s)]", group))
        return 0;
    return Execute(command);
}

int ProgmanClient::ShowGroup(const char *group, int showCommand)
{
    char command[kCommandSize];
    if (!FormatBounded(command, sizeof command, "[ShowGroup(%s,%d)]", group, showCommand))
        return 0;
    return Execute(command);
}

int ProgmanClient::DeleteItem(const char *item)
{
    char command[kCommandSize];
    if (!FormatBounded(command, sizeof command, "[DeleteItem(%s)]", item))
        return 0;
    return Execute(command);
}
