// Common ground of the engine tests: the simulated driver in this program's own import
// table (the display utility's code linked here calls through it), a real driver key under
// HKLM in the prefix, and the display utility's process-wide values reset.
#ifndef ENGINE_FIXTURE_H
#define ENGINE_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver_sim.h"

extern const char kDriverKeyPath[];

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the simulation's mode list.
    static void SetModes(const std::vector<SimMode> &modes);
    static void WriteBinary(const char *name, const std::vector<unsigned char> &bytes);
    static std::vector<unsigned char> ReadValue(const char *name, DWORD *type = nullptr);
    static bool HasValue(const char *name);
    // Every value name in the driver key.
    static std::vector<std::string> ValueNames();
    // The calls of one kind since the last DriverSimClearCalls.
    static std::vector<SimCall> CallsOf(SimCallKind kind);
};

SimMode Mode(DWORD bits, DWORD width, DWORD height, DWORD frequency);

#endif
