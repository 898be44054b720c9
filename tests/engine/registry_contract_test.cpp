// What the program relies on from the registry, checked on both registries
// the tests use: the host stand-in and Wine's. Where Wine differs from
// Windows the test says so; the stand-in follows Windows.
#include "registry_test.h"

#include "../../common/ntdll.h"
#include "../support/registry_links.h"

#include <algorithm>
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
const LONG STATUS_ACCESS_DENIED = static_cast<LONG>(0xC0000022);

bool KeyExistsAs(HKEY root, const char* path, DWORD options)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, options, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Each subkey's name, or each value's, as the A calls give it back, with the
// length they report; sorted.
std::vector<std::string> NamesAsRead(HKEY key, bool values)
{
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index)
    {
        char name[64];
        DWORD length = sizeof name;
        const LONG status = values ? RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr)
                                   : RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        names.push_back(std::string(name, length));
    }
    std::sort(names.begin(), names.end());
    return names;
}

DWORD SubkeyCount(HKEY key)
{
    DWORD count = 99;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr));
    return count;
}

// Creates `name` under `parent`: Windows must answer `windows`, Wine
// `wine` where it differs.
void ExpectCreate(HKEY parent, const std::string& name, LONG windows, LONG wine)
{
    HKEY key;
    const LONG status = RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    EXPECT_EQ(RunningOnWine() ? wine : windows, status) << "[" << name << "]";
    if (status == ERROR_SUCCESS)
        RegCloseKey(key);
}

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

// Counted names, written through the native calls: the A calls give them
// back cut at their first NUL with the whole length, and a character outside
// the code page as its best fit in code page 1252 (FULLWIDTH REVERSE SOLIDUS
// and SET MINUS as '\\', DIVISION SLASH as '/', FULLWIDTH FULL STOP as '.'),
// whole and with its own length, or else as '?'. An empty name opens the key
// itself.
TEST_F(RegistryContract, CountedNamesReadBackCutThroughTheACalls)
{
    const WideName hidden = Widen(std::string("\0hidden", 7));
    for (const WideName& name : { hidden, Widen("x") + WCHAR(0xFF3C) + Widen("y"), Widen("y") + WCHAR(0x2216) + Widen("z"),
                                  Widen("z") + WCHAR(0x2215) + Widen("a"), Widen("a") + WCHAR(0xFF0E) + Widen("b") })
        ASSERT_EQ(ERROR_SUCCESS, SeedCountedKey(HKEY_CURRENT_USER, "software\\ZZTest", name));
    ASSERT_EQ(ERROR_SUCCESS, SeedCountedValue(HKEY_CURRENT_USER, "software\\ZZTest", Widen(std::string("Keep\0x", 6)), "1"));
    ASSERT_EQ(ERROR_SUCCESS, SeedCountedValue(HKEY_CURRENT_USER, "software\\ZZTest", Widen("m") + WCHAR(0x4E2D), "2"));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest", 0, KEY_READ, &key));

    EXPECT_EQ((std::vector<std::string>{ std::string("\0hidden", 7), "a.b", "x\\y", "y\\z", "z/a" }),
              NamesAsRead(key, false));
    HKEY same;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "", 0, KEY_READ, &same));
    EXPECT_EQ(5u, SubkeyCount(same)) << "the empty name is the key itself";
    RegCloseKey(same);
    EXPECT_EQ((std::vector<std::string>{ std::string("Keep\0x", 6), "m?" }), NamesAsRead(key, true));
    RegCloseKey(key);
}

// Windows keeps a key's stable and volatile subkeys in two lists and
// enumerates the stable one first; Wine sorts them all by name. Below a
// volatile key only volatile keys can be made.
TEST_F(RegistryContract, VolatileSubkeysComeAfterStableOnes)
{
    HKEY parent, made;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "software\\ZZTest", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &parent, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, "a volatile", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                             nullptr, &made, nullptr));
    RegCloseKey(made);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, "b stable", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr));
    RegCloseKey(made);
    EXPECT_EQ(ERROR_CHILD_MUST_BE_VOLATILE, RegCreateKeyExA(parent, "a volatile\\stable", 0, nullptr, 0,
                                                            KEY_ALL_ACCESS, nullptr, &made, nullptr));

    std::vector<std::string> names;
    char name[32];
    for (DWORD index = 0; RegEnumKeyA(parent, index, name, sizeof name) == ERROR_SUCCESS; ++index)
        names.push_back(name);
    RegCloseKey(parent);
    if (RunningOnWine())
        EXPECT_EQ((std::vector<std::string>{ "a volatile", "b stable" }), names);
    else
        EXPECT_EQ((std::vector<std::string>{ "b stable", "a volatile" }), names);
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

TEST_F(RegistryContract, HandlesAllowOnlyWhatTheyWereOpenedFor)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("software\\ZZTest\\Sub", "v", "1"), Sz("software\\ZZTest", "v", "1") }));
    HKEY read, setOnly;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest", 0, KEY_READ, &read));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest", 0, KEY_SET_VALUE, &setOnly));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(read, "v"));
    EXPECT_EQ(STATUS_ACCESS_DENIED, NtDeleteKey(read));
    char name[16];
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumKeyA(setOnly, 0, name, sizeof name));
    DWORD length = sizeof name;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumValueA(setOnly, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
    // Counting subkeys needs KEY_QUERY_VALUE; Wine does not ask for it.
    HKEY enumerateOnly;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest", 0, DELETE | KEY_ENUMERATE_SUB_KEYS,
                                           &enumerateOnly));
    DWORD count = 99;
    EXPECT_EQ(RunningOnWine() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED,
              RegQueryInfoKeyA(enumerateOnly, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyA(enumerateOnly, 0, name, sizeof name));
    RegCloseKey(enumerateOnly);
    // Wine does not ask the parent handle for KEY_CREATE_SUB_KEY.
    ExpectCreate(read, "New", ERROR_ACCESS_DENIED, ERROR_SUCCESS);
    // RegDeleteKeyA opens the subkey anew: the handle's own access does not matter.
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(read, "Sub"));
    RegCloseKey(read);
    RegCloseKey(setOnly);
}

TEST_F(RegistryContract, KeyNamesHoldAtMost255Characters)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Key("software\\ZZTest") }));
    HKEY parent, key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest", 0, KEY_ALL_ACCESS, &parent));
    // Relative to the parent: Wine's A calls refuse paths of 260 characters.
    const std::string longest(255, 'k');
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, longest.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    char name[256];
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(parent, 0, name, 255));
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyA(parent, 0, name, 256));
    EXPECT_EQ(longest, name);

    // Wine takes one character more than Windows.
    ExpectCreate(parent, std::string(256, 'l'), ERROR_INVALID_PARAMETER, ERROR_SUCCESS);
    ExpectCreate(parent, std::string(257, 'm'), ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExA(parent, std::string(257, 'm').c_str(), 0, KEY_READ, &key));
    RegCloseKey(parent);
}

// Links as Windows treats them (Wine's own tests of links run on Windows).
TEST_F(RegistryContract, LinkIsFollowedUnlessOpenedAsItself)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("software\\ZZTest\\Target\\Sub", "v", "1") }));
    const std::string target = KernelPath(HKEY_CURRENT_USER, "software\\ZZTest\\Target");
    ASSERT_EQ(ERROR_SUCCESS, CreateRegistryLink(HKEY_CURRENT_USER, "software\\ZZTest\\Link", target));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, CreateRegistryLink(HKEY_CURRENT_USER, "software\\ZZTest\\Link", target));
    EXPECT_TRUE(KeyExistsAs(HKEY_CURRENT_USER, "software\\ZZTest\\Link\\Sub", 0)) << "a path goes on in the target";

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest\\Link", 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(1u, SubkeyCount(key)) << "the target's";
    RegCloseKey(key);

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest\\Link", REG_OPTION_OPEN_LINK,
                                           KEY_ALL_ACCESS, &key));
    EXPECT_EQ(0u, SubkeyCount(key)) << "a link has no subkeys of its own";
    char name[32];
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 0, name, sizeof name));
    BYTE data[512];
    DWORD length = sizeof name, size = sizeof data, type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, name, &length, nullptr, &type, data, &size));
    EXPECT_STREQ("SymbolicLinkValue", name);
    EXPECT_EQ(static_cast<DWORD>(REG_LINK), type);
    EXPECT_EQ(target.size() * 2, size) << "UTF-16, without a NUL";
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(key, "other", 0, REG_SZ, data, 2)) << "nothing else";
    RegCloseKey(key);
}

TEST_F(RegistryContract, DeletingALinkByNameDeletesItsTarget)
{
    // The published remote-registry protocol answers ERROR_FILE_NOT_FOUND
    // here instead; the program must not depend on either answer.
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("software\\ZZTest\\Target", "v", "1") }));
    ASSERT_EQ(ERROR_SUCCESS, CreateRegistryLink(HKEY_CURRENT_USER, "software\\ZZTest\\Link",
                                                KernelPath(HKEY_CURRENT_USER, "software\\ZZTest\\Target")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "software\\ZZTest\\Link"));
    EXPECT_FALSE(KeyExistsAs(HKEY_CURRENT_USER, "software\\ZZTest\\Target", 0));
    EXPECT_TRUE(KeyExistsAs(HKEY_CURRENT_USER, "software\\ZZTest\\Link", REG_OPTION_OPEN_LINK));
}

TEST_F(RegistryContract, LinkOpenedAsItselfIsDeletedAsItself)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("software\\ZZTest\\Target", "v", "1") }));
    ASSERT_EQ(ERROR_SUCCESS, CreateRegistryLink(HKEY_CURRENT_USER, "software\\ZZTest\\Link",
                                                KernelPath(HKEY_CURRENT_USER, "software\\ZZTest\\Target")));
    ASSERT_EQ(ERROR_SUCCESS, CreateRegistryLink(HKEY_CURRENT_USER, "software\\ZZTest\\Self",
                                                KernelPath(HKEY_CURRENT_USER, "software\\ZZTest\\Self")));
    ASSERT_EQ(ERROR_SUCCESS, CreateRegistryLink(HKEY_CURRENT_USER, "software\\ZZTest\\Dangling",
                                                KernelPath(HKEY_CURRENT_USER, "software\\ZZTest\\None")));
    HKEY key;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest\\Self", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ZZTest\\Dangling", 0, KEY_READ, &key));

    for (const char* link : { "software\\ZZTest\\Link", "software\\ZZTest\\Self", "software\\ZZTest\\Dangling" })
    {
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, link, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key))
            << link;
        EXPECT_EQ(0, NtDeleteKey(key)) << link;
        RegCloseKey(key);
    }
    EXPECT_EQ("software\\ZZTest\n"
              "software\\ZZTest\\Target\n"
              "software\\ZZTest\\Target : [v] type 1 = 1\\x00\n",
              Dump(HKEY_CURRENT_USER, "software\\ZZTest"));
}

// Since Windows 2000, Windows keeps a user's classes in a hive of their own
// and makes HKCU\Software\Classes a link to it; Wine keeps an ordinary key.
// The program opens the store by following it, as any level above its keys.
TEST_F(RegistryContract, UserClassStoreIsReachedThroughItsLink)
{
    HKEY store;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes", REG_OPTION_OPEN_LINK, KEY_READ,
                                           &store));
    char name[32] = "";
    BYTE data[512];
    DWORD length = sizeof name, size = sizeof data, type = REG_NONE;
    const LONG status = RegEnumValueA(store, 0, name, &length, nullptr, &type, data, &size);
    RegCloseKey(store);
    if (RunningOnWine())
    {
        EXPECT_TRUE(status != ERROR_SUCCESS || type != REG_LINK) << name;
    }
    else
    {
        EXPECT_EQ(ERROR_SUCCESS, status);
        EXPECT_STREQ("SymbolicLinkValue", name);
        EXPECT_EQ(static_cast<DWORD>(REG_LINK), type);
        const std::string tail = "_Classes";
        std::string target;
        for (DWORD i = 0; i + 1 < size; i += 2)
            target += static_cast<char>(data[i]);
        EXPECT_EQ(tail, target.substr(target.size() - std::min(target.size(), tail.size()))) << target;
    }
    ASSERT_EQ(ERROR_SUCCESS, Seed(userClasses, { Key("ZZTest.Store") }));
    EXPECT_TRUE(KeyExistsAs(HKEY_CURRENT_USER, "Software\\Classes\\ZZTest.Store", 0));
}
