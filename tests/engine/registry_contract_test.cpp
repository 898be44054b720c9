// What the program relies on from the registry, checked on both registries
// the tests use: the host stand-in and Wine's. Where Wine differs from
// Windows the test says so; the stand-in follows Windows.
#include "registry_test.h"

#include <string>
#include <vector>

#ifdef _WIN32
static bool RunningOnWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}
#else
static bool RunningOnWine()
{
    return false;
}
#endif

using RegistryContract = RegistryTest;

namespace
{
std::vector<std::string> SubkeyNames(HKEY root, const char* path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index)
        names.push_back(name);
    RegCloseKey(key);
    return names;
}

std::vector<std::string> ValueNames(HKEY root, const char* path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index)
    {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}
}  // namespace

TEST_F(RegistryContract, SubkeysAreListedWithoutRegardToCase)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, {
        Key("software\\ZZTest\\delta"), Key("software\\ZZTest\\Bravo"), Key("software\\ZZTest\\charlie"),
        Key("software\\ZZTest\\ALPHA"), Key("software\\ZZTest\\Bravo\\x"),
    }));
    EXPECT_EQ((std::vector<std::string>{ "ALPHA", "Bravo", "charlie", "delta" }),
              SubkeyNames(HKEY_CURRENT_USER, "software\\ZZTest"));
    // Names are found whatever their case, and keep the case they were made with.
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Key("SOFTWARE\\zztest\\BRAVO") }));
    EXPECT_EQ("Bravo", SubkeyNames(HKEY_CURRENT_USER, "software\\ZZTest")[1]);
}

TEST_F(RegistryContract, SubkeysFoldToUpperCaseWhenSorted)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Key("software\\ZZTest\\_under"), Key("software\\ZZTest\\m") }));
    if (RunningOnWine())
        // Wine folds to lower case: '_' (0x5F) sorts before 'm' (0x6D).
        EXPECT_EQ((std::vector<std::string>{ "_under", "m" }), SubkeyNames(HKEY_CURRENT_USER, "software\\ZZTest"));
    else
        // Windows folds to upper case: 'M' (0x4D) sorts before '_'.
        EXPECT_EQ((std::vector<std::string>{ "m", "_under" }), SubkeyNames(HKEY_CURRENT_USER, "software\\ZZTest"));
}

TEST_F(RegistryContract, ValuesAreListedDefaultIncluded)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, {
        Sz("software\\ZZTest", "zeta", "1"), Sz("software\\ZZTest", "", "default"), Sz("software\\ZZTest", "Alpha", "2"),
    }));
    if (RunningOnWine())
        // Wine lists values by name, the default value first.
        EXPECT_EQ((std::vector<std::string>{ "", "Alpha", "zeta" }), ValueNames(HKEY_CURRENT_USER, "software\\ZZTest"));
    else
        // Windows lists them in the order they were made.
        EXPECT_EQ((std::vector<std::string>{ "zeta", "", "Alpha" }), ValueNames(HKEY_CURRENT_USER, "software\\ZZTest"));
}

TEST_F(RegistryContract, NameBuffersMustHoldTheNameAndItsNul)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("software\\ZZTest\\abcd", "wxyz", "12345") }));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest", 0, KEY_ALL_ACCESS, &key));
    char name[8];
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(key, 0, name, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyA(key, 0, name, 5));
    EXPECT_STREQ("abcd", name);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 1, name, sizeof name));

    DWORD length = 4;
    FILETIME written;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, &written));
    length = 5;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, &written));
    EXPECT_EQ(4u, length);
    RegCloseKey(key);

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest\\abcd", 0, KEY_ALL_ACCESS, &key));
    BYTE data[8];
    DWORD type = 0, size = sizeof data;
    length = 4;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key, 0, name, &length, nullptr, &type, data, &size));
    length = 5;
    size = 5;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key, 0, name, &length, nullptr, &type, data, &size));
    EXPECT_EQ(6u, size) << "a short data buffer is told the size it needs";
    length = 5;
    size = 6;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, name, &length, nullptr, &type, data, &size));
    EXPECT_EQ(4u, length);
    EXPECT_EQ(6u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_STREQ("12345", reinterpret_cast<char*>(data));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key, 1, name, &length, nullptr, &type, data, &size));
    RegCloseKey(key);
}

TEST_F(RegistryContract, DeletionRules)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, {
        Sz("software\\ZZTest\\Parent\\Child", "v", "1"), Sz("software\\ZZTest\\Parent", "", "d"),
    }));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest", 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "Parent")) << "a key with subkeys stays";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(key, "Absent"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "PARENT\\child")) << "a path is followed to its last level";
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Parent"));
    RegCloseKey(key);

    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("software\\ZZTest", "", "d"), Sz("software\\ZZTest", "n", "1") }));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest", 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "")) << "an empty name is the default value";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, ""));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "N"));
    RegCloseKey(key);
    EXPECT_EQ("software\\ZZTest\n", Dump(HKEY_CURRENT_USER, "software\\ZZTest"));
}

TEST_F(RegistryContract, DeletedKeyHandleStopsWorking)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("software\\ZZTest\\Gone", "v", "1") }));
    HKEY gone;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest\\Gone", 0, KEY_ALL_ACCESS, &gone));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "software\\ZZTest\\Gone"));
    DWORD count = 99;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryInfoKeyA(gone, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                                  nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(gone));
}
