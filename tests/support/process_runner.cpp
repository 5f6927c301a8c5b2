#include "process_runner.h"

#include <tlhelp32.h>

#include <cstring>

namespace {

bool SameNameNoCase(const std::string &a, const std::string &b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// The test's environment with the extra variables put in (replacing same-named ones).
std::string BuildEnvironment(const std::vector<std::pair<std::string, std::string>> &extra)
{
    std::vector<std::string> entries;
    char *block = GetEnvironmentStringsA();
    if (block) {
        for (const char *p = block; *p; p += std::strlen(p) + 1)
            entries.push_back(p);
        FreeEnvironmentStringsA(block);
    }
    for (const auto &var : extra) {
        bool replaced = false;
        for (std::string &entry : entries) {
            size_t eq = entry.find('=', 1);  // "=C:=C:\..." entries start with '='
            if (eq != std::string::npos && SameNameNoCase(entry.substr(0, eq), var.first)) {
                entry = var.first + "=" + var.second;
                replaced = true;
            }
        }
        if (!replaced)
            entries.push_back(var.first + "=" + var.second);
    }
    std::string result;
    for (const std::string &entry : entries) {
        result += entry;
        result += '\0';
    }
    result += '\0';
    return result;
}

RunResult Collect(HANDLE process, DWORD processId, DWORD timeoutMs)
{
    RunResult result;
    result.started = true;
    result.processId = processId;
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
        result.timedOut = true;
        TerminateProcess(process, kKilledExitCode);
        WaitForSingleObject(process, 5000);
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    result.exitCode = code;
    return result;
}

} // namespace

RunningProgram StartProgram(const std::string &exe, const RunOptions &options)
{
    RunningProgram program;
    std::string commandLine = "\"" + exe + "\"";
    if (!options.arguments.empty())
        commandLine += " " + options.arguments;
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');

    std::string environment;
    if (!options.env.empty())
        environment = BuildEnvironment(options.env);

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = options.showCommand;
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    BOOL ok = CreateProcessA(exe.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0,
                             environment.empty() ? nullptr : const_cast<char *>(environment.data()),
                             options.currentDir.empty() ? nullptr : options.currentDir.c_str(),
                             &startup, &info);
    if (!ok) {
        program.startError = GetLastError();
        return program;
    }
    CloseHandle(info.hThread);
    program.process = info.hProcess;
    program.processId = info.dwProcessId;
    return program;
}

RunResult WaitProgram(RunningProgram *program, DWORD timeoutMs)
{
    RunResult result;
    if (!program->started()) {
        result.startError = program->startError;
        return result;
    }
    result = Collect(program->process, program->processId, timeoutMs);
    CloseProgram(program);
    return result;
}

void CloseProgram(RunningProgram *program)
{
    if (program->process)
        CloseHandle(program->process);
    program->process = nullptr;
}

RunResult RunProgram(const std::string &exe, const RunOptions &options)
{
    RunningProgram program = StartProgram(exe, options);
    return WaitProgram(&program, options.timeoutMs);
}

RunResult WaitProcessHandle(HANDLE process, DWORD timeoutMs)
{
    if (!process)
        return RunResult();
    return Collect(process, 0, timeoutMs);  // GetProcessId is not a Win95-era call
}

RunResult WaitProcessId(DWORD processId, DWORD timeoutMs)
{
    RunResult result;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
    if (!process) {
        result.startError = GetLastError();
        return result;
    }
    result = Collect(process, processId, timeoutMs);
    CloseHandle(process);
    return result;
}

std::vector<DWORD> FindProcessIds(const std::string &imageName)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        std::string name = entry.szExeFile;
        size_t slash = name.find_last_of("\\/");
        if (slash != std::string::npos)
            name = name.substr(slash + 1);
        if (SameNameNoCase(name, imageName))
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

void KillProcessesNamed(const std::string &imageName)
{
    for (DWORD id : FindProcessIds(imageName)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process)
            continue;
        TerminateProcess(process, kKilledExitCode);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}
