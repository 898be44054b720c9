// Test support shared by the host build (stand-in registry) and the Wine
// builds (Wine's registry): seeding keys, reading back the exact state, and
// removing what a test made. Test keys are named ZZTest... or .zzt..., at the
// top of a class store or under HKCU\software.
#pragma once

#include <windows.h>

#include "../../cleanup/cleanup.h"
#include "../support/native_names.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

struct SeedValue
{
    const char* key;   // relative to the root
    const char* name;  // nullptr: the key alone, with no value
    const char* data;  // stored with its terminating NUL
    DWORD type;
};

inline SeedValue Key(const char* key) { return { key, nullptr, nullptr, REG_SZ }; }
inline SeedValue Sz(const char* key, const char* name, const char* data) { return { key, name, data, REG_SZ }; }
inline SeedValue ExpandSz(const char* key, const char* name, const char* data)
{
    return { key, name, data, REG_EXPAND_SZ };
}

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Open for the whole test: HKCU\Software\Classes and
    // HKLM\Software\Classes, which Windows merges into HKEY_CLASSES_ROOT.
    HKEY userClasses = nullptr;
    HKEY machineClasses = nullptr;

    // A planned key is left when any copy of it is: for a class, in either
    // store.
    bool PlannedKeyLeft(const CleanupTarget& target);
    // Creates `sub` (may be "") below the planned key, in `store` for a class.
    LONG SeedPlanned(const CleanupTarget& target, HKEY store, const std::string& sub);
    // Every planned key with `sub` below it, each class in both stores.
    LONG SeedEveryPlannedKey(const std::string& sub);

    // Creates the keys and values in order; returns the first failing code.
    LONG Seed(HKEY root, std::initializer_list<SeedValue> values);
    LONG SetRawValue(HKEY root, const char* key, const char* name, DWORD type, const void* data, DWORD size);
    // Creates root\path, and below it `name`, a key or a REG_SZ value whose
    // name only the native calls can write (it may hold NUL).
    LONG SeedCountedKey(HKEY root, const char* path, const WideName& name);
    LONG SeedCountedValue(HKEY root, const char* path, const WideName& name, const char* data);
    bool CountedKeyExists(HKEY root, const char* path, const WideName& name);
    // Creates root\base, then each level inside the one before, one call
    // per level: Wine's A calls refuse paths of 260 characters and more.
    LONG SeedLevels(HKEY root, const char* base, const std::vector<std::string>& levels);

    // Every key and value below root\path (the key itself included), one line
    // each, in an order that does not depend on how the registry enumerates.
    std::string Dump(HKEY root, const char* path);
    bool KeyExists(HKEY root, const char* path);  // a link counts as itself

    // Runs one call of the program's code, checking that it leaves no key
    // open and, on the host, that it makes no heap allocation.
    template <class Call>
    auto Engine(Call call) -> decltype(call());

private:
    void CheckAfterEngineCall(int handlesBefore, long allocations);
};

int OpenKeyHandleCount();  // -1 where the platform cannot tell
void StartCountingAllocations();
long StopCountingAllocations();  // 0 where the platform cannot tell

template <class Call>
auto RegistryTest::Engine(Call call) -> decltype(call())
{
    int handlesBefore = OpenKeyHandleCount();
    StartCountingAllocations();
    struct Check
    {
        RegistryTest* test;
        int handlesBefore;
        ~Check() { test->CheckAfterEngineCall(handlesBefore, StopCountingAllocations()); }
    } check{ this, handlesBefore };
    return call();
}
