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

// Test keys are named ZZTest... or .zzt... directly under a class store or
// under HKCU\software, so a run can remove whatever an earlier one left
// behind. They are read and deleted by their whole names: one that reads
// back changed through the A calls would name another key, or a path.
void RemoveTestKeys(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    std::vector<WideName> names;
    for (DWORD index = 0;; ++index)
    {
        WCHAR name[512];
        DWORD nameLength = sizeof name / sizeof name[0];
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::string ascii(name, name + std::min<DWORD>(nameLength, 8));
        if (IsTestKeyName(ascii.c_str()))
            names.push_back(WideName(name, nameLength));
    }
    for (const WideName& name : names)
        DeleteSubkeyTreeSparingLinkTargets(key, name);
    RegCloseKey(key);
}

std::string InStore(const CleanupTarget& store, const char* path)
{
    return std::string(store.path) + "\\" + path;
}

// The plan's own keys, and "Orlo" above the per-user ones, which the tests
// create in their throwaway registry.
void RemoveAllTestKeys()
{
    for (const CleanupTarget& target : CleanupPlan)
    {
        if (target.root != HKEY_CLASSES_ROOT)
        {
            DeleteTreeSparingLinkTargets(target.root, target.path);
            continue;
        }
        for (const CleanupTarget& store : ClassStores)
            DeleteTreeSparingLinkTargets(store.root, InStore(store, target.path).c_str());
    }
    DeleteTreeSparingLinkTargets(HKEY_CURRENT_USER, "software\\Orlo");
    for (const CleanupTarget& store : ClassStores)
        RemoveTestKeys(store.root, store.path);
    RemoveTestKeys(HKEY_CURRENT_USER, "software");
}

// Made where a new Wine prefix has none yet.
HKEY OpenStore(const CleanupTarget& store)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(store.root, store.path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    return key;
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
    userClasses = OpenStore(ClassStores[0]);
    machineClasses = OpenStore(ClassStores[1]);
    RemoveAllTestKeys();
}

void RegistryTest::TearDown()
{
#ifndef _WIN32
    EXPECT_EQ(0, StandIn::ClassesRootCallCount()) << "a call named HKEY_CLASSES_ROOT, which the stand-in refuses";
#endif
    RemoveAllTestKeys();
    RegCloseKey(userClasses);
    RegCloseKey(machineClasses);
}

void RegistryTest::CheckAfterEngineCall(int handlesBefore, long allocations)
{
    if (handlesBefore >= 0)
    {
        EXPECT_EQ(handlesBefore, OpenKeyHandleCount()) << "the call left registry keys open";
    }
    EXPECT_EQ(0, allocations) << "the call allocated from the heap";
#ifndef _WIN32
    // Windows would answer from its merged view, where a class in both
    // stores is only its per-user copy.
    EXPECT_EQ(0, StandIn::ClassesRootCallCount()) << "a call named HKEY_CLASSES_ROOT";
#endif
}

bool RegistryTest::PlannedKeyLeft(const CleanupTarget& target)
{
    if (target.root != HKEY_CLASSES_ROOT)
        return KeyExists(target.root, target.path);
    return KeyExists(userClasses, target.path) || KeyExists(machineClasses, target.path);
}

LONG RegistryTest::SeedPlanned(const CleanupTarget& target, HKEY store, const std::string& sub)
{
    const std::string path = std::string(target.path) + (sub.empty() ? "" : "\\" + sub);
    return Seed(target.root == HKEY_CLASSES_ROOT ? store : target.root, { Key(path.c_str()) });
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

namespace
{
// The native calls take a key handle, never a predefined root.
template <class Work>
LONG BelowOpenedKey(HKEY root, const char* path, Work work)
{
    HKEY key;
    LONG status = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = work(key);
    RegCloseKey(key);
    return status;
}
}  // namespace

LONG RegistryTest::SeedCountedKey(HKEY root, const char* path, const WideName& name)
{
    return BelowOpenedKey(root, path, [&](HKEY key) {
        HKEY created;
        const LONG status = CreateKeyByCountedName(key, name, &created);
        if (status == ERROR_SUCCESS)
            RegCloseKey(created);
        return status;
    });
}

LONG RegistryTest::SeedCountedValue(HKEY root, const char* path, const WideName& name, const char* data)
{
    return BelowOpenedKey(root, path, [&](HKEY key) {
        return SetStringByCountedName(key, name, data);
    });
}

bool RegistryTest::CountedKeyExists(HKEY root, const char* path, const WideName& name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    HKEY found;
    const bool exists = OpenKeyByCountedName(key, name, KEY_READ, &found) == ERROR_SUCCESS;
    if (exists)
        RegCloseKey(found);
    RegCloseKey(key);
    return exists;
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

LONG RegistryTest::SeedEveryPlannedKey(const std::string& sub)
{
    for (const CleanupTarget& target : CleanupPlan)
    {
        for (HKEY store : { userClasses, machineClasses })
        {
            const LONG status = SeedPlanned(target, store, sub);
            if (status != ERROR_SUCCESS)
                return status;
        }
    }
    return ERROR_SUCCESS;
}
