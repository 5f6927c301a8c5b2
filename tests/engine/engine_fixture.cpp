#include "engine_fixture.h"

#include "adapter_state.h"
#include "mode_table.h"
#include "position_engine.h"
#include "registry_fixture.h"

const char kDriverKeyPath[] = "System\\CurrentControlSet\\Services\\Class\\ZanEngineTest\\0000\\UTILITY";

namespace {
const char kDriverKeyTop[] = "System\\CurrentControlSet\\Services\\Class\\ZanEngineTest";

void ResetAxis(PositionAxis &axis)
{
    axis.currentIndex = 0;
    axis.baselineIndex = 0;
    axis.valueCount = 0;
    for (WORD &v : axis.values) v = 0;
}
}  // namespace

SimMode Mode(DWORD bits, DWORD width, DWORD height, DWORD frequency)
{
    SimMode m;
    m.bits = bits;
    m.width = width;
    m.height = height;
    m.frequency = frequency;
    return m;
}

void EngineTest::SetUp()
{
    static bool installed = false;
    if (!installed) {
        ASSERT_TRUE(DriverSimInstall(GetModuleHandleA(NULL)));
        installed = true;
    }
    DriverSimReset();
    RegRemoveTree(HKEY_LOCAL_MACHINE, kDriverKeyTop);
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, kDriverKeyPath));
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKeyPath, 0, KEY_READ | KEY_SET_VALUE, &driverKey));
    isWin9x = 1;
    isWin98 = 1;
    has555or565 = 0;
    useDirect3DColor = 0;
    d3dFullSupport = 0;
    FreeModeTable();
    ResetAxis(horizontalAxis);
    ResetAxis(verticalAxis);
    for (DWORD &v : lastReportedMode) v = 0;
    positionUnavailable = 0;
}

void EngineTest::TearDown()
{
    FreeModeTable();
    if (driverKey) RegCloseKey(driverKey);
    driverKey = NULL;
    RegRemoveTree(HKEY_LOCAL_MACHINE, kDriverKeyTop);
    DriverSimReset();
}

void EngineTest::SetModes(const std::vector<SimMode> &modes)
{
    DriverSimSetModes(modes.data(), (int)modes.size());
}

void EngineTest::WriteBinary(const char *name, const std::vector<unsigned char> &bytes)
{
    ASSERT_TRUE(RegWriteBinary(HKEY_LOCAL_MACHINE, kDriverKeyPath, name, bytes)) << name;
}

std::vector<unsigned char> EngineTest::ReadValue(const char *name, DWORD *type)
{
    std::vector<unsigned char> data;
    RegReadValue(HKEY_LOCAL_MACHINE, kDriverKeyPath, name, &data, type);
    return data;
}

bool EngineTest::HasValue(const char *name)
{
    return RegValueExists(HKEY_LOCAL_MACHINE, kDriverKeyPath, name);
}

std::vector<std::string> EngineTest::ValueNames()
{
    return RegValueNames(HKEY_LOCAL_MACHINE, kDriverKeyPath);
}

std::vector<SimCall> EngineTest::CallsOf(SimCallKind kind)
{
    std::vector<SimCall> out;
    for (int i = 0; i < DriverSimCallCount(); i++)
        if (DriverSimCall(i).kind == kind) out.push_back(DriverSimCall(i));
    return out;
}
