#include "registry_test.h"

#include "../../cleanup/cleanup.h"
#include "../support/registry_dump.h"
#include "../support/registry_links.h"

#include <algorithm>
#include <cstring>

#ifndef _WIN32
#include "allocation_counter.h"
#include "stand_in.h"
#endif

namespace
{
bool IsTestKeyName(const char* name)
{
    for (const char* prefix : { "zztest", ".zzt" })
    {
        size_t length = std::strlen(prefix);
        std::string start(name, std::min(length, std::strlen(name)));
        for (char& c : start)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (start == prefix)
            return true;
    }
    return false;
}

// Test keys are named ZZTest... or .zzt... directly under a root or under
// HKCU\software, so a run can remove whatever an earlier one left behind.
void RemoveTestKeys(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index)
    {
        char name[512];
        DWORD nameLength = sizeof name;
        LONG status = RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (IsTestKeyName(name))
            names.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& name : names)
        DeleteTreeSparingLinkTargets(root, (std::string(path) + (*path ? "\\" : "") + name).c_str());
}

// The plan's own keys, and "Orlo" above the per-user ones, which the tests
// create in their throwaway registry.
void RemoveAllTestKeys()
{
    for (const CleanupTarget& target : CleanupPlan)
        DeleteTreeSparingLinkTargets(target.root, target.path);
    DeleteTreeSparingLinkTargets(HKEY_CURRENT_USER, "software\\Orlo");
    RemoveTestKeys(HKEY_CLASSES_ROOT, "");
    RemoveTestKeys(HKEY_CURRENT_USER, "software");
}
}  // namespace

#ifdef _WIN32
// Wine's GetProcessHandleCount answers 0, and on Windows the process count
// also moves when a predefined key is first opened and cached.
int OpenKeyHandleCount()
{
    return -1;
}
void StartCountingAllocations() {}
long StopCountingAllocations()
{
    return 0;
}
#else
int OpenKeyHandleCount()
{
    return StandIn::OpenHandleCount();
}
void StartCountingAllocations()
{
    AllocationCounter::Start();
}
long StopCountingAllocations()
{
    return AllocationCounter::Stop();
}
#endif

void RegistryTest::SetUp()
{
#ifndef _WIN32
    StandIn::Reset();
#endif
    RemoveAllTestKeys();
}

void RegistryTest::TearDown()
{
    RemoveAllTestKeys();
}

void RegistryTest::CheckAfterEngineCall(int handlesBefore, long allocations)
{
    if (handlesBefore >= 0)
    {
        EXPECT_EQ(handlesBefore, OpenKeyHandleCount()) << "the call left registry keys open";
    }
    EXPECT_EQ(0, allocations) << "the call allocated from the heap";
}

LONG RegistryTest::SetRawValue(HKEY root, const char* key, const char* name, DWORD type, const void* data,
                               DWORD size)
{
    HKEY handle;
    LONG status = RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    if (name != nullptr)
        status = RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
    return status;
}

LONG RegistryTest::SeedLevels(HKEY root, const char* base, const std::vector<std::string>& levels)
{
    HKEY key;
    LONG status = RegCreateKeyExA(root, base, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    for (size_t i = 0; status == ERROR_SUCCESS && i < levels.size(); ++i)
    {
        HKEY next;
        status = RegCreateKeyExA(key, levels[i].c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr);
        RegCloseKey(key);
        key = next;
    }
    if (status == ERROR_SUCCESS)
        RegCloseKey(key);
    return status;
}

LONG RegistryTest::Seed(HKEY root, std::initializer_list<SeedValue> values)
{
    for (const SeedValue& value : values)
    {
        DWORD size = value.data == nullptr ? 0 : static_cast<DWORD>(std::strlen(value.data) + 1);
        LONG status = SetRawValue(root, value.key, value.name, value.type, value.data, size);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

std::string RegistryTest::Dump(HKEY root, const char* path)
{
    return DumpRegistryTree(root, path);
}

bool RegistryTest::KeyExists(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
