// DeleteRegistryTree against the platform's own subtree removal, on the same tree of
// 2,000 keys below the removed key: 20 wide, then 9, then 10 (20 + 180 + 1,800).
#include "registry_tree.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char kTree[] = "SOFTWARE\\ZanTreeBench";
const int kLevel1 = 20, kLevel2 = 9, kLevel3 = 10;
const int kRounds = 5;

typedef LONG(WINAPI *DeleteTreeProc)(HKEY, LPCSTR);

int CreateChildren(HKEY parent, int count, const char *prefix)
{
    int made = 0;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%02d", prefix, i);
        HKEY key;
        if (RegCreateKeyA(parent, name, &key) != ERROR_SUCCESS)
            continue;
        DWORD value = static_cast<DWORD>(i);
        RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), sizeof value);
        ++made;
        RegCloseKey(key);
    }
    return made;
}

int BuildTree()
{
    HKEY top;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kTree, &top) != ERROR_SUCCESS)
        return 0;
    int keys = CreateChildren(top, kLevel1, "wide");
    for (int a = 0; a < kLevel1; ++a) {
        char one[32];
        std::snprintf(one, sizeof one, "wide%02d", a);
        HKEY k1;
        if (RegOpenKeyA(top, one, &k1) != ERROR_SUCCESS)
            continue;
        keys += CreateChildren(k1, kLevel2, "mid");
        for (int b = 0; b < kLevel2; ++b) {
            char two[32];
            std::snprintf(two, sizeof two, "mid%02d", b);
            HKEY k2;
            if (RegOpenKeyA(k1, two, &k2) != ERROR_SUCCESS)
                continue;
            keys += CreateChildren(k2, kLevel3, "leaf");
            RegCloseKey(k2);
        }
        RegCloseKey(k1);
    }
    RegCloseKey(top);
    return keys;
}

bool TreeExists()
{
    HKEY key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kTree, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    DeleteTreeProc platform =
        reinterpret_cast<DeleteTreeProc>(reinterpret_cast<void *>(GetProcAddress(advapi, "RegDeleteTreeA")));
    const char *platformName = "RegDeleteTreeA";
    if (!platform) {
        HMODULE shlwapi = LoadLibraryA("shlwapi.dll");
        if (shlwapi)
            platform = reinterpret_cast<DeleteTreeProc>(
                reinterpret_cast<void *>(GetProcAddress(shlwapi, "SHDeleteKeyA")));
        platformName = "SHDeleteKeyA";
    }
    if (!platform) {
        std::printf("no platform subtree removal to compare with\n");
        return 1;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> ours, theirs;
    for (int round = 0; round < kRounds; ++round) {
        int keys = BuildTree();
        if (keys != 2000) {
            std::printf("tree has %d keys, not 2000\n", keys);
            return 1;
        }
        QueryPerformanceCounter(&start);
        DeleteRegistryTree(kTree);
        QueryPerformanceCounter(&end);
        if (TreeExists()) {
            std::printf("DeleteRegistryTree left the tree\n");
            return 1;
        }
        ours.push_back(Seconds(start, end, frequency));

        BuildTree();
        QueryPerformanceCounter(&start);
        LONG rc = platform(HKEY_LOCAL_MACHINE, kTree);
        QueryPerformanceCounter(&end);
        if (rc != ERROR_SUCCESS || TreeExists()) {
            std::printf("%s failed (%ld)\n", platformName, rc);
            return 1;
        }
        theirs.push_back(Seconds(start, end, frequency));
        std::printf("round %d: DeleteRegistryTree %.1f ms, %s %.1f ms\n", round + 1, ours.back() * 1000,
                    platformName, theirs.back() * 1000);
    }
    double a = Median(ours), b = Median(theirs);
    std::printf("registry subtree removal, 2000 keys below the key (20 x 9 x 10), median of %d rounds:\n", kRounds);
    std::printf("  DeleteRegistryTree %.1f ms, %s %.1f ms, ratio %.2f\n", a * 1000, platformName, b * 1000, a / b);
    return 0;
}
