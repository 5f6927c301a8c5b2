// Program Manager's DDE execute commands, for removing the installation's group and items.
#ifndef PROGMAN_CLIENT_H
#define PROGMAN_CLIENT_H

#include <windows.h>
#include <ddeml.h>

// One client lives for one uninstall run; its destructor ends any conversation and the DDE
// instance on every way out of its owner.
class ProgmanClient {
public:
    ProgmanClient();
    ~ProgmanClient();
    ProgmanClient(const ProgmanClient &) = delete;
    ProgmanClient &operator=(const ProgmanClient &) = delete;

    // 1 when a conversation with "PROGMAN" is open afterwards, else 0. Starts
    // "PROGMAN.EXE" once when nobody answers.
    int Connect();
    // Ends the conversation; closes a Program Manager that Connect started.
    void Disconnect();
    // 1 when the server accepted the command, else 0.
    int Execute(const char *command);
    // A command that does not fit the 300-byte buffer is not sent: the result is 0.
    int DeleteGroup(const char *group);
    int ShowGroup(const char *group, int showCommand);
    int DeleteItem(const char *item);

    DWORD instance;
    HCONV conversation;
    int startedProgman;
};

#endif
